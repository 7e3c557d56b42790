#include "output/attributes/cap_joint.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "interfaces/attribute_handlers.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kCapJointClasses[] = {
    {&RWCreate<GCap>, kGCapId, "GCap"},
    {&RWCreate<GJoint>, kGJointId, "GJoint"},
    {&RWCreate<GMiterJoint>, kGMiterJointId, "GMiterJoint"},
};

}  // namespace

std::span<const RWClassRegistration> CapJointClasses() {
  return kCapJointClasses;
}

// ---------------------------------------------------------------------------
// GCap

RWSize GCap::StoredSize() const {
  return GStyleAttribute::StoredSize() + 8;
}

bool GCap::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GCap* cap = SameContentBase(other);
  return cap && style_ == cap->style_;
}

std::uint16_t GCap::Execute(GAttributeHandlers& device) {
  return device.SetCap(*this);
}

template <class Out>
void GCap::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kCapVersion);
  PutItem(out, style_);
}

template <class In>
void GCap::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kCapVersion)) GetItem(in, style_);
}

template class MPersistentClass<GCap, GStyleAttribute, kGCapId>;

// ---------------------------------------------------------------------------
// GJoint

RWSize GJoint::StoredSize() const {
  return GStyleAttribute::StoredSize() + 8;
}

bool GJoint::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  // The class ids compared with this joint's own, so that the miter
  // joint's comparison can start from this part.
  auto* joint = dynamic_cast<const GJoint*>(other);
  return joint && other->ClassId() == ClassId() && GStyleAttribute::IsEqualContent(other) &&
         style_ == joint->style_;
}

std::uint16_t GJoint::Execute(GAttributeHandlers& device) {
  return device.SetJoint(*this);
}

template <class Out>
void GJoint::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kJointVersion);
  PutItem(out, style_);
}

template <class In>
void GJoint::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kJointVersion)) GetItem(in, style_);
}

template class MPersistentClass<GJoint, GStyleAttribute, kGJointId>;

// ---------------------------------------------------------------------------
// GMiterJoint

RWSize GMiterJoint::StoredSize() const {
  return GJoint::StoredSize() + 8;
}

bool GMiterJoint::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GMiterJoint* joint = SameContentBase(other);
  return joint && limit_ == joint->limit_;
}

template <class Out>
void GMiterJoint::SaveItems(Out& out) const {
  SaveBase<GJoint>(*this, out);
  PutItem(out, kMiterJointVersion);
  PutItem(out, limit_);
}

template <class In>
void GMiterJoint::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GJoint>(*this, in);
  if (ReadsVersion(scope, in, kMiterJointVersion)) GetItem(in, limit_);
}

template class MPersistentClass<GMiterJoint, GJoint, kGMiterJointId>;
