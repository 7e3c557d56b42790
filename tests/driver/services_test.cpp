// The driver's services besides printer data: the time and its bias, the
// module directory, files by Windows path, resource strings; and the driver
// data and driver server that the models call.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/printer_data_store_adapter.h"
#include "driver/resource_string_loader.h"
#include "persist/persistent_stream.h"
#include "platform/host/clock.h"
#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "services/driver_server.h"
#include "support/fake_driver_data.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace {

using namespace platform;

class Services : public testing_support::HostFixture {
 protected:
  HostOSFactory services_;
};

std::string Text(const RWWString& text) {
  return text.ToMultiByte().Data();
}

TEST_F(Services, TimesCarryTheBiasIntoDaysMonthsAndYears) {
  struct Case {
    std::int16_t bias;
    TimeRecord now;       // year, month, day, hour, minute, second (weekday filled in)
    GTimeRecord shifted;  // the same fields; weekday and `unused` not given
  };
  const Case cases[] = {
      {-90, {2004, 3, 1, 0, 30, 5}, {2004, 2, 29, 23, 0, 5}},  // leap day
      {-90, {2003, 3, 1, 0, 30, 5}, {2003, 2, 28, 23, 0, 5}},
      {-90, {1900, 3, 1, 0, 30, 5}, {1900, 2, 28, 23, 0, 5}},  // not a leap year
      {-90, {2000, 3, 1, 0, 30, 5}, {2000, 2, 29, 23, 0, 5}},  // a leap year
      {90, {2004, 12, 31, 23, 0, 0}, {2005, 1, 1, 0, 30, 0}},
      {-30, {2004, 6, 15, 10, 10, 0}, {2004, 6, 15, 9, 40, 0}},
      {50, {2004, 6, 15, 10, 10, 0}, {2004, 6, 15, 11, 0, 0}},
      {0, {2004, 6, 30, 23, 59, 59}, {2004, 6, 30, 23, 59, 59}},
      {60, {2004, 4, 30, 23, 15, 0}, {2004, 5, 1, 0, 15, 0}},
      // More than a day each way.
      {-1500, {2000, 1, 1, 0, 0, 0}, {1999, 12, 30, 23, 0, 0}},
      {3000, {2004, 2, 28, 0, 0, 0}, {2004, 3, 1, 2, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bias << " " << c.now.year << "-" << c.now.month);
    ASSERT_TRUE(SetFixedClock(c.now));
    TimeRecord now;
    ASSERT_EQ(GetLocalTimeRecord(&now), 1);
    services_.SetTimeBias(c.bias);
    GTimeRecord local{9, 9, 9, 9, 9, 9, 9, 9}, shifted{9, 9, 9, 9, 9, 9, 9, 9};
    std::int16_t bias = 0;
    ASSERT_EQ(services_.GetTimes(local, shifted, bias), 1);
    EXPECT_EQ(bias, c.bias);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&local), sizeof local),
              std::string(reinterpret_cast<const char*>(&now), sizeof now));
    // The day of the week is the local one, unchanged.
    EXPECT_EQ(shifted.day_of_week, now.day_of_week);
    GTimeRecord expected = c.shifted;
    expected.day_of_week = now.day_of_week;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&shifted), sizeof shifted),
              std::string(reinterpret_cast<const char*>(&expected), sizeof expected));
  }

  SetClockUnavailable();
  services_.SetTimeBias(-90);
  GTimeRecord local{9, 9, 9, 9, 9, 9, 9, 9}, shifted{9, 9, 9, 9, 9, 9, 9, 9};
  std::int16_t bias = 0;
  EXPECT_EQ(services_.GetCurrentDate(local, shifted, bias), 0);
  EXPECT_EQ(bias, -90);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&local), sizeof local),
            std::string(16, '\0'));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&shifted), sizeof shifted),
            std::string(16, '\0'));
}

