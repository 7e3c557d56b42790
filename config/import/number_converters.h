// The converters whose option word is a number.
//
// GNumberRuleConverter: the word is read as a decimal number and stored as
// the attribute's value when it lies within the converter's range; extract
// writes the value in decimal. The range keeps every stored value a
// 16-bit count: a copy count or work space of 0 or less, or past 65535,
// is refused rather than wrapped (copies "-1" would store 65535).
//   GScaleChoiceConverter             "printing/ScaleChoice",
//                                     kScalePercentKey, 25-400 percent
//   GCopiesConverter                  "printing/Copies", kCopiesKey, 1-65535
//   GDriverWorkSpaceSettingConverter  "physical/DriverWorkSpaceSetting",
//                                     kPrinterMemoryKey, 1-65535
// (in the document settings, the colour and media settings and the
// installed options: converter_descriptors.h).
//
// GDryTimeConverter: "printing/DryTime", kDocumentSettingsKey -> kDryTimeKey.
// The word is a number of -15 to 30 in steps of 5, stored as the codes 1 to 10
// (0 is code 4). A word that holds no number, or a number outside the list,
// changes nothing and answers 0. Unlike the helper's own rule, which took code
// 4 for "no change" so that 0 could never be imported, a word that reads 0
// sets code 4 and answers 1; extract writes 0 for code 4 and for any code
// outside 1-10.
//
// GMemoryConverter: "physical/Memory", kInstalledOptionsKey -> kMemoryKey, the
// printer's memory in megabytes, 1-65535 (0, or a word that is no number,
// changes nothing; a number past 16 bits is refused, not wrapped). A change
// moves the memory share kDriverWorkSpaceKey in kInstalledOptionsKey by half
// the difference, in whole hundreds (1000 with 32 raised to 54 gives 2100),
// never below 0 or past 65535, and records it. Extract answers 1 only when the
// store takes the number.
//
// A word that does not fit the 64-byte buffer it is read from is refused.
//
// Ownership and threads: as GSettingConverter.
#pragma once

#include <cstdint>

#include "config/import/table_converter.h"

class GNumberRuleConverter : public GTableConverter {
 public:
  // REQUIRES: `binding` outlives the converter; 0 < minimum <= maximum <=
  // 65535.
  GNumberRuleConverter(GQCFLibrary* store, const GFeatureBinding& binding, std::int32_t minimum,
                       std::int32_t maximum)
      : GTableConverter(store, binding), minimum_(minimum), maximum_(maximum) {}

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  std::int32_t Minimum() const { return minimum_; }
  std::int32_t Maximum() const { return maximum_; }

 private:
  std::int32_t minimum_;
  std::int32_t maximum_;
};

class GScaleChoiceConverter final : public GNumberRuleConverter {
 public:
  static constexpr std::int32_t kMinimumPercent = 25;
  static constexpr std::int32_t kMaximumPercent = 400;
  explicit GScaleChoiceConverter(GQCFLibrary* store);
};

class GCopiesConverter final : public GNumberRuleConverter {
 public:
  explicit GCopiesConverter(GQCFLibrary* store);
};

class GDriverWorkSpaceSettingConverter final : public GNumberRuleConverter {
 public:
  explicit GDriverWorkSpaceSettingConverter(GQCFLibrary* store);
};

class GDryTimeConverter final : public GTableConverter {
 public:
  // The numbers of codes 1 to 10.
  static constexpr std::int32_t kFirstNumber = -15;
  static constexpr std::int32_t kStep = 5;
  static constexpr std::uint16_t kFirstCode = 1;
  static constexpr std::uint16_t kLastCode = 10;

  explicit GDryTimeConverter(GQCFLibrary* store);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};

class GMemoryConverter final : public GNumberRuleConverter {
 public:
  explicit GMemoryConverter(GQCFLibrary* store);
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;
};
