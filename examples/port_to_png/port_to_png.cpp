#include "examples/port_to_png/port_to_png.h"

#include <png.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "examples/program_files/program_files.h"
#include "support/adaptive_decoder.h"

namespace port_to_png {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kPageWord[] = "PAGE ";
constexpr char kPageEndLine[] = "ENDPAGE";
constexpr std::uint32_t kLargestSide = 65535;
constexpr std::uint8_t kRepeatMode = 5;  // the previous row again, no data
constexpr std::size_t kBlockHeader = 3;  // mode u8, count u16 big-endian
// What a port file's pages may take in memory: far more than the
// demonstration's pages (4 MiB each at 600 dots per inch), far less than
// a damaged file could ask for.
constexpr std::uint64_t kLargestPagesBytes = std::uint64_t{256} << 20;

// The line at `at` (CR LF cut), `at` moved past it; false when no CR LF
// ends it.
bool NextLine(const std::string& bytes, std::size_t& at, std::string& line) {
  const std::size_t end = bytes.find(kLineEnd, at);
  if (end == std::string::npos) return false;
  line = bytes.substr(at, end - at);
  at = end + 2;
  return true;
}

// A decimal number at `at` of `text`, `at` past it; 0 when none, past
// kLargestSide for one too large.
std::uint32_t ParseSide(const std::string& text, std::size_t& at) {
  std::uint32_t side = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    side = std::min(side * 10 + std::uint32_t(text[at] - '0'), kLargestSide + 1);
  return side;
}

// "PAGE <width> <height>"; answers what is wrong with it, empty when
// nothing is.
std::string ParsePageLine(const std::string& line, std::uint32_t& width, std::uint32_t& height) {
  std::size_t at = sizeof kPageWord - 1;
  if (line.compare(0, at, kPageWord) != 0) return "no PAGE line";
  const std::size_t width_at = at;
  width = ParseSide(line, at);
  if (at == width_at || at == line.size() || line[at++] != ' ') return "a malformed PAGE line";
  const std::size_t height_at = at;
  height = ParseSide(line, at);
  if (at == height_at || at != line.size()) return "a malformed PAGE line";
  if (width < 1 || width > kLargestSide) return "a page width out of range (1 to 65535)";
  if (height < 1 || height > kLargestSide) return "a page height out of range (1 to 65535)";
  return "";
}

// The rows of one page's blocks from `at`, `at` moved past them.
bool ReadRows(const std::string& bytes, std::size_t& at, PortPage& page, std::string& error) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  support::Row seed((page.width + 7) / 8, 0);  // each page starts from white
  while (page.rows.size() < page.height) {
    if (bytes.size() - at < kBlockHeader) return error = "a row block cut short", false;
    const std::size_t count = std::size_t{data[at + 1]} << 8 | data[at + 2];
    const bool repeat = data[at] == kRepeatMode;
    const std::size_t block = kBlockHeader + (repeat ? 0 : count);
    if (bytes.size() - at < block) return error = "a row block cut short", false;
    if (repeat && count > page.height - page.rows.size())
      return error = "more rows than the page has", false;
    if (!support::DecodeAdaptive(data + at, block, 0, seed, page.rows))
      return error = "a malformed row block at byte " + std::to_string(at), false;
    at += block;
  }
  return true;
}

// libpng's errors end at the setjmp of its caller, unprinted: the caller
// says in one line what failed.
[[noreturn]] void QuietError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}
void QuietWarning(png_structp, png_const_charp) {}

