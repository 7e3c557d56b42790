// Bitmaps, palettes and dither matrices (stored forms derived by hand,
// restores of old versions and of damaged data, reading rows), and the
// three row stages: the bitmap source, the clip window and the dither.
#include "output/raster/row_stages.h"

#include <gtest/gtest.h>

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
using testing_support::Hex;
using testing_support::Row;
using testing_support::Unhex;

// Spaced hex with repeats ("FF*3": FF FF FF).
std::string Expand(const std::string& hex) {
  std::string out;
  for (std::size_t at = 0; at < hex.size();) {
    const std::size_t end = std::min(hex.find(' ', at), hex.size());
    const std::string token = hex.substr(at, end - at);
    for (int n = token.size() > 3 ? std::stoi(token.substr(3)) : token.empty() ? 0 : 1; n > 0; --n)
      out += (out.empty() ? "" : " ") + token.substr(0, 2);
    at = end + 1;
  }
  return out;
}

Row Bytes(const std::string& hex) {
  const std::string bytes = Unhex(Expand(hex));
  return Row(bytes.begin(), bytes.end());
}

// An implementation owning `rows` (hex, one per row), each padded to 4.
GBitmapImp* MakeImp(std::uint16_t bits, std::uint16_t samples, std::uint32_t width,
                    const std::vector<std::string>& rows, GPaletteTable* palette = nullptr) {
  const std::uint64_t stride = PaddedRowBytes(width, bits, samples);
  auto block = std::make_unique<std::uint8_t[]>(std::max<std::uint64_t>(stride * rows.size(), 64));
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const Row row = Bytes(rows[r]);
    std::copy(row.begin(), row.end(), block.get() + r * stride);
  }
  return new GBitmapImp(width, std::uint32_t(rows.size()), bits, samples, std::move(block),
                        palette);
}

// Every row a source hands out as "index repeat: hex".
std::vector<std::string> Drain(GRasterRowSource& source) {
  std::vector<std::string> rows;
  for (int guard = 0; guard < 64; ++guard) {
    std::vector<std::uint8_t> row(source.GetMaxRowBytes() + 1);
    std::uint16_t index = 0;
    std::uint32_t length = 0;
    std::uint8_t repeat = 1, delivered = 1;
    source.GetRow(row.data(), index, length, repeat, delivered);
    if (length == 0) break;
    EXPECT_LE(length, source.GetMaxRowBytes());
    rows.push_back(std::to_string(index) + " " + std::to_string(repeat) + ": " +
                   Hex(std::string(row.begin(), row.begin() + length)));
  }
  return rows;
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
  EXPECT_EQ(matrix.StoredSize(), 12u + 26);  // the base part is 12 bytes

  GPaletteTable palette(kBlackWhite);
  palette.SetSerialNumber(0);
  // Version 1, count 2, black {0 0 0 FF}, white {FF FF FF FF}.
  ExpectStoredForm(
      palette, "88 88 00 00 29 02 " + kBase + "01 00 00 00 02 00 00 00 00 00 00 FF FF FF FF FF");

  std::unique_ptr<GBitmapImp> imp(MakeImp(1, 1, 8, {"AA"}));
  imp->SetSerialNumber(0);
  ExpectStoredForm(*imp, "88 88 00 00 " + kImp);

  // The handle: its version 1, then the implementation as a reference.
  GBitmap bitmap(imp.release());
  const std::string file = testing_support::SaveToFileBytes(&bitmap);
  EXPECT_EQ(Hex(file), "88 88 00 00 27 02 01 00 00 00 " + kImp);
  EXPECT_EQ(bitmap.GraphStoreSize(), file.size());
  for (auto encoding : testing_support::kAllEncodings) {
    bool ok = false;
    std::unique_ptr<RWCollectable> back(testing_support::RestoreFromStreamBytes(
        testing_support::SaveToStreamBytes(&bitmap, encoding), encoding, &ok));
    EXPECT_TRUE(ok && back && back->IsEqual(&bitmap)) << testing_support::EncodingName(encoding);
  }
}

