// The printer of the acceptance tests, reached only from the outside: the
// library is loaded through the platform loader and attached by its
// DllMain; P1 of the printer fixture (printer_fixture.md) is installed in
// the stand-in spooler, which then sends the library the initialise event;
// the clock reads 6 December 2026 15:30:00 and the time-zone bias is 300
// minutes. P1's file differs from the fixture's in two keys only: 365's
// 308 (duplex unit) is 1, and the defaults name the plug-ins (63) "UI.DLL"
// (this library) and "GExtensionUIManager".
//
// Until the driver is built as a shared object, the library's entry points
// are exports of our own module's entry in the module table
// ("C:\Drv\UI.DLL", in the driver directory),
// added by name; the tests reach them only through GetProcAddress.
// The support file "KVQCF.DLL" holds the resource library.
//
// Timed waits run on the manual wait clock; TearDown detaches the library,
// drains the keep-alive and checks that no thread, window or sheet is left.
// One test thread.
#pragma once

#include <gtest/gtest.h>

#include "platform/host/modules.h"
#include "platform/host/types.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_driver.h"

namespace testing_support {

// The support file of the resources.
inline constexpr char16_t kAcceptanceSupportFile[] = u"KVQCF.DLL";

class AcceptancePrinter : public HostFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The export `name` of the loaded library as a `Function` pointer; a
  // test failure (and null) when it is missing.
  template <typename Function>
  Function* Entry(const char* name) {
    platform::FARPROC found = platform::GetProcAddress(library_, name);
    EXPECT_NE(found, nullptr) << name;
    return reinterpret_cast<Function*>(found);
  }

  platform::HMODULE Library() const { return library_; }
  // P1, opened with every right.
  platform::HANDLE Printer() const { return printer_; }
  // What the initialise event answered.
  platform::BOOL Initialised() const { return initialised_; }

  UiDriver ui;

 private:
  TempPath folder_{"acceptance"};
  platform::HMODULE library_ = nullptr;
  platform::HANDLE printer_ = nullptr;
  platform::BOOL initialised_ = 0;
};

}  // namespace testing_support
