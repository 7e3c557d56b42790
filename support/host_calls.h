// A host's calls on a printer of AcceptanceInstall, each through the
// library's export of its name, each answering whether the call answered
// success: the device sheet through the platform's sheet service, the
// capabilities, the conversion to the driver's default, DevQueryPrintEx on
// a record, and one document through the document events.
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
// The paper and bin lists (kDcPapers, kDcBins) for the printer.
bool AskCapabilities(const AcceptanceInstall& install, platform::HANDLE printer,
                     const char16_t* name);
// DrvConvertDevMode's driver default for printer `name` into a record.
bool ConvertToDriverDefault(const AcceptanceInstall& install, const char16_t* name);
// DevQueryPrintEx on `record`: true when it prints.
bool QueryPrintable(const AcceptanceInstall& install, platform::HANDLE printer, Record& record);
// A document on `record` and the device context `dc` (the host's) from
// create-DC to delete-DC: the events after a create-DC that answered are
// sent whatever they answer, as the system sends them; true when none
// answered failure (-1).
bool PrintDocumentEvents(const AcceptanceInstall& install, platform::HANDLE printer,
                         platform::HDC dc, Record& record);

}  // namespace support
