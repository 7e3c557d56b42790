// Document properties, the device-mode conversion and the property sheets of
// P1 (support/fixture_printer.md), through the property-sheet hook and
// the test plug-ins (tests/support/test_plugins.h): "PLUGA.DLL" with 4 pages
// titled A0-A3 and "PLUGB.DLL" with 3 titled B0-B2, named by the defaults'
// 63; the defaults also hold 1100 (export requested) and the start page
// 364 -> 1118 "B1". Every test ends with no window, dialog or sheet left.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/configuration_importer.h"
#include "driver/devmode/dev_mode_settings.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/qcf_update_check.h"
#include "driver/spooler_forms.h"
#include "output/core/peripheral.h"
#include "persist/persistent_composite.h"
#include "platform/host/boundary.h"
#include "platform/host/clock.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "tests/driver/driver_data/driver_data_testing.h"
#include "tests/support/fake_feature_store.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/sheet_driver.h"
#include "tests/support/test_plugins.h"

namespace devmode_exports_fuzz {
extern platform::HANDLE g_printer;
}
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

// The shell, beside the services' module (where the support library is).
constexpr char16_t kShell[] = u"C:\\Drv\\Explorer.EXE";

platform::DevModeW* AsRecord(Bytes& bytes) {
  return reinterpret_cast<platform::DevModeW*>(bytes.data());
}

// The stub service of the hook's own tests: page handles 1, 2, ... for
// every record added, the start page kept.
platform::LONG_PTR g_added = 0;
platform::LPARAM g_start = 0;
platform::LONG_PTR StubService(platform::HANDLE, platform::UINT function, platform::LPARAM first,
                               platform::LPARAM) {
  if (function == platform::kCpsFuncAddPropSheetPageW) return ++g_added;
  if (function == platform::kCpsFuncSetHStartPage) g_start = first;
  return 1;
}

class Sheets : public PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    InstallTestPlugin(0, u"PLUGA.DLL", {4}, u"A");
    InstallTestPlugin(1, u"PLUGB.DLL", {3}, u"B");
    platform::AddModule({u"C:\\Drv\\KVQCF.DLL", {}, {}});
    platform::AddModuleString(u"C:\\Drv\\KVQCF.DLL", kCaptionStringId, u"Extra");
    ASSERT_TRUE(platform::SetFixedClock({2026, 12, 6, 15, 30, 0}));
    // The system's forms where mapping 191 puts Letter (1) and A4 (9).
    platform::AddServerForm(u"", 1, u"Letter", 215900, 279400);
    for (const char16_t* filler : {u"F2", u"F3", u"F4", u"F5", u"F6", u"F7", u"F8"})
      platform::AddServerForm(u"", 1, filler, 1000, 1000);
    platform::AddServerForm(u"", 1, u"A4", 210000, 297000);
    std::unique_ptr<MPersistentComposite> root(BuildFixtureDataFile());
    auto* printer = FindOfClass<GPeripheral>(root->FindByKey(353), 76);
    ASSERT_NE(printer, nullptr);
    GAttributeComposite* defaults = FindComposite(printer->GetConfiguration(), 359);
    ASSERT_NE(defaults, nullptr);
    auto* names = new GAttributeComposite(kPluginNamesKey);
    for (const char* name : {"PLUGA.DLL", "PLUGB.DLL"})
      names->AddChild(new GStringAttribute(name, 0));
    defaults->AddChild(names);
    defaults->AddChild(new GValueAttribute(1, 1100));
    FindComposite(defaults, kColorMediaSettingsKey)->AddChild(new GStringAttribute("B1", 1118));
    ASSERT_TRUE(RewriteDataFile(*root));
    // The spooler's handle of a user who administers the printer.
    const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
    ASSERT_EQ(platform::OpenPrinterW(kFixturePrinter, &p1_, &all), 1);
  }
  void TearDown() override {
    platform::ClosePrinter(p1_);
    ui.ExpectAllDone();
    SetTestPageApply(nullptr);
    PrinterFixture::TearDown();
  }

  std::uint32_t Dword(const char16_t* name) {
    return Services().GetPrinterDataDword(DriverData(), RWWString(name), 99);
  }
  RWWString Text(const char16_t* name) {
    return Services().GetPrinterDataString(DriverData(), RWWString(name), RWWString(u"-"));
  }
  // Document properties of P1's context on `out` and `in` (may be null).
  platform::LONG Properties(Bytes* out, Bytes* in, platform::DWORD mode) {
    return DriverData()->DrvDocumentProperties(nullptr, p1_, kFixturePrinter,
                                               out ? AsRecord(*out) : nullptr,
                                               in ? AsRecord(*in) : nullptr, mode);
  }
  // The context's record as DM_COPY gives it.
  Bytes OurRecord() {
    Bytes record(kFullDevModeSize);
    EXPECT_EQ(Properties(&record, nullptr, platform::kDmModeCopy), 1);
    return record;
  }

  UiDriver ui;
  platform::HANDLE p1_ = nullptr;
};

