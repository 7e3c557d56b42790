// The scaler, the row chain and its builder, and the raster graphics
// (stored form derived by hand, fitting to a clip, copies, damage).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "output/attributes/clip.h"
#include "output/color/gray.h"
#include "output/graphics/raster_graphic.h"
#include "output/raster/dither_matrix.h"
#include "output/raster/encoders.h"
#include "output/raster/row_chain.h"
#include "output/raster/row_stages.h"
#include "tests/output/stored_forms.h"
#include "tests/support/raster_rows.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using testing_support::DrainRows;
using testing_support::MemoryRowSource;
using testing_support::Row;

Row Bytes(const std::string& hex) {
  const std::string bytes = testing_support::Unhex(hex);
  return Row(bytes.begin(), bytes.end());
}

// A bitmap owning `height` rows of `width` pixels, each pixel's bytes given
// by `pixel(x, y, byte)`.
template <class Pixel>
GBitmap MakeBitmap(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                   std::uint16_t samples, Pixel pixel) {
  const std::uint64_t stride = PaddedRowBytes(width, bits, samples);
  auto block = std::make_unique<std::uint8_t[]>(stride * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t i = 0; i < (width * bits * samples + 7) / 8; ++i)
      block[y * stride + i] = pixel(i, y);
  }
  return GBitmap(new GBitmapImp(width, height, bits, samples, std::move(block), nullptr));
}

