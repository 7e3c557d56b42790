// MPersistentComposite: the base of the model's containers (association
// lists, resource-mapping lists, configurations). It holds its children in
// order through counted pointers and answers the child protocol of
// MPersistentObject depth first:
//   - finds test each child, then ask it the same question, in order; the
//     first answer wins, and the composite itself is never tested (the
//     FindPtr operations, which test only the composite itself, excepted);
//   - collections and selections gather leaves only: a composite child
//     passes the question on and is never collected itself;
//   - removals answer an object the caller owns: the child itself when this
//     composite held its last reference, else a copy of it while the shared
//     child stays with its other holders;
//   - replacements put a deep copy of the given object in the matching
//     child's place.
// Empty entries (ReplaceCurrent with null, a nil in stored data) are kept
// and skipped by every walk.
//
// Class id 752, registered as "MPersistentComposite".
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kPersistentCompositeVersion
//   count    u32
//   children count object references: a shared child is written once and
//            referred back to afterwards, an empty entry as the nil object
// A restore of another version reads nothing further and keeps the
// children. Otherwise it lets go of every child, sets the capacity to
// kClearedCapacity and reads the children one by one (no limit), stopping
// at the first failed read; a count larger than the rest of a file can
// hold, a reference to something that is not a model object, and a back
// reference to a composite still being restored (a cycle) fail the restore.
//
// Capacities: kInitialCapacity after the default and key constructors,
// kClearedCapacity after RemoveAll and a restore, the source's count after
// copy construction and assignment; growth by GCountedPtrVector::kGrowth.
//
// Ownership and threads: as MPersistentObject; one tree is changed by one
// thread at a time.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"

inline constexpr RWClassID kMPersistentCompositeId = 752;
inline constexpr std::uint32_t kPersistentCompositeVersion = 1;

class MPersistentComposite : public MPersistentObject {
 public:
  static constexpr RWSize kInitialCapacity = 10;
  static constexpr RWSize kClearedCapacity = 64;
  // AddChild takes children only while the count is below this.
  static constexpr RWSize kChildLimit = 0x1FFFFFBF;
  // Sets the limit AddChild applies (kChildLimit until then) and answers
  // the previous one: a seam for tests, which cannot add half a billion
  // children.
  static RWSize SetChildLimit(RWSize limit);

  MPersistentComposite();
  explicit MPersistentComposite(const std::uint32_t& key);
  // Shares the source's children, in the same order.
  MPersistentComposite(const MPersistentComposite& other);
  // Nothing when `other` is this object or has equal content; else copies
  // key and serial number and shares the source's children instead.
  MPersistentComposite& operator=(const MPersistentComposite& other);
  // Lets go of every child.
  ~MPersistentComposite() override;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The base part, 8, and every child's reference.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  // 752 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // The same object; or the same class id and key, as many children, and
  // no child IsDifferent from the other's child at its index.
  bool IsEqualContent(const MPersistentObject* other) const override;
  // Hands `object` over: the caller's pointer is void afterwards unless the
  // caller holds the object through a counted pointer of its own.
  //   - below kChildLimit: appended and held by the composite;
  //   - at the limit: refused, and destroyed when nobody holds it
  //     (DestroyIfUnheld); an object that counted pointers hold stays
  //     with them;
  //   - null: nothing.
  void AddChild(MPersistentObject* object) override;
  // Null: nothing; else held and put first (no limit).
  void InsertFirst(MPersistentObject* object) override;
  MPersistentObject* RemoveChild(const MPersistentObject* object) override;
  MPersistentObject* RemoveByKey(const std::uint32_t& key) override;
  MPersistentObject* RemoveByClassId(const RWClassID& id) override;
  // A null `object` replaces nothing.
  bool ReplaceByKey(const std::uint32_t& key, MPersistentObject* object) override;
  bool ReplaceByClassId(const RWClassID& id, MPersistentObject* object) override;
  bool ReplaceObject(const MPersistentObject* match, MPersistentObject* object) override;
  bool ReplaceKindOf(const RWClassID& id, MPersistentObject* object) override;
  // Lets go of every child; capacity kClearedCapacity.
  void RemoveAll() override;
  // Answered through a key index of the tree (key_index.h).
  MPersistentObject* FindByKey(const std::uint32_t& key) override;
  MPersistentObject* FindByClassId(const RWClassID& id) override;
  MPersistentObject* FindEqual(const MPersistentObject* object) override;
  MPersistentObject* FindKindOf(const RWClassID& id) override;
  MPersistentObject* CollectByClassId(const RWClassID& id, MPersistentObject* into) override;
  MPersistentObject* CollectByKey(const std::uint32_t& key, MPersistentObject* into) override;
  // A new composite of the collected leaves, or null when there are none.
  MPersistentObject* SelectByKey(const std::uint32_t& key) override;
  MPersistentObject* SelectByClassId(const RWClassID& id) override;
  MPersistentObject* CollectKindOf(const RWClassID& id, MPersistentObject* into) override;
  MPersistentObject* SelectKindOf(const RWClassID& id) override;
  MPersistentObject* AsComposite() override;
  // The number of children.
  std::uint32_t EntryCount() const override;
  // 1 and every child's NodeCount.
  std::uint32_t NodeCount() const override;
  // A GChildIterator over the children.
  MChildIterator* NewChildIterator() override;
  // kChildren: the children, for this class.
  MKeyFind KeyFind() override;

  using ChildFunction = void (*)(const GCountedPtr& entry, void* data);
  using ChildPredicate = bool (*)(const GCountedPtr& entry, void* data);
  // The virtual operations below are in slot order.
  // Calls `function` with each child's entry and `data`, in order.
  virtual void ForEachChild(ChildFunction function, void* data);
  // The first child whose entry `predicate` accepts, else null.
  virtual MPersistentObject* FindFirstChild(ChildPredicate predicate, void* data);

  // The children's vector: count, capacity and the entry at an index.
  const GCountedPtrVector& Children() const { return children_; }

 protected:
  // The deep copy of a composite whose AddChild refuses or rearranges what
  // it is given: a new object of the class with this key and a deep copy of
  // every child, appended in order as it is (empty entries left out).
  MPersistentObject* DeepCopyInOrder();
  // AddChild without the refusal: below kChildLimit takes `object` and
  // answers true (held; destroyed instead, when nobody else holds it, if
  // memory to hold it runs out); at the limit, or for null, answers false
  // and leaves `object` as it was, the caller's.
  bool AppendBelowLimit(MPersistentObject* object);

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  template <class Collect>
  MPersistentObject* Select(Collect collect);

  GCountedPtrVector children_;
};

// The composite file's classes, in registration order.
std::span<const RWClassRegistration> PersistentCompositeClasses();