TEST(Bitmap, HandlesSharingPixelsAreStoredOnceAndComeBackShared) {
  GBitmap first(MakeImp(8, 1, 3, {"01 02 03"}));
  GBitmap second(first);
  EXPECT_EQ(second.GetImplementation(), first.GetImplementation());
  RWSlistCollectables list;
  list.Append(&first);
  list.Append(&second);
  const std::string bytes = testing_support::SaveToFileBytes(&list);
  bool ok = false;
  RWCollectable* back = testing_support::RestoreFromFileBytes(bytes, &ok);
  auto* restored = dynamic_cast<RWSlistCollectables*>(back);
  ASSERT_TRUE(ok && restored && restored->Count() == 2);
  auto* a = dynamic_cast<GBitmap*>(restored->At(0));
  auto* b = dynamic_cast<GBitmap*>(restored->At(1));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->GetImplementation(), b->GetImplementation());
  EXPECT_TRUE(a->IsEqual(&first));
  testing_support::DeleteGraph(back);
}

TEST(Bitmap, RestoresOldMatricesAndRefusesBadForms) {
  struct Case {
    const char* name;
    std::string stored;  // after the class id and base part
    bool ok;
    std::int16_t width;
    std::uint16_t second_parameter;
    std::uint32_t extra;
  };
  const std::string v1 = "01 00 00 00 02 00 01 00 10 20 05 00";
  const Case cases[] = {
      // Version 1: the second parameter is the first, the rest stays 0.
      {"version 1", v1, true, 2, 5, 0},
      {"version 2 adds the extra value", "02 00 00 00 02 00 01 00 10 20 05 00 09 00 00 00", true, 2,
       5, 9},
      {"a later version reads as 3",
       "04 00 00 00 01 00 01 00 10 05 00 00 00 00 00 07 00 00 00 00 00 00 00", true, 1, 7, 0},
      {"version 0 reads nothing", "00 00 00 00", true, 0, 0, 0},
      {"no cells", "01 00 00 00 00 00 00 00 05 00", true, 0, 5, 0},
      {"a width of 0 with a height", "01 00 00 00 00 00 02 00 05 00", false, 0, 0, 0},
      {"a width of 256", "01 00 00 00 00 01 01 00 05 00", false, 0, 0, 0},
      {"a negative height", "01 00 00 00 01 00 FF FF 05 00", false, 0, 0, 0},
      {"thresholds cut short", "01 00 00 00 02 00 02 00 10 20", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    model_testing::Restored back = RestoreHex("88 88 00 00 06 03 " + kBase + c.stored);
    auto* matrix = dynamic_cast<GDitherMatrix*>(back.object);
    ASSERT_NE(matrix, nullptr);
    EXPECT_EQ(back.ok, c.ok);
    if (c.ok) {
      EXPECT_EQ(matrix->GetWidth(), c.width);
      EXPECT_EQ(matrix->GetSecondParameter(), c.second_parameter);
      EXPECT_EQ(matrix->GetExtraValue(), c.extra);
      EXPECT_EQ(matrix->GetFirstSelector(), 0);
    } else {
      EXPECT_EQ(matrix->GetThresholds(), nullptr);  // nothing taken from a refused form
    }
    FreeRestored(back.object);
  }

  // Bitmaps: a byte count that is not the form's, a count no block is
  // allocated for, a palette above 256 entries, references of the wrong
  // class (a matrix as the palette, a palette as the implementation).
  const std::string form =
      "28 02 " + kBase + "01 00 00 00 08 00 00 00 01 00 00 00 01 00 01 00 00 00 00 00 ";
  const std::string bad[] = {
      form + "FF FF 00 00 00 00 05 00 00 00 AA 00 00 00 00",
      form + "FF FF 00 00 00 00 FF FF FF FF AA",
      form + "29 02 " + kBase + "01 00 00 00 01 01 00 00 00 00 00 00",
      form + kMatrix + " 04 00 00 00 AA 00 00 00",
      "27 02 01 00 00 00 29 02 " + kBase + "01 00 00 00 00 00 00 00",
  };
  testing_support::LeakCheckDisabler refused_objects_are_not_freed;
  for (const std::string& stored : bad) {
    bool ok = true;
    RWCollectable* back =
        testing_support::RestoreFromFileBytes(Unhex("88 88 00 00 " + stored), &ok);
    EXPECT_FALSE(ok) << stored;
    if (auto* bitmap = dynamic_cast<GBitmap*>(back)) {
      EXPECT_EQ(bitmap->GetImplementation(), nullptr);
      delete bitmap;
    } else {
      EXPECT_EQ(dynamic_cast<GBitmapImp&>(*back).GetByteCount(), 0u);
      FreeRestored(back);
    }
  }
}

TEST(Bitmap, DamagedMatricesAndBitmapsFailCleanly) {
  const std::uint8_t cells[] = {1, 2, 3, 4, 5, 6};
  GDitherMatrix matrix(3, 2, cells, 7, 8, 1, 2, 3, 9);
  output_testing::ExpectDamageFailsCleanly(matrix, 37, 1250);
  GBitmapImp* imp = MakeImp(4, 1, 5, {"12 34 50", "67 89 A0"}, new GPaletteTable(kBlackWhite));
  GBitmap bitmap(imp);
  output_testing::ExpectDamageFailsCleanly(*imp, 38, 1250);
  const std::string whole = testing_support::SaveToFileBytes(&bitmap);
  for (std::size_t n = 0; n < whole.size(); ++n) {
    bool ok = true;
    RWCollectable* back = testing_support::RestoreFromFileBytes(whole.substr(0, n), &ok);
    EXPECT_FALSE(ok) << n;
    delete back;
  }
}

TEST(Bitmap, EffectiveBitsGrayAndRowBytes) {
  struct Form {
    std::uint16_t bits, samples;
    int effective;
  };
  for (Form f : {Form{16, 1, 24}, Form{1, 3, 4}, Form{8, 1, 8}, Form{32, 1, 24}, Form{8, 3, 24},
                 Form{2, 1, 2}}) {
    const std::uint8_t* blank = nullptr;
    GBitmap bitmap(new GBitmapImp(10, 1, f.bits, f.samples, blank, nullptr));
    EXPECT_EQ(bitmap.GetBitsPerPixel(), f.effective) << f.bits << "x" << f.samples;
    EXPECT_EQ(bitmap.GetRowByteCount(3, 13), (f.effective * 10u + 7) / 8);
  }
  EXPECT_EQ(GBitmap().GetBitsPerPixel(), 0);
  EXPECT_EQ(ColorToGray(255, 255, 255), 255);
  EXPECT_EQ(ColorToGray(0, 0, 0), 0);
  EXPECT_EQ(ColorToGray(255, 0, 0), 76);
}

TEST(Bitmap, ReadsRowsInEveryForm) {
  struct Case {
    std::uint16_t bits, samples;
    std::uint32_t width;
    const char* pixels;
    std::int32_t left, right, row;
    std::uint32_t mode;
    const char* expected;
  };
  const Case cases[] = {
      // 1-bit pixels 3 to 11 of 1010 1010 0101 0101, moved to the start.
      {1, 1, 16, "AA 55", 3, 12, 0, 0, "52 80"},
      {2, 1, 8, "1B E4", 2, 7, 0, 0, "BE 40"},
      {4, 1, 8, "12 34 56 78", 1, 4, 0, 0, "23 40"},
      {1, 3, 2, "A5", 1, 2, 0, 0, "50"},
      // Red, black, white: grey in modes 0, 1 and 4, R G B in others.
      {8, 3, 3, "FF 00 00 00 00 00 FF FF FF", 0, 3, 0, 0, "4C 00 FF"},
      {8, 3, 3, "FF 00 00 00 00 00 FF FF FF", 0, 3, 0, 4, "4C 00 FF"},
      {8, 3, 3, "FF 00 00 00 00 00 FF FF FF", 1, 3, 0, 2, "00 00 00 FF FF FF"},
      // 5-5-5: red, green, blue at 31, then 16 each (16 << 3 | 16 >> 2 = 84).
      {16, 1, 4, "00 7C E0 03 1F 00 10 42", 0, 4, 0, 2, "FF 00 00 00 FF 00 00 00 FF 84 84 84"},
      // B G R x: red, then blue (grey 28).
      {32, 1, 2, "00 00 FF 00 FF 00 00 00", 0, 2, 0, 0, "4C 1C"},
      {32, 1, 2, "00 00 FF 00 FF 00 00 00", 0, 2, 0, 3, "FF 00 00 00 00 FF"},
      // Cut to the bitmap; nothing outside it.
      {8, 1, 3, "01 02 03", 1, 10, 0, 0, "02 03"},
      {8, 1, 3, "01 02 03", -5, 1, 0, 0, "01"},
      {8, 1, 3, "01 02 03", 0, 3, 1, 0, ""},
      {8, 1, 3, "01 02 03", 2, 2, 0, 0, ""},
      {8, 2, 3, "01 02 03", 0, 3, 0, 0, ""},  // an unusable form
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pixels) + " from " + std::to_string(c.left));
    GBitmap bitmap(MakeImp(c.bits, c.samples, c.width, {c.pixels}));
    std::vector<std::uint8_t> out(64, 0xEE);
    const std::uint32_t n = bitmap.ReadRow(out.data(), c.left, c.right, c.row, c.mode);
    EXPECT_EQ(Hex(std::string(out.begin(), out.begin() + n)), c.expected);
  }
}

