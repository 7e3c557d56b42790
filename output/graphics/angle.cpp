#include "output/graphics/angle.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kExponentBits = 0x7F800000u;
constexpr std::uint32_t kBitsOf360 = 0x43B40000u;  // 360.0f
constexpr float kFullTurn = 360.0f;
constexpr float kRadiansPerDegree = 0.017453292f;

}  // namespace

float GAngle::Normalize(float degrees) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(degrees);
  if ((bits & kExponentBits) == kExponentBits) return 0.0f;  // not a number, or infinite
  std::uint32_t magnitude = bits & ~kSignBit;
  bool negative = (bits & kSignBit) != 0 && magnitude != 0;
  if (!negative) {
    if (magnitude < kBitsOf360) return degrees;
    // fmod is exact: the whole turns repeated subtraction would take off.
    return std::fmod(degrees, kFullTurn);
  }
  float rest = std::fmod(degrees, kFullTurn);  // exact, in (-360, 0]
  if (rest == 0.0f) return 0.0f;
  float turned = rest + kFullTurn;
  return turned < kFullTurn ? turned : 0.0f;
}

float GAngle::Sin() const {
  return std::sin(degrees_ * kRadiansPerDegree);
}

float GAngle::Cos() const {
  return std::cos(degrees_ * kRadiansPerDegree);
}
