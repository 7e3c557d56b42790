#include "config/attributes/enum_attribute.h"

#include <new>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "interfaces/attribute_handlers.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kEnumAttributeClasses[] = {
    {&RWCreate<GEnumAttribute>, kGEnumAttributeId, "GEnumAttribute"},
};

}  // namespace

std::span<const RWClassRegistration> EnumAttributeClasses() {
  return kEnumAttributeClasses;
}

void GEnumChildIterator::ReplaceCurrent(MPersistentObject* object) {
  enumeration_->KeepChoiceAcross([this, object] {
    GAttributeChildIterator::ReplaceCurrent(object);
    return true;
  });
}

RWCollectable* GEnumAttribute::CreateDefault() const {
  return new (kRWNoThrow) GEnumAttribute;
}

RWCollectable* GEnumAttribute::CreateCopy() const {
  return new (kRWNoThrow) GEnumAttribute(*this);
}

RWClassID GEnumAttribute::ClassId() const {
  return kGEnumAttributeId;
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GEnumAttribute::StoredSize() const {
  return GAttributeComposite::StoredSize() + 4 + GraphStoreSizeOf(choice_) + 2;
}

template <class Out>
void GEnumAttribute::SaveItems(Out& out) const {
  SaveBase<GAttributeComposite>(*this, out);
  PutItem(out, kEnumAttributeVersion);
  PutReference(out, choice_);
  PutItem(out, choice_class_id_);
}

template <class In>
void GEnumAttribute::RestoreItems(In& in) {
  MRestoreScope scope(in);
  {
    // Held through the composite part, which may let go of it, so that it
    // is known to be gone before anything can take its place.
    GCountedPtr held(choice_, g_file_lock);
    RestoreBase<GAttributeComposite>(*this, in);
    if (!HoldsDescendant(choice_)) choice_ = nullptr;
  }
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kEnumAttributeVersion) return;
  RWCollectable* read = nullptr;
  bool read_on = GetReference(in, read);
  auto* choice = dynamic_cast<GAttribute*>(read);
  if (read && !HoldsDescendant(choice)) {
    RefuseRestored(in, read);
    choice_ = nullptr;
    scope.Fail();
    return;
  }
  choice_ = choice;
  if (read_on) GetItem(in, choice_class_id_);
}

void GEnumAttribute::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GEnumAttribute::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GEnumAttribute::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GEnumAttribute::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// Kind and content

bool GEnumAttribute::IsKindOf(const RWClassID& id) const {
  return id == kGEnumAttributeId || GAttributeComposite::IsKindOf(id);
}

bool GEnumAttribute::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* enumeration = dynamic_cast<const GEnumAttribute*>(other);
  if (!enumeration || ClassId() != other->ClassId() ||
      !GAttributeComposite::IsEqualContent(other)) {
    return false;
  }
  const GAttribute* theirs = enumeration->choice_;
  if (!choice_ != !theirs) return false;
  if (choice_ && choice_ != theirs && choice_->IsDifferent(theirs)) return false;
  return choice_class_id_ == enumeration->choice_class_id_;
}

// ---------------------------------------------------------------------------
// Choices

void GEnumAttribute::AddChild(MPersistentObject* object) {
  if (!object) return;
  // An object that is no attribute would fix the choice class id and
  // become the choice before the composite refused it.
  if (!object->IsKindOf(kGAttributeId)) {
    Refuse(object);
    return;
  }
  if (choice_class_id_ == 0) {
    choice_class_id_ = object->ClassId();
  } else if (object->ClassId() != choice_class_id_) {
    Refuse(object);
    return;
  }
  if (FindEqual(object)) {
    Refuse(object);  // never the enumeration's own child: that one is held
    return;
  }
  if (!choice_) choice_ = static_cast<GAttribute*>(object);
  GAttributeComposite::AddChild(object);
}

RWSize GEnumAttribute::ChoiceIndex() const {
  const GCountedPtrVector& children = Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    if (choice_ && children[i].Get() == choice_) return i;
  }
  return RW_NPOS;
}

void GEnumAttribute::RepairChoice(RWSize index) {
  if (!choice_ || HoldsDescendant(choice_)) return;
  const GCountedPtrVector& children = Children();
  MPersistentObject* next = nullptr;
  if (index < children.Count()) {
    next = children[index].Get();
  } else if (children.Count() > 0) {
    next = children[0].Get();
  }
  choice_ = dynamic_cast<GAttribute*>(next);
}

