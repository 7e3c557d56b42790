// The persistent composite: capacities, the depth-first child protocol,
// ownership of what removals answer, replacement, equality and assignment.
#include "persist/persistent_composite.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "persist/persistable_integer.h"
#include "tests/persist/probe.h"

namespace {

RWSize Capacity(const MPersistentComposite& c) {
  return c.Children().Capacity();
}

TEST(PersistentComposite, Capacities) {
  MPersistentComposite c;
  EXPECT_EQ(Capacity(c), 10u);
  for (std::uint32_t k = 0; k < 10; ++k)
    c.AddChild(new ProbeLeaf(k));
  EXPECT_EQ(Capacity(c), 10u);
  c.AddChild(new ProbeLeaf(10));
  EXPECT_EQ(Capacity(c), 74u);
  MPersistentComposite copy(c);
  EXPECT_EQ(Capacity(copy), 11u);
  EXPECT_EQ(c.Children().At(0)->ReferenceCount(), 1);  // shared by both
  c.RemoveAll();
  EXPECT_EQ(Capacity(c), 64u);
  EXPECT_EQ(c.EntryCount(), 0u);
  MPersistentComposite empty;
  EXPECT_EQ(Capacity(MPersistentComposite(empty)), 0u);
  EXPECT_EQ(Capacity(MPersistentComposite(7)), 10u);
}

// At the child limit (lowered through its seam) AddChild adds nothing: an
// object nobody holds is destroyed, a held one stays with its holder.
// InsertFirst has no limit.
TEST(PersistentComposite, TheChildLimitRefusesAndDestroysOnlyUnheldObjects) {
  const RWSize limit = MPersistentComposite::SetChildLimit(2);
  MPersistentComposite c;
  c.AddChild(new ProbeLeaf(1));
  c.AddChild(new ProbeLeaf(2));
  const int destroyed = ProbeLeaf::destroyed;
  c.AddChild(new ProbeLeaf(3));
  GCountedPtr held(new ProbeLeaf(4));
  c.AddChild(held.Get());
  EXPECT_EQ(ProbeLeaf::destroyed, destroyed + 1);
  c.InsertFirst(new ProbeLeaf(5));
  EXPECT_EQ(ChildKeys(c), (std::vector<std::uint32_t>{5, 1, 2}));
  EXPECT_EQ(MPersistentComposite::SetChildLimit(limit), 2u);
}

TEST(PersistentComposite, InsertFirstAndNull) {
  MPersistentComposite c;
  c.AddChild(new ProbeLeaf(1));
  c.AddChild(new ProbeLeaf(2));
  c.InsertFirst(new ProbeLeaf(9));
  c.AddChild(nullptr);
  c.InsertFirst(nullptr);
  EXPECT_EQ(ChildKeys(c), (std::vector<std::uint32_t>{9, 1, 2}));
}

// root(1): leaf 5, composite 7 { leaf 7, composite 8 { leaf 5 } }, leaf 7
struct Tree {
  MPersistentComposite root{1};
  ProbeLeaf* first_leaf = new ProbeLeaf(5);
  MPersistentComposite* seven = new MPersistentComposite(7);
  ProbeLeaf* inner_seven = new ProbeLeaf(7);
  MPersistentComposite* eight = new MPersistentComposite(8);
  ProbeLeaf* deep_five = new ProbeLeaf(5);
  ProbeLeaf* last_seven = new ProbeLeaf(7);
  Tree() {
    root.AddChild(first_leaf);
    root.AddChild(seven);
    seven->AddChild(inner_seven);
    seven->AddChild(eight);
    eight->AddChild(deep_five);
    root.AddChild(last_seven);
  }
};

TEST(PersistentComposite, FindsAreDepthFirstAndSkipTheComposite) {
  Tree t;
  const std::uint32_t one = 1, seven = 7, eight = 8;
  EXPECT_EQ(t.root.FindByKey(seven), t.seven);  // the composite child itself
  EXPECT_EQ(t.root.FindByKey(eight), t.eight);  // below it, before later siblings
  EXPECT_EQ(t.root.FindByKey(one), nullptr);    // never the root itself
  EXPECT_EQ(t.root.FindByClassId(ProbeLeaf::kId), t.first_leaf);
  EXPECT_EQ(t.seven->FindByClassId(ProbeLeaf::kId), t.inner_seven);
  EXPECT_EQ(t.root.FindKindOf(kMPersistentCompositeId), t.seven);
  ProbeLeaf probe(5);
  EXPECT_EQ(t.seven->FindEqual(&probe), t.deep_five);
  EXPECT_FALSE(t.root.FindPtrByKey(seven));  // tests the root only
  GCountedPtr self = t.root.FindPtrByKey(one);
  EXPECT_EQ(self.Get(), &t.root);
  self.Detach(CountedPtrLock());  // the root lives on the stack
  EXPECT_EQ(t.root.EntryCount(), 3u);
  EXPECT_EQ(t.root.NodeCount(), 7u);
  EXPECT_EQ(MPersistentComposite().NodeCount(), 1u);
}

TEST(PersistentComposite, SelectionsGatherLeavesOnly) {
  Tree t;
  const std::uint32_t seven = 7, eight = 8;
  std::unique_ptr<MPersistentObject> sevens(t.root.SelectByKey(seven));
  ASSERT_NE(sevens, nullptr);
  EXPECT_EQ(ChildKeys(*sevens), (std::vector<std::uint32_t>{7, 7}));
  EXPECT_EQ(sevens->FindByClassId(kMPersistentCompositeId), nullptr);
  EXPECT_EQ(t.inner_seven->ReferenceCount(), 1);  // shared, not copied
  EXPECT_EQ(t.root.SelectByKey(eight), nullptr);  // a composite is never collected
  EXPECT_EQ(t.root.SelectKindOf(kMPersistentCompositeId), nullptr);
  std::unique_ptr<MPersistentObject> leaves(t.root.SelectByClassId(ProbeLeaf::kId));
  EXPECT_EQ(ChildKeys(*leaves), (std::vector<std::uint32_t>{5, 7, 5, 7}));
  MPersistentComposite into;
  EXPECT_EQ(t.root.CollectKindOf(kMPersistentObjectId, &into), &into);
  EXPECT_EQ(into.EntryCount(), 4u);
}

TEST(PersistentComposite, RemovalAnswersTheChildOrACopy) {
  Tree t;
  MPersistentComposite other;
  other.AddChild(t.inner_seven);  // now shared
  const std::uint32_t seven = 7;
  MPersistentObject* removed = t.seven->RemoveByKey(seven);
  ASSERT_NE(removed, nullptr);
  EXPECT_NE(removed, t.inner_seven);  // a copy: the shared child stays
  EXPECT_EQ(removed->ReferenceCount(), -1);
  EXPECT_EQ(t.inner_seven->ReferenceCount(), 0);
  EXPECT_EQ(other.FindByKey(seven), t.inner_seven);
  delete removed;

  int destroyed = ProbeLeaf::destroyed;
  removed = t.root.RemoveChild(t.deep_five);  // depth first, held only here
  EXPECT_EQ(removed, t.deep_five);
  EXPECT_EQ(removed->ReferenceCount(), -1);
  EXPECT_EQ(ProbeLeaf::destroyed, destroyed);
  delete removed;
  EXPECT_EQ(t.root.RemoveChild(nullptr), nullptr);
  EXPECT_EQ(t.root.RemoveByClassId(kGPersistableLongId), nullptr);
  EXPECT_EQ(t.eight->EntryCount(), 0u);
}

TEST(PersistentComposite, ReplacementStoresADeepCopy) {
  Tree t;
  const std::uint32_t missing = 99, eight = 8;
  GPersistableLong replacement(4);
  EXPECT_FALSE(t.root.ReplaceByKey(missing, &replacement));
  EXPECT_EQ(t.root.NodeCount(), 7u);
  EXPECT_TRUE(t.root.ReplaceByKey(eight, &replacement));
  MPersistentObject* stored = t.seven->FindByClassId(kGPersistableLongId);
  ASSERT_NE(stored, nullptr);
  EXPECT_NE(stored, &replacement);
  EXPECT_EQ(stored->ReferenceCount(), 0);
  EXPECT_EQ(replacement.ReferenceCount(), -1);
  EXPECT_EQ(t.root.NodeCount(), 6u);  // leaf 8's two nodes are one now
  EXPECT_TRUE(t.root.ReplaceObject(t.last_seven, &replacement));
  EXPECT_TRUE(t.root.ReplaceKindOf(kGPersistableLongId, &replacement));
  EXPECT_FALSE(t.root.ReplaceByClassId(ProbeLeaf::kId, nullptr));
}

TEST(PersistentComposite, EqualityFollowsChildOrderAndAssignmentShares) {
  auto make = [](std::uint32_t key, std::vector<std::int32_t> values) {
    auto* c = new MPersistentComposite(key);
    for (std::int32_t v : values)
      c->AddChild(new GPersistableLong(v));
    return std::unique_ptr<MPersistentComposite>(c);
  };
  auto ab = make(3, {1, 2}), ab2 = make(3, {1, 2}), ba = make(3, {2, 1}), ab_key = make(4, {1, 2});
  EXPECT_TRUE(ab->IsEqual(ab2.get()));
  EXPECT_FALSE(ab->IsEqual(ba.get()));
  EXPECT_FALSE(ab->IsEqual(ab_key.get()));

  std::uint32_t serial = ab->SerialNumber();
  *ab = *ab2;  // equal content: nothing happens
  EXPECT_EQ(ab->SerialNumber(), serial);
  *ab = *ba;
  EXPECT_EQ(ab->SerialNumber(), ba->SerialNumber());
  EXPECT_EQ(ab->Children().At(0).Get(), ba->Children().At(0).Get());
  EXPECT_EQ(Capacity(*ab), 2u);
  // Assigning a composite's own child to it.
  auto outer = make(1, {});
  outer->AddChild(ba.release());
  *outer = *static_cast<MPersistentComposite*>(outer->Children().At(0).Get());
  EXPECT_EQ(outer->Key(), 3u);
  EXPECT_EQ(outer->EntryCount(), 2u);
}

TEST(PersistentComposite, ForEachAndFindFirstChild) {
  Tree t;
  int visits = 0;
  t.root.ForEachChild([](const GCountedPtr&, void* n) { ++*static_cast<int*>(n); }, &visits);
  EXPECT_EQ(visits, 3);
  std::uint32_t wanted = 7;
  auto key_is = [](const GCountedPtr& e, void* k) {
    return e->Key() == *static_cast<std::uint32_t*>(k);
  };
  EXPECT_EQ(t.root.FindFirstChild(key_is, &wanted), t.seven);
  wanted = 8;
  EXPECT_EQ(t.root.FindFirstChild(key_is, &wanted), nullptr);  // direct children only
}

}  // namespace
