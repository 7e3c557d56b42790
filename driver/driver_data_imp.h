// GDriverDataImp: one printer's driver data, the real class behind the low
// GDriverData interface (services/driver_data.h). Through it every
// later part of the driver reaches the printer's configuration model, the
// paper-size, tray and resource mappings of the driver data file, the
// default settings, the media and trays (walks and size queries), the
// fonts added from mass storage, the physical settings and quick sets kept
// in printer data, and the extension manager.
//
// Layout. GDriverData stays the interface that the persistent and
// configuration models call, and keeps the fields they read (printer,
// driver and port names, and the four parts of the driver data file,
// keyed kDriverConfigurationKey, kPaperSizeMappingKey, kOSTrayMapKey and
// kResourceMappingsKey). This class derives from it virtually and adds the
// rest: the fourth name, the application flags, the cache of value
// kColorDeviceKey and its stale flag, the default settings, the symmetric media
// pool, the default paper id, the extension manager and the document flag.
// Every class of the driver data derives virtually from this one
// (GUIDriverData, the context base, the render-time driver data), so that an
// object has one driver data part whatever its diamond.
//
// The virtual operations come in the driver data's slot order. InitAppFlags,
// the two views, the two default-settings makers (BuildDefaultSettings and
// CreateDefaultSettings), Park, CreatePrinterKey, GetLocalJobStorageKey and
// GetDevModeSettingsModel are pure: the context and the render-time driver
// data answer them. The operations the low interface has but this slot
// table has not (the job settings, the bin and tray maps, the paper codes of
// media, and the media pool, excluded-name and custom-size queries of a
// job's filters) are final here.
//
// The model. The configuration (kDriverConfigurationKey) is a device (a kind of
// 760) whose own configuration set holds value kColorDeviceKey; its child keyed
// kPrinterObjectKey is the printer object, another device, whose configuration
// set is the job settings and whose descendants are the printer's devices
// (kPrinterLanguageDeviceKey, kJobLanguageDeviceKey, the printer-language
// generator of kind 765). The job settings' association lists (the paper list
// kPaperAssociationsKey, the copy-quality list kCopyPageChoicesKey, the
// printer-data values kPrinterDataValuesKey) cannot sit in an attribute
// composite, which holds attributes only; so the configuration set is read as
// any configuration object may be: either the job settings' attribute composite
// itself (every data file so far, which then has none of those lists), or a
// GConfiguration holding the job settings (its attribute composite keyed
// kDeviceSettingsKey) and the lists beside them. GetJobSettings answers the
// attribute composite in both forms, and the lists are found by key in the set
// (FindJobList). Lists and pools are used only when of their class: the
// mappings kPaperSizeMappingKey, kOSTrayMapKey and kResourceMappingsKey are
// GResourceMappingList, the media lists kMediaListKey and
// kAlternativeMediaListKey GMediaPool, the other lists attribute composites,
// their values GValueAttribute and their texts GStringAttribute.
//
// The walks (EnumMedia, EnumTrays, EnumResourceNames) share one callback
// contract. An item that the walk's filter passes is first skipped, with
// the mapped-only flag, when it has no mapping entry; then, with a buffer,
// the callback receives the item, its entry (null without the mapped-only
// flag), the running index, the buffer and an out flag set to 0; the item
// counts as reported when the callback sets the flag, and always when
// there is no buffer (no callback is made then: a counting walk). The
// index grows by one for every item offered (skipped items leave it), and
// a callback answer other than 1 ends the walk after its item. The result
// is 1 when an item was reported, else -1.
//
// Ownership: the driver data owns the parts of the data file (through
// GDriverData), the default settings, the cached media pool and the
// extension manager. What an operation answers is its own unless the
// comment says the caller owns it. Threads: one thread at a time (the
// driver server's check-out serialises).
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "output/core/printer_language_query.h"
#include "services/driver_data.h"

