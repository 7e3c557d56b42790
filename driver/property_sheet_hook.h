// The property-sheet hook: joins the common property-sheet service
// (platform/ui/property_sheet.h) to the user-interface plug-ins (records in
// driver/ui_plugin_records.h).
//
// GUIPluginModule: one loaded plug-in: a library found by name (else beside
// this library's module) that exports UI_INTERFACEVERSION answering 2 and
// the four other entries. The built-in manager's name,
// kBuiltInUIManagerName, loads no library: the module makes a
// GExtensionUIManager and calls it in place of the entries.
//
// GUIPluginPageList: the plug-ins of one sheet (the names of the settings'
// attribute kPluginNamesKey, read when the list is first used while empty) and
// the host record, page records and page entries it makes for them. AddPages:
//  1. a sheet record whose size is not 60 gives 0, nothing made;
//  2. the host record is made from the sheet record and linked from it;
//  3. index kUIManualDuplexIndex: one page record, filled by the first
//     module alone (none: 0); the answer is 1;
//  4. any other index: each module is asked for its count (null page
//     array), the counts are added, a record and an entry are made per
//     page, and each module is asked again with the running index from 0;
//     a module whose count would not fit is told UI_DESTROY at once. The
//     answer is the running index;
//  5. an answer below 1 is returned; without the service's callback in the
//     sheet record, the sheet record's own procedure runs a sheet of its own
//     (CommonPropertySheetUIW), and its out result is the answer (0 when it
//     was not shown);
//  6. otherwise every record goes to the service (kPspUseCallback,
//     GCPSOSUI::PropPageCallback); the record whose title equals the
//     settings' kColorMediaSettingsKey -> kStartPageTitleKey becomes the start
//     page. The answer is minus the number of pages the service took (-6 for
//     six).
// Mended: plug-in counts are outside data. A module answering a count
// below 0 or above kMostPluginPages is refused (not asked again; in the
// filling call, told UI_DESTROY), and a count that would take the total
// past the 16-bit count is refused likewise, so the total is checked
// before anything is allocated from it.
// FreePages tells every module UI_DESTROY and frees the titles, records,
// entries, modules and the host record (and its names), clearing the
// sheet record's link.
//
// GCPSOSUI: the two procedures the service and the pages call.
//  - PropPageCallback: create sets the entry's created flag (answer 1);
//    release copies the host record's settings pointer back into the sheet
//    record when it differs and sets the released flag (answer 0).
//  - DlgProcHook (the host record's hook): the page's entry is found through
//    the page record at the window's kDwlpUser (at WM_INITDIALOG, through
//    lParam when that is still 0). Apply marks the sheet record applied and
//    sets the result kCpsuiOk through the service; kill-active on a page
//    with a title stores the title into the settings' kColorMediaSettingsKey ->
//    kStartPageTitleKey (made when missing); WM_INITDIALOG, on the list's first
//    page, appends " - " and string 13620 of the support library to the frame's
//    caption (80 units of each at most), and records the page window. Answers
//    0.
//  - UpdateSettings: the plug-in step of the context's UpdateFromDevice
//    (GPluginSettingsUpdater): the modules of the defaults' kPluginNamesKey
//    copy the configuration into them (UI_CONFIGTOSETTINGS); 1 when a module
//    ran and every one answered 0.
// Readings: the caption flag belongs to the page list; the running index
// starts at 0 whatever index is given; the hook answers 32 bits (the plug-in
// side reads it so).
//
// Ownership: the context owns a page list from a sheet's initialisation to
// its destruction; the list owns everything it makes. Threads: the sheet's
// thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "driver/extension_ui_manager.h"
#include "driver/ui_plugin_records.h"
#include "foundation/rw/wstring.h"

class GAttributeComposite;
class GDriverContext;
struct GSheetRecord;
struct GUIHostRecord;  // the host record with the hook's own flag

// The most pages one plug-in may ask for.
inline constexpr std::int16_t kMostPluginPages = 64;
// The caption text of the support library and its longest read.
inline constexpr platform::UINT kCaptionStringId = 13620;
inline constexpr int kCaptionUnits = 80;
inline constexpr char16_t kBuiltInUIManagerName[] = u"GExtensionUIManager";

