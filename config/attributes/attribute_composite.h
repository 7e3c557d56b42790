// GAttributeComposite: the node of the settings tree, an attribute whose
// value is an ordered list of child attributes held through counted
// pointers. Settings are found in it by key, class id, identity or kind,
// depth first in pre-order, first match; the composite never tests itself.
// Executed on a device, it hands on its active children in order and then
// clears its own state word.
//
// It is not an MPersistentComposite: it derives from GAttribute and keeps a
// vector of its own, and its child protocol differs in these points:
//   - it holds attributes only (AddChild, restore, replacements and its
//     iterator refuse anything else) and has no count limit;
//   - InsertFirst does nothing;
//   - FindEqual matches a child by identity (a leaf child then answers by
//     content equality);
//   - selections build a new GAttributeComposite;
//   - copying keeps the source's capacity, not its count;
//   - Assign merges (below).
// Like MPersistentComposite, removals answer an object the caller owns: the
// child itself when the composite held its last reference, else a copy
// (the child's copy operation) while the child stays with its other
// holders; replacements put a deep copy of the given object (which stays
// the caller's) in the matching child's place; collections gather leaves
// only, shared, not copied.
//
// Handing over: an object offered to AddChild (or to an iterator's
// ReplaceCurrent) is the composite's afterwards. Taken, it is held; refused
// (not an attribute, or refused by a derived class's rules), it is
// destroyed when nobody holds it. An object that counted pointers already
// hold is never destroyed by a refusal: it stays with its holders. So the
// caller's pointer is void after the call unless the caller holds the
// object through a counted pointer of its own.
//
// Class id 757, registered as "GAttributeComposite"; kind test 757, 753,
// 751.
//
// Stored form, after the GAttribute part (attribute.h):
//   version   u32  kAttributeCompositeVersion
//   count     u32
//   children  count object references (a shared child is written once and
//             referred back to afterwards)
// A restore of another version reads nothing further and keeps the
// children. Otherwise it lets go of every child, sets the capacity to
// kClearedCapacity and reads the children one by one, stopping at the first
// failed read. A nil entry is dropped. A reference to an object that is not
// an attribute, a back reference to a composite still being restored (a
// cycle), or a count larger than the rest of a file can hold fails the
// restore; refused objects are freed unless the graph holds them elsewhere
// (RefuseRestored, stored_form.h).
//
// Capacities: kInitialCapacity after the default and key constructors,
// kClearedCapacity after RemoveAll and a restore, the source's capacity
// after copying; an append to a full vector grows it by
// GCountedPtrVector::kGrowth.
//
// Ownership: as MPersistentObject. Threads: the composite takes no lock
// around its vector; one tree is changed by one thread at a time.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "persist/counted_ptr.h"

inline constexpr RWClassID kGAttributeCompositeId = 757;
inline constexpr std::uint32_t kAttributeCompositeVersion = 1;

class GAttributeComposite : public GAttribute {
 public:
  static constexpr RWSize kInitialCapacity = 10;
  static constexpr RWSize kClearedCapacity = 64;

  using ChildFunction = void (*)(const GCountedPtr& entry, void* data);
  using ChildPredicate = bool (*)(const GCountedPtr& entry, void* data);

  // Empty, capacity kInitialCapacity, state 1.
  GAttributeComposite();
  explicit GAttributeComposite(const std::uint32_t& key);
  // Shares the source's children in the same order, with the source's
  // capacity; key, serial number and state copied.
  GAttributeComposite(const GAttributeComposite& other);
  GAttributeComposite& operator=(const GAttributeComposite&) = delete;
  // Lets go of every child.
  ~GAttributeComposite() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The attribute part, 8, and every child's reference.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 757, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // The same object; or the same class id and key, as many children, and
  // no child IsDifferent from the other's child at its index.
  bool IsEqualContent(const MPersistentObject* other) const override;

