#include "persist/persistable_integer.h"

#include <new>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPersistableIntegerClasses[] = {
    {&RWCreate<GPersistableLong>, kGPersistableLongId, "GPersistableLong"},
    {&RWCreate<GPersistableULong>, kGPersistableULongId, "GPersistableULong"},
};

}  // namespace

std::span<const RWClassRegistration> PersistableIntegerClasses() {
  return kPersistableIntegerClasses;
}

template <class Self, class Number, RWClassID kId>
RWCollectable* GPersistableInteger<Self, Number, kId>::CreateDefault() const {
  return new (kRWNoThrow) Self;
}

template <class Self, class Number, RWClassID kId>
RWCollectable* GPersistableInteger<Self, Number, kId>::CreateCopy() const {
  return new (kRWNoThrow) Self(static_cast<const Self&>(*this));
}

template <class Self, class Number, RWClassID kId>
RWSize GPersistableInteger<Self, Number, kId>::StoredSize() const {
  return MPersistentObject::StoredSize() + 8;
}

template <class Self, class Number, RWClassID kId>
int GPersistableInteger<Self, Number, kId>::CompareTo(const RWCollectable* other) const {
  auto* same = dynamic_cast<const Self*>(other);
  if (!same) return MPersistentObject::CompareTo(other);
  if (value_ == same->value_) return 0;
  return value_ < same->value_ ? -1 : 1;
}

template <class Self, class Number, RWClassID kId>
bool GPersistableInteger<Self, Number, kId>::IsEqual(const RWCollectable* other) const {
  auto* same = dynamic_cast<const Self*>(other);
  return same && value_ == same->value_;
}

template <class Self, class Number, RWClassID kId>
bool GPersistableInteger<Self, Number, kId>::IsEqualContent(const MPersistentObject* other) const {
  auto* same = dynamic_cast<const Self*>(other);
  return same && MPersistentObject::IsEqualContent(other) && value_ == same->value_;
}

template <class Self, class Number, RWClassID kId>
bool GPersistableInteger<Self, Number, kId>::IsKindOf(const RWClassID& id) const {
  return id == kId || MPersistentObject::IsKindOf(id);
}

template <class Self, class Number, RWClassID kId>
template <class Out>
void GPersistableInteger<Self, Number, kId>::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kPersistableIntegerVersion);
  PutItem(out, value_);
}

template <class Self, class Number, RWClassID kId>
template <class In>
void GPersistableInteger<Self, Number, kId>::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kPersistableIntegerVersion) return;
  GetItem(in, value_);
}

template <class Self, class Number, RWClassID kId>
void GPersistableInteger<Self, Number, kId>::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

template <class Self, class Number, RWClassID kId>
void GPersistableInteger<Self, Number, kId>::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

template <class Self, class Number, RWClassID kId>
void GPersistableInteger<Self, Number, kId>::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

template <class Self, class Number, RWClassID kId>
void GPersistableInteger<Self, Number, kId>::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

template class GPersistableInteger<GPersistableLong, std::int32_t, kGPersistableLongId>;
template class GPersistableInteger<GPersistableULong, std::uint32_t, kGPersistableULongId>;
