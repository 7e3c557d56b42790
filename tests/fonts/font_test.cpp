// Font handles and implementations, the scaled font, text escapements,
// character-code maps and code sets: stored forms pinned by hand, sharing,
// the handles' swapped slots, scaling of glyph bitmaps and damaged input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "fonts/char_code_map.h"
#include "fonts/font.h"
#include "fonts/text_escapements.h"
#include "output/core/byte_buffer.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

using namespace testing_support;

// A job whose cookie is fixed, with a font database of its own.
class Job : public GRenderDriverData {
 public:
  GFontDatabase* GetFontDatabase() override { return &database; }
  std::uint32_t GetJobCookie() override { return 0x1000; }
  GJobFontDatabase database{this};
};

// The record and block whose stored form FontImp.GoldenBytes spells out.
GFontImp* NewNumberedFont(float first_angle = 12.7f) {
  GFontDescriptionRecord record{
      {1, 2, 3, 4, 5},          {6, 7, 8},      9,  10, 1.0f, 1.0f, 11, {12, 13},
      {14, 15, 16, 17, 18, 19}, RWCString("A"), 20, 21};
  GFontAngleBlock block{GAngle(first_angle), GAngle(370), 22, {23, 24, 25}, 2,
                        GAngle(-30),         {26, 27}};
  auto* font = new GFontImp(99, record, block);
  font->SetDatabaseKey(5);
  font->SetFontSerial(7);
  return font;
}

// The part after the graph's magic, the class id and the base part.
std::string PartOf(const RWCollectable* object) {
  return SaveToFileBytes(object).substr(4 + 2 + 12);
}

TEST(FontImp, GoldenBytesAndRoundTrips) {
  std::unique_ptr<GFontImp> font(NewNumberedFont());
  // Version 1; the record's five u16, three u32, style, selector, the two
  // scales (1.0f is 0x3F800000), height, two u32, six u16, the face name
  // (count 1, "A"), u32, u16; angles 12.7 -> 12, 370 -> 10 as i32; the
  // block's u16 and three u32, glyph flags 2, angle -30 -> 330 (0x14A), two
  // u32; the nil access object (back reference 0); key 5; serial 7.
  EXPECT_EQ(Hex(PartOf(font.get())),
            "01 00 00 00 01 00 02 00 03 00 04 00 05 00 06 00 00 00 07 00 00 00 08 00 00 00 "
            "09 00 0A 00 00 00 00 00 80 3F 00 00 80 3F 0B 00 0C 00 00 00 0D 00 00 00 0E 00 "
            "0F 00 10 00 11 00 12 00 13 00 01 00 00 00 41 14 00 00 00 15 00 0C 00 00 00 0A "
            "00 00 00 16 00 17 00 00 00 18 00 00 00 19 00 00 00 02 00 00 00 4A 01 00 00 1A "
            "00 00 00 1B 00 00 00 FF FF 00 00 00 00 05 00 00 00 07 00 00 00");
  EXPECT_EQ(GraphStoreSizeOf(font.get()), 4u + 2 + 12 + 125);
  // Angles come back whole: round trips of a font whose angles are.
  font.reset(NewNumberedFont(12));
  for (Encoding encoding : kAllEncodings) {
    bool ok = false;
    std::unique_ptr<RWCollectable> back(
        RestoreFromStreamBytes(SaveToStreamBytes(font.get(), encoding), encoding, &ok));
    auto* restored = dynamic_cast<GFontImp*>(back.get());
    ASSERT_TRUE(ok && restored) << EncodingName(encoding);
    EXPECT_TRUE(restored->IsEqualContent(font.get()));
    EXPECT_EQ(restored->GetSource(), 0u);
    EXPECT_EQ(restored->DatabaseKey(), 5u);
    EXPECT_EQ(restored->FontSerial(), 7u);
  }
  // With a font-access object in place of the nil reference (class 866:
  // base part, version 1) the two are no longer equal.
  std::string bytes = SaveToFileBytes(font.get());
  bytes.replace(bytes.size() - 14, 6,
                Unhex("62 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00"));
  bool ok = false;
  std::unique_ptr<RWCollectable> with_access(RestoreFromFileBytes(bytes, &ok));
  auto* accessed = dynamic_cast<GFontImp*>(with_access.get());
  ASSERT_TRUE(ok && accessed && accessed->GetAccess());
  EXPECT_FALSE(accessed->IsEqualContent(font.get()));
  EXPECT_FALSE(font->IsEqualContent(accessed));
  // Its requests all fail: no default code's value for codes outside.
  GCharTable table(1);
  EXPECT_EQ(accessed->GetCodeRangeTable(1, 1, table), 0u);
}

