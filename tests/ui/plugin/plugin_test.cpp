// The plug-in's entry points, dialogs and resource script on the printer
// fixture, with the default error handler in force.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/property_sheet_hook.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"
#include "output/core/peripheral_composite.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/host/threads.h"
#include "resources/resource_library.h"
#include "support/fixture_printer.h"
#include "support/listed_printer.h"
#include "tests/support/sheet_driver.h"
#include "tests/ui/pages/plugin_fixture.h"
#include "ui/framework/installed_options_copy.h"
#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/job_storage_notice.h"
#include "ui/pages/timed_dialog.h"
#include "ui/plugin/ui_plugin.h"

using namespace platform;
using namespace std::string_literals;
using namespace support;
using namespace testing_support;

namespace {

constexpr const char16_t* kLibrary = kPluginLibrary;

std::int32_t ValueOf(MPersistentObject* in, std::uint32_t key) {
  return SignedValueOr(in, key, -1);
}

class PluginTest : public PluginFixture {
 protected:
  GAttributeComposite* Installed() { return FindComposite(settings.Get(), 365); }
};

using Records = PluginRecords;

// On a printer without the Color page (the fill test's printer has one).
TEST_F(PluginTest, CountsByPageFlagsAndLanguage) {
  auto* printer = dynamic_cast<GPeripheral*>(DriverData()->GetConfiguration());
  ASSERT_TRUE(SetValueIfPresent(printer->GetConfiguration(), kColorDeviceKey, 0));
  const struct {
    std::uint32_t flags;
    RWClassID language;  // of device 101: 788 the fixture's, 0 none
    std::int16_t count;
  } cases[] = {{1, 788, 6}, {2, 768, 7}, {3, 767, 6}, {1, 0, 6},
               {4, 768, 2}, {5, 768, 9}, {0, 0, 0}};
  auto* object = static_cast<GPeripheralComposite*>(configuration->FindByKey(kPrinterObjectKey));
  for (const auto& c : cases) {
    if (c.language != 788) delete object->RemoveByKey(101);
    if (c.language == 767) object->AddChild(new GVexalon({}, nullptr, nullptr, 101, 0, 0, 0));
    if (c.language == 768) object->AddChild(new GPostScript({}, nullptr, nullptr, 101, 0, 0, 0));
    host.page_flags = c.flags;
    EXPECT_EQ(UI_INITIALIZE(&host, 0), c.count) << c.flags << " " << c.language;
  }
}

// Also: 287 goes to 0 first when 239 is 0, 520 is not 0 and 287 is 1 or 3.
TEST_F(PluginTest, FillsRecordsInPageOrderAndDestroysOnlyItsOwn) {
  struct Case {
    std::uint32_t flags;
    std::uint16_t job_storage, disk, choice, choice_after;  // settings 520, 239, 287
    std::int16_t index;
    std::uint32_t count;  // the host's records (10 are made)
    std::int16_t answer;
    std::vector<UINT> templates;  // from record `index` on
  } const cases[] = {
      {3, 1, 0, 3, 0, 0, 10, 7, {3000, 6000, 2000, 15000, 1000, 14000}},
      {1, 0, 0, 3, 3, 2, 10, 6, {3000, 6000, 2000, 1000, 14000}},
      {4, 1, 0, 3, 3, 1, 10, 2, {12000, 7000}},
      {5, 1, 0, 1, 0, 0, 10, 9, {3000, 6000, 2000, 15000, 1000, 14000, 12000, 7000}},
      {3, 1, 0, 2, 2, 7, 9, 7, {3000, 6000}},  // never past the host's count
      {3, 1, 1, 3, 3, 12, 10, 7, {}},
      {3, 1, 0, 0, 0, 0, 0, 7, {}},
  };
  // Template -> title string (the texts are the resource test's).
  const std::map<UINT, UINT> titles = {{3000, 1051},   {6000, 1052}, {2000, 1053},
                                       {15000, 11041}, {1000, 1055}, {14000, 1056}};
  int other_page = 0;
  static_cast<GAttributeComposite*>(settings.Get())->AddChild(new GValueAttribute(0, 287));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flags << " " << c.index);
    SetValueIfPresent(Installed(), kJobRetentionKey, c.job_storage);
    SetValueIfPresent(Installed(), kPrinterHardDiskKey, c.disk);
    SetValueIfPresent(settings.Get(), 287, c.choice);
    host.page_flags = c.flags;
    Records records(host, 10, c.count);
    records.pages[9].instance = reinterpret_cast<HINSTANCE>(&other_page);  // another plug-in's
    records.entries[9].page_object = &other_page;
    ASSERT_EQ(UI_INITIALIZE(&host, c.index), c.answer);
    EXPECT_EQ(ValueOf(settings.Get(), 287), c.choice_after);
    for (std::size_t i = 0; i < 9; ++i) {
      const std::size_t built = i - c.index;
      const bool filled = i >= std::size_t(c.index) && built < c.templates.size();
      const PropSheetPageW& page = records.pages[i];
      EXPECT_EQ(page.flags, filled ? 48u : 0u) << i;
      if (!filled) continue;
      EXPECT_EQ(page.instance, GetResourceModuleHandle());
      EXPECT_EQ(page.template_name, MakeIntResourceW(c.templates[built]));
      EXPECT_EQ(page.dialog_procedure, PropertyPageProc);
      EXPECT_NE(records.entries[i].page_object, nullptr);
      RWWString title;
      const auto id = titles.find(c.templates[built]);
      if (id != titles.end()) LoadResString(id->second, title);
      EXPECT_TRUE(page.title ? title.Length() > 0 && title == page.title : title.IsNull());
    }
    EXPECT_EQ(UI_DESTROY(&host), 0);
    for (std::size_t i = 0; i < 9; ++i)
      EXPECT_EQ(records.entries[i].page_object, nullptr);
    EXPECT_EQ(records.entries[9].page_object, &other_page);
  }
}

