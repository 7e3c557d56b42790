// The plug-in's entry points, dialogs and resource script on the printer
// fixture, with the default error handler in force.
#include <gtest/gtest.h>

#include <optional>

#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/model_lookup.h"
#include "driver/plm_provider.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"
#include "output/core/peripheral_composite.h"
#include "platform/host/modules.h"
#include "platform/host/threads.h"
#include "resources/resource_library.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/scripted_agent.h"
#include "tests/support/ui_driver.h"
#include "ui/framework/installed_options_copy.h"
#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/timed_dialog.h"
#include "ui/plugin/ui_plugin.h"

using namespace platform;
using namespace std::string_literals;
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
      GUIFreeText(page.title);
  }
};

// On a printer without the Color page (the cached value, read on first
// use, is 0); the fill test counts it.
TEST_F(PluginTest, CountsByPageFlagsAndLanguage) {
  auto* printer = dynamic_cast<GPeripheral*>(DriverData()->GetConfiguration());
  ASSERT_TRUE(SetValueIfPresent(printer->GetConfiguration(), kCachedValueKey, 0));
  struct Case {
    std::uint32_t flags;
    RWClassID language;
    std::int16_t count;
  } const cases[] = {{1, kGZdl5eId, 6},      {2, kGPostScriptId, 7}, {3, kGVexalonId, 6}, {1, 0, 6},
                     {4, kGPostScriptId, 2}, {5, kGPostScriptId, 9}, {0, kGZdl5eId, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flags << " " << c.language);
    configuration = GCountedPtr(testing_support::BuildFixtureConfiguration());
    host.configuration = configuration.Get();
    SetLanguage(c.language);
    host.page_flags = c.flags;
    EXPECT_EQ(UI_INITIALIZE(&host, 0), c.count);
  }
  // The entries as the hook finds them, by name in the library's module.
  ASSERT_TRUE(ExportPluginEntryPoints(kDefaultOwnModulePath));
  using Version = std::uint32_t (*)();
  EXPECT_EQ(reinterpret_cast<Version>(GetProcAddress(OwnModule(), "UI_INTERFACEVERSION"))(), 2u);
  EXPECT_EQ(ResourceLibraryLoads(), 0u);  // counting loads nothing
}

// Also: 287 is set to 0 before any page when 239 is 0, 520 is not 0 and
// 287 is 1 or 3.
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
    SetValueIfPresent(Installed(), kJobStorageKey, c.job_storage);
    SetValueIfPresent(Installed(), kHardDiskKey, c.disk);
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

// The string `key` of `in`, "-" when missing; a composite's strings joined.
std::string Text(MPersistentObject* in, std::uint32_t key) {
  if (GStringAttribute* text = FindStringAttribute(in, key)) return text->GetValue().Data();
  GAttributeComposite* list = FindComposite(in, key);
  std::string joined = list ? "" : "-";
  for (std::uint32_t i = 0; list && i < list->EntryCount(); ++i)
    joined += static_cast<GStringAttribute*>(list->Children()[i].Get())->GetValue().Data() + ","s;
  return joined;
}

