// The scaler, the row chain and its builder, and the raster graphics
// (stored form derived by hand, fitting to a clip, copies, damage).
#include <gtest/gtest.h>

#include "output/attributes/clip.h"
#include "output/color/gray.h"
#include "output/graphics/raster_graphic.h"
#include "output/raster/dither_matrix.h"
#include "output/raster/row_chain.h"
#include "output/raster/row_stages.h"
#include "tests/output/stored_forms.h"
#include "tests/support/raster_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using support::Row;
using testing_support::DrainRows;

// A bitmap owning its pixels: byte i of row y is `byte(i, y)`.
template <class Byte>
GBitmap MakeBitmap(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                   std::uint16_t samples, Byte byte) {
  const std::uint64_t stride = PaddedRowBytes(width, bits, samples);
  auto block = std::make_unique<std::uint8_t[]>(stride * height);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t i = 0; i < (width * bits * samples + 7) / 8; ++i)
      block[y * stride + i] = std::uint8_t(byte(i, y));
  return GBitmap(new GBitmapImp(width, height, bits, samples, std::move(block), nullptr));
}

// A clip: 0 none, 1 the rectangle, 2 the rectangle with its second value
// set, 3 the page.
std::unique_ptr<GClip> MakeClip(int kind, const GShortRect& rect) {
  if (kind == 3) return std::make_unique<GClipToPage>();
  return kind ? std::make_unique<GClipToSingleRectangle>(rect, 0, kind - 1, 0) : nullptr;
}

