// The demonstration's main road: a five-page document printed end to end.
//
// Printer P1 is installed and its library loaded as the acceptance tests
// do it; DrvDocumentProperties gives its default device mode, and then
// shows P1's document sheet, on which the demonstration chooses, as a user
// does, two copies, two-sided printing on the long edge and two pages a
// sheet, and presses OK. The job is bound to the record the sheet handed
// back. The job's render-time driver data drives the canonical
// filter chain (examples/print_road/), then the job language's GWqm and the
// page-raster generator (examples/page_raster/), which writes the port file
// out/job.prn. Five pages are submitted through the job driver; each
// command that reaches the generator is printed. Then port_to_png turns the
// port file into out/page-N.png.
//
// print_demo [--out DIR] [--rendered] [--help]
//   --out DIR    the out/ folder (out by default, in the working directory)
//   --rendered   also writes each picture as the generator rendered it, as
//                DIR/rendered-N.pbm (1 black), for the pictures' test
//
// Exit status: 0 after a printed job; the chain's error code (its low
// byte; after the job abort) when the chain fails and no spool file is
// left; 1 otherwise (the set-up, the pictures, a spool file left, a report
// that could not be written, memory or a thread refused), with one line on
// standard error that names the file and the reason; 2 for a usage error
// (the complaint and the usage line).
//
// The run writes in a staging folder of its own inside DIR (the port's
// C:\Out is served from it; where its real path is not UTF-8, from the
// run's own folder in TMPDIR, and job.prn is copied in) and puts its files
// in place together only when the whole run went through and its report
// (standard output) was written (program_files/staged_output.h). Whatever
// else ends it, DIR is left as it was (program_files/run.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/model_lookup.h"
#include "examples/page_raster/page_raster_generator.h"
#include "examples/port_to_png/port_to_png.h"
#include "examples/print_demo/demo_job.h"
#include "examples/print_road/canonical_chain.h"
#include "examples/program_files/program_files.h"
#include "examples/program_files/run.h"
#include "examples/program_files/staged_output.h"
#include "filters/nup_filter.h"
#include "foundation/rw/catalogue.h"
#include "foundation/rw/error.h"
#include "foundation/rw/factory.h"
#include "lang/generator/printer_language.h"
#include "lang/joblang_zdl5/wqm.h"
#include "output/commands/job_commands.h"
#include "output/core/result_commands.h"
#include "platform/host/types.h"

