// The Configure page's option controls and the forms page's links on the
// printer fixture (trays 4, 1, 2 and 7 installed, tray 3's cassette not),
// with the default error handler in force: the trays' refusals, the links
// of the form-to-tray table and their undoing, the memory and work-space
// readings, the configuration sets, the paper sources, the check boxes'
// dependent options, and the controls on their page templates.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "driver/driver_data_imp.h"
#include "output/core/peripheral_composite.h"
#include "platform/host/spooler.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/help.h"
#include "platform/ui/window.h"
#include "tests/ui/framework/framework_testing.h"
#include "tests/ui/pages/plugin_fixture.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/configure_controls.h"
#include "ui/pages/form_to_tray_feature.h"
#include "ui/pages/form_to_tray_links_wrapper.h"

using namespace platform;
using support::UiDialog;

namespace {

GControlWrapper* g_wrapper = nullptr;

INT_PTR RouteToWrapper(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  // The wrappers under test refresh themselves after what they store.
  return g_wrapper ? g_wrapper->HandleMessage(message, wparam, lparam) : 0;
}

// A context whose automatic configuration answers `code`.
class FailingContext : public GUIContext {
 public:
  using GUIContext::GUIContext;
  std::uint32_t AutoConfigure() override { return code; }
  std::uint32_t code = 8;
};

class ConfigurePagesTest : public testing_support::PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    ASSERT_TRUE(LoadResourceLibrary(RWWString(testing_support::kPluginLibrary)));
    context = std::make_unique<FailingContext>(&host);
    feature = std::make_unique<GFormToTrayFeature>(context.get());
    // The options the fixture lacks, at 0.
    for (std::uint32_t key : {925u, 307u, 245u, 308u, 253u, 292u, 336u, 337u, 927u, 264u, 258u,
                              263u, 1212u, 1214u, 921u, 915u, 317u, 1240u, 511u})
      if (!Settings().Has(key)) Tree()->AddChild(new GValueAttribute(0, key));
    for (std::uint32_t key : {315u, 316u})
      if (!Settings().Has(key)) Tree()->AddChild(new GStringAttribute("", key));
  }
  void TearDown() override {
    if (sheet) DestroyWindow(sheet);
    g_wrapper = nullptr;
    wrapper.reset();
    feature.reset();
    context.reset();
    ReleaseResourceLibrary();
    PluginFixture::TearDown();
  }
  GAttributeComposite* Tree() { return static_cast<GAttributeComposite*>(settings.Get()); }
  GAttributeView Settings() { return GAttributeView(Tree(), context.get(), false); }
  std::int32_t Value(std::uint32_t key) {
    std::int32_t value = 0;
    Settings().GetValue(key, value);
    return value;
  }
  void Set(std::initializer_list<std::pair<std::uint32_t, std::int32_t>> values) {
    for (const auto& [key, value] : values)
      ASSERT_TRUE(Settings().SetValue(key, value)) << key;
  }
  // "form/type" of the tray's link.
  std::string Link(std::uint16_t tray) {
    std::uint16_t form = 0;
    std::uint16_t type = 0;
    EXPECT_EQ(feature->GetLink(tray, form, type), type);
    return std::to_string(form) + "/" + std::to_string(type);
  }
  GFormToTrayDatabase* Table() {
    return static_cast<GFormToTrayDatabase*>(
        Settings().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  }
  // Opens page `template_id` with `made` on it, initialised and refreshed.
  UiDialog Open(int template_id, GControlWrapper* made) {
    if (sheet) DestroyWindow(sheet);
    g_wrapper = nullptr;
    wrapper.reset(made);
    sheet = CreateDialogParamW(GetResourceModuleHandle(), MakeIntResourceW(9000), nullptr,
                               RouteToWrapper, 0);
    HWND page = CreateDialogParamW(GetResourceModuleHandle(), MakeIntResourceW(template_id), sheet,
                                   RouteToWrapper, 0);
    EXPECT_NE(page, nullptr);
    ShowWindow(sheet, kSwShow);
    ShowWindow(page, kSwShow);
    g_wrapper = made;
    made->AttachDialog(page);
    made->OnInit();
    made->Refresh(1);
    return UiDialog(page);
  }

  std::unique_ptr<FailingContext> context;
  std::unique_ptr<GFormToTrayFeature> feature;
  std::unique_ptr<GControlWrapper> wrapper;
  HWND sheet = nullptr;
};

