// A host's calls on a printer of AcceptanceInstall, each through the
// library's export of its name, each answering whether the call answered
// success: the device sheet through the platform's sheet service, the
// capabilities, the conversion to the driver's default, DevQueryPrintEx on
// a record, one document through the document events, and what the
// spooler sends without a handle (a registration, the upgrade).
//
// Threads: any; the device sheet takes the script queued for the next
// sheet (ui_user.h).
#pragma once

#include "platform/host/types.h"
#include "support/acceptance_scenario.h"

namespace support {

// DrvDevicePropertySheets shown by CommonPropertySheetUIW: true when it
// was shown and its result is OK.
bool DeviceSheetThroughService(const AcceptanceInstall& install, platform::HANDLE printer);
// The document sheet shown so: DocumentSheetThroughService
// (acceptance_scenario.h).
// The paper and bin lists (kDcPapers, kDcBins) for the printer.
bool AskCapabilities(const AcceptanceInstall& install, platform::HANDLE printer,
                     const char16_t* name);
// DrvConvertDevMode's driver default for printer `name` into a record.
bool ConvertToDriverDefault(const AcceptanceInstall& install, const char16_t* name);
// DevQueryPrintEx on `record`: true when it prints.
bool QueryPrintable(const AcceptanceInstall& install, platform::HANDLE printer, Record& record);
// KVDrv_RegisterExtension for printer `name` with no extension named (the
// printer's extension support asked): true unless it failed for want of
// memory (its answer, the support level, may equal kExtFailed: the last
// error tells).
bool RegisterNoExtension(const AcceptanceInstall& install, const char* name);
// DrvPrinterEvent's cache refresh for printer `name`: true unless it
// failed for want of memory (it answers 0 for a printer it has no
// connection to refresh: the last error tells).
bool RefreshPrinterCache(const AcceptanceInstall& install, const char16_t* name);
// DrvUpgradePrinter at level 1 for printer `name`, from an older driver's
// folder: true when it answered TRUE.
bool UpgradePrinter(const AcceptanceInstall& install, const char16_t* name);
// A document on `record` and the device context `dc` (the host's) from
// create-DC to delete-DC: the events after a create-DC that answered are
// sent whatever they answer, as the system sends them; true when none
// answered failure (-1).
bool PrintDocumentEvents(const AcceptanceInstall& install, platform::HANDLE printer,
                         platform::HDC dc, Record& record);

}  // namespace support
