// The letterhead, hand-off, colour-adjustment and watermark filters on a
// job (filter_harness.h).
#include <gtest/gtest.h>

#include "config/attributes/style_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/paper/media.h"
#include "driver/services/extension_job_hooks.h"
#include "filters/color_adjustment_filter.h"
#include "filters/handoff_filters.h"
#include "filters/letterhead_filter.h"
#include "filters/reverse_filter.h"
#include "filters/watermark_filter.h"
#include "foundation/rw/file.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/core/peripheral_composite.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "output/text/text_string.h"
#include "persist/ondisk/command_composite_on_disk.h"
#include "persist/string_conversion.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

using namespace testing_support;

GAttributeComposite* SetOf(const GCountedPtr& command) {
  return static_cast<GCommand*>(command.Get())->GetAttributes();
}

class DecorateFilters : public JobContextFixture {
 protected:
  // A document start on `values` with a medium of `type` (none: null).
  GCountedPtr Start(Values values, const char* type) {
    GCountedPtr start = Command(kGDocumentStartId, values);
    if (type)
      SetOf(start)->AddChild(
          new GMedia(nullptr, {}, {}, {}, 0, 1, 600, 600, 259, 0, nullptr, type));
    return start;
  }
  // 265 of each page start the recorder saw.
  std::vector<std::int32_t> Angles(const FilterJob& job) {
    std::vector<std::int32_t> angles;
    for (const RecordedEvent& event : job.recorder->events)
      if (event.command->ClassId() == kGPageStartId)
        angles.push_back(ValueOf(SetOf(event.command), 265));
    return angles;
  }
};

TEST_F(DecorateFilters, LetterheadTurnsPagesOfQualifyingDocumentsAndMarksThemHandled) {
  struct Case {
    std::int32_t duplex_unit;  // job settings 308
    const char* type;
    Values document;
    std::vector<std::int32_t> angles;  // pages start at 0, 90, 180, 270, 45, none
    std::int32_t order;                // 710 afterwards
  };
  const std::vector<std::int32_t> turned = {180, 270, 0, 90, 45, -1};
  const std::vector<std::int32_t> kept = {0, 90, 180, 270, 45, -1};
  const Case cases[] = {
      {1, "Letterhead", {{253, 1}, {710, 0}}, turned, 1},
      {0, "Letterhead", {{253, 1}, {710, 0}}, kept, 0},
      {1, "Letterhead", {{253, 1}, {710, 1}}, kept, 1},
      {1, "Letterhead", {{253, 1}, {710, 0}, {905, 1}}, kept, 0},
      {1, "Letterhead", {{253, 0}, {710, 0}}, kept, 0},
      {1, "Letterhead", {{253, 1}}, kept, -1},
      {1, "Plain", {{253, 1}, {710, 0}}, kept, 0},
      {1, nullptr, {{253, 1}, {710, 0}}, kept, 0},  // no medium: not taken
  };
  for (const Case& c : cases) {
    SetValue(JobSettings(), 308, c.duplex_unit);
    FilterJob job(Job(), {new GLetterheadFilter});
    GCountedPtr start = Start(c.document, c.type);
    job.Submit(start);
    for (std::int32_t angle : {0, 90, 180, 270, 45, -1}) {
      GCountedPtr page = Command(kGPageStartId, {{265, angle}});
      if (angle < 0) SetValue(SetOf(page), 265, -1);
      job.Submit(page);
      job.Submit(Command(kGPageEndId));
    }
    EXPECT_EQ(Angles(job), c.angles) << c.type << " " << c.duplex_unit;
    EXPECT_EQ(ValueOf(SetOf(start), 710), c.order);
    ReleaseJob();
  }
}