TEST(Bitmap, CopiesShareAndBorrowedPixelsBecomeOwned) {
  std::uint8_t pixels[4] = {1, 2, 3, 0};
  GBitmap borrowed(new GBitmapImp(3, 1, 8, 1, pixels, nullptr));
  GBitmap copy(borrowed);
  EXPECT_FALSE(copy.GetImplementation()->OwnsData());
  EXPECT_TRUE(copy.MakeDataOwned());
  EXPECT_TRUE(borrowed.GetImplementation()->OwnsData());  // one shared implementation
  pixels[0] = 9;
  std::uint8_t out[3];
  EXPECT_EQ(borrowed.ReadRow(out, 0, 3, 0, 0), 3u);
  EXPECT_EQ(out[0], 1);
  borrowed.SetChainValue(77);
  EXPECT_EQ(copy.GetImplementation()->GetChainValue(), 77u);
}

TEST(DitherMatrix, CellsRowsAndCopies) {
  std::uint8_t cells[16];
  for (int i = 0; i < 16; ++i)
    cells[i] = std::uint8_t(i);
  GDitherMatrix matrix(4, 4, cells, 1, 0);
  EXPECT_EQ(matrix.GetCell(3, 3), 15);
  EXPECT_EQ(matrix.GetCell(4, 0), 0);
  EXPECT_EQ(matrix.GetCell(0, 4), 0);
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
  std::uint8_t all[64] = {};
  EXPECT_EQ(matrix.CopyAll(all, 8, 8), 16u);  // never past the cells
  EXPECT_EQ(all[15], 15);
  matrix.SetCell(4, 0, 99);
  matrix.SetCell(1, 1, 99);
  EXPECT_EQ(matrix.GetCell(1, 1), 99);
  GDitherMatrix copy(matrix);
  EXPECT_TRUE(copy.IsEqualContent(&matrix));
  copy.SetCell(0, 0, 1);
  EXPECT_FALSE(copy.IsEqualContent(&matrix));
  GDitherMatrix empty;
  EXPECT_EQ(empty.NextThreshold(), 0);
  EXPECT_EQ(empty.CopyAll(all, 4, 4), 0u);
  EXPECT_EQ(GDitherMatrix(0, 5, cells, 1, 0).GetHeight(), 0);  // a side of 0: no cells
}