// The string `key` of `in`, "-" when missing; a composite's strings listed.
std::string Text(MPersistentObject* in, std::uint32_t key) {
  if (GStringAttribute* text = FindStringAttribute(in, key)) return text->GetValue().Data();
  GAttributeComposite* list = FindComposite(in, key);
  std::string joined = list ? "" : "-";
  for (std::uint32_t i = 0; list && i < list->EntryCount(); ++i)
    joined += static_cast<GStringAttribute*>(list->Children()[i].Get())->GetValue().Data() + ","s;
  return joined;
}

// Hand-derived from the copy's steps over the fixture: options 202 at 64,
// 204 1 (set here); installed options 925 64, 307 1000, 274 7, the rest 0
// or "", with 313 0 and 314 {} added; the lower cassette and two mailboxes
// installed (MBX-1's part 6 with bins 3, 4, 17, 18), and a second part of
// the main unit (current part 1).
TEST_F(PluginTest, ConfigToSettingsCopiesTheInstalledOptions) {
  struct Case {
    const char* name;
    std::uint16_t state, memory, extra, disk, collation;  // O 313 201 1211 226 231
    std::vector<std::uint32_t> missing;                   // taken out of S
    std::int32_t expected[8];                             // S 313 925 307 308 239 520 310 451
    int paths;  // S 316|315|314,213,274: 0 untouched, 1 copied, 2 missing but 274
  } const cases[] = {
      {"not read", 1, 96, 0, 0, 1, {}, {1, 64, 1000, 0, 0, 0, 0, 0}, 0},
      {"64 MB, no disk", 2, 64, 0, 0, 1, {}, {2, 64, 64, 1, 0, 0, 0, 0}, 1},
      {"128 MB", 2, 128, 0, 0, 1, {}, {2, 128, 64, 1, 0, 1, 1, 1}, 1},
      {"64 MB and 64", 2, 64, 64, 0, 2, {}, {2, 128, 64, 1, 0, 1, 2, 2}, 1},
      {"a disk", 2, 64, 0, 3, 0, {}, {2, 64, 64, 1, 1, 1, 0, 0}, 1},
      {"no 313", 2, 128, 0, 0, 1, {313}, {-1, 64, 1000, 0, 0, 0, 0, 0}, 0},
      {"no 213 ...", 2, 128, 0, 0, 1, {213, 314, 315, 316, 451}, {2, 128, 64, 1, 0, 1, 1, -1}, 2},
  };
  const std::string paths[] = {"||,0,7", "MBX-1|Z7142|Bin 4,Bin 17,,6,1", "-|-|-,-1,1"};
  const std::uint32_t keys[] = {313, 925, 307, 308, 239, 520, 310, 451};
  GAttributeComposite* options = FindComposite(ConfigurationTreeOf(configuration.Get()), 228);
  auto* devices = FindComposite(options, kPaperHandlingKey);
  auto device = [&](int i) {
    return static_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
  };
  auto* bins = new GAttributeComposite(0);
  for (std::uint16_t id : {3, 4, 17, 18})
    bins->AddChild(new GBin(RWCString("Bin ") + RWCString(std::to_string(id).c_str()), id, 91));
  devices->AddChild(new GPaperHandlingDevice(RWCString("MBX-2"), kOutputDevice, 1, 1, 1, 0, 0));
  device(3)->SetPart(1, new GAttributeComposite(0));
  device(2)->SetPart(6, bins);
  device(1)->SetInstalled(1), device(2)->SetInstalled(1);
  device(0)->SetPart(2, new GAttributeComposite(0));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings = GCountedPtr(BuildFixtureDefaults());
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    GAttributeComposite* installed = Installed();
    installed->AddChild(new GValueAttribute(0, 313));
    installed->AddChild(new GAttributeComposite(314));
    for (std::uint32_t key : c.missing)
      delete installed->RemoveByKey(key);
    const std::pair<std::uint32_t, std::uint16_t> values[] = {{313, c.state},     {201, c.memory},
                                                              {1211, c.extra},    {226, c.disk},
                                                              {231, c.collation}, {204, 1}};
    for (const auto& [key, value] : values)
      ASSERT_TRUE(SetValueIfPresent(options, key, value));
    EXPECT_EQ(UI_CONFIGTOSETTINGS(&host), 0);
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(ValueOf(installed, keys[i]), c.expected[i]) << keys[i];
    EXPECT_EQ(Text(installed, 316) + "|" + Text(installed, 315) + "|" + Text(installed, 314) + "," +
                  std::to_string(ValueOf(installed, 213)) + "," +
                  std::to_string(ValueOf(installed, 274)),
              paths[c.paths]);
  }
  // The automatic configuration answers the device update's code, and
  // copies only after a success: without device values nothing changes.
  EXPECT_EQ(GUIContext(&host).AutoConfigure(), kNoDeviceValues);
  EXPECT_EQ(ValueOf(Installed(), 925), 128);
}

