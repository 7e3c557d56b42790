// Counted pointers: holds and releases, handing a removed object over, the
// vector's capacities and removals, the child iterator, concurrent holders.
#include "persist/counted_ptr.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "foundation/rw/file.h"
#include "persist/persistable_integer.h"
#include "tests/persist/probe.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::Hex;
using testing_support::ReadAll;
using testing_support::Unhex;

TEST(CountedPtr, HoldsReleasesAndDestroysOnce) {
  int destroyed = ProbeLeaf::destroyed;
  auto* leaf = new ProbeLeaf(5);
  EXPECT_EQ(leaf->ReferenceCount(), -1);
  {
    GCountedPtr a(leaf);
    GCountedPtr b(a);
    EXPECT_EQ(leaf->ReferenceCount(), 1);
    b = a;  // same target: no change
    a = a;
    EXPECT_EQ(leaf->ReferenceCount(), 1);
    GCountedPtr moved(std::move(b));
    EXPECT_EQ(leaf->ReferenceCount(), 1);
    EXPECT_FALSE(b);
    a.Reset();
    EXPECT_EQ(leaf->ReferenceCount(), 0);
    GCountedPtr empty;
    empty = GCountedPtr();  // releasing nothing does nothing
    EXPECT_EQ(ProbeLeaf::destroyed, destroyed);
  }
  EXPECT_EQ(ProbeLeaf::destroyed, destroyed + 1);
}

TEST(CountedPtr, DetachHandsOverTheObjectOrACopy) {
  auto* leaf = new ProbeLeaf(7);
  GCountedPtr only(leaf);
  EXPECT_EQ(only.Detach(CountedPtrLock()), leaf);  // the last holder: the object itself
  EXPECT_EQ(leaf->ReferenceCount(), -1);
  EXPECT_FALSE(only);

  GCountedPtr first(leaf);
  GCountedPtr second(leaf);
  MPersistentObject* copy = second.Detach(CountedPtrLock());
  ASSERT_NE(copy, leaf);
  EXPECT_EQ(copy->Key(), 7u);
  EXPECT_EQ(copy->ReferenceCount(), -1);
  EXPECT_EQ(leaf->ReferenceCount(), 0);  // stays with `first`
  delete copy;
}

TEST(CountedPtr, KindCloneAndFactory) {
  GCountedPtr p(new GPersistableLong(-3));
  for (RWClassID id : {kGCountedPtrId, kMPersistentObjectId})
    EXPECT_TRUE(p.IsKindOf(id));
  EXPECT_FALSE(p.IsKindOf(kGPersistableLongId));
  MPersistentObject* clone = p.CloneTarget();
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone, p.Get());
  EXPECT_EQ(clone->ReferenceCount(), -1);
  EXPECT_TRUE(clone->IsEqual(p.Get()));
  delete clone;
  EXPECT_EQ(GCountedPtr().CloneTarget(), nullptr);
  // Registered by id and name, but the factory makes none.
  EXPECT_EQ(StringIdToClassId(RWStringID("GCountedPtr")), kGCountedPtrId);
  EXPECT_EQ(CreateByClassId(kGCountedPtrId), nullptr);
}

