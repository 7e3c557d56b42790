// RWLinkPool<Link>: the links of one collection, taken from blocks that
// grow with it (a few links first, then twice as many each time, up to
// 4096), handed back to a free list, and freed all together. One
// allocation per block instead of one per link, and links that lie side by
// side in memory, as the collection's walks meet them.
//
// The pool owns the blocks; whoever takes a link constructs it and gives
// it back destroyed (Put destroys it). Not synchronised: one pool belongs
// to one collection.
#pragma once

#include <algorithm>
#include <new>
#include <type_traits>
#include <utility>

#include "foundation/rw/defs.h"
#include "foundation/rw/support.h"

template <class Link>
class RWLinkPool {
  static_assert(std::is_trivially_destructible_v<Link>);

 public:
  RWLinkPool() = default;
  ~RWLinkPool() { Release(); }
  RWLinkPool(const RWLinkPool&) = delete;
  RWLinkPool& operator=(const RWLinkPool&) = delete;

  // Storage for one link, to be constructed by the caller; null after
  // [NOMEM].
  void* Get() {
    if (free_) return std::exchange(free_, free_->next);
    if (used_ < capacity_) return &blocks_[used_++];
    return Grow();
  }
  // REQUIRES: `link` came from this pool's Get.
  void Put(Link* link) {
    auto* slot = reinterpret_cast<Slot*>(link);
    slot->next = free_;
    free_ = slot;
  }
  // Frees every block: every link taken is gone.
  void Release() {
    while (blocks_) {
      Slot* previous = blocks_[0].next;
      delete[] blocks_;
      blocks_ = previous;
    }
    free_ = nullptr;
    used_ = capacity_ = total_ = 0;
  }
  void Swap(RWLinkPool& other) {
    std::swap(blocks_, other.blocks_);
    std::swap(free_, other.free_);
    std::swap(used_, other.used_);
    std::swap(capacity_, other.capacity_);
    std::swap(total_, other.total_);
  }

 private:
  union Slot {
    Slot* next;  // in the free list; in slot 0 of a block, the previous block
    alignas(Link) unsigned char storage[sizeof(Link)];
  };
  static constexpr RWSize kFirstBlock = 4;
  static constexpr RWSize kLargestBlock = 4096;

  void* Grow() {
    RWSize slots = std::clamp(total_, kFirstBlock, kLargestBlock);
    Slot* block = nullptr;
    if (RWAllocationFits(slots, sizeof(Slot))) {
      block = new (kRWNoThrow) Slot[slots];
      if (!block) RWRaiseNoMemory(std::uint64_t{slots} * sizeof(Slot));
    }
    if (!block) return nullptr;
    block[0].next = blocks_;
    blocks_ = block;
    capacity_ = slots;
    used_ = 2;
    total_ += slots;
    return &block[1];
  }

  Slot* blocks_ = nullptr;  // the newest block
  Slot* free_ = nullptr;
  RWSize used_ = 0;      // slots of the newest block in use, slot 0 included
  RWSize capacity_ = 0;  // slots of the newest block
  RWSize total_ = 0;     // slots of all blocks
};
