#include "foundation/rw/association.h"

#include <new>

#include "foundation/rw/rwstore.h"

RWCollectable* RWCollectableAssociation::CreateDefault() const {
  return new (std::nothrow) RWCollectableAssociation;
}

RWCollectable* RWCollectableAssociation::CreateCopy() const {
  return new (std::nothrow) RWCollectableAssociation(*this);
}

RWClassID RWCollectableAssociation::ClassId() const {
  return kRWCollectableAssociationId;
}

RWSize RWCollectableAssociation::StoredSize() const {
  return GraphStoreSizeOf(key_) + GraphStoreSizeOf(value_);
}

int RWCollectableAssociation::CompareTo(const RWCollectable* other) const {
  if (!key_ || !other) return RWCollectable::CompareTo(other);
  return -other->CompareTo(key_);
}

std::uint32_t RWCollectableAssociation::Hash() const {
  return key_ ? key_->Hash() : 0;
}

bool RWCollectableAssociation::IsEqual(const RWCollectable* other) const {
  return key_ && other && other->IsEqual(key_);
}

void RWCollectableAssociation::SaveToFile(RWFile& file) const {
  WriteCollectablePointerToFile(file, key_);
  WriteCollectablePointerToFile(file, value_);
}

void RWCollectableAssociation::RestoreFromFile(RWFile& file) {
  key_ = value_ = nullptr;
  ReadCollectablePointerFromFile(file, key_);
  ReadCollectablePointerFromFile(file, value_);
}

void RWCollectableAssociation::SaveToStream(RWVirtualOutputStream& stream) const {
  WriteCollectablePointerToStream(stream, key_);
  WriteCollectablePointerToStream(stream, value_);
}

void RWCollectableAssociation::RestoreFromStream(RWVirtualInputStream& stream) {
  key_ = value_ = nullptr;
  ReadCollectablePointerFromStream(stream, key_);
  ReadCollectablePointerFromStream(stream, value_);
}

RWCollectable* RWCollectableAssociation::SetValue(RWCollectable* value) {
  RWCollectable* old = value_;
  value_ = value;
  return old;
}

RWCollectable* RWCollectableIDAssociation::CreateDefault() const {
  return new (std::nothrow) RWCollectableIDAssociation;
}

RWCollectable* RWCollectableIDAssociation::CreateCopy() const {
  return new (std::nothrow) RWCollectableIDAssociation(*this);
}

RWClassID RWCollectableIDAssociation::ClassId() const {
  return kRWCollectableIDAssociationId;
}

int RWCollectableIDAssociation::CompareTo(const RWCollectable* other) const {
  auto k = reinterpret_cast<std::uintptr_t>(key_);
  auto o = reinterpret_cast<std::uintptr_t>(other);
  return k < o ? -1 : (k == o ? 0 : 1);
}

std::uint32_t RWCollectableIDAssociation::Hash() const {
  return RWAddressHash(key_);
}

bool RWCollectableIDAssociation::IsEqual(const RWCollectable* other) const {
  if (!other) return false;
  if (other->ClassId() == kRWCollectableIDAssociationId) {
    auto* association = dynamic_cast<const RWCollectableIDAssociation*>(other);
    return association && association->key_ == key_;
  }
  return other == key_;
}
