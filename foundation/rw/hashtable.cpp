#include "foundation/rw/hashtable.h"

#include <new>

// ---------------------------------------------------------------------------
// RWHashTable

RWHashTable::RWHashTable(RWSize buckets) : buckets_(buckets == 0 ? 2 : buckets) {}

RWHashTable::RWHashTable(const RWHashTable& other)
    : RWCollectionBase(other), buckets_(other.buckets_.size()) {
  CopyBuckets(other);
}

RWHashTable& RWHashTable::operator=(const RWHashTable& other) {
  if (this != &other) {
    Clear();
    buckets_.clear();
    buckets_.resize(other.buckets_.size());
    CopyBuckets(other);
  }
  return *this;
}

void RWHashTable::CopyBuckets(const RWHashTable& other) {
  for (std::size_t i = 0; i < other.buckets_.size(); ++i) {
    if (other.buckets_[i]) buckets_[i] = std::make_unique<RWSlistCollectables>(*other.buckets_[i]);
  }
  entries_ = other.entries_;
}

RWHashTable::~RWHashTable() = default;

RWCollectable* RWHashTable::CreateDefault() const {
  return new (std::nothrow) RWHashTable;
}

RWCollectable* RWHashTable::CreateCopy() const {
  return new (std::nothrow) RWHashTable(*this);
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
  for (const Bucket& bucket : buckets_) {
    if (bucket) bucket->ForEach(apply, datum);
  }
}

void RWHashTable::Clear() {
  for (Bucket& bucket : buckets_)
    bucket.reset();
  entries_ = 0;
}

RWCollectable* RWHashTable::Find(const RWCollectable* object) const {
  RWSlistCollectables* bucket = BucketFor(object->Hash());
  return bucket ? bucket->Find(object) : nullptr;
}

RWCollectable* RWHashTable::AddToBucket(std::uint32_t hash, RWCollectable* member) {
  Bucket& bucket = buckets_[hash % buckets_.size()];
  if (!bucket) bucket = std::make_unique<RWSlistCollectables>();
  ++entries_;
  return bucket->Append(member);
}

RWCollectable* RWHashTable::Insert(RWCollectable* member) {
  return AddToBucket(member->Hash(), member);
}

RWSize RWHashTable::CountOccurrences(const RWCollectable* object) const {
  RWSlistCollectables* bucket = BucketFor(object->Hash());
  return bucket ? bucket->CountOccurrences(object) : 0;
}

RWCollectable* RWHashTable::Remove(const RWCollectable* object) {
  RWSlistCollectables* bucket = BucketFor(object->Hash());
  RWCollectable* removed = bucket ? bucket->Remove(object) : nullptr;
  if (removed) --entries_;
  return removed;
}

void RWHashTable::Resize(RWSize buckets) {
  if (buckets == 0) buckets = entries_ >= 12 ? entries_ * 3 / 2 : 16;
  std::vector<Bucket> old(buckets);
  old.swap(buckets_);
  entries_ = 0;
  for (Bucket& bucket : old) {
    if (!bucket) continue;
    // Through this table's own Insert, so a set keeps its rule.
    bucket->ForEach(
        [](RWCollectable* m, void* self) { static_cast<RWHashTable*>(self)->Insert(m); }, this);
    bucket.reset();
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
  return new (std::nothrow) RWSet;
}

RWCollectable* RWSet::CreateCopy() const {
  return new (std::nothrow) RWSet(*this);
}

RWClassID RWSet::ClassId() const {
  return kRWSetId;
}

RWCollectable* RWSet::Insert(RWCollectable* member) {
  std::uint32_t hash = member->Hash();
  if (RWSlistCollectables* bucket = BucketFor(hash)) {
    if (RWCollectable* present = bucket->Find(member)) return present;
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
  return new (std::nothrow) RWIdentitySet;
}

RWCollectable* RWIdentitySet::CreateCopy() const {
  return new (std::nothrow) RWIdentitySet(*this);
}

RWClassID RWIdentitySet::ClassId() const {
  return kRWIdentitySetId;
}

RWCollectable* RWIdentitySet::Find(const RWCollectable* object) const {
  RWSlistCollectables* bucket = BucketFor(RWAddressHash(object));
  return bucket ? bucket->FindReference(object) : nullptr;
}

RWCollectable* RWIdentitySet::Insert(RWCollectable* member) {
  std::uint32_t hash = RWAddressHash(member);
  if (RWSlistCollectables* bucket = BucketFor(hash)) {
    if (RWCollectable* present = bucket->FindReference(member)) return present;
  }
  return AddToBucket(hash, member);
}

RWSize RWIdentitySet::CountOccurrences(const RWCollectable* object) const {
  return Find(object) ? 1 : 0;
}

RWCollectable* RWIdentitySet::Remove(const RWCollectable* object) {
  RWSlistCollectables* bucket = BucketFor(RWAddressHash(object));
  RWCollectable* removed = bucket ? bucket->RemoveReference(object) : nullptr;
  if (removed) --entries_;
  return removed;
}

// ---------------------------------------------------------------------------
// Iterator

RWHashTableIterator::RWHashTableIterator(const RWHashTableIterator& other)
    : table_(other.table_), bucket_(other.bucket_) {
  if (other.cursor_) cursor_ = std::make_unique<RWSlistCollectablesIterator>(*other.cursor_);
}

RWHashTableIterator& RWHashTableIterator::operator=(const RWHashTableIterator& other) {
  if (this != &other) {
    table_ = other.table_;
    bucket_ = other.bucket_;
    cursor_.reset();
    if (other.cursor_) cursor_ = std::make_unique<RWSlistCollectablesIterator>(*other.cursor_);
  }
  return *this;
}

void RWHashTableIterator::Reset() {
  bucket_ = RW_NPOS;
  cursor_.reset();
}

RWCollectable* RWHashTableIterator::Key() const {
  return cursor_ ? cursor_->Key() : nullptr;
}

RWCollectable* RWHashTableIterator::Next() {
  if (cursor_) {
    if (RWCollectable* m = cursor_->Next()) return m;
  }
  // On to the next bucket that holds a member.
  const RWSize count = table_->Buckets();
  for (RWSize b = bucket_ == RW_NPOS ? 0 : bucket_ + 1; b < count; ++b) {
    RWSlistCollectables* bucket = table_->buckets_[b].get();
    if (!bucket || bucket->IsEmpty()) continue;
    bucket_ = b;
    cursor_ = std::make_unique<RWSlistCollectablesIterator>(*bucket);
    return cursor_->Next();
  }
  bucket_ = count;
  cursor_.reset();
  return nullptr;
}

RWCollectable* RWHashTableIterator::FindNext(const RWCollectable* object) {
  while (RWCollectable* m = Next()) {
    if (m->IsEqual(object)) return m;
  }
  return nullptr;
}

RWCollectable* RWHashTableIterator::RemoveCurrent() {
  RWCollectable* removed = cursor_ ? cursor_->RemoveCurrent() : nullptr;
  if (removed) --table_->entries_;
  return removed;
}

RWCollectable* RWHashTableIterator::RemoveNext(const RWCollectable* object) {
  return FindNext(object) ? RemoveCurrent() : nullptr;
}
