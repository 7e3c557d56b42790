// A row source over rows in memory, and decoders of the row encoders' wire
// formats (output/raster/encoders.h), for the raster tests, the encoder
// fuzz target and the benchmark. The decoders check every count against
// the bytes they are given and answer false where a printer would meet a
// malformed row.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "output/raster/encoders.h"

namespace testing_support {

using Row = std::vector<std::uint8_t>;

// Hands out `rows` in order (index, bytes, the row's repeat count, one row
// delivered), then length 0. Bounds (0, 0, width, the rows' repeat counts
// added up), which tests may change; GetMaxRowBytes answers
// `max_row_bytes` (the longest row when 0).
class MemoryRowSource : public GRasterRowSource {
 public:
  MemoryRowSource(std::vector<Row> rows, std::int16_t width, std::uint8_t bits_per_pixel,
                  std::vector<std::uint8_t> repeats = {}, std::uint32_t max_row_bytes = 0)
      : rows_(std::move(rows)), repeats_(std::move(repeats)), bits_per_pixel_(bits_per_pixel), max_(max_row_bytes) {
    std::int16_t height = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      if (max_row_bytes == 0) max_ = std::max(max_, static_cast<std::uint32_t>(rows_[i].size()));
      height = static_cast<std::int16_t>(height + (i < repeats_.size() ? repeats_[i] : 1));
    }
    bounds = {0, 0, width, height};
  }
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override {
    length = 0;
    if (next_ >= rows_.size()) return 0;
    row_index = static_cast<std::uint16_t>(next_);
    std::copy(rows_[next_].begin(), rows_[next_].end(), row);
    length = static_cast<std::uint32_t>(rows_[next_].size());
    repeat_count = next_ < repeats_.size() ? repeats_[next_] : 1;
    rows_delivered = 1;
    ++next_;
    return 0;
  }
  std::uint32_t GetMaxRowBytes() const override { return max_; }
  void GetBounds(GShortRect& out) const override { out = bounds; }
  std::uint8_t GetBitsPerPixel() const override { return bits_per_pixel_; }

  GShortRect bounds;

 private:
  std::vector<Row> rows_;
  std::vector<std::uint8_t> repeats_;
  std::uint8_t bits_per_pixel_;
  std::uint32_t max_;
  std::size_t next_ = 0;
};

// Appends the bytes of run-length packets to `out`.
inline bool UnpackRunLength(const std::uint8_t* in, std::size_t n, Row& out) {
  for (std::size_t i = 0; i < n;) {
    const std::uint8_t control = in[i++];
    if (control == 0x80) return false;  // never written
    if (control < 0x80) {
      if (n - i < control + 1u) return false;
      out.insert(out.end(), in + i, in + i + control + 1);
      i += control + 1;
    } else {
      if (i == n) return false;
      out.insert(out.end(), 257 - control, in[i++]);
    }
  }
  return true;
}

// Applies delta-row commands to `seed`.
inline bool ApplyDeltaRow(const std::uint8_t* in, std::size_t n, Row& seed) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < n;) {
    const std::uint8_t command = in[i++];
    const std::size_t count = (command >> 5) + 1u;
    std::size_t offset = command & 31;
    if (offset == 31) {
      std::uint8_t more;
      do {
        if (i == n) return false;
        more = in[i++];
        offset += more;
      } while (more == 255);
    }
    at += offset;
    if (at + count > seed.size() || n - i < count) return false;
    std::copy(in + i, in + i + count, seed.begin() + at);
    i += count;
    at += count;
  }
  return true;
}

// Appends the rows of adaptive blocks to `rows`; `seed` is the printer's
// seed row (row size bytes), carried from call to call.
inline bool DecodeAdaptive(const std::uint8_t* in, std::size_t n, std::uint32_t padding,
                           Row& seed, std::vector<Row>& rows) {
  for (std::size_t i = 0; i < n;) {
    if (n - i < 3) return false;
    const std::uint8_t mode = in[i];
    const std::size_t count = std::size_t{in[i + 1]} << 8 | in[i + 2];
    i += 3;
    if (mode == 5) {
      if (rows.empty()) return false;
      rows.insert(rows.end(), count, rows.back());
      continue;
    }
    if (n - i < count) return false;
    Row data;
    if (mode == 0) {
      data.assign(in + i, in + i + count);
    } else if (mode == 2) {
      if (!UnpackRunLength(in + i, count, data)) return false;
    } else if (mode != 3 || !ApplyDeltaRow(in + i, count, seed)) {
      return false;
    }
    if (mode != 3) {
      if (data.size() != seed.size() + padding) return false;
      for (std::size_t p = seed.size(); p < data.size(); ++p)
        if (data[p] != 0) return false;
      seed.assign(data.begin(), data.begin() + seed.size());
    }
    rows.push_back(seed);
    i += count;
  }
  return true;
}

