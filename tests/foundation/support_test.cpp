#include "foundation/rw/support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/blockcache.h"
#include "foundation/rw/streamstate.h"
#include "tests/support/test_support.h"

namespace {

TEST(GrowthRule, DoublesThenSaturatesThenOverflows) {
  EXPECT_EQ(RWGrowCapacity(0, 1), 16u);
  EXPECT_EQ(RWGrowCapacity(15, 8), 16u);
  EXPECT_EQ(RWGrowCapacity(16, 1), 32u);
  EXPECT_EQ(RWGrowCapacity(0x3FFFFFFF, 2), 0x7FFFFFFEu);
  // Past half of the 32-bit range: the most 32 bits allow, still growing.
  RWSize grown = RWGrowCapacity(0x40000000, 2);
  EXPECT_EQ(grown, 0xFFFFFFFFu / 4 + 0x20000000u);
  EXPECT_GT(grown, 0x40000000u);
  EXPECT_LE(std::uint64_t{grown} * 2, 0xFFFFFFFFu);

  testing_support::ErrorCapture capture;
  EXPECT_EQ(RWGrowCapacity(0xFFFFFFFE, 1), 0xFFFFFFFEu);
  EXPECT_EQ(capture.Last(),
            "[OVFLOW] Overflow error -> \"Buffer may not resize larger than\" <- "
            "(4294967295 max characters)");
  // A product that would wrap in 32 bits is an overflow, not a shrink.
  capture.Clear();
  EXPECT_EQ(RWGrowCapacity(0x80000000u, 2), 0x80000000u);
  EXPECT_EQ(capture.Count(), 1u);
}

TEST(ByteArrays, LogicInPlace) {
  std::uint8_t a[] = {0xF0, 0x0F, 0xFF};
  const std::uint8_t b[] = {0x3C, 0x3C, 0x00};
  RWByteAnd(a, b, 3);
  EXPECT_EQ(0, std::memcmp(a, "\x30\x0C\x00", 3));
  RWByteOr(a, b, 2);
  EXPECT_EQ(0, std::memcmp(a, "\x3C\x3C\x00", 3));
  RWByteXor(a, b, 3);
  EXPECT_EQ(0, std::memcmp(a, "\x00\x00\x00", 3));
}

TEST(BitArrays, FirstSetAndClearCountFromTheLowEnd) {
  const std::uint8_t bits[] = {0x00, 0x10, 0xFF};
  EXPECT_EQ(RWFirstSetBit(bits, 24), 12u);
  EXPECT_EQ(RWFirstSetBit(bits, 12), RW_NPOS);  // bit 12 is beyond the first 12
  EXPECT_EQ(RWFirstClearBit(bits, 24), 0u);
  const std::uint8_t full[] = {0xFF, 0x7F};
  EXPECT_EQ(RWFirstClearBit(full, 16), 15u);
  EXPECT_EQ(RWFirstClearBit(full, 15), RW_NPOS);
  EXPECT_EQ(RWFirstSetBit(full, 0), RW_NPOS);
}

int CompareInts(const void* a, const void* b) {
  int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
  return (x > y) - (x < y);
}

TEST(BinarySearch, FindsOrTellsWhereToInsert) {
  const int values[] = {1, 3, 5, 7};
  std::size_t at;
  int key = 5;
  EXPECT_TRUE(RWBinarySearch(&key, values, 4, sizeof(int), CompareInts, at));
  EXPECT_EQ(at, 2u);
  key = 4;
  EXPECT_FALSE(RWBinarySearch(&key, values, 4, sizeof(int), CompareInts, at));
  EXPECT_EQ(at, 2u);
  key = 9;
  EXPECT_FALSE(RWBinarySearch(&key, values, 4, sizeof(int), CompareInts, at));
  EXPECT_EQ(at, 4u);
  EXPECT_FALSE(RWBinarySearch(&key, values, 0, sizeof(int), CompareInts, at));
  EXPECT_EQ(at, 0u);
}

TEST(MaskTable, LowerTriangleIsSet) {
  std::uint8_t table[4][4];
  RWBuildLowerMaskTable(table);
  EXPECT_EQ(table[0][0], 0);
  EXPECT_EQ(table[1][0], 0xFF);
  EXPECT_EQ(table[1][1], 0);
  EXPECT_EQ(table[3][2], 0xFF);
  EXPECT_EQ(table[2][3], 0);
  EXPECT_EQ(kRWLibraryVersion, 0x0700u);
}

TEST(SmallBlockCache, ReusesUpToFiveBlocksPerSize) {
  RWSmallBlockCache::Clear();
  void* a = RWSmallBlockCache::Get(3);  // class of 4-byte blocks
  RWSmallBlockCache::Put(a, 4);
  EXPECT_EQ(RWSmallBlockCache::CachedCount(), 1u);
  EXPECT_EQ(RWSmallBlockCache::Get(4), a);
  RWSmallBlockCache::Put(a, 4);

  void* blocks[7];
  for (auto& b : blocks)
    b = RWSmallBlockCache::Get(10);
  for (auto* b : blocks)
    RWSmallBlockCache::Put(b, 10);
  EXPECT_EQ(RWSmallBlockCache::CachedCount(), 6u);  // 1 + at most 5 of 10 bytes
  void* big = RWSmallBlockCache::Get(100);          // never cached
  RWSmallBlockCache::Put(big, 100);
  EXPECT_EQ(RWSmallBlockCache::CachedCount(), 6u);
  RWSmallBlockCache::Clear();
  EXPECT_EQ(RWSmallBlockCache::CachedCount(), 0u);
}

// The plain state answers Fail from the fail bit alone; the virtual streams
// count a bad stream as failing too.
TEST(StreamState, OwnBitValues) {
  std::istringstream is;
  RWBinaryInputStream stream(is);
  for (std::uint32_t word = 0; word < 8; ++word) {
    SCOPED_TRACE(word);
    RWStreamState state;
    state.SetState(word);
    stream.SetState(word);
    EXPECT_EQ(state.State(), word);
    EXPECT_EQ(state.Good(), word == 0);
    EXPECT_EQ(state.Eof(), (word & 1) != 0);
    EXPECT_EQ(state.Fail(), (word & 2) != 0);
    EXPECT_EQ(state.Bad(), (word & 4) != 0);
    EXPECT_EQ(stream.Fail(), (word & 6) != 0);
  }
}

}  // namespace
