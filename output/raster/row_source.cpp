#include "output/raster/row_source.h"

#include <algorithm>
#include <cstring>

#include "foundation/rw/support.h"

GRasterRowSource::~GRasterRowSource() = default;

void GRasterRowSource::SkipRows(std::uint16_t) {}

std::uint32_t GRasterRowSource::Begin() {
  ready_ = 1;
  return 1;
}

std::uint32_t GRasterRowSource::GetMaxRowBytes() const {
  return upstream_ ? upstream_->GetMaxRowBytes() : 0;
}

void GRasterRowSource::GetBounds(GShortRect& bounds) const {
  if (upstream_) {
    upstream_->GetBounds(bounds);
  } else {
    bounds = GShortRect{};
  }
}

std::uint8_t GRasterRowSource::GetBitsPerPixel() const {
  return upstream_ ? upstream_->GetBitsPerPixel() : 0;
}

const GPaletteTable* GRasterRowSource::GetPalette() const {
  return upstream_ ? upstream_->GetPalette() : nullptr;
}

std::uint32_t GRasterRowSource::ForwardRow(std::uint8_t* row, std::uint16_t& row_index,
                                           std::uint32_t& length, std::uint8_t& repeat_count,
                                           std::uint8_t& rows_delivered) {
  length = 0;
  return upstream_ ? upstream_->GetRow(row, row_index, length, repeat_count, rows_delivered) : 0;
}

GRasterEncoder::~GRasterEncoder() = default;

bool GRasterEncoder::BeginRows(bool pads) {
  ready_ = 0;
  max_row_bytes_ = 0;
  row_size_ = 0;
  padding_ = 0;
  row_buffer_.reset();
  row_buffer_size_ = 0;
  if (!upstream_ || (pads && alignment_ == 0)) return false;
  GShortRect bounds;
  upstream_->GetBounds(bounds);
  const std::int32_t width = std::max(0, bounds.right - bounds.left);
  // At most 255 x 65535 bits: the sizes below stay far inside 32 bits.
  row_size_ = (upstream_->GetBitsPerPixel() * static_cast<std::uint32_t>(width) + 7) / 8;
  if (pads && row_size_ % alignment_ != 0) padding_ = alignment_ - row_size_ % alignment_;
  // One byte at least, so that an empty row still has somewhere to land.
  const std::uint32_t size = std::max({upstream_->GetMaxRowBytes(), row_size_ + padding_, 1u});
  row_buffer_ = RWNewArray<std::uint8_t>(size);
  if (!row_buffer_) return false;
  row_buffer_size_ = size;
  return true;
}

std::uint32_t GRasterEncoder::PullRow(std::uint16_t& row_index, std::uint32_t& length,
                                      std::uint8_t& repeat_count, std::uint8_t& rows_delivered) {
  const std::uint32_t result =
      upstream_->GetRow(row_buffer_.get(), row_index, length, repeat_count, rows_delivered);
  if (length != 0 && length < row_size_) {
    std::memset(row_buffer_.get() + length, 0, row_size_ - length);
  }
  return result;
}

std::uint32_t GRasterEncoder::NoRow(std::uint32_t& length) {
  length = 0;
  return 0;
}
