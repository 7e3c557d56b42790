#include "platform/ui/window.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/host/boundary.h"
#include "platform/host/threads.h"
#include "platform/ui/ui_state.h"

namespace platform {
namespace {

using namespace ui_internal;

constexpr DWORD kMinimumPeriod = 10;
constexpr DWORD kMaximumPeriod = 0x7FFFFFFF;

void Collect(UiState& state, std::uintptr_t id, std::vector<std::uintptr_t>& out) {
  Window* window = state.handles.Find<Window>(id);
  if (window == nullptr) return;
  out.push_back(id);
  for (std::uintptr_t child : window->children)
    Collect(state, child, out);
  for (std::uintptr_t top : state.top_level) {
    Window* owned = state.handles.Find<Window>(top);
    if (owned != nullptr && owned->owner == id) Collect(state, top, out);
  }
}

void Unlink(UiState& state, std::uintptr_t id) {
  Window* window = state.handles.Find<Window>(id);
  if (window == nullptr) return;
  auto drop = [id](std::vector<std::uintptr_t>& list) {
    list.erase(std::remove(list.begin(), list.end(), id), list.end());
  };
  if (Window* parent = state.handles.Find<Window>(window->parent)) drop(parent->children);
  drop(state.top_level);
  for (auto it = state.timers.begin(); it != state.timers.end();) {
    Timer* timer = state.handles.Find<Timer>(*it);
    if (timer != nullptr && timer->window == id) {
      state.handles.Remove(*it);
      it = state.timers.erase(it);
    } else {
      ++it;
    }
  }
  std::erase_if(state.posted, [id](const auto& posted) { return posted.window == id; });
  std::erase_if(state.focus, [id](const auto& focus) { return focus.second == id; });
  state.handles.Remove(id);
}

// Reads or writes one window long; false for a bad index.
bool AccessLong(Window& window, int index, std::size_t width, LONG_PTR* value, bool write) {
  LONG_PTR previous = 0;
  switch (index) {
    case kGwlStyle:
      previous = LONG(window.style);
      if (write) window.style = DWORD(*value);
      break;
    case kGwlExStyle:
      previous = LONG(window.ex_style);
      if (write) window.ex_style = DWORD(*value);
      break;
    case kGwlId:
      previous = window.control_id;
      if (write) window.control_id = int(*value);
      break;
    case kGwlpUserData:
      previous = window.user_data;
      if (write) window.user_data = *value;
      break;
    case kGwlpHwndParent:
      if (write) return false;
      previous = LONG_PTR(window.parent != 0 ? window.parent : window.owner);
      break;
    case kGwlpHInstance:
      if (write) return false;
      previous = reinterpret_cast<LONG_PTR>(window.instance);
      break;
    default: {
      if (index < 0 || std::size_t(index) + width > window.extra.size()) return false;
      unsigned char* at = window.extra.data() + index;
      if (width == sizeof(LONG)) {
        LONG word;
        std::memcpy(&word, at, sizeof word);
        previous = word;
        if (write) {
          word = LONG(*value);
          std::memcpy(at, &word, sizeof word);
        }
      } else {
        std::memcpy(&previous, at, sizeof previous);
        if (write) std::memcpy(at, value, sizeof previous);
      }
    }
  }
  *value = previous;
  return true;
}

LONG_PTR LongCall(HWND handle, int index, std::size_t width, LONG_PTR value, bool write) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  if (!AccessLong(*window, index, width, &value, write))
    return Fail<LONG_PTR>(kErrorInvalidIndex, 0);
  return width == sizeof(LONG) ? LONG(value) : value;
}

ULONG_PTR ClassLongCall(HWND handle, int index, ULONG_PTR value, bool write) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  WindowClass* window_class = FindClassLocked(window->class_key);
  if (window_class == nullptr) return 0;
  ULONG_PTR previous;
  if (index == kGclHCursor) {
    previous = reinterpret_cast<ULONG_PTR>(window_class->cursor);
    if (write) window_class->cursor = reinterpret_cast<HCURSOR>(value);
  } else if (index == kGclStyle) {
    previous = window_class->style;
    if (write) window_class->style = UINT(value);
  } else {
    return Fail<ULONG_PTR>(kErrorInvalidIndex, 0);
  }
  return previous;
}

