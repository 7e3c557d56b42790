// Media and media pools: defaults, derived lengths, equality field by
// field, the pool's filtering walk and its bounds, the limit media found by
// code, replacements through the walk, and NormalizeAngle over the whole
// 32-bit range.
#include "config/paper/media_pool.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "config/paper/media.h"

namespace {

GMedia* Medium(const char* name, std::int16_t width, std::int16_t height, std::uint32_t orientation,
               std::uint16_t code, std::uint16_t x_resolution = 600,
               std::uint16_t y_resolution = 600) {
  return new GMedia(name, GSize16(width, height), GSize16(width, height), GSize16(0, 0),
                    orientation, code, x_resolution, y_resolution, kModelMediumKey, 0, nullptr,
                    nullptr);
}

TEST(Media, DefaultsAndDerivedLengths) {
  GMedia plain;
  EXPECT_EQ(plain.GetXResolution(), 600);
  EXPECT_EQ(plain.GetYResolution(), 600);
  EXPECT_EQ(plain.Key(), kModelMediumKey);
  EXPECT_EQ(plain.GetOrientation(), 0u);
  EXPECT_EQ(plain.GetMediaType(), "");

  GMedia letter("Letter", GSize16(5100, 6600), GSize16(4800, 6360), GSize16(150, 120), 0, 1, 600,
                600, kModelMediumKey, 3, "aux", "Plain");
  EXPECT_EQ(letter.GetPrintableRect(), (GRect16{150, 120, 4950, 6480}));
  EXPECT_EQ(letter.GetPrintableBottomRight(), GSize16(4950, 6480));
  EXPECT_EQ(letter.GetRightBottomMargins(), GSize16(150, 120));
  // 16-bit arithmetic wraps.
  GMedia wide("W", GSize16(0, 0), GSize16(32767, 1), GSize16(1, 0), 0, 0, 600, 600, 0, 0, nullptr,
              nullptr);
  EXPECT_EQ(wide.GetPrintableRect().right, -32768);

  GMedia assigned;
  assigned = letter;
  EXPECT_TRUE(assigned.IsEqual(&letter));
  EXPECT_EQ(assigned.GetAuxName(), "aux");
}

TEST(Media, EveryFieldTakesPartInEquality) {
  const GMedia base("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 0, 23, 600,
                    600, kModelMediumKey, 0, nullptr, "Plain");
  struct Case {
    const char* name;
    GMedia other;
  };
  const Case cases[] = {
      {"name", GMedia("a4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 0, 23, 600,
                      600, kModelMediumKey, 0, nullptr, "Plain")},
      {"paper", GMedia("A4", GSize16(4960, 7017), GSize16(4760, 6816), GSize16(100, 100), 0, 23,
                       600, 600, kModelMediumKey, 0, nullptr, "Plain")},
      {"orientation", GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 90,
                             23, 600, 600, kModelMediumKey, 0, nullptr, "Plain")},
      {"x resolution", GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 0,
                              23, 1200, 600, kModelMediumKey, 0, nullptr, "Plain")},
      {"y resolution", GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 0,
                              23, 600, 1200, kModelMediumKey, 0, nullptr, "Plain")},
      {"auxiliary name", GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100),
                                0, 23, 600, 600, kModelMediumKey, 0, "x", "Plain")},
      {"media type", GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 0,
                            23, 600, 600, kModelMediumKey, 0, nullptr, "")},
      {"key", GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 0, 23, 600,
                     600, 259, 0, nullptr, "Plain")},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(base.IsEqualContent(&c.other)) << c.name;
  }
  GMedia copy = base;
  EXPECT_TRUE(copy.IsEqualContent(&base));
  copy.SetPaperSizeId(24);
  EXPECT_FALSE(copy.IsEqualContent(&base));
}