class GCustomMediaSize;
class GDeviceFontListComposite;
class GExtensionManager;
class GMedia;
class GMediaPool;
class GPeripheral;
class GResourceMapping;
class GResourceMappingList;
class GTray;
struct GSize16;
class MPersistentObject;

// The walks' callbacks (see the contract above). `reported` is the out
// flag; the answer 1 goes on.
using GMediaCallback = int (*)(GMedia* medium, GResourceMapping* entry, std::uint32_t index,
                               void* buffer, std::uint32_t& reported);
using GTrayCallback = int (*)(GTray* tray, GResourceMapping* entry, std::uint32_t index,
                              void* buffer, std::uint32_t& reported);
// `name` is the name of a mapping made from list kUserMediaTypesKey, null for
// the printer's own resource mappings.
using GResourceNameCallback = int (*)(GResourceMapping* mapping, const RWWString* name,
                                      std::uint32_t index, void* buffer, std::uint32_t& reported);
// The form walks' callback: the running count from 1, the paper id, the
// form's name and the caller's data; 1 goes on.
using GFormCallback = int (*)(std::uint32_t count, std::uint16_t paper_id, const RWWString& name,
                              void* data);

// The named objects of the printer's paper path (installed options).
inline constexpr char16_t kBinPoolName[] = u"VROBinPool";
inline constexpr char16_t kOSTrayMapName[] = u"VROOSTrayMap";
inline constexpr char16_t kPDLTrayMapName[] = u"VROPDLTrayMap";
inline constexpr char16_t kWQMBinMapName[] = u"VROWQMBinMap";
// The stored physical settings and the kind of their last update.
inline constexpr char16_t kPhysicalSettingsName[] = u"PhySetting";
inline constexpr char16_t kLastUpdateTypeName[] = u"LastUpdateType";
// UpdateFromDevice without a device-value reader.
inline constexpr std::uint32_t kNoDeviceValues = 603;
// The first and last paper ids AddCustomForm gives.
inline constexpr std::uint16_t kFirstCustomFormId = 16385;
inline constexpr std::uint16_t kLastCustomFormId = 17383;
// The spooler numbers and second numbers of mappings made from list
// kUserMediaTypesKey.
inline constexpr std::uint16_t kFirstResourceSystemNumber = 16690;
inline constexpr std::int16_t kFirstResourceSecondNumber = 50;
// Paper ids of GetDefaultPaperId.
inline constexpr std::uint32_t kLetterPaperId = 1;
inline constexpr std::uint32_t kA4PaperId = 23;
// UpgradeStoredObject's first buffer, and the most it grows to.
inline constexpr std::uint32_t kUpgradeFirstBuffer = 4096;
inline constexpr std::uint32_t kUpgradeMostBuffer = 16u << 20;

class GDriverDataImp : public virtual GDriverData {
 public:
  // Makes the extension manager (none when that allocation fails).
  GDriverDataImp();
  // Deletes the default settings, the cached pool and the extension
  // manager; GDriverData deletes the parts.
  ~GDriverDataImp() override;

  // --- The virtual operations, in slot order; those it inherits unchanged
  // from GDriverData keep their places there.

