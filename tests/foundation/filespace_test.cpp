#include "foundation/rw/filespace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "tests/foundation/filespace_layout.h"
#include "tests/support/test_support.h"

using filespace_layout::Inspect;
using filespace_layout::IsFileError;
using filespace_layout::Word;
using filespace_layout::Words;
using testing_support::Hex;
using testing_support::ReadAll;
using testing_support::TempPath;
using testing_support::WriteAll;

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// After a first 40-byte block, 70 more; then every other one of the first
// 66 is given back: 33 separate free extents, more than one list block can
// hold. Answers the 70 blocks; `end` gets the end of space before the frees.
std::vector<std::uint32_t> FragmentIntoTwoListBlocks(RWFileSpaceManager& m, std::uint32_t& end) {
  m.Allocate(40);
  std::vector<std::uint32_t> blocks;
  for (int i = 0; i < 70; ++i)
    blocks.push_back(m.Allocate(40));
  end = m.EndOfSpace();
  for (int i = 0; i < 66; i += 2)
    m.Deallocate(blocks[i]);
  return blocks;
}

std::string Bytes(RWFileSpaceManager& m) {
  m.Flush();
  return ReadAll(m.Name());
}

// The head block of an empty list of `n` extents with `marker`.
std::string EmptyListBlock(std::uint16_t marker, std::uint32_t n) {
  std::string block = Words({marker});
  block += std::string(8 * n, '\0');
  block += Words({0, 12});
  return block;
}

}  // namespace

TEST(FileSpaceManager, NewFileIsTheHeaderAndAnEmptyHeadBlock) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  ASSERT_TRUE(m.IsUsable());
  EXPECT_EQ(m.StartOffset(), kNone);
  EXPECT_EQ(m.EndOfSpace(), 280u);
  EXPECT_EQ(m.HeadBlockOffset(), 12u);
  std::string expected = Words({kNone, 280, 268}) + EmptyListBlock(0x1235, 32);
  EXPECT_EQ(Hex(Bytes(m)), Hex(expected));
}

TEST(FileSpaceManager, FirstAllocationBecomesTheStartBlock) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  EXPECT_EQ(m.Allocate(40), 284u);
  EXPECT_EQ(m.StartOffset(), 284u);
  std::string bytes = Bytes(m);
  EXPECT_EQ(Hex(bytes.substr(0, 12)), Hex(Words({284, 324, 268})));
  EXPECT_EQ(Hex(bytes.substr(280)), Hex(Words({44})));
  // Later blocks follow; the start stays.
  EXPECT_EQ(m.Allocate(40), 328u);
  EXPECT_EQ(Word(Bytes(m), 0), 284u);
}

TEST(FileSpaceManager, LengthWordsAreTheSizePlusFourRoundedUp) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 4}, {1, 8}, {4, 8}, {5, 12}, {8, 12}};
  for (auto [size, length] : cases) {
    std::uint32_t at = m.Allocate(size);
    std::uint32_t end = m.EndOfSpace();
    EXPECT_EQ(Word(Bytes(m), at - 4), length) << size;
    EXPECT_EQ(end, at - 4 + length) << size;
  }
  EXPECT_EQ(m.Allocate(0xFFFFFFF9u), kNone);  // beyond 4 GiB
}

TEST(FileSpaceManager, ReleasingTheLastBlockShrinksTheSpace) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  m.Allocate(40);
  std::uint32_t last = m.Allocate(40);
  EXPECT_EQ(m.EndOfSpace(), 368u);
  m.Deallocate(last);
  EXPECT_EQ(m.EndOfSpace(), 324u);
  auto space = Inspect(Bytes(m));
  EXPECT_EQ(space.end, 324u);
  EXPECT_TRUE(space.extents.empty());
  // The next block takes the same place again.
  EXPECT_EQ(m.Allocate(40), last);
}

