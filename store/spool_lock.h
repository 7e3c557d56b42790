// SpoolLock: the one process-wide lock around the filters' page spools:
// the opening of a page store with its names, the closing of a
// page store with the saving of the job's font database, and the reading
// back of a spooled page's font database (command_composite_on_disk.h).
// It lies here, beside the command list on disk, because that read-back is
// its lowest user; the filters (filters/) take it around their page
// handlers.
//
// The lock is not re-enterable. GSpoolLockOwner is its scoped owner: a
// filter that holds the lock from page start to page end keeps one as a
// member and lets it go on every path that abandons the page; one that
// holds it inside a handler keeps one on the stack. An owner asked to take
// the lock on a thread whose other owner holds it already takes nothing
// (the work is serialised by that owner), so a page read back inside a
// held page never waits for itself. Whoever holds the font database's lock
// too takes it after SpoolLock, never before.
//
// Threads: any; one owner object is used by one thread.
#pragma once

#include <mutex>

// The lock itself (tests poll it with try_lock).
std::mutex& SpoolLock();

class GSpoolLockOwner {
 public:
  GSpoolLockOwner() = default;
  // Takes the lock at once when `take`.
  explicit GSpoolLockOwner(bool take) {
    if (take) Acquire();
  }
  ~GSpoolLockOwner() { Release(); }
  GSpoolLockOwner(const GSpoolLockOwner&) = delete;
  GSpoolLockOwner& operator=(const GSpoolLockOwner&) = delete;

  // Waits for the lock, unless this owner or another owner on this thread
  // holds it. Nothing when this owner holds it.
  void Acquire();
  // Lets the lock go when this owner took it; nothing otherwise.
  void Release();
  // Whether this owner took the lock and holds it.
  bool Owns() const { return owns_; }

 private:
  bool owns_ = false;
};
