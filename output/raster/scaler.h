// The links of the raster chain (row_source.h) that keep a place of their
// own, and the scaler that stretches or shrinks rows and their number to a
// target size.
//
// GRasterRectSource: a link with its own rectangle, which GetBounds
// answers; GetRow is left to the derived classes. GRasterPassThrough: a
// rectangle source that hands on its upstream's rows (and skips) as they
// come; it stands where the source and the target sizes are equal.
// GRasterPointSource: a link that keeps one point; GetRow is left to the
// derived classes.
//
// GRasterScaler (target rectangle): a rectangle source whose rectangle is
// the target. Begin takes the upstream's bounds as the source rectangle:
// sw x sh pixels become dw x dh. It resizes across when sw != dw (the same
// source pixel for each target pixel in every row, worked out once in
// Begin: 16.16 stepping for 1-, 4- and 8-bit pixels, error accumulation
// for 24-bit ones; other depths are not resized) and down when sh != dh
// (by repeat counts when growing, by skipped upstream rows when
// shrinking). 2 -> 5 pixels gives p0 p0 p1 p1 p1 (24 bits: 3 + 2 copies),
// 5 -> 2 gives p0 p3; 2 -> 5 rows gives repeat counts 3, 2. A repeat count
// above 255 (the count is 8 bits) is handed out as several rows of the
// same content, 255 at most each; row indexes count target rows.
// SkipRows(count) skips target rows (source rows for the upstream when
// resizing down). The scaler hands out dh rows in all, then length 0; an
// upstream that runs out first gives blank (0) rows for the rest. Rows are
// (bits per pixel x dw + 7) / 8 bytes when resizing across (1- and 4-bit
// pixels packed most significant first, a last partial byte's unused bits
// clear); otherwise the upstream's rows as they come.
// The stepping, step by step: docs/notes/output.md#scaler
//
// Begin fails without an upstream, for a source or a target of no pixels
// (a width or height of 0 or less), for a depth other than 1, 4, 8 and 24
// when resizing across, and when its buffers cannot be had.
//
// Ownership: as every link (row_source.h); the scaler owns its buffers.
// Threads: one link is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "output/graphics/short_geometry.h"
#include "output/raster/row_source.h"

class GRasterRectSource : public GRasterRowSource {
 public:
  explicit GRasterRectSource(const GShortRect& rectangle) : rectangle_(rectangle) {}
  void GetBounds(GShortRect& bounds) const override { bounds = rectangle_; }

 protected:
  GShortRect rectangle_;
};

class GRasterPassThrough : public GRasterRectSource {
 public:
  using GRasterRectSource::GRasterRectSource;
  // Fails without an upstream.
  std::uint32_t Begin() override;
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
  void SkipRows(std::uint16_t count) override;
};

class GRasterPointSource : public GRasterRowSource {
 public:
  explicit GRasterPointSource(const GShortPoint& point) : point_(point) {}
  const GShortPoint& GetPoint() const { return point_; }

 private:
  GShortPoint point_;
};

class GRasterScaler : public GRasterRectSource {
 public:
  explicit GRasterScaler(const GShortRect& target) : GRasterRectSource(target) {}
  ~GRasterScaler() override;

  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
  void SkipRows(std::uint16_t count) override;
  // See above. Begins again from the first row.
  std::uint32_t Begin() override;
  std::uint32_t GetMaxRowBytes() const override { return max_row_bytes_; }

  bool ResizesAcross() const { return resize_across_ != 0; }
  bool ResizesDown() const { return resize_down_ != 0; }

 private:
  // The repeat count of the next source row (growing), or the skip before
  // it (shrinking), by the vertical step.
  std::uint32_t StepDown();
  // Writes the row in `source_row_` resized to `out`; answers its bytes.
  std::uint32_t ResizeRow(std::uint8_t* out) const;

  GShortRect source_;  // the upstream's bounds
  std::uint16_t source_width_ = 0;
  std::uint16_t target_width_ = 0;
  std::uint16_t source_height_ = 0;
  std::uint16_t target_height_ = 0;
  std::uint32_t vertical_error_ = 0;
  std::uint32_t bits_per_pixel_ = 0;
  std::uint32_t upstream_row_bytes_ = 0;
  std::uint32_t next_row_index_ = 0;            // counts target rows, skipped ones included
  std::unique_ptr<std::uint8_t[]> source_row_;  // where upstream rows land when resizing across
  std::unique_ptr<std::uint16_t[]> pixel_map_;  // the source pixel of each target pixel
  std::unique_ptr<std::uint8_t[]> held_row_;    // a row whose repeat count passed 255
  std::uint32_t held_length_ = 0;
  std::uint32_t held_repeats_ = 0;  // rows of it still to hand out
  std::uint32_t shrink_down_ = 0;
  std::uint32_t resize_across_ = 0;
  std::uint32_t resize_down_ = 0;
};
