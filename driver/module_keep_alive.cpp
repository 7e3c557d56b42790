#include "driver/module_keep_alive.h"

#include "driver/out_of_memory_handler.h"

#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "platform/host/threads.h"

GModuleKeepAlive::GModuleKeepAlive(std::uint32_t period)
    : semaphore_(platform::CreateSemaphoreW(nullptr, 1, 1, nullptr)),
      period_(period == 0 ? kDefaultPeriod : period) {}

GModuleKeepAlive::~GModuleKeepAlive() {
  if (semaphore_) platform::CloseHandle(semaphore_);
}

bool GModuleKeepAlive::Take() {
  return platform::WaitForSingleObject(semaphore_, platform::kInfinite) == platform::kWaitObject0;
}

void GModuleKeepAlive::Give() {
  platform::ReleaseSemaphore(semaphore_, 1, nullptr);
}

// The semaphore, held for one operation and given back however it ends:
// an operation that runs out of memory must not leave every later entry
// point waiting for it.
class GModuleKeepAlive::Hold {
 public:
  explicit Hold(GModuleKeepAlive& keep_alive) : keep_alive_(keep_alive), held_(keep_alive.Take()) {}
  ~Hold() {
    if (held_) keep_alive_.Give();
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
  explicit operator bool() const { return held_; }

 private:
  GModuleKeepAlive& keep_alive_;
  bool held_;
};

platform::BOOL GModuleKeepAlive::Arm(platform::HMODULE module) {
  Hold hold(*this);
  if (!hold) return 0;
  if (pinned_ || platform::GetModuleFileNameA(module, path_, kPathBytes) == 0) return 0;
  return Start();
}

platform::BOOL GModuleKeepAlive::MarkActivity() {
  Hold hold(*this);
  if (!hold) return 0;
  activity_ = 1;
  return 1;
}

platform::BOOL GModuleKeepAlive::SetKeepLoaded(std::int32_t flag) {
  Hold hold(*this);
  if (!hold) return 0;
  keep_loaded_ = flag;
  return flag != 0 && !pinned_ ? Start() : 1;
}

bool GModuleKeepAlive::IsPinned() {
  Hold hold(*this);
  return hold && pinned_ != nullptr;
}

platform::BOOL GModuleKeepAlive::Start() {
  if (pinned_) return 0;
  pinned_ = platform::LoadLibraryA(path_);
  if (!pinned_) return 0;
  // Until the watcher runs, the extra reference and the armer's handle are
  // this call's: given back, the fields cleared, when the watcher cannot be
  // started (the system refuses the thread, or memory runs out on the way).
  // The watcher reads the fields only once it takes the semaphore, which
  // this call holds.
  struct Unstarted {
    GModuleKeepAlive* self;
    ~Unstarted() {
      if (!self) return;
      if (self->loading_thread_) platform::CloseHandle(self->loading_thread_);
      platform::FreeLibrary(self->pinned_);
      self->pinned_ = nullptr;
      self->loading_thread_ = nullptr;
      self->watcher_id_ = 0;
    }
  } unstarted{this};
  platform::DuplicateHandle(platform::GetCurrentProcess(), platform::GetCurrentThread(),
                            platform::GetCurrentProcess(), &loading_thread_, 0, 0,
                            platform::kDuplicateSameAccess);
  platform::HANDLE watcher =
      platform::CreateThread(nullptr, kWatcherStack, Watch, this, 0, &watcher_id_);
  if (!watcher) return 0;
  unstarted.self = nullptr;
  platform::CloseHandle(watcher);
  return 1;
}

platform::DWORD GModuleKeepAlive::Watch(void* argument) {
  auto* self = static_cast<GModuleKeepAlive*>(argument);
  bool held = false;
  // Memory that ran short in a wait is reported before the reference
  // goes, and the reference goes all the same.
  const platform::DWORD code = RunLibraryThread([&] {
    self->WatchPeriods(held);
    return platform::DWORD{0};
  });
  if (code != 0 && !held) held = self->Take();
  self->LetGo(held, code);
  return code;
}

void GModuleKeepAlive::WatchPeriods(bool& held) {
  held = Take();
  while (held) {
    platform::HANDLE loading_thread = loading_thread_;
    std::uint32_t period = period_;
    held = false;
    Give();
    if (loading_thread) {
      if (platform::WaitForSingleObject(loading_thread, period) != platform::kWaitTimeout) {
        // The armer has ended (or cannot be waited on): the reference goes
        // at once.
        held = Take();
        return;
      }
    } else {
      platform::Sleep(period);
    }
    held = Take();
    if (!held) return;
    std::int32_t old = activity_;
    activity_ = old - 1;
    if (old == 0 && keep_loaded_ == 0) return;
  }
}

void GModuleKeepAlive::LetGo(bool held, platform::DWORD code) {
  // The fields are cleared while the semaphore is held (when it could be
  // taken), so that a new watcher started right after owns its own
  // loading thread; only then is the reference given back.
  platform::HMODULE pinned = pinned_;
  platform::HANDLE loading_thread = loading_thread_;
  pinned_ = nullptr;
  loading_thread_ = nullptr;
  watcher_id_ = 0;
  if (held) Give();
  if (loading_thread) platform::CloseHandle(loading_thread);
  platform::FreeLibraryAndExitThread(pinned, code);
}

GModuleKeepAlive& ModuleKeepAlive() {
  static GModuleKeepAlive* const keep_alive =
      new GModuleKeepAlive(GModuleKeepAlive::kDefaultPeriod);
  return *keep_alive;
}
