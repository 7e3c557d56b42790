// GTableConverter: the converter that is nothing but the common steps over
// one constant descriptor (a GFeatureBinding, setting_converter.h): the
// group path and attribute key, the apply and extract keys, the read
// buffer's size, what apply records, whether the store is read first, what
// a missing attribute gets, where extract looks, and the value table.
//
// Each plain converter is one descriptor under its own class name
// (GDescribedConverter<descriptor>, named in converter_descriptors.h).
// Converters that do more derive from GTableConverter, keep its descriptor
// and call the single steps around the common ones.
//
// Ownership: the descriptor is a constant that outlives every converter;
// the rest as GSettingConverter. Threads: one thread at a time.
#pragma once

#include <cstdint>

#include "config/import/setting_converter.h"

class GTableConverter : public GSettingConverter {
 public:
  // REQUIRES: `binding` outlives the converter.
  GTableConverter(GQCFLibrary* store, const GFeatureBinding& binding)
      : GSettingConverter(store), binding_(binding) {}

  // The common apply over the descriptor.
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override;
  // The common extract over the descriptor.
  std::uint32_t Extract(GAttributeComposite* root) override;

  const GFeatureBinding& Binding() const { return binding_; }
  std::uint16_t RowCount() const { return static_cast<std::uint16_t>(binding_.rows.size()); }

 private:
  const GFeatureBinding& binding_;
};

// A plain converter: the table converter of one descriptor, a class of its
// own so that it can be made, like the others, by its name alone.
template <const GFeatureBinding& kBinding>
class GDescribedConverter final : public GTableConverter {
 public:
  explicit GDescribedConverter(GQCFLibrary* store) : GTableConverter(store, kBinding) {}
};
