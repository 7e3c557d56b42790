#include "foundation/rw/filespace.h"

#include <algorithm>
#include <new>

#include "foundation/rw/catalogue.h"
#include "foundation/rw/error.h"
#include "foundation/rw/readscope.h"

namespace {

// A remainder smaller than this stays with the block it was cut from.
constexpr std::uint32_t kMinRemainder = 8;

}  // namespace

// ---------------------------------------------------------------------------
// RWFreeExtentList

RWFreeExtentList::RWFreeExtentList(RWFileSpaceManager* manager, std::uint32_t extents,
                                   std::uint16_t marker)
    : manager_(manager), extents_(extents), marker_(marker) {
  ClearImage();
}

RWFreeExtentList10::RWFreeExtentList10(RWFileSpaceManager* manager)
    : RWFreeExtentList(manager, RWFileSpaceManager::kExtents10, RWFileSpaceManager::kMarker10) {}

RWFreeExtentList32::RWFreeExtentList32(RWFileSpaceManager* manager)
    : RWFreeExtentList(manager, RWFileSpaceManager::kExtents32, RWFileSpaceManager::kMarker32) {}

std::uint32_t RWFreeExtentList::Word(std::uint32_t at) const {
  return RWGetWord(&image_[at]);
}

void RWFreeExtentList::SetWord(std::uint32_t at, std::uint32_t v) {
  RWPutWord(&image_[at], v);
}

void RWFreeExtentList::SetExtent(std::uint32_t i, std::uint32_t offset, std::uint32_t length) {
  SetWord(4 + 4 * i, offset);
  SetWord(4 + 4 * extents_ + 4 * i, length);
}

void RWFreeExtentList::RemoveExtent(std::uint32_t i) {
  std::uint32_t count = Count();
  for (std::uint32_t j = i; j + 1 < count; ++j)
    SetExtent(j, ExtentOffset(j + 1), ExtentLength(j + 1));
  SetExtent(count - 1, 0, 0);
  SetCount(count - 1);
}

void RWFreeExtentList::InsertExtent(std::uint32_t i, std::uint32_t offset, std::uint32_t length) {
  std::uint32_t count = Count();
  for (std::uint32_t j = count; j > i; --j)
    SetExtent(j, ExtentOffset(j - 1), ExtentLength(j - 1));
  SetExtent(i, offset, length);
  SetCount(count + 1);
}

void RWFreeExtentList::ClearImage() {
  image_.fill(0);
  image_[0] = static_cast<std::uint8_t>(marker_);
  image_[1] = static_cast<std::uint8_t>(marker_ >> 8);
}

bool RWFreeExtentList::WriteNewHead() {
  ClearImage();
  SetNext(RWFileSpaceManager::kHeadBlockOffset);
  loaded_ = RWFileSpaceManager::kHeadBlockOffset;
  return WriteBlock();
}

bool RWFreeExtentList::LoadHead() {
  return LoadBlock(RWFileSpaceManager::kHeadBlockOffset);
}

bool RWFreeExtentList::Corrupt(std::uint32_t limit, std::uint32_t found) {
  manager_->MarkError();
  RaiseEnvironmentError(RWEnvironmentError(
      RWMessageText(rwtools::FList(), static_cast<long>(limit), static_cast<long>(found))));
  return false;
}

void RWFreeExtentList::Keep(std::uint32_t offset, const Image& image) {
  Kept kept{image, Examine(image, ~std::uint64_t{0})};
  kept.shape.sound = kept.shape.sound && (image[0] | image[1] << 8) == marker_;
  // An image only saves a read: without memory for it, the file is read.
  try {
    kept_.insert_or_assign(offset, kept);
  } catch (const std::bad_alloc&) {
    kept_.clear();
    ++kept_epoch_;
  }
}

bool RWFreeExtentList::Sound(const Kept& block) const {
  return block.shape.sound && block.shape.needs_end <= manager_->EndOfSpace();
}

