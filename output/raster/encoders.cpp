#include "output/raster/encoders.h"

#include <algorithm>
#include <cstring>

#include "foundation/rw/support.h"

namespace {

// The most a block's u16 data length can say.
constexpr std::uint32_t kBlockDataMax = 0xFFFF;

// Copies `count` bytes, complemented when `invert` is set.
void CopyRow(std::uint8_t* to, const std::uint8_t* from, std::uint32_t count, bool invert) {
  if (!invert) {
    if (to != from) std::memcpy(to, from, count);
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i)
    to[i] = static_cast<std::uint8_t>(~from[i]);
}

// Eight bytes at `at` as one word in the host's order (compared, or stored
// back as they came).
std::uint64_t Word(const std::uint8_t* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// The first index from `i` at which `a` and `b` may differ, stepping by
// whole words: every byte before it is equal; at most `n`.
std::uint32_t SkipEqualWords(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t i,
                             std::uint32_t n) {
  while (n - i >= 8 && Word(a + i) == Word(b + i))
    i += 8;
  return i;
}

// How many of the `n` bytes of `a` equal the byte at the same place in `b`.
std::uint32_t CountEqualBytes(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t n) {
  std::uint32_t equal = 0;
  for (std::uint32_t i = 0; i < n; ++i)
    equal += a[i] == b[i];
  return equal;
}

// Packs `n` bytes as run-length packets (encoders.h); answers the bytes
// written, at most n + (n + 127) / 128.
std::uint32_t PackRunLength(const std::uint8_t* in, std::uint32_t n, std::uint8_t* out) {
  std::uint8_t* const start = out;
  std::uint32_t i = 0;
  while (i < n) {
    if (i + 1 < n && in[i] == in[i + 1]) {
      const std::uint32_t end = std::min(n, i + kRunLengthPacketMax);
      std::uint32_t next = i + 2;
      while (next < end && in[next] == in[i])
        ++next;
      *out++ = static_cast<std::uint8_t>(1 - (next - i));
      *out++ = in[i];
      i = next;
      continue;
    }
    const std::uint32_t first = i;
    const std::uint32_t end = std::min(n, i + kRunLengthPacketMax);
    for (++i; i < end; ++i) {
      // The literal's last two bytes equal the next one: they start a repeat.
      if (i - first >= 2 && in[i] == in[i - 1] && in[i] == in[i - 2]) {
        i -= 2;
        break;
      }
    }
    const std::uint32_t count = i - first;
    *out++ = static_cast<std::uint8_t>(count - 1);
    std::memcpy(out, in + first, count);
    out += count;
  }
  return static_cast<std::uint32_t>(out - start);
}

std::uint32_t RunLengthBound(std::uint32_t row_size, std::uint32_t padding) {
  std::uint32_t bound = row_size + (row_size + 126) / 127;
  if (padding != 0) bound += 2 * ((padding + kRunLengthPacketMax - 1) / kRunLengthPacketMax) + 1;
  return bound;
}

std::uint32_t DeltaRowBound(std::uint32_t row_size) {
  return row_size + (row_size + 7) / 8;
}

// Writes one delta-row run of `count` bytes at `offset`.
std::uint8_t* WriteDeltaRun(std::uint8_t* out, std::uint32_t offset, const std::uint8_t* bytes,
                            std::uint32_t count, bool invert) {
  const std::uint8_t command = static_cast<std::uint8_t>((count - 1) << 5);
  if (offset < 31) {
    *out++ = static_cast<std::uint8_t>(command | offset);
  } else {
    *out++ = static_cast<std::uint8_t>(command | 31);
    std::uint32_t rest = offset - 31;
    for (; rest >= 255; rest -= 255)
      *out++ = 255;
    *out++ = static_cast<std::uint8_t>(rest);
  }
  // A run is at most kDeltaRunMax bytes: copied here rather than by a call,
  // a whole run as one word.
  static_assert(kDeltaRunMax == sizeof(std::uint64_t));
  if (count == kDeltaRunMax) {
    const std::uint64_t word = Word(bytes) ^ (invert ? ~std::uint64_t{0} : 0);
    std::memcpy(out, &word, sizeof word);
    return out + count;
  }
  const std::uint8_t flip = invert ? 0xFF : 0x00;
  for (std::uint32_t i = 0; i < count; ++i)
    out[i] = static_cast<std::uint8_t>(bytes[i] ^ flip);
  return out + count;
}

}  // namespace

// Run-length.

std::uint32_t GRunLengthEncoder::Begin() {
  if (!BeginRows(true)) return 0;
  max_row_bytes_ = RunLengthBound(row_size_, padding_);
  ready_ = 1;
  return 1;
}

std::uint32_t GRunLengthEncoder::EncodeRow(const std::uint8_t* row, std::uint8_t* out) {
  // The row buffer takes the packer's input: the row, then the padding.
  std::uint8_t* in = row_buffer_.get();
  CopyRow(in, row, row_size_, invert_ != 0);
  std::memset(in + row_size_, 0, padding_);
  return PackRunLength(in, row_size_ + padding_, out);
}

std::uint32_t GRunLengthEncoder::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                        std::uint32_t& length, std::uint8_t& repeat_count,
                                        std::uint8_t& rows_delivered) {
  return PullAndEncode(
      row, row_index, length, repeat_count, rows_delivered,
      [this](const std::uint8_t* in, std::uint8_t* out) { return EncodeRow(in, out); });
}

