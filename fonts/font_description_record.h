// GFontDescriptionRecord: the description of a font that the font objects
// carry and hand, by value, to a font-file handle's glyph operations, which
// pass it on to the reader's glyph conversion. The font handling gives no
// meaning to its fields; the generators that fill it do (the third to
// fifth of the first words are vertical metrics, the first of the first
// longs the typeface, the first two of the second words horizontal metrics
// and the next three the first, last and default character codes).
//
// Threads: a value; copied field by field.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"

struct GFontDescriptionRecord {
  std::uint16_t words1[5] = {};
  std::uint32_t longs1[3] = {};
  std::uint16_t style = 0;
  std::uint32_t selector = 0;  // the character set of the font's codes
  float x_scale = 0;
  float y_scale = 0;
  std::int16_t height = 0;
  std::uint32_t longs2[2] = {};
  std::uint16_t words2[6] = {};
  RWCString face_name;
  std::uint32_t long3 = 0;
  std::uint16_t last_word = 0;
};
