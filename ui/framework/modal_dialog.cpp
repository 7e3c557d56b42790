#include "ui/framework/modal_dialog.h"

#include "platform/host/boundary.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

constexpr int kSnapshotMode = 1;

}  // namespace

INT_PTR GModalDialog::DoModal(HWND owner, int snapshot_mode) {
  GUIContext* context = GetContext();
  const bool snapshot = snapshot_mode == kSnapshotMode && context;
  if (snapshot) context->PushSnapshot();
  const INT_PTR result = DialogBoxParamW(GetResourceModuleHandle(), MakeIntResourceW(TemplateId()),
                                         owner, ModalDlgProc, reinterpret_cast<LPARAM>(this));
  if (snapshot) context->PopSnapshot(result == kIdCancel);
  return result;
}

INT_PTR GModalDialog::HandleMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  const INT_PTR result = GDialogBase::HandleMessage(dialog, message, wparam, lparam);
  if (message == kWmCommand && HighWord(wparam) == kBnClicked) {
    const WORD id = LowWord(wparam);
    if (id == kIdOk || id == kIdCancel) {
      EndDialog(dialog, id);
      return 1;
    }
  }
  return result;
}

INT_PTR GModalDialog::ModalDlgProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return AnswerAtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
    if (message == kWmInitDialog) SetWindowLongPtrW(dialog, kDwlpUser, lparam);
    auto* self = reinterpret_cast<GModalDialog*>(GetWindowLongPtrW(dialog, kDwlpUser));
    return self ? self->HandleMessage(dialog, message, wparam, lparam) : 0;
  });
}
