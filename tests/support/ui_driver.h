// Drives the headless windowing host (platform/ui/) as a user would: dialogs
// by template, controls by id, verbs as platform/ui/ui_host.h describes
// them. A verb on a missing, hidden or disabled control fails the test, as
// does every failure the host reports while a driver lives. UiFixture checks
// after each test that every script and box expectation was used and no
// window, dialog, bitmap, timer or sheet is left (and, after the reset, nothing at
// all). Scripts run on their dialog's thread; one driver at a time.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/message_boxes.h"
#include "platform/ui/ui_host.h"
#include "platform/ui/window.h"
#include "tests/support/host_fixture.h"

namespace testing_support {

// The text of a window, whole.
std::u16string WindowText(platform::HWND window);

// One dialog as the user sees it.
class UiDialog {
 public:
  explicit UiDialog(platform::HWND dialog = nullptr) : dialog_(dialog) {}

  platform::HWND Handle() const { return dialog_; }
  // The control `id`; null (and a test failure) when there is none.
  platform::HWND Control(int id) const;

  // ---- Verbs; false (and a test failure) when the user cannot act.
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
  // The control when the user can act on it; else a test failure.
  platform::HWND Usable(int id, const char* verb) const;
  // `action` on the usable control; a test failure when it answers false.
  bool Act(int id, const char* verb, const std::function<bool(platform::HWND)>& action);

  platform::HWND dialog_;
};

class UiDriver {
 public:
  // Points the host's failures at the running test.
  UiDriver();
  ~UiDriver();
  UiDriver(const UiDriver&) = delete;
  UiDriver& operator=(const UiDriver&) = delete;

  // The next modal dialog of `template_id` runs `script`.
  void OnDialog(platform::UINT template_id, std::function<void(UiDialog)> script);
  // The newest live dialog of `template_id` (a test failure when none).
  UiDialog Dialog(platform::UINT template_id) const;

  // The next box must show `text` with `caption` and `flags`; it answers
  // `answer`.
  void ExpectBox(std::u16string text, std::u16string caption, platform::UINT flags, int answer);
  void ExpectBox(const platform::MessageBoxExpectation& e) { platform::ExpectMessageBox(e); }
  std::vector<platform::MessageBoxRecord> Boxes() const { return platform::MessageBoxLog(); }

  std::size_t Pump() { return platform::PumpMessages(); }

  // Test failures unless every script and expectation was used and no
  // window, dialog, bitmap, timer or sheet is left.
  void ExpectAllDone() const;

 private:
  platform::UiFailureHandler previous_;
};

class UiFixture : public HostFixture {
 public:
  UiDriver ui;

 protected:
  void TearDown() override;
};

}  // namespace testing_support
