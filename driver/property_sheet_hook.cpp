#include "driver/property_sheet_hook.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>
#include <type_traits>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "driver/sheet_record.h"
#include "driver/ui_driver_data.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "persist/string_conversion.h"
#include "platform/host/boundary.h"
#include "platform/host/modules.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"

struct GUIHostRecord {
  GUIData data;
  bool caption_changed = false;  // the list's first page changed the caption
};
// The hook finds the flag from the host record it is given.
static_assert(std::is_standard_layout_v<GUIHostRecord>);

namespace {

template <class Entry>
Entry Resolve(platform::HMODULE library, const char* name) {
  return reinterpret_cast<Entry>(platform::GetProcAddress(library, name));
}

// Fills the names and what the driver data gives of a host record.
void FillFromDriverData(GUIData& host, GUIDriverData* view) {
  host.driver_data = view;
  if (!view) return;
  host.configuration = view->GetConfiguration();
  host.driver_name = GUIDuplicateText(view->GetDriverName().Data());
  host.printer_name = GUIDuplicateText(view->GetPrinterName().Data());
  host.port_name = GUIDuplicateText(view->GetPortName().Data());
}

void FreeNames(GUIData& host) {
  GUIFreeText(host.driver_name);
  GUIFreeText(host.printer_name);
  GUIFreeText(host.port_name);
  host.driver_name = host.printer_name = host.port_name = nullptr;
}

// The settings' kColorMediaSettingsKey -> kStartPageTitleKey widened; empty
// without it.
RWWString StartPageTitle(GAttributeComposite* settings) {
  RWWString title;
  if (GStringAttribute* stored = FindStringAttribute(
          FindComposite(settings, kColorMediaSettingsKey), kStartPageTitleKey)) {
    NarrowToWide(stored->GetValue(), title);
  }
  return title;
}

void StoreStartPageTitle(GAttributeComposite* settings, const char16_t* title) {
  GAttributeComposite* part = FindComposite(settings, kColorMediaSettingsKey);
  if (!part) return;
  RWCString narrow;
  WideToNarrow(RWWString(title), narrow);
  if (GStringAttribute* stored = FindStringAttribute(part, kStartPageTitleKey)) {
    stored->SetValue(narrow);
  } else if (auto* made = new (kRWNoThrow) GStringAttribute(narrow, kStartPageTitleKey)) {
    part->AddChild(made);
  }
}

// Appends " - " and the support library's caption text to the frame's.
void ExtendCaption(platform::HWND page, GUIData& host) {
  if (!host.driver_data) return;
  const RWWString path = host.driver_data->GetSupportFilePath();
  platform::HMODULE library = platform::LoadLibraryW(path.Data());
  if (!library) return;
  char16_t text[kCaptionUnits];
  if (platform::LoadStringW(library, kCaptionStringId, text, kCaptionUnits) > 0) {
    platform::HWND frame = platform::GetParent(page);
    char16_t current[kCaptionUnits];
    const int length = platform::GetWindowTextW(frame, current, kCaptionUnits);
    RWWString caption(current, RWSize(length > 0 ? length : 0));
    caption += u" - ";
    caption += text;
    platform::SetWindowTextW(frame, caption.Data());
  }
  platform::FreeLibrary(library);
}

}  // namespace

// ---- GUIPluginModule.

int GUIPluginModule::Load(const RWWString& name) {
  Unload();
  name_ = name;
  if (name == kBuiltInUIManagerName) {
    built_in_.reset(new (kRWNoThrow) GExtensionUIManager);
    version_ = built_in_ ? kUIInterfaceVersion : 0;
    return built_in_ ? 1 : 0;
  }
  library_ = platform::LoadLibraryW(name.Data());
  if (!library_) library_ = platform::LoadLibraryW(GDriverContextBase::BesideModule(name).Data());
  if (!library_) return 0;
  auto version = Resolve<GUIInterfaceVersionEntry>(library_, kUIEntryInterfaceVersion);
  version_ = version ? version() : 0;
  if (version_ == kUIInterfaceVersion) {
    initialize_ = Resolve<GUIInitializeEntry>(library_, kUIEntryInitialize);
    destroy_ = Resolve<GUIHostEntry>(library_, kUIEntryDestroy);
    config_to_settings_ = Resolve<GUIHostEntry>(library_, kUIEntryConfigToSettings);
    settings_to_config_ = Resolve<GUIHostEntry>(library_, kUIEntrySettingsToConfig);
    if (initialize_ && destroy_ && config_to_settings_ && settings_to_config_) return 1;
  }
  Unload();
  return 0;
}