// libpng reports its errors by a long jump: these two keep nothing with a
// destructor between setjmp and the jump. `failed` takes errno at a jump
// (the write that failed; 0 when none).
bool WriteImage(FILE* file, std::uint32_t width, std::uint32_t height, png_bytepp rows,
                int& failed) {
  errno = 0;  // libpng's allocations fail with ENOMEM
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    failed = errno;
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[2] = {{255, 255, 255}, {0, 0, 0}};
  png_set_PLTE(png, info, palette, 2);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// `page` and `pointers` belong to the caller, so a jump leaks nothing.
bool ReadImage(FILE* file, PortPage& page, std::vector<png_bytep>& pointers) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  png_colorp palette = nullptr;
  int colors = 0;
  png_get_PLTE(png, info, &palette, &colors);
  page.width = png_get_image_width(png, info);
  page.height = png_get_image_height(png, info);
  bool ok = png_get_bit_depth(png, info) == 1 &&
            png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE && colors == 2 &&
            palette[0].red == 255 && palette[0].green == 255 && palette[0].blue == 255 &&
            palette[1].red == 0 && palette[1].green == 0 && palette[1].blue == 0 &&
            png_get_interlace_type(png, info) == PNG_INTERLACE_NONE && page.width <= kLargestSide &&
            page.height <= kLargestSide;
  if (ok) {
    page.rows.assign(page.height, std::vector<std::uint8_t>((page.width + 7) / 8));
    for (auto& row : page.rows)
      pointers.push_back(row.data());
    png_read_image(png, pointers.data());
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

}  // namespace

bool ReadPortPages(const std::string& bytes, std::vector<PortPage>& pages,
                   std::vector<std::string>& lines, std::string& error) {
  std::size_t at = 0;
  std::uint64_t held = 0;  // the rows' bytes so far
  std::string line;
  while (at < bytes.size() && bytes.compare(at, sizeof kPageWord - 1, kPageWord) != 0) {
    if (!NextLine(bytes, at, line)) return error = "a job-language line without CR LF", false;
    lines.push_back(line);
  }
  while (at < bytes.size()) {
    const std::string name = "page " + std::to_string(pages.size() + 1) + ": ";
    PortPage page;
    if (!NextLine(bytes, at, line)) return error = name + "no PAGE line", false;
    if (std::string wrong = ParsePageLine(line, page.width, page.height); !wrong.empty())
      return error = name + wrong, false;
    // Checked before decoding: a few bytes of repeat blocks make many rows.
    held += std::uint64_t(page.height) * ((page.width + 7) / 8);
    if (held > kLargestPagesBytes)
      return error = name + "the pages' rows would take more than " +
                     std::to_string(kLargestPagesBytes >> 20) + " MiB",
             false;
    if (!ReadRows(bytes, at, page, error)) return error = name + error, false;
    if (!NextLine(bytes, at, line) || line != kPageEndLine)
      return error = name + "no ENDPAGE line after its rows", false;
    pages.push_back(std::move(page));
  }
  return true;
}

bool WritePagePng(const std::string& path, const PortPage& page, std::string& error) {
  std::vector<png_bytep> pointers;
  for (const auto& row : page.rows)
    pointers.push_back(const_cast<png_bytep>(row.data()));  // libpng only reads them
  const int descriptor = program_files::CreateNewFile(path, error);
  if (descriptor < 0) return false;
  FILE* file = ::fdopen(descriptor, "wb");
  int failed = 0;
  bool ok = false;
  if (!file) {
    failed = errno;
    ::close(descriptor);
  } else {
    ok = WriteImage(file, page.width, page.height, pointers.data(), failed);
    // The last bytes go at the close: a full disk may show only there.
    if (std::fclose(file) != 0 && ok) ok = false, failed = errno;
  }
  if (ok) return true;
  ::unlink(path.c_str());  // a cut picture is no picture
  if (failed == ENOMEM) return error = "out of memory while writing " + path, false;
  error = path + ": cannot write: " +
          (failed ? program_files::Reason(failed) : "libpng refused the picture");
  return false;
}

bool ReadPagePng(const std::string& path, PortPage& page, std::string& error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return error = "cannot open " + path, false;
  std::vector<png_bytep> pointers;
  const bool ok = ReadImage(file, page, pointers);
  std::fclose(file);
  if (!ok) error = path + " is not a 1-bit picture";
  return ok;
}

bool ReadPortFile(const std::string& port, std::vector<PortPage>& pages, std::string& error) {
  std::string bytes;
  if (!program_files::ReadRegularFile(port, kLargestPortFile, bytes, error)) return false;
  std::vector<std::string> lines;
  if (!ReadPortPages(bytes, pages, lines, error)) return error = port + ": " + error, false;
  if (pages.empty()) return error = port + ": no page", false;
  return true;
}

bool WritePictures(const std::vector<PortPage>& pages, program_files::StagedOutput& out,
                   std::string& error) {
  for (std::size_t n = 0; n < pages.size(); ++n) {
    const std::string name = "page-" + std::to_string(n + 1) + ".png";
    if (!WritePagePng(out.StagedPath(name), pages[n], error))
      return error = out.WithTargetPaths(error), false;
    out.Add(name);
  }
  return true;
}

}  // namespace port_to_png
