#include "platform/ui/ui_host.h"

#include <algorithm>
#include <string>

#include "platform/host/threads.h"
#include "platform/ui/drawing.h"
#include "platform/ui/ui_state.h"
#include "platform/ui/window.h"

namespace platform {
namespace {

using namespace ui_internal;

// The window when a user can act on it and it is of `kind`, else null.
Window* UsableControlLocked(HWND handle, ControlKind kind) {
  Window* window = FindWindowLocked(handle);
  if (window == nullptr || window->control != kind || !ui_internal::UsableLocked(*window)) {
    return nullptr;
  }
  return window;
}

// Whether the wait clock's `now` has reached `deadline` (both wrapping).
bool Due(DWORD now, DWORD deadline) {
  return DWORD(now - deadline) < 0x80000000u;
}

// Delivers the first message posted for `thread`; false when none is left.
bool DeliverPosted(DWORD thread) {
  ui_internal::PostedMessage posted;
  {
    Lock lock(Mutex());
    auto& queue = StateLocked().posted;
    auto it = std::find_if(queue.begin(), queue.end(),
                           [thread](const auto& message) { return message.thread == thread; });
    if (it == queue.end()) return false;
    posted = *it;
    queue.erase(it);
  }
  SendMessageW(HandleOf(posted.window), posted.message, posted.wparam, posted.lparam);
  return true;
}

std::size_t PaintAll(DWORD thread) {
  std::vector<HWND> invalid;
  {
    Lock lock(Mutex());
    StateLocked().handles.ForEach([&](std::uintptr_t id, const ui_internal::UiObject& object) {
      if (!Window::Holds(object.kind)) return;
      const auto& window = static_cast<const Window&>(object);
      if (window.invalid && window.thread == thread) invalid.push_back(HandleOf(id));
    });
  }
  std::size_t painted = 0;
  for (HWND window : invalid)
    painted += ui_internal::PaintWindow(window) ? 1 : 0;
  return painted;
}

std::size_t FireTimers(DWORD thread) {
  struct Call {
    HWND window;
    UINT_PTR timer_id;
    TimerProc procedure;
  };
  std::vector<Call> calls;
  DWORD now = GetTickCount();
  {
    Lock lock(Mutex());
    UiState& state = StateLocked();
    for (std::uintptr_t id : state.timers) {
      Timer* timer = state.handles.Find<Timer>(id);
      if (timer->thread != thread || !Due(now, timer->deadline)) continue;
      // Once, however many periods passed; the next deadline keeps the phase.
      DWORD periods = (now - timer->deadline) / timer->period + 1;
      timer->deadline += periods * timer->period;
      if (timer->procedure != nullptr || timer->window != 0) {
        calls.push_back({HandleOf(timer->window), timer->timer_id, timer->procedure});
      }
    }
  }
  for (const Call& call : calls) {
    if (call.procedure != nullptr) {
      call.procedure(call.window, kWmTimer, call.timer_id, now);
    } else {
      SendMessageW(call.window, kWmTimer, call.timer_id, 0);
    }
  }
  return calls.size();
}

}  // namespace

bool UserClick(HWND control) {
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(control);
    if (window == nullptr || !ui_internal::UsableLocked(*window)) return false;
  }
  return ui_internal::ClickControl(control);
}

bool UserSelect(HWND list, int index) {
  WORD code;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(list);
    if (window == nullptr || !ui_internal::UsableLocked(*window)) return false;
    bool combo = window->control == ControlKind::kComboBox;
    if (!combo && window->control != ControlKind::kListBox) return false;
    if (index < 0 || std::size_t(index) >= window->items.size()) return false;
    window->selection = index;
    if (!combo && (window->style & kLbsNotify) == 0) return true;
    code = combo ? kCbnSelChange : kLbnSelChange;
  }
  ui_internal::NotifyParent(list, code);
  return true;
}

bool UserType(HWND edit, std::u16string_view text) {
  {
    Lock lock(Mutex());
    Window* window = UsableControlLocked(edit, ControlKind::kEdit);
    if (window == nullptr || (window->style & kEsReadOnly) != 0) return false;
  }
  ui_internal::MoveFocus(edit);
  bool cut;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(edit);
    if (window == nullptr) return false;
    cut = text.size() > window->limit;
    window->text = text.substr(0, window->limit);
    window->selection_start = window->selection_end = DWORD(window->text.size());
  }
  ui_internal::NotifyParent(edit, kEnChange);
  if (cut) ui_internal::NotifyParent(edit, kEnMaxText);
  return true;
}

bool UserBlur() {
  return ui_internal::MoveFocus(nullptr) != nullptr;
}

