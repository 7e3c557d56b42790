// The raster chain as one link (row_source.h): the stages a generator pulls
// an image through, linked and begun, and the builder that makes them for
// a raster graphic (output/graphics/raster_graphic.h).
//
// GRasterRowChain (stages): the first stage is the far end and gets no
// upstream; each further stage, in order, gets the chain's current head as
// its upstream and is begun: when Begin succeeds it becomes the head,
// otherwise it is deleted and the chain goes on without it. Null stages
// are absent. The chain is ready at once and answers everything from its
// head (rows, skips, bounds, row size, depth, palette), unless its last
// stage (the encoder) is absent or cannot begin: the chain is then refused,
// not ready, with no head, and hands out no rows, since the rows would
// otherwise leave it unencoded.
//
// GRasterSourceBuilder::Build (target, source, clip, bitmap, encoder,
// values) makes the chain that draws the source rectangle of `bitmap` (in
// its pixels) into the target rectangle (on the page), cut by `clip`:
//   1. the bitmap's implementation takes the chain value; its effective
//      bits per pixel are taken, capped at 8 for the output forms 0, 1 and
//      4 (the bitmap source's grey read modes, bitmap.h);
//   2. the visible part is the source part that FitToClip's rule keeps
//      (the clip met with the target on the page, mapped to the bitmap's
//      pixels and rounded outwards); with nothing visible there is no
//      chain;
//   3. resizing: scaling mode 0 resizes when the target's area is larger
//      than the visible part's or the resize switch is 1; mode 1 always;
//      mode 2 when (bits per pixel / 8, rounded down) x the target's area
//      is larger than the visible part's; other modes never. The resizing
//      stage is a GRasterPassThrough when the source and target sizes are
//      equal (in mode 0 only without a clip), else a GRasterScaler; both
//      answer the target rectangle as their bounds. A scaler that would
//      have to resize rows of a depth other than 1, 4, 8 and 24 across
//      makes no chain (its rows would pass unresized and overrun every
//      buffer after it);
//   4. the stages, in order: the bitmap source (GBitmapRowSource, in the
//      output form); the resizing stage; in modes 1 and 2 the dither stage
//      (GDitherRowSource, the caller's matrix and phase offset, the default
//      grey converter); with a clip, the clip window (GClipRowSource), which
//      cuts the rows on the page; last the encoder. Without a resizing
//      stage the rows are the bitmap's own pixels, which a clip on the page
//      cannot cut: the bitmap source then reads the visible part alone and
//      no clip window is made;
//   5. the caller's source rectangle becomes the visible part.
// A bitmap that cannot be read (no pixels, a source outside them), or an
// encoder that cannot begin (the chain refused), makes no chain either. Without a chain the encoder
// is deleted with the rest.
//
// Ownership: the chain owns its stages and deletes them when it goes; the
// stages share the bitmap's implementation. The clip is read only while
// the chain is built; the dither matrix must outlive the chain. Threads:
// one chain is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "output/graphics/short_geometry.h"
#include "output/raster/row_source.h"

class GBitmap;
class GClip;
class GDitherMatrix;

class GRasterRowChain : public GRasterRowSource {
 public:
  // See above; IsReady tells a refused chain.
  explicit GRasterRowChain(std::vector<std::unique_ptr<GRasterRowSource>> stages);
  ~GRasterRowChain() override;

  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
  void SkipRows(std::uint16_t count) override;

  // The stages that were linked, far end first.
  std::size_t GetStageCount() const { return stages_.size(); }
  // REQUIRES: i < GetStageCount().
  GRasterRowSource* GetStage(std::size_t i) const { return stages_[i].get(); }

 private:
  std::vector<std::unique_ptr<GRasterRowSource>> stages_;
};

// What a chain's caller gives besides its rectangles, clip, bitmap and
// encoder.
struct GRasterChainValues {
  std::uint32_t output_form = 0;          // the bitmap source's read mode
  std::uint32_t scaling_mode = 0;         // 0, 1 or 2 (see above)
  std::uint32_t resize_switch = 0;        // 1: mode 0 resizes whatever the areas
  std::uint32_t chain_value = 0;          // given to the bitmap's implementation
  const GDitherMatrix* matrix = nullptr;  // the dither stage's (modes 1 and 2)
  std::int16_t x_phase = 0;               // the dither stage's phase offset
  std::int16_t y_phase = 0;
};

class GRasterSourceBuilder {
 public:
  // The chain, or null when there is none (see above).
  // REQUIRES: `encoder` is present; `values.matrix` outlives the chain.
  static std::unique_ptr<GRasterRowChain> Build(const GShortRect& target, GShortRect& source,
                                                const GClip* clip, const GBitmap& bitmap,
                                                std::unique_ptr<GRasterRowSource> encoder,
                                                const GRasterChainValues& values);
};
