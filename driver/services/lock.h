// GLock: the lock object of the whole system. Code never makes a kernel lock
// of its own for shared state: it asks the driver services for one
// (GOSFactory::CreateLock, or EnsureLock for a slot filled on first use) and
// reports a lock that cannot be taken or released through ReportDriverError
// (driver_error.h) with ids 301 and 302. A null lock means no locking: every
// caller skips it. GSemaphore is the lock the services make: a semaphore of
// one count, so it may be released by another thread than the one that took
// it, and a release without a take fails.
//
// Threads: a lock object may be used from any thread; it is deleted by the
// object that owns the slot it was made into.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class GLock {
 public:
  // What Unlock answers when the lock cannot be released.
  static constexpr std::int32_t kUnlockFailed = -2;

  GLock() = default;
  GLock(const GLock&) = delete;
  GLock& operator=(const GLock&) = delete;
  virtual ~GLock();

  // 0 once released; kUnlockFailed when it was not taken.
  virtual std::int32_t Unlock() = 0;
  // Waits for the lock and takes it: 0, or non-zero when it cannot be had.
  virtual std::int32_t Lock() = 0;
};

class GSemaphore final : public GLock {
 public:
  GSemaphore() = default;

  std::int32_t Unlock() override;
  std::int32_t Lock() override;

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool taken_ = false;  // guarded by mutex_
};
