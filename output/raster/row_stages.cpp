#include "output/raster/row_stages.h"

#include <algorithm>
#include <cstring>

#include "foundation/rw/support.h"
#include "output/attributes/clip.h"
#include "output/raster/dither_matrix.h"

namespace {

constexpr GPaletteEntry kBlackThenWhite[] = {{0, 0, 0, 255}, {255, 255, 255, 255}};

// Bytes of `pixels` pixels of `bits` each (0 for none).
std::uint32_t RowBytes(std::int32_t pixels, std::uint32_t bits) {
  return pixels <= 0 ? 0 : (static_cast<std::uint32_t>(pixels) * bits + 7) / 8;
}

// Dithers `width` pixels of `row` (kBits each, most significant first) to
// `out`: bit 1 where the grey level is at least the pixel's threshold; the
// threshold index wraps at `matrix_width`. `thresholds` holds the matrix row
// and its first 8 entries again after it, so that a whole output byte reads
// its eight thresholds in one stretch.
template <unsigned kBits>
void DitherPixels(const std::uint8_t* row, std::uint32_t width, const std::uint8_t* grey,
                  const std::uint8_t* thresholds, std::uint32_t matrix_width, std::uint8_t* out) {
  auto value = [row](std::uint32_t x) -> std::uint8_t {
    if constexpr (kBits == 8) {
      return row[x];
    } else {
      constexpr unsigned kPerByte = 8 / kBits;
      constexpr unsigned kMask = (1u << kBits) - 1;
      const unsigned shift = (kPerByte - 1 - x % kPerByte) * kBits;
      return static_cast<std::uint8_t>(row[x / kPerByte] & (kMask << shift));
    }
  };
  std::uint32_t t = 0;
  std::uint32_t x = 0;
  for (; width - x >= 8; x += 8) {
    const std::uint8_t* const limit = thresholds + t;
    unsigned bits = 0;
    for (unsigned k = 0; k < 8; ++k)
      bits = bits << 1 | (grey[value(x + k)] >= limit[k] ? 1u : 0u);
    out[x / 8] = static_cast<std::uint8_t>(bits);
    t = (t + 8) % matrix_width;
  }
  if (x == width) return;
  unsigned bits = 0;
  for (std::uint32_t k = 0; x + k < width; ++k)
    bits = bits << 1 | (grey[value(x + k)] >= thresholds[t + k] ? 1u : 0u);
  out[x / 8] = static_cast<std::uint8_t>(bits << (8 - width % 8));
}

}  // namespace

std::uint8_t DefaultGreyConverter(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<std::uint8_t>((30u * red + 59u * green + 11u * blue) / 100);
}

// ---------------------------------------------------------------------------
// GBitmapRowSource

GBitmapRowSource::GBitmapRowSource(const GShortRect& rectangle, const GBitmap& bitmap,
                                   std::uint32_t mode)
    : bitmap_(bitmap),
      rectangle_(rectangle),
      current_row_(rectangle.top),
      bottom_(rectangle.bottom),
      mode_(mode) {
  bits_per_pixel_ = bitmap_.GetBitsPerPixel();
  if (bits_per_pixel_ == 24 && IsGrayReadMode(mode)) {
    bits_per_pixel_ = 8;
    is_24_bit_ = 1;
  }
  const GPaletteTable* palette = bitmap_.GetPalette();
  if (mode == kBitmapReadNegative && palette) {
    GPaletteEntry entries[kPaletteMaxEntries];
    for (std::uint32_t i = 0; i < palette->GetCount(); ++i) {
      const GPaletteEntry e = palette->GetEntry(i);
      entries[i] = {static_cast<std::uint8_t>(255 - e.red),
                    static_cast<std::uint8_t>(255 - e.green),
                    static_cast<std::uint8_t>(255 - e.blue), e.fourth};
    }
    complemented_palette_.reset(
        RWNew<GPaletteTable>(std::span<const GPaletteEntry>(entries, palette->GetCount())));
  }
  row_bytes_ = RowBytes(rectangle.right - rectangle.left, bits_per_pixel_);
  const GBitmapImp* imp = bitmap_.GetImplementation();
  const bool within = imp && rectangle.left >= 0 && rectangle.top >= 0 &&
                      rectangle.left <= rectangle.right && rectangle.top <= rectangle.bottom &&
                      static_cast<std::uint32_t>(rectangle.right) <= imp->GetWidth() &&
                      static_cast<std::uint32_t>(rectangle.bottom) <= imp->GetHeight();
  const bool empty = rectangle.left == rectangle.right || rectangle.top == rectangle.bottom;
  ready_ = within && StoredPixelBits(imp->GetBitsPerSample(), imp->GetSamplesPerPixel()) != 0 &&
           (empty || imp->GetPixels()) &&
           (!palette || mode != kBitmapReadNegative || complemented_palette_);
}