const RWFreeExtentList::Kept* RWFreeExtentList::Passable(std::uint32_t offset) const {
  auto it = kept_.find(offset);
  return it != kept_.end() && Sound(it->second) ? &it->second : nullptr;
}

const RWFreeExtentList::Kept* RWFreeExtentList::PassableAfter(const Kept& block) const {
  if (block.epoch != kept_epoch_ || !block.after) {
    auto it = kept_.find(block.shape.next);
    if (it == kept_.end()) return nullptr;
    block.after = &it->second;
    block.epoch = kept_epoch_;
  }
  return Sound(*block.after) ? block.after : nullptr;
}

bool RWFreeExtentList::Touches(const Kept& block, std::uint32_t offset,
                               std::uint32_t length) const {
  // A passable block's extents ascend and lie apart: only the last one
  // before `offset` and the first one from there can reach the new one.
  const std::uint8_t* b = block.bytes.data();
  auto extent_offset = [&](std::uint32_t i) { return RWGetWord(b + 4 + 4 * i); };
  std::uint32_t low = 0;
  for (std::uint32_t high = block.shape.count; low < high;) {
    std::uint32_t mid = (low + high) / 2;
    if (extent_offset(mid) < offset) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  if (low > 0) {
    std::uint32_t before = low - 1;
    if (extent_offset(before) + RWGetWord(b + 4 + 4 * extents_ + 4 * before) >= offset) return true;
  }
  return low < block.shape.count && extent_offset(low) <= offset + length;
}

void RWFreeExtentList::Overwritten(std::uint64_t offset, std::uint64_t length) {
  if (kept_.empty() || length == 0) return;
  if (offset == RWFile::kAnywhere) {
    kept_.clear();
    ++kept_epoch_;
    return;
  }
  // Blocks starting within BlockSize() - 1 bytes before the write reach into it.
  std::uint64_t from = offset + 1 > BlockSize() ? offset + 1 - BlockSize() : 0;
  for (auto it =
           kept_.lower_bound(static_cast<std::uint32_t>(std::min<std::uint64_t>(from, kNoOffset)));
       it != kept_.end() && it->first < offset + length;) {
    if (it->first == writing_) {
      ++it;  // WriteBlock records it anew
      continue;
    }
    it = kept_.erase(it);
    ++kept_epoch_;
  }
}

bool RWFreeExtentList::LoadBlock(std::uint32_t offset) {
  Image read{};
  if (auto kept = kept_.find(offset); kept != kept_.end()) {
    read = kept->second.bytes;
  } else {
    if (!manager_->ReadBytesAt(offset, read.data(), BlockSize())) return false;
    Keep(offset, read);
  }
  std::uint16_t marker = static_cast<std::uint16_t>(read[0] | read[1] << 8);
  if (marker != marker_) {
    manager_->MarkError();
    RaiseEnvironmentError(RWEnvironmentError(
        RWMessageText(rwtools::Magic(), static_cast<long>(marker), static_cast<long>(marker_))));
    return false;
  }
  Image previous = image_;
  image_ = read;
  if (!ImageIsSound()) {
    image_ = previous;
    return false;
  }
  loaded_ = offset;
  return true;
}

RWFreeExtentList::Examined RWFreeExtentList::Examine(const Image& image, std::uint64_t end) const {
  auto word = [&](std::uint32_t at) { return RWGetWord(&image[at]); };
  Examined e;
  e.count = word(4 + 8 * extents_);
  e.next = word(8 + 8 * extents_);
  if (e.count > extents_) {
    e.limit = extents_;
    e.found = e.count;
    return e;
  }
  const std::uint64_t first = RWFileSpaceManager::kHeadBlockOffset + BlockSize();
  // Extents lie in the space past the head block, in ascending order, apart.
  std::uint64_t previous_end = first;
  for (std::uint32_t i = 0; i < e.count; ++i) {
    std::uint64_t offset = word(4 + 4 * i);
    std::uint64_t length = word(4 + 4 * extents_ + 4 * i);
    if (offset % 4 != 0 || length % 4 != 0 || length == 0 || offset < previous_end ||
        offset + length > end) {
      e.limit = static_cast<std::uint32_t>(end);
      e.found = static_cast<std::uint32_t>(offset);
      return e;
    }
    previous_end = offset + length;
    e.longest = std::max(e.longest, static_cast<std::uint32_t>(length));
  }
  if (e.count > 0) e.needs_end = previous_end;
  std::uint64_t next = e.next;
  if (next != RWFileSpaceManager::kHeadBlockOffset) {
    if (next % 4 != 0 || next < first || next + BlockSize() > end) {
      e.limit = static_cast<std::uint32_t>(end);
      e.found = e.next;
      return e;
    }
    e.needs_end = std::max(e.needs_end, next + BlockSize());
  }
  e.sound = true;
  return e;
}

bool RWFreeExtentList::ImageIsSound() {
  Examined e = Examine(image_, manager_->EndOfSpace());
  return e.sound || Corrupt(e.limit, e.found);
}

bool RWFreeExtentList::WriteBlock() {
  writing_ = loaded_;
  const bool written = manager_->WriteBytesAt(loaded_, image_.data(), BlockSize());
  writing_ = kNoOffset;
  if (written) {
    Keep(loaded_, image_);
  } else if (kept_.erase(loaded_) > 0) {
    ++kept_epoch_;  // what the file now holds there is not known
  }
  return written;
}

std::uint32_t RWFreeExtentList::MaxRingBlocks() const {
  std::uint32_t first = RWFileSpaceManager::kHeadBlockOffset + BlockSize();
  std::uint32_t end = manager_->EndOfSpace();
  return (end > first ? (end - first) / BlockSize() : 0) + 1;
}

std::uint32_t RWFreeExtentList::Allocate(std::uint32_t size) {
  RWReadScope scope(*manager_);
  if (manager_->Error()) return kNoOffset;
  std::uint64_t wanted = (std::uint64_t{size} + 7) & ~std::uint64_t{3};
  if (wanted > 0xFFFFFFFCu) return kNoOffset;
  std::uint32_t need = static_cast<std::uint32_t>(wanted);

  // First fit, from the loaded block once round the ring.
  const std::uint32_t search_start = loaded_;
  const std::uint32_t max_blocks = MaxRingBlocks();
  std::uint32_t found = kNoOffset;
  for (std::uint32_t walked = 0; found == kNoOffset;) {
    for (std::uint32_t i = 0, count = Count(); i < count; ++i) {
      if (ExtentLength(i) >= need) {
        found = i;
        break;
      }
    }
    if (found != kNoOffset) break;
    std::uint32_t next = Next();
    if (next == search_start) break;
    if (++walked >= max_blocks) {
      Corrupt(max_blocks, walked + 1);
      return kNoOffset;
    }
    // Blocks without an extent long enough pass the search on.
    for (const Kept* k = Passable(next); k && k->shape.longest < need; k = PassableAfter(*k)) {
      if (k->shape.next == search_start) break;
      if (++walked >= max_blocks) {
        Corrupt(max_blocks, walked + 1);
        return kNoOffset;
      }
      next = k->shape.next;
    }
    if (!LoadBlock(next)) return kNoOffset;
  }

  std::uint32_t block;
  if (found != kNoOffset) {
    block = ExtentOffset(found);
    std::uint32_t length = ExtentLength(found);
    if (length - need >= kMinRemainder) {
      SetExtent(found, block + need, length - need);
    } else {
      need = length;
      RemoveExtent(found);
    }
    if (Count() > 0 || (loaded_ == RWFileSpaceManager::kHeadBlockOffset &&
                        Next() == RWFileSpaceManager::kHeadBlockOffset)) {
      if (!WriteBlock()) return kNoOffset;
    } else {
      Unlink();
      if (manager_->Error()) return kNoOffset;
    }
  } else {
    block = manager_->AllocateAtEnd(need);
    if (block == kNoOffset) return kNoOffset;
  }
  if (!manager_->WriteWordAt(block, need)) return kNoOffset;
  return block + RWFileSpaceManager::kLengthWordSize;
}

void RWFreeExtentList::Deallocate(std::uint32_t offset) {
  RWReadScope scope(*manager_);
  if (manager_->Error()) return;
  const std::uint64_t first = RWFileSpaceManager::kHeadBlockOffset + BlockSize();
  const std::uint64_t end = manager_->EndOfSpace();
  if (offset % 4 != 0 || offset < first + RWFileSpaceManager::kLengthWordSize || offset > end) {
    manager_->RaiseCorrupt(offset);
    return;
  }
  std::uint32_t block = offset - RWFileSpaceManager::kLengthWordSize;
  std::uint32_t length;
  if (!manager_->ReadWordAt(block, length)) return;
  if (length < RWFileSpaceManager::kLengthWordSize || length % 4 != 0 ||
      block + std::uint64_t{length} > end) {
    manager_->RaiseCorrupt(block);
    return;
  }
  ReleaseExtent(block, length);
}

int RWFreeExtentList::PutInLoadedBlock(std::uint32_t offset, std::uint32_t length) {
  const std::uint32_t count = Count();
  const std::uint32_t end = offset + length;
  // Released bytes that are already free mean a block given back twice or a
  // bad length word: listing them again would hand the bytes out twice.
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t o = ExtentOffset(i);
    if (offset < o + ExtentLength(i) && o < end) {
      manager_->RaiseCorrupt(offset);
      return -1;
    }
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t o = ExtentOffset(i);
    std::uint32_t l = ExtentLength(i);
    if (o + l == offset) {
      l += length;
      if (i + 1 < count && o + l == ExtentOffset(i + 1)) {
        l += ExtentLength(i + 1);
        RemoveExtent(i + 1);
      }
      SetExtent(i, o, l);
      return 1;
    }
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    if (ExtentOffset(i) == end) {
      SetExtent(i, offset, ExtentLength(i) + length);
      return 1;
    }
  }
  if (count < extents_) {
    std::uint32_t at = 0;
    while (at < count && ExtentOffset(at) < offset)
      ++at;
    InsertExtent(at, offset, length);
    return 1;
  }
  return 0;
}

