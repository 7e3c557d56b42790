// GChildHolder<Base, kChildKind>: the ordered list of children that the
// output model's composites add to their base class: the command composite
// holds commands (kind 601), the peripheral composite devices (kind 760).
// Over Base it gives the child protocol of MPersistentObject, depth first
// as persist/child_walks.h describes:
//   - AddChild appends an object of the child kind, held; null does
//     nothing; anything else is refused and destroyed when nobody holds it
//     (an object that counted pointers hold stays with its holders);
//   - the finds, the removals (the caller owns what they answer), RemoveAll,
//     EntryCount, NodeCount and a GChildIterator over the children;
//   - AsComposite answers the holder itself;
//   - DeepCopy answers a copy (the class's copy constructor) whose children
//     are deep copies of these.
// Copies share the children; assignment shares the source's children in
// place of its own. The derived class stores the children with
// SaveChildren and RestoreChildren (persist/stored_children.h; nil entries
// are dropped on reading) and compares them with SameChildren.
//
// Ownership and threads: as MPersistentObject; one holder is changed by one
// thread at a time.
#pragma once

#include <cstdint>
#include <new>

#include "foundation/rw/support.h"
#include "persist/child_walks.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"
#include "persist/stored_children.h"

template <class Base, RWClassID kChildKind>
class GChildHolder : public Base {
 public:
  static constexpr RWSize kInitialCapacity = 10;

  using Base::Base;
  GChildHolder() = default;
  GChildHolder(const GChildHolder& other) : Base(other), children_(other.children_) {}
  GChildHolder& operator=(const GChildHolder& other) {
    if (this == &other) return *this;
    Base::operator=(other);
    // Held before the old children go: the source may be one of them.
    GCountedPtrVector shared(other.children_);
    children_.Swap(shared);
    return *this;
  }

  void AddChild(MPersistentObject* object) override {
    if (!object) return;
    if (object->IsKindOf(kChildKind)) {
      children_.Append(GCountedPtr(object));
    } else {
      DestroyIfUnheld(object);  // refused; an object that others hold stays theirs
    }
  }
  MPersistentObject* RemoveChild(const MPersistentObject* object) override {
    return child_walks::RemoveChild(children_, object, CountedPtrLock());
  }
  MPersistentObject* RemoveByKey(const std::uint32_t& key) override {
    return child_walks::RemoveByKey(children_, key, CountedPtrLock());
  }
  MPersistentObject* RemoveByClassId(const RWClassID& id) override {
    return child_walks::RemoveByClassId(children_, id, CountedPtrLock());
  }
  void RemoveAll() override { children_.Clear(); }
  MPersistentObject* FindByKey(const std::uint32_t& key) override {
    return child_walks::FindByKey(children_, key);
  }
  MKeyFind KeyFind() override {
    return MKeyFind{MKeyFind::kChildren, &children_, &typeid(GChildHolder)};
  }
  MPersistentObject* FindByClassId(const RWClassID& id) override {
    return child_walks::FindByClassId(children_, id);
  }
  MPersistentObject* FindEqual(const MPersistentObject* object) override {
    return child_walks::FindEqual(children_, object, true);
  }
  MPersistentObject* FindKindOf(const RWClassID& id) override {
    return child_walks::FindKindOf(children_, id);
  }
  MPersistentObject* AsComposite() override { return this; }
  std::uint32_t EntryCount() const override { return children_.Count(); }
  std::uint32_t NodeCount() const override { return child_walks::NodeCount(children_); }
  MChildIterator* NewChildIterator() override {
    return new (kRWNoThrow) GChildIterator(this, children_);
  }
  // Null when the copy cannot be had; a child whose deep copy cannot be had
  // is left out.
  MPersistentObject* DeepCopy() override {
    auto* copy = dynamic_cast<GChildHolder*>(this->CreateCopy());
    if (!copy) return nullptr;
    copy->children_.Clear();
    for (RWSize i = 0; i < children_.Count(); ++i) {
      if (MPersistentObject* child = children_[i].Get()) copy->AddChild(child->DeepCopy());
    }
    return copy;
  }

  const GCountedPtrVector& Children() const { return children_; }

 protected:
  // The stored run's size: 4 and every child's reference.
  RWSize ChildrenSize() const { return 4 + child_walks::ReferencesSize(children_); }
  bool SameChildren(const GChildHolder& other) const {
    return child_walks::SameChildren(children_, other.children_);
  }
  template <class Out>
  void SaveChildren(Out& out) const {
    PutChildren(out, children_);
  }
  // Lets go of every child and reads the stored run; false when the data
  // is bad (GetChildren). Only objects of the child kind are held.
  template <class Child, class In>
  bool RestoreChildren(In& in) {
    children_.Clear();
    MRestoreInProgress in_progress(*this);
    return GetChildren<Child>(in, children_, CountedPtrLock(), MNilEntries::kDrop);
  }

 private:
  GCountedPtrVector children_{kInitialCapacity};
};
