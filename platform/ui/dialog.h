// Dialogs made from a module's dialog templates (platform/host/resources.h),
// and the operations on their controls. A dialog is a window of class
// "#32770" whose dialog procedure gets the messages first: a non-zero answer
// means handled (its result is the kDwlpMsgResult slot, WM_INITDIALOG's the
// answer itself); zero leaves the message to DefWindowProcW.
//
// Creation makes the controls of the template in order (child windows with
// the template's id, class, style, text and place), then sends
// WM_INITDIALOG with the caller's parameter (wParam: the first control with
// kWsTabStop, or null); no control gets the focus. A template that names a
// class nobody registered makes no dialog at all.
//
// A modal dialog (DialogBoxParamW) is headless: after WM_INITDIALOG, the
// host runs what the test scripted for that template (ScriptDialog in
// platform/ui/ui_host.h) on the calling thread, and answers the value given
// to EndDialog. A dialog its script leaves open is cancelled, and so is an
// unscripted one; either is reported as a test failure in the strict mode
// (the default). Cancelling sends WM_COMMAND (kIdCancel, click), as the
// Escape key does, and ends the dialog with kIdCancel when its procedure
// does not. The owner is disabled while the dialog runs. Dialogs nest: a
// script may open another.
//
// Any thread; see platform/ui/window.h for the lock rules.
#pragma once

#include "platform/host/types.h"
#include "platform/ui/messages.h"
#include "platform/ui/ui_types.h"

namespace platform {

// A resource named by an integer id, as the platform spells it.
inline const char16_t* MakeIntResourceW(UINT id) {
  return reinterpret_cast<const char16_t*>(static_cast<std::uintptr_t>(id & 0xFFFF));
}
// The id of an integer resource name; false for a string name or null.
bool IsIntResource(const char16_t* name, UINT* id);

// A modeless dialog: a child of `parent` when the template has kWsChild,
// else owned by it; shown when the template has kWsVisible. Null when the
// module is not loaded or lacks the template (kErrorResourceNameNotFound),
// or when a control's class is unknown (kErrorCannotFindWndClass).
HWND CreateDialogParamW(HINSTANCE instance, const char16_t* template_name, HWND parent,
                        DlgProc procedure, LPARAM parameter);
// A modal dialog (see above); -1 when it cannot be made.
INT_PTR DialogBoxParamW(HINSTANCE instance, const char16_t* template_name, HWND owner,
                        DlgProc procedure, LPARAM parameter);
// Marks the dialog ended with `result` (a modal one then closes when its
// script returns). 0 for a window that is no dialog.
BOOL EndDialog(HWND dialog, INT_PTR result);

// The first child with control id `id`; null (kErrorControlIdNotFound) when
// there is none.
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
BOOL SetDlgItemTextW(HWND dialog, int id, const char16_t* text);
UINT GetDlgItemTextW(HWND dialog, int id, char16_t* buffer, int buffer_max);
// BM_SETCHECK and BM_GETCHECK of the control `id`.
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);

}  // namespace platform
