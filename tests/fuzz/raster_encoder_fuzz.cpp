// Fuzz target of the row encoders: byte 0 gives the bits per pixel (1, 4,
// 8, 24 or 32) and the invert flag, bytes 1-2 the width (1 to 2,000
// pixels), bytes 3-4 the alignment (1 to 512), byte 5 the rows (1 to 8),
// then one repeat count per row; the rest fills the rows in turn (a row the
// input cannot fill keeps the bytes of the row before). Every encoder must
// decode back to the rows within its maximal row size.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the encoders' test program, which replays the corpus.
#include <cstdio>
#include <cstdlib>

#include "tests/support/raster_rows.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  const std::uint8_t bits = std::vector<std::uint8_t>{1, 4, 8, 24, 32}[(data[0] >> 1) % 5];
  const auto width = std::int16_t(1 + (data[1] | data[2] << 8) % 2000);
  const auto alignment = std::uint16_t(1 + (data[3] | data[4] << 8) % 512);
  std::size_t at = 6;
  std::vector<std::uint8_t> repeats(data + at, data + std::min(size, at + 1 + data[5] % 8));
  at += repeats.size();
  std::vector<support::Row> rows(1 + data[5] % 8, support::Row((bits * width + 7) / 8));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) rows[r] = rows[r - 1];
    for (std::size_t i = 0; i < rows[r].size() && at < size; ++i)
      rows[r][i] = data[at++];
  }
  const std::string trouble =
      testing_support::CheckRoundTrip(rows, width, bits, alignment, data[0] & 1, repeats);
  if (trouble.empty()) return 0;
  std::fprintf(stderr, "%s\n", trouble.c_str());
  std::abort();
}
