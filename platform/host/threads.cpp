#include "platform/host/threads.h"

#include <cxxabi.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "platform/host/boundary.h"
#include "platform/host/host_state.h"
#include "platform/host/modules.h"
#include "platform/host/system_memory.h"
#include "platform/thread_part.h"

namespace platform {
namespace {

using host_internal::Fail;
using SteadyClock = std::chrono::steady_clock;

// Pseudo handles, as the original platform spells them.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(~std::uintptr_t{0});
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(~std::uintptr_t{1});

constexpr auto kIdleBound = std::chrono::seconds(10);

// A semaphore or a thread: what a handle names. Waiters keep the object
// alive past the close of its handle. Each object has its own lock and
// condition, so a release wakes only the threads waiting on that object.
struct SyncObject {
  std::mutex mutex;                   // guards the fields below but manual_deadline
  std::condition_variable signalled;  // a release, an end, or the clock of a timed waiter moved
  bool is_thread = false;             // set before the object is shared
  // Semaphores.
  LONG count = 0;
  LONG maximum = 0;
  std::optional<DWORD> next_wait;
  bool release_fails = false;
  // Threads.
  bool ended = false;
  bool created = false;  // made by CreateThread; set before the object is shared
  DWORD id = 0;          // likewise
  DWORD exit_code = 0;
  // Set while the thread blocks in a timed wait on the manual clock: the
  // manual time at which the wait ends. Guarded by the registry's lock.
  std::optional<std::uint64_t> manual_deadline;
};

// A thread blocked in a timed wait on `object`, woken when the clock moves.
struct TimedWait {
  std::shared_ptr<SyncObject> object;
  std::uint64_t manual_deadline = 0;  // on the manual clock, whichever is in force
};

using HandleMap = std::map<std::uintptr_t, std::shared_ptr<SyncObject>>;
using ThreadSet = std::set<std::shared_ptr<SyncObject>>;
using TimedWaits = std::list<TimedWait>;

// What is not an object's own: the handles, the threads, the wait clock and
// the knobs. Its lock may be taken while an object's is held, never the
// other way round. Nothing is allocated under it on the ways of the
// waits, handles and threads (nodes are made before it is taken and
// spliced in): an allocation that fails there would run the driver's
// out-of-memory handler, whose lock attempts take it again.
struct SyncState {
  std::mutex mutex;
  std::condition_variable idle_changed;  // for AwaitThreadsIdle only
  HandleMap handles;
  ThreadSet created_threads;  // not ended yet
  TimedWaits timed_waits;
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

using Objects = std::vector<std::shared_ptr<SyncObject>>;

// Room for `count()` objects, made with the lock let go (see SyncState);
// held again on return, so that the count cannot grow before they are
// collected.
template <class Count>
Objects RoomFor(Guard& lock, Count count) {
  Objects room;
  while (room.capacity() < count()) {
    const std::size_t wanted = count();
    lock.unlock();
    room.reserve(wanted);
    lock.lock();
  }
  return room;
}

// Room for every timed waiter, as RoomFor.
Objects RoomForTimedWaiters(SyncState& state, Guard& lock) {
  return RoomFor(lock, [&] { return state.timed_waits.size(); });
}

// Wakes the timed waiters that `wake` picks, collected into `room`.
// REQUIRES: state.mutex held since `room` was made by RoomForTimedWaiters,
// which this lets go (the objects' locks come first).
template <class Pick>
void WakeTimedWaiters(SyncState& state, Guard& lock, Objects room, Pick wake) {
  for (const TimedWait& wait : state.timed_waits) {
    if (wake(wait)) room.push_back(wait.object);
  }
  lock.unlock();
  for (const auto& object : room) {
    // A waiter that read the old clock holds its object's lock until it
    // blocks: taking the lock once makes sure the wake-up reaches it.
    { std::lock_guard<std::mutex> object_lock(object->mutex); }
    object->signalled.notify_all();
  }
}

// The calling thread's record, made on first use; the record counts as ended
// when the thread's part goes.
class ThreadHolder {
 public:
  ~ThreadHolder() {
    if (record_) End(State(), *record_);
  }
  std::shared_ptr<SyncObject>& Record() { return record_; }

