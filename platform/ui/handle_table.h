// The windowing host's one table of handles: windows, dialogs, cursors,
// bitmaps and timers (drawing objects join it as new kinds). Each entry is an
// object of one kind; a look-up names the type it expects and gets null for
// an unknown id or an object of another kind, so a handle of one kind given
// where another is wanted is refused, never misread. Ids come from the
// stand-ins' one counter (never reused). Permanent objects (the desktop, the
// system cursors) are not counted and survive Clear.
//
// Not thread-safe by itself: the host keeps it under the stand-ins' lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/ui/ui_types.h"

namespace platform::ui_internal {

struct UiObject {
  explicit UiObject(UiHandleKind object_kind) : kind(object_kind) {}
  virtual ~UiObject() = default;
  UiObject(const UiObject&) = delete;
  UiObject& operator=(const UiObject&) = delete;

  UiHandleKind kind;
  bool permanent = false;
};

class HandleTable {
 public:
  HandleTable() = default;
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;

  // Takes `object` and answers its new id.
  std::uintptr_t Add(std::unique_ptr<UiObject> object);

  // The object of id `id` when it is a T (T::Holds(kind) says which kinds
  // are), else null.
  template <typename T>
  T* Find(std::uintptr_t id) const {
    auto it = index_.find(id);
    if (it == index_.end() || !T::Holds(it->second->kind)) return nullptr;
    return static_cast<T*>(it->second);
  }

  // Hands the object back to the caller (null for an unknown id).
  std::unique_ptr<UiObject> Remove(std::uintptr_t id);

  // Live objects of `kind`, permanent ones not counted.
  std::size_t Count(UiHandleKind kind) const { return counts_[static_cast<int>(kind)]; }

  // Drops every object but the permanent ones.
  void Clear();

  // Calls f(id, object) for every object, in id order. REQUIRES: f adds and
  // removes nothing.
  template <typename F>
  void ForEach(F f) const {
    for (const auto& [id, object] : objects_)
      f(id, *object);
  }

 private:
  std::map<std::uintptr_t, std::unique_ptr<UiObject>> objects_;
  // The same objects by id, for look-ups: every message and control query
  // finds its window, so a tree walk per look-up would be paid thousands of
  // times a sheet.
  std::unordered_map<std::uintptr_t, UiObject*> index_;
  std::array<std::size_t, kUiHandleKinds> counts_{};
};

}  // namespace platform::ui_internal
