#include "output/raster/scaler.h"

#include <algorithm>
#include <cstring>

#include "foundation/rw/support.h"

namespace {

constexpr std::uint32_t kMaxRepeat = 255;  // the repeat count is 8 bits

// The largest pixel index at or below `index` in a row of `width` pixels.
constexpr std::uint32_t Clamp(std::uint32_t index, std::uint32_t width) {
  return index < width ? index : width - 1;
}

// The source pixel of each of `dw` target pixels by 16.16 stepping (see
// the header). `by_step_count`: the 1-bit form, which takes each step's
// pixel from the step count instead of the pixels read.
void MapByStepping(std::uint32_t sw, std::uint32_t dw, bool by_step_count, std::uint16_t* map) {
  const std::uint32_t step = (dw * 65536u + sw - 1) / sw;
  std::uint64_t sum = 0;
  std::uint32_t read = 0, steps = 0, written = 0, current = 0;
  // Reading past the row's end (which the stepping may ask for on its last
  // step) keeps the last pixel.
  const auto read_next = [&] { current = Clamp(read++, sw); };
  while (written < dw) {
    read_next();
    for (;;) {
      const std::uint64_t whole = sum >> 16;
      const std::uint32_t pixel = by_step_count ? Clamp(steps, sw) : current;
      ++steps;
      sum += step;
      const std::uint64_t grew = (sum >> 16) - whole;
      map[written++] = static_cast<std::uint16_t>(pixel);
      for (std::uint64_t more = 1; more < grew && written < dw; ++more)
        map[written++] = static_cast<std::uint16_t>(pixel);
      if (grew == 0) {
        while (steps < sw) {
          ++steps;
          sum += step;
          if (read <= steps) read_next();
          if ((sum >> 16) != whole) break;
        }
      }
      if (read <= steps || written == dw) break;
    }
  }
}

// The source pixel of each of `dw` target pixels by error accumulation,
// the error starting at sw. Shrinking starts before the first pixel, so
// that the first move lands on it.
void MapByError(std::uint32_t sw, std::uint32_t dw, std::uint16_t* map) {
  std::uint32_t error = sw, written = 0;
  if (dw >= sw) {
    for (std::uint32_t source = 0; source < sw && written < dw; ++source) {
      std::uint32_t count = 0;
      for (bool moved = false; !moved; error += sw, ++count) {
        if (dw <= error) {
          moved = true;
          error -= dw;
        }
      }
      for (; count != 0 && written < dw; --count)
        map[written++] = static_cast<std::uint16_t>(source);
    }
    while (written < dw)
      map[written++] = static_cast<std::uint16_t>(sw - 1);
    return;
  }
  std::uint32_t next = 0;  // the pixel the next move lands on
  for (; written < dw; error -= sw) {
    for (; sw >= error; error += dw)
      ++next;
    map[written++] = static_cast<std::uint16_t>(Clamp(next - 1, sw));
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// GRasterPassThrough

std::uint32_t GRasterPassThrough::Begin() {
  ready_ = upstream_ != nullptr;
  return ready_;
}

std::uint32_t GRasterPassThrough::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                         std::uint32_t& length, std::uint8_t& repeat_count,
                                         std::uint8_t& rows_delivered) {
  return ForwardRow(row, row_index, length, repeat_count, rows_delivered);
}

void GRasterPassThrough::SkipRows(std::uint16_t count) {
  if (upstream_) upstream_->SkipRows(count);
}

// ---------------------------------------------------------------------------
// GRasterScaler

GRasterScaler::~GRasterScaler() = default;

std::uint32_t GRasterScaler::Begin() {
  ready_ = 0;
  max_row_bytes_ = 0;
  next_row_index_ = 0;
  held_repeats_ = 0;
  source_row_.reset();
  pixel_map_.reset();
  held_row_.reset();
  if (!upstream_) return 0;
  upstream_->GetBounds(source_);
  const std::int32_t sw = source_.right - source_.left, sh = source_.bottom - source_.top;
  const std::int32_t dw = rectangle_.right - rectangle_.left;
  const std::int32_t dh = rectangle_.bottom - rectangle_.top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return 0;
  source_width_ = static_cast<std::uint16_t>(sw);
  source_height_ = static_cast<std::uint16_t>(sh);
  target_width_ = static_cast<std::uint16_t>(dw);
  target_height_ = static_cast<std::uint16_t>(dh);
  resize_across_ = sw != dw;
  resize_down_ = sh != dh;
  shrink_down_ = sh > dh;
  vertical_error_ = shrink_down_ ? source_height_ : 0;
  bits_per_pixel_ = upstream_->GetBitsPerPixel();
  upstream_row_bytes_ = upstream_->GetMaxRowBytes();
  const std::uint32_t resized = (bits_per_pixel_ * target_width_ + 7) / 8;
  if (resize_across_) {
    if (bits_per_pixel_ != 1 && bits_per_pixel_ != 4 && bits_per_pixel_ != 8 &&
        bits_per_pixel_ != 24) {
      return 0;
    }
    max_row_bytes_ = resized;
    source_row_ = RWNewArray<std::uint8_t>(
        std::max(upstream_row_bytes_, (bits_per_pixel_ * source_width_ + 7) / 8));
    pixel_map_ = RWNewArrayForOverwrite<std::uint16_t>(target_width_);
    if (!source_row_ || !pixel_map_) return 0;
    if (bits_per_pixel_ == 24) {
      MapByError(source_width_, target_width_, pixel_map_.get());
    } else {
      MapByStepping(source_width_, target_width_, bits_per_pixel_ == 1, pixel_map_.get());
    }
  } else {
    max_row_bytes_ = std::max(resized, upstream_row_bytes_);
  }
  if (resize_down_ && !shrink_down_ && target_height_ / source_height_ + 1u > kMaxRepeat) {
    held_row_ = RWNewArray<std::uint8_t>(std::max(max_row_bytes_, 1u));
    if (!held_row_) return 0;
  }
  ready_ = 1;
  return 1;
}

std::uint32_t GRasterScaler::StepDown() {
  if (!shrink_down_) {
    const std::uint32_t t = target_height_ - vertical_error_;
    vertical_error_ = 0;
    const std::uint32_t rest = t % source_height_;
    if (rest != 0) vertical_error_ = source_height_ - rest;
    return t / source_height_ + (rest != 0);
  }
  const std::uint32_t n = (source_height_ - vertical_error_ + target_height_) / target_height_;
  vertical_error_ = n * target_height_ - source_height_ + vertical_error_;
  if (n > 1) upstream_->SkipRows(static_cast<std::uint16_t>(n - 1));
  return 1;
}

std::uint32_t GRasterScaler::ResizeRow(std::uint8_t* out) const {
  const std::uint8_t* in = source_row_.get();
  const std::uint16_t* map = pixel_map_.get();
  const std::uint32_t dw = target_width_;
  switch (bits_per_pixel_) {
    case 8:
      for (std::uint32_t x = 0; x < dw; ++x)
        out[x] = in[map[x]];
      break;
    case 24:
      for (std::uint32_t x = 0; x < dw; ++x)
        std::memcpy(out + 3 * x, in + 3 * map[x], 3);
      break;
    case 4:
      std::memset(out, 0, max_row_bytes_);
      for (std::uint32_t x = 0; x < dw; ++x) {
        const std::uint32_t nibble = in[map[x] / 2] >> (map[x] % 2 ? 0 : 4) & 15;
        out[x / 2] |= static_cast<std::uint8_t>(nibble << (x % 2 ? 0 : 4));
      }
      break;
    default:
      std::memset(out, 0, max_row_bytes_);
      for (std::uint32_t x = 0; x < dw; ++x) {
        const std::uint32_t bit = in[map[x] / 8] >> (7 - map[x] % 8) & 1;
        out[x / 8] |= static_cast<std::uint8_t>(bit << (7 - x % 8));
      }
  }
  return max_row_bytes_;
}

std::uint32_t GRasterScaler::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                    std::uint32_t& length, std::uint8_t& repeat_count,
                                    std::uint8_t& rows_delivered) {
  length = 0;
  if (!ready_ || next_row_index_ >= target_height_) return 0;
  std::uint32_t result = 0;
  std::uint32_t repeats;
  if (held_repeats_ != 0) {
    repeats = held_repeats_;
    length = held_length_;
    std::memcpy(row, held_row_.get(), length);
    rows_delivered = 1;
  } else {
    repeats = resize_down_ ? StepDown() : 1;
    std::uint8_t* landing = resize_across_ ? source_row_.get() : row;
    std::uint16_t upstream_index = 0;
    result = upstream_->GetRow(landing, upstream_index, length, repeat_count, rows_delivered);
    const std::uint32_t whole = resize_across_ ? (bits_per_pixel_ * source_width_ + 7) / 8 : 0;
    if (length == 0) {
      // The upstream ended before the target's height: blank rows.
      length = std::max(upstream_row_bytes_, whole);
      std::memset(landing, 0, length);
    } else if (length < whole) {
      std::memset(landing + length, 0, whole - length);
    }
    if (resize_across_) length = ResizeRow(row);
  }
  repeats = std::min(repeats, target_height_ - next_row_index_);
  const std::uint32_t handed = std::min(repeats, kMaxRepeat);
  if (repeats > handed && held_repeats_ == 0 && length != 0)
    std::memcpy(held_row_.get(), row, length);
  held_repeats_ = repeats - handed;
  held_length_ = length;
  repeat_count = static_cast<std::uint8_t>(handed);
  row_index = static_cast<std::uint16_t>(next_row_index_);
  next_row_index_ += handed;
  return result;
}

void GRasterScaler::SkipRows(std::uint16_t count) {
  if (!ready_ || count == 0) return;
  next_row_index_ += count;
  const std::uint32_t from_held = std::min<std::uint32_t>(count, held_repeats_);
  held_repeats_ -= from_held;
  std::uint64_t rest = count - from_held;
  if (rest == 0) return;
  const std::uint64_t sh = source_height_, dh = target_height_;
  if (resize_down_ && !shrink_down_) {
    const std::uint64_t sum = rest * sh + vertical_error_;
    rest = sum / dh;
    vertical_error_ = static_cast<std::uint32_t>(sum % dh);
  } else if (resize_down_) {
    const std::uint64_t rows = (rest * sh - vertical_error_ + dh) / dh;
    vertical_error_ = static_cast<std::uint32_t>(rows * dh - rest * sh + vertical_error_);
    rest = rows;
  }
  for (; rest != 0; rest -= std::min<std::uint64_t>(rest, 0xFFFF))
    upstream_->SkipRows(static_cast<std::uint16_t>(std::min<std::uint64_t>(rest, 0xFFFF)));
}