  // The handle is signalled and the thread leaves the live threads in one
  // step: whoever sees one sees the other.
  static void End(SyncState& state, SyncObject& record) {
    {
      std::lock_guard<std::mutex> lock(record.mutex);
      record.ended = true;
      std::lock_guard<std::mutex> registry(state.mutex);
      record.manual_deadline.reset();
      for (auto it = state.created_threads.begin(); it != state.created_threads.end(); ++it) {
        if (it->get() == &record) {
          state.created_threads.erase(it);
          break;
        }
      }
    }
    state.idle_changed.notify_all();
    record.signalled.notify_all();
  }

 private:
  std::shared_ptr<SyncObject> record_;
};

thread_local ThreadPart<ThreadHolder> this_thread;

// Makes the calling thread's record when it has none, outside the lock.
void PrepareCurrentRecord(SyncState& state) {
  std::shared_ptr<SyncObject>& record = this_thread.Get().Record();
  if (record) return;
  auto made = std::make_shared<SyncObject>();
  made->is_thread = true;
  std::lock_guard<std::mutex> lock(state.mutex);
  made->id = state.next_thread_id++;
  record = std::move(made);
}

// REQUIRES: state.mutex held, PrepareCurrentRecord called.
std::shared_ptr<SyncObject> CurrentRecordLocked(SyncState&) {
  return this_thread.Get().Record();
}

// REQUIRES: state.mutex held.
std::shared_ptr<SyncObject> FindLocked(SyncState& state, HANDLE handle) {
  if (handle == kCurrentThread) return CurrentRecordLocked(state);
  auto it = state.handles.find(host_internal::IdFromHandle(handle));
  return it == state.handles.end() ? nullptr : it->second;
}

std::shared_ptr<SyncObject> Find(HANDLE handle) {
  SyncState& state = State();
  if (handle == kCurrentThread) PrepareCurrentRecord(state);
  std::lock_guard<std::mutex> lock(state.mutex);
  return FindLocked(state, handle);
}

// A node of the handle table for `object` under a new id, made outside
// the lock.
HandleMap::node_type NewHandleNode(std::shared_ptr<SyncObject> object) {
  HandleMap one;
  one.emplace(host_internal::NewHandleId(), std::move(object));
  return one.extract(one.begin());
}

// REQUIRES: state.mutex held.
HANDLE AddHandleLocked(SyncState& state, HandleMap::node_type node) {
  const std::uintptr_t id = node.key();
  state.handles.insert(std::move(node));
  return host_internal::HandleFromId<HANDLE>(id);
}

// REQUIRES: the object's lock held.
bool Signalled(const SyncObject& object) {
  return object.is_thread ? object.ended : object.count > 0;
}

// Waits on `object` (its lock held in `lock`) until `ready` holds or the
// time-out passes on the wait clock; true when ready. A timed wait on the
// manual clock marks the calling thread as blocked until its deadline, for
// AwaitThreadsIdle.
template <class Ready>
bool WaitOn(const std::shared_ptr<SyncObject>& object, Guard& lock, DWORD milliseconds,
            Ready ready) {
  if (ready()) return true;
  if (milliseconds == 0) return false;
  if (milliseconds == kInfinite) {
    object->signalled.wait(lock, ready);
    return true;
  }
  SyncState& state = State();
  const SteadyClock::time_point real_deadline =
      SteadyClock::now() + std::chrono::milliseconds(milliseconds);
  std::uint64_t manual_deadline = 0;
  std::shared_ptr<SyncObject> self;
  PrepareCurrentRecord(state);
  TimedWaits entry;
  entry.push_back({object, 0});
  {
    std::lock_guard<std::mutex> registry(state.mutex);
    self = CurrentRecordLocked(state);
    manual_deadline = state.manual_now + milliseconds;
    if (state.manual) self->manual_deadline = manual_deadline;
    entry.front().manual_deadline = manual_deadline;
    state.timed_waits.splice(state.timed_waits.end(), entry);
  }
  state.idle_changed.notify_all();
  bool result = false;
  for (;;) {
    if (ready()) {
      result = true;
      break;
    }
    // The clock is the one in force now: a reset while waiting switches a
    // manual wait to the host's clock.
    bool manual = false;
    {
      std::lock_guard<std::mutex> registry(state.mutex);
      manual = state.manual;
      if (manual ? state.manual_now >= manual_deadline : SteadyClock::now() >= real_deadline) {
        break;
      }
    }
    if (manual) {
      object->signalled.wait(lock);
    } else {
      object->signalled.wait_until(lock, real_deadline);
    }
  }
  {
    std::lock_guard<std::mutex> registry(state.mutex);
    for (auto it = state.timed_waits.begin(); it != state.timed_waits.end(); ++it) {
      if (it->object == object && it->manual_deadline == manual_deadline) {
        // Freed outside the lock.
        entry.splice(entry.end(), state.timed_waits, it);
        break;
      }
    }
    self->manual_deadline.reset();
  }
  state.idle_changed.notify_all();
  return result;
}

struct StartBlock {
  ThreadStartRoutine start;
  void* parameter;
  std::shared_ptr<SyncObject> record;
};

void* RunThread(void* argument) {
  std::unique_ptr<StartBlock> block(static_cast<StartBlock*>(argument));
  this_thread.Get().Record() = block->record;
  DWORD code = 0;
  try {
    code = block->start(block->parameter);
  } catch (abi::__forced_unwind&) {
    throw;  // a cancellation unwinds on; the thread's storage ends the record
  } catch (...) {
    code = CaughtExceptionError();  // no exception leaves a thread of ours
  }
  {
    std::lock_guard<std::mutex> lock(block->record->mutex);
    if (block->record->exit_code == 0) block->record->exit_code = code;
  }
  ThreadHolder::End(State(), *block->record);
  return nullptr;
}

// Threads the system would not start, for RefusedThreadCount.
std::atomic<std::uint32_t> refused_threads{0};

// Starts a detached host thread on `block`; false when the system refuses
// one (no address space for its stack, a process limit).
bool StartHostThread(StartBlock* block) {
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) != 0) return false;
  pthread_t thread;
  const bool started = ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                       ::pthread_create(&thread, &attributes, &RunThread, block) == 0;
  ::pthread_attr_destroy(&attributes);
  return started;
}

}  // namespace

