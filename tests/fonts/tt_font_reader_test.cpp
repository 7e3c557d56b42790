// The TrueType reader over hand-made fonts: table reads and their cache,
// glyph data through 'loca', header values and metrics, preloading, merges,
// the reader's stored form, and damaged font files.
#include <gtest/gtest.h>

#include <random>

#include "fonts/glyph_cache.h"
#include "fonts/tt_table_cache.h"
#include "support/truetype_writer.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/graph.h"

namespace {

using namespace support;
using namespace testing_support;
using tt_testing::MemoryReader;
using tt_testing::OpenedFont;

TEST(TTFileReader, OpensSoundDirectoriesOnly) {
  std::string font = TestFont().Build();
  struct Case {
    const char* name;
    std::string bytes;
    bool opens;
    std::uint32_t glyf_length;
  };
  std::string bad_version = font;
  bad_version[0] = 0x02;
  std::string huge_count = font;
  huge_count.replace(4, 2, Be16(0xFFFF));
  // The 'glyf' record (second) given a length past the end of the file.
  std::string long_glyf = font;
  long_glyf.replace(12 + 16 + 12, 4, Be32(static_cast<std::uint32_t>(font.size())));
  const Case cases[] = {
      // 'glyf': glyphs of 17, 20, 23, 22 and 26 bytes, each padded even.
      {"sound", font, true, 110},
      {"empty", "", false, 0},
      {"short header", font.substr(0, 11), false, 0},
      {"other version", bad_version, false, 0},
      {"directory past the end", huge_count, false, 0},
      {"table past the end", long_glyf, true, 0},
  };
  for (const Case& c : cases) {
    OpenedFont opened(c.bytes);
    EXPECT_EQ(opened.opened, c.opens) << c.name;
    EXPECT_EQ(opened.reader->QueryTableLength(0, TTTag("glyf")), c.glyf_length) << c.name;
  }
}

TEST(TTFontReader, RequiredTablesAndHeaderValues) {
  OpenedFont opened(
      TestFont(Options([&](TestFontOptions& o) { o.with_vertical_metrics = true; })).Build());
  ASSERT_TRUE(opened.opened);
  GTTFontReader& reader = *opened.reader;
  EXPECT_EQ(reader.CheckRequiredTables(0), 1u);
  std::uint16_t glyphs = 0;
  std::int16_t descender = 0;
  EXPECT_EQ(reader.GetNumGlyphs(0, glyphs), 1u);
  EXPECT_EQ(glyphs, 6);
  EXPECT_EQ(reader.GetTypoDescender(0, descender), 1u);
  EXPECT_EQ(descender, -200);
  std::int16_t box[4] = {};
  EXPECT_EQ(reader.GetFontBoundingBox(0, box), 8u);
  EXPECT_EQ((std::vector<std::int16_t>(box, box + 4)),
            (std::vector<std::int16_t>{-10, -20, 1000, 900}));
  // Glyphs beyond the 3 long metrics take the last advance and their own
  // bearing; vertical metrics alike with 2.
  struct Metric {
    std::uint16_t glyph;
    std::uint16_t advance;
    std::int16_t bearing;
  };
  for (Metric m :
       {Metric{0, 500, 10}, Metric{2, 700, 30}, Metric{3, 700, 40}, Metric{5, 700, 60}}) {
    std::uint16_t advance = 0;
    std::int16_t bearing = 0;
    EXPECT_EQ(reader.GetHorizontalMetrics(0, m.glyph, advance, bearing), 1u) << m.glyph;
    EXPECT_EQ(advance, m.advance) << m.glyph;
    EXPECT_EQ(bearing, m.bearing) << m.glyph;
  }
  std::uint16_t advance = 0;
  std::int16_t bearing = 0;
  EXPECT_EQ(reader.GetVerticalMetrics(0, 2, advance, bearing), 1u);
  EXPECT_EQ(advance, 1100);
  EXPECT_EQ(bearing, 70);
  // Past the bearings: no metrics.
  EXPECT_EQ(reader.GetHorizontalMetrics(0, 6, advance, bearing), 0u);
}

TEST(TTFontReader, MissingTableFailsTheCheck) {
  TrueTypeWriter font;
  font.Add("cmap", CmapTable({}));
  OpenedFont opened(font.Build());
  EXPECT_EQ(opened.reader->CheckRequiredTables(0), 0u);
  std::uint16_t glyphs = 7;
  EXPECT_EQ(opened.reader->GetNumGlyphs(0, glyphs), 0u);
  EXPECT_EQ(glyphs, 7);
}

TEST(TTFontReader, GlyphDataThroughShortAndLongOffsets) {
  for (bool long_offsets : {false, true}) {
    OpenedFont opened(
        TestFont(Options([&](TestFontOptions& o) { o.long_offsets = long_offsets; })).Build());
    GTTFontReader& reader = *opened.reader;
    // Glyph lengths from 'loca': simple glyphs are 14 + 3 bytes a point,
    // padded to an even length; glyph 3 is a header and two records of 6
    // bytes; glyph 5 is empty.
    const std::uint32_t sizes[] = {18, 20, 24, 22, 26, 0};
    std::uint32_t offset = 0;
    for (std::uint16_t g = 0; g < 6; ++g) {
      EXPECT_EQ(reader.GetGlyphOffset(0, g), offset) << g << " long " << long_offsets;
      GByteBuffer* out = nullptr;
      EXPECT_EQ(reader.GetGlyphData(0, 1, g, out), sizes[g]) << g;
      std::unique_ptr<GByteBuffer> data(out);
      ASSERT_TRUE(data) << g;
      EXPECT_EQ(data->GetSize(), sizes[g]);
      offset += sizes[g];
    }
    // Served from the glyph cache afterwards, also past the file.
    opened.reader->Close();
    GByteBuffer* out = nullptr;
    EXPECT_EQ(reader.GetGlyphData(0, 1, 4, out), 26u);
    delete out;
    EXPECT_EQ(reader.GetGlyphOffset(0, 1), 18u) << "loca is cached";
  }
}

TEST(TTFontReader, DamagedLocaNeverReadsOrAllocatesPastGlyf) {
  struct Case {
    const char* name;
    std::string loca;
    std::uint32_t length;
    bool buffer;
  };
  const Case cases[] = {
      {"decreasing offsets give an empty glyph", Be16(8) + Be16(2) + Be16(20), 0, true},
      {"next offset past glyf", Be16(0) + Be16(0xFFFF) + Be16(0xFFFF), 0, false},
      {"loca too short", Be16(0), 0, false},
  };
  for (const Case& c : cases) {
    MemoryReader reader;
    reader.tables[TTTag("head")] = HeadTable(0, 0, 0, 0, 0);
    reader.tables[TTTag("loca")] = c.loca;
    reader.tables[TTTag("glyf")] = std::string(40, 'g');
    GByteBuffer* out = nullptr;
    EXPECT_EQ(reader.GetGlyphData(0, 1, 0, out), c.length) << c.name;
    EXPECT_EQ(out != nullptr, c.buffer) << c.name;
    delete out;
  }
}

TEST(TTFontReader, TablePartsAndTheWholeTableLimit) {
  struct Case {
    const char* name;
    std::uint32_t table_length;
    std::uint32_t offset;
    std::uint32_t length;
    std::uint32_t answer;
    bool cached;
  };
  const Case cases[] = {
      {"249999 bytes are kept whole", 249999, 10, 4, 4, true},
      {"250000 bytes are read in pieces", 250000, 10, 4, 4, false},
      {"up to the last byte", 100, 96, 4, 4, true},
      {"one byte past the end", 100, 97, 4, 0, false},
      {"an offset that wraps", 100, 0xFFFFFFFE, 4, 0, false},
      {"an empty table", 0, 0, 4, 0, true},
  };
  for (const Case& c : cases) {
    MemoryReader reader;
    if (c.table_length) reader.tables[TTTag("name")] = std::string(c.table_length, 'n');
    std::uint8_t bytes[4] = {};
    EXPECT_EQ(reader.ReadTablePart(0, kTagName, c.offset, 1, bytes, c.length), c.answer) << c.name;
    EXPECT_EQ(reader.TableCache() && reader.TableCache()->Holds(kTagName), c.cached) << c.name;
  }
  // A table of length 0 is remembered: later reads ask nothing of the file.
  MemoryReader reader;
  GByteBuffer* out = nullptr;
  EXPECT_EQ(reader.ReadTable(0, kTagKern, 1, out), 0u);
  delete out;
  int asked = reader.length_queries;
  EXPECT_EQ(reader.ReadTable(0, kTagKern, 1, out), 0u);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(reader.length_queries, asked);
  // Without caching a range is read directly each time.
  MemoryReader plain;
  plain.caching = 0;
  plain.tables[TTTag("post")] = "0123456789";
  std::uint8_t two[2];
  EXPECT_EQ(plain.ReadTablePart(0, kTagPost, 8, 1, two, 2), 2u);
  EXPECT_EQ(plain.ReadTablePart(0, kTagPost, 8, 1, two, 2), 2u);
  EXPECT_EQ(plain.range_reads, 2);
  EXPECT_EQ(plain.TableCache(), nullptr);
}

TEST(TTFontReader, PreloadReadsOnceAndMergeTakesTheOthersKnowledge) {
  OpenedFont opened(TestFont().Build(), 9);
  GTTFontReader& reader = *opened.reader;
  EXPECT_EQ(reader.PreloadTables(0, 17), 1u);
  for (TTTagIndex index : {kTagCmap, kTagMaxp, kTagMort, kTagHead, kTagHmtx})
    EXPECT_TRUE(reader.TableCache()->Holds(index)) << index;
  EXPECT_EQ(reader.TableCache()->Length(kTagMort), 0u);
  EXPECT_TRUE(reader.GlyphCache()->Find(0));
  std::uint32_t generation = reader.Generation();
  EXPECT_EQ(reader.PreloadTables(0, 17), 1u);
  EXPECT_EQ(reader.Generation(), generation);

  std::unique_ptr<RWCollectable> before(RestoreFromFileBytes(SaveToFileBytes(&reader)));
  GTTFileReader fresh(9);
  EXPECT_FALSE(fresh.IsEqualContent(&reader));
  fresh.Merge(reader);
  // The caches moved, the header values were copied.
  EXPECT_TRUE(fresh.IsEqualContent(static_cast<GTTFileReader*>(before.get())));
  EXPECT_FALSE(reader.TableCache()->Holds(kTagCmap));
}

TEST(TTFontReader, StoredFormAndRoundTrip) {
  OpenedFont opened(TestFont().Build(), 0x01020304);
  GTTFileReader& reader = *opened.reader;
  reader.SetSerialNumber(0);
  std::uint16_t glyphs = 0;
  reader.GetNumGlyphs(0, glyphs);  // caches 'maxp' and the value: generation 2
  std::string saved = SaveToFileBytes(&reader);
  // After the file magic, the user class's name, the base part: version 1,
  // generation 2, key 0x01020304, indexToLocFormat 255, two spare records
  // of 10 zero bytes, numGlyphs read (1, 6), the other three unread.
  std::string reader_part = "01 00 00 00 02 00 00 00 04 03 02 01 FF";
  for (int i = 0; i < 20; ++i)
    reader_part += " 00";
  reader_part += " 01 00 00 00 06 00";
  for (int i = 0; i < 18; ++i)
    reader_part += " 00";
  std::size_t at = 4 + 2 + 4 + std::string("GTTFileReader").size() + 12;
  EXPECT_EQ(Hex(saved.substr(at, 57)), reader_part);
  bool ok = false;
  std::unique_ptr<RWCollectable> back(RestoreFromFileBytes(saved, &ok));
  ASSERT_TRUE(ok);
  auto* restored = dynamic_cast<GTTFileReader*>(back.get());
  ASSERT_TRUE(restored);
  EXPECT_TRUE(restored->IsEqualContent(&reader));
  EXPECT_EQ(restored->FontKey(), 0x01020304u);
  EXPECT_FALSE(restored->IsOpen());
  // The restored reader serves what its cache holds without the file.
  EXPECT_EQ(restored->GetNumGlyphs(0, glyphs), 1u);
  EXPECT_EQ(restored->CheckRequiredTables(0), 0u);
}

// A font cut short at every table boundary, and one damaged at random: every
// operation ends, answers what it can, and reads nothing outside.
void ExerciseFont(GTTFontReader& reader) {
  reader.CheckRequiredTables(0);
  reader.PreloadTables(0, 17);
  std::uint16_t glyphs = 0;
  reader.GetNumGlyphs(0, glyphs);
  std::int16_t box[4];
  reader.GetFontBoundingBox(0, box);
  for (std::uint32_t selector : {1u, 3u, 16u, 17u, 18u}) {
    for (std::uint32_t code : {0x20u, 0x41u, 0x43u, 0xA5u, 0x8140u, 0xF041u})
      reader.MapCharToGlyph(0, code & 1, code, selector);
  }
  const GFontDescriptionRecord record;
  for (std::uint16_t g = 0; g < 8; ++g) {
    reader.WalkGlyph(0, g, g, 1, 16, record, 0);
    std::uint16_t advance;
    std::int16_t bearing;
    reader.GetHorizontalMetrics(0, g, advance, bearing);
    reader.GetVerticalMetrics(0, g, advance, bearing);
  }
}

TEST(TTFontReader, TruncatedAtEveryTableBoundary) {
  TrueTypeWriter writer = TestFont(Options([&](TestFontOptions& o) {
    o.with_mort = true;
    o.with_vertical_metrics = true;
  }));
  std::string font = writer.Build();
  std::vector<std::size_t> cuts = {0, 4, 12, 28};
  for (std::uint32_t offset : writer.TableOffsets()) {
    cuts.push_back(offset);
    cuts.push_back(offset + 1);
  }
  // The ten required tables come first; 'OS/2' (78 bytes) is the last.
  const std::size_t required_end = writer.TableOffsets()[9] + 78;
  for (std::size_t cut : cuts) {
    OpenedFont opened(font.substr(0, cut));
    ExerciseFont(*opened.reader);
    EXPECT_EQ(opened.reader->CheckRequiredTables(0), cut >= required_end ? 1u : 0u) << cut;
  }
}

TEST(TTFontReader, SeededByteFlipsNeverCrash) {
  std::string font = TestFont(Options([&](TestFontOptions& o) {
                       o.with_gsub = true;
                       o.with_vertical_metrics = true;
                     })).Build();
  std::mt19937 rng(1902);
  for (int round = 0; round < 150; ++round) {
    std::string damaged = font;
    for (int flips = 1 + static_cast<int>(rng() % 4); flips > 0; --flips)
      damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
    OpenedFont opened(damaged);
    ExerciseFont(*opened.reader);
  }
}

}  // namespace
