#include "persist/counted_ptr.h"

#include <algorithm>
#include <new>
#include <utility>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/persistent_object.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr std::uint32_t kNobody = 0xFFFFFFFFu;  // the count of an unheld object

// The factory never makes a counted pointer on its own.
RWCollectable* CreateNothing() {
  return nullptr;
}

constexpr RWClassRegistration kCountedPtrClasses[] = {
    {&CreateNothing, kGCountedPtrId, "GCountedPtr"},
};

}  // namespace

RWLockRecord& CountedPtrLock() {
  return g_file_lock;
}

std::span<const RWClassRegistration> CountedPtrClasses() {
  return kCountedPtrClasses;
}

// ---------------------------------------------------------------------------
// GCountedPtr

void GCountedPtr::Hold(MPersistentObject* target, RWLockRecord& lock) {
  if (target) AddReference(target->reference_count_, lock);
}

void GCountedPtr::Release(MPersistentObject* target, RWLockRecord& lock) {
  if (target && ReleaseReference(target->reference_count_, lock) == 0) delete target;
}

GCountedPtr::GCountedPtr(MPersistentObject* target) : GCountedPtr(target, g_file_lock) {}

GCountedPtr::GCountedPtr(MPersistentObject* target, RWLockRecord& lock) : target_(target) {
  Hold(target_, lock);
}

GCountedPtr::GCountedPtr(const GCountedPtr& other) : GCountedPtr(other.target_, g_file_lock) {}

GCountedPtr::GCountedPtr(const GCountedPtr& other, RWLockRecord& lock)
    : GCountedPtr(other.target_, lock) {}

GCountedPtr::GCountedPtr(GCountedPtr&& other) noexcept
    : RWCollectable(other), target_(std::exchange(other.target_, nullptr)) {}

GCountedPtr& GCountedPtr::operator=(const GCountedPtr& other) {
  Reset(other.target_, g_file_lock);
  return *this;
}

GCountedPtr& GCountedPtr::operator=(GCountedPtr&& other) noexcept {
  if (this != &other) {
    MPersistentObject* old = std::exchange(target_, std::exchange(other.target_, nullptr));
    Release(old, g_file_lock);
  }
  return *this;
}

GCountedPtr::~GCountedPtr() {
  Release(target_, g_file_lock);
}

void GCountedPtr::Reset(MPersistentObject* target) {
  Reset(target, g_file_lock);
}

void GCountedPtr::Reset(MPersistentObject* target, RWLockRecord& lock) {
  if (target == target_) return;
  // Hold the new target before letting go of the old one: the old one may
  // own the new one.
  Hold(target, lock);
  Release(std::exchange(target_, target), lock);
}

MPersistentObject* GCountedPtr::Detach(RWLockRecord& lock) {
  MPersistentObject* target = std::exchange(target_, nullptr);
  if (!target) return nullptr;
  lock.EnsureInitialised();
  // The only holder hands the object itself over, in one step, so that no
  // other holder can come between the test and the release.
  std::uint32_t sole = 0;
  if (target->reference_count_.compare_exchange_strong(sole, kNobody, std::memory_order_acq_rel)) {
    return target;
  }
  // Others hold it: copy while this hold keeps it alive, then let go. When
  // the others let go meanwhile, this was the last hold after all.
  auto* copy = dynamic_cast<MPersistentObject*>(target->CreateCopy());
  if (ReleaseReference(target->reference_count_, lock) == 0) {
    delete copy;
    return target;
  }
  return copy;
}

RWCollectable* GCountedPtr::CreateDefault() const {
  return nullptr;
}

RWCollectable* GCountedPtr::CreateCopy() const {
  return nullptr;
}

RWClassID GCountedPtr::ClassId() const {
  return kGCountedPtrId;
}

RWSize GCountedPtr::StoredSize() const {
  constexpr RWSize kNilReferenceSize = 6;  // back reference to entry 0
  return RWCollectable::StoredSize() + (target_ ? target_->GraphStoreSize() : kNilReferenceSize);
}

