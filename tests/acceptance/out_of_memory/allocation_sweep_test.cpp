// Allocations failed one at a time over the sheet session, the host's
// calls and the print job (sweep_scenarios.h), each in a child process,
// under the default error handler and under a returning one
// (support/allocation_sweep.h says what each child is owed). A brief
// shortage is over once the new handler has run; a lasting one makes it
// give up, so that std::bad_alloc unwinds to the export called (swept over
// the scenarios that go through the exports only). In CI each sweep runs
// kChildren children spread evenly over the scenario's allocations (the
// two handlers' halfway apart), which keeps each within about a quarter
// of a minute under the sanitizers. For a local run, DRV_SWEEP_STRIDE sets
// the stride (1: every allocation) and DRV_SWEEP_FIRST the first index;
// DRV_SWEEP_ONE=sheet:N (host, devices, upgrade, job, init, prompt) runs
// child N alone and fails on what it met as any child's finding, in the
// mode support::ModeFromEnvironment reads (with DRV_SWEEP_TRACE=1, all the
// child said, the failed allocation's stack included).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/acceptance/out_of_memory/sweep_scenarios.h"

namespace testing_support {
namespace {

constexpr std::uint64_t kChildren = 60;
// Each window's run, and the sheets' steps alone.
constexpr std::uint64_t kWindowChildren = 30;
constexpr std::uint64_t kSheetChildren = 60;

// The host's calls that store through a sheet's OK or an upgrade.
support::ScenarioMaker DeviceSheetAndUpgrade() {
  return support::OnlySteps(HostCalls(), {"the device sheet", "the upgrade"});
}

using support::Shortage;

// `system`: the system's allocations counted, the store's checks run.
void RunSweep(const support::ScenarioMaker& make, bool returning,
              Shortage shortage = Shortage::kBrief, std::uint64_t run = 1,
              bool host_handler = false, std::uint64_t children = kChildren, bool system = false) {
  std::string summary;
  const support::SweepReport report = support::SweepEvenly(
      make, children, returning, {returning, shortage, run, host_handler, system, system}, summary);
  std::printf("%s\n", summary.c_str());  // the sweep's size, for whoever reads the log
  for (const support::SweepFinding& finding : report.findings)
    ADD_FAILURE() << "allocation " << finding.index << " (" << finding.kind
                  << "): " << finding.what;
}

// Windows of 2, 3 and 4 allocations failing in a row (a write among them
// refused with 8).
void RunWindows(const support::ScenarioMaker& make) {
  for (std::uint64_t run : {2, 3, 4})
    RunSweep(make, true, Shortage::kBrief, run, false, kWindowChildren, true);
}

// The sheets' steps of the initialise scenario alone.
support::ScenarioMaker SheetSteps() {
  return support::OnlySteps(InitialiseAndPromptSheet(true),
                            {"the prompt sheet", "the document sheet", "PrinterProperties"});
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

// The document end alone, at every allocation: the port file it puts in
// place stays only when it answers success.
TEST(AllocationSweep, PrintJobEndReturningHandler) {
  RunSweep(PrintJob(true), true, Shortage::kBrief, 1, false, ~std::uint64_t{0});
}

TEST(AllocationSweep, SheetSessionLastingShortage) {
  RunSweep(SheetSession(), false, Shortage::kLasting);
}

TEST(AllocationSweep, HostCallsLastingShortage) {
  RunSweep(HostCalls(), false, Shortage::kLasting);
}

TEST(AllocationSweep, SheetSessionLastingShortageReturningHandler) {
  RunSweep(SheetSession(), true, Shortage::kLasting);
}

TEST(AllocationSweep, HostCallsLastingShortageReturningHandler) {
  RunSweep(HostCalls(), true, Shortage::kLasting);
}

TEST(AllocationSweep, HostCallsReturningHandler) {
  RunSweep(HostCalls(), true);
}

// Two allocations in a row: the first takes the reserve, the second finds
// none.
TEST(AllocationSweep, HostCallsTwoInARowReturningHandler) {
  RunSweep(HostCalls(), true, Shortage::kBrief, 2);
}

// A host's own new handler, installed after the attach: the sheets say OK
// only with everything stored.
TEST(AllocationSweep, DeviceSheetsHostHandler) {
  RunSweep(DeviceSheets(), false, Shortage::kBrief, 1, true);
}

TEST(AllocationSweep, DeviceSheetsHostHandlerReturningHandler) {
  RunSweep(DeviceSheets(), true, Shortage::kBrief, 1, true);
}

// The default handler's fatal end in the device sheets, the upgrade and
// (SheetSession above) the document sheet leaves the store as before the
// step or as after it.
TEST(AllocationSweep, DeviceSheetAndUpgrade) {
  RunSweep(DeviceSheetAndUpgrade(), false);
}

TEST(AllocationSweep, DeviceSheetAndUpgradeLastingShortage) {
  RunSweep(DeviceSheetAndUpgrade(), false, Shortage::kLasting);
}

TEST(AllocationSweep, DeviceSheets) {
  RunSweep(DeviceSheets(), false);
}

TEST(AllocationSweep, DeviceSheetsLastingShortage) {
  RunSweep(DeviceSheets(), false, Shortage::kLasting);
}

// The sheets answer as their store says, one allocation failing at a time.
TEST(AllocationSweep, SheetsAnswerAsStoredReturningHandler) {
  RunSweep(SheetSteps(), true, Shortage::kBrief, 1, false, kSheetChildren);
}

TEST(AllocationWindows, DeviceRoad) {
  RunWindows(DeviceSheets());
}

TEST(AllocationWindows, InitialiseAndPromptSheet) {
  RunWindows(InitialiseAndPromptSheet());
}

TEST(AllocationSweep, One) {
  const char* one = std::getenv("DRV_SWEEP_ONE");
  if (!one) GTEST_SKIP() << "DRV_SWEEP_ONE=sheet:N (host, devices, upgrade, job, init, prompt)";
  const auto make = one[0] == 'j'   ? PrintJob()
                    : one[0] == 'h' ? HostCalls()
                    : one[0] == 'd' ? DeviceSheets()
                    : one[0] == 'u' ? DeviceSheetAndUpgrade()
                    : one[0] == 'i' ? InitialiseAndPromptSheet()
                    : one[0] == 'p' ? SheetSteps()
                                    : SheetSession();
  const support::SweepMode mode = support::ModeFromEnvironment();
  support::SweepReference reference;
  std::string error;
  ASSERT_TRUE(support::RecordReference(make, reference, error, mode)) << error;
  EXPECT_EQ(support::SweepOne(make, reference, std::stoull(std::strchr(one, ':') + 1), mode), "");
}

}  // namespace
}  // namespace testing_support
