// Allocations failed one at a time over the sheet session and the print job
// (sweep_scenarios.h), each in a child process, under the default error
// handler and under a returning one (support/allocation_sweep.h says what
// each child is owed). The sweep is strided so that it stays within a
// minute of CI time; DRV_SWEEP_STRIDE=1 sweeps every allocation.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/acceptance/out_of_memory/sweep_scenarios.h"

namespace testing_support {
namespace {

std::uint64_t StrideFromEnvironment(std::uint64_t fallback) {
  const char* text = std::getenv("DRV_SWEEP_STRIDE");
  return text && std::atoll(text) > 0 ? std::uint64_t(std::atoll(text)) : fallback;
}

void RunSweep(const support::ScenarioMaker& make, std::uint64_t stride, bool returning) {
  support::SweepReference reference;
  std::string error;
  ASSERT_TRUE(support::RecordReference(make, reference, error)) << error;
  std::printf("allocations: %llu, states %zu\n", (unsigned long long)reference.allocations,
              reference.states.size());
  support::SweepReport report = support::Sweep(make, reference, 1, StrideFromEnvironment(stride),
                                               ~std::uint64_t{0}, returning);
  std::printf("children %llu, failed calls %llu, [NOMEM] exits %llu, findings %zu\n",
              (unsigned long long)report.children, (unsigned long long)report.failed_calls,
              (unsigned long long)report.no_memory_exits, report.findings.size());
  for (const support::SweepFinding& finding : report.findings)
    ADD_FAILURE() << "allocation " << finding.index << ": " << finding.what;
}

TEST(AllocationSweep, SheetSession) {
  RunSweep(SheetSession(), 997, false);
}

TEST(AllocationSweep, PrintJob) {
  RunSweep(PrintJob(), 997, false);
}

}  // namespace
}  // namespace testing_support
