// Three links of the raster chain (row_source.h): the bitmap source at its
// far end, which reads a GBitmap's rows inside a rectangle; the clip
// window, which cuts its upstream's rows to the rectangle of a clip; and
// the dither stage, which turns 1-, 4- or 8-bit rows into 1-bit rows
// through a GDitherMatrix.
//
// GBitmapRowSource (rectangle, bitmap, mode): rows from the rectangle's
// top down, each from its left to its right, read by GBitmap::ReadRow in
// the mode. Its bits per pixel are the bitmap's effective ones, except
// that in the grey read modes (0, 1 and 4, bitmap.h) a 24-bit bitmap comes
// as 8-bit grey (its 24-bit flag). In mode 4, and in mode 1 for a 24-bit
// bitmap, every byte of a row is inverted; in mode 1 a bitmap's palette is
// handed on with red, green and blue complemented (255 - value). Its
// palette: none for the 24-bit flag, else the complemented one in mode 1,
// else the bitmap's. Each row comes alone (repeat count 1, one row
// delivered), numbered by the rows delivered so far; past the bottom the
// length is 0. SkipRows(n) moves the current row n down (at most to the
// bottom) and counts n rows delivered. It is ready from construction when
// the bitmap has usable pixels and the rectangle lies within them (an
// empty one included); otherwise it hands out no rows and Begin fails.
//
// GClipRowSource (clip): Begin needs an upstream and a clip whose second
// value is 0 and that has a rectangle; the window is that rectangle
// intersected with the upstream's bounds. A window that is empty or equals
// the bounds leaves the stage not ready (the chain leaves it out). Its
// rows: the first GetRow skips the upstream's rows above the window
// (SkipRows); each row is the upstream's, cut to the window's columns
// (shifted left by the window's offset in bits) with the last byte's bits
// past the window cleared, numbered from the window's top, its repeat
// count cut to the rows left in the window; rows below the window are not
// handed on (length 0). It pulls upstream rows into the caller's buffer,
// and a shifted row reads one byte past the upstream's row: so its
// GetMaxRowBytes is the upstream's plus one spare byte. Bounds: the
// window; bits per pixel and palette: the upstream's.
//
// GDitherRowSource (rectangle, matrix, grey converter): Begin needs an
// upstream of 1, 4 or 8 bits per pixel and a matrix with cells. Each
// pixel's grey level (through a 256-entry table: with an upstream palette
// the converter's grey of each entry, stored at every position the entry's
// index takes within a byte, so that a pixel masked in place in its byte
// indexes the table; without one the level itself, a 1- or 4-bit value
// spread over 0..255) is compared with the matrix's threshold for its
// place: bit 1 (white) when the grey is at least the threshold. The
// thresholds of a row come from matrix row (row number + y phase) mod
// height, read from column x phase on and wrapping at the matrix width;
// x phase = upstream left mod width, y phase = upstream top brought to 0
// or above by whole heights; a phase offset (SetPhaseOffset, the raster
// chain's builder passes its caller's) is added to left and top first. A
// row that stands for several rows is handed out as that many single
// rows, numbered on from its own, each with its own threshold row. Bits
// per pixel 1; palette black {0, 0, 0, 255}, then white {255, 255, 255,
// 255}; bounds the upstream's; row bytes (right - left + 7) / 8, the last
// byte's unused bits clear.
//
// Ownership: a stage owns its buffers and palettes, never its upstream,
// bitmap implementation (shared), clip or matrix: the clip is read by
// Begin alone, the matrix and the grey converter must outlive the stage.
// Threads: one stage is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "output/graphics/short_geometry.h"
#include "output/raster/bitmap.h"
#include "output/raster/row_source.h"
#include "output/raster/scaler.h"

class GClip;
class GDitherMatrix;

