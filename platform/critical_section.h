// Kernel locks as the rest of the system knows them: a re-enterable critical
// section, and the lock record (a critical section with an "initialised"
// word, set up on first use) that source files pass to the reference-count
// operations. Both may be used from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace platform {

class CriticalSection {
 public:
  CriticalSection() = default;
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }

  // Satisfies BasicLockable, so std::lock_guard and std::scoped_lock work.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex mutex_;
};

// A critical section plus the word that says whether it has been set up.
// Static lock records are constant-initialised, so they are usable from any
// static initialiser regardless of order.
struct LockRecord {
  CriticalSection section;
  std::atomic<std::uint32_t> initialised{0};

  // Marks the record as set up; cheap after the first call.
  void EnsureInitialised() {
    if (initialised.load(std::memory_order_acquire) == 0) {
      initialised.store(1, std::memory_order_release);
    }
  }
};

// Holds a lock record's section for one scope, setting the record up first.
class LockRecordGuard {
 public:
  explicit LockRecordGuard(LockRecord& record) : record_(record) {
    record_.EnsureInitialised();
    record_.section.Enter();
  }
  ~LockRecordGuard() { record_.section.Leave(); }
  LockRecordGuard(const LockRecordGuard&) = delete;
  LockRecordGuard& operator=(const LockRecordGuard&) = delete;

 private:
  LockRecord& record_;
};

}  // namespace platform
