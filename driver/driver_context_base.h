// GDriverContextBase: the part of a printer's context that binds a device
// mode to the settings model and keeps what belongs to the printer rather
// than to a document. It decides which settings a device mode starts from
// (the stored printer-wide parts, else a fresh build from the
// configuration), writes settings back into the device mode and, as named
// objects in printer data, the printer-wide parts "365"
// (kInstalledOptionsKey, the installed options), "366" (kKeyLocksKey,
// watermarks and key locks) and "368" (kExtensionCompositeKey, the
// extension part), copies printer-data values into settings, gates the
// application flags, and names the user's registry places of the local
// watermark pool and of local job storage. The context (driver_context.h)
// derives from it and places its own operations behind these.
//
// The device-mode object is reached only through GDevModeSettingsInterface
// and made by the installed maker (dev_mode_settings_interface.h); without
// one a bind answers 0 and nothing is bound.
//
// Forms (context_forms.cpp over spooler_forms.h): the driver data's form
// operations answer from the spooler's forms of the printer handle that
// GetPrinterHandle gives: form numbers and paper ids both ways, which forms
// fit the custom size range (the symmetric pool's media 17385 and 17384,
// looked up at 0 degrees and swapped for 90 and 270), forms made into
// media and custom sizes, and the spooler forms that stand for user-defined
// sizes. Every settings tree BuildDefaultSettings and CreateDefaultSettings
// answer has its custom sizes (kCustomSizesKey) made anew from those forms.
//
// Where printer data lives:
//   - named objects "365", "366", "368": the settings parts of those keys
//     (kInstalledOptionsKey, kKeyLocksKey, kExtensionCompositeKey;
//     SaveSettings in mode 1 stores only the parts the settings held,
//     SaveReadSettings only those changed or missing);
//   - the pool of the user's own watermarks: the named object of the pseudo
//     name GetLocalWatermarkPoolName gives (the current user's registry, a
//     composite keyed kWatermarkListKey of the watermarks of scope 2);
//   - "LocalJobStorage" (REG_DWORD) under the current user's
//     GetLocalJobStorageKey;
//   - read only: printer-data strings "Base" and "PrinterUUID", the values
//     that list kPrinterDataValuesKey names, the current user's
//     "Printers\DevModes2" value of the printer (cut to its public part by
//     GetDevModeSizeForUser), and "EnableDevmodeAppflag".
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
// Mended: what only reads never stores, and the defaults never go over
// what the user stored. A bind built default settings for a record that was
// not the printer's (a printer handle it could not read, a printer without
// a default record) and stored their parts over the printer's: a
// capabilities query with a null handle put the default installed options
// over those the user set on the device sheet. It now writes the device
// mode only. CreateDefaultSettings took the defaults for all three parts
// when one was missing, so that one missing part hid the user's others, and
// whatever stored the tree then stored the defaults over them; now only the
// missing part is the defaults'. The sheets, the printer events and a
// registration store through SaveReadSettings: a part they read and left
// alone is not stored back over what another call stored meanwhile, and a
// part of the defaults only where none is stored whole. The default settings
// a context keeps between calls are read again once the printer changed
// (GDriverContext::CurrentDefaultSettings).
//
// Ownership: the base owns its device-mode object. What the operations
// answer is the caller's unless a comment says otherwise. Threads: one
// caller at a time (the driver server's check-out); the local-watermark flag
// is process-wide and atomic.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "config/keys/settings_keys.h"
#include "driver/dev_mode_settings_interface.h"
#include "driver/driver_data_imp.h"
#include "driver/spooler_forms.h"
#include "foundation/rw/cstring.h"
#include "platform/host/types.h"

class GMedia;

// The longest module path read (in units, with the terminator).
inline constexpr platform::DWORD kMaxModulePath = 260;

// Keys of the watermark list and its entries.
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

// The printer-wide parts that settings trees hold apart, in this order.
inline constexpr std::uint32_t kPrinterWideParts[] = {kInstalledOptionsKey, kKeyLocksKey,
                                                      kExtensionCompositeKey};

// What the printer held of its printer-wide parts when CreateDefaultSettings
// made a settings tree (PartsReadFor): each part's graph as the tree took it
// in (binary, GraphImage), or empty where none was stored whole and the
// defaults' part stood in. SaveReadSettings stores by it. Empty throughout,
// it describes a tree of defaults (BuildDefaultSettings).
struct GPartsAsRead {
  std::string images[std::size(kPrinterWideParts)];
};

