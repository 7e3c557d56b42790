// Custom sizes: the unit conversions and their rounding, sizes in dots,
// equality across units; media made from custom sizes with the margins of
// a margin pool, of the margin attributes or of nothing, and with the
// resolution and orientation of the settings; margin pools.
#include "config/paper/custom_media_size.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/margin_pool.h"
#include "config/paper/media_from_custom_size.h"
#include "persist/configuration.h"

namespace {

constexpr std::uint32_t kMax = 0xFFFFFFFF;

TEST(CustomMediaSize, ConvertSize) {
  struct Case {
    std::uint32_t from, to;
    GSize32 in, out;
  };
  const Case cases[] = {
      {kHundredthInch, kMillimetre, {850, 1100}, {216, 279}},  // 215.9, 279.4
      {kHundredthInch, kTenThousandthInch, {850, 1100}, {85000, 110000}},
      {kHundredthInch, kMicrometre, {850, 1100}, {215900, 279400}},
      {kMillimetre, kHundredthInch, {210, 297}, {827, 1169}},  // 826.77, 1169.29
      {kMillimetre, kTenThousandthInch, {210, 297}, {82677, 116929}},
      {kMillimetre, kMicrometre, {210, 297}, {210000, 297000}},
      {kTenThousandthInch, kMillimetre, {82677, 82676}, {210, 210}},  // 209.9996, 209.9970
      {kTenThousandthInch, kHundredthInch, {82677, 82649}, {827, 826}},
      {kTenThousandthInch, kMicrometre, {1, 4233}, {3, 10752}},    // 2.54, 10751.82
      {kMicrometre, kTenThousandthInch, {4233, 127}, {1667, 50}},  // 1666.54, 50
      {kMicrometre, kTenThousandthInch, {47, 80}, {19, 31}},       // remainders 64 and 63 of 127
      {kMicrometre, kMillimetre, {1499, 1500}, {1, 2}},
      {kMicrometre, kHundredthInch, {127, 126}, {1, 0}},  // 0.5, 0.496
      {kHundredthInch, kHundredthInch, {7, 8}, {7, 8}},
      {4, kMillimetre, {7, 8}, {7, 8}},
      {kMillimetre, 9, {7, 8}, {7, 8}},
      // Wide enough never to overflow; the largest length at most.
      {kMillimetre, kMicrometre, {kMax, 4294967}, {kMax, 4294967000}},
      {kMillimetre, kTenThousandthInch, {kMax, 0}, {kMax, 0}},
      {kMicrometre, kTenThousandthInch, {kMax, kMax}, {1690932006, 1690932006}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << ": " << c.in.width);
    EXPECT_EQ(ConvertSize(c.from, c.to, c.in), c.out);
  }
}

TEST(CustomMediaSize, UnitsDotsAndEquality) {
  GCustomMediaSize letter(256, "Letter", kHundredthInch, 850, 1100, 0);
  EXPECT_EQ(letter.GetSizeInDots(600, 600), (GSize32{5100, 6600}));
  EXPECT_EQ(letter.GetSizeInDots(0, 300), (GSize32{0, 3300}));
  EXPECT_EQ(letter.GetSizeIn(kHundredthInch), (GSize32{850, 1100}));
  letter.SetUnit(kMicrometre);
  EXPECT_EQ(letter.GetSize(), (GSize32{215900, 279400}));
  EXPECT_EQ(letter.GetUnit(), kMicrometre);
  letter.Set(kMillimetre, 216, 279);
  EXPECT_EQ(letter.GetSizeIn(kMicrometre), (GSize32{216000, 279000}));

  GCustomMediaSize huge(1, "", kTenThousandthInch, kMax, kMax, 0);
  EXPECT_EQ(huge.GetSizeInDots(65535, 600), (GSize32{kMax, 257698037}));

  // From dots: hundredths of an inch first, truncated; no resolution, no size.
  GCustomMediaSize dotted(2, "D", 600, 300, kMillimetre, 5100, 3300, 0);
  EXPECT_EQ(dotted.GetUnit(), kMillimetre);
  EXPECT_EQ(dotted.GetSize(), (GSize32{216, 279}));
  EXPECT_EQ(GCustomMediaSize(2, "D", 0, 0, kHundredthInch, 5100, 3300, 0).GetSize(), (GSize32{}));

  GCustomMediaSize millimetres(9, "A4", kMillimetre, 210, 297, 0);
  GCustomMediaSize micrometres(9, "A4", kMicrometre, 210000, 297000, 0);
  EXPECT_TRUE(millimetres.IsEqual(&micrometres));
  micrometres.SetName("A4 ");
  EXPECT_FALSE(millimetres.IsEqual(&micrometres));
  GCustomMediaSize inches(9, "A4", kHundredthInch, 827, 1169, 0);
  EXPECT_FALSE(millimetres.IsEqual(&inches));  // 210,058 um against 210,000
  EXPECT_EQ(millimetres.TypeId(), kGCustomMediaSizeId);
}

TEST(MarginPool, SetsAndCopies) {
  GMarginPool pool;
  EXPECT_EQ(pool.Key(), kMarginPoolKey);
  EXPECT_EQ(pool.AddMarginSet(nullptr), -1);
  std::uint32_t set[kMarginSetLength] = {1, 2, 3, 4};
  EXPECT_EQ(pool.AddMarginSet(set), 0);
  set[0] = 9;
  EXPECT_EQ(pool.AddMarginSet(set), 1);
  EXPECT_EQ(pool.GetMarginSet(0)[0], 1u);
  EXPECT_EQ(pool.GetMarginSet(2), nullptr);  // the count itself
  GMarginPool copy = pool;
  EXPECT_EQ(copy.GetMarginSet(1)[0], 9u);
  EXPECT_EQ(GMarginPool().GetMarginSet(0), nullptr);
}

// A margin pool whose set 0 holds `margin` micrometres on every side at 0
// degrees and 2 x `margin` at 90, in a configuration.
GConfiguration* PoolSource(std::uint32_t margin) {
  auto* source = new GConfiguration;
  auto* pool = new GMarginPool;
  std::uint32_t set[kMarginSetLength] = {margin,     margin,     margin,     margin,
                                         2 * margin, 2 * margin, 2 * margin, 2 * margin};
  pool->AddMarginSet(set);
  source->AddChild(pool);
  return source;
}

// The margin attributes 332 to 335 in composite 331 (ten-thousandths of an
// inch), under `key` (331 unless told otherwise).
GAttributeComposite* AttributeSource(std::int16_t left, std::int16_t top, std::int16_t right,
                                     std::int16_t bottom, std::uint32_t key = 331) {
  auto* source = new GAttributeComposite;
  auto* margins = new GAttributeComposite(key);
  margins->AddChild(new GValueAttribute(left, 332));
  margins->AddChild(new GValueAttribute(top, 333));
  margins->AddChild(new GValueAttribute(right, 334));
  margins->AddChild(new GValueAttribute(bottom, 335));
  source->AddChild(margins);
  return source;
}

TEST(MediaFromCustomSize, PaperPrintableAreaAndOrigin) {
  const GCustomMediaSize letter(300, "Mine", kHundredthInch, 850, 1100, 0);
  std::unique_ptr<MPersistentObject> pool(PoolSource(4233));
  std::unique_ptr<MPersistentObject> attributes(AttributeSource(1667, 3334, -5, 0));
  std::unique_ptr<MPersistentObject> wrong_key(AttributeSource(1667, 1667, 1667, 1667, 330));
  // A value attribute under 959 is no margin pool: the attributes count.
  std::unique_ptr<GAttributeComposite> impostor(AttributeSource(1667, 1667, 1667, 1667));
  impostor->AddChild(new GValueAttribute(1, kMarginPoolKey));
  struct Case {
    const char* name;
    MPersistentObject* source;
    std::uint32_t orientation;
    GSize16 paper, printable, origin;
  };
  const Case cases[] = {
      {"no source", nullptr, 0, {5100, 6600}, {5100, 6600}, {0, 0}},
      {"turned", nullptr, 90, {6600, 5100}, {6600, 5100}, {0, 0}},
      {"pool at 0", pool.get(), 0, {5100, 6600}, {4900, 6400}, {100, 100}},
      {"pool at 90", pool.get(), 90, {6600, 5100}, {6202, 4702}, {199, 199}},
      {"pool at 45", pool.get(), 45, {5100, 6600}, {5100, 6600}, {0, 0}},
      {"pool at 180, an empty block", pool.get(), 180, {5100, 6600}, {5100, 6600}, {0, 0}},
      {"attributes, a negative margin counts 0",
       attributes.get(),
       0,
       {5100, 6600},
       {5000, 6400},
       {100, 200}},
      {"attributes under another key", wrong_key.get(), 0, {5100, 6600}, {5100, 6600}, {0, 0}},
      {"an impostor under 959", impostor.get(), 0, {5100, 6600}, {4900, 6400}, {100, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<GMedia> medium(
        MakeMediaFromCustomSize(letter, c.source, 600, 600, c.orientation));
    ASSERT_NE(medium, nullptr);
    EXPECT_EQ(medium->GetPaperSize(), c.paper);
    EXPECT_EQ(medium->GetPrintableSize(), c.printable);
    EXPECT_EQ(medium->GetPrintableOrigin(), c.origin);
    EXPECT_EQ(medium->GetOrientation(), c.orientation);
    EXPECT_EQ(medium->GetName(), "Mine");
    EXPECT_EQ(medium->GetPaperSizeId(), 300);
    EXPECT_EQ(medium->Key(), kModelMediumKey);
    EXPECT_EQ(medium->GetAuxCode(), 0);
  }

  // Margins wider than the paper leave no printable area, never a negative
  // one; lengths beyond 16 bits stop at 32767.
  std::unique_ptr<MPersistentObject> wide(PoolSource(200000));
  std::unique_ptr<GMedia> none(MakeMediaFromCustomSize(letter, wide.get(), 600, 600, 0));
  EXPECT_EQ(none->GetPrintableSize(), GSize16(0, 0));
  EXPECT_EQ(none->GetPrintableOrigin(), GSize16(4724, 4724));
  GCustomMediaSize banner(1, "Banner", kMillimetre, 210, 5000, 0);
  std::unique_ptr<GMedia> cut(MakeMediaFromCustomSize(banner, nullptr, 600, 600, 0));
  EXPECT_EQ(cut->GetPaperSize(), GSize16(4960, 32767));
}

TEST(MediaFromCustomSize, ResolutionAndOrientationOfTheSettings) {
  const GCustomMediaSize letter(300, "Mine", kHundredthInch, 850, 1100, 0);
  auto settings = [](bool resolution, bool x, bool orientation, bool composite) {
    auto* root = new GAttributeComposite(362);
    if (resolution) {
      GAttribute* group = composite ? static_cast<GAttribute*>(new GAttributeComposite(249))
                                    : new GValueAttribute(300, 249);
      if (composite) {
        if (x) group->AddChild(new GValueAttribute(300, 323));
        group->AddChild(new GValueAttribute(600, 324));
      }
      root->AddChild(group);
    }
    if (orientation) root->AddChild(new GValueAttribute(90, 265));
    return std::unique_ptr<GAttributeComposite>(root);
  };
  std::unique_ptr<GAttributeComposite> full = settings(true, true, true, true);
  std::unique_ptr<GMedia> medium(MakeCustomMediaFromModel(letter, full.get(), nullptr));
  ASSERT_NE(medium, nullptr);
  EXPECT_EQ(medium->GetXResolution(), 300);
  EXPECT_EQ(medium->GetYResolution(), 600);
  EXPECT_EQ(medium->GetPaperSize(), GSize16(6600, 2550));  // turned
  medium.reset(MakeMediaFromCustomSizeOriented(letter, full.get(), nullptr, 600, 1200));
  EXPECT_EQ(medium->GetPaperSize(), GSize16(13200, 5100));

  EXPECT_EQ(MakeCustomMediaFromModel(letter, nullptr, nullptr), nullptr);
  for (auto [resolution, x, orientation, composite] :
       {std::tuple{false, true, true, true}, std::tuple{true, false, true, true},
        std::tuple{true, true, false, true}, std::tuple{true, true, true, false}}) {
    std::unique_ptr<GAttributeComposite> partial = settings(resolution, x, orientation, composite);
    EXPECT_EQ(MakeCustomMediaFromModel(letter, partial.get(), nullptr), nullptr);
  }
  std::unique_ptr<GAttributeComposite> unturned = settings(true, true, false, true);
  EXPECT_EQ(MakeMediaFromCustomSizeOriented(letter, unturned.get(), nullptr, 600, 600), nullptr);
}

}  // namespace
