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

// The printer record of GetPrinterW level 2. Only the printer, port and
// driver names are filled; the other pointers are null and the numbers 0.
struct PrinterInfo2W {
  char16_t* server_name;
  char16_t* printer_name;
  char16_t* share_name;
  char16_t* port_name;
  char16_t* driver_name;
  char16_t* comment;
  char16_t* location;
  void* dev_mode;
  char16_t* sep_file;
  char16_t* print_processor;
  char16_t* data_type;
  char16_t* parameters;
  void* security_descriptor;
  DWORD attributes;
  DWORD priority;
  DWORD default_priority;
  DWORD start_time;
  DWORD until_time;
  DWORD status;
  DWORD jobs;
  DWORD average_ppm;
};

// The driver record of GetPrinterDriverW level 2. Only the driver name and
// the data file are filled; the version is 3.
struct DriverInfo2W {
  DWORD version;
  char16_t* name;
  char16_t* environment;
  char16_t* driver_path;
  char16_t* data_file;
  char16_t* config_file;
};

// Both write their record at the start of `buffer` and its strings after
// it, and set `*needed` to the bytes that takes; a `size` below that fails
// with kErrorInsufficientBuffer (no buffer and size 0 is the size query). A
// level other than 2: kErrorInvalidLevel; a handle that is not open:
// kErrorInvalidHandle. `environment` is ignored.
BOOL GetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed);
BOOL GetPrinterDriverW(HANDLE printer, const char16_t* environment, DWORD level, BYTE* buffer,
                       DWORD size, DWORD* needed);

// ---- Test controls ----

// The driver name, port name and driver data file that the printer's
// records report (all empty after AddPrinter). Fails for an unknown printer.
bool SetPrinterDriver(std::u16string_view printer, std::u16string_view driver_name,
                      std::u16string_view port_name, std::u16string_view data_file);

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
