// The context: change dispatch, views, undo, snapshots, what it takes from
// the driver data, and random trees of wrong classes read and written
// through it with the default error handler in force.
#include <gtest/gtest.h>

#include <random>

#include "config/attributes/value_attribute.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/media.h"
#include "config/paper/paper_handling_device.h"
#include "driver/ui_driver_data.h"
#include "tests/ui/framework/framework_testing.h"
#include "ui/framework/ui_helpers.h"

using namespace framework_testing;

namespace {

TEST(DispatchTest, PassesInitializeOrderAndIds) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> recorded;  // before the dispatch
    int force;
    // What rule A does in pass n (1 first).
    std::function<void(LogRule&, int)> action;
    std::vector<std::string> expected;
  };
  const auto write_flag_once = [](LogRule& rule, int pass) {
    if (pass == 1) rule.RaiseUIValue(kFlag, 1);
  };
  const auto nested = [](LogRule& rule, int) { rule.GetContext()->DispatchChanges(1); };
  const std::string flag = std::to_string(kFlag);
  const Case cases[] = {
      {"nothing recorded", {}, 0, {}, {}},
      {"forced, empty", {}, 1, {}, {"AI", "BI", "AC!", "BC!"}},
      {"two ids", {265, 7}, 0, {}, {"AI", "BI", "AC265,7", "BC265,7"}},
      {"a pass's writes make the next pass",
       {265},
       0,
       write_flag_once,
       {"AI", "BI", "AC265", "BC265", "AC" + flag, "BC" + flag}},
      {"forced: the second pass needs ids",
       {},
       1,
       write_flag_once,
       {"AI", "BI", "AC!", "BC!", "AC" + flag + "!", "BC" + flag + "!"}},
      {"nested dispatch returns at once", {265}, 0, nested, {"AI", "BI", "AC265", "BC265"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sheet sheet;
    std::vector<std::string> log;
    sheet.context->AddListener(new LogRule(sheet.context.get(), "A", log, c.action));
    sheet.context->AddListener(new LogRule(sheet.context.get(), "B", log));
    sheet.context->BeginUpdate(nullptr);
    for (std::uint32_t id : c.recorded)
      sheet.context->RecordChange(id);
    sheet.context->DispatchChanges(c.force);
    EXPECT_EQ(log, c.expected);
    // What was dispatched is not dispatched again.
    log.clear();
    sheet.context->DispatchChanges(0);
    EXPECT_TRUE(log.empty());
  }
}

TEST(DispatchTest, AnEverChangingRuleStopsAfter101Passes) {
  Sheet sheet;
  std::vector<std::string> log;
  sheet.context->AddListener(new LogRule(
      sheet.context.get(), "A", log,
      [](LogRule& rule, int pass) { rule.GetContext()->GetUIObjectView().SetValue(kFlag, pass); }));
  sheet.context->DispatchChanges(1);
  ASSERT_EQ(log.size(), 1u + 101u);
  EXPECT_EQ(log.front(), "AI");
}

TEST(AttributeViewTest, ReadsAndWritesByClassAndPlace) {
  Sheet sheet;
  GUIContext& context = *sheet.context;
  context.BeginUpdate(nullptr);
  GAttributeView settings = context.GetSettingsView();
  GAttributeView config = context.GetConfigView();
  std::int32_t value = 7;

  // Read-only refusal, and the configuration unchanged.
  ASSERT_TRUE(config.GetValue(201, value));
  EXPECT_EQ(value, 64);
  EXPECT_FALSE(config.SetValue(201, 128));
  EXPECT_FALSE(config.AddValue(1, 9999));
  config.GetValue(201, value);
  EXPECT_EQ(value, 64);

  // An equal value records nothing; another one is recorded.
  EXPECT_TRUE(settings.SetValue(kOrientation, 0));
  EXPECT_FALSE(context.WasChanged(kOrientation));
  EXPECT_TRUE(settings.SetValue(kOrientation, 0xFFFE));
  EXPECT_TRUE(settings.WasChanged(kOrientation));
  // 16-bit reads are sign-extended.
  EXPECT_TRUE(settings.GetValue(kOrientation, value));
  EXPECT_EQ(value, -2);

  // Creation only inside 283.
  EXPECT_FALSE(settings.SetValue(kFlag, 1));
  EXPECT_FALSE(settings.Has(kFlag));
  EXPECT_TRUE(context.GetUIObjectView().SetValue(kFlag, 2));
  EXPECT_TRUE(settings.GetValue(kFlag, value));
  EXPECT_EQ(value, 2);
  EXPECT_TRUE(context.WasChanged(kFlag));

  // Another class than asked answers missing, and takes no write.
  EXPECT_FALSE(settings.GetValue(kFormToTray, value));
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(settings.SetValue(kFormToTray, 1));
  RWCString text = "x";
  EXPECT_FALSE(settings.GetString(kOrientation, text));
  EXPECT_TRUE(text.IsNull());
  EXPECT_EQ(settings.FindComposite(kOrientation), nullptr);
  EXPECT_EQ(settings.FindComposite(kFormToTray), nullptr);
  EXPECT_NE(settings.FindTyped(kFormToTray, kGFormToTrayDatabaseId), nullptr);
  EXPECT_NE(settings.FindComposite(kUserMediaTypesKey), nullptr);

  // A copy is the caller's: changing it leaves the settings alone.
  std::unique_ptr<MPersistentObject> copy = settings.CopyAttribute(kOrientation);
  ASSERT_NE(copy, nullptr);
  static_cast<GValueAttribute*>(copy.get())->SetValue(5);
  settings.GetValue(kOrientation, value);
  EXPECT_EQ(value, -2);
  EXPECT_EQ(settings.CopyAttribute(9999), nullptr);

  // The user's paper types (701) and the lock list.
  ASSERT_NE(context.FindUserMediaTypes(), nullptr);
  EXPECT_EQ(context.FindUserMediaTypes()->EntryCount(), 3u);
}

TEST(AttributeViewTest, FindMediaSquare) {
  // (paper id, orientation, resolution, found, paper width): 16385 is the
  // fixture's custom size "Custom A" (4 x 6 in: 2400 dots at 600 dpi);
  // 16386 is no custom size and no medium.
  struct Case {
    std::uint16_t paper;
    std::uint32_t orientation;
    std::uint16_t resolution;
    bool found;
    int width;
  };
  const Case cases[] = {{23, 0, 600, true, 4960},    {1, 0, 600, true, 5100},
                        {23, 0, 300, false, 0},      {23, 1, 600, false, 0},
                        {16385, 0, 600, true, 2400}, {16386, 0, 600, false, 0}};
  Sheet sheet;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.paper);
    std::unique_ptr<GMedia> medium =
        sheet.context->GetConfigView().FindMediaSquare(c.paper, c.orientation, c.resolution);
    ASSERT_EQ(medium != nullptr, c.found);
    if (!medium) continue;
    EXPECT_EQ(medium->GetPaperSize().width, c.width);
  }
}

