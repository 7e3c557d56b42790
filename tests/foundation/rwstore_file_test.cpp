// Object graphs on binary files: golden bytes, sharing, user class names,
// nested outermost saves, and bad or damaged files.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "foundation/rw/association.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/error.h"
#include "foundation/rw/factory.h"
#include "foundation/rw/file.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/slistcollectables.h"
#include "tests/support/graph.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::DeleteGraph;
using testing_support::Hex;
using testing_support::RestoreFromFileBytes;
using testing_support::SaveToFileBytes;
using testing_support::TempPath;
using testing_support::Unhex;

TEST(GraphOnFile, NullPointerIsTheNilObject) {
  std::string bytes = SaveToFileBytes(nullptr);
  EXPECT_EQ(Hex(bytes), "88 88 00 00 FF FF 00 00 00 00");
  EXPECT_EQ(GraphStoreSizeOf(nullptr), 10u);
  bool ok = false;
  EXPECT_EQ(RestoreFromFileBytes(bytes, &ok), nullptr);
  EXPECT_TRUE(ok);
}

TEST(GraphOnFile, SharedMemberIsStoredOnce) {
  RWCollectable shared;
  RWSlistCollectables list;
  list.Append(&shared);
  list.Append(&shared);
  std::string bytes = SaveToFileBytes(&list);
  // magic | list 0x8033, count 2 | new RWCollectable | back reference to 2
  EXPECT_EQ(Hex(bytes), "88 88 00 00 33 80 02 00 00 00 07 80 FF FF 02 00 00 00");
  EXPECT_EQ(list.GraphStoreSize(), bytes.size());

  RWCollectable* restored = RestoreFromFileBytes(bytes);
  auto* back = dynamic_cast<RWSlistCollectables*>(restored);
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Count(), 2u);
  EXPECT_EQ(back->At(0), back->At(1));
  EXPECT_NE(back->At(0), &shared);
  DeleteGraph(restored);
}

TEST(GraphOnFile, CycleComesBack) {
  RWSlistCollectables list;
  list.Append(&list);
  std::string bytes = SaveToFileBytes(&list);
  EXPECT_EQ(Hex(bytes), "88 88 00 00 33 80 01 00 00 00 FF FF 01 00 00 00");
  auto* back = dynamic_cast<RWSlistCollectables*>(RestoreFromFileBytes(bytes));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->First(), back);
  DeleteGraph(back);
}

TEST(GraphOnFile, AssociationAndDictionary) {
  RWCollectable key;
  RWCollectableAssociation assoc(&key, nullptr);  // a null value is the nil object
  std::string bytes = SaveToFileBytes(&assoc);
  EXPECT_EQ(Hex(bytes), "88 88 00 00 08 80 07 80 FF FF 00 00 00 00");
  EXPECT_EQ(assoc.GraphStoreSize(), bytes.size());
  auto* back = dynamic_cast<RWCollectableAssociation*>(RestoreFromFileBytes(bytes));
  ASSERT_NE(back, nullptr);
  EXPECT_NE(back->Key(), nullptr);
  EXPECT_EQ(back->Value(), nullptr);
  DeleteGraph(back);

  RWCollectableAssociation no_key;  // both null: no crash, two nil references
  EXPECT_EQ(Hex(SaveToFileBytes(&no_key)), "88 88 00 00 08 80 FF FF 00 00 00 00 FF FF 00 00 00 00");

  RWCollectable value;
  RWBTreeDictionary dict;
  dict.InsertKeyAndValue(&key, &value);
  bytes = SaveToFileBytes(&dict);
  EXPECT_EQ(Hex(bytes), "88 88 00 00 04 80 01 00 00 00 08 80 07 80 07 80");
  EXPECT_EQ(dict.GraphStoreSize(), bytes.size());
  auto* dict_back = dynamic_cast<RWBTreeDictionary*>(RestoreFromFileBytes(bytes));
  ASSERT_NE(dict_back, nullptr);
  EXPECT_EQ(dict_back->Count(), 1u);
  DeleteGraph(dict_back);
}

