#include "foundation/rw/disknodecache.h"

#include <algorithm>
#include <cstring>

#include "foundation/rw/support.h"

RWDiskNodeCache::RWDiskNodeCache(RWFile* file, std::uint32_t node_size, std::uint32_t capacity)
    : file_(file), node_size_(node_size) {
  // A cache of no slots would have nothing to evict into. One whose images
  // cannot be had ([NOMEM] is raised) makes do with one slot, or, failing
  // that too, with none: every read and write then fails.
  capacity = std::max<std::uint32_t>(capacity, 1);
  if (!RWAllocationFits(capacity, node_size) || !Allocate(capacity)) Allocate(1);
}

bool RWDiskNodeCache::Allocate(std::uint32_t capacity) {
  std::uint64_t entries = 2;
  while (entries < 2 * std::uint64_t{capacity})
    entries *= 2;
  images_ = RWNewArray<std::uint8_t>(std::uint64_t{capacity} * node_size_);
  if (images_) offsets_ = RWNewArray<std::uint32_t>(capacity);
  if (offsets_) used_ = RWNewArray<std::uint64_t>(capacity);
  if (used_) younger_ = RWNewArray<std::uint32_t>(capacity);
  if (younger_) older_ = RWNewArray<std::uint32_t>(capacity);
  if (older_) index_ = RWNewArray<IndexEntry>(entries);
  if (!index_) {
    images_.reset();
    offsets_.reset();
    used_.reset();
    younger_.reset();
    older_.reset();
    capacity_ = 0;
    return false;
  }
  std::fill_n(offsets_.get(), capacity, kNoOffset);
  std::fill_n(index_.get(), entries, IndexEntry{kNoOffset, kNoOffset});
  index_mask_ = static_cast<std::uint32_t>(entries - 1);
  capacity_ = capacity;
  // Forgotten slots are kOldest look-ups old from the start.
  clock_ = kOldest;
  return true;
}

RWDiskNodeCache::~RWDiskNodeCache() {
  file_->Flush();
}

std::uint32_t RWDiskNodeCache::SlotOffset(std::uint32_t slot) const {
  return slot < in_use_ ? offsets_[slot] : kNoOffset;
}

std::uint32_t RWDiskNodeCache::Age(std::uint32_t slot) const {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(clock_ - used_[slot], kOldest));
}

std::uint32_t RWDiskNodeCache::LookUp(std::uint32_t offset) {
  ++clock_;
  // kNoOffset marks a slot that holds nothing: it never answers.
  return offset == kNoOffset ? kNoOffset : Find(offset);
}

std::uint32_t RWDiskNodeCache::TakeSlot() {
  if (capacity_ == 0) return kNoOffset;
  if (in_use_ < capacity_) {
    std::uint32_t slot = in_use_++;
    LinkFirst(slot);
    return slot;
  }
  if (!file_->Flush()) return kNoOffset;
  // The oldest ends the list; when it has reached kOldest, so may the
  // slots before it, and the lowest of them goes.
  std::uint32_t victim = oldest_;
  for (std::uint32_t s = oldest_; s != kNoOffset && Age(s) == kOldest; s = younger_[s])
    victim = std::min(victim, s);
  if (offsets_[victim] != kNoOffset) Unindex(offsets_[victim]);
  offsets_[victim] = kNoOffset;
  return victim;
}

void RWDiskNodeCache::Hold(std::uint32_t slot, std::uint32_t offset) {
  offsets_[slot] = offset;
  if (offset != kNoOffset) Index(offset, slot);
}

void RWDiskNodeCache::Use(std::uint32_t slot) {
  used_[slot] = clock_;
  Unlink(slot);
  LinkFirst(slot);
}

void RWDiskNodeCache::Forget(std::uint32_t slot) {
  // A slot whose image is not the file's must never answer a look-up.
  if (offsets_[slot] != kNoOffset) Unindex(offsets_[slot]);
  offsets_[slot] = kNoOffset;
  used_[slot] = clock_ - kOldest;
  Unlink(slot);
  LinkLast(slot);
}

bool RWDiskNodeCache::Read(std::uint32_t offset, std::uint8_t* destination) {
  std::uint32_t slot = LookUp(offset);
  if (slot == kNoOffset) {
    slot = TakeSlot();
    if (slot == kNoOffset) return false;
    Hold(slot, offset);
    if (!file_->ReadAt(offset, Image(slot), node_size_)) {
      Forget(slot);
      return false;
    }
  }
  Use(slot);
  std::memcpy(destination, Image(slot), node_size_);
  return true;
}

bool RWDiskNodeCache::Write(std::uint32_t offset, const std::uint8_t* source) {
  std::uint32_t slot = LookUp(offset);
  if (slot == kNoOffset) {
    slot = TakeSlot();
    if (slot == kNoOffset) return false;
    Hold(slot, offset);
  }
  Use(slot);
  std::memcpy(Image(slot), source, node_size_);
  if (!file_->WriteAt(offset, Image(slot), node_size_)) {
    Forget(slot);
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// The recency list

void RWDiskNodeCache::Unlink(std::uint32_t slot) {
  std::uint32_t younger = younger_[slot];
  std::uint32_t older = older_[slot];
  (younger == kNoOffset ? youngest_ : older_[younger]) = older;
  (older == kNoOffset ? oldest_ : younger_[older]) = younger;
}

void RWDiskNodeCache::LinkFirst(std::uint32_t slot) {
  younger_[slot] = kNoOffset;
  older_[slot] = youngest_;
  (youngest_ == kNoOffset ? oldest_ : younger_[youngest_]) = slot;
  youngest_ = slot;
}

void RWDiskNodeCache::LinkLast(std::uint32_t slot) {
  older_[slot] = kNoOffset;
  younger_[slot] = oldest_;
  (oldest_ == kNoOffset ? youngest_ : older_[oldest_]) = slot;
  oldest_ = slot;
}

// ---------------------------------------------------------------------------
// The offset index

std::uint32_t RWDiskNodeCache::Home(std::uint32_t offset) const {
  std::uint32_t h = offset * 0x9E3779B1u;
  return (h ^ h >> 16) & index_mask_;
}

std::uint32_t RWDiskNodeCache::Find(std::uint32_t offset) const {
  for (std::uint32_t i = Home(offset);; i = (i + 1) & index_mask_) {
    if (index_[i].slot == kNoOffset) return kNoOffset;
    if (index_[i].offset == offset) return index_[i].slot;
  }
}

void RWDiskNodeCache::Index(std::uint32_t offset, std::uint32_t slot) {
  std::uint32_t i = Home(offset);
  while (index_[i].slot != kNoOffset)
    i = (i + 1) & index_mask_;
  index_[i] = {offset, slot};
}

void RWDiskNodeCache::Unindex(std::uint32_t offset) {
  std::uint32_t hole = Home(offset);
  while (index_[hole].offset != offset || index_[hole].slot == kNoOffset)
    hole = (hole + 1) & index_mask_;
  // Entries after the hole move back into it unless that would put them
  // before their home: every entry stays reachable from its home.
  for (std::uint32_t j = (hole + 1) & index_mask_; index_[j].slot != kNoOffset;
       j = (j + 1) & index_mask_) {
    std::uint32_t home = Home(index_[j].offset);
    bool stays = hole < j ? hole < home && home <= j : hole < home || home <= j;
    if (stays) continue;
    index_[hole] = index_[j];
    hole = j;
  }
  index_[hole].slot = kNoOffset;
}
