// GModuleKeepAlive: keeps the library loaded while it is in use. Spooler
// and application processes may unload the library at any time, and
// threads that loaded it implicitly may end; so the keep-alive holds one
// extra reference on the library (its own LoadLibraryA of the library's
// path) and one watcher thread that gives the reference back
// (FreeLibraryAndExitThread) once the library has been idle for a period
// and nothing asks it to stay, or at once when the thread that armed it has
// ended.
//
// Every entry point marks activity; the document-event entry point asks
// the library to stay loaded while a device context is open. The watcher,
// every period: activity is decremented; when it was 0 and keep-loaded is
// clear, the reference goes. So the library goes one to two periods after
// the last activity; while keep-loaded is set the count falls below 0, and
// the next activity brings it back to 1. After the watcher has ended, the
// next SetKeepLoaded(1) starts a new one, whose armer is its caller.
//
// The watcher waits through the platform (platform/host/threads.h), whose
// clock tests may drive; the library's own keep-alive is ModuleKeepAlive(),
// made on first use with a period of 500 ms and never destroyed (a watcher
// may still run when the process ends).
//
// A watcher the system refuses (no thread can be made) keeps nothing: Arm
// and SetKeepLoaded answer 0 and the extra reference is given back at once,
// so the library stays exactly as long as its loaders hold it and unloads
// with their last FreeLibrary, as if it had never been kept; the next
// SetKeepLoaded(1) tries again. Memory that runs out on the watcher's
// thread is reported as the library's threads report it
// (out_of_memory_handler.h); after an error handler that returns, the
// watcher gives the reference back at once and ends.
//
// Threads: every operation may be called from any thread; a binary
// semaphore guards every field, and the watcher never holds it while it
// waits.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

class GModuleKeepAlive {
 public:
  static constexpr std::uint32_t kDefaultPeriod = 500;  // milliseconds
  static constexpr platform::DWORD kPathBytes = 260;
  static constexpr std::size_t kWatcherStack = 4096;

  // A period of 0 is kDefaultPeriod.
  explicit GModuleKeepAlive(std::uint32_t period);
  ~GModuleKeepAlive();
  GModuleKeepAlive(const GModuleKeepAlive&) = delete;
  GModuleKeepAlive& operator=(const GModuleKeepAlive&) = delete;

  // Takes the path of `module` and starts keeping it (Start); 0 when it
  // keeps a module already or the path cannot be read.
  platform::BOOL Arm(platform::HMODULE module);
  // Activity = 1; answers 1.
  platform::BOOL MarkActivity();
  // Keep-loaded = `flag`; a non-zero flag starts keeping the module when
  // nothing is kept (Start's result), else answers 1. A zero flag never
  // stops the watcher by itself.
  platform::BOOL SetKeepLoaded(std::int32_t flag);

  std::uint32_t Period() const { return period_; }
  // Whether the watcher holds the extra reference now (for tests).
  bool IsPinned();

 private:
  // Pins the module and starts the watcher; however it fails (memory that
  // runs out included), nothing stays pinned. REQUIRES: the semaphore held.
  platform::BOOL Start();
  static platform::DWORD Watch(void* self);
  // The watcher's periods, until the reference is to go; `held` tells at
  // any moment whether the semaphore is held.
  void WatchPeriods(bool& held);
  // Clears the fields and gives the reference back, ending the watcher
  // with `code`.
  void LetGo(bool held, platform::DWORD code);
  bool Take();
  void Give();
  class Hold;

  char path_[kPathBytes] = {};
  platform::HMODULE pinned_ = nullptr;  // the extra reference, while kept
  platform::HANDLE semaphore_;
  std::int32_t activity_ = 0;
  std::int32_t keep_loaded_ = 0;
  platform::HANDLE loading_thread_ = nullptr;  // a handle on the armer
  platform::DWORD watcher_id_ = 0;             // 0 once the watcher ended
  std::uint32_t period_;
};

// The library's keep-alive.
GModuleKeepAlive& ModuleKeepAlive();
