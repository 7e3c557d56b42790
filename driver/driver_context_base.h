// GDriverContextBase: the part of a printer's context that binds a device
// mode to the settings model and keeps what belongs to the printer rather
// than to a document. It decides which settings a device mode starts from
// (the stored printer-wide parts, else a fresh build from the
// configuration), writes settings back into the device mode and, as named
// objects in printer data, the printer-wide parts "365" (installed
// options), "366" (watermarks and key locks) and "368" (the extension
// part), copies printer-data values into settings, gates the application
// flags, and names the user's registry places of the local watermark pool
// and of local job storage. The context (driver_context.h) derives from it
// and places its own operations behind these.
//
// The device-mode object is reached only through GDevModeSettingsInterface
// and made by the installed maker (dev_mode_settings_interface.h); without
// one a bind answers 0 and nothing is bound.
//
// Where printer data lives:
//   - named objects "365", "366", "368": the settings parts of those keys
//     (SaveSettings in mode 1 stores only the parts the settings held);
//   - the pool of the user's own watermarks: the named object of the pseudo
//     name GetLocalWatermarkPoolName gives (the current user's registry, a
//     composite keyed 378 of the watermarks of scope 2);
//   - "LocalJobStorage" (REG_DWORD) under the current user's
//     GetLocalJobStorageKey;
//   - read only: printer-data strings "Base" and "PrinterUUID", the values
//     that list 950 names, the current user's "Printers\DevModes2" value of
//     the printer (cut to its public part by GetDevModeSizeForUser), and
//     "EnableDevmodeAppflag".
//
// Readings taken here:
//   - the language value a bind hands to the services is the record's
//     context word, given to SetTimeBias (the services' one setter of a
//     16-bit value that contexts call);
//   - NormalizeCollate runs after every bind to a printer's own record,
//     whether installed options were stored or not;
//   - a bind whose merge fails answers the merge's 0 (a bind answers 1 only
//     when bound);
//   - the parts SaveSettings takes out are the settings' direct children of
//     those keys; the stored parts CreateDefaultSettings adds take the place
//     of direct children of their keys (so that lookups find them), while
//     BuildDefaultSettings adds its parts with the composite's own add (an
//     attribute set replaces a child of the same key, a plain composite
//     appends).
//
// Ownership: the base owns its device-mode object. What the operations
// answer is the caller's unless a comment says otherwise. Threads: one
// caller at a time (the driver server's check-out); the local-watermark flag
// is process-wide and atomic.
#pragma once

#include <cstdint>

#include "driver/dev_mode_settings_interface.h"
#include "driver/driver_data_imp.h"
#include "foundation/rw/cstring.h"
#include "platform/host/types.h"

// Keys of the settings parts kept apart from the device mode.
inline constexpr std::uint32_t kWatermarkPartKey = 366;
inline constexpr std::uint32_t kUserInterfacePartKey = 283;
inline constexpr std::uint32_t kBuiltSettingsKey = 360;
// Keys of the watermark list and its entries.
inline constexpr std::uint32_t kWatermarkListKey = 378;
inline constexpr std::uint32_t kWatermarkNameKey = 384;
inline constexpr std::uint32_t kWatermarkScopeKey = 1125;
inline constexpr std::uint16_t kSharedWatermark = 1;
inline constexpr std::uint16_t kLocalWatermark = 2;
// The application flags that cut device modes to their public part.
inline constexpr std::uint32_t kPublicDevModeFlags = 0x40100;
// Device-mode sizes: the whole record and its public part.
inline constexpr std::uint32_t kFullDevModeSize = 1172;
inline constexpr std::uint32_t kPublicDevModeSize = 220;
// State flags: made anew (all bits), re-made for a released device mode.
inline constexpr std::uint32_t kStateMadeAnew = 0xFFFFFFFF;
inline constexpr std::uint32_t kStateRemadeForRelease = 2;
inline constexpr std::uint32_t kStateRebuildDefaults = 1;

class GDriverContextBase : public virtual GDriverDataImp {
 public:
  // Deletes the device-mode object.
  ~GDriverContextBase() override;

  // --- Its own operations, in slot order.

  // 0: binds `dev_mode` (null: none) as the settings' device mode. With an
  // object bound already: no device mode twice in a row re-makes the object
  // (state bit 1) and answers 1; the same record answers 1 and changes
  // nothing. Otherwise a new object is made (state all ones): from a
  // default record, settings are built and saved with their printer-wide
  // parts; from the printer's record, the stored installed options are
  // applied and the collate field normalised. A given record is merged;
  // then the object's context word goes to the services' SetTimeBias and,
  // for a record from the printer, the EMF flag is taken. 1 when bound (the
  // merge's answer for a record), 0 without an object.
  virtual std::int32_t BindDevMode(const platform::DevModeW* dev_mode);
  // 1: empties the custom sizes (276), applies the installed options,
  // takes the parts 283, 368, 366 and 365 out (a missing 368, 366 or 365
  // becomes a new empty GState), collects the local watermarks while the
  // flag is set, in mode 1 stores each part the settings held as a named
  // object, clears the tree's serial numbers, stores the settings into the
  // device mode and puts the parts back (283 only when it was there). 0
  // when the device mode was not written (or no settings), else 1 unless a
  // named store failed.
  virtual int SaveSettings(GAttributeComposite* settings, std::uint32_t mode);
  // 2: the named object `key` (in decimal) when it is an attribute
  // composite; else null (anything else loaded is deleted).
  virtual GAttributeComposite* LoadNamedSettings(const std::uint32_t& key);
  // 3: stores `object` as the named object of its key in decimal; the
  // store's answer (0 for null).
  virtual int StoreNamedSettings(MPersistentObject* object);
  // 4: for each association of the job settings' list 950 (a value
  // attribute holding a key, a string attribute holding a value name),
  // sets the attribute of that key in `settings`' part 365 from printer
  // data: a value attribute from the DWORD unless it is absent (-1), a
  // string attribute from the string unless it is "<none>", a range
  // attribute from a DWORD within its range. Then the job settings' 958
  // becomes 1 for the OEM code pages 932, 936, 949, 950 and 1361, else 0.
  // Entries of other classes are skipped.
  virtual void ApplyPrinterDataValues(GAttributeComposite* settings);
  // 5: the spooler handle the context uses now.
  virtual platform::HANDLE GetPrinterHandle() = 0;