TEST_F(Sheets, DocumentPropertiesWithoutASheet) {
  GDriverContext* context = DriverData();
  ASSERT_NE(context, nullptr);
  // Mode 0 answers the size and touches nothing; so does a missing output.
  Bytes untouched(kFullDevModeSize, 0xEE);
  EXPECT_EQ(Properties(&untouched, nullptr, 0), 1172);
  EXPECT_EQ(untouched, Bytes(kFullDevModeSize, 0xEE));
  EXPECT_EQ(Properties(nullptr, nullptr, platform::kDmModeCopy), 1172);
  Bytes ours = OurRecord();
  EXPECT_EQ(LoadU32(ours.data(), kDmSize), 952u << 16 | 220);

  // An application's record: A4 (9), landscape (2), 3 copies.
  Bytes in = ours;
  StoreU16(in.data(), kDmOrientation, 2);
  StoreU16(in.data(), kDmPaperSize, 9);
  StoreU16(in.data(), kDmCopies, 3);
  Bytes out(kFullDevModeSize);
  EXPECT_EQ(Properties(&out, &in, platform::kDmModeModify | platform::kDmModeCopy), 1);
  EXPECT_EQ(LoadU16(out.data(), kDmOrientation), 2);
  EXPECT_EQ(LoadU16(out.data(), kDmPaperSize), 9);
  EXPECT_EQ(LoadU16(out.data(), kDmCopies), 3);
  auto* dev_mode = GDevModeSettings::From(context->GetDevModeSettings());
  ASSERT_NE(dev_mode, nullptr);
  std::unique_ptr<GAttributeComposite> model(dev_mode->LoadSettings(AsRecord(out), 0));
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(SignedValueOr(model.get(), 260, -1), 23);  // A4's paper id
  EXPECT_EQ(SignedValueOr(model.get(), 265, -1), 90);
  EXPECT_EQ(SignedValueOr(model.get(), 291, -1), 3);

  // 0x100A: dmDriverExtra 1172 - 220 = 952 (B8 03); at 220 "VKVK" (56 4B
  // 56 4B) and the length 152 (98 00), then 146 zero bytes of the block.
  Bytes reset(kFullDevModeSize, 0xEE);
  EXPECT_EQ(Properties(&reset, nullptr, 0x100A), 1);
  EXPECT_EQ(Bytes(reset.begin() + 70, reset.begin() + 72), (Bytes{0xB8, 0x03}));
  EXPECT_EQ(Bytes(reset.begin() + 220, reset.begin() + 226),
            (Bytes{0x56, 0x4B, 0x56, 0x4B, 0x98, 0x00}));
  EXPECT_EQ(Bytes(reset.begin() + 226, reset.begin() + 372), Bytes(146, 0));

  // Under the public-part-only flags the caller is told 220 bytes; the
  // reset stays out of what it owns.
  context->ApplyAppFlags(0x100);
  EXPECT_EQ(Properties(&untouched, nullptr, 0), 220);
  Bytes cut(kPublicDevModeSize + 8, 0xEE);
  EXPECT_EQ(Properties(&cut, nullptr, 0x100A), 1);
  EXPECT_EQ(LoadU16(cut.data(), kDmDriverExtra), 0);
  EXPECT_EQ(Bytes(cut.begin() + 220, cut.end()), Bytes(8, 0xEE));
}

