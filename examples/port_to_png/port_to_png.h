// The demonstration's page pictures: the pages of a port file that the
// page-raster generator (examples/page_raster/) wrote, decoded with the
// printer's adaptive decoder (support/adaptive_decoder.h) and written as
// PNG files through the system's libpng.
//
// The port file, as the generator frames it (the framing is the
// project's own, no printer language):
//   job-language lines       each ending CR LF ("RDYMSG DISPLAY = ..."),
//                            before the first page only
//   per page:
//     "PAGE <width> <height>" CR LF      decimal, each 1 to 65535
//     adaptive row blocks                mode u8, count u16 big-endian,
//                                        then count bytes (mode 5: none,
//                                        the previous row count times);
//                                        rows of (width + 7) / 8 bytes,
//                                        alignment 1, a set bit printed
//     "ENDPAGE" CR LF
// A picture holds exactly the bytes that reached the port: 1 bit a pixel,
// palette index 0 white, 1 black, so that the bytes of each PNG row are the
// decoded row as it stands.
//
// Every length and count of the port file is checked before it is used: a
// damaged file is an error, never a crash. A port file may hold 256 MiB,
// its pages' rows as much again. No state; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "examples/program_files/staged_output.h"

namespace port_to_png {

// The largest port file read: far more than the demonstration's, far less
// than memory a damaged file could ask for.
inline constexpr std::uint64_t kLargestPortFile = std::uint64_t{256} << 20;

// One page as the port carries it: `height` rows of (width + 7) / 8 bytes.
struct PortPage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::vector<std::uint8_t>> rows;

  // Whether the pixel (x, y) is printed (its bit set).
  bool IsPrinted(std::uint32_t x, std::uint32_t y) const {
    return (rows[y][x / 8] >> (7 - x % 8)) & 1;
  }
};

// The pages of the port file's bytes, with its job-language lines (CR LF
// cut) in `lines`. False with `error` set on a damaged file.
bool ReadPortPages(const std::string& bytes, std::vector<PortPage>& pages,
                   std::vector<std::string>& lines, std::string& error);

// Writes `page` as a 1-bit palette PNG (index 0 white, 1 black), a new
// file (program_files::CreateNewFile); a picture that cannot be written
// whole is removed, and `error` names it and the reason ("out of memory
// while writing <path>" when libpng's memory ran out).
bool WritePagePng(const std::string& path, const PortPage& page, std::string& error);
// Reads a PNG of WritePagePng's form back (1 bit a pixel, the palette white
// then black), its rows as stored; any other form is an error.
bool ReadPagePng(const std::string& path, PortPage& page, std::string& error);

// The pages of the port file `port` (a regular file of at most 256 MiB).
// False with `error` set (a line that names the file and the reason); a
// port file of no page is an error.
bool ReadPortFile(const std::string& port, std::vector<PortPage>& pages, std::string& error);
// Writes page N (from 1) of `pages` as page-N.png in `out`'s staging
// folder, each added to `out` for its commit. False with `error` set (the
// picture named as the user will see it).
bool WritePictures(const std::vector<PortPage>& pages, program_files::StagedOutput& out,
                   std::string& error);

}  // namespace port_to_png
