// RWCollectionBase and RWSequenceBase: the protocol every collection of
// collectables shares (membership, insertion, removal, iteration by
// callback) and the stored form they all have: the member count (u32), then
// each member as an object reference.
//
// A collection holds pointers and never copies its members; it owns them
// only in ClearAndDelete and RemoveAndDelete. Equality of members is the
// stored member's IsEqual. Not synchronised.
#pragma once

#include <concepts>

#include "foundation/rw/collect.h"
#include "foundation/rw/rwstore.h"

// Callbacks: apply to each member, and a membership test for Select.
using RWApplyCollectable = void (*)(RWCollectable* member, void* datum);
using RWTestCollectable = bool (*)(const RWCollectable* member, const void* datum);

inline constexpr RWClassID kRWCollectionBaseId = 0x801D;  // the abstract classes

class RWCollectionBase : public RWCollectable {
 public:
  RWClassID ClassId() const override;
  // 4 + every member's GraphStoreSize.
  RWSize StoredSize() const override;
  // Clear, then read the count and that many object references, inserting
  // each through Insert; stops at the first failed read. A member that
  // Insert does not take is refused (RWRefuseRestored, rwstore.h): freed
  // unless the graph holds it elsewhere.
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  // The count, then each member in the collection's own order.
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  virtual void ForEach(RWApplyCollectable apply, void* datum) const = 0;
  // Forgets every member (deletes none).
  virtual void Clear() = 0;
  // Deletes every distinct member once, then clears.
  virtual void ClearAndDelete();
  virtual bool Contains(const RWCollectable* object) const;
  virtual RWSize Count() const = 0;
  virtual RWCollectable* Find(const RWCollectable* object) const = 0;
  virtual RWCollectable* Insert(RWCollectable* member) = 0;
  virtual bool IsEmpty() const = 0;
  virtual RWSize CountOccurrences(const RWCollectable* object) const = 0;
  // Removes a member equal to `object` and answers the stored member.
  virtual RWCollectable* Remove(const RWCollectable* object) = 0;
  // Removes as Remove does and deletes what was removed; true when
  // something was.
  virtual bool RemoveAndDelete(const RWCollectable* object);

  // Inserts every member of `other` into this collection.
  void InsertAll(const RWCollectionBase& other);
  // Removes from this collection every member of `other`.
  void RemoveAll(const RWCollectionBase& other);
  // Inserts every member of this collection into `target`.
  void InsertInto(RWCollectionBase& target) const;
  // Inserts a CreateCopy of every member into `target` (which owns them).
  void InsertCopiesInto(RWCollectionBase& target) const;
  // A new collection of this class with the members that pass `test`; the
  // caller owns the collection, not its members.
  RWCollectionBase* Select(RWTestCollectable test, const void* datum) const;

 protected:
  RWCollectionBase() = default;
  RWCollectionBase(const RWCollectionBase&) = default;
  RWCollectionBase& operator=(const RWCollectionBase&) = default;

  // Deletes each distinct object of `objects` once. The order is the one
  // in which deletion has always gone, through an identity set of
  // `buckets` buckets (0 counting as 2): by bucket of the address hash,
  // each bucket in first-seen order; destructors may observe it. Answers
  // false after [NOMEM], with nothing deleted.
  static bool DeleteDistinct(RWCollectable* const* objects, RWSize count, RWSize buckets);

 private:
  // Inserts a member read by a restore: true when the collection now holds
  // it once more.
  bool Takes(RWCollectable* member);
};

// An ordered, indexed collection. Positions are 0-based; an index at or
// beyond the count raises the library's index error.
class RWSequenceBase : public RWCollectionBase {
 public:
  virtual RWCollectable* Append(RWCollectable* member) = 0;
  virtual RWCollectable* At(RWSize index) const = 0;
  // The stored pointer itself, for replacing a member in place.
  virtual RWCollectable*& AtSlot(RWSize index) = 0;
  virtual RWCollectable* First() const = 0;
  // The index of the first member equal to `object`, or RW_NPOS.
  virtual RWSize IndexOf(const RWCollectable* object) const = 0;
  virtual RWCollectable* InsertAt(RWSize index, RWCollectable* member) = 0;
  virtual RWCollectable* Last() const = 0;
  virtual RWCollectable* Prepend(RWCollectable* member) = 0;
  virtual RWCollectable* InsertAfter(RWSize index, RWCollectable* member) = 0;

 protected:
  RWSequenceBase() = default;
  RWSequenceBase(const RWSequenceBase&) = default;
  RWSequenceBase& operator=(const RWSequenceBase&) = default;
};

// The extraction operators of every collection class: one object reference
// read into a pointer of that class, null first; a stored object of another
// class is refused (see ReadTypedPointerFromStream). Each answers its
// stream or file, whose state tells whether the read failed.
template <std::derived_from<RWCollectionBase> T>
RWVirtualInputStream& operator>>(RWVirtualInputStream& stream, T*& collection) {
  ReadTypedPointerFromStream(stream, collection);
  return stream;
}

template <std::derived_from<RWCollectionBase> T>
RWFile& operator>>(RWFile& file, T*& collection) {
  ReadTypedPointerFromFile(file, collection);
  return file;
}

// Guards the member-wise comparison of two collections against cycles (a
// collection that holds itself, directly or not): while a pair is being
// compared on this thread, comparing it again answers equal, so the walk
// ends instead of recursing forever. The open comparisons are a chain of
// the guards on the thread's stack: a comparison allocates nothing, so
// none throws std::bad_alloc out of a collection's insertion (where a read
// would lose the member it was inserting).
//
// REQUIRES: a local variable (guards end in the reverse order of their
// making).
class RWComparisonGuard {
 public:
  RWComparisonGuard(const void* a, const void* b);
  ~RWComparisonGuard();
  RWComparisonGuard(const RWComparisonGuard&) = delete;
  RWComparisonGuard& operator=(const RWComparisonGuard&) = delete;

  // True when the pair was already being compared further up.
  bool Reentered() const { return reentered_; }

 private:
  const void* a_;
  const void* b_;
  const RWComparisonGuard* outer_;  // the comparison open further up
  bool reentered_ = false;
};

// The iterator protocol shared by the list and hash-table iterators.
class RWIterator {
 public:
  virtual ~RWIterator() = default;
  // Advances to the next member equal to `object`; null at the end.
  virtual RWCollectable* FindNext(const RWCollectable* object) = 0;
  // The member under the cursor; null before the first Next and at the end.
  virtual RWCollectable* Key() const = 0;
  // Advances one member and answers it; null at the end.
  virtual RWCollectable* Next() = 0;
  virtual void Reset() = 0;
};
