#include "driver/extension_ui_manager.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_data_imp.h"
#include "driver/extension_exports.h"
#include "driver/extension_values.h"
#include "driver/model_lookup.h"
#include "driver/out_of_memory_handler.h"
#include "driver/property_sheet_hook.h"
#include "driver/ui_driver_data.h"
#include "foundation/rw/support.h"
#include "platform/host/modules.h"

namespace {

std::mutex live_lock;
std::unordered_set<const void*>& LiveUIManagers() {
  static auto* live = new std::unordered_set<const void*>;
  return *live;
}

// The driver data's extension manager behind a host record, or null.
GExtensionManager* ManagerOf(const GUIData* host) {
  auto* data = host ? static_cast<GDriverDataImp*>(host->driver_data) : nullptr;
  return data ? data->GetExtensionManager() : nullptr;
}

}  // namespace

bool IsLiveExtensionUIManager(const void* handle) {
  std::lock_guard<std::mutex> hold(live_lock);
  return handle && LiveUIManagers().count(handle) != 0;
}

GExtensionUIManager::GExtensionUIManager() : query_interface_(&KVDrv_QueryInterface) {
  std::lock_guard<std::mutex> hold(live_lock);
  LiveUIManagers().insert(this);
}

GExtensionUIManager::~GExtensionUIManager() {
  for (std::uint16_t i = 0; i < kMaxExtensions; ++i)
    Unload(i);
  std::lock_guard<std::mutex> hold(live_lock);
  LiveUIManagers().erase(this);
}

void GExtensionUIManager::Unload(std::uint16_t i) {
  delete tables_[i];
  tables_[i] = nullptr;
  if (modules_[i]) platform::FreeLibrary(modules_[i]);
  modules_[i] = nullptr;
}

void GExtensionUIManager::LoadModules() {
  for (std::uint16_t i = 0; i < record_.extensions.count; ++i) {
    Unload(i);
    const ExtensionDescription* description = record_.extensions.descriptions[i];
    tables_[i] = new (kRWNoThrow) ExtensionUITable{};
    if (!tables_[i] || !description || !(DescriptionFlags(*description) & kExtHasUIModule))
      continue;
    const RWWString path = ExtensionModulePath(*description, kExtensionTextFields[3]);
    modules_[i] = platform::LoadLibraryW(path.Data());
    auto query = modules_[i] ? reinterpret_cast<ExtQueryInterfaceFn>(
                                   platform::GetProcAddress(modules_[i], kExtQueryInterfaceName))
                             : nullptr;
    if (query && query(kExtUITableVersion, tables_[i]) != kExtOk) *tables_[i] = {};
  }
}

std::int16_t GExtensionUIManager::Initialize(GUIData* host, std::int16_t index) {
  record_.host = host;
  if (!host || (host->page_flags & kUIDevicePages) || !(host->page_flags & kUIDocumentPages))
    return 0;
  if (!host->pages) {
    for (std::uint16_t i = 0; i < kMaxExtensions; ++i)
      Unload(i);
    LoadExtensionEntries(host->settings, record_.extensions);
    LoadModules();
    std::int32_t total = 0;
    for (std::uint16_t i = 0; i < record_.extensions.count; ++i) {
      std::uint16_t count = 0;
      if (tables_[i] && tables_[i]->get_pages &&
          tables_[i]->get_pages(&count, nullptr, nullptr, this) == kExtOk)
        total += count;
    }
    return static_cast<std::int16_t>(total);
  }
  return FillPages(*host, index);
}

std::int16_t GExtensionUIManager::FillPages(GUIData& host, std::int16_t index) {
  std::int32_t total = 0;
  std::int32_t next = index;
  for (std::uint16_t i = 0; i < record_.extensions.count; ++i) {
    const ExtensionDescription* description = record_.extensions.descriptions[i];
    ExtensionUITable* table = tables_[i];
    if (!description || !(DescriptionFlags(*description) & kExtHasUIModule) || !table ||
        !table->get_pages)
      continue;
    std::uint16_t count = 0;
    if (table->get_pages(&count, nullptr, nullptr, this) != kExtOk) continue;
    total += count;
    std::unique_ptr<ExtensionPageDescriptor[]> pages(new (kRWNoThrow)
                                                         ExtensionPageDescriptor[count]());
    if (!pages && count) continue;
    std::uint16_t filled = count;
    if (table->get_pages(&filled, pages.get(), query_interface_, this) != kExtOk) continue;
    filled = std::min(filled, count);
    for (std::uint16_t j = 0; j < filled; ++j) {
      if (next < 0 || (filled - j) + next > static_cast<std::int32_t>(host.page_count)) continue;
      platform::PropSheetPageW& record = host.pages[next++];
      record.flags = pages[j].flags;
      record.instance = modules_[i];
      record.template_name = static_cast<const char16_t*>(pages[j].dialog_template);
      record.dialog_procedure = reinterpret_cast<platform::DlgProc>(pages[j].dialog_procedure);
    }
  }
  return static_cast<std::int16_t>(total);
}