  // Copies the library's application flags into the driver data.
  virtual void InitAppFlags() = 0;
  // The render-time and the user-interface views.
  GRenderDriverData* AsRenderDriverData() override = 0;
  GDriverData* AsUIDriverData() override = 0;
  // The default settings that the driver data keeps, made anew; the
  // caller owns them.
  virtual GAttributeComposite* CreateDefaultSettings() = 0;
  // The job settings from the device values: the port-handler
  // registry's value source for the port (flag 0x10000, the registry
  // agent's reader) runs UpdateConfiguration on the job settings with match
  // flag 1 and is deleted; its 16-bit answer, or kNoDeviceValues without a
  // source or job settings. `argument` is the context's (its plug-in step
  // runs only for 0).
  virtual std::uint32_t UpdateFromDevice(std::uint32_t argument);
  // The installed options of `settings` (the part kInstalledOptionsKey itself,
  // or a composite holding it as a direct child; null: the default settings
  // held) applied to the model; 1 when it ran, 0 without the options part.
  // See installed_options.cpp.
  virtual int ApplyInstalledOptions(GAttributeComposite* settings);
  // Serves the printer of `key` from now on: value kColorDeviceKey is read
  // again (the cached value is forgotten) and the symmetric pool is dropped.
  void Retarget(const GPrinterKey& key) override;
  void Park() override = 0;
  // Value kColorDeviceKey of the configuration's own settings,
  // sign-extended, read when stale; 0 until it was read.
  virtual std::int32_t GetCachedValue();
  // 1 when the walk of media (`check`: within the custom size limits;
  // mapped only) meets one whose paper-size mapping has spooler number
  // `paper_number`, or a custom size of the default settings turns into
  // that number (PaperIdToFormIndex) and lies within the limits at the
  // resolution; else 0.
  virtual int IsFormUsable(std::uint32_t orientation, std::uint16_t x_resolution,
                           std::uint16_t y_resolution, int check, std::uint16_t paper_number);
  // 0.
  virtual int IsRemotePrinter();
  // 1 when a tray of the walk maps to operating-system number
  // `number`.
  virtual int HasTrayMapping(std::uint16_t number);
  // 1 when an entry of the job settings' list kAlternateResolutionListKey (when
  // the default settings hold kResolutionListSelectorKey = 2) or else
  // kResolutionListKey has kXResolutionKey = `x` and kYResolutionKey = `y`.
  virtual int IsResolutionSupported(std::uint16_t x, std::uint16_t y);
  // The paper-size mapping from spooler number to model id and
  // back: 1 and the out value, or 0 and the out value untouched.
  virtual int FormIndexToPaperId(std::uint16_t number, std::uint16_t& id);
  virtual int PaperIdToFormIndex(std::uint16_t id, std::uint16_t& number);
  // 23 (A4) for a user's country code above 2 outside 50-59 and
  // 500-599, else 1 (Letter, also without the user's settings); computed
  // once.
  virtual std::uint32_t GetDefaultPaperId();
  // Gives `size` the smallest id of kFirstCustomFormId to
  // kLastCustomFormId no entry of `list` has and puts it in `list`
  // (PutCustomSize): 1. Every id taken (or a null argument): 0, nothing
  // changed, and `size` stays the caller's.
  virtual int AddCustomForm(GCustomMediaSize* size, GAttributeComposite* list);
  // Removes `object` from `list` by identity and deletes it: 1; else 0.
  virtual int DeleteCustomForm(MPersistentObject* object, GAttributeComposite* list,
                               GAttributeComposite* settings);
  // The forms the context enumerates; 0 here.
  virtual std::int32_t EnumFormsForPrinter(GFormCallback callback, void* data, int check,
                                           GAttributeComposite* settings);
  virtual std::int32_t EnumAllForms(GFormCallback callback, void* data, int check,
                                    GAttributeComposite* settings);
  // CheckPaper with the resolution (kResolutionKey: kXResolutionKey,
  // kYResolutionKey) and orientation (kOrientationKey) of `settings` (0 where
  // missing).
  virtual int CheckPaperForSettings(GAttributeComposite* settings, std::uint16_t paper_id);
  // 2 for an id of 16384 or more; else 1 unless the configuration set
  // holds an association list kPaperAssociationsKey without an association
  // whose key is a value attribute equal to the id (2).
  virtual int CheckPaper(GAttributeComposite* settings, std::uint16_t paper_id,
                         std::uint32_t orientation, std::uint16_t x_resolution,
                         std::uint16_t y_resolution);
  // String attribute kSupportFileKey of the job settings, widened; empty
  // without.
  RWWString GetSupportFilePath() override;
  // The same text, whatever a context makes of its support path.
  RWWString& GetHelperLibraryPath(RWWString& out) final {
    out = GDriverDataImp::GetSupportFilePath();
    return out;
  }
  GPrinterKey* CreatePrinterKey() override = 0;
  // In the job settings' list kBundlesKey, the first entry whose string
  // kBundleNameKey, upper-cased, equals `name` upper-cased assigns its
  // attribute kBuiltSettingsKey to `settings` (GAttribute::Assign): 1. None: 0.
  int ApplySeries(const RWWString& name, GAttributeComposite* settings) override;
  // Value kExtensionSupportKey of the job settings (0 without) for an empty (or null)
  // name; kExtensionUnsupported when it is 0; else the extension manager
  // registers (`mode` 0) or unregisters the extension and answers its
  // code; without a manager 1.
  std::uint32_t RegisterExtension(const char* name, std::uint32_t mode) override;
  // The context's forms; 0 here.
  virtual int EnumBuiltInForms(GFormCallback callback, void* data);
  virtual int IsBuiltInForm(const GCustomMediaSize& size);
  virtual int ContextPaperIdToFormIndex(std::uint16_t id, std::uint16_t& number);
  // The user's registry key of local job storage.
  virtual void GetLocalJobStorageKey(RWWString& key) = 0;
  // The settings model of the bound device mode (not the caller's).
  virtual GAttributeComposite* GetDevModeSettingsModel() = 0;

