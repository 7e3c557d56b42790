// GPersistableLong and GPersistableULong: one signed or unsigned 32-bit
// number boxed as a model object, so that numbers can be members and values
// of the library's collections (a B-tree dictionary's values, the font
// lists' entries) and be saved and restored with an object graph.
//
// Both compare by value against an object of their own class (signed or
// unsigned), and by address against anything else. IsEqual looks at the
// class and the value only; IsEqualContent also at the key. They hash by
// value, so that equal keys meet in one bucket of a hashed collection.
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kPersistableIntegerVersion
//   value    i32 (GPersistableLong) or u32 (GPersistableULong)
// Another version leaves the value as constructed.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/persistent_object.h"

inline constexpr RWClassID kGPersistableLongId = 777;
inline constexpr RWClassID kGPersistableULongId = 778;
inline constexpr std::uint32_t kPersistableIntegerVersion = 1;

// What the two classes share; `Self` is the class itself.
template <class Self, class Number, RWClassID kId>
class GPersistableInteger : public MPersistentObject {
 public:
  GPersistableInteger() = default;
  explicit GPersistableInteger(Number value) : value_(value) {}
  GPersistableInteger(const GPersistableInteger& other) = default;

  Number Value() const { return value_; }

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override { return kId; }
  // The base part and 8.
  RWSize StoredSize() const override;
  // By value against the same class: 0 equal, -1 smaller, 1 greater;
  // otherwise the base's order by address.
  int CompareTo(const RWCollectable* other) const override;
  // The value's 32 bits, as IsEqual compares it.
  // Mended (docs/mended-behaviour.md): equal keys meet in one bucket.
  std::uint32_t Hash() const override { return static_cast<std::uint32_t>(value_); }
  // The same class and value; keys are not compared.
  bool IsEqual(const RWCollectable* other) const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // The own id and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // The same class, key and value.
  bool IsEqualContent(const MPersistentObject* other) const override;
  MKeyFind KeyFind() override { return InheritedKeyFind<Self, MPersistentObject>(*this); }

  // The extraction operations for this class (see
  // MPersistentObject::ReadPointerFromStream).
  static void ReadPointerFromStream(RWVirtualInputStream& stream, Self*& object) {
    ReadModelPointer(stream, object);
  }
  static void ReadPointerFromFile(RWFile& file, Self*& object) { ReadModelPointer(file, object); }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  Number value_ = 0;
};

class GPersistableLong final
    : public GPersistableInteger<GPersistableLong, std::int32_t, kGPersistableLongId> {
 public:
  using GPersistableInteger::GPersistableInteger;
};

class GPersistableULong final
    : public GPersistableInteger<GPersistableULong, std::uint32_t, kGPersistableULongId> {
 public:
  using GPersistableInteger::GPersistableInteger;
};

extern template class GPersistableInteger<GPersistableLong, std::int32_t, kGPersistableLongId>;
extern template class GPersistableInteger<GPersistableULong, std::uint32_t, kGPersistableULongId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PersistableIntegerClasses();
