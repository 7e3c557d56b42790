#include "foundation/rw/hashtable.h"

#include <algorithm>
#include <new>

#include "foundation/rw/support.h"

// ---------------------------------------------------------------------------
// RWHashTable

namespace {

// The bucket count a table falls back on when the one asked for cannot be
// had, and the count that 0 stands for.
constexpr RWSize kRWMinimumBuckets = 2;

// Calls visit(link) for the links of the bucket whose last link is `last`,
// first to last, while it answers true. A visit may not unlink.
template <class Visit>
void VisitBucket(RWHashLink* last, Visit visit) {
  if (!last) return;
  RWHashLink* link = last;
  do {
    link = link->next;
    if (!visit(link)) return;
  } while (link != last);
}

}  // namespace

RWHashTable::RWHashTable(RWSize buckets) {
  SetBuckets(buckets == 0 ? kRWMinimumBuckets : buckets);
}

RWHashTable::RWHashTable(const RWHashTable& other) : RWCollectionBase(other) {
  // A copy that cannot have its buckets is an empty table.
  if (SetBuckets(other.bucket_count_)) CopyBuckets(other);
}

RWHashTable& RWHashTable::operator=(const RWHashTable& other) {
  if (this != &other) {
    auto buckets = RWNewArray<Link*>(other.bucket_count_);
    if (other.bucket_count_ && !buckets) return *this;  // as it was
    Clear();
    buckets_ = std::move(buckets);
    bucket_count_ = other.bucket_count_;
    CopyBuckets(other);
  }
  return *this;
}

bool RWHashTable::SetBuckets(RWSize count) {
  buckets_ = RWNewArray<Link*>(count);
  bucket_count_ = buckets_ ? count : 0;
  if (buckets_) return true;
  buckets_ = RWNewArray<Link*>(kRWMinimumBuckets);
  bucket_count_ = buckets_ ? kRWMinimumBuckets : 0;
  return false;
}

void RWHashTable::CopyBuckets(const RWHashTable& other) {
  entries_ = 0;
  for (RWSize i = 0; i < other.bucket_count_ && i < bucket_count_; ++i) {
    VisitBucket(other.buckets_[i], [&](Link* link) { return AddToBucket(i, link->member); });
  }
}

RWHashTable::~RWHashTable() = default;

RWCollectable* RWHashTable::CreateDefault() const {
  return new (kRWNoThrow) RWHashTable;
}

RWCollectable* RWHashTable::CreateCopy() const {
  return new (kRWNoThrow) RWHashTable(*this);
}

RWClassID RWHashTable::ClassId() const {
  return kRWHashTableId;
}

bool RWHashTable::IsEqual(const RWCollectable* other) const {
  if (!other || other->ClassId() != ClassId()) return false;
  auto* table = dynamic_cast<const RWHashTable*>(other);
  return table && SetEquals(*table);
}

void RWHashTable::ForEach(RWApplyCollectable apply, void* datum) const {
  for (RWSize i = 0; i < bucket_count_; ++i) {
    VisitBucket(buckets_[i], [&](Link* link) {
      apply(link->member, datum);
      return true;
    });
  }
}

void RWHashTable::Clear() {
  std::fill_n(buckets_.get(), bucket_count_, nullptr);
  links_.Release();
  entries_ = 0;
}

template <class Match>
RWCollectable* RWHashTable::FindIn(std::uint32_t hash, Match match) const {
  RWCollectable* found = nullptr;
  if (bucket_count_) {
    VisitBucket(LastOf(hash), [&](Link* link) {
      if (match(link->member)) found = link->member;
      return found == nullptr;
    });
  }
  return found;
}

RWCollectable* RWHashTable::Unlink(Link*& last, Link* previous, Link* link) {
  if (link == previous) {
    last = nullptr;  // it was the only one
  } else {
    previous->next = link->next;
    if (link == last) last = previous;
  }
  RWCollectable* member = link->member;
  links_.Put(link);
  --entries_;
  return member;
}

template <class Match>
RWCollectable* RWHashTable::RemoveFrom(std::uint32_t hash, Match match) {
  if (!bucket_count_) return nullptr;
  Link*& last = LastOf(hash);
  if (!last) return nullptr;
  Link* previous = last;
  do {
    Link* link = previous->next;
    if (match(link->member)) return Unlink(last, previous, link);
    previous = link;
  } while (previous != last);
  return nullptr;
}