void GUIPluginModule::Unload() {
  built_in_.reset();
  if (library_) platform::FreeLibrary(library_);
  library_ = nullptr;
  version_ = 0;
  initialize_ = nullptr;
  destroy_ = config_to_settings_ = settings_to_config_ = nullptr;
}

std::int16_t GUIPluginModule::Initialize(GUIData* host, std::int16_t index) {
  if (built_in_) return built_in_->Initialize(host, index);
  return library_ && initialize_ ? initialize_(host, index) : 0;
}

std::int16_t GUIPluginModule::Destroy(GUIData* host) {
  if (built_in_) return built_in_->Destroy(host);
  return library_ && destroy_ ? destroy_(host) : 0;
}

std::int16_t GUIPluginModule::ConfigToSettings(GUIData* host) {
  if (built_in_) return built_in_->ConfigToSettings(host);
  return library_ && config_to_settings_ ? config_to_settings_(host) : 0;
}

std::int16_t GUIPluginModule::SettingsToConfig(GUIData* host) {
  if (built_in_) return built_in_->SettingsToConfig(host);
  return library_ && settings_to_config_ ? settings_to_config_(host) : 0;
}

// ---- GUIPluginPageList.

GUIPluginPageList::GUIPluginPageList() = default;

GUIPluginPageList::~GUIPluginPageList() {
  FreeHost();
}

GUIData* GUIPluginPageList::Host() const {
  return host_ ? &host_->data : nullptr;
}

void GUIPluginPageList::EnsureModules(GAttributeComposite* settings) {
  if (!modules_.empty()) return;
  GAttributeComposite* names = FindComposite(settings, kPluginNamesKey);
  if (!names) return;
  for (RWSize i = 0; i < names->Children().Count(); ++i) {
    auto* name = dynamic_cast<GStringAttribute*>(names->Children()[i].Get());
    if (!name) continue;
    RWWString wide;
    NarrowToWide(name->GetValue(), wide);
    std::unique_ptr<GUIPluginModule> module(new (kRWNoThrow) GUIPluginModule);
    if (module && module->Load(wide) == 1) modules_.push_back(std::move(module));
  }
}

bool GUIPluginPageList::EveryPageNotesItsChanges() const {
  if (!host_ || !entries_) return true;
  for (std::uint32_t i = 0; i < host_->data.page_count; ++i) {
    // A record the service did not take is no page.
    if (entries_[i].page && !entries_[i].page_object &&
        !(i < extension_pages_.size() && extension_pages_[i]))
      return false;
  }
  return true;
}

std::uint32_t GUIPluginPageList::CreatedPages() const {
  std::uint32_t created = 0;
  for (std::uint32_t i = 0; host_ && entries_ && i < host_->data.page_count; ++i)
    created += entries_[i].created != 0;
  return created;
}

bool GUIPluginPageList::MakePages(std::uint32_t count) {
  pages_.reset(new (kRWNoThrow) platform::PropSheetPageW[count]());
  entries_.reset(new (kRWNoThrow) UIPageEntry[count]());
  extension_pages_.assign(count, false);
  if (!pages_ || !entries_) return false;
  GUIData& host = host_->data;
  for (std::uint32_t i = 0; i < count; ++i) {
    pages_[i].size = platform::kPropSheetPageSize;
    pages_[i].lparam = reinterpret_cast<platform::LPARAM>(&entries_[i]);
    entries_[i].host = &host;
  }
  host.page_count = count;
  host.pages = pages_.get();
  return true;
}