TEST_F(Services, TheModuleDirectoryIsItsFileNameCutAtTheLastSeparator) {
  struct Case {
    std::u16string module_path;
    const char* directory;
  };
  const Case cases[] = {
      {u"C:\\Drv\\UI.DLL", "C:\\Drv"},
      {u"UI.DLL", ""},
      {u"C:\\UI.DLL", "C:"},
      {u"\\\\Server\\Share\\Drivers\\3\\UI.DLL", "\\\\Server\\Share\\Drivers\\3"},
      {u"C:\\Drv/x\\UI.DLL", "C:\\Drv/x"},  // only '\' separates
      // 259 units are read: "C:\" and 256 letters, the rest is cut off.
      {u"C:\\" + std::u16string(256, u'A') + u"\\UI.DLL", "C:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Text(RWWString(c.module_path.c_str())));
    ASSERT_TRUE(SetOwnModulePath(c.module_path));
    services_.SetModuleHandle(OwnModule());
    services_.ForgetModuleDirectory();
    RWWString directory;
    EXPECT_EQ(Text(services_.GetDriverDirectory(directory)), c.directory);
  }

  // Kept once computed, until forgotten.
  ASSERT_TRUE(SetOwnModulePath(u"C:\\Drv\\UI.DLL"));
  services_.ForgetModuleDirectory();
  EXPECT_EQ(Text(services_.GetModuleDirectory()), "C:\\Drv");
  ASSERT_TRUE(SetOwnModulePath(u"D:\\Moved\\UI.DLL"));
  EXPECT_EQ(Text(services_.GetModuleDirectory()), "C:\\Drv");
  services_.ForgetModuleDirectory();
  EXPECT_EQ(Text(services_.GetModuleDirectory()), "D:\\Moved");
  // Without a module handle: the host program's.
  SetHostProgramPath(u"C:\\Windows\\System32\\spoolsv.exe");
  services_.SetModuleHandle(nullptr);
  services_.ForgetModuleDirectory();
  EXPECT_EQ(Text(services_.GetModuleDirectory()), "C:\\Windows\\System32");
  EXPECT_EQ(services_.GetPathSeparator(), u'\\');
}

TEST_F(Services, FilesOpenByWindowsPathOnlyUnderAMapping) {
  namespace fs = std::filesystem;
  testing_support::TempPath root("drv-services");
  fs::create_directories(fs::path(root.str()) / "f");
  testing_support::WriteAll(root.str() + "/f/a.dat", std::string("\x2A\0\0\0", 4));
  ASSERT_TRUE(MapPathPrefix(u"C:\\Drv", root.str()));

  struct Case {
    const char16_t* path;
    bool opens;
  };
  const Case cases[] = {
      {u"C:\\Drv\\f\\a.dat", true},        {u"c:/drv/F/../f/a.dat", true},
      {u"D:\\Drv\\f\\a.dat", false},       {u"C:\\Drv\\..\\..\\x", false},
      {u"C:\\Drv\\f\\missing.dat", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Text(RWWString(c.path)));
    std::unique_ptr<GPersistentInputStream> in(
        services_.NewFileInputStream(c.path, GOSFactory::kBinaryEncoding));
    ASSERT_NE(in, nullptr);
    std::uint32_t value = 0;
    in->VirtualStream()->GetULong(value);
    EXPECT_EQ(in->VirtualStream()->Good(), c.opens);
    EXPECT_EQ(value, c.opens ? 42u : 0u);
  }
  {
    std::unique_ptr<GPersistentOutputStream> out(
        services_.NewFileOutputStream(u"C:\\Drv\\f\\b.dat", GOSFactory::kBinaryEncoding));
    out->VirtualStream()->PutULong(7);
  }
  EXPECT_EQ(testing_support::Hex(testing_support::ReadAll(root.str() + "/f/b.dat")), "07 00 00 00");
  fs::remove_all(root.str());
}

TEST_F(Services, ResourceStringsComeFromTheNamedModuleOrTheOwnOne) {
  ASSERT_TRUE(
      AddModule({u"RES.DLL", {}, {{5, u"Tray 1"}, {6, std::u16string(300, u'x')}, {8, u""}}}));
  ASSERT_TRUE(AddModuleString(u"C:\\Drv\\UI.DLL", 7, u"Own"));
  struct Case {
    bool own_module;
    std::uint16_t id;
    const char* module;
    std::string expected;  // with the fallback text "Fallback"
    std::uint32_t loads;   // of RES.DLL
  };
  const Case cases[] = {
      {true, 0, "RES.DLL", "Fallback", 0},  // id 0 touches no module
      {true, 5, "RES.DLL", "Tray 1", 1},
      {true, 5, "c:\\drv\\res.dll", "Tray 1", 1},
      {true, 6, "RES.DLL", std::string(255, 'x'), 1},  // cut at 255 characters
      {true, 8, "RES.DLL", "Fallback", 1},             // an empty string
      {true, 9, "RES.DLL", "Fallback", 1},             // no such string
      {true, 5, "NOPE.DLL", "Fallback", 0},
      {true, 7, "", "Own", 0},
      {false, 7, "", "Fallback", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.id << " " << c.module);
    ClearModuleLog();
    ModuleCounters before = GetModuleCounters(u"RES.DLL");
    GResourceStringLoader loader(c.own_module ? OwnModule() : nullptr);
    RWWString text;
    EXPECT_EQ(Text(loader.LoadText(text, c.id, "Fallback", c.module)), c.expected);
    ModuleCounters after = GetModuleCounters(u"RES.DLL");
    EXPECT_EQ(after.loads - before.loads, c.loads);
    EXPECT_EQ(after.frees - before.frees, c.loads);
    EXPECT_EQ(after.references, 0u);
    if (c.id == 0) {
      EXPECT_TRUE(ModuleLog().empty());
    }
  }
}

TEST_F(Services, TheDriverDataAnswersTheModelsFromItsTree) {
  FakeDriverData printer(u"P1");
  GAttributeComposite* job_settings = printer.GetJobSettings();
  ASSERT_NE(job_settings, nullptr);
  EXPECT_EQ(job_settings->Key(), 198u);
  EXPECT_EQ(printer.Configuration()->FindByKey(76)->FindByKey(198), job_settings);
  RWWString path;
  EXPECT_EQ(Text(printer.GetHelperLibraryPath(path)), "");
  job_settings->AddChild(new GStringAttribute("C:\\Drv\\KVQCF.DLL", 401));
  job_settings->AddChild(new GValueAttribute(1, 359));
  EXPECT_EQ(Text(printer.GetHelperLibraryPath(path)), "C:\\Drv\\KVQCF.DLL");

  std::unique_ptr<GAttributeComposite> defaults(printer.BuildDefaultSettings());
  ASSERT_NE(defaults, nullptr);
  EXPECT_TRUE(defaults->IsEqualContent(job_settings));
  EXPECT_NE(defaults->FindByKey(359), job_settings->FindByKey(359));  // copies

  GAttributeComposite root(362);
  EXPECT_EQ(printer.SelectBundle(u"Model 9", &root), 1);
  printer.WriteBinAndTrayMaps(&root);
  ASSERT_EQ(printer.series_applied.size(), 1u);
  EXPECT_EQ(Text(printer.series_applied[0].name), "Model 9");
  EXPECT_EQ(printer.series_applied[0].settings, &root);
  EXPECT_EQ(printer.maps_written, std::vector<const GAttributeComposite*>{&root});

  printer.SetPaperCode(23, 9);
  std::uint16_t code = 77;
  EXPECT_EQ(printer.GetPaperCodeOfMedia(23, code), 1);
  EXPECT_EQ(code, 9);
  EXPECT_EQ(printer.GetPaperCodeOfMedia(24, code), 0);
  EXPECT_EQ(code, 9);
  std::uint16_t media = 77;
  EXPECT_EQ(printer.GetMediaIdOfPaperCode(9, media), 0);
  EXPECT_EQ(media, 77);
  EXPECT_EQ(printer.MapCustomPaperCode(&root, 4001), 4001);

  printer.SetConfiguration(nullptr);
  EXPECT_EQ(printer.GetJobSettings(), nullptr);
  EXPECT_EQ(Text(printer.GetHelperLibraryPath(path)), "");

  GDriverServer::Create();
  GDriverServer* server = GDriverServer::Instance();
  ASSERT_NE(server, nullptr);
  EXPECT_EQ(server->FindRenderData(1), nullptr);
  // The configuration model's adapter, bound to the printer.
  std::unique_ptr<GPrinterDataStore> store(services_.CreatePrinterDataStore(&printer));
  auto* adapter = dynamic_cast<GPrinterDataStoreAdapter*>(store.get());
  ASSERT_NE(adapter, nullptr);
  EXPECT_EQ(adapter->Printer(), &printer);
}

}  // namespace
