// Angles are kept in [0, 360) degrees, found in one step even for values
// that repeated turns could never bring down.
#include "output/graphics/angle.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

namespace {

TEST(Angle, IsBroughtIntoOneTurn) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  struct Case {
    float given;
    float kept;
  };
  const Case cases[] = {
      {0.0f, 0.0f},     {359.5f, 359.5f},     {360.0f, 0.0f},
      {725.0f, 5.0f},   {-90.0f, 270.0f},     {-360.0f, 0.0f},
      {-720.0f, 0.0f},  {-400.0f, 320.0f},    {720.25f, 0.25f},
      {-0.5f, 359.5f},  {134217728.0f, 8.0f},  // 2^27 = 372827 turns + 8
      {-1.0e-7f, 0.0f},                        // one turn on would round to 360
      {kInf, 0.0f},     {-kInf, 0.0f},        {std::numeric_limits<float>::quiet_NaN(), 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    GAngle angle(c.given);
    EXPECT_EQ(angle.GetDegrees(), c.kept);
    EXPECT_GE(angle.GetDegrees(), 0.0f);
    EXPECT_LT(angle.GetDegrees(), 360.0f);
    GAngle assigned;
    assigned = c.given;
    EXPECT_EQ(assigned.GetDegrees(), c.kept);
  }
  // A huge value is brought down at once.
  EXPECT_LT(GAngle(1.0e30f).GetDegrees(), 360.0f);
  EXPECT_LT(GAngle(-1.0e30f).GetDegrees(), 360.0f);
  // A negative zero counts as not negative and is kept as it is.
  EXPECT_EQ(std::bit_cast<std::uint32_t>(GAngle(-0.0f).GetDegrees()), 0x80000000u);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(GAngle(-720.0f).GetDegrees()), 0u);
  EXPECT_EQ(GAngle().GetDegrees(), 0.0f);
}

TEST(Angle, SineAndCosine) {
  struct Case {
    float degrees;
    float sin;
    float cos;
  };
  const Case cases[] = {
      {0.0f, 0.0f, 1.0f},    {90.0f, 1.0f, 0.0f},       {180.0f, 0.0f, -1.0f},
      {-90.0f, -1.0f, 0.0f}, {30.0f, 0.5f, 0.8660254f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.degrees);
    GAngle angle(c.degrees);
    EXPECT_NEAR(angle.Sin(), c.sin, 1e-6f);
    EXPECT_NEAR(angle.Cos(), c.cos, 1e-6f);
  }
}

}  // namespace