HANDLE CreateThread(const void*, std::size_t, ThreadStartRoutine start, void* parameter, DWORD,
                    DWORD* thread_id) {
  if (start == nullptr) return Fail<HANDLE>(kErrorInvalidParameter, nullptr);
  SyncState& state = State();
  // Everything the thread needs is made before it is counted: memory that
  // runs out here leaves nothing behind.
  std::shared_ptr<SyncObject> record;
  ThreadSet::node_type live;
  HandleMap::node_type handle;
  std::unique_ptr<StartBlock> block;
  try {
    record = std::make_shared<SyncObject>();
    record->is_thread = true;
    record->created = true;
    ThreadSet one;
    one.insert(record);
    live = one.extract(one.begin());
    handle = NewHandleNode(record);
    block.reset(new StartBlock{start, parameter, record});
  } catch (const std::bad_alloc&) {
    NoteShortage();
    return Fail<HANDLE>(kErrorNotEnoughMemory, nullptr);
  }
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.fail_threads) return Fail<HANDLE>(kErrorNotEnoughMemory, nullptr);
    record->id = state.next_thread_id++;
    // Counted live before it starts: it may end at once.
    state.created_threads.insert(std::move(live));
  }
  if (thread_id != nullptr) *thread_id = record->id;
  if (!StartHostThread(block.get())) {
    refused_threads.fetch_add(1, std::memory_order_relaxed);
    // Never started: it leaves the live threads as an ended one would, so
    // that no wait for the threads to go idle waits on it.
    ThreadHolder::End(state, *record);
    if (thread_id != nullptr) *thread_id = 0;
    return Fail<HANDLE>(kErrorNotEnoughMemory, nullptr);
  }
  block.release();  // the thread's now
  std::lock_guard<std::mutex> lock(state.mutex);
  return AddHandleLocked(state, std::move(handle));
}

