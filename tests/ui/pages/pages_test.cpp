// The pages' groups, dialogs and rules on the printer fixture, with the
// default error handler in force. Expected orders are the pages' tables
// (main control of each group, in order), typed from the pages' layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/fonts/font_sources.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/model_lookup.h"
#include "driver/plm_provider.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"
#include "output/core/peripheral_composite.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/ui/property_sheet.h"
#include "platform/ui/ui_host.h"
#include "platform/ui/window.h"
#include "resources/resource_library.h"
#include "services/os_factory.h"
#include "support/fixture_printer.h"
#include "tests/support/sheet_driver.h"
#include "tests/support/ui_driver.h"
#include "tests/ui/pages/plugin_fixture.h"
#include "ui/framework/control_kind.h"
#include "ui/framework/installed_options_copy.h"
#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/configure_features.h"
#include "ui/pages/font_card_list.h"
#include "ui/pages/inert_rule.h"
#include "ui/pages/page_contents.h"
#include "ui/pages/page_groups.h"
#include "ui/pages/paper_features.h"
#include "ui/plugin/page_builders.h"
#include "ui/plugin/ui_plugin.h"

using namespace platform;
using support::UiDialog;

namespace {

class PagesTest : public testing_support::PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    host.page_flags = 5;  // document and device pages
  }
  // UI_DESTROY, and the titles freed as the host would.
  void Destroy() {
    EXPECT_EQ(UI_DESTROY(&host), 0);
    records.FreeTitles();
  }
  void TearDown() override {
    Destroy();
    PluginFixture::TearDown();
  }
  // The printer object's language becomes a generator of `kind`.
  void UseLanguage(RWClassID kind) {
    auto* printer = static_cast<GPeripheralComposite*>(configuration->FindByKey(kPrinterObjectKey));
    delete printer->RemoveByKey(101);
    const RWCString name("Device");
    if (kind == kGVexalonId) printer->AddChild(new GVexalon(name, nullptr, nullptr, 101, 0, 0, 0));
    if (kind == kGPostScriptId)
      printer->AddChild(new GPostScript(name, nullptr, nullptr, 101, 0, 0, 0));
  }
  GPropertyPage* PageOf(std::uint32_t template_id) {
    for (auto& entry : entries) {
      auto* page = static_cast<GPropertyPage*>(entry.page_object);
      if (page && page->TemplateId() == template_id) return page;
    }
    ADD_FAILURE() << "no page " << template_id;
    return nullptr;
  }
  template <class T>
  T* Wrapper(GDialogBase* page, int main_control) {
    for (GControlWrapper* wrapper : page->Wrappers())
      if (wrapper->GetControlId(0) == main_control) return dynamic_cast<T*>(wrapper);
    return nullptr;
  }

  testing_support::PluginRecords records{host, 10, 10};
  std::vector<PropSheetPageW>& pages = records.pages;
  std::vector<UIPageEntry>& entries = records.entries;
};

// Every control of a page's or dialog's groups is in its template, every
// help id other than -1 is in its help table, and the groups' main controls
// come in the table's order.
void ExpectBuilt(const ModuleResources& library, GDialogBase* dialog,
                 const std::vector<int>& mains) {
  SCOPED_TRACE(dialog->TemplateId());
  const auto found =
      std::find_if(library.dialogs.begin(), library.dialogs.end(),
                   [&](const DialogTemplate& d) { return d.id == dialog->TemplateId(); });
  ASSERT_NE(found, library.dialogs.end());
  std::vector<int> order;
  for (GControlWrapper* wrapper : dialog->Wrappers()) {
    order.push_back(wrapper->GetControlId(0));
    for (const GControlEntry* entry = wrapper->GetIdTable(); entry->control_id; ++entry) {
      EXPECT_TRUE(
          std::any_of(found->items.begin(), found->items.end(),
                      [&](const DialogItemTemplate& item) { return item.id == entry->control_id; }))
          << entry->control_id;
      const std::vector<DWORD>& help = dialog->HelpTable();
      bool listed = false;
      for (std::size_t i = 0; i + 1 < help.size(); i += 2)
        listed |= int(help[i]) == entry->control_id && std::int32_t(help[i + 1]) == entry->help_id;
      EXPECT_EQ(listed, entry->help_id != kNoHelp) << entry->control_id;
    }
  }
  if (!mains.empty()) {
    EXPECT_EQ(order, mains);
  }
}