TEST(FileSpaceManager, NeighboursMergeWithinABlock) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  m.Allocate(40);
  std::uint32_t b[5];
  for (auto& x : b)
    x = m.Allocate(40);  // 44-byte blocks, b[4] keeps the end
  m.Deallocate(b[0]);
  m.Deallocate(b[2]);
  auto space = Inspect(Bytes(m));
  ASSERT_EQ(space.extents.size(), 2u);
  // b[1] touches both: the extent before grows and swallows the one after.
  m.Deallocate(b[1]);
  space = Inspect(Bytes(m));
  ASSERT_EQ(space.extents.size(), 1u);
  EXPECT_EQ(space.extents[0], std::make_pair(b[0] - 4, 132u));
  // An extent that begins where the released block ends moves back.
  std::uint32_t c = m.Allocate(40);  // first fit: the front of the extent
  EXPECT_EQ(c, b[0]);
  m.Deallocate(b[3]);  // right after the extent: the extent grows
  space = Inspect(Bytes(m));
  ASSERT_EQ(space.extents.size(), 1u);
  EXPECT_EQ(space.extents[0], std::make_pair(b[1] - 4, 132u));
  m.Deallocate(c);  // right before the extent: the extent moves its start back
  space = Inspect(Bytes(m));
  ASSERT_EQ(space.extents.size(), 1u);
  EXPECT_EQ(space.extents[0], std::make_pair(b[0] - 4, 176u));
}

TEST(FileSpaceManager, RemainderStaysOnlyWhenEightBytesOrMore) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  m.Allocate(40);
  std::uint32_t a = m.Allocate(40);
  std::uint32_t b = m.Allocate(40);
  m.Allocate(40);
  m.Deallocate(a);
  m.Deallocate(b);                   // one extent of 88
  std::uint32_t x = m.Allocate(76);  // needs 80, leaves 8
  EXPECT_EQ(x, a);
  auto space = Inspect(Bytes(m));
  ASSERT_EQ(space.extents.size(), 1u);
  EXPECT_EQ(space.extents[0], std::make_pair(a - 4 + 80, 8u));
  EXPECT_EQ(Word(Bytes(m), x - 4), 80u);
  m.Deallocate(x);                   // merges back to 88
  std::uint32_t y = m.Allocate(80);  // needs 84, 4 left: the whole extent
  EXPECT_EQ(y, a);
  EXPECT_EQ(Word(Bytes(m), y - 4), 88u);
  EXPECT_TRUE(Inspect(Bytes(m)).extents.empty());
}

TEST(FileSpaceManager, StartBlockAndNoOffsetAreNeverFreed) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  std::uint32_t start = m.Allocate(40);
  m.Allocate(40);
  std::string before = Bytes(m);
  m.Deallocate(start);
  m.Deallocate(kNone);
  EXPECT_EQ(Hex(Bytes(m)), Hex(before));
}

TEST(FileSpaceManager, TenExtentFormIsReadAndKept) {
  TempPath path;
  WriteAll(path.str(), Words({kNone, 104, 92}) + EmptyListBlock(0x1234, 10));
  RWErrorScope errors;
  RWFileSpaceManager m(path.c_str());
  ASSERT_TRUE(m.IsUsable());
  EXPECT_EQ(m.FirstBlockOffset(), 104u);
  EXPECT_EQ(m.Allocate(40), 108u);
  std::vector<std::uint32_t> blocks;
  for (int i = 0; i < 24; ++i)
    blocks.push_back(m.Allocate(40));
  for (int i = 0; i < 22; i += 2)
    m.Deallocate(blocks[i]);  // 11 apart: one more block
  auto space = Inspect(Bytes(m));
  EXPECT_EQ(space.block_size, 92u);
  ASSERT_EQ(space.blocks.size(), 2u);
  EXPECT_EQ(space.counts, (std::vector<std::uint32_t>{10, 1}));
  EXPECT_TRUE(space.ring_closed);
  std::string bytes = Bytes(m);
  EXPECT_EQ(Word(bytes, space.blocks[1]) & 0xFFFF, 0x1234u);
  // The new block sits over its own length word and takes exactly 92 bytes.
  EXPECT_EQ(space.end, space.blocks[1] + 92);
  EXPECT_EQ(errors.Count(), 0u);
}