TEST(DitherMatrix, FindInList) {
  MPersistentComposite list;
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 1, 1, 0, 0, 0, 0));       // 0
  list.AddChild(new GPaletteTable());                                      // 1, passed over
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 1, 2, 3, 4, 7, 0));       // 2
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 1, 2, 3, 4, 0xFFFF, 0));  // 3, flagged
  list.AddChild(new GDitherMatrix(1, 1, nullptr, 2, 2, 5, 0, 0, 0));       // 4
  struct Case {
    std::uint16_t p1, p2, s1, s2, word;
    std::int32_t start;
    bool flagged;
    int found;  // -1: none
  };
  const Case cases[] = {
      {1, 1, 9, 9, 9, -1, false, 0},  // its selectors and word 0 match anything
      {1, 2, 3, 4, 7, -1, false, 2},  {1, 2, 0, 0, 0, -1, false, 2},  // search 0s match anything
      {1, 2, 3, 5, 7, -1, false, -1}, {1, 2, 3, 4, 0, 2, false, 3},   // after entry 2
      {1, 2, 3, 4, 7, 2, false, -1},  {1, 2, 3, 4, 7, -1, true, 3},   // flagged: word plays no part
      {1, 2, 3, 9, 7, -1, true, -1},  {2, 2, 5, 1, 0, -1, false, 4},
      {2, 2, 5, 1, 0, 4, false, -1},  {2, 2, 5, 1, 0, -99, false, 4},
  };
  for (const Case& c : cases) {
    const GDitherMatrix* found =
        GDitherMatrix::FindInList(c.p1, c.p2, c.s1, c.s2, c.word, list, c.start, c.flagged);
    EXPECT_EQ(found, c.found < 0 ? nullptr : list.Children()[c.found].Get())
        << c.p1 << c.p2 << " " << c.s1 << c.s2 << " " << c.word << " from " << c.start;
  }
}