TEST(RasterScaler, ResizesRowsAcrossAtEachDepth) {
  const struct {
    std::uint8_t bits;
    std::int16_t sw, dw;
    const char* row;
    const char* resized;
  } cases[] = {
      // Step 2.5: p0 twice, p1 three times; step 0.40001: p0 and p3.
      {8, 2, 5, "10 20", "10 10 20 20 20"},
      {8, 5, 2, "10 20 30 40 50", "10 40"},
      // Step just under 1.6667: the sum's integer part goes 1, 3, 4, and the
      // last target pixel asks for a fourth source pixel of three: the last
      // is repeated. Step 0.4286: writes at 0.43, 1.71 and 2.57.
      {8, 3, 5, "10 20 30", "10 20 20 30 30"},
      {8, 7, 3, "10 20 30 40 50 60 70", "10 40 60"},
      // Step exactly 2: each bit or nibble twice, most significant first.
      {1, 4, 8, "B0", "CF"},
      {4, 4, 8, "12 34", "11 22 33 44"},
      {1, 3, 5, "A0", "98"},  // 1 0 1 -> 1 0 0 1 1, a partial byte
      // Error accumulation from 2: growing 3 + 2 copies; shrinking moves
      // on while 5 >= error, landing first on p0, then p2.
      {24, 2, 5, "01 02 03 04 05 06", "01 02 03 01 02 03 01 02 03 04 05 06 04 05 06"},
      {24, 5, 2, "01 01 01 02 02 02 03 03 03 04 04 04 05 05 05", "01 01 01 03 03 03"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    MemoryRowSource upstream({Bytes(c.row)}, c.sw, c.bits);
    GRasterScaler scaler({0, 0, c.dw, 1});
    scaler.SetUpstream(&upstream);
    ASSERT_EQ(scaler.Begin(), 1u);
    EXPECT_EQ(DrainRows(scaler), "0 1: " + std::string(c.resized));
  }
}

TEST(RasterScaler, RepeatsAndSkipsRowsDownAndEnds) {
  const struct {
    std::int16_t sh, dh;  // rows 00, 01, ... of one 8-bit pixel
    std::uint16_t skip;
    const char* rows;
  } cases[] = {
      {2, 5, 0, "0 3: 00 | 3 2: 01"},
      {3, 7, 0, "0 3: 00 | 3 2: 01 | 5 2: 02"},
      {5, 2, 0, "0 1: 00 | 1 1: 02"},  // the second skips one source row
      {1, 300, 0, "0 255: 00 | 255 45: 00"},
      // Skips count target rows: 4 of 7 pass over row 0 and a third of row
      // 1; one of 2 passes over rows 0 and 1.
      {3, 7, 4, "4 1: 01 | 5 2: 02"},
      {5, 2, 1, "1 1: 02"},
      {1, 300, 100, "100 200: 00"},
      {3, 3, 1, "1 1: 01 | 2 1: 02"},
  };
  for (const auto& c : cases) {
    std::vector<Row> rows;
    for (int y = 0; y < c.sh; ++y)
      rows.push_back({std::uint8_t(y)});
    MemoryRowSource upstream(rows, 1, 8);
    GRasterScaler scaler({0, 0, 1, c.dh});
    scaler.SetUpstream(&upstream);
    ASSERT_EQ(scaler.Begin(), 1u);
    scaler.SkipRows(c.skip);
    EXPECT_EQ(DrainRows(scaler, 400), c.rows) << c.sh << " -> " << c.dh << " skip " << c.skip;
  }

  // An upstream that ends early gives blank rows up to the target height.
  MemoryRowSource short_rows({Bytes("AA"), Bytes("BB")}, 1, 8);
  short_rows.bounds.bottom = 4;
  GRasterScaler scaler({0, 0, 1, 4});
  scaler.SetUpstream(&short_rows);
  ASSERT_EQ(scaler.Begin(), 1u);
  EXPECT_EQ(DrainRows(scaler), "0 1: AA | 1 1: BB | 2 1: 00 | 3 1: 00");

  // Refused: no upstream, sources and targets of no pixels, 2-bit rows
  // across (down alone they pass).
  const struct {
    GShortRect source, target;
    std::uint8_t bits;
    std::uint32_t begins;
  } refusals[] = {{{0, 0, 0, 1}, {0, 0, 4, 4}, 8, 0},
                  {{0, 0, 4, 4}, {0, 0, 4, 0}, 8, 0},
                  {{0, 0, 4, 4}, {0, 0, 4, -2}, 8, 0},
                  {{0, 0, 4, 1}, {0, 0, 8, 1}, 2, 0},
                  {{0, 0, 4, 1}, {0, 0, 4, 3}, 2, 1}};
  for (const auto& r : refusals) {
    MemoryRowSource upstream({Bytes("1B")}, 4, r.bits);
    upstream.bounds = r.source;
    GRasterScaler refused(r.target);
    EXPECT_EQ(refused.Begin(), 0u);
    refused.SetUpstream(&upstream);
    EXPECT_EQ(refused.Begin(), r.begins);
  }
}

// The stages of a chain by kind.
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
  const GBitmap grey = MakeBitmap(10, 10, 8, 1, [](auto x, auto y) { return x * 10 + y; });
  const GBitmap one_bit = MakeBitmap(10, 10, 1, 1, [](auto, auto) { return 0x5A; });
  const GBitmap two_bit = MakeBitmap(10, 10, 2, 1, [](auto, auto) { return 0x1B; });
  const std::uint8_t cells[] = {0x80};
  const GDitherMatrix matrix(1, 1, cells, 0, 0);
  const struct {
    const GBitmap* bitmap;
    GShortRect target;
    std::uint32_t mode, resize_switch;
    const GClip* clip;
    const char* stages;
    GShortRect narrowed;
  } cases[] = {
      {&grey, {0, 0, 10, 10}, 1, 0, nullptr, "source pass dither encoder", {0, 0, 10, 10}},
      {&grey, {0, 0, 5, 5}, 0, 0, nullptr, "source encoder", {0, 0, 10, 10}},
      {&grey, {0, 0, 20, 20}, 0, 0, nullptr, "source scaler encoder", {0, 0, 10, 10}},
      {&grey, {0, 0, 10, 10}, 0, 1, nullptr, "source pass encoder", {0, 0, 10, 10}},
      // Equal sizes with a clip in mode 0 take a scaler; the clip keeps
      // page columns 2 to 10 of 10, source columns 2 to 10.
      {&grey,
       {0, 0, 10, 10},
       0,
       1,
       new GClipToSingleRectangle({2, 0, 40, 40}, 0, 0, 0),
       "source scaler clip encoder",
       {2, 0, 10, 10}},
      // Not resized: the source reads page columns 1 to 5 of 5 as source
      // columns 2 to 10; no clip window.
      {&grey,
       {0, 0, 5, 5},
       0,
       0,
       new GClipToSingleRectangle({1, 0, 5, 5}, 0, 0, 0),
       "source encoder",
       {2, 0, 10, 10}},
      // Mode 2: 1 byte x 400 > 100 for 8 bits; 1 / 8 = 0 bytes for 1 bit.
      {&grey, {0, 0, 20, 20}, 2, 0, nullptr, "source scaler dither encoder", {0, 0, 10, 10}},
      {&one_bit, {0, 0, 20, 20}, 2, 0, nullptr, "source dither encoder", {0, 0, 10, 10}},
      {&grey, {0, 0, 20, 20}, 3, 0, nullptr, "source encoder", {0, 0, 10, 10}},
      // 2-bit rows cannot be resized across (no chain), but down; the dither
      // stage cannot take them and is left out.
      {&two_bit, {0, 0, 20, 10}, 1, 0, nullptr, "none", {0, 0, 10, 10}},
      {&two_bit, {0, 0, 10, 20}, 1, 0, nullptr, "source scaler encoder", {0, 0, 10, 10}},
      // Nothing visible: no chain.
      {&grey,
       {0, 0, 20, 20},
       1,
       0,
       new GClipToSingleRectangle({30, 0, 40, 40}, 0, 0, 0),
       "none",
       {0, 0, 10, 10}},
      {&grey, {0, 0, 0, 20}, 1, 0, nullptr, "none", {0, 0, 10, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stages);
    std::unique_ptr<const GClip> clip(c.clip);
    GShortRect source{0, 0, 10, 10};
    GRasterChainValues values{0, c.mode, c.resize_switch, 77, &matrix, 0, 0};
    std::unique_ptr<GRasterRowChain> chain = GRasterSourceBuilder::Build(
        c.target, source, c.clip, *c.bitmap, std::make_unique<GRowPadder>(1, 0), values);
    EXPECT_EQ(Stages(chain.get()), c.stages);
    EXPECT_EQ(source, c.narrowed);
    if (!chain) continue;
    EXPECT_EQ(c.bitmap->GetImplementation()->GetChainValue(), 77u);
    GShortRect bounds;
    chain->GetBounds(bounds);
    const std::string rows = DrainRows(*chain, 1000);
    EXPECT_FALSE(rows.ends_with("!"));
    if (c.stages[7] != 'e') continue;  // the rows of the source itself:
    EXPECT_EQ(bounds, c.narrowed);
    EXPECT_TRUE(!c.clip || rows.starts_with("0 1: 14 1E 28"));
  }
}

// A 100 x 80 colour gradient drawn at 250 x 200 from (13, 7) on the page,
// dithered 8 x 8 with phase offsets (3, 5), cut to (40, 30)-(200, 180) and
// encoded in adaptive blocks, against the rows worked out with plain loops:
// at x 2.5, target column x shows source column (2x + 1) / 5 (the step
// pattern 2, 3) and target row y source row 2y / 5 (repeat counts 3, 2);
// grey as the bitmap source reads it; the threshold from matrix row
// (y + (7 + 5)) mod 8, column (x + 13 + 3) mod 8.
TEST(RasterSourceBuilder, DrawsAScaledDitheredClippedImageEndToEnd) {
  const auto red = [](auto x, auto y) { return std::uint8_t(x * 2 + y); };
  const auto green = [](auto, auto y) { return std::uint8_t(y * 3); };
  const auto blue = [](auto x, auto y) { return std::uint8_t(255 - x - y); };
  const GBitmap image = MakeBitmap(100, 80, 8, 3, [&](auto i, auto y) {
    return i % 3 == 0 ? red(i / 3, y) : i % 3 == 1 ? green(i / 3, y) : blue(i / 3, y);
  });
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
    Row row(20, 0);
    for (int x = 40 - 13; x < 200 - 13; ++x) {
      const int sx = (2 * x + 1) / 5, sy = 2 * y / 5;
      const int grey = ColorToGray(red(sx, sy), green(sx, sy), blue(sx, sy));
      if (grey >= cells[(y + 12) % 8 * 8 + (x + 16) % 8]) row[(x - 27) / 8] |= 0x80 >> (x - 27) % 8;
    }
    want.push_back(row);
  }
  Row seed(20, 0);
  std::vector<std::uint8_t> block(chain->GetMaxRowBytes());
  for (std::uint32_t length = 1; length != 0;) {
    std::uint16_t index = 0;
    std::uint8_t repeat = 1, delivered = 1;
    chain->GetRow(block.data(), index, length, repeat, delivered);
    ASSERT_LE(length, block.size());
    ASSERT_TRUE(testing_support::DecodeAdaptive(block.data(), length, 0, seed, got));
  }
  EXPECT_EQ(got, want);
}