TEST(FontImp, TruncatedFormsFailAndEndCleanly) {
  std::unique_ptr<GFontImp> font(NewNumberedFont());
  const std::string whole = SaveToFileBytes(font.get());
  for (std::size_t n = 0; n < whole.size(); ++n) {
    bool ok = true;
    std::unique_ptr<RWCollectable> back(RestoreFromFileBytes(whole.substr(0, n), &ok));
    EXPECT_FALSE(ok) << n;
  }
}

TEST(Font, SavesCookieKeyAndSerialAndCountsTheImplementation) {
  Job job;
  GFontImp* implementation = NewNumberedFont();
  implementation->SetKey(99);  // the persistent key is not the database's
  {
    GFont font(implementation, &job);
    EXPECT_EQ(implementation->UseCount(), 1);
    EXPECT_EQ(Hex(PartOf(&font)), "01 00 00 00 00 10 00 00 05 00 00 00 07 00 00 00");
    EXPECT_EQ(font.StoredSize(), 12u + 16);
    EXPECT_EQ(implementation->SaveMark(), 1u);
    EXPECT_TRUE(job.database.Contains(5));
    EXPECT_FALSE(job.database.Contains(99));
    EXPECT_EQ(implementation->UseCount(), 2);
  }
  // The handle went while the database holds the font: its source is 0.
  EXPECT_EQ(implementation->UseCount(), 1);
  EXPECT_EQ(implementation->GetSource(), 0u);
  // A newer copy read back merges in its codes, glyph flags and serial.
  GFontImp newer(0, {}, {GAngle(), GAngle(), 0, {}, 6, GAngle(), {}});
  newer.AddRequestedCode(700);
  newer.SetFontSerial(9);
  implementation->AddRequestedCode(5);
  implementation->MergeFont(newer);
  EXPECT_TRUE(implementation->RequestedCodes().Contains(5) &&
              implementation->RequestedCodes().Contains(700));
  EXPECT_EQ(implementation->GetGlyphFlags(), 6u);
  EXPECT_EQ(implementation->FontSerial(), 9u);
  EXPECT_EQ(implementation->GetHeight(), 11);  // nothing else
  // The render data's reset of its database lets every font go.
  job.database.Reset();
  EXPECT_EQ(job.database.Count(), 0u);
}

TEST(Font, SharesForwardsAndSwapsTheSecondAndThirdAngles) {
  auto* implementation = NewNumberedFont();
  GFont first(implementation, nullptr);
  {
    GFont copy(first);
    EXPECT_EQ(implementation->UseCount(), 2);
    EXPECT_TRUE(copy.IsEqualContent(&first));
  }
  EXPECT_EQ(implementation->UseCount(), 1);
  float angle = -1;
  first.GetFirstAngle(angle);
  EXPECT_EQ(angle, 12.7f);
  first.GetSecondAngle(angle);  // the implementation's third
  EXPECT_EQ(angle, 330.0f);
  first.GetThirdAngle(angle);  // the implementation's second
  EXPECT_EQ(angle, 10.0f);
  EXPECT_EQ(first.GetWords1(1), 2);
  EXPECT_EQ(first.GetFirstCode(), 16);
  EXPECT_EQ(first.GetDefaultCode(), 18);
  first.SetGeneratorLong(44);
  EXPECT_EQ(implementation->GetGeneratorLong(), 44u);
  // Glyph flags hold 2: every glyph is there already.
  EXPECT_EQ(first.RequestGlyphs(1, 2), 1u);
  const std::uint16_t codes[] = {300, 5, 300};
  EXPECT_EQ(first.AddCodes(codes), 3u);
  EXPECT_TRUE(implementation->RequestedCodes().Contains(300));
  // A handle without an implementation equals one with; it answers 0.
  GFont empty;
  EXPECT_TRUE(empty.IsEqualContent(&first) && first.IsEqualContent(&empty));
  empty.GetSecondAngle(angle);
  EXPECT_EQ(angle, 0.0f);
  EXPECT_EQ(empty.GetDescription(), nullptr);
  EXPECT_EQ(empty.RequestGlyphs(1, 2), 0u);
  EXPECT_EQ(empty.GetFaceName().Length(), 0u);
}

