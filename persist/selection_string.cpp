#include "persist/selection_string.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kSelectionStringClasses[] = {
    {&RWCreate<GSelectionString>, kGSelectionStringId, "GSelectionString"},
};

}  // namespace

std::span<const RWClassRegistration> SelectionStringClasses() {
  return kSelectionStringClasses;
}

GSelectionString::GSelectionString(const RWCString& text, std::uint16_t selection,
                                   const std::uint32_t& key)
    : MPersistentClass(key), selection_(selection), text_(text) {}

GSelectionString& GSelectionString::operator=(const GSelectionString& other) {
  if (this == &other) return *this;
  SetKey(other.Key());
  selection_ = other.selection_;
  text_ = other.text_;
  return *this;
}

RWSize GSelectionString::StoredSize() const {
  return MPersistentObject::StoredSize() + text_.Length() + 10;
}

bool GSelectionString::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GSelectionString* same = SameContentBase(other);
  return same && selection_ == same->selection_ && text_ == same->text_;
}

template <class Out>
void GSelectionString::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kSelectionStringVersion);
  PutItem(out, text_);
  PutItem(out, selection_);
}

template <class In>
void GSelectionString::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kSelectionStringVersion)) return;
  if (GetItem(in, text_)) GetItem(in, selection_);
}

template class MPersistentClass<GSelectionString, MPersistentObject, kGSelectionStringId>;
