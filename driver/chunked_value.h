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

#include "foundation/rw/wstring.h"

inline constexpr std::uint32_t kChunkBytes = 248;
// The types of the count (REG_DWORD) and of the chunks (REG_BINARY).
inline constexpr std::uint32_t kCountType = 4;
inline constexpr std::uint32_t kChunkType = 3;
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

// The writer's steps, staged in the thread's transaction (a GStagedRun
// around them, stored_state.h) through `exists(value)`, `keep(value)` (a
// write of the value back as the commit finds it), `write(value, type,
// bytes, size)` and `remove(value)`, each true when done: a count that is
// there goes first, so that a death of the process between the commit's
// writes leaves the value absent rather than a count of one value over the
// chunks of another (no order of the writes alone can leave it as it was:
// its chunks are overwritten in place); it is written back as it is before
// it is deleted, so that a count the system refuses to write is refused
// before anything changed, and can be put back. Then each chunk in order;
// then the count K; then the chunks from K to `count_before` are deleted up
// to the first missing (the old count is outside data, and the chunks it
// names run without a gap). Answers 1 when every step was staged.
// REQUIRES: `data` holds `length` bytes (may be null when length is 0).
template <class Exists, class Keep, class Write, class Remove>
int WriteChunks(const void* data, std::uint32_t length, std::uint32_t count_before, Exists exists,
                Keep keep, Write write, Remove remove, const RWWString& name) {
  if (exists(name) && !(keep(name) && remove(name))) return 0;
  const std::uint32_t count = ChunkCount(length);
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (std::uint32_t i = 0; i < count; ++i) {
    const RWWString chunk = ChunkName(name, i);
    const std::uint32_t offset = i * kChunkBytes;
    const std::uint32_t size = i + 1 < count ? kChunkBytes : length - offset;
    if (chunk.IsNull() || !write(chunk, kChunkType, size ? bytes + offset : nullptr, size))
      return 0;
  }
  const unsigned char count_bytes[4] = {
      static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
      static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
  if (!write(name, kCountType, count_bytes, 4)) return 0;
  for (std::uint32_t i = count; i < count_before; ++i) {
    const RWWString chunk = ChunkName(name, i);
    if (chunk.IsNull()) return 0;
    if (!exists(chunk)) break;
    if (!remove(chunk)) return 0;
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
