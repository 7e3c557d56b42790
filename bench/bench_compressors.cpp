// The stream compressors against zlib called directly, on a settings-sized
// sample (support/settings_sample.h, about 2.3 kB):
// zlib's levels 1, 6 and 9 for ratio and speed beside GZlibCompressor (zlib's
// default level through the runtime streams); GZlibCompressor's expansion
// beside uncompress; and LZW expansion beside inflate on the same bytes, as
// a ceiling, also on a larger input made of 64 varied samples. The pair
// "expansion alone" and "expansion after compression" (the thread has
// packed a record with GZlibCompressor, whose states it keeps) runs LZW
// expansion before and after the thread's zlib states exist; the program
// ends with their ratio, which a dictionary allocated per expansion made
// about 5.7x (the heap gave its top back and faulted it in on every call).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/pair_ratios.h"
#include "foundation/rw/memorystream.h"
#include "persist/codec/lzw_compressor.h"
#include "persist/codec/zlib_compressor.h"
#include "support/settings_sample.h"

namespace {

const std::string& Sample(int size) {
  static const std::string small = support::SettingsSample();
  static const std::string large = [] {
    std::string s;
    for (int i = 0; i < 64; ++i) {
      std::string copy = small;
      copy[40 + i] ^= static_cast<char>(i);  // a value or two differs per copy
      s += copy;
    }
    return s;
  }();
  return size == 0 ? small : large;
}

std::string Deflate(const std::string& data, int level) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), level);
  out.resize(n);
  return out;
}

std::string LZWPack(const std::string& data) {
  GLZWCompressor lzw;
  std::istringstream in(data);
  std::ostringstream out;
  lzw.Compress(in, out);
  return out.str();
}

void Report(benchmark::State& state, std::size_t input, std::size_t packed) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input));
  state.counters["packed_bytes"] = static_cast<double>(packed);
  state.counters["ratio"] = static_cast<double>(input) / static_cast<double>(packed);
}

// LZW expansion of the sample into a block of its size.
void ExpandLZW(benchmark::State& state) {
  const std::string& data = Sample(0);
  const std::string packed = LZWPack(data);
  std::vector<char> block(data.size());
  for (auto _ : state) {
    RWMemoryInputStream in(packed.data(), packed.size());
    RWMemoryOutputStream out(block.data(), block.size());
    if (!GLZWCompressor().Expand(in, out)) state.SkipWithError("did not expand");
    benchmark::DoNotOptimize(block.data());
  }
  Report(state, data.size(), packed.size());
}

// Registered first, so that it runs before any benchmark here has made the
// thread's zlib states.
void BM_Expand_LZW_Alone(benchmark::State& state) {
  ExpandLZW(state);
}
BENCHMARK(BM_Expand_LZW_Alone);

void BM_Expand_LZW_AfterCompression(benchmark::State& state) {
  const std::string& data = Sample(0);
  char block[902];  // the device mode's room
  RWMemoryInputStream in(data.data(), data.size());
  RWMemoryOutputStream out(block, sizeof block);
  if (!GZlibCompressor().Compress(in, out)) state.SkipWithError("did not fit");
  ExpandLZW(state);
}
BENCHMARK(BM_Expand_LZW_AfterCompression);

void BM_Compress_Zlib(benchmark::State& state) {
  const std::string& data = Sample(0);
  int level = static_cast<int>(state.range(0));
  std::vector<Bytef> out(compressBound(static_cast<uLong>(data.size())));
  uLongf n = 0;
  for (auto _ : state) {
    n = static_cast<uLongf>(out.size());
    compress2(out.data(), &n, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), level);
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, data.size(), n);
}
BENCHMARK(BM_Compress_Zlib)->Arg(1)->Arg(6)->Arg(9);

void BM_Compress_GZlibCompressor(benchmark::State& state) {
  const std::string& data = Sample(0);
  char block[902];  // the device mode's room
  std::streamoff n = 0;
  for (auto _ : state) {
    RWMemoryInputStream in(data.data(), data.size());
    RWMemoryOutputStream out(block, sizeof block);
    if (!GZlibCompressor().Compress(in, out)) state.SkipWithError("did not fit");
    n = out.tellp();
    benchmark::DoNotOptimize(block);
  }
  Report(state, data.size(), static_cast<std::size_t>(n));
}
BENCHMARK(BM_Compress_GZlibCompressor);

void BM_Compress_LZW(benchmark::State& state) {
  const std::string& data = Sample(0);
  std::size_t n = 0;
  GLZWCompressor lzw;
  for (auto _ : state) {
    RWMemoryInputStream in(data.data(), data.size());
    std::ostringstream out;
    lzw.Compress(in, out);
    n = out.str().size();
  }
  Report(state, data.size(), n);
}
BENCHMARK(BM_Compress_LZW);

void BM_Expand_Uncompress(benchmark::State& state) {
  const std::string& data = Sample(static_cast<int>(state.range(0)));
  std::string packed = Deflate(data, 6);
  std::vector<Bytef> out(data.size());
  for (auto _ : state) {
    uLongf n = static_cast<uLongf>(out.size());
    uncompress(out.data(), &n, reinterpret_cast<const Bytef*>(packed.data()),
               static_cast<uLong>(packed.size()));
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, data.size(), packed.size());
}
BENCHMARK(BM_Expand_Uncompress)->Arg(0)->Arg(1);

void BM_Expand_GZlibCompressor(benchmark::State& state) {
  const std::string& data = Sample(0);
  std::string packed = Deflate(data, 6);
  char block[4096];  // the device mode's expansion block
  for (auto _ : state) {
    RWMemoryInputStream in(packed.data(), packed.size());
    RWMemoryOutputStream out(block, sizeof block);
    if (!GZlibCompressor().Expand(in, out)) state.SkipWithError("did not expand");
    benchmark::DoNotOptimize(block);
  }
  Report(state, data.size(), packed.size());
}
BENCHMARK(BM_Expand_GZlibCompressor);

void BM_Expand_LZW(benchmark::State& state) {
  const std::string& data = Sample(static_cast<int>(state.range(0)));
  std::string packed = LZWPack(data);
  std::vector<char> block(data.size());
  GLZWCompressor lzw;
  for (auto _ : state) {
    RWMemoryInputStream in(packed.data(), packed.size());
    RWMemoryOutputStream out(block.data(), block.size());
    if (!lzw.Expand(in, out)) state.SkipWithError("did not expand");
    benchmark::DoNotOptimize(block.data());
  }
  Report(state, data.size(), packed.size());
}
BENCHMARK(BM_Expand_LZW)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunWithRatios(argc, argv,
                              {{"BM_Expand_LZW_AfterCompression", "BM_Expand_LZW_Alone"}});
}
