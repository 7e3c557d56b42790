// The unordered collections of collectables: RWHashTable (a bag, duplicates
// allowed), RWSet (no two members equal; Insert answers the member already
// there) and RWIdentitySet (no object twice, by address), with their
// iterator and set operations.
//
// A member's bucket is its Hash() modulo the bucket count (the identity set
// hashes the address itself); each bucket keeps its members in insertion
// order. Nothing resizes by itself: only Resize changes the bucket count.
// The tables own their links, never their members. Not synchronised.
//
// Storage: one array of bucket heads; each bucket is a circular singly
// linked list reached through its last link (null when empty), so that
// appending and reaching the first member are both immediate. Links come
// from blocks that the table owns and reuses (RWLinkPool).
//
// A null member is refused (Insert answers null), and a lookup of null finds
// nothing. Memory that cannot be had raises [NOMEM]: an insertion then
// answers null, Resize and assignment leave the table as it was, and a
// constructor whose bucket count cannot be had makes an empty table of 2
// buckets.
#pragma once

#include <memory>

#include "foundation/rw/collection.h"
#include "foundation/rw/linkpool.h"

inline constexpr RWClassID kRWHashTableId = 0x805E;
inline constexpr RWClassID kRWSetId = 0x802B;
inline constexpr RWClassID kRWIdentitySetId = 0x8025;

// The bucket count of default-constructed and factory-made tables.
inline constexpr RWSize kRWDefaultCapacity = 64;

// A member's place in its bucket.
struct RWHashLink {
  RWHashLink* next;  // the next link; the last one points to the first
  RWCollectable* member;
};

class RWHashTable : public RWCollectionBase {
 public:
  // A bucket count of 0 gives 2.
  explicit RWHashTable(RWSize buckets = kRWDefaultCapacity);
  // Same bucket count; each bucket holds the same members in the same order.
  RWHashTable(const RWHashTable& other);
  RWHashTable& operator=(const RWHashTable& other);

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  ~RWHashTable() override;
  // Same class id, then set equality.
  bool IsEqual(const RWCollectable* other) const override;

  // Buckets in index order, each first to last.
  void ForEach(RWApplyCollectable apply, void* datum) const override;
  // Deletes the bucket lists (not the members); keeps the bucket count.
  void Clear() override;
  RWSize Count() const override { return entries_; }
  RWCollectable* Find(const RWCollectable* object) const override;
  // Appends to the member's bucket; duplicates are allowed.
  RWCollectable* Insert(RWCollectable* member) override;
  bool IsEmpty() const override { return entries_ == 0; }
  RWSize CountOccurrences(const RWCollectable* object) const override;
  RWCollectable* Remove(const RWCollectable* object) override;
  // Re-buckets every member through Insert. n == 0 picks entries * 3 / 2
  // when there are 12 or more, else 16.
  virtual void Resize(RWSize buckets);

  RWSize Buckets() const { return bucket_count_; }

  // Equal counts, and no distinct member occurs more often here than there.
  bool SetEquals(const RWHashTable& other) const;

 protected:
  friend class RWHashTableIterator;
  using Link = RWHashLink;

  // The bucket's last link (null when the bucket is empty).
  Link*& LastOf(std::uint32_t hash) const { return buckets_[hash % bucket_count_]; }
  // The first member of the bucket of `hash` that passes `match`, or null.
  template <class Match>
  RWCollectable* FindIn(std::uint32_t hash, Match match) const;
  // Unlinks the first member of the bucket of `hash` that passes `match`;
  // answers it, or null.
  template <class Match>
  RWCollectable* RemoveFrom(std::uint32_t hash, Match match);
  // Unlinks `link`, whose predecessor in the bucket whose last link is
  // `last` is `previous`; answers its member.
  RWCollectable* Unlink(Link*& last, Link* previous, Link* link);
  // Appends to the bucket of `hash`; answers the member, or null when it
  // was refused.
  RWCollectable* AddToBucket(std::uint32_t hash, RWCollectable* member);
  // `count` empty buckets; after [NOMEM], 2 (or, failing those too, none)
  // and false.
  bool SetBuckets(RWSize count);
  // Copies the source's buckets into this table's, which are as many.
  void CopyBuckets(const RWHashTable& other);

  std::unique_ptr<Link*[]> buckets_;  // bucket_count_ last links
  RWSize bucket_count_ = 0;
  RWSize entries_ = 0;
  RWLinkPool<Link> links_;
};

class RWSet : public RWHashTable {
 public:
  explicit RWSet(RWSize buckets = kRWDefaultCapacity) : RWHashTable(buckets) {}

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  // Answers the member already equal to `member`, inserting nothing; else
  // inserts and answers `member`.
  RWCollectable* Insert(RWCollectable* member) override;
  RWSize CountOccurrences(const RWCollectable* object) const override;

  bool operator==(const RWSet& other) const { return SetEquals(other); }
  bool IsSubsetOf(const RWSet& other) const;
  bool IsProperSubsetOf(const RWSet& other) const;
  // Keeps only the members that `other` contains.
  void Intersect(const RWSet& other);
  // Inserts into `result` the members of the smaller set that the larger
  // one contains.
  void IntersectInto(const RWSet& other, RWCollectionBase& result) const;
};

class RWIdentitySet : public RWSet {
 public:
  explicit RWIdentitySet(RWSize buckets = kRWDefaultCapacity) : RWSet(buckets) {}

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  RWCollectable* Find(const RWCollectable* object) const override;
  RWCollectable* Insert(RWCollectable* member) override;
  RWSize CountOccurrences(const RWCollectable* object) const override;
  RWCollectable* Remove(const RWCollectable* object) override;
};

// Walks a hash table bucket by bucket, starting before the first member.
class RWHashTableIterator : public RWIterator {
 public:
  explicit RWHashTableIterator(RWHashTable& table) : table_(&table) {}
  RWHashTableIterator(const RWHashTableIterator& other) = default;
  RWHashTableIterator& operator=(const RWHashTableIterator& other) = default;

  RWCollectable* FindNext(const RWCollectable* object) override;
  RWCollectable* Key() const override;
  RWCollectable* Next() override;
  void Reset() override;

  // Removes the member under the cursor; answers it, or null.
  RWCollectable* RemoveCurrent();
  // Removes the next member equal to `object`; answers it, or null.
  RWCollectable* RemoveNext(const RWCollectable* object);

 private:
  RWHashTable* table_;
  RWSize bucket_ = RW_NPOS;        // before the first bucket
  RWHashLink* current_ = nullptr;  // null: before the bucket's first member
};

// The iterator a set hands out.
class RWSetIterator : public RWHashTableIterator {
 public:
  explicit RWSetIterator(RWSet& set) : RWHashTableIterator(set) {}
};