  // --- The low interface's operations that have no slot of their own.

  // The job settings in the printer object's configuration set
  // (JobSettingsIn, driver/model_lookup.h); null when a step is missing or
  // of another class.
  GAttributeComposite* GetJobSettings() final;
  // The printer object's configuration, whatever its class; null without
  // a printer object.
  MPersistentObject* GetConfigurationSet() final;
  // Stores "VROBinPool" (a deep copy of the bin pool kPaperHandlingKey of
  // `root`, else of the job settings' kPrinterModelKey) and "VROOSTrayMap" (the
  // operating-system tray map) as named objects, each when there is one.
  void WriteBinAndTrayMaps(GAttributeComposite* root) final;
  // 1 and the paper-size id of the medium of paper-size id `media_id` in
  // the media list kMediaListKey, else 0 and `paper_code` untouched.
  int GetPaperCodeOfMedia(std::uint16_t media_id, std::uint16_t& paper_code) final;
  // 0, `media_id` untouched (no printer of this driver gives one).
  int GetMediaIdOfPaperCode(std::uint16_t paper_code, std::uint16_t& media_id) final;
  // GetMediaList.
  GMediaPool* GetMediaPool() final { return GetMediaList(); }

  // --- Non-virtual operations.

  const RWWString& GetFourthName() const { return fourth_name_; }
  std::uint32_t GetAppFlags() const { return app_flags_; }
  std::uint32_t GetDocumentFlag() const { return document_flag_; }
  void SetDocumentFlag(std::uint32_t flag) { document_flag_ = flag; }
  // The manager, or null when it could not be made.
  GExtensionManager* GetExtensionManager() const { return extension_manager_; }

  // The default settings held, or null; and the same, made
  // (CreateDefaultSettings) when none are held.
  GAttributeComposite* GetDefaultSettings() const { return default_settings_; }
  GAttributeComposite* EnsureDefaultSettings();

  // How many times the driver data changed its model or its default
  // settings itself: default settings made or replaced, installed options
  // applied, device values read (and, in a context, another printer or
  // handle served). Answers kept from the model are kept while this stays
  // (and the printer's change stamp, platform::GetPrinterChangeStamp, too).
  // Edits that others make inside the trees do not count.
  std::uint64_t GetModelChanges() const { return model_changes_; }

