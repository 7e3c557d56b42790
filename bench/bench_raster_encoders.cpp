// The row encoders on printer-sized rows, beside a plain memcpy (the floor:
// what pulling a row costs, which every encoder pays too) and zlib at level
// 1 on the same row (one deflate stream, reset for each row): 638-byte rows of 1 bit per pixel and
// 15,300-byte rows of 24 bits per pixel (5,100 pixels, a letter-wide line at 600 dots per inch),
// each from three samples: text (white with short dark strokes, lines repeating), halftone (a
// dither pattern that shifts every line) and photo (a smooth gradient with noise). Counters: MB/s
// of raw rows and the encoded size per raw byte. GJpegEncoder compresses a 5,100 x 64 photo beside
// jpeg_write_scanlines called directly with the same settings. After the
// runs the delta-row and adaptive encoders' times are printed as shares of
// the run-length encoder's on the same rows (medians when repeated).
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "output/raster/encoders.h"

namespace {

using Row = std::vector<std::uint8_t>;

constexpr int kPixels = 5100;
constexpr int kRows = 64;

enum Sample { kText, kHalftone, kPhoto };

std::vector<Row> MakeRows(Sample sample, int bits) {
  std::mt19937 random(7);
  const std::size_t size = (std::size_t(kPixels) * bits + 7) / 8;
  std::vector<Row> rows;
  for (int y = 0; y < kRows; ++y) {
    Row row(size, bits == 1 ? 0 : 0xFF);
    for (std::size_t i = 0; i < size; ++i) {
      switch (sample) {
        case kText:  // strokes in lines 8 to 23 of each 32, the same few columns
          if (y % 32 >= 8 && y % 32 < 24 && (i / 3) % 9 < 2 && (i / 300) % 2 == 0)
            row[i] = bits == 1 ? 0x3C : 0x10;
          break;
        case kHalftone:
          row[i] = bits == 1 ? std::uint8_t(0x55 << (y % 2) | (i + y) % 3)
                             : std::uint8_t((i * 7 + y * 13) % 64 < 32 ? 0x40 : 0xC0);
          break;
        case kPhoto:
          row[i] = std::uint8_t(i * 256 / size + y + random() % 8);
          break;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

// Hands out the rows over and over.
class LoopSource : public GRasterRowSource {
 public:
  LoopSource(const std::vector<Row>& rows, int bits) : rows_(rows), bits_(std::uint8_t(bits)) {}
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t&, std::uint8_t&) override {
    const Row& next = rows_[next_++ % rows_.size()];
    std::memcpy(row, next.data(), next.size());
    row_index = 0;
    length = std::uint32_t(next.size());
    return 0;
  }
  std::uint32_t GetMaxRowBytes() const override { return std::uint32_t(rows_[0].size()); }
  void GetBounds(GShortRect& bounds) const override { bounds = {0, 0, kPixels, kRows}; }
  std::uint8_t GetBitsPerPixel() const override { return bits_; }

 private:
  const std::vector<Row>& rows_;
  std::uint8_t bits_;
  std::size_t next_ = 0;
};

void Report(benchmark::State& state, std::size_t raw, std::size_t packed) {
  state.SetBytesProcessed(std::int64_t(raw));
  state.counters["size_per_byte"] = double(packed) / double(raw);
}

// The row encoders by number, 4-byte aligned, not inverted: run length,
// delta row, delta row with its length in front, adaptive, padder.
std::unique_ptr<GRasterEncoder> MakeEncoder(std::int64_t encoding) {
  constexpr std::uint16_t kAlignment = 4;
  switch (encoding) {
    case 0:
      return std::make_unique<GRunLengthEncoder>(kAlignment, 0);
    case 1:
    case 2:
      return std::make_unique<GDeltaRowEncoder>(kAlignment, 0, encoding == 2);
    case 3:
      return std::make_unique<GAdaptiveRowEncoder>(kAlignment, 0);
    default:
      return std::make_unique<GRowPadder>(kAlignment, 0);
  }
}

// range(0): the encoding (0-4 as MakeEncoder, 5 memcpy, 6 zlib 1);
// range(1): bits per pixel; range(2): the sample.
void BM_Rows(benchmark::State& state) {
  const int bits = int(state.range(1));
  const std::vector<Row> rows = MakeRows(Sample(state.range(2)), bits);
  LoopSource source(rows, bits);
  std::unique_ptr<GRasterEncoder> encoder;
  std::vector<std::uint8_t> out(compressBound(uLong(rows[0].size())) + 64);
  z_stream zlib{};
  deflateInit(&zlib, 1);
  if (state.range(0) < 5) {
    encoder = MakeEncoder(state.range(0));
    encoder->SetUpstream(&source);
    encoder->Begin();
    out.resize(std::max<std::size_t>(out.size(), encoder->GetMaxRowBytes()));
  }
  std::size_t raw = 0, packed = 0;
  std::vector<std::uint8_t> row(rows[0].size());
  for (auto _ : state) {
    std::uint16_t index;
    std::uint32_t length;
    std::uint8_t repeat = 1, delivered = 1;
    if (encoder) {
      encoder->GetRow(out.data(), index, length, repeat, delivered);
    } else {
      source.GetRow(row.data(), index, length, repeat, delivered);
      if (state.range(0) == 6) {
        deflateReset(&zlib);
        zlib.next_in = row.data();
        zlib.avail_in = length;
        zlib.next_out = out.data();
        zlib.avail_out = uInt(out.size());
        deflate(&zlib, Z_FINISH);
        length = std::uint32_t(zlib.total_out);
      }
    }
    benchmark::DoNotOptimize(out.data());
    raw += row.size();
    packed += length;
  }
  deflateEnd(&zlib);
  Report(state, raw, packed);
}

void RowArguments(benchmark::internal::Benchmark* b) {
  for (int bits : {1, 24})
    for (int sample : {kText, kHalftone, kPhoto})
      for (int encoding : {0, 1, 3, 4, 5, 6})
        b->Args({encoding, bits, sample});
  b->ArgNames({"enc", "bpp", "sample"});
}
BENCHMARK(BM_Rows)->Apply(RowArguments);

const std::vector<Row>& Photo() {
  static const std::vector<Row> rows = MakeRows(kPhoto, 24);
  return rows;
}

void BM_Jpeg_Encoder(benchmark::State& state) {
  std::size_t packed = 0;
  LoopSource source(Photo(), 24);
  for (auto _ : state) {
    GJpegEncoder encoder(1, 0);
    encoder.SetUpstream(&source);
    encoder.Begin();
    std::uint8_t unused[1];
    while (!encoder.IsDone()) {
      std::uint16_t index;
      std::uint32_t length;
      std::uint8_t repeat = 1, delivered = 1;
      encoder.GetRow(unused, index, length, repeat, delivered);
    }
    packed = encoder.GetOutputCount();
  }
  Report(state, state.iterations() * kRows * Photo()[0].size(), packed * state.iterations());
}
BENCHMARK(BM_Jpeg_Encoder)->Unit(benchmark::kMillisecond);

// The same compression with libjpeg alone into a memory destination.
void BM_Jpeg_Direct(benchmark::State& state) {
  std::size_t packed = 0;
  for (auto _ : state) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* stream = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &stream, &size);
    info.image_width = kPixels;
    info.image_height = kRows;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(Photo()[0].size());
    for (const Row& source : Photo()) {
      std::memcpy(row.data(), source.data(), row.size());  // as the encoder's pull does
      JSAMPROW rows[1] = {row.data()};
      jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    packed = size;
    free(stream);
  }
  Report(state, state.iterations() * kRows * Photo()[0].size(), packed * state.iterations());
}
BENCHMARK(BM_Jpeg_Direct)->Unit(benchmark::kMillisecond);

// The console's report, and the row encoders' times beside run-length's.
class RowsReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      if (run.run_name.function_name == "BM_Rows")
        times_[run.run_name.args] = run.GetAdjustedRealTime();
    }
  }
  void PrintRatios() const {
    static const char* const kSamples[] = {"text", "halftone", "photo"};
    for (int bits : {1, 24}) {
      for (int sample : {kText, kHalftone, kPhoto}) {
        auto time = [&](int encoding) {
          const auto found =
              times_.find("enc:" + std::to_string(encoding) + "/bpp:" + std::to_string(bits) +
                          "/sample:" + std::to_string(sample));
          return found == times_.end() ? 0.0 : found->second;
        };
        if (time(0) == 0) continue;
        for (auto [encoding, name] : {std::pair{1, "delta row"}, std::pair{3, "adaptive"}}) {
          if (time(encoding) != 0)
            std::printf("%s / run-length, %d bit, %s: %.2fx the time\n", name, bits,
                        kSamples[sample], time(encoding) / time(0));
        }
      }
    }
  }

 private:
  std::map<std::string, double> times_;  // by the runs' arguments
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RowsReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
