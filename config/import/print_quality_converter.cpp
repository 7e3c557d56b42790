#include "config/import/print_quality_converter.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/import/layout_converters.h"
#include "config/keys/settings_keys.h"
#include "services/driver_data.h"

namespace {

using Target = GPresetPair::Target;

constexpr GPresetPair kPresetPairs[] = {
    {kPresetRetChoiceKey, kRetChoiceKey, Target::kDocument, false},
    {kPresetPatternScalingKey, kPatternScalingKey, Target::kDocument, false},
    {kPresetEdgeToEdgeKey, kEdgeToEdgeKey, Target::kDocument, false},
    {kPresetMetChoiceKey, kMetChoiceKey, Target::kDocument, false},
    {kPresetRasterizationKey, kRasterizationKey, Target::kColorMedia, false},
    {kPresetTrueTypeAsBitmapKey, kTrueTypeAsBitmapKey, Target::kColorMedia, false},
    {kPresetTextAsBlackKey, kTextAsBlackKey, Target::kColorMedia, false},
    {kPresetFirstHalftoneKey, kFirstHalftoneKey, Target::kColorMedia, true},
    {kPresetSecondHalftoneKey, kSecondHalftoneKey, Target::kColorMedia, true},
    {kPresetThirdHalftoneKey, kThirdHalftoneKey, Target::kColorMedia, true},
    {kPresetManualDuplexKey, kManualDuplexKey, Target::kDocument, false},
    {kPresetQualityDocumentOptionKey, kQualityDocumentOptionKey, Target::kDocument, false},
    {kPresetQualityDocumentSecondOptionKey, kQualityDocumentSecondOptionKey, Target::kDocument,
     false},
    {kPresetQualityColorOptionKey, kQualityColorOptionKey, Target::kColorMedia, false},
    {kPresetXResolutionKey, kXResolutionKey, Target::kResolution, false},
    {kPresetYResolutionKey, kYResolutionKey, Target::kResolution, false},
    {kPresetResolutionModeKey, kResolutionModeKey, Target::kResolution, false},
    {kPresetQualityColorSecondOptionKey, kQualityColorSecondOptionKey, Target::kColorMedia, false},
    {kPresetPaperCheckKey, kPaperCheckKey, Target::kDocument, false},
};

}  // namespace

// Where a preset's pairs are looked for.
struct GPrintQualityConverter::Sides {
  MPersistentObject* preset = nullptr;
  MPersistentObject* document = nullptr;
  MPersistentObject* color_media = nullptr;
};

GPrintQualityConverter::GPrintQualityConverter(GQCFLibrary* store, GDriverData* driver_data)
    : GTableConverter(store, kPrintQualityDescriptor), driver_data_(driver_data) {}

std::span<const GPresetPair> GPrintQualityConverter::Presets() {
  return kPresetPairs;
}

template <class Visit>
void GPrintQualityConverter::ForEachPair(const Sides& sides, Visit visit) {
  GValueAttribute* halftone_set = FindValueAttribute(sides.preset, kPresetHalftoneSetKey);
  const bool with_halftone = halftone_set != nullptr && halftone_set->GetValue() != 0;
  // The resolution pairs need the preset's resolution and the settings'.
  MPersistentObject* preset_resolution = FindComposite(sides.preset, kPresetResolutionKey);
  MPersistentObject* resolution = FindComposite(sides.document, kResolutionKey);
  for (const GPresetPair& pair : kPresetPairs) {
    if (pair.needs_halftone_set && !with_halftone) continue;
    MPersistentObject* source_in = sides.preset;
    MPersistentObject* target_in =
        pair.in == Target::kDocument ? sides.document : sides.color_media;
    if (pair.in == Target::kResolution) {
      if (preset_resolution == nullptr || resolution == nullptr) continue;
      source_in = preset_resolution;
      target_in = resolution;
    }
    visit(FindValueAttribute(source_in, pair.source), FindValueAttribute(target_in, pair.target));
  }
}

bool GPrintQualityConverter::FindSides(GAttributeComposite* root, std::uint32_t preset_key,
                                       Sides& sides) const {
  GAttributeComposite* job_settings =
      driver_data_ != nullptr ? driver_data_->GetJobSettings() : nullptr;
  sides.preset = job_settings != nullptr ? job_settings->FindByKey(preset_key) : nullptr;
  sides.document = FindPath(root, kDocumentSettingsPath);
  sides.color_media = FindPath(root, kColorMediaSettingsPath);
  return sides.preset != nullptr && sides.document != nullptr && sides.color_media != nullptr;
}

std::uint32_t GPrintQualityConverter::CopyPreset(GAttributeComposite* root,
                                                 GAttributeComposite* destination) {
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWordOf(Binding().apply_key, buffer) != 1) return 0;
  std::uint32_t preset_key = 0;
  if (WideStringsEqual(buffer.Data(), kBestWord) != 0) {
    preset_key = kBestPresetKey;
  } else if (WideStringsEqual(buffer.Data(), kNormalWord) != 0) {
    preset_key = kNormalPresetKey;
  } else {
    return 0;
  }
  Sides sides;
  if (!FindSides(root, preset_key, sides) || destination == nullptr) return 0;
  // A preset that sets nothing in these settings is no change.
  std::uint32_t copied = 0;
  ForEachPair(sides, [&](GValueAttribute* source, GValueAttribute* target) {
    if (source == nullptr || target == nullptr) return;
    target->SetValue(source->GetValue());
    RecordCopy(destination, *target);
    copied = 1;
  });
  return copied;
}

std::uint32_t GPrintQualityConverter::Apply(GAttributeComposite* root,
                                            GAttributeComposite* destination) {
  MPersistentObject* document = FindPath(root, kDocumentSettingsPath);
  if (document == nullptr) return 0;
  if (FindValueAttribute(document, Binding().attribute_key) != nullptr) {
    return ApplyCommon(root, destination, Binding());
  }
  std::uint32_t result = CopyPreset(root, destination);
  if (ApplyOnce<GTextAsBlackConverter>(root, destination, FeatureStore()) != 0) result = 1;
  if (ApplyOnce<GTTAsBitmapSettingConverter>(root, destination, FeatureStore()) != 0) result = 1;
  return result;
}

std::uint32_t GPrintQualityConverter::Extract(GAttributeComposite* root) {
  MPersistentObject* document = FindPath(root, kDocumentSettingsPath);
  if (document == nullptr) return 0;
  if (FindValueAttribute(document, Binding().attribute_key) != nullptr) {
    return ExtractCommon(root, Binding());
  }
  auto matches = [&](std::uint32_t preset_key) {
    Sides sides;
    if (!FindSides(root, preset_key, sides)) return true;
    bool equal = true;
    ForEachPair(sides, [&](GValueAttribute* source, GValueAttribute* target) {
      if (source != nullptr && target != nullptr && source->GetValue() != target->GetValue()) {
        equal = false;
      }
    });
    return equal;
  };
  const char16_t* word = matches(kBestPresetKey)     ? kBestWord
                         : matches(kNormalPresetKey) ? kNormalWord
                                                     : kCustomWord;
  WriteWord(Binding().ExtractKey(), word);
  return 1;
}
