// Key/value pairs of collectables, the members of the B-tree dictionary.
// An association compares, hashes and tests equal as its key, so a table of
// associations can be searched with the bare key. It owns neither its key
// nor its value; either may be null (a null key hashes as 0 and equals no
// object). Not synchronised.
//
// RWCollectableIDAssociation works on the key's identity (its address)
// instead of its contents.
#pragma once

#include "foundation/rw/collect.h"

inline constexpr RWClassID kRWCollectableAssociationId = 0x8008;
inline constexpr RWClassID kRWCollectableIDAssociationId = 0x805F;

class RWCollectableAssociation : public RWCollectable {
 public:
  RWCollectableAssociation() = default;
  RWCollectableAssociation(RWCollectable* key, RWCollectable* value) : key_(key), value_(value) {}
  // A copy has the same key and value, and no owner.
  RWCollectableAssociation(const RWCollectableAssociation& other)
      : RWCollectable(other), key_(other.key_), value_(other.value_) {}
  RWCollectableAssociation& operator=(const RWCollectableAssociation& other) {
    key_ = other.key_;
    value_ = other.value_;
    return *this;
  }

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The key's and the value's GraphStoreSize.
  RWSize StoredSize() const override;
  // The negation of other->CompareTo(key).
  int CompareTo(const RWCollectable* other) const override;
  std::uint32_t Hash() const override;
  // other->IsEqual(key).
  bool IsEqual(const RWCollectable* other) const override;
  // Key and value as object references; null ones as the nil object.
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  RWCollectable* Key() const { return key_; }
  RWCollectable* Value() const { return value_; }
  // Answers the old value.
  RWCollectable* SetValue(RWCollectable* value);

 protected:
  friend class RWBTreeDictionary;

  RWCollectable* key_ = nullptr;
  RWCollectable* value_ = nullptr;
  // The dictionary that owns this association, if any: one association is
  // never owned (and deleted) by two dictionaries, whatever a stored graph
  // says.
  const void* owner_ = nullptr;
};

class RWCollectableIDAssociation : public RWCollectableAssociation {
 public:
  using RWCollectableAssociation::RWCollectableAssociation;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The key's address against the other object's address.
  int CompareTo(const RWCollectable* other) const override;
  // The hash of the key's address.
  std::uint32_t Hash() const override;
  // Another identity association with the same key pointer, or the key
  // object itself.
  bool IsEqual(const RWCollectable* other) const override;
};