// Hand-derived from the copy's steps over the fixture: options 313 0, 201
// 64, 202 range at 64, 204 1 (set here), 226 0, 231 0, 1211 0; installed
// options 925 64, 307 1000, 308 0, 239 0, 520 0, 310 0, 451 0, 274 7, 213
// 0, 315 and 316 "", and 313 0 and 314 {} added; the lower cassette and
// two mailboxes installed (MBX-1's part 6 with bins 3, 4, 17, 18), and a
// second part of the main unit (current part 1).
TEST_F(PluginTest, ConfigToSettingsCopiesTheInstalledOptions) {
  struct Case {
    const char* name;
    std::uint16_t state, memory, extra, disk, collation;  // O 313 201 1211 226 231
    std::vector<std::uint32_t> missing;                   // taken out of S
    std::int32_t expected[8];                             // S 313 925 307 308 239 520 310 451
    int paths;  // S 316, 315, 314, 213, 274: 0 untouched, 1 copied, 2 missing but 274
  } const cases[] = {
      {"not read", 1, 96, 0, 0, 1, {}, {1, 64, 1000, 0, 0, 0, 0, 0}, 0},
      {"64 MB, no disk", 2, 64, 0, 0, 1, {}, {2, 64, 64, 1, 0, 0, 0, 0}, 1},
      {"128 MB", 2, 128, 0, 0, 1, {}, {2, 128, 64, 1, 0, 1, 1, 1}, 1},
      {"64 MB and 64", 2, 64, 64, 0, 2, {}, {2, 128, 64, 1, 0, 1, 2, 2}, 1},
      {"a disk", 2, 64, 0, 3, 0, {}, {2, 64, 64, 1, 1, 1, 0, 0}, 1},
      {"no 313", 2, 128, 0, 0, 1, {313}, {-1, 64, 1000, 0, 0, 0, 0, 0}, 0},
      {"no 213 ...", 2, 128, 0, 0, 1, {213, 314, 315, 316, 451}, {2, 128, 64, 1, 0, 1, 1, -1}, 2},
  };
  const std::string paths[3][3] = {
      {"", "", ""}, {"MBX-1", "Lower Cassette", "Bin 4,Bin 17,"}, {"-", "-", "-"}};
  const std::int32_t parts[3][2] = {{0, 7}, {6, 1}, {-1, 1}};
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
    for (std::uint32_t key : c.missing)
      delete installed->RemoveByKey(key);
    const std::pair<std::uint32_t, std::uint16_t> options[] = {{313, c.state},     {201, c.memory},
                                                               {1211, c.extra},    {226, c.disk},
                                                               {231, c.collation}, {204, 1}};
    for (const auto& [key, value] : options)
      ASSERT_TRUE(SetValueIfPresent(Options(), key, value));
    auto* devices = static_cast<GAttributeComposite*>(Options()->FindByKey(kPaperHandlingKey));
    auto* bins = new GAttributeComposite(0);
    for (std::uint16_t id : {3, 4, 17, 18})
      bins->AddChild(new GBin(RWCString("Bin ") + RWCString(std::to_string(id).c_str()), id, 91));
    auto device = [&](int i) {
      return static_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
    };
    devices->AddChild(new GPaperHandlingDevice(RWCString("MBX-2"), kOutputDevice, 1, 1, 1, 0, 0));
    device(3)->SetPart(1, new GAttributeComposite(0));
    device(2)->SetPart(6, bins);
    for (int i : {1, 2})
      device(i)->SetInstalled(1);
    device(0)->SetPart(2, new GAttributeComposite(0));

    EXPECT_EQ(UI_CONFIGTOSETTINGS(&host), 0);
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(ValueOf(installed, keys[i]), c.expected[i]) << keys[i];
    EXPECT_EQ(Text(installed, 316), paths[c.paths][0]);
    EXPECT_EQ(Text(installed, 315), paths[c.paths][1]);
    EXPECT_EQ(Text(installed, 314), paths[c.paths][2]);
    EXPECT_EQ(ValueOf(installed, 213), parts[c.paths][0]);
    EXPECT_EQ(ValueOf(installed, 274), parts[c.paths][1]);
  }
}

// The automatic configuration on P1's own configuration: the device values
// that the agent writes (131072 KB, status 2), then the copy.
TEST_F(PluginTest, AutoConfigureCopiesOnlyWhatTheDeviceUpdated) {
  GPLMProvider provider;
  GPortHandlerRegistry::Instance().Register(&provider, "KVPLM 1.0");
  host.configuration = DriverData()->GetConfiguration();
  static_cast<GAttributeComposite*>(Installed())->AddChild(new GValueAttribute(0, 313));
  GUIContext context(&host);
  const struct {
    const char16_t* model;  // null: no agent, so no device values
    std::uint32_t code;
    std::int32_t status, memory;  // S 313, 925
  } cases[] = {
      {nullptr, kNoDeviceValues, 0, 64}, {u"Other", 8, 0, 64}, {u"kv test PRO", 0, 2, 128}};
  for (const auto& c : cases) {
    std::optional<testing_support::ScriptedAgent> agent;
    if (c.model) agent.emplace(u"P1").SetText(u"MODEL_NAME", c.model);
    if (c.model) agent->SetDword(u"hrMemorySize", 131072);
    EXPECT_EQ(context.AutoConfigure(), c.code);
    EXPECT_EQ(ValueOf(Installed(), 313), c.status);
    EXPECT_EQ(ValueOf(Installed(), 925), c.memory);
  }
  GPortHandlerRegistry::Instance().Unregister("KVPLM 1.0");
}

