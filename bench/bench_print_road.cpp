// The print road's pages per second: the demonstration's text-and-raster
// pages (examples/print_demo/demo_job.h) printed on P1 through the
// canonical chain, then GWqm and the page-raster generator into a port
// file, beside the same pages given to the generator alone.
//
//   Chain/20      20 pages, every filter on that the settings allow here:
//                 reverse order (kPageOrderKey), face-up holding
//                 (kRuleSwitchKey), the watermark (kWatermarkSettingKey, on
//                 every page; it names no text, so the job makes it no font);
//                 the others stand aside on P1's settings
//   Nup4/20       20 pages four to a sheet (kNupSettingsKey ->
//                 kPagesPerSheetKey = 4)
//   Booklet/16    a booklet of 16 pages (kBookletKey = 1)
//   Generator/N   the same N pages, the generator alone on the job driver
// The counter "pages" is the document's pages per second of the thread's
// processor time (bench::ThreadSeconds, which other work on a shared
// machine disturbs less than the wall clock; waits for the spools' files
// are not counted), "sheets" the pictures a document,
// "font_bytes" the bytes of font tables its text held at its end (each
// page's text is set in a new face of the demonstration's font). After the
// runs each road's pages per second is printed as a share of the generator
// alone on as many pages (medians when repeated).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "bench/pair_ratios.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/model_lookup.h"
#include "examples/page_raster/page_raster_generator.h"
#include "examples/print_demo/demo_job.h"
#include "examples/print_road/canonical_chain.h"
#include "filters/nup_filter.h"
#include "fonts/tt_outline_renderer.h"
#include "lang/joblang_zdl5/wqm.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "support/run_folder.h"

namespace {

constexpr char16_t kPort[] = u"FILE:C:\\Out\\bench.prn";

enum class Road { kChain, kNup4, kBooklet, kGenerator };

struct Printer {
  print_demo::DemoPrinter printer;
  std::unique_ptr<print_demo::DemoFont> font;
  GJobDriverData* job = nullptr;
  std::unique_ptr<GMedia> medium;
  std::string out;
};
Printer* g_printer = nullptr;

// A document start for the job with the settings of `road`.
GCountedPtr Document(Road road) {
  GCountedPtr start = print_demo::MakeDocument(*g_printer->job, *g_printer->medium, kPort);
  GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
  SetValueIfPresent(FindComposite(set, kNupSettingsKey), kPagesPerSheetKey,
                    road == Road::kNup4 ? 4 : 1);
  if (road == Road::kChain) {
    print_demo::SetOrAddValue(set, kPageOrderKey, 1);
    print_demo::SetOrAddValue(set, kRuleSwitchKey, 1);
    auto* mark = new GAttributeComposite(kWatermarkSettingKey);
    mark->AddChild(new GValueAttribute(0, kWatermarkOffKey));
    mark->AddChild(new GValueAttribute(0, kWatermarkPagesKey));
    set->AddChild(mark);
  }
  if (road == Road::kBooklet) print_demo::SetOrAddValue(set, kBookletKey, 1);
  return start;
}

void PrintPages(benchmark::State& state, Road road) {
  const int pages = int(state.range(0));
  int pictures = 0;
  std::size_t font_bytes = 0;
  double seconds = 0;
  for (auto _ : state) {
    const double began = bench::ThreadSeconds();
    GCountedPtr start = Document(road);
    auto* generator = new GPageRasterGenerator;
    generator->SetPageObserver([&](const GBitmap&) { ++pictures; });
    GCountedPtr chain;
    if (road == Road::kGenerator) {
      chain = GCountedPtr(new GPeripheralComposite);
      static_cast<GPeripheralComposite*>(chain.Get())->AddChild(generator);
    } else {
      chain = BuildCanonicalChain(static_cast<GCommand*>(start.Get())->GetAttributes(),
                                  {new GWqm, generator});
    }
    GJobDriverData& job = *g_printer->job;
    job.SetOutputChain(static_cast<GPeripheral*>(chain.Get()));
    const std::uint16_t codes =
        print_demo::PrintDocument(job, start, pages, *g_printer->medium, g_printer->font.get());
    job.SetOutputChain(nullptr);
    font_bytes = GTTOutlineRenderer::HeldFontBytes();
    job.ResetFonts();  // the pages' faces
    seconds += bench::ThreadSeconds() - began;
    if (codes) {
      state.SkipWithError(("the chain failed: " + std::to_string(codes)).c_str());
      break;
    }
  }
  state.counters["pages"] = seconds > 0 ? double(pages) * double(state.iterations()) / seconds : 0;
  state.counters["sheets"] = double(pictures) / double(state.iterations());
  state.counters["font_bytes"] = double(font_bytes);
}

// The console's report, and each road's pages per second beside the
// generator alone on as many pages.
class RoadReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      if (auto pages = run.counters.find("pages"); pages != run.counters.end())
        pages_[run.run_name.function_name][run.run_name.args] = pages->second.value;
    }
  }
  void PrintRatios() const {
    auto alone = pages_.find("Generator");
    if (alone == pages_.end()) return;
    for (const auto& [road, by_pages] : pages_) {
      for (const auto& [pages, rate] : by_pages) {
        if (road == "Generator" || !alone->second.contains(pages)) continue;
        std::printf("%s/%s: %.2fx the generator alone's pages per second\n", road.c_str(),
                    pages.c_str(), rate / alone->second.at(pages));
      }
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> pages_;  // by road, then pages
};

void Chain(benchmark::State& state) {
  PrintPages(state, Road::kChain);
}
void Nup4(benchmark::State& state) {
  PrintPages(state, Road::kNup4);
}
void Booklet(benchmark::State& state) {
  PrintPages(state, Road::kBooklet);
}
void Generator(benchmark::State& state) {
  PrintPages(state, Road::kGenerator);
}
BENCHMARK(Chain)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(Nup4)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(Booklet)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(Generator)->Arg(20)->Arg(16)->Unit(benchmark::kMillisecond);

// The runs on P1, the port file in `out`; false when P1 gives no job.
bool Run(Printer& printer) {
  if (std::string failed = printer.printer.Start(printer.out); !failed.empty()) {
    std::fprintf(stderr, "bench_print_road: %s\n", failed.c_str());
    return false;
  }
  std::vector<std::uint8_t> record = printer.printer.DefaultRecord();
  printer.job = record.empty() ? nullptr : printer.printer.CheckOutJob(record);
  GAttributeComposite* settings = printer.job ? printer.job->EnsureDefaultSettings() : nullptr;
  printer.medium.reset(printer.job ? printer.job->MakeMedium(ValueOr(settings, kPaperSizeKey, 0))
                                   : nullptr);
  printer.font = std::make_unique<print_demo::DemoFont>(printer.printer.Folder());
  if (!printer.medium || !printer.font->IsOpen()) {
    std::fprintf(stderr, "bench_print_road: no job on P1\n");
    return false;
  }
  g_printer = &printer;
  RoadReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  g_printer = nullptr;
  printer.font.reset();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  // A folder of this process's own, so that two runs at once do not meet.
  const support::RunFolder out("bench_print_road");
  bool ran = false;
  {
    Printer printer;
    printer.out = out.Path();
    ran = Run(printer);
    printer.printer.Stop();
  }
  benchmark::Shutdown();
  return ran ? 0 : 1;
}