TEST(Font, RestoredWithoutItsJobHasNoImplementation) {
  Job job;
  GFont font(NewNumberedFont(), &job);
  const std::string bytes = SaveToFileBytes(&font);
  bool ok = false;
  // No driver server knows the cookie.
  std::unique_ptr<RWCollectable> back(RestoreFromFileBytes(bytes, &ok));
  auto* restored = dynamic_cast<GFont*>(back.get());
  ASSERT_TRUE(ok && restored);
  EXPECT_EQ(restored->GetImplementation(), nullptr);
  EXPECT_EQ(restored->GetDriverData(), nullptr);
  EXPECT_EQ(restored->GetHeight(), 0);
  GCharTable table(2);
  EXPECT_EQ(restored->GetCodeRangeTable(1, 2, table), 0u);
}

// An implementation that answers one fixed bitmap.
class FixedGlyph : public GFontImp {
 public:
  FixedGlyph(std::int16_t width, std::int16_t height, std::string bits)
      : width_(width), height_(height), bits_(std::move(bits)) {}
  std::uint32_t GetGlyphBitmap(std::uint16_t, std::uint32_t, GGlyphMetrics& metrics,
                               GByteBuffer*& out) override {
    metrics = {3, 4, width_, height_};
    out = GByteBuffer::NewCopy(Bytes(), static_cast<std::uint32_t>(bits_.size()));
    return static_cast<std::uint32_t>(bits_.size());
  }
  const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(bits_.data()); }

 private:
  std::int16_t width_;
  std::int16_t height_;
  std::string bits_;
};