  // The configuration's child keyed kPrinterObjectKey when it is a device, else
  // null.
  GPeripheral* FindPrinterObject();
  // The job settings' resolution list: kAlternateResolutionListKey when the
  // default settings held have kResolutionListSelectorKey = 2, else
  // kResolutionListKey; null without it.
  GAttributeComposite* GetResolutionList();
  // The job settings' media list kMediaListKey (a GMediaPool), bin pool
  // kPaperHandlingKey (an attribute composite), or null.
  GMediaPool* GetMediaList();
  GAttributeComposite* GetBinPool();
  // The printer object's first descendant of kind 765, or null.
  GPeripheral* GetPrinterLanguage();
  // The settings (configuration) of the printer object's device keyed
  // `device_key` when they are a composite (an attribute composite or a
  // GConfiguration); else null.
  MPersistentObject* DeviceSettings(std::uint32_t device_key);
  // Value kEastAsianKey of the job settings, sign-extended; 0 without.
  std::int32_t GetEastAsianFlag();
  // With value kEmulateMarginsKey of the default settings: the job settings'
  // list kAlternativeMediaListKey. Else the media list kMediaListKey, or, with
  // kSymmetricalMarginsKey, a pool of copies of its media with symmetric
  // margins (each side the larger of the two; printable sizes never below 0),
  // built once and kept until Retarget. Null when the list is missing.
  GMediaPool* GetSymmetricMediaPool();
  // 1 when the custom size `id` of `settings` (null: the default
  // settings, made when missing) lies, as a medium of their resolution and
  // orientation, between the media 17389 and 17388 of the media list in
  // both directions; else 0.
  int IsMediaSizeInRange(GAttributeComposite* settings, std::uint16_t id) final;
  // 0 when any string attribute kRefusedMediaNamesKey of the job settings
  // equals `name`, else 1.
  int IsNameNotListed(const RWCString& name) final;
  // Appends to `list` a mapping (string id 0, system number 16690 + i,
  // second number 50 + i, key 0) per entry of the default settings' list
  // kUserMediaTypesKey (made when missing), i counting the appended ones, but
  // none whose second number `list` holds. Answers list kUserMediaTypesKey, or
  // null.
  GAttributeComposite* FillResourceMappings(GResourceMappingList& list);
  // 1 when the resource mappings, or a list filled as above, have spooler
  // number `number`; else 0.
  int HasResourceMapping(std::uint16_t number);

  // Removes and deletes the entry of `list` named like `size` (exact
  // compare), never `size` itself, and adds `size` unless `list` holds it
  // already; `list` holds it from then on.
  static void PutCustomSize(GAttributeComposite& list, GCustomMediaSize* size);
  // The paper sizes of the symmetric pool's media kSmallestCustomSizeId
  // (into `minimum`) and kLargestCustomSizeId (into `maximum`) at that
  // orientation and resolution; a missing one (or pool) leaves its bound.
  void CustomSizeLimits(std::uint32_t orientation, std::uint16_t x_resolution,
                        std::uint16_t y_resolution, GSize16& minimum, GSize16& maximum);

  // The walks (see the contract above). EnumMedia walks the symmetric
  // pool's media of that orientation and resolution between (0, 0) and
  // (32767, 32767), or, with `check`, between the paper sizes of its
  // media 17385 (lower) and 17384 (upper); mapped means a paper-size
  // mapping whose second number is the paper-size id.
  int EnumMedia(GMediaCallback callback, std::uint32_t orientation, std::uint16_t x_resolution,
                std::uint16_t y_resolution, int check, void* buffer, int mapped_only,
                std::uint32_t& index);
  // The trays of the bin pool's installed paper sources, in order; with
  // the job settings' list kTrayOrderKey once per entry, passing the trays of
  // that id, so trays come in the list's order. Mapped means an
  // operating-system tray map entry whose second number is the tray id.
  int EnumTrays(GTrayCallback callback, void* buffer, int mapped_only, std::uint32_t& index);
  // The resource mappings, then the mappings made from list kUserMediaTypesKey
  // each with the name of its list entry (a string attribute), the i-th with
  // the i-th entry. Every item is a mapping, so the mapped-only flag skips
  // none.
  int EnumResourceNames(GResourceNameCallback callback, void* buffer, int mapped_only,
                        std::uint32_t& index);

