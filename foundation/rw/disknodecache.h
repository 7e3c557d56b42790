// RWDiskNodeCache: a small least-recently-used cache of fixed-size node
// images of a disk B-tree, with write-through: every write goes to the file
// at once, so the cache never holds anything the file lacks. It works on a
// file it does not own. Not for use from several threads.
//
// Every look-up ages each slot in use by one (ages saturate at kOldest); a
// slot read or written is young (age 0) again. When all slots are taken, the
// oldest is reused, the lowest slot among equally old ones. Ages are kept as
// the look-up count at each slot's last use, and the slots in a list from the
// youngest to the oldest, with an index from offsets to slots beside them: a
// look-up costs the same whatever the capacity.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/file.h"

class RWDiskNodeCache {
 public:
  static constexpr std::uint32_t kNoOffset = 0xFFFFFFFFu;
  static constexpr std::uint32_t kOldest = 0xFFFFFFFFu;  // the age that never grows

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
  // kNoOffset when the flush fails. The slot holds no offset on return.
  std::uint32_t TakeSlot();
  // Records that `slot` holds `offset`.
  void Hold(std::uint32_t slot, std::uint32_t offset);
  // Makes the slot the youngest.
  void Use(std::uint32_t slot);
  // A slot whose image is not the file's: it holds nothing and is as old as
  // a slot can be.
  void Forget(std::uint32_t slot);
  std::uint32_t Age(std::uint32_t slot) const;
  // Gives the cache `capacity` empty slots; false (and none) after [NOMEM].
  bool Allocate(std::uint32_t capacity);
  std::uint8_t* Image(std::uint32_t slot) { return images_.get() + std::size_t{slot} * node_size_; }

  // The recency list, youngest first.
  void Unlink(std::uint32_t slot);
  void LinkFirst(std::uint32_t slot);
  void LinkLast(std::uint32_t slot);

  // The offset index: open addressing with linear probing, 2^k entries, at
  // most half of them used.
  struct IndexEntry {
    std::uint32_t offset;
    std::uint32_t slot;  // kNoOffset: the entry is empty
  };
  std::uint32_t Home(std::uint32_t offset) const;
  std::uint32_t Find(std::uint32_t offset) const;
  void Index(std::uint32_t offset, std::uint32_t slot);
  void Unindex(std::uint32_t offset);

  RWFile* file_;  // not owned
  std::uint32_t capacity_ = 0;
  std::uint32_t in_use_ = 0;
  std::uint32_t node_size_;
  std::uint64_t clock_ = 0;                   // look-ups so far, plus kOldest
  std::unique_ptr<std::uint32_t[]> offsets_;  // file offset per slot
  std::unique_ptr<std::uint64_t[]> used_;     // clock_ at the slot's last use
  std::unique_ptr<std::uint32_t[]> younger_;  // recency list links
  std::unique_ptr<std::uint32_t[]> older_;
  std::uint32_t youngest_ = kNoOffset;
  std::uint32_t oldest_ = kNoOffset;
  std::unique_ptr<IndexEntry[]> index_;
  std::uint32_t index_mask_ = 0;
  std::unique_ptr<std::uint8_t[]> images_;  // capacity_ node images
};