TEST_F(Sheets, ConversionAnswersAndErrors) {
  Bytes ours = OurRecord();
  Bytes short_extra = ours;
  StoreU16(short_extra.data(), kDmDriverExtra, 951);
  const struct {
    const char* what;
    const char16_t* name;
    Bytes* in;
    bool with_size;
    platform::LONG size;
    platform::DWORD mode;
    platform::BOOL answer;
    platform::DWORD error;
    platform::LONG size_after;
  } cases[] = {
      {"one byte short", kFixturePrinter, &ours, true, 1171, 1, 0, 122, 1172},
      {"enough", kFixturePrinter, &ours, true, 1172, 1, 1, 0, 1172},
      {"driver default", kFixturePrinter, nullptr, true, 2000, 4, 1, 0, 1172},
      {"not our record", kFixturePrinter, &short_extra, true, 1172, 1, 0, 87, 1172},
      {"3.51 records", kFixturePrinter, &ours, true, 1172, 2, 0, 0, 1172},
      {"unknown mode", kFixturePrinter, &ours, true, 1172, 9, 0, 0, 1172},
      {"no printer name", nullptr, &ours, true, 1172, 1, 0, 87, 1172},
      {"no size", kFixturePrinter, &ours, false, 0, 1, 0, 87, 0},
  };
  // A restricted user's own watermarks, and the printer's parts: no
  // conversion stores any.
  GDriverContext* context = DriverData();
  struct LocalWatermarks {
    LocalWatermarks() { GDriverContextBase::SetLocalWatermarkFlag(1); }
    ~LocalWatermarks() { GDriverContextBase::SetLocalWatermarkFlag(0); }
  } local_watermarks;
  Services().SetPrinterDataString(context, RWWString(u"PrinterUUID"), RWWString(u"{U}"));
  RWCString pool_name;
  context->GetLocalWatermarkPoolName(pool_name);
  const RWWString pool = RWWString::FromMultiByte(pool_name);
  GAttributeComposite users_pool(kWatermarkListKey);
  users_pool.AddChild(driver_data_testing::Group(0, {{kWatermarkScopeKey, 2}}));
  ASSERT_EQ(Services().StoreNamedObject(context, pool, &users_pool), 1);
  const auto kept = [&] {
    std::string bytes;
    for (const RWWString& name : {pool, RWWString(u"365"), RWWString(u"366"), RWWString(u"368")})
      bytes += driver_data_testing::NamedBytes(context, name.Data()) + "|";
    return bytes;
  };
  const std::string kept_before = kept();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes out = OurRecord();
    const Bytes before = out;
    platform::LONG size = c.size;
    platform::SetLastError(0);
    EXPECT_EQ(DriverData()->DrvConvertDevMode(c.name, c.in ? AsRecord(*c.in) : nullptr,
                                              AsRecord(out), c.with_size ? &size : nullptr, c.mode),
              c.answer);
    if (!c.answer) {
      EXPECT_EQ(platform::GetLastError(), c.error);
    }
    EXPECT_EQ(size, c.size_after);
    if (!c.answer) {
      EXPECT_EQ(out, before);
    }
  }

  // P1 had no default device mode: the first conversion built and stored
  // one, with "Stale" = "FALSE" (1100 = 1) and the import's failure stamped
  // (no helper to refresh from).
  std::unique_ptr<platform::BYTE[]> info = ReadPrinterInfo2(p1_);
  ASSERT_NE(info, nullptr);
  const auto* stored = static_cast<const std::uint8_t*>(
      reinterpret_cast<platform::PrinterInfo2W*>(info.get())->dev_mode);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(LoadU16(stored, kDmDriverExtra), 952);
  EXPECT_EQ(Text(GConfigurationImporter::kStaleValue), u"FALSE");
  EXPECT_EQ(Text(GConfigurationImporter::kLastUpdateValue), u"ERROR");
  EXPECT_EQ(kept(), kept_before);

  // A -> B -> A: converting the converted record gives it back.
  Bytes a = ours;
  StoreU16(a.data(), kDmCopies, 5);
  Bytes b = OurRecord();
  Bytes again = OurRecord();
  platform::LONG size = 1172;
  ASSERT_EQ(::DrvConvertDevMode(kFixturePrinter, AsRecord(a), AsRecord(b), &size, 1), 1);
  ASSERT_EQ(::DrvConvertDevMode(kFixturePrinter, AsRecord(b), AsRecord(again), &size, 1), 1);
  EXPECT_EQ(LoadU16(b.data(), kDmCopies), 5);
  EXPECT_EQ(again, b);
}

