// GDriverData: one printer's driver data, the interface through which the
// models reach that printer's configuration model, default settings and
// paper-code mappings, and the identity the driver services are given for
// the printer's data (they read its printer name). The driver's contexts
// derive from it (as a virtual base) and implement the operations; the
// models only call them.
//
// This target sits low in the graph (foundation and platform only), so the
// settings types are only declared here: a settings tree or model root is a
// GAttributeComposite of the configuration model.
//
// The virtual operations keep the driver data's slot order; the driver's
// own, where the comments say, are declared by the real class,
// GDriverDataImp (driver/driver_data_imp.h), which derives virtually from
// this one. Where the models call an operation by another name, that name is a
// member below, most of them forwarding to the virtual one. Some operations
// have no slot among the driver's own and follow them: the job settings and
// the configuration set that holds them, which the driver reaches through
// the configuration model (so they must be virtual at this level), the bin
// and tray maps, and the three queries that a job's filters make of the
// driver data they reach through the job context (render_driver_data.h):
// the media pool, the excluded name and the custom-size range.
//
// The driver server (driver_server.h) keeps driver data in its tables: it
// hands out the view of AsUIDriverData, asks for a copy of the printer key,
// re-targets, parks and asks to free memory. These operations answer, in
// this class, as a driver data without a spooler context does (no render
// view, itself as the view, no key, nothing to park or free), so that the
// models' driver data need not implement them; the driver's context
// overrides them.
//
// The parts of the driver data file (the configuration model, keyed
// kDriverConfigurationKey, and the mappings keyed kPaperSizeMappingKey,
// kOSTrayMapKey and kResourceMappingsKey) are set by the server's loader and
// owned from then on; they are kept as the collectables they were restored as,
// and deleted through their virtual destructors.
//
// Ownership: the driver data owns its configuration model and the parts;
// what the operations answer is documented at each. Threads: one driver
// data is used by one thread at a time (its owner's entry into the driver),
// but for its spoiled mark (MarkSpoiled), which any may set.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"

class GAttributeComposite;
class GMediaPool;
class GPrinterKey;
class GRenderDriverData;
class MPersistentObject;
class RWCollectable;

// The extension code of a registration that extensions do not support.
inline constexpr std::uint32_t kExtensionUnsupported = 5;

class GDriverData {
 public:
  GDriverData(const GDriverData&) = delete;
  GDriverData& operator=(const GDriverData&) = delete;
  virtual ~GDriverData();

  // (one operation of the driver: application flags)

  // The render-time view of this object, null when it is none.
  virtual GRenderDriverData* AsRenderDriverData();
  // The view that the driver server hands out for this object, and from
  // which the entry points step back to the context: here the object itself.
  virtual GDriverData* AsUIDriverData();

  // A new settings tree assembled from deep copies of parts of the
  // printer's configuration; the caller owns it.
  virtual GAttributeComposite* BuildDefaultSettings() = 0;

  // (three operations of the driver: stored default settings, device
  // update, installed options)

  // Makes the object serve the printer of `key` (the driver server calls it
  // when it hands a parked object out again); the base has nothing cached.
  virtual void Retarget(const GPrinterKey& key);
  // Releases what a parked object need not hold; the base holds nothing.
  virtual void Park();
  // A call that ran short of memory may have left the object holding what
  // it made of less than the printer stores (default settings, a record, a
  // paper list): marked so, it is deleted when given back, not parked, and
  // the next call reads the printer anew. Any thread that calls into the
  // object may mark it (two threads' document events on one printer handle
  // share their document's context), and the one that gives it back reads
  // the mark: the mark's release and the reading's acquire hand the reader
  // what the marking call left.
  void MarkSpoiled() { spoiled_.store(true, std::memory_order_release); }
  bool IsSpoiled() const { return spoiled_.load(std::memory_order_acquire); }
  // Releases memory when memory runs short; non-zero when it did. The base
  // releases nothing (0).
  virtual int FreeMemory();

  // (fourteen operations of the driver: the cached value, forms, remote
  // printers, trays, resolutions, paper ids, custom forms, paper checks)

  // The path of the printer's support (helper) library: the text of the
  // string attribute keyed kSupportFileKey of the job settings, empty when
  // there is none.
  virtual RWWString GetSupportFilePath() = 0;

  // A new key for the printer this object serves, which the caller
  // deletes; null in the base, which serves no spooler printer.
  virtual GPrinterKey* CreatePrinterKey();

  // Finds, in the job settings' list keyed kBundlesKey, the entry whose name
  // (string attribute kBundleNameKey) equals `name` ignoring case, and applies
  // its series settings (attribute kBuiltSettingsKey) to `settings`. 1 when an
  // entry matched, else 0.
  virtual int ApplySeries(const RWWString& name, GAttributeComposite* settings) = 0;
  // The paper id that `paper_id` stands for under `settings`: here the id
  // itself.
  virtual std::uint16_t NormalizePaperId(GAttributeComposite* settings, std::uint16_t paper_id);

  // Registers the extension library `name` (8-bit) with `mode` for this
  // printer: the driver family's extension code (0 registered). Without an
  // extension manager the base answers kExtensionUnsupported.
  virtual std::uint32_t RegisterExtension(const char* name, std::uint32_t mode);

