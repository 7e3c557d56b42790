// port_to_png [port file [folder]]: the pages of a page-raster port file
// (out/job.prn by default) as folder/page-N.png (folder out by default).
// Exit status 0 after the pictures; 1 with one line on standard error for a
// port file or folder that will not do; 2 for a usage error.
#include <csignal>
#include <cstdio>
#include <string>

#include "examples/port_to_png/port_to_png.h"
#include "examples/program_files/program_files.h"

namespace {

constexpr char kUsage[] = "usage: port_to_png [port file [folder]]\n";
constexpr char kHelp[] =
    "Writes the pages of a port file of the print demonstration (out/job.prn\n"
    "by default) as folder/page-N.png (folder out by default), 1 bit a pixel.\n";

int Run(int argc, char** argv) {
  std::string names[2] = {"out/job.prn", "out"};
  int given = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::printf("%s%s", kUsage, kHelp);
      return 0;
    }
    const std::string wrong = argument.size() > 1 && argument[0] == '-' ? "unknown option "
                              : given == 2                              ? "too many arguments: "
                                                                        : "";
    if (!wrong.empty()) {
      std::fprintf(stderr, "port_to_png: %s%s\n%s", wrong.c_str(), argument.c_str(), kUsage);
      return 2;
    }
    names[given++] = argument;
  }
  // A picture past the file-size limit is a failed write, said and removed,
  // not the end of the process.
  std::signal(SIGXFSZ, SIG_IGN);
  std::string error;
  const int pages = port_to_png::ConvertPortFile(names[0], names[1], error);
  if (pages < 0) {
    std::fprintf(stderr, "port_to_png: %s\n", error.c_str());
    return 1;
  }
  for (int n = 1; n <= pages; ++n)
    std::printf("%s/page-%d.png\n", names[1].c_str(), n);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return program_files::RunCatching("port_to_png", Run, argc, argv);
}
