// RWScopedValue: sets a variable for the life of a scope and puts back the
// value it had however the scope ends, also when an exception unwinds it
// (std::bad_alloc, memory short inside an error scope). For the flags and
// marks a function sets around a call: a flag left set by a call that ran
// out of memory would steer every call after it.
//
//   RWScopedValue<bool> dispatching(dispatching_, true);
//
// Restoring only assigns: T's assignment must not allocate or throw (flags,
// counts, pointers). Not copyable; lives on the stack of one thread.
#pragma once

#include <utility>

template <class T>
class RWScopedValue {
 public:
  RWScopedValue(T& target, T value) : target_(target), was_(std::exchange(target, value)) {}
  ~RWScopedValue() { target_ = was_; }
  RWScopedValue(const RWScopedValue&) = delete;
  RWScopedValue& operator=(const RWScopedValue&) = delete;

 private:
  T& target_;
  T was_;
};
