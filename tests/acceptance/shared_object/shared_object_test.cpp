// The library's shared object as the spooler meets it: loaded as
// "C:\Drv\UI.DLL" through the platform's loader, every export is found by
// name, and it answers from P1 of the process's one stand-in spooler.
#include <filesystem>
#include <iterator>
#include <sstream>

#include "driver/device_capabilities.h"
#include "driver/entry_points.h"
#include "driver/library_entry.h"
#include "driver/module_keep_alive.h"
#include "platform/host/modules.h"
#include "platform/host/threads.h"
#include "tests/support/printer_fixture.h"

namespace testing_support {
namespace {

using namespace support;

using SharedObjectTest = HostFixture;

TEST_F(SharedObjectTest, AnswersTheSpoolerThroughTheLoader) {
  platform::UseManualWaitClock();
  TempPath folder("shared_object");
  std::filesystem::create_directory(folder.str());
  ASSERT_TRUE(InstallFixturePrinter(folder.str()));
  // The program is its own module, so the driver's path finds the mapping.
  ASSERT_TRUE(platform::SetOwnModulePath(kFixtureHostProgram));
  ASSERT_TRUE(platform::MapSharedObject(u"UI.DLL", DRV_UI_PATH));
  platform::HMODULE library = platform::LoadLibraryW(u"C:\\Drv\\UI.DLL");
  std::istringstream exports(DRV_UI_EXPORTS);
  for (auto name = std::istream_iterator<std::string>(exports); name != decltype(name)(); ++name)
    EXPECT_NE(platform::GetProcAddress(library, name->c_str()), nullptr) << *name;
  auto* dll_main =
      reinterpret_cast<decltype(&DllMain)>(platform::GetProcAddress(library, "DllMain"));
  ASSERT_EQ(dll_main(library, kDllProcessAttach, nullptr), 1);
  auto* capabilities = reinterpret_cast<decltype(&DrvDeviceCapabilities)>(
      platform::GetProcAddress(library, "DrvDeviceCapabilities"));
  EXPECT_EQ(capabilities(nullptr, kFixturePrinter, kDcVersion, nullptr, nullptr), 0x0401u);
  EXPECT_EQ(capabilities(nullptr, kFixturePrinter, kDcDriver, nullptr, nullptr), 0x18u);
  EXPECT_EQ(dll_main(library, kDllProcessDetach, nullptr), 1);
  // The keep-alive's watcher gives its reference back after idle periods.
  for (int i = 0; i < 4 && platform::LiveThreadCount() != 0; ++i) {
    ASSERT_TRUE(platform::AwaitThreadsIdle());
    platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
  }
  EXPECT_EQ(platform::FreeLibrary(library), 1);
  EXPECT_EQ(platform::GetModuleCounters(u"UI.DLL").references, 0u);
}

}  // namespace
}  // namespace testing_support