TEST(RasterScaler, ResizesRowsAcrossAndDownSkipsAndEnds) {
  const struct {
    std::uint8_t bits;
    std::int16_t sw, sh, dw, dh;
    std::uint16_t skip;
    const char* rows;  // the upstream's, one after the other
    const char* out;   // "" when Begin fails
  } cases[] = {
      // Step 2.5: p0 twice, p1 three times; step 0.40001: p0 and p3. Step
      // just under 1.6667: the sum's integer part goes 1, 3, 4 and the last
      // target pixel asks for a fourth pixel of three: the last is repeated.
      {8, 2, 1, 5, 1, 0, "10 20", "0 1: 10 10 20 20 20"},
      {8, 5, 1, 2, 1, 0, "10 20 30 40 50", "0 1: 10 40"},
      {8, 3, 1, 5, 1, 0, "10 20 30", "0 1: 10 20 20 30 30"},
      {8, 7, 1, 3, 1, 0, "10 20 30 40 50 60 70", "0 1: 10 40 60"},  // at 0.43, 1.71, 2.57
      // Step exactly 2: each bit or nibble twice, most significant first.
      {1, 4, 1, 8, 1, 0, "B0", "0 1: CF"},
      {4, 4, 1, 8, 1, 0, "12 34", "0 1: 11 22 33 44"},
      {1, 3, 1, 5, 1, 0, "A0", "0 1: 98"},  // 1 0 1 -> 1 0 0 1 1
      // Error accumulation from 2: growing 3 + 2 copies; shrinking moves
      // on while 5 >= error, landing first on p0, then on p2.
      {24, 2, 1, 5, 1, 0, "01 02 03 04 05 06", "0 1: 01 02 03 01 02 03 01 02 03 04 05 06 04 05 06"},
      {24, 5, 1, 2, 1, 0, "01 01 01 02 02 02 03 03 03 04 04 04 05 05 05", "0 1: 01 01 01 03 03 03"},
      // Down: repeat counts, skipped source rows, 8-bit counts split; skips
      // count target rows (4 of 7 pass row 0 and a third of row 1).
      {8, 1, 2, 1, 5, 0, "00 01", "0 3: 00 | 3 2: 01"},
      {8, 1, 3, 1, 7, 0, "00 01 02", "0 3: 00 | 3 2: 01 | 5 2: 02"},
      {8, 1, 5, 1, 2, 0, "00 01 02 03 04", "0 1: 00 | 1 1: 02"},
      {8, 1, 1, 1, 300, 0, "00", "0 255: 00 | 255 45: 00"},
      {8, 1, 3, 1, 7, 4, "00 01 02", "4 1: 01 | 5 2: 02"},
      {8, 1, 5, 1, 2, 1, "00 01 02 03 04", "1 1: 02"},
      {8, 1, 1, 1, 300, 100, "00", "100 200: 00"},
      // An upstream that ends early: blank rows up to the height.
      {8, 1, 4, 1, 4, 0, "AA BB", "0 1: AA | 1 1: BB | 2 1: 00 | 3 1: 00"},
      // Refused: no pixels in the source or the target; 2-bit rows across
      // (down alone they pass).
      {8, 0, 1, 4, 4, 0, "00", ""},
      {8, 4, 4, 4, -2, 0, "00", ""},
      {2, 4, 1, 8, 1, 0, "1B", ""},
      {2, 4, 1, 4, 2, 0, "1B", "0 2: 1B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    const std::string bytes = testing_support::Unhex(c.rows);
    const std::size_t size = std::max((c.bits * c.sw + 7) / 8, 1);
    std::vector<Row> rows;
    for (std::size_t at = 0; at < bytes.size(); at += size)
      rows.emplace_back(bytes.begin() + at, bytes.begin() + at + size);
    testing_support::MemoryRowSource upstream(rows, c.sw, c.bits);
    upstream.bounds.bottom = c.sh;
    GRasterScaler scaler({0, 0, c.dw, c.dh});
    EXPECT_EQ(scaler.Begin(), 0u);  // no upstream
    scaler.SetUpstream(&upstream);
    EXPECT_EQ(scaler.Begin(), *c.out ? 1u : 0u);
    scaler.SkipRows(c.skip);
    EXPECT_EQ(DrainRows(scaler, 400), c.out);
  }
}

// The stages of a chain by kind ("?" after one that does not pull from the
// one before it).
std::string Stages(const GRasterRowChain* chain) {
  if (!chain) return "none";
  std::string kinds;
  for (std::size_t i = 0; i < chain->GetStageCount(); ++i) {
    GRasterRowSource* stage = chain->GetStage(i);
    kinds += dynamic_cast<GBitmapRowSource*>(stage)     ? "source"
             : dynamic_cast<GRasterPassThrough*>(stage) ? " pass"
             : dynamic_cast<GRasterScaler*>(stage)      ? " scaler"
             : dynamic_cast<GDitherRowSource*>(stage)   ? " dither"
             : dynamic_cast<GClipRowSource*>(stage)     ? " clip"
                                                        : " encoder";
    if (i > 0 && stage->GetUpstream() != chain->GetStage(i - 1)) kinds += "?";
  }
  return kinds;
}

TEST(RasterSourceBuilder, ChoosesItsStagesByModeSizeClipAndDepth) {
  const GBitmap bitmaps[] = {MakeBitmap(10, 10, 8, 1, [](auto x, auto y) { return x * 10 + y; }),
                             MakeBitmap(10, 10, 1, 1, [](auto, auto) { return 0x5A; }),
                             MakeBitmap(10, 10, 2, 1, [](auto, auto) { return 0x1B; })};
  const std::uint8_t cells[] = {0x80};
  const GDitherMatrix matrix(1, 1, cells, 0, 0);
  const struct {
    int bits;  // 8, 1 or 2
    std::int16_t width, height;
    std::uint32_t mode, resize_switch;
    GShortRect clip;  // none when empty
    const char* stages;
    std::int16_t narrowed_left;
  } cases[] = {
      {8, 10, 10, 1, 0, {}, "source pass dither encoder", 0},
      {8, 5, 5, 0, 0, {}, "source encoder", 0},
      {8, 20, 20, 0, 0, {}, "source scaler encoder", 0},
      {8, 10, 10, 0, 1, {}, "source pass encoder", 0},
      // Mode 0 with a clip: a scaler; page columns 2 to 10 are source 2 to 10.
      {8, 10, 10, 0, 1, {2, 0, 40, 40}, "source scaler clip encoder", 2},
      // Not resized: the source reads page columns 1 to 5 as source 2 to 10.
      {8, 5, 5, 0, 0, {1, 0, 5, 5}, "source encoder", 2},
      // Mode 2: 1 byte x 400 > 100 for 8 bits; 1 / 8 = 0 bytes for 1 bit.
      {8, 20, 20, 2, 0, {}, "source scaler dither encoder", 0},
      {1, 20, 20, 2, 0, {}, "source dither encoder", 0},
      // 2-bit rows are not resized across (no chain), but down; the dither
      // stage cannot take them and is left out. Nothing visible, no chain.
      {2, 20, 10, 1, 0, {}, "none", 0},
      {2, 10, 20, 1, 0, {}, "source scaler encoder", 0},
      {8, 20, 20, 1, 0, {30, 0, 40, 40}, "none", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stages);
    const GBitmap& bitmap = bitmaps[c.bits == 8 ? 0 : c.bits];
    const std::unique_ptr<GClip> clip = MakeClip(!c.clip.IsEmpty(), c.clip);
    GShortRect source{0, 0, 10, 10};
    std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
        {0, 0, c.width, c.height}, source, clip.get(), bitmap, std::make_unique<GRowPadder>(1, 0),
        {0, c.mode, c.resize_switch, 77, &matrix, 0, 0});
    EXPECT_EQ(Stages(chain.get()), c.stages);
    if (!chain) continue;
    EXPECT_EQ(source, (GShortRect{c.narrowed_left, 0, 10, 10}));
    EXPECT_EQ(bitmap.GetImplementation()->GetChainValue(), 77u);
    const std::string rows = DrainRows(*chain, 1000);
    EXPECT_FALSE(rows.ends_with("!"));
    EXPECT_TRUE(c.clip.left != 1 || rows.starts_with("0 1: 14 1E 28")) << rows;
  }
  // An encoder that cannot begin (alignment 0) refuses the chain: its
  // upstream's raw rows must never pass for encoded ones.
  for (std::uint32_t mode : {0u, 1u}) {
    GShortRect source{0, 0, 10, 10};
    EXPECT_EQ(Stages(GRasterSourceBuilder::Build({0, 0, 10, 10}, source, nullptr, bitmaps[0],
                                                 std::make_unique<GRowPadder>(0, 0),
                                                 {0, mode, 0, 0, &matrix, 0, 0})
                         .get()),
              "none");
  }
}

