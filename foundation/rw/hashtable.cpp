#include "foundation/rw/hashtable.h"

#include <new>

#include "foundation/rw/support.h"

// ---------------------------------------------------------------------------
// RWHashTable

namespace {

// The bucket count a table falls back on when the one asked for cannot be
// had, and the count that 0 stands for.
constexpr RWSize kRWMinimumBuckets = 2;

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
    auto buckets = RWNewArray<Bucket>(other.bucket_count_);
    if (other.bucket_count_ && !buckets) return *this;  // as it was
    Clear();
    buckets_ = std::move(buckets);
    bucket_count_ = other.bucket_count_;
    CopyBuckets(other);
  }
  return *this;
}

bool RWHashTable::SetBuckets(RWSize count) {
  buckets_ = RWNewArray<Bucket>(count);
  bucket_count_ = buckets_ ? count : 0;
  if (buckets_) return true;
  buckets_ = RWNewArray<Bucket>(kRWMinimumBuckets);
  bucket_count_ = buckets_ ? kRWMinimumBuckets : 0;
  return false;
}

void RWHashTable::CopyBuckets(const RWHashTable& other) {
  entries_ = 0;
  for (RWSize i = 0; i < other.bucket_count_ && i < bucket_count_; ++i) {
    if (!other.buckets_[i]) continue;
    buckets_[i].reset(RWNew<RWSlistCollectables>(*other.buckets_[i]));
    if (buckets_[i]) entries_ += buckets_[i]->Count();
  }
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
  for (RWSize i = 0; i < bucket_count_; ++i) {
    if (buckets_[i]) buckets_[i]->ForEach(apply, datum);
  }
}

void RWHashTable::Clear() {
  for (RWSize i = 0; i < bucket_count_; ++i)
    buckets_[i].reset();
  entries_ = 0;
}

RWCollectable* RWHashTable::Find(const RWCollectable* object) const {
  RWSlistCollectables* bucket = object ? BucketFor(object->Hash()) : nullptr;
  return bucket ? bucket->Find(object) : nullptr;
}

RWCollectable* RWHashTable::AddToBucket(std::uint32_t hash, RWCollectable* member) {
  if (!member) return nullptr;
  // A table left without buckets by an earlier [NOMEM] tries again.
  if (bucket_count_ == 0 && !SetBuckets(kRWMinimumBuckets)) return nullptr;
  Bucket& bucket = buckets_[hash % bucket_count_];
  if (!bucket) bucket.reset(RWNew<RWSlistCollectables>());
  if (!bucket || !bucket->Append(member)) return nullptr;
  ++entries_;
  return member;
}

RWCollectable* RWHashTable::Insert(RWCollectable* member) {
  return member ? AddToBucket(member->Hash(), member) : nullptr;
}

RWSize RWHashTable::CountOccurrences(const RWCollectable* object) const {
  RWSlistCollectables* bucket = object ? BucketFor(object->Hash()) : nullptr;
  return bucket ? bucket->CountOccurrences(object) : 0;
}

RWCollectable* RWHashTable::Remove(const RWCollectable* object) {
  RWSlistCollectables* bucket = object ? BucketFor(object->Hash()) : nullptr;
  RWCollectable* removed = bucket ? bucket->Remove(object) : nullptr;
  if (removed) --entries_;
  return removed;
}

void RWHashTable::Resize(RWSize buckets) {
  if (buckets == 0) buckets = entries_ >= 12 ? entries_ * 3 / 2 : 16;
  auto fresh = RWNewArray<Bucket>(buckets);
  if (!fresh) return;  // [NOMEM]: the table stays as it was
  std::unique_ptr<Bucket[]> old = std::exchange(buckets_, std::move(fresh));
  RWSize old_count = std::exchange(bucket_count_, buckets);
  entries_ = 0;
  for (RWSize i = 0; i < old_count; ++i) {
    if (!old[i]) continue;
    // Through this table's own Insert, so a set keeps its rule.
    old[i]->ForEach(
        [](RWCollectable* m, void* self) { static_cast<RWHashTable*>(self)->Insert(m); }, this);
    old[i].reset();
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
  if (!member) return nullptr;
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
  RWSlistCollectables* bucket = object ? BucketFor(RWAddressHash(object)) : nullptr;
  return bucket ? bucket->FindReference(object) : nullptr;
}

RWCollectable* RWIdentitySet::Insert(RWCollectable* member) {
  if (!member) return nullptr;
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
  RWSlistCollectables* bucket = object ? BucketFor(RWAddressHash(object)) : nullptr;
  RWCollectable* removed = bucket ? bucket->RemoveReference(object) : nullptr;
  if (removed) --entries_;
  return removed;
}

// ---------------------------------------------------------------------------
// Iterator

RWHashTableIterator::RWHashTableIterator(const RWHashTableIterator& other)
    : table_(other.table_), bucket_(other.bucket_) {
  if (other.cursor_) cursor_.reset(RWNew<RWSlistCollectablesIterator>(*other.cursor_));
}

RWHashTableIterator& RWHashTableIterator::operator=(const RWHashTableIterator& other) {
  if (this != &other) {
    table_ = other.table_;
    bucket_ = other.bucket_;
    cursor_.reset();
    if (other.cursor_) cursor_.reset(RWNew<RWSlistCollectablesIterator>(*other.cursor_));
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
    cursor_.reset(RWNew<RWSlistCollectablesIterator>(*bucket));
    if (!cursor_) break;  // [NOMEM]: the walk ends here
    bucket_ = b;
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
