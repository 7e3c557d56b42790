// The constraint rules on the printer fixture, default error handler in
// force: each row starts from the defaults plus its settings, makes its
// changes in one update and dispatches to the rule under test alone; boxes
// are expected by text id, caption "Incompatible Options" and flags.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "output/core/peripheral_composite.h"
#include "persist/capabilities.h"
#include "persist/persistent_composite.h"
#include "platform/ui/message_boxes.h"
#include "tests/ui/pages/plugin_fixture.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/access_rules.h"
#include "ui/pages/duplex_tray_rules.h"
#include "ui/pages/layout_rules.h"
#include "ui/plugin/page_builders.h"

namespace {

constexpr std::uint32_t kLockList = 1102;

// A value (or, when text is set, a string) for an attribute; a box.
struct Setting {
  std::uint32_t id;
  std::int32_t value;
  const char* text = nullptr;
};
struct Box {
  std::uint32_t text_id;
  platform::UINT flags;
  int answer;
};

class RulesTest : public testing_support::PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    ASSERT_TRUE(LoadResourceLibrary(RWWString(testing_support::kPluginLibrary)));
  }
  void TearDown() override {
    context.reset();
    ReleaseResourceLibrary();
    PluginFixture::TearDown();
  }

  // Fresh defaults holding `given` (added at the top when missing), the
  // ids of `locks` in the lock list, and a context on them.
  void Start(const std::vector<Setting>& given, const std::vector<std::uint32_t>& locks = {}) {
    context.reset();
    settings = GCountedPtr(support::BuildFixtureDefaults());
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    std::vector<std::uint32_t> all_locks = locks;
    for (const Setting& s : given) {
      if (s.id == kLockList)
        all_locks.push_back(static_cast<std::uint32_t>(s.value));
      else
        Put(host.settings, s);
    }
    if (!all_locks.empty()) {
      auto* list = dynamic_cast<GAttributeComposite*>(host.settings->FindByKey(kLockList));
      ASSERT_NE(list, nullptr);
      for (std::uint32_t id : all_locks)
        list->AddChild(new GValueAttribute(id, id));
    }
    context = std::make_unique<GUIContext>(&host);
  }
  static void Put(MPersistentObject* in, const Setting& s) {
    MPersistentObject* found = in->FindByKey(s.id);
    if (s.text) {
      if (auto* text = dynamic_cast<GStringAttribute*>(found))
        text->SetValue(RWCString(s.text));
      else
        in->AddChild(new GStringAttribute(s.text, s.id));
    } else if (auto* value = dynamic_cast<GValueAttribute*>(found)) {
      value->SetValue(static_cast<std::uint16_t>(s.value));
    } else {
      in->AddChild(new GValueAttribute(static_cast<std::uint16_t>(s.value), s.id));
    }
  }
  // Makes `changes` and dispatches them to `rule`; `touched` ids are only
  // recorded (the installed sources 315 are a list, changed by replacement).
  void Dispatch(GListFeature* rule, const std::vector<Setting>& changes, int force,
                const std::vector<Box>& boxes, const std::vector<std::uint32_t>& touched = {}) {
    context->AddListener(rule);
    for (const Box& box : boxes)
      ui.ExpectBox(platform::MessageBoxExpectation{std::nullopt, box.text_id,
                                                   GetResourceModuleHandle(),
                                                   u"Incompatible Options", box.flags, box.answer});
    context->BeginUpdate(nullptr);
    GAttributeView view = context->GetSettingsView();
    for (const Setting& s : changes) {
      if (s.id >= 0x40000000)
        context->GetUIObjectView().SetValue(s.id, s.value);
      else
        s.text ? view.SetString(s.id, RWCString(s.text)) : view.SetValue(s.id, s.value);
    }
    for (std::uint32_t id : touched)
      context->RecordChange(id);
    context->DispatchChanges(force);
    context->EndUpdate();
    EXPECT_EQ(platform::PendingMessageBoxExpectations(), 0u);
  }
  std::int32_t Value(std::uint32_t id) const {  // -1 when missing
    std::int32_t value = 0;
    return context->GetSettingsView().GetValue(id, value) ? value : -1;
  }

  GCountedPtr settings;
  std::unique_ptr<GUIContext> context;
};

