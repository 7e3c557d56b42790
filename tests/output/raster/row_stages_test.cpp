// Bitmaps, palettes and dither matrices (stored forms derived by hand,
// restores of old versions and of damaged data, reading rows), and the
// three row stages: the bitmap source, the clip window and the dither.
#include "output/raster/row_stages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "foundation/rw/slistcollectables.h"
#include "output/attributes/clip.h"
#include "output/color/gray.h"
#include "output/raster/dither_matrix.h"
#include "persist/persistent_composite.h"
#include "tests/output/stored_forms.h"
#include "tests/support/graph.h"
#include "tests/support/raster_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using output_testing::ExpectStoredForm;
using output_testing::RestoreHex;
using support::Row;
using testing_support::DrainRows;
using testing_support::Hex;
using testing_support::Unhex;

// Spaced tokens of up to two characters, with repeats ("FF*3": FF FF FF).
std::string Expand(const std::string& hex) {
  std::string out;
  for (std::size_t at = 0; at < hex.size();) {
    const std::size_t end = std::min(hex.find(' ', at), hex.size());
    const std::string token = hex.substr(at, end - at);
    for (int n = token.size() > 3 ? std::stoi(token.substr(3)) : token.empty() ? 0 : 1; n > 0; --n)
      out.append(out.empty() ? "" : " ").append(token, 0, 2);
    at = end + 1;
  }
  return out;
}

Row Bytes(const std::string& hex) {
  const std::string bytes = Unhex(Expand(hex));
  return Row(bytes.begin(), bytes.end());
}

// An implementation owning up to 4 `rows` (hex, separated by " | "), each
// padded to 4 bytes.
GBitmapImp* MakeImp(std::uint16_t bits, std::uint16_t samples, std::uint32_t width,
                    const std::string& rows, GPaletteTable* palette = nullptr) {
  const std::uint64_t stride = PaddedRowBytes(width, bits, samples);
  auto block = std::make_unique<std::uint8_t[]>(std::max<std::uint64_t>(stride * 4, 64));
  std::uint32_t height = 0;
  for (std::size_t at = 0; at != std::string::npos; ++height) {
    const std::size_t end = rows.find(" | ", at);
    const Row row = Bytes(rows.substr(at, end - at));
    std::copy(row.begin(), row.end(), block.get() + height * stride);
    at = end == std::string::npos ? end : end + 3;
  }
  return new GBitmapImp(width, height, bits, samples, std::move(block), palette);
}

const GPaletteEntry kBlackWhite[] = {{0, 0, 0, 255}, {255, 255, 255, 255}};

// Golden bytes, from the stored forms: the file magic 0x8888 (u32), the
// class id (u16: 774 = 06 03, 553 = 29 02, 552 = 28 02, 551 = 27 02), the
// persistent base part (version 1, key 0, serial 0), then the class's own
// items. The nil object is the back reference to object 0: FF FF, 0 (u32).
const std::string kBase = "01 00 00 00 00 00 00 00 00 00 00 00 ";
// A 2 x 2 matrix {10 20 30 40}: version 3, width and height (i16), the four
// bytes, first parameter 1, extra value 0 (u32), second parameter 2,
// selectors 3 and 4, selector word FFFF.
const std::string kMatrix =
    "06 03 " + kBase +
    "03 00 00 00 02 00 02 00 10 20 30 40 01 00 00 00 00 00 02 00 03 00 04 00 FF FF";
// An 8 x 1 1-bit bitmap without palette, byte AA: version 1, width 8,
// height 1 (u32), 1 bit per sample, 1 sample (u16), chain value 0, the nil
// palette, 4 bytes (the row padded to 4), AA 00 00 00.
const std::string kImp = "28 02 " + kBase +
                         "01 00 00 00 08 00 00 00 01 00 00 00 01 00 01 00 00 00 00 00 "
                         "FF FF 00 00 00 00 04 00 00 00 AA 00 00 00";

