// The letterhead, hand-off, colour-adjustment and watermark filters on a
// job (filter_harness.h).
#include <gtest/gtest.h>

#include "config/attributes/style_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/paper/media.h"
#include "filters/color_adjustment_filter.h"
#include "filters/letterhead_filter.h"
#include "filters/reverse_filter.h"
#include "foundation/rw/file.h"
#include "output/commands/job_commands.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "output/text/text_string.h"
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

// A job context without driver data whose setting 339 is `carried`.
struct StubJob final : GRenderDriverData {
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  std::int32_t GetCachedValue() override { return carried; }
  std::int32_t carried = 0;
};

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