TEST(ScaledFont, ScalesGlyphBitmapsAndRefusesWhatCannotScale) {
  struct Case {
    std::int16_t width, height;
    std::string bits;
    float x_scale, y_scale;
    std::string expected;  // hex of the scaled bitmap
    std::int16_t x, y, out_width, out_height;
  };
  const std::string one_by_33 = std::string("\xFF\xFF\xFF\xFF\x80\x00\x00\x00", 8);
  const Case cases[] = {
      // Two pixels "10" doubled both ways: rows "1100", padded to 32 bits.
      {2, 1, std::string("\x80\0\0\0", 4), 2.0f, 2.0f, "C0 00 00 00 C0 00 00 00", 6, 8, 32, 2},
      // Width 33 at 1.0 x 1.5: rows of 8 bytes, width 64; the one row
      // covers target row 0 only (trunc 1.5 = 1).
      {33, 1, one_by_33, 1.0f, 1.5f, "FF FF FF FF 80 00 00 00", 3, 6, 64, 1},
      // 1.0 x 1.0 passes the glyph through; 0, negative, NaN and infinite
      // scales are taken as 1.0.
      {2, 1, std::string("\x80\0\0\0", 4), 1.0f, 1.0f, "80 00 00 00", 3, 4, 2, 1},
      {2, 1, std::string("\x80\0\0\0", 4), 0.0f, -2.0f, "80 00 00 00", 3, 4, 2, 1},
      {2, 1, std::string("\x80\0\0\0", 4), std::nanf(""), INFINITY, "80 00 00 00", 3, 4, 2, 1},
      // Fewer bytes than its rows need: no glyph.
      {40, 2, std::string("\xFF\0\0\0\0\0\0", 7), 2.0f, 2.0f, "", 0, 0, 0, 0},
      // A target too wide for 16-bit metrics: no glyph.
      {2, 1, std::string("\x80\0\0\0", 4), 20000.0f, 1.5f, "", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    GFont font(new FixedGlyph(c.width, c.height, c.bits), nullptr);
    GScaledFont scaled(font, c.x_scale, c.y_scale);
    GGlyphMetrics metrics;
    GByteBuffer* out = nullptr;
    std::uint32_t size = scaled.GetGlyphData('A', 0, metrics, out);
    std::unique_ptr<GByteBuffer> held(out);
    std::string got =
        out ? std::string(reinterpret_cast<char*>(out->GetData()), out->GetSize()) : "";
    EXPECT_EQ(Hex(got), c.expected) << c.width << " " << c.x_scale << " " << c.y_scale;
    EXPECT_EQ(size, got.size());
    if (c.expected.empty()) continue;
    EXPECT_EQ(metrics.x, c.x);
    EXPECT_EQ(metrics.y, c.y);
    EXPECT_EQ(metrics.width, c.out_width);
    EXPECT_EQ(metrics.height, c.out_height);
  }
}

// An empty glyph (a space) is an empty buffer whatever the scale: no
// buffer means the glyph could not be had, which fails a page.
TEST(ScaledFont, AnEmptyGlyphStaysAnEmptyBuffer) {
  for (float scale : {1.0f, 2.0f}) {
    GFont font(new FixedGlyph(0, 0, ""), nullptr);
    GScaledFont scaled(font, scale, scale);
    GGlyphMetrics metrics;
    GByteBuffer* out = nullptr;
    EXPECT_EQ(scaled.GetGlyphData(' ', 0, metrics, out), 0u);
    ASSERT_NE(out, nullptr) << scale;
    EXPECT_EQ(out->GetSize(), 0u);
    delete out;
  }
}

TEST(ScaledFont, ScalesMetricsWithinTheirTypes) {
  GFontDescriptionRecord record;
  record.words1[0] = 100;
  record.words1[2] = 40000;
  record.words2[0] = 10;
  record.height = -7;
  GFont font(new GFontImp(0, record, {}), nullptr);
  GScaledFont scaled(font, 2.5f, 2.0f);
  EXPECT_EQ(scaled.GetScaledMetric(), -14);
  GFontDescriptionRecord out;
  scaled.GetScaledGlyphMetrics(out);
  EXPECT_EQ(out.words1[0], 100);    // not a vertical metric
  EXPECT_EQ(out.words1[2], 65535);  // 80000 kept within u16
  EXPECT_EQ(out.words2[0], 25);
  EXPECT_EQ(out.height, -14);
}

TEST(TextEscapements, DirectionsGoldenBytesAndRoundTrips) {
  auto table = [](std::vector<std::uint16_t> entries) { return GCharTable::CopyOf(entries); };
  // After the base part: version 1, count u16, then each table's flag
  // and entries. 90 degrees: no x table, y = {-10, -20}. 45 degrees:
  // sin = cos = 0.7071; X = trunc(d c + 0.5) = 7, 14; Y = trunc(-(d s +
  // 0.5)) = -7, -14; the steps 7, 7 and -7, -7.
  GTextEscapements up(90, table({10, 20}));
  EXPECT_EQ(Hex(PartOf(&up)), "01 00 00 00 02 00 00 00 00 00 01 00 00 00 F6 FF EC FF");
  GTextEscapements slant(45, table({10, 10}));
  EXPECT_EQ(Hex(PartOf(&slant)),
            "01 00 00 00 02 00 01 00 00 00 07 00 07 00 01 00 00 00 F9 FF F9 FF");
  EXPECT_EQ(slant.StoredSize(), 12u + 14 + 4 + 4);
  struct Direction {
    float degrees;
    std::int16_t x0, y0;  // the first entries; 0 when there is no table
    bool has_x, has_y;
  };
  const Direction directions[] = {{0, 10, 0, true, false},   {180, -10, 0, true, false},
                                  {270, 0, 10, false, true}, {-90, 0, 10, false, true},
                                  {360, 10, 0, true, false}, {30, 9, -5, true, true}};
  for (const Direction& d : directions) {
    GTextEscapements escapements(d.degrees, table({10, 10}));
    EXPECT_EQ(escapements.GetPrimaryTable() != nullptr, d.has_x) << d.degrees;
    EXPECT_EQ(escapements.GetSecondaryTable() != nullptr, d.has_y) << d.degrees;
    EXPECT_EQ(static_cast<std::int16_t>(escapements.GetPrimaryAt(0)), d.x0) << d.degrees;
    EXPECT_EQ(static_cast<std::int16_t>(escapements.GetSecondaryAt(0)), d.y0) << d.degrees;
    for (Encoding encoding : kAllEncodings) {
      bool ok = false;
      std::unique_ptr<RWCollectable> back(
          RestoreFromStreamBytes(SaveToStreamBytes(&escapements, encoding), encoding, &ok));
      EXPECT_TRUE(ok && back &&
                  escapements.IsEqualContent(dynamic_cast<MPersistentObject*>(back.get())));
    }
  }
  // A borrowed table is copied before it is changed.
  std::uint16_t lent[] = {1, 2};
  GTextEscapements borrowed(180, GCharTable::Borrow(lent, 2));
  EXPECT_EQ(lent[0], 1);
  EXPECT_EQ(borrowed.GetPrimaryAt(0), 0xFFFF);
  // Count 0 answers 0 everywhere; a write of 0 makes no table.
  GTextEscapements none(0, GCharTable());
  EXPECT_EQ(none.GetPrimaryAt(0), 0);
  none.SetSecondaryAt(0, 0);
  EXPECT_EQ(none.GetSecondaryTable(), nullptr);
  borrowed.SetSecondaryAt(1, 5);
  EXPECT_EQ(borrowed.GetSecondaryAt(0), 0);
  EXPECT_EQ(borrowed.GetSecondaryAt(1), 5);
  EXPECT_EQ(borrowed.GetSecondaryAt(2), 0);  // past the end
  GTextEscapements copy(borrowed);
  EXPECT_TRUE(copy.IsEqualContent(&borrowed));
  copy.SetSecondaryAt(1, 6);
  EXPECT_FALSE(copy.IsEqualContent(&borrowed));
}

TEST(TextEscapements, DamagedFormsFailWithoutAllocatingTheirCount) {
  GTextEscapements escapements(45, GCharTable::CopyOf(std::vector<std::uint16_t>{10, 10}));
  const std::string whole = SaveToFileBytes(&escapements);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    bool ok = true;
    std::unique_ptr<RWCollectable> back(RestoreFromFileBytes(whole.substr(0, n), &ok));
    EXPECT_FALSE(ok) << n;
  }
  // A count of 65535 with both flags set but no entries.
  std::string damaged = whole.substr(0, 4 + 2 + 12 + 4) + Unhex("FF FF 01 00 00 00");
  bool ok = true;
  std::unique_ptr<RWCollectable> back(RestoreFromFileBytes(damaged, &ok));
  EXPECT_FALSE(ok);
}