template <class In>
void GCountedPtr::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RWCollectable* read = nullptr;
  GetReference(in, read);
  auto* target = dynamic_cast<MPersistentObject*>(read);
  if (read && !target) {
    RefuseRestored(in, read);
    scope.Fail();
  }
  Reset(target);
}

void GCountedPtr::RestoreFromStream(RWVirtualInputStream& stream) {
  RWCollectable::RestoreFromStream(stream);
  RestoreItems(stream);
}

void GCountedPtr::RestoreFromFile(RWFile& file) {
  RWCollectable::RestoreFromFile(file);
  RestoreItems(file);
}

void GCountedPtr::SaveToStream(RWVirtualOutputStream& stream) const {
  RWCollectable::SaveToStream(stream);
  PutReference(stream, target_);
}

void GCountedPtr::SaveToFile(RWFile& file) const {
  RWCollectable::SaveToFile(file);
  PutReference(file, target_);
}

bool GCountedPtr::IsKindOf(const RWClassID& id) const {
  return id == kGCountedPtrId || id == kMPersistentObjectId;
}

MPersistentObject* GCountedPtr::CloneTarget() const {
  return target_ ? target_->DeepCopy() : nullptr;
}

// ---------------------------------------------------------------------------
// GCountedPtrVector

GCountedPtrVector::GCountedPtrVector(RWSize capacity) {
  Reallocate(capacity);
}

GCountedPtrVector::GCountedPtrVector(const GCountedPtrVector& other) {
  if (!Reallocate(other.count_)) return;
  for (RWSize i = 0; i < other.count_; ++i)
    entries_[i].Reset(other.entries_[i].Get());
  count_ = other.count_;
}

GCountedPtrVector::~GCountedPtrVector() {
  delete[] entries_;
}

bool GCountedPtrVector::Reallocate(RWSize capacity) {
  GCountedPtr* fresh = nullptr;
  if (capacity > 0) {
    fresh = new (kRWNoThrow) GCountedPtr[capacity];
    if (!fresh) {
      RaiseOutOfMemoryError(RWOutOfMemoryError(capacity * sizeof(GCountedPtr)));
      return false;
    }
  }
  RWSize kept = std::min(count_, capacity);
  for (RWSize i = 0; i < kept; ++i)
    fresh[i] = std::move(entries_[i]);
  delete[] std::exchange(entries_, fresh);  // lets go of what did not fit
  capacity_ = capacity;
  if (kept < count_) index_mark_.Changed();
  count_ = kept;
  return true;
}

RWSize GCountedPtrVector::IndexOf(const GCountedPtr& entry) const {
  for (RWSize i = 0; i < count_; ++i) {
    if (entries_[i].Get() == entry.Get()) return i;
  }
  return RW_NPOS;
}

void GCountedPtrVector::Append(const GCountedPtr& entry) {
  // `entry` may be one of this vector's own entries, which a reallocation
  // moves.
  MPersistentObject* target = entry.Get();
  if (count_ == capacity_ && !Reallocate(count_ + kGrowth)) return;
  entries_[count_].Reset(target);
  ++count_;
  index_mark_.Changed();
}

void GCountedPtrVector::Append(GCountedPtr&& entry) {
  if (count_ == capacity_ && !Reallocate(count_ + kGrowth)) return;
  entries_[count_] = std::move(entry);
  ++count_;
  index_mark_.Changed();
}

RWSize GCountedPtrVector::Occurrences(const GCountedPtr& entry) const {
  RWSize n = 0;
  for (RWSize i = 0; i < count_; ++i)
    n += entries_[i].Get() == entry.Get();
  return n;
}

bool GCountedPtrVector::Remove(const GCountedPtr& entry) {
  RWSize index = IndexOf(entry);
  if (index == RW_NPOS) return false;
  RemoveAt(index);  // the removed entry lets go once the vector is whole
  return true;
}