TEST_F(PluginTest, InstructionsDialogOwnedByTheFocusAndCancelRestores) {
  HMODULE library = LoadLibraryW(kLibrary);
  HWND window =
      CreateDialogParamW(library, MakeIntResourceW(kTimedDialogTemplate), nullptr, nullptr, 0);
  ASSERT_NE(window, nullptr);
  SetFocus(window);
  ui.OnDialog(7400, [&](UiDialog dialog) {
    EXPECT_EQ(GetParent(dialog.Handle()), window);
    host.context->GetSettingsView().SetValue(kJobStorageKey, 1);
    EXPECT_EQ(ValueOf(settings.Get(), kJobStorageKey), 1);
    dialog.Click(kIdCancel);
  });
  EXPECT_EQ(UI_INITIALIZE(&host, kUIManualDuplexIndex), 1);
  EXPECT_EQ(ValueOf(settings.Get(), kJobStorageKey), 0);
  UI_DESTROY(&host);
  DestroyWindow(window);
  FreeLibrary(library);
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

TEST_F(PluginTest, BadHostRecordsAreRefusedOrSurvived) {
  EXPECT_EQ(UI_INITIALIZE(nullptr, 0) + UI_INITIALIZE(nullptr, kUIManualDuplexIndex) +
                UI_DESTROY(nullptr) + UI_CONFIGTOSETTINGS(nullptr) + UI_SETTINGSTOCONFIG(&host),
            0);
  host.page_flags = 3;
  Records records(host, 8, 8);
  host.size = 59;
  EXPECT_EQ(UI_INITIALIZE(&host, 0), 0);
  EXPECT_EQ(host.context, nullptr);
  EXPECT_EQ(records.pages[0].flags, 0u);
  // No settings, no configuration: the pages are built on nothing.
  host.size = kUIDataSize;
  host.settings = nullptr;
  host.configuration = nullptr;
  EXPECT_EQ(UI_INITIALIZE(&host, 0), 6);
  EXPECT_EQ(records.pages[3].template_name, MakeIntResourceW(1000));  // no 520: no Job Storage page
  EXPECT_EQ(UI_CONFIGTOSETTINGS(&host), 0);
  EXPECT_EQ(UI_DESTROY(&host), 0);
  // Without the resource library: 0 in both modes, nothing made.
  SetModuleLoadFailure(kLibrary, true);
  EXPECT_EQ(UI_INITIALIZE(&host, kUIManualDuplexIndex) + UI_INITIALIZE(&host, 0), 0);
  EXPECT_EQ(host.context, nullptr);
}

// Every template the plug-in and its dialogs name, and every text the
// driver quotes (the page titles are checked where the pages are filled).
TEST(ResourceScriptTest, HoldsThePagesDialogsAndTexts) {
  const ModuleResources library = resources::ResourceLibrary();
  const std::pair<UINT, std::u16string> strings[] = {
      {1051, u"Finishing"},
      {1052, u"Effects"},
      {1053, u"Paper"},
      {11041, u"Job Retention"},
      {1055, u"Basics"},
      {1056, u"Color"},
      {11029, u"Untitled"},
      {12111, u"UNTITLED"},
      {12001, u"Invalid DEVMODE structure"},
      {12002, u"Invalid resolution"},
      {12003, u"Paper size not supported on the device"},
      {12004, u"Mismatch: User selected a tray that has not been installed."},
      {12005, u"Mismatch: User selected duplexing when duplex unit not installed."},
      {12006, u"Mismatch: User selected collation when Printer Based Collation not enabled."},
      {14113, u"Auto-Configured"},
      {14119, u"Administrator-Configured"}};
  for (const auto& string : strings) {
    EXPECT_NE(std::find(library.strings.begin(), library.strings.end(), string),
              library.strings.end())
        << string.first;
  }
  const std::tuple<UINT, std::u16string, std::vector<int>> dialogs[] = {
      {3000, u"Finishing", {}},
      {6000, u"Effects", {}},
      {2000, u"Paper", {}},
      {15000, u"Job Storage", {}},
      {1000, u"Basics", {}},
      {14000, u"Color", {}},
      {12000, u"NT Forms", {}},
      {7000, u"Configure", {}},
      {7400, u"Print on Both Sides Instructions", {2070, 2071, 2072, 7405, 1, 2}},
      {11540, u"Job Storage Identification", {11541, 11542, 11543, 11544, 11545, 11546, 1}}};
  for (const auto& [id, caption, controls] : dialogs) {
    const auto dialog = std::find_if(library.dialogs.begin(), library.dialogs.end(),
                                     [&](const DialogTemplate& d) { return d.id == id; });
    ASSERT_NE(dialog, library.dialogs.end()) << id;
    EXPECT_EQ(dialog->caption, caption);
    for (int control : controls) {
      EXPECT_TRUE(std::any_of(dialog->items.begin(), dialog->items.end(),
                              [&](const DialogItemTemplate& item) { return item.id == control; }))
          << id << " " << control;
    }
  }
}

}  // namespace
