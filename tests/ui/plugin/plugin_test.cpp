// The plug-in's entry points on the printer fixture: counts, the records
// they fill, the copy of installed options, the instructions dialog, the
// job-storage notice and the resource script, with the default error
// handler in force.
#include <gtest/gtest.h>

#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/model_lookup.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"
#include "output/core/peripheral_composite.h"
#include "platform/host/modules.h"
#include "platform/host/threads.h"
#include "resources/resource_library.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/ui_driver.h"
#include "ui/framework/installed_options_copy.h"
#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/timed_dialog.h"
#include "ui/plugin/ui_plugin.h"

using namespace platform;
using testing_support::UiDialog;

namespace {

// The fixture's support file path names the resource library.
constexpr char16_t kLibrary[] = u"KVQCF.DLL";

std::int32_t ValueOf(MPersistentObject* in, std::uint32_t key) {
  return SignedValueOr(in, key, -1);
}

class PluginTest : public testing_support::PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    ASSERT_TRUE(AddModule({kLibrary, {}, {}}));
    ASSERT_TRUE(AddModuleResources(kLibrary, resources::ResourceLibrary()));
    host.driver_data = DriverData();
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    host.configuration = configuration.Get();
  }
  void TearDown() override {
    EXPECT_EQ(ResourceLibraryLoads(), 0u);
    ui.ExpectAllDone();
    PrinterFixture::TearDown();
  }
  // The printer object's device 101 becomes a generator of `kind` (0: none).
  void SetLanguage(RWClassID kind) {
    auto* printer = static_cast<GPeripheralComposite*>(configuration->FindByKey(kPrinterObjectKey));
    if (kind == kGZdl5eId) return;
    delete printer->RemoveByKey(101);
    const RWCString name("Device");
    if (kind == kGVexalonId) printer->AddChild(new GVexalon(name, nullptr, nullptr, 101, 0, 0, 0));
    if (kind == kGPostScriptId)
      printer->AddChild(new GPostScript(name, nullptr, nullptr, 101, 0, 0, 0));
  }
  MPersistentObject* Installed() { return settings->FindByKey(kInstalledOptionsKey); }
  MPersistentObject* Options() {
    return FindComposite(ConfigurationTreeOf(configuration.Get()), kOptionsKey);
  }

  testing_support::UiDriver ui;
  GCountedPtr settings{testing_support::BuildFixtureDefaults()};
  GCountedPtr configuration{testing_support::BuildFixtureConfiguration()};
  GUIData host;
};

// Page records with their entries; the titles are freed as the host would.
struct Records {
  std::vector<PropSheetPageW> pages;
  std::vector<UIPageEntry> entries;
  Records(GUIData& host, std::size_t made, std::uint32_t count) : pages(made), entries(made) {
    for (std::size_t i = 0; i < made; ++i) {
      pages[i].size = kPropSheetPageSize;
      pages[i].lparam = reinterpret_cast<LPARAM>(&entries[i]);
      entries[i].host = &host;
    }
    host.pages = pages.data();
    host.page_count = count;
  }
  ~Records() {
    for (auto& page : pages)
      delete[] page.title;
  }
  UINT Template(std::size_t i) const {
    UINT id = 0;
    return IsIntResource(pages[i].template_name, &id) ? id : 0;
  }
};

TEST_F(PluginTest, CountsByPageFlagsLanguageAndColour) {
  struct Case {
    std::uint32_t flags;
    RWClassID language;
    std::int16_t count;
  } const cases[] = {{1, kGZdl5eId, 7}, {2, kGPostScriptId, 8}, {3, kGVexalonId, 7},
                     {1, 0, 7},         {4, kGPostScriptId, 2}, {5, kGPostScriptId, 10},
                     {0, kGZdl5eId, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flags << " " << c.language);
    configuration = GCountedPtr(testing_support::BuildFixtureConfiguration());
    host.configuration = configuration.Get();
    SetLanguage(c.language);
    host.page_flags = c.flags;
    EXPECT_EQ(UI_INITIALIZE(&host, 0), c.count);
  }
  EXPECT_EQ(UI_INTERFACEVERSION(), 2u);
  EXPECT_EQ(UI_SETTINGSTOCONFIG(&host), 0);
  EXPECT_EQ(ResourceLibraryLoads(), 0u);  // counting loads nothing
}