TEST(Bitmap, StoredFormsMatchHandDerivedBytes) {
  const std::uint8_t cells[] = {0x10, 0x20, 0x30, 0x40};
  GDitherMatrix matrix(2, 2, cells, 1, 2, 3, 4, 0xFFFF, 0);
  matrix.SetSerialNumber(0);
  ExpectStoredForm(matrix, "88 88 00 00 " + kMatrix);

  GPaletteTable palette(kBlackWhite);
  palette.SetSerialNumber(0);
  // Version 1, count 2, black {0 0 0 FF}, white {FF FF FF FF}.
  ExpectStoredForm(
      palette, "88 88 00 00 29 02 " + kBase + "01 00 00 00 02 00 00 00 00 00 00 FF FF FF FF FF");

  std::unique_ptr<GBitmapImp> imp(MakeImp(1, 1, 8, "AA"));
  imp->SetSerialNumber(0);
  ExpectStoredForm(*imp, "88 88 00 00 " + kImp);

  // The handle: its version 1, then the implementation as a reference.
  GBitmap bitmap(imp.release());
  const std::string file = testing_support::SaveToFileBytes(&bitmap);
  EXPECT_EQ(Hex(file), "88 88 00 00 27 02 01 00 00 00 " + kImp);
  EXPECT_EQ(bitmap.GraphStoreSize(), file.size());
}

// What a restore left: a matrix's width, second parameter, extra value and
// whether it has cells; an implementation's byte count; a handle's
// implementation or none.
std::string Describe(const RWCollectable* object) {
  if (auto* m = dynamic_cast<const GDitherMatrix*>(object)) {
    return std::to_string(m->GetWidth()) + " " + std::to_string(m->GetSecondParameter()) + " " +
           std::to_string(m->GetExtraValue()) + (m->GetThresholds() ? " cells" : "");
  }
  if (auto* imp = dynamic_cast<const GBitmapImp*>(object))
    return "bytes " + std::to_string(imp->GetByteCount());
  auto* bitmap = dynamic_cast<const GBitmap*>(object);
  return bitmap && bitmap->GetImplementation() ? "shares" : "none";
}

TEST(Bitmap, RestoresOldMatricesAndRefusesBadForms) {
  const std::string matrix = "06 03 " + kBase;
  const std::string form =
      "28 02 " + kBase + "01 00 00 00 08 00 00 00 01 00 00 00 01 00 01 00 00 00 00 00 ";
  const struct {
    std::string stored;
    const char* left;  // what the restore left; refused when it starts with "!"
  } cases[] = {
      // Version 1: the second parameter is the first, the rest stays 0.
      {matrix + "01 00 00 00 02 00 01 00 10 20 05 00", "2 5 0 cells"},
      {matrix + "02 00 00 00 02 00 01 00 10 20 05 00 09 00 00 00", "2 5 9 cells"},
      {matrix + "04 00 00 00 01 00 01 00 10 05 00 00 00 00 00 07 00 00 00 00 00 00 00",
       "1 7 0 cells"},                    // a later version reads as 3
      {matrix + "00 00 00 00", "0 0 0"},  // version 0 reads nothing
      {matrix + "01 00 00 00 00 00 00 00 05 00", "0 5 0"},
      // Matrix sides of 0 with a height, 256, -1; thresholds cut short.
      {matrix + "01 00 00 00 00 00 02 00 05 00", "!0 0 0"},
      {matrix + "01 00 00 00 00 01 01 00 05 00", "!0 0 0"},
      {matrix + "01 00 00 00 01 00 FF FF 05 00", "!0 0 0"},
      {matrix + "01 00 00 00 02 00 02 00 10 20", "!0 0 0"},
      // Bitmaps: a byte count that is not the form's, a count no block is
      // allocated for, a palette above 256 entries, references of the
      // wrong class (a matrix as the palette, a palette as the
      // implementation).
      {form + "FF FF 00 00 00 00 05 00 00 00 AA 00 00 00 00", "!bytes 0"},
      {form + "FF FF 00 00 00 00 FF FF FF FF AA", "!bytes 0"},
      {form + "29 02 " + kBase + "01 00 00 00 01 01 00 00 00 00 00 00", "!bytes 0"},
      {form + kMatrix + " 04 00 00 00 AA 00 00 00", "!bytes 0"},
      {"27 02 01 00 00 00 29 02 " + kBase + "01 00 00 00 00 00 00 00", "!none"},
  };
  for (const auto& c : cases) {
    bool ok = false;
    RWCollectable* back =
        testing_support::RestoreFromFileBytes(Unhex("88 88 00 00 " + c.stored), &ok);
    EXPECT_EQ(ok, c.left[0] != '!') << c.stored;
    EXPECT_EQ(Describe(back), c.left + (c.left[0] == '!')) << c.stored;
    if (dynamic_cast<GBitmap*>(back)) {
      delete back;
    } else {
      FreeRestored(back);
    }
  }
}