  // Null: nothing. An attribute is appended and held; anything else is
  // refused (see Handing over).
  void AddChild(MPersistentObject* object) override;
  // The first descendant that is `object`, taken out (see the file
  // comment); null when there is none.
  MPersistentObject* RemoveChild(const MPersistentObject* object) override;
  MPersistentObject* RemoveByKey(const std::uint32_t& key) override;
  MPersistentObject* RemoveByClassId(const RWClassID& id) override;
  // A deep copy of `object` in the first matching descendant's place; a
  // null `object`, or one that is not an attribute, replaces nothing.
  bool ReplaceByKey(const std::uint32_t& key, MPersistentObject* object) override;
  bool ReplaceByClassId(const RWClassID& id, MPersistentObject* object) override;
  bool ReplaceObject(const MPersistentObject* match, MPersistentObject* object) override;
  bool ReplaceKindOf(const RWClassID& id, MPersistentObject* object) override;
  // Lets go of every child; capacity kClearedCapacity.
  void RemoveAll() override;
  // Answered through a key index of the tree (persist/key_index.h).
  MPersistentObject* FindByKey(const std::uint32_t& key) override;
  MPersistentObject* FindByClassId(const RWClassID& id) override;
  MPersistentObject* FindEqual(const MPersistentObject* object) override;
  MPersistentObject* FindKindOf(const RWClassID& id) override;
  MPersistentObject* CollectByClassId(const RWClassID& id, MPersistentObject* into) override;
  MPersistentObject* CollectByKey(const std::uint32_t& key, MPersistentObject* into) override;
  // A new GAttributeComposite of the collected leaves, or null when there
  // are none.
  MPersistentObject* SelectByKey(const std::uint32_t& key) override;
  MPersistentObject* SelectByClassId(const RWClassID& id) override;
  MPersistentObject* CollectKindOf(const RWClassID& id, MPersistentObject* into) override;
  MPersistentObject* SelectKindOf(const RWClassID& id) override;
  MPersistentObject* AsComposite() override;
  // The number of direct children.
  std::uint32_t EntryCount() const override;
  // 1 and every child's NodeCount.
  std::uint32_t NodeCount() const override;
  // A GAttributeChildIterator over the children.
  MChildIterator* NewChildIterator() override;
  // kChildren: the children, for this class.
  MKeyFind KeyFind() override;
  // When `other` has this composite's TypeId and key, appends a copy (the
  // child's copy operation) of each of its children, in order; otherwise
  // appends a copy of `other` itself.
  void Assign(const GAttribute& other) override;
  // Executes each child that is active, in order, over the count the
  // children had when it began (children removed meanwhile shorten the
  // walk); then clears its own state word. Answers the last nonzero child
  // result, or 0.
  std::uint16_t Execute(GAttributeHandlers& device) override;

  // State 1 / 0 on each direct child, then on the composite itself.
  virtual void ActivateChildren();
  virtual void DeactivateChildren();
  // Calls `function` with each direct child's entry and `data`, in order.
  // The function may remove children: the walk ends at the current count,
  // and each child is held while the function has it.
  virtual void Apply(ChildFunction function, void* data);
  // The first direct child whose entry `predicate` accepts, or null.
  // REQUIRES: `predicate` leaves the composite's children as they are.
  virtual MPersistentObject* Detect(ChildPredicate predicate, void* data);

  // The names under which the driver and the user interface call these
  // operations, forwarding to them: ReplaceChildByKey to ReplaceByKey,
  // ReplaceChild to ReplaceObject (a deep copy of `object` goes in; the
  // object stays the caller's), Entries to EntryCount, CreateIterator to
  // NewChildIterator (the caller deletes the iterator).
  bool ReplaceChildByKey(const std::uint32_t& key, MPersistentObject* object) {
    return ReplaceByKey(key, object);
  }
  bool ReplaceChild(const MPersistentObject* child, MPersistentObject* object) {
    return ReplaceObject(child, object);
  }
  std::uint32_t Entries() const { return EntryCount(); }
  MChildIterator* CreateIterator() { return NewChildIterator(); }

  // Whether `object` is one of the composite's descendants (by identity).
  bool HoldsDescendant(const MPersistentObject* object) const;
  // The children's vector: count, capacity and the entry at an index.
  const GCountedPtrVector& Children() const { return children_; }
  // Makes room for `count` children in all (nothing when there is), so
  // that a reader that knows how many will come allocates once.
  void ReserveChildren(RWSize count) {
    if (count > children_.Capacity()) children_.Resize(count);
  }

  // Reads one reference to an attribute composite, as operator>> does.
  static void ReadPointer(RWVirtualInputStream& stream, GAttributeComposite*& composite);
  // Destroys a refused object when nobody holds it (see Handing over).
  static void Refuse(MPersistentObject* object);

 protected:
  // The vector itself, for derived classes' own walks and iterators.
  GCountedPtrVector& ChildVector() { return children_; }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  template <class Collect>
  MPersistentObject* Select(Collect collect);
  void SetStates(std::int32_t state);

  GCountedPtrVector children_;
};

// The walk over an attribute composite's children. Current answers null
// when no child is current (before the first Next, past the end), so that a
// walk that overruns reads nothing instead of ending the process.
// ReplaceCurrent takes attributes only: a null object or another kind is
// refused (as AddChild refuses) and the current child stays.
class GAttributeChildIterator : public GChildIterator {
 public:
  // REQUIRES: `owner` and `children` outlive the iterator.
  GAttributeChildIterator(MPersistentObject* owner, GCountedPtrVector& children)
      : GChildIterator(owner, children) {}

  MPersistentObject* Current() override;
  void ReplaceCurrent(MPersistentObject* object) override;
};

// The composite file's classes, in registration order.
std::span<const RWClassRegistration> AttributeCompositeClasses();
