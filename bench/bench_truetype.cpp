// The TrueType reader beside its natural peers on the same font (2,000
// glyphs of 26 bytes, 500 'cmap' segments): glyph look-ups from the
// reader's glyph cache beside a std::unordered_map of glyph bytes;
// character mapping through the cached 'cmap' beside a std::unordered_map
// of codes; and opening a font and preloading its tables with positioned
// reads beside reading the whole file into memory and finding the same
// tables in it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

#include "fonts/load.h"
#include "fonts/tt_file_reader.h"
#include "output/core/byte_buffer.h"
#include "tests/support/truetype_writer.h"

namespace {

using namespace testing_support;

constexpr std::uint16_t kGlyphs = 2000;

struct BenchFont {
  std::string path = "/tmp/bench_truetype.ttf";
  BenchFont() {
    FontsLoad();
    std::vector<std::string> glyphs(kGlyphs, SimpleGlyph(4));
    auto [glyf, loca] = GlyfAndLoca(glyphs, true);
    std::vector<Format4Segment> segments;
    for (std::uint16_t s = 0; s < 500; ++s) {
      const std::uint16_t start = static_cast<std::uint16_t>(0x100 + 8 * s);
      segments.push_back({start,
                          static_cast<std::uint16_t>(start + 3),
                          static_cast<std::uint16_t>(4 * s + 1 - start),
                          {}});
    }
    segments.push_back({0xFFFF, 0xFFFF, 1, {}});
    TrueTypeWriter font;
    font.Add("cmap", CmapTable({{3, 1, CmapFormat4(segments)}}));
    font.Add("glyf", glyf);
    font.Add("head", HeadTable(1, 0, 0, 100, 100));
    font.Add("hhea", MetricsHeader(kGlyphs));
    font.Add(
        "hmtx",
        MetricsTable(std::vector<std::pair<std::uint16_t, std::int16_t>>(kGlyphs, {500, 1}), {}));
    font.Add("loca", loca);
    font.Add("maxp", MaxpTable(kGlyphs));
    font.Add("name", NameTable());
    font.Add("post", PostTable());
    font.Add("OS/2", Os2Table(0x20, 0xFFFF, -1));
    std::ofstream(path, std::ios::binary) << font.Build();
  }
  ~BenchFont() { std::remove(path.c_str()); }
};

BenchFont& Font() {
  static BenchFont font;
  return font;
}

void BM_GlyphLookup_Reader(benchmark::State& state) {
  GTTFileReader reader(1);
  reader.OpenHost(Font().path.c_str());
  for (std::uint16_t g = 0; g < kGlyphs; ++g) {
    GByteBuffer* out = nullptr;
    reader.GetGlyphData(0, 1, g, out);
    delete out;
  }
  std::uint16_t g = 0;
  for (auto _ : state) {
    GByteBuffer* out = nullptr;
    benchmark::DoNotOptimize(reader.GetGlyphData(0, 1, g, out));
    benchmark::DoNotOptimize(out->GetData());
    delete out;
    g = static_cast<std::uint16_t>((g + 7) % kGlyphs);
  }
}
BENCHMARK(BM_GlyphLookup_Reader);

void BM_GlyphLookup_UnorderedMap(benchmark::State& state) {
  GTTFileReader reader(1);
  reader.OpenHost(Font().path.c_str());
  std::unordered_map<std::uint16_t, std::vector<std::uint8_t>> glyphs;
  for (std::uint16_t g = 0; g < kGlyphs; ++g) {
    GByteBuffer* out = nullptr;
    reader.GetGlyphData(0, 0, g, out);
    glyphs[g].assign(out->GetData(), out->GetData() + out->GetSize());
    delete out;
  }
  std::uint16_t g = 0;
  for (auto _ : state) {
    auto it = glyphs.find(g);
    benchmark::DoNotOptimize(it->second.data());
    g = static_cast<std::uint16_t>((g + 7) % kGlyphs);
  }
}
BENCHMARK(BM_GlyphLookup_UnorderedMap);

void BM_MapChar_Reader(benchmark::State& state) {
  GTTFileReader reader(1);
  reader.OpenHost(Font().path.c_str());
  reader.PreloadTables(0, 0);
  std::uint32_t i = 0;
  for (auto _ : state) {
    const std::uint32_t code = 0x100 + 8 * (i % 500) + (i % 4);
    benchmark::DoNotOptimize(reader.MapCharToGlyph(0, 0, code, 16));
    ++i;
  }
}
BENCHMARK(BM_MapChar_Reader);

void BM_MapChar_UnorderedMap(benchmark::State& state) {
  std::unordered_map<std::uint16_t, std::uint16_t> codes;
  for (std::uint16_t s = 0; s < 500; ++s) {
    for (std::uint16_t k = 0; k < 4; ++k)
      codes[static_cast<std::uint16_t>(0x100 + 8 * s + k)] =
          static_cast<std::uint16_t>(4 * s + 1 + k);
  }
  std::uint32_t i = 0;
  for (auto _ : state) {
    const std::uint16_t code = static_cast<std::uint16_t>(0x100 + 8 * (i % 500) + (i % 4));
    benchmark::DoNotOptimize(codes.find(code)->second);
    ++i;
  }
}
BENCHMARK(BM_MapChar_UnorderedMap);

void BM_OpenAndPreload_PositionedReads(benchmark::State& state) {
  for (auto _ : state) {
    GTTFileReader reader(1);
    reader.OpenHost(Font().path.c_str());
    benchmark::DoNotOptimize(reader.PreloadTables(0, 0));
  }
}
BENCHMARK(BM_OpenAndPreload_PositionedReads);

void BM_OpenAndPreload_WholeFile(benchmark::State& state) {
  const std::uint32_t wanted[] = {TTTag("cmap"), TTTag("maxp"), TTTag("name"), TTTag("OS/2"),
                                  TTTag("head"), TTTag("hhea"), TTTag("hmtx")};
  for (auto _ : state) {
    std::ifstream in(Font().path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::uint32_t count = static_cast<std::uint32_t>(data[4] << 8 | data[5]);
    std::size_t found = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint8_t* record = data + 12 + 16 * i;
      const std::uint32_t tag = std::uint32_t{record[0]} << 24 | std::uint32_t{record[1]} << 16 |
                                std::uint32_t{record[2]} << 8 | record[3];
      for (std::uint32_t w : wanted)
        found += w == tag;
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_OpenAndPreload_WholeFile);

}  // namespace
