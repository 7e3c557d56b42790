// The converters of the rasterization and resolution keys.
//
// GResolutionConverter ("printing/Resolution"): the resolution composite
// (kResolutionKey in kDocumentSettingsKey) with its x (kXResolutionKey) and y
// (kYResolutionKey) resolutions in dots per inch and its mode
// (kResolutionModeKey), which the rest of the model reads as such. The helper's
// table codes its words 0 to 6; storing those codes in kXResolutionKey and
// kYResolutionKey would leave no resolution at all for code 0, so each word
// stands for its resolution instead:
//   "600dpi" 600 x 600, mode 1; "300dpi" 300 x 300, mode 1;
//   "FASTRES_1200" 600 x 600, mode 2; "PRORES_1200" and its suffixed
//   forms "PRORES_1200_141", "_180", "_212" 1200 x 1200, mode 1.
// Apply needs all four attributes and records nothing. Extract writes the
// first word of the x resolution and mode (so the suffixed forms come back
// as "PRORES_1200"), and answers 0 for a pair no word has.
//
// GRasterizationChoiceConverter ("printing/RasterizationChoice",
// kRasterizationKey): the choice lies in the document settings
// (kDocumentSettingsKey) or, in the models that keep it with the colour and
// media settings, in kColorMediaSettingsKey: both ways look in
// kDocumentSettingsKey first, then in kColorMediaSettingsKey.
//
// Ownership and threads: as GSettingConverter.
#pragma once

#include <cstdint>
#include <span>

#include "config/import/table_converter.h"

// A word of the resolution key and what it sets.
struct GResolutionRow {
  const char16_t* word;
  std::uint16_t dots_per_inch;  // kXResolutionKey and kYResolutionKey
  std::uint16_t mode;           // kResolutionModeKey
};

class GResolutionConverter final : public GSettingConverter {
 public:
  static constexpr char16_t kKey[] = u"printing/Resolution";
  static constexpr std::uint32_t kBufferUnits = 128;

  explicit GResolutionConverter(GQCFLibrary* store) : GSettingConverter(store) {}

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  // The words in the order they are searched.
  static std::span<const GResolutionRow> Rows();

 private:
  struct Attributes {
    GValueAttribute* x = nullptr;
    GValueAttribute* y = nullptr;
    GValueAttribute* mode = nullptr;
  };
  // All three, or false.
  static bool Find(GAttributeComposite* root, Attributes& found);
};

class GRasterizationChoiceConverter final : public GTableConverter {
 public:
  explicit GRasterizationChoiceConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  // The descriptor whose group holds the choice: the document settings',
  // else the colour and media settings'.
  static const GFeatureBinding& In(GAttributeComposite* root);
};
