// The user's side of the headless windowing host (platform/ui/): a dialog's controls by id with the
// verbs of platform/ui/ui_host.h, and the property sheets of the common property-sheet service
// (platform/ui/property_sheet.h). OnSheet queues what the user does in the next sheet shown; inside
// it, SheetDriver names the pages, activates one, hands out the active page as a UiDialog and
// presses OK or Cancel. SheetLog is the service's log, joined with ", ".
// A verb the host refuses is reported through platform::ReportUiFailure
// (tests point it at their framework: tests/support/ui_driver.h; the
// demonstration prints it). Scripts run on their dialog's thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/property_sheet.h"
#include "platform/ui/ui_host.h"
#include "platform/ui/window.h"

namespace support {

// The text of a window, whole.
std::u16string WindowText(platform::HWND window);

// One dialog as the user sees it.
class UiDialog {
 public:
  explicit UiDialog(platform::HWND dialog = nullptr) : dialog_(dialog) {}

  platform::HWND Handle() const { return dialog_; }
  // The control `id`; null (and a failure) when there is none.
  platform::HWND Control(int id) const;

  // ---- Verbs; false (and a failure) when the user cannot act.
  bool Click(int id);
  // Clicks the box when its state differs from `checked`.
  bool Check(int id, bool checked);
  // Chooses the item of exactly this text, or of this item data.
  bool Select(int id, std::u16string_view text);
  bool SelectData(int id, platform::ULONG_PTR data);
  bool Type(int id, std::u16string_view text);
  // The focus leaves the control that has it.
  bool Blur();
  bool Spin(int id, int delta);
  bool Hover(int id, int x, int y);
  bool ClickAt(int id, int x, int y);

  // ---- What the screen shows.
  std::u16string Caption() const { return WindowText(dialog_); }
  std::u16string Text(int id) const;
  std::vector<std::u16string> Items(int id) const;
  // The selected item's index, -1 for none.
  int Selection(int id) const;
  bool Checked(int id) const;
  bool Enabled(int id) const;
  bool Visible(int id) const;

 private:
  // The control when the user can act on it; else a failure.
  platform::HWND Usable(int id, const char* verb) const;
  // `action` on the usable control; a failure when it answers false.
  bool Act(int id, const char* verb, const std::function<bool(platform::HWND)>& action);

  platform::HWND dialog_;
};

class SheetDriver {
 public:
  explicit SheetDriver(platform::HANDLE sheet) : sheet_(sheet) {}

  std::size_t pages() const { return platform::SheetPages(sheet_).size(); }
  bool activate(std::size_t index) {
    return Expect(platform::SheetActivate(sheet_, index), "activate a page");
  }
  // The active page (a null dialog when none is).
  UiDialog page() const {
    const int active = platform::SheetActiveIndex(sheet_);
    return UiDialog(active < 0 ? nullptr : platform::SheetPageWindow(sheet_, std::size_t(active)));
  }
  bool ok() { return Expect(platform::SheetOk(sheet_), "press OK"); }
  bool cancel() { return Expect(platform::SheetCancel(sheet_), "press Cancel"); }
  platform::HANDLE handle() const { return sheet_; }

 private:
  static bool Expect(bool done, const char* verb);

  platform::HANDLE sheet_;
};

void OnSheet(std::function<void(SheetDriver&)> script);
std::string SheetLog();

}  // namespace support