namespace {

constexpr int kPages = 5;

using program_files::Fail;

// A step of the library that failed, `line` naming it: said with the cause
// the step answered, the platform's last error (each step starts with it
// cleared), which memory that ran short sets, also inside a reader.
int FailStep(const std::string& line) {
  if (platform::GetLastError() == platform::kErrorNotEnoughMemory)
    return Fail("out of memory while " + std::string(program_files::Activity()));
  return Fail(line);
}

// The set-up's failure `failed`, said with its cause: the thread of P1's
// initialise event that the system refused, else as a step's.
int FailSetUp(print_demo::DemoPrinter& printer, const std::string& failed) {
  if (printer.Install().RefusedThread())
    return Fail("the system refused a thread while " + std::string(program_files::Activity()));
  return FailStep("the set-up failed: " + failed);
}

// The rendered picture `page` (palette index kPageBlack black) as a PBM
// file, whose set bits are black; false with `error` when a row cannot be
// read or the file written.
bool WritePbm(const std::string& path, const GBitmap& page, std::string& error) {
  std::string bytes =
      "P4\n" + std::to_string(page.GetWidth()) + ' ' + std::to_string(page.GetHeight()) + '\n';
  std::vector<std::uint8_t> row(page.GetRowByteCount(0, std::int32_t(page.GetWidth())));
  for (std::uint32_t y = 0; y < page.GetHeight(); ++y) {
    if (page.ReadRow(row.data(), 0, std::int32_t(page.GetWidth()), std::int32_t(y), 0) !=
        row.size())
      return error = path + ": cannot write: the rendered page could not be read", false;
    for (std::uint8_t byte : row)
      bytes += char(kPageBlack == 0 ? ~byte : byte);
  }
  return program_files::WriteNewFile(path, bytes, error);
}

// A platform error of the file port `port`'s in words; empty for none, and
// for one that is none of these.
std::string PortTrouble(std::uint32_t failure, const std::string& port) {
  switch (failure) {
    case platform::kErrorDiskFull:
      return "the disk is full or the file-size limit was reached";
    case platform::kErrorWriteFault:
      return "a write fault";
    case platform::kErrorNotEnoughMemory:
      return "out of memory";
    case platform::kErrorNoUnicodeTranslation:
      return program_files::Reason(EILSEQ);
    case platform::kErrorDirectoryNotSupported:
      return program_files::Reason(EISDIR);
    case platform::kErrorTooManyOpenFiles:
      return program_files::Reason(EMFILE);
    case platform::kErrorFilenameExcedRange:
      return program_files::Reason(ENAMETOOLONG);
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound:
      return program_files::Reason(ENOENT);
    case platform::kErrorAccessDenied: {
      // Said of a file system made read-only too: its folder tells which.
      const std::string folder = port.substr(0, port.rfind('/'));
      const bool read_only =
          ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0 && errno == EROFS;
      return program_files::Reason(read_only ? EROFS : EACCES);
    }
  }
  return "";
}

// The chain's error `code` in words, naming the file it concerns: the
// codes that can reach the demonstration (the port's, said by the reason
// its port `made` kept; the page spool's in `host`/Spool, the font's,
// memory's); for any other, only that the chain failed.
std::string ChainTrouble(std::uint16_t code, const GOutputTarget* made, const std::string& port,
                         const std::string& host) {
  // The reason the port kept for its first failure (GetFailure), else the
  // code itself. The port answers the platform's errors as codes, which
  // the chain's own overlap (kErrorFileNotFound is kSpoolFailure's 2): the
  // code the port kept is the port's.
  const std::uint32_t failure = made ? made->GetFailure() : 0;
  const bool the_ports = failure != 0 && std::uint16_t(failure) == code;
  switch (the_ports ? 0 : code) {
    case kSpoolFailure:
      return host + "/Spool: the page spool could not be written or read back";
    case kGlyphFailure:
      return host + "/demo-font.ttf: a glyph of the font gave no bitmap";
    case kMemoryFailure:
      return "out of memory";
  }
  for (const std::uint32_t reason : {failure, std::uint32_t{code}})
    if (const std::string trouble = PortTrouble(reason, port); !trouble.empty())
      return port + ": cannot write: " + trouble;
  if (failure != 0) return port + ": cannot write: the system's error " + std::to_string(failure);
  if (code == kPortNotReady) return port + ": cannot write: the file port refused it";
  return "the chain failed";
}

// The road: answers the exit status. Its files go to `out`'s staging
// folder, the port's among them, each added to `out`.
int PrintDocument(print_demo::DemoPrinter& printer, program_files::StagedOutput& out,
                  bool rendered) {
  program_files::SetActivity("choosing on P1's document sheet");
  std::vector<std::uint8_t> record = printer.DefaultRecord();
  std::string refused;  // a step of the sheet's road
  if (record.empty() || !printer.ChooseOnSheet(record, &refused))
    return FailStep(refused.empty() ? "P1's device mode could not be had"
                                    : "P1's document sheet: " + refused);
  GJobDriverData* job = printer.CheckOutJob(record);
  GAttributeComposite* settings = job ? job->EnsureDefaultSettings() : nullptr;
  GAttributeComposite* nup = FindComposite(settings, kNupSettingsKey);
  if (!nup) return FailStep("no job bound to the device mode");
  // As the job's settings now hold them.
  std::printf("P1's job: copies (291) %u, duplex (253) %u, pages a sheet (266) %u\n",
              ValueOr(settings, kCopiesKey, 0), ValueOr(settings, kDuplexKey, 0),
              ValueOr(nup, kPagesPerSheetKey, 0));

  program_files::SetActivity("printing the document");
  // The pages' medium: the document's paper (kPaperSizeKey) as the job makes
  // it.
  const std::unique_ptr<GMedia> medium(job->MakeMedium(ValueOr(settings, kPaperSizeKey, 0)));
  if (!medium) return FailStep("no medium for the document's paper");
  GCountedPtr start = print_demo::MakeDocument(*job, *medium, print_demo::kDemoPort);
  if (!start) return FailStep("no document start for the job");
  GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
  set->AddChild(new GStringAttribute("print demo", kDisplayTextKey));  // the display line

  auto* generator = new GPageRasterGenerator;
  int pictures = 0;
  std::string unwritten;  // the first rendered picture that could not be written
  generator->SetCommandObserver([](const GCommand& command) {
    std::printf("  -> %s\n", GetFactory()->StringIdOf(command.ClassId()).Data());
  });
  generator->SetPageObserver([&](const GBitmap& page) {
    ++pictures;
    std::printf("  page %d rendered, %u x %u\n", pictures, page.GetWidth(), page.GetHeight());
    if (!rendered || !unwritten.empty()) return;
    const std::string name = "rendered-" + std::to_string(pictures) + ".pbm";
    if (WritePbm(out.StagedPath(name), page, unwritten)) out.Add(name);
  });
  GCountedPtr chain = BuildCanonicalChain(set, {new GWqm, generator});
  if (!chain) return FailStep("the filter chain could not be built");
  job->SetOutputChain(static_cast<GPeripheral*>(chain.Get()));

  print_demo::DemoFont font(printer.Folder());
  if (!font.IsOpen()) return FailStep(font.Error());
  const std::uint16_t code =
      print_demo::PrintDocument(*job, start, kPages, *medium, &font, [](const GCommand& command) {
        std::printf("%s\n", GetFactory()->StringIdOf(command.ClassId()).Data());
      });
  const std::string port = printer.PortFolder() + "/job.prn";
  if (code) {
    const int left = printer.SpoolFileCount();
    Fail(out.WithTargetPaths(ChainTrouble(code, generator->GetOutput(), port, printer.Folder())) +
         " (error " + std::to_string(code) + "); the job was aborted" +
         (left ? ", " + std::to_string(left) + " spool files left" : ""));
    // The exit status keeps the code's low byte; never 0 for a failure.
    return left != 0 || (code & 0xFF) == 0 ? 1 : code;
  }
  std::string error;
  // A port served from the run's own folder: its file is copied in.
  if (std::string bytes;
      port != out.StagedPath("job.prn") &&
      (!program_files::ReadRegularFile(port, port_to_png::kLargestPortFile, bytes, error) ||
       !program_files::WriteNewFile(out.StagedPath("job.prn"), bytes, error)))
    return Fail(out.WithTargetPaths(error));
  out.Add("job.prn");
  if (!unwritten.empty()) return Fail(out.WithTargetPaths(unwritten));

  program_files::SetActivity("writing the pictures");
  std::vector<port_to_png::PortPage> pages;
  if (!port_to_png::ReadPortFile(out.StagedPath("job.prn"), pages, error) ||
      !port_to_png::WritePictures(pages, out, error))
    return Fail(out.WithTargetPaths(error));
  for (const std::string& name : out.Names())
    if (name.starts_with("page-")) std::printf("%s\n", out.TargetPath(name).c_str());
  return 0;
}

constexpr char kUsage[] = "usage: print_demo [--out DIR] [--rendered]\n";
constexpr char kHelp[] =
    "Prints a five-page document on the demonstration's printer P1, headless,\n"
    "through the filter chain into DIR/job.prn, and writes its sheets as\n"
    "DIR/page-N.png. The files replace earlier ones only when the whole run\n"
    "went through.\n"
    "  --out DIR    the output folder (out by default)\n"
    "  --rendered   also writes each sheet as the generator rendered it,\n"
    "               DIR/rendered-N.pbm\n";

int Run(int argc, char** argv) {
  std::string folder = "out";
  bool rendered = false;
  if (argc == 2 && (argv[1] == std::string("--help") || argv[1] == std::string("-h")))
    return std::printf("%s%s", kUsage, kHelp), 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--out" && i + 1 < argc) {
      folder = argv[++i];
    } else if (argument == "--rendered") {
      rendered = true;
    } else if (argument == "--help" || argument == "-h") {
      return program_files::UsageError(argument + " takes no other arguments", kUsage);
    } else {
      return program_files::UsageError(
          (argument == "--out" ? "no folder after " : "unknown argument ") + argument, kUsage);
    }
  }
  program_files::SetActivity("making the output folder");
  std::string error;
  program_files::StagedOutput out("print_demo");
  if (!out.Open(folder, error)) return Fail(error);
  program_files::SetActivity("starting printer P1");
  print_demo::DemoPrinter printer;
  std::string failed = printer.Start(out.Staging());
  // The set-up makes the folder it serves when it is missing: one made
  // after the output folder was renamed is not the staging folder.
  int status = !failed.empty()          ? FailSetUp(printer, failed)
               : !out.StillNamed(error) ? Fail(error)
                                        : PrintDocument(printer, out, rendered);
  program_files::SetActivity("stopping printer P1");
  failed = printer.Stop();
  if (status != 0) return status;
  if (!failed.empty()) return FailStep("the take-down failed: " + failed);
  program_files::SetActivity("putting the files in place");
  if (!program_files::FlushOutput(error) || !out.Commit(error)) return Fail(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return program_files::RunCatching("print_demo", Run, argc, argv);
}