std::int16_t GExtensionUIManager::Destroy(GUIData*) {
  std::int16_t result = kExtFailed;
  for (std::uint16_t i = 0; i < kMaxExtensions; ++i) {
    if (tables_[i] && tables_[i]->release)
      result = static_cast<std::int16_t>(tables_[i]->release(this));
    Unload(i);
    delete record_.extensions.descriptions[i];
    record_.extensions.descriptions[i] = nullptr;
  }
  return result;
}

std::uint16_t GExtensionUIManager::GetValue(std::uint16_t id, void* output) {
  GExtensionManager* manager = ManagerOf(record_.host);
  if (!manager || !output || !record_.host->settings) return kExtFailed;
  ExtensionJobContext* context = manager->EnsureJobContext();
  if (!context) return kExtFailed;
  context->printer_language = manager->GetOwner()->GetPrinterLanguage();
  return DispatchExtensionValue(id, output, record_.host->settings, manager);
}

std::uint16_t GExtensionUIManager::SetSettings(const char* data, std::uint16_t count,
                                               const char* name) {
  // An extension's page changes the settings only here.
  NotePageActivity();
  if (count > kMostExtensionSettings) return kExtSettingsTooLong;
  std::int32_t target = -1;
  for (std::uint16_t i = 0; i < record_.extensions.count; ++i) {
    if (name && record_.extensions.descriptions[i] &&
        DescriptionName(*record_.extensions.descriptions[i]) == name)
      target = i;
  }
  if (target < 0 || !record_.host) return kExtFailed;
  GAttributeComposite* list = FindComposite(
      FindComposite(record_.host->settings, kExtensionSettingsKey), kExtensionSettingsListKey);
  const RWCString bytes = data ? RWCString(data, count) : RWCString();
  std::uint16_t result = kExtFailed;
  for (RWSize i = 0; list && i < list->Children().Count(); ++i) {
    auto* entry = dynamic_cast<GAttributeComposite*>(list->Children()[i].Get());
    if (SignedValueOr(entry, kExtensionIndexKey, -1) != target) continue;
    GStringAttribute* stored = FindStringAttribute(entry, kExtensionSettingsBytesKey);
    if (stored) {
      stored->SetValue(bytes);
    } else {
      entry->AddChild(new (kRWNoThrow) GStringAttribute(bytes, kExtensionSettingsBytesKey));
    }
    record_.extensions.settings[target] = bytes;
    result = kExtOk;
  }
  return result;
}

// ---- The user-interface exports.

// The exports an extension calls back answer kExtFailed when memory runs
// out inside them (AnswerEntryPoint).

std::uint16_t KVDrv_UIGetValue(std::uint16_t id, void* output, void* handle) {
  return AnswerEntryPoint(kExtFailed, [&] {
    if (!IsLiveExtensionUIManager(handle)) return kExtFailed;
    return static_cast<GExtensionUIManager*>(handle)->GetValue(id, output);
  });
}

std::uint16_t KVDrv_UIGetExtSettings(char* buffer, std::uint16_t size, const char* name,
                                     void* handle) {
  return AnswerEntryPoint(kExtFailed, [&] {
    if (!IsLiveExtensionUIManager(handle)) return kExtFailed;
    return static_cast<GExtensionUIManager*>(handle)->GetSettings(buffer, size, name);
  });
}

std::uint16_t KVDrv_UISetExtSettings(const char* data, std::uint16_t count, const char* name,
                                     void* handle) {
  return AnswerEntryPoint(kExtFailed, [&] {
    if (!IsLiveExtensionUIManager(handle)) return kExtFailed;
    return static_cast<GExtensionUIManager*>(handle)->SetSettings(data, count, name);
  });
}