// 710 := 1 makes a reverse filter after the letterhead filter take the
// document: turned pages also come out last first (an odd count of
// two-sided letterhead pages closes with a blank, on the turned first set).
TEST_F(DecorateFilters, LetterheadAheadOfReverseTurnsAndReverses) {
  SetValue(JobSettings(), 308, 1);
  FilterJob job(Job(), {new GLetterheadFilter, new GReverseFilter});
  job.Submit(Start({{253, 1}, {710, 0}}, "Letterhead"));
  for (std::int16_t n = 1; n <= 3; ++n) {
    job.Submit(Command(kGPageStartId, {{265, 0}}));
    job.Submit(Tag(n));
    job.Submit(Command(kGPageEndId));
  }
  job.Submit(Command(kGDocumentEndId));
  EXPECT_EQ(job.Summary(), (std::vector<std::string>{"DS", "blank", "3", "2", "1", "DE"}));
  EXPECT_EQ(Angles(job), (std::vector<std::int32_t>{180, 180, 180, 180}));
}

// A halftone added in mode 1 and spooled by a page-holding filter is read
// back by class id 790: the generator gets a GHalftoneEnhanced of the same
// value, and its colour map unchanged.
TEST_F(DecorateFilters, SpooledHalftoneReachesTheGeneratorAsTheEnhancedClass) {
  FilterJob job(Job(), {new GTintvectorFilter("", nullptr, nullptr, 0u, 1), new GReverseFilter});
  GCountedPtr start = Command(kGDocumentStartId, {{710, 1}});
  SetOf(start)->AddChild(new GTintvectorAttribute(295u, {1, 2, 3, 4, 5, 6}));
  job.Submit(start);
  job.Submit(Command(kGPageStartId));
  job.Submit(GCountedPtr(new GRectangleGraphic(GShortRect{1, 1, 2, 2}, new GState(0u), 0u)));
  job.Submit(Command(kGPageEndId));
  job.Submit(Command(kGDocumentEndId));
  int seen = 0;
  for (const RecordedEvent& event : job.recorder->events) {
    if (event.command->ClassId() != 659) continue;
    GAttributeComposite* set = SetOf(event.command);
    auto* halftone = dynamic_cast<GHalftoneEnhanced*>(set->FindByKey(0u));
    auto* map = dynamic_cast<GColorMap*>(set->Children()[1].Get());
    ASSERT_TRUE(halftone && map);
    EXPECT_TRUE(halftone->GetValue() == 4 && map->GetValue() == 3);
    ++seen;
  }
  EXPECT_EQ(seen, 1);
}

// The extensions' job side as the hand-off filters see it: each call
// logged; a page command gets two data commands (keys bit + 1, bit + 2)
// before (end) or after (start) it when `mask` has the call's bit.
struct RecordingHooks final : GExtensionJobHooks {
  void BeginDocument(GCommand*) override { calls.push_back("begin"); }
  void EndDocument(GCommand*) override { calls.push_back("end"); }
  GCommand* AddStartData(GCommand* page, std::uint32_t filter) override {
    return Add(page, filter ? 0x800 : 0x200, true);
  }
  GCommand* AddEndData(GCommand* page, std::uint32_t filter) override {
    return Add(page, filter ? 0x1000 : 0x400, false);
  }
  GCommand* Add(GCommand* page, std::uint32_t bit, bool start) {
    calls.push_back(std::to_string(bit));
    if ((mask & bit) == 0) return page;
    auto* composite = new GCommandComposite;
    if (start) composite->AddChild(page);
    composite->AddChild(new GNullCommand(nullptr, bit + 1));
    composite->AddChild(new GNullCommand(nullptr, bit + 2));
    if (!start) composite->AddChild(page);
    return composite;
  }
  std::uint32_t mask = 0;
  std::vector<std::string> calls;
};

