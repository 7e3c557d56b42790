// GCountedPtr: the handle through which model objects (persistent_object.h)
// are shared, never copied. Holding one adds to the target's reference
// count; the holder that lets go last destroys the target through its
// virtual destructor and becomes empty. GCountedPtrVector is the growable
// array of counted pointers that composites embed; GChildIterator walks it.
//
// Lock records: every hold and release passes the lock record of the source
// file whose code performs it (refcount.h). The operations without a lock
// argument pass this file's record; code elsewhere that holds or lets go on
// its own passes its file's record. The counts are atomic, so two files that
// change one object's count at once never lose an update, and a release
// still answers the count before its decrement, 0 for the last holder.
//
// Stored form of GCountedPtr (inside the graph tokens of rwstore.h):
//   target   object reference (the nil object when empty)
// The class is registered with a creator that answers null: the factory
// never makes a counted pointer on its own.
//
// GCountedPtrVector: `capacity` entries allocated, the first `count` in use;
// entries from count up are empty. It grows by kGrowth entries when an
// append or insertion finds it full, and never shrinks on removal. Once a
// key index has covered it (key_index.h), each change of its entries moves
// the indexes' shape epoch (its destruction does not: indexes are kept for
// a root vector's number, which no later vector has).
//
// Threads: one counted pointer, vector or iterator is used by one thread at
// a time; different counted pointers to one object may be made, copied and
// released on any threads at once.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/collect.h"
#include "foundation/rw/refcount.h"
#include "foundation/rw/registration.h"
#include "persist/child_iterator.h"
#include "persist/key_index.h"

class MPersistentObject;

inline constexpr RWClassID kGCountedPtrId = 773;

// The lock record of the counted-pointer code itself.
RWLockRecord& CountedPtrLock();

class GCountedPtr : public RWCollectable {
 public:
  GCountedPtr() = default;
  // Holds `target` (none when null).
  explicit GCountedPtr(MPersistentObject* target);
  GCountedPtr(MPersistentObject* target, RWLockRecord& lock);
  // The same target, held once more.
  GCountedPtr(const GCountedPtr& other);
  GCountedPtr(const GCountedPtr& other, RWLockRecord& lock);
  // Takes over the other's hold; the other is left empty.
  GCountedPtr(GCountedPtr&& other) noexcept;
  // Nothing when both have the same target; else lets go of the old target
  // (destroying it when this was its last holder) and holds the new one.
  GCountedPtr& operator=(const GCountedPtr& other);
  GCountedPtr& operator=(GCountedPtr&& other) noexcept;
  // Lets go of the target.
  ~GCountedPtr() override;

  // As assignment, from a bare object.
  void Reset(MPersistentObject* target = nullptr);
  void Reset(MPersistentObject* target, RWLockRecord& lock);

  // Lets go of the target and answers an object that the caller owns: the
  // target itself when this was its last holder (nobody holds it then),
  // otherwise a new copy of it (CreateCopy), while the target stays with
  // its other holders. Null when empty. Empty afterwards.
  MPersistentObject* Detach(RWLockRecord& lock);

  MPersistentObject* Get() const { return target_; }
  MPersistentObject* operator->() const { return target_; }
  explicit operator bool() const { return target_ != nullptr; }

  // CreateDefault and CreateCopy answer null.
  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // The target's graph size, or 6 (a nil reference) when empty.
  RWSize StoredSize() const override;
  // A restore lets go of the old target and holds what it reads. What it
  // reads must be a model object: anything else fails the restore, leaves
  // the pointer empty, and is refused (freed unless the graph holds it
  // elsewhere, stored_form.h).
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  // The virtual operations below are in slot order.
  // True for 773 and 751.
  virtual bool IsKindOf(const RWClassID& id) const;
  // The target's DeepCopy, held by nobody: the caller owns it. Null when
  // empty.
  virtual MPersistentObject* CloneTarget() const;

 private:
  template <class In>
  void RestoreItems(In& in);

  static void Hold(MPersistentObject* target, RWLockRecord& lock);
  // Lets go of one hold, destroying the target when it was the last.
  static void Release(MPersistentObject* target, RWLockRecord& lock);

  MPersistentObject* target_ = nullptr;
};

class GCountedPtrVector {
 public:
  static constexpr RWSize kGrowth = 64;

  // `capacity` empty entries.
  explicit GCountedPtrVector(RWSize capacity = 0);
  // Exactly the source's count of entries, each target held once more.
  GCountedPtrVector(const GCountedPtrVector& other);
  GCountedPtrVector& operator=(const GCountedPtrVector&) = delete;