// Codes from 256 upward, one by one, with a jump to the middle pass-through
// range after `jump_after` codes.
class CountingMap : public GCharCodeMap {
 public:
  explicit CountingMap(int jump_after = -1) : jump_after_(jump_after) {}
  void NextCode() override {
    next_free_code_ = --jump_after_ == 0 ? 8192 : static_cast<std::uint16_t>(next_free_code_ + 1);
  }

 private:
  int jump_after_;
};

TEST(CharCodeMap, PassesThroughMapsOnceAndRunsOut) {
  CountingMap map;
  const std::pair<std::uint16_t, std::uint16_t> cases[] = {
      {65, 65},   {255, 255},  {8200, 8200}, {8447, 8447}, {65280, 65280},
      {300, 256}, {8191, 257}, {300, 256},   {8448, 258},  {65279, 259}};
  for (auto [code, expected] : cases)
    EXPECT_EQ(map.Map(code), expected) << code;
  map.Clear();
  EXPECT_EQ(map.Map(8191), 256);
  // A numbering that reaches a code that passes through hands out no more.
  CountingMap short_map(1);
  EXPECT_EQ(short_map.Map(300), 256);
  EXPECT_EQ(short_map.Map(301), kNoMappedCode);
  EXPECT_EQ(short_map.Map(300), 256);
}

TEST(CharCodeSet, BlocksInOrderAndEveryCodeVisited) {
  GCharCodeSet set;
  for (std::uint32_t code : {300u, 5u, 200u, 127u, 128u, 0xFFFFFFFFu, 5u})
    EXPECT_TRUE(set.Add(code));
  std::vector<std::uint32_t> seen;
  std::uint32_t last = set.ForEach(
      [](std::uint32_t code, void* arg) -> std::uint32_t {
        static_cast<std::vector<std::uint32_t>*>(arg)->push_back(code);
        return code == 300 ? 0 : 1;
      },
      &seen);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{5, 127, 128, 200, 300, 0xFFFFFFFF}));
  EXPECT_EQ(last, 1u);
  set.Remove(300);
  set.Remove(301);
  EXPECT_EQ(set.Contains(300) + set.Contains(6) + set.Contains(5) * 2, 2u);
  GCharCodeSet other;
  other.Add(6);
  set.AddAll(other);
  EXPECT_TRUE(set.Contains(6));
  set.Clear();
  EXPECT_EQ(set.ForEach([](std::uint32_t, void*) -> std::uint32_t { return 9; }, nullptr), 0u);
}

}  // namespace