TEST(FileSpaceManager, FullListGrowsIntoANewBlockAndUnlinksItWhenEmpty) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  std::uint32_t end;
  std::vector<std::uint32_t> blocks = FragmentIntoTwoListBlocks(m, end);
  auto space = Inspect(Bytes(m));
  ASSERT_EQ(space.blocks.size(), 2u);
  EXPECT_EQ(space.blocks[1], end);  // no extent fits 268 bytes: taken at the end
  EXPECT_EQ(space.counts, (std::vector<std::uint32_t>{32, 1}));
  EXPECT_EQ(space.extents.back(), std::make_pair(blocks[64] - 4, 44u));
  EXPECT_EQ(m.EndOfSpace(), end + 268);
  EXPECT_TRUE(space.ring_closed);

  // The loaded block is the new one: its extent goes first, then it is empty,
  // unlinked, and, being last in the file, its bytes shrink the space.
  EXPECT_EQ(m.Allocate(40), blocks[64]);
  space = Inspect(Bytes(m));
  EXPECT_EQ(space.blocks, (std::vector<std::uint32_t>{12}));
  EXPECT_EQ(m.EndOfSpace(), end);
  EXPECT_EQ(space.extents.size(), 32u);
}

TEST(FileSpaceManager, EmptyHeadTakesItsSuccessorsPlace) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  std::uint32_t end;
  std::vector<std::uint32_t> blocks = FragmentIntoTwoListBlocks(m, end);
  const std::uint32_t second = Inspect(Bytes(m)).blocks[1];
  // Nothing fits 100 bytes: the search goes round to the head and stays there.
  std::uint32_t tail = m.Allocate(100);
  EXPECT_EQ(tail, second + 268 + 4);
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(m.Allocate(40), blocks[2 * i]);
  auto space = Inspect(Bytes(m));
  ASSERT_EQ(space.blocks, (std::vector<std::uint32_t>{12}));
  // The successor's extent moved into the head, and its own bytes were freed.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> expected = {{blocks[64] - 4, 44},
                                                                   {second, 268}};
  EXPECT_EQ(space.extents, expected);
}

TEST(FileSpaceManager, ReopenKeepsTheSpace) {
  TempPath path;
  std::vector<std::uint32_t> blocks;
  {
    RWFileSpaceManager m(path.c_str());
    for (int i = 0; i < 10; ++i)
      blocks.push_back(m.Allocate(20 + i));
    m.Deallocate(blocks[3]);
    m.Deallocate(blocks[6]);
  }
  RWFileSpaceManager m(path.c_str());
  EXPECT_STREQ(m.Mode(), "rb+");
  ASSERT_TRUE(m.IsUsable());
  EXPECT_EQ(m.StartOffset(), blocks[0]);
  EXPECT_EQ(m.Allocate(20), blocks[3]);
  EXPECT_EQ(m.Allocate(26), blocks[6]);
}