// A job context without driver data whose setting 339 is `carried`, and
// whose extension hooks are `hooks`.
struct StubJob final : GRenderDriverData {
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  std::int32_t GetCachedValue() override { return carried; }
  GExtensionJobHooks* GetExtensionJobHooks() override { return hooks; }
  std::uint32_t IsTextAsBlack() override { return text_as_black; }
  // Fonts 101, 102, ... (none when `no_fonts`); each command a null
  // command keyed by its font; the releases logged, the handle left as is.
  std::uint32_t CreateWatermarkFont(const GWatermarkDescription* description, const GSize16&,
                                    std::int32_t* value) override {
    last = *description;
    *value = 5;
    return no_fonts ? 0 : 101 + made++;
  }
  void ReleaseWatermarkFont(std::uint32_t* font) override { released.push_back(*font); }
  GCommand* MakeWatermarkCommand(RWWString, std::uint32_t font, std::int32_t value,
                                 const GRGBColor*, GMedia* medium, std::uint32_t) override {
    built_for.push_back(medium->GetXResolution());
    return value == 5 ? new GNullCommand(nullptr, font) : nullptr;
  }
  std::int32_t carried = 0;
  GExtensionJobHooks* hooks = nullptr;
  std::uint32_t text_as_black = 0;
  bool no_fonts = false;
  std::uint32_t made = 0;
  GWatermarkDescription last;
  std::vector<std::uint32_t> released;
  std::vector<std::int32_t> built_for;
};

// What reached the recorder: the class id, a data command's key.
std::vector<std::string> Reached(const GRecordingDevice& recorder) {
  std::vector<std::string> out;
  for (const RecordedEvent& event : recorder.events)
    out.push_back(dynamic_cast<GNullCommand*>(event.command.Get())
                      ? "d" + std::to_string(event.command->Key())
                      : std::to_string(event.command->ClassId()));
  return out;
}

TEST(HandOff, PagesGetTheExtensionsDataInTheirPlace) {
  using Tokens = std::vector<std::string>;
  const Tokens begin_end = {"begin", "512", "2048", "1024", "4096", "end"};
  const struct {
    bool hooks;
    std::uint32_t mask;
    Tokens reached, calls;
  } cases[] = {
      {false, 0, {"705", "709", "659", "710", "706"}, {}},
      {true, 0, {"705", "709", "659", "710", "706"}, begin_end},
      {true, 0x200, {"705", "709", "d513", "d514", "659", "710", "706"}, begin_end},
      {true, 0x400, {"705", "709", "659", "d1025", "d1026", "710", "706"}, begin_end},
      {true, 0x800, {"705", "709", "d2049", "d2050", "659", "710", "706"}, begin_end},
      {true, 0x1000, {"705", "709", "659", "d4097", "d4098", "710", "706"}, begin_end},
      // The second filter gets the first's composite apart: its own data
      // next to the page command, the first's outside.
      {true,
       0x1E00,
       {"705", "709", "d2049", "d2050", "d513", "d514", "659", "d1025", "d1026", "d4097", "d4098",
        "710", "706"},
       begin_end},
  };
  for (const auto& c : cases) {
    RecordingHooks hooks;
    hooks.mask = c.mask;
    StubJob job;
    job.hooks = c.hooks ? &hooks : nullptr;
    auto* first = new GAAFilter1;
    auto* second = new GAAFilter2;
    auto* recorder = new GRecordingDevice;
    GPeripheralComposite chain;
    chain.AddChild(first);
    chain.AddChild(second);
    chain.AddChild(recorder);
    const GCountedPtr commands[] = {Command(kGDocumentStartId, {}, &job), Command(kGPageStartId),
                                    Tag(1), Command(kGPageEndId), Command(kGDocumentEndId)};
    for (const GCountedPtr& command : commands) {
      chain.Submit(command);
      if (command->ClassId() == kGDocumentStartId) {
        EXPECT_TRUE(first->JobContext() == &job && second->JobContext() == &job);
      }
    }
    EXPECT_EQ(Reached(*recorder), c.reached) << c.mask;
    EXPECT_EQ(hooks.calls, c.calls) << c.mask;
    for (std::size_t i = 0; c.mask == 0 && i < 5; ++i)  // nothing added: the very commands pass
      EXPECT_EQ(recorder->events.at(i).command.Get(), commands[i].Get());
    // Let go at document end (the job's driver data may go next).
    EXPECT_TRUE(!first->JobContext() && !first->Hooks() && !second->Hooks());
    chain.Submit(Command(kGDocumentStartId, {}, &job));
    chain.Submit(Command(kGJobAbortId));
    EXPECT_TRUE(!first->JobContext() && !second->JobContext());
  }
}