TEST_F(Sheets, TheHookAddsEachPluginsPages) {
  const struct {
    const char* what;
    std::vector<std::int16_t> a, b;
    std::int16_t index;
    std::uint32_t size;
    std::int16_t answer;
    std::vector<std::int16_t> a_seen, b_seen;
    int b_destroys;
    platform::LPARAM start;  // the handle of B1, the stored start page
  } cases[] = {
      {"4 and 3", {4}, {3}, 0, 60, -7, {0, 0}, {0, 4}, 1, 6},
      {"both-sides notice",
       {4},
       {3},
       kUIManualDuplexIndex,
       60,
       -1,
       {kUIManualDuplexIndex},
       {},
       1,
       0},
      {"sheet record of 59", {4}, {3}, 0, 59, 0, {}, {}, 0, 0},
      {"a count of -1", {-1}, {3}, 0, 60, -3, {0}, {0, 0}, 1, 2},
      {"a count of 70,000", {4}, {std::int16_t(70000)}, 0, 60, -4, {0, 0}, {0}, 1, 0},
      {"more pages than counted", {4}, {3, 4}, 0, 60, -7, {0, 0}, {0, 4}, 2, 6},
      {"no pages", {0}, {0}, 0, 60, 0, {0}, {0}, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TestPlugin& a = InstallTestPlugin(0, u"PLUGA.DLL", c.a, u"A");
    TestPlugin& b = InstallTestPlugin(1, u"PLUGB.DLL", c.b, u"B");
    GSheetRecord* record = DriverData()->CreateSheetRecord();
    ASSERT_NE(record, nullptr);
    record->size = c.size;
    record->service_callback = &StubService;
    g_added = g_start = 0;
    {
      GUIPluginPageList list;
      EXPECT_EQ(list.AddPages(record, c.index), c.answer);
      EXPECT_EQ(a.indices, c.a_seen);
      EXPECT_EQ(b.indices, c.b_seen);
      EXPECT_EQ(g_start, c.start);
      list.FreePages(record);
      EXPECT_EQ(record->ui_data, nullptr);
    }
    EXPECT_EQ(b.destroys, c.b_destroys);
    DriverData()->DeleteSheetRecord(record);
  }
}

TEST_F(Sheets, TheDocumentSheetAppliesOrCancels) {
  platform::SetHostProgramPath(kShell);
  SetTestPageApply(
      [](GUIData& host) { SetValueIfPresent(FindComposite(host.settings, 365), 310, 7); });
  const struct {
    const char* what;
    bool advanced, ok;
    platform::LONG answer;
    std::uint32_t access;
    std::uint32_t export_after;
    // The printer-wide part, stored only under access 0 (-1: none stored),
    // and never by a sheet cancelled or a later call.
    std::int32_t stored_310;
    const char* log;
  } cases[] = {
      {"advanced", true, true, 1, kUIAccessNoPrinterWide, 0, -1, "apply 5, result 1, reason 3"},
      {"OK", false, true, 1, 0, 0, 7, "apply 0, result 1, reason 3, apply 5, result 1, reason 3"},
      {"Cancel", false, false, 2, 0, 1, 7, "reset 0, reset 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    OnSheet([&](SheetDriver& sheet) {
      EXPECT_EQ(sheet.pages(), 7u);
      EXPECT_EQ(platform::SheetActiveIndex(sheet.handle()), 5);  // B1
      EXPECT_EQ(WindowText(platform::SheetFrame(sheet.handle())), u"P1 - Extra");
      EXPECT_EQ(Dword(u"ExportPrinting"), 1u);
      EXPECT_EQ(TestPluginAt(0).access_flags, c.access);
      EXPECT_TRUE(c.advanced || sheet.activate(0));
      c.ok ? sheet.ok() : sheet.cancel();
    });
    Bytes out(kFullDevModeSize);
    EXPECT_EQ(
        c.advanced
            ? ::DrvAdvancedDocumentProperties(nullptr, p1_, kFixturePrinter, AsRecord(out), nullptr)
            : ::DrvDocumentProperties(nullptr, p1_, kFixturePrinter, AsRecord(out), nullptr,
                                      platform::kDmModePrompt | platform::kDmModeCopy),
        c.answer);
    EXPECT_EQ(LoadU16(out.data(), kDmSize), c.ok ? 220 : 0);
    EXPECT_EQ(Dword(u"ExportPrinting"), c.export_after);
    std::unique_ptr<GAttributeComposite> stored(
        LoadNamedObjectAs<GAttributeComposite>(DriverData(), RWWString(u"365")));
    EXPECT_EQ(SignedValueOr(stored.get(), 310, -1), c.stored_310);
    EXPECT_NE(SheetLog().find(c.log), std::string::npos) << SheetLog();
    EXPECT_NE(SheetLog().find("header 6 P1"), std::string::npos);
    platform::ClearPropertySheetLog();
  }
}