void RWFreeExtentList::ReleaseExtent(std::uint32_t offset, std::uint32_t length) {
  if (manager_->ReleaseAtEnd(offset, length)) return;
  if (manager_->Error()) return;
  const std::uint32_t search_start = loaded_;
  const std::uint32_t max_blocks = MaxRingBlocks();
  for (std::uint32_t walked = 0;;) {
    int put = PutInLoadedBlock(offset, length);
    if (put < 0) return;
    if (put > 0) {
      WriteBlock();
      return;
    }
    std::uint32_t next = Next();
    if (next == search_start) break;
    if (++walked >= max_blocks) {
      Corrupt(max_blocks, walked + 1);
      return;
    }
    // Full blocks that the extent neither overlaps nor touches pass it on.
    for (const Kept* k = Passable(next);
         k && k->shape.count == extents_ && !Touches(*k, offset, length); k = PassableAfter(*k)) {
      if (k->shape.next == search_start) break;
      if (++walked >= max_blocks) {
        Corrupt(max_blocks, walked + 1);
        return;
      }
      next = k->shape.next;
    }
    if (!LoadBlock(next)) return;
  }

  // Every block is full: a new one, from the list itself, placed over its
  // own length word so that it takes exactly one block size.
  std::uint32_t at = Allocate(BlockSize() - RWFileSpaceManager::kLengthWordSize);
  if (at == kNoOffset) return;
  std::uint32_t block = at - RWFileSpaceManager::kLengthWordSize;
  std::uint32_t after = Next();
  SetNext(block);
  if (!WriteBlock()) return;
  ClearImage();
  SetCount(1);
  SetExtent(0, offset, length);
  SetNext(after);
  loaded_ = block;
  WriteBlock();
}

