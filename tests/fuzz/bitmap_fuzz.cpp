// Fuzz target of the bitmap and dither-matrix restores and of the row
// stages over what they restore. Byte 0 picks the medium (bits 0-1: file,
// binary, portable text, headered stream), the bitmap source's read mode
// (bits 2-4: 0 to 4) and what the rest holds (bits 5-6: 1 a bitmap's
// implementation, 2 a dither matrix, else a bitmap); bytes 1-4 give a clip
// rectangle over the image (left, top, right, bottom, signed); byte 5 the
// dither matrix's width (1 to 80) for a bitmap, the left edge of the rows
// for a matrix; the rest is the stored object, read as an embedded part
// (only its own class taken).
//
// A bitmap (or an implementation, in a handle) is read through a
// bitmap source, alone, cut by a clip window, and dithered then cut; a
// matrix dithers 8-bit rows. Every row must fit its stage's
// GetMaxRowBytes, in a buffer of exactly that size. The default error
// handler stays in force, so an error of bad data that escaped the
// readers' error scopes ends the run as a finding.
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

// Pulls every row of the last of `stages` (each pulling from the one
// before), checking each against its maximal row size.
void Drain(const std::vector<GRasterRowSource*>& stages) {
  for (std::size_t i = 1; i < stages.size(); ++i) {
    stages[i]->SetUpstream(stages[i - 1]);
    stages[i]->Begin();
  }
  GRasterRowSource& last = *stages.back();
  const std::uint32_t max = last.GetMaxRowBytes();
  for (int rows = 0; rows < 100000; ++rows) {
    const std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[max + 1]);
    std::uint16_t index = 0;
    std::uint32_t length = 0;
    std::uint8_t repeat = 1, delivered = 1;
    last.GetRow(block.get() + 1, index, length, repeat, delivered);
    if (length > max) std::abort();
    if (length == 0) return;
  }
  std::abort();  // a chain that never ends
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
  {
    GBitmapRowSource source(image, bitmap, mode);
    Drain({&source});
  }
  {
    GBitmapRowSource source(image, bitmap, mode);
    GClipRowSource window(&clip);
    Drain({&source, &window});
  }
  GBitmapRowSource source(image, bitmap, mode);
  GDitherRowSource dither(image, &matrix, nullptr);
  GClipRowSource window(&clip);
  Drain({&source, &dither, &window});
}

void RunMatrix(GDitherMatrix& matrix, const std::uint8_t* options) {
  std::vector<std::uint8_t> all(std::size_t{255} * 255);
  matrix.CopyAll(all.data(), 255, 255);
  matrix.StartRow(options[1], options[2]);
  for (int i = 0; i < 300; ++i)
    matrix.NextThreshold();
  std::vector<testing_support::Row> rows(3, testing_support::Row(150));
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
  const std::string bytes(reinterpret_cast<const char*>(data) + 6, size - 6);
  // A reference of the wrong class inside a bitmap is refused and, as
  // everywhere in the model, not freed (the graph may hold it).
  std::unique_ptr<testing_support::LeakCheckDisabler> refused_objects_are_not_freed(
      new testing_support::LeakCheckDisabler);
  const int medium = data[0] % 4;
  switch (data[0] >> 5 & 3) {
    case 1: {
      GBitmap bitmap(new GBitmapImp);  // the handle frees it
      Restore(bytes, medium, *bitmap.GetImplementation());
      refused_objects_are_not_freed.reset();
      RunBitmap(bitmap, data);
      break;
    }
    case 2: {
      GDitherMatrix matrix;
      Restore(bytes, medium, matrix);
      refused_objects_are_not_freed.reset();
      RunMatrix(matrix, data);
      break;
    }
    default: {
      GBitmap bitmap;
      Restore(bytes, medium, bitmap);
      refused_objects_are_not_freed.reset();
      RunBitmap(bitmap, data);
    }
  }
  return 0;
}
