#include "config/import/layout_converters.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"

GBookletPrintingChoiceConverter::GBookletPrintingChoiceConverter(GQCFLibrary* store)
    : GTableConverter(store, kBookletPrintingChoiceDescriptor) {}

std::uint32_t GBookletPrintingChoiceConverter::Apply(GAttributeComposite* root,
                                                     GAttributeComposite* destination) {
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (!found.read || found.attribute == nullptr || found.attribute->GetValue() == 0) return result;
  GValueAttribute* n_up = FindValue(found.group, kNUpChoiceKey);
  if (n_up != nullptr && n_up->GetValue() != 1) {
    n_up->SetValue(1);
    if (GValueAttribute* recorded = FindValue(destination, kNUpChoiceKey)) recorded->SetValue(1);
  }
  return result;
}

GTextAsBlackConverter::GTextAsBlackConverter(GQCFLibrary* store)
    : GTableConverter(store, kTextAsBlackDescriptor) {}

std::uint32_t GTextAsBlackConverter::Apply(GAttributeComposite* root,
                                           GAttributeComposite* destination) {
  if (FindPath(root, kDocumentSettingsPath) == nullptr) return 0;
  return GTableConverter::Apply(root, destination);
}

std::uint32_t GTextAsBlackConverter::Extract(GAttributeComposite* root) {
  if (FindPath(root, kDocumentSettingsPath) == nullptr) return 0;
  return GTableConverter::Extract(root);
}
