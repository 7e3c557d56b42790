#include "output/core/state.h"
#include "foundation/rw/support.h"

#include <new>

namespace {

constexpr RWClassRegistration kStateClasses[] = {
    {&RWCreate<GState>, kGStateId, "GState"},
};

}  // namespace

std::span<const RWClassRegistration> StateClasses() {
  return kStateClasses;
}

RWCollectable* GState::CreateDefault() const {
  return new (kRWNoThrow) GState;
}

RWCollectable* GState::CreateCopy() const {
  return new (kRWNoThrow) GState(*this);
}

RWClassID GState::ClassId() const {
  return kGStateId;
}

bool GState::IsKindOf(const RWClassID& id) const {
  return id == kGStateId || GAttributeComposite::IsKindOf(id);
}

void GState::AddChild(MPersistentObject* object) {
  if (!object) return;
  if (!object->IsKindOf(kGAttributeId)) {
    Refuse(object);
    return;
  }
  GCountedPtrVector& children = ChildVector();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (!child || child->TypeId() != object->TypeId() || child->Key() != object->Key()) continue;
    if (child == object) return;
    if (child->IsEqualContent(object)) {
      Refuse(object);
    } else {
      children.ResetAt(i, object);
    }
    return;
  }
  GAttributeComposite::AddChild(object);
}
