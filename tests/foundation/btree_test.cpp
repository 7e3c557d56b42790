#include "foundation/rw/btree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "foundation/rw/hashtable.h"
#include "tests/support/graph.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

TEST(BTree, TheHundredAndFirstAscendingInsertSplitsFiftyOneFifty) {
  std::vector<TestItem> items;
  items.reserve(101);
  for (int i = 0; i < 101; ++i)
    items.emplace_back(i);
  RWBTree tree;
  EXPECT_EQ(tree.Height(), 0u);
  for (int i = 0; i < 100; ++i)
    tree.Insert(&items[i]);
  EXPECT_EQ(tree.Height(), 1u);  // one full node
  tree.Insert(&items[100]);
  EXPECT_EQ(tree.Height(), 2u);
  EXPECT_EQ(tree.Count(), 101u);
  // Height 2 with every non-root node at least half full leaves one shape
  // for 101 items: a root holding the middle item over 50 + 50.
  EXPECT_TRUE(tree.CheckInvariants());
  // The root holds the middle item alone: removing it borrows or merges.
  std::vector<int> expected(101);
  for (int i = 0; i < 101; ++i)
    expected[i] = i;
  EXPECT_EQ(ItemValues(tree), expected);
  // Removing one item leaves 100 items that fit one node again.
  EXPECT_EQ(tree.Remove(&items[0]), &items[0]);
  EXPECT_TRUE(tree.CheckInvariants());
  EXPECT_EQ(tree.Height(), 1u);
}

TEST(BTree, EqualItemIsNotInsertedTwice) {
  TestItem a(1), a2(1), b(2);
  RWBTree tree;
  EXPECT_EQ(tree.Insert(&a), &a);
  EXPECT_EQ(tree.Insert(&a2), &a);
  EXPECT_EQ(tree.Count(), 1u);
  EXPECT_EQ(tree.Find(&a2), &a);
  EXPECT_EQ(tree.Find(&b), nullptr);
  EXPECT_EQ(tree.CountOccurrences(&a2), 1u);
  EXPECT_EQ(tree.Remove(&b), nullptr);
  EXPECT_EQ(tree.Remove(&a2), &a);  // the stored item
  EXPECT_TRUE(tree.IsEmpty());
  EXPECT_EQ(tree.Height(), 0u);
}

TEST(BTree, RandomInsertsAndRemovesKeepTheInvariants) {
  std::mt19937 rng(20261207);
  std::vector<std::unique_ptr<TestItem>> pool;
  for (int i = 0; i < 3000; ++i)
    pool.push_back(std::make_unique<TestItem>(i));
  std::map<int, TestItem*> model;
  RWBTree tree;
  for (int step = 0; step < 10000; ++step) {
    int v = static_cast<int>(rng() % pool.size());
    TestItem probe(v);
    if (rng() % 3 != 0) {
      RWCollectable* got = tree.Insert(pool[v].get());
      auto [it, added] = model.emplace(v, pool[v].get());
      ASSERT_EQ(got, it->second);
    } else {
      RWCollectable* got = tree.Remove(&probe);
      auto it = model.find(v);
      ASSERT_EQ(got, it == model.end() ? nullptr : it->second);
      if (it != model.end()) model.erase(it);
    }
    if (step % 500 == 0) {
      ASSERT_TRUE(tree.CheckInvariants()) << step;
    }
  }
  ASSERT_TRUE(tree.CheckInvariants());
  EXPECT_EQ(tree.Count(), model.size());
  std::vector<int> keys;
  for (auto& [k, v] : model)
    keys.push_back(k);
  EXPECT_EQ(ItemValues(tree), keys);
  EXPECT_GE(tree.Height(), 2u);

  // Removing every item in a random order empties the tree completely.
  std::shuffle(keys.begin(), keys.end(), rng);
  for (int k : keys) {
    TestItem probe(k);
    ASSERT_NE(tree.Remove(&probe), nullptr);
  }
  EXPECT_TRUE(tree.IsEmpty());
  EXPECT_EQ(tree.Height(), 0u);
  EXPECT_TRUE(tree.CheckInvariants());
}

