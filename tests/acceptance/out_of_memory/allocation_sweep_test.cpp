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
#include <string>

#include "tests/acceptance/out_of_memory/sweep_scenarios.h"

namespace testing_support {
namespace {

constexpr std::uint64_t kChildren = 60;

std::uint64_t FromEnvironment(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && std::atoll(text) > 0 ? std::uint64_t(std::atoll(text)) : fallback;
}

support::SweepReference Reference(const support::ScenarioMaker& make) {
  support::SweepReference reference;
  std::string error;
  EXPECT_TRUE(support::RecordReference(make, reference, error)) << error;
  return reference;
}

void RunSweep(const support::ScenarioMaker& make, bool returning) {
  const support::SweepReference reference = Reference(make);
  ASSERT_GT(reference.allocations, kChildren);
  const std::uint64_t even = reference.allocations / kChildren;
  const std::uint64_t stride = FromEnvironment("DRV_SWEEP_STRIDE", even);
  const std::uint64_t first = FromEnvironment("DRV_SWEEP_FIRST", returning ? even / 2 + 1 : 1);
  const support::SweepReport report =
      support::Sweep(make, reference, first, stride, ~std::uint64_t{0}, returning);
  // The sweep's size, for whoever reads the log.
  std::printf(
      "%llu allocations; %llu children from %llu by %llu: %llu calls failed, %llu "
      "[NOMEM] exits, %zu findings\n",
      (unsigned long long)reference.allocations, (unsigned long long)report.children,
      (unsigned long long)first, (unsigned long long)stride,
      (unsigned long long)report.failed_calls, (unsigned long long)report.no_memory_exits,
      report.findings.size());
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
  const std::string text = one;
  const auto make = text.rfind("job", 0) == 0 ? PrintJob() : SheetSession();
  const std::uint64_t index = std::stoull(text.substr(text.find(':') + 1));
  std::printf("%s\n", support::SweepOne(make, Reference(make), index,
                                        std::getenv("DRV_SWEEP_RETURNING") != nullptr)
                          .c_str());
}

}  // namespace
}  // namespace testing_support
