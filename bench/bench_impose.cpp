// The imposing filters' cost per page: a document of n Letter pages of 10
// rectangles each through
//   - the N-up filter at N = 2, 4 and 16 (n = 64): each page placed by a
//     transform on a null command, page starts and ends merged per sheet,
//     a frame command per cell;
//   - the booklet filter (n = 8 ... 1,024): every page spooled to disk (a
//     page store and a font-database file), padded, ordered and imposed two
//     to a sheet by its inner N-up at document end, the spool included;
// each to the chain's last device, which executes what it gets. Beside them
// the least an imposition can do: a loop that hands each page on with one
// transform appended (a null command carrying it after the page start).
// Counter: ns per page.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench/spool_bench_job.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/services/driver_data.h"
#include "driver/services/driver_server.h"
#include "filters/booklet_filter.h"
#include "filters/load.h"
#include "filters/nup_filter.h"
#include "fonts/font_database.h"
#include "output/attributes/transform.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/primitive_graphic.h"

namespace {

constexpr int kRectangles = 10;

SpoolBenchEnvironment& Env() {
  static SpoolBenchEnvironment environment("bench_impose");
  return environment;
}

GMedia* Letter() {
  return new GMedia("", GSize16(5100, 6600), GSize16(4900, 6400), GSize16(150, 100), 0, 1, 600, 600,
                    kMediumKey, 0, "", "");
}

GState* PageSet() {
  auto* set = new GState(0u);
  set->AddChild(new GValueAttribute(0, kOrientationKey));
  set->AddChild(Letter());
  return set;
}

// N-up (329 {266 n}) or booklet (279 = 1) on Letter.
GCountedPtr DocumentStart(int pages_per_sheet) {
  GState* set = PageSet();
  if (pages_per_sheet > 0) {
    auto* nup = new GAttributeComposite(kNupSettingsKey);
    nup->AddChild(
        new GValueAttribute(static_cast<std::uint16_t>(pages_per_sheet), kPagesPerSheetKey));
    nup->AddChild(new GValueAttribute(0, kNupPageOrderKey));
    nup->AddChild(new GValueAttribute(0, kNupBordersKey));
    set->AddChild(nup);
  } else {
    set->AddChild(new GValueAttribute(1, kBookletKey));
  }
  return GCountedPtr(new GDocumentStart(set, u"", u"bench", Env().render, 0u));
}

GCountedPtr Rectangle(int i) {
  const auto x = static_cast<std::int16_t>(i * 20);
  return GCountedPtr(new GRectangleGraphic(
      GShortRect{x, x, std::int16_t(x + 10), std::int16_t(x + 10)}, nullptr, 0u));
}

void Run(benchmark::State& state, GPeripheral* filter, int pages_per_sheet) {
  SpoolBenchEnvironment& env = Env();
  GCountedPtr chain(new GPeripheralComposite);
  auto* sink = new Sink;
  chain->AddChild(filter);
  chain->AddChild(sink);
  auto* device = static_cast<GPeripheral*>(chain.Get());
  const auto pages = static_cast<int>(state.range(0));
  for (auto _ : state) {
    device->Submit(DocumentStart(pages_per_sheet));
    for (int page = 0; page < pages; ++page) {
      device->Submit(GCountedPtr(new GPageStart(PageSet(), 0u)));
      for (int i = 0; i < kRectangles; ++i)
        device->Submit(Rectangle(i));
      device->Submit(GCountedPtr(new GPageEnd(0u)));
    }
    if (device->Submit(GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u)))->ClassId() ==
        kGErrorCommandId)
      state.SkipWithError("imposition failed");
    env.render->GetFontDatabase()->Reset();
  }
  state.counters["ns_per_page"] =
      benchmark::Counter(static_cast<double>(pages) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (sink->rectangles < static_cast<std::uint64_t>(pages) * kRectangles * state.iterations())
    state.SkipWithError("rectangles lost");
}

void BM_Nup(benchmark::State& state) {
  Run(state, new GNupFilter, static_cast<int>(state.range(1)));
}

void BM_Booklet(benchmark::State& state) {
  Run(state, new GBookletFilter, 0);
}

// The peer: each page handed on with one transform appended.
void BM_AppendTransform(benchmark::State& state) {
  Sink sink;
  const auto pages = static_cast<int>(state.range(0));
  for (auto _ : state) {
    sink.Submit(DocumentStart(1));
    for (int page = 0; page < pages; ++page) {
      sink.Submit(GCountedPtr(new GPageStart(PageSet(), 0u)));
      auto* bundle = new GGraphicBundle;
      bundle->AddChild(new GTransformAttribute(0, GShortPoint{100, 100}, GScalePair{0.5f, 0.5f}));
      sink.Submit(GCountedPtr(new GNullCommand(bundle, 0u)));
      for (int i = 0; i < kRectangles; ++i)
        sink.Submit(Rectangle(i));
      sink.Submit(GCountedPtr(new GPageEnd(0u)));
    }
    sink.Submit(GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u)));
  }
  state.counters["ns_per_page"] =
      benchmark::Counter(static_cast<double>(pages) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Nup)->Args({64, 2})->Args({64, 4})->Args({64, 16})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Booklet)
    ->Arg(8)
    ->Arg(64)
    ->Arg(512)
    ->Arg(1024)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_AppendTransform)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace
