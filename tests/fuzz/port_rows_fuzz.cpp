// Fuzz target of the demonstration's port-file reader
// (examples/port_to_png) against what the row encoders write. The input
// makes a port file as the page-raster generator frames it: byte 0 gives
// the pages (1 to 3), the invert flag and whether a display line leads;
// bytes 1-2 the width (1 to 800 pixels); per page a byte for its encoder
// (the adaptive encoder, or raw, run-length or delta row alone, each row a
// block of that mode) and its rows (1 to 8); per row a byte for its repeat
// count (1 to 3) and how it is made (the row before, one byte all along, a
// few bytes changed, or bytes of the input). Two bytes more give a cut and
// a bit to flip.
//
// The reader must give back exactly the rows encoded (complemented when
// inverting); the file cut short must read only where a line or a page
// ends, as the pages before the cut, and fail with a message anywhere
// else; a flipped bit reads as an error with a message or as pages of
// exactly their rows.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the port-file test, which replays the corpus.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "examples/port_to_png/port_to_png.h"
#include "tests/support/raster_rows.h"

namespace {

using testing_support::Row;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t Next() { return at < size ? data[at++] : 0; }  // 0 past the end
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

// Appends the blocks of `rows` (each standing for its repeat count):
// encoding 0 the adaptive encoder's own, else each row through one encoder
// in a block of mode 0 (raw), 2 (run-length) or 3 (delta row), then a
// repeat block when it stands for more than one.
void EncodePage(int encoding, const std::vector<Row>& rows,
                const std::vector<std::uint8_t>& repeats, std::int16_t width, bool invert,
                std::string& file) {
  testing_support::MemoryRowSource source(rows, width, 1, repeats);
  const testing_support::RowEncoding encodings[] = {
      testing_support::RowEncoding::kAdaptive, testing_support::RowEncoding::kPadder,
      testing_support::RowEncoding::kRunLength, testing_support::RowEncoding::kDeltaRow};
  const std::unique_ptr<GRasterEncoder> encoder =
      testing_support::MakeRowEncoder(encodings[encoding], 1, invert);
  encoder->SetUpstream(&source);
  if (!encoder->Begin()) Fail("Begin failed");
  std::vector<std::uint8_t> out(encoder->GetMaxRowBytes() + 1);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::uint16_t index = 0;
    std::uint32_t n = 0;
    std::uint8_t repeat = 1, delivered = 1;
    encoder->GetRow(out.data(), index, n, repeat, delivered);
    if (encoding != 0) file += {char(encoding == 1 ? 0 : encoding), char(n >> 8), char(n)};
    file.append(out.begin(), out.begin() + n);
    if (encoding != 0 && repeat > 1) file += {5, 0, char(repeat - 1)};
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  const std::uint8_t flags = in.Next();
  const bool invert = flags & 1;
  const auto width = std::int16_t(1 + (in.Next() | in.Next() << 8) % 800);
  const std::size_t bytes = (std::size_t(width) + 7) / 8;
  std::string file = flags & 2 ? "RDYMSG DISPLAY = \"fuzz\"\r\n" : "";
  std::vector<std::size_t> ends = {0, file.size()};  // where a cut may read
  std::vector<std::vector<Row>> want;
  for (int page = 0, pages = 1 + flags / 4 % 3; page < pages; ++page) {
    const std::uint8_t kind = in.Next();
    std::vector<Row> rows;
    std::vector<std::uint8_t> repeats;
    Row row(bytes, 0);
    std::vector<Row>& sent = want.emplace_back();
    for (int r = 0, n = 1 + kind / 4 % 8; r < n; ++r) {
      const std::uint8_t how = in.Next();
      if (how % 4 == 1) std::fill(row.begin(), row.end(), in.Next());
      for (int k = how % 4 == 2 ? 1 + how / 4 % 4 : 0; k > 0; --k) {
        const std::size_t at = in.Next() % bytes;
        row[at] = in.Next();
      }
      if (how % 4 == 3)
        for (std::uint8_t& byte : row)
          byte = in.Next();
      rows.push_back(row);
      repeats.push_back(std::uint8_t(1 + how / 16 % 3));
      Row wire = row;
      for (std::uint8_t& byte : wire)
        byte = std::uint8_t(invert ? ~byte : byte);
      sent.insert(sent.end(), repeats.back(), wire);
    }
    file += "PAGE " + std::to_string(width) + " " + std::to_string(sent.size()) + "\r\n";
    EncodePage(kind % 4, rows, repeats, width, invert, file);
    file += "ENDPAGE\r\n";
    ends.push_back(file.size());
  }

  std::vector<port_to_png::PortPage> pages;
  std::vector<std::string> lines;
  std::string error;
  if (!port_to_png::ReadPortPages(file, pages, lines, error)) Fail("the file: " + error);
  if (pages.size() != want.size() || lines.size() != (flags & 2 ? 1u : 0u)) Fail("pages or lines");
  for (std::size_t p = 0; p < pages.size(); ++p)
    if (pages[p].width != std::uint32_t(width) || pages[p].rows != want[p]) Fail("rows differ");

  const std::size_t cut = (in.Next() | in.Next() << 8) % file.size();
  pages.clear(), lines.clear(), error.clear();
  const bool read = port_to_png::ReadPortPages(file.substr(0, cut), pages, lines, error);
  const bool boundary = std::find(ends.begin(), ends.end(), cut) != ends.end();
  if (read != boundary || (!read && error.empty())) Fail("a cut at " + std::to_string(cut));
  const auto before = std::count_if(ends.begin() + 2, ends.end(), [&](auto e) { return e <= cut; });
  if (read && pages.size() != std::size_t(before)) Fail("a cut's page count");
  for (std::size_t p = 0; read && p < pages.size(); ++p)
    if (pages[p].rows != want[p]) Fail("a cut's pages");

  std::string flipped = file;
  flipped[cut] = char(flipped[cut] ^ 1 << in.Next() % 8);
  pages.clear(), error.clear();
  if (!port_to_png::ReadPortPages(flipped, pages, lines, error)) {
    if (error.empty()) Fail("a flip without a message");
    return 0;
  }
  for (const port_to_png::PortPage& page : pages) {
    if (page.rows.size() != page.height) Fail("a flipped page's height");
    for (const Row& row : page.rows)
      if (row.size() != (page.width + 7) / 8) Fail("a flipped page's row");
  }
  return 0;
}