TEST(GraphOnFile, SameObjectTwiceInOneSaveButFullInTwoSaves) {
  RWCollectable object;
  TempPath path;
  {
    RWFile file(path.c_str(), "wb");
    RWSlistCollectables outer;  // one outermost save holding two references
    outer.Append(&object);
    outer.Append(&object);
    outer.SaveGraphToFile(file);
    // A second outermost save on the same file starts a new table.
    object.SaveGraphToFile(file);
  }
  EXPECT_EQ(Hex(testing_support::ReadAll(path.str())),
            "88 88 00 00 33 80 02 00 00 00 07 80 FF FF 02 00 00 00 "
            "88 88 00 00 07 80");
}

TEST(GraphOnFile, FirstObjectIsNumberOne) {
  RWSlistCollectables list;
  list.Append(&list);
  list.Append(&list);
  EXPECT_EQ(Hex(SaveToFileBytes(&list)),
            "88 88 00 00 33 80 02 00 00 00 FF FF 01 00 00 00 FF FF 01 00 00 00");
}

// A user class: stored with its name instead of its id.
class UserThing : public RWCollectable {
 public:
  static constexpr RWClassID kId = 0x9123;
  RWClassID ClassId() const override { return kId; }
};

TEST(GraphOnFile, UserClassesAreStoredByName) {
  AddClassToFactory([]() -> RWCollectable* { return new UserThing; }, UserThing::kId, "UserThing");
  UserThing a, b;
  RWSlistCollectables list;
  list.Append(&a);
  list.Append(&b);
  std::string bytes = SaveToFileBytes(&list);
  // a is number 2 and its new name 3; b (4) refers to the name by number.
  EXPECT_EQ(Hex(bytes),
            "88 88 00 00 33 80 02 00 00 00 "
            "8F 88 09 00 00 00 55 73 65 72 54 68 69 6E 67 "
            "8E 88 03 00 00 00");
  EXPECT_EQ(list.GraphStoreSize(), bytes.size());
  auto* back = dynamic_cast<RWSlistCollectables*>(RestoreFromFileBytes(bytes));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Count(), 2u);
  EXPECT_NE(dynamic_cast<UserThing*>(back->At(0)), nullptr);
  EXPECT_NE(dynamic_cast<UserThing*>(back->At(1)), nullptr);
  DeleteGraph(back);

  // A name reference that names an object entry is refused.
  RWErrorScope scope;
  bool ok = true;
  RWCollectable* bad = RestoreFromFileBytes(
      Unhex("88 88 00 00 33 80 02 00 00 00 8F 88 09 00 00 00 55 73 65 72 54 68 69 6E 67 "
            "8E 88 02 00 00 00"),
      &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(scope.Entry(), rwtools::Ref());
  DeleteGraph(bad);
  RemoveClassIdFromFactory(UserThing::kId);
  RemoveStringIdFromFactory("UserThing");
}

// Saves and restores another graph on a file of its own while it is being
// saved or restored itself.
class Nester : public RWCollectable {
 public:
  static constexpr RWClassID kId = 0x0FA1;
  static inline std::string side_path;
  RWClassID ClassId() const override { return kId; }
  void SaveToFile(RWFile& file) const override {
    RWFile side(side_path.c_str(), "wb");
    RWSlistCollectables inner;
    inner.Append(RWNilCollectable());
    inner.SaveGraphToFile(side);
    file.WriteUInt(7);
  }
  void RestoreFromFile(RWFile& file) override {
    RWFile side(side_path.c_str(), "rb");
    RWCollectable* inner = nullptr;
    ReadCollectablePointerFromFile(side, inner);
    inner_ok = inner && !side.Error();
    DeleteGraph(inner);
    std::uint32_t seven = 0;
    file.ReadUInt(seven);
    inner_ok = inner_ok && seven == 7;
  }
  bool inner_ok = false;
};

