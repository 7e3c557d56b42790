// GPrinterKey: names the printer of one request to the driver server: the
// caller's printer handle (or none), the printer's name, its driver's name
// and its port's name, and a caller's flag (every entry point passes 0).
// The driver server compares keys by driver to decide whether a parked
// context can serve a request (IsSameDriver).
//
// Built from a handle or a name, a key reads the driver and port names
// from the spooler (GetPrinterW level 2), opening the printer by name when
// it has no handle and closing it again: a key built from a name never
// keeps a handle. A printer that cannot be read keeps the given name and
// empty driver and port names.
//
// Threads: one key is used by one thread at a time.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "persist/value_source.h"
#include "platform/host/types.h"

class GPrinterKey : public GValueSource {
 public:
  // No handle, three empty names, flag 0.
  GPrinterKey() = default;
  // From the spooler, as above. A printer name that differs from the one
  // the spooler reports (or an empty one) is replaced by the spooler's.
  GPrinterKey(platform::HANDLE printer, const RWWString& printer_name, std::uint32_t flag);
  // Every field as given.
  GPrinterKey(platform::HANDLE printer, const RWWString& printer_name, const RWWString& driver_name,
              const RWWString& port_name, std::uint32_t flag);
  ~GPrinterKey() override;

  // 1 when `other` is a key with the same handle, printer name, flag,
  // driver name and port name (names compared unit by unit), else 0.
  std::int32_t IsEqual(const GValueSource* other) const override;
  // 1 when `other` is a key with the same driver name (units compared), else
  // 0: so two keys without a driver name are of the same driver.
  std::int32_t IsSameDriver(const GValueSource* other) const override;

  platform::HANDLE GetPrinterHandle() const { return printer_; }
  const RWWString& GetPrinterName() const { return printer_name_; }
  const RWWString& GetDriverName() const { return driver_name_; }
  const RWWString& GetPortName() const { return port_name_; }
  std::uint32_t GetFlag() const { return flag_; }

 private:
  platform::HANDLE printer_ = nullptr;
  RWWString printer_name_;
  RWWString driver_name_;
  RWWString port_name_;
  std::uint32_t flag_ = 0;
};
