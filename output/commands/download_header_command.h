// GDownloadHeaderCommand: the command that asks the device for its
// download header: executing it calls the device's DownloadHeader with
// itself, and answers that result; the device base answers 0.
//
// Nothing but its name and its place among the job's commands tells what
// it carries, so it is taken as the least command of that name: a command
// with no field of its own, whose attribute set (if any) says what a
// device needs; what header a device downloads is the device's.
//
// Class id 610, registered as "GDownloadHeaderCommand"; kind test 610, 601,
// 751. Stored form: the GCommand part (command.h), then version u32 1
// (command_class.h).
//
// Ownership and threads: as GCommand.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/command.h"
#include "output/core/command_class.h"

inline constexpr RWClassID kGDownloadHeaderCommandId = 610;

class GDownloadHeaderCommand final
    : public GCommandClass<GDownloadHeaderCommand, GCommand, kGDownloadHeaderCommandId> {
 public:
  // Key 0, no attribute set.
  GDownloadHeaderCommand() = default;
  // Holds `attributes` (none when null).
  GDownloadHeaderCommand(GAttributeComposite* attributes, const std::uint32_t& key)
      : GCommandClass(attributes, key) {}
  GDownloadHeaderCommand(const GDownloadHeaderCommand& other) = default;

  // device.DownloadHeader(*this).
  std::uint16_t Execute(GPeripheral& device) override;
};

extern template class MPersistentClass<GDownloadHeaderCommand, GCommand, kGDownloadHeaderCommandId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DownloadHeaderCommandClasses();
