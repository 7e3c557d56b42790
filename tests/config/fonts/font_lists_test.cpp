// The font lists and their composite: lookups by id, equality, copies
// (deep for the lists' contents, shared for the composite's lists),
// replacement, merging and the kinds and names the factory knows them by.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list_composite.h"
#include "foundation/rw/factory.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_association.h"
#include "persist/persistent_composite.h"
#include "tests/persist/probe.h"

namespace {

MPersistentAssociation* Named(std::uint32_t id, MPersistentObject* value, std::uint32_t key = 0) {
  auto* number = new GPersistableULong(id);
  number->SetKey(key);
  return new MPersistentAssociation(number, value);
}

GDeviceFontDescription Face(const char* name, std::uint32_t kind = 1) {
  GSymbolSetList codes;
  codes.Append(kind);
  return GDeviceFontDescription(name, "", 0, codes, 0, 0, 0, 0, 0, 0, 0, kind);
}

GDeviceFontList* ListOf(std::uint32_t key, std::initializer_list<const char*> faces) {
  auto* list = new GDeviceFontList(key);
  for (const char* face : faces)
    list->AddDescription(Face(face));
  return list;
}

// Short ids name a GStringAttribute; other values, other keys, another
// model key and a missing list answer null.
TEST(FontList, LookupsCompareKeysByContent) {
  GDeviceFontList list(416);
  EXPECT_EQ(list.LookupShortId(5), nullptr);
  EXPECT_EQ(list.LookupLongId(5), nullptr);
  auto* short_ids = new MAssociationList;
  short_ids->SetAssociation(Named(5, new GStringAttribute("Courier", 0)));
  short_ids->SetAssociation(Named(6, new GValueAttribute(1, 0)));
  short_ids->SetAssociation(Named(8, new GStringAttribute("Keyed", 0), 3));
  short_ids->SetAssociation(Named(70000, new GStringAttribute("Long only", 0)));
  list.SetShortIdNames(short_ids);
  auto* long_ids = new MAssociationList;
  long_ids->SetAssociation(Named(70000, new GStringAttribute("Arial", 0)));
  list.SetLongIdNames(long_ids);
  struct Case {
    bool long_id;
    std::uint32_t id;
    const char* text;
  };
  const Case cases[] = {
      {false, 5, "Courier"},
      {false, 6, nullptr},
      {false, 8, nullptr},
      {false, 7, nullptr},
      {true, 70000, "Arial"},
      {true, 5, nullptr},
      {false, 70000 & 0xFFFF, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const char* text =
        c.long_id ? list.LookupLongId(c.id) : list.LookupShortId(static_cast<std::uint16_t>(c.id));
    if (c.text) {
      EXPECT_STREQ(text, c.text);
    } else {
      EXPECT_EQ(text, nullptr);
    }
  }
}

// The stamp is not compared; descriptions in another order, or one list
// missing on one side, make lists unequal.
TEST(FontList, EqualityIgnoresTheStamp) {
  std::unique_ptr<GDeviceFontList> a(ListOf(416, {"A", "B"}));
  std::unique_ptr<GDeviceFontList> b(ListOf(416, {"A", "B"}));
  b->SetSourceStamp(77);
  EXPECT_TRUE(a->IsEqualContent(b.get()));
  std::unique_ptr<GDeviceFontList> swapped(ListOf(416, {"B", "A"}));
  EXPECT_FALSE(a->IsEqualContent(swapped.get()));
  std::unique_ptr<GDeviceFontList> other_key(ListOf(417, {"A", "B"}));
  EXPECT_FALSE(a->IsEqualContent(other_key.get()));
  b->SetLongIdNames(new MAssociationList);
  EXPECT_FALSE(a->IsEqualContent(b.get()));
  a->SetLongIdNames(new MAssociationList);
  EXPECT_TRUE(a->IsEqualContent(b.get()));
}

// Copies own their descriptions and association lists: changing the
// source's changes nothing in the copy. Clear empties everything.
TEST(FontList, CopiesAreDeep) {
  std::unique_ptr<GDeviceFontList> source(ListOf(418, {"A", "B"}));
  source->SetSourceStamp(3);
  auto* names = new MAssociationList;
  names->SetAssociation(Named(1, new GStringAttribute("one", 0)));
  source->SetShortIdNames(names);
  GDeviceFontList copy(*source);
  GDeviceFontList assigned(1);
  assigned.AddDescription(Face("old"));
  assigned = *source;
  names->SetAssociation(Named(1, new GStringAttribute("changed", 0)));
  for (GDeviceFontList* list : {&copy, &assigned}) {
    EXPECT_EQ(list->Key(), 418u);
    EXPECT_EQ(list->GetSourceStamp(), 3u);
    EXPECT_EQ(list->GetCount(), 2u);
    EXPECT_STREQ(list->LookupShortId(1), "one");
    EXPECT_NE(list->GetShortIdNames(), names);
  }
  EXPECT_STREQ(source->LookupShortId(1), "changed");
  auto is_a = [](const GDeviceFontDescription& d, void*) {
    return d.GetFaceName() == RWCString("A") ? 1 : 0;
  };
  GDeviceFontDescription* in_source = nullptr;
  GDeviceFontDescription* in_copy = nullptr;
  ASSERT_EQ(source->FindDescription(is_a, nullptr, in_source), 1);
  ASSERT_EQ(copy.FindDescription(is_a, nullptr, in_copy), 1);
  EXPECT_NE(in_source, in_copy);

  copy.Clear();
  EXPECT_EQ(copy.GetCount(), 0u);
  EXPECT_EQ(copy.GetSourceStamp(), 0u);
  EXPECT_EQ(copy.GetShortIdNames(), nullptr);
}

TEST(FontList, DescriptionsByIndexAndPredicate) {
  std::unique_ptr<GDeviceFontList> list(ListOf(416, {"A", "B", "B"}));
  GDeviceFontDescription out = Face("untouched");
  EXPECT_EQ(list->GetDescriptionAt(3, out), 0);
  EXPECT_EQ(out.GetFaceName(), RWCString("untouched"));
  ASSERT_EQ(list->GetDescriptionAt(2, out), 1);
  EXPECT_EQ(out.GetFaceName(), RWCString("B"));
  auto named = [](const GDeviceFontDescription& d, void* name) {
    return d.GetFaceName() == RWCString(static_cast<const char*>(name)) ? 1 : 0;
  };
  GDeviceFontDescription* found = nullptr;
  EXPECT_EQ(list->FindDescription(named, const_cast<char*>("C"), found), 0);
  EXPECT_EQ(found, nullptr);
  GDeviceFontDescription* first_b = nullptr;
  ASSERT_EQ(list->FindDescription(named, const_cast<char*>("B"), first_b), 1);
  GDeviceFontDescription second;
  list->GetDescriptionAt(1, second);
  EXPECT_TRUE(first_b->IsEqualContent(&second));
}

std::vector<std::uint32_t> Keys(GDeviceFontListComposite& composite) {
  return ChildKeys(composite);
}

// Copies and assignments share the source's lists, take key 414 (a copy)
// or keep their own (an assignment); DeepCopy copies the lists.
TEST(FontListComposite, CopiesShareDeepCopiesCopy) {
  GDeviceFontListComposite source;
  source.SetKey(5);
  source.AddList(ListOf(416, {"A"}));
  source.AddList(ListOf(417, {"B"}));
  GDeviceFontListComposite copy(source);
  EXPECT_EQ(copy.Key(), 414u);
  EXPECT_EQ(copy.FindByKey(416), source.FindByKey(416));
  GDeviceFontListComposite assigned;
  assigned.SetKey(9);
  assigned.AddList(ListOf(420, {}));
  assigned = source;
  EXPECT_EQ(assigned.Key(), 9u);
  EXPECT_EQ(Keys(assigned), (std::vector<std::uint32_t>{416, 417}));
  EXPECT_EQ(assigned.FindByKey(417), source.FindByKey(417));

  std::unique_ptr<MPersistentObject> deep(source.DeepCopy());
  auto* lists = dynamic_cast<GDeviceFontListComposite*>(deep.get());
  ASSERT_NE(lists, nullptr);
  EXPECT_EQ(lists->Key(), 5u);
  EXPECT_NE(lists->FindByKey(416), source.FindByKey(416));
  EXPECT_TRUE(lists->IsEqualContent(&source));
  EXPECT_FALSE(lists->IsEqualContent(&copy));  // other key
  // The inner composite's key (restored from stored data) is copied too.
  source.Lists()->SetKey(3);
  deep.reset(source.DeepCopy());
  EXPECT_TRUE(deep->IsEqualContent(&source));
}

// ReplaceByKey stores a deep copy and takes font lists only; RemoveByKey
// hands the list out.
TEST(FontListComposite, ReplaceStoresACopy) {
  GDeviceFontListComposite composite;
  composite.AddList(ListOf(416, {"A"}));
  std::unique_ptr<GDeviceFontList> replacement(ListOf(416, {"B", "C"}));
  ASSERT_TRUE(composite.ReplaceByKey(416, replacement.get()));
  MPersistentObject* stored = composite.FindByKey(416);
  EXPECT_NE(stored, replacement.get());
  EXPECT_TRUE(stored->IsEqualContent(replacement.get()));
  EXPECT_FALSE(composite.ReplaceByKey(417, replacement.get()));
  GPersistableULong number(1);
  number.SetKey(416);
  EXPECT_FALSE(composite.ReplaceByKey(416, &number));
  std::unique_ptr<MPersistentObject> removed(composite.RemoveByKey(416));
  EXPECT_TRUE(removed->IsEqualContent(replacement.get()));
  EXPECT_EQ(composite.GetCount(), 0u);
  EXPECT_EQ(composite.RemoveByKey(416), nullptr);
}

// MergeFrom replaces lists by key and puts lists of new keys first, in the
// source's order (each at the front); AddCopiesFrom appends copies, itself
// included.
TEST(FontListComposite, MergeReplacesByKeyNewKeysFirst) {
  GDeviceFontListComposite target;
  target.AddList(ListOf(416, {"A"}));
  target.AddList(ListOf(417, {"old"}));
  GDeviceFontListComposite source;
  source.AddList(ListOf(417, {"new"}));
  source.AddList(ListOf(418, {}));
  source.AddList(ListOf(419, {}));
  target.MergeFrom(source);
  EXPECT_EQ(Keys(target), (std::vector<std::uint32_t>{419, 418, 416, 417}));
  EXPECT_TRUE(target.FindByKey(417)->IsEqualContent(source.FindByKey(417)));
  EXPECT_NE(target.FindByKey(417), source.FindByKey(417));
  EXPECT_NE(target.FindByKey(418), source.FindByKey(418));

  target.MergeFrom(target);
  EXPECT_EQ(Keys(target), (std::vector<std::uint32_t>{419, 418, 416, 417}));
  target.AddCopiesFrom(target);
  EXPECT_EQ(Keys(target), (std::vector<std::uint32_t>{419, 418, 416, 417, 419, 418, 416, 417}));
  target.Clear();
  EXPECT_EQ(target.GetCount(), 0u);
}

TEST(FontListClasses, KindsAndRegistration) {
  struct Case {
    RWClassID id;
    const char* name;
    std::uint32_t key;
  };
  const Case cases[] = {{kGDeviceFontDescriptionId, "GDeviceFontDescription", 0},
                        {kGDeviceFontListId, "GDeviceFontList", 0},
                        {kGDeviceFontListCompositeId, "GDeviceFontListComposite", 414}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id);
    std::unique_ptr<RWCollectable> made(CreateByClassId(c.id));
    auto* object = dynamic_cast<MPersistentObject*>(made.get());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->Key(), c.key);
    EXPECT_TRUE(object->IsKindOf(c.id));
    EXPECT_TRUE(object->IsKindOf(kMPersistentObjectId));
    EXPECT_FALSE(object->IsKindOf(kMPersistentCompositeId));
  }
}

}  // namespace
