// Character mapping through 'cmap' formats 4 and 2, the choice of the
// subtable, vertical forms through 'mort' and 'GSUB', and composite walks.
#include <gtest/gtest.h>

#include "fonts/glyph_cache.h"
#include "services/unicode_converter.h"
#include "support/test_os_factory.h"
#include "support/truetype_writer.h"
#include "tests/fonts/font_test_support.h"

namespace {

using namespace support;
using namespace testing_support;
using tt_testing::MemoryReader;
using tt_testing::OpenedFont;

std::uint16_t Map(const std::string& subtable, std::uint32_t code) {
  // The reader's lookups take the subtable after its 6-byte header.
  const std::string body = subtable.substr(6);
  return subtable[1] == 4 ? GTTFontReader::MapFormat4(tt_testing::Bytes(body), body.size(), code)
                          : GTTFontReader::MapFormat2(tt_testing::Bytes(body), body.size(), code);
}

TEST(CmapFormats, MapCodesToGlyphs) {
  // Format 4: 0x20-0x22 by delta 3 (glyphs 0x23-0x25); 0x30-0x32 through
  // glyphs 7, 0, 9 with delta 1 (8, none, 10); and enough segments below
  // that the search starts past the first (segCountX2 >= 16).
  std::vector<Format4Segment> segments;
  for (std::uint16_t s = 0; s < 6; ++s)
    segments.push_back({static_cast<std::uint16_t>(0x100 + 16 * s),
                        static_cast<std::uint16_t>(0x100 + 16 * s + 3),
                        0x10,
                        {}});
  segments.insert(segments.begin(), {0x30, 0x32, 1, {7, 0, 9}});
  segments.insert(segments.begin(), {0x20, 0x22, 3, {}});
  segments.push_back({0xFFFF, 0xFFFF, 1, {}});
  const std::string format4 = CmapFormat4(segments);
  // Format 2: single bytes 0x41-0x43 to glyphs 1-3; lead byte 0x81 with
  // trail bytes 0x40-0x41 to glyphs 20, 21 plus delta 100.
  const std::string format2 =
      CmapFormat2({0x41, 0, {1, 2, 3}}, {{0x81, Format2Range{0x40, 100, {20, 21}}}});
  struct Case {
    const std::string* subtable;
    std::uint32_t code;
    std::uint16_t glyph;
  };
  const Case cases[] = {
      {&format4, 0x20, 0x23},   {&format4, 0x22, 0x25},   {&format4, 0x23, 0},
      {&format4, 0x30, 8},      {&format4, 0x31, 0},      {&format4, 0x32, 10},
      {&format4, 0x150, 0x160}, {&format4, 0x153, 0x163}, {&format4, 0x154, 0},
      {&format4, 0xFFFF, 0},    {&format4, 0x1FFFF, 0},   {&format2, 0x41, 1},
      {&format2, 0x43, 3},      {&format2, 0x44, 0},      {&format2, 0x8140, 120},
      {&format2, 0x8141, 121},  {&format2, 0x8142, 0},    {&format2, 0x20, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Map(*c.subtable, c.code), c.glyph) << std::hex << c.code;
  // Cut anywhere, the subtables answer without reading past their end.
  for (const std::string* subtable : {&format4, &format2}) {
    for (std::size_t n = 6; n < subtable->size(); ++n) {
      std::string cut = subtable->substr(0, n);
      for (const Case& c : cases)
        Map(cut, c.code);
    }
  }
}

TEST(CmapChoice, PreferenceListsTakeTheFirstRecordProvisionally) {
  const std::string sub = CmapFormat4({{0xFFFF, 0xFFFF, 1, {}}});
  struct Case {
    std::vector<std::uint16_t> encodings;  // platform 3 unless 0xFFxx
    std::uint32_t selector;
    bool found;
    std::uint16_t encoding;
  };
  const Case cases[] = {
      {{0}, 17, true, 0},  // the only platform-3 record is taken
      {{1, 2}, 17, true, 2}, {{2, 1}, 17, true, 2}, {{0, 1}, 17, true, 1},    {{1, 0}, 3, true, 0},
      {{5, 1}, 21, true, 5}, {{4}, 23, true, 4},    {{0xFF01}, 16, false, 0}, {{1, 1}, 16, true, 1},
  };
  for (const Case& c : cases) {
    std::vector<CmapSubtable> subtables;
    for (std::uint16_t e : c.encodings)
      subtables.push_back({static_cast<std::uint16_t>(e >= 0xFF00 ? 1 : 3),
                           static_cast<std::uint16_t>(e & 0xFF), sub});
    std::string cmap = CmapTable(subtables);
    MemoryReader reader;
    GCmapChoice choice;
    reader.SelectCmapSubtable(tt_testing::Bytes(cmap), cmap.size(), c.selector, choice);
    EXPECT_EQ(choice.found, c.found) << c.selector;
    EXPECT_EQ(choice.encoding, c.encoding) << c.selector;
    if (c.found) {
      EXPECT_EQ(choice.format, 4);
    }
  }
}

class Converter : public GUnicodeConverter {
 public:
  std::uint16_t ToWide(std::uint16_t code, std::uint32_t) override { return code + 1; }
  std::uint16_t FromWide(std::uint16_t code, std::uint32_t) override { return code - 1; }
};

class ConvertingServices : public TestOSFactory {
 public:
  GUnicodeConverter* CreateUnicodeConverter() override { return new Converter; }
};

TEST(MapCharToGlyph, CodesAdjustedBySubtableAndCharacterSet) {
  const std::string unicode =
      CmapFormat4({{0x41, 0x43, static_cast<std::uint16_t>(1 - 0x41), {}},
                   {0xF041, 0xF041, static_cast<std::uint16_t>(0x1000 - 0xF041), {}},
                   {0xFFFF, 0xFFFF, 1, {}}});
  const std::string symbol =
      CmapFormat4({{0x41, 0x42, static_cast<std::uint16_t>(2 - 0x41), {}},
                   {0xF041, 0xF041, static_cast<std::uint16_t>(5 - 0xF041), {}},
                   {0xFFFF, 0xFFFF, 1, {}}});
  const std::string sjis = CmapFormat2({0x40, 0, {1, 2, 3}}, {});
  struct Case {
    const char* name;
    std::vector<CmapSubtable> cmap;
    std::uint16_t os2_first;
    std::uint32_t code;
    std::uint32_t selector;
    bool converter;
    std::uint16_t glyph;
  };
  const Case cases[] = {
      {"glyph ids below numGlyphs", {{3, 1, unicode}}, 0x20, 4, 1, false, 4},
      {"glyph ids at numGlyphs go through cmap", {{3, 1, unicode}}, 0x20, 0x41, 1, true, 2},
      {"unicode keeps unicode", {{3, 1, unicode}}, 0x20, 0x42, 16, false, 2},
      {"symbol area of a unicode font", {{3, 1, unicode}}, 0xF020, 0x41, 17, false, 0x1000},
      {"symbol font maps 0x41 as 0xF041", {{3, 0, symbol}}, 0xF020, 0x41, 16, false, 5},
      {"symbol font below 0x100 keeps the code", {{3, 0, symbol}}, 0x20, 0x41, 17, false, 2},
      {"unicode codes to a Shift-JIS subtable", {{3, 2, sjis}}, 0x20, 0x42, 16, true, 2},
      {"no converter, no glyph", {{3, 1, unicode}}, 0x20, 0x41, 18, false, 0},
      {"converted then mapped", {{3, 1, unicode}}, 0x20, 0x41, 18, true, 2},
      {"no platform-3 subtable", {{1, 0, unicode}}, 0x20, 0x41, 16, false, 0},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TestOSFactory> services;
    if (c.converter) services = std::make_unique<ConvertingServices>();
    OpenedFont opened(TestFont(Options([&](TestFontOptions& o) {
                        o.cmap = c.cmap;
                        o.os2_first = c.os2_first;
                      })).Build());
    EXPECT_EQ(opened.reader->MapCharToGlyph(0, 0, c.code, c.selector), c.glyph) << c.name;
  }
  // Selector 1 below numGlyphs takes no vertical form.
  OpenedFont vertical(TestFont(Options([&](TestFontOptions& o) { o.with_mort = true; })).Build());
  EXPECT_EQ(vertical.reader->MapCharToGlyph(0, 1, 1, 1), 1);
  EXPECT_EQ(vertical.reader->MapCharToGlyph(0, 1, 0x41, 16), 4);
}

TEST(MapCharToGlyph, CachedCmapAnswersAsTheScanSortedOrNot) {
  // Sorted: 40 segments (the search starts past rangeShift), two with equal
  // end codes, some through glyph arrays. Damaged: end codes out of order,
  // where halving probes would pass 0x30's segment (the first whose end is
  // above it): the scan stops there, 0x30 + 0x100.
  std::vector<Format4Segment> sorted;
  for (std::uint16_t s = 0; s < 40; ++s) {
    const auto start = static_cast<std::uint16_t>(0x200 + 37 * s);
    sorted.push_back({start,
                      static_cast<std::uint16_t>(start + 5 + s % 3 * 10),
                      static_cast<std::uint16_t>(s * 3),
                      {}});
    if (s % 4 == 1)
      sorted.back().glyphs.assign(sorted.back().end - start + 1u, static_cast<std::uint16_t>(s));
  }
  sorted[7].end = sorted[6].end;
  sorted.push_back({0xFFFF, 0xFFFF, 1, {}});
  std::vector<Format4Segment> damaged = {{0x30, 0x50, 0x100, {}},
                                         {0x55, 0x60, 7, {}},
                                         {0x01, 0x05, 9, {}},
                                         {0x65, 0x70, 3, {}},
                                         {0xFFFF, 0xFFFF, 1, {}}};
  for (const auto* segments : {&sorted, &damaged}) {
    const std::string subtable = CmapFormat4(*segments);
    MemoryReader reader;
    reader.tables[TTTag("cmap")] = CmapTable({{3, 1, subtable}});
    reader.tables[TTTag("OS/2")] = Os2Table(0x20, 0xFFFF, 0);
    reader.MapCharToGlyph(0, 0, 0x41, 16);  // caches the tables
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code)
      ASSERT_EQ(reader.MapCharToGlyph(0, 0, code, 16), Map(subtable, code)) << std::hex << code;
  }
  MemoryReader reader;
  reader.tables[TTTag("cmap")] = CmapTable({{3, 1, CmapFormat4(damaged)}});
  reader.tables[TTTag("OS/2")] = Os2Table(0x20, 0xFFFF, 0);
  for (int pass = 0; pass < 2; ++pass)
    EXPECT_EQ(reader.MapCharToGlyph(0, 0, 0x30, 16), 0x130) << pass;
  EXPECT_EQ(reader.whole_reads, 2);  // then borrowed from the cache
}

TEST(VerticalForms, MortOnlyInItsOneLayoutAndGsubsFirstVert) {
  const std::string mort = MortVertical({{1, 4}, {2, 5}, {1, 9}});
  EXPECT_EQ(GTTFontReader::LookupMortVertical(tt_testing::Bytes(mort), mort.size(), 1), 4);
  EXPECT_EQ(GTTFontReader::LookupMortVertical(tt_testing::Bytes(mort), mort.size(), 2), 5);
  EXPECT_EQ(GTTFontReader::LookupMortVertical(tt_testing::Bytes(mort), mort.size(), 3), 3);
  // Any required byte changed, or the pairs cut short: the glyph stays.
  for (std::size_t at :
       {0u, 7u, 11u, 17u, 19u, 21u, 27u, 31u, 35u, 43u, 45u, 55u, 59u, 63u, 65u, 67u}) {
    std::string damaged = mort;
    damaged[at] ^= 0x01;
    EXPECT_EQ(GTTFontReader::LookupMortVertical(tt_testing::Bytes(damaged), damaged.size(), 1), 1)
        << at;
  }
  for (std::size_t at : {12u, 56u, 70u, 75u}) {  // bytes of any value
    std::string changed = mort;
    changed[at] ^= 0x5A;
    EXPECT_EQ(GTTFontReader::LookupMortVertical(tt_testing::Bytes(changed), changed.size(), 1), 4)
        << at;
  }
  EXPECT_EQ(GTTFontReader::LookupMortVertical(tt_testing::Bytes(mort), 80, 2), 2);

  struct Case {
    const char* name;
    std::string gsub;
    std::uint16_t glyph;
    std::uint16_t vertical;
  };
  const Case cases[] = {
      {"format 1 delta", GsubTable({{"vert", {0}}}, {{1, 3, {1, 7}, {}}}), 7, 10},
      {"format 2 substitutes", GsubTable({{"vert", {0}}}, {{2, 0, {2, 3}, {20, 30}}}), 3, 30},
      {"first vert only",
       GsubTable({{"vrt2", {1}}, {"vert", {0}}, {"vert", {1}}}, {{1, 1, {5}, {}}, {1, 2, {5}, {}}}),
       5, 6},
      {"uncovered", GsubTable({{"vert", {0}}}, {{1, 3, {1}, {}}}), 2, 2},
      {"no vert", GsubTable({{"liga", {0}}}, {{1, 3, {1}, {}}}), 1, 1},
      {"lookup index past the list", GsubTable({{"vert", {4}}}, {{1, 3, {1}, {}}}), 1, 1},
      {"not a single substitution", GsubTable({{"vert", {0}}}, {{1, 3, {1}, {}, 4}}), 1, 1},
      {"coverage index past the substitutes", GsubTable({{"vert", {0}}}, {{2, 0, {1, 2}, {9}}}), 2,
       2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GTTFontReader::LookupGsubVertical(tt_testing::Bytes(c.gsub), c.gsub.size(), c.glyph),
              c.vertical)
        << c.name;
    for (std::size_t n = 0; n < c.gsub.size(); ++n)
      GTTFontReader::LookupGsubVertical(tt_testing::Bytes(c.gsub), n, c.glyph);
  }
  // With 'mort' present, 'GSUB' is not asked.
  TrueTypeWriter font = TestFont(Options([&](TestFontOptions& o) { o.with_gsub = true; }));
  font.Add("mort", MortVertical({}) + std::string(4, '\0'));
  OpenedFont both(font.Build());
  EXPECT_EQ(both.reader->MapCharToGlyph(0, 1, 0x41, 16), 1);
  OpenedFont gsub_only(TestFont(Options([&](TestFontOptions& o) { o.with_gsub = true; })).Build());
  EXPECT_EQ(gsub_only.reader->MapCharToGlyph(0, 1, 0x41, 16), 4);
}

TEST(WalkGlyph, CompositesReadTheirComponentsFirst) {
  struct Case {
    const char* name;
    std::vector<std::string> glyphs;
    std::uint16_t glyph;
    std::uint32_t walked;
    std::vector<std::uint16_t> cached;
    std::vector<std::uint16_t> converted;
  };
  const std::string simple = SimpleGlyph(1);
  const Case cases[] = {
      {"simple", {simple, simple}, 1, 1, {1}, {1}},
      {"empty glyphs are not converted", {simple, ""}, 1, 1, {1}, {}},
      {"composite",
       {simple, simple, simple, CompositeGlyph({{1, 0}, {2, 0x81}})},
       3,
       1,
       {1, 2, 3},
       {3}},
      {"nested",
       {simple, CompositeGlyph({{0, 8}}), CompositeGlyph({{1, 0x40}})},
       2,
       1,
       {0, 1, 2},
       {2}},
      {"component missing", {simple, CompositeGlyph({{7, 0}})}, 1, 0, {1}, {}},
      {"component of itself", {simple, CompositeGlyph({{0, 0}, {1, 0}})}, 1, 0, {0, 1}, {}},
      {"records past the end", {simple, CompositeGlyph({{0, 0}}).substr(0, 13)}, 1, 0, {1}, {}},
  };
  for (const Case& c : cases) {
    MemoryReader reader;
    auto [glyf, loca] = GlyfAndLoca(c.glyphs, false);
    reader.tables[TTTag("head")] = HeadTable(0, 0, 0, 0, 0);
    reader.tables[TTTag("glyf")] = glyf;
    reader.tables[TTTag("loca")] = loca;
    const GFontDescriptionRecord record;
    EXPECT_EQ(reader.WalkGlyph(0, c.glyph, 0x41, 1, 16, record, 0), c.walked) << c.name;
    for (std::uint16_t g : c.cached)
      EXPECT_TRUE(reader.GlyphCache() && reader.GlyphCache()->Find(g)) << c.name << " " << g;
    EXPECT_EQ(reader.converted, c.converted) << c.name;
  }
  // Deep chains end at the nesting limit; wide repeats are walked once.
  std::vector<std::string> chain = {SimpleGlyph(1)};
  for (std::uint16_t g = 1; g < 40; ++g)
    chain.push_back(CompositeGlyph({{static_cast<std::uint16_t>(g - 1), 0}}));
  std::vector<std::string> wide = {SimpleGlyph(1)};
  for (std::uint16_t g = 1; g < 20; ++g)
    wide.push_back(CompositeGlyph(
        {{static_cast<std::uint16_t>(g - 1), 0}, {static_cast<std::uint16_t>(g - 1), 0}}));
  for (auto [glyphs, top, walked] :
       {std::tuple{&chain, 39, 0u}, std::tuple{&chain, 30, 1u}, std::tuple{&wide, 19, 1u}}) {
    MemoryReader reader;
    auto [glyf, loca] = GlyfAndLoca(*glyphs, true);
    reader.tables[TTTag("head")] = HeadTable(1, 0, 0, 0, 0);
    reader.tables[TTTag("glyf")] = glyf;
    reader.tables[TTTag("loca")] = loca;
    EXPECT_EQ(reader.WalkGlyph(0, static_cast<std::uint16_t>(top), 0, 0, 0, {}, 0), walked) << top;
  }
}

}  // namespace
