// The windowing host's state and the helpers its source files share. Not for
// the host's callers. Everything here is guarded by the stand-ins' one lock
// (platform/host/host_state.h): functions named ...Locked REQUIRE it held,
// the others take it themselves and never hold it while calling out.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/host_state.h"
#include "platform/ui/handle_table.h"
#include "platform/ui/help.h"
#include "platform/ui/message_boxes.h"
#include "platform/ui/messages.h"
#include "platform/ui/ui_host.h"

namespace platform::ui_internal {

using host_internal::Fail;
using host_internal::Lock;
using host_internal::Mutex;

// What a built-in class does; kNone for registered classes.
enum class ControlKind { kNone, kButton, kComboBox, kListBox, kEdit, kStatic, kUpDown, kDialog };

struct ListItem {
  std::u16string text;
  ULONG_PTR data = 0;
};

struct Window : UiObject {
  explicit Window(UiHandleKind window_kind) : UiObject(window_kind) {}
  static bool Holds(UiHandleKind k) {
    return k == UiHandleKind::kWindow || k == UiHandleKind::kDialog;
  }

  std::uintptr_t id = 0;
  std::u16string class_key;  // the folded class name
  ControlKind control = ControlKind::kNone;
  WndProc procedure = nullptr;
  int control_id = 0;
  std::uintptr_t parent = 0;             // child windows
  std::uintptr_t owner = 0;              // top-level windows
  std::vector<std::uintptr_t> children;  // z-order, first made first
  DWORD style = 0;
  DWORD ex_style = 0;
  std::u16string text;
  Rect rect;  // in the parent's client area (the screen for top-level ones)
  HINSTANCE instance = nullptr;
  LONG_PTR user_data = 0;
  std::vector<unsigned char> extra;    // window longs at indexes 0 and up
  DWORD thread = 0;                    // the thread that made it
  bool invalid = false;                // waits for painting
  std::vector<std::uint32_t> surface;  // 0x00RRGGBB, rect's size; made on first use
  int surface_width = 0;
  bool destroying = false;
  // Buttons.
  int check = 0;
  bool pushed = false;
  // Drop-down lists and list boxes.
  std::vector<ListItem> items;
  int selection = -1;
  // Edits.
  DWORD limit = kEditDefaultLimit;
  DWORD selection_start = 0;
  DWORD selection_end = 0;
  // Up-down controls.
  int minimum = kUdDefaultMinimum;
  int maximum = kUdDefaultMaximum;
  int position = 0;
  std::uintptr_t buddy = 0;
  // Dialogs.
  DlgProc dialog_procedure = nullptr;
  UINT template_id = 0;
  bool ended = false;
  INT_PTR end_result = 0;
};

struct WindowClass {
  std::u16string name;  // as registered
  WndProc procedure = nullptr;
  ControlKind control = ControlKind::kNone;
  UINT style = 0;
  int window_extra = 0;
  HCURSOR cursor = nullptr;
  bool built_in = false;
};

struct Cursor : UiObject {
  Cursor() : UiObject(UiHandleKind::kCursor) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kCursor; }
  std::uintptr_t module = 0;  // 0 for the system cursors
  CursorResource resource;
};

struct Bitmap : UiObject {
  Bitmap() : UiObject(UiHandleKind::kBitmap) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kBitmap; }
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

struct Timer : UiObject {
  Timer() : UiObject(UiHandleKind::kTimer) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kTimer; }
  std::uintptr_t window = 0;
  UINT_PTR timer_id = 0;
  DWORD period = 0;
  DWORD deadline = 0;  // on the wait clock (wrapping)
  TimerProc procedure = nullptr;
  DWORD thread = 0;
};

struct PostedMessage {
  std::uintptr_t window = 0;
  DWORD thread = 0;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
};

struct UiState {
  HandleTable handles;
  std::map<std::u16string, WindowClass> classes;  // by folded name
  std::map<std::u16string, UINT> registered_messages;
  std::deque<PostedMessage> posted;
  std::map<DWORD, std::uintptr_t> focus;  // per thread
  std::uintptr_t desktop = 0;
  std::vector<std::uintptr_t> top_level;  // z-order, newest first
  Point cursor_position;
  std::uintptr_t cursor = 0;
  std::map<UINT, std::uintptr_t> system_cursors;
  std::map<std::pair<std::uintptr_t, UINT>, std::uintptr_t> module_cursors;
  std::vector<std::uintptr_t> timers;  // in the order they were set
  ATOM next_atom = 0xC000;
  std::map<UINT, std::deque<DialogScript>> scripts;
  // Property sheets (property_sheet.cpp): the scripts of the next sheets
  // and the service's log.
  std::deque<std::function<void(HANDLE)>> sheet_scripts;
  host_internal::BoundedLog<std::string> sheet_log;
  // Modal dialogs running, with the value EndDialog gave once it was called.
  std::map<std::uintptr_t, std::optional<INT_PTR>> modal_results;
  bool strict_dialogs = true;
  std::deque<MessageBoxExpectation> box_expectations;
  MessageBoxHandler box_handler;
  host_internal::BoundedLog<MessageBoxRecord> box_log;
  host_internal::BoundedLog<HelpCall> help_log;
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> profile;
  host_internal::BoundedLog<std::string> failures;
};

// REQUIRES: the lock (the first call builds the built-in classes, the desktop
// and the system cursors).
UiState& StateLocked();

std::uintptr_t IdOf(HWND window);
HWND HandleOf(std::uintptr_t id);

// The window of `window`, or null (setting kErrorInvalidWindowHandle).
Window* FindWindowLocked(HWND window);
Window* FindWindowLocked(std::uintptr_t id);

// The built-in classes' procedures (controls.cpp, dialog.cpp).
LRESULT ButtonProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT ComboBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT ListBoxProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT EditProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT StaticProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT UpDownProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LRESULT DialogWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Makes a window record (no message sent; a dialog when the class is the
// dialogs') and links it to its parent (a child) or the top level.
// REQUIRES: `parent_or_owner` is a live window or 0, not 0 for a child.
Window* NewWindowLocked(const WindowClass& window_class, DWORD style, std::u16string_view text,
                        const Rect& rect, std::uintptr_t parent_or_owner, int control_id,
                        HINSTANCE instance);
// The class of a (case-insensitive) name, or null.
WindowClass* FindClassLocked(std::u16string_view name);

// Sends WM_COMMAND (the control's id, `code`) from `control` to its parent.
void NotifyParent(HWND control, WORD code);

// Marks an owner-drawn button for painting (its look changed); nothing for
// other windows, which draw nothing yet.
void RepaintOwnerDrawnLocked(Window& window);

// Whether a user can reach the window: it and its ancestors are visible and
// enabled.
bool UsableLocked(const Window& window);
// The window's client origin in screen coordinates.
Point ScreenOriginLocked(const Window& window);
// Clicks a button (or a notifying static) as BM_CLICK and the user do:
// toggles an auto check box, then tells the parent. False for other windows.
bool ClickControl(HWND control);

// Paints `window` now when it waits for painting; answers whether it did.
bool PaintWindow(HWND window);

// Copies `text` into `buffer` of `units`: at most units - 1 and a
// terminator; answers the units copied (0 for a null buffer or no room).
LRESULT CopyText(std::u16string_view text, char16_t* buffer, std::size_t units);

// Frees the font of id `id`; false when it is none (device_context.cpp).
bool DeleteFontLocked(std::uintptr_t id);

// Sets the calling thread's focus and sends the focus messages.
HWND MoveFocus(HWND window);

}  // namespace platform::ui_internal
