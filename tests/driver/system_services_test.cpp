// The services' system operations: the operating-system version, the
// user's locale values, the temporary directory, unique file names, the
// driver data file and the services the library installs.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "driver/driver_context.h"
#include "driver/printer_key.h"
#include "driver/ui_os_factory.h"
#include "driver/update_request.h"
#include "persist/locale_info.h"
#include "platform/host/clock.h"
#include "platform/host/files.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "services/os_version.h"
#include "services/unicode_converter.h"
#include "support/fake_driver_data.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace {

using platform::kVerPlatformWin32Nt;
using platform::kVerPlatformWin32s;
using platform::kVerPlatformWin32Windows;

class SystemServices : public testing_support::HostFixture {
 protected:
  static void SetRegistryText(platform::HKEY root, const char16_t* key, const char16_t* name,
                              const std::u16string& text) {
    platform::HKEY opened = nullptr;
    ASSERT_EQ(platform::RegCreateKeyExW(root, key, 0, u"", 0, platform::kKeyAllAccess, nullptr,
                                        &opened, nullptr),
              0);
    std::u16string terminated = text + u'\0';
    ASSERT_EQ(platform::RegSetValueExW(opened, name, 0, platform::kRegSz,
                                       reinterpret_cast<const platform::BYTE*>(terminated.data()),
                                       static_cast<platform::DWORD>(2 * terminated.size())),
              0);
    platform::RegCloseKey(opened);
  }
};

constexpr char16_t kProductOptions[] = u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

TEST_F(SystemServices, OperatingSystemKinds) {
  struct Case {
    const char* what;
    platform::SystemVersion version;
    const char16_t* product_type;  // null: no product options
    bool suite;
    std::vector<platform::DWORD> sizes;  // record sizes the platform accepts
    GOSVersion expected;
  } cases[] = {
      {"Win32s", {3, 11, 7, kVerPlatformWin32s}, nullptr, false, {276}, {4, 0x3000B, 7}},
      {"9x minor 0",
       {4, 0, 950, kVerPlatformWin32Windows},
       nullptr,
       false,
       {276},
       {6, 0x40000, 950}},
      {"9x minor 10",
       {4, 10, 1998, kVerPlatformWin32Windows},
       nullptr,
       false,
       {276},
       {7, 0x4000A, 1998}},
      {"9x minor 20", {4, 20, 1, kVerPlatformWin32Windows}, nullptr, false, {276}, {6, 0x40014, 1}},
      {"9x minor 90",
       {4, 90, 3000, kVerPlatformWin32Windows},
       nullptr,
       false,
       {276},
       {8, 0x4005A, 3000}},
      {"9x from the larger record",
       {4, 10, 1, kVerPlatformWin32Windows},
       nullptr,
       false,
       {552},
       {5, 0x4000A, 1}},
      {"NT 4 workstation",
       {4, 0, 1381, kVerPlatformWin32Nt},
       u"WinNT",
       false,
       {276},
       {9, 0x40000, 1381}},
      {"NT 4 with a product suite",
       {4, 0, 1381, kVerPlatformWin32Nt},
       u"WINNT",
       true,
       {276},
       {13, 0x40000, 1381}},
      {"NT server",
       {4, 0, 1381, kVerPlatformWin32Nt},
       u"ServerNT",
       false,
       {276},
       {10, 0x40000, 1381}},
      {"NT 5 build 2195",
       {5, 0, 2195, kVerPlatformWin32Nt},
       u"WinNT",
       true,
       {276},
       {13, 0x50000, 2195}},
      {"NT 5 other build",
       {5, 1, 0x12600, kVerPlatformWin32Nt},
       nullptr,
       false,
       {276},
       {14, 0x50001, 0x2600}},
      {"NT 4 without product options",
       {4, 0, 1381, kVerPlatformWin32Nt},
       nullptr,
       false,
       {276},
       {0, 0, 0}},
      {"NT 6: no kind", {6, 0, 6000, kVerPlatformWin32Nt}, nullptr, false, {276}, {0, 0, 0}},
      {"the version word, NT 4",
       {4, 0, 1381, kVerPlatformWin32Nt},
       u"ServerNT",
       false,
       {},
       {10, 0x40000, 0}},
      {"the version word, 9x major 4",
       {4, 10, 1, kVerPlatformWin32Windows},
       nullptr,
       false,
       {},
       {5, 0x4000A, 0}},
      {"the version word, 9x major 3",
       {3, 95, 1, kVerPlatformWin32Windows},
       nullptr,
       false,
       {},
       {4, 0x3005F, 0}},
  };
  TestOSFactory services;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::ResetHostServices();
    platform::SetSystemVersion(c.version);
    platform::SetVersionExAcceptedSizes(c.sizes);
    if (c.product_type) {
      SetRegistryText(platform::kHkeyLocalMachine, kProductOptions, u"ProductType", c.product_type);
      if (c.suite) {
        SetRegistryText(platform::kHkeyLocalMachine, kProductOptions, u"ProductSuite", u"Term");
      }
    }
    GOSVersion version{99, 99, 99};
    services.GetOSVersion(version);
    EXPECT_EQ(version, c.expected);
  }
  const std::uint32_t families[][2] = {{1, 1}, {2, 2},  {3, 2},  {4, 2},  {5, 3},  {6, 0},
                                       {9, 4}, {10, 4}, {12, 6}, {13, 4}, {14, 4}, {99, 0}};
  for (const auto& family : families)
    EXPECT_EQ(OSFamily(family[0]), family[1]) << family[0];
}

