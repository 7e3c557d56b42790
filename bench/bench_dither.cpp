// The dither stage on a whole page (4,960 x 7,016 pixels, A4 at 600 dots
// per inch) of 8-bit grey read through a bitmap source, with 16 x 16 and
// 128 x 128 threshold matrices, beside a plain nested loop that compares
// each pixel of the same bitmap with the same thresholds and packs the
// bits; and the bitmap source's 24-bit to 8-bit grey read of the same page
// in colour beside a plain loop with the same colour-to-gray function.
// Counter: Mpixel/s.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/raster_pages.h"
#include "output/color/gray.h"
#include "output/raster/dither_matrix.h"
#include "output/raster/row_stages.h"

namespace {

constexpr std::int16_t kWidth = 4960;
constexpr std::int16_t kHeight = 7016;
constexpr GShortRect kPage{0, 0, kWidth, kHeight};

const GBitmap& GreyPage() {
  static const GBitmap page = bench_raster::MakePage(kWidth, kHeight, 1);
  return page;
}

const GBitmap& ColorPage() {
  static const GBitmap page = bench_raster::MakePage(kWidth, kHeight, 3);
  return page;
}

using bench_raster::MakeMatrix;

void SetRate(benchmark::State& state) {
  bench_raster::SetPixelRate(state, double(kWidth) * kHeight);
}

void BM_DitherStage(benchmark::State& state) {
  const GDitherMatrix matrix = MakeMatrix(std::uint8_t(state.range(0)));
  std::vector<std::uint8_t> row((kWidth + 7) / 8);
  for (auto _ : state) {
    GBitmapRowSource source(kPage, GreyPage(), kBitmapReadGray);
    GDitherRowSource dither(kPage, &matrix, nullptr);
    dither.SetUpstream(&source);
    dither.Begin();
    std::uint16_t index = 0;
    std::uint32_t length = 1;
    std::uint8_t repeat = 1, delivered = 1;
    while (length != 0) {
      dither.GetRow(row.data(), index, length, repeat, delivered);
      benchmark::DoNotOptimize(row.data());
    }
  }
  SetRate(state);
}
BENCHMARK(BM_DitherStage)->Arg(16)->Arg(128)->Unit(benchmark::kMillisecond);

void BM_PlainDitherLoop(benchmark::State& state) {
  const GDitherMatrix matrix = MakeMatrix(std::uint8_t(state.range(0)));
  const std::uint8_t* thresholds = matrix.GetThresholds();
  const int side = matrix.GetWidth();
  const GBitmapImp& page = *GreyPage().GetImplementation();
  std::vector<std::uint8_t> row((kWidth + 7) / 8);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      const std::uint8_t* pixels = page.GetPixels() + std::size_t(y) * page.GetRowStride();
      const std::uint8_t* cells = thresholds + (y % side) * side;
      unsigned bits = 0;
      for (int x = 0; x < kWidth; ++x) {
        bits = bits << 1 | (pixels[x] >= cells[x % side] ? 1u : 0u);
        if (x % 8 == 7) row[x / 8] = std::uint8_t(bits);
      }
      benchmark::DoNotOptimize(row.data());
    }
  }
  SetRate(state);
}
BENCHMARK(BM_PlainDitherLoop)->Arg(16)->Arg(128)->Unit(benchmark::kMillisecond);

void BM_BitmapSourceColorToGrey(benchmark::State& state) {
  std::vector<std::uint8_t> row(kWidth);
  for (auto _ : state) {
    GBitmapRowSource source(kPage, ColorPage(), kBitmapReadGray);
    std::uint16_t index = 0;
    std::uint32_t length = 1;
    std::uint8_t repeat = 1, delivered = 1;
    while (length != 0) {
      source.GetRow(row.data(), index, length, repeat, delivered);
      benchmark::DoNotOptimize(row.data());
    }
  }
  SetRate(state);
}
BENCHMARK(BM_BitmapSourceColorToGrey)->Unit(benchmark::kMillisecond);

void BM_PlainColorToGreyLoop(benchmark::State& state) {
  const GBitmapImp& page = *ColorPage().GetImplementation();
  std::vector<std::uint8_t> row(kWidth);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      const std::uint8_t* p = page.GetPixels() + std::size_t(y) * page.GetRowStride();
      for (int x = 0; x < kWidth; ++x, p += 3)
        row[x] = ColorToGray(p[0], p[1], p[2]);
      benchmark::DoNotOptimize(row.data());
    }
  }
  SetRate(state);
}
BENCHMARK(BM_PlainColorToGreyLoop)->Unit(benchmark::kMillisecond);

}  // namespace