// Delta row.

std::uint32_t GDeltaRowEncoder::Begin() {
  seed_.reset();
  if (!BeginRows(false)) return 0;
  const std::uint32_t bound = DeltaRowBound(row_size_);
  if (length_prefix_ && bound > kBlockDataMax) return 0;
  seed_ = RWNewArray<std::uint8_t>(std::max(row_size_, 1u));
  if (!seed_) return 0;
  // The printer's seed starts blank (0) in the bytes it receives: when those
  // are complemented, that is all 0xFF in the row's own bytes.
  if (invert_) std::memset(seed_.get(), 0xFF, row_size_);
  max_row_bytes_ = bound + (length_prefix_ ? 2 : 0);
  ready_ = 1;
  return 1;
}

std::uint32_t GDeltaRowEncoder::EncodeRow(const std::uint8_t* row, std::uint8_t* out) {
  const bool invert = invert_ != 0;
  std::uint8_t* const seed = seed_.get();
  std::uint8_t* const start = out;
  if (length_prefix_) out += 2;
  const std::uint32_t n = row_size_;
  std::uint32_t run_end = 0;  // where the last run ended (the row's start at first)
  std::uint32_t i = 0;
  for (;;) {
    if (i < n && row[i] == seed[i]) {
      // Unchanged bytes: a few one at a time, then eight at a time, since
      // most of a row is usually unchanged.
      const std::uint32_t bytes_end = std::min(n, i + 8);
      do {
        ++i;
      } while (i < bytes_end && row[i] == seed[i]);
      if (i == bytes_end) {
        i = SkipEqualWords(row, seed, i, n);
        while (i < n && row[i] == seed[i])
          ++i;
      }
    }
    if (i == n) break;
    // A run: changed bytes up to an unchanged one, kDeltaRunMax or the row's end.
    const std::uint32_t first = i;
    const std::uint32_t end = std::min(n, i + kDeltaRunMax);
    do {
      seed[i] = row[i];
      ++i;
    } while (i < end && row[i] != seed[i]);
    out = WriteDeltaRun(out, first - run_end, row + first, i - first, invert);
    run_end = i;
  }
  const std::uint32_t length = static_cast<std::uint32_t>(out - start);
  if (length_prefix_) {
    start[0] = static_cast<std::uint8_t>(length - 2);
    start[1] = static_cast<std::uint8_t>((length - 2) >> 8);
  }
  return length;
}

std::uint32_t GDeltaRowEncoder::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                       std::uint32_t& length, std::uint8_t& repeat_count,
                                       std::uint8_t& rows_delivered) {
  return PullAndEncode(
      row, row_index, length, repeat_count, rows_delivered,
      [this](const std::uint8_t* in, std::uint8_t* out) { return EncodeRow(in, out); });
}

// Adaptive.

GAdaptiveRowEncoder::GAdaptiveRowEncoder(std::uint16_t alignment, std::uint32_t invert)
    : GRasterEncoder(alignment, invert) {}