  // The virtual operations below are in slot order.
  // Lets go of every entry.
  virtual ~GCountedPtrVector();
  // The index of the first entry with the same target, or RW_NPOS.
  virtual RWSize IndexOf(const GCountedPtr& entry) const;
  // The target at index Count(), held (grows by kGrowth when full).
  virtual void Append(const GCountedPtr& entry);
  // The same, taking over `entry`'s hold (left empty, or holding still
  // when the vector could not grow).
  void Append(GCountedPtr&& entry);
  // How many entries have the same target.
  virtual RWSize Occurrences(const GCountedPtr& entry) const;
  // Removes the first entry with that target, keeping the order of the
  // others, and lets go of it; false when there is none.
  virtual bool Remove(const GCountedPtr& entry);
  // Removes every entry with that target, keeping the order of the
  // others; answers how many.
  virtual RWSize RemoveAllOf(const GCountedPtr& entry);

  RWSize Count() const { return count_; }
  RWSize Capacity() const { return capacity_; }

  // Reallocates to `capacity` entries, keeping the first ones; entries that
  // no longer fit are let go and the count clamped. Nothing when equal.
  void Resize(RWSize capacity);
  // The entry at `index`. REQUIRES: index < Count() (else the index error
  // is raised, and an empty entry answered if the handler returns).
  const GCountedPtr& At(RWSize index) const;
  // The entry at `index`, unchecked, for walks bounded by Count().
  // REQUIRES: index < Count().
  const GCountedPtr& operator[](RWSize index) const { return entries_[index]; }
  // Takes the entry at `index` out, closing the gap, and answers it (its
  // hold goes with it). REQUIRES: index < Count(), as for At.
  GCountedPtr RemoveAt(RWSize index);
  // Puts the target at `index`, held, shifting the later entries up (grows
  // by kGrowth when full). REQUIRES: index <= Count(), as for At.
  void InsertAt(RWSize index, MPersistentObject* target);
  // Lets go of the entry at `index` and holds `target` there instead (as
  // GCountedPtr assignment). REQUIRES: index < Count(), as for At.
  void ResetAt(RWSize index, MPersistentObject* target);
  // Lets go of every entry; the count is 0 and the capacity kept.
  void Clear();
  // Exchanges the whole contents with `other`; no count changes.
  void Swap(GCountedPtrVector& other) noexcept;

  // Called by a key index that covers the vector.
  void MarkKeyIndexed() const { index_mark_.Set(); }
  // The vector's number as a key index root (0 while it has none), and
  // the same, given now when it has none.
  std::uint64_t KeyIndexNumber() const { return index_mark_.Number(); }
  std::uint64_t TakeKeyIndexNumber() const { return index_mark_.TakeNumber(); }

 private:
  // A new array of `capacity` entries with the first entries moved over.
  bool Reallocate(RWSize capacity);

  RWSize capacity_ = 0;
  GCountedPtr* entries_ = nullptr;  // owned, `capacity_` entries
  RWSize count_ = 0;
  mutable MKeyIndexVectorMark index_mark_;
};

// The walk over a composite's vector of children. Next moves the position
// forward; before the first Next and after the end the position is -1.
class GChildIterator : public MChildIterator {
 public:
  // REQUIRES: `owner` and `children` outlive the iterator.
  GChildIterator(MPersistentObject* owner, GCountedPtrVector& children)
      : owner_(owner), children_(children) {}

  // REQUIRES: a child is current (else the index error is raised, and null
  // answered if the handler returns).
  MPersistentObject* Current() override;
  // Holds `object`, takes the current child out (letting go of it) and puts
  // `object` at the position; appends it when the vector is empty.
  // REQUIRES: a child is current when the vector is not empty (as Current).
  void ReplaceCurrent(MPersistentObject* object) override;
  // Index + 1; false past the last child, the position then back at -1.
  bool Next() override;
  void Reset() override { index_ = -1; }

  // Takes the current child out and lets go of it; the position steps back,
  // so that Next reaches the child that followed. False when no child is
  // current.
  bool RemoveCurrent();
  // Puts `object`, held, right after the position (first when no child is
  // current yet), so that Next reaches it. RemoveCurrent then
  // InsertAtCurrent puts an object in the current child's place.
  void InsertAtCurrent(MPersistentObject* object);

  MPersistentObject* Owner() const { return owner_; }
  std::int32_t Index() const { return index_; }

 protected:
  // Whether a child is current.
  bool OnChild() const { return index_ >= 0 && static_cast<RWSize>(index_) < children_.Count(); }

 private:
  MPersistentObject* owner_;     // not owned
  GCountedPtrVector& children_;  // the owner's
  std::int32_t index_ = -1;
};

// The counted-pointer file's classes, in registration order.
std::span<const RWClassRegistration> CountedPtrClasses();