class GDriverContextBase : public virtual GDriverDataImp {
 public:
  // Deletes the device-mode object.
  ~GDriverContextBase() override;

  // --- Its own operations, in slot order.

  // Binds `dev_mode` (null: none) as the settings' device mode. With an
  // object bound already: no device mode twice in a row re-makes the object
  // (state bit 1), gives it its settings as below and answers 1; the same
  // record answers 1 and changes nothing (the object's record is what a
  // merge of it gives). Otherwise a new object is made (state all ones):
  // from a default record, settings are built and written into it
  // (WriteDevModeSettings: a bind stores nothing, see Mended); from the
  // printer's record, the stored installed options are applied and the
  // collate field normalised. A given record is merged;
  // then the object's context word goes to the services' SetTimeBias and,
  // for a record from the printer, the EMF flag is taken. 1 when bound (the
  // merge's answer for a record), 0 without an object.
  virtual std::int32_t BindDevMode(const platform::DevModeW* dev_mode);
  // Empties the custom sizes (kCustomSizesKey), applies the installed options,
  // takes the parts kUIObjectsKey, kExtensionCompositeKey, kKeyLocksKey and
  // kInstalledOptionsKey out (a missing kExtensionCompositeKey, kKeyLocksKey or
  // kInstalledOptionsKey becomes a new empty GState), collects the local
  // watermarks while the flag is set, in mode 1 stores each part the settings
  // held as a named object, clears the tree's serial numbers, stores the
  // settings into the device mode and puts the parts back (kUIObjectsKey only
  // when it was there). 0 when the device mode was not written (or no
  // settings), else 1 unless a named store failed.
  virtual int SaveSettings(GAttributeComposite* settings, std::uint32_t mode);
  // The named object `key` (in decimal) when it is an attribute
  // composite of that key read whole (an object graph read to the end of
  // its value, both read under the named values' lock); else null, as for a
  // damaged value (anything else loaded is deleted), so that the defaults
  // stand in for it.
  virtual GAttributeComposite* LoadNamedSettings(const std::uint32_t& key);
  // Stores `object` as the named object of its key in decimal; the
  // store's answer (0 for null).
  virtual int StoreNamedSettings(MPersistentObject* object);
  // For each association of the job settings' list kPrinterDataValuesKey (a
  // value attribute holding a key, a string attribute holding a value name),
  // sets the attribute of that key in `settings`' part kInstalledOptionsKey
  // from printer data: a value attribute from the DWORD unless it is absent
  // (-1), a string attribute from the string unless it is "<none>", a range
  // attribute from a DWORD within its range. Then the job settings'
  // kEastAsianKey becomes 1 for the OEM code pages 932, 936, 949, 950 and 1361,
  // else 0. Entries of other classes are skipped.
  virtual void ApplyPrinterDataValues(GAttributeComposite* settings);
  // The spooler handle the context uses now.
  virtual platform::HANDLE GetPrinterHandle() = 0;

  // --- The driver data's operations.

  // The library's application flags, gated (ApplyAppFlags).
  void InitAppFlags() override;
  // A deep copy of the job settings' kDefaultSettingsKey keyed
  // kBuiltSettingsKey, with deep copies of the working set's
  // kDocumentAttributesKey (keyed kDocumentSettingsKey; its medium kMediumKey
  // dropped, kPaperSizeKey added as the default paper id, kTargetPaperSizeKey
  // set to it) and kPageAttributesKey (keyed kPageSettingsKey); the series of
  // printer data's "Base", or else (with kSeriesSwitchKey = 1) of the driver
  // name's text before " series"/" zdl" (ignoring case), applied; printer-data
  // values applied. Null without kDefaultSettingsKey.
  GAttributeComposite* BuildDefaultSettings() override;
  // A deep copy of the device mode's model (without one, BuildDefaultSettings)
  // with the stored parts kInstalledOptionsKey (installed options applied),
  // kKeyLocksKey and kExtensionCompositeKey; a part not stored whole is
  // BuildDefaultSettings' (see Mended). The watermarks' scopes are ensured
  // and, while the flag is set, the local watermarks merged. Null when
  // memory ran short for a part or the copy. Clears state bit 0.
  GAttributeComposite* CreateDefaultSettings() override;
  // "Software\Kestrova\" + printer data's "PrinterUUID" +
  // "\LocalJobStorageData".
  void GetLocalJobStorageKey(RWWString& key) override;
  // The device-mode object's model (its own), or null.
  GAttributeComposite* GetDevModeSettingsModel() override;

