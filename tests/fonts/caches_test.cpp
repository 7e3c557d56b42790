// The table and glyph caches: stores, lookups, merges, equality, their
// stored forms pinned by hand, and damaged stored forms.
#include <gtest/gtest.h>

#include <random>

#include "fonts/glyph_cache.h"
#include "fonts/tt_table_cache.h"
#include "output/core/byte_buffer.h"
#include "tests/fonts/font_test_support.h"
#include "tests/persist/media.h"
#include "tests/support/graph.h"

namespace {

using testing_support::Hex;
using testing_support::SaveToFileBytes;
using testing_support::Unhex;
using tt_testing::Bytes;

GByteBuffer* Owned(const std::string& text) {
  return GByteBuffer::NewCopy(Bytes(text), static_cast<std::uint32_t>(text.size()));
}
GByteBuffer* Lent(const std::string& text) {
  return new GByteBuffer(const_cast<std::uint8_t*>(Bytes(text)),
                         static_cast<std::uint32_t>(text.size()), false);
}
std::string Text(const GByteBuffer* buffer) {
  return buffer ? std::string(reinterpret_cast<const char*>(buffer->GetData()), buffer->GetSize())
                : "<none>";
}

TEST(ByteBuffer, DetachHandsOwnedBytesOverAndCopiesLentOnes) {
  std::string lent = "lent";
  std::unique_ptr<GByteBuffer> owned(Owned("own"));
  std::uint8_t* data = owned->GetData();
  std::unique_ptr<std::uint8_t[]> taken(owned->Detach());
  EXPECT_EQ(taken.get(), data);
  EXPECT_FALSE(owned->IsOwned());
  std::unique_ptr<GByteBuffer> borrowed(Lent(lent));
  std::unique_ptr<GByteBuffer> copy(borrowed->DetachToNew());
  ASSERT_TRUE(copy);
  EXPECT_NE(copy->GetData(), borrowed->GetData());
  EXPECT_TRUE(copy->IsOwned());
  EXPECT_EQ(Text(copy.get()), "lent");
  GByteBuffer empty(nullptr, 0, true);
  EXPECT_EQ(empty.Detach(), nullptr);
}

TEST(TableCache, StoresLooksUpAndMergesOnlyEmptySlots) {
  GTTTableCache cache;
  cache.Store(1, Lent("lent"));
  cache.Store(2, RWNew<GByteBuffer>(nullptr, 0, true));
  EXPECT_EQ(cache.Count(), 2u);
  std::unique_ptr<GByteBuffer> one(cache.Lookup(1));
  ASSERT_TRUE(one);
  EXPECT_FALSE(one->IsOwned());
  EXPECT_EQ(Text(one.get()), "lent");
  // A table stored with size 0 comes back as an empty owning buffer.
  std::unique_ptr<GByteBuffer> two(cache.Lookup(2));
  ASSERT_TRUE(two);
  EXPECT_EQ(two->GetSize(), 0u);
  EXPECT_TRUE(two->IsOwned());
  EXPECT_EQ(cache.Lookup(3), nullptr);
  EXPECT_EQ(cache.Lookup(kTTTableSlotCount), nullptr);

  GTTTableCache other;
  other.Store(1, Owned("theirs"));
  other.Store(4, Owned("four"));
  cache.Merge(other);
  EXPECT_EQ(Text(std::unique_ptr<GByteBuffer>(cache.Lookup(1)).get()), "lent");
  EXPECT_EQ(Text(std::unique_ptr<GByteBuffer>(cache.Lookup(4)).get()), "four");
  EXPECT_FALSE(other.Holds(4));
  EXPECT_TRUE(other.Holds(1));
  EXPECT_EQ(cache.Count(), 2u);
  EXPECT_EQ(other.Count(), 2u);
  // Notes go with their slot's bytes, and a store over the slot drops them.
  other.Store(5, Owned("five"));
  other.AddNote(5, GTTCmapNote{16});
  cache.Merge(other);
  EXPECT_NE(cache.FindNote(5, 16), nullptr);
  cache.Store(5, Owned("new"));
  EXPECT_EQ(cache.FindNote(5, 16), nullptr);
}

TEST(TableCache, EqualityLooksAtStatesLengthsAndBytes) {
  struct Case {
    const char* name;
    std::uint32_t slot;
    const char* bytes;
    bool equal;
  };
  const Case cases[] = {{"same", 3, "abc", true},
                        {"other slot", 4, "abc", false},
                        {"other byte", 3, "abd", false},
                        {"shorter", 3, "ab", false}};
  for (const Case& c : cases) {
    GTTTableCache a;
    GTTTableCache b;
    a.SetSerialNumber(1);
    b.SetSerialNumber(2);
    a.Store(3, Owned("abc"));
    b.Store(c.slot, Owned(c.bytes));
    EXPECT_EQ(a.IsEqualContent(&b), c.equal) << c.name;
  }
}

TEST(TableCache, StoredFormByHand) {
  GTTTableCache cache;
  cache.SetSerialNumber(0);
  cache.Store(1, Owned("AB"));
  cache.Store(3, RWNew<GByteBuffer>(nullptr, 0, true));
  // File magic 0x8888; class id 872 (0x368); base: version 1, key 0,
  // serial 0; version 1; slot count 26 (0x1A); count 2; slot 0 empty;
  // slot 1 filled, length 2, "AB"; slot 2 empty; slot 3 filled, length 0;
  // slots 4-25 empty.
  std::string expected =
      "88 88 00 00 68 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 1A "
      "02 00 00 00 00 00 00 00 01 00 00 00 02 00 00 00 41 42 00 00 00 00 01 "
      "00 00 00 00 00 00 00";
  for (int i = 4; i < 26; ++i)
    expected += " 00 00 00 00";
  std::string saved = SaveToFileBytes(&cache);
  EXPECT_EQ(Hex(saved), expected);
  EXPECT_EQ(saved.size(), 4 + 2 + cache.StoredSize());
  std::unique_ptr<RWCollectable> back(testing_support::RestoreFromFileBytes(Unhex(expected)));
  ASSERT_TRUE(back);
  EXPECT_TRUE(cache.IsEqualContent(static_cast<MPersistentObject*>(back.get())));
}

TEST(GlyphCache, PagesSlotsAndMerges) {
  GGlyphCache cache;
  cache.Insert(0x00FF, new GGlyphCacheNode(Owned("a"), nullptr));
  cache.Insert(0x0100, new GGlyphCacheNode(Owned("b"), nullptr));
  EXPECT_EQ(cache.PageCount(), 2u);
  GGlyphCache single;
  single.Insert(0x1234, new GGlyphCacheNode(Owned("x"), nullptr));
  EXPECT_EQ(single.PageCount(), 1u);
  EXPECT_EQ(single.Find(0x1235), nullptr);
  // A second insert fills only what the old node lacked; the count grows.
  cache.Insert(0x00FF, new GGlyphCacheNode(Owned("new"), Owned("second")));
  GGlyphCacheNode* node = cache.Find(0x00FF);
  ASSERT_TRUE(node);
  EXPECT_EQ(Text(std::unique_ptr<GByteBuffer>(node->GetFirst()).get()), "a");
  EXPECT_EQ(Text(std::unique_ptr<GByteBuffer>(node->GetSecond()).get()), "second");
  EXPECT_EQ(cache.Count(), 3u);

  cache.Merge(single);
  EXPECT_TRUE(cache.Find(0x1234));
  EXPECT_FALSE(single.Find(0x1234));
  EXPECT_EQ(single.Count(), 1u);
  EXPECT_EQ(cache.Count(), 3u);
}

TEST(GlyphCache, EqualityByPagesAndFirstBlocks) {
  GGlyphCacheNode a(Owned("same"), Owned("one"));
  GGlyphCacheNode b(Owned("same"), Owned("two"));
  EXPECT_TRUE(a.IsEqualContent(&b));  // second blocks take no part
  GGlyphCache left;
  GGlyphCache right;
  left.Insert(5, new GGlyphCacheNode(Owned("g"), nullptr));
  right.Insert(5, new GGlyphCacheNode(Owned("g"), nullptr));
  EXPECT_TRUE(left.IsEqualContent(&right));
  // A page present on one side only.
  GGlyphCache extra;
  extra.Insert(0x300, new GGlyphCacheNode(Owned("h"), nullptr));
  right.Merge(extra);
  EXPECT_FALSE(left.IsEqualContent(&right));
}

TEST(GlyphCache, StoredFormByHand) {
  GGlyphCacheNode node(Owned("xyz"), Owned("Q"));
  node.SetSerialNumber(0);
  // Magic; class id 870 (0x366); base; version 1; first length 3 "xyz";
  // second length 1 "Q".
  EXPECT_EQ(Hex(SaveToFileBytes(&node)),
            "88 88 00 00 66 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 03 00 00 00 78 "
            "79 7A 01 00 00 00 51");

  GGlyphCache cache;
  cache.SetSerialNumber(0);
  GGlyphCacheNode* inner = new GGlyphCacheNode(Owned("g"), nullptr);
  inner->SetSerialNumber(0);
  cache.Insert(0x1234, inner);
  // Magic; class id 869 (0x365); base; version 1; 256 pages of 256 slots;
  // count 1; page flags 0 but page 0x12, whose slot flags are 0 but slot
  // 0x34, which is followed by the node (class id 870, base, version,
  // first length 1 "g", second length 0).
  std::string expected =
      "88 88 00 00 65 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 "
      "00 01 00 01 01 00 00 00";
  for (int p = 0; p < 256; ++p) {
    expected += p == 0x12 ? " 01 00 00 00" : " 00 00 00 00";
    if (p != 0x12) continue;
    for (int s = 0; s < 256; ++s) {
      expected += s == 0x34 ? " 01 00 00 00" : " 00 00 00 00";
      if (s == 0x34)
        expected +=
            " 66 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 67 00 00 "
            "00 00";
    }
  }
  std::string saved = SaveToFileBytes(&cache);
  EXPECT_EQ(Hex(saved), expected);
  // The stored size counts each node's graph size, as the other classes
  // count what they refer to: a nested node's token is 4 bytes shorter
  // than an outermost one (no file magic).
  EXPECT_EQ(saved.size() + 4, 4 + 2 + cache.StoredSize());
}

// Stored counts beyond the caches' arrays are refused, not read past.
TEST(Caches, OversizedStoredCountsFailTheRead) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::string base = "01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 ";
  const Case cases[] = {
      {"27 table slots", "88 88 00 00 68 03 " + base + "1B 00 00 00 00"},
      {"257 pages", "88 88 00 00 65 03 " + base + "01 01 00 01 00 00 00 00"},
      {"257 slots a page", "88 88 00 00 65 03 " + base + "00 01 01 01 00 00 00 00"},
  };
  for (const Case& c : cases) {
    std::string bytes = Unhex(c.bytes) + std::string(64, '\0');
    bool ok = true;
    std::unique_ptr<RWCollectable> back(testing_support::RestoreFromFileBytes(bytes, &ok));
    EXPECT_FALSE(ok) << c.name;
  }
}

