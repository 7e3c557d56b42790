#include "tests/support/ui_driver.h"

#include "platform/host/reset.h"
#include "platform/text.h"

namespace testing_support {
namespace {

using namespace platform;

std::string Narrow(std::u16string_view text) {
  std::string out;
  WideToMultiByte(text.data(), text.size(), out);
  return out;
}

std::u16string WindowText(HWND window) {
  std::u16string text(std::size_t(GetWindowTextLengthW(window)) + 1, u'\0');
  text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
  return text;
}

bool IsList(HWND control, UINT* count_message, UINT* text_message, UINT* length_message,
            UINT* data_message, UINT* selection_message) {
  char16_t name[32];
  GetClassNameW(control, name, 32);
  std::u16string_view class_name(name);
  bool combo = class_name == u"ComboBox";
  if (!combo && class_name != u"ListBox") return false;
  *count_message = combo ? kCbGetCount : kLbGetCount;
  *text_message = combo ? kCbGetLbText : kLbGetText;
  *length_message = combo ? kCbGetLbTextLen : kLbGetTextLen;
  *data_message = combo ? kCbGetItemData : kLbGetItemData;
  *selection_message = combo ? kCbGetCurSel : kLbGetCurSel;
  return true;
}

struct ListView {
  std::vector<std::u16string> texts;
  std::vector<ULONG_PTR> data;
  int selection = -1;
};

ListView ReadList(HWND control) {
  ListView view;
  UINT count_message, text_message, length_message, data_message, selection_message;
  if (!IsList(control, &count_message, &text_message, &length_message, &data_message,
              &selection_message)) {
    ADD_FAILURE() << "control " << GetDlgCtrlID(control) << " is no list";
    return view;
  }
  LRESULT count = SendMessageW(control, count_message, 0, 0);
  for (LRESULT index = 0; index < count; ++index) {
    std::u16string text(std::size_t(SendMessageW(control, length_message, index, 0)) + 1, u'\0');
    text.resize(std::size_t(
        SendMessageW(control, text_message, index, reinterpret_cast<LPARAM>(text.data()))));
    view.texts.push_back(text);
    view.data.push_back(ULONG_PTR(SendMessageW(control, data_message, index, 0)));
  }
  view.selection = int(SendMessageW(control, selection_message, 0, 0));
  return view;
}

}  // namespace

HWND UiDialog::Control(int id) const {
  HWND control = GetDlgItem(dialog_, id);
  if (control == nullptr) ADD_FAILURE() << "no control " << id << " in the dialog";
  return control;
}

HWND UiDialog::Usable(int id, const char* verb) const {
  HWND control = Control(id);
  if (control == nullptr) return nullptr;
  if (!IsWindowVisible(control) || !IsWindowEnabled(control) || !IsWindowEnabled(dialog_)) {
    ADD_FAILURE() << "cannot " << verb << " control " << id << ": hidden or disabled";
    return nullptr;
  }
  return control;
}

bool UiDialog::Click(int id) {
  HWND control = Usable(id, "click");
  bool done = control != nullptr && UserClick(control);
  if (control != nullptr && !done) ADD_FAILURE() << "control " << id << " cannot be clicked";
  return done;
}

bool UiDialog::Check(int id, bool checked) {
  HWND control = Usable(id, "check");
  if (control == nullptr) return false;
  if ((SendMessageW(control, kBmGetCheck, 0, 0) == kBstChecked) == checked) return true;
  return Click(id);
}

bool UiDialog::Select(int id, std::u16string_view text) {
  HWND control = Usable(id, "select in");
  if (control == nullptr) return false;
  ListView view = ReadList(control);
  for (std::size_t index = 0; index < view.texts.size(); ++index) {
    if (view.texts[index] == text) return UserSelect(control, int(index));
  }
  ADD_FAILURE() << "control " << id << " lists no \"" << Narrow(text) << "\"";
  return false;
}

bool UiDialog::SelectData(int id, ULONG_PTR data) {
  HWND control = Usable(id, "select in");
  if (control == nullptr) return false;
  ListView view = ReadList(control);
  for (std::size_t index = 0; index < view.data.size(); ++index) {
    if (view.data[index] == data) return UserSelect(control, int(index));
  }
  ADD_FAILURE() << "control " << id << " lists no item with data " << data;
  return false;
}

bool UiDialog::Type(int id, std::u16string_view text) {
  HWND control = Usable(id, "type into");
  bool done = control != nullptr && UserType(control, text);
  if (control != nullptr && !done) ADD_FAILURE() << "control " << id << " takes no typing";
  return done;
}

bool UiDialog::Blur() {
  return UserBlur();
}

bool UiDialog::Spin(int id, int delta) {
  HWND control = Usable(id, "spin");
  bool done = control != nullptr && UserSpin(control, delta);
  if (control != nullptr && !done) ADD_FAILURE() << "control " << id << " does not spin";
  return done;
}

bool UiDialog::Hover(int id, int x, int y) {
  HWND control = Control(id);
  return control != nullptr && UserHover(control, Point{x, y});
}

bool UiDialog::ClickAt(int id, int x, int y) {
  HWND control = Usable(id, "click");
  bool done = control != nullptr && UserClickAt(control, Point{x, y});
  if (control != nullptr && !done) ADD_FAILURE() << "control " << id << " cannot be clicked";
  return done;
}

std::u16string UiDialog::Caption() const {
  return WindowText(dialog_);
}

std::u16string UiDialog::Text(int id) const {
  HWND control = Control(id);
  return control != nullptr ? WindowText(control) : std::u16string();
}

std::vector<std::u16string> UiDialog::Items(int id) const {
  HWND control = Control(id);
  return control != nullptr ? ReadList(control).texts : std::vector<std::u16string>();
}

std::vector<ULONG_PTR> UiDialog::ItemData(int id) const {
  HWND control = Control(id);
  return control != nullptr ? ReadList(control).data : std::vector<ULONG_PTR>();
}

int UiDialog::Selection(int id) const {
  HWND control = Control(id);
  return control != nullptr ? ReadList(control).selection : -1;
}

bool UiDialog::Checked(int id) const {
  return IsDlgButtonChecked(dialog_, id) == UINT(kBstChecked);
}

bool UiDialog::Enabled(int id) const {
  HWND control = Control(id);
  return control != nullptr && IsWindowEnabled(control);
}

bool UiDialog::Visible(int id) const {
  HWND control = Control(id);
  return control != nullptr && IsWindowVisible(control);
}

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
  MessageBoxExpectation expectation;
  expectation.text = std::move(text);
  expectation.caption = std::move(caption);
  expectation.flags = flags;
  expectation.answer = answer;
  ExpectMessageBox(expectation);
}

void UiDriver::ExpectBox(const MessageBoxExpectation& expectation) {
  ExpectMessageBox(expectation);
}

std::vector<MessageBoxRecord> UiDriver::Boxes() const {
  return MessageBoxLog();
}

std::size_t UiDriver::Pump() {
  return PumpMessages();
}

void UiDriver::ExpectAllDone() const {
  EXPECT_EQ(PendingDialogScripts(), 0u) << "dialog scripts never used";
  EXPECT_EQ(PendingMessageBoxExpectations(), 0u) << "message boxes never shown";
  for (UiHandleKind kind : {UiHandleKind::kWindow, UiHandleKind::kDialog, UiHandleKind::kBitmap,
                            UiHandleKind::kTimer}) {
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
