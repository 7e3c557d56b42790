// RWDiskNodeCache: a small least-recently-used cache of fixed-size node
// images of a disk B-tree, with write-through: every write goes to the file
// at once, so the cache never holds anything the file lacks. It works on a
// file it does not own. Not for use from several threads.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/file.h"

class RWDiskNodeCache {
 public:
  static constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;

  // A cache of `capacity` nodes of `node_size` bytes (at least one). A cache
  // whose images would pass the library's largest block, or cannot be had,
  // raises [NOMEM] and keeps one node (none when even that fails).
  // REQUIRES: node_size > 0.
  RWDiskNodeCache(RWFile* file, std::uint32_t node_size, std::uint32_t capacity);
  // Flushes the file.
  ~RWDiskNodeCache();
  RWDiskNodeCache(const RWDiskNodeCache&) = delete;
  RWDiskNodeCache& operator=(const RWDiskNodeCache&) = delete;

  // Copies the node at `offset` into `destination` (node_size bytes), from
  // the cache or the file. False when it cannot be read.
  bool Read(std::uint32_t offset, std::uint8_t* destination);
  // Keeps the node and writes it to the file. False when the write fails.
  bool Write(std::uint32_t offset, const std::uint8_t* source);

  std::uint32_t Capacity() const { return capacity_; }
  std::uint32_t InUse() const { return in_use_; }
  // The offset held by `slot` (kNoOffset when unused), for tests.
  std::uint32_t SlotOffset(std::uint32_t slot) const;

 private:
  // Ages every slot in use; answers the slot holding `offset`, or kNoOffset.
  std::uint32_t LookUp(std::uint32_t offset);
  // A free slot, else the oldest (lowest on equal ages) after a flush;
  // kNoOffset when the flush fails.
  std::uint32_t TakeSlot();
  void Forget(std::uint32_t slot);
  // Gives the cache `capacity` empty slots; false (and none) after [NOMEM].
  bool Allocate(std::uint32_t capacity);
  std::uint8_t* Image(std::uint32_t slot) { return images_.get() + std::size_t{slot} * node_size_; }

  RWFile* file_;  // not owned
  std::uint32_t capacity_ = 0;
  std::uint32_t in_use_ = 0;
  std::uint32_t node_size_;
  std::unique_ptr<std::uint32_t[]> offsets_;  // file offset per slot
  std::unique_ptr<std::uint32_t[]> ages_;     // look-ups since the slot was last used
  std::unique_ptr<std::uint8_t[]> images_;    // capacity_ node images
};
