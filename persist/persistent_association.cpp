#include "persist/persistent_association.h"

#include <memory>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kPersistentAssociationClasses[] = {
    {&RWCreate<MPersistentAssociation>, kMPersistentAssociationId, "MPersistentAssociation"},
    {&RWCreate<MAssociationList>, kMAssociationListId, "MAssociationList"},
};

// A new copy of `object`, or null for null (and after [NOMEM]).
MPersistentObject* CopyOf(const MPersistentObject* object) {
  return object ? dynamic_cast<MPersistentObject*>(object->CreateCopy()) : nullptr;
}

// Whether two key or value objects match: both missing, the same object,
// or `mine` not different in content from `theirs`.
bool Matches(const MPersistentObject* mine, const MPersistentObject* theirs) {
  if (mine == theirs) return true;
  return mine && theirs && mine->IsEqualContent(theirs);
}

}  // namespace

std::span<const RWClassRegistration> PersistentAssociationClasses() {
  return kPersistentAssociationClasses;
}

// ---------------------------------------------------------------------------
// MPersistentAssociation

MPersistentAssociation::MPersistentAssociation(MPersistentObject* key_object,
                                               MPersistentObject* value_object,
                                               const std::uint32_t& key)
    : MPersistentClass(key),
      key_object_(key_object, g_file_lock),
      value_object_(value_object, g_file_lock) {}

MPersistentAssociation::MPersistentAssociation(const MPersistentAssociation& other)
    : MPersistentClass(),
      key_object_(CopyOf(other.Key()), g_file_lock),
      value_object_(CopyOf(other.Value()), g_file_lock) {}

MPersistentAssociation& MPersistentAssociation::operator=(const MPersistentAssociation& other) {
  if (this == &other) return *this;
  MPersistentObject::operator=(other);
  // Copies first: the source's objects may be held by this one only.
  MPersistentObject* key_copy = CopyOf(other.Key());
  MPersistentObject* value_copy = CopyOf(other.Value());
  key_object_.Reset(key_copy, g_file_lock);
  value_object_.Reset(value_copy, g_file_lock);
  return *this;
}

MPersistentObject* MPersistentAssociation::DeepCopy() {
  MPersistentObject* key_copy = Key() ? Key()->DeepCopy() : nullptr;
  MPersistentObject* value_copy = Value() ? Value()->DeepCopy() : nullptr;
  auto* copy = RWNew<MPersistentAssociation>(key_copy, value_copy, MPersistentObject::Key());
  if (!copy) {
    delete key_copy;
    delete value_copy;
  }
  return copy;
}

RWSize MPersistentAssociation::StoredSize() const {
  return MPersistentObject::StoredSize() + 4 + GraphStoreSizeOf(Key()) + GraphStoreSizeOf(Value());
}

bool MPersistentAssociation::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const MPersistentAssociation* same = SameContentBase(other);
  return same && Matches(same->Key(), Key()) && Matches(same->Value(), Value());
}

template <class Out>
void MPersistentAssociation::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kPersistentAssociationVersion);
  PutReference(out, Key());
  PutReference(out, Value());
}

// Lets go of `object`, then reads and holds the next one; false when the
// read failed or what it gave may not be held.
template <class In>
bool MPersistentAssociation::RestoreObject(In& in, GCountedPtr& object) {
  object.Reset(nullptr, g_file_lock);
  RWCollectable* read = nullptr;
  bool read_on = GetReference(in, read);
  auto* model = dynamic_cast<MPersistentObject*>(read);
  if ((read && !model) || !MayHoldRestoredChild(model)) {
    RefuseRestored(in, read);
    return false;
  }
  // A partial object is still held, so that it is freed with this one.
  object.Reset(model, g_file_lock);
  return read_on;
}

template <class In>
void MPersistentAssociation::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kPersistentAssociationVersion)) return;
  MRestoreInProgress in_progress(*this);
  if (!RestoreObject(in, key_object_) || !RestoreObject(in, value_object_)) scope.Fail();
}

// ---------------------------------------------------------------------------
// MAssociationList

void MAssociationList::AddChild(MPersistentObject* object) {
  if (object && object->IsKindOf(kMPersistentAssociationId)) {
    if (auto* association = dynamic_cast<MPersistentAssociation*>(object))
      SetAssociation(association);
  }
}

MPersistentObject* MAssociationList::DeepCopy() {
  return DeepCopyInOrder();
}

void MAssociationList::SetAssociation(MPersistentAssociation* association) {
  if (!association) return;
  MPersistentAssociation* present = FindAssociation(association->Key());
  if (present == association) return;
  if (present) delete RemoveChild(present);
  MPersistentComposite::AddChild(association);
}

MPersistentAssociation* MAssociationList::FindAssociation(const MPersistentObject* key_object) {
  auto accepts = [](const GCountedPtr& entry, void* data) {
    auto* association = dynamic_cast<MPersistentAssociation*>(entry.Get());
    return association && Matches(association->Key(), static_cast<const MPersistentObject*>(data));
  };
  return static_cast<MPersistentAssociation*>(
      FindFirstChild(accepts, const_cast<MPersistentObject*>(key_object)));
}

MPersistentObject* MAssociationList::FindValue(const MPersistentObject* key_object) {
  MPersistentAssociation* found = FindAssociation(key_object);
  return found ? found->Value() : nullptr;
}

MPersistentObject* MAssociationList::RemoveAssociation(const MPersistentObject* key_object) {
  MPersistentAssociation* found = FindAssociation(key_object);
  return found ? RemoveChild(found) : nullptr;
}

MPersistentObject* MAssociationList::RemoveMatchingAssociation(
    const MPersistentAssociation* association) {
  return association ? RemoveAssociation(association->Key()) : nullptr;
}

template class MPersistentClass<MPersistentAssociation, MPersistentObject,
                                kMPersistentAssociationId>;
