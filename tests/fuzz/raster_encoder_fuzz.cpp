// Fuzz target of the row encoders. The input gives the rows and how they
// are encoded: byte 0 the bits per pixel (1, 4, 8, 24 or 32) and the invert
// flag, bytes 1-2 the width (1 to 2,000 pixels), bytes 3-4 the alignment
// (1 to 512), byte 5 the number of rows (1 to 8), then one repeat count per
// row; the rest is the rows' bytes, taken in turn (a row the input cannot
// fill repeats the bytes of the row before). Every encoder must decode back
// to the rows and stay within its maximal row size.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the encoders' test program, which replays the corpus.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "tests/support/raster_rows.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  static const std::uint8_t kDepths[] = {1, 4, 8, 24, 32};
  const std::uint8_t bits = kDepths[(data[0] >> 1) % 5];
  const bool invert = data[0] & 1;
  const auto width = static_cast<std::int16_t>(1 + (data[1] | data[2] << 8) % 2000);
  const auto alignment = static_cast<std::uint16_t>(1 + (data[3] | data[4] << 8) % 512);
  const std::size_t count = 1 + data[5] % 8;
  std::size_t at = 6;
  std::vector<std::uint8_t> repeats;
  for (; repeats.size() < count && at < size; ++at)
    repeats.push_back(data[at]);
  const std::size_t row_size = (bits * std::size_t(width) + 7) / 8;
  std::vector<testing_support::Row> rows;
  testing_support::Row previous(row_size, 0);
  for (std::size_t r = 0; r < count; ++r) {
    testing_support::Row row = previous;
    for (std::size_t i = 0; i < row_size && at < size; ++i)
      row[i] = data[at++];
    rows.push_back(row);
    previous = row;
  }
  const std::string problem =
      testing_support::CheckRoundTrip(rows, width, bits, alignment, invert, repeats);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