GBitmapRowSource::~GBitmapRowSource() = default;

std::uint32_t GBitmapRowSource::Begin() {
  return ready_;
}

const GPaletteTable* GBitmapRowSource::GetPalette() const {
  if (is_24_bit_) return nullptr;
  if (mode_ == kBitmapReadNegative && complemented_palette_) return complemented_palette_.get();
  return bitmap_.GetPalette();
}

std::uint32_t GBitmapRowSource::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                       std::uint32_t& length, std::uint8_t& repeat_count,
                                       std::uint8_t& rows_delivered) {
  repeat_count = 1;
  rows_delivered = 1;
  row_index = rows_delivered_++;
  length = 0;
  if (!ready_ || current_row_ >= bottom_) return 0;
  length = bitmap_.ReadRow(row, rectangle_.left, rectangle_.right, current_row_, mode_);
  ++current_row_;
  if (mode_ == kBitmapReadInverted || (mode_ == kBitmapReadNegative && is_24_bit_)) {
    for (std::uint32_t i = 0; i < length; ++i)
      row[i] = static_cast<std::uint8_t>(~row[i]);
  }
  return 0;
}

void GBitmapRowSource::SkipRows(std::uint16_t count) {
  current_row_ = std::min(current_row_ + count, bottom_);
  rows_delivered_ = static_cast<std::uint16_t>(rows_delivered_ + count);
}

// ---------------------------------------------------------------------------
// GClipRowSource

std::uint32_t GClipRowSource::Begin() {
  ready_ = 0;
  started_ = 0;
  GShortRect bounds, clipped;
  if (!upstream_ || !clip_ || clip_->GetSecondValue() != 0 || !clip_->GetBounds(clipped)) return 0;
  upstream_->GetBounds(bounds);
  window_ = bounds.Intersect(clipped);
  bits_per_pixel_ = upstream_->GetBitsPerPixel();
  if (window_.IsEmpty() || window_ == bounds || bits_per_pixel_ == 0) return 0;
  rows_to_skip_ = static_cast<std::uint16_t>(window_.top - bounds.top);
  left_offset_ = static_cast<std::uint16_t>(window_.left - bounds.left);
  bit_shift_ = static_cast<std::uint8_t>(left_offset_ * bits_per_pixel_ % 8);
  const std::uint32_t window_bits =
      static_cast<std::uint32_t>(window_.right - window_.left) * bits_per_pixel_;
  window_row_bytes_ = (window_bits + 7) / 8;
  last_byte_mask_ =
      window_bits % 8 == 0 ? 0 : static_cast<std::uint8_t>(0xFF << (8 - window_bits % 8));
  // Never less than the bounds' row, which the cut reads within.
  upstream_row_bytes_ =
      std::max(upstream_->GetMaxRowBytes(), RowBytes(bounds.right - bounds.left, bits_per_pixel_));
  ready_ = 1;
  return 1;
}

std::uint32_t GClipRowSource::GetMaxRowBytes() const {
  return (ready_ ? upstream_row_bytes_ : GRasterRowSource::GetMaxRowBytes()) + 1;
}

