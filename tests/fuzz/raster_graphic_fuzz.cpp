// Fuzz target of the raster graphics' restore and of the chain built for
// them. Byte 0: the medium (bits 0-1: file, portable text, binary,
// headered stream), the scaling mode (bits 2-3), the output form (bits
// 4-6) and the resize switch (bit 7); bytes 1-8: a clip rectangle (4 x i16,
// little-endian); byte 9: the clip (bits 0-1: none, the page, the
// rectangle, the rectangle with its second value set) and the encoder
// (bits 2-3: adaptive, run-length, delta row, padder); the rest: a stored
// object graph. A raster graphic read from it is fitted to the clip, and
// the chain for its visible part (at most 2^18 target pixels) is drained:
// every row must fit the chain's maximal row size, and the rows must end.
// The default error handler stays in force.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the raster chain's test program, which replays the corpus.
#include <cstdlib>
#include <memory>
#include <string>

#include "output/attributes/clip.h"
#include "output/graphics/raster_graphic.h"
#include "output/load.h"
#include "output/raster/dither_matrix.h"
#include "output/raster/row_chain.h"
#include "tests/persist/media.h"
#include "tests/support/raster_rows.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OutputLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const auto i16 = [&](int at) { return std::int16_t(data[at] | data[at + 1] << 8); };
  const GShortRect rect{i16(1), i16(3), i16(5), i16(7)};
  const GClipToPage page;
  const GClipToSingleRectangle single(rect, 0, 0, 0), flagged(rect, 0, 1, 0);
  const GClip* clips[] = {nullptr, &page, &single, &flagged};
  const GClip* clip = clips[data[9] & 3];

  model_testing::Restored back{nullptr, false};
  {
    // A reference of the wrong class inside a bitmap is refused and, as
    // everywhere in the model, not freed (the graph may hold it).
    testing_support::LeakCheckDisabler refused_objects_are_not_freed;
    back = model_testing::Restore(std::string(reinterpret_cast<const char*>(data) + 10, size - 10),
                                  model_testing::kAllMedia[data[0] & 3]);
  }
  if (auto* graphic = dynamic_cast<GRasterGraphic*>(back.object)) {
    GShortRect source, target;
    graphic->FitToClip(clip, source, target);
    if (std::int64_t{target.right - target.left} * (target.bottom - target.top) <= 1 << 18) {
      std::uint8_t cells[16];
      for (int k = 0; k < 16; ++k)
        cells[k] = std::uint8_t(k * 16 + 8);
      const GDitherMatrix matrix(4, 4, cells, 0, 0);
      const GRasterChainValues values{std::uint32_t(data[0] >> 4 & 7),
                                      std::uint32_t(data[0] >> 2 & 3),
                                      std::uint32_t(data[0] >> 7),
                                      0,
                                      &matrix,
                                      i16(1),
                                      i16(3)};
      using testing_support::RowEncoding;
      constexpr RowEncoding kEncodings[] = {RowEncoding::kAdaptive, RowEncoding::kRunLength,
                                            RowEncoding::kDeltaRow, RowEncoding::kPadder};
      std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
          target, source, clip, graphic->GetBitmap(),
          testing_support::MakeRowEncoder(kEncodings[data[9] >> 2 & 3], 1, 0), values);
      if (chain && testing_support::DrainRows(*chain, 70000).ends_with('!')) std::abort();
    }
  }
  FreeRestored(back.object);
  return 0;
}