TEST_F(PluginTest, InstructionsDialogOwnedByTheFocusAndCancelRestores) {
  HMODULE library = LoadLibraryW(kLibrary);
  HWND window =
      CreateDialogParamW(library, MakeIntResourceW(kTimedDialogTemplate), nullptr, nullptr, 0);
  SetFocus(window);
  ui.OnDialog(7400, [&](UiDialog dialog) {
    EXPECT_EQ(GetParent(dialog.Handle()), window);
    host.context->GetSettingsView().SetValue(kJobRetentionKey, 1);
    EXPECT_EQ(ValueOf(settings.Get(), kJobRetentionKey), 1);
    dialog.Click(kIdCancel);
  });
  EXPECT_EQ(UI_INITIALIZE(&host, kUIManualDuplexIndex), 1);
  EXPECT_EQ(ValueOf(settings.Get(), kJobRetentionKey), 0);
  UI_DESTROY(&host);
  DestroyWindow(window);
  FreeLibrary(library);
}

TEST_F(PluginTest, TimedDialogAndPluginWithAndWithoutTheLibrary) {
  UseManualWaitClock();
  const RWWString texts[] = {u"P1", u"USB001", u"ALICE", u"REPORT", u"Hall"};
  GTimedDialog notice(kTimedDialogTemplate, 10, texts[0], texts[1], texts[2], texts[3], texts[4]);
  ui.OnDialog(kTimedDialogTemplate, [&](UiDialog dialog) {
    for (int i = 0; i < kTimedDialogTexts; ++i)
      EXPECT_EQ(dialog.Text(kTimedDialogFirstText + i), texts[i].Data());
    dialog.Check(kTimedDialogShowAgainBox, true);
    AdvanceWaitClock(9999);
    EXPECT_EQ(PumpMessages(), 0u);  // the timer is not due
    AdvanceWaitClock(2);
    EXPECT_EQ(PumpMessages(), 1u);
  });
  EXPECT_EQ(notice.DoModal(nullptr, kLibrary), kIdOk);
  EXPECT_EQ(notice.GetShowAgain(), 0);
  SetModuleLoadFailure(kLibrary, true);
  EXPECT_EQ(notice.DoModal(nullptr, kLibrary), kNoResourceLibrary);
  Records records(host, 8, 8);  // the plug-in then answers 0 in both modes, making nothing
  EXPECT_EQ(UI_INITIALIZE(&host, kUIManualDuplexIndex) + UI_INITIALIZE(&host, 0), 0);
  SetModuleLoadFailure(kLibrary, false), LoadResourceLibrary(kLibrary), UI_DESTROY(&host);
  EXPECT_EQ(ResourceLibraryLoads(), 1u);  // no context made, and another sheet's load stays
  ReleaseResourceLibrary();
}