TEST(Bitmap, DamagedMatricesAndBitmapsFailCleanly) {
  const std::uint8_t cells[] = {1, 2, 3, 4, 5, 6};
  GDitherMatrix matrix(3, 2, cells, 7, 8, 1, 2, 3, 9);
  output_testing::ExpectDamageFailsCleanly(matrix, 37, 1250);
  GBitmapImp* imp = MakeImp(4, 1, 5, "12 34 50 | 67 89 A0", new GPaletteTable(kBlackWhite));
  GBitmap bitmap(imp);
  output_testing::ExpectDamageFailsCleanly(*imp, 38, 1250);
}

TEST(Bitmap, ReadsRowsInEveryFormWithItsEffectiveBits) {
  EXPECT_EQ(ColorToGray(255, 255, 255), 255);
  EXPECT_EQ(ColorToGray(0, 0, 0), 0);
  EXPECT_EQ(ColorToGray(255, 0, 0), 76);
  EXPECT_EQ(GBitmap().GetBitsPerPixel(), 0);
  const struct {
    std::uint16_t bits, samples;
    int effective;  // bits per pixel
    std::uint32_t width;
    const char* pixels;
    std::int32_t left, right, row;
    std::uint32_t mode;
    const char* expected;
  } cases[] = {
      // 1-bit pixels 3 to 11 of 1010 1010 0101 0101, moved to the start.
      {1, 1, 1, 16, "AA 55", 3, 12, 0, 0, "52 80"},
      {2, 1, 2, 8, "1B E4", 2, 7, 0, 0, "BE 40"},
      {4, 1, 4, 8, "12 34 56 78", 1, 4, 0, 0, "23 40"},
      {1, 3, 4, 2, "A5", 1, 2, 0, 0, "50"},
      // Red, black, white: grey in modes 0, 1 and 4, R G B in others.
      {8, 3, 24, 3, "FF 00 00 00 00 00 FF FF FF", 0, 3, 0, 0, "4C 00 FF"},
      {8, 3, 24, 3, "FF 00 00 00 00 00 FF FF FF", 1, 3, 0, 2, "00 00 00 FF FF FF"},
      // 5-5-5: red, green, blue at 31, then 16 each (16 << 3 | 16 >> 2 = 84).
      {16, 1, 24, 4, "00 7C E0 03 1F 00 10 42", 0, 4, 0, 2, "FF 00 00 00 FF 00 00 00 FF 84 84 84"},
      // B G R x: red, then blue (grey 28).
      {32, 1, 24, 2, "00 00 FF 00 FF 00 00 00", 0, 2, 0, 0, "4C 1C"},
      {32, 1, 24, 2, "00 00 FF 00 FF 00 00 00", 0, 2, 0, 3, "FF 00 00 00 00 FF"},
      // Cut to the bitmap; nothing outside it.
      {8, 1, 8, 3, "01 02 03", 1, 10, 0, 0, "02 03"},
      {8, 1, 8, 3, "01 02 03", -5, 1, 0, 0, "01"},
      {8, 1, 8, 3, "01 02 03", 0, 3, 1, 0, ""},
      {8, 2, 16, 3, "01 02 03", 0, 3, 0, 0, ""},  // an unusable form
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pixels) + " from " + std::to_string(c.left));
    GBitmap bitmap(MakeImp(c.bits, c.samples, c.width, c.pixels));
    EXPECT_EQ(bitmap.GetBitsPerPixel(), c.effective);
    std::vector<std::uint8_t> out(64, 0xEE);
    const std::uint32_t n = bitmap.ReadRow(out.data(), c.left, c.right, c.row, c.mode);
    EXPECT_EQ(Hex(std::string(out.begin(), out.begin() + n)), c.expected);
  }
}

