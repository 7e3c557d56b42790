// The font sources' records in the printer's data: file names with and
// without the driver directory, the two-bit states of "DisabledMSDs", free
// indexes, the "MassStorageFonts" flag, and the removal of a source's file,
// which never deletes outside the driver directory.
#include <gtest/gtest.h>

#include <memory>

#include "config/fonts/font_sources.h"
#include "support/fake_driver_data.h"
#include "tests/config/fonts/font_files.h"
#include "tests/support/host_fixture.h"

namespace {

using font_testing::DriverDirectory;

FakeDriverData g_printers[2];
GDriverData* const kPrinter = &g_printers[0];
GDriverData* const kOtherPrinter = &g_printers[1];

class FontSources : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    driver_ = std::make_unique<DriverDirectory>();
  }
  void TearDown() override {
    driver_.reset();
    HostFixture::TearDown();
  }

  TestOSFactory& Services() { return driver_->services; }
  void SetName(std::uint32_t index, const char16_t* name) {
    Services().SetPrinterDataString(kPrinter, RWWString(kFontSources[index].value_name),
                                    RWWString(name));
  }
  RWWString StoredName(std::uint32_t index) {
    return Services().GetPrinterDataString(kPrinter, RWWString(kFontSources[index].value_name),
                                           RWWString());
  }
  void SetDisabled(std::uint32_t value) {
    Services().SetPrinterDataDword(kPrinter, RWWString(kDisabledMsdsName), value);
  }
  std::uint32_t Dword(const char16_t* name, std::uint32_t fallback = 0xDEAD) {
    return Services().GetPrinterDataDword(kPrinter, RWWString(name), fallback);
  }

  std::unique_ptr<DriverDirectory> driver_;
};

TEST_F(FontSources, FileNamesAndTheDriverDirectory) {
  struct Read {
    const char16_t* stored;
    const char16_t* directory;
    const char16_t* read;
  };
  const Read reads[] = {
      {u"fonts.dat", u"C:\\Drv", u"C:\\Drv\\fonts.dat"},
      {u"D:\\x\\f.dat", u"C:\\Drv", u"D:\\x\\f.dat"},
      {u"", u"C:\\Drv", u""},
      {u"f.dat", u"", u"f.dat"},
  };
  for (const Read& c : reads) {
    Services().module_directory = RWWString(c.directory);
    SetName(2, c.stored);
    EXPECT_EQ(ReadMsdFileName(kPrinter, 2), RWWString(c.read));
    EXPECT_EQ(ReadMsdFileName(kOtherPrinter, 2), RWWString());
  }
  Services().module_directory = RWWString(u"C:\\Drv");

  // Only a leading driver directory and its separator are cut, in exact
  // case.
  struct Write {
    const char16_t* path;
    const char16_t* stored;
  };
  const Write writes[] = {
      {u"C:\\Drv\\a.dat", u"a.dat"},
      {u"C:\\Drv2\\a.dat", u"C:\\Drv2\\a.dat"},
      {u"X:\\old\\C:\\Drv\\a.dat", u"X:\\old\\C:\\Drv\\a.dat"},
      {u"c:\\drv\\a.dat", u"c:\\drv\\a.dat"},
      {u"C:\\Drv", u"C:\\Drv"},
      {u"b.dat", u"b.dat"},
  };
  for (const Write& c : writes) {
    EXPECT_EQ(WriteMsdFileName(kPrinter, 9, RWWString(c.path)), 1);
    EXPECT_EQ(StoredName(9), RWWString(c.stored));
  }

  // Index 10 is no source.
  EXPECT_EQ(WriteMsdFileName(kPrinter, 10, RWWString(u"x.dat")), 0);
  EXPECT_EQ(ReadMsdFileName(kPrinter, 10), RWWString());
  EXPECT_EQ(GetMsdState(kPrinter, 10), 0u);
}

TEST_F(FontSources, StatesTakeTwoBitsEach) {
  SetDisabled(0x55555555);
  EXPECT_EQ(GetMsdState(kPrinter, 3), 1u);
  EXPECT_EQ(SetMsdState(kPrinter, 3, 2), 1);
  EXPECT_EQ(Dword(kDisabledMsdsName), 0x55555595u);  // bits 6 and 7 only
  EXPECT_EQ(SetMsdState(kPrinter, 9, 7), 1);         // masked to 3
  EXPECT_EQ(Dword(kDisabledMsdsName), 0x555D5595u);
  EXPECT_EQ(SetMsdState(kPrinter, 10, 3), 0);
  EXPECT_EQ(SetMsdState(kPrinter, 16, 3), 0);
  EXPECT_EQ(Dword(kDisabledMsdsName), 0x555D5595u);

  SetDisabled(0xFFFFFFFF);  // unset
  EXPECT_EQ(GetDisabledMsds(kPrinter), 0u);
  EXPECT_EQ(GetMsdState(kPrinter, 0), 0u);
  EXPECT_EQ(SetMsdState(kPrinter, 1, 1), 1);
  EXPECT_EQ(Dword(kDisabledMsdsName), 4u);
  EXPECT_EQ(GetMsdState(kOtherPrinter, 1), 0u);
}

// A write that fails answers 0 and counts as not written.
TEST_F(FontSources, FailedWritesAnswerZero) {
  struct Refusing : TestOSFactory {
    int SetPrinterDataDword(GDriverData*, const RWWString&, std::uint32_t) override { return 0; }
  } refusing;
  refusing.SetPrinterDataString(kPrinter, RWWString(kFontSources[0].value_name),
                                RWWString(u"f.dat"));
  EXPECT_EQ(SetMsdState(kPrinter, 0, 1), 0);
  EXPECT_EQ(SetMassStorageFontsFlag(1, kPrinter), 0);
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 0);
}

