// GNullCommand: the command that does nothing at all. Filters answer with it
// when they have taken a command in, and a page-geometry filter sends one
// carrying a graphic bundle (its transform) after a page start. Unlike the
// no-op command that ends a pass, it travels the rest of the chain.
// Executing it reaches no device handler and answers 0.
//
// Class id 712, registered as "GNullCommand"; kind test 712, 601, 751.
// Stored form: the GCommand part (command.h), then version u32 1
// (command_class.h).
//
// Ownership and threads: as GCommand.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/commands/command_class.h"
#include "output/core/command.h"

inline constexpr RWClassID kGNullCommandId = 712;

class GNullCommand final : public GCommandClass<GNullCommand, GCommand, kGNullCommandId> {
 public:
  // Key 0, no attribute set.
  GNullCommand() = default;
  // Holds `attributes` (none when null).
  GNullCommand(GAttributeComposite* attributes, const std::uint32_t& key)
      : GCommandClass(attributes, key) {}
  GNullCommand(const GNullCommand& other) = default;

  // Calls nothing; 0.
  std::uint16_t Execute(GPeripheral& device) override;
};

extern template class MPersistentClass<GNullCommand, GCommand, kGNullCommandId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> NullCommandClasses();
