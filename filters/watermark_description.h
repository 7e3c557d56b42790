// GWatermarkDescription: everything the watermark filter collects from a
// job's watermark setting (kWatermarkSettingKey) to describe its watermark,
// handed by address to the job context's font making
// (GRenderDriverData::CreateWatermarkFont, which may read every field). A
// plain in-memory record: never stored. Owned by the filter; one job's
// thread.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "output/color/color.h"

struct GWatermarkDescription {
  RWWString text;                      // kWatermarkTextKey, from 8-bit
  std::uint32_t text_length = 0;       // in characters
  RWWString face_name;                 // kWatermarkFaceKey, from 8-bit
  std::int32_t height = 0;             // -(x resolution x points) / 72, at build
  std::int32_t width = 0;              // kWatermarkWidthKey
  std::int32_t character_set = 1;      // kWatermarkCharSetKey; 1 until loaded
  std::uint32_t output_precision = 4;  // always 4
  std::uint32_t clip_precision = 0;
  std::uint32_t quality = 0;
  std::uint32_t pitch_and_family = 0;
  std::uint32_t weight = 0;      // 700 with style bit 1, else 400
  std::uint32_t italic = 0;      // style bit 2
  std::uint32_t underline = 0;   // style bit 4
  std::uint32_t strike_out = 0;  // style bit 8
  std::uint16_t point_size = 0;  // kWatermarkPointSizeKey
  GRGBColor color;               // the shaded parts and 255
  std::uint16_t shade = 0;       // kWatermarkShadeKey
  std::int32_t kept_value = 0;   // carried to the job context unchanged
  std::int32_t second_kept_value = 0;
  std::int32_t angle_kind = 0;    // kWatermarkAngleKindKey: horizontal 0 ... custom 4
  std::int32_t custom_angle = 0;  // kWatermarkAngleKey
};
