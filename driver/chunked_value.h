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
// Values a reader accepts: 248*K at most 16 MiB. A larger count is damage
// (a real settings value is a few kilobytes), and must not size a buffer.
inline constexpr std::uint64_t kMaxChunkedValueBytes = std::uint64_t{16} << 20;

// The number of chunks of a value of `length` bytes.
inline std::uint32_t ChunkCount(std::uint32_t length) {
  return length / kChunkBytes + 1;
}

// The name of chunk `index` of value `name`: "name:index".
RWWString ChunkName(const RWWString& name, std::uint32_t index);