TEST(BitmapRowSource, ModesPalettesAndBounds) {
  // Red, white / black, green (grey 151 = 97).
  GBitmap color(MakeImp(8, 3, 2, {"FF 00 00 FF FF FF", "00 00 00 00 FF 00"}));
  GBitmap indexed(MakeImp(8, 1, 2, {"00 01", "02 03"},
                          new GPaletteTable(std::vector<GPaletteEntry>{{10, 20, 30, 255}})));
  struct Case {
    const GBitmap* bitmap;
    std::uint32_t mode;
    int bits;
    int palette_red;  // -1: none
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {&color, 0, 8, -1, {"0 1: 4C FF", "1 1: 00 97"}},
      {&color, 4, 8, -1, {"0 1: B3 00", "1 1: FF 68"}},
      {&color, 1, 8, -1, {"0 1: B3 00", "1 1: FF 68"}},
      {&color, 2, 24, -1, {"0 1: FF 00 00 FF FF FF", "1 1: 00 00 00 00 FF 00"}},
      {&indexed, 1, 8, 245, {"0 1: 00 01", "1 1: 02 03"}},  // the palette complemented
      {&indexed, 4, 8, 10, {"0 1: FF FE", "1 1: FD FC"}},
  };
  for (const Case& c : cases) {
    GBitmapRowSource source({0, 0, 2, 2}, *c.bitmap, c.mode);
    EXPECT_EQ(source.Begin(), 1u);
    EXPECT_EQ(source.GetBitsPerPixel(), c.bits);
    EXPECT_EQ(source.GetPalette() ? source.GetPalette()->GetEntry(0).red : -1, c.palette_red);
    EXPECT_EQ(Drain(source), c.rows) << "mode " << c.mode;
  }
  GBitmapRowSource skipping({1, 0, 2, 2}, indexed, 0);
  skipping.SkipRows(1);
  EXPECT_EQ(Drain(skipping), std::vector<std::string>{"1 1: 03"});
  for (GShortRect outside :
       {GShortRect{0, 0, 3, 2}, GShortRect{-1, 0, 1, 1}, GShortRect{0, 1, 2, 0}}) {
    GBitmapRowSource source(outside, indexed, 0);
    EXPECT_EQ(source.Begin(), 0u);
    EXPECT_TRUE(Drain(source).empty());
  }
}