TEST(Bitmap, CopiesShareAndComeBackSharingInEveryMedium) {
  using namespace testing_support;
  std::uint8_t pixels[4] = {1, 2, 3, 0};
  GBitmap first(new GBitmapImp(3, 1, 8, 1, pixels, nullptr));
  GBitmap second(first);
  EXPECT_FALSE(second.GetImplementation()->OwnsData());
  EXPECT_TRUE(second.MakeDataOwned());
  EXPECT_TRUE(first.GetImplementation()->OwnsData());  // one shared implementation
  pixels[0] = 9;
  first.SetChainValue(77);
  EXPECT_EQ(second.GetImplementation()->GetChainValue(), 77u);
  RWSlistCollectables list;
  list.Append(&first);
  list.Append(&second);
  for (int medium = 0; medium < 4; ++medium) {
    bool ok = false;
    const Encoding encoding = kAllEncodings[std::max(medium - 1, 0)];
    auto* back = dynamic_cast<RWSlistCollectables*>(
        medium == 0 ? RestoreFromFileBytes(SaveToFileBytes(&list), &ok)
                    : RestoreFromStreamBytes(SaveToStreamBytes(&list, encoding), encoding, &ok));
    ASSERT_TRUE(ok && back && back->Count() == 2);
    auto* a = dynamic_cast<GBitmap*>(back->At(0));
    auto* b = dynamic_cast<GBitmap*>(back->At(1));
    std::uint8_t out[3];
    EXPECT_TRUE(a && b && a->GetImplementation() == b->GetImplementation() && a->IsEqual(&first));
    EXPECT_TRUE(a && a->ReadRow(out, 0, 3, 0, 0) == 3 && out[0] == 1);  // copied before the change
    DeleteGraph(back);
  }
}

TEST(DitherMatrix, CellsRowsAndCopies) {
  std::uint8_t cells[16];
  for (int i = 0; i < 16; ++i)
    cells[i] = std::uint8_t(i);
  GDitherMatrix matrix(4, 4, cells, 1, 0);
  EXPECT_EQ(matrix.GetCell(3, 3) + matrix.GetCell(4, 0) + matrix.GetCell(0, 4), 15);
  auto next = [&matrix](std::uint16_t column, std::uint16_t row, int n) {
    matrix.StartRow(column, row);
    std::string got;
    for (int i = 0; i < n; ++i)
      got += std::to_string(matrix.NextThreshold()) + " ";
    return got;
  };
  EXPECT_EQ(next(2, 1, 5), "6 7 4 5 6 ");
  EXPECT_EQ(next(6, 1, 5), "6 7 4 5 6 ");  // a column past the width wraps
  EXPECT_EQ(next(0, 7, 2), "12 13 ");      // and so does a row
  std::uint8_t row[4];
  matrix.CopyRotatedRow(row, 3, 2);
  EXPECT_EQ(Hex(std::string(row, row + 4)), "0B 08 09 0A");
  matrix.SetCell(4, 0, 99);  // outside: nothing
  matrix.SetCell(1, 1, 99);
  std::uint8_t all[64] = {};
  EXPECT_EQ(matrix.CopyAll(all, 8, 8), 16u);  // never past the cells
  EXPECT_EQ(std::count(all, all + 64, 99) + all[15], 1 + 15);
  EXPECT_EQ(GDitherMatrix().NextThreshold(), 0);
  EXPECT_EQ(GDitherMatrix(0, 5, cells, 1, 0).GetHeight(), 0);  // a side of 0: no cells
}