TEST(RevertTest, RestoresValuesUIObjectsAndAReplacedChild) {
  Sheet sheet;
  GUIContext& context = *sheet.context;
  GAttributeView settings = context.GetSettingsView();
  MPersistentObject* database = settings.FindTyped(kFormToTray, kGFormToTrayDatabaseId);
  ASSERT_NE(database, nullptr);
  MPersistentObject* placed = nullptr;

  std::vector<std::string> log;
  // A writes, B refuses the dispatch (as a Cancel answer does), C never runs.
  context.AddListener(new LogRule(&context, "A", log, [&placed](LogRule& rule, int) {
    rule.RaiseUIValue(kFlag, 2);
    GFormToTrayDatabase other(kFormToTray);
    GAttributeView view = rule.GetContext()->GetSettingsView();
    EXPECT_TRUE(view.ReplaceAttribute(kFormToTray, &other));
    placed = view.FindTyped(kFormToTray, kGFormToTrayDatabaseId);
  }));
  context.AddListener(
      new LogRule(&context, "B", log, [](LogRule& rule, int) { rule.GetContext()->RevertAll(); }));
  context.AddListener(new LogRule(&context, "C", log));
  context.BeginUpdate(nullptr);
  settings.SetValue(kOrientation, 1);
  context.DispatchChanges(0);

  EXPECT_EQ(log, (std::vector<std::string>{"AI", "BI", "CI", "AC265", "BC265"}));
  EXPECT_EQ(sheet.Value(kOrientation), 0);
  EXPECT_FALSE(context.GetUIObjectView().Has(kFlag));
  EXPECT_NE(placed, database);
  EXPECT_EQ(context.GetSettingsView().FindTyped(kFormToTray, kGFormToTrayDatabaseId), database);
  EXPECT_TRUE(context.TakeForcedRefresh());
  EXPECT_FALSE(context.TakeForcedRefresh());
}

