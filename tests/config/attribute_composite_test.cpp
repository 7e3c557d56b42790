// The attribute composite: capacities, handing over of added objects, the
// depth-first child protocol, ownership of what removals answer,
// replacements, merging, activation and the child walks.
#include "config/attributes/attribute_composite.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "tests/persist/probe.h"

namespace {

RWSize Capacity(const GAttributeComposite& c) {
  return c.Children().Capacity();
}

TEST(AttributeComposite, Capacities) {
  GAttributeComposite c(3);
  EXPECT_EQ(Capacity(c), 10u);
  for (std::uint32_t k = 0; k < 11; ++k)
    c.AddChild(new GValueAttribute(0, k));
  EXPECT_EQ(Capacity(c), 74u);
  GAttributeComposite copy(c);
  EXPECT_EQ(Capacity(copy), 74u);  // the source's capacity, not its count
  EXPECT_EQ(copy.EntryCount(), 11u);
  EXPECT_EQ(c.Children().At(0)->ReferenceCount(), 1);  // shared by both
  c.RemoveAll();
  EXPECT_EQ(Capacity(c), 64u);
  for (std::uint32_t k = 0; k < 65; ++k)
    c.AddChild(new GValueAttribute(0, k));
  EXPECT_EQ(Capacity(c), 128u);
  GValueAttribute first(0, 99);
  c.InsertFirst(&first);  // does nothing
  EXPECT_EQ(c.EntryCount(), 65u);
  EXPECT_EQ(c.Children().At(0)->Key(), 0u);
}

// An object offered to AddChild, or to ReplaceCurrent of the composite's
// iterator, is the composite's afterwards: held, or destroyed when refused
// and nobody holds it. An object that counted pointers hold is never
// destroyed by a refusal.
TEST(AttributeComposite, AddedObjectsAreHeldOrRefused) {
  ProbeLeaf::destroyed = 0;
  GAttributeComposite c;
  c.AddChild(nullptr);
  auto* value = new GValueAttribute(1, 1);
  c.AddChild(value);
  EXPECT_EQ(value->ReferenceCount(), 0);
  c.AddChild(new ProbeLeaf(2));  // not an attribute, nobody holds it
  EXPECT_EQ(ProbeLeaf::destroyed, 1);
  GCountedPtr held(new ProbeLeaf(3));
  c.AddChild(held.Get());  // refused, but it stays with its holder
  EXPECT_EQ(ProbeLeaf::destroyed, 1);
  EXPECT_EQ(held->ReferenceCount(), 0);

  std::unique_ptr<MChildIterator> walk(c.NewChildIterator());
  ASSERT_TRUE(walk->Next());
  walk->ReplaceCurrent(new ProbeLeaf(4));
  walk->ReplaceCurrent(nullptr);
  EXPECT_EQ(ProbeLeaf::destroyed, 2);
  EXPECT_EQ(walk->Current(), value);
  walk->ReplaceCurrent(new GValueAttribute(5, 5));
  EXPECT_EQ(ChildKeys(c), std::vector<std::uint32_t>{5});
}

// root(1): value 5, composite 7 { value 9, composite 8 { value 9 } },
// value 9, range 9
struct Tree {
  GAttributeComposite root{1};
  GValueAttribute* five = new GValueAttribute(50, 5);
  GAttributeComposite* seven = new GAttributeComposite(7);
  GValueAttribute* inner_nine = new GValueAttribute(90, 9);
  GAttributeComposite* eight = new GAttributeComposite(8);
  GValueAttribute* deep_nine = new GValueAttribute(91, 9);
  GValueAttribute* last_nine = new GValueAttribute(92, 9);
  GRangeAttribute* range = new GRangeAttribute(0, 10, 1, 3, 9);
  Tree() {
    root.AddChild(five);
    root.AddChild(seven);
    seven->AddChild(inner_nine);
    seven->AddChild(eight);
    eight->AddChild(deep_nine);
    root.AddChild(last_nine);
    root.AddChild(range);
  }
};

TEST(AttributeComposite, FindsAreDepthFirstAndSkipTheComposite) {
  Tree t;
  const std::uint32_t one = 1, eight = 8, nine = 9;
  EXPECT_EQ(t.root.FindByKey(nine), t.inner_nine);  // a grandchild before a later sibling
  EXPECT_EQ(t.seven->FindByKey(eight), t.eight);
  EXPECT_EQ(t.eight->FindByKey(eight), nullptr);  // never itself
  EXPECT_EQ(t.root.FindByKey(one), nullptr);
  EXPECT_EQ(t.root.FindByClassId(kGRangeAttributeId), t.range);
  EXPECT_EQ(t.root.FindKindOf(kGAttributeCompositeId), t.seven);
  EXPECT_EQ(t.eight->FindKindOf(kGAttributeId), t.deep_nine);
  // FindEqual: a composite child only by identity, a leaf by content.
  GValueAttribute equal_to_deep(91, 9);
  EXPECT_EQ(t.root.FindEqual(&equal_to_deep), t.deep_nine);
  EXPECT_EQ(t.root.FindEqual(t.eight), t.eight);
  GAttributeComposite equal_to_eight(8);
  equal_to_eight.AddChild(new GValueAttribute(91, 9));
  EXPECT_TRUE(equal_to_eight.IsEqualContent(t.eight));
  EXPECT_EQ(t.root.FindEqual(&equal_to_eight), nullptr);
  EXPECT_TRUE(t.root.HoldsDescendant(t.deep_nine));
  EXPECT_FALSE(t.root.HoldsDescendant(&equal_to_deep));
  // The finds that answer a counted pointer test the composite only.
  const std::uint32_t seven = 7;
  EXPECT_EQ(t.seven->FindPtrByKey(seven).Get(), t.seven);
  EXPECT_FALSE(t.seven->FindPtrByKey(eight));
  EXPECT_EQ(t.seven->FindPtrByClassId(kGAttributeCompositeId).Get(), t.seven);
  EXPECT_FALSE(t.seven->FindPtrByClassId(kGValueAttributeId));
  EXPECT_FALSE(t.eight->FindPtrEqual(&equal_to_deep));
  EXPECT_EQ(t.eight->FindPtrEqual(&equal_to_eight).Get(), t.eight);
  EXPECT_EQ(t.root.NodeCount(), 8u);
  EXPECT_EQ(t.root.EntryCount(), 4u);
}

TEST(AttributeComposite, SelectionsGatherSharedLeavesIntoANewComposite) {
  Tree t;
  const std::uint32_t seven = 7, nine = 9;
  std::unique_ptr<MPersistentObject> nines(t.root.SelectByKey(nine));
  ASSERT_NE(nines, nullptr);
  EXPECT_EQ(nines->ClassId(), kGAttributeCompositeId);
  EXPECT_EQ(ChildKeys(*nines), (std::vector<std::uint32_t>{9, 9, 9, 9}));
  EXPECT_EQ(t.deep_nine->ReferenceCount(), 1);    // shared, not copied
  EXPECT_EQ(t.root.SelectByKey(seven), nullptr);  // a composite is searched, never collected
  EXPECT_EQ(t.root.SelectKindOf(kGAttributeCompositeId), nullptr);
  std::unique_ptr<MPersistentObject> values(t.root.SelectByClassId(kGValueAttributeId));
  EXPECT_EQ(values->EntryCount(), 4u);
  GAttributeComposite into;
  EXPECT_EQ(t.seven->CollectKindOf(kGAttributeId, &into), &into);
  EXPECT_EQ(ChildKeys(into), (std::vector<std::uint32_t>{9, 9}));
}

TEST(AttributeComposite, RemovalAnswersTheChildOrACopy) {
  Tree t;
  const std::uint32_t nine = 9, eight = 8;
  GCountedPtr other_holder(t.inner_nine);
  MPersistentObject* removed = t.root.RemoveByKey(nine);
  ASSERT_NE(removed, nullptr);
  EXPECT_NE(removed, t.inner_nine);  // a copy: the child stays with its holder
  EXPECT_TRUE(removed->IsEqualContent(t.inner_nine));
  EXPECT_EQ(removed->ReferenceCount(), -1);
  EXPECT_EQ(t.inner_nine->ReferenceCount(), 0);
  EXPECT_EQ(ChildKeys(*t.seven), std::vector<std::uint32_t>{8});
  delete removed;

  MPersistentObject* alone = t.root.RemoveByKey(nine);  // now the deep one, held only here
  EXPECT_EQ(alone, t.deep_nine);
  EXPECT_EQ(alone->ReferenceCount(), -1);
  delete alone;
  EXPECT_EQ(t.root.RemoveChild(t.eight), t.eight);
  delete t.eight;
  EXPECT_EQ(t.root.RemoveByClassId(kGRangeAttributeId), t.range);
  delete t.range;
  EXPECT_EQ(t.root.RemoveByKey(eight), nullptr);
  EXPECT_EQ(t.root.RemoveChild(nullptr), nullptr);
  EXPECT_EQ(ChildKeys(t.root), (std::vector<std::uint32_t>{5, 7, 9}));
}

TEST(AttributeComposite, ReplacementsPutADeepCopyInPlace) {
  Tree t;
  const std::uint32_t nine = 9, five = 5;
  GAttributeComposite replacement(9);
  replacement.AddChild(new GValueAttribute(1, 2));
  EXPECT_TRUE(t.root.ReplaceChildByKey(nine, &replacement));  // ReplaceByKey's other name
  MPersistentObject* placed = t.seven->Children().At(0).Get();
  EXPECT_NE(placed, &replacement);
  EXPECT_TRUE(placed->IsEqualContent(&replacement));
  EXPECT_EQ(replacement.Children().At(0)->ReferenceCount(), 0);  // a deep copy

  ProbeLeaf not_an_attribute(9);
  EXPECT_FALSE(t.root.ReplaceByKey(five, &not_an_attribute));
  EXPECT_FALSE(t.root.ReplaceByKey(five, nullptr));
  GValueAttribute value(7, 77);
  EXPECT_TRUE(t.root.ReplaceChild(t.deep_nine, &value));  // ReplaceObject's
  EXPECT_EQ(t.eight->Children().At(0)->Key(), 77u);
  EXPECT_TRUE(t.root.ReplaceByClassId(kGRangeAttributeId, &value));
  EXPECT_TRUE(t.root.ReplaceKindOf(kGAttributeCompositeId, &value));  // composite 7 itself
  EXPECT_EQ(ChildKeys(t.root), (std::vector<std::uint32_t>{5, 77, 9, 77}));
  EXPECT_EQ(t.root.Entries(), 4u);
  EXPECT_FALSE(t.root.ReplaceByKey(std::uint32_t{1234}, &value));
}

TEST(AttributeComposite, AssignMergesChildrenOrAddsACopy) {
  GAttributeComposite target(4);
  target.AddChild(new GValueAttribute(1, 1));
  GAttributeComposite same(4);
  same.AddChild(new GValueAttribute(2, 2));
  same.AddChild(new GValueAttribute(3, 3));
  target.Assign(same);
  EXPECT_EQ(ChildKeys(target), (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_NE(target.Children().At(1).Get(), same.Children().At(0).Get());  // copies
  GAttributeComposite other_key(5);
  target.Assign(other_key);
  target.Assign(GValueAttribute(6, 6));
  EXPECT_EQ(ChildKeys(target), (std::vector<std::uint32_t>{1, 2, 3, 5, 6}));
  target.Assign(target);  // its own children, once
  EXPECT_EQ(target.EntryCount(), 10u);
}

TEST(AttributeComposite, ActivationReachesDirectChildrenAndItself) {
  Tree t;
  t.root.DeactivateChildren();
  EXPECT_EQ(t.root.State(), 0);
  EXPECT_EQ(t.five->State(), 0);
  EXPECT_EQ(t.seven->State(), 0);
  EXPECT_EQ(t.inner_nine->State(), 1);  // not deeper
  t.root.ActivateChildren();
  EXPECT_EQ(t.root.State(), 1);
  EXPECT_EQ(t.seven->State(), 1);
}

TEST(AttributeComposite, ApplyAndDetectWalkTheDirectChildren) {
  Tree t;
  std::vector<std::uint32_t> seen;
  t.root.Apply(
      [](const GCountedPtr& entry, void* data) {
        static_cast<std::vector<std::uint32_t>*>(data)->push_back(entry->Key());
      },
      &seen);
  EXPECT_EQ(seen, (std::vector<std::uint32_t>{5, 7, 9, 9}));
  const std::uint32_t nine = 9;
  auto key_is = [](const GCountedPtr& entry, void* data) {
    return entry->Key() == *static_cast<const std::uint32_t*>(data);
  };
  EXPECT_EQ(t.root.Detect(key_is, const_cast<std::uint32_t*>(&nine)), t.last_nine);
  // A function that takes children out ends the walk at the new count.
  int calls = 0;
  struct Context {
    GAttributeComposite* root;
    int* calls;
  } context{&t.root, &calls};
  t.root.Apply(
      [](const GCountedPtr&, void* data) {
        auto* c = static_cast<Context*>(data);
        ++*c->calls;
        c->root->RemoveAll();
      },
      &context);
  EXPECT_EQ(calls, 1);
}

}  // namespace