// A live-block model: random sizes allocated and freed; blocks never overlap,
// their bytes survive, and free plus used space always adds up.
TEST(FileSpaceManager, RandomUseKeepsBlocksApartAndSpaceAccounted) {
  TempPath path;
  RWFileSpaceManager m(path.c_str());
  RWErrorScope errors;
  std::mt19937 rng(1234);
  std::map<std::uint32_t, std::uint32_t> live;  // offset -> block length
  for (int step = 0; step < 3000; ++step) {
    if (live.empty() || rng() % 100 < 55) {
      std::uint32_t size = rng() % 600;
      std::uint32_t at = m.Allocate(size);
      ASSERT_NE(at, kNone);
      std::uint32_t length = (size + 7) & ~3u;
      std::uint32_t stored;
      ASSERT_TRUE(m.ReadWordAt(at - 4, stored));
      ASSERT_GE(stored, length);
      ASSERT_LT(stored, length + 8);
      // Stamp the block so that an overlap would show.
      std::vector<std::uint8_t> stamp(stored - 4, static_cast<std::uint8_t>(at));
      ASSERT_TRUE(m.WriteBytesAt(at, stamp.data(), stored - 4));
      auto next = live.lower_bound(at);
      if (next != live.end()) {
        ASSERT_LE(at - 4 + stored, next->first - 4);
      }
      if (next != live.begin()) {
        auto prev = std::prev(next);
        ASSERT_LE(prev->first - 4 + prev->second, at - 4);
      }
      live[at] = stored;
    } else {
      auto it = live.begin();
      std::advance(it, rng() % live.size());
      if (it->first == m.StartOffset()) continue;
      std::vector<std::uint8_t> seen(it->second - 4);
      ASSERT_TRUE(m.ReadBytesAt(it->first, seen.data(), it->second - 4));
      for (std::uint8_t c : seen)
        ASSERT_EQ(c, static_cast<std::uint8_t>(it->first));
      m.Deallocate(it->first);
      live.erase(it);
    }
  }
  auto space = Inspect(Bytes(m));
  ASSERT_TRUE(space.ring_closed);
  std::uint64_t used = 0;
  for (auto& [at, length] : live)
    used += length;
  std::uint64_t lists = 268ull * (space.blocks.size() - 1);
  std::uint64_t accounted = 280 + used + lists + space.FreeBytes();
  // A list block made from an extent with a 4-byte remainder takes the whole
  // extent but counts as exactly 268 bytes: at most 4 bytes each stay unlisted.
  ASSERT_LE(accounted, space.end);
  EXPECT_EQ((space.end - accounted) % 4, 0u);
  EXPECT_LE(space.end - accounted, 4 * 64u);
  EXPECT_EQ(errors.Count(), 0u);
}

TEST(FileSpaceManager, BadHeaderAndMarkerRaiseTheirErrors) {
  TempPath path;
  {
    WriteAll(path.str(), Words({kNone, 280, 100}) + EmptyListBlock(0x1235, 32));
    RWErrorScope errors;
    RWFileSpaceManager m(path.c_str());
    EXPECT_FALSE(m.IsUsable());
    EXPECT_STREQ(errors.Text(), "[FLIST] Free list size error: expected 268, got 100");
    EXPECT_EQ(m.Allocate(4), kNone);
  }
  {
    WriteAll(path.str(), Words({kNone, 280, 268}) + EmptyListBlock(0x1234, 32));
    RWErrorScope errors;
    RWFileSpaceManager m(path.c_str());
    EXPECT_FALSE(m.IsUsable());
    EXPECT_STREQ(errors.Text(), "[MAGIC] Bad magic number: 4660 (should be 4661)");
  }
  {
    WriteAll(path.str(), Words({kNone, 280, 268}).substr(0, 10));
    RWErrorScope errors;
    RWFileSpaceManager m(path.c_str());
    EXPECT_FALSE(m.IsUsable());
    EXPECT_STREQ(errors.Text(), "[READERR] Read error");
  }
}

