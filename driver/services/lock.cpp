#include "driver/services/lock.h"

GLock::~GLock() = default;

std::int32_t GSemaphore::Unlock() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!taken_) return kUnlockFailed;
    taken_ = false;
  }
  released_.notify_one();
  return 0;
}

std::int32_t GSemaphore::Lock() {
  std::unique_lock<std::mutex> hold(mutex_);
  released_.wait(hold, [this] { return !taken_; });
  taken_ = true;
  return 0;
}