std::uint32_t RefusedThreadCount() {
  return refused_threads.load(std::memory_order_relaxed);
}

HANDLE GetCurrentThread() {
  return kCurrentThread;
}

HANDLE GetCurrentProcess() {
  return kCurrentProcess;
}

DWORD GetCurrentThreadId() {
  SyncState& state = State();
  PrepareCurrentRecord(state);
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
  if (source == kCurrentThread) PrepareCurrentRecord(state);
  HandleMap::node_type node = NewHandleNode(nullptr);
  std::lock_guard<std::mutex> lock(state.mutex);
  std::shared_ptr<SyncObject> object = FindLocked(state, source);
  if (!object) return Fail<BOOL>(kErrorInvalidHandle, 0);
  node.mapped() = std::move(object);
  *target = AddHandleLocked(state, std::move(node));
  return 1;
}

HANDLE CreateSemaphoreW(const void*, LONG initial, LONG maximum, const char16_t* name) {
  if (name != nullptr || maximum <= 0 || initial < 0 || initial > maximum) {
    return Fail<HANDLE>(kErrorInvalidParameter, nullptr);
  }
  SyncState& state = State();
  auto semaphore = std::make_shared<SyncObject>();
  semaphore->count = initial;
  semaphore->maximum = maximum;
  HandleMap::node_type node = NewHandleNode(std::move(semaphore));
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.fail_semaphores) return Fail<HANDLE>(kErrorNotEnoughMemory, nullptr);
  return AddHandleLocked(state, std::move(node));
}

BOOL ReleaseSemaphore(HANDLE handle, LONG count, LONG* previous) {
  std::shared_ptr<SyncObject> semaphore = Find(handle);
  if (!semaphore || semaphore->is_thread) return Fail<BOOL>(kErrorInvalidHandle, 0);
  if (count <= 0) return Fail<BOOL>(kErrorInvalidParameter, 0);
  {
    std::lock_guard<std::mutex> lock(semaphore->mutex);
    if (semaphore->release_fails || count > semaphore->maximum - semaphore->count) {
      return Fail<BOOL>(kErrorTooManyPosts, 0);
    }
    if (previous != nullptr) *previous = semaphore->count;
    semaphore->count += count;
  }
  // Every waiter of a semaphore waits for the same thing: one count wakes
  // one of them.
  if (count == 1) {
    semaphore->signalled.notify_one();
  } else {
    semaphore->signalled.notify_all();
  }
  return 1;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<SyncObject> object = Find(handle);
  if (!object) return Fail<DWORD>(kErrorInvalidHandle, kWaitFailed);
  Guard lock(object->mutex);
  DWORD success = kWaitObject0;
  if (object->next_wait) {
    DWORD forced = *object->next_wait;
    object->next_wait.reset();
    if (forced == kWaitFailed) return Fail<DWORD>(kErrorInvalidHandle, kWaitFailed);
    success = forced;
  }
  if (!WaitOn(object, lock, milliseconds, [&] { return Signalled(*object); })) {
    return kWaitTimeout;
  }
  if (!object->is_thread) --object->count;
  return success;
}

namespace {
thread_local std::uint32_t t_shortages_met = 0;
thread_local int t_system_memory = 0;
}  // namespace

bool InSystemMemory() noexcept {
  return t_system_memory != 0;
}

host_internal::SystemMemoryScope::SystemMemoryScope() noexcept {
  ++t_system_memory;
}

host_internal::SystemMemoryScope::~SystemMemoryScope() {
  --t_system_memory;
}

std::uint32_t ShortagesMet() noexcept {
  return t_shortages_met;
}

void NoteShortage() noexcept {
  ++t_shortages_met;
}