// ---------------------------------------------------------------------------
// Raster graphics

// By hand from the stored forms: the file magic 0x8888 (u32); the class id
// (u16: 604 = 5C 02); the persistent base part (version 1, key 0, serial
// 0); the command part: no attribute set (the nil object, FF FF then 0
// u32), its version 1; the graphic's version 1; the raster graphic's
// version 1; the bitmap embedded: its class id (551 = 27 02), its version
// 1, its implementation as a new object (552 = 28 02): the base part,
// version 1, width 8, height 1 (u32), 1 bit per sample, 1 sample (u16),
// chain value 0, the nil palette, 4 bytes (the row padded to 4), AA 00 00
// 00; source (0, 0, 8, 1) and target (10, 20, 26, 22) as i16; the second
// bitmap embedded without an implementation.
const std::string kRasterGraphicFile =
    "88 88 00 00 5C 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
    "01 00 00 00 01 00 00 00 "
    "27 02 01 00 00 00 28 02 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 08 00 00 00 "
    "01 00 00 00 01 00 01 00 00 00 00 00 FF FF 00 00 00 00 04 00 00 00 AA 00 00 00 "
    "00 00 00 00 08 00 01 00 0A 00 14 00 1A 00 16 00 "
    "27 02 01 00 00 00 FF FF 00 00 00 00";