// The counted pointer's own stored form, which the every-class walk cannot
// reach (the factory makes none), by hand: nothing of the collectable, then
// the target as one object reference. On a file the outermost reference
// starts with the magic 88 88 00 00; a new object is its class id (778 =
// 0A 03) and its items (base version 1, key 7, serial 9, the class's
// version 1, the value 5: u32 each); the nil object FF FF and 0.
TEST(CountedPtr, StoredFormByHandAndRestores) {
  auto* number = new GPersistableULong(5);
  number->SetKey(7);
  number->SetSerialNumber(9);
  const GCountedPtr full(number), empty;
  const struct {
    const GCountedPtr* pointer;
    const char* file;
    RWSize size;
  } cases[] = {
      {&full, "88 88 00 00 0A 03 01 00 00 00 07 00 00 00 09 00 00 00 01 00 00 00 05 00 00 00", 26},
      {&empty, "88 88 00 00 FF FF 00 00 00 00", 6},
      // Not a model object: an empty set, refused (and freed).
      {nullptr, "88 88 00 00 2B 80 00 00 00 00", 0}};
  testing_support::TempPath path("counted");
  for (const auto& c : cases) {
    if (c.pointer) {
      EXPECT_EQ(c.pointer->StoredSize(), c.size);
      RWFile file(path.c_str(), "wb");
      c.pointer->SaveToFile(file);
    } else {
      testing_support::WriteAll(path.str(), Unhex(c.file));
    }
    EXPECT_EQ(Hex(ReadAll(path.str())), c.file);
    // A restore lets go of the old target (its last holder here) and holds
    // what it reads.
    const int destroyed = ProbeLeaf::destroyed;
    GCountedPtr back(new ProbeLeaf(1));
    RWFile file(path.c_str(), "rb");
    back.RestoreFromFile(file);
    EXPECT_EQ(file.Error(), !c.pointer);
    EXPECT_EQ(ProbeLeaf::destroyed, destroyed + 1);
    EXPECT_TRUE(c.pointer && c.pointer->Get() ? back->IsEqualContent(number) : !back);
  }
}

std::vector<MPersistentObject*> Targets(const GCountedPtrVector& v) {
  std::vector<MPersistentObject*> out;
  for (RWSize i = 0; i < v.Count(); ++i)
    out.push_back(v.At(i).Get());
  return out;
}

TEST(CountedPtrVector, GrowsBy64AndCopiesToItsCount) {
  GCountedPtr leaf(new ProbeLeaf);
  GCountedPtrVector v(10);
  for (int i = 0; i < 10; ++i)
    v.Append(leaf);
  EXPECT_EQ(v.Capacity(), 10u);
  v.Append(v.At(0));  // an entry of the vector itself, moved by the growth
  EXPECT_EQ(v.Capacity(), 74u);
  EXPECT_EQ(v.Count(), 11u);
  EXPECT_EQ(leaf->ReferenceCount(), 11);
  GCountedPtrVector copy(v);
  EXPECT_EQ(copy.Capacity(), 11u);
  EXPECT_EQ(leaf->ReferenceCount(), 22);
  GCountedPtrVector empty(10);
  GCountedPtrVector empty_copy(empty);
  EXPECT_EQ(empty_copy.Capacity(), 0u);
}

TEST(CountedPtrVector, RemovalsKeepOrderAndRelease) {
  GCountedPtr a(new ProbeLeaf(1)), b(new ProbeLeaf(2)), c(new ProbeLeaf(3));
  GCountedPtr stranger(new ProbeLeaf(4));
  GCountedPtrVector v(10);
  for (const GCountedPtr* p : {&b, &a, &c, &b, &a, &b})
    v.Append(*p);

  EXPECT_EQ(v.IndexOf(stranger), 0xFFFFFFFFu);
  EXPECT_FALSE(v.Remove(stranger));
  EXPECT_EQ(v.Count(), 6u);
  EXPECT_EQ(v.Occurrences(b), 3u);
  EXPECT_EQ(v.IndexOf(a), 1u);

  EXPECT_EQ(v.RemoveAllOf(b), 3u);
  EXPECT_EQ(Targets(v), (std::vector<MPersistentObject*>{a.Get(), c.Get(), a.Get()}));
  EXPECT_EQ(b->ReferenceCount(), 0);

  EXPECT_TRUE(v.Remove(a));
  EXPECT_EQ(Targets(v), (std::vector<MPersistentObject*>{c.Get(), a.Get()}));
  GCountedPtr removed = v.RemoveAt(0);
  EXPECT_EQ(removed.Get(), c.Get());
  EXPECT_EQ(c->ReferenceCount(), 1);  // the hold went with the entry
  EXPECT_EQ(v.Capacity(), 10u);       // never shrinks on removal
}