TEST_F(PagesTest, GroupsAndDialogsFollowThePagesTables) {
  const std::vector<int> shared = {11525, 1070, 1011, 1013, 1015};
  auto with_shared = [&](std::vector<int> mains) {
    mains.insert(mains.end(), shared.begin(), shared.end());
    return mains;
  };
  const std::pair<std::uint32_t, std::vector<int>> page_tables[] = {
      {3000, with_shared({3010, 3011, 3013, 3024, 3026, 3015, 3018, 3031, 3035, 3034})},
      {6000, with_shared({6021, 6025, 6024, 6026, 6012, 6011, 6013})},
      {2000, with_shared({11586, 11553, 2064, 11554, 11585, 2015, 2024, 2016, 11582, 11584, 12138,
                          2021, 2025})},
      {15000, {5417, 18023, 11525, 1011, 1013, 1015, 18003}},
      {1000, with_shared({1021, 1031, 1050})},
      {14000,
       {14010, 14020, 14030, 14031, 14032, 14033, 14034, 14035, 14036, 14037, 14038, 14039, 14040,
        14050, 1070}},
      {12000, {12003, 11525}},
      {7000, {7013, 7026, 7023, 7024, 7025, 7037, 7071, 7069, 7073, 7049, 7052, 2021, 11525}}};
  // The inner dialogs by the page and button that keep them.
  struct Inner {
    std::uint32_t page;
    int button;
    std::uint32_t dialog;
    std::vector<int> mains;
  };
  const std::vector<Inner> inner = {
      {6000, 6013, 5000, {5012, 6533, 5002, 5016, 5008, 5020, 1070}},
      {2000, 2016, 8000, {2050, 11421, 11411, 2052}},
      {7000, 7071, 7100, {7105}},
      {7000, 7049, 7500, {7041, 7091, 7046, 7066, 7055, 7076, 7077, 7062}}};
  const Inner details[] = {
      {3000, 3034, 13001, {9002, 9015, 6044, 7074, 3021, 3023, 9020, 9033, 9034}},
      {3000, 3034, 9000, {9002, 9015, 6044, 3021, 3023, 1002}}};
  const ModuleResources library = resources::ResourceLibrary();
  SetValueIfPresent(FindComposite(settings.Get(), 365), kJobRetentionKey, 1);
  for (RWClassID kind : {kGZdl5eId, kGVexalonId, kGPostScriptId}) {
    SCOPED_TRACE(kind);
    if (kind != kGZdl5eId) UseLanguage(kind);
    ASSERT_GT(UI_INITIALIZE(&host, 0), 0);
    for (const auto& [id, mains] : page_tables)
      ExpectBuilt(library, PageOf(id), mains);
    std::vector<Inner> dialogs = inner;
    if (kind != kGPostScriptId) dialogs.push_back(details[kind == kGVexalonId]);
    for (const Inner& expected : dialogs) {
      auto* wrapper = Wrapper<GDialogButtonWrapper>(PageOf(expected.page), expected.button);
      ASSERT_NE(wrapper, nullptr) << expected.button;
      EXPECT_EQ(wrapper->Dialog()->TemplateId(), expected.dialog);
      ExpectBuilt(library, wrapper->Dialog(), expected.mains);
    }
    // No details dialog for another language: its button stays disabled.
    GControlWrapper* button = Wrapper<GControlWrapper>(PageOf(3000), 3034);
    EXPECT_EQ(button->GetFeature()->GetState() == kStateDisabled, kind == kGPostScriptId);
    Destroy();
  }
}