  // (five operations of the driver: built-in forms, the context's form
  // index, the local job-storage key, the device-mode settings model)

  // The job-settings composite of the configuration (reached through the
  // printer object, keyed kPrinterObjectKey), or null when there is none; the
  // driver data keeps it.
  virtual GAttributeComposite* GetJobSettings() = 0;
  // The printer object's configuration set (its configuration, keyed
  // kDeviceSettingsKey) as the data file holds it: the job-settings composite
  // itself, or a GConfiguration that holds the job settings and, beside them,
  // the model's association lists (the paper list kPaperAssociationsKey, the
  // copy-quality list kCopyPageChoicesKey, the printer-data values
  // kPrinterDataValuesKey), which an attribute composite cannot hold. Search it
  // by key for those lists. Null in the base, which has no printer object; the
  // driver data keeps it.
  virtual MPersistentObject* GetConfigurationSet();
  // Writes the printer's bin and tray maps from the settings model `root`.
  virtual void WriteBinAndTrayMaps(GAttributeComposite* root) = 0;
  // 1 and the paper code of media `media_id` in `paper_code` when the media
  // pool holds that media; else 0 and `paper_code` untouched.
  virtual int GetPaperCodeOfMedia(std::uint16_t media_id, std::uint16_t& paper_code) = 0;
  // The media id of a paper code: no printer of this driver gives one, so
  // it answers 0 and leaves `media_id` untouched.
  virtual int GetMediaIdOfPaperCode(std::uint16_t paper_code, std::uint16_t& media_id);
  // The media pool keyed kMediaListKey of the job settings; none in the base.
  virtual GMediaPool* GetMediaPool();
  // 0 when the job settings' string attribute keyed kRefusedMediaNamesKey
  // equals `name`, else 1 (and 1 in the base, which has no job settings).
  virtual int IsNameNotListed(const RWCString& name);
  // 1 when the custom size `id` of `settings` (null: the default settings)
  // lies within the media list's size limits 17389 and 17388; 0 in the
  // base.
  virtual int IsMediaSizeInRange(GAttributeComposite* settings, std::uint16_t id);

  // --- The same operations under the names the models call them by.

  // The configuration importer's helper library: the text of attribute
  // kSupportFileKey as it stands (empty: none). The driver's support path puts
  // its own directory in front, so the driver data answers this one itself.
  virtual RWWString& GetHelperLibraryPath(RWWString& out) {
    out = GetSupportFilePath();
    return out;
  }
  int SelectBundle(const RWWString& model_name, GAttributeComposite* root) {
    return ApplySeries(model_name, root);
  }
  // A custom paper code stays the user's own in an export, even when a
  // model medium has its size.
  std::uint16_t MapCustomPaperCode(GAttributeComposite*, std::uint16_t paper_code) {
    return paper_code;
  }

  // The printer this driver data serves (the services open it by this
  // name), its driver and its port.
  const RWWString& GetPrinterName() const { return printer_name_; }
  const RWWString& GetDriverName() const { return driver_name_; }
  const RWWString& GetPortName() const { return port_name_; }

  // The parts of the driver data file: each setter deletes the part held
  // before and takes `part` (null: none).
  RWCollectable* GetConfiguration() const { return configuration_; }
  RWCollectable* GetPaperSizeMapping() const { return paper_size_mapping_; }
  RWCollectable* GetTrayMap() const { return tray_map_; }
  RWCollectable* GetResourceMappings() const { return resource_mappings_; }
  void SetConfiguration(RWCollectable* part) { Replace(configuration_, part); }
  void SetPaperSizeMapping(RWCollectable* part) { Replace(paper_size_mapping_, part); }
  void SetTrayMap(RWCollectable* part) { Replace(tray_map_, part); }
  void SetResourceMappings(RWCollectable* part) { Replace(resource_mappings_, part); }

  // The driver server's first cookie for a value: (value >> 16) ^ value.
  static std::uint32_t MakeCookie(std::uint32_t value) { return (value >> 16) ^ value; }

 protected:
  GDriverData() = default;
  explicit GDriverData(const RWWString& printer_name) : printer_name_(printer_name) {}
  GDriverData(const RWWString& printer_name, const RWWString& driver_name,
              const RWWString& port_name)
      : printer_name_(printer_name), driver_name_(driver_name), port_name_(port_name) {}

  void SetPrinterName(const RWWString& name) { printer_name_ = name; }
  void SetDriverName(const RWWString& name) { driver_name_ = name; }
  void SetPortName(const RWWString& name) { port_name_ = name; }

 private:
  static void Replace(RWCollectable*& slot, RWCollectable* part);

  RWWString printer_name_;
  RWWString driver_name_;
  RWWString port_name_;
  RWCollectable* configuration_ = nullptr;       // keyed kDriverConfigurationKey
  RWCollectable* paper_size_mapping_ = nullptr;  // keyed kPaperSizeMappingKey
  RWCollectable* tray_map_ = nullptr;            // keyed kOSTrayMapKey
  RWCollectable* resource_mappings_ = nullptr;   // keyed kResourceMappingsKey
  std::atomic<bool> spoiled_{false};
};
