#include "output/commands/null_command.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"

namespace {

constexpr RWClassRegistration kNullCommandClasses[] = {
    {&RWCreate<GNullCommand>, kGNullCommandId, "GNullCommand"},
};

}  // namespace

std::span<const RWClassRegistration> NullCommandClasses() {
  return kNullCommandClasses;
}

template class MPersistentClass<GNullCommand, GCommand, kGNullCommandId>;

std::uint16_t GNullCommand::Execute(GPeripheral&) {
  return 0;
}
