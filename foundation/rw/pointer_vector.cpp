#include "foundation/rw/pointer_vector.h"

#include <algorithm>

#include "foundation/rw/error.h"

namespace {

std::unique_ptr<void* []> NewEntries(RWSize n) {
  return n ? std::unique_ptr<void*[]>(new void*[n]()) : nullptr;
}

}  // namespace

RWPointerVector::RWPointerVector(RWSize count, Entry fill)
    : count_(count), entries_(NewEntries(count)) {
  Fill(fill);
}

RWPointerVector::RWPointerVector(const RWPointerVector& other)
    : count_(other.count_), entries_(NewEntries(other.count_)) {
  std::copy_n(other.entries_.get(), count_, entries_.get());
}

RWPointerVector& RWPointerVector::operator=(const RWPointerVector& other) {
  if (this == &other) return *this;
  entries_ = NewEntries(other.count_);
  count_ = other.count_;
  std::copy_n(other.entries_.get(), count_, entries_.get());
  return *this;
}

RWPointerVector::~RWPointerVector() = default;

void RWPointerVector::Fill(Entry value) {
  std::fill_n(entries_.get(), count_, value);
}

void RWPointerVector::Resize(RWSize n) {
  if (n == count_) return;
  auto entries = NewEntries(n);
  std::copy_n(entries_.get(), std::min(count_, n), entries.get());
  entries_ = std::move(entries);
  count_ = n;
}

RWSize RWPointerVector::Reshape(RWSize n) {
  RWSize old = count_;
  Resize(n);
  for (RWSize i = old; i < n; ++i)
    entries_[i] = nullptr;
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
