#include "foundation/rw/collect.h"
#include "foundation/rw/support.h"

#include <new>

RWCollectable* RWCollectable::CreateDefault() const {
  return new (kRWNoThrow) RWCollectable;
}

RWCollectable* RWCollectable::CreateCopy() const {
  return new (kRWNoThrow) RWCollectable;
}

RWClassID RWCollectable::ClassId() const {
  return kRWCollectableId;
}

RWCollectable::~RWCollectable() = default;

RWSize RWCollectable::StoredSize() const {
  return 0;
}

int RWCollectable::CompareTo(const RWCollectable* other) const {
  if (this == other) return 0;
  return reinterpret_cast<std::uintptr_t>(this) > reinterpret_cast<std::uintptr_t>(other) ? 1 : -1;
}

std::uint32_t RWCollectable::Hash() const {
  return RWAddressHash(this);
}

bool RWCollectable::IsEqual(const RWCollectable* other) const {
  return this == other;
}

void RWCollectable::RestoreFromStream(RWVirtualInputStream&) {}

void RWCollectable::RestoreFromFile(RWFile&) {}

void RWCollectable::SaveToStream(RWVirtualOutputStream&) const {}

void RWCollectable::SaveToFile(RWFile&) const {}

RWCollectable* RWNilCollectable() {
  static RWCollectable nil;
  return &nil;
}

bool CollectableIsEqual(const RWCollectable* a, const void* b) {
  return a->IsEqual(static_cast<const RWCollectable*>(b));
}
