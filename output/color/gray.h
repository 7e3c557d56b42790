// The output model's colour-to-gray function: the grey level a printer
// renders for a red, green and blue colour, 0 (black) to 255 (white):
//   (76 R + 151 G + 28 B + 255) >> 8
// The weights add up to 255, so white stays 255 and black 0. This is its
// one copy: the bitmaps' grey rows use it, and the render-time driver data
// hands out a pointer to it (GGrayConversion).
//
// Threads: a pure function.
#pragma once

#include <cstdint>

// A colour-to-gray conversion: red, green, blue to 0..255.
using GGrayConversion = std::uint8_t (*)(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

inline std::uint8_t ColorToGray(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<std::uint8_t>((76u * red + 151u * green + 28u * blue + 255u) >> 8);
}
