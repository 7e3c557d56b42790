#include "config/attributes/option_composite.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kOptionCompositeClasses[] = {
    {&RWCreate<GOptMediaComposite>, kGOptMediaCompositeId, "GOptMediaComposite"},
    {&RWCreate<GBookletComposite>, kGBookletCompositeId, "GBookletComposite"},
};

}  // namespace

std::span<const RWClassRegistration> OptionCompositeClasses() {
  return kOptionCompositeClasses;
}

template <class Self, RWClassID kId>
std::int16_t GOptionComposite<Self, kId>::GetCodeAt(std::int32_t index) const {
  auto at = static_cast<std::uint32_t>(index);
  if (at >= codes_.Count()) return -1;
  return static_cast<std::int16_t>(codes_.Data()[at]);
}

template <class Self, RWClassID kId>
void GOptionComposite<Self, kId>::Append(std::uint16_t code) {
  if (codes_.Count() < kMaxOptionCodes) codes_.Append(code);
}

template <class Self, RWClassID kId>
RWSize GOptionComposite<Self, kId>::StoredSize() const {
  return GAttribute::StoredSize() + 12 + 2 * codes_.Count();
}

template <class Self, RWClassID kId>
template <class Out>
void GOptionComposite<Self, kId>::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kOptionCompositeVersion);
  PutItem(out, owner_id_);
  PutItem(out, auxiliary_id_);
  PutItem(out, static_cast<std::uint32_t>(codes_.Count()));
  for (RWSize i = 0; i < codes_.Count(); ++i)
    PutItem(out, codes_.Data()[i]);
}

template <class Self, RWClassID kId>
template <class In>
void GOptionComposite<Self, kId>::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || !GetItem(in, owner_id_) ||
      !GetItem(in, auxiliary_id_) || version > kOptionCompositeVersion) {
    return;
  }
  codes_.Clear();
  std::uint32_t count = 0;
  if (!GetItem(in, count)) return;
  if (count > kMaxOptionCodes || !RemainingMayHold(in, count, 2)) {
    scope.Fail();
    return;
  }
  // One by one: the count is not trusted with an allocation.
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint16_t code = 0;
    if (!GetItem(in, code)) return;
    codes_.Append(code);
  }
}

template <class Self, RWClassID kId>
bool GOptionComposite<Self, kId>::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const Self* same = this->SameContentBase(other);
  if (!same) return false;
  if (owner_id_ != same->owner_id_ || codes_.Count() != same->codes_.Count()) return false;
  for (RWSize i = 0; i < codes_.Count(); ++i) {
    if (codes_.Data()[i] != same->codes_.Data()[i]) return false;
  }
  return true;
}

template <class Self, RWClassID kId>
std::uint16_t GOptionComposite<Self, kId>::Execute(GAttributeHandlers&) {
  return 1;
}

template class MPersistentClass<GOptMediaComposite, GAttribute, kGOptMediaCompositeId>;
template class MPersistentClass<GBookletComposite, GAttribute, kGBookletCompositeId>;
template class GOptionComposite<GOptMediaComposite, kGOptMediaCompositeId>;
template class GOptionComposite<GBookletComposite, kGBookletCompositeId>;
