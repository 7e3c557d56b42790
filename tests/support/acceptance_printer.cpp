#include "tests/support/acceptance_printer.h"

#include <filesystem>

namespace testing_support {

void AcceptancePrinter::SetUp() {
  HostFixture::SetUp();
  ASSERT_EQ(install_.Install(folder_.str(), second_printer_, xl_language_), "");
}

void AcceptancePrinter::TearDown() {
  EXPECT_EQ(install_.Uninstall(), "");
  ui.ExpectAllDone();
  std::filesystem::remove_all(folder_.str());
  HostFixture::TearDown();
}

}  // namespace testing_support
