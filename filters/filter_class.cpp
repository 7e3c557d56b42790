#include "filters/filter_class.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "foundation/rw/support.h"
#include "persist/find_of_class.h"

namespace {

constinit RWLockRecord g_file_lock;

}  // namespace

std::optional<std::int16_t> FilterValue(GAttributeComposite* set, std::uint32_t key) {
  GValueAttribute* value = FindValueAttribute(set, key);
  if (!value) return std::nullopt;
  return static_cast<std::int16_t>(value->GetValue());
}

bool PutValue(GAttributeComposite* set, std::uint32_t key, std::uint16_t value) {
  if (!set) return false;
  if (GValueAttribute* found = FindValueAttribute(set, key)) {
    if (found->GetValue() == value) return false;
    found->SetValue(value);
  } else {
    set->AddChild(RWNew<GValueAttribute>(value, key));
  }
  return true;
}

RWCString StringOf(GAttributeComposite* set, std::uint32_t key) {
  GStringAttribute* text = FindStringAttribute(set, key);
  return text ? text->GetValue() : RWCString();
}

GMedia* MediumOf(GAttributeComposite* set) {
  return FindOfClass<GMedia>(set, kMediumKey);
}

GCountedPtr Held(MPersistentObject* object) {
  return GCountedPtr(object, g_file_lock);
}