// A document start whose watermark setting (379) holds `values`.
GCountedPtr WatermarkStart(StubJob& job, Values values, bool setting = true) {
  GCountedPtr start = Command(kGDocumentStartId, {}, &job);
  if (!setting) return start;
  auto* watermark = new GAttributeComposite(379u);
  for (const auto& [key, value] : values)
    watermark->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  watermark->AddChild(new GStringAttribute("DRAFT", 385u));
  SetOf(start)->AddChild(watermark);
  return start;
}

// A page start with a medium of x resolution `dpi` (0: no medium).
GCountedPtr PageAt(std::uint16_t dpi) {
  GCountedPtr start = Command(kGPageStartId);
  if (dpi)
    SetOf(start)->AddChild(
        new GMedia(nullptr, {}, {}, {}, 0, 1, dpi, dpi, 259, 0, nullptr, "Plain"));
  return start;
}

TEST(Watermark, ChosenPagesGetACommandBuiltForTheirMediumBeforeTheirEnd) {
  using Tokens = std::vector<std::string>;
  const Tokens none = {"705", "709", "710", "709", "710", "706"};
  const struct {
    Values setting;
    bool has_setting, no_fonts;
    std::vector<std::uint16_t> dpi;  // per page, each document
    int documents;
    Tokens reached;
    std::vector<std::int32_t> built_for;
  } cases[] = {
      {{{381, 0}, {382, 0}},
       true,
       false,
       {300, 0, 1200},
       1,
       {"705", "709", "d101", "710", "709", "710", "709", "d102", "710", "706"},
       {300, 1200}},
      {{{381, 0}, {382, 1}},
       true,
       false,
       {600, 600},
       2,
       {"705", "709", "d101", "710", "709", "710", "706", "705", "709", "d102", "710", "709", "710",
        "706"},
       {600, 600}},
      {{{381, 0}, {382, 2}}, true, false, {600, 600}, 1, none, {}},
      {{{381, 1}, {382, 0}}, true, false, {600, 600}, 1, none, {}},
      {{{382, 0}}, true, false, {600, 600}, 1, none, {}},
      {{{381, 0}}, true, false, {600, 600}, 1, none, {}},
      {{}, false, false, {600, 600}, 1, none, {}},
      {{{381, 0}, {382, 0}}, true, true, {600, 600}, 1, none, {}},  // no font made
  };
  for (const auto& c : cases) {
    StubJob job;
    job.no_fonts = c.no_fonts;
    GPeripheralComposite chain;
    auto* filter = new GWatermarkFilter;
    auto* recorder = new GRecordingDevice;
    chain.AddChild(filter);
    chain.AddChild(recorder);
    for (int document = 0; document < c.documents; ++document) {
      chain.Submit(WatermarkStart(job, c.setting, c.has_setting));
      for (std::uint16_t dpi : c.dpi) {
        chain.Submit(PageAt(dpi));
        chain.Submit(Command(kGPageEndId));
      }
      chain.Submit(Command(kGDocumentEndId));
      chain.Reset();
    }
    EXPECT_EQ(Reached(*recorder), c.reached) << c.reached.size();
    EXPECT_EQ(job.built_for, c.built_for);
    // Each font released once, by its own handle; none released unmade.
    std::vector<std::uint32_t> fonts;
    for (std::uint32_t i = 0; i < (c.no_fonts ? 0 : job.made); ++i)
      fonts.push_back(101 + i);
    EXPECT_EQ(job.released, fonts);
    EXPECT_EQ(filter->FontHandle(), 0u);
  }
}

