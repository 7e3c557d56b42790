// port_to_png [port file [folder]]: the pages of a page-raster port file
// (out/job.prn by default) as folder/page-N.png (folder out by default).
// Exit status 0 after the pictures; 1 with one line on standard error for a
// port file or folder that will not do, a picture or a report that cannot
// be written, or memory refused; 2 for a usage error (the complaint and the
// usage line).
//
// The pictures go in place together, and only when all were written and
// the report (standard output) went out (program_files/staged_output.h);
// whatever else ends the run leaves the folder as it was
// (program_files/run.h).
#include <cstdio>
#include <string>

#include "examples/port_to_png/port_to_png.h"
#include "examples/program_files/run.h"
#include "examples/program_files/staged_output.h"

namespace {

constexpr char kUsage[] = "usage: port_to_png [port file [folder]]\n";
constexpr char kHelp[] =
    "Writes the pages of a port file of the print demonstration (out/job.prn\n"
    "by default) as folder/page-N.png (folder out by default), 1 bit a pixel.\n"
    "The pictures replace earlier ones only when all of them were written.\n";

using program_files::Fail;

int Run(int argc, char** argv) {
  if (argc == 2 && (argv[1] == std::string("--help") || argv[1] == std::string("-h")))
    return std::printf("%s%s", kUsage, kHelp), 0;
  std::string names[2] = {"out/job.prn", "out"};
  int given = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h")
      return program_files::UsageError(argument + " takes no other arguments", kUsage);
    if (argument.size() > 1 && argument[0] == '-')
      return program_files::UsageError("unknown option " + argument, kUsage);
    if (given == 2) return program_files::UsageError("too many arguments: " + argument, kUsage);
    names[given++] = argument;
  }
  program_files::SetActivity("reading the port file");
  std::string error;
  std::vector<port_to_png::PortPage> pages;
  if (!port_to_png::ReadPortFile(names[0], pages, error)) return Fail(error);
  program_files::SetActivity("writing the pictures");
  program_files::StagedOutput out("port_to_png");
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
  return program_files::RunCatching("port_to_png", Run, argc, argv);
}