bool UserSpin(HWND updown, int delta) {
  HWND parent;
  UpDownNotify notify;
  bool horizontal;
  {
    Lock lock(Mutex());
    Window* window = UsableControlLocked(updown, ControlKind::kUpDown);
    if (window == nullptr || window->parent == 0) return false;
    parent = HandleOf(window->parent);
    notify.header = NotifyHeader{updown, UINT_PTR(window->control_id), kUdnDeltaPos};
    notify.position = window->position;
    notify.delta = window->minimum > window->maximum ? -delta : delta;
    horizontal = (window->style & kUdsHorz) != 0;
  }
  if (SendMessageW(parent, kWmNotify, notify.header.id_from, reinterpret_cast<LPARAM>(&notify)) !=
      0) {
    return true;  // the parent refused the step
  }
  int position;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(updown);
    if (window == nullptr) return true;
    int low = std::min(window->minimum, window->maximum);
    int high = std::max(window->minimum, window->maximum);
    window->position = std::clamp(notify.position + notify.delta, low, high);
    position = window->position;
  }
  SendMessageW(parent, horizontal ? kWmHScroll : kWmVScroll,
               MakeWParam(kSbThumbPosition, WORD(position)), reinterpret_cast<LPARAM>(updown));
  return true;
}

bool UserHover(HWND window, Point client_point) {
  {
    Lock lock(Mutex());
    Window* found = FindWindowLocked(window);
    if (found == nullptr || !IsWindowVisible(window)) return false;
    Point origin = ui_internal::ScreenOriginLocked(*found);
    StateLocked().cursor_position = Point{origin.x + client_point.x, origin.y + client_point.y};
  }
  SendMessageW(window, kWmSetCursor, reinterpret_cast<WPARAM>(window),
               MakeLParam(kHtClient, WORD(kWmMouseMove)));
  return true;
}

bool UserClickAt(HWND control, Point client_point) {
  return UserHover(control, client_point) && UserClick(control);
}

std::size_t PumpMessages() {
  DWORD thread = GetCurrentThreadId();
  std::size_t delivered = 0;
  for (;;) {
    std::size_t round = 0;
    while (round + delivered <= kPumpBound && DeliverPosted(thread))
      ++round;
    round += PaintAll(thread);
    round += FireTimers(thread);
    delivered += round;
    if (round == 0) return delivered;
    if (delivered > kPumpBound) {
      ReportUiFailure("the message pump does not settle");
      return delivered;
    }
  }
}

void ScriptDialog(UINT template_id, DialogScript script) {
  Lock lock(Mutex());
  StateLocked().scripts[template_id].push_back(std::move(script));
}

std::size_t PendingDialogScripts() {
  Lock lock(Mutex());
  std::size_t pending = 0;
  for (const auto& [id, scripts] : StateLocked().scripts)
    pending += scripts.size();
  return pending;
}

void SetStrictDialogs(bool strict) {
  Lock lock(Mutex());
  StateLocked().strict_dialogs = strict;
}

HWND FindDialogByTemplate(UINT template_id) {
  Lock lock(Mutex());
  std::uintptr_t newest = 0;
  StateLocked().handles.ForEach([&](std::uintptr_t id, const ui_internal::UiObject& object) {
    if (object.kind != UiHandleKind::kDialog) return;
    const auto& dialog = static_cast<const Window&>(object);
    if (dialog.template_id == template_id && !dialog.destroying) newest = id;
  });
  return HandleOf(newest);
}

UINT DialogTemplateId(HWND dialog) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(dialog);
  return window != nullptr ? window->template_id : 0;
}

namespace ui_internal {

bool PaintWindow(HWND handle) {
  HWND parent;
  DrawItemStruct draw;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(handle);
    if (window == nullptr || !window->invalid) return false;
    window->invalid = false;
    bool owner_drawn = window->control == ControlKind::kButton &&
                       (window->style & kBsTypeMask) == kBsOwnerDraw && window->parent != 0;
    if (!owner_drawn) return true;
    parent = HandleOf(window->parent);
    auto focus = StateLocked().focus.find(window->thread);
    draw.control_type = kOdtButton;
    draw.control_id = UINT(window->control_id);
    draw.item_action = kOdaDrawEntire;
    draw.item_state =
        (window->pushed ? kOdsSelected : 0) |
        ((window->style & kWsDisabled) != 0 ? kOdsDisabled : 0) |
        (focus != StateLocked().focus.end() && focus->second == window->id ? kOdsFocus : 0);
    draw.item = handle;
    draw.item_rect =
        Rect{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
  }
  // The control draws on its own surface, through a context the host gives
  // back afterwards.
  draw.dc = GetDC(handle);
  SendMessageW(parent, kWmDrawItem, draw.control_id, reinterpret_cast<LPARAM>(&draw));
  DeleteDC(draw.dc);
  return true;
}

}  // namespace ui_internal
}  // namespace platform
