#include "config/paper/margin_pool.h"

#include <algorithm>

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kMarginPoolClasses[] = {
    {&RWCreate<GMarginPool>, kGMarginPoolId, "GMarginPool"},
};

constexpr std::uint32_t kSetBytes = 4 * kMarginSetLength;

}  // namespace

std::span<const RWClassRegistration> MarginPoolClasses() {
  return kMarginPoolClasses;
}

std::int32_t GMarginPool::AddMarginSet(const std::uint32_t* set) {
  if (!set) return -1;
  GMarginSet copy;
  std::copy_n(set, kMarginSetLength, copy.begin());
  RWSize before = sets_.Count();
  sets_.Append(copy);
  if (sets_.Count() == before) return -1;
  return static_cast<std::int32_t>(before);
}

const std::uint32_t* GMarginPool::GetMarginSet(std::uint32_t index) const {
  return index < sets_.Count() ? sets_.Data()[index].data() : nullptr;
}

RWSize GMarginPool::StoredSize() const {
  return MPersistentObject::StoredSize() + 8 + kSetBytes * sets_.Count();
}

template <class Out>
void GMarginPool::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kMarginPoolVersion);
  PutItem(out, static_cast<std::uint32_t>(sets_.Count()));
  for (RWSize i = 0; i < sets_.Count(); ++i) {
    for (std::uint32_t value : sets_.Data()[i])
      PutItem(out, value);
  }
}

template <class In>
void GMarginPool::RestoreItems(In& in) {
  MRestoreScope scope(in);
  sets_.Clear();
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t count = 0;
  if (!ReadsVersion(scope, in, kMarginPoolVersion) || !GetItem(in, count)) return;
  if (!RemainingMayHold(in, count, kSetBytes)) {
    scope.Fail();
    return;
  }
  // One set at a time: the count is not trusted with an allocation.
  for (std::uint32_t i = 0; i < count; ++i) {
    GMarginSet set;
    for (std::uint32_t& value : set) {
      if (!GetItem(in, value)) return;
    }
    RWSize before = sets_.Count();
    sets_.Append(set);
    if (sets_.Count() == before) {
      scope.Fail();
      return;
    }
  }
}

// After the item templates, which the frame instantiates.
template class MPersistentClass<GMarginPool, MPersistentObject, kGMarginPoolId>;
