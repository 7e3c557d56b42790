// Small shared routines of the collection library: the growth rule of
// growable buffers, byte-array logic, bit-array scans, a generic binary
// search and a few constants. All are pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rw/defs.h"

// The library's version number.
inline constexpr std::uint32_t kRWLibraryVersion = 0x0700;

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