enum class RowEncoding { kRunLength, kDeltaRow, kDeltaRowPrefixed, kAdaptive, kPadder };

inline std::unique_ptr<GRasterEncoder> MakeRowEncoder(RowEncoding encoding,
                                                      std::uint16_t alignment, bool invert) {
  switch (encoding) {
    case RowEncoding::kRunLength:
      return std::make_unique<GRunLengthEncoder>(alignment, invert);
    case RowEncoding::kDeltaRow:
    case RowEncoding::kDeltaRowPrefixed:
      return std::make_unique<GDeltaRowEncoder>(alignment, invert,
                                                encoding == RowEncoding::kDeltaRowPrefixed);
    case RowEncoding::kAdaptive:
      return std::make_unique<GAdaptiveRowEncoder>(alignment, invert);
    case RowEncoding::kPadder:
      break;
  }
  return std::make_unique<GRowPadder>(alignment, invert);
}

// Encodes `rows` (`width` pixels of `bits_per_pixel`, each row standing for
// its repeat count) with each encoder into a block of exactly
// GetMaxRowBytes(), decodes the result as a printer would and compares it
// with the rows the encoder was given (cut or completed with 0 to the row
// size, complemented when inverting). Answers "" or what went wrong.
inline std::string CheckRoundTrip(const std::vector<Row>& rows, std::int16_t width,
                                  std::uint8_t bits_per_pixel, std::uint16_t alignment,
                                  bool invert, const std::vector<std::uint8_t>& repeats) {
  const std::uint32_t row_size = (bits_per_pixel * std::uint32_t(width) + 7) / 8;
  const std::uint8_t flip = invert ? 0xFF : 0;
  for (RowEncoding encoding : {RowEncoding::kRunLength, RowEncoding::kDeltaRow,
                               RowEncoding::kDeltaRowPrefixed, RowEncoding::kAdaptive,
                               RowEncoding::kPadder}) {
    const std::string name = "encoding " + std::to_string(int(encoding)) + ": ";
    MemoryRowSource source(rows, width, bits_per_pixel, repeats);
    std::unique_ptr<GRasterEncoder> encoder = MakeRowEncoder(encoding, alignment, invert);
    encoder->SetUpstream(&source);
    if (!encoder->Begin()) return name + "Begin failed";
    const std::uint32_t max = encoder->GetMaxRowBytes();
    const std::uint32_t padding = (alignment - row_size % alignment) % alignment;
    Row seed(row_size, 0);
    std::vector<Row> decoded, expected;
    for (std::size_t r = 0;; ++r) {
      // Exactly the promised size, so that the sanitizers see any overrun.
      std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[std::max(max, 1u)]);
      std::uint16_t index = 0;
      std::uint32_t length = 0;
      std::uint8_t repeat = 1, delivered = 1;
      encoder->GetRow(out.get(), index, length, repeat, delivered);
      if (length > max) return name + "row longer than GetMaxRowBytes";
      if (r == rows.size()) {
        if (length != 0) return name + "a row after the last";
        break;
      }
      Row want(rows[r]);
      if (encoding != RowEncoding::kPadder) want.resize(row_size, 0);
      for (std::uint8_t& byte : want)
        byte ^= flip;
      const std::uint8_t* bytes = out.get();
      Row got;
      bool ok = true;
      switch (encoding) {
        case RowEncoding::kRunLength:
          want.resize(row_size + padding, 0);
          ok = UnpackRunLength(bytes, length, got);
          break;
        case RowEncoding::kDeltaRowPrefixed:
          ok = length >= 2 && bytes[0] + 256u * bytes[1] == length - 2;
          bytes += 2;
          length -= 2;
          [[fallthrough]];
        case RowEncoding::kDeltaRow:
          ok = ok && ApplyDeltaRow(bytes, length, seed);
          got = seed;
          break;
        case RowEncoding::kAdaptive:
          ok = DecodeAdaptive(bytes, length, padding, seed, decoded);
          break;
        case RowEncoding::kPadder:
          want.resize((want.size() + alignment - 1) / alignment * alignment, 0);
          got.assign(bytes, bytes + length);
          break;
      }
      if (!ok) return name + "malformed row " + std::to_string(r);
      if (encoding != RowEncoding::kAdaptive) {
        if (got != want) return name + "row " + std::to_string(r) + " differs";
        continue;
      }
      const std::uint8_t times = r < repeats.size() && repeats[r] > 1 ? repeats[r] : 1;
      expected.insert(expected.end(), times, want);
      if (delivered != times) return name + "rows delivered";
    }
    if (encoding == RowEncoding::kAdaptive && decoded != expected) return name + "rows differ";
  }
  return "";
}

}  // namespace testing_support
