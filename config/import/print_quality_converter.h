// GPrintQualityConverter: "printing/PrintQuality", into the document
// settings.
//   With a print-quality attribute (kPrintQualityKey in the document
//   settings): the common steps, "Fast" 65534, "FastNormal" 65535, "Normal"
//   0, "Best" 1, "Custom" 99, a new value attribute recorded. Extract writes
//   the word of the value.
//   Without one: three steps, whose changes each answer 1:
//     1. the preset copy: "Best" copies the job settings' preset
//        kBestPresetKey into the settings, "Normal" preset kNormalPresetKey
//        (Presets(): each pair's source in the preset, its target in the
//        document settings (kDocumentSettingsKey), the colour and media
//        settings (kColorMediaSettingsKey) or the document settings'
//        resolution kResolutionKey, copied and recorded when both are
//        there). A copy that copies nothing answers 0, also when the preset,
//        either settings or the destination is missing (it used to answer 1
//        then);
//     2. the text-as-black converter;
//     3. the TrueType-as-bitmap converter.
//   Extract writes "Best" when the settings match preset kBestPresetKey (a
//   pair matches when its two sides are not both there or hold equal
//   values; a missing preset or settings matches), else "Normal" for preset
//   kNormalPresetKey, else "Custom".
//
// Ownership: the driver data is not owned and must outlive the converter;
// the rest as GSettingConverter.
#pragma once

#include <cstdint>
#include <span>

#include "config/import/table_converter.h"

class GDriverData;

// One pair of the preset copy: the source's key in the preset (or in its
// resolution composite kPresetResolutionKey), the target's key and where it
// lies.
struct GPresetPair {
  enum class Target : std::uint8_t { kDocument, kColorMedia, kResolution };
  std::uint32_t source;
  std::uint32_t target;
  Target in;
  // Copied only while the preset's kPresetHalftoneSetKey is there and not 0.
  bool needs_halftone_set;
};

class GPrintQualityConverter final : public GTableConverter {
 public:
  static constexpr char16_t kBestWord[] = u"Best";
  static constexpr char16_t kNormalWord[] = u"Normal";
  static constexpr char16_t kCustomWord[] = u"Custom";

  // REQUIRES: `driver_data` (null allowed: no presets) outlives the
  // converter.
  GPrintQualityConverter(GQCFLibrary* store, GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  // The pairs in the order they are copied and compared.
  static std::span<const GPresetPair> Presets();

 private:
  struct Sides;
  // Calls `visit(source, target)` for each pair whose conditions hold
  // (either side may be null).
  template <class Visit>
  static void ForEachPair(const Sides& sides, Visit visit);
  bool FindSides(GAttributeComposite* root, std::uint32_t preset_key, Sides& sides) const;
  std::uint32_t CopyPreset(GAttributeComposite* root, GAttributeComposite* destination);

  GDriverData* driver_data_;
};