TEST_F(PluginTest, WithoutTheColourPageSixAndTwo) {
  // The cached value is read on first use: a printer whose 339 is 0.
  auto* printer = dynamic_cast<GPeripheral*>(DriverData()->GetConfiguration());
  ASSERT_TRUE(SetValueIfPresent(printer->GetConfiguration(), kCachedValueKey, 0));
  host.page_flags = 1;
  EXPECT_EQ(UI_INITIALIZE(&host, 0), 6);
  host.page_flags = 4;
  EXPECT_EQ(UI_INITIALIZE(&host, 0), 2);
}

TEST_F(PluginTest, FillsRecordsInPageOrderAndDestroysOnlyItsOwn) {
  struct Case {
    std::uint32_t flags;
    std::uint16_t job_storage;  // settings 520
    std::int16_t index;
    std::uint32_t count;  // the host's records (10 are made)
    std::int16_t answer;
    std::vector<UINT> templates;  // from record `index` on
  } const cases[] = {
      {3, 1, 0, 10, 7, {3000, 6000, 2000, 15000, 1000, 14000}},
      {1, 0, 2, 10, 6, {3000, 6000, 2000, 1000, 14000}},
      {4, 0, 1, 10, 2, {12000, 7000}},
      {5, 1, 0, 10, 9, {3000, 6000, 2000, 15000, 1000, 14000, 12000, 7000}},
      {3, 1, 7, 9, 7, {3000, 6000}},  // never past the host's count
      {3, 1, 12, 10, 7, {}},
      {3, 1, 0, 0, 7, {}},
  };
  const std::map<UINT, std::u16string> titles = {{3000, u"Finishing"}, {6000, u"Effects"},
                                                 {2000, u"Paper"},     {15000, u"Job Retention"},
                                                 {1000, u"Basics"},    {14000, u"Color"}};
  int other_page = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flags << " " << c.index);
    SetValueIfPresent(Installed(), kJobStorageKey, c.job_storage);
    host.page_flags = c.flags;
    Records records(host, 10, c.count);
    records.pages[9].instance = reinterpret_cast<HINSTANCE>(&other_page);  // another plug-in's
    records.entries[9].page_object = &other_page;
    ASSERT_EQ(UI_INITIALIZE(&host, c.index), c.answer);
    ASSERT_NE(host.context, nullptr);
    for (std::size_t i = 0; i < 9; ++i) {
      const std::size_t built = i - c.index;
      const bool filled = i >= std::size_t(c.index) && built < c.templates.size();
      const PropSheetPageW& page = records.pages[i];
      EXPECT_EQ(page.flags, filled ? 48u : 0u) << i;
      if (!filled) continue;
      EXPECT_EQ(page.instance, GetResourceModuleHandle());
      EXPECT_EQ(records.Template(i), c.templates[built]);
      EXPECT_EQ(page.dialog_procedure, PropertyPageProc);
      EXPECT_NE(records.entries[i].page_object, nullptr);
      const auto title = titles.find(c.templates[built]);
      EXPECT_EQ(page.title ? std::u16string(page.title) : u"",
                title == titles.end() ? u"" : title->second);
    }
    EXPECT_EQ(UI_DESTROY(&host), 0);
    EXPECT_EQ(host.context, nullptr);
    for (std::size_t i = 0; i < 9; ++i)
      EXPECT_EQ(records.entries[i].page_object, nullptr);
    EXPECT_EQ(records.entries[9].page_object, &other_page);
  }
}

TEST_F(PluginTest, ResetsTheStoredJobChoiceBeforeThePages) {
  struct Case {
    std::uint16_t disk, job_storage, choice, expected;
  } const cases[] = {{0, 1, 3, 0}, {0, 1, 1, 0}, {0, 1, 2, 2}, {1, 1, 3, 3}, {0, 0, 3, 3}};
  static_cast<GAttributeComposite*>(settings.Get())->AddChild(new GValueAttribute(0, 287));
  for (const Case& c : cases) {
    SetValueIfPresent(Installed(), kHardDiskKey, c.disk);
    SetValueIfPresent(Installed(), kJobStorageKey, c.job_storage);
    SetValueIfPresent(settings.Get(), 287, c.choice);
    host.page_flags = 1;
    Records records(host, 8, 8);
    UI_INITIALIZE(&host, 0);
    EXPECT_EQ(ValueOf(settings.Get(), 287), c.expected);
    UI_DESTROY(&host);
  }
}