TEST(FileSpaceManager, StoredCountsOffsetsAndLengthsAreChecked) {
  TempPath path;
  auto with_head = [&](std::uint32_t count, std::uint32_t offset0, std::uint32_t length0,
                       std::uint32_t next, std::uint32_t end) {
    std::string head = EmptyListBlock(0x1235, 32);
    head.replace(4, 4, Words({offset0}));
    head.replace(132, 4, Words({length0}));
    head.replace(260, 8, Words({count, next}));
    WriteAll(path.str(),
             Words({kNone, end, 268}) + head + std::string(end > 280 ? end - 280 : 0, '\0'));
  };
  struct Case {
    std::uint32_t count, offset0, length0, next, end;
    const char* error;
  } cases[] = {
      {33, 300, 20, 12, 400, "[FLIST] Free list size error: expected 32, got 33"},
      {1, 380, 40, 12, 400, "[FLIST] Free list size error: expected 400, got 380"},  // past the end
      {1, 100, 20, 12, 400,
       "[FLIST] Free list size error: expected 400, got 100"},                      // in the header
      {1, 300, 0, 12, 400, "[FLIST] Free list size error: expected 400, got 300"},  // empty
      {0, 0, 0, 290, 400, "[FLIST] Free list size error: expected 400, got 290"},   // next past end
      {0, 0, 0, 12, 200, "[READERR] Read error"},                                   // end in header
  };
  for (const Case& c : cases) {
    with_head(c.count, c.offset0, c.length0, c.next, c.end);
    RWErrorScope errors;
    RWFileSpaceManager m(path.c_str());
    EXPECT_FALSE(m.IsUsable()) << c.error;
    EXPECT_STREQ(errors.Text(), c.error);
  }

  // A length word that runs past the space fails the release.
  {
    std::remove(path.c_str());
    RWFileSpaceManager m(path.c_str());
    m.Allocate(40);
    std::uint32_t a = m.Allocate(40);
    m.Allocate(40);
    ASSERT_TRUE(m.WriteWordAt(a - 4, 4000));
    RWErrorScope errors;
    m.Deallocate(a);
    EXPECT_STREQ(errors.Text(), "[READERR] Read error");
    EXPECT_FALSE(m.IsUsable());
  }
  // A block given back twice is refused rather than listed twice.
  {
    std::remove(path.c_str());
    RWFileSpaceManager m(path.c_str());
    m.Allocate(40);
    std::uint32_t a = m.Allocate(40);
    m.Allocate(40);
    m.Deallocate(a);
    RWErrorScope errors;
    m.Deallocate(a);
    EXPECT_STREQ(errors.Text(), "[READERR] Read error");
    EXPECT_EQ(Inspect(Bytes(m)).extents.size(), 1u);
  }
}

TEST(FileSpaceManager, RingThatNeverClosesIsBounded) {
  TempPath path;
  {
    RWFileSpaceManager m(path.c_str());
    std::uint32_t end;
    FragmentIntoTwoListBlocks(m, end);
  }
  // The second block points to itself: the ring never comes back to the head.
  std::string bytes = ReadAll(path.str());
  std::uint32_t second = Word(bytes, 12 + 264);
  bytes.replace(second + 264, 4, Words({second}));
  WriteAll(path.str(), bytes);
  RWErrorScope errors;
  RWFileSpaceManager m(path.c_str());
  ASSERT_TRUE(m.IsUsable());
  EXPECT_EQ(m.Allocate(1000), kNone);  // nothing fits: the search goes round
  EXPECT_EQ(errors.Count(), 1u);
  EXPECT_EQ(errors.Entry(), rwtools::FList());
}

