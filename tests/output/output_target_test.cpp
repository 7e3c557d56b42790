// The output target's states and the order of its calls, with a target
// that records what reaches its raw write.
#include "output/core/output_target.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingTarget : public GOutputTarget {
 public:
  RecordingTarget() : GOutputTarget("LPT1:") {}

  std::string written;
  std::uint16_t raw_answer = 0;

  std::uint16_t WriteRaw(const std::uint8_t* data, std::uint32_t length,
                         std::uint32_t& count) override {
    written.append(reinterpret_cast<const char*>(data), length);
    count = length;
    SetCount(GetCount() + length);
    return raw_answer;
  }
  bool IsReady() override { return true; }
};

using State = GOutputTarget::State;

// Each operation from each state: its answer and the state it leaves.
TEST(OutputTarget, EveryOperationFromEveryState) {
  enum Operation { kOpen, kBegin, kWrite, kEnd, kClose, kFinish };
  struct Case {
    Operation operation;
    State from;
    std::uint16_t answer;
    State to;
    bool wrote;
  };
  const Case cases[] = {
      {kOpen, State::kClosed, 0, State::kOpen, false},
      {kOpen, State::kOpen, 1, State::kOpen, false},
      {kOpen, State::kInJob, 1, State::kInJob, false},
      {kOpen, State::kFinished, 1, State::kFinished, false},
      {kBegin, State::kClosed, 1, State::kClosed, false},
      {kBegin, State::kOpen, 0, State::kInJob, false},
      {kBegin, State::kInJob, 0, State::kInJob, false},
      {kBegin, State::kFinished, 1, State::kFinished, false},
      {kWrite, State::kClosed, 1, State::kClosed, false},
      {kWrite, State::kOpen, 0, State::kInJob, true},  // begins the job itself
      {kWrite, State::kInJob, 0, State::kInJob, true},
      {kWrite, State::kFinished, 1, State::kFinished, false},
      {kEnd, State::kClosed, 1, State::kClosed, false},
      {kEnd, State::kOpen, 0, State::kOpen, false},
      {kEnd, State::kInJob, 0, State::kOpen, false},
      {kEnd, State::kFinished, 1, State::kFinished, false},
      {kClose, State::kClosed, 1, State::kClosed, false},
      {kClose, State::kOpen, 0, State::kClosed, false},
      {kClose, State::kInJob, 0, State::kClosed, false},  // ends the job first
      {kClose, State::kFinished, 1, State::kFinished, false},
      {kFinish, State::kClosed, 0, State::kFinished, false},
      {kFinish, State::kOpen, 0, State::kFinished, false},
      {kFinish, State::kInJob, 0, State::kFinished, false},
      {kFinish, State::kFinished, 0, State::kFinished, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "operation " << c.operation << " from " << c.from);
    RecordingTarget target;
    if (c.from == State::kFinished) target.Finish();
    if (c.from == State::kOpen || c.from == State::kInJob) target.Open(u"doc");
    if (c.from == State::kInJob) target.BeginJob();
    ASSERT_EQ(target.GetState(), c.from);
    std::uint32_t count = 99;
    std::uint16_t answer = 0;
    switch (c.operation) {
      case kOpen:
        answer = target.Open(u"doc");
        break;
      case kBegin:
        answer = target.BeginJob();
        break;
      case kWrite:
        answer = target.Write("PJL", count);
        break;
      case kEnd:
        answer = target.EndJob();
        break;
      case kClose:
        answer = target.Close();
        break;
      case kFinish:
        answer = target.Finish();
        break;
    }
    EXPECT_EQ(answer, c.answer);
    EXPECT_EQ(target.GetState(), c.to);
    EXPECT_EQ(target.written, c.wrote ? "PJL" : "");
    EXPECT_EQ(count, c.wrote ? 3u : 99u);
    EXPECT_EQ(target.IsOpen(), c.to == State::kOpen || c.to == State::kInJob);
    EXPECT_EQ(target.IsNotReady(), c.to == State::kClosed || c.to == State::kFinished);
  }
}

TEST(OutputTarget, WritesCountAndPassTheRawAnswerOn) {
  RecordingTarget target;
  EXPECT_EQ(target.GetName(), RWCString("LPT1:"));
  EXPECT_EQ(target.GetCount(), 0u);
  target.Open(u"doc");
  std::uint32_t written = 0;
  EXPECT_EQ(target.Write("abc", written), 0);
  EXPECT_EQ(target.Write("", written), 0);
  EXPECT_EQ(written, 0u);
  target.raw_answer = 6;
  EXPECT_EQ(target.Write("de", written), 6);
  EXPECT_EQ(target.written, "abcde");
  EXPECT_EQ(target.GetCount(), 5u);
}

}  // namespace
