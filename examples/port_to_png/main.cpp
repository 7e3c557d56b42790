// port_to_png [port file [folder]]: the pages of a page-raster port file
// (out/job.prn by default) as folder/page-N.png (folder out by default).
// Exit status 0 after the pictures; 1 with one line on standard error for a
// port file or folder that will not do, a picture or a report that cannot
// be written, or memory refused; 2 for a usage error.
//
// The pictures go in place together, and only when all were written and
// the report (standard output) went out: earlier pictures are replaced
// then, never before (program_files/staged_output.h). A failure leaves the
// folder as it was; so do SIGINT, SIGTERM, SIGHUP and SIGPIPE, after which
// the program ends by the same signal.
#include <csignal>
#include <cstdio>
#include <string>

#include "examples/port_to_png/port_to_png.h"
#include "examples/program_files/interrupt_cleanup.h"
#include "examples/program_files/program_files.h"
#include "examples/program_files/staged_output.h"

namespace {

constexpr char kProgram[] = "port_to_png";
constexpr char kUsage[] = "usage: port_to_png [port file [folder]]\n";
constexpr char kHelp[] =
    "Writes the pages of a port file of the print demonstration (out/job.prn\n"
    "by default) as folder/page-N.png (folder out by default), 1 bit a pixel.\n"
    "The pictures replace earlier ones only when all of them were written.\n";

int Fail(const std::string& line) {
  program_files::SayError(kProgram, line);
  return 1;
}

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
  program_files::SetActivity("reading the port file");
  std::string error;
  std::vector<port_to_png::PortPage> pages;
  if (!port_to_png::ReadPortFile(names[0], pages, error)) return Fail(error);
  program_files::SetActivity("writing the pictures");
  program_files::StagedOutput out(kProgram);
  if (!out.Open(names[1], error) || !port_to_png::WritePictures(pages, out, error))
    return Fail(error);
  for (const std::string& name : out.Names())
    std::printf("%s\n", out.TargetPath(name).c_str());
  program_files::SetActivity("putting the pictures in place");
  if (!program_files::FlushOutput(error) || !out.Commit(error)) return Fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return program_files::RunCatching(kProgram, Run, argc, argv);
}