constexpr int kOk = 1, kCancel = 2;

template <class Rule>
GListFeature* MakeRule(GUIContext* context) {
  return new Rule(context);
}

// A rule, its settings, changes and force, and the values expected after.
struct ChainRow {
  const char* name;
  GListFeature* (*make)(GUIContext*);
  std::vector<Setting> given;
  std::vector<Setting> changes;
  int force;
  std::vector<Setting> expected;  // values, or strings when text is set
};

// Counts the passes of a dispatch.
class PassCounter : public GListFeature {
 public:
  PassCounter(GUIContext* owner, int& passes) : GListFeature(owner), passes_(passes) {}
  void OnChanges(const GValueList&, int) override { ++passes_; }

 private:
  int& passes_;
};

}  // namespace

// Duplex: 245 manual, 253 on, 308 unit; flags 0x4000001B/1D, message 1C.
TEST_F(RulesTest, DuplexAgainstTypeAndSize) {
  struct Row {
    const char* name;
    std::vector<Setting> given;
    std::vector<std::uint32_t> locks;
    std::vector<Setting> changes;
    std::vector<Box> boxes;
    std::int32_t duplex, flag, message;
    std::int32_t paper = -2;  // -2: not checked
    // clang-format off
  } const rows[] = {
      {"no unit, no manual: hidden", {{308, 0}, {245, 0}, {253, 0}}, {}, {{260, 9}}, {}, 0, 2, 0},
      {"manual takes Card Stock", {{245, 1}, {308, 0}, {253, 1}}, {}, {{261, 0, "Card Stock"}}, {},
       1, 0, 0},
      {"manual refuses Labels", {{245, 1}, {308, 0}, {253, 1}}, {}, {{261, 0, "Labels"}},
       {{5101, 0x41, kOk}}, 0, 1, 5112},
      {"unit refuses Card Stock", {{308, 1}, {245, 0}, {253, 1}}, {}, {{261, 0, "Card Stock"}},
       {{5101, 0x41, kOk}}, 0, 1, 5112},
      {"envelope size, OK", {{308, 1}, {245, 0}, {253, 0}, {260, 1}}, {}, {{253, 1}, {260, 9}},
       {{5102, 0x41, kOk}}, 0, 1, 5111, 9},
      {"envelope size, Cancel", {{308, 1}, {245, 0}, {253, 0}, {260, 1}}, {}, {{253, 1}, {260, 9}},
       {{5102, 0x41, kCancel}}, 0, -1, 0, 1},  // the revert drops the new flags
      {"locked size: 5201 then revert", {{308, 1}, {245, 0}, {253, 1}, {260, 1}}, {253},
       {{260, 9}}, {{5201, 0x40, kOk}}, 1, 1, 5200, 1},
      {"locked type: 5202 then revert", {{308, 1}, {245, 0}, {253, 1}}, {253},
       {{262, 0, "Labels"}}, {{5202, 0x40, kOk}}, 1, 1, 5200},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Setting> given = {{260, 1}, {261, 0, "Plain"}};  // the rows' settings follow
    given.insert(given.end(), row.given.begin(), row.given.end());
    Start(given, row.locks);
    Dispatch(new GDuplexMediaRule(context.get()), row.changes, 0, row.boxes);
    EXPECT_EQ(Value(253), row.duplex);
    EXPECT_EQ(Value(0x4000001B), row.flag);
    EXPECT_EQ(Value(0x4000001D), row.flag);
    EXPECT_EQ(Value(0x4000001C), row.message);
    if (row.paper != -2) {
      EXPECT_EQ(Value(260), row.paper);
    }
  }
}

