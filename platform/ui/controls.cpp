// The built-in controls' procedures. Each takes the lock for its own state,
// and lets it go before it tells its parent anything.
//   Button: check state (check boxes, three-state boxes, radio buttons),
//     pushed state, BM_CLICK; owner-drawn ones are painted through the
//     parent's WM_DRAWITEM; focus notifications with kBsNotify only.
//   ComboBox and ListBox: one item list (text and item data) with one
//     selection; their messages differ only in number. Indexes out of range
//     and null texts answer the error value (-1). Searches start after the
//     given index and wrap; they compare without case.
//   Edit: text, limit (for typing only, as on the platform), selection.
//   Static: text.
//   msctls_updown32: range (the default runs from 100 down to 0), position
//     kept in the range, buddy.
#include <algorithm>

#include "platform/ui/ui_state.h"
#include "platform/ui/window.h"

namespace platform::ui_internal {
namespace {

bool IsCheckStyle(DWORD style) {
  switch (style & kBsTypeMask) {
    case kBsCheckBox:
    case kBsAutoCheckBox:
    case kBsRadioButton:
    case kBs3State:
    case kBsAuto3State:
    case kBsAutoRadioButton:
      return true;
    default:
      return false;
  }
}

bool IsThreeState(DWORD style) {
  DWORD type = style & kBsTypeMask;
  return type == kBs3State || type == kBsAuto3State;
}

// The window of `handle` when it is of `kind`; null otherwise.
Window* FindControlLocked(HWND handle, ControlKind kind) {
  Window* window = FindWindowLocked(handle);
  return window != nullptr && window->control == kind ? window : nullptr;
}

bool HasFocusLocked(const Window& window) {
  auto it = StateLocked().focus.find(window.thread);
  return it != StateLocked().focus.end() && it->second == window.id;
}

// ---- Item lists.

enum class ListOp {
  kAdd,
  kInsert,
  kDelete,
  kReset,
  kCount,
  kGetSelection,
  kSetSelection,
  kGetText,
  kGetTextLength,
  kFind,
  kFindExact,
  kSelectString,
  kGetData,
  kSetData,
};

struct ListMessage {
  UINT combo_box;
  UINT list_box;
  ListOp op;
};

constexpr ListMessage kListMessages[] = {
    {kCbAddString, kLbAddString, ListOp::kAdd},
    {kCbInsertString, kLbInsertString, ListOp::kInsert},
    {kCbDeleteString, kLbDeleteString, ListOp::kDelete},
    {kCbResetContent, kLbResetContent, ListOp::kReset},
    {kCbGetCount, kLbGetCount, ListOp::kCount},
    {kCbGetCurSel, kLbGetCurSel, ListOp::kGetSelection},
    {kCbSetCurSel, kLbSetCurSel, ListOp::kSetSelection},
    {kCbGetLbText, kLbGetText, ListOp::kGetText},
    {kCbGetLbTextLen, kLbGetTextLen, ListOp::kGetTextLength},
    {kCbFindString, kLbFindString, ListOp::kFind},
    {kCbFindStringExact, kLbFindStringExact, ListOp::kFindExact},
    {kCbSelectString, kLbSelectString, ListOp::kSelectString},
    {kCbGetItemData, kLbGetItemData, ListOp::kGetData},
    {kCbSetItemData, kLbSetItemData, ListOp::kSetData},
};

constexpr LRESULT kListError = -1;  // kCbErr and kLbErr alike

bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix) {
  if (prefix.size() > text.size()) return false;
  return host_internal::Fold(text.substr(0, prefix.size())) == host_internal::Fold(prefix);
}

// The first item after `start` (wrapping; -1 or out of range: from the
// top) whose text matches; kListError when none does.
LRESULT FindItem(const Window& list, WPARAM start, const char16_t* text, bool exact) {
  if (text == nullptr) return kListError;
  int count = int(list.items.size());
  int from = int(LPARAM(start));
  if (from < -1 || from >= count) from = -1;
  std::u16string_view wanted(text);
  for (int step = 1; step <= count; ++step) {
    int index = (from + step) % count;
    const std::u16string& item = list.items[std::size_t(index)].text;
    bool hit = exact ? host_internal::Fold(item) == host_internal::Fold(wanted)
                     : StartsWithFolded(item, wanted);
    if (hit) return index;
  }
  return kListError;
}

LRESULT ListOperation(Window& list, ListOp op, WPARAM wparam, LPARAM lparam) {
  const int count = int(list.items.size());
  const int index = int(LPARAM(wparam));
  const bool in_range = index >= 0 && index < count;
  const auto* text = reinterpret_cast<const char16_t*>(lparam);
  switch (op) {
    case ListOp::kAdd:
      if (text == nullptr) return kListError;
      list.items.push_back({text, 0});
      return count;
    case ListOp::kInsert: {
      if (text == nullptr || index < -1 || index > count) return kListError;
      int at = index == -1 ? count : index;
      list.items.insert(list.items.begin() + at, ListItem{text, 0});
      if (list.selection >= at) ++list.selection;
      return at;
    }
    case ListOp::kDelete:
      if (!in_range) return kListError;
      list.items.erase(list.items.begin() + index);
      if (list.selection == index) {
        list.selection = -1;
      } else if (list.selection > index) {
        --list.selection;
      }
      return count - 1;
    case ListOp::kReset:
      list.items.clear();
      list.selection = -1;
      return 0;
    case ListOp::kCount:
      return count;
    case ListOp::kGetSelection:
      return list.selection;
    case ListOp::kSetSelection:
      list.selection = in_range ? index : -1;
      return in_range ? index : kListError;
    case ListOp::kGetText: {
      auto* buffer = reinterpret_cast<char16_t*>(lparam);
      if (!in_range || buffer == nullptr) return kListError;
      const std::u16string& item = list.items[std::size_t(index)].text;
      std::copy(item.begin(), item.end(), buffer);
      buffer[item.size()] = u'\0';
      return LRESULT(item.size());
    }
    case ListOp::kGetTextLength:
      return in_range ? LRESULT(list.items[std::size_t(index)].text.size()) : kListError;
    case ListOp::kFind:
    case ListOp::kFindExact:
      return FindItem(list, wparam, text, op == ListOp::kFindExact);
    case ListOp::kSelectString: {
      LRESULT found = FindItem(list, wparam, text, false);
      if (found != kListError) list.selection = int(found);
      return found;
    }
    case ListOp::kGetData:
      return in_range ? LRESULT(list.items[std::size_t(index)].data) : kListError;
    case ListOp::kSetData:
      if (!in_range) return kListError;
      list.items[std::size_t(index)].data = ULONG_PTR(lparam);
      return 1;
  }
  return 0;
}

// Runs an item-list message of a combo box or list box; false when
// `message` is none.
bool ListMessageCall(HWND handle, ControlKind kind, UINT message, WPARAM wparam, LPARAM lparam,
                     LRESULT* result) {
  for (const ListMessage& entry : kListMessages) {
    if ((kind == ControlKind::kComboBox ? entry.combo_box : entry.list_box) != message) continue;
    Lock lock(Mutex());
    Window* list = FindControlLocked(handle, kind);
    *result = list != nullptr ? ListOperation(*list, entry.op, wparam, lparam) : kListError;
    return true;
  }
  return false;
}

// Tells the parent that the control took or lost the focus; false for other
// messages.
bool FocusNotice(HWND handle, UINT message, WORD set_code, WORD kill_code) {
  if (message != kWmSetFocus && message != kWmKillFocus) return false;
  NotifyParent(handle, message == kWmSetFocus ? set_code : kill_code);
  return true;
}

int ClampToRange(const Window& updown, int value) {
  int low = std::min(updown.minimum, updown.maximum);
  int high = std::max(updown.minimum, updown.maximum);
  return std::clamp(value, low, high);
}

}  // namespace

