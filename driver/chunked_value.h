// The stored form of a chunked binary value in printer data. The spooler
// keeps printer-data values small, so a binary value of L bytes (L >= 0)
// named N is stored as K = floor(L / 248) + 1 values:
//
//   name          type        size                 content
//   N             REG_DWORD   4                    K, little-endian
//   N:i (i < K)   REG_BINARY  min(248, L - 248*i)  bytes 248*i onward
//
// Chunk names are N, ':' and i in decimal without leading zeros (N:0, N:1,
// ..., N:10). Every chunk but the last holds exactly 248 bytes; the last
// holds L mod 248 bytes, and is written even when that is 0 (so L = 0 is
// one empty chunk). A reader cannot know L before reading the chunks; it
// takes 248*K as the most the value can hold.
//
// Named objects are chunked values whose bytes are an object graph in the
// binary encoding.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/wstring.h"

inline constexpr std::uint32_t kChunkBytes = 248;
// Values a reader accepts: 248*K at most 16 MiB. A larger count is damage
// (a real settings value is a few kilobytes), and must not size a buffer.
inline constexpr std::uint64_t kMaxChunkedValueBytes = std::uint64_t{16} << 20;

// The number of chunks of a value of `length` bytes.
inline std::uint32_t ChunkCount(std::uint32_t length) {
  return length / kChunkBytes + 1;
}

// The name of chunk `index` of value `name`: "name:index"; the empty
// string when it cannot be built whole (no memory, or no `name`), which
// no caller may read, write or delete.
RWWString ChunkName(const RWWString& name, std::uint32_t index);

// The value stored before a write, read whole first so that a failed
// write can put it back as it was stored: another writer (an older one, or
// one outside the driver) may have cut it otherwise than ChunkCount says,
// and a reader takes any cut. `count` is the count read before (0: none);
// when the value read whole, `whole` is set, `bytes` holds its chunks one
// after another and `sizes` each chunk's size, `count` of them.
struct ChunkedValueBefore {
  std::unique_ptr<unsigned char[]> bytes;
  std::unique_ptr<std::uint32_t[]> sizes;
  std::uint32_t count = 0;
  bool whole = false;
};

// The writer's steps after the count K was written: each chunk in order
// through `write_chunk(index, bytes, size)` (true when written). The first
// failure ends the write with 0 and puts the value before back as it was
// read: its count through `write_count(count)`, then each of its chunks
// that this write went over, with its own size; the chunks written that it
// did not have go through `delete_chunk(index)`. When there was no value
// whole before, or it cannot be put back, `delete_count()` removes the
// count, so no reader takes a count over chunks of two values. After a
// whole write the chunks from K to the count before are deleted up to the
// first that fails: the old count is outside data, and the chunks it names
// run without a gap. Answers 1 when every chunk was written.
// REQUIRES: `data` holds `length` bytes (may be null when length is 0).
template <class WriteChunk, class WriteCount, class DeleteCount, class DeleteChunk>
int WriteChunks(const void* data, std::uint32_t length, const ChunkedValueBefore& before,
                WriteChunk write_chunk, WriteCount write_count, DeleteCount delete_count,
                DeleteChunk delete_chunk) {
  const std::uint32_t count = ChunkCount(length);
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t offset = i * kChunkBytes;
    const std::uint32_t size = i + 1 < count ? kChunkBytes : length - offset;
    if (write_chunk(i, size ? bytes + offset : nullptr, size)) continue;
    bool kept = before.whole && write_count(before.count);
    std::uint32_t at = 0;
    for (std::uint32_t j = 0; kept && j < i && j < before.count; ++j) {
      const std::uint32_t stored = before.sizes[j];
      kept = write_chunk(j, stored ? before.bytes.get() + at : nullptr, stored);
      at += stored;
    }
    if (!kept) delete_count();
    for (std::uint32_t j = kept ? before.count : 0; j < i; ++j)
      delete_chunk(j);
    return 0;
  }
  for (std::uint32_t i = count; i < before.count; ++i) {
    if (!delete_chunk(i)) break;
  }
  return 1;
}

// The reader's steps once the count is known, as ReadChunkedValue says
// (os_factory.h): no count or one above kMaxChunkedValueBytes answers 0;
// no buffer answers the most the value can hold; each chunk is read
// through `read_chunk(index, into, room, got)`, true when it exists, is
// REG_BINARY and fits the room. When `sizes` is given, each chunk's size
// goes there (`count` of them).
template <class ReadChunk>
int ReadChunks(std::uint32_t count, void* buffer, std::uint32_t size, std::uint32_t& got,
               ReadChunk read_chunk, std::uint32_t* sizes = nullptr) {
  const std::uint64_t most = std::uint64_t{kChunkBytes} * count;
  if (count == 0 || most > kMaxChunkedValueBytes) return 0;
  if (!buffer || size == 0 || size < most) {
    got = static_cast<std::uint32_t>(most);
    return buffer && size != 0 ? 0 : 1;
  }
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::uint32_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t read = 0;
    if (!read_chunk(i, bytes + total, size - total, read)) return 0;
    if (sizes) sizes[i] = read;
    total += read;
  }
  got = total;
  return 1;
}