// Trays: 1 and 3 restrict type and size, 6 is Tray 1. Papers 100 (4 x 6
// inches) and 101 (8 x 10) at 600 dpi: 2400 x 3600 and 4800 x 6000 dots.
TEST_F(RulesTest, TrayAgainstTypeAndSize) {
  struct Row {
    const char* name;
    std::vector<Setting> given;
    std::vector<std::uint32_t> locks;
    std::vector<Setting> changes;
    std::vector<Box> boxes;
    std::vector<std::pair<std::uint32_t, std::int32_t>> expected;
    // clang-format off
  } const rows[] = {
      {"Envelope for source 1, OK", {{258, 1}}, {}, {{261, 0, "Envelope"}}, {{5103, 0x41, kOk}},
       {{258, 6}}},
      {"Envelope for source 1, Cancel", {{258, 1}}, {}, {{261, 0, "Envelope"}},
       {{5103, 0x41, kCancel}}, {{258, 1}}},
      {"tray locked: 5204", {{258, 1}}, {258}, {{261, 0, "Envelope"}}, {{5204, 0x40, kOk}},
       {{258, 1}}},
      {"source changed: 5105, revert", {{258, 6}, {261, 0, "Envelope"}}, {}, {{258, 3}},
       {{5105, 0x40, kOk}}, {{258, 6}}},
      {"4 x 6 on source 1: 5104, OK", {{258, 1}, {260, 1}}, {}, {{260, 100}},
       {{5104, 0x41, kOk}}, {{258, 6}}},
      {"4 x 6 on source 3, Cancel keeps sources", {{258, 3}, {263, 1}, {264, 1}, {260, 1}}, {},
       {{260, 100}}, {{5104, 0x41, kCancel}}, {{258, 3}, {263, 1}, {260, 1}}},
      {"4 x 6 on Tray 1", {{258, 6}, {260, 1}}, {}, {{260, 100}}, {}, {{258, 6}}},
      {"8 x 10 on sources 1 and 3", {{258, 1}, {263, 3}, {264, 1}, {260, 1}}, {}, {{260, 101}},
       {}, {{258, 1}, {263, 3}}},
      {"other pages refuse without 264: moved, no box", {{258, 6}, {263, 1}, {264, 0}, {260, 1}},
       {}, {{260, 100}}, {}, {{258, 6}, {263, 6}}},
      {"size, tray locked: 5205", {{258, 1}, {260, 1}}, {258}, {{260, 100}}, {{5205, 0x40, kOk}},
       {{258, 1}, {260, 1}}},
      {"size, source changed: 5106", {{258, 6}, {260, 100}}, {}, {{258, 1}}, {{5106, 0x40, kOk}},
       {{258, 6}}},
      {"source not installed becomes 19", {{258, 6}}, {}, {{258, 77}}, {}, {{258, 19}}},
  };
  // clang-format on
  const GAttributeView config(ConfigurationTreeOf(configuration.Get()), nullptr, true);
  auto* media = dynamic_cast<GMediaPool*>(config.FindTyped(kMediaListKey, kGMediaPoolId));
  // The fixture installs sources 1, 2, 4 and 7: add 3 and Tray 1.
  GAttributeComposite* devices = config.FindComposite(kPaperHandlingKey);
  ASSERT_TRUE(media && devices);
  for (std::uint32_t i = 0; i < devices->EntryCount(); ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
    if (!device || device->GetDeviceType() != kPaperSource || !device->IsInstalled()) continue;
    auto* part = dynamic_cast<GAttributeComposite*>(device->GetPart(device->GetCurrentPartId()));
    ASSERT_NE(part, nullptr);
    part->AddChild(new GTray("Tray 3", 3, kTrayKey));
    part->AddChild(new GTray("Tray 1", 6, kTrayKey));
    break;
  }
  for (auto [id, width, height] : {std::tuple{100, 2400, 3600}, std::tuple{101, 4800, 6000}})
    media->AddChild(new GMedia("", GSize16(width, height), GSize16(width, height), GSize16(0, 0), 0,
                               id, 600, 600, kModelMediumKey, 0, nullptr, nullptr));
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Setting> given = {{323, 600}, {324, 600}, {261, 0, "Plain"}, {262, 0, "Plain"}};
    given.insert(given.end(), row.given.begin(), row.given.end());
    Start(given, row.locks);
    Dispatch(new GTrayMediaRule(context.get()), row.changes, 0, row.boxes);
    for (const auto& [id, value] : row.expected)
      EXPECT_EQ(Value(id), value) << id;
  }
}

