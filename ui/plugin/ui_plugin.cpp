#include "ui/plugin/ui_plugin.h"

#include "config/keys/settings_keys.h"
#include "driver/library_entry.h"
#include "driver/out_of_memory_handler.h"
#include "driver/ui_driver_data.h"
#include "persist/persistent_object.h"
#include "platform/host/modules.h"
#include "ui/framework/installed_options_copy.h"
#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/job_storage_notice.h"
#include "ui/plugin/instruction_dialog.h"
#include "ui/plugin/page_builders.h"

using platform::PropSheetPageW;

namespace {

// The kind of the PostScript generator, which takes one record more.
constexpr RWClassID kPostScriptKind = 768;
// The cached value (attribute kColorDeviceKey) of a printer with the Color page.
constexpr std::int32_t kColorPrinter = 1;
constexpr int kWithHelp = 1;

bool IsHostRecord(const GUIData* host) {
  return host && host->size == kUIDataSize;
}

bool HasColorPage(const GUIData& host) {
  return host.driver_data && host.driver_data->GetCachedValue() == kColorPrinter;
}

std::int16_t CountPages(const GUIData& host, MPersistentObject* language) {
  std::int16_t count = 0;
  if (host.page_flags & kUIDocumentPages) {
    count = HasColorPage(host) ? kDocumentPageCount + 1 : kDocumentPageCount;
    if (language && language->IsKindOf(kPostScriptKind)) ++count;
  }
  if (host.page_flags & kUIDevicePages) count += kDevicePageCount;
  return count;
}

// Steps shared by both modes: the plug-in module, the resource library and
// the context. False when the library does not load.
bool Begin(GUIData& host) {
  if (!GetPluginModuleHandle()) SetPluginModuleHandle(LibraryModule());
  if (!host.driver_data || !LoadResourceLibrary(host.driver_data->GetSupportFilePath()))
    return false;
  host.context = new GUIContext(&host);
  return true;
}

// The host's page records from `index` on, handed out one at a time; null
// for a position outside the host's array.
class RecordCursor {
 public:
  RecordCursor(GUIData& host, std::int16_t index) : host_(host), next_(index) {}
  PropSheetPageW* Next() {
    const std::int32_t position = next_++;
    if (position < 0 || static_cast<std::uint32_t>(position) >= host_.page_count) return nullptr;
    return &host_.pages[position];
  }

 private:
  GUIData& host_;
  std::int32_t next_;
};

void BuildDocumentPages(GUIData& host, RecordCursor& records, MPersistentObject* language,
                        std::int16_t& count) {
  GUIContext* context = host.context;
  GAttributeView settings = context->GetSettingsView();
  std::int32_t disk = 0, choice = 0, job_storage = 0;
  settings.GetValue(kPrinterHardDiskKey, disk);
  settings.GetValue(kJobRetentionModeKey, choice);
  settings.GetValue(kJobRetentionKey, job_storage);
  if (disk == 0 && job_storage != 0 && (choice == 1 || choice == 3))
    settings.SetValue(kJobRetentionModeKey, 0);

  if (PropSheetPageW* record = records.Next()) {
    GPropertyPage* finishing = BuildFinishingPage(record, context, kWithHelp, language);
    context->AddListener(MakeNupConflictRule(context, finishing));
  }
  if (PropSheetPageW* record = records.Next()) BuildEffectsPage(record, context, kWithHelp);
  if (PropSheetPageW* record = records.Next()) BuildPaperPage(record, context, kWithHelp);
  job_storage = 0;
  settings.GetValue(kJobRetentionKey, job_storage);
  if (job_storage == 1) {
    if (PropSheetPageW* record = records.Next()) BuildJobStoragePage(record, context, kWithHelp);
  } else {
    --count;
  }
  if (PropSheetPageW* record = records.Next()) BuildBasicsPage(record, context, kWithHelp);
  if (HasColorPage(host)) {
    if (PropSheetPageW* record = records.Next())
      BuildColorPage(record, context, kWithHelp, language);
  }
}

std::int16_t Initialize(GUIData& host, std::int16_t index) {
  MPersistentObject* language = FindPrinterLanguageObject(&host);
  std::int16_t count = CountPages(host, language);
  if (!host.pages) return count;
  if (!Begin(host)) return 0;
  RecordCursor records(host, index);
  if (host.page_flags & kUIDocumentPages) BuildDocumentPages(host, records, language, count);
  if (host.page_flags & kUIDevicePages) {
    if (PropSheetPageW* record = records.Next()) BuildNTFormsPage(record, host.context, kWithHelp);
    if (PropSheetPageW* record = records.Next())
      BuildConfigurePage(record, host.context, kWithHelp);
  }
  if (count > 0) BuildRules(host.context, language);
  return count;
}

}  // namespace

