#include "foundation/rw/association.h"

#include <new>

#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"

namespace {

// An association passes compare, hash and equality on to its key, which may
// itself be an association. A chain that leads back to itself (possible in
// a damaged graph) would never end; past this depth the association answers
// by identity instead.
constexpr int kMaxKeyChain = 64;
thread_local int t_key_chain = 0;

class KeyChain {
 public:
  KeyChain() : ok_(t_key_chain < kMaxKeyChain) {
    if (ok_) ++t_key_chain;
  }
  ~KeyChain() {
    if (ok_) --t_key_chain;
  }
  KeyChain(const KeyChain&) = delete;
  KeyChain& operator=(const KeyChain&) = delete;
  bool Ok() const { return ok_; }

 private:
  bool ok_;
};

}  // namespace

RWCollectable* RWCollectableAssociation::CreateDefault() const {
  return new (kRWNoThrow) RWCollectableAssociation;
}

RWCollectable* RWCollectableAssociation::CreateCopy() const {
  return new (kRWNoThrow) RWCollectableAssociation(*this);
}

RWClassID RWCollectableAssociation::ClassId() const {
  return kRWCollectableAssociationId;
}

RWSize RWCollectableAssociation::StoredSize() const {
  return GraphStoreSizeOf(key_) + GraphStoreSizeOf(value_);
}

int RWCollectableAssociation::CompareTo(const RWCollectable* other) const {
  KeyChain chain;
  if (!key_ || !other || !chain.Ok()) return RWCollectable::CompareTo(other);
  return -other->CompareTo(key_);
}

std::uint32_t RWCollectableAssociation::Hash() const {
  KeyChain chain;
  if (!chain.Ok()) return RWCollectable::Hash();
  return key_ ? key_->Hash() : 0;
}

bool RWCollectableAssociation::IsEqual(const RWCollectable* other) const {
  KeyChain chain;
  if (!chain.Ok()) return other == this;
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
  return new (kRWNoThrow) RWCollectableIDAssociation;
}

RWCollectable* RWCollectableIDAssociation::CreateCopy() const {
  return new (kRWNoThrow) RWCollectableIDAssociation(*this);
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
