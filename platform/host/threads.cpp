#include "platform/host/threads.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/host/host_state.h"
#include "platform/host/modules.h"

namespace platform {
namespace {

using host_internal::Fail;
using SteadyClock = std::chrono::steady_clock;

// Pseudo handles, as the original platform spells them.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(~std::uintptr_t{1});

constexpr auto kIdleBound = std::chrono::seconds(10);

// A semaphore or a thread: what a handle names. Waiters keep the object
// alive past the close of its handle.
struct SyncObject {
  bool is_thread = false;
  // Semaphores.
  LONG count = 0;
  LONG maximum = 0;
  std::optional<DWORD> next_wait;
  bool release_fails = false;
  // Threads.
  bool ended = false;
  bool created = false;  // made by CreateThread
  DWORD id = 0;
  DWORD exit_code = 0;
  // Set while the thread blocks in a timed wait on the manual clock: the
  // manual time at which the wait ends.
  std::optional<std::uint64_t> manual_deadline;
};

struct SyncState {
  std::mutex mutex;
  std::condition_variable changed;  // any state change: notify all
  std::map<std::uintptr_t, std::shared_ptr<SyncObject>> handles;
  std::set<std::shared_ptr<SyncObject>> created_threads;  // not ended yet
  bool manual = false;
  std::uint64_t manual_now = 0;
  bool fail_semaphores = false;
  bool fail_threads = false;
  DWORD next_thread_id = 1;
};

SyncState& State() {
  // Never destroyed: detached threads may still wait at exit.
  static SyncState* state = new SyncState;
  return *state;
}

using Guard = std::unique_lock<std::mutex>;

// The calling thread's record, made on first use; the record counts as ended
// when the thread's storage goes.
class ThreadHolder {
 public:
  ~ThreadHolder() {
    if (!record_) return;
    SyncState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    End(state, *record_);
  }
  std::shared_ptr<SyncObject>& Record() { return record_; }

  static void End(SyncState& state, SyncObject& record) {
    record.ended = true;
    record.manual_deadline.reset();
    for (auto it = state.created_threads.begin(); it != state.created_threads.end(); ++it) {
      if (it->get() == &record) {
        state.created_threads.erase(it);
        break;
      }
    }
    state.changed.notify_all();
  }

 private:
  std::shared_ptr<SyncObject> record_;
};

thread_local ThreadHolder this_thread;

// REQUIRES: state.mutex held.
std::shared_ptr<SyncObject> CurrentRecordLocked(SyncState& state) {
  std::shared_ptr<SyncObject>& record = this_thread.Record();
  if (!record) {
    record = std::make_shared<SyncObject>();
    record->is_thread = true;
    record->id = state.next_thread_id++;
  }
  return record;
}

// REQUIRES: state.mutex held.
std::shared_ptr<SyncObject> FindLocked(SyncState& state, HANDLE handle) {
  if (handle == kCurrentThread) return CurrentRecordLocked(state);
  auto it = state.handles.find(host_internal::IdFromHandle(handle));
  return it == state.handles.end() ? nullptr : it->second;
}

// REQUIRES: state.mutex held.
HANDLE AddHandleLocked(SyncState& state, std::shared_ptr<SyncObject> object) {
  std::uintptr_t id = host_internal::NewHandleId();
  state.handles.emplace(id, std::move(object));
  return host_internal::HandleFromId<HANDLE>(id);
}

bool Signalled(const SyncObject& object) {
  return object.is_thread ? object.ended : object.count > 0;
}

// Waits on `lock` until `ready` holds or the time-out passes on the wait
// clock; true when ready. A timed wait on the manual clock marks the calling
// thread as blocked until its deadline, for AwaitThreadsIdle.
template <class Ready>
bool WaitLocked(SyncState& state, Guard& lock, DWORD milliseconds, Ready ready) {
  if (ready()) return true;
  if (milliseconds == 0) return false;
  if (milliseconds == kInfinite) {
    state.changed.wait(lock, ready);
    return true;
  }
  std::shared_ptr<SyncObject> self = CurrentRecordLocked(state);
  const bool manual = state.manual;
  const std::uint64_t manual_deadline = state.manual_now + milliseconds;
  const SteadyClock::time_point real_deadline =
      SteadyClock::now() + std::chrono::milliseconds(milliseconds);
  if (manual) {
    self->manual_deadline = manual_deadline;
    state.changed.notify_all();
  }
  bool result = false;
  for (;;) {
    if (ready()) {
      result = true;
      break;
    }
    // The clock is the one in force now: a reset while waiting switches a
    // manual wait to the host's clock.
    if (state.manual ? state.manual_now >= manual_deadline : SteadyClock::now() >= real_deadline) {
      break;
    }
    if (state.manual) {
      state.changed.wait(lock);
    } else {
      state.changed.wait_until(lock, real_deadline);
    }
  }
  if (self->manual_deadline) {
    self->manual_deadline.reset();
    state.changed.notify_all();
  }
  return result;
}

struct StartBlock {
  ThreadStartRoutine start;
  void* parameter;
  std::shared_ptr<SyncObject> record;
};

void RunThread(StartBlock block) {
  SyncState& state = State();
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    this_thread.Record() = block.record;
  }
  DWORD code = block.start(block.parameter);
  std::lock_guard<std::mutex> lock(state.mutex);
  if (block.record->exit_code == 0) block.record->exit_code = code;
  ThreadHolder::End(state, *block.record);
}

}  // namespace

