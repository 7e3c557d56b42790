// GExtensionManager: the driver side of the driver family's extension
// libraries, one per driver data (made by its constructor with the driver
// data as owner). It registers and unregisters extensions, and during a
// job loads their job modules and lets them add data around the document
// and page commands. The registered extensions live in the owner's default
// settings: composite kExtensionCompositeKey holds the description list
// kExtensionDescriptionsKey.
//
// Register (the module named as given is loaded for the call only):
//  1-3. the driver table (version 0) and the description (describe with
//       the language code); a required text left empty gives 14;
//  4. an entry {kExtensionIdentityKey, kExtensionNameKey, kExtensionTextKey,
//     kExtensionFlagsKey, kExtensionUIModuleKey, kExtensionJobModuleKey,
//     kExtensionAboutTextKey, kExtensionAboutMoreKey, kExtensionIndexKey} joins
//     list kExtensionDescriptionsKey of kExtensionCompositeKey (9 when four are
//     there, 13 for a name already there);
//  5. the default settings bytes join list kExtensionSettingsListKey of
//     kExtensionSettingsKey (15 over 50 bytes);
//  6. ApplyMaps; 7. the extension's installed function.
// Unregister removes the first entry of the same identity and name and
// the settings entries of its index, renumbering the later entries of both
// lists, then RemoveMaps and the removed function. Mended: an entry
// without its index takes its place in the list as index (it used to be
// removed alone and answer 10).
// A list holding one entry of index 100 is the shipped placeholder and
// counts as empty; composites kExtensionCompositeKey and kExtensionSettingsKey
// and their lists are made when missing. Mended: the settings entry takes the
// new description's index (the settings list's count could attach it to another
// extension).
//
// ApplyMaps/RemoveMaps (extension_maps.cpp) turn the tray and bin maps of
// an extension into paper-handling devices and map entries stored as the
// printer's named objects "VROBinPool", "VROOSTrayMap", "VROPDLTrayMap"
// and "VROWQMBinMap".
//
// Live managers are kept in a registry so that the exports can refuse a
// handle that is not one (IsLiveExtensionManager).
//
// The job side (GExtensionJobHooks, services/extension_job_hooks.h;
// extension_jobs.cpp), called by the job's hand-off filters:
//  BeginDocument  loads the registered extensions (LoadExtensionEntries on
//       the default settings), then the job module of each with flag 0x8
//       (the module directory's file of the description's job-module
//       text), its job table through "KVExt_QueryInterface" version 2 (a
//       module that does not load, lacks the export or answers nonzero
//       keeps an empty table), and calls each start function with mask
//       0x10 (a failed start leaves 0x10: no data, but end is still
//       called). Then asks for 0x20 and 0x80.
//  EndDocument    asks for 0x40 and 0x100, calls every end function and
//       lets go of the tables, masks, descriptions and modules.
//  Document data joins the command's attribute set as composite
//       kJobLanguageDataKey (job language) or kPageDescriptionDataKey (page
//       description), one GStringAttribute of key 0 per extension that
//       answered, none when no extension answered.
//  AddStartData / AddEndData ask for 0x200 / 0x400 (filter 0) or 0x800 /
//       0x1000 (other filters) and wrap the answers as GPassThroughCommands
//       aimed at the printer-language device's class (767, 788, else 0):
//       [page start, data...] or [data..., page end] as a new composite,
//       or the given command itself when nothing was added.
// Each operation makes its command the job context's current command.
// Mended: EndDocument also sets the loaded count to 0, so page data after
// it adds nothing and the next BeginDocument starts afresh. Reading: the
// loaded count is one past the highest index loaded (as on the UI side),
// so a gap in the indexes hides no extension.
//
// ExtensionJobContext: what the manager keeps for the value requests that
// job modules make during a job (extensions never see it).
//
// Ownership: the manager owns its job context and the job modules' handles;
// the owner and the settings root are the owner's. Threads: the owner's.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/extension_interface.h"
#include "foundation/rw/cstring.h"
#include "persist/dynamic_library.h"
#include "services/extension_job_hooks.h"

class GAttributeComposite;
class GCommand;
class GDriverDataImp;
class GPeripheral;

// Extensions a printer takes.
inline constexpr std::uint16_t kMaxExtensions = 4;

// The driver's export that extensions are handed: (interface version,
// table to fill) -> code.
using GDriverQueryInterface = std::uint16_t (*)(std::uint16_t version, void* table);

// Loaded extensions: descriptions and settings strings by index.
struct ExtensionSet {
  ExtensionDescription* descriptions[kMaxExtensions] = {};  // owned
  RWCString settings[kMaxExtensions];
  std::uint16_t count = 0;

  ExtensionSet() = default;
  ExtensionSet(const ExtensionSet&) = delete;
  ExtensionSet& operator=(const ExtensionSet&) = delete;
  ~ExtensionSet() { Clear(); }
  // Frees the descriptions, empties the strings, count 0.
  void Clear();
  std::uint16_t CopyOut(char* buffer, std::uint16_t size, const char* name) const {
    return CopyOutExtensionSettings(descriptions, settings, count, buffer, size, name);
  }
};