TEST(RasterGraphic, StoredFormMatchesHandDerivedBytesAndRoundTrips) {
  GBitmap bitmap = MakeBitmap(8, 1, 1, 1, [](auto, auto) { return 0xAA; });
  bitmap.GetImplementation()->SetSerialNumber(0);
  GRasterGraphic graphic(bitmap, nullptr, {0, 0, 8, 1}, {10, 20, 26, 22}, GBitmap());
  graphic.SetSerialNumber(0);
  output_testing::ExpectStoredForm(graphic, kRasterGraphicFile);
  GPreScaledRasterGraphic prescaled(bitmap, nullptr, {0, 0, 8, 1}, {10, 20, 26, 22}, GBitmap());
  prescaled.SetSerialNumber(0);
  output_testing::ExpectStoredForm(prescaled, "88 88 00 00 61 02" + kRasterGraphicFile.substr(17));
  EXPECT_FALSE(graphic.IsPreScaled());
  EXPECT_TRUE(prescaled.IsPreScaled() && prescaled.IsKindOf(609) && prescaled.IsKindOf(604));
  EXPECT_TRUE(graphic.IsKindOf(602) && graphic.IsKindOf(601) && !graphic.IsKindOf(609));
  EXPECT_FALSE(graphic.IsEqual(&prescaled));

  // A bitmap token of another class (a palette, 553) fails the graphic.
  std::string damaged = kRasterGraphicFile;
  damaged.replace(36 * 3, 5, "29 02");
  model_testing::Restored back = output_testing::RestoreHex(damaged);
  EXPECT_FALSE(back.ok);
  FreeRestored(back.object);
}

TEST(RasterGraphic, CopiesShareBitmapsAndOnlyTheFirstBecomesSelfContained) {
  std::uint8_t first_pixels[4] = {1, 2, 3, 0}, second_pixels[4] = {4, 5, 6, 0};
  GRasterGraphic graphic(GBitmap(new GBitmapImp(3, 1, 8, 1, first_pixels, nullptr)), {0, 0, 3, 1},
                         {0, 0, 6, 2}, GBitmap(new GBitmapImp(3, 1, 8, 1, second_pixels, nullptr)),
                         nullptr, 5);
  std::unique_ptr<GRasterGraphic> copy(dynamic_cast<GRasterGraphic*>(graphic.CreateCopy()));
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->GetBitmap().GetImplementation(), graphic.GetBitmap().GetImplementation());
  EXPECT_EQ(copy->GetSecondBitmap().GetImplementation(),
            graphic.GetSecondBitmap().GetImplementation());
  EXPECT_EQ(copy->GetSecondRect(), (GShortRect{0, 0, 6, 2}));
  EXPECT_TRUE(copy->IsEqual(&graphic));
  copy->MakeSelfContained();
  EXPECT_TRUE(graphic.GetBitmap().GetImplementation()->OwnsData());
  EXPECT_FALSE(graphic.GetSecondBitmap().GetImplementation()->OwnsData());
  // The second bitmap takes part in equality.
  second_pixels[0] = 9;
  GRasterGraphic other(graphic.GetBitmap(), {0, 0, 3, 1}, {0, 0, 6, 2},
                       GBitmap(new GBitmapImp(3, 1, 8, 1, first_pixels, nullptr)), nullptr, 5);
  EXPECT_FALSE(other.IsEqual(&graphic));
}

