// Windows as the rest of the system knows them, served by a headless,
// deterministic host that tests drive as a user would (platform/ui/ui_host.h).
//
// A window has a class, a control id, a parent (child windows) or an owner
// (pop-ups), a style (visible, disabled ...), a text, window longs, a
// position and size in its parent's client area, and the thread that made
// it. Built-in classes behave as the platform's controls do ("Button",
// "ComboBox", "ListBox", "Edit", "Static", "msctls_updown32"; see
// platform/ui/controls.cpp); dialogs are of class "#32770" and call their
// dialog procedure (platform/ui/dialog.h). Classes that a program registers
// call its window procedure.
//
// Threads and the lock. The host's state sits under the stand-ins' one lock
// (platform/host/host_state.h), which is never held while a procedure runs:
// the host copies what it needs, unlocks, then calls. SendMessageW from any
// thread calls the target's procedure on the caller's thread at once;
// PostMessageW queues the message for the thread that made the window, and
// PumpMessages (platform/ui/ui_host.h) on that thread delivers it. The focus
// is kept per thread, as the platform keeps it per message queue. Every
// function may be called from any thread.
//
// Clocks. Timers run on the wait clock (GetTickCount of
// platform/host/threads.h), which tests move with AdvanceWaitClock; a pump
// fires a timer once when the clock has passed its deadline, however many
// periods passed (the platform coalesces timer messages too).
//
// Bad input answers 0 (null, false) or the control's error value, and sets
// the last error where the platform does: an unknown or destroyed window
// (kErrorInvalidWindowHandle), a bad long index (kErrorInvalidIndex), a null
// pointer. Nothing here crashes on a handle.
#pragma once

#include "platform/host/types.h"
#include "platform/ui/messages.h"
#include "platform/ui/ui_types.h"

namespace platform {

// ---- Classes and messages.

// Registers a class under its (case-insensitive) name. Answers a non-zero
// atom, or 0: a null record, name or procedure (kErrorInvalidParameter), a
// name in use, built-in classes included (kErrorClassAlreadyExists).
ATOM RegisterClassW(const WndClassW* window_class);
// Fails for built-in classes, unknown names and classes with live windows.
BOOL UnregisterClassW(const char16_t* class_name, HINSTANCE instance);

// One id per name (case-insensitive) from kFirstRegisteredMessage up; 0 for
// a null or empty name (kErrorInvalidParameter) or when the ids run out.
UINT RegisterWindowMessageW(const char16_t* name);

// ---- Windows.

// Makes a window of a registered or built-in class: a child of `parent` when
// `style` has kWsChild (`menu_or_id` is then its control id), else a
// top-level window owned by `parent` (which may be null). A window of a
// registered class gets WM_CREATE with a CreateStruct; an answer of -1
// destroys it again. Null with kErrorCannotFindWndClass for an unknown
// class, kErrorInvalidWindowHandle for a bad parent, kErrorInvalidParameter
// for a child without a parent.
HWND CreateWindowExW(DWORD ex_style, const char16_t* class_name, const char16_t* text, DWORD style,
                     int x, int y, int width, int height, HWND parent, UINT_PTR menu_or_id,
                     HINSTANCE instance, void* parameter);

// Sends WM_DESTROY, destroys the children and owned windows (each sent
// WM_DESTROY, children after their parent), kills the windows' timers and
// drops their queued messages.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);

// Runs the window's procedure on the calling thread and answers its result;
// 0 for an unknown window.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Queues the message for the window's thread; 0 for an unknown window.
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// What a window does with a message it does not handle itself: the text
// messages, WM_SETCURSOR (asks the parent, then shows the class cursor);
// everything else answers 0.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The parent of a child window, the owner of a top-level one.
HWND GetParent(HWND window);
// The first top-level window (newest first) of `class_name` (null: any) and
// `text` (null: any), both compared without case.
HWND FindWindowW(const char16_t* class_name, const char16_t* text);
// The desktop: permanent, the parent of the screen's top-level windows.
HWND GetDesktopWindow();
// The first child of `window` in z-order (for the desktop, or null, the
// newest top-level window; for others the first child made); null when none.
HWND GetTopWindow(HWND window);

// Text through WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH.
BOOL SetWindowTextW(HWND window, const char16_t* text);
int GetWindowTextW(HWND window, char16_t* buffer, int buffer_max);
int GetWindowTextLengthW(HWND window);
// The class name as registered, cut to buffer_max - 1 units; 0 when unknown.
int GetClassNameW(HWND window, char16_t* buffer, int buffer_max);

// Window longs: negative indexes (kGwlStyle, kGwlExStyle, kGwlId,
// kGwlpUserData, kGwlpHwndParent and kGwlpHInstance, the last two read-only)
// or byte offsets into the window's extra bytes (a dialog's
// kDialogExtraBytes: kDwlpMsgResult, kDwlpUser). The setters answer the
// previous value.
LONG_PTR GetWindowLongPtrW(HWND window, int index);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG GetWindowLongW(HWND window, int index);
LONG SetWindowLongW(HWND window, int index, LONG value);
// Class longs of the window's class (shared by all its windows): kGclStyle
// and kGclHCursor. SetClassLongW stores a 32-bit value (0 clears a cursor).
ULONG_PTR GetClassLongPtrW(HWND window, int index);
ULONG_PTR SetClassLongPtrW(HWND window, int index, LONG_PTR value);
DWORD SetClassLongW(HWND window, int index, LONG value);

// Answers whether the window was disabled before.
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
// Answers whether the window was visible before; kSwHide hides, every other
// command shows.
BOOL ShowWindow(HWND window, int command);
// Visible when it and every ancestor are.
BOOL IsWindowVisible(HWND window);

// The calling thread's focus. SetFocus sends WM_KILLFOCUS to the window that
// had it and WM_SETFOCUS to the new one (controls tell their parents), and
// answers the previous one; null takes the focus away.
HWND SetFocus(HWND window);
HWND GetFocus();

// The client rectangle is (0, 0, width, height); the window rectangle is in
// screen coordinates (the desktop's client area).
BOOL GetClientRect(HWND window, Rect* rect);
BOOL GetWindowRect(HWND window, Rect* rect);
BOOL ScreenToClient(HWND window, Point* point);
BOOL ClientToScreen(HWND window, Point* point);

// Marks the window for painting (the rectangle and erase flag are not
// kept); a pump, or UpdateWindow at once, paints it: an owner-drawn button
// sends WM_DRAWITEM to its parent. Other windows have nothing to paint yet.
BOOL InvalidateRect(HWND window, const Rect* rect, BOOL erase);
BOOL UpdateWindow(HWND window);

// ---- Cursors.

// The shown cursor; SetCursor answers the previous one (and refuses, with
// null, a handle that is no cursor).
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// The pointer's position in screen coordinates: where tests put it.
BOOL GetCursorPos(Point* point);
BOOL SetCursorPos(int x, int y);

// ---- Timers.

// A timer of `window` with id `timer_id` (replacing one of the same window
// and id), or, for a null window, a new timer whose id is answered. The
// period is kept between 10 and 0x7FFFFFFF ms. When due, a pump calls
// `procedure`, or sends WM_TIMER to the window when there is none. 0 for an
// unknown window.
UINT_PTR SetTimer(HWND window, UINT_PTR timer_id, UINT period, TimerProc procedure);
BOOL KillTimer(HWND window, UINT_PTR timer_id);

}  // namespace platform
