#include "foundation/rw/pointer_vector.h"

#include <algorithm>

#include "foundation/rw/error.h"
#include "foundation/rw/support.h"

RWPointerVector::RWPointerVector(RWSize count, Entry fill) : entries_(RWNewArray<Entry>(count)) {
  count_ = entries_ ? count : 0;
  Fill(fill);
}

RWPointerVector::RWPointerVector(const RWPointerVector& other)
    : entries_(RWNewArray<Entry>(other.count_)) {
  count_ = entries_ ? other.count_ : 0;
  std::copy_n(other.entries_.get(), count_, entries_.get());
}

RWPointerVector& RWPointerVector::operator=(const RWPointerVector& other) {
  if (this == &other) return *this;
  auto entries = RWNewArray<Entry>(other.count_);
  if (other.count_ && !entries) return *this;
  std::copy_n(other.entries_.get(), other.count_, entries.get());
  entries_ = std::move(entries);
  count_ = other.count_;
  return *this;
}

RWPointerVector::~RWPointerVector() = default;

void RWPointerVector::Fill(Entry value) {
  std::fill_n(entries_.get(), count_, value);
}

void RWPointerVector::Resize(RWSize n) {
  if (n == count_) return;
  auto entries = RWNewArray<Entry>(n);
  if (n && !entries) return;
  std::copy_n(entries_.get(), std::min(count_, n), entries.get());
  entries_ = std::move(entries);
  count_ = n;
}

RWSize RWPointerVector::Reshape(RWSize n) {
  RWSize old = count_;
  // The new array is value-initialised: the added entries are already null.
  Resize(n);
  return old;
}

RWPointerVector::Entry& RWPointerVector::operator[](RWSize i) {
  if (!RWCheckIndex(i, count_)) {
    static thread_local Entry scratch;
    scratch = nullptr;
    return scratch;
  }
  return entries_[i];
}

RWPointerVector::Entry RWPointerVector::operator[](RWSize i) const {
  if (!RWCheckIndex(i, count_)) return nullptr;
  return entries_[i];
}
