// The attribute set: an attribute of the same kind and key takes the place
// of the present one, an equal one is refused, and held objects are never
// destroyed by a refusal.
#include "output/core/state.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "tests/persist/media.h"
#include "tests/persist/probe.h"
#include "tests/support/test_support.h"

namespace {

struct Child {
  std::uint32_t key;
  RWClassID id;
  std::uint16_t value;  // of value attributes
};

std::vector<Child> Contents(const GState& state) {
  std::vector<Child> out;
  for (RWSize i = 0; i < state.Children().Count(); ++i) {
    MPersistentObject* c = state.Children().At(i).Get();
    auto* v = dynamic_cast<GValueAttribute*>(c);
    out.push_back({c->Key(), c->ClassId(), static_cast<std::uint16_t>(v ? v->GetValue() : 0)});
  }
  return out;
}

bool operator==(const Child& a, const Child& b) {
  return a.key == b.key && a.id == b.id && a.value == b.value;
}

TEST(State, AddChildReplacesTheSameKindAndKey) {
  ProbeLeaf::destroyed = 0;
  GState state(246);
  auto* first = new GValueAttribute(1, 5);
  state.AddChild(first);
  GCountedPtr old_holder(first);
  state.AddChild(new GValueAttribute(2, 5));  // takes the first one's place
  EXPECT_EQ(first->ReferenceCount(), 0);      // let go of by the set
  GCountedPtr equal(new GValueAttribute(2, 5));
  state.AddChild(equal.Get());  // equal in content: refused, kept by its holder
  EXPECT_EQ(equal->ReferenceCount(), 0);
  state.AddChild(state.Children().At(0).Get());  // the child itself: nothing
  state.AddChild(new GStringAttribute("x", 5));  // another kind: appended
  state.AddChild(new GValueAttribute(3, 6));
  state.AddChild(new ProbeLeaf(7));  // no attribute: destroyed
  state.AddChild(nullptr);
  auto* nested = new GAttributeComposite(8);
  nested->AddChild(new GValueAttribute(4, 6));
  state.AddChild(nested);
  state.AddChild(new GValueAttribute(9, 6));  // only direct children are replaced
  EXPECT_EQ(ProbeLeaf::destroyed, 1);
  const std::vector<Child> expected = {{5, kGValueAttributeId, 2},
                                       {5, kGStringAttributeId, 0},
                                       {6, kGValueAttributeId, 9},
                                       {8, kGAttributeCompositeId, 0}};
  EXPECT_EQ(Contents(state), expected);
  EXPECT_EQ(state.TypeId(), kGStateId);
  EXPECT_TRUE(state.IsKindOf(kGAttributeCompositeId));
}

// No stored part of its own: the composite's form under class id 758.
TEST(State, StoredFormIsTheComposites) {
  GState state(246);
  state.ClearSerialNumbers();
  EXPECT_EQ(testing_support::Hex(model_testing::Save(&state, model_testing::Medium::kFile)),
            "88 88 00 00 F6 02 01 00 00 00 F6 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
            "01 00 00 00 00 00 00 00");
  std::unique_ptr<MPersistentObject> copy(state.DeepCopy());
  EXPECT_EQ(copy->ClassId(), kGStateId);
}

}  // namespace
