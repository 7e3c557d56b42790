// Fuzz target of the bitmap and dither-matrix restores and of the row
// stages over them. Byte 0: the medium (bits 0-1: file, binary, portable
// text, headered stream), the read mode (bits 2-4, 0 to 4) and the class
// (bits 5-6: 1 an implementation, 2 a dither matrix, else a bitmap); bytes
// 1-4: a clip rectangle over the image (signed insets); byte 5: the dither
// matrix's width (a bitmap) or the rows' left edge (a matrix); the rest:
// the object, read as an embedded part (only its own class taken). A bitmap
// goes through a bitmap source alone, cut by a clip window, and dithered
// then cut; a matrix dithers 8-bit rows. Every row must fit its stage's
// maximal row size, and the default error handler stays in force.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the row stages' test program, which replays the corpus.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "output/attributes/clip.h"
#include "output/load.h"
#include "output/raster/dither_matrix.h"
#include "output/raster/row_stages.h"
#include "persist/stored_form.h"
#include "tests/support/graph.h"
#include "tests/support/raster_rows.h"
#include "tests/support/test_support.h"

namespace {

// Links `stages`, each pulling from the one before, and drains the last:
// every row must fit its maximal row size, and the rows must end.
void Drain(const std::vector<GRasterRowSource*>& stages) {
  for (std::size_t i = 1; i < stages.size(); ++i) {
    stages[i]->SetUpstream(stages[i - 1]);
    stages[i]->Begin();
  }
  if (testing_support::DrainRows(*stages.back(), 100000).ends_with('!')) std::abort();
}

void RunBitmap(const GBitmap& bitmap, const std::uint8_t* options) {
  const auto side = [](std::uint32_t n) { return std::int16_t(std::min<std::uint32_t>(n, 300)); };
  const GShortRect image{0, 0, side(bitmap.GetWidth()), side(bitmap.GetHeight())};
  const std::uint32_t mode = (options[0] >> 2) % 5;
  const GClipToSingleRectangle clip({std::int8_t(options[1]), std::int8_t(options[2]),
                                     std::int16_t(image.right - std::int8_t(options[3])),
                                     std::int16_t(image.bottom - std::int8_t(options[4]))},
                                    0, 0, 0);
  std::vector<std::uint8_t> cells(std::size_t{80} * 3);
  for (std::size_t i = 0; i < cells.size(); ++i)
    cells[i] = std::uint8_t(i * 37);
  const GDitherMatrix matrix(std::uint8_t(1 + options[5] % 80), 3, cells.data(), 0, 0);
  for (int chain = 0; chain < 3; ++chain) {  // the source alone, cut, dithered and cut
    GBitmapRowSource source(image, bitmap, mode);
    GDitherRowSource dither(image, &matrix, nullptr);
    GClipRowSource window(&clip);
    std::vector<GRasterRowSource*> stages{&source};
    if (chain == 2) stages.push_back(&dither);
    if (chain > 0) stages.push_back(&window);
    Drain(stages);
  }
}

void RunMatrix(GDitherMatrix& matrix, const std::uint8_t* options) {
  std::vector<support::Row> rows(3, support::Row(150));
  for (std::size_t i = 0; i < 150; ++i)
    rows[i % 3][i] = std::uint8_t(i * 5);
  testing_support::MemoryRowSource upstream(rows, 150, 8, {1, 3, 200});
  upstream.bounds.left = std::int8_t(options[5]);
  upstream.bounds.right = std::int16_t(upstream.bounds.left + 150);
  upstream.bounds.top = std::int8_t(options[3]);
  GDitherRowSource dither(upstream.bounds, &matrix, nullptr);
  Drain({&upstream, &dither});
}

// Reads `part` from `bytes` in `medium` (0 a file, then the binary,
// portable text and headered streams): only an object of the part's own
// class is taken.
void Restore(const std::string& bytes, int medium, RWCollectable& part) {
  using testing_support::Encoding;
  if (medium == 0) {
    testing_support::TempPath path("bitmap_fuzz");
    testing_support::WriteAll(path.str(), bytes);
    RWFile file(path.c_str(), "rb");
    GetEmbedded(file, part);
    return;
  }
  constexpr Encoding kEncodings[] = {Encoding::kBinary, Encoding::kPortable, Encoding::kHeadered};
  std::istringstream in(bytes);
  std::unique_ptr<RWVirtualInputStream> stream;
  {
    RWErrorScope header;  // the headered stream reads its header at once
    stream = testing_support::MakeInputStream(in, kEncodings[medium - 1]);
  }
  GetEmbedded(*stream, part);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OutputLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const int what = data[0] >> 5 & 3;
  GBitmap bitmap(what == 1 ? new GBitmapImp : nullptr);  // the handle frees it
  GDitherMatrix matrix;
  RWCollectable& part = what == 1   ? *bitmap.GetImplementation()
                        : what == 2 ? static_cast<RWCollectable&>(matrix)
                                    : bitmap;
  Restore(std::string(reinterpret_cast<const char*>(data) + 6, size - 6), data[0] % 4, part);
  if (what == 2) {
    RunMatrix(matrix, data);
  } else {
    RunBitmap(bitmap, data);
  }
  return 0;
}
