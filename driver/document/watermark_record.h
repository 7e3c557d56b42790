// The page watermark's drawing record and the facts it is built from.
//
// A watermark definition (a composite keyed kWatermarkDefinitionKey in the
// watermark list, kKeyLocksKey -> kWatermarkListKey) holds by key:
// kWatermarkNameKey, kWatermarkTextKey, kWatermarkFaceKey (face name),
// kWatermarkCharSetKey, kWatermarkStyleKey (bits: 0 bold, 1 italic,
// 2 underline, 3 strike-out), kWatermarkWeightKey, kWatermarkPointSizeKey,
// kWatermarkWidthKey (character width), kWatermarkAngleKindKey (1 diagonal,
// 2 vertical, 3 the other diagonal, 4 custom, else 0 degrees),
// kWatermarkAngleKey (the custom angle), kWatermarkKeptKey and
// kWatermarkSecondKeptKey (kept, not drawn), kWatermarkRedKey,
// kWatermarkGreenKey and kWatermarkBlueKey (flags), kWatermarkShadeKey (gray
// level) and kWatermarkNumberKey (the built-in entry's number). Texts are
// 8-bit (the system's code page, UTF-8); the face name reaches the font as
// UTF-16.
//
// The record is the context's, refilled for each document. Pure helpers;
// any thread.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "platform/host/types.h"
#include "platform/ui/device_context.h"

// The context's watermark modes.
inline constexpr std::uint32_t kWatermarkNone = 0;
inline constexpr std::uint32_t kWatermarkFirstPage = 1;
inline constexpr std::uint32_t kWatermarkEveryPage = 2;

struct GWatermarkRecord {
  RWWString text;
  std::uint32_t length = 0;  // characters
  platform::LogFontW font;
  std::uint32_t prepared = 0;
  std::int32_t point_size = 0;
  platform::COLORREF color = 0;
  std::uint32_t gray = 0;
  std::uint32_t kept1 = 0;  // kWatermarkKeptKey
  std::uint32_t kept2 = 0;  // kWatermarkSecondKeptKey
  std::int32_t start_x = 0;
  std::int32_t start_y = 0;
  std::uint32_t angle_kind = 0;
  std::int16_t custom_angle = 0;
};

// The character set and face of a code page's built-in watermarks: 932,
// 936, 949 and 950 have their own face, every other page "Arial".
struct GWatermarkFace {
  std::uint8_t char_set;
  const char16_t* face;
};
GWatermarkFace WatermarkFaceForCodePage(std::uint32_t code_page);

// The colour of `level` (255 counts as 232) with the three flags: with one
// or two set (and not `grayscale`), each flagged channel is 255 and the
// others the level; else every channel is the level.
platform::COLORREF WatermarkColor(std::uint32_t level, bool red, bool green, bool blue,
                                  bool grayscale);
// The angle in whole degrees of an angle kind on a page.
std::int32_t WatermarkAngle(std::uint32_t kind, std::int16_t custom, int width, int height);
