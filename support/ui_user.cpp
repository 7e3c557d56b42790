#include "support/ui_user.h"

#include <algorithm>
#include <string>

namespace support {
namespace {

using namespace platform;

}  // namespace

std::u16string WindowText(HWND window) {
  std::u16string text(std::size_t(GetWindowTextLengthW(window)) + 1, u'\0');
  text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
  return text;
}

namespace {

struct ListMessages {
  UINT count, text, length, data, selection;
};
constexpr ListMessages kComboBox{kCbGetCount, kCbGetLbText, kCbGetLbTextLen, kCbGetItemData,
                                 kCbGetCurSel};
constexpr ListMessages kListBox{kLbGetCount, kLbGetText, kLbGetTextLen, kLbGetItemData,
                                kLbGetCurSel};

struct ListView {
  std::vector<std::u16string> texts;
  std::vector<ULONG_PTR> data;
  int selection = -1;
};

ListView ReadList(HWND control) {
  char16_t name[32];
  GetClassNameW(control, name, 32);
  std::u16string_view class_name(name);
  ListView view;
  if (class_name != u"ComboBox" && class_name != u"ListBox") {
    ReportUiFailure("control " + std::to_string(GetDlgCtrlID(control)) + " is no list");
    return view;
  }
  const ListMessages& m = class_name == u"ComboBox" ? kComboBox : kListBox;
  for (LRESULT index = 0; index < SendMessageW(control, m.count, 0, 0); ++index) {
    std::u16string text(std::size_t(SendMessageW(control, m.length, index, 0)) + 1, u'\0');
    text.resize(
        std::size_t(SendMessageW(control, m.text, index, reinterpret_cast<LPARAM>(text.data()))));
    view.texts.push_back(text);
    view.data.push_back(ULONG_PTR(SendMessageW(control, m.data, index, 0)));
  }
  view.selection = int(SendMessageW(control, m.selection, 0, 0));
  return view;
}

}  // namespace

HWND UiDialog::Control(int id) const {
  HWND control = GetDlgItem(dialog_, id);
  if (control == nullptr) ReportUiFailure("no control " + std::to_string(id) + " in the dialog");
  return control;
}

HWND UiDialog::Usable(int id, const char* verb) const {
  HWND control = Control(id);
  if (control == nullptr) return nullptr;
  if (!IsWindowVisible(control) || !IsWindowEnabled(control) || !IsWindowEnabled(dialog_)) {
    ReportUiFailure(std::string("cannot ") + verb + " control " + std::to_string(id) +
                    ": hidden or disabled");
    return nullptr;
  }
  return control;
}

bool UiDialog::Act(int id, const char* verb, const std::function<bool(HWND)>& action) {
  HWND control = Usable(id, verb);
  if (control == nullptr) return false;
  if (action(control)) return true;
  ReportUiFailure(std::string("cannot ") + verb + " control " + std::to_string(id));
  return false;
}

bool UiDialog::Click(int id) {
  return Act(id, "click", UserClick);
}

bool UiDialog::Check(int id, bool checked) {
  return Act(id, "check", [checked](HWND control) {
    return (SendMessageW(control, kBmGetCheck, 0, 0) == kBstChecked) == checked ||
           UserClick(control);
  });
}

bool UiDialog::Select(int id, std::u16string_view text) {
  return Act(id, "select in", [text](HWND control) {
    const auto& texts = ReadList(control).texts;
    auto it = std::find(texts.begin(), texts.end(), text);
    return it != texts.end() && UserSelect(control, int(it - texts.begin()));
  });
}

bool UiDialog::SelectData(int id, ULONG_PTR data) {
  return Act(id, "select by data in", [data](HWND control) {
    const auto& all = ReadList(control).data;
    auto it = std::find(all.begin(), all.end(), data);
    return it != all.end() && UserSelect(control, int(it - all.begin()));
  });
}

bool UiDialog::Type(int id, std::u16string_view text) {
  return Act(id, "type into", [text](HWND control) { return UserType(control, text); });
}

bool UiDialog::Blur() {
  return UserBlur();
}

bool UiDialog::Spin(int id, int delta) {
  return Act(id, "spin", [delta](HWND control) { return UserSpin(control, delta); });
}

bool UiDialog::Hover(int id, int x, int y) {
  HWND control = Control(id);
  return control != nullptr && UserHover(control, Point{x, y});
}

bool UiDialog::ClickAt(int id, int x, int y) {
  return Act(id, "click", [x, y](HWND control) { return UserClickAt(control, Point{x, y}); });
}

std::u16string UiDialog::Text(int id) const {
  HWND control = Control(id);
  return control != nullptr ? WindowText(control) : std::u16string();
}

std::vector<std::u16string> UiDialog::Items(int id) const {
  HWND control = Control(id);
  return control != nullptr ? ReadList(control).texts : std::vector<std::u16string>();
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

bool SheetDriver::Expect(bool done, const char* verb) {
  if (!done) ReportUiFailure(std::string("the sheet did not let the user ") + verb);
  return done;
}

void OnSheet(std::function<void(SheetDriver&)> script) {
  ScriptPropertySheet([script = std::move(script)](HANDLE sheet) {
    SheetDriver driver(sheet);
    script(driver);
  });
}

std::string SheetLog() {
  std::string joined;
  for (const std::string& event : PropertySheetLog())
    joined += (joined.empty() ? "" : ", ") + event;
  return joined;
}

}  // namespace support