TEST(DitherMatrix, FindInList) {
  MPersistentComposite list;
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 1, 1, 0, 0, 0, 0));       // 0
  list.AddChild(new GPaletteTable());                                      // 1, passed over
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 1, 2, 3, 4, 7, 0));       // 2
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 1, 2, 3, 4, 0xFFFF, 0));  // 3, flagged
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 2, 2, 5, 0, 0, 0));       // 4
  const struct {
    std::uint16_t p1, p2, s1, s2, word;
    std::int32_t start;
    bool flagged;
    int found;  // -1: none
  } cases[] = {
      {1, 1, 9, 9, 9, -1, false, 0},  // its selectors and word 0 match anything
      {1, 2, 3, 4, 7, -1, false, 2},  {1, 2, 0, 0, 0, -1, false, 2},  // search 0s match anything
      {1, 2, 3, 5, 7, -1, false, -1}, {1, 2, 3, 4, 0, 2, false, 3},   // after entry 2
      {1, 2, 3, 4, 7, 2, false, -1},  {1, 2, 3, 4, 7, -1, true, 3},   // flagged: word plays no part
      {1, 2, 3, 9, 7, -1, true, -1},  {2, 2, 5, 1, 0, -1, false, 4},
      {2, 2, 5, 1, 0, 4, false, -1},  {2, 2, 5, 1, 0, -99, false, 4},
  };
  for (const auto& c : cases) {
    const GDitherMatrix* found =
        GDitherMatrix::FindInList(c.p1, c.p2, c.s1, c.s2, c.word, list, c.start, c.flagged);
    EXPECT_EQ(found, c.found < 0 ? nullptr : list.Children()[c.found].Get())
        << c.p1 << c.p2 << " " << c.s1 << c.s2 << " " << c.word << " from " << c.start;
  }
}

TEST(BitmapRowSource, ModesPalettesAndBounds) {
  // Red, white / black, green (grey 151 = 97).
  GBitmap color(MakeImp(8, 3, 2, "FF 00 00 FF FF FF | 00 00 00 00 FF 00"));
  GBitmap indexed(MakeImp(8, 1, 2, "00 01 | 02 03",
                          new GPaletteTable(std::vector<GPaletteEntry>{{10, 20, 30, 255}})));
  const struct {
    const GBitmap* bitmap;
    std::uint32_t mode;
    int bits;
    int palette_red;  // -1: none
    const char* rows;
  } cases[] = {
      {&color, 0, 8, -1, "0 1: 4C FF | 1 1: 00 97"},
      {&color, 4, 8, -1, "0 1: B3 00 | 1 1: FF 68"},
      {&color, 1, 8, -1, "0 1: B3 00 | 1 1: FF 68"},
      {&color, 2, 24, -1, "0 1: FF 00 00 FF FF FF | 1 1: 00 00 00 00 FF 00"},
      {&indexed, 1, 8, 245, "0 1: 00 01 | 1 1: 02 03"},  // the palette complemented
      {&indexed, 4, 8, 10, "0 1: FF FE | 1 1: FD FC"},
  };
  for (const auto& c : cases) {
    GBitmapRowSource source({0, 0, 2, 2}, *c.bitmap, c.mode);
    EXPECT_EQ(source.Begin(), 1u);
    EXPECT_EQ(source.GetBitsPerPixel(), c.bits);
    EXPECT_EQ(source.GetPalette() ? source.GetPalette()->GetEntry(0).red : -1, c.palette_red);
    EXPECT_EQ(DrainRows(source), c.rows) << "mode " << c.mode;
  }
  GBitmapRowSource skipping({1, 0, 2, 2}, indexed, 0);
  skipping.SkipRows(1);
  EXPECT_EQ(DrainRows(skipping), "1 1: 03");
  for (GShortRect outside :
       {GShortRect{0, 0, 3, 2}, GShortRect{-1, 0, 1, 1}, GShortRect{0, 1, 2, 0}}) {
    GBitmapRowSource source(outside, indexed, 0);
    EXPECT_EQ(source.Begin(), 0u);
    EXPECT_EQ(DrainRows(source), "");
  }
}