std::uint32_t GClipRowSource::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                     std::uint32_t& length, std::uint8_t& repeat_count,
                                     std::uint8_t& rows_delivered) {
  length = 0;
  if (!ready_) return 0;
  if (!started_) {
    started_ = 1;
    if (rows_to_skip_ != 0) upstream_->SkipRows(rows_to_skip_);
  }
  const std::int32_t height = window_.bottom - window_.top;
  std::uint32_t result;
  std::int32_t position;
  for (;;) {
    result = upstream_->GetRow(row, row_index, length, repeat_count, rows_delivered);
    if (length == 0) return result;
    position = std::int32_t{row_index} - rows_to_skip_;
    if (position + std::max<std::int32_t>(repeat_count, 1) > 0) break;  // reaches the window
  }
  if (position < 0) {
    repeat_count = static_cast<std::uint8_t>(std::max<std::int32_t>(repeat_count, 1) + position);
    position = 0;
  }
  if (position >= height) {
    length = 0;
    return result;
  }
  row_index = static_cast<std::uint16_t>(position);
  repeat_count = static_cast<std::uint8_t>(std::min<std::int32_t>(repeat_count, height - position));
  // A short row ends in 0 bytes, and so does the spare byte the shift reads.
  const std::uint32_t filled = upstream_row_bytes_ + 1;
  if (length < filled) std::memset(row + length, 0, filled - length);
  const std::uint32_t start = left_offset_ * bits_per_pixel_ / 8;
  if (bit_shift_ != 0) {
    for (std::uint32_t i = 0; i < window_row_bytes_; ++i) {
      row[i] =
          static_cast<std::uint8_t>((row[start + i] << 8 | row[start + i + 1]) >> (8 - bit_shift_));
    }
  } else if (start != 0) {
    std::memmove(row, row + start, window_row_bytes_);
  }
  if (last_byte_mask_ != 0) row[window_row_bytes_ - 1] &= last_byte_mask_;
  length = window_row_bytes_;
  return result;
}

// ---------------------------------------------------------------------------
// GDitherRowSource

GDitherRowSource::GDitherRowSource(const GShortRect& rectangle, const GDitherMatrix* matrix,
                                   GGreyConverter converter)
    : GRasterPointSource({rectangle.left, rectangle.top}),
      palette_(kBlackThenWhite),
      matrix_(matrix),
      converter_(converter ? converter : &DefaultGreyConverter) {}

GDitherRowSource::~GDitherRowSource() = default;

std::uint32_t GDitherRowSource::Begin() {
  ready_ = 0;
  pending_rows_ = 0;
  reuse_ = false;
  repeats_.reset();
  if (!upstream_ || !matrix_ || !matrix_->GetThresholds()) return 0;
  source_bits_ = upstream_->GetBitsPerPixel();
  if (source_bits_ != 1 && source_bits_ != 4 && source_bits_ != 8) return 0;
  GShortRect bounds;
  upstream_->GetBounds(bounds);
  left_ = bounds.left;
  top_ = bounds.top;
  right_ = bounds.right;
  source_row_bytes_ = RowBytes(right_ - left_, source_bits_);
  row_buffer_size_ = std::max({upstream_->GetMaxRowBytes(), source_row_bytes_, 1u});
  matrix_width_ = static_cast<std::uint16_t>(matrix_->GetWidth());
  matrix_height_ = static_cast<std::uint16_t>(matrix_->GetHeight());
  row_buffer_ = RWNewArray<std::uint8_t>(row_buffer_size_);
  thresholds_ = RWNewArray<std::uint8_t>(matrix_width_ + 8u);
  if (!row_buffer_ || !thresholds_) return 0;

  // Grey levels by pixel value, masked in place within its byte.
  const GPaletteTable* palette = upstream_->GetPalette();
  const std::uint32_t levels = 1u << source_bits_;
  const std::uint32_t entries = palette ? std::min(palette->GetCount(), levels) : levels;
  std::fill(std::begin(grey_), std::end(grey_), std::uint8_t{0});
  for (std::uint32_t i = 0; i < entries; ++i) {
    std::uint8_t level = static_cast<std::uint8_t>(i * 255 / (levels - 1));
    if (palette) {
      const GPaletteEntry e = palette->GetEntry(i);
      level = converter_(e.red, e.green, e.blue);
    }
    for (std::uint32_t j = 0; j < 8 / source_bits_; ++j)
      grey_[i << (source_bits_ * j)] = level;
  }

  output_row_bytes_ = RowBytes(right_ - left_, 1);
  const std::int32_t x = left_ + phase_offset_.x, y = top_ + phase_offset_.y;
  x_phase_ = static_cast<std::uint16_t>((x % matrix_width_ + matrix_width_) % matrix_width_);
  y_phase_ = (y % matrix_height_ + matrix_height_) % matrix_height_;
  ready_ = 1;
  return 1;
}

