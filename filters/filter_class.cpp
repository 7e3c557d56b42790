#include "filters/filter_class.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"

std::optional<std::int16_t> FilterValue(GAttributeComposite* set, std::uint32_t key) {
  GValueAttribute* value = FindValueAttribute(set, key);
  if (!value) return std::nullopt;
  return static_cast<std::int16_t>(value->GetValue());
}
