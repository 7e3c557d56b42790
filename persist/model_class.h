// MPersistentClass<Self, Base, kId>: the operations that every concrete
// model class answers the same way, written once. A class derives from
// MPersistentClass<itself, its base, its class id> and gets:
//   - CreateDefault and CreateCopy (its default and copy constructors;
//     null after [NOMEM]), ClassId, and IsKindOf (its own id, then the
//     base's answer);
//   - the four save and restore operations, which call the class's
//     templates `SaveItems(out)` and `RestoreItems(in)` (over RWFile and
//     the virtual streams alike, see stored_form.h); the class befriends
//     MPersistentClass so that they can stay private. Those templates live
//     in the class's source file, so the class's header declares
//     `extern template class MPersistentClass<...>;` and its source file
//     instantiates it after them;
//   - SameContentBase(other): `other` as the class itself when content
//     equality can hold at all (the same class id and the base's own
//     IsEqualContent), else null; each class then compares its fields;
//   - KeyFind: the base's answer for the class itself (InheritedKeyFind).
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include "foundation/rw/support.h"
#include "persist/persistent_object.h"

template <class Self, class Base, RWClassID kId>
class MPersistentClass : public Base {
 public:
  static constexpr RWClassID kClassId = kId;

  using Base::Base;

  RWCollectable* CreateDefault() const override { return RWNew<Self>(); }
  RWCollectable* CreateCopy() const override {
    return RWNew<Self>(static_cast<const Self&>(*this));
  }
  RWClassID ClassId() const override { return kId; }
  bool IsKindOf(const RWClassID& id) const override { return id == kId || Base::IsKindOf(id); }
  MKeyFind KeyFind() override { return InheritedKeyFind<Self, Base>(*this); }

  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

 protected:
  const Self* SameContentBase(const MPersistentObject* other) const {
    if (!other || other->ClassId() != kId || !Base::IsEqualContent(other)) return nullptr;
    return dynamic_cast<const Self*>(other);
  }
};

template <class Self, class Base, RWClassID kId>
void MPersistentClass<Self, Base, kId>::RestoreFromStream(RWVirtualInputStream& stream) {
  static_cast<Self*>(this)->RestoreItems(stream);
}

template <class Self, class Base, RWClassID kId>
void MPersistentClass<Self, Base, kId>::RestoreFromFile(RWFile& file) {
  static_cast<Self*>(this)->RestoreItems(file);
}

template <class Self, class Base, RWClassID kId>
void MPersistentClass<Self, Base, kId>::SaveToStream(RWVirtualOutputStream& stream) const {
  static_cast<const Self*>(this)->SaveItems(stream);
}

template <class Self, class Base, RWClassID kId>
void MPersistentClass<Self, Base, kId>::SaveToFile(RWFile& file) const {
  static_cast<const Self*>(this)->SaveItems(file);
}
