// The common property-sheet service (CommonPropertySheetUIW) over the
// headless windowing host, and its test controls. Tests drive a sheet
// through tests/support/sheet_driver.h.
//
// One sheet, in order:
//  1. the procedure gets reason 0 (init) with a PropSheetUiInfo naming the
//     sheet's handle and the service callback, lparam_init and lParam the
//     caller's parameter; an answer of 0 or less ends the sheet (step 5);
//  2. reason 1 with a PropSheetUiInfoHeader (size and parent filled); what
//     the procedure writes there is logged;
//  3. without an added page the sheet ends (step 5); otherwise a frame
//     window (a top-level dialog captioned with the header's title) is
//     made and the start page, else the first, is activated, and the script
//     queued for the next sheet runs (ScriptPropertySheet). A script that
//     leaves the sheet open, or a sheet no script was queued for, is
//     cancelled, and is a test failure unless dialogs are lenient
//     (SetStrictDialogs);
//  4. OK: kill-active (kPsnKillActive) to the active page, apply
//     (kPsnApply) to every created page in order; the out result is the
//     last result set through function 9 (kCpsuiOk when none), or
//     kCpsuiCancel when the procedure answered 0 or less to an OK set
//     (its apply failed: the user is not told OK). Cancel: reset
//     (kPsnReset) to every created page; the out result is 0;
//  5. the page windows and the frame are destroyed, every added page with
//     kPspUseCallback gets its callback with kPspcbRelease, and the
//     procedure gets reason 2.
// The PropSheetUiInfo passed is the same record every time (its user_data
// and result persist). CommonPropertySheetUIW answers 1 when the sheet was
// shown (whatever the user chose), -1 when it was not (a null procedure,
// init refused, no page); the out result is then 0. Memory that runs out in
// the service's own work fails the sheet as the system's service does: -1,
// last error kErrorNotEnoughMemory (noted, platform::NoteShortage), out
// result 0, and step 5 still runs; any other exception likewise, with its
// last error (platform::CaughtExceptionError). Once every created page has
// applied an OK that the procedure carried out, a shortage after it leaves
// the sheet shown with its OK.
//
// The service callback (the info's service_callback, on the sheet handle):
//  - kCpsFuncAddPropSheetPageW (first: a PropSheetPageW*): copies the record
//    and answers the new page's handle; 0 for a null record or one without
//    template or dialog procedure (logged as refused);
//  - kCpsFuncSetHStartPage (first: a page handle): the page to activate
//    first; 1, or 0 for a handle of another sheet;
//  - kCpsFuncSetResult (first: the setter's handle, second: the result):
//    records the result and delivers reason 3 with a SetResultInfo; answers
//    what the procedure answered;
//  - any other function, or an unknown sheet: 0.
//
// Pages. Activating a page sends kPsnKillActive to the page active before
// (which is hidden), creates the page on its first activation (its
// callback first gets kPspcbCreate when it has kPspUseCallback, and an
// answer of 0 leaves the page uncreated; then the dialog of the record's
// template is made as a child of the frame, WM_INITDIALOG carrying the
// service's copy of the record), shows it and sends kPsnSetActive. Page
// notifications are WM_NOTIFY with a NotifyHeader from the frame.
// Readings: the create callback runs when the page's dialog is about to
// be made (the platform's order), not when the page is added; the
// procedure gets reason 2 also after a refused init, so that it frees what
// it made.
//
// The log (PropertySheetLog) keeps, per event, one text: "reason N",
// "header F <title>", "add I", "refused", "start I", "result R",
// "create I", "setactive I", "killactive I", "apply I", "reset I",
// "release I" (I the page's index in its sheet).
//
// Any thread; the service keeps its state under the stand-ins' one lock
// and holds it across no call of a procedure, callback or script.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/host/printer_interface.h"
#include "platform/host/types.h"
#include "platform/ui/ui_types.h"

namespace platform {

struct OpaquePropSheetPage;
using HPROPSHEETPAGE = OpaquePropSheetPage*;

struct PropSheetPageW;
// A page's callback: kPspcbCreate (answer 0 refuses) or kPspcbRelease.
using PropSheetPageCallback = UINT (*)(HWND window, UINT message, PropSheetPageW* page);

// The page description (the platform's first version; `size` is the
// marker 40, not the record's size here).
inline constexpr DWORD kPropSheetPageSize = 40;
struct PropSheetPageW {
  DWORD size;
  DWORD flags;  // kPspUseCallback, kPspHasHelp ...
  HINSTANCE instance;
  const char16_t* template_name;  // an integer resource name
  void* icon;
  const char16_t* title;
  DlgProc dialog_procedure;
  LPARAM lparam;  // the owner's word, carried in the copy
  PropSheetPageCallback callback;
  UINT* ref_parent;
};
inline constexpr DWORD kPspDefault = 0x0000;
inline constexpr DWORD kPspUseTitle = 0x0008;
inline constexpr DWORD kPspHasHelp = 0x0020;
inline constexpr DWORD kPspUseCallback = 0x0080;
inline constexpr UINT kPspcbRelease = 1;
inline constexpr UINT kPspcbCreate = 2;

// Functions of the service callback.
inline constexpr UINT kCpsFuncAddPropSheetPageW = 1;
inline constexpr UINT kCpsFuncSetHStartPage = 7;
inline constexpr UINT kCpsFuncSetResult = 9;

// Runs one sheet (see above); `result` may be null.
LONG CommonPropertySheetUIW(HWND owner, PropSheetUiProc procedure, LPARAM parameter,
                            ULONG_PTR* result);

// ---- Test controls.

using SheetScript = std::function<void(HANDLE sheet)>;
// Queues a script for the next sheet shown.
void ScriptPropertySheet(SheetScript script);
std::size_t PendingSheetScripts();

// The running sheet's pages, in the order they were added (empty for an
// unknown sheet), and the index of the active one (-1: none).
std::vector<HPROPSHEETPAGE> SheetPages(HANDLE sheet);
int SheetActiveIndex(HANDLE sheet);
// The dialog of the page at `index` (null until created), and the frame.
HWND SheetPageWindow(HANDLE sheet, std::size_t index);
HWND SheetFrame(HANDLE sheet);
// Activates the page at `index`; false for a bad index or a page that
// cannot be created.
bool SheetActivate(HANDLE sheet, std::size_t index);
// The user's OK and Cancel (step 4); the sheet then ends when its script
// returns. False when the sheet is unknown or has ended already.
bool SheetOk(HANDLE sheet);
bool SheetCancel(HANDLE sheet);

// The log (the newest kHostLogCapacity, platform/host/modules.h).
std::vector<std::string> PropertySheetLog();
void ClearPropertySheetLog();

}  // namespace platform
