#include "support/failing_allocator.h"

#include <unwind.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include "support/function_code.h"

#include "platform/host/system_memory.h"

// The allocators underneath: the sanitizer's interceptors when they are
// linked in (weak: null otherwise), else the C library's own.
extern "C" {
void* __interceptor_malloc(std::size_t size) __attribute__((weak));
void* __interceptor_calloc(std::size_t count, std::size_t size) __attribute__((weak));
void* __interceptor_realloc(void* block, std::size_t size) __attribute__((weak));
void __sanitizer_print_stack_trace() __attribute__((weak));
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
}

// The replacements run before the sanitizers are set up (the dynamic
// loader allocates): what they run must not be instrumented.
#define DRV_UNINSTRUMENTED __attribute__((no_sanitize("address", "undefined")))

namespace {

std::atomic<std::uint64_t> g_counted{0};
std::atomic<std::uint64_t> g_armed{0};
std::atomic<std::uint64_t> g_armed_count{1};
std::atomic<std::uint32_t> g_random_one_in{0};
std::atomic<std::uint64_t> g_random_seed{0};
std::atomic<bool> g_lasting{false};
std::atomic<bool> g_failed{false};
std::atomic<std::uint32_t> g_handler_calls{0};
std::atomic<bool> g_never_gave_up{false};
std::atomic<bool> g_count_system{false};
thread_local int t_uncounted = 0;
// While this thread unwinds the std::bad_alloc of a lasting shortage: the
// count of uncaught exceptions it unwinds at (0: none).
thread_local int t_short_unwinding = 0;
// While this thread walks its stack: the walk is not walked again should
// the unwinder allocate.
thread_local int t_walking = 0;

// The place armed: each function's code, written before `g_place_armed`
// is set and read only while it is.
constexpr std::size_t kMostRanges = 64;
constexpr int kMostFrames = 96;
struct PlaceCode {
  std::size_t functions = 0;
  std::size_t counts[support::kMostPlaceFunctions] = {};
  support::CodeRange ranges[support::kMostPlaceFunctions][kMostRanges];
  std::uint64_t nth = 1;
  bool throwing = false;
};
PlaceCode g_place;
std::atomic<std::uint32_t> g_place_armed{0};
std::atomic<std::uint64_t> g_place_seen{0};

DRV_UNINSTRUMENTED void* RealMalloc(std::size_t size) {
  return __interceptor_malloc ? __interceptor_malloc(size) : __libc_malloc(size);
}

DRV_UNINSTRUMENTED void* RealCalloc(std::size_t count, std::size_t size) {
  return __interceptor_calloc ? __interceptor_calloc(count, size) : __libc_calloc(count, size);
}

DRV_UNINSTRUMENTED void* RealRealloc(void* block, std::size_t size) {
  return __interceptor_realloc ? __interceptor_realloc(block, size) : __libc_realloc(block, size);
}

// Whether memory is still short on this thread: the std::bad_alloc of a
// lasting shortage has not been caught yet.
DRV_UNINSTRUMENTED bool ShortWhileUnwinding() {
  if (t_short_unwinding == 0) return false;
  if (std::uncaught_exceptions() >= t_short_unwinding) return true;
  t_short_unwinding = 0;
  return false;
}

// A mix of the seed and the index (splitmix64's finaliser): which
// allocations fail at random depends on nothing but the two.
DRV_UNINSTRUMENTED std::uint64_t Mixed(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

// The return addresses of the calling thread's stack, innermost first, as
// the unwinder walks it (nothing allocated: the libgcc unwinder's, not the
// C library's backtrace, which loads it on first use).
struct Walk {
  std::uintptr_t* frames;
  int depth = 0;
};

_Unwind_Reason_Code WalkFrame(_Unwind_Context* context, void* data) {
  auto* walk = static_cast<Walk*>(data);
  if (walk->depth == kMostFrames) return _URC_END_OF_STACK;
  walk->frames[walk->depth++] = _Unwind_GetIP(context);
  return _URC_NO_REASON;
}

// Whether this allocation is the place armed: every function's code holds
// a return address of the stack (less one: the call, not what follows it).
bool AtPlace() {
  if (t_walking != 0) return false;
  ++t_walking;
  std::uintptr_t frames[kMostFrames];
  Walk walk{frames};
  _Unwind_Backtrace(&WalkFrame, &walk);
  --t_walking;
  for (std::size_t f = 0; f < g_place.functions; ++f) {
    bool held = false;
    for (int i = 0; i < walk.depth && !held; ++i) {
      const std::uintptr_t address = frames[i] - 1;
      for (std::size_t r = 0; r < g_place.counts[f] && !held; ++r)
        held = address >= g_place.ranges[f][r].begin && address < g_place.ranges[f][r].end;
    }
    if (!held) return false;
  }
  return g_place_seen.fetch_add(1) + 1 == g_place.nth;
}

DRV_UNINSTRUMENTED bool Armed(std::uint64_t index) {
  const std::uint64_t first = g_armed.load(std::memory_order_relaxed);
  if (first != 0 && index >= first && index - first < g_armed_count.load(std::memory_order_relaxed))
    return true;
  const std::uint32_t one_in = g_random_one_in.load(std::memory_order_relaxed);
  return one_in != 0 && Mixed(g_random_seed.load(std::memory_order_relaxed) ^ index) % one_in == 0;
}

// Counts one request; true when it is the armed one or one made while a
// lasting shortage unwinds, whose stacks the sanitizers print when
// DRV_SWEEP_TRACE is set.
DRV_UNINSTRUMENTED bool CountFails(bool throwing = false) {
  // The system's services allocate the system's memory, not the process's.
  if (platform::InSystemMemory() && !g_count_system.load(std::memory_order_relaxed)) return false;
  if (t_uncounted != 0) {
    ShortWhileUnwinding();  // forgets a shortage whose exception was caught
    return false;
  }
  const std::uint64_t index = g_counted.fetch_add(1, std::memory_order_relaxed) + 1;
  if (g_place_armed.load(std::memory_order_acquire) && (throwing || !g_place.throwing) &&
      AtPlace()) {
    g_armed.store(index);
    g_place_armed.store(0);
  }
  if (!ShortWhileUnwinding()) {
    if (!Armed(index)) return false;
    g_failed.store(true);
  }
  if (__sanitizer_print_stack_trace && std::getenv("DRV_SWEEP_TRACE")) {
    ++t_uncounted;
    __sanitizer_print_stack_trace();
    --t_uncounted;
  }
  return true;
}

void* RealBlock(std::size_t size, std::size_t alignment) {
  if (alignment <= alignof(std::max_align_t)) return RealMalloc(size);
  void* block = nullptr;
  return ::posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

// operator new, as the runtime's: a request that fails calls the new
// handler and is tried again while the handler returns. The armed request
// of a nothrow form, or of any form in a lasting shortage, keeps failing
// until the handler gives up; that of another form succeeds once the
// handler has run.
void* NewBlock(std::size_t size, std::size_t alignment, bool nothrow) {
  const bool lasting = nothrow || g_lasting.load(std::memory_order_relaxed);
  if (size == 0) size = 1;
  bool fail = CountFails(!nothrow);
  for (std::uint32_t calls = 0;; ++calls) {
    if (!fail) {
      if (void* block = RealBlock(size, alignment)) return block;
    }
    std::new_handler handler = std::get_new_handler();
    if (!handler) throw std::bad_alloc();
    if (fail) g_handler_calls.fetch_add(1);
    if (calls == support::kMostHandlerCalls) {
      g_never_gave_up.store(true);
      throw std::bad_alloc();
    }
    if (!fail || !g_lasting.load(std::memory_order_relaxed)) {
      handler();
    } else {
      // Memory stays short while the handler's exception unwinds: what
      // the unwinding runs must not need any.
      try {
        handler();
      } catch (...) {
        // An exception met while an earlier one unwinds: the earlier one's
        // shortage goes on after it (one that ended is forgotten first).
        ShortWhileUnwinding();
        if (t_short_unwinding == 0) t_short_unwinding = std::uncaught_exceptions() + 1;
        throw;
      }
    }
    if (!lasting) fail = false;
  }
}

void* NewBlockOrNull(std::size_t size, std::size_t alignment) noexcept {
  try {
    return NewBlock(size, alignment, true);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

namespace support {

void ResetAllocations() {
  g_place_armed.store(0);
  g_armed.store(0);
  g_armed_count.store(1);
  g_random_one_in.store(0);
  g_counted.store(0);
  g_failed.store(false);
  g_handler_calls.store(0);
  g_never_gave_up.store(false);
}

void FailAllocation(std::uint64_t index, Shortage shortage, std::uint64_t count) {
  g_place_armed.store(0);
  t_short_unwinding = 0;
  g_lasting.store(shortage == Shortage::kLasting);
  g_armed_count.store(count);
  g_armed.store(index);
}

std::string AllocationPlace::Describe() const {
  std::string text;
  for (const std::string& function : functions)
    text += (text.empty() ? "" : " in ") + function;
  const char* kind = throwing ? "throwing allocation" : "allocation";
  return (nth > 1 ? "the " + std::string(kind) + " " + std::to_string(nth) + " of "
                  : "the first " + std::string(kind) + " of ") +
         text;
}

std::string FailAllocationAt(const AllocationPlace& place, Shortage shortage, std::uint64_t count) {
  FailAllocation(0);
  UncountedAllocations uncounted;
  if (place.functions.empty() || place.functions.size() > kMostPlaceFunctions)
    return "a place of 1 to " + std::to_string(kMostPlaceFunctions) + " functions";
  for (std::size_t f = 0; f < place.functions.size(); ++f) {
    const std::vector<CodeRange> code = FunctionCode(place.functions[f]);
    if (code.empty() || code.size() > kMostRanges)
      return place.functions[f] + ": " + std::to_string(code.size()) + " pieces of code";
    std::copy(code.begin(), code.end(), g_place.ranges[f]);
    g_place.counts[f] = code.size();
  }
  g_place.functions = place.functions.size();
  g_place.nth = place.nth;
  g_place.throwing = place.throwing;
  g_place_seen.store(0);
  g_lasting.store(shortage == Shortage::kLasting);
  g_armed_count.store(count);
  g_place_armed.store(1, std::memory_order_release);
  return "";
}

void FailAtRandom(std::uint64_t seed, std::uint32_t one_in, Shortage shortage) {
  t_short_unwinding = 0;
  g_lasting.store(shortage == Shortage::kLasting);
  g_random_seed.store(seed);
  g_random_one_in.store(one_in);
}

void CountSystemAllocations(bool counted) {
  g_count_system.store(counted);
}

std::uint64_t CountedAllocations() {
  return g_counted.load();
}

bool AllocationFailed() {
  return g_failed.load();
}

std::uint32_t HandlerCalls() {
  return g_handler_calls.load();
}

bool HandlerNeverGaveUp() {
  return g_never_gave_up.load();
}

UncountedAllocations::UncountedAllocations() {
  ++t_uncounted;
}

UncountedAllocations::~UncountedAllocations() {
  --t_uncounted;
}

}  // namespace support

// ---- The replacements.

extern "C" DRV_UNINSTRUMENTED void* malloc(std::size_t size) {
  if (CountFails()) {
    errno = ENOMEM;
    return nullptr;
  }
  return RealMalloc(size);
}

extern "C" DRV_UNINSTRUMENTED void* calloc(std::size_t count, std::size_t size) {
  if (CountFails()) {
    errno = ENOMEM;
    return nullptr;
  }
  return RealCalloc(count, size);
}

extern "C" DRV_UNINSTRUMENTED void* realloc(void* block, std::size_t size) {
  if (CountFails()) {
    errno = ENOMEM;
    return nullptr;
  }
  return RealRealloc(block, size);
}

void* operator new(std::size_t size) {
  return NewBlock(size, 0, false);
}
void* operator new[](std::size_t size) {
  return NewBlock(size, 0, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return NewBlockOrNull(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return NewBlockOrNull(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return NewBlock(size, static_cast<std::size_t>(alignment), false);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return NewBlock(size, static_cast<std::size_t>(alignment), false);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return NewBlockOrNull(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return NewBlockOrNull(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  std::free(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(block);
}