// Every page's apply hands the sheet an OK: a change made after the first
// is saved by the next.
TEST_F(Sheets, EachApplySavesWhatTheLastLeftUnsaved) {
  int applies = 0;
  SetTestPageApply([&](GUIData& host) {
    SetValueIfPresent(FindComposite(host.settings, 365), 310, ++applies == 1 ? 7 : 9);
  });
  OnSheet([](SheetDriver& sheet) {
    EXPECT_TRUE(sheet.activate(0));
    sheet.ok();
  });
  Bytes out(kFullDevModeSize);
  EXPECT_EQ(Properties(&out, nullptr, platform::kDmModePrompt | platform::kDmModeCopy), 1);
  std::unique_ptr<GAttributeComposite> stored(
      LoadNamedObjectAs<GAttributeComposite>(DriverData(), RWWString(u"365")));
  EXPECT_EQ(applies, 2);
  EXPECT_EQ(SignedValueOr(stored.get(), 310, -1), 9);
}

TEST_F(Sheets, TheDeviceSheetStampsAChangedConfiguration) {
  platform::SetHostProgramPath(kShell);
  SetTestPageApply(
      [](GUIData& host) { SetValueIfPresent(FindComposite(host.settings, 365), 310, 1); });
  OnSheet([&](SheetDriver& sheet) {
    EXPECT_EQ(sheet.pages(), 7u);
    EXPECT_EQ(TestPluginAt(0).page_flags, kUIDevicePages);
    EXPECT_EQ(TestPluginAt(0).access_flags, kUIAccessNoPrinterWide);
    std::unique_ptr<GAttributeComposite> kept(
        LoadNamedObjectAs<GAttributeComposite>(DriverData(), RWWString(u"PhySetting")));
    EXPECT_EQ(SignedValueOr(kept.get(), 310, -1), 0);
    EXPECT_EQ(Dword(u"ExportConfig"), 1u);
    sheet.ok();
  });
  EXPECT_EQ(::PrinterProperties(nullptr, p1_), 1);
  EXPECT_EQ(Dword(u"ExportConfig"), 0u);
  EXPECT_EQ(Text(u"LastUpdateType"), u"User");
  // "%2.2d%s%2.2d%s%4.4d" of 12, "/ ", 6, "/ ", 2026 in UTF-16LE.
  const RWWString date = Text(u"LastUpdated");
  Bytes units;
  for (RWSize i = 0; i < date.Length(); ++i) {
    units.push_back(std::uint8_t(date[i]));
    units.push_back(std::uint8_t(date[i] >> 8));
  }
  EXPECT_EQ(units, (Bytes{0x31, 0, 0x32, 0, 0x2F, 0, 0x20, 0, 0x30, 0, 0x36, 0,
                          0x2F, 0, 0x20, 0, 0x32, 0, 0x30, 0, 0x32, 0, 0x36, 0}));
}

// Every page the user opened hands the OK its apply, and only the last
// one's stores it: a sheet the service ends before that (a page's apply
// that throws) stores nothing of the OK and hands out no record, though the
// first page's apply saved its settings. Once stored, the OK stands and is
// the answer, whatever the sheet's end meets after it (memory short as its
// windows close).
TEST_F(Sheets, AnOkNotEveryPageAppliedStoresNothing) {
  for (int row = 0; row < 4; ++row) {
    const bool device = row % 2 == 0, stored = row >= 2;
    SCOPED_TRACE(testing::Message() << (device ? "the device sheet" : "the document sheet")
                                    << (stored ? ", short after the OK" : ""));
    int applies = 0;
    SetTestPageApply([&](GUIData& host) {
      if (++applies == 2 && !stored) throw 2;  // the service ends the sheet
      SetValueIfPresent(FindComposite(host.settings, 365), 310, 7);
    });
    OnSheet([stored](SheetDriver& sheet) {
      EXPECT_TRUE(sheet.activate(0));
      sheet.ok();
      if (stored) throw std::bad_alloc();
    });
    Bytes out(kFullDevModeSize);
    if (device) {
      EXPECT_EQ(::PrinterProperties(nullptr, p1_), stored ? 1 : 0);
    } else {
      EXPECT_EQ(::DrvDocumentProperties(nullptr, p1_, kFixturePrinter, AsRecord(out), nullptr,
                                        platform::kDmModePrompt | platform::kDmModeCopy) == 1,
                stored);
      EXPECT_EQ(LoadU16(out.data(), kDmSize), stored ? 220 : 0);
    }
    EXPECT_TRUE(stored || applies == 2);
    std::unique_ptr<GAttributeComposite> kept(
        LoadNamedObjectAs<GAttributeComposite>(DriverData(), RWWString(u"365")));
    EXPECT_EQ(SignedValueOr(kept.get(), 310, -1) == 7, stored);
    platform::ClearPropertySheetLog();
  }
}

