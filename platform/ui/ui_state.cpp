#include "platform/ui/ui_state.h"

#include <algorithm>
#include <cstdio>

#include "platform/host/threads.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window.h"

namespace platform {
namespace ui_internal {
namespace {

using host_internal::HandleFromId;

constexpr Rect kScreen{0, 0, 1024, 768};

struct BuiltInClass {
  const char16_t* name;
  WndProc procedure;
  ControlKind control;
  UINT cursor;
};

constexpr BuiltInClass kBuiltInClasses[] = {
    {u"Button", ButtonProc, ControlKind::kButton, kIdcArrow},
    {u"ComboBox", ComboBoxProc, ControlKind::kComboBox, kIdcArrow},
    {u"ListBox", ListBoxProc, ControlKind::kListBox, kIdcArrow},
    {u"Edit", EditProc, ControlKind::kEdit, kIdcIBeam},
    {u"Static", StaticProc, ControlKind::kStatic, kIdcArrow},
    {u"msctls_updown32", UpDownProc, ControlKind::kUpDown, kIdcArrow},
    {u"#32770", DialogWindowProc, ControlKind::kDialog, kIdcArrow},
    {u"#32769", DefWindowProcW, ControlKind::kNone, kIdcArrow},  // the desktop
};

constexpr UINT kSystemCursors[] = {kIdcArrow, kIdcIBeam, kIdcWait, kIdcCross, kIdcNo, kIdcHand};

void AddBuiltInClasses(UiState& state) {
  state.classes.clear();
  for (const BuiltInClass& built_in : kBuiltInClasses) {
    WindowClass window_class;
    window_class.name = built_in.name;
    window_class.procedure = built_in.procedure;
    window_class.control = built_in.control;
    window_class.built_in = true;
    window_class.window_extra = built_in.control == ControlKind::kDialog ? kDialogExtraBytes : 0;
    window_class.cursor = HandleFromId<HCURSOR>(state.system_cursors.at(built_in.cursor));
    state.classes.emplace(host_internal::Fold(built_in.name), std::move(window_class));
  }
}

UiState* Build() {
  auto* state = new UiState;
  for (UINT id : kSystemCursors) {
    auto cursor = std::make_unique<Cursor>();
    cursor->permanent = true;
    cursor->resource = CursorResource{id, 32, 32, 0, 0};
    state->system_cursors[id] = state->handles.Add(std::move(cursor));
  }
  AddBuiltInClasses(*state);
  auto desktop = std::make_unique<Window>(UiHandleKind::kWindow);
  desktop->permanent = true;
  desktop->class_key = host_internal::Fold(u"#32769");
  desktop->procedure = DefWindowProcW;
  desktop->style = kWsPopup | kWsVisible;
  desktop->rect = kScreen;
  Window* record = desktop.get();
  state->desktop = state->handles.Add(std::move(desktop));
  record->id = state->desktop;
  return state;
}

// The handler outlives resets: it belongs to the test program.
UiFailureHandler& FailureHandlerLocked() {
  static UiFailureHandler* handler = new UiFailureHandler;
  return *handler;
}

}  // namespace

std::uintptr_t HandleTable::Add(std::unique_ptr<UiObject> object) {
  std::uintptr_t id = host_internal::NewHandleId();
  if (!object->permanent) ++counts_[static_cast<int>(object->kind)];
  index_.emplace(id, object.get());
  objects_.emplace(id, std::move(object));
  return id;
}

std::unique_ptr<UiObject> HandleTable::Remove(std::uintptr_t id) {
  auto it = objects_.find(id);
  if (it == objects_.end()) return nullptr;
  std::unique_ptr<UiObject> object = std::move(it->second);
  objects_.erase(it);
  index_.erase(id);
  if (!object->permanent) --counts_[static_cast<int>(object->kind)];
  return object;
}

void HandleTable::Clear() {
  for (auto it = objects_.begin(); it != objects_.end();) {
    if (it->second->permanent) {
      ++it;
    } else {
      index_.erase(it->first);
      it = objects_.erase(it);
    }
  }
  counts_.fill(0);
}

UiState& StateLocked() {
  // Never destroyed: other statics' exit code may still reach the host.
  static UiState* state = Build();
  return *state;
}

std::uintptr_t IdOf(HWND window) {
  return host_internal::IdFromHandle(window);
}

HWND HandleOf(std::uintptr_t id) {
  return host_internal::HandleFromId<HWND>(id);
}

Window* FindWindowLocked(std::uintptr_t id) {
  Window* window = StateLocked().handles.Find<Window>(id);
  if (window == nullptr) SetLastError(kErrorInvalidWindowHandle);
  return window;
}

Window* FindWindowLocked(HWND window) {
  return FindWindowLocked(IdOf(window));
}

WindowClass* FindClassLocked(std::u16string_view name) {
  auto& classes = StateLocked().classes;
  auto it = classes.find(host_internal::Fold(name));
  return it == classes.end() ? nullptr : &it->second;
}

Window* NewWindowLocked(const WindowClass& window_class, DWORD style, std::u16string_view text,
                        const Rect& rect, std::uintptr_t parent_or_owner, int control_id,
                        HINSTANCE instance) {
  UiState& state = StateLocked();
  auto window = std::make_unique<Window>(
      window_class.control == ControlKind::kDialog ? UiHandleKind::kDialog : UiHandleKind::kWindow);
  Window* record = window.get();
  record->class_key = host_internal::Fold(window_class.name);
  record->control = window_class.control;
  record->procedure = window_class.procedure;
  record->style = style;
  record->text = text;
  record->rect = rect;
  record->instance = instance;
  record->control_id = control_id;
  record->extra.assign(std::size_t(std::max(window_class.window_extra, 0)), 0);
  record->thread = GetCurrentThreadId();
  std::uintptr_t id = state.handles.Add(std::move(window));
  record->id = id;
  if ((style & kWsChild) != 0) {
    record->parent = parent_or_owner;
    FindWindowLocked(parent_or_owner)->children.push_back(id);
  } else {
    record->owner = parent_or_owner;
    state.top_level.insert(state.top_level.begin(), id);
  }
  return record;
}

void RepaintOwnerDrawnLocked(Window& window) {
  if (window.control == ControlKind::kButton && (window.style & kBsTypeMask) == kBsOwnerDraw) {
    window.invalid = true;
  }
}

bool UsableLocked(const Window& window) {
  for (const Window* at = &window; at != nullptr;
       at = at->parent != 0 ? StateLocked().handles.Find<Window>(at->parent) : nullptr) {
    if ((at->style & kWsVisible) == 0 || (at->style & kWsDisabled) != 0) return false;
  }
  return true;
}

Point ScreenOriginLocked(const Window& window) {
  Point origin;
  for (const Window* at = &window; at != nullptr;
       at = at->parent != 0 ? StateLocked().handles.Find<Window>(at->parent) : nullptr) {
    origin.x += at->rect.left;
    origin.y += at->rect.top;
  }
  return origin;
}

void NotifyParent(HWND control, WORD code) {
  HWND parent;
  int id;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(control);
    if (window == nullptr || window->parent == 0) return;
    parent = HandleOf(window->parent);
    id = window->control_id;
  }
  SendMessageW(parent, kWmCommand, MakeWParam(WORD(id), code), reinterpret_cast<LPARAM>(control));
}

}  // namespace ui_internal