std::int16_t GUIPluginPageList::AddPages(GSheetRecord* record, std::int16_t index) {
  if (!record || record->size != kSheetRecordSize) return 0;
  FreeHost();
  host_.reset(new (kRWNoThrow) GUIHostRecord);
  if (!host_) return 0;
  GUIData& host = host_->data;
  FillFromDriverData(host, record->driver_data);
  host.settings = record->settings;
  host.configuration = record->configuration;
  host.module = record->module;
  host.page_flags = record->page_flags;
  host.access_flags = record->access_flags;
  host.hook = &GCPSOSUI::DlgProcHook;
  host.owner = record;
  record->ui_data = &host;
  EnsureModules(record->settings);

  std::int32_t result = 0;
  if (index == kUIManualDuplexIndex) {
    if (modules_.empty() || !MakePages(1)) return 0;
    modules_.front()->Initialize(&host, kUIManualDuplexIndex);
    result = 1;
  } else {
    std::vector<bool> counted(modules_.size());
    std::int32_t total = 0;
    for (std::size_t i = 0; i < modules_.size(); ++i) {
      const std::int32_t count = modules_[i]->Initialize(&host, 0);
      counted[i] = count >= 0 && count <= kMostPluginPages &&
                   total + count <= std::numeric_limits<std::int16_t>::max();
      if (counted[i]) total += count;
    }
    if (total > 0) {
      if (!MakePages(std::uint32_t(total))) return 0;
      for (std::size_t i = 0; i < modules_.size(); ++i) {
        if (!counted[i]) continue;
        const std::int32_t count = modules_[i]->Initialize(&host, std::int16_t(result));
        if (count >= 0 && count <= kMostPluginPages && result + count <= total) {
          if (modules_[i]->IsBuiltIn()) std::fill_n(extension_pages_.begin() + result, count, true);
          result += count;
        } else {
          modules_[i]->Destroy(&host);
        }
      }
    }
  }
  if (result < 1) return std::int16_t(result);
  if (!record->service_callback) {
    platform::ULONG_PTR out = 0;
    const platform::LONG shown = platform::CommonPropertySheetUIW(
        record->parent, record->sheet_procedure, record->sheet_argument, &out);
    return shown < 1 ? 0 : std::int16_t(out);
  }
  return AddToSheet(record);
}

std::int16_t GUIPluginPageList::AddToSheet(GSheetRecord* record) {
  const RWWString start = StartPageTitle(record->settings);
  std::int16_t added = 0;
  for (std::uint32_t i = 0; i < host_->data.page_count; ++i) {
    platform::PropSheetPageW& page = pages_[i];
    page.flags |= platform::kPspUseCallback;
    page.callback = &GCPSOSUI::PropPageCallback;
    const platform::LONG_PTR handle =
        record->service_callback(record->property_sheet, platform::kCpsFuncAddPropSheetPageW,
                                 reinterpret_cast<platform::LPARAM>(&page), 0);
    entries_[i].page = reinterpret_cast<platform::HPROPSHEETPAGE>(handle);
    if (handle == 0) continue;
    --added;
    if (page.title && !start.IsNull() && start == page.title) {
      record->service_callback(record->property_sheet, platform::kCpsFuncSetHStartPage, handle, 0);
    }
  }
  return added;
}

void GUIPluginPageList::FreePages(GSheetRecord* record) {
  if (GUIData* host = Host()) {
    for (auto& module : modules_)
      module->Destroy(host);
  }
  modules_.clear();
  FreeHost();
  if (record) record->ui_data = nullptr;
}

void GUIPluginPageList::FreeHost() {
  if (pages_ && host_) {
    for (std::uint32_t i = 0; i < host_->data.page_count; ++i)
      GUIFreeText(pages_[i].title);
  }
  pages_.reset();
  entries_.reset();
  if (host_) FreeNames(host_->data);
  host_.reset();
}

