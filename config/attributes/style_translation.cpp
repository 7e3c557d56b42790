#include "config/attributes/style_translation.h"

#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "persist/find_of_class.h"
#include "persist/persistent_association.h"

namespace {

// The value object of the association for `code` in the list under
// `list_key`; null when the holder, the list or the association is
// missing, or what sits under the key is no association list.
MPersistentObject* FindAssociated(std::uint32_t list_key, const GCountedPtr& holder,
                                  std::uint16_t code) {
  MPersistentObject* root = holder.Get();
  if (!root) return nullptr;
  auto* list = FindOfClass<MAssociationList>(root, list_key);
  if (!list) return nullptr;
  const GValueAttribute probe(code, 0);
  return list->FindValue(&probe);
}

}  // namespace

std::int16_t TranslateStyleCode(std::uint32_t list_key, const GCountedPtr& holder,
                                std::uint16_t code) {
  auto* value = dynamic_cast<GValueAttribute*>(FindAssociated(list_key, holder, code));
  return value ? static_cast<std::int16_t>(value->GetValue()) : 0;
}

std::int16_t TranslateColorMapCode(const GCountedPtr& holder, std::uint16_t code) {
  return TranslateStyleCode(kColorMapListKey, holder, code);
}

std::int16_t TranslateHalftoneCode(const GCountedPtr& holder, std::uint16_t code) {
  return TranslateStyleCode(kHalftoneListKey, holder, code);
}

std::int16_t TranslateNeutralGraysCode(const GCountedPtr& holder, std::uint16_t code) {
  return TranslateStyleCode(kNeutralGraysListKey, holder, code);
}

std::int16_t TranslateEdgeControlCode(const GCountedPtr& holder, std::uint16_t code) {
  return TranslateStyleCode(kEdgeControlListKey, holder, code);
}

std::int16_t TranslateSRGBColorCode(const GCountedPtr& holder, std::uint16_t code) {
  return TranslateStyleCode(kSRGBColorListKey, holder, code);
}

std::int16_t TranslateSRGBExtensionCode(const GCountedPtr& holder, std::uint16_t code) {
  return TranslateStyleCode(kSRGBColorListKey, holder, code);
}

void LookupAssociatedString(RWCString& text, std::uint32_t list_key, const GCountedPtr& holder,
                            std::uint16_t code) {
  auto* value = dynamic_cast<GStringAttribute*>(FindAssociated(list_key, holder, code));
  text = value ? value->GetValue() : RWCString();
}