TEST_F(SystemServices, LocaleValuesFromTheUsersInternationalSettings) {
  TestOSFactory services;
  std::unique_ptr<GLocaleInfo> defaults(services.GetLocaleInfo());
  ASSERT_NE(defaults, nullptr);
  EXPECT_TRUE(defaults->IsEqual(std::make_unique<GLocaleInfo>().get()));  // no key: defaults

  constexpr char16_t kKey[] = u"Control Panel\\International";
  SetRegistryText(platform::kHkeyCurrentUser, kKey, u"Locale", u"00000407");
  SetRegistryText(platform::kHkeyCurrentUser, kKey, u"iCountry", u"49");
  SetRegistryText(platform::kHkeyCurrentUser, kKey, u"iMeasure", u"x");  // no digits: 0
  SetRegistryText(platform::kHkeyCurrentUser, kKey, u"sDecimal", u",");
  SetRegistryText(platform::kHkeyCurrentUser, kKey, u"sLongDate", std::u16string(200, u'd'));
  std::unique_ptr<GLocaleInfo> read(services.GetLocaleInfo());
  EXPECT_EQ(read->Number(10), 407u);
  EXPECT_EQ(read->Number(0), 49u);
  EXPECT_EQ(read->Number(6), 0u);
  EXPECT_EQ(read->Text(5), ",");
  EXPECT_EQ(read->Text(8), "dddd, MMMM dd, yyyy");  // too long for the buffer: the default
  EXPECT_EQ(read->Number(1), 2u);                   // missing: the default
}

TEST_F(SystemServices, TheTemporaryDirectory) {
  ASSERT_TRUE(platform::AddPrinter(u"P1"));
  HostOSFactory services;
  FakeDriverData printer(u"P1");
  platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  platform::HANDLE handle = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &handle, &all), 1);
  services.SetContextHandle(&printer, handle);
  EXPECT_EQ(services.GetTempDirectory(&printer), u"\\SystemRoot\\System32\\Spool\\Printers");
  platform::SetEnvironmentVariableW(u"TEMP", u"C:\\Temp");
  EXPECT_EQ(services.GetTempDirectory(&printer), u"C:\\Temp");
  platform::SetEnvironmentVariableW(u"tmp", u"C:\\Tmp");
  EXPECT_EQ(services.GetTempDirectory(&printer), u"C:\\Tmp");
  services.SetPrinterDataString(&printer, u"TempDirectoryLocation", u"D:\\Spool");
  EXPECT_EQ(services.GetTempDirectory(&printer), u"D:\\Spool");
  platform::ClosePrinter(handle);
}

