#include "tests/support/test_plugins.h"

#include <utility>

#include "platform/host/modules.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"

namespace testing_support {
namespace {

struct Slot {
  TestPlugin plugin;
  std::u16string name;
  std::size_t calls = 0;
};
Slot g_slots[kTestPluginSlots];
std::function<void(GUIData&)> g_apply;

platform::INT_PTR TestPageProc(platform::HWND window, platform::UINT message,
                               platform::WPARAM wparam, platform::LPARAM lparam) {
  using namespace platform;
  if (message == kWmInitDialog) SetWindowLongPtrW(window, kDwlpUser, lparam);
  UIPageEntry* entry =
      PageEntryOf(reinterpret_cast<PropSheetPageW*>(GetWindowLongPtrW(window, kDwlpUser)));
  GUIData* host = entry ? entry->host : nullptr;
  if (!host) return 0;
  if (message == kWmNotify && g_apply &&
      reinterpret_cast<const NotifyHeader*>(lparam)->code == kPsnApply) {
    g_apply(*host);
  }
  if (host->hook) host->hook(window, message, wparam, lparam, host);
  return message == kWmInitDialog ? 1 : 0;
}

std::uint32_t Version() {
  return kUIInterfaceVersion;
}

template <int S>
std::int16_t Initialize(GUIData* host, std::int16_t index) {
  Slot& slot = g_slots[S];
  TestPlugin& plugin = slot.plugin;
  plugin.indices.push_back(index);
  plugin.page_flags = host->page_flags;
  plugin.access_flags = host->access_flags;
  const std::size_t at = std::min(slot.calls++, plugin.counts.size() - 1);
  const std::int16_t count = plugin.counts[at];
  if (!host->pages || index == kUIManualDuplexIndex) return count;
  platform::HMODULE module = platform::LoadLibraryW(slot.name.c_str());
  platform::FreeLibrary(module);  // the host holds it loaded
  for (std::int32_t i = 0; i < count && index + i < std::int32_t(host->page_count); ++i) {
    platform::PropSheetPageW& page = host->pages[index + i];
    page.instance = module;
    page.template_name = platform::MakeIntResourceW(kTestPageTemplate);
    page.title = GUIDuplicateText((plugin.prefix + char16_t(u'0' + i)).c_str());
    page.dialog_procedure = &TestPageProc;
  }
  return count;
}

template <int S>
std::int16_t Destroy(GUIData*) {
  ++g_slots[S].plugin.destroys;
  return 0;
}

std::int16_t Nothing(GUIData*) {
  return 0;
}

template <int S>
platform::ModuleSpec ModuleOf(const std::u16string& name) {
  auto entry = [](auto function) { return reinterpret_cast<platform::FARPROC>(function); };
  return {name,
          {{kUIEntryInterfaceVersion, entry(&Version)},
           {kUIEntryInitialize, entry(&Initialize<S>)},
           {kUIEntryDestroy, entry(&Destroy<S>)},
           {kUIEntryConfigToSettings, entry(&Nothing)},
           {kUIEntrySettingsToConfig, entry(&Nothing)}},
          {}};
}

}  // namespace

TestPlugin& InstallTestPlugin(int slot, const std::u16string& name,
                              std::vector<std::int16_t> counts, std::u16string prefix) {
  static platform::ModuleSpec (*const kSpecs[kTestPluginSlots])(const std::u16string&) = {
      &ModuleOf<0>, &ModuleOf<1>};
  g_slots[slot] = Slot();
  g_slots[slot].plugin.counts = std::move(counts);
  g_slots[slot].plugin.prefix = std::move(prefix);
  g_slots[slot].name = name;
  platform::AddModule(kSpecs[slot](name));
  platform::DialogTemplate page{kTestPageTemplate, u"", platform::kWsChild, 0, 0, 400, 300, {}};
  platform::AddModuleResources(name, {{}, {page}, {}, {}, {}});
  return g_slots[slot].plugin;
}

TestPlugin& TestPluginAt(int slot) {
  return g_slots[slot].plugin;
}

void SetTestPageApply(std::function<void(GUIData& host)> apply) {
  g_apply = std::move(apply);
}

}  // namespace testing_support
