#include "driver/load.h"

#include <span>

#include "foundation/rw/registration.h"
#include "output/core/load.h"

namespace {

// Each source file's registration list, in the driver's building order; no
// driver class is persistable yet.
constinit RWSubsystemClasses g_classes{std::span<const RWSubsystemClasses::List>()};

}  // namespace

void DriverLoad() {
  OutputCoreLoad();
  g_classes.Load();
}

void DriverUnload() {
  g_classes.Unload();
  OutputCoreUnload();
}