  // --- The driver data's operations.

  // 1: the library's application flags, gated (ApplyAppFlags).
  void InitAppFlags() override;
  // 4: a deep copy of the job settings' 359 keyed 360, with deep copies of
  // the working set's 246 (keyed 362; its medium 259 dropped, 260 added as
  // the default paper id, 272 set to it) and 256 (keyed 363); the series
  // of printer data's "Base", or else (with 1122 = 1) of the driver name's
  // text before " series"/" zdl" (ignoring case), applied; printer-data
  // values applied. Null without 359.
  GAttributeComposite* BuildDefaultSettings() override;
  // 5: a deep copy of the device mode's model with the stored parts 365
  // (installed options applied), 366 (scopes ensured, local watermarks
  // merged while the flag is set) and 368; when any is missing (or there is
  // no model), BuildDefaultSettings. Clears state bit 0.
  GAttributeComposite* CreateDefaultSettings() override;
  // 33: "Software\Kestrova\" + printer data's "PrinterUUID" +
  // "\LocalJobStorageData".
  void GetLocalJobStorageKey(RWWString& key) override;
  // 34: the device-mode object's model (its own), or null.
  GAttributeComposite* GetDevModeSettingsModel() override;

  // --- Non-virtual operations.

  // Keeps `library_flags` as the application flags; when any bit of
  // kPublicDevModeFlags is set and IsDevModeAppFlagEnabled is 0, both bits
  // are cleared.
  void ApplyAppFlags(std::uint32_t library_flags);
  // "EnableDevmodeAppflag" under "SOFTWARE\Kestrova\KV FA Drivers": the
  // current user's, or the machine's when that read fails; 1 when neither
  // reads or the value is non-zero, 0 for 0.
  int IsDevModeAppFlagEnabled();
  // A REG_DWORD of 4 bytes from `root`\`subkey` (read access): 0 and the
  // value; 13 when it exists otherwise; else the registry's failure.
  static std::int32_t ReadRegistryDword(platform::HKEY root, const RWWString& subkey,
                                        const RWWString& name, platform::DWORD& value);
  // kFullDevModeSize without the public-part flags; else
  // kPublicDevModeSize, and with `truncate` the user's "DevModes2" value of
  // the printer (REG_BINARY, longer than the public part, at most a full
  // record) is cut: dmSize 220 and dmDriverExtra 0 written byte by byte and
  // its first 220 bytes written back. Failures leave the value alone.
  std::uint32_t GetDevModeSizeForUser(int truncate);

  // The local watermark pool: its pseudo name ("???\-2147483647" +
  // "\Software\Kestrova\" + "PrinterUUID" + "\LocalWatermarkPoolData" +
  // "\LocalWatermarkPool"), storing a pool (the store's answer), merging the
  // pool's entries into watermark list `list` (scope 2, replacing entries of
  // the same name), collecting part `part`'s local entries into the pool,
  // and giving every entry of `part`'s list without a scope scope 1.
  RWCString& GetLocalWatermarkPoolName(RWCString& name);
  int StoreLocalWatermarkPool(GAttributeComposite* pool);
  void MergeLocalWatermarks(GAttributeComposite* list);
  void CollectLocalWatermarks(GAttributeComposite* part);
  void EnsureWatermarkScope(GAttributeComposite* part);
  // Writes "LocalJobStorage" under GetLocalJobStorageKey; 1 or 0.
  int SetLocalJobStorageValue(std::uint32_t value);
  // The process-wide local-watermark flag (set by the document sheets).
  static void SetLocalWatermarkFlag(std::uint32_t flag);
  static std::uint32_t GetLocalWatermarkFlag();

  GDevModeSettingsInterface* GetDevModeSettings() const { return dev_mode_settings_; }
  std::uint32_t GetStateFlags() const { return state_flags_; }
  std::uint32_t IsDevModeReleased() const { return dev_mode_released_; }
  std::uint32_t IsEmfDataType() const { return emf_data_type_; }

 protected:
  GDriverContextBase() = default;

  // Deletes the device-mode object (the next bind makes one).
  void DropDevModeSettings();

 private:
  // Deletes the object and makes a new one for GetPrinterHandle; false when
  // none could be made.
  bool RemakeDevModeSettings();

  GDevModeSettingsInterface* dev_mode_settings_ = nullptr;  // owned
  std::uint32_t state_flags_ = kStateMadeAnew;
  std::uint32_t dev_mode_released_ = 0;
  std::uint32_t emf_data_type_ = 0;
};
