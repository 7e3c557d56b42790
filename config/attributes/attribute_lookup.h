// Typed look-ups of the configuration model's attributes in a settings tree
// (FindOfClass, persist/find_of_class.h): depth first, first match; an
// object of another class under the key counts as missing, and a null tree
// finds nothing.
//
// Pure apart from the search and SetValueIfPresent's write; any thread, on
// a tree it alone uses.
#pragma once

#include <cstdint>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "persist/find_of_class.h"
#include "persist/persistent_object.h"

// The 16-bit value attribute keyed `key`, or null.
inline GValueAttribute* FindValueAttribute(MPersistentObject* in, std::uint32_t key) {
  return FindOfClass<GValueAttribute>(in, key);
}

// That attribute's value sign-extended, or `fallback` without one.
inline std::int32_t SignedValueOr(MPersistentObject* in, std::uint32_t key, std::int32_t fallback) {
  GValueAttribute* value = FindValueAttribute(in, key);
  return value ? static_cast<std::int16_t>(value->GetValue()) : fallback;
}

// That attribute's value as stored, or `fallback` without one.
inline std::uint16_t ValueOr(MPersistentObject* in, std::uint32_t key, std::uint16_t fallback) {
  GValueAttribute* value = FindValueAttribute(in, key);
  return value ? value->GetValue() : fallback;
}

// Sets that attribute's value when there is one; false otherwise.
inline bool SetValueIfPresent(MPersistentObject* in, std::uint32_t key, std::int32_t value) {
  GValueAttribute* attribute = FindValueAttribute(in, key);
  if (attribute) attribute->SetValue(static_cast<std::uint16_t>(value));
  return attribute != nullptr;
}

// The string attribute keyed `key`, or null.
inline GStringAttribute* FindStringAttribute(MPersistentObject* in, std::uint32_t key) {
  return FindOfClass<GStringAttribute>(in, key);
}

// The attribute composite keyed `key` (any kind of 757), or null.
inline GAttributeComposite* FindComposite(MPersistentObject* in, std::uint32_t key) {
  return FindOfClass<GAttributeComposite>(in, key);
}