class GUIPluginModule {
 public:
  GUIPluginModule() = default;
  GUIPluginModule(const GUIPluginModule&) = delete;
  GUIPluginModule& operator=(const GUIPluginModule&) = delete;
  ~GUIPluginModule() { Unload(); }

  // 1 when the module loaded with version 2 and every entry, else 0 (and
  // nothing held).
  int Load(const RWWString& name);
  // The entries; 0 without a library.
  std::int16_t Initialize(GUIData* host, std::int16_t index);
  std::int16_t Destroy(GUIData* host);
  std::int16_t ConfigToSettings(GUIData* host);
  std::int16_t SettingsToConfig(GUIData* host);

  const RWWString& Name() const { return name_; }
  std::uint32_t Version() const { return version_; }
  bool IsBuiltIn() const { return built_in_ != nullptr; }

 private:
  void Unload();

  RWWString name_;
  std::unique_ptr<GExtensionUIManager> built_in_;  // for kBuiltInUIManagerName
  platform::HMODULE library_ = nullptr;
  std::uint32_t version_ = 0;
  GUIInitializeEntry initialize_ = nullptr;
  GUIHostEntry destroy_ = nullptr;
  GUIHostEntry config_to_settings_ = nullptr;
  GUIHostEntry settings_to_config_ = nullptr;
};

class GUIPluginPageList {
 public:
  GUIPluginPageList();
  GUIPluginPageList(const GUIPluginPageList&) = delete;
  GUIPluginPageList& operator=(const GUIPluginPageList&) = delete;
  // Frees what FreePages did not.
  ~GUIPluginPageList();

  // REQUIRES: `record` (may be null) outlives the pages.
  std::int16_t AddPages(GSheetRecord* record, std::int16_t index);
  void FreePages(GSheetRecord* record);
  // The entry on every module (read from `host`'s settings when none is
  // held); the last non-zero answer.
  std::int16_t ConfigToSettings(GUIData* host);
  std::int16_t SettingsToConfig(GUIData* host);

  std::size_t ModuleCount() const { return modules_.size(); }
  GUIData* Host() const;
  // Whether every page made notes whatever could change a setting in
  // PageActivity: the framework's (they hold their page object; they note
  // every message and change nothing on an apply) and the extensions' of
  // the built-in manager (their one way into the settings notes it).
  bool EveryPageNotesItsChanges() const;
  // The pages whose dialogs were made (the user opened them).
  std::uint32_t CreatedPages() const;

 private:
  using PluginCall = std::int16_t (GUIPluginModule::*)(GUIData* host);
  std::int16_t CallEveryModule(GUIData* host, PluginCall call);
  void EnsureModules(GAttributeComposite* settings);
  bool MakePages(std::uint32_t count);
  std::int16_t AddToSheet(GSheetRecord* record);
  void FreeHost();

  std::vector<std::unique_ptr<GUIPluginModule>> modules_;
  std::unique_ptr<GUIHostRecord> host_;
  std::unique_ptr<platform::PropSheetPageW[]> pages_;
  std::unique_ptr<UIPageEntry[]> entries_;
  std::vector<bool> extension_pages_;  // by page: made by the built-in manager
};

// Moves whenever a page of any sheet in the process handles a message (the
// framework's pages: other than an apply, which they ignore). An apply that
// finds it where the last save left it knows that no page has changed a
// setting since: a sheet's OK hands every page's apply to the sheet, and the
// settings change only through its pages.
std::uint64_t PageActivity();
void NotePageActivity();

class GCPSOSUI {
 public:
  static platform::UINT PropPageCallback(platform::HWND window, platform::UINT message,
                                         platform::PropSheetPageW* page);
  static std::uint32_t DlgProcHook(platform::HWND window, platform::UINT message,
                                   platform::WPARAM wparam, platform::LPARAM lparam, GUIData* host);
  static int UpdateSettings(GDriverContext& context, GAttributeComposite& defaults);
};
