// The tests' fixture on the fixture printer P1 (support/fixture_printer.h,
// its keys in support/fixture_printer.md): each test starts with fresh host
// stand-ins, the driver's real services (HostOSFactory), P1 installed in
// the stand-in spooler with its data file, and a driver server; the job
// language's classes are loaded meanwhile (its ZDL5 generator is in the
// file). DriverData() checks P1's context out of the server, which loads
// the data file into the real driver data (GDriverContext).
//
// Threads: one test thread sets up; the driver data is then used as the
// driver's rules say.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/driver_context.h"
#include "support/fixture_printer.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

class GDriverServer;

namespace testing_support {

class PrinterFixture : public HostFixture {
 protected:
  PrinterFixture();
  ~PrinterFixture() override;

  void SetUp() override;
  void TearDown() override;

  // P1's driver data, checked out of the driver server on first use (for
  // a handle with every right, which the services then use for its printer
  // data) and kept checked out until the test ends; null when the data
  // file does not load.
  GDriverContext* DriverData();
  // Rewrites the data file; call it before DriverData.
  bool RewriteDataFile(const MPersistentObject& root);
  // Installs P1 with `root` (taken) as its data file in place of the
  // fixture's; call it before SetUp (in a derived fixture's constructor).
  void InstallWith(MPersistentObject* root) { data_file_.reset(root); }
  // The host path of a file of the driver directory.
  std::string HostPath(const std::string& name) const;

  HostOSFactory& Services() { return *services_; }
  GDriverServer* Server() { return server_; }

 private:
  TempPath folder_{"printer"};
  std::unique_ptr<MPersistentObject> data_file_;  // null: the fixture's
  std::unique_ptr<HostOSFactory> services_;
  GDriverServer* server_ = nullptr;
  platform::HANDLE handle_ = nullptr;  // P1 with every right, the context's
  GDriverContext* driver_data_ = nullptr;
  std::uint32_t cookie_ = 0;
};

}  // namespace testing_support