void RWFreeExtentList::Unlink() {
  const std::uint32_t head = RWFileSpaceManager::kHeadBlockOffset;
  if (loaded_ != head) {
    const std::uint32_t empty = loaded_;
    const std::uint32_t after = Next();
    const std::uint32_t max_blocks = MaxRingBlocks();
    if (!LoadBlock(head)) return;
    for (std::uint32_t walked = 0; Next() != empty;) {
      if (Next() == head || ++walked >= max_blocks) {
        Corrupt(max_blocks, walked + 1);
        return;
      }
      // Blocks before the predecessor pass the walk on.
      std::uint32_t next = Next();
      for (const Kept* k = Passable(next); k && k->shape.next != empty && k->shape.next != head;
           k = PassableAfter(*k)) {
        if (++walked >= max_blocks) {
          Corrupt(max_blocks, walked + 1);
          return;
        }
        next = k->shape.next;
      }
      if (!LoadBlock(next)) return;
    }
    SetNext(after);
    if (!WriteBlock()) return;
    ReleaseExtent(empty, BlockSize());
  } else {
    // The head never moves: its successor's contents take its place.
    const std::uint32_t successor = Next();
    if (!LoadBlock(successor)) return;
    if (Next() == successor) {
      Corrupt(head, successor);
      return;
    }
    loaded_ = head;
    if (!WriteBlock()) return;
    ReleaseExtent(successor, BlockSize());
  }
}

