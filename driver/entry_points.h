// The printer-interface entry points that the print spooler calls by name,
// and the extension libraries' registration entry. None holds printer
// logic; each follows one road:
//  1. mark activity on the module keep-alive (not KVDrv_RegisterExtension);
//  2. check its arguments;
//  3. build a printer key from the handle (or none) and the name (or "");
//  4. check the printer's context out of the driver server (none: the
//     entry point's "no context" answer);
//  5. call the context operation of its own name with its own arguments;
//  6. give the context back, and answer what the operation answered.
// When memory runs out inside one (std::bad_alloc in an error scope, or
// under an error handler that returns), it answers its failure value with
// the last error kErrorNotEnoughMemory, everything it took given back
// (platform/host/boundary.h): kCapabilityFailed, kShortOfMemoryResult
// (the document and device sheets and properties), 0 (the advanced
// document properties and every BOOL), kNoContextDocumentEvent or
// kExtFailed. Nothing leaves an entry point by an exception.
//
// The property-sheet entry points keep the context checked out from the
// sheet's first call (reason init: the cookie goes into the context and
// the context into the sheet record's user data) to its destroy call. The
// document-event entry point keeps it from create-DC to delete-DC (or to a
// create-DC that answers 0) in the document-event table, and meanwhile
// asks the keep-alive to keep the library loaded.
//
// Threads: the spooler's and applications' threads, several at once; the
// context operation runs outside every lock.
#pragma once

#include <cstdint>

#include "platform/host/printer_interface.h"
#include "platform/host/types.h"

// What an entry point answers without a context (and what the context's
// base operations answer), and for arguments it refuses.
inline constexpr platform::DWORD kNoContextCapabilities = 0;
inline constexpr platform::LONG kNoContextResult = 0;
inline constexpr int kNoContextDocumentEvent = -1;
inline constexpr platform::LONG kRefusedArguments = -1;
inline constexpr platform::LONG kShortOfMemoryResult = -1;
inline constexpr std::uint16_t kNoContextExtension = 1;

// The source name of the document-event lock's reports.
inline constexpr char kDocumentEventSource[] = ".\\winnt40\\nt40qddi";

// The exports, by these names with C linkage (ui/module/exports.map).
extern "C" {

platform::DWORD WINAPI DrvDeviceCapabilities(platform::HANDLE printer, const char16_t* device_name,
                                             platform::WORD capability, void* output,
                                             const platform::DevModeW* dev_mode);
platform::LONG WINAPI DrvDocumentProperties(platform::HWND window, platform::HANDLE printer,
                                            const char16_t* device_name,
                                            platform::DevModeW* dev_mode_out,
                                            platform::DevModeW* dev_mode_in, platform::DWORD mode);
// Without a sheet record, `lparam` is the document property header (none:
// -1) and the context is checked out for this call only.
platform::LONG WINAPI DrvDocumentPropertySheets(platform::PropSheetUiInfo* info,
                                                platform::LPARAM lparam);
platform::LONG WINAPI DrvAdvancedDocumentProperties(platform::HWND window, platform::HANDLE printer,
                                                    const char16_t* device_name,
                                                    platform::DevModeW* dev_mode_out,
                                                    platform::DevModeW* dev_mode_in);
platform::BOOL WINAPI DrvConvertDevMode(const char16_t* printer_name,
                                        platform::DevModeW* dev_mode_in,
                                        platform::DevModeW* dev_mode_out, platform::LONG* size,
                                        platform::DWORD mode);
// The sheet record and its device property header must be present (else
// -1).
platform::LONG WINAPI DrvDevicePropertySheets(platform::PropSheetUiInfo* info,
                                              platform::LPARAM lparam);
platform::BOOL WINAPI PrinterProperties(platform::HWND window, platform::HANDLE printer);
// A null query answers FALSE.
platform::BOOL WINAPI DevQueryPrintEx(platform::DevQueryPrintInfo* info);
// Level 1 with a record naming the printer and the old driver directory;
// else the last error 87 and FALSE.
platform::BOOL WINAPI DrvUpgradePrinter(platform::DWORD level, platform::BYTE* info);
platform::BOOL WINAPI DrvPrinterEvent(const char16_t* printer_name, int event,
                                      platform::DWORD flags, platform::LPARAM lparam);
// The event is read as 16 bits; any event but create-DC on a handle without
// a create-DC answers -1, and so does a create-DC on a handle whose
// document has not had its delete-DC (one document a handle).
int WINAPI DrvDocumentEvent(platform::HANDLE printer, platform::HDC dc, int event,
                            platform::DWORD size_in, void* in, platform::DWORD size_out, void* out);

// Registers the extension library `name` with `mode` for the printer named
// in 8-bit text, through the context's driver data; answers the low 16
// bits of the registration's result (1 without a context). Marks no
// activity; the second argument is not used.
std::uint16_t WINAPI KVDrv_RegisterExtension(const char* printer_name, void* unused,
                                             const char* name, std::uint32_t mode);

}  // extern "C"
