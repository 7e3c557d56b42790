// The converters of the colour keys.
//
// GPrintColorAsGrayConverter ("printing/PrintColorAsGray",
// kColorMediaSettingsKey -> kPrintColorAsGrayKey, a new value attribute
// recorded): the common steps; then, with grey printing on
// (kPrintColorAsGrayKey at 1), the grey-printing options
// (GPrintColorAsGrayOptionsConverter, kDocumentSettingsKey ->
// kPrintColorAsGrayOptionsKey), whose change also answers 1; then a lock of
// kPrintColorAsGrayKey when the store says the key is locked. Extract writes
// the words of the value's rows in turn until the store takes one ("Disable"
// before "FALSE", "Enable" before "TRUE"), then extracts the options.
//
// GRGBColorConverter ("printing/RGBColor"): the sRGB colour of text,
// graphics and photos (setting 3 of objects 0, 1, 2) of the colour
// adjustment of class 1201 in kColorMediaSettingsKey:
//   "ImagesRGB" 0x6D 0x6E 0x6F, "AdobeRGB" 0x70 0x71 0x72,
//   "None" 0x66 0x69 0x6C, "CustomProfile" 0x73 0x74 0x75,
//   any other word 0x64 0x67 0x6A.
// Extract reads the photo byte and writes the word of its row, else
// "Default-sRGB". A copy of the adjustment is recorded.
//
// GTintvectorConverter ("printing/KVTintvector", kColorMediaSettingsKey ->
// kColorModeKey): only the word "Manual" does anything: it reads the eleven
// sub-keys below "printing/KVTintvector/" into the colour adjustment of class
// 797 (else 1201) in kColorMediaSettingsKey, each sub-key the class holds a
// byte for (Rows()), and sets kColorModeKey to 6 when every one was read. A
// sub-key the store lacks, or whose word it does not deliver, keeps its byte
// but stores none of them. The adjustment is recorded only when it differs (in
// content) from the driver's default, the adjustment keyed kColorAdjustmentKey
// in the driver data's job settings; no default counts as different. Extract
// writes "Manual" and the eleven sub-keys in order for kColorModeKey at 6, else
// "Automatic"; a sub-key whose byte the class does not hold is written
// "Default-sRGB", which reads back as the default byte either way; without an
// adjustment only "Manual" is written.
//
// Ownership: the Tintvector converter's driver data is not owned and must
// outlive it; the rest as GSettingConverter.
#pragma once

#include <cstdint>
#include <span>

#include "config/import/table_converter.h"

class GDriverData;

class GPrintColorAsGrayConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kGrayOn = 1;

  explicit GPrintColorAsGrayConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

// An RGB colour word and the sRGB bytes of text, graphics and photos.
struct GRGBColorRow {
  const char16_t* word;
  std::uint8_t bytes[3];
};

class GRGBColorConverter final : public GSettingConverter {
 public:
  static constexpr char16_t kKey[] = u"printing/RGBColor";
  static constexpr char16_t kOtherWord[] = u"Default-sRGB";
  static constexpr GRGBColorRow kOtherBytes{nullptr, {0x64, 0x67, 0x6A}};

  explicit GRGBColorConverter(GQCFLibrary* store) : GSettingConverter(store) {}

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  static std::span<const GRGBColorRow> Rows();
};

// A word of a Tintvector sub-key and its byte, either way.
struct GTintvectorWord {
  const char16_t* word;
  std::uint8_t byte;
};

// One sub-key of the Tintvector colour adjustment: the byte it sets
// (object, setting) in the classes that hold it, the words apply knows
// (any other word: `other_byte`), and the bytes extract knows (any other
// byte: `other_word`).
struct GTintvectorSubKey {
  enum class Holders : std::uint8_t { kBoth, kEnhancedOnly, kVer2Only };
  const char16_t* key;
  std::int32_t object;
  std::int32_t setting;
  Holders holders;
  GTintvectorWord read[3];  // a null word ends the list
  std::uint8_t other_byte;
  GTintvectorWord written[3];
  const char16_t* other_word;
};

class GTintvectorConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kManual = 6;
  static constexpr char16_t kManualWord[] = u"Manual";
  static constexpr char16_t kAutomaticWord[] = u"Automatic";
  // What extract writes for a byte the class does not hold.
  static constexpr char16_t kMissingByteWord[] = u"Default-sRGB";

  // REQUIRES: `driver_data` (null allowed: no default) outlives the
  // converter.
  GTintvectorConverter(GQCFLibrary* store, GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  // The eleven sub-keys, in the order they are read, stored and written.
  static std::span<const GTintvectorSubKey> Rows();

 private:
  // Reads the sub-keys into the colour adjustment and records it; false
  // when a sub-key could not be read or a byte not stored.
  bool ReadSubKeys(GAttributeComposite* root, GAttributeComposite* destination);

  GDriverData* driver_data_;
};
