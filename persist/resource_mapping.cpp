#include "persist/resource_mapping.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kResourceMappingClasses[] = {
    {&RWCreate<GResourceMapping>, kGResourceMappingId, "GResourceMapping"},
    {&RWCreate<GResourceMappingList>, kGResourceMappingListId, "GResourceMappingList"},
};

}  // namespace

std::span<const RWClassRegistration> ResourceMappingClasses() {
  return kResourceMappingClasses;
}

// ---------------------------------------------------------------------------
// GResourceMapping

GResourceMapping::GResourceMapping(std::uint32_t string_resource_id, std::uint16_t system_number,
                                   std::int16_t second_number, const std::uint32_t& key)
    : MPersistentClass(key),
      string_resource_id_(string_resource_id),
      system_number_(system_number),
      second_number_(second_number) {}

RWSize GResourceMapping::StoredSize() const {
  return MPersistentObject::StoredSize() + 12;
}

bool GResourceMapping::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GResourceMapping* same = SameContentBase(other);
  return same && string_resource_id_ == same->string_resource_id_ &&
         system_number_ == same->system_number_ && second_number_ == same->second_number_;
}

template <class Out>
void GResourceMapping::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kResourceMappingVersion);
  PutItem(out, string_resource_id_);
  PutItem(out, system_number_);
  PutItem(out, second_number_);
}

template <class In>
void GResourceMapping::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kResourceMappingVersion)) return;
  if (GetItem(in, string_resource_id_) && GetItem(in, system_number_)) GetItem(in, second_number_);
}

// ---------------------------------------------------------------------------
// GResourceMappingList

void GResourceMappingList::AddChild(MPersistentObject*) {}

MPersistentObject* GResourceMappingList::DeepCopy() {
  return DeepCopyInOrder();
}

bool GResourceMappingList::AddMapping(GResourceMapping* mapping) {
  return mapping && !FindBySecondNumber(mapping->SecondNumber()) && AppendBelowLimit(mapping);
}

bool GResourceMappingList::AddMappingUnique(GResourceMapping* mapping) {
  if (!mapping || FindByStringResourceId(mapping->StringResourceId())) return false;
  return AddMapping(mapping);
}

template <class Match>
GResourceMapping* GResourceMappingList::FindMapping(Match match) {
  auto accepts = [](const GCountedPtr& entry, void* data) {
    auto* mapping = dynamic_cast<GResourceMapping*>(entry.Get());
    return mapping && (*static_cast<Match*>(data))(*mapping);
  };
  return static_cast<GResourceMapping*>(FindFirstChild(accepts, &match));
}

GResourceMapping* GResourceMappingList::FindBySystemNumber(std::uint16_t number) {
  return FindMapping([number](const GResourceMapping& m) { return m.SystemNumber() == number; });
}

GResourceMapping* GResourceMappingList::FindBySecondNumber(std::int16_t number) {
  return FindMapping([number](const GResourceMapping& m) { return m.SecondNumber() == number; });
}

GResourceMapping* GResourceMappingList::FindByStringResourceId(std::uint32_t id) {
  return FindMapping([id](const GResourceMapping& m) { return m.StringResourceId() == id; });
}

MPersistentObject* GResourceMappingList::RemoveBySystemNumber(std::uint16_t number) {
  GResourceMapping* found = FindBySystemNumber(number);
  return found ? RemoveChild(found) : nullptr;
}

MPersistentObject* GResourceMappingList::RemoveBySecondNumber(std::int16_t number) {
  GResourceMapping* found = FindBySecondNumber(number);
  return found ? RemoveChild(found) : nullptr;
}

MPersistentObject* GResourceMappingList::RemoveByStringResourceId(std::uint32_t id) {
  GResourceMapping* found = FindByStringResourceId(id);
  return found ? RemoveChild(found) : nullptr;
}

template class MPersistentClass<GResourceMapping, MPersistentObject, kGResourceMappingId>;