TEST(UIContextTest, UIObjectsAndAccessFlags) {
  // 283 missing, or of another class: a new composite.
  for (bool string_in_place : {false, true}) {
    Sheet sheet;
    sheet.context.reset();
    delete sheet.Settings()->RemoveChild(sheet.Settings()->FindByKey(kUIObjectsKey));
    if (string_in_place) sheet.Settings()->AddChild(new GStringAttribute("x", kUIObjectsKey));
    sheet.context = std::make_unique<GUIContext>(&sheet.host);
    ASSERT_NE(sheet.context->GetUIObjects(), nullptr);
    EXPECT_EQ(sheet.Settings()->FindByKey(kUIObjectsKey), sheet.context->GetUIObjects());
  }
  // (host flags, access flags, effective flags)
  const std::uint32_t cases[][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2},   {3, 3, 3},
                                    {6, 2, 0}, {7, 3, 1}, {0xF, 3, 1}, {8, 0, 0}};
  for (const auto& c : cases) {
    Sheet sheet(c[0]);
    EXPECT_EQ(sheet.context->GetAccessFlags(), c[1]) << c[0];
    EXPECT_EQ(sheet.context->GetEffectiveAccessFlags(), c[2]) << c[0];
  }
}

TEST(FeatureTest, StatesLocksAndRaisedValues) {
  Sheet sheet;
  GUIContext& context = *sheet.context;
  GFeature feature(&context);
  // A flag's state: clamped to 0-2, 0 when missing; of two, the larger.
  const std::pair<int, int> flags[] = {{-3, 0}, {0, 0}, {1, 1}, {2, 2}, {9, 2}};
  for (auto [value, state] : flags) {
    context.GetUIObjectView().SetValue(kFlag, value);
    EXPECT_EQ(feature.GetUIState(kFlag), state) << value;
    EXPECT_EQ(feature.GetUIState(kFlag + 1, kFlag), state) << value;
  }
  EXPECT_EQ(feature.GetUIState(kFlag + 1), 0);

  std::vector<std::string> log;
  LogRule rule(&context, "A", log);
  rule.ResetUIValue(kFlag + 2);  // created at 0
  EXPECT_TRUE(context.GetUIObjectView().Has(kFlag + 2));
  rule.RaiseUIValue(kFlag + 2, 2);
  rule.RaiseUIValue(kFlag + 2, 1);  // lower: kept
  EXPECT_EQ(feature.GetAttributeValue(kFlag + 2), 2);

  // The lock list 1102 names locked ids by value.
  GAttributeComposite* locks = context.GetSettingsView().FindComposite(kLockListKey);
  ASSERT_NE(locks, nullptr);
  locks->AddChild(new GValueAttribute(kOrientation, 1));
  const std::uint32_t locked = kOrientation;
  const std::uint32_t free = kFormToTray;
  EXPECT_TRUE(rule.IsLocked(&locked));
  EXPECT_FALSE(rule.IsLocked(&free));

  GAttributeFeature attribute(&context, &locked);
  attribute.SetValue(-1);
  EXPECT_TRUE(attribute.GetValue() == -1 && attribute.WasChanged() && attribute.GetState() == 0);
}

class DriverDataTest : public testing_support::PrinterFixture {};

TEST_F(DriverDataTest, WhatTheContextTakesFromTheDriverData) {
  GDriverContext* printer = DriverData();
  ASSERT_NE(printer, nullptr);
  Sheet sheet(0, printer->AsUIDriverData());
  GUIContext& context = *sheet.context;
  // The tray map is a copy taken at construction.
  ASSERT_NE(context.GetTrayMap(), nullptr);
  EXPECT_NE(static_cast<void*>(context.GetTrayMap()), static_cast<void*>(printer->GetTrayMap()));
  // Trays 1-4 carry string ids 10551-10554; tray 7 none.
  const std::pair<std::uint16_t, std::uint16_t> trays[] = {
      {1, 10551}, {4, 10554}, {7, kNoTrayName}, {0, kNoTrayName}};
  for (auto [tray, name] : trays)
    EXPECT_EQ(GetTrayNameId(tray, &context), name) << tray;
  EXPECT_EQ(context.GetDefaultPaperId(), 1);
  EXPECT_TRUE(context.GetDefaultSettings() &&
              context.GetDefaultSettings() == context.GetDefaultSettings());
  // The main unit's installed trays, in order, and any source; the lower
  // cassette is not installed.
  GValueList sources;
  context.CollectInstalledSources(sources);
  std::vector<std::uint32_t> ids;
  for (const GValueList::Node* node = sources.First(); node; node = node->next)
    ids.push_back(node->value);
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{4, 1, 2, 7, kAnySource}));
  EXPECT_EQ(context.IsConfigurationPending(), 0u);
  context.CommitConfiguration();
  EXPECT_EQ(context.IsConfigurationPending(), 1u);
  EXPECT_EQ(MapCustomPaperToStandardId(23, &context), 23);
  EXPECT_EQ(MapCustomPaperToStandardId(16385, &context), 16385);  // no medium "Custom A"
}

