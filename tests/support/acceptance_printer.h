// The acceptance tests' fixture: each test starts with the host services
// reset and P1 (and P2 when a test's fixture asks) installed and loaded
// (support/acceptance_install.h), and ends with the library detached, the
// keep-alive drained and no window, sheet or expected box left. One test
// thread.
#pragma once

#include <gtest/gtest.h>

#include "support/acceptance_install.h"
#include "support/fixture_printer.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace testing_support {

class AcceptancePrinter : public HostFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The export `name` of the loaded library; a test failure (and null)
  // when it is missing.
  template <typename Function>
  Function* Entry(const char* name) {
    Function* found = install_.Entry<Function>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  platform::HMODULE Library() const { return install_.Library(); }
  // P1, opened with every right.
  platform::HANDLE Printer() const { return install_.Printer(); }
  // P2, when asked for.
  platform::HANDLE SecondPrinter() const { return install_.SecondPrinter(); }
  const support::AcceptanceInstall& Installed() const { return install_; }
  // What the initialise event answered.
  platform::BOOL Initialised() const { return install_.Initialised(); }
  // Sends P1 the initialise event again.
  void InitialiseAgain() { ASSERT_EQ(install_.Initialise(support::kFixturePrinter), ""); }

  UiDriver ui;
  // Set before SetUp: P2 is installed beside P1; P1's printer language is
  // a GVexalon (kind 767).
  bool second_printer_ = false;
  bool xl_language_ = false;

 private:
  TempPath folder_{"acceptance"};
  support::AcceptanceInstall install_;
};

}  // namespace testing_support
