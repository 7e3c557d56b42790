// The converters of the watermark keys.
//
// The current watermark is the composite kWatermarkSettingKey in the colour
// and media settings (its code kWatermarkNumberKey, its name
// kSelectedWatermarkKey and its properties); the watermark definitions are
// the children of the pool kWatermarkListKey below the root (each with its
// code kWatermarkNumberKey, its name kWatermarkNameKey and its properties
// under the same keys as the current watermark's).
//
// GWatermarksConverter ("printing/Watermarks", the current watermark's
// kWatermarkNumberKey):
//   apply    needs the current watermark's name and code. A word of the
//            table ("None" 0, "Confidential" 1, "Draft" 2, "Sample" 3)
//            answers 1, whatever follows; any other word 0 and nothing
//            changes. With a pool: the first definition of the code names
//            the current watermark (kSelectedWatermarkKey and
//            kWatermarkNumberKey take its name and code, both recorded);
//            then the six property sub-keys run (shade, style, first page,
//            escapement, font, colour); last, the current watermark takes
//            the definition's properties (kPropertyKeys) where both hold
//            the key and the two are of the same class: values take
//            values, texts take texts (unrecorded).
//   extract  writes the code's word; for a watermark other than "None",
//            the definition named like the current watermark has its
//            properties written by the sub-keys (font, shade, colour from
//            the definition, first page from the current watermark, style,
//            escapement from the definition). No name or pool: 0, the
//            word stays written.
//
// The property sub-keys ("printing/Watermarks/..."): apply makes a
// property the current watermark lacks with its default before it asks
// the store, and keeps it whatever the answer. Extract reads the property
// in the object it is given (a definition), except the first page, which
// walks from it to the current watermark.
//   GWMShadeLevelConverter     kWatermarkShadeKey, made 224 (descriptor)
//   GWMFontStyleConverter      kWatermarkStyleKey, made 0   (descriptor)
//   GWMFirstPageOnlyConverter  kWatermarkPagesKey, made 2   (descriptor)
//   GWMFontEscapementConverter kWatermarkAngleKindKey, made 1, and
//            kWatermarkAngleKey, made 0: "Custom" (4) also reads the angle
//            ("WMFontEscapement/WMCustomAngle") as a decimal number into
//            kWatermarkAngleKey, recorded; an angle of 0 or no number
//            answers 0 (the escapement stays set and recorded). Extract of
//            4 writes the angle too and answers whether the store took it.
//   GWMFontConverter   kWatermarkFaceKey (text), made "Arial";
//            kWatermarkCharSetKey made 0, never set. The four words are
//            also the face names.
//   GWMColorConverter  kWatermarkRedKey, kWatermarkGreenKey,
//            kWatermarkBlueKey, each made 224; a word sets all three
//            (recorded in that order). Extract composes
//            red | green << 8 | blue << 16 (a missing one counts 0) and
//            writes the word of that colour.
//
// Ownership and threads: as GSettingConverter.
#pragma once

#include <cstdint>
#include <span>

#include "config/import/converter_descriptors.h"  // the descriptor sub-keys
#include "config/import/table_converter.h"
#include "config/keys/settings_keys.h"

class GWatermarksConverter final : public GTableConverter {
 public:
  // The properties a definition hands the current watermark, in order.
  static constexpr std::uint32_t kPropertyKeys[] = {
      kWatermarkPointSizeKey, kWatermarkNumberKey,    kWatermarkShadeKey,   kWatermarkStyleKey,
      kWatermarkPagesKey,     kWatermarkAngleKindKey, kWatermarkAngleKey,   kWatermarkRedKey,
      kWatermarkGreenKey,     kWatermarkBlueKey,      kWatermarkCharSetKey, kWatermarkFaceKey};

  explicit GWatermarksConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

class GWMFontEscapementConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kCustom = 4;
  static constexpr std::uint16_t kMadeAngle = 0;
  static constexpr char16_t kAnglePath[] = u"printing/Watermarks/WMFontEscapement/WMCustomAngle";

  explicit GWMFontEscapementConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

// A colour word and its red, green and blue bytes (red in the low byte).
struct GWatermarkColorRow {
  const char16_t* word;
  std::uint32_t rgb;
};

class GWMColorConverter final : public GSettingConverter {
 public:
  static constexpr char16_t kKey[] = u"printing/Watermarks/WMColor";
  static constexpr std::uint16_t kMadeValue = 224;

  explicit GWMColorConverter(GQCFLibrary* store) : GSettingConverter(store) {}
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  static std::span<const GWatermarkColorRow> Rows();
};

// A font word and its face name.
struct GWatermarkFontRow {
  const char16_t* word;
  const char* face_name;
};

class GWMFontConverter final : public GSettingConverter {
 public:
  static constexpr char16_t kKey[] = u"printing/Watermarks/WMFont";
  static constexpr char kMadeFace[] = "Arial";

  explicit GWMFontConverter(GQCFLibrary* store) : GSettingConverter(store) {}
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  static std::span<const GWatermarkFontRow> Rows();
};