  // --- The driver data's form operations (see Forms above).

  // Whether the form numbered `number` fits the custom size range at
  // that orientation and resolution (FormFitsCustomRange); 0 for 0, 256
  // and numbers beyond the list.
  int IsFormUsable(std::uint32_t orientation, std::uint16_t x_resolution,
                   std::uint16_t y_resolution, int check, std::uint16_t number) override;
  // 1 when the printer's level 2 record reads and names a server.
  int IsRemotePrinter() override;
  // 256 gives 16384; a form that is not built-in gives its position's
  // id (none for the positions that name no form), a built-in one the
  // paper-size mapping's id of its number. 1, or 0 and `id` untouched.
  int FormIndexToPaperId(std::uint16_t number, std::uint16_t& id) override;
  // 16384 gives 256, an id of a form position its number; else the
  // paper-size mapping's number; else the first form (not built-in) that
  // matches the symmetric pool's medium of that id at the device mode's
  // orientation (0, or 90 for landscape) and resolution. 1, or 0.
  int PaperIdToFormIndex(std::uint16_t id, std::uint16_t& number) override;
  // PutFormForCustomSize (user form, replacing); then the custom size
  // takes the id of its form's position and is put in `list`
  // (PutCustomSize): 1. 0, the spooler untouched, when its form would land
  // on a position that names no form; 0 when the spooler refused. `size`
  // stays the caller's unless 1.
  int AddCustomForm(GCustomMediaSize* size, GAttributeComposite* list) override;
  // Deletes the spooler form named like the custom size `object`; then
  // `list` is emptied and refilled (AddCustomSizesFromForms) with the
  // geometry of `settings` and the check of their kScaleFromLargePaperKey (0:
  // checked): 1.
  int DeleteCustomForm(MPersistentObject* object, GAttributeComposite* list,
                       GAttributeComposite* settings) override;
  // Walk the forms that fit the custom size range at the geometry
  // of `settings` (null: the default settings, made when missing), each
  // with its id (a built-in form without a mapped id, and positions that
  // name no form, are skipped); `callback` (may be null) gets the running
  // count from 1, and an answer other than 1 ends the walk. 21 reports only
  // forms whose id the form-to-tray database kFormToTrayKey of `settings`
  // assigns to a tray, when it holds an association other than the default.
  // Answer the count reported.
  std::int32_t EnumFormsForPrinter(GFormCallback callback, void* data, int check,
                                   GAttributeComposite* settings) override;
  std::int32_t EnumAllForms(GFormCallback callback, void* data, int check,
                            GAttributeComposite* settings) override;
  // An id that PaperIdToFormIndex turns into a form number (not 256)
  // is checked as the paper id of MediumForFormNumber's medium (0 when
  // none can be made); any other id as it is.
  int CheckPaper(GAttributeComposite* settings, std::uint16_t paper_id, std::uint32_t orientation,
                 std::uint16_t x_resolution, std::uint16_t y_resolution) override;
  // GDriverDataImp's file name in the directory of the services'
  // module (BesideModule). Kept between calls while the model changes
  // counter, the configuration part and the module's file name stay as
  // they were when it was made; an edit that others make to the name inside
  // the tree counts from the next model change.
  RWWString GetSupportFilePath() override;
  // The paper id (below 4000) of the medium of the form that
  // PaperIdToFormIndex gives, at the geometry of `settings`; else `id`.
  std::uint16_t NormalizePaperId(GAttributeComposite* settings, std::uint16_t id) override;
  // `callback` (count from 1, mapped id or 0, name) for each built-in
  // form until it answers 0; its last answer, 1 when there was none.
  int EnumBuiltInForms(GFormCallback callback, void* data) override;
  // 1 when the form named like `size` exists and is built-in.
  int IsBuiltInForm(const GCustomMediaSize& size) override;

  // --- Their supporting operations.