TEST_F(RulesTest, Tray1SettingFollowsTheInstalledSources) {
  for (const auto& [changed, force, copied] :
       {std::tuple{315u, 0, 5}, {260u, 0, 0}, {260u, 1, 5}}) {
    Start({{274, 5}, {318, 0}, {260, 1}});
    Dispatch(new GTray1SyncRule(context.get()), {}, force, {}, {changed});
    EXPECT_EQ(Value(318), copied) << changed << force;
  }
}

// Flags and messages: N-up 0x40000023/24, scale 25/26, booklet 27/28, size
// limits 29/2A, fit notice 37/38, TrueType 3B/3C, back cover 7C/7D,
// rasterisation P1 A3/A4, P2 A5/A6, P3 A7/A8. The fixture's printer lacks
// the raster capability; its size limits at 600 dpi take Letter, not
// Tabloid (3).
TEST_F(RulesTest, LayoutChains) {
  const std::vector<Setting> booklet_ok = {{308, 1}, {245, 0},   {253, 1},      {279, 1},
                                           {260, 1}, {266, 1},   {269, 100},    {270, 0},
                                           {920, 0}, {1212, 19}, {1213, 0, ""}, {288, 1}};
  const std::vector<Setting> trays = {{258, 1},  {261, 0, "Bond"},    {263, 2},  {262, 0, "Plain"},
                                      {920, 2},  {1218, 2},           {1212, 5}, {1213, 0, ""},
                                      {1214, 6}, {1215, 0, "Labels"}, {921, 7},  {973, 0, ""}};
  auto with = [](std::vector<Setting> all, const std::vector<Setting>& more) {
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  // clang-format off
  const ChainRow rows[] = {
      {"other pages on the first page's tray", &MakeRule<GTrayConflictRule>, trays,
       {{0x40000041, 1}, {263, 1}}, 0,
       {{262, 0, "Bond"}, {0x40000071, 1}, {0x40000072, 5161}}},
      {"the same with 261 locked", &MakeRule<GTrayConflictRule>, with(trays, {{1102, 261}}),
       {{0x40000041, 1}, {263, 1}}, 0,
       {{262, 0, "Plain"}, {0x40000071, 1}, {0x40000072, 5200}}},
      {"back cover while its option is 1", &MakeRule<GTrayConflictRule>,
       with(trays, {{920, 1}, {921, 1}}), {{0x40000041, 2}}, 0,
       {{973, 0, ""}, {0x40000071, 0}}},
      {"no tray never conflicts", &MakeRule<GTrayConflictRule>, with(trays, {{258, 19}}),
       {{0x40000041, 1}, {263, 19}}, 0, {{0x40000071, 0}, {0x40000072, 0}}},
      {"last page on the front cover's tray", &MakeRule<GTrayConflictRule>, trays,
       {{0x40000041, 4}, {1212, 6}}, 0,
       {{1213, 0, "Labels"}, {0x40000072, 5169}, {0x40000092, 5169}, {0x400000B5, 0}}},
      {"last page with booklet", &MakeRule<GTrayConflictRule>, with(trays, {{279, 1}}),
       {{0x40000041, 4}}, 0, {{0x40000072, 5388}, {0x40000092, 5388}, {0x400000B5, 1}}},
      {"memory alone", &MakeRule<GConfigStatusRule>, {{927, 14117}}, {{925, 96}}, 0,
       {{927, 14118}}},
      {"memory and status", &MakeRule<GConfigStatusRule>, {{927, 14117}},
       {{925, 96}, {927, 14113}}, 0, {{927, 14113}}},
      {"memory 96 with a disk", &MakeRule<GMemoryRule>, {{925, 256}, {239, 1}}, {{925, 96}}, 0,
       {{0x4000006D, 0}, {0x4000007A, 0}}},
      {"memory 96 without", &MakeRule<GMemoryRule>, {{925, 256}, {239, 0}}, {{925, 96}}, 0,
       {{0x4000006D, 1}, {0x4000007A, 1}, {0x4000006E, 5160}}},
      {"no bidirectional link", &MakeRule<GAutoConfigNoticeRule>, {{313, 0}}, {}, 1,
       {{0x40000031, 0}, {0x40000033, 1}, {0x40000034, 5144}, {0x40000032, 0}}},
      {"configured automatically", &MakeRule<GAutoConfigNoticeRule>, {{313, 2}}, {}, 1,
       {{0x40000031, 0}, {0x40000033, 0}, {0x40000032, 5136}, {0x40000034, 0}}},
      {"booklet without duplex", &MakeRule<GBookletRule>,
       with(booklet_ok, {{308, 0}, {245, 0}}), {{260, 23}}, 0,
       {{0x40000027, 2}, {279, 0}, {253, 2}, {288, 1}}},
      {"booklet on Letter", &MakeRule<GBookletRule>, booklet_ok, {}, 1,
       {{0x40000027, 0}, {0x40000028, 0}, {279, 1}, {288, 0}}},
      {"booklet on Legal 5", &MakeRule<GBookletRule>, booklet_ok, {{260, 5}}, 0,
       {{0x40000027, 1}, {0x40000028, 5116}, {279, 0}, {253, 2}}},
      {"booklet, one-sided: marker", &MakeRule<GBookletRule>, with(booklet_ok, {{253, 0}}), {}, 1,
       {{0x40000027, 1}, {0x40000028, 11902}, {279, 0}, {253, 0}}},
      {"booklet, last page on its own tray", &MakeRule<GBookletRule>, with(booklet_ok, {{1212, 3}}), {}, 1,
       {{0x40000028, 5320}}},
      {"booklet, back cover 1", &MakeRule<GBookletRule>, with(booklet_ok, {{920, 1}}), {}, 1,
       {{0x40000028, 7418}}},
      {"raster 3 with a watermark", &MakeRule<GRasterizationRule>,
       {{255, 0}, {383, 0, "Draft"}, {585, 1}}, {{255, 3}}, 0,
       {{255, 0}, {0x400000A3, 1}, {0x400000A5, 1}, {0x400000A7, 0}, {0x400000A4, 14121},
        {0x400000A6, 14121}, {0x400000A8, 14121}}},
      {"raster 3 alone", &MakeRule<GRasterizationRule>, {{255, 0}, {383, 0, ""}, {585, 1}},
       {{255, 3}}, 0,
       {{585, 0}, {0x400000A7, 1}, {0x400000A3, 0}, {0x400000A4, 14123}, {0x400000A6, 14123},
        {0x400000A8, 14123}}},
      {"raster, no trigger", &MakeRule<GRasterizationRule>, {{266, 2}, {383, 0, ""}},
       {{260, 5}}, 0, {{0x400000A3, 0}, {0x400000A5, 0}, {0x400000A4, 0}}},
      {"N-up scaled", &MakeRule<GNupConflictRule>, {{269, 100}, {279, 1}}, {{269, 50}}, 0,
       {{0x40000023, 1}, {0x40000024, 5108}}},
      {"scale with 2 pages", &MakeRule<GScaleConflictRule>, {{266, 1}, {270, 1}}, {{266, 2}}, 0,
       {{0x40000025, 1}, {0x40000026, 5109}}},
      {"TrueType, scaled", &MakeRule<GTrueTypeBitmapRule>, {{269, 100}, {293, 1}}, {{269, 50}},
       0, {{0x4000003B, 1}, {0x4000003C, 5108}, {293, 0}}},
      {"size limits, bitmaps", &MakeRule<GSizeLimitRule>, {{293, 0}}, {{293, 1}}, 0,
       {{0x40000029, 1}, {0x4000002A, 5110}}},
      {"size limits, Tabloid", &MakeRule<GSizeLimitRule>,
       {{323, 600}, {324, 600}, {260, 1}}, {{260, 3}}, 0, {{0x4000002A, 11013}}},
      {"back cover booklet", &MakeRule<GBackCoverBookletRule>, {{279, 1}}, {{0x40000041, 2}}, 0,
       {{0x4000007C, 1}, {0x4000007D, 5388}}},
      {"fit notice", &MakeRule<GFitToPaperNoticeRule>, {{270, 1}, {272, 1}, {260, 1}},
       {{272, 5}}, 0, {{0x40000037, 1}, {0x40000038, 5301}}},
  };
  // clang-format on
  for (const ChainRow& row : rows) {
    SCOPED_TRACE(row.name);
    Start(row.given);
    Dispatch(row.make(context.get()), row.changes, row.force, {});
    for (const Setting& e : row.expected) {
      if (e.text) {
        RWCString text;
        context->GetSettingsView().GetString(e.id, text);
        EXPECT_TRUE(text == e.text) << e.id;
      } else {
        EXPECT_EQ(Value(e.id), e.value) << std::hex << e.id;
      }
    }
  }
}

// Access bit 2 clears bit 1 of the effective flags.
TEST_F(RulesTest, PermissionFollowsTheAccessWord) {
  for (const auto& [access, flag, effective] : {std::tuple{0u, 0, 0}, {1u, 1, 1}, {6u, 1, 0}}) {
    host.access_flags = access;
    Start({});
    Dispatch(new GPermissionRule(context.get()), {}, 1, {});
    EXPECT_EQ(Value(0x40000039), flag) << access;
    EXPECT_EQ(Value(0x4000003A), flag ? 5137 : 0) << access;
    EXPECT_EQ(Value(0x4000009D), effective) << access;
  }
}

// Seeded random settings and changes through every rule of the builder,
// the boxes answered at random: no crash, at most 101 passes.
TEST_F(RulesTest, RandomSettingsThroughAFullDispatch) {
  static constexpr std::uint32_t kIds[] = {239, 245, 253, 255, 258, 260,  262,  263,  264,
                                           266, 269, 270, 272, 279, 293,  308,  313,  315,
                                           585, 920, 921, 925, 927, 1212, 1214, 1218, 0x40000041};
  static constexpr std::uint32_t kTexts[] = {261, 262, 383, 973, 1213, 1215};
  static const char* const kNames[] = {"", "Envelope", "Labels", "Card Stock", "Bond"};
  GZdl5e language(RWCString("Device"), nullptr, nullptr, 101, 0, 0, 0);
  std::mt19937 random(51);
  platform::SetMessageBoxHandler(
      [&](const platform::MessageBoxRecord& box) { return box.flags & 1 ? 1 + random() % 2 : 1; });
  auto pick = [&](std::uint32_t n) { return static_cast<std::int32_t>(random() % n); };
  auto any_setting = [&] {
    if (pick(4) == 0) return Setting{kTexts[pick(6)], 0, kNames[pick(5)]};
    const std::int32_t value = pick(3) == 0 ? pick(40) - 5 : pick(4);
    return Setting{kIds[pick(std::size(kIds))], value};
  };
  for (int seed = 0; seed < 1000; ++seed) {
    std::vector<Setting> given(pick(12)), changes(1 + pick(4));
    for (Setting& s : given)
      s = any_setting();
    for (Setting& s : changes)
      s = any_setting();
    if (pick(3) == 0) given.insert(given.end(), {{1102, 253}, {1102, 258}, {1102, 261}});
    Start(given);
    int passes = 0;  // the counter runs last
    BuildRules(context.get(), &language);
    context->AddListener(MakeNupConflictRule(context.get(), nullptr));
    Dispatch(new PassCounter(context.get(), passes), changes, pick(2), {});
    ASSERT_LE(passes, 101) << seed;
  }
  platform::SetMessageBoxHandler({});
}

// With capability bit 0 only rasterisation 3 counts, not a scale of 50.
TEST_F(RulesTest, TrueTypeOnARasterPrinter) {
  auto* set = new MPersistentComposite(0);
  set->AddChild(new GCapabilities(135, 1, 0));
  ConfigurationTreeOf(configuration.Get())
      ->AddChild(new GPeripheral("", nullptr, set, 112, 0, 0, 0));
  for (const auto& [raster, message] : {std::pair{0, 0}, std::pair{3, 5153}}) {
    Start({{269, 50}, {255, raster}, {293, 1}});
    Dispatch(new GTrueTypeBitmapRule(context.get()), {}, 1, {});
    EXPECT_EQ(Value(0x4000003C), message);
    EXPECT_EQ(Value(293), message ? 0 : 1);
  }
}
