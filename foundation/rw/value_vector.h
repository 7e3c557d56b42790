// RWValueVector<T>: an ordered, growable vector of values compared with ==
// (16-bit trays, 32-bit symbol-set codes, text lines, rectangles). It owns
// its array and copies the values in. A new vector has room for 64 values
// unless told otherwise, and a full one grows by 64 at a time; slots freed
// by removal are reset to T{}. Element access is checked. An array that
// cannot be had raises [NOMEM]: a constructor then makes a vector of no
// room, an assignment or an append that must grow leaves the vector as it
// was. A vector belongs to one thread at a time.
//
// REQUIRES of T: default-constructible, copy-assignable, equality-comparable.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "foundation/rw/defs.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "platform/thread_part.h"

template <class T>
class RWValueVector {
 public:
  static constexpr RWSize kGrowth = 64;  // also the default initial capacity

  explicit RWValueVector(RWSize capacity = kGrowth)
      : values_(RWNewArray<T>(capacity)), capacity_(values_ ? capacity : 0), count_(0) {}
  RWValueVector(const RWValueVector& other)
      : values_(RWNewArray<T>(other.capacity_)),
        capacity_(values_ ? other.capacity_ : 0),
        count_(values_ ? other.count_ : 0) {
    std::copy_n(other.values_.get(), count_, values_.get());
  }
  RWValueVector& operator=(const RWValueVector& other) {
    if (this == &other) return *this;
    auto values = RWNewArray<T>(other.capacity_);
    if (other.capacity_ && !values) return *this;
    std::copy_n(other.values_.get(), other.count_, values.get());
    values_ = std::move(values);
    capacity_ = other.capacity_;
    count_ = other.count_;
    return *this;
  }
  virtual ~RWValueVector() = default;

  // Position of the first value equal to `value`, or -1.
  virtual std::int32_t IndexOf(const T& value) const {
    for (RWSize i = 0; i < count_; ++i) {
      if (values_[i] == value) return static_cast<std::int32_t>(i);
    }
    return -1;
  }

  // Stores `value` at the end, growing a full array by kGrowth values.
  virtual void Append(const T& value) {
    if (count_ == capacity_) {
      if (capacity_ > RW_NPOS - kGrowth) {
        RWRaiseOverflow();
        return;
      }
      auto values = RWNewArray<T>(capacity_ + kGrowth);
      if (!values) return;
      std::copy_n(values_.get(), count_, values.get());
      values_ = std::move(values);
      capacity_ += kGrowth;
    }
    values_[count_++] = value;
  }

  // The number of values equal to `value`.
  virtual RWSize CountOf(const T& value) const {
    return static_cast<RWSize>(std::count(values_.get(), values_.get() + count_, value));
  }

  // Removes the first value equal to `value`, moving the later ones down;
  // answers whether there was one.
  virtual bool RemoveFirst(const T& value) {
    std::int32_t at = IndexOf(value);
    if (at < 0) return false;
    std::copy(values_.get() + at + 1, values_.get() + count_, values_.get() + at);
    values_[--count_] = T{};
    return true;
  }

  // Removes every value equal to `value`, keeping the order of the rest;
  // answers how many went.
  virtual RWSize RemoveAll(const T& value) {
    T* end = std::remove(values_.get(), values_.get() + count_, value);
    RWSize kept = static_cast<RWSize>(end - values_.get());
    RWSize removed = count_ - kept;
    std::fill(end, values_.get() + count_, T{});
    count_ = kept;
    return removed;
  }

  // Removes every value; the capacity stays.
  void Clear() {
    std::fill_n(values_.get(), count_, T{});
    count_ = 0;
  }

  RWSize Count() const { return count_; }
  RWSize Capacity() const { return capacity_; }
  // The array, Capacity() values; null when the capacity is 0.
  const T* Data() const { return values_.get(); }

  // Checked access: an index at or beyond the count raises [INDEXERR] (or
  // [NPOSINDEX] for RW_NPOS); the answer is then a scratch value.
  T& operator[](RWSize i) {
    if (!RWCheckIndex(i, count_)) return Scratch();
    return values_[i];
  }
  const T& operator[](RWSize i) const {
    if (!RWCheckIndex(i, count_)) return Scratch();
    return values_[i];
  }

 private:
  static T& Scratch() {
    static thread_local platform::ThreadPart<T> scratch;
    T& value = scratch.Get();
    value = T{};
    return value;
  }

  std::unique_ptr<T[]> values_;  // capacity_ values
  RWSize capacity_;
  RWSize count_;
};

// The vector of 16-bit values (trays of a paper path).
using RWShortVector = RWValueVector<std::uint16_t>;