// Sizes in dots at 600 dots per inch, each an inch count derived by hand:
// 3496 / 600 = 5.8267 (under 5.83, though 5.83 when kept to two
// decimals), 5100 / 600 = 8.5 and 8400 / 600 = 14.0 (the bounds, taken),
// 1800 = 3.0 inches, 2400 x 3600 = 4 x 6 inches (the fixture's custom size
// 16385 of 400 x 600 hundredths).
TEST_F(ConfigurePagesTest, TraysRefuseTypesAndSizes) {
  auto* media = dynamic_cast<GMediaPool*>(context->GetConfigView().FindComposite(kMediaListKey));
  ASSERT_NE(media, nullptr);
  const auto add = [&](std::uint16_t id, std::int16_t w, std::int16_t h) {
    media->AddChild(
        new GMedia("T", {w, h}, {w, h}, {0, 0}, 0, id, 600, 600, kModelMediumKey, 0, "", ""));
  };
  add(60, 3496, 6600);  // 5.8267 x 11
  add(61, 3498, 6600);  // 5.83 x 11
  add(63, 8400, 5100);  // 14 x 8.5
  add(64, 1800, 3000);  // 3 x 5: tray 6's lower bounds
  add(8, 5100, 6600);   // never fits
  struct Case {
    std::uint16_t paper, tray;
    bool fits, refused;
  } const cases[] =
      {
          {60, 1, false, true},    {60, 3, false, true},    {61, 1, true, false},
          {63, 1, false, true},    {63, 6, false, false},   {5, 3, true, false},
          {3, 1, false, true},     {64, 6, true, false},    {64, 1, false, true},
          {16385, 1, false, true}, {16385, 6, true, false}, {8, 6, false, false},
          {8, 1, false, true},     {1, 1, true, false},     {999, 1, false, true},
          {23, 3, true, false},    {5, 18, false, false},   {5, 19, false, false},
          {43, 1, false, false},  // a standard size with no medium
      };
  for (const Case& c : cases) {
    EXPECT_EQ(feature->FitsTray(c.paper, c.tray), c.fits) << c.paper << " in " << c.tray;
    EXPECT_EQ(feature->IsSizeRefusedForTray(c.paper, c.tray), c.refused)
        << c.paper << " in " << c.tray;
  }
  // Types: only trays 1 and 3 refuse, and only the three names, exactly.
  for (std::uint16_t tray : {1, 3, 6, 18, 19}) {
    const bool restricted = tray == 1 || tray == 3;
    for (const char* name : {"Card Stock", "Extra Heavy", "Envelope"})
      EXPECT_EQ(GFormToTrayFeature::IsTypeRefusedForTray(name, tray), restricted) << name;
    EXPECT_FALSE(GFormToTrayFeature::IsTypeRefusedForTray("card stock", tray));
    EXPECT_FALSE(GFormToTrayFeature::IsTypeRefusedForTray("", tray));
  }
  feature->SetCurrentTray(1);
  EXPECT_EQ(feature->GetCurrentTray(), 1);
  EXPECT_FALSE(feature->IsTypeRefusedForCurrentTray(11381));  // a user type: no name
  // A resolution of 0 (or a missing one) fits nothing.
  GAttributeView settings = context->GetSettingsView();
  ASSERT_TRUE(settings.Descend(kResolutionKey).SetValue(kXResolutionKey, 0));
  EXPECT_FALSE(feature->FitsTray(5, 1));
  EXPECT_TRUE(feature->IsSizeRefusedForTray(5, 1));
  delete Tree()->RemoveByKey(kResolutionKey);
  EXPECT_FALSE(feature->FitsTray(5, 1));
}

