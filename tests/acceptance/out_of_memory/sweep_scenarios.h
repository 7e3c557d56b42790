// The scenarios the out-of-memory and write-refusal sweeps run on P1 (the acceptance
// printer, support/acceptance_install.h):
//
//   - the sheet session: the default record (DrvDocumentProperties with
//     DM_OUT_BUFFER), the document sheet of the acceptance scenario
//     (landscape on Basics, "Envelope" on Paper, OK), the same sheet as a
//     host runs it through the platform's sheet service, and the printer sheet
//     (PrinterProperties: 128 MB typed on the Configure page's options
//     dialog, OK);
//   - the host's calls: the default record, the device sheet through the
//     platform's sheet service (128 MB, OK), the capabilities, the
//     conversion to the driver's default, DevQueryPrintEx on the default
//     record, a document through the document events (its create-DC
//     starting the keep-alive's watcher anew), the registration of no
//     extension, the upgrade, a printer event and the capabilities without
//     a handle, each through its export;
//   - the device sheets: the device sheet through the sheet service (128
//     MB, OK) and PrinterProperties (the memory it shows read back, "Tray
//     2 500-Sheet" with Letter on the forms page, OK);
//   - P1 installed without its initialise event: the event, the document
//     sheet with the prompt (OK), with `document_sheet` the same through
//     the sheet service, then PrinterProperties (the memory read back, OK);
//   - the print job of the demonstration (examples/print_demo/): the
//     default record, the document sheet (two copies, long-edge duplex, two
//     pages a sheet), a job checked out and bound to the record, the five
//     pages printed through the canonical chain to a port file, the job
//     given back. Its stored state adds the port file and the count of
//     files left in the spool directory. `only_the_end` makes everything
//     but the document end (which writes the last page and puts the port
//     file in place) part of the set-up.
//
// Each sheet's road is queued as its step starts (SweepStep::cancel may
// show it cancelled instead). What the harness itself makes
// (the pages' commands, the chain's tail, the scripts' buffers) is made
// with allocations uncounted where it can be; the user's verbs run inside
// the library's calls and count with them.
#pragma once

#include "support/allocation_sweep.h"

namespace testing_support {

support::ScenarioMaker SheetSession();
support::ScenarioMaker HostCalls();
support::ScenarioMaker DeviceSheets();
support::ScenarioMaker InitialiseAndPromptSheet(bool document_sheet = false);
support::ScenarioMaker PrintJob(bool only_the_end = false);

}  // namespace testing_support
