// The reducing filter's cost per rectangle: n opaque rectangles of 30 x 30
// laid on a 50 x 50 grid of step 20 (each overlaps its neighbours by 10,
// so every new one cuts up to three held ones), n = 10^4 ... 10^6, through
//   - the reducing filter (GReducingFilter::Transform, each rectangle a
//     real graphic with its bundle; runs of at most 1,000 records, flushed
//     as rebuilt rectangles);
//   - the floor: the same graphics built and handed on untouched;
//   - a brute-force overlap removal on the same boxes: each new box cut out
//     of every box kept so far (a kept box replaced by its strips), in
//     windows of 1,000 boxes as the filter's run is bounded, O(window^2).
// Counter: ns per rectangle.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "config/keys/settings_keys.h"
#include "filters/reducing_filter.h"
#include "output/attributes/brush.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/color/color.h"
#include "output/color/paint.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/primitive_graphic.h"

namespace {

struct Box {
  int left, top, right, bottom;
};

Box BoxAt(std::int64_t i) {
  const int x = static_cast<int>(i % 50) * 20, y = static_cast<int>((i / 50) % 50) * 20;
  return {x, y, x + 30, y + 30};
}

GCountedPtr Rectangle(const Box& b) {
  auto* bundle = new GGraphicBundle;
  bundle->AddChild(new GNoPen(kPenKey));
  bundle->AddChild(new GBrush(new GColorPaint(new GRGBColor(200, 0, 0, 0)), kBrushKey));
  bundle->AddChild(new GRasterOperation(0xF0, kRopWholeCode, kRasterOperationKey));
  const GShortRect r{static_cast<std::int16_t>(b.left), static_cast<std::int16_t>(b.top),
                     static_cast<std::int16_t>(b.right), static_cast<std::int16_t>(b.bottom)};
  return GCountedPtr(new GRectangleGraphic(r, bundle, 0u));
}

// Shown in seconds per rectangle (the report's "ns" suffix reads it).
void SetCounter(benchmark::State& state) {
  state.counters["per_rect"] = benchmark::Counter(
      static_cast<double>(state.range(0)) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ReducingFilter(benchmark::State& state) {
  std::int64_t out = 0;
  for (auto _ : state) {
    GReducingFilter filter;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      GCountedPtr passed = filter.Transform(Rectangle(BoxAt(i)));
      out += passed->ClassId();
    }
    GCountedPtr rest = filter.Flush();
    benchmark::DoNotOptimize(rest);
  }
  benchmark::DoNotOptimize(out);
  SetCounter(state);
}

void BM_PassThroughFloor(benchmark::State& state) {
  std::int64_t out = 0;
  for (auto _ : state) {
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      GCountedPtr passed = Rectangle(BoxAt(i));
      out += passed->ClassId();
    }
  }
  benchmark::DoNotOptimize(out);
  SetCounter(state);
}

bool Overlaps(const Box& a, const Box& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

void BM_BruteForceRemoval(benchmark::State& state) {
  std::int64_t kept_total = 0;
  for (auto _ : state) {
    std::vector<Box> kept, next;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
      if (i % 1000 == 0) {
        kept_total += static_cast<std::int64_t>(kept.size());
        kept.clear();
      }
      const Box x = BoxAt(i);
      next.clear();
      for (const Box& k : kept) {
        if (!Overlaps(k, x)) {
          next.push_back(k);
          continue;
        }
        const Box in{std::max(k.left, x.left), std::max(k.top, x.top), std::min(k.right, x.right),
                     std::min(k.bottom, x.bottom)};
        if (in.left > k.left) next.push_back({k.left, in.top, in.left, k.bottom});
        if (k.right > in.right) next.push_back({in.right, in.top, k.right, k.bottom});
        if (in.top > k.top) next.push_back({k.left, k.top, k.right, in.top});
        if (k.bottom > in.bottom) next.push_back({in.left, in.bottom, in.right, k.bottom});
      }
      next.push_back(x);
      kept.swap(next);
    }
    kept_total += static_cast<std::int64_t>(kept.size());
  }
  benchmark::DoNotOptimize(kept_total);
  SetCounter(state);
}

}  // namespace

#define REDUCE_SIZES RangeMultiplier(10)->Range(10'000, 1'000'000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_ReducingFilter)->REDUCE_SIZES;
BENCHMARK(BM_PassThroughFloor)->REDUCE_SIZES;
BENCHMARK(BM_BruteForceRemoval)->REDUCE_SIZES;