// A 100 x 80 colour image drawn at 250 x 200 from (13, 7), dithered 8 x 8
// with phase offsets (3, 5), cut to (40, 30)-(200, 180), in adaptive
// blocks, against plain loops: at x 2.5 target column x shows source column
// (2x + 1) / 5 (steps 2, 3), row y source row 2y / 5 (repeats 3, 2); the
// threshold is cell ((y + 7 + 5) mod 8, (x + 13 + 3) mod 8).
TEST(RasterSourceBuilder, DrawsAScaledDitheredClippedImageEndToEnd) {
  const auto colour = [](int x, int y, int i) { return std::uint8_t(i ? y * i - x : x * 2 + y); };
  const GBitmap image =
      MakeBitmap(100, 80, 8, 3, [&](int i, int y) { return colour(i / 3, y, i % 3); });
  std::uint8_t cells[64];
  for (int k = 0; k < 64; ++k)
    cells[k] = std::uint8_t(k * 97 + 13);
  const GDitherMatrix matrix(8, 8, cells, 0, 0);
  const GClipToSingleRectangle clip({40, 30, 200, 180}, 0, 0, 0);
  GShortRect source{0, 0, 100, 80};
  std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
      {13, 7, 263, 207}, source, &clip, image, std::make_unique<GAdaptiveRowEncoder>(1, 0),
      {kBitmapReadGray, 1, 0, 0, &matrix, 3, 5});
  ASSERT_EQ(Stages(chain.get()), "source scaler dither clip encoder");
  EXPECT_EQ(source, (GShortRect{10, 9, 75, 70}));

  std::vector<Row> want, got;
  for (int y = 30 - 7; y < 180 - 7; ++y) {
    Row& row = want.emplace_back(20, 0);
    for (int x = 40 - 13; x < 200 - 13; ++x) {
      const int sx = (2 * x + 1) / 5, sy = 2 * y / 5;
      const int grey = ColorToGray(colour(sx, sy, 0), colour(sx, sy, 1), colour(sx, sy, 2));
      if (grey >= cells[(y + 12) % 8 * 8 + (x + 16) % 8]) row[(x - 27) / 8] |= 0x80 >> (x - 27) % 8;
    }
  }
  Row seed(20, 0);
  std::vector<std::uint8_t> block(chain->GetMaxRowBytes());
  for (std::uint32_t length = 1; length != 0;) {
    std::uint16_t index = 0;
    std::uint8_t repeat = 1, delivered = 1;
    chain->GetRow(block.data(), index, length, repeat, delivered);
    ASSERT_LE(length, block.size());
    ASSERT_TRUE(support::DecodeAdaptive(block.data(), length, 0, seed, got));
  }
  EXPECT_EQ(got, want);
}