// A document's notice, as the document events hand it over: its texts
// in the controls' order, and the box read back as the show-again flag.
TEST_F(PluginTest, DocumentNoticeShowsItsTextsAndAnswersTheBox) {
  const GJobStorageNotice notice{{u"P1", u"USB001", u"ALICE", u"JOB(01-99)", u""}, kLibrary, ""};
  for (bool ticked : {true, false}) {
    ui.OnDialog(kTimedDialogTemplate, [&](UiDialog dialog) {
      for (int i = 0; i < kTimedDialogTexts; ++i)
        EXPECT_EQ(dialog.Text(kTimedDialogFirstText + i), notice.texts[i].Data());
      dialog.Check(kTimedDialogShowAgainBox, ticked);
      dialog.Click(kIdOk);
    });
    EXPECT_EQ(ShowJobStorageNotice(notice), ticked ? 0 : 1);
  }
}

TEST_F(PluginTest, BadHostRecordsAreRefusedOrSurvived) {
  EXPECT_EQ(UI_INITIALIZE(nullptr, 0) + UI_INITIALIZE(nullptr, kUIManualDuplexIndex) +
                UI_DESTROY(nullptr) + UI_CONFIGTOSETTINGS(nullptr) + UI_SETTINGSTOCONFIG(&host),
            0);
  host.page_flags = 3;
  Records records(host, 8, 8);
  host.size = 59;
  EXPECT_EQ(UI_INITIALIZE(&host, 0) + records.pages[0].flags, 0u);
  // No settings, no configuration: the pages are built on nothing.
  host.size = kUIDataSize, host.settings = nullptr, host.configuration = nullptr;
  EXPECT_EQ(UI_INITIALIZE(&host, 0), 6);
  EXPECT_EQ(records.pages[3].template_name, MakeIntResourceW(1000));  // no 520: no Job Storage
  EXPECT_EQ(UI_CONFIGTOSETTINGS(&host) + UI_DESTROY(&host), 0);
}

// Every template the plug-in and its dialogs name, and every text the
// driver quotes, typed once.
TEST(ResourceScriptTest, HoldsThePagesDialogsAndTexts) {
  const ModuleResources library = resources::ResourceLibrary();
  // clang-format off
  const std::pair<UINT, std::u16string> strings[] = {
      {1051, u"Finishing"}, {1052, u"Effects"}, {1053, u"Paper"}, {11041, u"Job Retention"},
      {1055, u"Basics"}, {1056, u"Color"}, {11029, u"Untitled"}, {12111, u"UNTITLED"},
      {12001, u"Invalid DEVMODE structure"}, {12002, u"Invalid resolution"},
      {12003, u"Paper size not supported on the device"},
      {12004, u"Mismatch: User selected a tray that has not been installed."},
      {12005, u"Mismatch: User selected duplexing when duplex unit not installed."},
      {12006, u"Mismatch: User selected collation when Printer Based Collation not enabled."},
      {14113, u"Auto-Configured"}, {14119, u"Administrator-Configured"}};
  const std::tuple<UINT, std::u16string, std::vector<std::pair<int, std::u16string>>> dialogs[] = {
      {3000, u"Finishing", {}}, {6000, u"Effects", {}}, {2000, u"Paper", {}},
      {15000, u"Job Storage", {}}, {1000, u"Basics", {}}, {14000, u"Color", {}},
      {12000, u"NT Forms", {}}, {7000, u"Configure", {}},
      {7400, u"Print on Both Sides Instructions",
       {{2070, u""}, {2071, u""}, {2072, u""}, {7405, u""}, {1, u"OK"}, {2, u"Cancel"}}},
      {11540, u"Job Storage Identification",
       {{11541, u""}, {11542, u""}, {11543, u""}, {11544, u""}, {11545, u""},
        {11546, u"In the &future, do not show this information"}, {1, u"OK"}}}};
  // clang-format on
  for (const auto& string : strings)
    EXPECT_TRUE(std::ranges::count(library.strings, string)) << string.first;
  for (const auto& [id, caption, controls] : dialogs) {
    const auto dialog = std::ranges::find(library.dialogs, id, &DialogTemplate::id);
    ASSERT_NE(dialog, library.dialogs.end()) << id;
    EXPECT_EQ(dialog->caption, caption);
    for (const auto& [control, text] : controls) {
      const auto item = std::ranges::find(dialog->items, control, &DialogItemTemplate::id);
      EXPECT_TRUE(item != dialog->items.end() && item->text == text) << id << " " << control;
    }
  }
}

