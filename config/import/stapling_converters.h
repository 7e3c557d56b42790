// The stapler converters.
//
// GStaplerChoiceStaplingConverter ("printing/StaplerChoice/Stapling",
// kDocumentSettingsKey -> kStaplerStaplingKey, the staple code), for models
// without the stapling attribute kStaplingKey:
//   apply    without the key in the store, a stapler choice
//            (kDocumentSettingsKey -> kStaplerChoiceKey) of 1 sets the staple
//            code to 1 and answers 1. Otherwise the word is matched;
//            "Stitching" sets the stitching flag (kDocumentSettingsKey ->
//            kStitchingKey) instead of the staple code. With the stitching
//            accessory D installed (kInstalledOptionsKey ->
//            kAccessoryOutputBinsKey), "1parallel" and "2parallel" set 8 and 9.
//            A match records a copy of what it set and answers 1.
//   extract  staple code 7 with the stitching flag at 1 writes "TRUE" to
//            the stapler choice and "Stitching" to this key; any other
//            code its first word.
//
// GStaplerChoiceConverter ("printing/StaplerChoice", kDocumentSettingsKey ->
// kStaplerChoiceKey), only with the stapler installed (kInstalledOptionsKey ->
// kStaplerInstalledKey not 0):
//   apply    matches the word, unless the stapling key holds "Stitching"
//            (then the choice stays); a match records a new value
//            attribute and answers 1. Once its word was read, the staple
//            code follows (GStaplerChoiceStaplingConverter's apply); its
//            answer does not count.
//   extract  writes the choice's word, then the staple code's.
//
// Ownership and threads: as GSettingConverter.
#pragma once

#include <cstdint>

#include "config/import/table_converter.h"

class GStaplerChoiceStaplingConverter final : public GTableConverter {
 public:
  static constexpr std::uint16_t kNoStaples = 7;
  static constexpr char16_t kStitching[] = u"Stitching";

  explicit GStaplerChoiceStaplingConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

class GStaplerChoiceConverter final : public GTableConverter {
 public:
  explicit GStaplerChoiceConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};
