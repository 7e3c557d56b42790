#include "platform/ui/dialog.h"

#include <cstring>
#include <string>

#include "platform/ui/ui_state.h"
#include "platform/ui/window.h"

namespace platform {
namespace {

using namespace ui_internal;

// Makes the dialog and its controls, sends WM_CREATE to controls of
// registered classes and WM_INITDIALOG to the dialog. `modal` dialogs are
// top-level and start hidden.
HWND MakeDialog(HINSTANCE instance, const char16_t* template_name, HWND parent, DlgProc procedure,
                LPARAM parameter, bool modal) {
  UINT template_id;
  if (!IsIntResource(template_name, &template_id)) {
    return Fail<HWND>(kErrorResourceNameNotFound, nullptr);
  }
  HWND dialog;
  HWND focus = nullptr;
  bool show;
  std::vector<HWND> registered;
  {
    Lock lock(Mutex());
    UiState& state = StateLocked();
    const DialogTemplate* found = host_internal::FindDialogTemplateLocked(instance, template_id);
    if (found == nullptr) return Fail<HWND>(kErrorResourceNameNotFound, nullptr);
    for (const DialogItemTemplate& item : found->items) {
      if (FindClassLocked(item.class_name) == nullptr) {
        return Fail<HWND>(kErrorCannotFindWndClass, nullptr);
      }
    }
    std::uintptr_t link = 0;
    if (parent != nullptr) {
      if (FindWindowLocked(parent) == nullptr) return nullptr;
      if (IdOf(parent) != state.desktop) link = IdOf(parent);
    }
    DWORD style = found->style;
    if (modal) style &= ~kWsChild;
    if ((style & kWsChild) != 0 && link == 0) return Fail<HWND>(kErrorInvalidParameter, nullptr);
    show = (found->style & kWsVisible) != 0;
    Window* made = ui_internal::NewWindowLocked(
        *FindClassLocked(u"#32770"), style & ~kWsVisible, found->caption,
        Rect{found->x, found->y, found->x + found->width, found->y + found->height}, link, 0,
        instance);
    made->dialog_procedure = procedure;
    made->template_id = template_id;
    dialog = HandleOf(made->id);
    for (const DialogItemTemplate& item : found->items) {
      const ui_internal::WindowClass& window_class = *FindClassLocked(item.class_name);
      Window* control = ui_internal::NewWindowLocked(
          window_class, item.style | kWsChild, item.text,
          Rect{item.x, item.y, item.x + item.width, item.y + item.height}, made->id, item.id,
          instance);
      if (window_class.control == ControlKind::kNone) registered.push_back(HandleOf(control->id));
      if (focus == nullptr && (item.style & kWsTabStop) != 0) focus = HandleOf(control->id);
    }
  }
  for (HWND control : registered) {
    CreateStruct create{nullptr, instance, dialog, GetDlgCtrlID(control)};
    SendMessageW(control, kWmCreate, 0, reinterpret_cast<LPARAM>(&create));
  }
  SendMessageW(dialog, kWmInitDialog, reinterpret_cast<WPARAM>(focus), parameter);
  if (!modal && show) ShowWindow(dialog, kSwShow);
  return dialog;
}

// The value EndDialog gave a running modal dialog, if it was called.
std::optional<INT_PTR> ModalResult(HWND dialog) {
  Lock lock(Mutex());
  auto& results = StateLocked().modal_results;
  auto it = results.find(IdOf(dialog));
  return it == results.end() ? std::nullopt : it->second;
}

// As the Escape key: the Cancel command, then an end the procedure did not
// give itself.
void Cancel(HWND dialog) {
  HWND cancel;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(dialog);
    if (window == nullptr) return;
    cancel = nullptr;
    for (std::uintptr_t child : window->children) {
      Window* control = StateLocked().handles.Find<Window>(child);
      if (control != nullptr && control->control_id == kIdCancel) cancel = HandleOf(child);
    }
  }
  SendMessageW(dialog, kWmCommand, MakeWParam(WORD(kIdCancel), kBnClicked),
               reinterpret_cast<LPARAM>(cancel));
  if (!ModalResult(dialog)) EndDialog(dialog, kIdCancel);
}

// The top-level window above `window` (itself when it is one).
HWND RootOf(HWND window) {
  Lock lock(Mutex());
  Window* at = FindWindowLocked(window);
  while (at != nullptr && at->parent != 0)
    at = StateLocked().handles.Find<Window>(at->parent);
  return at != nullptr ? HandleOf(at->id) : nullptr;
}

}  // namespace