// A host record's configuration tree is the job settings the driver reads,
// whichever form the printer object's configuration set has.
TEST_F(PluginTest, TheConfigurationTreeIsTheJobSettingsOfEitherForm) {
  for (MPersistentComposite* built : {BuildFixtureDataFile(), BuildListedDataFile()}) {
    std::unique_ptr<MPersistentComposite> root(built);
    GAttributeComposite* tree = ConfigurationTreeOf(root->FindByKey(kDriverConfigurationKey));
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(tree->Key() == kDeviceSettingsKey && FindDirectChild(tree, 359));
  }
}

// The library as P1's plug-in (the defaults' 63), loaded by the sheet hook
// through its exports: its five pages open; OK and Cancel reach each.
TEST_F(PluginTest, ThroughTheSheetServiceAsAPlugIn) {
  std::unique_ptr<MPersistentComposite> root(BuildFixtureDataFile());
  auto* names = new GAttributeComposite(kPluginNamesKey);
  names->AddChild(new GStringAttribute("UI.DLL", 0));
  auto* printer = FindOfClass<GPeripheral>(root->FindByKey(353), kPrinterObjectKey);
  FindComposite(printer->GetConfiguration(), 359)->AddChild(names);
  ASSERT_TRUE(RewriteDataFile(*root));
  ASSERT_TRUE(ExportPluginEntryPoints(kDefaultOwnModulePath));
  HANDLE p1 = nullptr;
  const PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
  ASSERT_EQ(OpenPrinterW(kFixturePrinter, &p1, &all), 1);
  for (bool ok : {true, false}) {
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_EQ(sheet.pages(), 5u);
      for (std::size_t i = 0; i < 5; ++i)
        EXPECT_TRUE(sheet.activate(i));
      ok ? sheet.ok() : sheet.cancel();
    });
    std::vector<std::uint8_t> out(kFullDevModeSize);
    const auto record = reinterpret_cast<DevModeW*>(out.data());
    EXPECT_EQ(DrvDocumentProperties(nullptr, p1, kFixturePrinter, record, nullptr,
                                    kDmModePrompt | kDmModeCopy),
              ok ? 1 : 2);
    const std::string log = SheetLog();
    EXPECT_NE(log.find(ok ? "apply 4, result 1" : "reset 4"), std::string::npos) << log;
    ClearPropertySheetLog();
  }
  ClosePrinter(p1);
}

// With the flip modifier 929 the printer holds portrait at 90 degrees;
// the record handed back and the Basics page (the fourth page) still say
// what the record asked and what the user then clicked.
TEST_F(PluginTest, TheFlippedOrientationComesBackAsChosen) {
  std::unique_ptr<MPersistentComposite> root(BuildFixtureDataFile());
  MPersistentObject* job =
      FindOfClass<GPeripheral>(root->FindByKey(353), kPrinterObjectKey)->GetConfiguration();
  job->AddChild(new GValueAttribute(1, kOrientationFlipKey));
  auto* names = new GAttributeComposite(kPluginNamesKey);
  names->AddChild(new GStringAttribute("UI.DLL", 0));
  FindComposite(job, 359)->AddChild(names);
  ASSERT_TRUE(RewriteDataFile(*root) && ExportPluginEntryPoints(kDefaultOwnModulePath));
  HANDLE p1 = nullptr;
  const PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
  ASSERT_EQ(OpenPrinterW(kFixturePrinter, &p1, &all), 1);
  std::vector<std::uint8_t> in(kFullDevModeSize), out(kFullDevModeSize);
  auto call = [&](DWORD mode) {
    return DrvDocumentProperties(nullptr, p1, kFixturePrinter, reinterpret_cast<DevModeW*>(&out[0]),
                                 reinterpret_cast<DevModeW*>(&in[0]), mode | kDmModeCopy);
  };
  for (int asked : {1, 2}) {  // DMORIENT_PORTRAIT, DMORIENT_LANDSCAPE (control 1031, 1032)
    ASSERT_EQ(call(0), 1);
    in = out, in[76] = static_cast<std::uint8_t>(asked);
    ASSERT_EQ(call(kDmModeModify), 1);
    EXPECT_EQ(out[76], asked);
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(3));
      EXPECT_TRUE(sheet.page().Checked(1030 + asked));
      EXPECT_TRUE(sheet.page().Click(1033 - asked));
      EXPECT_TRUE(sheet.page().Checked(1033 - asked) && !sheet.page().Checked(1030 + asked));
      sheet.ok();
    });
    ASSERT_EQ(call(kDmModeModify | kDmModePrompt), 1);
    EXPECT_EQ(out[76], 3 - asked);
  }
  ClosePrinter(p1);
}

}  // namespace