using ui_internal::Lock;
using ui_internal::Mutex;
using ui_internal::StateLocked;

void ReportUiFailure(const std::string& message) {
  UiFailureHandler handler;
  {
    Lock lock(Mutex());
    StateLocked().failures.Add(message);
    handler = ui_internal::FailureHandlerLocked();
  }
  if (handler) {
    handler(message);
  } else {
    std::fprintf(stderr, "windowing host: %s\n", message.c_str());
  }
}

UiFailureHandler SetUiFailureHandler(UiFailureHandler handler) {
  Lock lock(Mutex());
  return std::exchange(ui_internal::FailureHandlerLocked(), std::move(handler));
}

std::vector<std::string> UiFailures() {
  Lock lock(Mutex());
  return StateLocked().failures.Entries();
}

std::size_t UiHandleCount(UiHandleKind kind) {
  Lock lock(Mutex());
  return StateLocked().handles.Count(kind);
}

namespace host_internal {

void ResetUiLocked() {
  ui_internal::UiState& state = StateLocked();
  state.handles.Clear();
  state.timers.clear();
  state.modal_results.clear();
  ui_internal::AddBuiltInClasses(state);
  state.registered_messages.clear();
  state.posted.clear();
  state.focus.clear();
  state.top_level.clear();
  state.cursor_position = Point{};
  state.cursor = 0;
  state.module_cursors.clear();
  state.scripts.clear();
  state.sheet_scripts.clear();
  state.sheet_log.Clear();
  state.strict_dialogs = true;
  state.box_expectations.clear();
  state.box_handler = nullptr;
  state.box_log.Clear();
  state.help_log.Clear();
  state.profile.clear();
  state.failures.Clear();
}

void ReleaseModuleUiObjectsLocked(std::uintptr_t module) {
  ui_internal::UiState& state = StateLocked();
  for (auto it = state.module_cursors.begin(); it != state.module_cursors.end();) {
    if (it->first.first != module) {
      ++it;
      continue;
    }
    std::uintptr_t cursor = it->second;
    if (state.cursor == cursor) state.cursor = 0;
    for (auto& [name, window_class] : state.classes) {
      if (IdFromHandle(window_class.cursor) == cursor) window_class.cursor = nullptr;
    }
    state.handles.Remove(cursor);
    it = state.module_cursors.erase(it);
  }
}

}  // namespace host_internal
}  // namespace platform