TEST(GraphOnFile, UnrelatedNestedOperationsHaveTheirOwnTables) {
  TempPath side;
  Nester::side_path = side.str();
  AddClassToFactory([]() -> RWCollectable* { return new Nester; }, Nester::kId, "Nester");
  Nester nester;
  RWSlistCollectables outer;
  outer.Append(&nester);
  outer.Append(&nester);
  std::string bytes = SaveToFileBytes(&outer);
  EXPECT_EQ(Hex(bytes), "88 88 00 00 33 80 02 00 00 00 A1 0F 07 00 00 00 FF FF 02 00 00 00");
  // The side file is a whole graph of its own, magic included.
  EXPECT_EQ(Hex(testing_support::ReadAll(side.str())),
            "88 88 00 00 33 80 01 00 00 00 FF FF 00 00 00 00");
  auto* back = dynamic_cast<RWSlistCollectables*>(RestoreFromFileBytes(bytes));
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Count(), 2u);
  EXPECT_TRUE(static_cast<Nester*>(back->At(0))->inner_ok);
  EXPECT_EQ(back->At(0), back->At(1));
  DeleteGraph(back);
  RemoveClassIdFromFactory(Nester::kId);
  RemoveStringIdFromFactory("Nester");
}

// The default handler stays in force: an error that reached it would end
// the test program. The caller's scope receives the reader's error.
TEST(GraphOnFile, BadInputIsReportedAndNeverTrusted) {
  struct Case {
    const char* hex;
    const RWCatalogueEntry* entry;  // null: nothing raised
    const char* text;
  } cases[] = {
      {"89 88 00 00 07 80", rwtools::Magic(), "[MAGIC] Bad magic number: 34953 (should be 34952)"},
      {"88 88 00 00 34 12", rwtools::NoCreate(),
       "[NOCREATE] RWFactory: no create function for class with ID 4660 (0x1234)"},
      {"88 88 00 00 FF FF 01 00 00 00", rwtools::Ref(), "[REF] Bad persistence reference"},
      {"88 88 00 00 FF FF FF FF FF FF", rwtools::Ref(), "[REF] Bad persistence reference"},
      {"88 88 00 00 FF FF 00 00 00 80", rwtools::Ref(), "[REF] Bad persistence reference"},
      {"", nullptr, ""},  // an empty file: nothing to read, nothing raised
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    RWErrorScope scope;
    bool ok = true;
    EXPECT_EQ(RestoreFromFileBytes(Unhex(c.hex), &ok), nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(scope.Entry(), c.entry);
    EXPECT_STREQ(scope.Text(), c.text);
  }

  // A count far beyond the data: the restore stops with the data.
  auto* list = dynamic_cast<RWSlistCollectables*>(
      RestoreFromFileBytes(Unhex("88 88 00 00 33 80 FF FF FF FF 07 80")));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), 1u);
  DeleteGraph(list);
}

TEST(GraphOnFile, RestoreIntoAnExistingObject) {
  TempPath path;
  TestItemRegistration registration;
  TestItem original(42);
  {
    RWFile file(path.c_str(), "wb");
    original.SaveGraphToFile(file);
  }
  TestItem target;
  RWFile file(path.c_str(), "rb");
  EXPECT_EQ(RestoreCollectableFromFile(file, &target), &target);
  EXPECT_EQ(target.Value(), 42);
}

