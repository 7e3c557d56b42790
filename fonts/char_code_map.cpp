#include "fonts/char_code_map.h"

#include <cstring>
#include <new>

#include "foundation/rw/support.h"

namespace {

constexpr std::uint16_t kFirstPassingHigh = 65280;
constexpr std::uint16_t kFirstPassingMiddle = 8192;
constexpr std::uint16_t kLastPassingMiddle = 8447;

}  // namespace

// ---------------------------------------------------------------------------
// GCharCodeMap

GCharCodeMap::~GCharCodeMap() {
  GCharCodeMap::Clear();
}

bool GCharCodeMap::PassesThrough(std::uint16_t code) {
  return code < kFirstAllocatedCode || code >= kFirstPassingHigh ||
         (code >= kFirstPassingMiddle && code <= kLastPassingMiddle);
}

std::uint16_t GCharCodeMap::Map(std::uint16_t code) {
  if (PassesThrough(code)) return code;
  // Codes from 256 to 65279: pages 0 to 253.
  std::uint16_t* entry = MappedEntry(code - kFirstAllocatedCode);
  if (!entry) return kNoMappedCode;
  if (*entry != 0) return *entry;
  if (PassesThrough(next_free_code_)) return kNoMappedCode;  // the numbering ran out
  *entry = next_free_code_;
  NextCode();
  return *entry;
}

std::uint16_t* GCharCodeMap::MappedEntry(std::uint32_t index) {
  const std::uint32_t page = index / kPageSize;
  if (page >= kPageCount) return nullptr;
  if (!pages_) {
    pages_ = RWNewArray<std::unique_ptr<std::uint16_t[]>>(kPageCount);
    if (!pages_) return nullptr;
  }
  std::unique_ptr<std::uint16_t[]>& slots = pages_[page];
  if (!slots) {
    slots = RWNewArray<std::uint16_t>(kPageSize);
    if (!slots) return nullptr;
  }
  return &slots[index % kPageSize];
}

void GCharCodeMap::Clear() {
  pages_.reset();
  next_free_code_ = kFirstAllocatedCode;
}

// ---------------------------------------------------------------------------
// GCharCodeSet

GCharCodeSet::~GCharCodeSet() {
  Clear();
}

const GCharCodeSet::Block* GCharCodeSet::Find(std::uint32_t code) const {
  for (const Block* block = head_; block && block->base <= code; block = block->next) {
    if (code - block->base < kBlockCodes) return block;
  }
  return nullptr;
}

bool GCharCodeSet::Add(std::uint32_t code) {
  // Past the blocks wholly below the code: the next one covers it or lies
  // above it.
  Block** link = &head_;
  while (*link && (*link)->base <= code && code - (*link)->base >= kBlockCodes)
    link = &(*link)->next;
  Block* block = *link;
  if (!block || block->base > code) {
    block = new (kRWNoThrow) Block{*link, code & ~(kBlockCodes - 1), {}};
    if (!block) {
      RWRaiseNoMemory(sizeof(Block));
      return false;
    }
    *link = block;
  }
  const std::uint32_t bit = code - block->base;
  block->bits[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
  return true;
}

void GCharCodeSet::Remove(std::uint32_t code) {
  if (const Block* found = Find(code)) {
    Block* block = const_cast<Block*>(found);
    const std::uint32_t bit = code - block->base;
    block->bits[bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
  }
}

std::uint32_t GCharCodeSet::Contains(std::uint32_t code) const {
  const Block* block = Find(code);
  if (!block) return 0;
  const std::uint32_t bit = code - block->base;
  return (block->bits[bit / 8] >> (bit % 8)) & 1u;
}

std::uint32_t GCharCodeSet::ForEach(Visitor fn, void* arg) const {
  std::uint32_t result = 0;
  for (const Block* block = head_; block; block = block->next) {
    for (std::uint32_t byte = 0; byte < kBlockCodes / 8; ++byte) {
      for (std::uint32_t bit = 0; bit < 8; ++bit) {
        if (block->bits[byte] & (1u << bit)) result = fn(block->base + byte * 8 + bit, arg);
      }
    }
  }
  return result;
}

bool GCharCodeSet::AddAll(const GCharCodeSet& other) {
  bool all = true;
  for (const Block* block = other.head_; block; block = block->next) {
    for (std::uint32_t bit = 0; bit < kBlockCodes; ++bit) {
      if (block->bits[bit / 8] & (1u << (bit % 8))) all = Add(block->base + bit) && all;
    }
  }
  return all;
}

void GCharCodeSet::Clear() {
  while (head_) {
    Block* next = head_->next;
    delete head_;
    head_ = next;
  }
}