// By hand: file magic 0x8888 (u32); class id 604 (u16 5C 02); base part
// (version 1, key 0, serial 0); command part: the nil attribute set (FF FF,
// 0 u32), version 1; graphic version 1; raster graphic version 1; the
// bitmap embedded: class 551 (27 02), version 1, its implementation a new
// object of class 552 (28 02): base part, version 1, width 8, height 1
// (u32), 1 bit, 1 sample (u16), chain value 0, nil palette, 4 bytes (the
// row padded to 4) AA 00 00 00; source (0, 0, 8, 1), target (10, 20, 26,
// 22) as i16; the second bitmap embedded without an implementation.
const std::string kRasterGraphicFile =
    "88 88 00 00 5C 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
    "01 00 00 00 01 00 00 00 "
    "27 02 01 00 00 00 28 02 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 08 00 00 00 "
    "01 00 00 00 01 00 01 00 00 00 00 00 FF FF 00 00 00 00 04 00 00 00 AA 00 00 00 "
    "00 00 00 00 08 00 01 00 0A 00 14 00 1A 00 16 00 "
    "27 02 01 00 00 00 FF FF 00 00 00 00";

TEST(RasterGraphic, StoredFormCopiesAndKinds) {
  GBitmap bitmap = MakeBitmap(8, 1, 1, 1, [](auto, auto) { return 0xAA; });
  bitmap.GetImplementation()->SetSerialNumber(0);
  GRasterGraphic graphic(bitmap, nullptr, {0, 0, 8, 1}, {10, 20, 26, 22}, GBitmap());
  graphic.SetSerialNumber(0);
  output_testing::ExpectStoredForm(graphic, kRasterGraphicFile);
  GPreScaledRasterGraphic prescaled(bitmap, nullptr, {0, 0, 8, 1}, {10, 20, 26, 22}, GBitmap());
  prescaled.SetSerialNumber(0);
  output_testing::ExpectStoredForm(prescaled, "88 88 00 00 61 02" + kRasterGraphicFile.substr(17));
  EXPECT_TRUE(prescaled.IsPreScaled() && prescaled.IsKindOf(609) && prescaled.IsKindOf(604));
  EXPECT_TRUE(!graphic.IsPreScaled() && graphic.IsKindOf(602) && !graphic.IsKindOf(609));
  EXPECT_FALSE(graphic.IsEqual(&prescaled));

  // A bitmap token of another class (a palette, 553) fails the graphic.
  model_testing::Restored back =
      output_testing::RestoreHex(std::string(kRasterGraphicFile).replace(36 * 3, 5, "29 02"));
  EXPECT_FALSE(back.ok);
  FreeRestored(back.object);

  // Copies share both implementations; only the first bitmap takes its
  // borrowed pixels in; the second takes part in equality.
  std::uint8_t pixels[2][4] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  GRasterGraphic borrowing(GBitmap(new GBitmapImp(3, 1, 8, 1, pixels[0], nullptr)), {0, 0, 3, 1},
                           {0, 0, 6, 2}, GBitmap(new GBitmapImp(3, 1, 8, 1, pixels[1], nullptr)),
                           nullptr, 5);
  std::unique_ptr<GRasterGraphic> copy(dynamic_cast<GRasterGraphic*>(borrowing.CreateCopy()));
  ASSERT_TRUE(copy && copy->IsEqual(&borrowing));
  EXPECT_EQ(copy->GetBitmap().GetImplementation(), borrowing.GetBitmap().GetImplementation());
  EXPECT_EQ(copy->GetSecondBitmap().GetImplementation(),
            borrowing.GetSecondBitmap().GetImplementation());
  copy->MakeSelfContained();
  EXPECT_TRUE(borrowing.GetBitmap().GetImplementation()->OwnsData());
  EXPECT_FALSE(borrowing.GetSecondBitmap().GetImplementation()->OwnsData());
  EXPECT_FALSE(
      GRasterGraphic(borrowing.GetBitmap(), {0, 0, 3, 1}, {0, 0, 6, 2}, GBitmap(), nullptr, 5)
          .IsEqual(&borrowing));
}