// Every control a wrapper names a kind for is of that kind in its page's or
// dialog's template, on every page of both sheets and every dialog the
// groups keep, for each language (the details dialog differs by language).
void ExpectKinds(const ModuleResources& library, GDialogBase* dialog) {
  SCOPED_TRACE(dialog->TemplateId());
  const auto found =
      std::find_if(library.dialogs.begin(), library.dialogs.end(),
                   [&](const DialogTemplate& d) { return d.id == dialog->TemplateId(); });
  ASSERT_NE(found, library.dialogs.end());
  for (GControlWrapper* wrapper : dialog->Wrappers()) {
    for (std::size_t i = 0; i < wrapper->GetControlCount(); ++i) {
      const GControlKind expected = wrapper->ExpectedKind(i);
      if (expected == GControlKind::kAny) continue;
      const int id = wrapper->GetControlId(i);
      const auto item = std::find_if(found->items.begin(), found->items.end(),
                                     [&](const DialogItemTemplate& item) { return item.id == id; });
      ASSERT_NE(item, found->items.end()) << id;
      EXPECT_TRUE(ControlKindFits(expected, KindOfControl(*item)))
          << id << " is a " << ControlKindName(KindOfControl(*item)) << ", its wrapper drives a "
          << ControlKindName(expected);
    }
    std::vector<GDialogBase*> inner;
    wrapper->CollectDialogs(&inner);
    for (GDialogBase* kept : inner)
      ExpectKinds(library, kept);
  }
}

TEST_F(PagesTest, EveryControlIsOfTheKindItsWrapperDrives) {
  const ModuleResources library = resources::ResourceLibrary();
  SetValueIfPresent(FindComposite(settings.Get(), 365), kJobRetentionKey, 1);
  for (RWClassID kind : {kGZdl5eId, kGVexalonId, kGPostScriptId}) {
    SCOPED_TRACE(kind);
    if (kind != kGZdl5eId) UseLanguage(kind);
    const int made = UI_INITIALIZE(&host, 0);
    ASSERT_GT(made, 0);
    for (int i = 0; i < made; ++i)
      if (entries[i].page_object)
        ExpectKinds(library, static_cast<GPropertyPage*>(entries[i].page_object));
    Destroy();
  }
}

// Records the class of each listener as it is added.
class RecordingContext : public GUIContext {
 public:
  using GUIContext::GUIContext;
  void AddListener(GListFeature* listener) override {
    auto* rule = dynamic_cast<GConstraintRule*>(listener);
    names.push_back(rule ? rule->Name() : "?");
    GUIContext::AddListener(listener);
  }
  std::vector<std::string> names;
};

TEST_F(PagesTest, RulesAreRegisteredInOrderByLanguage) {
  std::vector<std::string> expected = {
      "GFitToPaperNoticeRule", "GTrayMediaRule",        "GDuplexMediaRule",   "GBookletRule",
      "framework rule 5",      "GPermissionRule",       "GScaleConflictRule", "GSizeLimitRule",
      "GAutoConfigNoticeRule", "GTrueTypeBitmapRule",   "GTray1SyncRule",     "GTrayConflictRule",
      "GMemoryRule",           "GBackCoverBookletRule", "framework rule 15",  "GRasterizationRule",
      "framework rule 17",     "framework rule 18",     "GConfigStatusRule",  "framework rule 20"};
  GZdl5e zdl5(RWCString("Device"), nullptr, nullptr, 101, 0, 0, 0);
  GVexalon xl(RWCString("Device"), nullptr, nullptr, 101, 0, 0, 0);
  for (MPersistentObject* language :
       {static_cast<MPersistentObject*>(&zdl5), static_cast<MPersistentObject*>(&xl)}) {
    RecordingContext context(&host);
    BuildRules(&context, language);
    EXPECT_EQ(context.names, expected);
    expected.erase(expected.begin() + 15);  // kind 767: no rasterisation rule
  }
}