RWSize GCountedPtrVector::RemoveAllOf(const GCountedPtr& entry) {
  MPersistentObject* target = entry.Get();
  GCountedPtr last;  // keeps the target alive until the vector is whole
  RWSize kept = 0;
  RWSize removed = 0;
  for (RWSize i = 0; i < count_; ++i) {
    if (entries_[i].Get() == target) {
      if (removed++ == 0) {
        last = std::move(entries_[i]);
      } else {
        entries_[i].Reset();
      }
    } else {
      if (kept != i) entries_[kept] = std::move(entries_[i]);
      ++kept;
    }
  }
  count_ = kept;
  if (removed > 0) index_mark_.Changed();
  return removed;
}

void GCountedPtrVector::Resize(RWSize capacity) {
  if (capacity != capacity_) Reallocate(capacity);
}

const GCountedPtr& GCountedPtrVector::At(RWSize index) const {
  static const GCountedPtr kEmpty;
  return RWCheckIndex(index, count_) ? entries_[index] : kEmpty;
}

GCountedPtr GCountedPtrVector::RemoveAt(RWSize index) {
  if (!RWCheckIndex(index, count_)) return GCountedPtr();
  GCountedPtr removed = std::move(entries_[index]);
  for (RWSize i = index; i + 1 < count_; ++i)
    entries_[i] = std::move(entries_[i + 1]);
  --count_;
  index_mark_.Changed();
  return removed;
}

void GCountedPtrVector::InsertAt(RWSize index, MPersistentObject* target) {
  if (index != 0 && !RWCheckIndex(index - 1, count_)) return;
  GCountedPtr held(target);
  if (count_ == capacity_ && !Reallocate(count_ + kGrowth)) return;
  for (RWSize i = count_; i > index; --i)
    entries_[i] = std::move(entries_[i - 1]);
  entries_[index] = std::move(held);
  ++count_;
  index_mark_.Changed();
}

void GCountedPtrVector::ResetAt(RWSize index, MPersistentObject* target) {
  if (!RWCheckIndex(index, count_) || entries_[index].Get() == target) return;
  entries_[index].Reset(target);
  index_mark_.Changed();
}

void GCountedPtrVector::Clear() {
  // Children let go one by one may be destroyed; the count drops first so
  // that the vector never shows an emptied entry as in use.
  RWSize n = std::exchange(count_, 0);
  for (RWSize i = 0; i < n; ++i)
    entries_[i].Reset();
  if (n > 0) index_mark_.Changed();
}

void GCountedPtrVector::Swap(GCountedPtrVector& other) noexcept {
  std::swap(capacity_, other.capacity_);
  std::swap(entries_, other.entries_);
  std::swap(count_, other.count_);
  index_mark_.Changed();
  other.index_mark_.Changed();
}

// ---------------------------------------------------------------------------
// GChildIterator

MPersistentObject* GChildIterator::Current() {
  return children_.At(static_cast<RWSize>(index_)).Get();
}

void GChildIterator::ReplaceCurrent(MPersistentObject* object) {
  GCountedPtr held(object);  // keeps `object` alive if it is the current child
  if (OnChild()) children_.RemoveAt(static_cast<RWSize>(index_));
  if (children_.Count() == 0) {
    children_.Append(held);
    return;  // `held` lets go here too: an empty vector keeps one hold only
  }
  children_.InsertAt(static_cast<RWSize>(index_), object);
}

bool GChildIterator::Next() {
  std::int64_t next = std::int64_t{index_} + 1;
  if (next < std::int64_t{children_.Count()}) {
    index_ = static_cast<std::int32_t>(next);
    return true;
  }
  index_ = -1;
  return false;
}

bool GChildIterator::RemoveCurrent() {
  if (!OnChild()) return false;
  children_.RemoveAt(static_cast<RWSize>(index_));
  --index_;
  return true;
}

void GChildIterator::InsertAtCurrent(MPersistentObject* object) {
  if (!object) return;
  children_.InsertAt(static_cast<RWSize>(index_ + 1), object);
}
