// Reference counts shared between threads. A count holds the number of
// holders minus one; the lock record names the source file (or class) whose
// code changes the count and is set up on first use. The counts themselves
// are atomic, so the operations never block.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/critical_section.h"

using RWLockRecord = platform::LockRecord;

inline void AddReference(std::atomic<std::uint32_t>& count, RWLockRecord& lock) {
  lock.EnsureInitialised();
  count.fetch_add(1, std::memory_order_relaxed);
}

// Answers the count before the decrement: 0 means the caller held the last
// reference and must free the object.
inline std::uint32_t ReleaseReference(std::atomic<std::uint32_t>& count, RWLockRecord& lock) {
  lock.EnsureInitialised();
  return count.fetch_sub(1, std::memory_order_acq_rel);
}