// The whole source and target of the clip cases.
constexpr GShortRect kS{0, 0, 10, 10}, kT{0, 0, 100, 100};

TEST(RasterGraphic, FitsItsRectanglesToTheClip) {
  const struct {
    int clip_kind;
    GShortRect clip, visible_source, visible_target;
    std::uint32_t exact;
    GShortRect source = kS, target = kT;
  } cases[] = {
      // Page columns 15 to 100 of a 10 x 10 source at 10 x: source columns
      // 15 x 10 / 100 = 1 (down) to 10 (up), which cover 10 to 100.
      {1, {15, 0, 100, 100}, {1, 0, 10, 10}, {10, 0, 100, 100}, 0},
      // On pixel edges: source 2, 3, 6, 10, shifted by (5, 5).
      {1, {20, 30, 60, 100}, {7, 8, 11, 15}, {20, 30, 60, 100}, 1, {5, 5, 15, 15}},
      {0, {}, {}, {}, 1, {0, 0, 0, 10}},
      {0, {}, {}, {}, 1, kS, {0, 10, 100, 0}},  // reversed: empty
      {0, {}, kS, kT, 1},
      {3, {}, kS, kT, 1},
      {1, {-5, -5, 200, 200}, kS, kT, 1},
      {2, {15, 0, 100, 100}, kS, kT, 1},
      {1, {100, 0, 200, 100}, {}, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const GRasterGraphic graphic(GBitmap(), nullptr, c.source, c.target, GBitmap());
    GShortRect source{1, 1, 1, 1}, target{1, 1, 1, 1};
    EXPECT_EQ(graphic.FitToClip(MakeClip(c.clip_kind, c.clip).get(), source, target), c.exact);
    EXPECT_EQ(source, c.visible_source);
    EXPECT_EQ(target, c.visible_target);
  }
}

TEST(RasterGraphic, DamagedGraphicsFailCleanlyAndTheFuzzCorpusReplays) {
  GBitmap bitmap = MakeBitmap(5, 2, 4, 1, [](auto x, auto y) { return x * 16 + y; });
  bitmap.GetImplementation()->SetSerialNumber(0);
  GRasterGraphic graphic(bitmap, {0, 0, 5, 2}, {-3, 4, 7, 9}, bitmap, nullptr, 3);
  output_testing::ExpectDamageFailsCleanly(graphic, 39, 600);
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
