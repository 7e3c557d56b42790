// A generator's output road beside the plain peer on the same work: 64 MB
// handed out in 4 KB pieces, each a flush of the generator's output sink
// through its rule (write while the output is OK, poll the port as the
// output grows) into a file port (a host file under a path mapping,
// written with one system call per flush), beside std::fwrite
// of the same pieces into a std::FILE with its own buffering. Each round
// writes a new file and closes it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "lang/generator/generator_class.h"
#include "output/port/file_output_target.h"
#include "platform/host/files.h"
#include "support/run_folder.h"

namespace {

constexpr std::size_t kTotal = 64u << 20;
constexpr std::size_t kPiece = 4096;

class BenchLanguage final : public GGeneratorClass<BenchLanguage, 1503> {};

// A directory of the run's own, served as "C:\Bench", removed at exit.
const std::string& Directory() {
  static const struct Folder {
    Folder() { platform::MapPathPrefix(u"C:\\Bench", own.Path()); }
    support::RunFolder own{"bench_sink"};
  } folder;
  return folder.own.Path();
}

void BM_SinkToFilePort(benchmark::State& state) {
  Directory();
  const std::vector<std::uint8_t> piece(kPiece, 0x5A);
  for (auto _ : state) {
    BenchLanguage language;
    GFileOutputTarget port(u"C:\\Bench\\sink.prn");
    port.Open(u"bench");
    language.SetOutput(&port, false);
    GOutputSink& sink = language.GetSink();
    for (std::size_t done = 0; done < kTotal; done += kPiece)
      sink.FlushToOutput(piece.data(), kPiece);
    if (sink.GetWriteError() != 0) state.SkipWithError("write failed");
    port.Finish();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_SinkToFilePort)->Unit(benchmark::kMillisecond);

void BM_Fwrite(benchmark::State& state) {
  const std::string path = Directory() + "/fwrite.prn";
  const std::vector<std::uint8_t> piece(kPiece, 0x5A);
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    for (std::size_t done = 0; done < kTotal; done += kPiece)
      std::fwrite(piece.data(), 1, kPiece, file);
    std::fclose(file);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Fwrite)->Unit(benchmark::kMillisecond);

}  // namespace
