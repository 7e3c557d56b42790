// GAccessoryOutputBinsConverter: "physical/AccessoryOutputBins", the
// installed output accessory, kept as text in kInstalledOptionsKey ->
// kAccessoryOutputBinsKey.
//   apply    the store's word, as 8-bit text (at most 127 bytes; a longer
//            word is refused), becomes the accessory text, or the empty
//            text for "NotInstalled". An accessory that installs the
//            stapler (product_data.h) sets kInstalledOptionsKey ->
//            kStaplerInstalledKey to 1, the stitching one also
//            kInstalledOptionsKey -> kStitcherInstalledKey. The first
//            paper-handling device of the driver data's job settings
//            (kPaperHandlingKey) named like the text is marked installed.
//            Nothing is recorded; 1 once the word was read.
//   extract  writes the text, or "NotInstalled" for the empty text (a
//            text of more than 127 bytes is refused, not cut).
//
// Ownership: the driver data is not owned and must outlive the converter;
// the rest as GSettingConverter.
#pragma once

#include <cstdint>

#include "config/import/table_converter.h"

class GDriverData;

class GAccessoryOutputBinsConverter final : public GTableConverter {
 public:
  static constexpr char16_t kNotInstalled[] = u"NotInstalled";

  // REQUIRES: `driver_data` (null allowed: no device is marked) outlives
  // the converter.
  GAccessoryOutputBinsConverter(GQCFLibrary* store, GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

 private:
  GDriverData* driver_data_;
};
