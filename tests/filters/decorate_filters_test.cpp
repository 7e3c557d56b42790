// The letterhead, hand-off, colour-adjustment and watermark filters on a
// job (filter_harness.h).
#include <gtest/gtest.h>

#include "config/paper/media.h"
#include "filters/letterhead_filter.h"
#include "filters/reverse_filter.h"
#include "output/commands/job_commands.h"
#include "tests/support/filter_harness.h"

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

}  // namespace
