// Scenario (a) of the acceptance tests from call to return
// (support/acceptance_scenario.h): DrvDocumentProperties through the
// loaded library's export with the document sheet worked by a user who
// opens every document page, then Paper, chooses "Envelope", agrees to the
// duplex box and presses OK; beside it, as the floor, the device-mode
// round trip alone (the same call with DM_COPY | DM_MODIFY and no prompt:
// the application's record bound, saved, copied out), and, for the profile
// of the rest, the sheet opened on every page and closed with OK without a
// change.
#include <benchmark/benchmark.h>

#include <filesystem>
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
#include "support/ui_user.h"

namespace {

using namespace support;

struct Fixture {
  AcceptanceInstall install;
  Record in;
  std::string failed;
};

// P1 installed once for the process (left installed at its end).
Fixture& Get() {
  static Fixture* fixture = [] {
    auto* f = new Fixture;
    DriverLoad();
    platform::ResetHostServices();
    const std::string folder =
        (std::filesystem::temp_directory_path() / "driverui-bench-printer").string();
    std::filesystem::remove_all(folder);
    f->failed = f->install.Install(folder);
    if (f->failed.empty()) {
      f->in = ScenarioRequest(f->install, f->install.Printer(), kFixturePrinter);
      if (f->in.empty()) f->failed = "no default record";
    }
    return f;
  }();
  return *fixture;
}

// One call of `mode` on the application's record after `queue` (the
// sheet's log is cleared so that it does not grow over the run).
void Call(benchmark::State& state, platform::DWORD mode, void (*queue)()) {
  Fixture& f = Get();
  if (!f.failed.empty()) return state.SkipWithError(f.failed.c_str());
  Record out(kAcceptanceRecordBytes);
  for (auto _ : state) {
    if (queue) queue();
    Record in = f.in;
    if (DocumentProperties(f.install, f.install.Printer(), kFixturePrinter, &out, &in, mode) != 1)
      return state.SkipWithError("the call did not answer 1");
    platform::ClearPropertySheetLog();
  }
}

void BM_DeviceModeRoundTrip(benchmark::State& state) {
  Call(state, platform::kDmModeCopy | platform::kDmModeModify, nullptr);
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
