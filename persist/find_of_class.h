// Typed look-up in a model tree. Models come from outside data (driver data
// files, printer data, stored settings): an object found under a key is
// used only when it is of the class its reader expects, and anything else
// counts as missing (never a cast that could be wrong). The search is the
// model's FindByKey: depth first, first match, the object itself never
// tested.
//
// Pure apart from the search; any thread, on a tree it alone uses.
#pragma once

#include <cstdint>
#include <type_traits>
#include <typeinfo>

#include "persist/persistent_object.h"

// The first descendant of `in` keyed `key` when it is a T; null when `in`
// is null, nothing has the key, or the first match is of another class.
template <class T>
T* FindOfClass(MPersistentObject* in, std::uint32_t key) {
  MPersistentObject* found = in ? in->FindByKey(key) : nullptr;
  if constexpr (std::is_final_v<T>) {
    // Of a final class one type test decides, for less than the cast.
    return found && typeid(*found) == typeid(T) ? static_cast<T*>(found) : nullptr;
  } else {
    return dynamic_cast<T*>(found);
  }
}
