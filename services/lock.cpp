#include "services/lock.h"

#include "platform/host/files.h"
#include "platform/host/threads.h"
#include "services/driver_server.h"

GLock::~GLock() = default;

void GLock::Reserved(std::uint32_t) {}

std::int32_t GLock::TryLock() {
  return kLockBusy;
}

GSemaphore::GSemaphore() : semaphore_(platform::CreateSemaphoreW(nullptr, 1, 1, nullptr)) {}

GSemaphore::~GSemaphore() {
  if (semaphore_) platform::CloseHandle(semaphore_);
}

std::int32_t GSemaphore::Unlock() {
  return platform::ReleaseSemaphore(semaphore_, 1, nullptr) ? 0 : kUnlockFailed;
}

std::int32_t GSemaphore::Lock() {
  return platform::WaitForSingleObject(semaphore_, platform::kInfinite) == platform::kWaitFailed
             ? -1
             : 0;
}

std::int32_t GSemaphore::TryLock() {
  switch (platform::WaitForSingleObject(semaphore_, 0)) {
    case platform::kWaitTimeout:
      return kLockBusy;
    case platform::kWaitFailed:
      return -1;
    default:
      return kLockTaken;
  }
}

GLockScope::GLockScope(GLock* lock, const char* source, std::uint32_t lock_line,
                       std::uint32_t unlock_line)
    : lock_(lock), source_(source), unlock_line_(unlock_line) {
  if (lock_ && lock_->Lock() != 0) {
    ReportDriverError(kDriverErrorCritical, kErrorLockFailed, source_, lock_line, "");
  }
}

GLockScope::~GLockScope() {
  if (lock_ && lock_->Unlock() == kUnlockFailed) {
    ReportDriverError(kDriverErrorCritical, kErrorUnlockFailed, source_, unlock_line_, "");
  }
}