// Hand-derived from the copy's steps over the fixture: options 313 0, 201
// 64, 202 range at 64, 204 0, 226 0, 231 0, 1211 0; installed options 925
// 64, 307 1000, 308 0, 239 0, 520 0, 310 0, 451 0, 274 7 and 313 0 added.
TEST_F(PluginTest, ConfigToSettingsCopiesTheInstalledOptions) {
  struct Case {
    const char* name;
    std::uint16_t state, memory, extra, disk, collation;  // O 313 201 1211 226 231
    // S 313, 925, 307, 308, 239, 520, 310, 451
    std::int32_t expected[8];
  } const cases[] = {
      {"not read from the printer", 1, 96, 0, 0, 1, {1, 64, 1000, 0, 0, 0, 0, 0}},
      {"64 MB, no disk", 2, 64, 0, 0, 1, {2, 64, 64, 1, 0, 0, 0, 0}},
      {"128 MB", 2, 128, 0, 0, 1, {2, 128, 64, 1, 0, 1, 1, 1}},
      {"64 MB and 64 more", 2, 64, 64, 0, 2, {2, 128, 64, 1, 0, 1, 2, 2}},
      {"a disk", 2, 64, 0, 3, 0, {2, 64, 64, 1, 1, 1, 0, 0}},
  };
  const std::uint32_t keys[] = {313, 925, 307, 308, 239, 520, 310, 451};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings = GCountedPtr(testing_support::BuildFixtureDefaults());
    configuration = GCountedPtr(testing_support::BuildFixtureConfiguration());
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    host.configuration = configuration.Get();
    auto* installed = static_cast<GAttributeComposite*>(Installed());
    installed->AddChild(new GValueAttribute(0, kConfigStateKey));
    installed->AddChild(new GAttributeComposite(314));
    const std::pair<std::uint32_t, std::uint16_t> options[] = {{313, c.state},     {201, c.memory},
                                                               {1211, c.extra},    {226, c.disk},
                                                               {231, c.collation}, {204, 1}};
    for (const auto& [key, value] : options)
      ASSERT_TRUE(SetValueIfPresent(Options(), key, value));
    // Paper path: the lower cassette installed, two installed mailboxes
    // (the first with bins 3, 4, 17 and 18), and a second part of the main
    // unit.
    auto* devices = static_cast<GAttributeComposite*>(Options()->FindByKey(kPaperHandlingKey));
    auto* bins = new GAttributeComposite(0);
    for (std::uint16_t id : {3, 4, 17, 18})
      bins->AddChild(new GBin(RWCString("Bin ") + RWCString(std::to_string(id).c_str()), id, 91));
    auto* mailbox = static_cast<GPaperHandlingDevice*>(devices->Children()[2].Get());
    mailbox->SetPart(6, bins);
    mailbox->SetInstalled(1);
    auto* second = new GPaperHandlingDevice(RWCString("MBX-2"), kOutputDevice, 1, 1, 1, 0, 0);
    second->SetPart(1, new GAttributeComposite(0));
    devices->AddChild(second);
    static_cast<GPaperHandlingDevice*>(devices->Children()[1].Get())->SetInstalled(1);
    static_cast<GPaperHandlingDevice*>(devices->Children()[0].Get())
        ->SetPart(2, new GAttributeComposite(0));

    EXPECT_EQ(UI_CONFIGTOSETTINGS(&host), 0);
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(ValueOf(installed, keys[i]), c.expected[i]) << keys[i];
    const bool copied = c.state == 2;
    EXPECT_EQ(FindStringAttribute(installed, 316)->GetValue(), copied ? "MBX-1" : "");
    EXPECT_EQ(FindStringAttribute(installed, 315)->GetValue(), copied ? "Lower Cassette" : "");
    EXPECT_EQ(ValueOf(installed, 213), copied ? 6 : 0);
    EXPECT_EQ(ValueOf(installed, 274), copied ? 1 : 7);
    auto* listed = FindComposite(installed, 314);
    ASSERT_EQ(listed->EntryCount(), copied ? 2u : 0u);
    for (std::uint32_t i = 0; i < listed->EntryCount(); ++i) {
      EXPECT_EQ(static_cast<GStringAttribute*>(listed->Children()[i].Get())->GetValue(),
                i == 0 ? "Bin 4" : "Bin 17");
    }
  }
}