HANDLE CreateThread(const void*, std::size_t, ThreadStartRoutine start, void* parameter, DWORD,
                    DWORD* thread_id) {
  if (start == nullptr) return Fail<HANDLE>(kErrorInvalidParameter, nullptr);
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.fail_threads) return Fail<HANDLE>(kErrorNotEnoughMemory, nullptr);
  auto record = std::make_shared<SyncObject>();
  record->is_thread = true;
  record->created = true;
  record->id = state.next_thread_id++;
  state.created_threads.insert(record);
  if (thread_id != nullptr) *thread_id = record->id;
  std::thread(RunThread, StartBlock{start, parameter, record}).detach();
  return AddHandleLocked(state, record);
}

HANDLE GetCurrentThread() {
  return kCurrentThread;
}

HANDLE GetCurrentProcess() {
  return kCurrentProcess;
}

DWORD GetCurrentThreadId() {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return CurrentRecordLocked(state)->id;
}

BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process, HANDLE* target,
                     DWORD, BOOL, DWORD) {
  if (target == nullptr || source_process != kCurrentProcess || target_process != kCurrentProcess) {
    return Fail<BOOL>(kErrorInvalidParameter, 0);
  }
  *target = nullptr;
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::shared_ptr<SyncObject> object = FindLocked(state, source);
  if (!object) return Fail<BOOL>(kErrorInvalidHandle, 0);
  *target = AddHandleLocked(state, std::move(object));
  return 1;
}

HANDLE CreateSemaphoreW(const void*, LONG initial, LONG maximum, const char16_t* name) {
  if (name != nullptr || maximum <= 0 || initial < 0 || initial > maximum) {
    return Fail<HANDLE>(kErrorInvalidParameter, nullptr);
  }
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.fail_semaphores) return Fail<HANDLE>(kErrorNotEnoughMemory, nullptr);
  auto semaphore = std::make_shared<SyncObject>();
  semaphore->count = initial;
  semaphore->maximum = maximum;
  return AddHandleLocked(state, std::move(semaphore));
}

