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
  offsets_ = RWNewArray<std::uint32_t>(capacity);
  ages_ = RWNewArray<std::uint32_t>(capacity);
  images_ = RWNewArray<std::uint8_t>(std::uint64_t{capacity} * node_size_);
  if (!offsets_ || !ages_ || !images_) {
    offsets_.reset();
    ages_.reset();
    images_.reset();
    capacity_ = 0;
    return false;
  }
  std::fill_n(offsets_.get(), capacity, kNoOffset);
  capacity_ = capacity;
  return true;
}

RWDiskNodeCache::~RWDiskNodeCache() {
  file_->Flush();
}

std::uint32_t RWDiskNodeCache::SlotOffset(std::uint32_t slot) const {
  return slot < in_use_ ? offsets_[slot] : kNoOffset;
}

std::uint32_t RWDiskNodeCache::LookUp(std::uint32_t offset) {
  std::uint32_t hit = kNoOffset;
  for (std::uint32_t i = 0; i < in_use_; ++i) {
    if (ages_[i] != 0xFFFFFFFFu) ++ages_[i];  // saturates rather than wrapping to young
    if (offsets_[i] == offset) hit = i;
  }
  return hit;
}

std::uint32_t RWDiskNodeCache::TakeSlot() {
  if (capacity_ == 0) return kNoOffset;
  if (in_use_ < capacity_) return in_use_++;
  if (!file_->Flush()) return kNoOffset;
  std::uint32_t oldest = 0;
  for (std::uint32_t i = 1; i < in_use_; ++i) {
    if (ages_[i] > ages_[oldest]) oldest = i;
  }
  return oldest;
}

void RWDiskNodeCache::Forget(std::uint32_t slot) {
  // A slot whose image is not the file's must never answer a look-up.
  offsets_[slot] = kNoOffset;
  ages_[slot] = 0xFFFFFFFFu;
}

bool RWDiskNodeCache::Read(std::uint32_t offset, std::uint8_t* destination) {
  std::uint32_t slot = LookUp(offset);
  if (slot == kNoOffset) {
    slot = TakeSlot();
    if (slot == kNoOffset) return false;
    offsets_[slot] = offset;
    if (!file_->SeekTo(offset) || !file_->ReadUChar(Image(slot), node_size_)) {
      Forget(slot);
      return false;
    }
  }
  ages_[slot] = 0;
  std::memcpy(destination, Image(slot), node_size_);
  return true;
}

bool RWDiskNodeCache::Write(std::uint32_t offset, const std::uint8_t* source) {
  std::uint32_t slot = LookUp(offset);
  if (slot == kNoOffset) {
    slot = TakeSlot();
    if (slot == kNoOffset) return false;
    offsets_[slot] = offset;
  }
  ages_[slot] = 0;
  std::memcpy(Image(slot), source, node_size_);
  if (!file_->SeekTo(offset) || !file_->WriteUChar(Image(slot), node_size_)) {
    Forget(slot);
    return false;
  }
  return true;
}