// Loads into `into` (cleared first) the entries of list
// kExtensionDescriptionsKey (of kExtensionCompositeKey) of `settings` whose
// index is below 4, with descriptions filled from kExtensionIdentityKey to
// kExtensionFlagsKey, and the settings strings (kExtensionSettingsBytesKey) of
// list kExtensionSettingsListKey (of kExtensionSettingsKey) by their index; the
// count is one past the highest index loaded. Placeholder lists load nothing.
// Mended: when an entry that would load repeats an index, has a text that does
// not fit its field (or holds a NUL) or settings over 50 bytes, nothing loads
// (it used to cut texts and let the later entry win).
void LoadExtensionEntries(GAttributeComposite* settings, ExtensionSet& into);

// Whether `handle` is a live GExtensionManager.
bool IsLiveExtensionManager(const void* handle);

struct ExtensionJobContext {
  // The owner; every pointer null, the strings empty, no extension.
  explicit ExtensionJobContext(GDriverDataImp* owner_data) : owner(owner_data) {}

  GDriverDataImp* owner;                            // not owned
  GAttributeComposite* default_settings = nullptr;  // the owner's
  GCommand* command = nullptr;                      // being handled
  GPeripheral* printer_language = nullptr;
  ExtensionSet extensions;
};

// The file name of `field` (a module text) of `description` in the
// services' module directory.
RWWString ExtensionModulePath(const ExtensionDescription& description,
                              const ExtensionTextField& field);

class GExtensionManager final : public GExtensionJobHooks {
 public:
  // Keeps `owner`; nothing loaded, no settings root, no job context.
  explicit GExtensionManager(GDriverDataImp* owner);
  GExtensionManager(const GExtensionManager&) = delete;
  GExtensionManager& operator=(const GExtensionManager&) = delete;
  // Clears the owner and frees the job context.
  ~GExtensionManager() override;

  // Registration of the extension library `module_name` and its undoing:
  // the extension codes (see above).
  std::uint16_t Register(const char* module_name);
  std::uint16_t Unregister(const char* module_name);

  // The tray and bin maps of `table` by `flags` (extension_maps.cpp).
  std::uint16_t ApplyMaps(const ExtensionDriverTable& table, std::uint32_t flags);
  std::uint16_t RemoveMaps(const ExtensionDriverTable& table, std::uint32_t flags);

  // 12 for a printer language of class 767, 11 for 788, else 0.
  std::uint16_t LanguageCode();

  // The job context, made on first use (null when that fails).
  ExtensionJobContext* EnsureJobContext();
  ExtensionJobContext* GetJobContext() const { return job_context_.get(); }
  // Fills the job context's descriptions and settings strings from
  // `settings` (the default settings when null): LoadExtensionEntries.
  void LoadJobExtensions(GAttributeComposite* settings);

  // 1 when the owner holds default settings (their composite
  // kExtensionCompositeKey, when it is one, becomes the settings root; else
  // none), 0 otherwise.
  int LoadSettingsRoot();
  GAttributeComposite* GetSettingsRoot() const { return settings_root_; }

  // The job hooks (see above).
  void BeginDocument(GCommand* document_start) override;
  void EndDocument(GCommand* document_end) override;
  GCommand* AddStartData(GCommand* page_start, std::uint32_t filter) override;
  GCommand* AddEndData(GCommand* page_end, std::uint32_t filter) override;

  GDriverDataImp* GetOwner() const { return owner_; }
  std::uint16_t GetLoadedCount() const { return loaded_count_; }

 private:
  // The job side (extension_jobs.cpp).
  void LoadJobModules();
  // Composite `key` of each extension's answer to `code`, added to the
  // command's attribute set when one answered.
  void AddDocumentData(GCommand* command, std::uint32_t code, std::uint32_t key);
  // [command, data...] or, with `data_first`, [data..., command]; or the
  // command when no extension answers `code`.
  GCommand* WrapPageCommand(GCommand* command, std::uint32_t code, bool data_first);
  // take(bytes, count) for each loaded extension that answers `code` (its
  // table has get data, its mask the bit), in order; the extension frees
  // the bytes after each.
  template <class Take>
  void ForEachAnswer(std::uint32_t code, Take take);
  // Lets go of the tables, masks, modules and descriptions; count 0.
  void ReleaseJob();

  // The descriptions are the job context's (its ExtensionSet).
  ExtensionJobTable job_tables_[kMaxExtensions] = {};
  GDynamicLibrary job_modules_[kMaxExtensions];
  std::uint32_t masks_[kMaxExtensions] = {};
  GDriverDataImp* owner_;                            // not owned
  GDriverQueryInterface query_interface_ = nullptr;  // handed to extensions
  GAttributeComposite* settings_root_ = nullptr;     // the owner's kExtensionCompositeKey
  std::uint16_t loaded_count_ = 0;
  std::unique_ptr<ExtensionJobContext> job_context_;  // during a job
};