// ---------------------------------------------------------------------------
// RWFileSpaceManager

RWFileSpaceManager::RWFileSpaceManager(const char* name, const char* mode) : RWFile(name, mode) {
  RWReadScope scope(*this);
  if (!IsValid() || !Exists()) return;
  if (!IsEmpty()) {
    ReadHeader();
    return;
  }
  auto list = std::make_unique<RWFreeExtentList32>(this);
  start_ = kNoOffset;
  end_ = kHeadBlockOffset + kListBlockSize32;
  std::uint8_t header[12];
  RWPutWord(header + kStartWordOffset, start_);
  RWPutWord(header + kEndWordOffset, end_);
  RWPutWord(header + kBlockSizeWordOffset, kListBlockSize32);
  if (!WriteBytesAt(0, header, sizeof header) || !list->WriteNewHead()) return;
  free_list_ = std::move(list);
}

RWFileSpaceManager::~RWFileSpaceManager() {
  free_list_.reset();
}

void RWFileSpaceManager::Overwritten(std::uint64_t offset, std::uint64_t length) {
  if (free_list_) free_list_->Overwritten(offset, length);
}

bool RWFileSpaceManager::ReadHeader() {
  std::uint8_t header[12];
  if (!ReadBytesAt(0, header, sizeof header)) return false;
  std::uint32_t start = RWGetWord(header + kStartWordOffset);
  std::uint32_t end = RWGetWord(header + kEndWordOffset);
  std::uint32_t block_size = RWGetWord(header + kBlockSizeWordOffset);
  std::unique_ptr<RWFreeExtentList> list;
  if (block_size == kListBlockSize32) {
    list = std::make_unique<RWFreeExtentList32>(this);
  } else if (block_size == kListBlockSize10) {
    list = std::make_unique<RWFreeExtentList10>(this);
  } else {
    MarkError();
    RaiseEnvironmentError(RWEnvironmentError(RWMessageText(
        rwtools::FList(), static_cast<long>(kListBlockSize32), static_cast<long>(block_size))));
    return false;
  }
  std::uint32_t first = kHeadBlockOffset + block_size;
  if (end < first || end % 4 != 0 || end == kNoOffset) {
    RaiseCorrupt(kEndWordOffset);
    return false;
  }
  if (start != kNoOffset && (start % 4 != 0 || start < first + kLengthWordSize || start > end)) {
    RaiseCorrupt(kStartWordOffset);
    return false;
  }
  start_ = start;
  end_ = end;
  if (!list->LoadHead()) return false;
  free_list_ = std::move(list);
  return true;
}

