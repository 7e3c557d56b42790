#include "foundation/rw/support.h"

#include "foundation/rw/error.h"
#include "platform/host/boundary.h"
#include "platform/host/types.h"

namespace {
constexpr char kOverflowText[] = "Buffer may not resize larger than";
}

void RWRaiseNoMemory(std::uint64_t bytes) {
  RaiseOutOfMemoryError(
      RWOutOfMemoryError(bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(bytes)));
}

bool RWAllocationFits(std::uint64_t count, std::size_t size) {
  if (size == 0 || count <= kRWMaxAllocation / size) return true;
  // The product may not fit 64 bits either: report the most that can be told.
  RWRaiseNoMemory(count > 0xFFFFFFFFu / size ? 0xFFFFFFFFu : count * size);
  return false;
}

void RWRaiseOverflow() {
  RaiseIndexError(RWIndexError(RWMessageText(rwcore::Overflow(), int(sizeof kOverflowText - 1),
                                             kOverflowText, 4294967295u)));
}

RWSize RWGrowCapacity(RWSize count, RWSize element_size) {
  if (count < 16) return 16;
  // A 64-bit product: a wrapped 32-bit one would let the buffer shrink.
  std::uint64_t bytes = std::uint64_t{count} * element_size;
  if (bytes < 0x80000000u) return 2 * count;
  if (bytes >= 0xFFFFFFFDu) {
    RWRaiseOverflow();
    return count;
  }
  return 0xFFFFFFFFu / (2 * element_size) + count / 2;
}

void RWByteAnd(std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    a[i] &= b[i];
}

void RWByteOr(std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    a[i] |= b[i];
}

void RWByteXor(std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    a[i] ^= b[i];
}

namespace {

RWSize FirstBit(const std::uint8_t* bits, RWSize nbits, std::uint8_t flip) {
  for (RWSize byte = 0; byte * 8 < nbits; ++byte) {
    std::uint8_t v = bits[byte] ^ flip;
    if (v == 0) continue;
    for (RWSize bit = 0; bit < 8; ++bit) {
      RWSize index = byte * 8 + bit;
      if (index >= nbits) return RW_NPOS;
      if (v & (1u << bit)) return index;
    }
  }
  return RW_NPOS;
}

}  // namespace

RWSize RWFirstSetBit(const std::uint8_t* bits, RWSize nbits) {
  return FirstBit(bits, nbits, 0);
}

RWSize RWFirstClearBit(const std::uint8_t* bits, RWSize nbits) {
  return FirstBit(bits, nbits, 0xFF);
}

bool RWBinarySearch(const void* key, const void* base, std::size_t count, std::size_t size,
                    int (*compare)(const void*, const void*), std::size_t& position) {
  auto bytes = static_cast<const unsigned char*>(base);
  std::size_t low = 0, high = count;
  while (low < high) {
    std::size_t mid = low + (high - low) / 2;
    int c = compare(key, bytes + mid * size);
    if (c == 0) {
      position = mid;
      return true;
    }
    if (c < 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  position = low;
  return false;
}

void RWBuildLowerMaskTable(std::uint8_t table[4][4]) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c)
      table[r][c] = c < r ? 0xFF : 0;
  }
}

namespace {

// What every failed request of the libraries' own leaves behind.
void* Noted(void* block) noexcept {
  if (!block) {
    platform::NoteShortage();
    platform::SetLastError(platform::kErrorNotEnoughMemory);
  }
  return block;
}

}  // namespace

void* operator new(std::size_t size, const RWNoThrowNoted&) noexcept {
  return Noted(::operator new(size, std::nothrow));
}

void* operator new[](std::size_t size, const RWNoThrowNoted&) noexcept {
  return Noted(::operator new[](size, std::nothrow));
}

void* operator new(std::size_t size, std::align_val_t alignment, const RWNoThrowNoted&) noexcept {
  return Noted(::operator new(size, alignment, std::nothrow));
}

void* operator new[](std::size_t size, std::align_val_t alignment, const RWNoThrowNoted&) noexcept {
  return Noted(::operator new[](size, alignment, std::nothrow));
}

void operator delete(void* block, const RWNoThrowNoted&) noexcept {
  ::operator delete(block);
}

void operator delete[](void* block, const RWNoThrowNoted&) noexcept {
  ::operator delete[](block);
}

void operator delete(void* block, std::align_val_t alignment, const RWNoThrowNoted&) noexcept {
  ::operator delete(block, alignment);
}

void operator delete[](void* block, std::align_val_t alignment, const RWNoThrowNoted&) noexcept {
  ::operator delete[](block, alignment);
}
