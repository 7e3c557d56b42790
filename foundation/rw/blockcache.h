// A small cache of freed blocks of 2, 4, 6, 8 and 10 bytes, five blocks per
// size, so that tiny allocations of the collection library are reused.
// Thread-safe. Emptied when the class factory is destroyed.
#pragma once

#include <cstddef>

namespace RWSmallBlockCache {

// A block of at least `n` bytes (n rounded up to even); from the cache when
// one of that size class is there. Null after [NOMEM].
void* Get(std::size_t n);
// Gives back a block of `n` bytes got with Get(n).
void Put(void* block, std::size_t n);
// Frees every cached block.
void Clear();
// Number of cached blocks (for tests).
std::size_t CachedCount();

}  // namespace RWSmallBlockCache
