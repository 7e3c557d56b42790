#include "output/core/load.h"

#include "config/load.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/peripheral_composite.h"
#include "output/core/peripheral_proxy.h"
#include "output/core/printer.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"

namespace {

// Each source file's registration list, in building order. The device and
// command bases are not registered: the factory makes only their derived
// classes.
constexpr RWSubsystemClasses::List kOutputCoreLists[] = {
    &StateClasses,
    &ResultCommandClasses,
    &CommandCompositeClasses,
    &PassThroughCommandClasses,
    &PeripheralCompositeClasses,
    &PrinterClasses,
    &PeripheralProxyClasses,
};

constinit RWSubsystemClasses g_classes(kOutputCoreLists);

}  // namespace

void OutputCoreLoad() {
  ConfigLoad();
  g_classes.Load();
}

void OutputCoreUnload() {
  g_classes.Unload();
  ConfigUnload();
}
