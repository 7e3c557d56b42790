// The system refusing writes of the stored state over the device road and
// the initialise event with the prompt sheet (sweep_scenarios.h), each plan
// in a child (support/write_refusal_sweep.h says what each is owed). In CI
// each sweep takes kWrites writes spread evenly, every plan of each;
// DRV_WRITE_STRIDE=1 takes every write (DRV_WRITE_FIRST the first).
// DRV_WRITE_ONE=device:<plan> (init:<plan>, the plan as WritePlan::Parse
// reads it) runs one child (DRV_SWEEP_TRACE=1: all it said).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/write_refusal_sweep.h"
#include "tests/acceptance/out_of_memory/sweep_scenarios.h"

namespace testing_support {
namespace {

constexpr std::uint64_t kWrites = 20;

void RunWriteSweep(const support::ScenarioMaker& make) {
  std::string summary;
  const support::SweepReport report = support::SweepWritesEvenly(make, kWrites, summary);
  std::printf("%s\n", summary.c_str());  // the sweep's size, for whoever reads the log
  for (const support::SweepFinding& finding : report.findings)
    ADD_FAILURE() << "write " << finding.index << " (" << finding.kind << "): " << finding.what;
}

TEST(WriteRefusalSweep, DeviceRoad) {
  RunWriteSweep(DeviceSheets());
}

TEST(WriteRefusalSweep, InitialiseAndPromptSheet) {
  RunWriteSweep(InitialiseAndPromptSheet());
}

TEST(WriteRefusalSweep, One) {
  const char* one = std::getenv("DRV_WRITE_ONE");
  support::WritePlan plan;
  if (!one || !plan.Parse(std::strchr(one, ':') ? std::strchr(one, ':') + 1 : ""))
    GTEST_SKIP() << "DRV_WRITE_ONE=device:S:I[:K|:all] or init:S:I[:K|:all]";
  const auto make = one[0] == 'i' ? InitialiseAndPromptSheet() : DeviceSheets();
  support::SweepReference reference;
  std::string error;
  ASSERT_TRUE(support::RecordReference(make, reference, error)) << error;
  EXPECT_EQ(support::SweepWriteOne(make, reference, plan), "") << plan.Describe();
}

}  // namespace
}  // namespace testing_support
