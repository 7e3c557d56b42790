// MPersistentAssociation pairs two model objects, a key object and a value
// object; MAssociationList is a composite of associations in which each key
// object occurs once (key objects compared by content), a small persistent
// dictionary: the output side turns style codes into device codes with
// one, and the printer context keeps its bin and tray maps in them.
//
// Class ids 771 "MPersistentAssociation" and 772 "MAssociationList".
//
// Stored form of MPersistentAssociation, after the base part of
// MPersistentObject:
//   version       u32  kPersistentAssociationVersion
//   key object    object reference (the nil object when missing)
//   value object  object reference
// Stored form of MAssociationList: the composite's form
// (persistent_composite.h), then
//   version       u32  kAssociationListVersion (read, not used)
// Restores of other versions keep the object as it was. A restore lets go
// of the old key object before reading the new one, then the same for the
// value object. What it reads must be a model object, and not one that is
// still being restored (an object that encloses the association): anything
// else fails the restore.
//
// Ownership: the association owns its two objects in the sense that it
// destroys them when it goes (and when it is assigned or restored). It
// holds them through counted pointers, so an object that stored data names
// twice (as key and value, or in two associations) is destroyed once, by
// its last holder. A list holds its associations as any composite does;
// what it refuses stays the caller's.
//
// Threads: as MPersistentComposite.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"
#include "persist/versioned_composite.h"

inline constexpr RWClassID kMPersistentAssociationId = 771;
inline constexpr RWClassID kMAssociationListId = 772;
inline constexpr std::uint32_t kPersistentAssociationVersion = 1;
inline constexpr std::uint32_t kAssociationListVersion = 1;

class MPersistentAssociation final
    : public MPersistentClass<MPersistentAssociation, MPersistentObject,
                              kMPersistentAssociationId> {
 public:
  // No objects, key 0.
  MPersistentAssociation() = default;
  // Takes both objects over (either may be null).
  MPersistentAssociation(MPersistentObject* key_object, MPersistentObject* value_object,
                         const std::uint32_t& key = 0);
  // A new copy (CreateCopy) of each of the source's objects; key 0 and a
  // new serial number.
  MPersistentAssociation(const MPersistentAssociation& other);
  // Lets go of its own objects, then holds new copies of the source's.
  MPersistentAssociation& operator=(const MPersistentAssociation& other);

  // The two objects (null when missing). Key() hides the base's 32-bit
  // key, which stays reachable as MPersistentObject::Key().
  MPersistentObject* Key() const { return key_object_.Get(); }
  MPersistentObject* Value() const { return value_object_.Get(); }

  // A new association with this key and a deep copy of each object, equal
  // in content to this one (a copy made by the copy constructor has key 0
  // and objects made by their CreateCopy, which need not be).
  MPersistentObject* DeepCopy() override;
  // The base part, 4 and the graph size of each object.
  RWSize StoredSize() const override;
  // The same object; or the same class and key, and neither the key
  // objects nor the value objects different (two missing objects match).
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  template <class In>
  bool RestoreObject(In& in, GCountedPtr& object);

  GCountedPtr key_object_;
  GCountedPtr value_object_;
};

class MAssociationList final
    : public MVersionedComposite<MAssociationList, kMAssociationListId, kAssociationListVersion> {
 public:
  MAssociationList() = default;
  explicit MAssociationList(const std::uint32_t& key) : MVersionedComposite(key) {}
  // Shares the source's children.
  MAssociationList(const MAssociationList& other) = default;
  MAssociationList& operator=(const MAssociationList& other) = default;

  // An association goes to SetAssociation; anything else is ignored and
  // stays the caller's.
  void AddChild(MPersistentObject* object) override;
  // A new list with the source's key and a deep copy of every child, in
  // order.
  MPersistentObject* DeepCopy() override;

  // Takes out and destroys the association whose key object equals the new
  // one's, then appends the new one. An association already in the list
  // stays where it is.
  void SetAssociation(MPersistentAssociation* association);
  // The first association, in order, whose key object equals `key_object`
  // in content (its IsEqualContent with the argument); null when none.
  MPersistentAssociation* FindAssociation(const MPersistentObject* key_object);
  // Its value object, or null.
  MPersistentObject* FindValue(const MPersistentObject* key_object);
  // Takes the found association out through RemoveChild: the caller owns
  // the answer; null when none matches.
  MPersistentObject* RemoveAssociation(const MPersistentObject* key_object);
  // The same with the given association's key object.
  MPersistentObject* RemoveMatchingAssociation(const MPersistentAssociation* association);
};

extern template class MPersistentClass<MPersistentAssociation, MPersistentObject,
                                       kMPersistentAssociationId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PersistentAssociationClasses();