TEST_F(FontSources, FreeIndexes) {
  struct Case {
    std::uint32_t first;
    std::uint32_t last;
    std::uint32_t disabled;
    std::uint32_t free;
  };
  // Sources 0-2 and 8-9 named, 3-7 not.
  for (std::uint32_t i : {0u, 1u, 2u, 8u, 9u})
    SetName(i, u"f.dat");
  const Case cases[] = {
      {0, 9, 0, 3},         {0, 2, 0x00, 0}, {0, 2, 0x15, 10},  // states 1, 1, 1
      {0, 2, 0x3D, 10},                                         // states 1, 3, 3
      {0, 2, 0x19, 1},                                          // states 1, 2, 1
      {0, 2, 0x3F, 10},     {5, 4, 0, 10},   {12, 15, 0, 10},
      {8, 20, 0x50000, 10}, {8, 20, 0x0, 8}, {4, 4, 0, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + ".." + std::to_string(c.last));
    SetDisabled(c.disabled);
    EXPECT_EQ(FindFreeMsdIndex(kPrinter, c.first, c.last), c.free);
  }
}

// ROM add-on, disk and flash files always count; a memory module's only
// while its state's bit 1 is clear. The flag is written only when it
// changes.
TEST_F(FontSources, MassStorageFontsFlag) {
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 0);
  EXPECT_FALSE(Services().HasPrinterData(kPrinter, RWWString(kMassStorageFontsName)));
  EXPECT_EQ(GetMassStorageFontsFlag(kPrinter), 0u);

  SetName(6, u"dimm.dat");
  SetDisabled(2 << 12);  // source 6 disabled
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 0);
  SetDisabled(3 << 12);
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 0);
  SetDisabled(1 << 12);
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 1);
  EXPECT_EQ(Dword(kMassStorageFontsName), 1u);
  EXPECT_EQ(RefreshMassStorageFontsFlag(kPrinter), 0);

  SetName(6, u"");
  SetName(0, u"rom.dat");
  SetDisabled(3);  // a disabled ROM add-on file still counts
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 0);
  SetName(0, u"");
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 1);
  EXPECT_EQ(Dword(kMassStorageFontsName), 0u);

  EXPECT_EQ(SetMassStorageFontsFlag(1, kPrinter), 1);
  EXPECT_EQ(GetMassStorageFontsFlag(kPrinter), 1u);
  EXPECT_EQ(SetMassStorageFontsFlag(2, kPrinter), 1);
  EXPECT_EQ(Dword(kMassStorageFontsName), 0u);
  Services().SetPrinterDataDword(kPrinter, RWWString(kMassStorageFontsName), 5);
  EXPECT_EQ(GetMassStorageFontsFlag(kPrinter), 0u);
  EXPECT_EQ(UpdateMassStorageFontsFlag(kPrinter), 1);  // 5 is not 0
  EXPECT_EQ(Dword(kMassStorageFontsName), 0u);
}

// The name is forgotten when it names the path; the file goes only when it
// lies inside the driver directory (a bare name is taken there).
TEST_F(FontSources, RemovingAFileStaysInTheDriverDirectory) {
  testing_support::TempPath other_folder("other");
  std::filesystem::create_directory(other_folder.str());
  ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Other", other_folder.str()));
  testing_support::WriteAll(other_folder.str() + "/outside.dat", "x");
  for (const char* name : {"a.dat", "b.dat", "c.dat"})
    driver_->Write(name, "x");

  SetName(1, u"a.dat");
  RemoveMsdFontFile(kPrinter, 1, RWWString(u"C:\\Drv\\a.dat"));
  EXPECT_EQ(StoredName(1), RWWString());
  EXPECT_FALSE(driver_->Exists("a.dat"));

  SetName(1, u"c.dat");
  RemoveMsdFontFile(kPrinter, 1, RWWString(u"b.dat"));
  EXPECT_EQ(StoredName(1), RWWString(u"c.dat"));
  EXPECT_FALSE(driver_->Exists("b.dat"));

  // A link in the driver directory leads out of it; so does ".." after a
  // host path, which a text comparison would take for inside.
  std::filesystem::create_directory_symlink(other_folder.str(), driver_->HostPath("away"));
  const std::u16string climb = std::filesystem::path(driver_->HostPath("../x\\y")).u16string();
  EXPECT_FALSE(IsInDriverDirectory(RWWString(climb.c_str())));
  for (const char16_t* outside :
       {u"C:\\Drv\\..\\Other\\outside.dat", u"C:\\Other\\outside.dat", u"..\\Other\\outside.dat",
        u"C:\\Drv\\away\\outside.dat", u"C:\\Drv", u""}) {
    RemoveMsdFontFile(kPrinter, 1, RWWString(outside));
    EXPECT_TRUE(std::filesystem::exists(other_folder.str() + "/outside.dat"));
  }
  RemoveMsdFontFile(kPrinter, 10, RWWString(u"c.dat"));
  Services().module_directory = RWWString();
  RemoveMsdFontFile(kPrinter, 1, RWWString(u"c.dat"));
  EXPECT_TRUE(driver_->Exists("c.dat"));
  std::filesystem::remove_all(other_folder.str());
}

}  // namespace