LRESULT ButtonProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kBmGetCheck:
    case kBmSetCheck:
    case kBmGetState:
    case kBmSetState: {
      Lock lock(Mutex());
      Window* button = FindControlLocked(handle, ControlKind::kButton);
      if (button == nullptr) return 0;
      if (message == kBmGetCheck) return IsCheckStyle(button->style) ? button->check : 0;
      if (message == kBmGetState) {
        return button->check | (button->pushed ? kBstPushed : 0) |
               (HasFocusLocked(*button) ? kBstFocus : 0);
      }
      if (message == kBmSetCheck && IsCheckStyle(button->style)) {
        int check = int(wparam);
        button->check = check == kBstIndeterminate && IsThreeState(button->style)
                            ? kBstIndeterminate
                            : (check != 0 ? kBstChecked : kBstUnchecked);
      } else if (message == kBmSetState) {
        button->pushed = wparam != 0;
      }
      RepaintOwnerDrawnLocked(*button);
      return 0;
    }
    case kBmClick:
      if (IsWindowEnabled(handle)) ClickControl(handle);
      return 0;
    case kWmSetFocus:
    case kWmKillFocus: {
      bool notify;
      {
        Lock lock(Mutex());
        Window* button = FindControlLocked(handle, ControlKind::kButton);
        notify = button != nullptr && (button->style & kBsNotify) != 0;
      }
      if (notify) NotifyParent(handle, message == kWmSetFocus ? kBnSetFocus : kBnKillFocus);
      return 0;
    }
    default:
      return DefWindowProcW(handle, message, wparam, lparam);
  }
}

