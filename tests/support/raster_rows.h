// A row source over rows in memory, and round trips through the row
// encoders (output/raster/encoders.h) and the printer's decoding of them
// (adaptive_decoder.h), for the raster tests, the encoder fuzz target and
// the benchmark.
#pragma once

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "output/raster/encoders.h"
#include "support/adaptive_decoder.h"
#include "tests/support/test_support.h"

namespace testing_support {

// The printer's decoders, for the round trips below and their users.
using support::ApplyDeltaRow;
using support::DecodeAdaptive;
using support::Row;
using support::UnpackRunLength;

// Hands out `rows` in order, each with its repeat count (1 when not given),
// one row delivered and its place (the repeat counts before it added up) as
// its index, then length 0; SkipRows passes over the rows that end within
// the count. Bounds (0, 0, width, the repeat counts added up) may be
// changed; GetMaxRowBytes is the longest row, a palette may be given.
class MemoryRowSource : public GRasterRowSource {
 public:
  MemoryRowSource(std::vector<Row> rows, std::int16_t width, std::uint8_t bits,
                  std::vector<std::uint8_t> repeats = {})
      : rows_(std::move(rows)), repeats_(std::move(repeats)), bits_(bits) {
    repeats_.resize(rows_.size(), 1);
    bounds = {0, 0, width, std::int16_t(std::accumulate(repeats_.begin(), repeats_.end(), 0))};
    for (const Row& row : rows_)
      max_ = std::max(max_, std::uint32_t(row.size()));
  }
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& index, std::uint32_t& length,
                       std::uint8_t& repeat, std::uint8_t& delivered) override {
    length = next_ < rows_.size() ? std::uint32_t(rows_[next_].size()) : 0;
    if (length == 0) return 0;
    std::copy(rows_[next_].begin(), rows_[next_].end(), row);
    repeat = repeats_[next_];
    delivered = 1;
    index = std::uint16_t(place_);
    place_ += repeats_[next_++];
    return 0;
  }
  void SkipRows(std::uint16_t count) override {
    for (const std::size_t end = place_ + count;
         next_ < rows_.size() && place_ + repeats_[next_] <= end;)
      place_ += repeats_[next_++];
  }
  const GPaletteTable* GetPalette() const override { return palette; }
  std::uint32_t GetMaxRowBytes() const override { return max_; }
  void GetBounds(GShortRect& out) const override { out = bounds; }
  std::uint8_t GetBitsPerPixel() const override { return bits_; }

  GShortRect bounds;
  const GPaletteTable* palette = nullptr;

 private:
  std::vector<Row> rows_;
  std::vector<std::uint8_t> repeats_;
  std::uint8_t bits_;
  std::uint32_t max_ = 0;
  std::size_t next_ = 0;
  std::size_t place_ = 0;
};

enum class RowEncoding { kRunLength, kDeltaRow, kDeltaRowPrefixed, kAdaptive, kPadder };

inline std::unique_ptr<GRasterEncoder> MakeRowEncoder(RowEncoding encoding, std::uint16_t alignment,
                                                      bool invert) {
  if (encoding == RowEncoding::kRunLength)
    return std::make_unique<GRunLengthEncoder>(alignment, invert);
  if (encoding == RowEncoding::kAdaptive)
    return std::make_unique<GAdaptiveRowEncoder>(alignment, invert);
  if (encoding == RowEncoding::kPadder) return std::make_unique<GRowPadder>(alignment, invert);
  return std::make_unique<GDeltaRowEncoder>(alignment, invert,
                                            encoding == RowEncoding::kDeltaRowPrefixed);
}

// Pulls rows from `source` until it hands out none, each into a block of
// exactly GetMaxRowBytes(): "index repeat: hex" per row, joined by " | ",
// and "!" after a row longer than that or when `limit` rows have passed.
inline std::string DrainRows(GRasterRowSource& source, int limit = 64) {
  std::string rows;
  for (int n = 0;; ++n) {
    const std::uint32_t max = source.GetMaxRowBytes();
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[max + 1]);
    std::uint16_t index = 0;
    std::uint32_t length = 0;
    std::uint8_t repeat = 1, delivered = 1;
    source.GetRow(block.get() + 1, index, length, repeat, delivered);
    if (length == 0) return rows;
    if (length > max || n == limit) return rows + "!";
    rows += (rows.empty() ? "" : " | ") + std::to_string(index) + " " + std::to_string(repeat) +
            ": " + Hex(std::string(block.get() + 1, block.get() + 1 + length));
  }
}

// Encodes `rows` (`width` pixels of `bits`, each standing for its repeat
// count) with each encoder into blocks of exactly GetMaxRowBytes(), decodes
// the output and compares it with the rows given (cut or completed with 0
// to the row size, complemented when inverting). Answers "" or the trouble.
inline std::string CheckRoundTrip(const std::vector<Row>& rows, std::int16_t width,
                                  std::uint8_t bits, std::uint16_t alignment, bool invert,
                                  std::vector<std::uint8_t> repeats) {
  const std::size_t size = (bits * std::size_t(width) + 7) / 8;
  const std::size_t padding = (alignment - size % alignment) % alignment;
  repeats.resize(rows.size(), 1);
  for (int e = 0; e < 5; ++e) {
    const std::string name = "encoding " + std::to_string(e) + ": ";
    MemoryRowSource source(rows, width, bits, repeats);
    const std::unique_ptr<GRasterEncoder> encoder =
        MakeRowEncoder(RowEncoding(e), alignment, invert);
    encoder->SetUpstream(&source);
    if (!encoder->Begin()) return name + "Begin failed";
    const std::uint32_t max = encoder->GetMaxRowBytes();
    Row seed(size, 0);
    std::vector<Row> got, want;
    for (std::size_t r = 0; r <= rows.size(); ++r) {
      // Exactly the promised size (and an address for 0), for the sanitizers.
      const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[max + 1]);
      std::uint8_t* out = block.get() + 1;
      std::uint16_t index = 0;
      std::uint32_t n = 0;
      std::uint8_t repeat = 1, delivered = 1;
      encoder->GetRow(out, index, n, repeat, delivered);
      const bool last = r == rows.size();
      if (n > max || (last && n) || (!last && !n && e != 1)) return name + "bad length";
      if (last) break;
      Row row(rows[r]);
      if (e != 4) row.resize(size, 0);
      for (std::uint8_t& byte : row)
        byte = std::uint8_t(invert ? ~byte : byte);
      const std::size_t aligned = (row.size() + alignment - 1) / alignment * alignment;
      row.resize(e == 0 ? size + padding : e == 4 ? aligned : row.size(), 0);
      const std::size_t times = e == 3 ? std::max<std::size_t>(repeats[r], 1) : 1;
      want.insert(want.end(), times, row);
      bool ok = true;
      switch (e) {
        case 0:
          ok = UnpackRunLength(out, n, got.emplace_back());
          break;
        case 1:
        case 2: {
          const std::uint32_t skip = e == 2 ? 2 : 0;
          ok = n >= skip && (e == 1 || out[0] + 256u * out[1] == n - 2) &&
               ApplyDeltaRow(out + skip, n - skip, seed);
          got.push_back(seed);
          break;
        }
        case 3:
          ok = DecodeAdaptive(out, n, padding, seed, got) && delivered == times;
          break;
        default:
          got.emplace_back(out, out + n);
      }
      if (!ok) return name + "row " + std::to_string(r) + " malformed";
    }
    if (got != want) return name + "the rows differ";
  }
  return "";
}

}  // namespace testing_support
