// Fuzz target of the demonstration's port-file reader
// (examples/port_to_png/port_to_png.h): any bytes. Nothing may crash or
// hang, and a file read whole gives pages of exactly their rows.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "examples/port_to_png/port_to_png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<port_to_png::PortPage> pages;
  std::vector<std::string> lines;
  std::string error;
  if (!port_to_png::ReadPortPages(std::string(data, data + size), pages, lines, error)) return 0;
  for (const port_to_png::PortPage& page : pages) {
    if (page.rows.size() != page.height) std::abort();
    for (const auto& row : page.rows)
      if (row.size() != (page.width + 7) / 8) std::abort();
  }
  return 0;
}