TEST_F(DriverDataTest, CommitAppliesTheInstalledOptionsAgainOnlyAfterAChange) {
  GDriverContext* printer = DriverData();
  ASSERT_NE(printer, nullptr);
  Sheet sheet(0, printer->AsUIDriverData());
  const std::pair<std::function<void()>, bool> steps[] = {
      {[] {}, true},
      {[] {}, false},
      {[&] { sheet.context->GetSettingsView().SetValue(kMemoryKey, 128); }, true},
      {[&] { platform::SetPrinterDataW(printer->GetPrinterHandle(), u"A", 3, nullptr, 0); }, true},
      {[&] { printer->ApplyInstalledOptions(sheet.Settings()); }, true}};
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    steps[i].first();
    const std::uint64_t before = printer->GetModelChanges();
    sheet.context->CommitConfiguration();
    EXPECT_EQ(printer->GetModelChanges() != before, steps[i].second) << "step " << i;
  }
}

// Random trees under the keys the framework reads, of every class it may
// meet there, read and written through every road; nothing may crash.
TEST(BadInputTest, RandomTreesOfWrongClassesNeverCrash) {
  const std::uint32_t keys[] = {kUIObjectsKey,   kLockListKey,      kUserMediaTypesKey,
                                kFormToTray,     kPaperHandlingKey, kMediaListKey,
                                kCustomSizesKey, kOrientation,      kFlag};
  std::mt19937 random(40);
  auto key = [&] { return keys[random() % std::size(keys)]; };
  // An object keyed `id` (0: a random key) of a random class.
  std::function<MPersistentObject*(int, std::uint32_t)> make = [&](int depth, std::uint32_t id) {
    const std::uint32_t k = id ? id : key();
    MPersistentObject* made = nullptr;
    switch (random() % (depth > 2 ? 4 : 5)) {
      case 0:
        made = new GValueAttribute(static_cast<std::uint16_t>(random()), k);
        break;
      case 1:
        made = new GStringAttribute("Custom A", k);
        break;
      case 2:
        made = new GCustomMediaSize(static_cast<std::uint16_t>(16384 + random() % 3), "Custom A", 0,
                                    1000, 2000, k);
        break;
      case 3:
        made = new GMedia();
        break;
      default:
        made = new GAttributeComposite(k);
        for (int i = random() % 4; i > 0; --i)
          made->AddChild(make(depth + 1, 0));
    }
    made->SetKey(k);
    return made;
  };
  for (int round = 0; round < 1000; ++round) {
    SCOPED_TRACE(round);
    GCountedPtr settings(new GAttributeComposite(359));
    GCountedPtr job(new GAttributeComposite(198));
    for (int i = random() % 6; i > 0; --i) {
      settings.Get()->AddChild(make(0, 0));
      job.Get()->AddChild(make(0, 0));
    }
    GCountedPtr configuration(support::BuildFixtureConfiguration());
    GUIData host;
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    host.configuration = configuration.Get();
    GUIContext context(&host);
    // The configuration's devices and media, of other classes.
    for (std::uint32_t id : {std::uint32_t{kPaperHandlingKey}, kMediaListKey}) {
      std::unique_ptr<MPersistentObject> wrong(make(0, id));
      if (random() % 2) context.GetConfiguration()->ReplaceByKey(id, wrong.get());
    }
    std::vector<std::string> log;
    context.AddListener(new LogRule(&context, "A", log, [&](LogRule& rule, int pass) {
      const std::uint32_t id = key();
      rule.RaiseUIValue(id, pass);
      rule.IsLocked(&id);
      if (pass == 2) rule.GetContext()->RevertAll();
    }));
    context.BeginUpdate(nullptr);
    // Views are taken afresh: a replacement may take a view's composite away.
    const auto view_of = [&](int which) {
      return which == 0   ? context.GetSettingsView()
             : which == 1 ? context.GetUIObjectView()
                          : GAttributeView(job.Get(), &context, false);
    };
    for (int which = 0; which < 3; ++which) {
      for (int i = 0; i < 8; ++i) {
        GAttributeView view = view_of(which);
        std::int32_t value;
        RWCString text;
        view.GetValue(key(), value);
        view.SetValue(key(), static_cast<std::int32_t>(random()));
        view.GetString(key(), text);
        view.SetString(key(), "y");
        view.Descend(key()).AddValue(1, key());
        std::unique_ptr<MPersistentObject> copy = view.CopyAttribute(key());
        if (copy) view.ReplaceAttribute(key(), copy.get());
        view.FindMediaSquare(static_cast<std::uint16_t>(16384 + random() % 3), 0, 600);
      }
    }
    GValueList sources;
    context.CollectInstalledSources(sources);
    context.FindUserMediaTypes();
    MapCustomPaperToStandardId(16385, &context);
    context.PushSnapshot();
    context.DispatchChanges(1);
    context.PopSnapshot(random() % 2);
    context.RevertAll();
  }
}

}  // namespace
