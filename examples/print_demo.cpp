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
// print_demo [--out DIR] [--rendered]
//   --out DIR    the out/ folder (out by default, in the working directory)
//   --rendered   also writes each picture as the generator rendered it, as
//                DIR/rendered-N.pbm (1 black), for the pictures' test
//
// Exit status: 0 after a printed job; the chain's error code (its low
// byte; after the job abort) when the chain fails and no spool file is
// left; 1 otherwise (the set-up, the pictures, a spool file left).
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
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
#include "filters/nup_filter.h"
#include "foundation/rw/factory.h"
#include "lang/joblang_zdl5/wqm.h"
#include "output/commands/job_commands.h"

namespace {

constexpr int kPages = 5;

// The rendered picture `page` (palette index kPageBlack black) as a PBM
// file, whose set bits are black.
bool WritePbm(const std::string& path, const GBitmap& page) {
  std::ofstream out(path, std::ios::binary);
  out << "P4\n" << page.GetWidth() << ' ' << page.GetHeight() << '\n';
  std::vector<std::uint8_t> row(page.GetRowByteCount(0, std::int32_t(page.GetWidth())));
  for (std::uint32_t y = 0; y < page.GetHeight(); ++y) {
    page.ReadRow(row.data(), 0, std::int32_t(page.GetWidth()), std::int32_t(y), 0);
    for (std::uint8_t& byte : row)
      byte = std::uint8_t(kPageBlack == 0 ? ~byte : byte);
    out.write(reinterpret_cast<const char*>(row.data()), std::streamsize(row.size()));
  }
  return bool(out);
}

// The road: answers the exit status.
int PrintDocument(print_demo::DemoPrinter& printer, const std::string& out, bool rendered) {
  std::vector<std::uint8_t> record = printer.DefaultRecord();
  if (record.empty() || !printer.ChooseOnSheet(record)) {
    std::fprintf(stderr, "print_demo: P1's device mode could not be had\n");
    return 1;
  }
  GJobDriverData* job = printer.CheckOutJob(record);
  GAttributeComposite* settings = job ? job->EnsureDefaultSettings() : nullptr;
  GAttributeComposite* nup = FindComposite(settings, kNupSettingsKey);
  if (!nup) {
    std::fprintf(stderr, "print_demo: no job bound to the device mode\n");
    return 1;
  }
  // As the job's settings now hold them.
  std::printf("P1's job: copies (291) %u, duplex (253) %u, pages a sheet (266) %u\n",
              ValueOr(settings, kCopiesKey, 0), ValueOr(settings, kDuplexKey, 0),
              ValueOr(nup, kPagesPerSheetKey, 0));

  // The pages' medium: the document's paper (kPaperSizeKey) as the job makes
  // it.
  const std::unique_ptr<GMedia> medium(job->MakeMedium(ValueOr(settings, kPaperSizeKey, 0)));
  if (!medium) {
    std::fprintf(stderr, "print_demo: no medium for the document's paper\n");
    return 1;
  }
  GCountedPtr start = print_demo::MakeDocument(*job, *medium, print_demo::kDemoPort);
  if (!start) return 1;
  GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
  set->AddChild(new GStringAttribute("print demo", kDisplayTextKey));  // the display line

  auto* generator = new GPageRasterGenerator;
  int pictures = 0;
  generator->SetCommandObserver([](const GCommand& command) {
    std::printf("  -> %s\n", GetFactory()->StringIdOf(command.ClassId()).Data());
  });
  generator->SetPageObserver([&](const GBitmap& page) {
    ++pictures;
    std::printf("  page %d rendered, %u x %u\n", pictures, page.GetWidth(), page.GetHeight());
    if (rendered) WritePbm(out + "/rendered-" + std::to_string(pictures) + ".pbm", page);
  });
  GCountedPtr chain = BuildCanonicalChain(set, {new GWqm, generator});
  if (!chain) return 1;
  job->SetOutputChain(static_cast<GPeripheral*>(chain.Get()));

  print_demo::DemoFont font(printer.Folder());
  if (!font.IsOpen()) {
    std::fprintf(stderr, "print_demo: the demonstration's font could not be made in %s\n",
                 printer.Folder().c_str());
    return 1;
  }
  const std::uint16_t code =
      print_demo::PrintDocument(*job, start, kPages, *medium, &font, [](const GCommand& command) {
        std::printf("%s\n", GetFactory()->StringIdOf(command.ClassId()).Data());
      });
  if (code) {
    const int left = printer.SpoolFileCount();
    std::fprintf(stderr,
                 "print_demo: the chain failed with error %u; the job was aborted, %d spool "
                 "files left\n",
                 code, left);
    // The exit status keeps the code's low byte; never 0 for a failure.
    return left != 0 || (code & 0xFF) == 0 ? 1 : code;
  }

  std::string error;
  const int pages = port_to_png::ConvertPortFile(out + "/job.prn", out, error);
  if (pages < 0) {
    std::fprintf(stderr, "print_demo: %s\n", error.c_str());
    return 1;
  }
  for (int n = 1; n <= pages; ++n)
    std::printf("%s/page-%d.png\n", out.c_str(), n);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = "out";
  bool rendered = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (std::strcmp(argv[i], "--rendered") == 0) {
      rendered = true;
    } else {
      std::fprintf(stderr, "usage: print_demo [--out DIR] [--rendered]\n");
      return 1;
    }
  }
  // A file-size limit on the port file is a write error the job reports,
  // not the end of the process.
  std::signal(SIGXFSZ, SIG_IGN);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // in order with the errors
  print_demo::DemoPrinter printer;
  if (std::string failed = printer.Start(out); !failed.empty()) {
    std::fprintf(stderr, "print_demo: the set-up failed: %s\n", failed.c_str());
    return 1;
  }
  const int status = PrintDocument(printer, out, rendered);
  if (std::string failed = printer.Stop(); !failed.empty() && status == 0) {
    std::fprintf(stderr, "print_demo: the take-down failed: %s\n", failed.c_str());
    return 1;
  }
  return status;
}
