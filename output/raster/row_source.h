// The row-source interface of the raster chain, and the base of the row
// encoders that end it.
//
// A raster reaches the printer row by row through a chain of links: a
// bitmap source at the far end, then, as needed, scaling, dithering and
// clipping stages, and one encoder at the near end that turns each row into
// the bytes the printer language expects. Each link pulls its rows from the
// link before it, its upstream:
//   1. give every link but the first its upstream (SetUpstream);
//   2. Begin the links from the far end to the near end; a link whose Begin
//      answers 0 is not ready and must be left out of the chain;
//   3. call GetRow on the near end until the rows are used up.
// Until Begin succeeds a link hands out no rows (GetRow answers length 0).
// Links that have nothing of their own to say about the bounds, the bits
// per pixel, the palette or the row size answer their upstream's (nothing,
// 0 and an empty rectangle without one).
//
// GetRow's two 8-bit counts travel by reference through the chain: the
// repeat count says how many output rows the delivered row stands for (a
// vertical scaler repeats rows), rows delivered how many rows this call has
// accounted for. Callers pass 1 and 1; each link may change them.
//
// Ownership: a link never owns its upstream: whoever builds the chain keeps
// every link alive while the chain is used, and deletes them. A link owns
// the buffers it allocates in Begin.
//
// Threads: a chain is used by one thread at a time; separate chains may run
// on separate threads at once.
#pragma once

#include <cstdint>
#include <memory>

#include "output/graphics/short_geometry.h"

class GPaletteTable;

class GRasterRowSource {
 public:
  GRasterRowSource() = default;
  GRasterRowSource(const GRasterRowSource&) = delete;
  GRasterRowSource& operator=(const GRasterRowSource&) = delete;
  virtual ~GRasterRowSource();

  // Fills `row` with the next row: its index, its length in bytes (0 when
  // no row is left), the repeat count and rows delivered (see above). The
  // result is the link's status word; the links here answer 0, or hand on
  // their upstream's.
  // REQUIRES: `row` holds GetMaxRowBytes() bytes.
  virtual std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                               std::uint8_t& repeat_count, std::uint8_t& rows_delivered) = 0;
  // Passes over `count` rows without handing them out. Does nothing here.
  virtual void SkipRows(std::uint16_t count);
  // Makes the link ready to hand out rows: 1 on success, 0 when it cannot
  // work (it is then left out of the chain). Here: ready, 1.
  virtual std::uint32_t Begin();
  // The largest row GetRow can hand out, in bytes. Here: the upstream's.
  virtual std::uint32_t GetMaxRowBytes() const;
  // The rectangle the rows cover. Here: the upstream's.
  virtual void GetBounds(GShortRect& bounds) const;
  // Bits per pixel of the rows handed out. Here: the upstream's.
  virtual std::uint8_t GetBitsPerPixel() const;
  // The palette of the rows handed out (owned by the link or further up,
  // valid while the chain stands), or null. Here: the upstream's.
  virtual const GPaletteTable* GetPalette() const;

  // The link this one pulls from (not owned; null for none).
  // REQUIRES: `upstream` outlives this link's use, and is not this link.
  void SetUpstream(GRasterRowSource* upstream) { upstream_ = upstream; }
  GRasterRowSource* GetUpstream() const { return upstream_; }
  bool IsReady() const { return ready_ != 0; }

 protected:
  // GetRow of a link that hands its upstream's rows on as they come (no
  // row without an upstream).
  std::uint32_t ForwardRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                           std::uint8_t& repeat_count, std::uint8_t& rows_delivered);

  GRasterRowSource* upstream_ = nullptr;  // pulled from, not owned
  std::uint32_t ready_ = 0;               // 1 once Begin succeeded
  std::uint32_t max_row_bytes_ = 0;       // what an encoder's GetMaxRowBytes answers
};

// The base of the row encoders at the near end of a chain. Rows are padded
// with zero bytes to a multiple of the alignment by the encoders that pad
// (an alignment of 0 makes their Begin fail), and data bytes, never the
// padding, are written complemented when the invert flag is set.
//
// Row bytes: an encoder takes the row size from its upstream's bounds and
// bits per pixel when it begins, (bits per pixel x (right - left) + 7) / 8
// (0 for an empty or reversed rectangle), and encodes rows of exactly that
// many bytes: a shorter upstream row is completed with 0 bytes, a longer
// one is cut. Every encoder refuses to begin without an upstream.
class GRasterEncoder : public GRasterRowSource {
 public:
  GRasterEncoder(std::uint16_t alignment, std::uint32_t invert)
      : alignment_(alignment), invert_(invert) {}
  ~GRasterEncoder() override;

  // The largest encoded row, fixed by Begin (0 before).
  std::uint32_t GetMaxRowBytes() const override { return max_row_bytes_; }

  std::uint16_t GetAlignment() const { return alignment_; }
  std::uint32_t GetInvert() const { return invert_; }
  // The row size Begin took (0 before).
  std::uint32_t GetRowSize() const { return row_size_; }

 protected:
  // Leaves the encoder not ready, then takes the row size (and, when
  // `pads`, the padding) from the upstream and allocates the row buffer:
  // the upstream's maximal row size, at least row size + padding. False
  // without an upstream, with an alignment of 0 when `pads`, and without
  // memory ([NOMEM] raised).
  bool BeginRows(bool pads);
  // Pulls the next row into the row buffer, completed with 0 bytes up to
  // the row size when it comes short. Answers the upstream's result.
  // REQUIRES: BeginRows succeeded.
  std::uint32_t PullRow(std::uint16_t& row_index, std::uint32_t& length, std::uint8_t& repeat_count,
                        std::uint8_t& rows_delivered);
  // What a GetRow of a link that is not ready hands out: no row.
  static std::uint32_t NoRow(std::uint32_t& length);
  // GetRow of an encoder that encodes row by row: pulls the next row and,
  // when one came, writes encode(row buffer, `out`) there and makes its
  // answer the length.
  template <class Encode>
  std::uint32_t PullAndEncode(std::uint8_t* out, std::uint16_t& row_index, std::uint32_t& length,
                              std::uint8_t& repeat_count, std::uint8_t& rows_delivered,
                              Encode encode) {
    if (!ready_) return NoRow(length);
    const std::uint32_t result = PullRow(row_index, length, repeat_count, rows_delivered);
    if (length != 0) length = encode(row_buffer_.get(), out);
    return result;
  }

  std::uint16_t alignment_;                     // rows padded to a multiple of it
  std::uint32_t invert_;                        // data bytes complemented when set
  std::uint32_t row_size_ = 0;                  // bytes per row, from the upstream
  std::uint32_t padding_ = 0;                   // zero bytes after each row
  std::unique_ptr<std::uint8_t[]> row_buffer_;  // where upstream rows land
  std::uint32_t row_buffer_size_ = 0;
};
