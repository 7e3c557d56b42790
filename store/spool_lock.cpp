#include "store/spool_lock.h"

namespace {

// Whether an owner on this thread holds the lock: a thread's own mark, not
// a word of the process.
thread_local bool t_holds_spool_lock = false;

}  // namespace

std::mutex& SpoolLock() {
  static std::mutex lock;
  return lock;
}

void GSpoolLockOwner::Acquire() {
  if (owns_ || t_holds_spool_lock) return;
  SpoolLock().lock();
  t_holds_spool_lock = true;
  owns_ = true;
}

void GSpoolLockOwner::Release() {
  if (!owns_) return;
  owns_ = false;
  t_holds_spool_lock = false;
  SpoolLock().unlock();
}