RWCollectable* RWHashTable::Find(const RWCollectable* object) const {
  if (!object) return nullptr;
  return FindIn(object->Hash(), [object](RWCollectable* m) { return m->IsEqual(object); });
}

RWCollectable* RWHashTable::AddToBucket(std::uint32_t hash, RWCollectable* member) {
  if (!member) return nullptr;
  // A table left without buckets by an earlier [NOMEM] tries again.
  if (bucket_count_ == 0 && !SetBuckets(kRWMinimumBuckets)) return nullptr;
  void* storage = links_.Get();
  if (!storage) return nullptr;
  Link* link = new (storage) Link{nullptr, member};
  Link*& last = LastOf(hash);
  if (last) {
    link->next = last->next;
    last->next = link;
  } else {
    link->next = link;
  }
  last = link;
  ++entries_;
  return member;
}

RWCollectable* RWHashTable::Insert(RWCollectable* member) {
  return member ? AddToBucket(member->Hash(), member) : nullptr;
}

RWSize RWHashTable::CountOccurrences(const RWCollectable* object) const {
  RWSize n = 0;
  if (!object || !bucket_count_) return 0;
  VisitBucket(LastOf(object->Hash()), [&](Link* link) {
    if (link->member->IsEqual(object)) ++n;
    return true;
  });
  return n;
}

RWCollectable* RWHashTable::Remove(const RWCollectable* object) {
  if (!object) return nullptr;
  return RemoveFrom(object->Hash(), [object](RWCollectable* m) { return m->IsEqual(object); });
}

void RWHashTable::Resize(RWSize buckets) {
  if (buckets == 0) buckets = entries_ >= 12 ? entries_ * 3 / 2 : 16;
  auto fresh = RWNewArray<Link*>(buckets);
  if (!fresh) return;  // [NOMEM]: the table stays as it was
  std::unique_ptr<Link*[]> old = std::exchange(buckets_, std::move(fresh));
  RWSize old_count = std::exchange(bucket_count_, buckets);
  RWLinkPool<Link> old_links;
  old_links.Swap(links_);
  entries_ = 0;
  for (RWSize i = 0; i < old_count; ++i) {
    // Through this table's own Insert, so a set keeps its rule.
    VisitBucket(old[i], [this](Link* link) {
      Insert(link->member);
      return true;
    });
  }
}
bool RWHashTable::SetEquals(const RWHashTable& other) const {
  if (entries_ != other.entries_) return false;
  RWComparisonGuard guard(this, &other);
  if (guard.Reentered()) return true;
  RWSet distinct(entries_ / 2);
  InsertInto(distinct);
  struct Check {
    const RWHashTable* self;
    const RWHashTable* other;
    bool equal;
  } check{this, &other, true};
  distinct.ForEach(
      [](RWCollectable* m, void* c) {
        auto* ck = static_cast<Check*>(c);
        if (ck->equal && ck->self->CountOccurrences(m) > ck->other->CountOccurrences(m)) {
          ck->equal = false;
        }
      },
      &check);
  return check.equal;
}

// ---------------------------------------------------------------------------
// RWSet

RWCollectable* RWSet::CreateDefault() const {
  return new (kRWNoThrow) RWSet;
}

RWCollectable* RWSet::CreateCopy() const {
  return new (kRWNoThrow) RWSet(*this);
}

RWClassID RWSet::ClassId() const {
  return kRWSetId;
}

RWCollectable* RWSet::Insert(RWCollectable* member) {
  if (!member) return nullptr;
  std::uint32_t hash = member->Hash();
  if (RWCollectable* present =
          FindIn(hash, [member](RWCollectable* m) { return m->IsEqual(member); })) {
    return present;
  }
  return AddToBucket(hash, member);
}

RWSize RWSet::CountOccurrences(const RWCollectable* object) const {
  return Find(object) ? 1 : 0;
}

bool RWSet::IsSubsetOf(const RWSet& other) const {
  struct Check {
    const RWSet* other;
    bool subset;
  } check{&other, true};
  ForEach(
      [](RWCollectable* m, void* c) {
        auto* ck = static_cast<Check*>(c);
        if (ck->subset && !ck->other->Contains(m)) ck->subset = false;
      },
      &check);
  return check.subset;
}

