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

platform::BOOL GModuleKeepAlive::Arm(platform::HMODULE module) {
  if (!Take()) return 0;
  platform::BOOL result = 0;
  if (!pinned_ && platform::GetModuleFileNameA(module, path_, kPathBytes) != 0) result = Start();
  Give();
  return result;
}

platform::BOOL GModuleKeepAlive::MarkActivity() {
  if (!Take()) return 0;
  activity_ = 1;
  Give();
  return 1;
}

platform::BOOL GModuleKeepAlive::SetKeepLoaded(std::int32_t flag) {
  if (!Take()) return 0;
  keep_loaded_ = flag;
  platform::BOOL result = flag != 0 && !pinned_ ? Start() : 1;
  Give();
  return result;
}

bool GModuleKeepAlive::IsPinned() {
  if (!Take()) return false;
  bool pinned = pinned_ != nullptr;
  Give();
  return pinned;
}

platform::BOOL GModuleKeepAlive::Start() {
  if (pinned_) return 0;
  pinned_ = platform::LoadLibraryA(path_);
  if (!pinned_) return 0;
  platform::DuplicateHandle(platform::GetCurrentProcess(), platform::GetCurrentThread(),
                            platform::GetCurrentProcess(), &loading_thread_, 0, 0,
                            platform::kDuplicateSameAccess);
  platform::HANDLE watcher =
      platform::CreateThread(nullptr, kWatcherStack, Watch, this, 0, &watcher_id_);
  if (!watcher) {
    // Nothing keeps the module then: it goes with its loaders' references.
    platform::FreeLibrary(pinned_);
    pinned_ = nullptr;
    if (loading_thread_) platform::CloseHandle(loading_thread_);
    loading_thread_ = nullptr;
    return 0;
  }
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
