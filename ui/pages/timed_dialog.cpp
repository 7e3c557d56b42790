#include "ui/pages/timed_dialog.h"

#include "platform/host/boundary.h"
#include "platform/host/modules.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/help.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/dialog_base.h"

using namespace platform;

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr UINT kMillisecondsPerSecond = 1000;

}  // namespace

GTimedDialog::GTimedDialog(std::uint32_t template_id, std::uint32_t period, const RWWString& text1,
                           const RWWString& text2, const RWWString& text3, const RWWString& text4,
                           const RWWString& text5)
    : template_id_(template_id), period_(period), texts_{text1, text2, text3, text4, text5} {}

INT_PTR GTimedDialog::DoModal(HWND owner, const RWWString& resource_library) {
  HMODULE library = LoadLibraryW(resource_library.Data());
  if (!library) return kNoResourceLibrary;
  const INT_PTR result = DialogBoxParamW(library, MakeIntResourceW(template_id_), owner, DialogProc,
                                         reinterpret_cast<LPARAM>(this));
  FreeLibrary(library);
  return result;
}

INT_PTR GTimedDialog::DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return AnswerAtBoundary<INT_PTR>(0, [&]() -> INT_PTR {
    if (message == kWmInitDialog) SetWindowLongPtrW(dialog, kDwlpUser, lparam);
    auto* self = reinterpret_cast<GTimedDialog*>(GetWindowLongPtrW(dialog, kDwlpUser));
    return self ? self->HandleMessage(dialog, message, wparam) : 0;
  });
}

INT_PTR GTimedDialog::HandleMessage(HWND dialog, UINT message, WPARAM wparam) {
  switch (message) {
    case kWmInitDialog:
      for (int i = 0; i < kTimedDialogTexts; ++i)
        SetDlgItemTextW(dialog, kTimedDialogFirstText + i, texts_[i].Data());
      // A period too long for the timer's milliseconds runs as long as it can.
      SetTimer(dialog, kTimerId,
               period_ > 0x7FFFFFFF / kMillisecondsPerSecond ? 0x7FFFFFFF
                                                             : period_ * kMillisecondsPerSecond,
               nullptr);
      return 1;
    case kWmTimer:
      if (wparam != kTimerId) return 0;
      Finish(dialog, kIdOk);
      return 1;
    case kWmCommand:
      if (HighWord(wparam) != kBnClicked) return 0;
      switch (LowWord(wparam)) {
        case kIdOk:
        case kIdCancel:
          Finish(dialog, LowWord(wparam));
          return 1;
        case kIdHelp:
          WinHelpA(dialog, help_file_.Data(), kHelpFinder, 0);
          return 1;
      }
      return 0;
  }
  return 0;
}

void GTimedDialog::Finish(HWND dialog, INT_PTR result) {
  if (IsDlgButtonChecked(dialog, kTimedDialogShowAgainBox) == kBstChecked) show_again_ = 0;
  KillTimer(dialog, kTimerId);
  EndDialog(dialog, result);
}
