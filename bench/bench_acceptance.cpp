// Scenario (a) of the acceptance tests from call to return
// (support/acceptance_scenario.h): DrvDocumentProperties through the
// loaded library's export with the document sheet worked by a user who
// opens every document page, then Paper, chooses "Envelope", agrees to the
// duplex box and presses OK; beside it, as the floor, the device-mode
// round trip alone (the same call with DM_COPY | DM_MODIFY and no prompt:
// the application's record bound, saved, copied out), and, for the profile
// of the rest, the sheet opened on every page and closed with OK without a
// change. Besides the ratio of the benchmarks' medians, each sheet
// benchmark follows every call with an untimed round trip and states the
// ratio of the two, call by call (x_round_trip): a machine's other work
// weighs on both alike, and the round trip runs as it does between an
// application's other calls rather than alone in a loop that keeps its
// data in the caches.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/pair_ratios.h"
#include "driver/load.h"
#include "platform/host/printer_interface.h"
#include "platform/host/reset.h"
#include "platform/ui/message_boxes.h"
#include "platform/ui/property_sheet.h"
#include "support/acceptance_install.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "support/run_folder.h"
#include "support/ui_user.h"

namespace {

using namespace support;

struct Fixture {
  AcceptanceInstall install;
  Record in;
  std::string failed;
};

// P1 installed once for the process (left installed at its end), in a
// folder of the run's own that goes at the end.
Fixture& Get() {
  static support::RunFolder folder("bench_acceptance");
  static Fixture* fixture = [] {
    auto* f = new Fixture;
    DriverLoad();
    platform::ResetHostServices();
    f->failed = f->install.Install(folder.Path());
    if (f->failed.empty()) {
      f->in = ScenarioRequest(f->install, f->install.Printer(), kFixturePrinter);
      if (f->in.empty()) f->failed = "no default record";
    }
    return f;
  }();
  return *fixture;
}

using bench::ThreadSeconds;

constexpr platform::DWORD kRoundTripMode = platform::kDmModeCopy | platform::kDmModeModify;

// One call of `mode` on the application's record after `queue` (the
// sheet's log is cleared so that it does not grow over the run); false
// when it did not answer 1.
bool OneCall(Fixture& f, Record& out, platform::DWORD mode, void (*queue)()) {
  if (queue) queue();
  Record in = f.in;
  const bool answered =
      DocumentProperties(f.install, f.install.Printer(), kFixturePrinter, &out, &in, mode) == 1;
  platform::ClearPropertySheetLog();
  return answered;
}

// Calls of `mode` after `queue`, each followed (untimed) by a round trip:
// the counter x_round_trip is the processor time of the calls over the
// round trips', taken call by call so that whatever else the machine does
// weighs on both alike.
void Call(benchmark::State& state, platform::DWORD mode, void (*queue)()) {
  Fixture& f = Get();
  if (!f.failed.empty()) return state.SkipWithError(f.failed.c_str());
  Record out(kAcceptanceRecordBytes);
  const bool paired = mode != kRoundTripMode;
  double ours = 0, peer = 0;
  for (auto _ : state) {
    const double start = ThreadSeconds();
    if (!OneCall(f, out, mode, queue)) return state.SkipWithError("the call did not answer 1");
    if (!paired) continue;
    state.PauseTiming();
    const double middle = ThreadSeconds();
    if (!OneCall(f, out, kRoundTripMode, nullptr))
      return state.SkipWithError("the round trip did not answer 1");
    const double end = ThreadSeconds();
    ours += middle - start, peer += end - middle;
    state.ResumeTiming();
  }
  if (paired && peer > 0) state.counters["x_round_trip"] = ours / peer;
}

void BM_DeviceModeRoundTrip(benchmark::State& state) {
  Call(state, kRoundTripMode, nullptr);
}
BENCHMARK(BM_DeviceModeRoundTrip)->Unit(benchmark::kMillisecond);

void BM_SheetEveryPageOk(benchmark::State& state) {
  Call(state, platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify, [] {
    OnSheet([](SheetDriver& sheet) {
      for (std::size_t i = 0; i < sheet.pages(); ++i)
        sheet.activate(i);
      sheet.ok();
    });
  });
}
BENCHMARK(BM_SheetEveryPageOk)->Unit(benchmark::kMillisecond);

void BM_DocumentPropertiesScenario(benchmark::State& state) {
  Call(state, platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify,
       [] { QueueScenarioSheet(true, nullptr); });
}
BENCHMARK(BM_DocumentPropertiesScenario)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunWithRatios(argc, argv,
                              {{"BM_DocumentPropertiesScenario", "BM_DeviceModeRoundTrip"},
                               {"BM_SheetEveryPageOk", "BM_DeviceModeRoundTrip"}});
}
