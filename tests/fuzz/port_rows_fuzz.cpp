// Fuzz target of the demonstration's port-file reader
// (examples/port_to_png) against what the row encoders write, framed as the
// page-raster generator frames it. Byte 0: pages (1 to 3), the invert flag,
// a leading display line; bytes 1-2: the width (1 to 800 pixels); per page
// a byte for its encoder (the adaptive encoder's blocks, or each row in a
// block of raw, run-length or delta-row bytes) and rows (1 to 8); per row a
// byte for its repeat count (1 to 3) and how many bytes change from the row
// before, then their place and values. Two bytes more: a cut, a bit flip.
//
// The reader must give back exactly the rows encoded (complemented when
// inverting); the file cut short reads only where a line or a page ends,
// as the pages before, and fails with a message elsewhere; a flipped bit
// reads as an error with a message or as pages of exactly their rows.
// Built as a libFuzzer program with clang; the port-rows test replays the
// corpus.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "examples/port_to_png/port_to_png.h"
#include "tests/support/raster_rows.h"

namespace {

using testing_support::Row;
using testing_support::RowEncoding;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  auto next = [&] { return at < size ? data[at++] : std::uint8_t{0}; };
  const std::uint8_t flags = next();
  const bool invert = flags & 1;
  const auto width = std::int16_t(1 + (next() | next() << 8) % 800);
  const std::size_t bytes = (std::size_t(width) + 7) / 8;
  std::string file = flags & 2 ? "RDYMSG DISPLAY = \"fuzz\"\r\n" : "";
  std::vector<std::size_t> ends = {0, file.size()};  // where a cut may read
  std::vector<std::vector<Row>> want(1 + flags / 4 % 3);
  for (std::vector<Row>& sent : want) {
    const std::uint8_t kind = next();
    std::vector<Row> rows(1 + kind / 4 % 8, Row(bytes));
    std::vector<std::uint8_t> repeats;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const std::uint8_t how = next();
      if (r > 0) rows[r] = rows[r - 1];
      for (std::size_t n = how / 3 % (bytes + 1), from = next() % bytes; n > 0; --n)
        rows[r][(from + n) % bytes] = next();
      repeats.push_back(std::uint8_t(1 + how % 3));
      Row wire = rows[r];
      for (std::uint8_t& byte : wire)
        byte = std::uint8_t(invert ? ~byte : byte);
      sent.insert(sent.end(), repeats.back(), wire);
    }
    file += "PAGE " + std::to_string(width) + " " + std::to_string(sent.size()) + "\r\n";
    testing_support::MemoryRowSource source(rows, width, 1, repeats);
    const RowEncoding encodings[] = {RowEncoding::kAdaptive, RowEncoding::kPadder,
                                     RowEncoding::kRunLength, RowEncoding::kDeltaRow};
    const auto encoder = testing_support::MakeRowEncoder(encodings[kind % 4], 1, invert);
    encoder->SetUpstream(&source);
    if (!encoder->Begin()) Fail("Begin failed");
    std::vector<std::uint8_t> out(encoder->GetMaxRowBytes() + 1);
    const char mode = char(kind % 4 == 1 ? 0 : kind % 4);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      std::uint16_t index = 0;
      std::uint32_t n = 0;
      std::uint8_t repeat = 1, delivered = 1;
      encoder->GetRow(out.data(), index, n, repeat, delivered);
      if (kind % 4 != 0) file += {mode, char(n >> 8), char(n)};
      file.append(out.begin(), out.begin() + n);
      if (kind % 4 != 0 && repeat > 1) file += {5, 0, char(repeat - 1)};
    }
    file += "ENDPAGE\r\n";
    ends.push_back(file.size());
  }

  std::vector<port_to_png::PortPage> pages;
  std::vector<std::string> lines;
  std::string error;
  auto read = [&](const std::string& bytes) {
    pages.clear(), lines.clear(), error.clear();
    const bool ok = port_to_png::ReadPortPages(bytes, pages, lines, error);
    if (!ok && error.empty()) Fail("a failure without a message");
    return ok;
  };
  // Pages that read are those of the file, the first `count` of them.
  auto same = [&](std::size_t count) {
    bool ok = pages.size() == count;
    for (std::size_t p = 0; ok && p < count; ++p)
      ok = pages[p].width == std::uint32_t(width) && pages[p].rows == want[p];
    return ok;
  };
  if (!read(file) || !same(want.size()) || lines.size() != (flags & 2 ? 1u : 0u))
    Fail("the file's pages differ");
  const std::size_t cut = (next() | next() << 8) % file.size();
  const bool boundary = std::find(ends.begin(), ends.end(), cut) != ends.end();
  const auto before = std::count_if(ends.begin() + 2, ends.end(), [&](auto e) { return e <= cut; });
  if (read(file.substr(0, cut)) != boundary || (boundary && !same(std::size_t(before))))
    Fail("a cut file reads wrongly");
  file[cut] = char(file[cut] ^ 1 << next() % 8);
  auto fits = [](const port_to_png::PortPage& page) {
    return page.rows.size() == page.height &&
           std::all_of(page.rows.begin(), page.rows.end(),
                       [&](const Row& row) { return row.size() == (page.width + 7) / 8; });
  };
  if (read(file) && !std::all_of(pages.begin(), pages.end(), fits)) Fail("a flipped file's rows");
  return 0;
}
