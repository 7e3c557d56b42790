// Drives the property sheets of the common property-sheet service
// (platform/ui/property_sheet.h) as a user would: OnSheet queues what the
// user does in the next sheet shown; inside it, SheetDriver names the
// pages, activates one, hands out the active page as a UiDialog (the
// verbs of tests/support/ui_driver.h) and presses OK or Cancel. A verb
// that the sheet refuses fails the test. SheetLog is the service's log,
// joined with ", ". One test thread.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/ui/property_sheet.h"
#include "tests/support/ui_driver.h"

namespace testing_support {

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
  static bool Expect(bool done, const char* verb) {
    if (!done) ADD_FAILURE() << "the sheet did not let the user " << verb;
    return done;
  }

  platform::HANDLE sheet_;
};

inline void OnSheet(std::function<void(SheetDriver&)> script) {
  platform::ScriptPropertySheet([script = std::move(script)](platform::HANDLE sheet) {
    SheetDriver driver(sheet);
    script(driver);
  });
}

inline std::string SheetLog() {
  std::string joined;
  for (const std::string& event : platform::PropertySheetLog())
    joined += (joined.empty() ? "" : ", ") + event;
  return joined;
}

}  // namespace testing_support
