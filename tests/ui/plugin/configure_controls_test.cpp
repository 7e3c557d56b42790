// The Configure page's option features on the printer fixture, with the
// default error handler in force: the memory and work-space fields'
// readings, the configuration sets, the paper sources and the check boxes'
// dependent options.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/form_to_tray.h"
#include "output/core/peripheral_composite.h"
#include "platform/message_box.h"
#include "tests/ui/framework/framework_testing.h"
#include "tests/ui/plugin/plugin_fixture.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/configure_controls.h"
#include "ui/pages/form_to_tray_feature.h"

namespace {

// A context whose automatic configuration answers `code`.
class FailingContext : public GUIContext {
 public:
  using GUIContext::GUIContext;
  std::uint32_t AutoConfigure() override { return code; }
  std::uint32_t code = 8;
};

class ConfigureControlsTest : public testing_support::PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    ASSERT_TRUE(LoadResourceLibrary(RWWString(testing_support::kPluginLibrary)));
    context = std::make_unique<FailingContext>(&host);
    // The options the fixture lacks, at 0.
    for (std::uint32_t key : {925u, 307u, 245u, 308u, 253u, 292u, 336u, 337u, 927u, 264u, 258u,
                              263u, 1212u, 1214u, 921u, 915u, 317u, 1240u})
      if (!Settings().Has(key)) Tree()->AddChild(new GValueAttribute(0, key));
    if (!Settings().Has(315)) Tree()->AddChild(new GStringAttribute("", 315));
    if (!Settings().Has(316)) Tree()->AddChild(new GStringAttribute("", 316));
  }
  void TearDown() override {
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

  std::unique_ptr<FailingContext> context;
};

// D(m) = ((5m - 320) * 10 / 100 + 6) * 100, by hand: 64 -> 600, 96 -> 2200,
// 128 -> 3800, 512 -> 23000.
TEST_F(ConfigureControlsTest, WorkSpaceDerivedShownAndRead) {
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

// The builder's list of ten sizes; 20-digit texts clamp, never wrap.
TEST_F(ConfigureControlsTest, MemoryReadsStepsAndDependents) {
  const std::int16_t list[] = {1, 10, 64, 96, 128, 160, 192, 256, 288, 320, 384, 512};
  const GSpinLimits limits = GSpinLimits::FromRecord(list);
  struct Typed {
    const char16_t* text;
    std::int32_t value;
  } const typed[] = {{u"100", 96},
                     {u"600", 512},
                     {u"-5", 64},
                     {u"", 64},
                     {u"128", 128},
                     {u"12x", 64},
                     {u"99999999999999999999", 512}};
  for (const Typed& t : typed)
    EXPECT_EQ(GMemoryFeature::ReadText(t.text, limits), t.value) << std::string(t.text, t.text + 2);
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
TEST_F(ConfigureControlsTest, StatusAppliesItsSet) {
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
    ui.ExpectBox(c.text, u"", platform::kMbIconHand, 1);
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
  // The list: loadable statuses of 369 (none in the fixture), then named
  // sets of 1120 (the one here has an empty name).
  std::vector<RWWString> texts;
  std::vector<std::int32_t> ids;
  status.BuildList(texts, ids);
  EXPECT_TRUE(texts.empty());
  delete Tree()->RemoveByKey(1120);
  status.SetValue(14119);  // no set: only 927
  EXPECT_EQ(Value(927), 14119);
}

TEST_F(ConfigureControlsTest, CheckBoxFeatures) {
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
TEST_F(ConfigureControlsTest, PaperSourcesChangeAndRevert) {
  GFormToTrayFeature links(context.get());
  links.SetLinkWithName(3, 5, 11913, "");
  links.SetLinkWithName(1, 1, 11108, "Bond");
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
  links.GetLink(3, form, type);
  EXPECT_EQ(form, 0);
  links.GetLink(1, form, type);
  EXPECT_EQ(form, 1);
  context->DispatchChanges(0);
  RWCString part;
  Settings().GetString(315, part);
  EXPECT_EQ(part, RWCString("Z7142"));
  links.GetLink(3, form, type);
  EXPECT_EQ(form, 5);
  context->EndUpdate();

  GPaperSourcesFeature sources(context.get());
  std::vector<RWWString> texts;
  std::vector<RWCString> parts;
  sources.BuildList(texts, parts);
  ASSERT_EQ(texts.size(), 2u);  // "(None)" and the lower cassette
  EXPECT_EQ(texts[0], RWWString(u"(None)"));
  EXPECT_EQ(parts[1], RWCString("Lower Cassette"));
}

}  // namespace