// The fixture's limits at 600 dpi: least 17385 1800 x 3000, most 17384
// 5100 x 8400; Letter 1 5100 x 6600 and A4 23 4960 x 7016 inside, Legal 5
// at the largest, Tabloid 3 6600 x 10200 above, Small Card 50 1200 x 1800
// below. Landscape media are added here with the sizes turned, but Letter
// stays upright (5100 x 6600: taller than the landscape limit's 5100).
TEST_F(PagesTest, PaperOutsideTheLimitsInBothOrientations) {
  auto* media = dynamic_cast<GMediaPool*>(
      GAttributeView(ConfigurationTreeOf(configuration.Get()), nullptr, true)
          .FindTyped(kMediaListKey, kGMediaPoolId));
  ASSERT_NE(media, nullptr);
  const std::tuple<std::uint16_t, std::int16_t, std::int16_t> turned[] = {
      {17385, 3000, 1800}, {17384, 8400, 5100}, {1, 5100, 6600},
      {3, 10200, 6600},    {50, 1800, 1200},    {23, 7016, 4960}};
  for (const auto& [id, width, height] : turned) {
    media->AddChild(new GMedia("", GSize16(width, height), GSize16(width, height), GSize16(0, 0), 1,
                               id, 600, 600, kModelMediumKey, 0, nullptr, nullptr));
  }
  GUIContext context(&host);
  GPaperSizeFeature size(&context);
  struct Case {
    std::int32_t orientation, resolution;
    std::uint16_t paper;
    bool outside;
  } const cases[] = {
      {0, 600, 1, false},  {0, 600, 5, false}, {0, 600, 3, true},    {0, 600, 50, true},
      {0, 600, 23, false}, {1, 600, 1, true},  {1, 600, 3, true},    {1, 600, 50, true},
      {1, 600, 23, false}, {0, 0, 3, false},   {0, 600, 999, false}, {0, 1200, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.orientation << " " << c.resolution << " " << c.paper);
    ASSERT_TRUE(SetValueIfPresent(settings.Get(), 265, c.orientation));
    ASSERT_TRUE(SetValueIfPresent(settings.Get(), 323, c.resolution));
    ASSERT_TRUE(SetValueIfPresent(settings.Get(), 324, c.resolution));
    EXPECT_EQ(size.IsOutsideSizeLimits(c.paper), c.outside);
  }
  ASSERT_TRUE(SetValueIfPresent(settings.Get(), 260, 3));
  ASSERT_TRUE(SetValueIfPresent(settings.Get(), 323, 600));
  ASSERT_TRUE(SetValueIfPresent(settings.Get(), 324, 600));
  EXPECT_TRUE(size.IsOutsideSizeLimits(0));  // the current paper
}

TEST_F(PagesTest, StatusLinesAndQualityChanges) {
  static_cast<GAttributeComposite*>(settings.Get())
      ->AddChild(new GValueAttribute(0, kDeviceUpdateStatusKey));
  GUIContext context(&host);
  GAutoConfigFeature config(&context);
  GOSFactory* services = GOSFactory::Instance();
  struct Case {
    std::int32_t state;
    const char16_t* update_type;
    int lines[4];  // 14113, 14118, 14119, 14114
  } const cases[] = {
      {2, u"Auto", {1, 1, 0, 0}}, {0, u"Admin", {0, 1, 1, 0}}, {1, u"", {0, 1, 0, 0}}};
  for (const Case& c : cases) {
    ASSERT_TRUE(SetValueIfPresent(settings.Get(), kDeviceUpdateStatusKey, c.state));
    services->SetPrinterDataString(DriverData(), RWWString(u"LastUpdateType"),
                                   RWWString(c.update_type));
    const std::uint32_t ids[] = {14113, 14118, 14119, 14114};
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(config.StatusLine(ids[i], 0), c.lines[i]) << ids[i] << " " << c.state;
  }
  GQualityFeature quality(&context);
  EXPECT_EQ(quality.IsCustom(), 0);
  for (std::uint32_t key : {323u, 324u, 260u}) {
    context.BeginUpdate(nullptr);
    std::int32_t value = 0;
    context.GetSettingsView().GetValue(key, value);
    ASSERT_TRUE(context.GetSettingsView().SetValue(key, value + 1)) << key;
    EXPECT_EQ(quality.WasChanged(), key != 260) << key;
    EXPECT_EQ(quality.IsCustom(), key != 260 ? 1 : 0) << key;
    context.RevertAll();
    context.EndUpdate();
  }
  EXPECT_EQ(quality.IsCustom(), 0);
}