MPersistentObject* FindPrinterLanguageObject(const GUIData* host) {
  auto* root = dynamic_cast<MPersistentObject*>(host ? host->configuration : nullptr);
  MPersistentObject* printer = root ? root->FindByKey(kPrinterObjectKey) : nullptr;
  MPersistentObject* group = root ? root->FindByKey(kLanguageGroupKey) : nullptr;
  MPersistentObject* from = group ? group : printer;
  return from ? from->FindByKey(kPrinterLanguageDeviceKey) : nullptr;
}

// Each entry point answers through the boundary with the host
// (AnswerEntryPoint): the first argument is what it answers when memory
// runs out inside it. An initialise that failed so is answered -1, which
// has its host destroy what it built; a destroy and a copy -1, where 0 is
// their success.

std::uint32_t WINAPI UI_INTERFACEVERSION() {
  return kUIInterfaceVersion;
}

std::int16_t WINAPI UI_INITIALIZE(GUIData* host, std::int16_t index) {
  return AnswerEntryPoint<std::int16_t>(-1, [&]() -> std::int16_t {
    if (!IsHostRecord(host)) return 0;
    if (index != kUIManualDuplexIndex) return Initialize(*host, index);
    if (!Begin(*host)) return 0;
    ShowInstructions(host->context);
    return 1;
  });
}

std::int16_t WINAPI UI_DESTROY(GUIData* host) {
  return AnswerEntryPoint<std::int16_t>(-1, [&]() -> std::int16_t {
    if (!IsHostRecord(host)) return 0;
    platform::HMODULE library = GetResourceModuleHandle();
    for (std::uint32_t i = 0; library && host->pages && i < host->page_count; ++i) {
      if (host->pages[i].instance != library) continue;
      if (UIPageEntry* entry = PageEntryOf(&host->pages[i])) {
        delete static_cast<GPropertyPage*>(entry->page_object);
        entry->page_object = nullptr;
      }
    }
    if (host->context) {
      delete host->context;
      host->context = nullptr;
      ReleaseResourceLibrary();
    }
    return 0;
  });
}

std::int16_t WINAPI UI_CONFIGTOSETTINGS(GUIData* host) {
  return AnswerEntryPoint<std::int16_t>(-1, [&] { return ConfigToSettings(host); });
}

std::int16_t WINAPI UI_SETTINGSTOCONFIG(GUIData*) {
  return 0;
}

bool ExportPluginEntryPoints(std::u16string_view module) {
  const std::pair<const char*, platform::FARPROC> entries[] = {
      {kUIEntryInterfaceVersion, reinterpret_cast<platform::FARPROC>(&UI_INTERFACEVERSION)},
      {kUIEntryInitialize, reinterpret_cast<platform::FARPROC>(&UI_INITIALIZE)},
      {kUIEntryDestroy, reinterpret_cast<platform::FARPROC>(&UI_DESTROY)},
      {kUIEntryConfigToSettings, reinterpret_cast<platform::FARPROC>(&UI_CONFIGTOSETTINGS)},
      {kUIEntrySettingsToConfig, reinterpret_cast<platform::FARPROC>(&UI_SETTINGSTOCONFIG)}};
  for (const auto& [name, function] : entries) {
    if (!platform::AddModuleExport(module, name, function)) return false;
  }
  InstallJobStorageNotice();
  return true;
}