TEST(CountedPtrVector, ResizeBelowTheCountReleasesAndClamps) {
  int destroyed = ProbeLeaf::destroyed;
  GCountedPtrVector v(10);
  for (int i = 0; i < 5; ++i)
    v.Append(GCountedPtr(new ProbeLeaf(i)));
  v.Resize(2);
  EXPECT_EQ(v.Capacity(), 2u);
  EXPECT_EQ(v.Count(), 2u);
  EXPECT_EQ(ProbeLeaf::destroyed, destroyed + 3);
  EXPECT_EQ(v.At(1)->Key(), 1u);
  v.Resize(0);
  EXPECT_EQ(v.Count(), 0u);
  v.Append(GCountedPtr(new ProbeLeaf));  // grows again from nothing
  EXPECT_EQ(v.Capacity(), 64u);
}

TEST(CountedPtrVectorDeathTest, IndexPastTheCountEndsTheProcess) {
  GCountedPtrVector v(10);
  v.Append(GCountedPtr(new ProbeLeaf));
  EXPECT_EXIT(v.RemoveAt(1), testing::ExitedWithCode(1), "INDEXERR");
  EXPECT_EXIT(v.At(1), testing::ExitedWithCode(1), "INDEXERR");
  GChildIterator walk(nullptr, v);
  EXPECT_EXIT(walk.Current(), testing::ExitedWithCode(1), "");  // before the first Next
  EXPECT_EXIT(walk.ReplaceCurrent(new ProbeLeaf), testing::ExitedWithCode(1), "INDEXERR");
}

TEST(ChildIterator, WalksRestartsAndEdits) {
  GCountedPtr a(new ProbeLeaf(1)), b(new ProbeLeaf(2)), x(new ProbeLeaf(9));
  GCountedPtrVector v(10);
  v.Append(a);
  v.Append(b);
  GChildIterator walk(nullptr, v);
  EXPECT_TRUE(walk.Next());
  EXPECT_EQ(walk.Current(), a.Get());
  EXPECT_TRUE(walk.Next());
  EXPECT_FALSE(walk.Next());
  EXPECT_EQ(walk.Index(), -1);
  EXPECT_TRUE(walk.Next());  // starts over
  EXPECT_EQ(walk.Current(), a.Get());

  walk.ReplaceCurrent(x.Get());
  EXPECT_EQ(Targets(v), (std::vector<MPersistentObject*>{x.Get(), b.Get()}));
  EXPECT_EQ(walk.Current(), x.Get());
  EXPECT_EQ(a->ReferenceCount(), 0);
  EXPECT_EQ(x->ReferenceCount(), 1);

  // Taking the current child out and putting another after the position
  // puts it in the taken child's place, and the walk reaches it next.
  EXPECT_TRUE(walk.RemoveCurrent());
  walk.InsertAtCurrent(a.Get());
  EXPECT_TRUE(walk.Next());
  EXPECT_EQ(walk.Current(), a.Get());
  EXPECT_EQ(Targets(v), (std::vector<MPersistentObject*>{a.Get(), b.Get()}));
  EXPECT_EQ(x->ReferenceCount(), 0);
  walk.Reset();
  EXPECT_FALSE(walk.RemoveCurrent());
}

TEST(ChildIterator, ReplaceCurrentOnAnEmptyVectorHoldsOnce) {
  GCountedPtrVector v(10);
  GChildIterator walk(nullptr, v);
  int destroyed = ProbeLeaf::destroyed;
  walk.ReplaceCurrent(new ProbeLeaf);
  ASSERT_EQ(v.Count(), 1u);
  EXPECT_EQ(v.At(0)->ReferenceCount(), 0);  // the vector's hold only
  v.Clear();
  EXPECT_EQ(ProbeLeaf::destroyed, destroyed + 1);
}

// Eight threads, each with a lock record of its own as eight source files
// would have, hold and release one object a million times each; the main
// thread lets go early, so the last thread to finish destroys the object.
TEST(CountedPtr, EightThreadsOfHoldersEndWithOneDestruction) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 1000000;
  int destroyed = ProbeLeaf::destroyed;
  GCountedPtr keeper(new ProbeLeaf);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([mine = keeper]() mutable {
      RWLockRecord own_lock;
      for (int i = 0; i < kRounds; ++i)
        GCountedPtr hold(mine, own_lock);
      mine.Reset(nullptr, own_lock);
    });
  }
  keeper.Reset();
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(ProbeLeaf::destroyed, destroyed + 1);
}

}  // namespace