TEST(Watermark, DescriptionFromTheSetting) {
  const struct {
    Values setting;  // 388 style, 390 points, 398-400 colour, 403 shade
    std::uint16_t dpi;
    std::uint32_t text_as_black;
    std::int32_t height;
    std::uint32_t weight, italic, underline, strike_out;
    std::array<int, 3> color;
  } cases[] = {
      {{{388, 3}, {390, 48}, {398, 255}, {403, 128}}, 600, 0, -400, 700, 1, 0, 0, {255, 128, 128}},
      {{{388, 12}, {390, 10}, {398, 255}, {403, 255}}, 300, 0, -41, 400, 0, 1, 1, {255, 232, 232}},
      {{{398, 255}, {399, 255}, {400, 255}, {403, 128}}, 600, 0, 0, 400, 0, 0, 0, {128, 128, 128}},
      {{{398, 255}, {403, 128}}, 600, 1, 0, 400, 0, 0, 0, {128, 128, 128}},
      {{{399, 224}, {400, 255}, {403, 64}}, 600, 0, 0, 400, 0, 0, 0, {64, 255, 255}},
      {{{399, 255}, {403, 0}}, 600, 0, 0, 400, 0, 0, 0, {0, 255, 0}},
  };
  for (const auto& c : cases) {
    StubJob job;
    job.text_as_black = c.text_as_black;
    GWatermarkFilter filter;
    GCountedPtr start = WatermarkStart(job, {{381, 0}, {382, 0}});
    for (const auto& [key, value] : c.setting)
      SetOf(start)->FindByKey(379)->AddChild(
          new GValueAttribute(static_cast<std::uint16_t>(value), key));
    filter.Submit(start);
    filter.Submit(PageAt(c.dpi));
    filter.Submit(Command(kGPageEndId));
    const GWatermarkDescription& d = job.last;
    EXPECT_TRUE(d.text == RWWString(u"DRAFT") && d.text_length == 5 && d.character_set == 1 &&
                d.output_precision == 4);
    EXPECT_EQ(d.height, c.height);
    EXPECT_TRUE(d.weight == c.weight && d.italic == c.italic && d.underline == c.underline &&
                d.strike_out == c.strike_out);
    EXPECT_EQ((std::array<int, 4>{d.color.GetRed(), d.color.GetGreen(), d.color.GetBlue(),
                                  d.color.GetFourth()}),
              (std::array<int, 4>{c.color[0], c.color[1], c.color[2], 255}));
  }
  // A restore clears the page mode: a configured filter read back draws
  // nothing until its next document start.
  StubJob job;
  GWatermarkFilter filter;
  filter.Submit(WatermarkStart(job, {{381, 0}, {382, 0}}));
  ASSERT_EQ(filter.PageMode(), 2u);
  TempPath path("watermark");
  filter.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
  RWFile file(path.c_str(), "rb");
  filter.RestoreFromFile(file);
  EXPECT_TRUE(!file.Error() && filter.PageMode() == 0);
}

// The hand-off filters store nothing, not even the GPeripheral part; a
// chain that holds one comes back with the filter's pointers null.
TEST(HandOff, StoresNothingAndRestoresWithoutAJob) {
  TempPath path("handoff");
  RecordingHooks hooks;
  StubJob job;
  job.hooks = &hooks;
  GPeripheralComposite chain;
  auto* first = new GAAFilter1;
  chain.AddChild(first);
  chain.AddChild(new GAAFilter2);
  chain.Submit(Command(kGDocumentStartId, {}, &job));
  ASSERT_TRUE(first->Hooks() == &hooks);
  first->SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
  EXPECT_TRUE(ReadAll(path.str()).empty() && first->StoredSize() == 0);
  for (Encoding encoding : kAllEncodings) {
    bool ok = false;
    std::unique_ptr<RWCollectable> back(
        RestoreFromStreamBytes(SaveToStreamBytes(&chain, encoding), encoding, &ok));
    auto* restored = dynamic_cast<GPeripheralComposite*>(back.get());
    ASSERT_TRUE(ok && restored && restored->EntryCount() == 2) << EncodingName(encoding);
    auto* one = dynamic_cast<GAAFilter1*>(restored->FindByClassId(kGAAFilter1Id));
    auto* two = dynamic_cast<GAAFilter2*>(restored->FindByClassId(kGAAFilter2Id));
    ASSERT_TRUE(one && two);
    EXPECT_TRUE(!one->JobContext() && !one->Hooks() && !two->JobContext() && !two->Hooks());
  }
}