BOOL ReleaseSemaphore(HANDLE handle, LONG count, LONG* previous) {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::shared_ptr<SyncObject> semaphore = FindLocked(state, handle);
  if (!semaphore || semaphore->is_thread) return Fail<BOOL>(kErrorInvalidHandle, 0);
  if (count <= 0) return Fail<BOOL>(kErrorInvalidParameter, 0);
  if (semaphore->release_fails || count > semaphore->maximum - semaphore->count) {
    return Fail<BOOL>(kErrorTooManyPosts, 0);
  }
  if (previous != nullptr) *previous = semaphore->count;
  semaphore->count += count;
  state.changed.notify_all();
  return 1;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  SyncState& state = State();
  Guard lock(state.mutex);
  std::shared_ptr<SyncObject> object = FindLocked(state, handle);
  if (!object) return Fail<DWORD>(kErrorInvalidHandle, kWaitFailed);
  DWORD success = kWaitObject0;
  if (object->next_wait) {
    DWORD forced = *object->next_wait;
    object->next_wait.reset();
    if (forced == kWaitFailed) return Fail<DWORD>(kErrorInvalidHandle, kWaitFailed);
    success = forced;
  }
  if (!WaitLocked(state, lock, milliseconds, [&] { return Signalled(*object); })) {
    return kWaitTimeout;
  }
  if (!object->is_thread) --object->count;
  return success;
}

void Sleep(DWORD milliseconds) {
  SyncState& state = State();
  Guard lock(state.mutex);
  WaitLocked(state, lock, milliseconds, [] { return false; });
}

DWORD GetTickCount() {
  static const SteadyClock::time_point start = SteadyClock::now();
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.manual) return static_cast<DWORD>(state.manual_now);
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start);
  return static_cast<DWORD>(elapsed.count());
}

void FreeLibraryAndExitThread(HMODULE module, DWORD exit_code) {
  FreeLibrary(module);
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  CurrentRecordLocked(state)->exit_code = exit_code;
}

void UseManualWaitClock() {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.manual = true;
  state.manual_now = 0;
  state.changed.notify_all();
}

void AdvanceWaitClock(DWORD milliseconds) {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.manual_now += milliseconds;
  // Threads whose deadline passed are no longer blocked, from now on, even
  // before they wake.
  for (const auto& thread : state.created_threads) {
    if (thread->manual_deadline && *thread->manual_deadline <= state.manual_now) {
      thread->manual_deadline.reset();
    }
  }
  state.changed.notify_all();
}

bool AwaitThreadsIdle() {
  SyncState& state = State();
  Guard lock(state.mutex);
  return state.changed.wait_for(lock, kIdleBound, [&] {
    for (const auto& thread : state.created_threads) {
      if (!thread->manual_deadline || *thread->manual_deadline <= state.manual_now) return false;
    }
    return true;
  });
}

std::size_t LiveThreadCount() {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.created_threads.size();
}

bool SetNextWaitResult(HANDLE handle, DWORD result) {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::shared_ptr<SyncObject> semaphore = FindLocked(state, handle);
  if (!semaphore || semaphore->is_thread) return false;
  semaphore->next_wait = result;
  return true;
}

bool SetReleaseFailure(HANDLE handle, bool fail) {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  std::shared_ptr<SyncObject> semaphore = FindLocked(state, handle);
  if (!semaphore || semaphore->is_thread) return false;
  semaphore->release_fails = fail;
  return true;
}

void SetSemaphoreCreationFailure(bool fail) {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.fail_semaphores = fail;
}

void SetThreadCreationFailure(bool fail) {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.fail_threads = fail;
}

namespace host_internal {

bool CloseSyncHandle(HANDLE handle) {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.handles.erase(IdFromHandle(handle)) != 0;
}

void ResetThreadsLocked() {
  SyncState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.manual = false;
  state.manual_now = 0;
  state.fail_semaphores = false;
  state.fail_threads = false;
  for (auto& [id, object] : state.handles) {
    object->next_wait.reset();
    object->release_fails = false;
  }
  state.changed.notify_all();
}

}  // namespace host_internal
}  // namespace platform