// A removed child is handed to the caller, or stays with its other holders
// (a copy is handed out then), so the old choice is still alive when it is
// looked for: it needs no hold, which would turn the removal into a copy.
MPersistentObject* GEnumAttribute::RemoveChild(const MPersistentObject* object) {
  MPersistentObject* removed = GAttributeComposite::RemoveChild(object);
  RepairChoice(0);
  return removed;
}

MPersistentObject* GEnumAttribute::RemoveByKey(const std::uint32_t& key) {
  MPersistentObject* found = FindByKey(key);
  return found ? RemoveChild(found) : nullptr;
}

MPersistentObject* GEnumAttribute::RemoveByClassId(const RWClassID& id) {
  MPersistentObject* found = FindByClassId(id);
  return found ? RemoveChild(found) : nullptr;
}

// A replacement lets go of the child it replaces: the choice is held
// meanwhile, so that it stays alive until it is known to be gone.
template <class Replace>
bool GEnumAttribute::KeepChoiceAcross(Replace replace) {
  RWSize index = ChoiceIndex();
  GCountedPtr held(choice_, g_file_lock);
  bool replaced = replace();
  RepairChoice(index);
  return replaced;
}

bool GEnumAttribute::ReplaceByKey(const std::uint32_t& key, MPersistentObject* object) {
  return KeepChoiceAcross([&] { return GAttributeComposite::ReplaceByKey(key, object); });
}

bool GEnumAttribute::ReplaceByClassId(const RWClassID& id, MPersistentObject* object) {
  return KeepChoiceAcross([&] { return GAttributeComposite::ReplaceByClassId(id, object); });
}

bool GEnumAttribute::ReplaceObject(const MPersistentObject* match, MPersistentObject* object) {
  return KeepChoiceAcross([&] { return GAttributeComposite::ReplaceObject(match, object); });
}

bool GEnumAttribute::ReplaceKindOf(const RWClassID& id, MPersistentObject* object) {
  return KeepChoiceAcross([&] { return GAttributeComposite::ReplaceKindOf(id, object); });
}

void GEnumAttribute::RemoveAll() {
  GAttributeComposite::RemoveAll();
  choice_ = nullptr;
}

MChildIterator* GEnumAttribute::NewChildIterator() {
  return new (kRWNoThrow) GEnumChildIterator(this, ChildVector());
}

MPersistentObject* GEnumAttribute::DeepCopy() {
  auto* copy = dynamic_cast<GEnumAttribute*>(GAttributeComposite::DeepCopy());
  if (!copy) return copy;
  copy->choice_class_id_ = choice_class_id_;
  RWSize index = ChoiceIndex();
  const GCountedPtrVector& copies = copy->Children();
  if (!choice_) {
    copy->choice_ = nullptr;
  } else if (index < copies.Count()) {
    copy->choice_ = dynamic_cast<GAttribute*>(copies[index].Get());
  } else {
    copy->choice_ = dynamic_cast<GAttribute*>(copy->FindEqual(choice_));
  }
  return copy;
}

void GEnumAttribute::Assign(const GAttribute&) {}

std::uint16_t GEnumAttribute::Execute(GAttributeHandlers& device) {
  std::uint16_t result = device.SetEnumAttribute(*this);
  SetState(kAttributeInactive);
  return result;
}

GAttribute* GEnumAttribute::Select(const GAttribute& attribute) {
  auto* found = dynamic_cast<GAttribute*>(FindEqual(&attribute));
  if (found) choice_ = found;
  return found;
}

void GEnumAttribute::SelectNext() {
  RWSize index = ChoiceIndex();
  const GCountedPtrVector& children = Children();
  if (index == RW_NPOS || index + 1 >= children.Count()) return;
  if (auto* next = dynamic_cast<GAttribute*>(children[index + 1].Get())) choice_ = next;
}

void GEnumAttribute::SelectPrevious() {
  RWSize index = ChoiceIndex();
  if (index == RW_NPOS || index == 0) return;
  if (auto* previous = dynamic_cast<GAttribute*>(Children()[index - 1].Get())) choice_ = previous;
}
