// A counting allocator that can be told to fail one allocation, for the
// out-of-memory sweeps: the program that links support_faults has its
// global operator new and delete (every form) and malloc, calloc and
// realloc replaced by these, so that every allocation of the process, the
// library's, the standard library's, FreeType's and the C library's, is
// counted, and the one armed fails.
//
// A failure is what running out of memory does to each kind of request.
// malloc, calloc and realloc answer null (ENOMEM). operator new calls the
// installed new handler, as the runtime does, so that the handler runs
// inside every allocation that fails, whatever locks its caller holds.
// For the nothrow forms the memory stays short: the request is tried again
// while the handler returns, and fails when it gives up (by throwing
// std::bad_alloc): null, which the library's own allocations (all
// nothrow) must answer with failure. For the other forms it depends on
// the shortage armed: a brief one (Shortage::kBrief) is over once the
// handler has run once, as when its reserve covers the request; a lasting
// one (Shortage::kLasting) stays, as under a limit of the address space,
// so that the handler gives up and std::bad_alloc unwinds through whatever
// called (or the handler ends the process); while that exception unwinds,
// every allocation of its thread fails the same way, so that a destructor
// that allocates on the way ends the process by std::terminate. With no
// handler installed a request fails at once. A handler that is called more
// than kMostHandlerCalls times for one request gets no more tries; the
// harness records it (HandlerNeverGaveUp).
//
// Allocations are counted from 1 after ResetAllocations; each armed index
// fails once (and, lasting, what its unwinding allocates): one index, a
// run of them in a row, or each at random with a chance given.
// Allocations made inside an UncountedAllocations scope of the calling
// thread are neither counted nor failed (the harness's own checks), nor are
// those the system's services make (platform/host/system_memory.h): they
// stand for memory outside the process, unless CountSystemAllocations says
// otherwise (a process whose every allocation fails in a window sees the
// system's services fail too: they answer error 8). The counters are process-wide
// atomics: allocations on other threads count in whatever order they come.
//
// An index shifts whenever the code changes; a place does not. Armed by
// place (AllocationPlace), each counted allocation's stack is walked (by
// the unwinder, into a buffer on the stack: nothing is allocated for it) and
// matched against the code of the functions named (function_code.h, read
// before anything is counted), until the place is met: its index is then
// the armed one, from which the run counts as above.
//
// Memory comes from the sanitizer's allocator when the program is built
// with AddressSanitizer, else from the C library's: free is not replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace support {

// How long the armed allocation stays short for operator new's throwing
// forms (see above).
enum class Shortage { kBrief, kLasting };

// Counting restarts at 0 and nothing is armed.
void ResetAllocations();
// The `count` allocations numbered from `index` (from 1 since
// ResetAllocations) fail; 0 arms nothing.
void FailAllocation(std::uint64_t index, Shortage shortage = Shortage::kBrief,
                    std::uint64_t count = 1);
// From now on, each counted allocation fails with the chance 1 in `one_in`
// (0: none), drawn from `seed` and its index; ResetAllocations stops it.
void FailAtRandom(std::uint64_t seed, std::uint32_t one_in, Shortage shortage = Shortage::kBrief);
// Where an allocation is made: the `nth` (from 1) counted allocation made
// while every function of `functions` is on its thread's stack (each named
// as function_code.h says, the innermost first: {"platform::DuplicateHandle",
// "GModuleKeepAlive::Start"} is the handle's making inside the keep-alive's
// start); with `throwing`, of operator new's throwing forms only (what a
// lasting shortage unwinds from; the library's own allocations answer
// null).
struct AllocationPlace {
  std::vector<std::string> functions;  // at most kMostPlaceFunctions
  std::uint64_t nth = 1;
  bool throwing = false;

  std::string Describe() const;
};
inline constexpr std::size_t kMostPlaceFunctions = 4;
// From now on, the allocation at `place` and the `count - 1` after it
// fail, as FailAllocation's; "" when armed, else why not (a function
// without code of its own). Allocates uncounted. ResetAllocations and
// FailAllocation disarm it; AllocationFailed tells whether it was met.
std::string FailAllocationAt(const AllocationPlace& place, Shortage shortage = Shortage::kBrief,
                             std::uint64_t count = 1);
// Whether the system's services' allocations count and fail like the
// process's own from now on (false at the start).
void CountSystemAllocations(bool counted);
// Allocations counted since ResetAllocations.
std::uint64_t CountedAllocations();
// Whether the armed allocation has failed, and how often the new handler
// was called for it.
bool AllocationFailed();
std::uint32_t HandlerCalls();
// True when a handler asked for more tries than kMostHandlerCalls.
bool HandlerNeverGaveUp();

inline constexpr std::uint32_t kMostHandlerCalls = 16;

// While alive, the calling thread's allocations are not counted.
class UncountedAllocations {
 public:
  UncountedAllocations();
  ~UncountedAllocations();
  UncountedAllocations(const UncountedAllocations&) = delete;
  UncountedAllocations& operator=(const UncountedAllocations&) = delete;
};

}  // namespace support
