#include "foundation/rw/blockcache.h"

#include <mutex>
#include <new>

#include "foundation/rw/support.h"

namespace RWSmallBlockCache {
namespace {

constexpr std::size_t kClasses = 5;  // 2, 4, 6, 8, 10 bytes
constexpr std::size_t kBlocksPerClass = 5;

struct Cache {
  std::mutex mutex;
  void* blocks[kClasses][kBlocksPerClass] = {};
  std::size_t counts[kClasses] = {};
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

// Size class of an n-byte block, or kClasses when it is not cached.
std::size_t ClassOf(std::size_t n) {
  if (n == 0 || n > 2 * kClasses) return kClasses;
  return (n + 1) / 2 - 1;
}

std::size_t Rounded(std::size_t n) {
  return n == 0 ? 2 : (n + 1) & ~std::size_t{1};
}

}  // namespace

void* Get(std::size_t n) {
  std::size_t cls = ClassOf(n);
  if (cls < kClasses) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.counts[cls] > 0) return cache.blocks[cls][--cache.counts[cls]];
  }
  if (!RWAllocationFits(Rounded(n), 1)) return nullptr;
  void* block = ::operator new(Rounded(n), std::nothrow);
  if (!block) RWRaiseNoMemory(Rounded(n));
  return block;
}

void Put(void* block, std::size_t n) {
  if (!block) return;
  std::size_t cls = ClassOf(n);
  if (cls < kClasses) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (cache.counts[cls] < kBlocksPerClass) {
      cache.blocks[cls][cache.counts[cls]++] = block;
      return;
    }
  }
  ::operator delete(block);
}

void Clear() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  for (std::size_t c = 0; c < kClasses; ++c) {
    while (cache.counts[c] > 0)
      ::operator delete(cache.blocks[c][--cache.counts[c]]);
  }
}

std::size_t CachedCount() {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  std::size_t total = 0;
  for (std::size_t c = 0; c < kClasses; ++c)
    total += cache.counts[c];
  return total;
}

}  // namespace RWSmallBlockCache
