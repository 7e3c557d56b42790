// Test controls of the windowing host: the user's actions on controls, the
// message pump, the scripts of modal dialogs, test failures and the live
// handle counts. Tests reach them through tests/support/ui_driver.h.
//
// A user action does what a person at the screen would cause, and sends the
// notifications the platform sends, in its order, to the control's parent:
//  - click: an auto check box toggles first; then WM_COMMAND (id,
//    kBnClicked). Clicking a button does not move the focus.
//  - select: the list's selection becomes the item; then WM_COMMAND (id,
//    kCbnSelChange) for a drop-down list, (id, kLbnSelChange) for a list
//    box with kLbsNotify.
//  - type: the edit takes the focus (WM_SETFOCUS: kEnSetFocus to the parent,
//    after kEnKillFocus from an edit that had it), the typed text replaces
//    the whole text, cut to the edit's limit; then kEnChange, and kEnMaxText
//    when the limit cut it. A read-only edit refuses.
//  - blur: the focus leaves the window that has it (kEnKillFocus for an
//    edit).
//  - spin: WM_NOTIFY with an UpDownNotify (kUdnDeltaPos, position, delta; the
//    delta's sign turned when the range runs downwards); unless the parent
//    answers non-zero, the position moves by the delta within the range and
//    the parent gets WM_VSCROLL (kSbThumbPosition, position) (WM_HSCROLL
//    with kUdsHorz).
//  - hover: the pointer moves to a point of the window's client area; the
//    window gets WM_SETCURSOR (its default asks the parent first).
//  - click at a point: hover there, then click.
// An action on a window that is hidden, disabled, unknown or of the wrong
// class does nothing and answers false.
//
// Test failures (an unscripted dialog, an unexpected box, a script left
// unused ...) are kept in a list and handed to the failure handler, which a
// test driver points at its test framework; without one they go to
// standard error. The handler survives ResetHostServices; everything else
// here is reset by it.
//
// Any thread; handlers and scripts are called outside the stand-ins' lock.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/types.h"
#include "platform/ui/ui_types.h"

namespace platform {

// ---- The user's actions (see above).
bool UserClick(HWND control);
bool UserSelect(HWND list, int index);
bool UserType(HWND edit, std::u16string_view text);
bool UserBlur();
bool UserSpin(HWND updown, int delta);
bool UserHover(HWND window, Point client_point);
bool UserClickAt(HWND control, Point client_point);

// Delivers, on the calling thread, the messages posted to its windows (in
// order, also those posted meanwhile), paints its invalidated windows and
// fires its due timers, until nothing is left; answers how many messages,
// paints and timer calls it delivered. A loop that never settles (more than
// kPumpBound deliveries) is reported as a failure.
inline constexpr std::size_t kPumpBound = 100000;
std::size_t PumpMessages();

// ---- Modal dialogs.
using DialogScript = std::function<void(HWND dialog)>;
// Queues a script for the next modal dialog of `template_id` (any module).
void ScriptDialog(UINT template_id, DialogScript script);
// Scripts no dialog has taken yet.
std::size_t PendingDialogScripts();
// Strict (the default): an unscripted modal dialog is a failure naming its
// template. Lenient: it is cancelled without complaint.
void SetStrictDialogs(bool strict);
// The newest live dialog made from `template_id`, or null.
HWND FindDialogByTemplate(UINT template_id);
// The template id a dialog was made from (0 for other windows).
UINT DialogTemplateId(HWND dialog);

// ---- Failures.
using UiFailureHandler = std::function<void(const std::string& message)>;
// Answers the previous handler.
UiFailureHandler SetUiFailureHandler(UiFailureHandler handler);
// The failures so far (the newest kHostLogCapacity, platform/host/modules.h).
std::vector<std::string> UiFailures();
// Reports a failure (the host's own calls, and test drivers' checks).
void ReportUiFailure(const std::string& message);

// ---- Handles.
std::size_t UiHandleCount(UiHandleKind kind);

}  // namespace platform