  // The forms of GetPrinterHandle (empty without a handle).
  GFormList EnumForms();
  // With `check` 0, 1 for a form with a size; else 1 when its size lies
  // between the custom size range's media at that resolution (in
  // micrometres, swapped for 90 and 270). 0 for a form without a positive
  // size, and for a resolution of 0.
  int FormFitsCustomRange(const platform::FormInfo1W& form, std::uint16_t x_resolution,
                          std::uint16_t y_resolution, std::uint32_t orientation, int check);
  // The paper id of the form at `position`: the mapping's id of a built-in
  // form, PaperIdOfPosition of another; 0 for none.
  std::uint16_t FormPaperId(const platform::FormInfo1W& form, std::uint32_t position);
  // The first model medium of the media walk at that orientation and
  // resolution that the form matches (the driver data's, not the caller's),
  // or null.
  GMedia* FindMediumForForm(const platform::FormInfo1W& form, std::uint32_t orientation,
                            std::uint16_t x_resolution, std::uint16_t y_resolution);
  // A new medium (the caller's): a copy of FindMediumForForm's, else one
  // made from a custom size of id 16384, the form's name and its smaller
  // and larger length, with the job settings' margins. Null for a form
  // without a positive size.
  GMedia* MediumFromForm(const platform::FormInfo1W& form, std::uint32_t orientation,
                         std::uint16_t x_resolution, std::uint16_t y_resolution);
  // MediumFromForm of the form numbered `number`; one made from a custom
  // size takes the id number + 16383, or is none for a position that
  // names no form. Null for 0, 256 and numbers beyond the list.
  GMedia* MediumForFormNumber(std::uint16_t number, std::uint32_t orientation,
                              std::uint16_t x_resolution, std::uint16_t y_resolution);
  // Empties `settings`' list kCustomSizesKey, adds the current custom size (id
  // 16384, no name, from kCustomWidthKey and kCustomHeightKey in tenths of a
  // millimetre, when both are there) and AddCustomSizesFromForms at their
  // geometry and the check of their kScaleFromLargePaperKey. The count added
  // from forms; 0 without a list.
  int RefreshCustomSizes(GAttributeComposite* settings);
  // Appends to `list` a custom size per form that is not built-in, fits
  // the range and names a position: its id, its name, its smaller length
  // as width and larger as height, in micrometres, key 0. The count.
  int AddCustomSizesFromForms(GAttributeComposite* list, std::uint16_t x_resolution,
                              std::uint16_t y_resolution, std::uint32_t orientation, int check);
  // Puts the spooler form of a custom size (in micrometres) or of a medium
  // (its paper size converted at its resolution; the form named `name`,
  // flags kFormPrinter): a missing form is added with `flags` and the area
  // (0, 0, cx, cy); an existing one that is not built-in is given that size
  // and area when `replace` is 1. 1 when added or changed; 0 for an empty
  // name, a size that is not positive or passes 32 bits.
  int PutFormForCustomSize(platform::HANDLE printer, const GCustomMediaSize& size,
                           std::uint32_t flags, int replace);
  int PutFormForMedium(platform::HANDLE printer, const GMedia& medium, const RWWString& name,
                       int replace);
  // Whether the form at `position` of `forms` may be offered: it fits the
  // range and has an id, and, when part kInstalledOptionsKey (of the default
  // settings held, else the stored one) has a form-to-tray database
  // kFormToTrayKey with an association other than the default, that id is
  // assigned to a tray. The range and the database are read at the first call
  // with a list (GFormList::Serial) and kept for the calls that pass the same
  // list: a caller that changes either reads the forms anew.
  int IsFormAvailable(const GFormList& forms, std::uint32_t position, std::uint16_t x_resolution,
                      std::uint16_t y_resolution, std::uint32_t orientation, int check);
  // `name` in the directory (up to the last "\") of the services' module
  // file; `name` alone when that has no "\" or cannot be read.
  static RWWString BesideModule(const RWWString& name);
  // The same with the module file name read already (`length` as
  // GetModuleFileNameW answered it for a buffer of kMaxModulePath units).
  static RWWString BesideModuleFile(const char16_t* module, platform::DWORD length,
                                    const RWWString& name);
  // String `string_id` of the support library (GetSupportFilePath), at most
  // kMostFormNameLength units; empty when it does not load.
  RWWString LoadSupportString(std::uint32_t string_id);

