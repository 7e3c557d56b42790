#include "driver/load.h"

#include <atomic>
#include <span>

#include "driver/devmode/dev_mode_settings.h"
#include "foundation/rw/registration.h"
#include "output/core/load.h"

namespace {

// Each source file's registration list, in the driver's building order; no
// driver class is persistable yet.
constinit RWSubsystemClasses g_classes{std::span<const RWSubsystemClasses::List>()};
std::atomic<int> g_loads{0};

}  // namespace

void DriverLoad() {
  OutputCoreLoad();
  g_classes.Load();
  // Contexts bind their device modes through the real device-mode object.
  if (g_loads.fetch_add(1) == 0) SetDevModeSettingsMaker(&GDevModeSettings::Make);
}

void DriverUnload() {
  if (g_loads.fetch_sub(1) == 1 && GetDevModeSettingsMaker() == &GDevModeSettings::Make)
    SetDevModeSettingsMaker(nullptr);
  g_classes.Unload();
  OutputCoreUnload();
}
