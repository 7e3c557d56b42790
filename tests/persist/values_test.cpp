// What the values, containers and records do beyond their stored forms:
// capability sets growing and answering, the uniqueness rules of mapping
// and association lists, the configuration's handling of duplicates,
// version increments, descriptor and locale equality, byte ownership, and
// deep copies of the lists whose AddChild refuses what it is given.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "persist/binary_data.h"
#include "persist/capabilities.h"
#include "persist/configuration.h"
#include "persist/locale_info.h"
#include "persist/persistent_association.h"
#include "persist/pmd_version_info.h"
#include "persist/pml_descriptor.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"
#include "tests/persist/probe.h"

namespace {

std::vector<std::uint32_t> SetBits(const GCapabilities& set) {
  std::vector<std::uint32_t> bits;
  for (std::uint32_t i = 0; i < set.CapabilityCount(); ++i) {
    if (set.HasCapability(i)) bits.push_back(i);
  }
  return bits;
}

TEST(Capabilities, GrowWhenSetAndAnswerBeyondTheirLength) {
  struct Case {
    const char* name;
    void (*change)(GCapabilities&);
    std::uint32_t count;
    std::vector<std::uint32_t> bits;
  };
  const Case cases[] = {
      {"SetCapability(9) on an empty set", [](GCapabilities& s) { s.SetCapability(9); }, 10, {9}},
      {"SetCapabilities([3, 12, 5])",
       [](GCapabilities& s) {
         const std::uint32_t list[] = {3, 12, 5};
         s.SetCapabilities(list, 3);
       },
       13,
       {3, 5, 12}},
      {"set within the length keeps it",
       [](GCapabilities& s) {
         s.SetCapability(20);
         s.SetCapability(7);
       },
       21,
       {7, 20}},
      {"clearing beyond the length is ignored",
       [](GCapabilities& s) {
         s.SetCapability(2);
         s.ClearCapability(2);
         s.ClearCapability(100);
         const std::uint32_t list[] = {50, 60};
         EXPECT_EQ(s.ClearCapabilities(list, 2), 0);
       },
       3,
       {}},
      {"growing across bytes keeps the old bits",
       [](GCapabilities& s) {
         s.SetCapability(7);
         s.SetCapability(8);
         s.SetCapability(40);
       },
       41,
       {7, 8, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GCapabilities set;
    c.change(set);
    EXPECT_EQ(set.CapabilityCount(), c.count);
    EXPECT_EQ(SetBits(set), c.bits);
    EXPECT_EQ(set.SetCount(), c.bits.size());
    EXPECT_FALSE(set.HasCapability(c.count));
    EXPECT_FALSE(set.HasCapability(0xFFFFFFFFu));
  }

  GCapabilities made(0, 16, 4);
  EXPECT_EQ(made.CapabilityCount(), 16u);
  EXPECT_EQ(SetBits(made), std::vector<std::uint32_t>{4});
  const std::uint32_t some[] = {1, 30};
  GCapabilities listed(0, 8, some, 2);
  EXPECT_EQ(listed.CapabilityCount(), 31u);
}

TEST(Capabilities, ListQueries) {
  GCapabilities set(0, 10);
  set.SetCapability(2);
  set.SetCapability(5);
  const std::uint32_t both[] = {2, 5};
  const std::uint32_t one_clear[] = {2, 3};
  const std::uint32_t beyond[] = {2, 10};
  const std::uint32_t clear_and_beyond[] = {3, 10};
  struct Case {
    const char* name;
    const std::uint32_t* list;
    std::uint16_t n;
    bool all, any, valid;
  };
  const Case cases[] = {
      {"both set", both, 2, true, true, true},
      {"one clear", one_clear, 2, false, true, true},
      {"one beyond the length", beyond, 2, false, true, false},
      {"clear and beyond", clear_and_beyond, 2, false, false, false},
      {"no indexes", both, 0, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(set.HasAllCapabilities(c.list, c.n), c.all);
    EXPECT_EQ(set.HasAnyCapability(c.list, c.n), c.any);
    EXPECT_EQ(set.AllIndexesValid(c.list, c.n), c.valid);
  }

  GCapabilities same(0, 10);
  same.SetCapability(2);
  EXPECT_FALSE(same.IsEqualContent(&set));
  same.SetCapability(5);
  EXPECT_TRUE(same.IsEqualContent(&set));
  GCapabilities longer(0, 11);
  GCapabilities shorter(0, 10);
  EXPECT_FALSE(longer.IsEqualContent(&shorter));
}

TEST(ResourceMappingList, AddsOnlyUniqueMappings) {
  GResourceMappingList list(1);
  auto* first = new GResourceMapping(100, 7, -2);
  EXPECT_TRUE(list.AddMapping(first));
  // The same second number is refused, whatever the rest.
  GResourceMapping same_second(200, 8, -2);
  EXPECT_FALSE(list.AddMapping(&same_second));
  EXPECT_FALSE(list.AddMappingUnique(&same_second));
  // AddMappingUnique also refuses a present string resource id.
  GResourceMapping same_id(100, 9, 4);
  EXPECT_FALSE(list.AddMappingUnique(&same_id));
  auto* second = new GResourceMapping(300, 7, 4);
  EXPECT_TRUE(list.AddMappingUnique(second));
  // AddChild takes nothing.
  GResourceMapping offered(400, 1, 9);
  list.AddChild(&offered);
  EXPECT_EQ(list.EntryCount(), 2u);
  EXPECT_EQ(offered.ReferenceCount(), -1);

  EXPECT_EQ(list.FindBySystemNumber(7), first);  // the first of two
  EXPECT_EQ(list.FindBySecondNumber(4), second);
  EXPECT_EQ(list.FindByStringResourceId(300), second);
  EXPECT_EQ(list.FindBySecondNumber(5), nullptr);
  EXPECT_EQ(list.RemoveByStringResourceId(999), nullptr);

  // A deep copy copies every mapping (AddChild would have dropped them).
  std::unique_ptr<MPersistentObject> copy(list.DeepCopy());
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->IsEqual(&list));
  EXPECT_NE(static_cast<GResourceMappingList*>(copy.get())->FindBySecondNumber(-2), first);

  std::unique_ptr<MPersistentObject> removed(list.RemoveBySystemNumber(7));
  EXPECT_EQ(removed.get(), first);
  EXPECT_EQ(list.FindBySystemNumber(7), second);
  removed.reset(list.RemoveBySecondNumber(4));
  EXPECT_EQ(removed.get(), second);
  EXPECT_EQ(list.EntryCount(), 0u);
}

// At the child limit a mapping is refused as a duplicate is: false, and
// still the caller's (it used to be destroyed behind an answer of true).
TEST(ResourceMappingList, TheChildLimitLeavesAMappingWithItsCaller) {
  const RWSize limit = MPersistentComposite::SetChildLimit(1);
  GResourceMappingList list(1);
  auto first = std::make_unique<GResourceMapping>(100, 7, 1);
  auto second = std::make_unique<GResourceMapping>(200, 8, 2);
  for (auto* mapping : {&first, &second}) {
    if (list.AddMappingUnique(mapping->get())) mapping->release();
  }
  EXPECT_EQ(MPersistentComposite::SetChildLimit(limit), 1u);
  EXPECT_FALSE(first);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->SecondNumber(), 2);
  EXPECT_EQ(list.EntryCount(), 1u);
}

// An association of two mappings: key (id, 0, key_second), value (0, 0, 0).
MPersistentAssociation* Pair(std::uint32_t id, std::int16_t value_second = 0) {
  return new MPersistentAssociation(new GResourceMapping(id, 0, 0),
                                    new GResourceMapping(0, 0, value_second));
}

TEST(AssociationList, KeepsOneAssociationPerKeyObject) {
  MAssociationList list;
  MPersistentAssociation* a = Pair(1);
  MPersistentAssociation* b = Pair(2);
  list.AddChild(a);
  list.AddChild(b);
  // Setting an equal key object replaces the old association, at the end.
  MPersistentAssociation* a2 = Pair(1, 5);
  list.SetAssociation(a2);
  ASSERT_EQ(list.EntryCount(), 2u);
  EXPECT_EQ(list.Children().At(0).Get(), b);
  EXPECT_EQ(list.Children().At(1).Get(), a2);
  // An association already there stays, once.
  list.SetAssociation(a2);
  EXPECT_EQ(list.EntryCount(), 2u);

  GResourceMapping key1(1, 0, 0);
  GResourceMapping key3(3, 0, 0);
  auto* value = dynamic_cast<GResourceMapping*>(list.FindValue(&key1));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->SecondNumber(), 5);
  EXPECT_EQ(list.FindValue(&key3), nullptr);
  EXPECT_EQ(list.RemoveAssociation(&key3), nullptr);
  EXPECT_EQ(list.EntryCount(), 2u);

  // Anything but an association is ignored and stays the caller's.
  GResourceMapping stranger(9, 9, 9);
  list.AddChild(&stranger);
  EXPECT_EQ(list.EntryCount(), 2u);
  EXPECT_EQ(stranger.ReferenceCount(), -1);

  std::unique_ptr<MPersistentObject> copy(list.DeepCopy());
  EXPECT_TRUE(copy->IsEqual(&list));

  std::unique_ptr<MPersistentObject> removed(list.RemoveMatchingAssociation(a2));
  EXPECT_EQ(removed.get(), a2);
  EXPECT_EQ(list.EntryCount(), 1u);
  removed.reset(list.RemoveAssociation(b->Key()));
  EXPECT_EQ(removed.get(), b);
}

TEST(Association, CopiesOwnTheirObjects) {
  auto source = std::make_unique<MPersistentAssociation>(new ProbeLeaf(1), new ProbeLeaf(2), 7);
  MPersistentAssociation copy(*source);
  EXPECT_NE(copy.Key(), source->Key());
  EXPECT_TRUE(copy.Key()->IsEqual(source->Key()));
  EXPECT_EQ(copy.MPersistentObject::Key(), 0u);  // the copy has the default key
  EXPECT_NE(copy.SerialNumber(), source->SerialNumber());

  int destroyed = ProbeLeaf::destroyed.load();
  source.reset();
  EXPECT_EQ(ProbeLeaf::destroyed.load(), destroyed + 2);
  EXPECT_EQ(copy.Key()->Key(), 1u);
  EXPECT_EQ(copy.Value()->Key(), 2u);

  MPersistentAssociation assigned(new ProbeLeaf(3), nullptr);
  assigned = copy;
  EXPECT_EQ(ProbeLeaf::destroyed.load(), destroyed + 3);
  EXPECT_TRUE(assigned.IsEqualContent(&copy));
  assigned = assigned;
  EXPECT_TRUE(assigned.IsEqualContent(&copy));
  MPersistentAssociation no_value(new ProbeLeaf(1), nullptr);
  EXPECT_FALSE(assigned.IsEqualContent(&no_value));

  // A deep copy keeps the key (7) and copies the objects deeply: it equals
  // its source in content.
  auto* held = new MPersistentComposite(4);
  held->AddChild(new ProbeLeaf(5));
  MPersistentAssociation keyed(new ProbeLeaf(1), held, 7);
  std::unique_ptr<MPersistentObject> deep(keyed.DeepCopy());
  EXPECT_TRUE(deep->IsEqualContent(&keyed));
  EXPECT_NE(static_cast<MPersistentAssociation&>(*deep).Value()->FindByKey(5), held->FindByKey(5));
}

TEST(Configuration, RefusesSecondCopiesButNotNestedConfigurations) {
  GConfiguration configuration;
  configuration.AddChild(nullptr);
  configuration.AddChild(new ProbeLeaf(5));
  int destroyed = ProbeLeaf::destroyed.load();
  configuration.AddChild(new ProbeLeaf(5));  // content-equal: destroyed
  EXPECT_EQ(ProbeLeaf::destroyed.load(), destroyed + 1);
  EXPECT_EQ(configuration.EntryCount(), 1u);

  // An equal object that someone else holds is not added and stays theirs.
  MPersistentComposite other;
  auto* held = new ProbeLeaf(5);
  other.AddChild(held);
  configuration.AddChild(held);
  EXPECT_EQ(configuration.EntryCount(), 1u);
  EXPECT_EQ(held->ReferenceCount(), 0);

  configuration.AddChild(new GConfiguration(3));
  configuration.AddChild(new GConfiguration(3));
  configuration.AddChild(new ProbeLeaf(6));
  EXPECT_EQ(ChildKeys(configuration), (std::vector<std::uint32_t>{5, 3, 3, 6}));
}

TEST(VersionInfo, IncrementsAnswerTheOldNumber) {
  struct Case {
    const char* name;
    std::uint32_t before;
    std::int32_t (GPMDVersionInfo::*increment)();
    std::int32_t answer;
    std::uint32_t after;
  };
  const Case cases[] = {
      {"minor A", 0x0001000A, &GPMDVersionInfo::IncrementMinorA, 10, 0x0001000B},
      {"minor A at 0xFFFF", 0x0001FFFF, &GPMDVersionInfo::IncrementMinorA, -1, 0x0001FFFF},
      {"major A", 0x0002000A, &GPMDVersionInfo::IncrementMajorA, 2, 0x00030000},
      {"major A at 0xFFFF", 0xFFFF0003, &GPMDVersionInfo::IncrementMajorA, 0xFFFF, 0xFFFF0003},
      {"minor B", 0x00050000, &GPMDVersionInfo::IncrementMinorB, 0, 0x00050001},
      {"minor B at 0xFFFF", 0x0000FFFF, &GPMDVersionInfo::IncrementMinorB, -1, 0x0000FFFF},
      {"major B", 0x0000FFFF, &GPMDVersionInfo::IncrementMajorB, 0, 0x00010000},
      {"major B at 0xFFFF", 0xFFFFFFFF, &GPMDVersionInfo::IncrementMajorB, 0xFFFF, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool a = c.increment == &GPMDVersionInfo::IncrementMinorA ||
             c.increment == &GPMDVersionInfo::IncrementMajorA;
    GPMDVersionInfo info(a ? c.before : 0x00070007, a ? 0x00070007 : c.before, 1);
    EXPECT_EQ((info.*c.increment)(), c.answer);
    EXPECT_EQ(a ? info.VersionA() : info.VersionB(), c.after);
    EXPECT_EQ(a ? info.VersionB() : info.VersionA(), 0x00070007u);  // the other untouched
  }
}

TEST(VersionInfo, EqualityLooksAtEveryNumberAndLine) {
  GPMDVersionInfo info(1, 2, 3);
  info.AddLine("a");
  GPMDVersionInfo copy(info);
  EXPECT_TRUE(copy.IsEqualContent(&info));
  copy.Lines().Append("a");
  EXPECT_FALSE(copy.IsEqualContent(&info));
  EXPECT_EQ(copy.Lines().CountOf("a"), 2u);
  copy.Lines().RemoveFirst("a");
  EXPECT_TRUE(copy.IsEqualContent(&info));
  copy.SetValueB(9);
  EXPECT_FALSE(copy.IsEqualContent(&info));
  copy = info;
  EXPECT_TRUE(copy.IsEqualContent(&info));
  GPMDVersionInfo other_short(1, 2, 4);
  EXPECT_FALSE(other_short.IsEqualContent(&info));
}

TEST(Descriptor, ComparesByNameOnly) {
  GPMLDescriptor a(u"Memory", 1);
  GPMLDescriptor b(u"Memory", 2);
  b.SetText("different");
  EXPECT_TRUE(a.IsEqualContent(&b));
  GPMLDescriptor lower(u"memory", 1);
  EXPECT_FALSE(a.IsEqualContent(&lower));
  EXPECT_TRUE(GPMLDescriptor(u"Disk", 0).IsLessThan(a));
  EXPECT_FALSE(a.IsLessThan(b));
  EXPECT_TRUE(a.IsLessThan(GPMLDescriptor(u"MemoryX", 0)));
  GPMLDescriptor keyed(b);
  EXPECT_EQ(keyed.Value(), 2u);
  EXPECT_TRUE(keyed.Text() == "different");
}

TEST(LocaleInfo, EveryFieldCountsForEquality) {
  GLocaleInfo locale;
  EXPECT_EQ(locale.Number(10), 409u);
  EXPECT_TRUE(locale.Text(10) == ",");  // sThousand
  using Change = void (*)(GLocaleInfo&);
  const Change changes[] = {
      [](GLocaleInfo& l) { l.SetNumber0(44); }, [](GLocaleInfo& l) { l.SetNumber10(407); },
      [](GLocaleInfo& l) { l.SetText0("am"); }, [](GLocaleInfo& l) { l.SetText10("."); },
      [](GLocaleInfo& l) { l.SetText11(""); },
  };
  for (Change change : changes) {
    GLocaleInfo other;
    change(other);
    EXPECT_FALSE(other.IsEqualContent(&locale));
    GLocaleInfo copy(other);
    EXPECT_TRUE(copy.IsEqualContent(&other));
  }
  EXPECT_FALSE(GLocaleInfo(1).IsEqualContent(&locale));  // keys differ
}

TEST(BinaryData, OwnsOnlyWhatItIsGivenToOwn) {
  static std::uint8_t kept[] = {1, 2, 3};
  GBinaryData borrowed(kept, 3, 0, 5);
  GBinaryData copy(borrowed);  // its own block, default key
  EXPECT_NE(copy.Data(), kept);
  EXPECT_EQ(copy.OwnsData(), 1u);
  EXPECT_EQ(copy.Key(), 0u);
  EXPECT_EQ(std::memcmp(copy.Data(), kept, 3), 0);
  EXPECT_FALSE(copy.IsEqualContent(&borrowed));  // keys differ
  copy.SetKey(5);
  EXPECT_TRUE(copy.IsEqualContent(&borrowed));

  copy.SetData(new std::uint8_t[1]{9}, 1, 1);  // frees the old block
  EXPECT_FALSE(copy.IsEqualContent(&borrowed));
  std::unique_ptr<std::uint8_t[]> taken(copy.ReleaseData());
  EXPECT_EQ(taken[0], 9);
  EXPECT_EQ(copy.Size(), 0u);
  EXPECT_EQ(copy.Data(), nullptr);
  EXPECT_EQ(GBinaryData(GBinaryData()).Data(), nullptr);
  borrowed.Clear();  // not owned: left alone
  EXPECT_EQ(kept[0], 1);
}

TEST(SelectionString, AssignmentCopiesKeySelectionAndText) {
  GSelectionString a("Letter", 3, 8);
  GSelectionString b;
  b = a;
  EXPECT_TRUE(b.IsEqualContent(&a));
  EXPECT_TRUE(b.Text() == "Letter");
  EXPECT_EQ(b.Selection(), 3);
  EXPECT_FALSE(GSelectionString("Letter", 4, 8).IsEqualContent(&a));
  EXPECT_FALSE(GSelectionString("Legal", 3, 8).IsEqualContent(&a));
}

}  // namespace