TEST(ClipRowSource, WindowsShiftsAndMasks) {
  struct Case {
    const char* name;
    std::uint8_t bits;
    GShortRect clip;
    std::uint32_t second_value;
    bool ready;
    int shift = 0, mask = 0;
  };
  const Case cases[] = {
      {"the bounds themselves", 1, {0, 0, 16, 4}, 0, false},
      {"more than the bounds", 1, {-5, -5, 40, 40}, 0, false},
      {"beside the bounds", 1, {16, 0, 20, 4}, 0, false},
      {"second value set", 1, {3, 1, 8, 3}, 1, false},
      {"5 pixels of 1 bit, 3 in", 1, {3, 1, 8, 3}, 0, true, 3, 0xF8},
      {"8 pixels of 1 bit", 1, {0, 0, 8, 4}, 0, true, 0, 0},
      {"3 pixels of 4 bits, 1 in", 4, {1, 0, 4, 4}, 0, true, 4, 0xF0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing_support::MemoryRowSource upstream({}, 16, c.bits);
    upstream.bounds = {0, 0, 16, 4};
    GClipToSingleRectangle clip(c.clip, 0, c.second_value, 0);
    GClipRowSource stage(&clip);
    stage.SetUpstream(&upstream);
    EXPECT_EQ(stage.Begin(), c.ready ? 1u : 0u);
    if (!c.ready) continue;
    EXPECT_EQ(stage.GetBitShift(), c.shift);
    EXPECT_EQ(stage.GetLastByteMask(), c.mask);
  }

  // Rows 1 and 2 of a 16-pixel 1-bit image, pixels 3 to 7: FF gives 11111
  // (F8), 0F gives 01111 (78); the row below the window is not handed on.
  testing_support::MemoryRowSource rows(
      {Bytes("AA 55"), Bytes("FF 00"), Bytes("0F F0"), Bytes("12 34")}, 16, 1);
  GClipToSingleRectangle clip({3, 1, 8, 3}, 0, 0, 0);
  GClipRowSource stage(&clip);
  stage.SetUpstream(&rows);
  ASSERT_EQ(stage.Begin(), 1u);
  EXPECT_EQ(stage.GetMaxRowBytes(), 3u);  // a spare byte for the shift
  GShortRect window;
  stage.GetBounds(window);
  EXPECT_EQ(window, (GShortRect{3, 1, 8, 3}));
  EXPECT_EQ(Drain(stage), (std::vector<std::string>{"0 1: F8", "1 1: 78"}));

  // Repeated rows: the first reaches into the window from above, the
  // second is cut to the rows left in it.
  testing_support::MemoryRowSource repeated({Bytes("01 02 03 04"), Bytes("05 06 07 08")}, 4, 8,
                                            {2, 4});
  GClipToSingleRectangle band({1, 1, 3, 4}, 0, 0, 0);
  GClipRowSource cut(&band);
  cut.SetUpstream(&repeated);
  ASSERT_EQ(cut.Begin(), 1u);
  EXPECT_EQ(Drain(cut), (std::vector<std::string>{"0 1: 02 03", "1 2: 06 07"}));
}

TEST(DitherRowSource, DithersEachRowWithItsOwnThresholds) {
  struct Case {
    const char* name;
    std::uint8_t bits;
    const GPaletteTable* palette;
    GShortRect bounds;
    std::vector<std::string> rows;
    std::vector<std::uint8_t> repeats;
    std::uint8_t matrix_width, matrix_height;
    std::vector<std::uint8_t> cells;
    std::vector<std::string> expected;
  };
  const GPaletteTable white_black(std::vector<GPaletteEntry>{{255, 255, 255, 255}, {0, 0, 0, 255}});
  std::vector<std::uint8_t> wide(100, 0);
  wide[99] = 255;
  const Case cases[] = {
      // 0 < 100, 128 < 200, 255 >= 100, 200 >= 200: 0011.
      {"by hand", 8, nullptr, {0, 0, 4, 1}, {"00 80 FF C8"}, {}, 2, 1, {100, 200}, {"0 1: 30"}},
      // One row standing for 4, over a column of thresholds 10 20 30 40.
      {"repeated",
       8,
       nullptr,
       {0, 0, 1, 4},
       {"19"},
       {4},
       1,
       4,
       {10, 20, 30, 40},
       {"0 1: 80", "1 1: 80", "2 1: 00", "3 1: 00"}},
      {"repeated, y phase 1",
       8,
       nullptr,
       {0, 1, 1, 5},
       {"19"},
       {4},
       1,
       4,
       {10, 20, 30, 40},
       {"0 1: 80", "1 1: 00", "2 1: 00", "3 1: 80"}},
      // 1-bit pixels take the palette's grey at every bit position.
      {"1 bit, palette", 1, &white_black, {0, 0, 8, 1}, {"F0"}, {}, 1, 1, {128}, {"0 1: 0F"}},
      {"1 bit, no palette", 1, nullptr, {0, 0, 8, 1}, {"F0"}, {}, 1, 1, {128}, {"0 1: F0"}},
      // 4-bit levels 15, 0, 8, 15 spread over 255: 255, 0, 136, 255.
      {"4 bits, no palette", 4, nullptr, {0, 0, 4, 1}, {"F0 8F"}, {}, 1, 1, {128}, {"0 1: B0"}},
      // A matrix 100 wide: its one high threshold meets pixels 96 and 196
      // from x phase 3, pixels 2 and 102 from x phase 97 (left -3).
      {"wider than 64",
       8,
       nullptr,
       {3, 0, 203, 1},
       {"C8*200"},
       {},
       100,
       1,
       wide,
       {"0 1: FF*12 7F FF*11 F7"}},
      {"negative left",
       8,
       nullptr,
       {-3, 0, 197, 1},
       {"C8*200"},
       {},
       100,
       1,
       wide,
       {"0 1: DF FF*11 FD FF*12"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Row> rows;
    for (const std::string& r : c.rows)
      rows.push_back(Bytes(r));
    testing_support::MemoryRowSource upstream(rows, 0, c.bits, c.repeats);
    upstream.bounds = c.bounds;
    upstream.palette = c.palette;
    GDitherMatrix matrix(c.matrix_width, c.matrix_height, c.cells.data(), 0, 0);
    GDitherRowSource stage(c.bounds, &matrix, nullptr);
    stage.SetUpstream(&upstream);
    ASSERT_EQ(stage.Begin(), 1u);
    EXPECT_EQ(stage.GetBitsPerPixel(), 1);
    EXPECT_EQ(stage.GetPalette()->GetEntry(1), kBlackWhite[1]);
    std::vector<std::string> expected;
    for (const std::string& row : c.expected)
      expected.push_back(row.substr(0, 5) + Expand(row.substr(5)));
    EXPECT_EQ(Drain(stage), expected);
  }

  // Not ready: a 2-bit source, a matrix without cells, no matrix.
  const std::uint8_t cell = 1;
  const GDitherMatrix one(1, 1, &cell, 0, 0), none;
  const std::pair<std::uint8_t, const GDitherMatrix*> refused[] = {
      {2, &one}, {8, &none}, {8, nullptr}};
  for (auto [bits, matrix] : refused) {
    testing_support::MemoryRowSource upstream({Bytes("00")}, 1, bits);
    GDitherRowSource stage({0, 0, 1, 1}, matrix, &DefaultGreyConverter);
    stage.SetUpstream(&upstream);
    EXPECT_EQ(stage.Begin(), 0u);
    EXPECT_TRUE(Drain(stage).empty());
  }
}

TEST(RowStages, FuzzCorpusReplays) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
