// Fuzz target of the raster graphics and their chains. Byte 0: the medium
// (bits 0-1), scaling mode (2-3), output form (4-6) and resize switch (7);
// bytes 1-8: a clip rectangle (4 x i16); byte 9: the clip (bits 0-1: none,
// page, rectangle, rectangle with its second value) and the encoder (2-3:
// run-length, delta row, prefixed delta row, adaptive); the rest: a stored
// graph. A raster graphic read from it is fitted to the clip and the chain
// for its visible part (at most 2^18 target pixels) is drained: every row
// within the maximal row size, the rows ending.
// Compiled into the raster chain's tests, which replay the corpus.
#include <cstdlib>

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
  const GClipToPage page;
  const GClipToSingleRectangle single({i16(1), i16(3), i16(5), i16(7)}, 0, 0, 0),
      flagged({i16(1), i16(3), i16(5), i16(7)}, 0, 1, 0);
  const GClip* clips[] = {nullptr, &page, &single, &flagged};
  const GClip* clip = clips[data[9] & 3];
  model_testing::Restored back =
      model_testing::Restore(std::string(reinterpret_cast<const char*>(data) + 10, size - 10),
                             model_testing::kAllMedia[data[0] & 3]);
  GShortRect source, target;
  auto* graphic = dynamic_cast<GRasterGraphic*>(back.object);
  if (graphic) graphic->FitToClip(clip, source, target);
  if (graphic &&
      std::int64_t{target.right - target.left} * (target.bottom - target.top) <= 1 << 18) {
    const std::uint8_t cells[] = {48, 176, 240, 112};
    const GDitherMatrix matrix(2, 2, cells, 0, 0);
    std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
        target, source, clip, graphic->GetBitmap(),
        testing_support::MakeRowEncoder(testing_support::RowEncoding(data[9] >> 2 & 3), 1, 0),
        {data[0] >> 4 & 7u, data[0] >> 2 & 3u, data[0] >> 7 & 1u, 0, &matrix, i16(1), i16(3)});
    if (chain && testing_support::DrainRows(*chain, 70000).ends_with('!')) std::abort();
  }
  FreeRestored(back.object);
  return 0;
}