// Sends WM_SETCURSOR on to the parent, then shows the class cursor of the
// window under the pointer (only that window's own default does).
LRESULT DefaultSetCursor(HWND handle, WPARAM wparam, LPARAM lparam) {
  HWND parent = nullptr;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(handle);
    if (window == nullptr) return 0;
    if (window->parent != 0) parent = HandleOf(window->parent);
  }
  if (parent != nullptr && SendMessageW(parent, kWmSetCursor, wparam, lparam) != 0) return 1;
  if (reinterpret_cast<HWND>(wparam) != handle || LowWord(DWORD(lparam)) != kHtClient) return 0;
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  WindowClass* window_class = window ? FindClassLocked(window->class_key) : nullptr;
  if (window_class == nullptr || window_class->cursor == nullptr) return 0;
  SetCursor(window_class->cursor);
  return 1;
}

// Moves `point` by the window's client origin, `sign` times.
BOOL ShiftByOrigin(HWND handle, Point* point, int sign) {
  if (point == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  Point origin = ScreenOriginLocked(*window);
  point->x += sign * origin.x;
  point->y += sign * origin.y;
  return 1;
}

}  // namespace

ATOM RegisterClassW(const WndClassW* window_class) {
  if (window_class == nullptr || window_class->class_name == nullptr ||
      *window_class->class_name == u'\0' || window_class->procedure == nullptr) {
    return Fail<ATOM>(kErrorInvalidParameter, 0);
  }
  Lock lock(Mutex());
  UiState& state = StateLocked();
  if (FindClassLocked(window_class->class_name) != nullptr) {
    return Fail<ATOM>(kErrorClassAlreadyExists, 0);
  }
  WindowClass added;
  added.name = window_class->class_name;
  added.procedure = window_class->procedure;
  added.style = window_class->style;
  added.window_extra = std::clamp(window_class->window_extra, 0, 1024);
  added.cursor = window_class->cursor;
  state.classes.emplace(host_internal::Fold(added.name), std::move(added));
  return state.next_atom++;
}

BOOL UnregisterClassW(const char16_t* class_name, HINSTANCE) {
  if (class_name == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  UiState& state = StateLocked();
  WindowClass* window_class = FindClassLocked(class_name);
  if (window_class == nullptr || window_class->built_in) {
    return Fail<BOOL>(kErrorInvalidParameter, 0);
  }
  std::u16string key = host_internal::Fold(class_name);
  bool used = false;
  state.handles.ForEach([&](std::uintptr_t, const ui_internal::UiObject& object) {
    if (Window::Holds(object.kind) && static_cast<const Window&>(object).class_key == key) {
      used = true;
    }
  });
  if (used) return Fail<BOOL>(kErrorClassHasWindows, 0);
  state.classes.erase(key);
  return 1;
}

UINT RegisterWindowMessageW(const char16_t* name) {
  if (name == nullptr || *name == u'\0') return Fail<UINT>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  auto& messages = StateLocked().registered_messages;
  std::u16string key = host_internal::Fold(name);
  auto it = messages.find(key);
  if (it != messages.end()) return it->second;
  UINT id = kFirstRegisteredMessage + UINT(messages.size());
  if (id > 0xFFFF) return Fail<UINT>(kErrorNotEnoughMemory, 0);
  messages.emplace(std::move(key), id);
  return id;
}

HWND CreateWindowExW(DWORD ex_style, const char16_t* class_name, const char16_t* text, DWORD style,
                     int x, int y, int width, int height, HWND parent, UINT_PTR menu_or_id,
                     HINSTANCE instance, void* parameter) {
  if (class_name == nullptr) return Fail<HWND>(kErrorInvalidParameter, nullptr);
  HWND handle;
  bool registered;
  {
    Lock lock(Mutex());
    UiState& state = StateLocked();
    WindowClass* window_class = FindClassLocked(class_name);
    if (window_class == nullptr) return Fail<HWND>(kErrorCannotFindWndClass, nullptr);
    std::uintptr_t link = 0;
    if (parent != nullptr) {
      if (FindWindowLocked(parent) == nullptr) return nullptr;
      if (IdOf(parent) != state.desktop) link = IdOf(parent);
    }
    bool child = (style & kWsChild) != 0;
    if (child && link == 0) return Fail<HWND>(kErrorInvalidParameter, nullptr);
    Window* window = ui_internal::NewWindowLocked(
        *window_class, style, text != nullptr ? text : u"", Rect{x, y, x + width, y + height}, link,
        child ? int(menu_or_id) : 0, instance);
    window->ex_style = ex_style;
    handle = HandleOf(window->id);
    registered = window_class->control == ControlKind::kNone;
  }
  if (registered) {
    CreateStruct create{parameter, instance, parent, int(menu_or_id), height,  width, y,
                        x,         style,    text,   class_name,      ex_style};
    if (SendMessageW(handle, kWmCreate, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
      DestroyWindow(handle);
      return Fail<HWND>(kErrorInvalidParameter, nullptr);
    }
  }
  return handle;
}

// Memory that runs out gathering the windows fails the call (error 8), as
// the system's does: a clean-up path calls it.
BOOL DestroyWindow(HWND handle) try {
  std::vector<std::uintptr_t> doomed;
  {
    Lock lock(Mutex());
    UiState& state = StateLocked();
    Window* window = FindWindowLocked(handle);
    if (window == nullptr || window->permanent) return Fail<BOOL>(kErrorInvalidWindowHandle, 0);
    if (window->destroying) return 1;
    Collect(state, IdOf(handle), doomed);
    for (std::uintptr_t id : doomed)
      state.handles.Find<Window>(id)->destroying = true;
  }
  for (std::uintptr_t id : doomed)
    SendMessageW(HandleOf(id), kWmDestroy, 0, 0);
  Lock lock(Mutex());
  UiState& state = StateLocked();
  // Windows made meanwhile under the dying ones go with them.
  doomed.clear();
  Collect(state, IdOf(handle), doomed);
  for (auto it = doomed.rbegin(); it != doomed.rend(); ++it)
    Unlink(state, *it);
  return 1;
} catch (const std::bad_alloc&) {
  NoteShortage();
  return Fail<BOOL>(kErrorNotEnoughMemory, 0);
}

BOOL IsWindow(HWND handle) {
  Lock lock(Mutex());
  return StateLocked().handles.Find<Window>(IdOf(handle)) != nullptr;
}

LRESULT SendMessageW(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  WndProc procedure;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(handle);
    if (window == nullptr) return 0;
    procedure = window->procedure;
  }
  return procedure(handle, message, wparam, lparam);
}

BOOL PostMessageW(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr || window->permanent) return Fail<BOOL>(kErrorInvalidWindowHandle, 0);
  StateLocked().posted.push_back({IdOf(handle), window->thread, message, wparam, lparam});
  return 1;
}

