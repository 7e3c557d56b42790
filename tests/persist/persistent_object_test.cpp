// The persistent object base: serial numbers, the leaf's child protocol,
// and the persistable integers' comparisons.
#include "persist/persistent_object.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "foundation/rw/hashtable.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_composite.h"
#include "tests/persist/probe.h"

namespace {

TEST(SerialNumbers, FirstIsOneAndTheWrapSkipsZero) {
  MPersistentObject::SetSerialCounter(0);  // as at load
  ProbeLeaf first;
  EXPECT_EQ(first.SerialNumber(), 1u);
  MPersistentObject::SetSerialCounter(0xFFFFFFFFu);
  ProbeLeaf last;
  ProbeLeaf wrapped;
  EXPECT_EQ(last.SerialNumber(), 0xFFFFFFFFu);
  EXPECT_EQ(wrapped.SerialNumber(), 1u);
  EXPECT_EQ(MPersistentObject::SerialCounter(), 2u);
}

TEST(SerialNumbers, ThreadsNeverShareOne) {
  constexpr int kThreads = 8;
  constexpr int kEach = 20000;
  std::vector<std::vector<std::uint32_t>> taken(kThreads);
  std::vector<std::thread> threads;
  for (auto& mine : taken) {
    threads.emplace_back([&mine] {
      for (int i = 0; i < kEach; ++i)
        mine.push_back(ProbeLeaf().SerialNumber());
    });
  }
  for (std::thread& t : threads)
    t.join();
  std::set<std::uint32_t> all;
  for (const auto& mine : taken)
    all.insert(mine.begin(), mine.end());
  EXPECT_EQ(all.size(), std::size_t{kThreads} * kEach);
  EXPECT_EQ(all.count(0), 0u);
}

TEST(SerialNumbers, CopiesKeepThemDeepCopiesOfCompositesTakeNewOnes) {
  ProbeLeaf leaf(3);
  ProbeLeaf copy(leaf);
  EXPECT_EQ(copy.SerialNumber(), leaf.SerialNumber());
  EXPECT_EQ(copy.ReferenceCount(), -1);
  std::unique_ptr<MPersistentObject> leaf_deep(leaf.DeepCopy());
  EXPECT_EQ(leaf_deep->SerialNumber(), leaf.SerialNumber());

  MPersistentComposite tree(40);
  auto* inner = new MPersistentComposite(41);
  tree.AddChild(inner);
  inner->AddChild(new ProbeLeaf(42));
  std::unique_ptr<MPersistentObject> deep(tree.DeepCopy());
  EXPECT_NE(deep->SerialNumber(), tree.SerialNumber());
  EXPECT_EQ(deep->Key(), 40u);
  EXPECT_TRUE(deep->IsEqual(&tree));
  MPersistentObject* inner_copy = deep->FindByKey(41);
  ASSERT_NE(inner_copy, nullptr);
  EXPECT_NE(inner_copy, inner);
  EXPECT_NE(inner_copy->SerialNumber(), inner->SerialNumber());
  EXPECT_EQ(deep->FindByKey(42)->SerialNumber(), inner->FindByKey(42)->SerialNumber());

  // Assignment copies key and serial and leaves the count alone.
  ProbeLeaf target(9);
  GCountedPtr hold(&target);
  target = leaf;
  EXPECT_EQ(target.Key(), 3u);
  EXPECT_EQ(target.SerialNumber(), leaf.SerialNumber());
  EXPECT_EQ(target.ReferenceCount(), 0);
  hold.Detach(CountedPtrLock());

  tree.ClearSerialNumbers();
  EXPECT_EQ(tree.SerialNumber(), 0u);
  EXPECT_EQ(inner->SerialNumber(), 0u);
  EXPECT_EQ(tree.FindByKey(42)->SerialNumber(), 0u);
}

// A leaf answers the child protocol for itself only.
TEST(LeafProtocol, AnswersForItself) {
  GCountedPtr keeper(new GPersistableULong(11));
  MPersistentObject& leaf = *keeper.Get();
  leaf.SetKey(5);
  const std::uint32_t key = 5, other_key = 6;
  EXPECT_EQ(leaf.FindByKey(key), &leaf);
  EXPECT_EQ(leaf.FindByKey(other_key), nullptr);
  EXPECT_EQ(leaf.FindByClassId(kGPersistableULongId), &leaf);
  EXPECT_EQ(leaf.FindKindOf(kMPersistentObjectId), &leaf);
  EXPECT_EQ(leaf.FindKindOf(kGPersistableLongId), nullptr);
  EXPECT_EQ(leaf.SelectByKey(other_key), nullptr);
  std::unique_ptr<MPersistentObject> selection(leaf.SelectByKey(key));
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(selection->ClassId(), kMPersistentCompositeId);
  EXPECT_EQ(selection->EntryCount(), 1u);
  EXPECT_EQ(leaf.ReferenceCount(), 1);  // the keeper and the selection
  selection.reset();
  MPersistentComposite into;
  EXPECT_EQ(leaf.CollectByKey(other_key, &into), &into);
  EXPECT_EQ(leaf.CollectKindOf(kGPersistableULongId, &into), &into);
  EXPECT_EQ(into.EntryCount(), 1u);

  EXPECT_EQ(leaf.EntryCount(), 1u);
  EXPECT_EQ(leaf.NodeCount(), 1u);
  EXPECT_EQ(leaf.AsComposite(), nullptr);
  EXPECT_EQ(leaf.TypeId(), kGPersistableULongId);
  std::unique_ptr<MChildIterator> children(leaf.NewChildIterator());
  EXPECT_FALSE(children->Next());
  EXPECT_EQ(children->Current(), nullptr);

  leaf.AddChild(&leaf);
  EXPECT_EQ(leaf.RemoveByKey(key), nullptr);
  EXPECT_FALSE(leaf.ReplaceByKey(key, &leaf));
  EXPECT_FALSE(leaf.TakeRecordByKey(key));
  EXPECT_EQ(leaf.FindPtrByKey(key).Get(), &leaf);
  EXPECT_FALSE(leaf.FindPtrByKey(other_key));
  into.RemoveAll();
  EXPECT_EQ(leaf.ReferenceCount(), 0);  // the keeper's hold only
}

TEST(PersistableIntegers, CompareAndEqualByClassValueAndKey) {
  GPersistableLong minus_one(-1), zero(0), zero_keyed(0);
  GPersistableULong big(0xFFFFFFFFu), uzero(0);
  zero_keyed.SetKey(8);
  struct Case {
    const RWCollectable* a;
    const RWCollectable* b;
    int compare;
    bool equal;
  };
  const Case cases[] = {
      {&minus_one, &zero, -1, false},  // signed
      {&zero, &minus_one, 1, false},
      {&big, &uzero, 1, false},       // unsigned
      {&zero, &zero_keyed, 0, true},  // keys are not compared by IsEqual
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a->CompareTo(c.b), c.compare);
    EXPECT_EQ(c.a->IsEqual(c.b), c.equal);
  }
  EXPECT_FALSE(zero.IsEqual(&uzero));  // class ids differ
  EXPECT_FALSE(zero.IsEqualContent(&zero_keyed));
  EXPECT_TRUE(zero.IsEqualContent(&zero));
  EXPECT_TRUE(big.IsKindOf(kGPersistableULongId) && big.IsKindOf(kMPersistentObjectId));
  EXPECT_FALSE(big.IsKindOf(kGPersistableLongId));
  EXPECT_EQ(zero.StoredSize(), 20u);
  // Equal keys land in one bucket of a hashed collection, whatever their
  // addresses and keys.
  RWSet set;
  set.Insert(&zero);
  EXPECT_EQ(set.Find(&zero_keyed), &zero);
  set.Clear();
}

}  // namespace
