// The imposing filters' cost per page: a document of n Letter pages of 10
// rectangles each through
//   - the N-up filter at N = 2, 4 and 16 (n = 64): each page placed by a
//     transform on a null command, page starts and ends merged per sheet,
//     a frame command per cell;
//   - the booklet filter (n = 8 ... 1,024): every page spooled to disk
//     (its store in the spool's one file), padded, ordered and imposed two
//     to a sheet by its inner N-up at document end, the spool included,
//     beside the same pages through the N-up filter two to a sheet in the
//     same iterations (x_nup: the booklet over the imposition alone);
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
#include "services/driver_data.h"
#include "services/driver_server.h"

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

// N-up (kNupSettingsKey {kPagesPerSheetKey n}) or booklet (kBookletKey = 1) on
// Letter.
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

// One document of `pages` Letter pages of 10 rectangles through `device`;
// false when the chain answers an error.
bool Document(GPeripheral& device, int pages, int pages_per_sheet) {
  device.Submit(DocumentStart(pages_per_sheet));
  for (int page = 0; page < pages; ++page) {
    device.Submit(GCountedPtr(new GPageStart(PageSet(), 0u)));
    for (int i = 0; i < kRectangles; ++i)
      device.Submit(Rectangle(i));
    device.Submit(GCountedPtr(new GPageEnd(0u)));
  }
  const bool ok = device.Submit(GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u)))->ClassId() !=
                  kGErrorCommandId;
  Env().render->GetFontDatabase()->Reset();
  return ok;
}

// `filter` ahead of a last device of its own; the device.
Sink* Chain(GCountedPtr& chain, GPeripheral* filter) {
  chain.Reset(new GPeripheralComposite);
  auto* sink = new Sink;
  chain->AddChild(filter);
  chain->AddChild(sink);
  return sink;
}

void BM_Nup(benchmark::State& state) {
  GCountedPtr chain;
  Sink* sink = Chain(chain, new GNupFilter);
  const auto pages = static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (!Document(*static_cast<GPeripheral*>(chain.Get()), pages, static_cast<int>(state.range(1))))
      state.SkipWithError("imposition failed");
  }
  state.counters["ns_per_page"] =
      benchmark::Counter(static_cast<double>(pages) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (sink->rectangles < static_cast<std::uint64_t>(pages) * kRectangles * state.iterations())
    state.SkipWithError("rectangles lost");
}

// The booklet beside the imposition alone: the same pages through the N-up
// filter two to a sheet, in memory and in arrival order (x_nup).
void BM_Booklet(benchmark::State& state) {
  GCountedPtr booklet, nup;
  Sink* sink = Chain(booklet, new GBookletFilter);
  Sink* nup_sink = Chain(nup, new GNupFilter);
  const auto pages = static_cast<int>(state.range(0));
  bool ok = true;
  SideBySide(
      state, pages,
      [&] { ok = Document(*static_cast<GPeripheral*>(booklet.Get()), pages, 0) && ok; },
      {{"nup", [&] { ok = Document(*static_cast<GPeripheral*>(nup.Get()), pages, 2) && ok; }}});
  if (!ok) state.SkipWithError("imposition failed");
  const std::uint64_t expected =
      static_cast<std::uint64_t>(pages) * kRectangles * state.iterations();
  if (sink->rectangles < expected || nup_sink->rectangles < expected)
    state.SkipWithError("rectangles lost");
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
    ->UseManualTime();
BENCHMARK(BM_AppendTransform)->Arg(64)->Arg(1024)->Unit(benchmark::kMicrosecond);

}  // namespace
