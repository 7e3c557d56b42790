#include "ui/framework/get_string_dialog.h"

#include <vector>

#include "platform/host/boundary.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/resource_library.h"

using namespace platform;

INT_PTR GGetStringDialog::DoModal(HWND owner) {
  return DialogBoxParamW(GetResourceModuleHandle(), MakeIntResourceW(kGetStringTemplate), owner,
                         GetStrDlgProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR GGetStringDialog::GetStrDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return AnswerAtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
    if (message == kWmInitDialog) SetWindowLongPtrW(dialog, kDwlpUser, lparam);
    auto* self = reinterpret_cast<GGetStringDialog*>(GetWindowLongPtrW(dialog, kDwlpUser));
    return self ? self->HandleMessage(dialog, message, wparam) : 0;
  });
}

INT_PTR GGetStringDialog::HandleMessage(HWND dialog, UINT message, WPARAM wparam) {
  if (message == kWmInitDialog) {
    if (prompt_id_ != 0) {
      RWWString prompt;
      LoadResString(prompt_id_, prompt);
      SetDlgItemTextW(dialog, kGetStringPrompt, prompt.Data());
    }
    SendDlgItemMessageW(dialog, kGetStringEdit, kEmLimitText, WPARAM(limit_), 0);
    // An initial text longer than the limit is cut as typing would cut it.
    const RWWString shown = text_.Length() > RWSize(limit_) ? text_(0, RWSize(limit_)) : text_;
    SetDlgItemTextW(dialog, kGetStringEdit, shown.Data());
    return 1;
  }
  if (message != kWmCommand || HighWord(wparam) != kBnClicked) return 0;
  const WORD id = LowWord(wparam);
  if (id == kIdOk) {
    std::vector<char16_t> buffer(std::size_t(limit_) + 1, u'\0');
    const UINT got = GetDlgItemTextW(dialog, kGetStringEdit, buffer.data(), limit_ + 1);
    text_ = RWWString(buffer.data(), got);
  }
  if (id == kIdOk || id == kIdCancel) {
    EndDialog(dialog, id);
    return 1;
  }
  return 0;
}
