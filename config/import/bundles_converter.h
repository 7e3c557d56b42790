// GBundlesConverter: "physical/Bundles", the printer model (the bundle, a
// named set of installed options), between the store and the driver data.
// The importer makes it itself: it applies it first in a physical import
// and extracts it first when it exports "factory/physical".
//   apply    the store's word names a row of the bundles table (the
//            product's, product_data.h); the row's model name goes to the
//            driver data's SelectBundle with the model root, and apply
//            answers 1 whatever that does. No row: 0, nothing called.
//   extract  the bundle number (kInstalledOptionsKey -> kConfigStatusKey) names
//            the first child of the job settings' bundle list (kBundlesKey)
//            that carries it in its own kConfigStatusKey; that child's name
//            (kBundleNameKey) names the first row of the table with the same
//            model name, whose word is written.
//
// Ownership: the driver data is not owned and must outlive the converter;
// the rest as GSettingConverter.
#pragma once

#include <cstdint>

#include "config/import/setting_converter.h"

class GDriverData;

class GBundlesConverter final : public GSettingConverter {
 public:
  static constexpr char16_t kKey[] = u"physical/Bundles";
  static constexpr std::uint32_t kBufferUnits = 128;

  // REQUIRES: `driver_data` (null allowed: both ways answer 0) outlives the
  // converter.
  GBundlesConverter(GQCFLibrary* store, GDriverData* driver_data);

  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  std::uint32_t Extract(GAttributeComposite* root) override;

  // The rows of the product's table.
  std::uint16_t RowCount() const;

 private:
  GDriverData* driver_data_;
};
