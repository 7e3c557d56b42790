// Drives the headless windowing host (platform/ui/) as a user would: dialogs
// by template, controls by id, through the verbs of support/ui_user.h.
// While a driver lives, every failure the host reports fails the test, and
// so does a verb on a missing, hidden or disabled control. UiFixture checks
// after each test that every script and box expectation was used and no
// window, dialog, bitmap, timer or sheet is left (and, after the reset, nothing at
// all). Scripts run on their dialog's thread; one driver at a time.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/dialog.h"
#include "platform/ui/message_boxes.h"
#include "platform/ui/ui_host.h"
#include "support/ui_user.h"
#include "tests/support/host_fixture.h"

namespace testing_support {

class UiDriver {
 public:
  // Points the host's failures at the running test.
  UiDriver();
  ~UiDriver();
  UiDriver(const UiDriver&) = delete;
  UiDriver& operator=(const UiDriver&) = delete;

  // The next modal dialog of `template_id` runs `script`.
  void OnDialog(platform::UINT template_id, std::function<void(support::UiDialog)> script);
  // The newest live dialog of `template_id` (a test failure when none).
  support::UiDialog Dialog(platform::UINT template_id) const;

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