LRESULT ComboBoxProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result;
  if (ListMessageCall(handle, ControlKind::kComboBox, message, wparam, lparam, &result)) {
    return result;
  }
  switch (message) {
    case kWmGetText:
    case kWmGetTextLength: {
      // A drop-down list shows its selection.
      std::u16string text;
      {
        Lock lock(Mutex());
        Window* combo = FindControlLocked(handle, ControlKind::kComboBox);
        if (combo == nullptr) return 0;
        if ((combo->style & kCbsDropDownList) != kCbsDropDownList || combo->selection < 0) {
          return DefWindowProcW(handle, message, wparam, lparam);
        }
        text = combo->items[std::size_t(combo->selection)].text;
      }
      if (message == kWmGetTextLength) return LRESULT(text.size());
      return CopyText(text, reinterpret_cast<char16_t*>(lparam), wparam);
    }
    default:
      if (FocusNotice(handle, message, kCbnSetFocus, kCbnKillFocus)) return 0;
      return DefWindowProcW(handle, message, wparam, lparam);
  }
}

LRESULT ListBoxProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result;
  if (ListMessageCall(handle, ControlKind::kListBox, message, wparam, lparam, &result)) {
    return result;
  }
  if (FocusNotice(handle, message, kLbnSetFocus, kLbnKillFocus)) return 0;
  return DefWindowProcW(handle, message, wparam, lparam);
}