// 1033 is 1 when "LocalJobStorage" reads 0: missing, 0, or not a 4-byte
// number; else 0.
TEST_F(PagesTest, JobStorageChoiceFollowsTheUsersValue) {
  static_cast<GAttributeComposite*>(settings.Get())
      ->AddChild(new GValueAttribute(7, kLocalJobStorageKey));
  GUIContext context(&host);
  GOSFactory::Instance()->SetPrinterDataString(DriverData(), RWWString(u"PrinterUUID"),
                                               RWWString(u"{U}"));
  RWWString key;
  DriverData()->GetLocalJobStorageKey(key);
  struct Case {
    DWORD type;
    std::vector<BYTE> bytes;  // none: the value is not written
    std::int32_t choice;
  } const cases[] = {{kRegDword, {}, 1},           {kRegDword, {0, 0, 0, 0}, 1},
                     {kRegDword, {5, 0, 0, 0}, 0}, {kRegDword, {0, 0, 0, 1}, 0},
                     {kRegBinary, {5, 0}, 1},      {kRegBinary, {5, 0, 0, 0}, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << c.bytes.size());
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(kHkeyCurrentUser, key.Data(), 0, u"", 0, kKeyWrite, nullptr, &opened,
                              nullptr),
              0);
    RegDeleteValueW(opened, u"LocalJobStorage");
    if (!c.bytes.empty()) {
      RegSetValueExW(opened, u"LocalJobStorage", 0, c.type, c.bytes.data(), DWORD(c.bytes.size()));
    }
    RegCloseKey(opened);
    ReadLocalJobStorageChoice(&context);
    std::int32_t choice = -1;
    context.GetSettingsView().GetValue(kLocalJobStorageKey, choice);
    EXPECT_EQ(choice, c.choice);
  }
}

TEST_F(PagesTest, FontCardListWritesOnlyTheToggledSources) {
  ASSERT_EQ(SetMsdState(DriverData(), 3, 2), 1);  // 3 disabled
  ASSERT_EQ(UI_INITIALIZE(&host, 0), 8);
  GModalDialog* cards = Wrapper<GDialogButtonWrapper>(PageOf(7000), 7071)->Dialog();
  ui.OnDialog(7100, [](UiDialog dialog) {
    const std::vector<std::u16string> items = dialog.Items(kFontCardList);
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[3].substr(items[3].size() - 11), u" (Disabled)");
    EXPECT_EQ(items[5].substr(items[5].size() - 10), u" (Enabled)");
    for (int index : {3, 5, 5, 7}) {
      ASSERT_TRUE(dialog.Select(kFontCardList, dialog.Items(kFontCardList)[index]));
      ASSERT_TRUE(dialog.Click(kFontCardToggle));
    }
    EXPECT_EQ(dialog.Items(kFontCardList)[3], u"4 (Enabled)");
    dialog.Click(kIdOk);
  });
  EXPECT_EQ(cards->DoModal(nullptr, 1), kIdOk);
  // 3 enabled (1), 7 disabled (2); 5, toggled twice, and the rest untouched.
  EXPECT_EQ(GetDisabledMsds(DriverData()), (1u << 6) | (2u << 14));
  Destroy();
}