TEST(ClipRowSource, WindowsShiftsAndMasks) {
  // Four rows of 16 pixels: AA 55, FF 00, 0F F0, 12 34 (1 bit per pixel),
  // or the same bytes as the first 4 of 16 pixels of 4 bits.
  const struct {
    const char* name;
    std::uint8_t bits;
    GShortRect clip;
    std::uint32_t second_value;
    int mask;
    const char* rows;  // "" when the stage is not ready
  } cases[] = {
      {"the bounds themselves", 1, {0, 0, 16, 4}, 0, 0, ""},
      {"more than the bounds", 1, {-5, -5, 40, 40}, 0, 0, ""},
      {"beside the bounds", 1, {16, 0, 20, 4}, 0, 0, ""},
      {"second value set", 1, {3, 1, 8, 3}, 1, 0, ""},
      // Rows 1 and 2, pixels 3 to 7 (shifted 3 bits): 11111, 01111.
      {"5 pixels of 1 bit", 1, {3, 1, 8, 3}, 0, 0xF8, "0 1: F8 | 1 1: 78"},
      {"8 pixels of 1 bit", 1, {0, 0, 8, 4}, 0, 0, "0 1: AA | 1 1: FF | 2 1: 0F | 3 1: 12"},
      // Nibbles 1 to 3 (shifted 4 bits).
      {"3 pixels of 4 bits",
       4,
       {1, 0, 4, 4},
       0,
       0xF0,
       "0 1: A5 50 | 1 1: F0 00 | 2 1: FF 00 | 3 1: 23 40"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::MemoryRowSource upstream(
        {Bytes("AA 55"), Bytes("FF 00"), Bytes("0F F0"), Bytes("12 34")}, 16, c.bits);
    GClipToSingleRectangle clip(c.clip, 0, c.second_value, 0);
    GClipRowSource stage(&clip);
    stage.SetUpstream(&upstream);
    EXPECT_EQ(stage.Begin(), *c.rows ? 1u : 0u);
    EXPECT_EQ(stage.GetLastByteMask(), c.mask);
    EXPECT_EQ(DrainRows(stage), c.rows);
    if (!*c.rows) continue;
    GShortRect window;
    stage.GetBounds(window);
    EXPECT_EQ(window, c.clip);
    EXPECT_EQ(stage.GetMaxRowBytes(), c.bits == 1 ? 3u : 9u);  // the bounds' row and a spare byte
  }

  // Repeated rows: the first reaches into the window from above, the
  // second is cut to the rows left in it.
  testing_support::MemoryRowSource repeated({Bytes("01 02 03 04"), Bytes("05 06 07 08")}, 4, 8,
                                            {2, 4});
  GClipToSingleRectangle band({1, 1, 3, 4}, 0, 0, 0);
  GClipRowSource cut(&band);
  cut.SetUpstream(&repeated);
  ASSERT_EQ(cut.Begin(), 1u);
  EXPECT_EQ(DrainRows(cut), "0 1: 02 03 | 1 2: 06 07");
}

TEST(DitherRowSource, DithersEachRowWithItsOwnThresholds) {
  const GPaletteTable white_black(std::vector<GPaletteEntry>{{255, 255, 255, 255}, {0, 0, 0, 255}});
  const struct {
    std::uint8_t bits;
    GShortRect bounds;
    const char* row;
    std::uint8_t repeat, matrix_width, matrix_height;
    const char* cells;
    const char* rows;  // "" when the stage is not ready
    const GPaletteTable* palette = nullptr;
  } cases[] = {
      // By hand: 0 < 100, 128 < 200, 255 >= 100, 200 >= 200: 0011.
      {8, {0, 0, 4, 1}, "00 80 FF C8", 1, 2, 1, "64 C8", "0 1: 30"},
      // One row standing for 4, over a column of thresholds 10 20 30 40,
      // from y phase 0 and 1.
      {8, {0, 0, 1, 4}, "19", 4, 1, 4, "0A 14 1E 28", "0 1: 80 | 1 1: 80 | 2 1: 00 | 3 1: 00"},
      {8, {0, 1, 1, 5}, "19", 4, 1, 4, "0A 14 1E 28", "0 1: 80 | 1 1: 00 | 2 1: 00 | 3 1: 80"},
      // Standing for 6: the rows one matrix height apart come out alike.
      {8,
       {0, 1, 1, 7},
       "19",
       6,
       1,
       4,
       "0A 14 1E 28",
       "0 1: 80 | 1 1: 00 | 2 1: 00 | 3 1: 80 | 4 1: 80 | 5 1: 00"},
      // 1-bit pixels take the palette's grey at every bit position; without
      // a palette 1 is white, and 4-bit levels 15, 0, 8, 15 are spread over
      // 255: 255, 0, 136, 255.
      {1, {0, 0, 8, 1}, "F0", 1, 1, 1, "80", "0 1: 0F", &white_black},
      {1, {0, 0, 8, 1}, "F0", 1, 1, 1, "80", "0 1: F0"},
      {4, {0, 0, 4, 1}, "F0 8F", 1, 1, 1, "80", "0 1: B0"},
      // A matrix 100 wide: its one high threshold meets pixels 96 and 196
      // from x phase 3, pixels 2 and 102 from x phase 97 (left -3).
      {8, {3, 0, 203, 1}, "C8*200", 1, 100, 1, "00*99 FF", "0 1: FF*12 7F FF*11 F7"},
      {8, {-3, 0, 197, 1}, "C8*200", 1, 100, 1, "00*99 FF", "0 1: DF FF*11 FD FF*12"},
      // Not ready: 2 bits per pixel, a matrix without cells.
      {2, {0, 0, 4, 1}, "00", 1, 1, 1, "80", ""},
      {8, {0, 0, 1, 1}, "00", 1, 0, 1, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    testing_support::MemoryRowSource upstream({Bytes(c.row)}, 0, c.bits, {c.repeat});
    upstream.bounds = c.bounds;
    upstream.palette = c.palette;
    GDitherMatrix matrix(c.matrix_width, c.matrix_height, Bytes(c.cells).data(), 0, 0);
    GDitherRowSource stage(c.bounds, &matrix, nullptr);
    stage.SetUpstream(&upstream);
    EXPECT_EQ(stage.Begin(), *c.rows ? 1u : 0u);
    EXPECT_EQ(stage.GetBitsPerPixel(), 1);
    EXPECT_EQ(stage.GetPalette()->GetEntry(1), kBlackWhite[1]);
    EXPECT_EQ(DrainRows(stage), Expand(c.rows));
  }
  GDitherRowSource no_matrix({0, 0, 1, 1}, nullptr, &DefaultGreyConverter);
  EXPECT_EQ(no_matrix.Begin(), 0u);
}

TEST(RowStages, FuzzCorpusReplays) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
