// GLock: the lock of the whole system. Code never makes a platform lock
// itself: it asks the driver services for one (GOSFactory::EnsureLock, which
// fills a pointer that starts null) and takes it with Lock and Unlock. A
// null lock means no locking: every user skips it. A failed Lock or Unlock
// is not survivable: it is reported through ReportDriverError (level 2, ids
// 301 and 302, with the caller's source name and line), which ends the
// process. GLockScope does both around a block.
//
// GSemaphore: the one implementation, a binary semaphore of the platform
// (count 1, maximum 1). It is not re-enterable: a thread that takes it twice
// waits for itself.
//
// Ownership: a lock belongs to the object that owns its pointer. Threads:
// any thread may take and release a lock; the semaphore is not tied to the
// thread that took it.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

// Error ids of the failed lock operations (ReportDriverError).
inline constexpr std::uint16_t kErrorLockFailed = 301;
inline constexpr std::uint16_t kErrorUnlockFailed = 302;
// What Unlock answers on failure.
inline constexpr std::int32_t kUnlockFailed = -2;
// What TryLock answers when it took the lock, and when another holds it.
inline constexpr std::int32_t kLockTaken = 0;
inline constexpr std::int32_t kLockBusy = 1;

class GLock {
 public:
  GLock() = default;
  GLock(const GLock&) = delete;
  GLock& operator=(const GLock&) = delete;
  virtual ~GLock();

  // 0 on success, kUnlockFailed when the lock cannot be released.
  virtual std::int32_t Unlock() = 0;
  // Blocks until the lock is taken; 0 on success, non-zero on failure.
  virtual std::int32_t Lock() = 0;
  // Does nothing.
  virtual void Reserved(std::uint32_t argument);
  // Takes the lock only when that needs no wait: kLockTaken, kLockBusy, or
  // non-zero else on failure. The out-of-memory handler's way in: it may run
  // inside any allocation, under any lock, and never waits. The base class
  // never takes it.
  virtual std::int32_t TryLock();
};

class GSemaphore : public GLock {
 public:
  // Creates the semaphore; when the platform cannot, every Lock fails.
  GSemaphore();
  ~GSemaphore() override;

  // ReleaseSemaphore by 1: 0, or kUnlockFailed.
  std::int32_t Unlock() override;
  // An untimed wait: 0 unless the wait fails (-1); an abandoned wait counts
  // as taken.
  std::int32_t Lock() override;
  // A wait that times out at once.
  std::int32_t TryLock() override;

  // The platform's semaphore (null when creation failed), for tests.
  platform::HANDLE Handle() const { return semaphore_; }

 private:
  platform::HANDLE semaphore_;
};

// Takes `lock` (when not null) for the life of the scope and releases it at
// its end, reporting a failure of either through ReportDriverError at level
// 2 with `source` and the line given for each.
class GLockScope {
 public:
  GLockScope(GLock* lock, const char* source, std::uint32_t lock_line, std::uint32_t unlock_line);
  ~GLockScope();
  GLockScope(const GLockScope&) = delete;
  GLockScope& operator=(const GLockScope&) = delete;

 private:
  GLock* lock_;
  const char* source_;
  std::uint32_t unlock_line_;
};
