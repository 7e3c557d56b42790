// The raster scaler on an A4 page at 300 dots per inch (2,480 x 3,508
// pixels) of 8-bit grey and of 24-bit colour, grown by 2.5 and shrunk to
// 0.4, read through a bitmap source, beside a plain nearest-neighbour loop
// that writes every target row from the same bitmap (the scaler hands a
// repeated row out once, with its repeat count); and a whole chain per
// page: the colour page scaled to 600 dots per inch (x 2), read as grey,
// dithered 16 x 16 and encoded in adaptive blocks, beside plain loops that
// scale, grey and dither the same page. Counter: target Mpixel/s.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/raster_pages.h"
#include "output/color/gray.h"
#include "output/raster/dither_matrix.h"
#include "output/raster/encoders.h"
#include "output/raster/row_chain.h"
#include "output/raster/row_stages.h"
#include "output/raster/scaler.h"

namespace {

constexpr std::int16_t kWidth = 2480;
constexpr std::int16_t kHeight = 3508;

const GBitmap& Page(std::uint16_t samples) {
  static const GBitmap grey = bench_raster::MakePage(kWidth, kHeight, 1),
                       colour = bench_raster::MakePage(kWidth, kHeight, 3);
  return samples == 1 ? grey : colour;
}

// The target of a scale given in tenths.
GShortRect Target(std::int64_t tenths) {
  return {0, 0, std::int16_t(kWidth * tenths / 10), std::int16_t(kHeight * tenths / 10)};
}

void SetRate(benchmark::State& state, const GShortRect& target) {
  bench_raster::SetPixelRate(state, double(target.right) * target.bottom);
}

// Pulls every row from `source` into `row`.
void Drain(GRasterRowSource& source, std::vector<std::uint8_t>& row) {
  std::uint16_t index = 0;
  std::uint32_t length = 1;
  std::uint8_t repeat = 1, delivered = 1;
  while (length != 0) {
    source.GetRow(row.data(), index, length, repeat, delivered);
    benchmark::DoNotOptimize(row.data());
  }
}

// range(0): bytes per pixel (1 or 3); range(1): the scale in tenths.
void BM_Scaler(benchmark::State& state) {
  const auto samples = std::uint16_t(state.range(0));
  const GShortRect target = Target(state.range(1));
  std::vector<std::uint8_t> row(std::size_t{samples} * target.right);
  for (auto _ : state) {
    GBitmapRowSource source({0, 0, kWidth, kHeight}, Page(samples), 2);
    GRasterScaler scaler(target);
    scaler.SetUpstream(&source);
    scaler.Begin();
    Drain(scaler, row);
  }
  SetRate(state, target);
}
BENCHMARK(BM_Scaler)->Args({1, 25})->Args({1, 4})->Args({3, 25})->Args({3, 4})->Unit(
    benchmark::kMillisecond);

void BM_PlainNearestNeighbour(benchmark::State& state) {
  const auto samples = std::uint16_t(state.range(0));
  const GShortRect target = Target(state.range(1));
  const GBitmapImp& page = *Page(samples).GetImplementation();
  std::vector<std::uint8_t> row(std::size_t{samples} * target.right);
  for (auto _ : state) {
    for (std::int64_t y = 0; y < target.bottom; ++y) {
      const std::uint8_t* in = page.GetPixels() + y * kHeight / target.bottom * page.GetRowStride();
      for (std::int64_t x = 0; x < target.right; ++x) {
        const std::int64_t from = x * kWidth / target.right * samples;
        for (int s = 0; s < samples; ++s)
          row[x * samples + s] = in[from + s];
      }
      benchmark::DoNotOptimize(row.data());
    }
  }
  SetRate(state, target);
}
BENCHMARK(BM_PlainNearestNeighbour)
    ->Args({1, 25})
    ->Args({1, 4})
    ->Args({3, 25})
    ->Args({3, 4})
    ->Unit(benchmark::kMillisecond);

void BM_WholeChain(benchmark::State& state) {
  const GDitherMatrix matrix = bench_raster::MakeMatrix(16);
  const GShortRect target = Target(20);
  std::size_t bytes = 0;
  for (auto _ : state) {
    GShortRect source{0, 0, kWidth, kHeight};
    std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
        target, source, nullptr, Page(3), std::make_unique<GAdaptiveRowEncoder>(1, 0),
        {kBitmapReadGray, 1, 0, 0, &matrix, 0, 0});
    std::vector<std::uint8_t> row(chain->GetMaxRowBytes());
    std::uint16_t index = 0;
    std::uint32_t length = 1;
    std::uint8_t repeat = 1, delivered = 1;
    while (length != 0) {
      chain->GetRow(row.data(), index, length, repeat, delivered);
      bytes += length;
    }
  }
  state.counters["bytes/page"] = double(bytes) / double(state.iterations());
  SetRate(state, target);
}
BENCHMARK(BM_WholeChain)->Unit(benchmark::kMillisecond);

void BM_PlainScaleGreyDither(benchmark::State& state) {
  const GDitherMatrix matrix = bench_raster::MakeMatrix(16);
  const GShortRect target = Target(20);
  const GBitmapImp& page = *Page(3).GetImplementation();
  std::vector<std::uint8_t> row((target.right + 7) / 8);
  for (auto _ : state) {
    for (std::int64_t y = 0; y < target.bottom; ++y) {
      const std::uint8_t* in = page.GetPixels() + y * kHeight / target.bottom * page.GetRowStride();
      const std::uint8_t* thresholds = matrix.GetThresholds() + y % 16 * 16;
      std::uint32_t bits = 0;
      for (std::int64_t x = 0; x < target.right; ++x) {
        const std::uint8_t* p = in + x * kWidth / target.right * 3;
        bits = bits << 1 | (ColorToGray(p[0], p[1], p[2]) >= thresholds[x % 16]);
        if (x % 8 == 7) row[x / 8] = std::uint8_t(bits);
      }
      benchmark::DoNotOptimize(row.data());
    }
  }
  SetRate(state, target);
}
BENCHMARK(BM_PlainScaleGreyDither)->Unit(benchmark::kMillisecond);

}  // namespace
