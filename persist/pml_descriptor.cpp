#include "persist/pml_descriptor.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPMLDescriptorClasses[] = {
    {&RWCreate<GPMLDescriptor>, kGPMLDescriptorId, "GPMLDescriptor"},
};

}  // namespace

std::span<const RWClassRegistration> PMLDescriptorClasses() {
  return kPMLDescriptorClasses;
}

GPMLDescriptor::GPMLDescriptor(const RWWString& name, std::uint32_t value)
    : name_(name), value_(value) {}

bool GPMLDescriptor::IsLessThan(const GPMLDescriptor& other) const {
  return name_.Compare(other.name_) < 0;
}

RWSize GPMLDescriptor::StoredSize() const {
  return MPersistentObject::StoredSize() + 2 * name_.Length() + 8 + text_.Length() + 8;
}

bool GPMLDescriptor::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GPMLDescriptor* same = SameContentBase(other);
  return same && name_ == same->name_;
}

template <class Out>
void GPMLDescriptor::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kPMLDescriptorVersion);
  PutItem(out, name_);
  PutItem(out, value_);
  PutItem(out, text_);
}

template <class In>
void GPMLDescriptor::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kPMLDescriptorVersion)) return;
  if (GetItem(in, name_) && GetItem(in, value_)) GetItem(in, text_);
}

template class MPersistentClass<GPMLDescriptor, MPersistentObject, kGPMLDescriptorId>;