std::uint32_t GDitherRowSource::GetRow(std::uint8_t* row, std::uint16_t& row_index,
                                       std::uint32_t& length, std::uint8_t& repeat_count,
                                       std::uint8_t& rows_delivered) {
  if (!ready_) {
    length = 0;
    return 0;
  }
  std::uint32_t result = 0;
  if (pending_rows_ != 0) {
    // The buffer still holds the repeated row.
    --pending_rows_;
    row_index = next_row_++;
    repeat_count = 1;
    rows_delivered = 1;
  } else {
    result = upstream_->GetRow(row_buffer_.get(), row_index, length, repeat_count, rows_delivered);
    if (length == 0) return result;
    if (length < row_buffer_size_)
      std::memset(row_buffer_.get() + length, 0, row_buffer_size_ - length);
    first_repeat_ = row_index;
    reuse_ = repeat_count > matrix_height_ && output_row_bytes_ != 0;
    if (reuse_ && !repeats_)
      repeats_ = RWNewArray<std::uint8_t>(std::size_t{matrix_height_} * output_row_bytes_);
    if (repeat_count > 1) {
      pending_rows_ = repeat_count - 1u;
      next_row_ = static_cast<std::uint16_t>(row_index + 1);
      repeat_count = 1;
    }
  }
  // The rows of a repeated row come out alike one matrix height apart: the
  // first height of them are dithered and kept, the others copied.
  const std::uint32_t k = static_cast<std::uint16_t>(row_index - first_repeat_);
  std::uint8_t* const kept =
      reuse_ && repeats_ ? repeats_.get() + std::size_t{k % matrix_height_} * output_row_bytes_
                         : nullptr;
  if (kept && k >= matrix_height_) {
    std::memcpy(row, kept, output_row_bytes_);
  } else {
    Dither(row_index, row);
    if (kept) std::memcpy(kept, row, output_row_bytes_);
  }
  length = output_row_bytes_;
  return result;
}

void GDitherRowSource::Dither(std::uint16_t row_number, std::uint8_t* out) {
  const auto matrix_row = static_cast<std::uint16_t>((row_number + y_phase_) % matrix_height_);
  std::uint8_t* const thresholds = thresholds_.get();
  matrix_->CopyRotatedRow(thresholds, x_phase_, matrix_row);
  for (std::uint32_t k = 0; k < 8; ++k)
    thresholds[matrix_width_ + k] = thresholds[k % matrix_width_];
  const std::uint32_t width = right_ > left_ ? static_cast<std::uint32_t>(right_ - left_) : 0;
  const std::uint8_t* source = row_buffer_.get();
  switch (source_bits_) {
    case 1:
      DitherPixels<1>(source, width, grey_, thresholds_.get(), matrix_width_, out);
      break;
    case 4:
      DitherPixels<4>(source, width, grey_, thresholds_.get(), matrix_width_, out);
      break;
    default:
      DitherPixels<8>(source, width, grey_, thresholds_.get(), matrix_width_, out);
  }
}