TEST_F(SystemServices, UniqueFileNames) {
  testing_support::TempPath directory("unique");
  std::filesystem::create_directory(directory.str());
  ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Tmp", directory.str()));
  platform::TimeRecord moment{2004, 3, 1, 0, 30, 0, 0, 0};
  ASSERT_TRUE(platform::SetFixedClock(moment));  // the same seed every call
  TestOSFactory services;
  auto is_name_char = [](char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z');
  };
  for (const char16_t* dir : {u"C:\\Tmp", u"C:\\Tmp\\"}) {
    RWWString path = services.MakeUniqueFileName(dir, RWWString(), 0);
    ASSERT_EQ(path.Length(), 7u + 12u);  // one separator, never two
    EXPECT_EQ(RWWString(path.Data(), 7), u"C:\\Tmp\\");
    for (RWSize i = 7; i < path.Length(); ++i) {
      if (i == 15) {
        EXPECT_EQ(path[i], u'.');
      } else {
        EXPECT_TRUE(is_name_char(path[i])) << i;
      }
    }
  }
  // The seed repeats: the first name is taken once created, and the next
  // call steps past it.
  RWWString first = services.MakeUniqueFileName(u"C:\\Tmp", u"AB&&.TMP", 1);
  ASSERT_FALSE(first.IsNull());
  EXPECT_EQ(services.FileExists(first), 1);
  RWWString second = services.MakeUniqueFileName(u"C:\\Tmp", u"AB&&.TMP", 1);
  EXPECT_NE(first, second);
  EXPECT_EQ(RWWString(second.Data(), 9), u"C:\\Tmp\\AB");
  // A directory where nothing can be created ends the search empty.
  EXPECT_TRUE(services.MakeUniqueFileName(u"Q:\\Nowhere", RWWString(), 1).IsNull());
  std::filesystem::remove_all(directory.str());
}

TEST_F(SystemServices, TheDriverDataFileOfAContext) {
  ASSERT_TRUE(platform::AddPrinter(u"P1"));
  ASSERT_TRUE(platform::SetPrinterDriver(u"P1", u"KV Drv", u"LPT1:", u"C:\\Drv\\KV.DAT"));
  TestOSFactory services;
  // Through the context's name: the printer is opened and closed again.
  GDriverContext named(nullptr, u"P1", u"KV Drv", u"LPT1:");
  platform::SpoolerCounters before = platform::GetSpoolerCounters();
  EXPECT_EQ(services.GetDriverDataFile(&named), u"C:\\Drv\\KV.DAT");
  EXPECT_EQ(platform::GetSpoolerCounters().open_handles, before.open_handles);
  EXPECT_EQ(platform::GetSpoolerCounters().opens, before.opens + 1);
  // Through the context's handle.
  platform::HANDLE handle = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &handle, nullptr), 1);
  GDriverContext held(handle, u"Whatever", u"KV Drv", u"LPT1:");
  EXPECT_EQ(services.GetDriverDataFile(&held), u"C:\\Drv\\KV.DAT");
  EXPECT_EQ(services.GUIOSFactory::GetPrinterHandle(&held), handle);
  platform::ClosePrinter(handle);
  // No printer, or no context: nothing.
  GDriverContext unknown(nullptr, u"Nowhere", u"", u"");
  EXPECT_TRUE(services.GetDriverDataFile(&unknown).IsNull());
  FakeDriverData fake(u"P1");
  EXPECT_TRUE(services.GetDriverDataFile(&fake).IsNull());
  EXPECT_EQ(services.GUIOSFactory::GetPrinterHandle(&fake), nullptr);
  // The services make contexts of the key's names, and no converter.
  std::unique_ptr<GDriverData> made(services.CreateContext(GPrinterKey(nullptr, u"P1", 0)));
  ASSERT_NE(GDriverContext::FromDriverData(made.get()), nullptr);
  EXPECT_EQ(made->GetDriverName(), u"KV Drv");
  EXPECT_EQ(GetUnicodeConverter(), nullptr);
}

TEST_F(SystemServices, TheLibraryInstallsItsServicesOnce) {
  ASSERT_EQ(GOSFactory::Instance(), nullptr);
  CreateOSFactory();
  GOSFactory* made = GOSFactory::Instance();
  ASSERT_NE(dynamic_cast<GUIOSFactory*>(made), nullptr);
  CreateOSFactory();
  EXPECT_EQ(GOSFactory::Instance(), made);
  // The placeholders answer as they are told to.
  EXPECT_EQ(made->Placeholder1(1), 0);
  EXPECT_EQ(made->Placeholder2(1, 2, 3), 0);
  EXPECT_EQ(made->Placeholder3(), 0);
  EXPECT_EQ(made->Placeholder6(), 0);
  EXPECT_EQ(made->Placeholder7(), -1);
  EXPECT_EQ(made->GetDefaultFilePattern(), u"&&&&&&&&.&&&");
  // The mini-installer of a printer that does not open runs nothing.
  std::unique_ptr<GMiniInstaller> installer(made->NewMiniInstaller(u"P1", nullptr, 0));
  ASSERT_NE(installer, nullptr);
  EXPECT_EQ(installer->IsDone(), 0u);
  installer.reset();
  GOSFactory::SetInstance(nullptr);
}

}  // namespace