// A spooled page reaches GAAFilter2 whole: its page start and page end
// records are rewritten in place, the store marked and handed on.
TEST(HandOff, SpooledPageRecordsAreRewrittenInTheStore) {
  TempPath path("handoff");
  RWWString name;
  ASSERT_EQ(NarrowToWide(path.c_str(), name), 1);
  RecordingHooks hooks;
  hooks.mask = 0x1800;
  StubJob job;
  job.hooks = &hooks;
  GAAFilter2 filter;
  filter.Submit(Command(kGDocumentStartId, {}, &job));
  GCountedPtr store(new GCommandCompositeOnDisk(name, 1u, 0u));
  for (const GCountedPtr& command : {Command(kGPageStartId), Tag(1), Command(kGPageEndId)})
    static_cast<GCommand*>(store.Get())->PutRecord(command);
  EXPECT_EQ(filter.Submit(store).Get(), store.Get());
  EXPECT_EQ(static_cast<GCommand*>(store.Get())->CommandWord(), 1u);
  EXPECT_EQ(hooks.calls, (std::vector<std::string>{"2048", "4096"}));
  std::vector<std::string> records;
  std::unique_ptr<MRecordIterator> walk(
      static_cast<GCommandCompositeOnDisk*>(store.Get())->NewChildIterator());
  while (walk->Next()) {
    GCountedPtr record = walk->CurrentObject();
    ASSERT_TRUE(record);
    records.push_back(std::to_string(record->ClassId()) + "/" +
                      std::to_string(record->EntryCount()) +
                      (record->FindByClassId(kGPageStartId) ? "S" : "") +
                      (record->FindByClassId(kGPageEndId) ? "E" : ""));
  }
  EXPECT_EQ(records, (std::vector<std::string>{"605/3S", "659/1", "605/3E"}));
}

// A new command of class `T` holding an empty set (and `extra`).
template <class T>
GCountedPtr WithSet(MPersistentObject* extra = nullptr) {
  auto* command = new T;
  command->AttachAttributes(new GState(0u));
  if (extra) command->GetAttributes()->AddChild(extra);
  return GCountedPtr(command);
}

// "class=value" of each halftone and colour map of `command`'s set.
std::vector<std::string> Choices(const GCountedPtr& command) {
  std::vector<std::string> out;
  GAttributeComposite* set = SetOf(command);
  for (RWSize i = 0; i < set->EntryCount(); ++i)
    if (auto* choice = dynamic_cast<GStyleChoiceAttribute*>(set->Children()[i].Get()))
      out.push_back(std::to_string(choice->ClassId()) + "=" + std::to_string(choice->GetValue()));
  return out;
}

TEST(ColorAdjustment, ModeOneGivesEachKindItsHalftoneAndColorMap) {
  StubJob job;
  GTintvectorFilter filter("", nullptr, nullptr, 0u, 1);
  // Colour map and halftone of text, graphics, photos.
  GCountedPtr start = Command(kGDocumentStartId, {}, &job);
  SetOf(start)->AddChild(new GTintvectorAttribute(295u, {1, 2, 3, 4, 5, 6}));
  filter.Submit(start);
  const std::pair<GCountedPtr, std::vector<std::string>> cases[] = {
      {WithSet<GRectangleGraphic>(), {"790=4", "791=3"}},
      {WithSet<GRasterGraphic>(), {"790=6", "791=5"}},
      {WithSet<GTextStringGraphic>(), {"790=2", "791=1"}},
      {WithSet<GRectangleGraphic>(new GHalftone(77, 9u)), {"790=77", "791=3"}},
      {WithSet<GRectangleGraphic>(new GColorMap(78, 9u)), {"791=78", "790=4"}},
      {Command(kGPageStartId), {}},
  };
  for (const auto& [command, expected] : cases) {
    EXPECT_EQ(filter.Submit(command).Get(), command.Get());
    EXPECT_EQ(Choices(command), expected);
  }
  // 339 = 2: the next document keeps these choices; a Reset (new job)
  // forgets them.
  filter.Submit(Command(kGDocumentEndId));
  job.carried = 2;
  GCountedPtr next = Command(kGDocumentStartId, {}, &job);
  SetOf(next)->AddChild(new GTintvectorAttribute(295u, {9, 9, 9, 9, 9, 9}));
  filter.Submit(next);
  GCountedPtr kept = WithSet<GRectangleGraphic>();
  filter.Submit(kept);
  EXPECT_EQ(Choices(kept), (std::vector<std::string>{"790=4", "791=3"}));
  filter.Reset();
  filter.Submit(next);
  GCountedPtr cleared = WithSet<GRectangleGraphic>();
  filter.Submit(cleared);
  EXPECT_EQ(Choices(cleared), (std::vector<std::string>{"790=0", "791=0"}));
}

