// The acceptance tests' scenario (a), which the demonstration, the threads'
// test and the benchmark run as the end-to-end test does: document properties of a printer of
// AcceptanceInstall through the exported DrvDocumentProperties, the
// document sheet worked as a user works it.
//
// The application's record is the driver's default one asked for duplex on
// the long edge (dmDuplex 2, DM_DUPLEX). In the sheet the user opens Basics
// (or every page in order) and clicks landscape there, then opens Paper,
// chooses "Envelope" (item data 11120) in the paper-type list 11582, agrees
// to the box that follows (5101 under 5100, information with OK and Cancel:
// 0x41) and presses OK.
//
// Sheets, boxes and their scripts are the windowing host's (one queue for
// the process): a script runs on the thread of the sheet that takes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/types.h"
#include "support/acceptance_install.h"

class GAttributeComposite;

namespace support {

class UiDialog;

using Record = std::vector<std::uint8_t>;

// Document pages of a colour printer without job storage, in the order the
// plug-in adds them: Finishing, Effects, Paper, Basics, Color.
inline constexpr std::size_t kScenarioPaperPage = 2;
inline constexpr std::size_t kScenarioBasicsPage = 3;
// Basics: the landscape button. Paper: the paper-type list and the
// "Envelope" item's data.
inline constexpr int kScenarioLandscape = 1032;
inline constexpr int kScenarioPaperType = 11582;
inline constexpr platform::ULONG_PTR kScenarioEnvelope = 11120;
inline constexpr char16_t kScenarioBoxText[] =
    u"The selected paper type cannot be used with the \"Print on Both Sides\" (duplexing) "
    u"feature.";
inline constexpr char16_t kScenarioBoxCaption[] = u"Incompatible Options";

// What the user saw of one sheet: its page count and the caption of each
// page opened, in the order opened.
struct ScenarioSheet {
  std::size_t pages = 0;
  std::vector<std::u16string> opened;
};

// DrvDocumentProperties(no window, `printer`, `name`, out, in, `mode`)
// through the library's export; -1 when the export is missing.
platform::LONG DocumentProperties(const AcceptanceInstall& install, platform::HANDLE printer,
                                  const char16_t* name, Record* out, Record* in,
                                  platform::DWORD mode);
// The same sheet as a host runs it itself: the platform's sheet service
// (CommonPropertySheetUIW) on the library's DrvDocumentPropertySheets, its
// header as DrvDocumentProperties would fill it from these arguments.
// Answers the sheet's out result when it was shown (kCpsuiOk, or
// kCpsuiCancel for a Cancel or an OK the library could not carry out), -1
// when it was not (or the export is missing); the last error is the
// service's.
platform::LONG DocumentSheetThroughService(const AcceptanceInstall& install,
                                           platform::HANDLE printer, const char16_t* name,
                                           Record* out, Record* in, platform::DWORD mode);
// The application's record for `printer` (see above); empty when the
// driver gives no default record.
Record ScenarioRequest(const AcceptanceInstall& install, platform::HANDLE printer,
                       const char16_t* name);
// Queues the user's road for the next sheet shown and its box; `seen`,
// when given, is filled on the sheet's thread.
void QueueScenarioSheet(bool every_page, ScenarioSheet* seen);
// The document sheet: the user's road above on every page, or a Cancel.
void QueueDocumentSheet(bool ok);
// The printer sheet's road: 128 typed into the memory field (7091) of the
// Configure page's options dialog (7500, opened by 7049), the dialog and
// the sheet OK'd; or the sheet cancelled.
void QueueMemorySheet(bool ok);
// The printer sheet opened to read what the options dialog above shows
// (`read` gets the dialog, on the sheet's thread), the dialog cancelled;
// then, with `tray`, "Tray 2 500-Sheet" (item data 2) in the forms page's
// tray list 12003 and "Letter" in its form list 12006; then OK or Cancel.
void QueueMemoryReadBack(std::function<void(UiDialog&)> read, bool tray, bool ok);
// The settings `record` carries, read by the printer's own device-mode
// settings; null when the printer has no context or the record does not
// decode.
std::unique_ptr<GAttributeComposite> DecodeRecord(platform::HANDLE printer, const char16_t* name,
                                                  Record& record);

}  // namespace support