TEST(MediaPool, FindsByCodeAmongOneOrientationAndResolution) {
  GMediaPool pool(189);
  pool.AddChild(Medium("Letter", 5100, 6600, 0, 1));
  pool.AddChild(Medium("Letter", 6600, 5100, 90, 1));
  pool.AddChild(Medium("Max", 7200, 14400, 0, kLargestCustomSizeId));
  pool.AddChild(Medium("Min", 1800, 3000, 0, kSmallestCustomSizeId));
  pool.AddChild(Medium("Min", 3600, 6000, 0, kSmallestCustomSizeId, 1200, 1200));
  struct Case {
    std::uint16_t code;
    std::uint32_t orientation;
    std::uint16_t x, y;
    std::int16_t found_width;  // 0: none
  };
  const Case cases[] = {
      {1, 0, 600, 600, 5100},
      {1, 90, 600, 600, 6600},
      {1, 180, 600, 600, 0},
      {kLargestCustomSizeId, 0, 600, 600, 7200},
      {kSmallestCustomSizeId, 0, 600, 600, 1800},
      {kSmallestCustomSizeId, 0, 1200, 1200, 3600},
      {kSmallestCustomSizeId, 0, 1200, 600, 0},
      {kLargestCustomSizeId, 90, 600, 600, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code + 100000 * c.orientation);
    GMedia* found = pool.FindByPaperSizeId(c.code, c.orientation, c.x, c.y);
    EXPECT_EQ(found ? found->GetPaperSize().width : 0, c.found_width);
  }
  EXPECT_EQ(pool.TypeId(), kGEnumAttributeId);
  EXPECT_TRUE(pool.IsKindOf(kGEnumAttributeId));
  EXPECT_TRUE(pool.IsKindOf(kGAttributeCompositeId));
}

// Bounds include media of exactly their size and exclude one a dot beyond.
TEST(MediaPool, TheFilteredWalkKeepsItsBounds) {
  GMediaPool pool(189);
  pool.AddChild(Medium("A", 100, 200, 0, 1));
  pool.AddChild(Medium("B", 100, 201, 0, 2));
  pool.AddChild(Medium("C", 99, 200, 0, 3));
  auto codes = [&pool](GSize16 minimum, GSize16 maximum) {
    std::vector<std::uint16_t> found;
    std::unique_ptr<GMediaPoolIterator> walk(pool.CreateFilteredIterator(0, 600, minimum, maximum));
    while (walk->Next())
      found.push_back(static_cast<GMedia*>(walk->Current())->GetPaperSizeId());
    EXPECT_EQ(walk->Current(), nullptr);
    return found;
  };
  EXPECT_EQ(codes(GSize16(100, 200), GSize16(100, 200)), std::vector<std::uint16_t>{1});
  EXPECT_EQ(codes(GSize16(99, 0), GSize16(100, 201)), (std::vector<std::uint16_t>{1, 2, 3}));
  EXPECT_EQ(codes(GSize16(0, 0), GSize16(100, 200)), (std::vector<std::uint16_t>{1, 3}));
  EXPECT_TRUE(codes(GSize16(101, 0), GSize16(200, 300)).empty());
}

// A replacement through the walk keeps the pool's current choice valid.
TEST(MediaPool, ReplacingThroughTheWalkKeepsTheChoice) {
  GMediaPool pool(189);
  pool.AddChild(Medium("A", 100, 200, 0, 1));
  pool.AddChild(Medium("B", 100, 200, 0, 2));
  ASSERT_EQ(static_cast<GMedia*>(pool.GetChoice())->GetPaperSizeId(), 1);
  std::unique_ptr<GMediaPoolIterator> walk(
      pool.CreateFilteredIterator(0, 600, 600, GSize16(0, 0), GSize16(1000, 1000)));
  ASSERT_TRUE(walk->Next());
  walk->ReplaceCurrent(Medium("C", 100, 200, 0, 3));
  EXPECT_EQ(static_cast<GMedia*>(pool.GetChoice())->GetPaperSizeId(), 3);
  EXPECT_EQ(pool.EntryCount(), 2u);
}

TEST(Media, NormalizeAngle) {
  struct Case {
    std::int32_t angle, normal;
  };
  const Case cases[] = {
      {0, 0},     {-90, 270}, {450, 90},      {-360, 0},      {-361, 359}, {720, 0},
      {359, 359}, {-1, 359},  {INT_MIN, 232}, {INT_MAX, 127}, {-720, 0},   {360, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizeAngle(c.angle), c.normal) << c.angle;
  }
}

}  // namespace