TEST(ColorAdjustment, EnhancedModesPutOneAttributeOnEveryPageStart) {
  using E = GTintvectorEnhancedAttribute;
  using V = GTintvectorEnhancedAttributeVer2;
  // Without a key-295 attribute every choice is 65535: bytes 255.
  const E unread(295u, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  // The constructors' byte orders are the page attribute's.
  const E mode3(295u, {1, 2, 3, 4, 5, 6, 7, 8});
  const V mode4(295u, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  struct Case {
    std::int32_t mode;
    MPersistentObject* source;
    const MPersistentObject* expected;
  };
  const Case cases[] = {
      {3, nullptr, &unread}, {3, new E(mode3), &mode3}, {4, new V(mode4), &mode4}};
  for (const Case& c : cases) {
    StubJob job;
    GTintvectorFilter filter("", nullptr, nullptr, 0u, c.mode);
    GCountedPtr start = Command(kGDocumentStartId, {}, &job);
    if (c.source) SetOf(start)->AddChild(c.source);
    filter.Submit(start);
    for (int page = 0; page < 2; ++page) {
      GCountedPtr page_start = Command(kGPageStartId);
      filter.Submit(page_start);
      GAttributeComposite* set = SetOf(page_start);
      ASSERT_EQ(set->EntryCount(), 1u);
      EXPECT_EQ(set->Children()[0]->Key(), 295u);
      EXPECT_TRUE(set->Children()[0]->IsEqualContent(c.expected)) << c.mode;
    }
    GCountedPtr graphic = WithSet<GRectangleGraphic>();
    filter.Submit(graphic);
    EXPECT_TRUE(Choices(graphic).empty());
  }
  StubJob job;
  GTintvectorFilter off;  // mode 0
  off.Submit(Command(kGDocumentStartId, {}, &job));
  EXPECT_FALSE(off.IsEnabled());
}

// Stored forms after the GPeripheral part: the version word 3 and the
// mode as i16 (mode 3: 03 00 00 00 03 00); another version keeps the mode.
TEST(ColorAdjustment, StoresVersionThreeAndTheMode) {
  TempPath path("tint");
  GPeripheral base("", nullptr, nullptr, 0u, 0, 6, 2);  // the full constructor's values
  GTintvectorFilter filter("", nullptr, nullptr, 0u, 3), back;
  filter.SetSerialNumber(base.SerialNumber());
  auto save = [&](const RWCollectable& object) {
    object.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
    return ReadAll(path.str());
  };
  const std::string head = save(base);
  EXPECT_EQ(save(filter), head + Unhex("03 00 00 00 03 00"));
  EXPECT_EQ(filter.StoredSize(), base.StoredSize() + 6);
  for (const auto& [tail, mode] : {std::pair{"03 00 00 00 04 00", 4}, {"01 00 00 00 04 00", 4}}) {
    WriteAll(path.str(), head + Unhex(tail));
    RWFile file(path.c_str(), "rb");
    back.RestoreFromFile(file);
    EXPECT_TRUE(!file.Error() && back.Mode() == mode) << tail;
  }
  EXPECT_EQ(GTintvectorFilter(filter).Mode(), 0);  // a copy keeps the GPeripheral part only
}

}  // namespace