TEST(BTree, CopyEqualityAndClear) {
  std::vector<TestItem> items;
  for (int i = 0; i < 300; ++i)
    items.emplace_back(i * 7 % 300);
  RWBTree tree;
  for (auto& item : items)
    tree.Insert(&item);
  RWBTree copy(tree);
  EXPECT_TRUE(copy.IsEqual(&tree));
  EXPECT_TRUE(copy.CheckInvariants());
  copy.Remove(&items[5]);
  EXPECT_FALSE(copy.IsEqual(&tree));
  copy = tree;
  EXPECT_TRUE(copy.IsEqual(&tree));
  copy.Clear();
  EXPECT_TRUE(copy.IsEmpty());
  RWSet set;
  EXPECT_FALSE(tree.IsEqual(&set));
}

TEST(BTreeDictionary, MapOperations) {
  TestItem k1(1), k2(2), k3(3), v1(10), v2(20), v3(30), k1b(1);
  RWBTreeDictionary dict;
  EXPECT_EQ(dict.InsertKeyAndValue(&k2, &v2), &k2);
  EXPECT_EQ(dict.InsertKeyAndValue(&k1, &v1), &k1);
  EXPECT_EQ(dict.InsertKeyAndValue(&k1b, &v3), nullptr);  // present: unchanged
  EXPECT_EQ(dict.FindValue(&k1b), &v1);
  EXPECT_EQ(dict.Find(&k1b), &k1);
  EXPECT_EQ(dict.SetValueForKey(&k3, &v3), nullptr);  // absent: nothing inserted
  EXPECT_EQ(dict.Count(), 2u);
  EXPECT_EQ(dict.SetValueForKey(&k2, &v3), &v2);
  RWCollectable* value = nullptr;
  EXPECT_EQ(dict.FindKeyAndValue(&k2, value), &k2);
  EXPECT_EQ(value, &v3);

  std::vector<std::pair<int, int>> pairs;
  dict.ApplyToKeyAndValue(
      [](RWCollectable* k, RWCollectable* v, void* d) {
        static_cast<std::vector<std::pair<int, int>>*>(d)->emplace_back(
            static_cast<TestItem*>(k)->Value(), static_cast<TestItem*>(v)->Value());
      },
      &pairs);
  EXPECT_EQ(pairs, (std::vector<std::pair<int, int>>{{1, 10}, {2, 30}}));

  std::unique_ptr<RWBTreeDictionary> odd(
      dict.SelectKeys([](const RWCollectable* k,
                         const void*) { return static_cast<const TestItem*>(k)->Value() % 2 == 1; },
                      nullptr));
  EXPECT_EQ(odd->Count(), 1u);
  EXPECT_EQ(odd->FindValue(&k1), &v1);
  std::unique_ptr<RWBTreeDictionary> big(
      dict.SelectPairs([](const RWCollectable*, const RWCollectable* v,
                          const void*) { return static_cast<const TestItem*>(v)->Value() > 20; },
                       nullptr));
  EXPECT_EQ(big->Count(), 1u);

  RWBTreeDictionary copy(dict);
  EXPECT_TRUE(copy.IsEqual(&dict));
  copy.SetValueForKey(&k1, &v2);
  EXPECT_FALSE(copy.IsEqual(&dict));

  EXPECT_EQ(dict.RemoveKeyAndValue(&k1b, value), &k1);
  EXPECT_EQ(value, &v1);
  EXPECT_EQ(dict.Remove(&k2), &k2);
  EXPECT_TRUE(dict.IsEmpty());
}

