// Allocations failed one at a time over the sheet session and the print job
// (sweep_scenarios.h), each in a child process, under the default error
// handler and under a returning one (support/allocation_sweep.h says what
// each child is owed). In CI each sweep runs kChildren children spread
// evenly over the scenario's allocations (the two handlers' halfway
// apart), which keeps the four within about a minute under the sanitizers.
// For a local run, DRV_SWEEP_STRIDE sets the stride (1: every allocation)
// and DRV_SWEEP_FIRST the first index; DRV_SWEEP_ONE=sheet:N (or job:N)
// runs child N alone and prints what it met (with DRV_SWEEP_TRACE=1, the
// failed allocation's stack too).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/acceptance/out_of_memory/sweep_scenarios.h"

namespace testing_support {
namespace {

constexpr std::uint64_t kChildren = 60;

void RunSweep(const support::ScenarioMaker& make, bool returning) {
  std::string summary;
  const support::SweepReport report =
      support::SweepEvenly(make, kChildren, returning, returning, summary);
  std::printf("%s\n", summary.c_str());  // the sweep's size, for whoever reads the log
  for (const support::SweepFinding& finding : report.findings)
    ADD_FAILURE() << "allocation " << finding.index << ": " << finding.what;
}

TEST(AllocationSweep, SheetSession) {
  RunSweep(SheetSession(), false);
}

TEST(AllocationSweep, SheetSessionReturningHandler) {
  RunSweep(SheetSession(), true);
}

TEST(AllocationSweep, PrintJob) {
  RunSweep(PrintJob(), false);
}

TEST(AllocationSweep, PrintJobReturningHandler) {
  RunSweep(PrintJob(), true);
}

TEST(AllocationSweep, One) {
  const char* one = std::getenv("DRV_SWEEP_ONE");
  if (!one) GTEST_SKIP() << "DRV_SWEEP_ONE=sheet:N or job:N";
  const auto make = one[0] == 'j' ? PrintJob() : SheetSession();
  support::SweepReference reference;
  std::string error;
  ASSERT_TRUE(support::RecordReference(make, reference, error)) << error;
  const bool returning = std::getenv("DRV_SWEEP_RETURNING") != nullptr;
  std::printf("%s\n",
              support::SweepOne(make, reference, std::stoull(std::strchr(one, ':') + 1), returning)
                  .c_str());
}

}  // namespace
}  // namespace testing_support