  // The named object "AddedFonts" when it is a GDeviceFontListComposite
  // (the caller's), else null; and storing one (the services' answer).
  GDeviceFontListComposite* LoadAddedFonts();
  int StoreAddedFonts(const GDeviceFontListComposite& fonts);
  // Brings "AddedFonts" up to date with the ten mass-storage font sources
  // and their states in "DisabledMSDs", and answers it (the caller's; null
  // when there is none).
  GDeviceFontListComposite* SyncAddedFonts();
  // 0 when `settings` differ from the stored physical settings
  // ("PhySetting", an attribute composite) or were configured by hand
  // after an "Admin" or "Auto" update; 1 otherwise, and without either.
  int IsPhysicalSettingsCurrent(GAttributeComposite* settings);

  // Brings `object` (left as it is) to the current form: re-encodes it as
  // a flat settings record (the buffer grows from kUpgradeFirstBuffer to
  // kUpgradeMostBuffer) and decodes it on the current template, which
  // says what the current form holds; a copy of `object` then takes the
  // template's additions and changes of class from the decoded tree, and
  // keeps the rest as stored, what the record does not carry included
  // (see KeepInCurrentForm in driver_data_stored.cpp). A quick-set pool
  // (kQuicksetPoolKey) is then rebuilt by UpgradeQuicksets. Only an object
  // of `object`'s class is stored back: as the named object `name`, or,
  // for a null name, under `key` in decimal; the store's answer. An object
  // already in the current form (nothing to add or change, or a pool that
  // rebuilds equal in content) is not written: 1. 0, printer data
  // untouched, when the object cannot be re-encoded or decoded, and when
  // memory ran short on the way.
  int UpgradeStoredObject(MPersistentObject* object, const RWWString* name, std::uint32_t key);
  // The same on the named object `name` (8-bit), and on the object stored
  // under `key`; 0 when it is missing.
  int UpgradeNamedObject(const RWCString& name);
  int UpgradeObjectByKey(std::uint32_t key);
  // Rebuilds each quick set of `old_pool` on the job settings' template
  // kQuicksetTemplateKey into `new_pool` (see driver_data_stored.cpp); 0
  // without a template (nothing added) or when a copy cannot be had (then
  // `new_pool` is not to be used), else 1.
  int UpgradeQuicksets(GAttributeComposite& old_pool, GAttributeComposite& new_pool);

  // Copies the values kPagesPerSheetKey, kNupBordersKey and kNupPageOrderKey of
  // `source`'s part kDocumentSettingsKey into the same values of `target`'s
  // part kNupSettingsKey, each where both exist. Answers `target`.
  GAttributeComposite* CopyMappedValues(GAttributeComposite* source, GAttributeComposite* target);

 protected:
  // Whether `part`, read from the value stored under `key` in decimal, is
  // that value whole: its own key, and an object graph that reads to the
  // value's end. A damaged header still reads as a part (one of another
  // key, or one cut short at a version word the restore did not know,
  // which it answers silently); such a part is never used, nor stored
  // back. A value in another form (a flat record) passes.
  bool IsWholeStoredPart(std::uint32_t key, const MPersistentObject& part);

  void SetAppFlags(std::uint32_t flags) { app_flags_ = flags; }
  // The fourth name, which only the rendering side sets (its job's port).
  void SetFourthName(const RWWString& name) { fourth_name_ = name; }
  // Deletes the default settings held and keeps `settings` (null: none).
  void SetDefaultSettings(GAttributeComposite* settings);
  void NoteModelChange() { ++model_changes_; }

 private:
  // The configuration's own configuration set, or null.
  MPersistentObject* ConfigurationSettings();

  RWWString fourth_name_;
  std::uint32_t app_flags_ = 0;
  std::uint32_t cache_stale_ = 1;
  std::int32_t cached_value_ = 0;                    // value kColorDeviceKey
  GAttributeComposite* default_settings_ = nullptr;  // owned
  GMediaPool* symmetric_pool_ = nullptr;             // owned
  std::uint32_t default_paper_id_ = 0;               // 0 until computed
  GExtensionManager* extension_manager_ = nullptr;   // owned
  std::uint32_t document_flag_ = 0;
  std::uint64_t model_changes_ = 0;
};