// The list keeps copies of its blocks; whatever changes the file under them,
// and however the space moves, a walk meets what reading the file would show.
TEST(FileSpaceManager, KeptListBlocksShowWhatTheFileHolds) {
  struct Case {
    const char* name;
    void (*damage)(RWFileSpaceManager& m, const std::vector<std::uint32_t>& blocks);
    const char* error;  // null: the head's extents pass the end of space
  } cases[] = {
      {"a positioned write over the head's marker",
       [](RWFileSpaceManager& m, const std::vector<std::uint32_t>&) { m.WriteWordAt(12, 0x9999); },
       "[MAGIC] Bad magic number: 39321 (should be 4661)"},
      {"an item written over the head's marker",
       [](RWFileSpaceManager& m, const std::vector<std::uint32_t>&) {
         m.SeekTo(12);
         m.WriteUShort(0x9999);
       },
       "[MAGIC] Bad magic number: 39321 (should be 4661)"},
      {"a length word that ends the space amid the head's extents",
       [](RWFileSpaceManager& m, const std::vector<std::uint32_t>& blocks) {
         m.WriteWordAt(blocks[31] - 4, m.EndOfSpace() - (blocks[31] - 4));
         m.Deallocate(blocks[31]);
       },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempPath path;
    RWFileSpaceManager m(path.c_str());
    // 65 separate free extents of 44 bytes: a ring of the full head, a full
    // second block and a third one of one extent, loaded.
    m.Allocate(40);
    std::vector<std::uint32_t> blocks;
    for (int i = 0; i < 140; ++i)
      blocks.push_back(m.Allocate(40));
    for (int i = 0; i <= 128; i += 2)
      m.Deallocate(blocks[i]);
    auto space = Inspect(Bytes(m));
    ASSERT_EQ(space.counts, (std::vector<std::uint32_t>{32, 32, 1}));
    RWErrorScope errors;
    c.damage(m, blocks);
    ASSERT_EQ(errors.Count(), 0u) << errors.Text();
    // Nothing fits 100 bytes: the search goes from the loaded block to the
    // head, which a damaged image would let it step over, and on.
    EXPECT_EQ(m.Allocate(100), kNone);
    const std::string past_end = "[FLIST] Free list size error: expected " +
                                 std::to_string(blocks[31] - 4) + ", got " +
                                 std::to_string(blocks[32] - 4);
    EXPECT_EQ(errors.Text(), c.error ? std::string(c.error) : past_end);
    EXPECT_FALSE(m.IsUsable());
  }
}

namespace {

// A small heap with two list blocks, live blocks and free extents.
std::string SmallHeap(const std::string& path, std::vector<std::uint32_t>& live) {
  std::remove(path.c_str());
  {
    RWFileSpaceManager m(path.c_str());
    m.Allocate(8);
    std::vector<std::uint32_t> blocks;
    for (int i = 0; i < 72; ++i)
      blocks.push_back(m.Allocate(4 + i % 3 * 4));
    for (int i = 0; i < 72; ++i) {
      if (i % 2 == 0 && i < 68) {
        m.Deallocate(blocks[i]);
      } else {
        live.push_back(blocks[i]);
      }
    }
  }
  return ReadAll(path);
}

// Answers whether the file ended marked in error.
bool Exercise(const std::string& path, const std::vector<std::uint32_t>& live) {
  RWFileSpaceManager m(path.c_str());
  for (int i = 0; i < 3; ++i)
    m.Allocate(10 + 30 * i);
  for (std::uint32_t at : live)
    m.Deallocate(at);
  m.Allocate(500);
  return m.Error();
}

}  // namespace

TEST(FileSpaceManager, TruncationAtEveryByteFailsCleanly) {
  TempPath path;
  std::vector<std::uint32_t> live;
  const std::string whole = SmallHeap(path.str(), live);
  ASSERT_GT(whole.size(), 560u);
  for (std::size_t length = 1; length < whole.size(); ++length) {
    WriteAll(path.str(), whole.substr(0, length));
    RWErrorScope errors;
    EXPECT_TRUE(Exercise(path.str(), live)) << length;
    // Every live block's length word is read: a cut anywhere shows.
    EXPECT_TRUE(IsFileError(errors.Entry())) << errors.Text();
  }
}

TEST(FileSpaceManager, RandomByteFlipsFailCleanly) {
  TempPath path;
  std::vector<std::uint32_t> live;
  const std::string whole = SmallHeap(path.str(), live);
  std::mt19937 rng(20240607);
  for (int round = 0; round < 400; ++round) {
    std::string bytes = whole;
    for (int flips = 1 + rng() % 3; flips > 0; --flips) {
      bytes[rng() % bytes.size()] ^= static_cast<char>(1 + rng() % 255);
    }
    WriteAll(path.str(), bytes);
    RWErrorScope errors;
    // A raise always leaves the file in error.
    bool in_error = Exercise(path.str(), live);
    EXPECT_EQ(in_error, errors.Failed());
    EXPECT_TRUE(!errors.Failed() || IsFileError(errors.Entry())) << errors.Text();
  }
}
