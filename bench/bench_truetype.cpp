// The TrueType reader beside its natural peers on the same font (2,000
// glyphs of 26 bytes, 500 'cmap' segments): glyph look-ups from the
// reader's glyph cache beside a std::unordered_map of glyph bytes;
// character mapping through the cached 'cmap' of 500 and of 5,000 format 4
// segments beside a binary search of the same segments (held in host
// order) and a std::unordered_map of codes; and opening a font and
// preloading its tables with positioned reads beside reading the whole file
// into memory and finding the same tables in it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "fonts/load.h"
#include "fonts/tt_file_reader.h"
#include "output/core/byte_buffer.h"
#include "support/run_folder.h"
#include "support/truetype_writer.h"

namespace {

using namespace support;

constexpr std::uint16_t kGlyphs = 2000;

// Segment s maps the four codes from 0x100 + 8s to glyphs from 4s + 1.
std::uint16_t SegmentStart(std::uint32_t s) {
  return static_cast<std::uint16_t>(0x100 + 8 * s);
}

// The i-th code mapped: spread over the segments, each code of a segment.
std::uint16_t CodeOf(std::uint32_t i, std::uint32_t segments) {
  return static_cast<std::uint16_t>(SegmentStart(i * 7919 % segments) + i % 4);
}

struct BenchFont {
  std::string path;
  BenchFont(std::uint16_t segment_count, const support::RunFolder& folder)
      : path(folder.File(std::to_string(segment_count) + ".ttf")) {
    FontsLoad();
    std::vector<std::string> glyphs(kGlyphs, SimpleGlyph(4));
    auto [glyf, loca] = GlyfAndLoca(glyphs, true);
    std::vector<Format4Segment> segments;
    for (std::uint16_t s = 0; s < segment_count; ++s) {
      const std::uint16_t start = SegmentStart(s);
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

// The fonts, in a folder of the run's own that goes after them.
BenchFont& Font(std::uint16_t segments = 500) {
  static const support::RunFolder folder("bench_truetype");
  static std::map<std::uint16_t, BenchFont> fonts;
  return fonts.try_emplace(segments, segments, folder).first->second;
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

// Argument: the number of segments.
void BM_MapChar_Reader(benchmark::State& state) {
  const auto segments = static_cast<std::uint16_t>(state.range(0));
  GTTFileReader reader(1);
  reader.OpenHost(Font(segments).path.c_str());
  reader.PreloadTables(0, 0);
  std::uint32_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(reader.MapCharToGlyph(0, 0, CodeOf(i, segments), 16));
    ++i;
  }
}
BENCHMARK(BM_MapChar_Reader)->Arg(500)->Arg(5000);

// The same segments in host order, found by std::upper_bound on their end
// codes.
void BM_MapChar_BinarySearch(benchmark::State& state) {
  const auto segments = static_cast<std::uint16_t>(state.range(0));
  struct Segment {
    std::uint16_t end, start, delta;
  };
  std::vector<Segment> table;
  for (std::uint16_t s = 0; s < segments; ++s) {
    const std::uint16_t start = SegmentStart(s);
    table.push_back({static_cast<std::uint16_t>(start + 3), start,
                     static_cast<std::uint16_t>(4 * s + 1 - start)});
  }
  table.push_back({0xFFFF, 0xFFFF, 1});
  std::uint32_t i = 0;
  for (auto _ : state) {
    const std::uint16_t code = CodeOf(i, segments);
    auto it = std::lower_bound(table.begin(), table.end(), code,
                               [](const Segment& s, std::uint16_t c) { return s.end < c; });
    benchmark::DoNotOptimize(it->start > code ? 0 : static_cast<std::uint16_t>(code + it->delta));
    ++i;
  }
}
BENCHMARK(BM_MapChar_BinarySearch)->Arg(500)->Arg(5000);

void BM_MapChar_UnorderedMap(benchmark::State& state) {
  const auto segments = static_cast<std::uint16_t>(state.range(0));
  std::unordered_map<std::uint16_t, std::uint16_t> codes;
  for (std::uint16_t s = 0; s < segments; ++s) {
    for (std::uint16_t k = 0; k < 4; ++k)
      codes[static_cast<std::uint16_t>(SegmentStart(s) + k)] =
          static_cast<std::uint16_t>(4 * s + 1 + k);
  }
  std::uint32_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(codes.find(CodeOf(i, segments))->second);
    ++i;
  }
}
BENCHMARK(BM_MapChar_UnorderedMap)->Arg(500)->Arg(5000);

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
