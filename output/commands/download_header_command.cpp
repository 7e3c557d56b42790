#include "output/commands/download_header_command.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"

namespace {

constexpr RWClassRegistration kDownloadHeaderCommandClasses[] = {
    {&RWCreate<GDownloadHeaderCommand>, kGDownloadHeaderCommandId, "GDownloadHeaderCommand"},
};

}  // namespace

std::span<const RWClassRegistration> DownloadHeaderCommandClasses() {
  return kDownloadHeaderCommandClasses;
}

template class MPersistentClass<GDownloadHeaderCommand, GCommand, kGDownloadHeaderCommandId>;

std::uint16_t GDownloadHeaderCommand::Execute(GPeripheral& device) {
  return device.DownloadHeader(*this);
}
