// The virtual streams against the runtime streams they sit on, on the same
// work: 1024 ints written and read in binary, 1024 doubles in text, and a
// 1000-character string restored.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/memorystream.h"
#include "foundation/rw/portablestream.h"

namespace {

constexpr int kCount = 1024;
std::vector<char> g_block(1 << 16);

void BM_BinaryPutInt(benchmark::State& state) {
  for (auto _ : state) {
    RWMemoryOutputStream os(g_block.data(), g_block.size());
    RWBinaryOutputStream out(os);
    for (std::int32_t i = 0; i < kCount; ++i)
      out.PutInt(i);
    benchmark::DoNotOptimize(os.BytesWritten());
  }
}
BENCHMARK(BM_BinaryPutInt);

void BM_OstreamWriteInt(benchmark::State& state) {
  for (auto _ : state) {
    RWMemoryOutputStream os(g_block.data(), g_block.size());
    for (std::int32_t i = 0; i < kCount; ++i)
      os.write(reinterpret_cast<const char*>(&i), 4);
    benchmark::DoNotOptimize(os.BytesWritten());
  }
}
BENCHMARK(BM_OstreamWriteInt);

void BM_BinaryGetInt(benchmark::State& state) {
  for (auto _ : state) {
    RWMemoryInputStream is(g_block.data(), kCount * 4);
    RWBinaryInputStream in(is);
    std::int32_t v = 0, sum = 0;
    for (int i = 0; i < kCount; ++i)
      sum += in.GetInt(v).Good() ? v : 0;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_BinaryGetInt);

void BM_IstreamReadInt(benchmark::State& state) {
  for (auto _ : state) {
    RWMemoryInputStream is(g_block.data(), kCount * 4);
    std::int32_t v = 0, sum = 0;
    for (int i = 0; i < kCount; ++i)
      sum += is.read(reinterpret_cast<char*>(&v), 4) ? v : 0;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_IstreamReadInt);

void BM_PortablePutDouble(benchmark::State& state) {
  for (auto _ : state) {
    RWMemoryOutputStream os(g_block.data(), g_block.size());
    RWPortableOutputStream out(os);
    for (int i = 0; i < kCount; ++i)
      out.PutDouble(i * 0.1);
    benchmark::DoNotOptimize(os.BytesWritten());
  }
}
BENCHMARK(BM_PortablePutDouble);

void BM_OstreamFormatDouble(benchmark::State& state) {
  for (auto _ : state) {
    RWMemoryOutputStream os(g_block.data(), g_block.size());
    os.setf(std::ios_base::scientific, std::ios_base::floatfield);
    os.precision(16);
    for (int i = 0; i < kCount; ++i)
      os << i * 0.1 << '\n';
    benchmark::DoNotOptimize(os.BytesWritten());
  }
}
BENCHMARK(BM_OstreamFormatDouble);

std::string StoredString() {
  std::string bytes(8, '\0');
  bytes[0] = bytes[4] = static_cast<char>(1000 & 0xFF);
  bytes[1] = bytes[5] = static_cast<char>(1000 >> 8);
  return bytes + std::string(1000, 's');
}

void BM_StringRestore(benchmark::State& state) {
  const std::string bytes = StoredString();
  for (auto _ : state) {
    RWMemoryInputStream is(bytes.data(), bytes.size());
    RWBinaryInputStream in(is);
    RWCString s;
    s.RestoreFromStream(in);
    benchmark::DoNotOptimize(s.Length());
  }
}
BENCHMARK(BM_StringRestore);

void BM_StdStringRead(benchmark::State& state) {
  const std::string bytes = StoredString();
  for (auto _ : state) {
    RWMemoryInputStream is(bytes.data(), bytes.size());
    std::uint32_t length = 0, count = 0;
    is.read(reinterpret_cast<char*>(&length), 4).read(reinterpret_cast<char*>(&count), 4);
    std::string s(count, '\0');
    is.read(s.data(), count);
    benchmark::DoNotOptimize(s.size());
  }
}
BENCHMARK(BM_StdStringRead);

}  // namespace