// An embedded part takes only a new object of its own class; any other
// token names the fault and fails the file.
TEST(GraphOnFile, RestoreIntoAnEmbeddedPart) {
  TestItemRegistration registration;
  struct Case {
    const char* name;
    const char* token;  // after the magic
    bool ok;
    const char* error;
  };
  const Case cases[] = {
      {"its class", "A0 0F 2A 00 00 00", true, ""},
      {"another class", "A1 0F 2A 00 00 00", false,
       "[ID] Unexpected class ID 4001; should be 4000"},
      {"the nil object", "FF FF 00 00 00 00", false, "[REF] Bad persistence reference"},
      {"itself, referred back", "FF FF 01 00 00 00", false, "[REF] Bad persistence reference"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempPath path;
    testing_support::WriteAll(path.str(), Unhex(std::string("88 88 00 00 ") + c.token));
    TestItem part(7);
    RWErrorScope errors;
    RWFile file(path.c_str(), "rb");
    EXPECT_EQ(RestoreCollectableFromFile(file, &part, TestItem::kId), c.ok ? &part : nullptr);
    EXPECT_EQ(file.Error(), !c.ok);
    EXPECT_EQ(part.Value(), c.ok ? 42 : 7);
    EXPECT_STREQ(errors.Text(), c.error);
  }
}

// A graph with every library collection, for the damage tests.
// What a collection refuses on restore is freed when the read ends, once,
// with what only it holds, cycles included; what the graph holds elsewhere
// stays. By hand, on a file: the magic 88 88 00 00; a set (2B 80), a list
// (33 80) or an association (08 80), a collection's count (u32); items
// (A0 0F) and their value; FF FF and the number of an object read before
// (the first is 1). A set takes the first of two equal members only, and
// an association is equal to another with an equal key.
TEST(GraphOnFile, RefusedMembersAreFreedOnceWhenNothingElseHoldsThem) {
  TestItemRegistration registration;
  const std::string seven = "A0 0F 07 00 00 00 ";
  const std::pair<std::string, int> cases[] = {
      // the bytes, the items kept
      {"2B 80 02 00 00 00 " + seven + seven, 1},
      // list 1 [ set 2 { 7 (3), 7 (4) }, 4 ]: the list holds the refused 7.
      {"33 80 02 00 00 00 2B 80 02 00 00 00 " + seven + seven + "FF FF 04 00 00 00", 2},
      // set 1 { assoc 2 (7, nil), assoc 4 (7, list 6 [ assoc 4 ]) }.
      {"2B 80 02 00 00 00 08 80 " + seven + "FF FF 00 00 00 00 08 80 " + seven +
           "33 80 01 00 00 00 FF FF 04 00 00 00",
       1}};
  for (const auto& [bytes, kept] : cases) {
    const int live = TestItem::Live();
    bool ok = false;
    RWCollectable* read = RestoreFromFileBytes(Unhex("88 88 00 00 " + bytes), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(TestItem::Live(), live + kept);
    DeleteGraph(read);
    EXPECT_EQ(TestItem::Live(), live);
  }
}

std::string DamageSample() {
  static TestItem items[6] = {TestItem(1), TestItem(2), TestItem(3),
                              TestItem(4), TestItem(5), TestItem(6)};
  RWSlistCollectables list;
  RWSet set;
  RWBTree tree;
  RWBTreeDictionary dict;
  RWSlistCollectablesStack stack;
  list.Append(&set);
  list.Append(&tree);
  list.Append(&dict);
  list.Append(&stack);
  list.Append(&items[0]);
  set.Insert(&items[1]);
  set.Insert(&items[0]);
  tree.Insert(&items[2]);
  tree.Insert(&items[3]);
  dict.InsertKeyAndValue(&items[4], &items[5]);
  stack.Push(&items[1]);
  return SaveToFileBytes(&list);
}

TEST(GraphOnFile, TruncationAtEveryByteEndsCleanly) {
  TestItemRegistration registration;
  std::string whole = DamageSample();
  RWCollectable* full = RestoreFromFileBytes(whole);
  ASSERT_NE(full, nullptr);
  DeleteGraph(full);
  int live = TestItem::Live();
  for (std::size_t n = 0; n < whole.size(); ++n) {
    bool ok = true;
    RWCollectable* partial = RestoreFromFileBytes(whole.substr(0, n), &ok);
    EXPECT_FALSE(ok) << n;
    DeleteGraph(partial);
    EXPECT_EQ(TestItem::Live(), live) << n;
  }
}

TEST(GraphOnFile, RandomByteFlipsNeverCrash) {
  TestItemRegistration registration;
  std::string whole = DamageSample();
  std::mt19937 rng(1207);
  for (int round = 0; round < 400; ++round) {
    std::string damaged = whole;
    int flips = 1 + static_cast<int>(rng() % 3);
    for (int i = 0; i < flips; ++i)
      damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
    DeleteGraph(RestoreFromFileBytes(damaged));
  }
}

}  // namespace