  // --- Non-virtual operations.

  // What the last CreateDefaultSettings of this base read of the parts,
  // when it answered `settings`; else nothing read (the tree counts as
  // defaults). Asked once, right after the call: it forgets.
  GPartsAsRead PartsReadFor(const GAttributeComposite* settings);
  // SaveSettings in mode 1 of settings that CreateDefaultSettings made and
  // `read` describes (empty: defaults throughout), for a call that
  // stores on their behalf (a sheet's OK, a printer event, a
  // registration). Of the parts held, one read from the printer is stored
  // only when it changed since, so that one left alone never goes back over
  // what another call or thread stored meanwhile; one the defaults stood in
  // for only where the printer still holds no whole part, looked at and
  // stored under the named values' lock, so that the defaults never go over
  // what the user stored. `read` then holds the images of the parts stored.
  // Answers as SaveSettings.
  int SaveReadSettings(GAttributeComposite* settings, GPartsAsRead& read);
  // A settings graph's image: its stored form in the binary encoding (every
  // key, value and serial number); empty when it cannot be made.
  static std::string GraphImage(const MPersistentObject& graph);

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
  // Moves on whenever the device-mode object is made, dropped or given
  // settings by SaveSettings.
  std::uint64_t DevModeWrites() const { return dev_mode_writes_; }

 protected:
  GDriverContextBase() = default;

  // Deletes the device-mode object (the next bind makes one).
  void DropDevModeSettings();
  // SaveSettings that writes the device mode only: neither a part nor the
  // local watermark pool is stored (what a bind or a conversion writes).
  int WriteDevModeSettings(GAttributeComposite* settings);

  // PaperIdToFormIndex, and with `by_name` the context's own lookup: a form
  // also matches the medium when it has the name that the paper-size
  // mapping's string gives the medium in the support library.
  int SearchFormForPaperId(std::uint16_t id, std::uint16_t& number, bool by_name);
  // Deletes the object and makes a new one for GetPrinterHandle; false when
  // none could be made.
  bool RemakeDevModeSettings();

 private:
  // What SaveSettings stores besides the device mode.
  enum class Stores { kNothing, kPool, kHeldParts, kChangedParts };
  int SaveParts(GAttributeComposite* settings, Stores stores, GPartsAsRead* read);
  // A part of settings of SaveReadSettings, and its image in `read`.
  int StoreReadPart(MPersistentObject& part, std::string& image);

  // EnumFormsForPrinter and EnumAllForms; `by_tray` filters through the form-to-tray database.
  std::int32_t WalkForms(GFormCallback callback, void* data, int check,
                         GAttributeComposite* settings, bool by_tray);

  // What IsFormAvailable takes from the model once per form list (by its
  // serial number) instead of once per form: the custom size range at the
  // resolution and orientation last asked, and the paper ids that the
  // form-to-tray database offers. A caller walks one list at a time, and
  // the model does not change under a walk.
  struct FormListFacts {
    std::uint64_t list = 0;  // the list's serial number
    bool range_taken = false;
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::uint32_t orientation = 0;
    int check = 0;
    GFormRange range;
    bool trays_taken = false;
    bool every_id = true;                 // no database, or only default links
    std::vector<std::uint16_t> assigned;  // else the ids it offers, sorted
  };
  void TakeTrayFacts(FormListFacts& facts);

  // The support path as GetSupportFilePath last made it, and what it was
  // made from.
  struct KeptSupportPath {
    bool held = false;
    std::uint64_t model_changes = 0;
    const void* configuration = nullptr;  // identity only, never used
    platform::DWORD module_length = 0;    // GetModuleFileNameW's answer
    std::u16string module;                // the units it copied
    RWWString path;
  };

  KeptSupportPath support_path_;

  // What the last CreateDefaultSettings read, and the tree it answered
  // (identity only, never used).
  GPartsAsRead parts_read_;
  const GAttributeComposite* parts_read_for_ = nullptr;

  GDevModeSettingsInterface* dev_mode_settings_ = nullptr;  // owned
  std::uint64_t dev_mode_writes_ = 0;
  std::uint32_t state_flags_ = kStateMadeAnew;
  std::uint32_t dev_mode_released_ = 0;
  std::uint32_t emf_data_type_ = 0;
  FormListFacts form_list_facts_;
};