bool RWSet::IsProperSubsetOf(const RWSet& other) const {
  return Count() < other.Count() && IsSubsetOf(other);
}

void RWSet::Intersect(const RWSet& other) {
  if (other.IsEmpty()) {
    Clear();
    return;
  }
  RWHashTableIterator it(*this);
  while (RWCollectable* m = it.Next()) {
    if (!other.Contains(m)) it.RemoveCurrent();
  }
}

void RWSet::IntersectInto(const RWSet& other, RWCollectionBase& result) const {
  const RWSet& smaller = Count() >= other.Count() ? other : *this;
  const RWSet& larger = Count() >= other.Count() ? *this : other;
  struct Walk {
    const RWSet* larger;
    RWCollectionBase* result;
  } walk{&larger, &result};
  smaller.ForEach(
      [](RWCollectable* m, void* w) {
        auto* wk = static_cast<Walk*>(w);
        if (wk->larger->Contains(m)) wk->result->Insert(m);
      },
      &walk);
}

// ---------------------------------------------------------------------------
// RWIdentitySet: buckets by address, membership by identity

RWCollectable* RWIdentitySet::CreateDefault() const {
  return new (kRWNoThrow) RWIdentitySet;
}

RWCollectable* RWIdentitySet::CreateCopy() const {
  return new (kRWNoThrow) RWIdentitySet(*this);
}

RWClassID RWIdentitySet::ClassId() const {
  return kRWIdentitySetId;
}

RWCollectable* RWIdentitySet::Find(const RWCollectable* object) const {
  if (!object) return nullptr;
  return FindIn(RWAddressHash(object), [object](RWCollectable* m) { return m == object; });
}

RWCollectable* RWIdentitySet::Insert(RWCollectable* member) {
  if (!member) return nullptr;
  std::uint32_t hash = RWAddressHash(member);
  if (RWCollectable* present = FindIn(hash, [member](RWCollectable* m) { return m == member; })) {
    return present;
  }
  return AddToBucket(hash, member);
}

RWSize RWIdentitySet::CountOccurrences(const RWCollectable* object) const {
  return Find(object) ? 1 : 0;
}

RWCollectable* RWIdentitySet::Remove(const RWCollectable* object) {
  if (!object) return nullptr;
  return RemoveFrom(RWAddressHash(object), [object](RWCollectable* m) { return m == object; });
}

// ---------------------------------------------------------------------------
// Iterator

void RWHashTableIterator::Reset() {
  bucket_ = RW_NPOS;
  current_ = nullptr;
}

RWCollectable* RWHashTableIterator::Key() const {
  return current_ ? current_->member : nullptr;
}

RWCollectable* RWHashTableIterator::Next() {
  const RWSize count = table_->Buckets();
  if (bucket_ < count) {
    RWHashLink* last = table_->buckets_[bucket_];
    if (last && current_ != last) {
      // On within this bucket: after the cursor, or its first member.
      current_ = current_ ? current_->next : last->next;
      return current_->member;
    }
  }
  // On to the next bucket that holds a member.
  for (RWSize b = bucket_ == RW_NPOS ? 0 : bucket_ + 1; b < count; ++b) {
    if (RWHashLink* last = table_->buckets_[b]) {
      bucket_ = b;
      current_ = last->next;
      return current_->member;
    }
  }
  bucket_ = count;
  current_ = nullptr;
  return nullptr;
}

RWCollectable* RWHashTableIterator::FindNext(const RWCollectable* object) {
  while (RWCollectable* m = Next()) {
    if (m->IsEqual(object)) return m;
  }
  return nullptr;
}

RWCollectable* RWHashTableIterator::RemoveCurrent() {
  if (!current_ || bucket_ >= table_->Buckets()) return nullptr;
  RWHashLink*& last = table_->buckets_[bucket_];
  RWHashLink* previous = last;
  while (previous->next != current_)
    previous = previous->next;
  // The cursor goes back to the predecessor: before the bucket's first
  // member when the removed one was first.
  RWHashLink* removed = current_;
  current_ = removed == last->next ? nullptr : previous;
  return table_->Unlink(last, previous, removed);
}

RWCollectable* RWHashTableIterator::RemoveNext(const RWCollectable* object) {
  return FindNext(object) ? RemoveCurrent() : nullptr;
}