// Links are stored keyed by tray through a copy that records no change;
// a revert gives back the table, dropped links included.
TEST_F(ConfigurePagesTest, LinksEditAndRevert) {
  context->BeginUpdate(nullptr);
  feature->SetLinkWithName(1, 1, 11108, "Bond");
  feature->SetLinkWithName(3, 5, 11913, "Unspecified");
  feature->SetLinkWithName(1, 23, 11108, "Bond");
  EXPECT_EQ(Link(1), "23/11108");
  EXPECT_EQ(Link(3), "5/11913");
  EXPECT_EQ(Link(2), "0/11913");
  EXPECT_FALSE(context->WasChanged(kFormToTrayKey));
  context->DispatchChanges(0);

  GValueList ids;
  ids.Append(99);  // the caller's nodes stay
  feature->DropLinksOfRemovedTrays(ids);
  std::string listed;
  for (const GValueList::Node* node = ids.First(); node; node = node->next)
    listed += std::to_string(node->value) + " ";
  EXPECT_EQ(listed, "99 4 1 2 7 ");
  EXPECT_EQ(Link(3), "0/11913");
  EXPECT_EQ(Link(1), "23/11108");
  context->RevertAll();
  EXPECT_EQ(Link(3), "5/11913");

  feature->ClearLinks();
  EXPECT_EQ(Link(1), "0/11913");
  auto* table = dynamic_cast<GFormToTrayDatabase*>(
      context->GetSettingsView().FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->GetAssociations().EntryCount(), 0u);
  context->EndUpdate();
}

TEST_F(ConfigurePagesTest, TrayNamesAndUserTypes) {
  GValueList ids;
  std::vector<RWWString> names;
  EXPECT_EQ(feature->GetInstalledTrays(ids, &names), 1);
  ASSERT_EQ(ids.Count(), 4u);
  EXPECT_EQ(names.size(), 4u);

  // The fixture's 701 holds three names.
  RWWString name(u"kept");
  EXPECT_FALSE(feature->NextUserType(name));
  EXPECT_EQ(name, RWWString(u"kept"));
  feature->BeginUserTypes();
  for (const char16_t* expected : {u"Envelope Feeder", u"Manual Envelope", u"Auto Select"}) {
    EXPECT_TRUE(feature->NextUserType(name));
    EXPECT_EQ(name, RWWString(expected));
  }
  EXPECT_FALSE(feature->NextUserType(name));
}

// Missing or foreign attributes: no crash, defaults, nothing dropped.
TEST_F(ConfigurePagesTest, MissingAndForeignAttributes) {
  for (std::uint32_t key : {kFormToTrayKey, kPaperHandlingKey, kResolutionKey, kShownTrayKey})
    delete Tree()->RemoveByKey(key);
  delete context->GetConfigView().FindComposite(kPrinterModelKey)->RemoveByKey(kPaperHandlingKey);
  EXPECT_EQ(Link(1), "0/11913");
  EXPECT_EQ(feature->GetCurrentTray(), 0);
  GValueList ids;
  EXPECT_EQ(feature->GetInstalledTrays(ids, nullptr), 0);
  feature->DropLinksOfRemovedTrays(ids);
  EXPECT_TRUE(ids.IsEmpty());
  // The first edit adds the table to the installed options.
  feature->SetLinkWithName(1, 1, 11108, std::string(300, 'x').c_str());
  EXPECT_EQ(Link(1), "1/11108");
  ASSERT_NE(context->GetSettingsView()
                .Descend(kInstalledOptionsKey)
                .FindTyped(kFormToTrayKey, kGFormToTrayDatabaseId),
            nullptr);
  // Another class under 510 is left alone and reads as defaults.
  delete Tree()->RemoveByKey(kFormToTrayKey);
  Tree()->AddChild(new GValueAttribute(3, kFormToTrayKey));
  feature->SetLinkWithName(1, 1, 11108, nullptr);
  feature->ClearLinks();
  EXPECT_EQ(Link(1), "0/11913");
}

