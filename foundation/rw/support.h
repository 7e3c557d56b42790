// Small shared routines of the collection library: checked allocation, the
// growth rule of growable buffers, byte-array logic, bit-array scans, a
// generic binary search and a few constants. All are safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "foundation/rw/defs.h"

// The library's version number.
inline constexpr std::uint32_t kRWLibraryVersion = 0x0700;

// Memory. The library never lets std::bad_alloc out: it allocates without
// throwing, and a request it cannot meet raises [NOMEM]
// (RWOutOfMemoryError with the bytes asked, clamped to 32 bits) and fails
// the operation that asked, which leaves its object valid and, where it
// existed before, as it was. No single block above kRWMaxAllocation bytes
// is asked for at all: every size the library allocates from is a 32-bit
// count given by a caller or read from stored data, and a count that large
// is a mistake or damage, not a need.
inline constexpr std::uint64_t kRWMaxAllocation = 0x7FFFFFFF;

// The libraries' own allocations: `new (kRWNoThrow) T(...)` is
// `new (std::nothrow) T(...)` (null when memory cannot be had), and a
// request that fails is noted as memory run short in the calling thread's
// call (platform::NoteShortage, seen by RWOutOfMemoryRaised): a new handler
// a host installed in place of the library's raises no [NOMEM], and the
// call must still know that it went on with less.
struct RWNoThrowNoted {};
inline constexpr RWNoThrowNoted kRWNoThrow{};
void* operator new(std::size_t size, const RWNoThrowNoted&) noexcept;
void* operator new[](std::size_t size, const RWNoThrowNoted&) noexcept;
void* operator new(std::size_t size, std::align_val_t alignment, const RWNoThrowNoted&) noexcept;
void* operator new[](std::size_t size, std::align_val_t alignment, const RWNoThrowNoted&) noexcept;
// Only a constructor that throws frees through these.
void operator delete(void* block, const RWNoThrowNoted&) noexcept;
void operator delete[](void* block, const RWNoThrowNoted&) noexcept;
void operator delete(void* block, std::align_val_t alignment, const RWNoThrowNoted&) noexcept;
void operator delete[](void* block, std::align_val_t alignment, const RWNoThrowNoted&) noexcept;

// Raises [NOMEM] for a request of `bytes`.
void RWRaiseNoMemory(std::uint64_t bytes);

// Whether `count` items of `size` bytes stay within kRWMaxAllocation;
// raises [NOMEM] when they do not.
bool RWAllocationFits(std::uint64_t count, std::size_t size);

// `count` value-initialised items; null for 0, and null after [NOMEM].
template <class T>
std::unique_ptr<T[]> RWNewArray(std::uint64_t count) {
  if (count == 0 || !RWAllocationFits(count, sizeof(T))) return nullptr;
  T* items = new (kRWNoThrow) T[count]();
  if (!items) RWRaiseNoMemory(count * sizeof(T));
  return std::unique_ptr<T[]>(items);
}

// `count` items left uninitialised, for a caller that fills them all; null
// for 0, and null after [NOMEM].
template <class T>
std::unique_ptr<T[]> RWNewArrayForOverwrite(std::uint64_t count) {
  if (count == 0 || !RWAllocationFits(count, sizeof(T))) return nullptr;
  T* items = new (kRWNoThrow) T[count];
  if (!items) RWRaiseNoMemory(count * sizeof(T));
  return std::unique_ptr<T[]>(items);
}

// One new object, or null after [NOMEM].
template <class T, class... Args>
T* RWNew(Args&&... args) {
  T* object = new (kRWNoThrow) T(std::forward<Args>(args)...);
  if (!object) RWRaiseNoMemory(sizeof(T));
  return object;
}

// New capacity of a full growable buffer of `count` elements of
// `element_size` bytes: 16 below 16, else twice, else as much as 32 bits
// allow. A buffer that cannot grow any further raises [OVFLOW]; the answer
// is then `count` (no growth).
RWSize RWGrowCapacity(RWSize count, RWSize element_size);

// Raises the [OVFLOW] index error of the growth rule.
void RWRaiseOverflow();

// In-place a[i] op= b[i] for i < n.
void RWByteAnd(std::uint8_t* a, const std::uint8_t* b, std::size_t n);
void RWByteOr(std::uint8_t* a, const std::uint8_t* b, std::size_t n);
void RWByteXor(std::uint8_t* a, const std::uint8_t* b, std::size_t n);

// Index of the first set (clear) bit among the first `nbits` bits, bits
// counted from the low end of each byte; RW_NPOS when there is none.
RWSize RWFirstSetBit(const std::uint8_t* bits, RWSize nbits);
RWSize RWFirstClearBit(const std::uint8_t* bits, RWSize nbits);

// Binary search of `key` in `count` sorted elements of `size` bytes at
// `base`. Answers whether it was found; `position` is where the search
// ended: the match, or where the key would be inserted.
bool RWBinarySearch(const void* key, const void* base, std::size_t count, std::size_t size,
                    int (*compare)(const void*, const void*), std::size_t& position);

// Fills a 4 x 4 table whose entry (row r, column c) is 0xFF when c < r.
void RWBuildLowerMaskTable(std::uint8_t table[4][4]);