LRESULT EditProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  if (FocusNotice(handle, message, kEnSetFocus, kEnKillFocus)) return 0;
  switch (message) {
    case kWmSetText:
    case kEmLimitText:
    case kEmGetLimitText:
    case kEmSetSel:
    case kEmGetSel:
      break;
    default:
      return DefWindowProcW(handle, message, wparam, lparam);
  }
  Lock lock(Mutex());
  Window* edit = FindControlLocked(handle, ControlKind::kEdit);
  if (edit == nullptr) return 0;
  const DWORD length = DWORD(edit->text.size());
  switch (message) {
    case kWmSetText: {
      const auto* text = reinterpret_cast<const char16_t*>(lparam);
      edit->text = text != nullptr ? text : u"";
      edit->selection_start = edit->selection_end = 0;
      return 1;
    }
    case kEmLimitText:
      edit->limit = wparam == 0 ? kEditNoLimit : DWORD(std::min<WPARAM>(wparam, kEditNoLimit));
      return 0;
    case kEmGetLimitText:
      return LRESULT(edit->limit);
    case kEmSetSel: {
      int start = int(LPARAM(wparam));
      int end = int(lparam);
      if (start == -1) {
        edit->selection_start = edit->selection_end;
        return 0;
      }
      DWORD from = start < 0 ? 0 : std::min(DWORD(start), length);
      DWORD to = end < 0 ? length : std::min(DWORD(end), length);
      edit->selection_start = std::min(from, to);
      edit->selection_end = std::max(from, to);
      return 0;
    }
    default: {  // kEmGetSel
      if (auto* start = reinterpret_cast<DWORD*>(wparam)) *start = edit->selection_start;
      if (auto* end = reinterpret_cast<DWORD*>(lparam)) *end = edit->selection_end;
      if (edit->selection_end > 0xFFFF) return -1;
      return LRESULT(edit->selection_start | (edit->selection_end << 16));
    }
  }
}

LRESULT StaticProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(handle, message, wparam, lparam);
}

LRESULT UpDownProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kUdmSetRange:
    case kUdmGetRange:
    case kUdmSetRange32:
    case kUdmGetRange32:
    case kUdmSetPos:
    case kUdmGetPos:
    case kUdmSetPos32:
    case kUdmGetPos32:
    case kUdmSetBuddy:
    case kUdmGetBuddy:
      break;
    default:
      return DefWindowProcW(handle, message, wparam, lparam);
  }
  Lock lock(Mutex());
  Window* updown = FindControlLocked(handle, ControlKind::kUpDown);
  if (updown == nullptr) return 0;
  switch (message) {
    case kUdmSetRange:
      updown->maximum = std::int16_t(LowWord(DWORD(lparam)));
      updown->minimum = std::int16_t(HighWord(DWORD(lparam)));
      updown->position = ClampToRange(*updown, updown->position);
      return 0;
    case kUdmGetRange:
      return MakeLParam(WORD(updown->maximum), WORD(updown->minimum));
    case kUdmSetRange32:
      updown->minimum = int(LPARAM(wparam));
      updown->maximum = int(lparam);
      updown->position = ClampToRange(*updown, updown->position);
      return 0;
    case kUdmGetRange32:
      if (auto* minimum = reinterpret_cast<int*>(wparam)) *minimum = updown->minimum;
      if (auto* maximum = reinterpret_cast<int*>(lparam)) *maximum = updown->maximum;
      return 0;
    case kUdmSetPos:
    case kUdmSetPos32: {
      int wanted = message == kUdmSetPos ? std::int16_t(LowWord(DWORD(lparam))) : int(lparam);
      return std::exchange(updown->position, ClampToRange(*updown, wanted));
    }
    case kUdmGetPos:
      return MakeLParam(WORD(updown->position), 0);
    case kUdmGetPos32:
      if (auto* error = reinterpret_cast<BOOL*>(lparam)) *error = 0;
      return updown->position;
    case kUdmSetBuddy:
      return LRESULT(std::exchange(updown->buddy, IdOf(reinterpret_cast<HWND>(wparam))));
    default:  // kUdmGetBuddy
      return LRESULT(updown->buddy);
  }
}

bool ClickControl(HWND handle) {
  WORD code;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(handle);
    if (window == nullptr) return false;
    if (window->control == ControlKind::kButton) {
      DWORD type = window->style & kBsTypeMask;
      if (type == kBsAutoCheckBox) window->check = window->check == kBstUnchecked ? 1 : 0;
      if (type == kBsAuto3State) window->check = (window->check + 1) % 3;
      code = kBnClicked;
    } else if (window->control == ControlKind::kStatic && (window->style & kSsNotify) != 0) {
      code = 0;  // the static's click
    } else {
      return false;
    }
  }
  NotifyParent(handle, code);
  return true;
}

}  // namespace platform::ui_internal