GAdaptiveRowEncoder::~GAdaptiveRowEncoder() = default;

std::uint32_t GAdaptiveRowEncoder::Begin() {
  run_length_.reset();
  delta_row_.reset();
  if (!BeginRows(true)) return 0;
  run_length_.reset(RWNew<GRunLengthEncoder>(alignment_, invert_));
  delta_row_.reset(RWNew<GDeltaRowEncoder>(alignment_, invert_, 0));
  if (!run_length_ || !delta_row_) return 0;
  run_length_->SetUpstream(upstream_);
  delta_row_->SetUpstream(upstream_);
  if (!run_length_->Begin() || !delta_row_->Begin()) return 0;
  const std::uint32_t data_max =
      std::max({row_size_ + padding_, run_length_->GetMaxRowBytes(), delta_row_->GetMaxRowBytes()});
  if (data_max > kBlockDataMax) return 0;
  max_row_bytes_ = row_size_ + padding_ + 6 +
                   std::max((row_size_ + 7) / 8, (row_size_ + 126) / 127 + (padding_ ? 2 : 0));
  seed_valid_ = false;
  threshold_ = row_size_ / 3;
  ready_ = 1;
  return 1;
}

std::uint32_t GAdaptiveRowEncoder::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                          std::uint32_t& length, std::uint8_t& repeat_count,
                                          std::uint8_t& rows_delivered) {
  if (!ready_) return NoRow(length);
  const std::uint32_t result = PullRow(row_index, length, repeat_count, rows_delivered);
  if (length == 0) return result;
  const std::uint8_t* const in = row_buffer_.get();
  std::uint8_t* const seed = delta_row_->Seed();
  std::uint32_t repeats = 0;
  std::uint32_t matches = 0;
  if (seed_valid_) matches = CountEqualBytes(in, seed, row_size_);
  // A row that matches its seed whole goes as delta row whatever its
  // repeats (at most row size - 1), which then need no counting.
  if (row_size_ > 1 && matches < row_size_) repeats = CountEqualBytes(in + 1, in, row_size_ - 1);
  seed_valid_ = true;

  std::uint8_t* const data = row + 3;
  std::uint32_t data_length;
  if (repeats < threshold_ && matches < threshold_) {
    row[0] = kAdaptiveRaw;
    CopyRow(data, in, row_size_, invert_ != 0);
    std::memset(data + row_size_, 0, padding_);
    data_length = row_size_ + padding_;
    std::memcpy(seed, in, row_size_);
  } else if (repeats > matches) {
    row[0] = kAdaptiveRunLength;
    data_length = run_length_->EncodeRow(in, data);
    std::memcpy(seed, in, row_size_);
  } else {
    row[0] = kAdaptiveDeltaRow;
    data_length = delta_row_->EncodeRow(in, data);
  }
  row[1] = static_cast<std::uint8_t>(data_length >> 8);
  row[2] = static_cast<std::uint8_t>(data_length);
  length = data_length + 3;
  if (repeat_count >= 2 && rows_delivered == 1) {
    row[length] = kAdaptiveRepeatRow;
    row[length + 1] = 0;
    row[length + 2] = static_cast<std::uint8_t>(repeat_count - 1);
    length += 3;
    rows_delivered = repeat_count;
    repeat_count = 1;
  }
  return result;
}

// Row padder.

std::uint32_t GRowPadder::Begin() {
  ready_ = 0;
  max_row_bytes_ = 0;
  if (!upstream_ || alignment_ == 0) return 0;
  max_row_bytes_ = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(std::uint64_t{upstream_->GetMaxRowBytes()} + alignment_, 0xFFFFFFFF));
  ready_ = 1;
  return 1;
}

std::uint32_t GRowPadder::GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                                 std::uint8_t& repeat_count, std::uint8_t& rows_delivered) {
  if (!ready_) return NoRow(length);
  const std::uint32_t result =
      upstream_->GetRow(row, row_index, length, repeat_count, rows_delivered);
  if (length == 0) return result;
  CopyRow(row, row, length, invert_ != 0);
  const std::uint32_t padding = (alignment_ - length % alignment_) % alignment_;
  std::memset(row + length, 0, padding);
  length += padding;
  return result;
}