std::int16_t GUIPluginPageList::CallEveryModule(GUIData* host, PluginCall call) {
  EnsureModules(host ? host->settings : nullptr);
  std::int16_t result = 0;
  for (auto& module : modules_) {
    if (const std::int16_t answer = (module.get()->*call)(host)) result = answer;
  }
  return result;
}

std::int16_t GUIPluginPageList::ConfigToSettings(GUIData* host) {
  return CallEveryModule(host, &GUIPluginModule::ConfigToSettings);
}

std::int16_t GUIPluginPageList::SettingsToConfig(GUIData* host) {
  return CallEveryModule(host, &GUIPluginModule::SettingsToConfig);
}

// ---- Page activity.

namespace {
std::atomic<std::uint64_t> page_activity{0};
}  // namespace

std::uint64_t PageActivity() {
  return page_activity.load(std::memory_order_acquire);
}

void NotePageActivity() {
  page_activity.fetch_add(1, std::memory_order_acq_rel);
}

// ---- GCPSOSUI.

platform::UINT GCPSOSUI::PropPageCallback(platform::HWND, platform::UINT message,
                                          platform::PropSheetPageW* page) {
  UIPageEntry* entry = PageEntryOf(page);
  if (!entry) return 0;
  if (message == platform::kPspcbCreate) {
    entry->created = 1;
    return 1;
  }
  if (message == platform::kPspcbRelease) {
    GUIData* host = entry->host;
    if (host && host->owner && host->owner->settings != host->settings)
      host->owner->settings = host->settings;
    entry->released = 1;
  }
  return 0;
}

std::uint32_t GCPSOSUI::DlgProcHook(platform::HWND window, platform::UINT message, platform::WPARAM,
                                    platform::LPARAM lparam, GUIData* host) {
  return platform::AnswerAtBoundary<std::uint32_t>(0, [&]() -> std::uint32_t {
    auto* page = reinterpret_cast<platform::PropSheetPageW*>(
        platform::GetWindowLongPtrW(window, platform::kDwlpUser));
    if (!page && message == platform::kWmInitDialog)
      page = reinterpret_cast<platform::PropSheetPageW*>(lparam);
    UIPageEntry* entry = PageEntryOf(page);
    if (!host || !entry) return 0;
    // The framework's pages (they hold their page object) note their own
    // activity and leave the settings alone on an apply; any other page may
    // change them on any message, the apply included.
    if (!entry->page_object) NotePageActivity();
    if (message == platform::kWmNotify && lparam != 0) {
      const int code = reinterpret_cast<const platform::NotifyHeader*>(lparam)->code;
      GSheetRecord* record = host->owner;
      if (code == platform::kPsnApply && record) {
        record->apply = kSheetApplied;
        if (record->service_callback) {
          record->service_callback(record->property_sheet, platform::kCpsFuncSetResult,
                                   reinterpret_cast<platform::LPARAM>(entry->page),
                                   RWShortOfMemorySince(record->short_of_memory)
                                       ? platform::kCpsuiCancel
                                       : platform::kCpsuiOk);
        }
      } else if (code == platform::kPsnKillActive && page->title) {
        StoreStartPageTitle(host->settings, page->title);
      }
    } else if (message == platform::kWmInitDialog) {
      // Only a host record of a page list (its sheet record links it) holds
      // the flag.
      auto* holder = reinterpret_cast<GUIHostRecord*>(host);
      if (host->owner && host->owner->ui_data == host && !holder->caption_changed) {
        holder->caption_changed = true;
        ExtendCaption(window, *host);
      }
      entry->window = window;
    }
    return 0;
  });
}

int GCPSOSUI::UpdateSettings(GDriverContext& context, GAttributeComposite& defaults) {
  GUIData host;
  FillFromDriverData(host, static_cast<GUIDriverData*>(&context));
  host.settings = &defaults;
  if (GOSFactory* services = GOSFactory::Instance()) host.module = services->GetModuleHandle();
  GUIPluginPageList list;
  const std::int16_t answer = list.ConfigToSettings(&host);
  const int result = list.ModuleCount() != 0 && answer == 0 ? 1 : 0;
  FreeNames(host);
  return result;
}
