#include "config/attributes/attribute.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

// ---------------------------------------------------------------------------
// GAttribute

GAttribute::GAttribute() = default;

GAttribute::GAttribute(const std::uint32_t& key) : MPersistentObject(key) {}

GAttribute::GAttribute(const GAttribute& other) = default;

GAttribute::~GAttribute() = default;

RWSize GAttribute::StoredSize() const {
  return MPersistentObject::StoredSize() + 8;
}

template <class Out>
void GAttribute::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kAttributeVersion);
  PutItem(out, state_);
}

template <class In>
void GAttribute::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kAttributeVersion) return;
  GetItem(in, state_);
}

void GAttribute::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GAttribute::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GAttribute::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GAttribute::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GAttribute::IsKindOf(const RWClassID& id) const {
  return id == kGAttributeId || MPersistentObject::IsKindOf(id);
}

void GAttribute::Assign(const GAttribute& other) {
  if (IsDifferent(&other)) *this = other;
}

// ---------------------------------------------------------------------------
// GStyleAttribute

RWSize GStyleAttribute::StoredSize() const {
  return GAttribute::StoredSize() + 4;
}

template <class Out>
void GStyleAttribute::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kStyleAttributeVersion);
}

template <class In>
void GStyleAttribute::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;  // no field follows, whatever it says
  if (scope.Ok()) GetItem(in, version);
}

void GStyleAttribute::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GStyleAttribute::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GStyleAttribute::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GStyleAttribute::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GStyleAttribute::IsKindOf(const RWClassID& id) const {
  return id == kGStyleAttributeId || GAttribute::IsKindOf(id);
}
