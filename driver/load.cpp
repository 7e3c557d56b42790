#include "driver/load.h"

#include <atomic>
#include <span>

#include "driver/devmode/dev_mode_settings.h"
#include "driver/driver_context.h"
#include "driver/plm_provider.h"
#include "driver/property_sheet_hook.h"
#include "driver/stored_state.h"
#include "foundation/rw/registration.h"
#include "output/core/load.h"

namespace {

// Each source file's registration list, in the driver's building order.
constexpr RWSubsystemClasses::List kDriverLists[] = {
    &PLMProviderClasses,
};

constinit RWSubsystemClasses g_classes(kDriverLists);
std::atomic<int> g_loads{0};

}  // namespace

void DriverLoad() {
  OutputCoreLoad();
  g_classes.Load();
  // Contexts bind their device modes through the real device-mode object,
  // and their defaults take the plug-ins' copy of the configuration.
  if (g_loads.fetch_add(1) == 0) {
    SetDevModeSettingsMaker(&GDevModeSettings::Make);
    SetPluginSettingsUpdater(&GCPSOSUI::UpdateSettings);
  }
}

void DriverUnload() {
  if (g_loads.fetch_sub(1) == 1) {
    GStoreTransaction::FinishTakeBacks();
    if (GetDevModeSettingsMaker() == &GDevModeSettings::Make) SetDevModeSettingsMaker(nullptr);
    SetPluginSettingsUpdater(nullptr);
  }
  g_classes.Unload();
  OutputCoreUnload();
}
