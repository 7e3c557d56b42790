#include "store/store_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/rw/collect.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "store/store_format.h"

using namespace record_store;

bool GStoreImage::Load(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size) {
  if (!bytes || size < kMinImageSize) return false;
  const std::uint8_t* p = bytes.get();
  const std::size_t body = size - kChecksumSize;
  if (Crc32(p, body) != GetWord(p + body)) return false;
  std::unordered_map<std::uint32_t, Block> blocks;
  const std::uint32_t count = GetWord(p);
  // Each block takes its header at least: a count that the image cannot
  // hold reserves nothing.
  std::size_t at = 4;
  try {
    if (count <= (body - at) / kBlockHeaderSize) blocks.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (body - at < kBlockHeaderSize + 4) return false;
      const std::uint32_t serial = GetWord(p + at);
      const std::uint32_t length = GetWord(p + at + 4);
      at += kBlockHeaderSize;
      if (length > body - at - 4 || !blocks.emplace(serial, Block{at, length}).second) return false;
      at += length;
    }
  } catch (const std::bad_alloc&) {
    RWRaiseNoMemory(std::uint64_t{count} * sizeof(Block));
    return false;
  }
  // What is left is the index's length and the index, exactly.
  if (body - at < 4 || GetWord(p + at) != body - at - 4) return false;
  buffer_ = std::move(bytes);
  capacity_ = size;
  blocks_ = std::move(blocks);
  index_at_ = at + 4;
  index_size_ = static_cast<std::uint32_t>(body - at - 4);
  end_ = at;  // new blocks go over the index, read before them
  changed_ = false;
  dropped_ = false;
  return true;
}

bool GStoreImage::Reserve(std::size_t bytes) {
  if (capacity_ >= end_ && capacity_ - end_ >= bytes) return true;
  const std::uint64_t need = std::uint64_t{end_} + bytes;
  const std::uint64_t grown = std::max<std::uint64_t>({need, 2 * std::uint64_t{capacity_}, 256});
  const std::uint64_t size = std::min(grown, kRWMaxAllocation);
  if (size < need) {
    RWRaiseNoMemory(need);
    return false;
  }
  std::unique_ptr<std::uint8_t[]> bigger = RWNewArrayForOverwrite<std::uint8_t>(size);
  if (!bigger) return false;
  if (end_ != 0 && buffer_) std::memcpy(bigger.get(), buffer_.get(), end_);
  buffer_ = std::move(bigger);
  capacity_ = static_cast<std::size_t>(size);
  return true;
}

RWVirtualInputStream& GImageStream::ReadFrom(const std::uint8_t* bytes, std::size_t size) {
  // The get area is only read.
  bytes_.Get(reinterpret_cast<char*>(const_cast<std::uint8_t*>(bytes)), bytes ? size : 0);
  in_.clear();
  return reader_;
}

RWVirtualOutputStream& GImageStream::WriteTo(std::uint8_t* bytes, std::size_t room) {
  bytes_.Put(reinterpret_cast<char*>(bytes), bytes ? room : 0);
  out_.clear();
  return writer_;
}

GImageStream* GStoreImage::Stream() {
  if (!stream_) stream_.reset(RWNew<GImageStream>());
  return stream_.get();
}

std::uint32_t GStoreImage::SaveAt(std::size_t header, const RWCollectable& object) {
  // The stored size is a good first guess: the encodings agree on widths.
  std::size_t room = std::max<RWSize>(object.GraphStoreSize(), 64);
  if (!Stream()) return 0;
  // Room for a checksum after it too: the index is saved last.
  while (Reserve(header + room + kChecksumSize)) {
    RWVirtualOutputStream& out = stream_->WriteTo(buffer_.get() + end_ + header, room);
    WriteCollectablePointerToStream(out, &object);
    if (!out.Fail()) return static_cast<std::uint32_t>(stream_->Written());
    if (stream_->Written() < room || room >= kRWMaxAllocation / 2) return 0;  // not for room
    room *= 2;
  }
  return 0;
}

bool GStoreImage::Put(std::uint32_t serial, const RWCollectable& object) {
  const std::uint32_t size = SaveAt(kBlockHeaderSize, object);
  if (size == 0) return false;
  try {
    blocks_.emplace(serial, Block{end_ + kBlockHeaderSize, size});
  } catch (const std::bad_alloc&) {
    RWRaiseNoMemory(sizeof(Block));
    return false;
  }
  PutWord(buffer_.get() + end_, serial);
  PutWord(buffer_.get() + end_ + 4, size);
  end_ += kBlockHeaderSize + size;
  changed_ = true;
  return true;
}

std::span<std::uint8_t> GStoreImage::Get(std::uint32_t serial) {
  auto found = blocks_.find(serial);
  if (found == blocks_.end()) return {};
  return {buffer_.get() + found->second.at, found->second.length};
}

void GStoreImage::Drop(std::uint32_t serial) {
  if (blocks_.erase(serial) == 0) return;
  changed_ = true;
  dropped_ = true;
}

bool GStoreImage::Compact() {
  std::unique_ptr<std::uint8_t[]> compact = RWNewArrayForOverwrite<std::uint8_t>(capacity_);
  if (!compact) return false;
  std::size_t to = 4;
  for (std::size_t from = 4; from < end_;) {
    const std::uint32_t serial = GetWord(buffer_.get() + from);
    const std::uint32_t length = GetWord(buffer_.get() + from + 4);
    auto live = blocks_.find(serial);
    if (live != blocks_.end() && live->second.at == from + kBlockHeaderSize) {
      std::memcpy(compact.get() + to, buffer_.get() + from, kBlockHeaderSize + length);
      live->second.at = to + kBlockHeaderSize;
      to += kBlockHeaderSize + length;
    }
    from += kBlockHeaderSize + length;
  }
  buffer_ = std::move(compact);
  end_ = to;
  dropped_ = false;
  return true;
}

std::span<const std::uint8_t> GStoreImage::Finish(const RWCollectable& index) {
  std::uint32_t size = 0;
  if ((dropped_ && !Compact()) || (size = SaveAt(4, index)) == 0) return {};
  std::uint8_t* p = buffer_.get();
  PutWord(p, static_cast<std::uint32_t>(blocks_.size()));
  PutWord(p + end_, size);
  const std::size_t body = end_ + 4 + size;
  PutWord(p + body, Crc32(p, body));
  return {p, body + kChecksumSize};
}