// A grey converter of the dither stage: red, green, blue to 0..255.
using GGreyConverter = std::uint8_t (*)(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// The dither stage's default converter: (30 R + 59 G + 11 B) / 100.
std::uint8_t DefaultGreyConverter(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

class GBitmapRowSource : public GRasterRowSource {
 public:
  // Shares `bitmap`'s implementation. See above.
  GBitmapRowSource(const GShortRect& rectangle, const GBitmap& bitmap, std::uint32_t mode);
  ~GBitmapRowSource() override;

  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
  void SkipRows(std::uint16_t count) override;
  // 1 when the source can hand out rows (see above), else 0.
  std::uint32_t Begin() override;
  // The bytes of a row of the rectangle's width.
  std::uint32_t GetMaxRowBytes() const override { return row_bytes_; }
  void GetBounds(GShortRect& bounds) const override { bounds = rectangle_; }
  std::uint8_t GetBitsPerPixel() const override { return bits_per_pixel_; }
  const GPaletteTable* GetPalette() const override;

 private:
  GBitmap bitmap_;  // shares the implementation
  GShortRect rectangle_;
  std::int32_t current_row_;  // the next row to read
  std::uint16_t rows_delivered_ = 0;
  std::int32_t bottom_;
  std::uint8_t bits_per_pixel_ = 0;
  std::uint32_t is_24_bit_ = 0;  // a 24-bit bitmap handed out as grey
  std::uint32_t mode_;
  std::unique_ptr<GPaletteTable> complemented_palette_;  // mode 1 only
  std::uint32_t row_bytes_ = 0;
};

class GClipRowSource : public GRasterRowSource {
 public:
  // REQUIRES: `clip` (null: none) outlives the stage's Begin.
  explicit GClipRowSource(const GClip* clip) : clip_(clip) {}

  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
  // 1 when the window cuts something off; see above.
  std::uint32_t Begin() override;
  // The upstream's, plus one spare byte.
  std::uint32_t GetMaxRowBytes() const override;
  void GetBounds(GShortRect& bounds) const override { bounds = window_; }

  std::uint8_t GetLastByteMask() const { return last_byte_mask_; }
  std::uint8_t GetBitShift() const { return bit_shift_; }

 private:
  const GClip* clip_;
  GShortRect window_;
  std::uint32_t started_ = 0;       // the rows above the window are skipped
  std::uint16_t rows_to_skip_ = 0;  // window top - bounds top
  std::uint16_t left_offset_ = 0;   // window left - bounds left, in pixels
  std::uint32_t window_row_bytes_ = 0;
  std::uint8_t bits_per_pixel_ = 0;
  std::uint8_t bit_shift_ = 0;       // (left offset x bits per pixel) mod 8
  std::uint8_t last_byte_mask_ = 0;  // 0 when the window fills whole bytes
  std::uint32_t upstream_row_bytes_ = 0;
};

class GDitherRowSource : public GRasterPointSource {
 public:
  // Keeps `rectangle`'s left and top as the point. A null converter is
  // the default one. REQUIRES: `matrix` (null: none) and the converter
  // outlive the stage.
  GDitherRowSource(const GShortRect& rectangle, const GDitherMatrix* matrix,
                   GGreyConverter converter);
  ~GDitherRowSource() override;

  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
  // 1 when it can dither; see above.
  std::uint32_t Begin() override;
  std::uint32_t GetMaxRowBytes() const override { return output_row_bytes_; }
  std::uint8_t GetBitsPerPixel() const override { return 1; }
  // Shifts the matrix by (x, y) over the rows; taken by the next Begin.
  void SetPhaseOffset(std::int16_t x, std::int16_t y) { phase_offset_ = {x, y}; }
  const GPaletteTable* GetPalette() const override { return &palette_; }

 private:
  // Writes the dithered row `row_number` of the row buffer to `out`.
  void Dither(std::uint16_t row_number, std::uint8_t* out);

  GPaletteTable palette_;  // black, then white
  std::uint8_t grey_[256] = {};
  std::unique_ptr<std::uint8_t[]> row_buffer_;
  std::uint32_t source_row_bytes_ = 0;  // what a whole upstream row takes
  std::uint32_t row_buffer_size_ = 0;
  std::uint8_t source_bits_ = 0;  // 1, 4 or 8
  std::int16_t left_ = 0;         // the upstream's bounds
  std::int16_t top_ = 0;
  std::int16_t right_ = 0;
  std::uint32_t pending_rows_ = 0;  // further rows of a repeated one
  std::uint16_t next_row_ = 0;      // the number of the next of them
  const GDitherMatrix* matrix_;
  std::uint16_t matrix_width_ = 0;
  std::uint16_t matrix_height_ = 0;
  GShortPoint phase_offset_;
  std::uint16_t x_phase_ = 0;
  std::int32_t y_phase_ = 0;
  GGreyConverter converter_;
  std::unique_ptr<std::uint8_t[]> thresholds_;  // one matrix row, rotated, + its first 8
  std::uint32_t output_row_bytes_ = 0;
  // One matrix height of dithered rows of the repeated row in hand, made
  // when a row first repeats more often than that.
  std::unique_ptr<std::uint8_t[]> repeats_;
  std::uint16_t first_repeat_ = 0;  // the number of its first row
  bool reuse_ = false;              // whether its rows are kept and copied
};