DWORD CaughtExceptionError() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    NoteShortage();
    return kErrorNotEnoughMemory;
  } catch (...) {
    return kErrorUnhandledException;
  }
}

BOOL GetExitCodeThread(HANDLE handle, DWORD* exit_code) {
  if (exit_code == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  std::shared_ptr<SyncObject> thread = Find(handle);
  if (!thread || !thread->is_thread) return Fail<BOOL>(kErrorInvalidHandle, 0);
  std::lock_guard<std::mutex> lock(thread->mutex);
  *exit_code = thread->ended ? thread->exit_code : kStillActive;
  return 1;
}

void Sleep(DWORD milliseconds) {
  // A wait on an object of its own, which only the clock ends.
  auto nothing = std::make_shared<SyncObject>();
  Guard lock(nothing->mutex);
  WaitOn(nothing, lock, milliseconds, [] { return false; });
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
  std::shared_ptr<SyncObject> self = Find(kCurrentThread);
  std::lock_guard<std::mutex> lock(self->mutex);
  self->exit_code = exit_code;
}

void UseManualWaitClock() {
  SyncState& state = State();
  Guard lock(state.mutex);
  Objects room = RoomForTimedWaiters(state, lock);
  state.manual = true;
  state.manual_now = 0;
  state.idle_changed.notify_all();
  WakeTimedWaiters(state, lock, std::move(room), [](const TimedWait&) { return true; });
}

void AdvanceWaitClock(DWORD milliseconds) {
  SyncState& state = State();
  Guard lock(state.mutex);
  Objects room = RoomForTimedWaiters(state, lock);
  state.manual_now += milliseconds;
  // Threads whose deadline passed are no longer blocked, from now on, even
  // before they wake.
  for (const auto& thread : state.created_threads) {
    if (thread->manual_deadline && *thread->manual_deadline <= state.manual_now) {
      thread->manual_deadline.reset();
    }
  }
  state.idle_changed.notify_all();
  const bool manual = state.manual;
  const std::uint64_t now = state.manual_now;
  WakeTimedWaiters(state, lock, std::move(room), [manual, now](const TimedWait& wait) {
    return manual && wait.manual_deadline <= now;
  });
}

bool AwaitThreadsIdle() {
  SyncState& state = State();
  Guard lock(state.mutex);
  return state.idle_changed.wait_for(lock, kIdleBound, [&] {
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
  std::shared_ptr<SyncObject> semaphore = Find(handle);
  if (!semaphore || semaphore->is_thread) return false;
  std::lock_guard<std::mutex> lock(semaphore->mutex);
  semaphore->next_wait = result;
  return true;
}

bool SetReleaseFailure(HANDLE handle, bool fail) {
  std::shared_ptr<SyncObject> semaphore = Find(handle);
  if (!semaphore || semaphore->is_thread) return false;
  std::lock_guard<std::mutex> lock(semaphore->mutex);
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
  HandleMap::node_type closed;  // freed outside the lock
  std::lock_guard<std::mutex> lock(state.mutex);
  closed = state.handles.extract(IdFromHandle(handle));
  return !closed.empty();
}

void ResetThreadsLocked() {
  SyncState& state = State();
  Objects objects;
  {
    Guard lock(state.mutex);
    objects = RoomFor(lock, [&] { return state.handles.size(); });
    for (const auto& [id, object] : state.handles)
      objects.push_back(object);
  }
  Guard lock(state.mutex);
  Objects room = RoomForTimedWaiters(state, lock);
  state.manual = false;
  state.manual_now = 0;
  state.fail_semaphores = false;
  state.fail_threads = false;
  state.idle_changed.notify_all();
  // Timed waits go on on the host's clock.
  WakeTimedWaiters(state, lock, std::move(room), [](const TimedWait&) { return true; });
  for (const auto& object : objects) {
    std::lock_guard<std::mutex> object_lock(object->mutex);
    object->next_wait.reset();
    object->release_fails = false;
  }
}

}  // namespace host_internal
}  // namespace platform