// D(m) = ((5m - 320) * 10 / 100 + 6) * 100, by hand: 64 -> 600, 96 -> 2200,
// 128 -> 3800, 512 -> 23000.
TEST_F(ConfigurePagesTest, WorkSpaceDerivedShownAndRead) {
  struct Derived {
    std::int32_t memory, value;
    const char16_t* text;
  } const derived[] = {{64, 600, u"6.00"},
                       {96, 2200, u"22.00"},
                       {128, 3800, u"38.00"},
                       {512, 23000, u"230.00"},
                       {0, 600, u"6.00"}};
  for (const Derived& d : derived) {
    EXPECT_EQ(GDwsFeature::Derived(d.memory), d.value) << d.memory;
    EXPECT_EQ(GDwsFeature::Format(d.value, u"."), RWWString(d.text));
  }
  EXPECT_EQ(GDwsFeature::Format(2200, u","), RWWString(u"22,00"));
  struct Parsed {
    const char16_t* text;
    const char16_t* separator;
    std::int32_t value;
  } const parsed[] = {{u"22,00", u",", 2200}, {u"7,25", u",", 725},
                      {u"7.25", u".", 725},   {u"5", u".", 500},
                      {u"abc", u".", -1},     {u"", u".", -1},
                      {u"1.256", u".", 126},  {u"123456789012", u".", 12345678 * 100},
                      {u"1e400", u".", -1}};
  for (const Parsed& p : parsed)
    EXPECT_EQ(GDwsFeature::Parse(p.text, p.separator, -1), p.value);
  // A memory change is noted once.
  GDwsFeature feature(context.get());
  context->BeginUpdate(nullptr);
  Set({{925, 128}});
  EXPECT_FALSE(feature.WasChanged());
  EXPECT_TRUE(feature.TakeMemoryNote());
  EXPECT_FALSE(feature.TakeMemoryNote());
  EXPECT_EQ(feature.DerivedValue(), 3800);
  context->EndUpdate();
}