TEST(BTreeDictionary, OwnershipOfKeysAndValues) {
  int before = TestItem::Live();
  {
    RWBTreeDictionary dict;
    auto* same = new TestItem(1);
    dict.InsertKeyAndValue(same, same);
    auto* k = new TestItem(2);
    auto* v = new TestItem(3);
    dict.InsertKeyAndValue(k, v);
    TestItem probe(1);
    EXPECT_TRUE(dict.RemoveAndDelete(&probe));  // key and value the same: deleted once
    EXPECT_EQ(TestItem::Live(), before + 3);
    // A value shared by two pairs and a key that is also a value.
    auto* shared = new TestItem(9);
    dict.InsertKeyAndValue(new TestItem(4), shared);
    dict.InsertKeyAndValue(new TestItem(5), shared);
    dict.InsertKeyAndValue(v, k);
    dict.ClearAndDelete();
    EXPECT_TRUE(dict.IsEmpty());
  }
  EXPECT_EQ(TestItem::Live(), before);
}

TEST(BTreeDictionary, NeverTakesAnAssociationItHoldsAlready) {
  // An identity association compares its key's address with the other
  // object's, so it never compares equal to itself.
  RWCollectable key;
  auto* a = new RWCollectableIDAssociation(&key, nullptr);
  RWBTreeDictionary dict;
  EXPECT_EQ(dict.Insert(a), a);
  EXPECT_EQ(dict.Insert(a), a);  // answered as the stored one, not taken again
  EXPECT_EQ(dict.Count(), 1u);

  // The same in stored data: a dictionary of count 2 whose second member is
  // a back reference to its first, an identity association (key: a plain
  // collectable, value: the nil object). Objects are numbered dictionary 1,
  // association 2, key 3.
  using testing_support::Encoding;
  using testing_support::Unhex;
  const std::string binary =  // the tokens of the stream form, bytes little-endian
      Unhex(
          "3A 04 80 7B"     /* ':' 0x8004 '{' */
          " 02 00 00 00"    /* count */
          " 3A 5F 80 7B"    /* ':' 0x805F '{' */
          " 3A 07 80 7B 7D" /* ':' 0x8007 '{' '}' */
          " 40 00 00 00 00" /* '@' 0 */
          " 7D"             /* '}' */
          " 40 02 00 00 00" /* '@' 2 */
          " 7D");
  struct Case {
    const char* name;
    std::string bytes;
    bool on_file;
    Encoding encoding;
  } cases[] = {
      // 26 bytes: magic 0x8888, then the tokens of the file form.
      {"file",
       Unhex("88 88 00 00" /* magic */ " 04 80" /* 0x8004 */ " 02 00 00 00" /* count */
             " 5F 80" /* 0x805F */ " 07 80"                                 /* 0x8007, no data */
             " FF FF 00 00 00 00" /* back reference 0 */ " FF FF 02 00 00 00"),
       true, Encoding::kBinary},
      {"binary", binary, false, Encoding::kBinary},
      // The header: 'e' 's' 1, little-endian, sizes 2 4 4 2 4.
      {"headered", Unhex("65 73 01 00 02 04 04 02 04") + binary, false, Encoding::kHeadered},
      // Numbers end with a line feed; '{' and '}' are escaped as \[ and \].
      {"portable", ":32772\n\\[2\n:32863\n\\[:32775\n\\[\\]@0\n\\]@2\n\\]", false,
       Encoding::kPortable},
  };
  ASSERT_EQ(cases[0].bytes.size(), 26u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool ok = false;
    RWCollectable* restored =
        c.on_file ? testing_support::RestoreFromFileBytes(c.bytes, &ok)
                  : testing_support::RestoreFromStreamBytes(c.bytes, c.encoding, &ok);
    EXPECT_TRUE(ok);
    auto* restored_dict = dynamic_cast<RWBTreeDictionary*>(restored);
    ASSERT_NE(restored_dict, nullptr);
    EXPECT_EQ(restored_dict->Count(), 1u);
    // Deleting the dictionary deletes its association once (ASan watches).
    testing_support::DeleteGraph(restored);
  }
}

}  // namespace