TEST_F(PluginTest, ConfigToSettingsSkipsWhatIsMissing) {
  SetValueIfPresent(Options(), 313, 2);
  SetValueIfPresent(Options(), 201, 128);
  // No 313 in the settings: nothing changes.
  UI_CONFIGTOSETTINGS(&host);
  EXPECT_EQ(ValueOf(Installed(), 925), 64);
  // Without 213, 314, 315, 316 and 451 the rest is copied.
  auto* installed = static_cast<GAttributeComposite*>(Installed());
  installed->AddChild(new GValueAttribute(0, kConfigStateKey));
  for (std::uint32_t key : {213, 315, 316, 451})
    delete installed->RemoveByKey(key);
  SetValueIfPresent(Options(), 231, 1);
  static_cast<GPaperHandlingDevice*>(Options()->FindByKey(kPaperHandlingKey)->FindByKey(0))
      ->SetInstalled(1);
  UI_CONFIGTOSETTINGS(&host);
  EXPECT_EQ(ValueOf(installed, 925), 128);
  EXPECT_EQ(ValueOf(installed, 310), 1);
  // The automatic configuration without device values answers 603 and
  // copies nothing.
  SetValueIfPresent(Options(), 201, 64);
  GUIContext context(&host);
  EXPECT_EQ(context.AutoConfigure(), kNoDeviceValues);
  EXPECT_EQ(ValueOf(installed, 925), 128);
}

TEST_F(PluginTest, InstructionsDialogOwnedByTheFocusAndCancelRestores) {
  HMODULE library = LoadLibraryW(kLibrary);
  HWND window =
      CreateDialogParamW(library, MakeIntResourceW(kTimedDialogTemplate), nullptr, nullptr, 0);
  ASSERT_NE(window, nullptr);
  SetFocus(window);
  GAttributeComposite* before = host.settings;
  ui.OnDialog(7400, [&](UiDialog dialog) {
    EXPECT_EQ(GetParent(dialog.Handle()), window);
    EXPECT_EQ(dialog.Caption(), u"Print on Both Sides Instructions");
    host.context->GetSettingsView().SetValue(kJobStorageKey, 1);
    EXPECT_EQ(ValueOf(settings.Get(), kJobStorageKey), 1);
    dialog.Click(kIdCancel);
  });
  EXPECT_EQ(UI_INITIALIZE(&host, kInstructionsIndex), 1);
  EXPECT_EQ(host.settings, before);
  EXPECT_EQ(ValueOf(settings.Get(), kJobStorageKey), 0);
  UI_DESTROY(&host);
  DestroyWindow(window);
  FreeLibrary(library);
  // Without the resource library: 0 in both modes, nothing made.
  SetModuleLoadFailure(kLibrary, true);
  Records records(host, 8, 8);
  host.page_flags = 3;
  EXPECT_EQ(UI_INITIALIZE(&host, kInstructionsIndex), 0);
  EXPECT_EQ(UI_INITIALIZE(&host, 0), 0);
  EXPECT_EQ(host.context, nullptr);
  EXPECT_EQ(UI_DESTROY(&host), 0);
}

TEST_F(PluginTest, TimedDialogShowsItsTextsAndEndsOnTheWaitClock) {
  UseManualWaitClock();
  GTimedDialog notice(kTimedDialogTemplate, 10, u"P1", u"USB001", u"ALICE", u"REPORT", u"Hall");
  ui.OnDialog(kTimedDialogTemplate, [](UiDialog dialog) {
    const std::u16string texts[] = {u"P1", u"USB001", u"ALICE", u"REPORT", u"Hall"};
    for (int i = 0; i < kTimedDialogTexts; ++i)
      EXPECT_EQ(dialog.Text(kTimedDialogFirstText + i), texts[i]);
    EXPECT_EQ(dialog.Text(kTimedDialogShowAgainBox),
              u"In the &future, do not show this information");
    dialog.Check(kTimedDialogShowAgainBox, true);
    PumpMessages();
    AdvanceWaitClock(9999);
    EXPECT_EQ(PumpMessages(), 0u);  // the timer is not due
    AdvanceWaitClock(2);
    EXPECT_EQ(PumpMessages(), 1u);
  });
  EXPECT_EQ(notice.DoModal(nullptr, kLibrary), kIdOk);
  EXPECT_EQ(notice.GetShowAgain(), 0);
  SetModuleLoadFailure(kLibrary, true);
  EXPECT_EQ(notice.DoModal(nullptr, kLibrary), kNoResourceLibrary);
}

}  // namespace