TEST(Caches, DamagedStoredFormsFailCleanly) {
  GTTTableCache tables;
  tables.Store(0, Owned("cmap bytes"));
  tables.Store(7, RWNew<GByteBuffer>(nullptr, 0, true));
  GGlyphCache glyphs;
  glyphs.Insert(3, new GGlyphCacheNode(Owned("glyph"), Owned("converted")));
  glyphs.Insert(0x4321, new GGlyphCacheNode(Owned("other"), nullptr));
  std::mt19937 rng(904);
  for (const MPersistentObject* object : {static_cast<const MPersistentObject*>(&tables),
                                          static_cast<const MPersistentObject*>(&glyphs)}) {
    for (model_testing::Medium medium : model_testing::kAllMedia) {
      model_testing::Restored back =
          model_testing::Restore(model_testing::Save(object, medium), medium);
      ASSERT_TRUE(back.ok) << model_testing::MediumName(medium);
      EXPECT_TRUE(object->IsEqualContent(back.object));
      FreeRestored(back.object);
    }
    model_testing::RestoreRandomFlips(*object, rng, 40);
  }
  model_testing::ExpectEveryTruncationFails(tables);
  GGlyphCache small;
  small.Insert(1, new GGlyphCacheNode(Owned("ab"), nullptr));
  // Every prefix of the stored form, on a file only (the page flags make
  // the stream forms long).
  std::string whole = SaveToFileBytes(&small);
  for (std::size_t n = 0; n < whole.size(); n += 7) {
    model_testing::Restored back =
        model_testing::Restore(whole.substr(0, n), model_testing::Medium::kFile);
    EXPECT_FALSE(back.ok) << n;
    FreeRestored(back.object);
  }
}

}  // namespace
