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
// The virtual operations keep the driver data's slot order; the driver adds
// its own between them where the comments say, by extending this class in
// place. Where the models call an operation by another name, that name is a
// non-virtual member below that forwards to the virtual one. Two operations
// have no slot among the driver's own and follow them: the job settings,
// which the driver reaches through the configuration model (so it must be
// virtual at this level), and the bin and tray maps.
//
// Ownership: the driver data owns its configuration model; what the
// operations answer is documented at each. Threads: one driver data is used
// by one thread at a time (its owner's entry into the driver).
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"

class GAttributeComposite;

class GDriverData {
 public:
  GDriverData(const GDriverData&) = delete;
  GDriverData& operator=(const GDriverData&) = delete;
  virtual ~GDriverData();

  // (three operations of the driver: application flags, the render-data and
  // user-interface views)

  // A new settings tree assembled from deep copies of parts of the
  // printer's configuration; the caller owns it.
  virtual GAttributeComposite* BuildDefaultSettings() = 0;

  // (twenty operations of the driver: stored default settings, device
  // update, installed options, re-targeting, parking, memory, the cached
  // value, forms, remote printers, trays, resolutions, paper ids, custom
  // forms, paper checks)

  // The path of the printer's support (helper) library: the text of the
  // string attribute keyed 401 of the job settings, empty when there is
  // none.
  virtual RWWString GetSupportFilePath() = 0;

  // (one operation of the driver: the printer key)

  // Finds, in the job settings' list keyed 369, the entry whose name (string
  // attribute 370) equals `name` ignoring case, and applies its series
  // settings (attribute 360) to `settings`. 1 when an entry matched, else 0.
  virtual int ApplySeries(const RWWString& name, GAttributeComposite* settings) = 0;
  // The paper id that `paper_id` stands for under `settings`: here the id
  // itself.
  virtual std::uint16_t NormalizePaperId(GAttributeComposite* settings, std::uint16_t paper_id);

  // (six operations of the driver: extensions, built-in forms, the
  // context's form index, the local job-storage key, the device-mode
  // settings model)

  // The job-settings composite of the configuration (reached through the
  // printer object, keyed 76), or null when there is none; the driver data
  // keeps it.
  virtual GAttributeComposite* GetJobSettings() = 0;
  // Writes the printer's bin and tray maps from the settings model `root`.
  virtual void WriteBinAndTrayMaps(GAttributeComposite* root) = 0;
  // 1 and the paper code of media `media_id` in `paper_code` when the media
  // pool holds that media; else 0 and `paper_code` untouched.
  virtual int GetPaperCodeOfMedia(std::uint16_t media_id, std::uint16_t& paper_code) = 0;
  // The media id of a paper code: no printer of this driver gives one, so
  // it answers 0 and leaves `media_id` untouched.
  virtual int GetMediaIdOfPaperCode(std::uint16_t paper_code, std::uint16_t& media_id);

  // --- The same operations under the names the models call them by.

  RWWString& GetHelperLibraryPath(RWWString& out) {
    out = GetSupportFilePath();
    return out;
  }
  int SelectBundle(const RWWString& model_name, GAttributeComposite* root) {
    return ApplySeries(model_name, root);
  }
  std::uint16_t MapCustomPaperCode(GAttributeComposite* root, std::uint16_t paper_code) {
    return NormalizePaperId(root, paper_code);
  }

  // The printer this driver data serves; the services open it by this name.
  const RWWString& GetPrinterName() const { return printer_name_; }

 protected:
  GDriverData() = default;
  explicit GDriverData(const RWWString& printer_name) : printer_name_(printer_name) {}

 private:
  RWWString printer_name_;
};