// The sheet's calls as a host makes them: an OK that memory ran short for
// since the sheet began is refused, the output kept; one short before, stored.
TEST_F(Sheets, AnOkThatMemoryRanShortForSinceTheSheetBeganIsRefused) {
  for (const bool since : {false, true}) {
    SCOPED_TRACE(since);
    const auto shortage = [] {
      platform::AnswerAtBoundary(0, []() -> int { throw std::bad_alloc(); });
    };
    Bytes out(kFullDevModeSize);
    platform::DocumentPropertyHeader header{};
    header.printer = p1_;
    header.dev_mode_out = AsRecord(out);
    header.dev_mode_out_size = kFullDevModeSize;
    header.mode = platform::kDmModePrompt | platform::kDmModeCopy;
    platform::PropSheetUiInfo info{};
    info.service_callback = &StubService;
    info.lparam_init = reinterpret_cast<platform::LPARAM>(&header);
    if (!since) shortage();
    info.reason = platform::kPropSheetUiReasonInit;
    ASSERT_EQ(::DrvDocumentPropertySheets(&info, 0), 1);
    if (since) shortage();
    platform::SetResultInfo set{sizeof set, 0, nullptr, platform::kCpsuiOk};
    info.reason = platform::kPropSheetUiReasonSetResult;
    EXPECT_EQ(::DrvDocumentPropertySheets(&info, reinterpret_cast<platform::LPARAM>(&set)), !since);
    EXPECT_EQ(LoadU16(out.data(), kDmSize), since ? 0 : 220);
    info.reason = platform::kPropSheetUiReasonDestroy;
    EXPECT_EQ(::DrvDocumentPropertySheets(&info, 0), 1);
  }
}

TEST_F(Sheets, AccessFlagsFollowRightsServerSystemAndCaller) {
  const struct {
    bool remote, rights;
    platform::DWORD major;
    bool shell;
    platform::DWORD mode;
    std::uint32_t flags;
  } cases[] = {
      {false, true, 5, true, 0, 0},       {false, false, 5, true, 0, 0xE},
      {false, false, 4, true, 0, 0x2},    {false, false, 5, true, 0x40, 0xC},
      {false, false, 5, false, 0, 0xE},   {true, true, 5, true, 0, 0},
      {true, true, 5, false, 0, 0x2},     {true, true, 4, true, 0, 0x2},
      {true, false, 5, true, 0, 0xE},     {true, false, 4, true, 0x40, 0},
      {false, true, 5, true, 0x20, 0xD},  {false, true, 4, true, 0x20, 0x1},
      {true, false, 5, false, 0x10, 0x2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.remote << c.rights << c.major << c.shell << c.mode);
    platform::SetSystemVersion(
        c.major == 5 ? platform::SystemVersion{5, 1, 2600, platform::kVerPlatformWin32Nt}
                     : platform::SystemVersion{4, 10, 1, platform::kVerPlatformWin32Windows});
    platform::SetPrinterServer(kFixturePrinter, c.remote ? u"\\\\PRINTSRV" : u"");
    platform::SetPrinterAdministerDenied(!c.rights);
    platform::SetPrinterDataWriteFailure(kFixturePrinter, kWriteTestName, c.rights ? 0 : 5);
    platform::SetHostProgramPath(c.shell ? kShell : u"C:\\Apps\\WRITER.EXE");
    platform::DocumentPropertyHeader header{28, 0, p1_, nullptr, nullptr, nullptr, 0, c.mode};
    platform::PropSheetUiInfo info{};
    info.service_callback = &StubService;
    info.lparam_init = reinterpret_cast<platform::LPARAM>(&header);
    EXPECT_EQ(DriverData()->DrvDocumentPropertySheets(&info, 0), 1);
    EXPECT_EQ(TestPluginAt(0).access_flags, c.flags);
    info.reason = platform::kPropSheetUiReasonDestroy;
    EXPECT_EQ(DriverData()->DrvDocumentPropertySheets(&info, 0), 1);
    EXPECT_EQ(DriverData()->GetOwnHandle(), nullptr);
  }
}