std::uint32_t RWFileSpaceManager::Allocate(std::uint32_t size) {
  RWReadScope scope(*this);
  if (!IsUsable()) return kNoOffset;
  std::uint32_t offset = free_list_->Allocate(size);
  if (start_ == kNoOffset && offset != kNoOffset) {
    start_ = offset;
    if (!WriteWordAt(kStartWordOffset, start_)) return kNoOffset;
  }
  return offset;
}

void RWFileSpaceManager::Deallocate(std::uint32_t offset) {
  RWReadScope scope(*this);
  if (offset == kNoOffset || offset == start_ || !IsUsable()) return;
  free_list_->Deallocate(offset);
}

std::uint32_t RWFileSpaceManager::AllocateAtEnd(std::uint32_t length) {
  RWReadScope scope(*this);
  if (Error()) return kNoOffset;
  std::uint64_t end = std::uint64_t{end_} + length;
  if (end > 0xFFFFFFFCu) return kNoOffset;
  std::uint32_t old_end = end_;
  end_ = static_cast<std::uint32_t>(end);
  if (!WriteWordAt(kEndWordOffset, end_)) {
    end_ = old_end;
    return kNoOffset;
  }
  return old_end;
}

bool RWFileSpaceManager::ReleaseAtEnd(std::uint32_t offset, std::uint32_t length) {
  RWReadScope scope(*this);
  // Compared unsigned: a space past 2 GiB must not look as if it ended early.
  if (std::uint64_t{offset} + length < end_) return false;
  end_ = offset;
  WriteWordAt(kEndWordOffset, end_);
  return true;
}

void RWFileSpaceManager::RaiseIo(std::uint32_t code, std::uint32_t offset) {
  MarkError();
  const RWCatalogueEntry* entry = code == kSeekCode   ? rwtools::SeekErr()
                                  : code == kReadCode ? rwtools::ReadErr()
                                                      : rwtools::WriteErr();
  RaiseFileIoError(RWFileIoError(RWMessageText(entry), offset, code));
}

bool RWFileSpaceManager::ReadBytesAt(std::uint32_t offset, std::uint8_t* p, std::uint32_t n) {
  RWReadScope scope(*this);
  // The stream's buffered writes go first; where that fails, so would a seek.
  if (!ReleaseStream()) {
    RaiseIo(kSeekCode, offset);
    return false;
  }
  if (!ReadAt(offset, p, n)) {
    RaiseIo(kReadCode, offset);
    return false;
  }
  return true;
}

bool RWFileSpaceManager::WriteBytesAt(std::uint32_t offset, const std::uint8_t* p,
                                      std::uint32_t n) {
  RWReadScope scope(*this);
  if (!ReleaseStream()) {
    RaiseIo(kSeekCode, offset);
    return false;
  }
  if (!WriteAt(offset, p, n)) {
    RaiseIo(kWriteCode, offset);
    return false;
  }
  return true;
}

bool RWFileSpaceManager::ReadWordAt(std::uint32_t offset, std::uint32_t& v) {
  std::uint8_t bytes[4];
  if (!ReadBytesAt(offset, bytes, 4)) return false;
  v = RWGetWord(bytes);
  return true;
}

bool RWFileSpaceManager::WriteWordAt(std::uint32_t offset, std::uint32_t v) {
  std::uint8_t bytes[4];
  RWPutWord(bytes, v);
  return WriteBytesAt(offset, bytes, 4);
}