LRESULT DefWindowProcW(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmSetCursor) return DefaultSetCursor(handle, wparam, lparam);
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  switch (message) {
    case kWmSetText: {
      const auto* text = reinterpret_cast<const char16_t*>(lparam);
      window->text = text != nullptr ? text : u"";
      return 1;
    }
    case kWmGetText:
      return CopyText(window->text, reinterpret_cast<char16_t*>(lparam), wparam);
    case kWmGetTextLength:
      return LRESULT(window->text.size());
    default:
      return 0;
  }
}

HWND GetParent(HWND handle) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return nullptr;
  return HandleOf(window->parent != 0 ? window->parent : window->owner);
}

HWND FindWindowW(const char16_t* class_name, const char16_t* text) {
  Lock lock(Mutex());
  UiState& state = StateLocked();
  for (std::uintptr_t id : state.top_level) {
    Window* window = state.handles.Find<Window>(id);
    if (window == nullptr) continue;
    if (class_name != nullptr && host_internal::Fold(class_name) != window->class_key) continue;
    if (text != nullptr && host_internal::Fold(text) != host_internal::Fold(window->text)) continue;
    return HandleOf(id);
  }
  return nullptr;
}

HWND GetDesktopWindow() {
  Lock lock(Mutex());
  return HandleOf(StateLocked().desktop);
}

HWND GetTopWindow(HWND handle) {
  Lock lock(Mutex());
  UiState& state = StateLocked();
  if (handle == nullptr || IdOf(handle) == state.desktop) {
    return state.top_level.empty() ? nullptr : HandleOf(state.top_level.front());
  }
  Window* window = FindWindowLocked(handle);
  if (window == nullptr || window->children.empty()) return nullptr;
  return HandleOf(window->children.front());
}

BOOL SetWindowTextW(HWND handle, const char16_t* text) {
  return SendMessageW(handle, kWmSetText, 0,
                      reinterpret_cast<LPARAM>(text != nullptr ? text : u"")) != 0;
}