TEST(RasterGraphic, FitsItsRectanglesToTheClip) {
  const GClipToPage page;
  const struct {
    GShortRect source, target;
    const GClip* clip;
    GShortRect visible_source, visible_target;
    std::uint32_t exact;
  } cases[] = {
      // Page columns 15 to 100 of a 10 x 10 source drawn at 10 x: source
      // columns 15 x 10 / 100 = 1 (down) to 10 (up), which cover 10 to 100.
      {{0, 0, 10, 10},
       {0, 0, 100, 100},
       new GClipToSingleRectangle({15, 0, 100, 100}, 0, 0, 0),
       {1, 0, 10, 10},
       {10, 0, 100, 100},
       0},
      // (20, 30)-(60, 100) falls on source pixel edges: 2, 3, 6, 10, shifted by (5, 5).
      {{5, 5, 15, 15},
       {0, 0, 100, 100},
       new GClipToSingleRectangle({20, 30, 60, 100}, 0, 0, 0),
       {7, 8, 11, 15},
       {20, 30, 60, 100},
       1},
      {{0, 0, 0, 10}, {0, 0, 100, 100}, nullptr, {}, {}, 1},
      {{0, 0, 10, 10}, {0, 10, 100, 0}, nullptr, {}, {}, 1},  // reversed: empty
      {{0, 0, 10, 10}, {0, 0, 100, 100}, nullptr, {0, 0, 10, 10}, {0, 0, 100, 100}, 1},
      {{0, 0, 10, 10}, {0, 0, 100, 100}, &page, {0, 0, 10, 10}, {0, 0, 100, 100}, 1},
      {{0, 0, 10, 10},
       {0, 0, 100, 100},
       new GClipToSingleRectangle({-5, -5, 200, 200}, 0, 0, 0),
       {0, 0, 10, 10},
       {0, 0, 100, 100},
       1},
      {{0, 0, 10, 10},
       {0, 0, 100, 100},
       new GClipToSingleRectangle({15, 0, 100, 100}, 0, 1, 0),
       {0, 0, 10, 10},
       {0, 0, 100, 100},
       1},
      {{0, 0, 10, 10},
       {0, 0, 100, 100},
       new GClipToSingleRectangle({100, 0, 200, 100}, 0, 0, 0),
       {},
       {},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    std::unique_ptr<const GClip> owned(c.clip == &page ? nullptr : c.clip);
    GRasterGraphic graphic(GBitmap(), nullptr, c.source, c.target, GBitmap());
    GShortRect source{1, 1, 1, 1}, target{1, 1, 1, 1};
    EXPECT_EQ(graphic.FitToClip(c.clip, source, target), c.exact);
    EXPECT_EQ(source, c.visible_source);
    EXPECT_EQ(target, c.visible_target);
  }
}

TEST(RasterGraphic, DamagedGraphicsFailCleanly) {
  GBitmap bitmap = MakeBitmap(5, 2, 4, 1, [](auto x, auto y) { return x * 16 + y; });
  bitmap.GetImplementation()->SetSerialNumber(0);
  GRasterGraphic graphic(bitmap, {0, 0, 5, 2}, {-3, 4, 7, 9}, bitmap, nullptr, 3);
  output_testing::ExpectDamageFailsCleanly(graphic, 39, 600);
}

TEST(RasterGraphic, FuzzCorpusReplays) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