TEST_F(Sheets, TheUpdateCheckOverTheHelper) {
  GDriverContext* context = DriverData();
  std::unique_ptr<GAttributeComposite> settings(context->CreateDefaultSettings());
  {
    GQCFUpdateCheck check(settings.get(), context);  // no helper installed
    EXPECT_EQ(check.RunUpdateCheck(RWWString(kFixturePrinter), kUpdateCheckInitialise), 0u);
    EXPECT_EQ(Text(GConfigurationImporter::kLastUpdateValue), u"ERROR");
  }
  FakeFeatureStore store;
  ASSERT_TRUE(store.Install());
  store.SetFeatures(u"printing", {u"Duplex"});
  {
    // System 5.1 is of family 4: a conversion imports nothing.
    GQCFUpdateCheck check(settings.get(), context);
    EXPECT_EQ(check.RunUpdateCheck(RWWString(kFixturePrinter), kUpdateCheckConversion), 0u);
    EXPECT_TRUE(store.Calls("QCFEnumFeatures").empty());
  }
  {
    // "factory/physical" is unknown: "factory/printing" is not exported.
    store.SetFeatures(u"factory/printing", {u"Duplex"});
    GQCFUpdateCheck check(settings.get(), context);
    EXPECT_EQ(check.ImportFactorySettings(RWWString(kFixturePrinter)), 0u);
    const auto calls = store.Calls("QCFEnumFeatures");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find("factory/physical"), std::string::npos);
  }
}

// Bad input through the exported entry points: every record of the device
// mode's fuzz corpus as the input of document properties and of a
// conversion, and headers that are missing.
Bytes* g_out = nullptr;
int ThroughEntryPoints(const std::uint8_t* data, std::size_t size) {
  std::uint8_t head[72] = {};
  std::memcpy(head, data, std::min(size, sizeof head));
  const std::size_t length =
      std::max<std::size_t>(sizeof head, LoadU16(head, kDmSize) + LoadU16(head, kDmDriverExtra));
  Bytes in(length);
  std::memcpy(in.data(), data, std::min(size, length));
  ::DrvDocumentProperties(nullptr, nullptr, kFixturePrinter, AsRecord(*g_out), AsRecord(in),
                          platform::kDmModeModify | platform::kDmModeCopy);
  platform::LONG needed = 1172;
  ::DrvConvertDevMode(kFixturePrinter, AsRecord(in), AsRecord(*g_out), &needed, 1);
  return 0;
}

TEST_F(Sheets, BadInputEndsCleanly) {
  Bytes out = OurRecord();
  g_out = &out;
  EXPECT_GT(ReplayCorpus(DRV_DEVMODE_CORPUS, &ThroughEntryPoints), 10);
  g_out = nullptr;
  platform::PropSheetUiInfo info{};
  EXPECT_EQ(::DrvDocumentPropertySheets(&info, 0), -1);
  EXPECT_EQ(DriverData()->DrvDocumentPropertySheets(nullptr, 0), -1);
  EXPECT_EQ(DriverData()->DrvDevicePropertySheets(&info, 0), -1);
  EXPECT_EQ(DriverData()->DocumentPropertiesWithoutSheet(nullptr), 0);
  // A second init before the first sheet's destroy frees the first's
  // record and pages (the leak check would see them).
  platform::DevicePropertyHeader device{12, 0, p1_, nullptr};
  info.lparam_init = reinterpret_cast<platform::LPARAM>(&device);
  info.service_callback = &StubService;
  for (platform::WORD reason : {0, 0, 2}) {
    info.reason = reason;
    EXPECT_EQ(DriverData()->DrvDevicePropertySheets(&info, 0), 1);
  }
  EXPECT_EQ(TestPluginAt(1).destroys, 2);
}

// The exports' corpus under its fuzz target's checks, with records that once
// came out unprintable, unsettled, half taken or past their outputs.
TEST_F(Sheets, TheExportsCorpusKeepsItsChecks) {
  devmode_exports_fuzz::g_printer = p1_;
  EXPECT_GT(ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
