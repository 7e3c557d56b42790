// What the raster benchmarks share: a page of pixels and a threshold
// matrix made the same way, and the pixel-rate counter.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "output/raster/bitmap.h"
#include "output/raster/dither_matrix.h"

namespace bench_raster {

// A page of `samples` bytes per pixel: a gradient with some texture.
inline GBitmap MakePage(std::int16_t width, std::int16_t height, std::uint16_t samples) {
  const std::uint64_t stride = PaddedRowBytes(width, 8, samples);
  auto pixels = std::make_unique<std::uint8_t[]>(stride * height);
  for (std::uint64_t y = 0; y < std::uint64_t(height); ++y)
    for (std::uint64_t x = 0; x < std::uint64_t(width) * samples; ++x)
      pixels[y * stride + x] = std::uint8_t(x * 255 / (width * samples) + (x * y) % 17);
  return GBitmap(new GBitmapImp(width, height, 8, samples, std::move(pixels), nullptr));
}

inline GDitherMatrix MakeMatrix(std::uint8_t side) {
  std::vector<std::uint8_t> cells(std::size_t{side} * side);
  for (std::size_t i = 0; i < cells.size(); ++i)
    cells[i] = std::uint8_t((i * 97 + i / side * 31) % 255 + 1);
  return GDitherMatrix(side, side, cells.data(), 0, 0);
}

// Mpixel/s over `pixels` per iteration.
inline void SetPixelRate(benchmark::State& state, double pixels) {
  state.counters["Mpixel"] =
      benchmark::Counter(pixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

}  // namespace bench_raster