int GetWindowTextW(HWND handle, char16_t* buffer, int buffer_max) {
  if (buffer == nullptr || buffer_max <= 0) return 0;
  buffer[0] = u'\0';
  return int(
      SendMessageW(handle, kWmGetText, WPARAM(buffer_max), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND handle) {
  return int(SendMessageW(handle, kWmGetTextLength, 0, 0));
}

int GetClassNameW(HWND handle, char16_t* buffer, int buffer_max) {
  if (buffer == nullptr || buffer_max <= 0) return 0;
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  WindowClass* window_class = window ? FindClassLocked(window->class_key) : nullptr;
  if (window_class == nullptr) return 0;
  return int(CopyText(window_class->name, buffer, std::size_t(buffer_max)));
}

LONG_PTR GetWindowLongPtrW(HWND handle, int index) {
  return LongCall(handle, index, sizeof(LONG_PTR), 0, false);
}

LONG_PTR SetWindowLongPtrW(HWND handle, int index, LONG_PTR value) {
  return LongCall(handle, index, sizeof(LONG_PTR), value, true);
}

LONG GetWindowLongW(HWND handle, int index) {
  return LONG(LongCall(handle, index, sizeof(LONG), 0, false));
}

LONG SetWindowLongW(HWND handle, int index, LONG value) {
  return LONG(LongCall(handle, index, sizeof(LONG), value, true));
}

ULONG_PTR GetClassLongPtrW(HWND handle, int index) {
  return ClassLongCall(handle, index, 0, false);
}

ULONG_PTR SetClassLongPtrW(HWND handle, int index, LONG_PTR value) {
  return ClassLongCall(handle, index, ULONG_PTR(value), true);
}

DWORD SetClassLongW(HWND handle, int index, LONG value) {
  return DWORD(ClassLongCall(handle, index, ULONG_PTR(DWORD(value)), true));
}

BOOL EnableWindow(HWND handle, BOOL enable) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  BOOL was_disabled = (window->style & kWsDisabled) != 0;
  if (enable) {
    window->style &= ~kWsDisabled;
  } else {
    window->style |= kWsDisabled;
  }
  ui_internal::RepaintOwnerDrawnLocked(*window);
  return was_disabled;
}

BOOL IsWindowEnabled(HWND handle) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  return window != nullptr && (window->style & kWsDisabled) == 0;
}

BOOL ShowWindow(HWND handle, int command) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  BOOL was_visible = (window->style & kWsVisible) != 0;
  if (command == kSwHide) {
    window->style &= ~kWsVisible;
  } else {
    window->style |= kWsVisible;
  }
  return was_visible;
}

BOOL IsWindowVisible(HWND handle) {
  Lock lock(Mutex());
  UiState& state = StateLocked();
  for (Window* window = state.handles.Find<Window>(IdOf(handle)); window != nullptr;
       window = window->parent != 0 ? state.handles.Find<Window>(window->parent) : nullptr) {
    if ((window->style & kWsVisible) == 0) return 0;
    if (window->parent == 0) return 1;
  }
  return 0;
}

HWND SetFocus(HWND handle) {
  return ui_internal::MoveFocus(handle);
}

HWND GetFocus() {
  DWORD thread = GetCurrentThreadId();
  Lock lock(Mutex());
  UiState& state = StateLocked();
  auto it = state.focus.find(thread);
  return it == state.focus.end() ? nullptr : HandleOf(it->second);
}

