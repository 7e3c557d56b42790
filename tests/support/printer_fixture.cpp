#include "tests/support/printer_fixture.h"

#include <filesystem>

#include "driver/printer_key.h"
#include "lang/joblang_zdl5/load.h"
#include "platform/host/spooler.h"
#include "services/driver_server.h"

namespace testing_support {

using support::InstallFixturePrinter;
using support::kFixtureDataFileName;
using support::kFixturePrinter;
using support::SaveDriverDataFile;

PrinterFixture::PrinterFixture() = default;

PrinterFixture::~PrinterFixture() = default;

void PrinterFixture::SetUp() {
  HostFixture::SetUp();
  JobLanguageLoad();
  std::filesystem::create_directory(folder_.str());
  services_ = std::make_unique<HostOSFactory>();
  ASSERT_TRUE(InstallFixturePrinter(folder_.str(), data_file_.get()));
  const platform::PrinterDefaultsW all_access{nullptr, nullptr, platform::kPrinterAllAccess};
  ASSERT_EQ(platform::OpenPrinterW(kFixturePrinter, &handle_, &all_access), 1);
  server_ = new GDriverServer;
}

void PrinterFixture::TearDown() {
  if (driver_data_) server_->ReleaseContext(cookie_);
  driver_data_ = nullptr;
  delete server_;
  server_ = nullptr;
  if (handle_) platform::ClosePrinter(handle_);
  handle_ = nullptr;
  services_.reset();
  std::filesystem::remove_all(folder_.str());
  JobLanguageUnload();
  HostFixture::TearDown();
}

GDriverContext* PrinterFixture::DriverData() {
  if (!driver_data_) {
    GDriverData* view = server_->GetContext(new GPrinterKey(handle_, kFixturePrinter, 0), cookie_);
    driver_data_ = GDriverContext::FromDriverData(view);
    if (driver_data_) services_->SetContextHandle(driver_data_, handle_);
  }
  return driver_data_;
}

bool PrinterFixture::RewriteDataFile(const MPersistentObject& root) {
  return SaveDriverDataFile(root, HostPath(kFixtureDataFileName));
}

std::string PrinterFixture::HostPath(const std::string& name) const {
  return folder_.str() + "/" + name;
}

}  // namespace testing_support
