#include "config/import/table_converter.h"

#include "config/attributes/attribute_composite.h"

std::uint32_t GTableConverter::Apply(GAttributeComposite* root, GAttributeComposite* destination) {
  return ApplyCommon(root, destination, binding_);
}

std::uint32_t GTableConverter::Extract(GAttributeComposite* root) {
  return ExtractCommon(root, binding_);
}
