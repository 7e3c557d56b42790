// The print spooler as the rest of the system knows it: printers that tests
// add, their handles, and their printer data. A printer's data is the
// machine registry key PrinterDataKeyPath(name) itself, so what is written as
// printer data reads back through the registry under that path, and the
// other way round; write failures injected on a value there
// (SetRegistryWriteFailure) fail printer-data writes too. Handles opened
// without the administer right (the default) may read data but not write
// it. Any thread; the stand-ins' one lock guards everything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/host/types.h"

namespace platform {

// Where the spooler keeps its printers, in the machine's registry.
inline constexpr char16_t kPrintersKeyPath[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr char16_t kPrinterDataKeyName[] = u"PrinterDriverData";

// Access rights of a printer handle.
inline constexpr DWORD kPrinterAccessAdminister = 0x4;
inline constexpr DWORD kPrinterAccessUse = 0x8;
inline constexpr DWORD kPrinterAllAccess = 0xF000C;

struct PrinterDefaultsW {
  const char16_t* data_type;  // ignored
  const void* dev_mode;       // ignored
  DWORD desired_access;       // 0: kPrinterAccessUse
};

// Opens printer `name` (case-insensitive). `defaults` may be null. Fails
// with kErrorInvalidPrinterName for a printer that was not added.
BOOL OpenPrinterW(const char16_t* name, HANDLE* printer, const PrinterDefaultsW* defaults);
BOOL ClosePrinter(HANDLE printer);

// Reads printer-data value `name`: `*needed` receives its size in bytes and
// `type` (when given) its type; a `size` below the value's size gives
// kErrorMoreData and copies nothing. A missing value: kErrorFileNotFound; a
// handle that is not open: kErrorInvalidHandle; no `needed`, or no `data`
// with a non-zero `size`: kErrorInvalidParameter.
DWORD GetPrinterDataW(HANDLE printer, const char16_t* name, DWORD* type, BYTE* data, DWORD size,
                      DWORD* needed);
// Writes value `name` with `size` bytes of `data`, kept as given. Without
// the administer right: kErrorAccessDenied.
DWORD SetPrinterDataW(HANDLE printer, const char16_t* name, DWORD type, const BYTE* data,
                      DWORD size);

// ---- Test controls ----

// Adds a local printer and makes its registry key and data key. Fails for an
// empty name, a name holding "\", or a printer that exists.
bool AddPrinter(std::u16string_view name);

// kPrintersKeyPath + "\" + printer + "\" + kPrinterDataKeyName.
std::u16string PrinterDataKeyPath(std::u16string_view printer);

// Every write of that printer-data value fails with `error`; 0 clears.
void SetPrinterDataWriteFailure(std::u16string_view printer, std::u16string_view name, DWORD error);

struct SpoolerCounters {
  std::uint32_t opens = 0;   // successful OpenPrinterW calls
  std::uint32_t closes = 0;  // successful ClosePrinter calls
  std::uint32_t open_handles = 0;
};
SpoolerCounters GetSpoolerCounters();

}  // namespace platform
