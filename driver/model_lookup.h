// Typed look-ups in a printer's model for the driver's readers. The model
// comes from the driver data file and from printer data, both outside
// data: an object found under a key is used only when it is of the class
// its reader expects, and anything else counts as missing (never a cast
// that could be wrong). Searches are the model's FindByKey: depth first,
// first match, the object itself never tested.
//
// Pure apart from the search; any thread, on a tree it alone uses.
#pragma once

#include <cstdint>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "foundation/rw/cstring.h"
#include "persist/persistent_object.h"

// The first descendant of `in` keyed `key` when it is a T; null when `in`
// is null, nothing has the key, or the first match is of another class.
template <class T>
T* FindOfClass(MPersistentObject* in, std::uint32_t key) {
  return in ? dynamic_cast<T*>(in->FindByKey(key)) : nullptr;
}

// The 16-bit value attribute keyed `key`, or null.
inline GValueAttribute* FindValueAttribute(MPersistentObject* in, std::uint32_t key) {
  return FindOfClass<GValueAttribute>(in, key);
}

// That attribute's value sign-extended, or `fallback` without one.
inline std::int32_t SignedValueOr(MPersistentObject* in, std::uint32_t key, std::int32_t fallback) {
  GValueAttribute* value = FindValueAttribute(in, key);
  return value ? static_cast<std::int16_t>(value->GetValue()) : fallback;
}

// The string attribute keyed `key`, or null.
inline GStringAttribute* FindStringAttribute(MPersistentObject* in, std::uint32_t key) {
  return FindOfClass<GStringAttribute>(in, key);
}

// The attribute composite keyed `key` (any kind of 757), or null.
inline GAttributeComposite* FindComposite(MPersistentObject* in, std::uint32_t key) {
  return FindOfClass<GAttributeComposite>(in, key);
}

// `in`'s first direct child keyed `key`, or null (a composite's own
// children only, never a deeper descendant).
inline MPersistentObject* FindDirectChild(const GAttributeComposite* in, std::uint32_t key) {
  if (!in) return nullptr;
  const GCountedPtrVector& children = in->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (child && child->Key() == key) return child;
  }
  return nullptr;
}
