// Threads, semaphores and waits as the rest of the system knows them
// (CreateThread, DuplicateHandle, CreateSemaphoreW, ReleaseSemaphore,
// WaitForSingleObject, Sleep, FreeLibraryAndExitThread). Threads are real
// host threads and semaphores really block, so thread tests run under the
// sanitizers; only the clock of timed waits may be replaced.
//
// The wait clock. A wait with a time-out (and Sleep) runs on the host's
// steady clock, or, after UseManualWaitClock, on a manual clock that only
// AdvanceWaitClock moves: such waits end when the clock passes their
// deadline, so a test of a thread that wakes every 500 ms takes no time and
// knows exactly how many periods passed. AwaitThreadsIdle tells when every
// thread made by CreateThread has either ended or is blocked in a timed
// wait that the manual clock has not reached.
//
// Thread handles: a handle of CreateThread, or of DuplicateHandle on the
// GetCurrentThread pseudo handle, is signalled when its thread has ended
// (for a thread not made by CreateThread: when its thread-local storage is
// destroyed, so the end of a std::thread counts). A thread cannot be ended
// from inside here: FreeLibraryAndExitThread frees the module and answers,
// and its caller's thread procedure returns at once.
//
// Handles are closed with CloseHandle (platform/host/files.h). A reset of
// the host services (ResetHostServices) returns the clock to the host's and
// clears the knobs, but leaves semaphores and threads alone: the objects
// that own them (locks, the module keep-alive) outlive a test.
//
// Any thread. Each semaphore and thread has a lock and a condition of its
// own, so a release or an end wakes only the threads waiting on that object;
// one more lock guards the handles, the threads and the wait clock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/host/types.h"

namespace platform {

inline constexpr DWORD kInfinite = 0xFFFFFFFF;
// Results of WaitForSingleObject.
inline constexpr DWORD kWaitObject0 = 0;
inline constexpr DWORD kWaitAbandoned = 0x80;
inline constexpr DWORD kWaitTimeout = 258;
inline constexpr DWORD kWaitFailed = 0xFFFFFFFF;
// Options of DuplicateHandle.
inline constexpr DWORD kDuplicateSameAccess = 2;
// The exit code of a thread that has not ended.
inline constexpr DWORD kStillActive = 259;

using ThreadStartRoutine = DWORD (*)(void* parameter);

// Starts `start(parameter)` on a new thread; the stack size, security and
// flags are accepted and ignored. Answers a handle on the thread (and its id
// in `thread_id` when given), or null with kErrorNotEnoughMemory when the
// thread cannot be made: the system refuses one (a limit on the process's
// threads, or no address space left for a stack) or memory for its record
// runs out. A thread that was not made is not counted: no wait for the
// threads to go idle waits on it.
//
// A procedure that lets an exception out ends its thread there, as a return
// would (its handle is signalled, it leaves the live threads), with exit
// code kErrorNotEnoughMemory for std::bad_alloc and kErrorUnhandledException
// for anything else; nothing leaves the thread.
HANDLE CreateThread(const void* security, std::size_t stack_size, ThreadStartRoutine start,
                    void* parameter, DWORD flags, DWORD* thread_id);
// How many threads the system has refused CreateThread in this process. A
// caller's failure often says only that a step failed; this tells a
// program whether a limit of the machine was met on the way, which asking
// the system afterwards cannot (what the failure freed may let a thread
// start again).
std::uint32_t RefusedThreadCount();
// The exit code of the thread `thread` names: what its procedure answered,
// or kStillActive while it runs. False (kErrorInvalidHandle) for a handle
// that is no thread, kErrorInvalidParameter for a null `exit_code`.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exit_code);
// Pseudo handles of the calling thread and process: valid only for
// DuplicateHandle (and, for the thread, for waits).
HANDLE GetCurrentThread();
HANDLE GetCurrentProcess();
DWORD GetCurrentThreadId();
// Makes a real handle in `target` on what `source` names (a thread, also
// the current thread's pseudo handle, or a semaphore). The processes must
// be GetCurrentProcess(); access, inheritance and options are ignored.
BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process, HANDLE* target,
                     DWORD access, BOOL inherit, DWORD options);

// An unnamed semaphore (a name is refused with kErrorInvalidParameter, as
// are counts outside 0 <= initial <= maximum, 0 < maximum).
HANDLE CreateSemaphoreW(const void* security, LONG initial, LONG maximum, const char16_t* name);
// Adds `count`; fails (kErrorTooManyPosts), changing nothing, when the count
// would pass the maximum. `previous` receives the count before, when given.
BOOL ReleaseSemaphore(HANDLE semaphore, LONG count, LONG* previous);

// Waits until the object is signalled (a thread has ended; a semaphore's
// count is above 0, which it then takes) or `milliseconds` have passed on
// the wait clock (kInfinite: no time-out). Answers kWaitObject0,
// kWaitTimeout, or kWaitFailed for a handle that is not open.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// A timed wait on nothing.
void Sleep(DWORD milliseconds);
// Milliseconds on the wait clock (the manual clock's time, or the host's
// steady clock since the first call), wrapping at 2^32. The windowing
// host's timers run on it.
DWORD GetTickCount();

// Frees `module` (platform/host/modules.h) and records `exit_code` as the
// calling thread's; the caller returns from its thread procedure at once.
void FreeLibraryAndExitThread(HMODULE module, DWORD exit_code);

// ---- Test controls ----

// Timed waits from now on use the manual clock, which starts at 0.
void UseManualWaitClock();
// Moves the manual clock forward; waits whose deadline it reaches end.
void AdvanceWaitClock(DWORD milliseconds);
// Blocks until every thread made by CreateThread has ended or waits in a
// timed wait that the manual clock has not reached; false when that does not
// happen within 10 seconds of host time.
bool AwaitThreadsIdle();
// Threads made by CreateThread that have not ended yet.
std::size_t LiveThreadCount();

// The next wait on `semaphore` answers `result`: kWaitAbandoned after taking
// the semaphore as usual, kWaitFailed (with kErrorInvalidHandle) without
// waiting. False for a handle that is no semaphore.
bool SetNextWaitResult(HANDLE semaphore, DWORD result);
// Every ReleaseSemaphore on `semaphore` fails while set.
bool SetReleaseFailure(HANDLE semaphore, bool fail);
// Every CreateSemaphoreW / CreateThread fails while set.
void SetSemaphoreCreationFailure(bool fail);
void SetThreadCreationFailure(bool fail);

}  // namespace platform