BOOL GetClientRect(HWND handle, Rect* rect) {
  if (rect == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  *rect =
      Rect{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
  return 1;
}

BOOL GetWindowRect(HWND handle, Rect* rect) {
  if (rect == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  Point origin = ui_internal::ScreenOriginLocked(*window);
  *rect = Rect{origin.x, origin.y, origin.x + window->rect.right - window->rect.left,
               origin.y + window->rect.bottom - window->rect.top};
  return 1;
}

BOOL ScreenToClient(HWND handle, Point* point) {
  return ShiftByOrigin(handle, point, -1);
}

BOOL ClientToScreen(HWND handle, Point* point) {
  return ShiftByOrigin(handle, point, 1);
}

BOOL InvalidateRect(HWND handle, const Rect*, BOOL) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return 0;
  window->invalid = true;
  return 1;
}

BOOL UpdateWindow(HWND handle) {
  if (!IsWindow(handle)) return Fail<BOOL>(kErrorInvalidWindowHandle, 0);
  ui_internal::PaintWindow(handle);
  return 1;
}

HCURSOR SetCursor(HCURSOR cursor) {
  Lock lock(Mutex());
  UiState& state = StateLocked();
  std::uintptr_t id = host_internal::IdFromHandle(cursor);
  if (cursor != nullptr && state.handles.Find<ui_internal::Cursor>(id) == nullptr) return nullptr;
  return host_internal::HandleFromId<HCURSOR>(std::exchange(state.cursor, id));
}

HCURSOR GetCursor() {
  Lock lock(Mutex());
  return host_internal::HandleFromId<HCURSOR>(StateLocked().cursor);
}

BOOL GetCursorPos(Point* point) {
  if (point == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  *point = StateLocked().cursor_position;
  return 1;
}

BOOL SetCursorPos(int x, int y) {
  Lock lock(Mutex());
  StateLocked().cursor_position = Point{x, y};
  return 1;
}

UINT_PTR SetTimer(HWND handle, UINT_PTR timer_id, UINT period, TimerProc procedure) {
  DWORD thread = GetCurrentThreadId();
  DWORD now = GetTickCount();
  Lock lock(Mutex());
  UiState& state = StateLocked();
  std::uintptr_t window_id = 0;
  if (handle != nullptr) {
    Window* window = FindWindowLocked(handle);
    if (window == nullptr) return 0;
    window_id = IdOf(handle);
    thread = window->thread;
  }
  Timer* timer = nullptr;
  if (handle != nullptr) {
    for (std::uintptr_t id : state.timers) {
      Timer* existing = state.handles.Find<Timer>(id);
      if (existing->window == window_id && existing->timer_id == timer_id) timer = existing;
    }
  }
  if (timer == nullptr) {
    auto made = std::make_unique<Timer>();
    timer = made.get();
    std::uintptr_t id = state.handles.Add(std::move(made));
    state.timers.push_back(id);
    timer->window = window_id;
    timer->timer_id = handle != nullptr ? timer_id : id;
  }
  timer->period = std::clamp<DWORD>(period, kMinimumPeriod, kMaximumPeriod);
  timer->deadline = now + timer->period;
  timer->procedure = procedure;
  timer->thread = thread;
  if (handle == nullptr) return timer->timer_id;
  return timer_id != 0 ? timer_id : 1;
}

BOOL KillTimer(HWND handle, UINT_PTR timer_id) {
  Lock lock(Mutex());
  UiState& state = StateLocked();
  for (auto it = state.timers.begin(); it != state.timers.end(); ++it) {
    Timer* timer = state.handles.Find<Timer>(*it);
    if (timer->window == IdOf(handle) && timer->timer_id == timer_id) {
      state.handles.Remove(*it);
      state.timers.erase(it);
      return 1;
    }
  }
  return Fail<BOOL>(kErrorInvalidParameter, 0);
}

namespace ui_internal {

LRESULT CopyText(std::u16string_view text, char16_t* buffer, std::size_t units) {
  if (buffer == nullptr || units == 0) return 0;
  std::size_t copied = std::min(text.size(), units - 1);
  std::copy_n(text.data(), copied, buffer);
  buffer[copied] = u'\0';
  return static_cast<LRESULT>(copied);
}

HWND MoveFocus(HWND handle) {
  DWORD thread = GetCurrentThreadId();
  HWND previous = nullptr;
  {
    Lock lock(Mutex());
    UiState& state = StateLocked();
    if (handle != nullptr && FindWindowLocked(handle) == nullptr) return nullptr;
    auto it = state.focus.find(thread);
    if (it != state.focus.end()) previous = HandleOf(it->second);
    if (previous == handle) return previous;
    if (handle != nullptr) {
      state.focus[thread] = IdOf(handle);
    } else {
      state.focus.erase(thread);
    }
    for (HWND changed : {previous, handle}) {
      Window* window = state.handles.Find<Window>(IdOf(changed));
      if (window != nullptr) RepaintOwnerDrawnLocked(*window);
    }
  }
  if (previous != nullptr)
    SendMessageW(previous, kWmKillFocus, reinterpret_cast<WPARAM>(handle), 0);
  if (handle != nullptr) SendMessageW(handle, kWmSetFocus, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

}  // namespace ui_internal
}  // namespace platform
