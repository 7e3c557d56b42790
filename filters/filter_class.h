// GFilterClass<Self, kId, ...>: the frame every page and job filter stands
// on. A filter is a device of the output chain (GPeripheral) that sits
// between a job and its generator inside a peripheral composite; the
// template gives it what all filters share:
//   - creation (the default constructor: attribute key 0), copy (the copy
//     constructor), class id, and the kind test: the own id, then 760
//     (GPeripheral), 753 (GAttribute) and 751 (MPersistentObject);
//   - the stored form, on RWFile and in the virtual streams alike:
//       the GPeripheral part (output/core/peripheral.h)
//       version     u32  kVersion (1 for most filters)
//       own fields  written by Self::SaveOwnFields, if it has any
//     A restore reads the GPeripheral part and the version word, and hands
//     the word to Self::RestoreOwnFields, which reads its fields when it
//     knows the version; a filter without fields ignores the word's value.
//     The stored size is the GPeripheral part's, 4 and OwnFieldsSize();
//   - content equality: the GPeripheral comparison (and Self's
//     SameOwnFields); with kSameClassFirst, another class id is unequal
//     before anything is compared;
//   - the two pointer extractions of the persistence (typed reads of one
//     object reference, from a virtual stream and from an RWFile).
// Self befriends GFilterClass when it hides the hooks below, and registers
// (RWCreate<Self>, kId, its class name) in its source file's list.
//
// The filters' settings are 16-bit value attributes found by key
// (FilterValue); the helpers beside it are what every filter's source
// shares for reading and changing a set and for holding what it makes.
//
// Ownership and threads: as GPeripheral; a filter's run-time state (its
// spool) is never stored and never copied.
#pragma once

#include <cstdint>
#include <optional>

#include "foundation/rw/rwstore.h"
#include "output/core/peripheral.h"
#include "persist/model_class.h"
#include "persist/stored_form.h"

inline constexpr std::uint32_t kFilterVersion = 1;

class GMedia;

// The 16-bit value attribute `key` of `set` (found depth first), read as
// signed; none when the set is null or holds no value attribute there.
std::optional<std::int16_t> FilterValue(GAttributeComposite* set, std::uint32_t key);

// Sets the value attribute `key` of `set` to `value`, adding one when there
// is none; whether the set changed (false for a null set or the same value).
bool PutValue(GAttributeComposite* set, std::uint32_t key, std::uint16_t value);

// The text of the string attribute `key` of `set`; the null string when the
// set is null or holds no string attribute there.
RWCString StringOf(GAttributeComposite* set, std::uint32_t key);

// The medium of `set` (kMediumKey); null when there is none of that class.
GMedia* MediumOf(GAttributeComposite* set);

// A hold on `object` (none for null); the last holder to let go deletes it.
GCountedPtr Held(MPersistentObject* object);

template <class Self, RWClassID kId, bool kSameClassFirst = false,
          std::uint32_t kVersion = kFilterVersion>
class GFilterClass : public MPersistentClass<Self, GPeripheral, kId> {
  using Class = MPersistentClass<Self, GPeripheral, kId>;

 public:
  using Class::Class;
  GFilterClass() : Class(0u) {}
  GFilterClass(const GFilterClass& other) : Class(other) {}
  GFilterClass& operator=(const GFilterClass&) = delete;

  RWSize StoredSize() const override {
    return GPeripheral::StoredSize() + 4 + self().OwnFieldsSize();
  }

  // The pointer extractions: one object reference read into `object`,
  // null first; a stored object of another class is refused (freed unless
  // the graph holds it) and fails the stream (marks the file).
  static void ReadPointerFromStream(RWVirtualInputStream& stream, Self*& object) {
    ReadTypedPointerFromStream(stream, object);
  }
  static void ReadPointerFromFile(RWFile& file, Self*& object) {
    ReadTypedPointerFromFile(file, object);
  }
  bool IsEqualContent(const MPersistentObject* other) const override {
    if (other == this) return true;
    if (kSameClassFirst && (!other || other->ClassId() != kId)) return false;
    if (!GPeripheral::IsEqualContent(other)) return false;
    auto* same = dynamic_cast<const Self*>(other);
    return !same || self().SameOwnFields(*same);
  }

 protected:
  // The hooks of a filter without fields of its own.
  RWSize OwnFieldsSize() const { return 0; }
  bool SameOwnFields(const Self&) const { return true; }
  template <class Out>
  void SaveOwnFields(Out&) const {}
  template <class In>
  void RestoreOwnFields(In&, MRestoreScope&, std::uint32_t /*version*/) {}

 private:
  friend Class;

  const Self& self() const { return static_cast<const Self&>(*this); }

  template <class Out>
  void SaveItems(Out& out) const {
    SaveBase<GPeripheral>(*this, out);
    PutItem(out, kVersion);
    self().SaveOwnFields(out);
  }
  template <class In>
  void RestoreItems(In& in) {
    MRestoreScope scope(in);
    RestoreBase<GPeripheral>(*this, in);
    std::uint32_t version = 0;
    if (!scope.Ok() || !GetItem(in, version)) return;
    static_cast<Self&>(*this).RestoreOwnFields(in, scope, version);
  }
};