// Every page of both sheets opens (initialises and refreshes) in the sheet
// service with OK and with Cancel; nothing is left behind.
LONG AddPages(PropSheetUiInfo* info, LPARAM parameter) {
  if (info->reason != 0) return 1;
  auto* records = reinterpret_cast<PropSheetPageW*>(parameter);
  for (std::size_t i = 0; i < 10; ++i)
    if (records[i].template_name)
      info->service_callback(info->property_sheet, kCpsFuncAddPropSheetPageW,
                             reinterpret_cast<LPARAM>(&records[i]), 0);
  return 1;
}

TEST_F(PagesTest, EveryPageOpensInTheSheetAndLeavesNothing) {
  SetValueIfPresent(FindComposite(settings.Get(), 365), kJobRetentionKey, 1);
  for (bool ok : {true, false}) {
    ASSERT_EQ(UI_INITIALIZE(&host, 0), 9);
    support::OnSheet([&](support::SheetDriver& sheet) {
      ASSERT_EQ(sheet.pages(), 8u);
      for (std::size_t i = 0; i < sheet.pages(); ++i) {
        ASSERT_TRUE(sheet.activate(i));
        EXPECT_NE(sheet.page().Handle(), nullptr) << i;
      }
      // Each inner dialog opens from its button over its page.
      const std::tuple<std::size_t, int, UINT> buttons[] = {
          {0, 3034, 13001}, {1, 6013, 5000}, {2, 2016, 8000}, {7, 7071, 7100}, {7, 7049, 7500}};
      for (const auto& [page, button, shown_dialog] : buttons) {
        const UINT dialog = shown_dialog;  // a plain local the callback may capture
        ASSERT_TRUE(sheet.activate(page));
        ui.OnDialog(dialog, [&](UiDialog shown) {
          EXPECT_EQ(GetParent(shown.Handle()), sheet.page().Handle()) << dialog;
          shown.Click(ok ? kIdOk : kIdCancel);
        });
        EXPECT_TRUE(sheet.page().Click(button));
      }
      ok ? sheet.ok() : sheet.cancel();
    });
    ULONG_PTR result = 0;
    EXPECT_EQ(
        CommonPropertySheetUIW(nullptr, AddPages, reinterpret_cast<LPARAM>(pages.data()), &result),
        1);
    Destroy();
    for (int kind = 0; kind < kUiHandleKinds; ++kind)
      EXPECT_EQ(UiHandleCount(UiHandleKind(kind)), 0u) << kind;
  }
}

// Settings without the attributes the groups read, or with other classes
// under their ids: every page still builds, opens and goes.
TEST_F(PagesTest, PagesSurviveSettingsWithoutTheirAttributes) {
  auto* tree = static_cast<GAttributeComposite*>(settings.Get());
  for (std::uint32_t key : {260u, 265u, 249u, 313u, 1033u, 283u})
    delete tree->RemoveByKey(key);
  tree->AddChild(new GAttributeComposite(265));
  tree->AddChild(new GStringAttribute(RWCString("x"), 260));
  ASSERT_EQ(UI_INITIALIZE(&host, 0), 8);
  auto* size = Wrapper<GPaperSizeWrapper>(PageOf(2000), 2015);
  ASSERT_NE(size, nullptr);
  EXPECT_FALSE(static_cast<GPaperSizeFeature*>(size->Second())->IsOutsideSizeLimits(0));
  support::OnSheet([](support::SheetDriver& sheet) {
    for (std::size_t i = 0; i < sheet.pages(); ++i)
      sheet.activate(i);
    sheet.ok();
  });
  EXPECT_EQ(
      CommonPropertySheetUIW(nullptr, AddPages, reinterpret_cast<LPARAM>(pages.data()), nullptr),
      1);
  Destroy();
}

}  // namespace
