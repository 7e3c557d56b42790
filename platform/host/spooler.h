// The print spooler as the rest of the system knows it: printers that tests
// add, their handles, their printer data, their default device modes, and
// the forms of the servers they live on. A printer's data is the machine
// registry key PrinterDataKeyPath(name) itself, so what is written as
// printer data reads back through the registry under that path, and the
// other way round; write failures injected on a value there
// (SetRegistryWriteFailure) fail printer-data writes too. Handles opened
// without the administer right (the default) may read data but not write
// it, nor change the printer or the forms. Any thread; the stand-ins' one
// lock guards everything.
//
// Forms: each server (the local machine, or the server a test puts a
// printer on) keeps one list of forms, empty at the start, which every
// printer of that server shows in the same order. Names compare
// case-insensitively.
#pragma once

#include <cstddef>
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
// with kErrorInvalidPrinterName for a printer that was not added, and with
// kErrorAccessDenied when the administer right is asked for while the user
// is denied it (SetPrinterAdministerDenied).
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
// Deletes value `name`: without the administer right kErrorAccessDenied,
// asked before anything else; a missing value kErrorFileNotFound, and
// nothing changes.
DWORD DeletePrinterDataW(HANDLE printer, const char16_t* name);

// The printer record of GetPrinterW level 2. Only the server name (null for
// a printer of the local machine), the printer, port and driver names and
// the device mode (null until SetPrinterW stored one) are filled; the other
// pointers are null and the numbers 0.
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

// Both write their record at the start of `buffer` and its strings (and
// device mode) after it, and set `*needed` to the bytes that takes; a `size`
// below that fails with kErrorInsufficientBuffer (no buffer and size 0 is
// the size query). A level other than 2: kErrorInvalidLevel; a handle that
// is not open: kErrorInvalidHandle. `environment` is ignored.
BOOL GetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed);
BOOL GetPrinterDriverW(HANDLE printer, const char16_t* environment, DWORD level, BYTE* buffer,
                       DWORD size, DWORD* needed);

// Level 2 with command 0: keeps the record's device mode (when not null)
// as the printer's default, dmSize + dmDriverExtra bytes of it (the two
// 16-bit fields at offsets 68 and 70; a record under 72 bytes is
// kErrorInvalidParameter); the rest of the record is ignored. Another
// level: kErrorInvalidLevel; another command: kErrorInvalidParameter;
// without the administer right: kErrorAccessDenied.
BOOL SetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD command);

// Offsets of dmSize and dmDriverExtra in a device mode.
inline constexpr std::size_t kDevModeSizeOffset = 68;
inline constexpr std::size_t kDevModeDriverExtraOffset = 70;

// Form flags, and the errors of the form operations.
inline constexpr DWORD kFormUser = 0;
inline constexpr DWORD kFormBuiltin = 1;
inline constexpr DWORD kFormPrinter = 2;
inline constexpr DWORD kErrorInvalidFormName = 1902;

struct SizeL {
  LONG cx;
  LONG cy;
};
struct RectL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
// The form record of level 1; lengths in thousandths of a millimetre.
struct FormInfo1W {
  DWORD flags;
  char16_t* name;
  SizeL size;
  RectL imageable_area;
};

// The form `name` of the printer's server (GetFormW), or all of them in
// order (EnumFormsW, their count in `*returned`), as records followed by
// their names, under the size protocol of GetPrinterW. A missing form:
// kErrorInvalidFormName; a level other than 1: kErrorInvalidLevel.
BOOL GetFormW(HANDLE printer, const char16_t* name, DWORD level, BYTE* buffer, DWORD size,
              DWORD* needed);
BOOL EnumFormsW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed,
                DWORD* returned);
// Each needs the administer right (kErrorAccessDenied). AddFormW appends a
// form whose name is new (else kErrorFileExists); no record, an empty name
// or the built-in flag: kErrorInvalidParameter. SetFormW replaces the size
// and area of a form that is not built-in, DeleteFormW removes one
// (kErrorAccessDenied for a built-in form, kErrorInvalidFormName for a
// missing one).
BOOL AddFormW(HANDLE printer, DWORD level, const BYTE* form);
BOOL SetFormW(HANDLE printer, const char16_t* name, DWORD level, const BYTE* form);
BOOL DeleteFormW(HANDLE printer, const char16_t* name);

// A stamp of the printer's last change: a value of its data written or
// deleted (through any handle, or through the registry under its data
// key), its record changed (SetPrinterW, SetPrinterDriver,
// SetPrinterServer), or a form of its server added, changed or deleted.
// Stamps only grow and no two changes share one, so an equal stamp means
// none of these changed in between, for whatever handle of the printer
// asks; cheap enough to ask before each use of what was read from them.
// 0 for a handle that is not open.
std::uint64_t GetPrinterChangeStamp(HANDLE printer);

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

// Puts the printer on server `server` (such as \\PRINTSRV; empty: the local
// machine), which GetPrinterW then names and whose forms its handles show.
// Fails for an unknown printer.
bool SetPrinterServer(std::u16string_view printer, std::u16string_view server);

// Appends a form to the list of `server` (empty: the local machine) as it
// is, flags and name unchecked, the area (0, 0, cx, cy): how the system's
// own forms, and damaged ones, come about.
void AddServerForm(std::u16string_view server, DWORD flags, std::u16string_view name, LONG cx,
                   LONG cy);

// While set, the user may not administer printers: OpenPrinterW asking for
// the administer right fails.
void SetPrinterAdministerDenied(bool denied);

// Every write of that printer-data value fails with `error`; 0 clears.
void SetPrinterDataWriteFailure(std::u16string_view printer, std::u16string_view name, DWORD error);
// Every SetPrinterW that would store the printer's default device mode
// fails with `error`, leaving it as it was; 0 clears.
void SetStoredDefaultWriteFailure(std::u16string_view printer, DWORD error);
// Every change of form `name` of `server`'s list (empty: the local
// machine's), an add included, fails with `error`; 0 clears.
void SetFormWriteFailure(std::u16string_view server, std::u16string_view name, DWORD error);

// An operation on a printer's stored state that a thread has just carried
// out, as SetStoredStateHook's hook hears of it.
// kReadingValue: a GetPrinterDataW about to read (its result 0).
enum class StoredStateOperation {
  kReadValue,
  kWriteValue,
  kWritePrinter,
  kWriteForm,
  kReadingValue
};
struct StoredStateEvent {
  StoredStateOperation operation;
  std::u16string_view printer;  // the printer's name
  std::u16string_view name;     // the value's or the form's; empty for the printer's record
  DWORD result;                 // what the call answered (its error, or its BOOL)
};
using StoredStateHook = void (*)(const StoredStateEvent& event, void* context);

// `hook` (null: none) hears of each GetPrinterDataW (before its read, too)
// and SetPrinterDataW,
// each SetPrinterW and each form added, changed or deleted, on the thread
// that called, after the call and outside the stand-ins' lock: a test may
// hold that thread there while others go on.
void SetStoredStateHook(StoredStateHook hook, void* context);

struct SpoolerCounters {
  std::uint32_t opens = 0;   // successful OpenPrinterW calls
  std::uint32_t closes = 0;  // successful ClosePrinter calls
  std::uint32_t open_handles = 0;
};
SpoolerCounters GetSpoolerCounters();

}  // namespace platform
