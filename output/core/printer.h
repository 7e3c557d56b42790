// GPrinter: the device that stands for a printer in a device chain.
//
// Nothing but its name and its place among the devices (class id 761, just
// after the device base's 760, before the generators' base 765, whose kind
// test does not name it) tells what it adds, so it is taken as the least
// device of that name: a GPeripheral (peripheral.h) with no field of its
// own, which a chain may hold and a job may submit to as to any device.
//
// Class id 761, registered as "GPrinter"; kind test 761, 760, 753, 751.
// Content equality: the same object; or the same class id and the
// GPeripheral comparison. Stored form: the GPeripheral part, then version
// u32 1 (command_class.h).
//
// Ownership and threads: as GPeripheral.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/command_class.h"
#include "output/core/peripheral.h"

inline constexpr RWClassID kGPrinterId = 761;

class GPrinter final : public GCommandClass<GPrinter, GPeripheral, kGPrinterId> {
 public:
  // The constructors of GPeripheral.
  using GCommandClass::GCommandClass;
  GPrinter() = default;
  GPrinter(const GPrinter& other) = default;
};

extern template class MPersistentClass<GPrinter, GPeripheral, kGPrinterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PrinterClasses();
