// The enumeration: its choice rules, and a current choice that never
// dangles across removals, replacements, iterator replacements, copies and
// RemoveAll.
#include "config/attributes/enum_attribute.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "tests/persist/probe.h"

namespace {

// An enumeration (key 253) of value attributes with key 0 and the values
// given.
std::unique_ptr<GEnumAttribute> Choices(std::vector<std::uint16_t> values) {
  auto e = std::make_unique<GEnumAttribute>(253);
  for (std::uint16_t v : values)
    e->AddChild(new GValueAttribute(v, 0));
  return e;
}

std::uint16_t ChoiceValue(const GEnumAttribute& e) {
  auto* value = dynamic_cast<GValueAttribute*>(e.GetChoice());
  return value ? value->GetValue() : 0xFFFF;
}

TEST(EnumAttribute, TheFirstChoiceFixesTheClass) {
  ProbeLeaf::destroyed = 0;
  GEnumAttribute e(253);
  auto* three = new GValueAttribute(3, 0);
  e.AddChild(new ProbeLeaf(1));  // no attribute: no class, no choice
  EXPECT_EQ(ProbeLeaf::destroyed, 1);
  EXPECT_EQ(e.GetChoiceClassId(), 0);
  e.AddChild(three);
  EXPECT_EQ(e.GetChoice(), three);
  EXPECT_EQ(e.GetChoiceClassId(), kGValueAttributeId);
  e.AddChild(new GStringAttribute("x", 0));  // another class: refused
  e.AddChild(new GValueAttribute(3, 0));     // equal to a choice: refused
  e.AddChild(three);                         // its own choice: refused, kept
  EXPECT_EQ(three->ReferenceCount(), 0);
  e.AddChild(new GValueAttribute(4, 0));
  EXPECT_EQ(e.EntryCount(), 2u);
  EXPECT_EQ(e.GetChoice(), three);
  e.RemoveAll();
  EXPECT_EQ(e.GetChoice(), nullptr);
  EXPECT_EQ(e.GetChoiceClassId(), kGValueAttributeId);
  e.Assign(*Choices({7}));  // does nothing
  EXPECT_EQ(e.EntryCount(), 0u);
}

TEST(EnumAttribute, RemovalMovesTheChoice) {
  struct Case {
    const char* name;
    std::uint16_t remove;  // the value of the choice removed
    std::uint16_t select;  // current choice before the removal
    std::uint16_t expected;
  };
  const Case cases[] = {
      {"current first", 1, 1, 2},
      {"current last", 3, 3, 1},
      {"not current", 2, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto e = Choices({1, 2, 3});
    ASSERT_NE(e->Select(GValueAttribute(c.select, 0)), nullptr);
    GValueAttribute probe(c.remove, 0);
    std::unique_ptr<MPersistentObject> removed(e->RemoveChild(e->FindEqual(&probe)));
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(ChoiceValue(*e), c.expected);
  }
  auto one = Choices({1});
  const std::uint32_t key = 0;
  std::unique_ptr<MPersistentObject> last(one->RemoveByKey(key));
  EXPECT_EQ(one->GetChoice(), nullptr);
  EXPECT_EQ(one->RemoveByClassId(kGValueAttributeId), nullptr);

  // A choice that another holder shares is handed out as a copy; the
  // choice still moves on.
  auto shared = Choices({1, 2});
  GCountedPtr holder(shared->GetChoice());
  std::unique_ptr<MPersistentObject> copy(shared->RemoveChild(shared->GetChoice()));
  EXPECT_NE(copy.get(), holder.Get());
  EXPECT_EQ(ChoiceValue(*shared), 2);
}

TEST(EnumAttribute, SelectionStopsAtTheEnds) {
  auto e = Choices({1, 2, 3});
  e->SelectPrevious();
  EXPECT_EQ(ChoiceValue(*e), 1);
  e->SelectNext();
  e->SelectNext();
  e->SelectNext();
  EXPECT_EQ(ChoiceValue(*e), 3);
  e->SelectPrevious();
  EXPECT_EQ(ChoiceValue(*e), 2);
  EXPECT_EQ(e->Select(GValueAttribute(9, 0)), nullptr);
  EXPECT_EQ(ChoiceValue(*e), 2);
  GEnumAttribute empty;
  empty.SelectNext();
  empty.SelectPrevious();
  EXPECT_EQ(empty.GetChoice(), nullptr);
}

// Every way of letting go of the current choice leaves a choice that is one
// of the enumeration's descendants.
TEST(EnumAttribute, TheChoiceNeverDangles) {
  const std::uint32_t key = 0;
  auto e = Choices({1, 2, 3});
  e->SelectNext();  // 2
  GValueAttribute replacement(7, 0);
  EXPECT_TRUE(e->ReplaceObject(e->GetChoice(), &replacement));
  EXPECT_EQ(ChoiceValue(*e), 7);  // the child now in its place
  EXPECT_TRUE(e->HoldsDescendant(e->GetChoice()));
  EXPECT_TRUE(e->ReplaceByKey(key, &replacement));  // the first child, not the choice
  EXPECT_EQ(e->Children().At(1).Get(), e->GetChoice());

  std::unique_ptr<MChildIterator> walk(e->NewChildIterator());
  walk->Next();
  walk->Next();
  walk->ReplaceCurrent(new GValueAttribute(8, 0));
  EXPECT_EQ(ChoiceValue(*e), 8);
  EXPECT_TRUE(e->HoldsDescendant(e->GetChoice()));

  // Replacing the enumeration's choices from an enclosing composite.
  GAttributeComposite root;
  root.AddChild(e.release());
  auto* inner = static_cast<GEnumAttribute*>(root.Children().At(0).Get());
  GValueAttribute nine(9, 0);
  EXPECT_TRUE(root.ReplaceObject(inner->GetChoice(), &nine));
  EXPECT_EQ(ChoiceValue(*inner), 9);
  std::unique_ptr<MPersistentObject> removed(root.RemoveChild(inner->GetChoice()));
  EXPECT_TRUE(inner->HoldsDescendant(inner->GetChoice()));
}

TEST(EnumAttribute, CopiesKeepTheChoice) {
  auto e = Choices({1, 2, 3});
  e->SelectNext();
  GEnumAttribute shallow(*e);
  EXPECT_EQ(shallow.GetChoice(), e->GetChoice());  // the choices are shared
  EXPECT_TRUE(shallow.IsEqualContent(e.get()));
  std::unique_ptr<MPersistentObject> deep(e->DeepCopy());
  auto* copy = dynamic_cast<GEnumAttribute*>(deep.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->GetChoice(), e->GetChoice());
  EXPECT_EQ(ChoiceValue(*copy), 2);
  EXPECT_TRUE(copy->HoldsDescendant(copy->GetChoice()));
  EXPECT_TRUE(copy->IsEqualContent(e.get()));
  copy->SelectNext();
  EXPECT_FALSE(copy->IsEqualContent(e.get()));  // another current choice
  std::unique_ptr<MPersistentObject> none(GEnumAttribute(4).DeepCopy());
  EXPECT_EQ(static_cast<GEnumAttribute*>(none.get())->GetChoice(), nullptr);
}

}  // namespace
