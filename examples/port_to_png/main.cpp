// port_to_png [port file [folder]]: the pages of a page-raster port file
// (out/job.prn by default) as folder/page-N.png (folder out by default).
// Exit status 1 with the trouble on standard error for a damaged file.
#include <cstdio>
#include <string>

#include "examples/port_to_png/port_to_png.h"

int main(int argc, char** argv) {
  const std::string port = argc > 1 ? argv[1] : "out/job.prn";
  const std::string folder = argc > 2 ? argv[2] : "out";
  std::string error;
  const int pages = port_to_png::ConvertPortFile(port, folder, error);
  if (pages < 0) {
    std::fprintf(stderr, "port_to_png: %s\n", error.c_str());
    return 1;
  }
  for (int n = 1; n <= pages; ++n)
    std::printf("%s/page-%d.png\n", folder.c_str(), n);
  return 0;
}
