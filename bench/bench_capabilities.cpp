// DC_PAPERNAMES, DC_BINNAMES and DC_BINS through the exported entry point,
// as the spooler and applications ask them (a count call, then a fill
// call), for the fixture printer P1 with 100 spooler forms and its context
// parked in the driver server between calls; beside copying the same
// answer out of a std::vector: the least a kept answer could cost (the
// counter x_vector is the ratio of their processor times). The entry
// point's side includes the check-out (re-targeting the parked context),
// the bind of the caller's device mode and, for bin names, loading the
// resource library; DC_VERSION asked twice shows what the entry point
// alone costs.
#include <benchmark/benchmark.h>

#include "bench/pair_ratios.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver/device_capabilities.h"
#include "driver/driver_context.h"
#include "driver/entry_points.h"
#include "driver/load.h"
#include "driver/printer_key.h"
#include "lang/joblang_zdl5/load.h"
#include "platform/host/modules.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "services/driver_server.h"
#include "support/fixture_printer.h"
#include "support/run_folder.h"
#include "support/test_os_factory.h"

namespace {

using bench::ThreadSeconds;

constexpr int kForms = 100;

struct Fixture {
  std::unique_ptr<HostOSFactory> services;
  platform::HANDLE printer = nullptr;
  std::vector<unsigned char> record;  // the caller's device mode

  // P1's files in `folder`.
  explicit Fixture(const std::string& folder) {
    platform::ResetHostServices();
    DriverLoad();
    JobLanguageLoad();
    services = std::make_unique<HostOSFactory>();
    support::InstallFixturePrinter(folder);
    platform::AddModule({u"C:\\Drv\\KVQCF.DLL",
                         {},
                         {{10551, u"Tray 1"},
                          {10552, u"Tray 2"},
                          {10554, u"Manual Feed"},
                          {10120, u"User Defined"}}});
    for (int i = 0; i < kForms; ++i) {
      platform::AddServerForm(
          u"", platform::kFormUser,
          u"Form " + std::u16string(1, u'A' + i % 26) + static_cast<char16_t>(u'0' + i / 26),
          100000 + 1000 * i, 150000 + 1000 * i);
    }
    new GDriverServer;
    platform::OpenPrinterW(u"P1", &printer, nullptr);
    // One call makes the context and parks it; its record is the caller's.
    std::uint32_t cookie = 0;
    auto* context = GDriverContext::FromDriverData(
        GDriverServer::Instance()->GetContext(new GPrinterKey(printer, u"P1", 0), cookie));
    context->BindDevMode(nullptr);
    const auto* bytes =
        reinterpret_cast<const unsigned char*>(context->GetDevModeSettings()->GetDevMode());
    record.assign(bytes, bytes + 1172);
    GDriverServer::Instance()->ReleaseContext(cookie);
  }
  const platform::DevModeW* DevMode() const {
    return reinterpret_cast<const platform::DevModeW*>(record.data());
  }
};

// Made once and kept for the process; its folder, the run's own, goes at
// the end.
Fixture& Get() {
  static support::RunFolder folder("bench_capabilities");
  static Fixture* fixture = new Fixture(folder.Path());
  return *fixture;
}

// The same names as `code` answers, fetched once, copied out of a vector
// the way a kept answer could be.
struct Copy {
  std::vector<char16_t> names;
  std::vector<char16_t> out;

  Copy(Fixture& f, platform::WORD code, int units) {
    const platform::DWORD count =
        DrvDeviceCapabilities(f.printer, u"P1", code, nullptr, f.DevMode());
    names.resize(static_cast<std::size_t>(count) * units);
    DrvDeviceCapabilities(f.printer, u"P1", code, names.data(), f.DevMode());
  }
  void operator()() {
    out.resize(names.size());
    std::memcpy(out.data(), names.data(), names.size() * sizeof(char16_t));
    benchmark::DoNotOptimize(out.data());
  }
};

// A count call, then a fill call, through the entry point; the counter
// x_vector is the time of that over the vector copy's, run as many times
// right after.
void Names(benchmark::State& state, platform::WORD code, int units) {
  Fixture& f = Get();
  std::vector<char16_t> out;
  const auto start = ThreadSeconds();
  for (auto _ : state) {
    const platform::DWORD count =
        DrvDeviceCapabilities(f.printer, u"P1", code, nullptr, f.DevMode());
    out.resize(static_cast<std::size_t>(count) * units);
    benchmark::DoNotOptimize(
        DrvDeviceCapabilities(f.printer, u"P1", code, out.data(), f.DevMode()));
  }
  const auto middle = ThreadSeconds();
  Copy copy(f, code, units);
  const auto copied = ThreadSeconds();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i)
    copy();
  const auto end = ThreadSeconds();
  state.counters["names"] = static_cast<double>(out.size() / units);
  state.counters["x_vector"] = (middle - start) / (end - copied);
}

void Plain(benchmark::State& state, platform::WORD code, int units) {
  Copy copy(Get(), code, units);
  for (auto _ : state)
    copy();
  state.counters["names"] = static_cast<double>(copy.names.size() / units);
}

void BM_PaperNames_EntryPoint(benchmark::State& state) {
  Names(state, kDcPaperNames, kPaperNameUnits);
}
void BM_PaperNames_Vector(benchmark::State& state) {
  Plain(state, kDcPaperNames, kPaperNameUnits);
}
void BM_BinNames_EntryPoint(benchmark::State& state) {
  Names(state, kDcBinNames, kBinNameUnits);
}
void BM_BinNames_Vector(benchmark::State& state) {
  Plain(state, kDcBinNames, kBinNameUnits);
}
// Bin numbers (u16 each, read here as one unit a bin).
void BM_Bins_EntryPoint(benchmark::State& state) {
  Names(state, kDcBins, 1);
}
void BM_Bins_Vector(benchmark::State& state) {
  Plain(state, kDcBins, 1);
}
// The entry point's own cost, a pair of calls that answer a field of the
// bound record: the check-out, the bind of the same record, the release.
void BM_Version_EntryPoint(benchmark::State& state) {
  Fixture& f = Get();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        DrvDeviceCapabilities(f.printer, u"P1", kDcVersion, nullptr, f.DevMode()));
    benchmark::DoNotOptimize(
        DrvDeviceCapabilities(f.printer, u"P1", kDcVersion, nullptr, f.DevMode()));
  }
}

BENCHMARK(BM_PaperNames_EntryPoint);
BENCHMARK(BM_PaperNames_Vector);
BENCHMARK(BM_BinNames_EntryPoint);
BENCHMARK(BM_BinNames_Vector);
BENCHMARK(BM_Bins_EntryPoint);
BENCHMARK(BM_Bins_Vector);
BENCHMARK(BM_Version_EntryPoint);

}  // namespace
