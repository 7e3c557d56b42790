#include "tests/support/ui_driver.h"

#include "platform/host/reset.h"
#include "platform/ui/property_sheet.h"

namespace testing_support {

using namespace platform;
using support::UiDialog;

UiDriver::UiDriver() {
  previous_ = SetUiFailureHandler([](const std::string& message) { ADD_FAILURE() << message; });
}

UiDriver::~UiDriver() {
  SetUiFailureHandler(std::move(previous_));
}

void UiDriver::OnDialog(UINT template_id, std::function<void(UiDialog)> script) {
  ScriptDialog(template_id,
               [script = std::move(script)](HWND dialog) { script(UiDialog(dialog)); });
}

UiDialog UiDriver::Dialog(UINT template_id) const {
  HWND dialog = FindDialogByTemplate(template_id);
  if (dialog == nullptr) ADD_FAILURE() << "no dialog of template " << template_id;
  return UiDialog(dialog);
}

void UiDriver::ExpectBox(std::u16string text, std::u16string caption, UINT flags, int answer) {
  ExpectMessageBox(
      {.text = std::move(text), .caption = std::move(caption), .flags = flags, .answer = answer});
}

void UiDriver::ExpectAllDone() const {
  EXPECT_EQ(PendingDialogScripts(), 0u) << "dialog scripts never used";
  EXPECT_EQ(PendingMessageBoxExpectations(), 0u) << "message boxes never shown";
  EXPECT_EQ(PendingSheetScripts(), 0u) << "sheet scripts never used";
  for (UiHandleKind kind : {UiHandleKind::kWindow, UiHandleKind::kDialog, UiHandleKind::kBitmap,
                            UiHandleKind::kTimer, UiHandleKind::kSheet, UiHandleKind::kSheetPage}) {
    EXPECT_EQ(UiHandleCount(kind), 0u) << "handles of kind " << int(kind) << " left";
  }
}

void UiFixture::TearDown() {
  ui.ExpectAllDone();
  HostFixture::TearDown();
  for (int kind = 0; kind < kUiHandleKinds; ++kind)
    EXPECT_EQ(UiHandleCount(UiHandleKind(kind)), 0u) << "after the reset, kind " << kind;
}

}  // namespace testing_support
