// Scaled glyph bitmaps and code sets beside their plain peers:
// GScaledFont::GetGlyphData on a 64 x 64 glyph at 1.0 x 1.5 and 2.0 x 2.0
// (the glyph fetched anew each time, as the font's slot hands it out) with
// a plain nearest-neighbour loop over the target pixels of the same
// bitmap; GCharCodeSet inserts and tests with std::bitset<65536>.
#include <benchmark/benchmark.h>

#include <bitset>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "fonts/char_code_map.h"
#include "fonts/font.h"
#include "output/core/byte_buffer.h"

namespace {

constexpr int kSide = 64;
constexpr int kRowBytes = kSide / 8;

std::vector<std::uint8_t> Glyph() {
  std::vector<std::uint8_t> bits(kRowBytes * kSide);
  std::mt19937 rng(64);
  for (std::uint8_t& byte : bits)
    byte = static_cast<std::uint8_t>(rng());
  return bits;
}

// An implementation handing out a copy of one 64 x 64 glyph.
class FixedGlyph : public GFontImp {
 public:
  std::uint32_t GetGlyphBitmap(std::uint16_t, std::uint32_t, GGlyphMetrics& metrics,
                               GByteBuffer*& out) override {
    metrics = {0, kSide, kSide, kSide};
    out = GByteBuffer::NewCopy(bits_.data(), static_cast<std::uint32_t>(bits_.size()));
    return static_cast<std::uint32_t>(bits_.size());
  }

 private:
  std::vector<std::uint8_t> bits_ = Glyph();
};

void BM_ScaledFont(benchmark::State& state, float x_scale, float y_scale) {
  GFont font(new FixedGlyph, nullptr);
  GScaledFont scaled(font, x_scale, y_scale);
  for (auto _ : state) {
    GGlyphMetrics metrics;
    GByteBuffer* out = nullptr;
    benchmark::DoNotOptimize(scaled.GetGlyphData('A', 0, metrics, out));
    delete out;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_ScaledFont, x1_y1_5, 1.0f, 1.5f);
BENCHMARK_CAPTURE(BM_ScaledFont, x2_y2, 2.0f, 2.0f);

// The peer: each target pixel takes the source pixel under it.
void BM_NearestNeighbour(benchmark::State& state, float x_scale, float y_scale) {
  const std::vector<std::uint8_t> source = Glyph();
  const int width = static_cast<int>(kSide * x_scale);
  const int height = static_cast<int>(kSide * y_scale);
  const int row_bytes = (width + 31) / 32 * 4;
  for (auto _ : state) {
    // A fresh copy of the glyph, as the font hands one out.
    std::vector<std::uint8_t> glyph(source);
    std::unique_ptr<std::uint8_t[]> target(new std::uint8_t[row_bytes * height]());
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = glyph.data() + static_cast<int>(y / y_scale) * kRowBytes;
      std::uint8_t* out = target.get() + y * row_bytes;
      for (int x = 0; x < width; ++x) {
        const int c = static_cast<int>(x / x_scale);
        if (row[c / 8] & (0x80 >> (c % 8)))
          out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
    }
    benchmark::DoNotOptimize(target.get());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_NearestNeighbour, x1_y1_5, 1.0f, 1.5f);
BENCHMARK_CAPTURE(BM_NearestNeighbour, x2_y2, 2.0f, 2.0f);

// The codes of a few pages of text: mostly Latin, some further away.
std::vector<std::uint16_t> Codes() {
  std::vector<std::uint16_t> codes(1000);
  std::mt19937 rng(1000);
  for (std::uint16_t& code : codes)
    code = static_cast<std::uint16_t>(rng() % 8 ? 0x20 + rng() % 0x60 : rng() % 0x3000);
  return codes;
}

void BM_CodeSetAddContains(benchmark::State& state) {
  const std::vector<std::uint16_t> codes = Codes();
  for (auto _ : state) {
    GCharCodeSet set;
    for (std::uint16_t code : codes)
      set.Add(code);
    std::uint32_t found = 0;
    for (std::uint16_t code : codes)
      found += set.Contains(code ^ 1);
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * 2 * static_cast<std::int64_t>(codes.size()));
}
BENCHMARK(BM_CodeSetAddContains);

void BM_BitsetAddContains(benchmark::State& state) {
  const std::vector<std::uint16_t> codes = Codes();
  for (auto _ : state) {
    auto set = std::make_unique<std::bitset<65536>>();
    for (std::uint16_t code : codes)
      set->set(code);
    std::uint32_t found = 0;
    for (std::uint16_t code : codes)
      found += set->test(code ^ 1);
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * 2 * static_cast<std::int64_t>(codes.size()));
}
BENCHMARK(BM_BitsetAddContains);

}  // namespace