// The builder's list of ten sizes stepped; other modes' limits.
TEST_F(ConfigurePagesTest, MemoryReadsStepsAndDependents) {
  const std::int16_t list[] = {1, 10, 64, 96, 128, 160, 192, 256, 288, 320, 384, 512};
  const GSpinLimits limits = GSpinLimits::FromRecord(list);
  EXPECT_EQ(GMemoryFeature::Step(96, 1, limits), 128);
  EXPECT_EQ(GMemoryFeature::Step(100, 1, limits), 128);
  EXPECT_EQ(GMemoryFeature::Step(512, 1, limits), 512);
  EXPECT_EQ(GMemoryFeature::Step(100, -1, limits), 64);
  EXPECT_EQ(GMemoryFeature::Step(64, -1, limits), 64);
  // Mode 1 keeps 20 of 25 values; mode 0 swaps and floors; others 16..384.
  std::vector<std::int16_t> many{1, 25};
  for (int i = 1; i <= 25; ++i)
    many.push_back(static_cast<std::int16_t>(i * 10));
  EXPECT_EQ(GSpinLimits::FromRecord(many.data()).values.size(), 20u);
  EXPECT_EQ(GSpinLimits::FromRecord(many.data()).max, 200);
  const std::int16_t ranged[] = {0, 300, -4, 0};
  const GSpinLimits range = GSpinLimits::FromRecord(ranged);
  EXPECT_EQ(range.min, 0);
  EXPECT_EQ(range.max, 300);
  EXPECT_EQ(GMemoryFeature::ReadText(u"250", GSpinLimits::FromRecord(ranged)), 250);
  const std::int16_t other[] = {5};
  EXPECT_EQ(GSpinLimits::FromRecord(other).max, 384);
  EXPECT_EQ(GMemoryFeature::Step(380, 10, GSpinLimits::FromRecord(other)), 384);

  // Dependents (520, 310, 451) by memory, disk, 451 and the change.
  GMemoryFeature memory(context.get());
  struct Case {
    std::int32_t memory, disk, third;
    GMemoryChange change;
    std::int32_t job, collation, third_after;
  } const cases[] = {
      {128, 0, 0, GMemoryChange::kLeftEdit, 1, 1, 1}, {96, 0, 1, GMemoryChange::kLeftEdit, 0, 0, 0},
      {96, 1, 0, GMemoryChange::kLeftEdit, 1, 1, 1},  {128, 0, 0, GMemoryChange::kStepUp, 1, 1, 1},
      {96, 0, 1, GMemoryChange::kStepUp, 0, 0, 0},    {96, 1, 1, GMemoryChange::kStepDown, 1, 1, 1},
      {96, 1, 0, GMemoryChange::kStepDown, 5, 5, 0},  {64, 0, 1, GMemoryChange::kStepDown, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Set({{925, c.memory}, {239, c.disk}, {451, c.third}, {520, 5}, {310, 5}});
    memory.SetDependents(c.change);
    EXPECT_EQ(Value(520), c.job) << c.memory << " " << static_cast<int>(c.change);
    EXPECT_EQ(Value(310), c.collation) << c.memory;
    EXPECT_EQ(Value(451), c.third_after) << c.memory;
  }
}

// Sets tagged by 927: from the settings' 1120 (-101 skipped) for 14113,
// 14118 and 14119, else from the device configuration's 369.
TEST_F(ConfigurePagesTest, StatusAppliesItsSet) {
  auto* own = new GAttributeComposite(1120);
  auto* set = new GAttributeComposite(0);
  for (auto [key, value] : {std::pair{927, 14113}, {925, 256}, {308, -101}, {239, 1}})
    set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  set->AddChild(new GStringAttribute("", 370));
  own->AddChild(set);
  Tree()->AddChild(own);
  Set({{308, 1}});
  GConfigStatusFeature status(context.get());
  struct Case {
    std::uint32_t code;
    const char16_t* text;
  } const cases[] = {{8, u""}, {7, u""}};
  for (const Case& c : cases) {
    context->code = c.code;
    ui.ExpectBox(c.text, u"For Your Information", platform::kMbIconHand, 1);
    status.SetValue(14113);
    ASSERT_FALSE(ui.Boxes().empty());
    EXPECT_EQ(ui.Boxes().back().owner, nullptr);
  }
  EXPECT_EQ(Value(927), 14113);
  EXPECT_EQ(Value(925), 256);
  EXPECT_EQ(Value(239), 1);
  EXPECT_EQ(Value(308), 1);  // -101 kept it
  context->code = 0;
  Set({{925, 64}});
  status.SetValue(14113);  // configured: the set is not applied
  EXPECT_EQ(Value(925), 64);
  // The list: loadable statuses of 369 (the fixture's 14117 and 14113),
  // then named sets of 1120 (the one here has an empty name).
  std::vector<RWWString> texts;
  std::vector<std::int32_t> ids;
  status.BuildList(texts, ids);
  EXPECT_EQ(ids, (std::vector<std::int32_t>{14117, 14113}));
  Set({{925, 256}});
  status.SetValue(14117);  // 369's set: the options as delivered
  EXPECT_EQ(Value(925), 64);
  delete Tree()->RemoveByKey(1120);
  status.SetValue(14119);  // no set: only 927
  EXPECT_EQ(Value(927), 14119);
}

TEST_F(ConfigurePagesTest, CheckBoxFeatures) {
  GManualDuplexFeature duplex(context.get());
  Set({{253, 1}, {308, 1}});
  duplex.SetValue(0);
  EXPECT_EQ(Value(253), 1);
  Set({{308, 0}});
  duplex.SetValue(0);
  EXPECT_EQ(Value(253), 0);
  EXPECT_EQ(Value(245), 0);

  // The hard-disk matrix; job storage follows only while available (the
  // fixture's defaults say 441 = 0).
  GHardDiskFeature disk(context.get());
  EXPECT_FALSE(disk.IsJobStorageAvailable());
  struct Case {
    std::int32_t memory, disk, collation, third;
  } const cases[] = {{64, 0, 0, 5}, {64, 1, 1, 1}, {128, 0, 1, 1}, {256, 1, 1, 1}};
  for (const Case& c : cases) {
    Set({{925, c.memory}, {307, 725}, {451, 5}, {520, 5}, {310, 5}, {292, 5}});
    disk.SetValue(c.disk);
    EXPECT_EQ(Value(239), c.disk);
    EXPECT_EQ(Value(310), c.collation) << c.memory << c.disk;
    EXPECT_EQ(Value(292), c.collation);
    EXPECT_EQ(Value(451), c.third);
    EXPECT_EQ(Value(520), 5);
    EXPECT_EQ(Value(336), 725);
    EXPECT_EQ(Value(337), 725);
  }
  GCollationFeature collation(context.get());
  Set({{239, 0}, {925, 64}, {310, 0}, {451, 0}});
  EXPECT_EQ(collation.GetState(), kStateDisabled);
  collation.SetValue(1);
  EXPECT_EQ(Value(451), 1);
  Set({{925, 128}});
  EXPECT_EQ(collation.GetState(), kStateEnabled);
}

// A change of the paper sources resets the trays and drops the links of
// trays no longer installed; a rule that reverts gives back both.
TEST_F(ConfigurePagesTest, PaperSourcesChangeAndRevert) {
  feature->SetLinkWithName(3, 5, 11913, "");
  feature->SetLinkWithName(1, 1, 11108, "Bond");
  ASSERT_TRUE(Settings().SetString(315, "Z7142"));
  context->DispatchChanges(0);
  Set({{258, 3}});
  std::vector<std::string> log;
  context->AddListener(new framework_testing::LogRule(
      context.get(), "R", log, [&](framework_testing::LogRule&, int) { context->RevertAll(); }));
  context->BeginUpdate(nullptr);
  GPaperSourcesFeature::SetPaperSources(context.get(), "");
  EXPECT_EQ(Value(258), 19);
  std::uint16_t form = 0;
  std::uint16_t type = 0;
  feature->GetLink(3, form, type);
  EXPECT_EQ(form, 0);
  feature->GetLink(1, form, type);
  EXPECT_EQ(form, 1);
  context->DispatchChanges(0);
  RWCString part;
  Settings().GetString(315, part);
  EXPECT_EQ(part, RWCString("Z7142"));
  feature->GetLink(3, form, type);
  EXPECT_EQ(form, 5);
  context->EndUpdate();

  GPaperSourcesFeature sources(context.get());
  std::vector<RWWString> texts;
  std::vector<RWCString> parts;
  sources.BuildList(texts, parts);
  ASSERT_EQ(texts.size(), 2u);  // "(None)" and the cassette, by its part number
  EXPECT_EQ(texts[0], RWWString(u"(None)"));
  EXPECT_EQ(texts[1], RWWString(u"KV 500-Sheet Input Tray"));
  EXPECT_EQ(parts[1], RWCString("Z7142"));
}

TEST_F(ConfigurePagesTest, FormsPageStoresLinks) {
  AddServerForm(u"", kFormBuiltin, u"Letter", 215900, 279400);
  AddServerForm(u"", kFormBuiltin, u"Legal", 215900, 355600);
  AddServerForm(u"", kFormUser, u"Card 4x6", 101600, 152400);
  ASSERT_TRUE(context->GetSettingsView().SetValue(511, 1));
  const GControlEntry table[] = {{12003, 701}, {12006, 702}, {12008, 703}, {12009, 704},
                                 {12002, 701}, {12005, 702}, {12007, 703}, {0, 0}};
  UiDialog dialog =
      Open(12000, new GFormToTrayLinkWrapper(new GFormToTrayFeature(context.get()),
                                             new GMediaTypeFeature(context.get()), table));
  // Tray 1 takes Letter; Legal (no medium) and the 4 x 6 inch card it
  // refuses.
  using Items = std::vector<std::u16string>;
  EXPECT_EQ(dialog.Items(12003).size(), 4u);  // trays 4, 1, 2, 7
  EXPECT_EQ(dialog.Items(12006), (Items{u"Letter"}));
  const std::size_t tray_one_types = dialog.Items(12008).size();
  EXPECT_EQ(dialog.Items(12008).front(), u"Unspecified");
  ASSERT_TRUE(dialog.Select(12006, u"Letter"));
  ASSERT_TRUE(dialog.Select(12008, u"Bond"));
  std::uint16_t form = 0;
  std::uint16_t type = 0;
  feature->GetLink(1, form, type);
  EXPECT_EQ(form, 1);
  EXPECT_EQ(type, 11108);
  EXPECT_EQ(Table()->GetAssociations().EntryCount(), 1u);
  EXPECT_EQ(dialog.Text(12008), u"Bond");

  // Tray 2 refuses nothing; "Unspecified" on it stores nothing, a type
  // takes the default paper as the form.
  ASSERT_TRUE(dialog.SelectData(12003, 2));
  EXPECT_EQ(Value(511), 2);
  EXPECT_EQ(dialog.Items(12006), (Items{u"Letter", u"Card 4x6"}));
  EXPECT_GT(dialog.Items(12008).size(), tray_one_types);
  ASSERT_TRUE(dialog.Select(12008, u"Unspecified"));
  EXPECT_EQ(Table()->GetAssociations().EntryCount(), 1u);
  ASSERT_TRUE(dialog.Select(12008, u"Plain"));
  feature->GetLink(2, form, type);
  EXPECT_EQ(form, feature->GetDefaultPaperId());
  EXPECT_EQ(type, 11102);
  EXPECT_EQ(Table()->HasNonDefaultAssociation(), 1u);
  ASSERT_TRUE(dialog.Click(12009));
  EXPECT_EQ(Table()->GetAssociations().EntryCount(), 0u);
  EXPECT_EQ(dialog.Selection(12006), -1);
}

// The builder's records: ten memory sizes; work space 1.00 to 230.00 by
// 1.00. 20-digit texts clamp (memory) or fall back to 6.00 (work space).
TEST_F(ConfigurePagesTest, MemoryAndWorkSpaceFields) {
  const std::int16_t memory_list[] = {1, 10, 64, 96, 128, 160, 192, 256, 288, 320, 384, 512};
  const GControlEntry memory_table[] = {{7091, 611}, {7092, 611}, {0, 0}};
  UiDialog memory = Open(
      7500, new GMemoryEditWrapper(new GMemoryFeature(context.get()), memory_table, memory_list));
  for (auto [typed, value] : {std::pair{u"100", 96},
                              {u"600", 512},
                              {u"-5", 64},
                              {u"99999999999999999999", 512},
                              {u"96", 96}}) {
    ASSERT_TRUE(memory.Type(7091, typed));
    ASSERT_TRUE(memory.Blur());
    EXPECT_EQ(Value(925), value);
  }
  EXPECT_EQ(memory.Text(7091), u"96");
  ASSERT_TRUE(memory.Spin(7092, 1));
  EXPECT_EQ(Value(925), 128);
  EXPECT_EQ(memory.Text(7091), u"128");
  for (std::uint32_t key : {520u, 310u, 451u})
    EXPECT_EQ(Value(key), 1) << key;

  SetProfileString(u"intl", u"sDecimal", u",");
  context->BeginUpdate(nullptr);  // forgets the memory's changes
  context->EndUpdate();
  const std::int16_t space_limits[] = {0, 100, 230 * 100, 100};
  const GControlEntry space_table[] = {{7041, 608}, {7042, 608}, {0, 0}};
  UiDialog space =
      Open(7500, new GDwsEditWrapper(new GDwsFeature(context.get()), space_table, space_limits));
  for (auto [typed, value, shown] : {std::tuple{u"22,00", 2200, u"22,00"},
                                     {u"7,25", 725, u"7,25"},
                                     {u"500", 600, u"6,00"},
                                     {u"12345678901234567890", 600, u"6,00"}}) {
    ASSERT_TRUE(space.Type(7041, typed));
    ASSERT_TRUE(space.Blur());
    EXPECT_EQ(Value(307), value);
    EXPECT_EQ(space.Text(7041), shown);
  }
  ASSERT_TRUE(space.Spin(7042, 1));
  EXPECT_EQ(Value(307), 700);
  // A memory change shows D(96) at the next refresh.
  context->BeginUpdate(nullptr);
  ASSERT_TRUE(context->GetSettingsView().SetValue(925, 96));
  wrapper->Refresh(0);
  EXPECT_EQ(Value(307), 2200);
  EXPECT_EQ(space.Text(7041), u"22,00");
  context->EndUpdate();
}

}  // namespace
