// Reads a file space manager's stored layout straight from the file bytes,
// so that tests check what is on disk rather than what the classes say.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/rw/catalogue.h"

namespace filespace_layout {

// The errors a file space manager or a disk tree may raise for a bad file.
inline bool IsFileError(const RWCatalogueEntry* entry) {
  for (const RWCatalogueEntry* e : {rwtools::ReadErr(), rwtools::SeekErr(), rwtools::WriteErr(),
                                    rwtools::FList(), rwtools::Magic()}) {
    if (entry == e) return true;
  }
  return false;
}

inline std::uint32_t Word(const std::string& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0xDEADBEEF;
  auto b = [&](std::size_t i) { return std::uint32_t{static_cast<unsigned char>(bytes[at + i])}; };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

// Little-endian words as bytes.
inline std::string Words(std::initializer_list<std::uint32_t> words) {
  std::string out;
  for (std::uint32_t w : words) {
    for (int i = 0; i < 4; ++i)
      out += static_cast<char>(w >> (8 * i));
  }
  return out;
}

struct Space {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
  std::uint32_t block_size = 0;
  std::vector<std::uint32_t> blocks;  // list blocks in ring order from the head
  std::vector<std::uint32_t> counts;  // extent count of each
  std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // (offset, length), ring order
  bool ring_closed = false;

  std::uint64_t FreeBytes() const {
    std::uint64_t sum = 0;
    for (auto& e : extents)
      sum += e.second;
    return sum;
  }
};

inline Space Inspect(const std::string& bytes) {
  Space s;
  s.start = Word(bytes, 0);
  s.end = Word(bytes, 4);
  s.block_size = Word(bytes, 8);
  const std::uint32_t n = (s.block_size - 12) / 8;
  std::uint32_t at = 12;
  for (int guard = 0; guard < 10000; ++guard) {
    s.blocks.push_back(at);
    std::uint32_t count = Word(bytes, at + 4 + 8 * n);
    s.counts.push_back(count);
    for (std::uint32_t i = 0; i < count && i < n; ++i) {
      s.extents.emplace_back(Word(bytes, at + 4 + 4 * i), Word(bytes, at + 4 + 4 * n + 4 * i));
    }
    at = Word(bytes, at + 8 + 8 * n);
    if (at == 12) {
      s.ring_closed = true;
      break;
    }
  }
  return s;
}

}  // namespace filespace_layout