bool IsIntResource(const char16_t* name, UINT* id) {
  auto value = reinterpret_cast<std::uintptr_t>(name);
  if (value == 0 || value > kMaxResourceId) return false;
  if (id != nullptr) *id = UINT(value);
  return true;
}

HWND CreateDialogParamW(HINSTANCE instance, const char16_t* template_name, HWND parent,
                        DlgProc procedure, LPARAM parameter) {
  return MakeDialog(instance, template_name, parent, procedure, parameter, false);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, const char16_t* template_name, HWND owner,
                        DlgProc procedure, LPARAM parameter) {
  UINT template_id = 0;
  IsIntResource(template_name, &template_id);
  HWND dialog = MakeDialog(instance, template_name, owner, procedure, parameter, true);
  if (dialog == nullptr) return -1;
  {
    Lock lock(Mutex());
    StateLocked().modal_results.emplace(IdOf(dialog), std::nullopt);
  }
  // EndDialog in WM_INITDIALOG ended it before it showed.
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(dialog);
    if (window != nullptr && window->ended) {
      StateLocked().modal_results[IdOf(dialog)] = window->end_result;
    }
  }
  HWND root = owner != nullptr ? RootOf(owner) : nullptr;
  bool reenable = root != nullptr && IsWindowEnabled(root) && EnableWindow(root, 0) == 0;
  ShowWindow(dialog, kSwShow);
  if (!ModalResult(dialog)) {
    DialogScript script;
    bool strict;
    {
      Lock lock(Mutex());
      UiState& state = StateLocked();
      auto it = state.scripts.find(template_id);
      if (it != state.scripts.end() && !it->second.empty()) {
        script = std::move(it->second.front());
        it->second.pop_front();
      }
      strict = state.strict_dialogs;
    }
    if (script) {
      script(dialog);
      if (!ModalResult(dialog) && IsWindow(dialog)) {
        ReportUiFailure("dialog " + std::to_string(template_id) + " left open by its script");
        Cancel(dialog);
      }
    } else {
      if (strict) ReportUiFailure("unscripted dialog " + std::to_string(template_id));
      Cancel(dialog);
    }
  }
  std::optional<INT_PTR> result = ModalResult(dialog);
  {
    Lock lock(Mutex());
    StateLocked().modal_results.erase(IdOf(dialog));
  }
  if (reenable) EnableWindow(root, 1);
  if (IsWindow(dialog)) DestroyWindow(dialog);
  return result.value_or(kIdCancel);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(dialog);
  if (window == nullptr || window->kind != UiHandleKind::kDialog) {
    return Fail<BOOL>(kErrorInvalidWindowHandle, 0);
  }
  window->ended = true;
  window->end_result = result;
  auto& results = StateLocked().modal_results;
  auto it = results.find(IdOf(dialog));
  if (it != results.end()) {
    it->second = result;
    window->style &= ~kWsVisible;
  }
  return 1;
}

HWND GetDlgItem(HWND dialog, int id) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(dialog);
  if (window == nullptr) return nullptr;
  for (std::uintptr_t child : window->children) {
    Window* control = StateLocked().handles.Find<Window>(child);
    if (control != nullptr && control->control_id == id) return HandleOf(child);
  }
  return Fail<HWND>(kErrorControlIdNotFound, nullptr);
}

int GetDlgCtrlID(HWND window) {
  Lock lock(Mutex());
  Window* found = FindWindowLocked(window);
  return found != nullptr && found->parent != 0 ? found->control_id : 0;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? SendMessageW(control, message, wparam, lparam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, const char16_t* text) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? SetWindowTextW(control, text) : 0;
}

UINT GetDlgItemTextW(HWND dialog, int id, char16_t* buffer, int buffer_max) {
  if (buffer != nullptr && buffer_max > 0) buffer[0] = u'\0';
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? UINT(GetWindowTextW(control, buffer, buffer_max)) : 0;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (control == nullptr) return 0;
  SendMessageW(control, kBmSetCheck, check, 0);
  return 1;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr ? UINT(SendMessageW(control, kBmGetCheck, 0, 0)) : 0;
}

namespace ui_internal {

LRESULT DialogWindowProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  DlgProc procedure;
  {
    Lock lock(Mutex());
    Window* window = FindWindowLocked(dialog);
    if (window == nullptr) return 0;
    procedure = window->dialog_procedure;
  }
  INT_PTR handled = procedure != nullptr ? procedure(dialog, message, wparam, lparam) : 0;
  if (message == kWmInitDialog) return handled;
  if (handled == 0) return DefWindowProcW(dialog, message, wparam, lparam);
  return GetWindowLongPtrW(dialog, kDwlpMsgResult);
}

}  // namespace ui_internal
}  // namespace platform
