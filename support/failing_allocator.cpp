#include "support/failing_allocator.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>

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
thread_local int t_uncounted = 0;
// While this thread unwinds the std::bad_alloc of a lasting shortage: the
// count of uncaught exceptions it unwinds at (0: none).
thread_local int t_short_unwinding = 0;

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
DRV_UNINSTRUMENTED bool CountFails() {
  // The system's services allocate the system's memory, not the process's.
  if (platform::InSystemMemory()) return false;
  if (t_uncounted != 0) {
    ShortWhileUnwinding();  // forgets a shortage whose exception was caught
    return false;
  }
  const std::uint64_t index = g_counted.fetch_add(1, std::memory_order_relaxed) + 1;
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
  bool fail = CountFails();
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
  g_armed.store(0);
  g_armed_count.store(1);
  g_random_one_in.store(0);
  g_counted.store(0);
  g_failed.store(false);
  g_handler_calls.store(0);
  g_never_gave_up.store(false);
}

void FailAllocation(std::uint64_t index, Shortage shortage, std::uint64_t count) {
  t_short_unwinding = 0;
  g_lasting.store(shortage == Shortage::kLasting);
  g_armed_count.store(count);
  g_armed.store(index);
}

void FailAtRandom(std::uint64_t seed, std::uint32_t one_in, Shortage shortage) {
  t_short_unwinding = 0;
  g_lasting.store(shortage == Shortage::kLasting);
  g_random_seed.store(seed);
  g_random_one_in.store(one_in);
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
