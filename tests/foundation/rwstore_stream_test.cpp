// Object graphs on virtual streams in the three encodings: golden bytes,
// sharing, bad tokens, damaged data.
#include <gtest/gtest.h>

#include <random>

#include "foundation/rw/association.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/error.h"
#include "foundation/rw/factory.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/slistcollectables.h"
#include "tests/support/graph.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::DeleteGraph;
using testing_support::Encoding;
using testing_support::Hex;
using testing_support::RestoreFromStreamBytes;
using testing_support::SaveToStreamBytes;
using testing_support::Unhex;

constexpr char kHeader[] = "65 73 01 00 02 04 04 02 04 ";

TEST(GraphOnStream, NullPointerIsTheNilObject) {
  EXPECT_EQ(SaveToStreamBytes(nullptr, Encoding::kPortable), "@0\n");
  EXPECT_EQ(Hex(SaveToStreamBytes(nullptr, Encoding::kBinary)), "40 00 00 00 00");
  EXPECT_EQ(Hex(SaveToStreamBytes(nullptr, Encoding::kHeadered)),
            std::string(kHeader) + "40 00 00 00 00");
  for (Encoding e : testing_support::kAllEncodings) {
    bool ok = false;
    EXPECT_EQ(RestoreFromStreamBytes(SaveToStreamBytes(nullptr, e), e, &ok), nullptr);
    EXPECT_TRUE(ok) << testing_support::EncodingName(e);
  }
}

TEST(GraphOnStream, SmallGraphsInEveryEncoding) {
  RWCollectable shared, key, value;
  RWSlistCollectables shared_list;
  shared_list.Append(&shared);
  shared_list.Append(&shared);
  RWSlistCollectables cycle;
  cycle.Append(&cycle);
  RWCollectableAssociation assoc(&key, &value);
  RWBTreeDictionary dict;
  dict.InsertKeyAndValue(&key, &value);

  struct Case {
    const RWCollectable* object;
    const char* portable;
    const char* binary;
  } cases[] = {
      {&shared_list, ":32819\n\\[2\n:32775\n\\[\\]@2\n\\]",
       "3A 33 80 7B 02 00 00 00 3A 07 80 7B 7D 40 02 00 00 00 7D"},
      {&cycle, ":32819\n\\[1\n@1\n\\]", "3A 33 80 7B 01 00 00 00 40 01 00 00 00 7D"},
      {&assoc, ":32776\n\\[:32775\n\\[\\]:32775\n\\[\\]\\]",
       "3A 08 80 7B 3A 07 80 7B 7D 3A 07 80 7B 7D 7D"},
      {&dict, ":32772\n\\[1\n:32776\n\\[:32775\n\\[\\]:32775\n\\[\\]\\]\\]",
       "3A 04 80 7B 01 00 00 00 3A 08 80 7B 3A 07 80 7B 7D 3A 07 80 7B 7D 7D 7D"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SaveToStreamBytes(c.object, Encoding::kPortable), c.portable);
    EXPECT_EQ(Hex(SaveToStreamBytes(c.object, Encoding::kBinary)), c.binary);
    EXPECT_EQ(Hex(SaveToStreamBytes(c.object, Encoding::kHeadered)),
              std::string(kHeader) + c.binary);
  }

  for (Encoding e : testing_support::kAllEncodings) {
    SCOPED_TRACE(testing_support::EncodingName(e));
    bool ok = false;
    auto* list = dynamic_cast<RWSlistCollectables*>(
        RestoreFromStreamBytes(SaveToStreamBytes(&shared_list, e), e, &ok));
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(ok);
    ASSERT_EQ(list->Count(), 2u);
    EXPECT_EQ(list->At(0), list->At(1));
    DeleteGraph(list);

    auto* loop = dynamic_cast<RWSlistCollectables*>(
        RestoreFromStreamBytes(SaveToStreamBytes(&cycle, e), e, &ok));
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->First(), loop);
    DeleteGraph(loop);

    auto* d = dynamic_cast<RWBTreeDictionary*>(
        RestoreFromStreamBytes(SaveToStreamBytes(&dict, e), e, &ok));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Count(), 1u);
    DeleteGraph(d);
  }
}

class StreamUserThing : public RWCollectable {
 public:
  static constexpr RWClassID kId = 0x9124;
  RWClassID ClassId() const override { return kId; }
};

TEST(GraphOnStream, UserClassesAreStoredByName) {
  AddClassToFactory([]() -> RWCollectable* { return new StreamUserThing; }, StreamUserThing::kId,
                    "Thing");
  StreamUserThing a, b;
  RWSlistCollectables list;
  list.Append(&a);
  list.Append(&b);
  // The name as a string: its length, then the counted string (length again).
  EXPECT_EQ(Hex(SaveToStreamBytes(&list, Encoding::kBinary)),
            "3A 33 80 7B 02 00 00 00 "
            "3A 8F 88 05 00 00 00 05 00 00 00 54 68 69 6E 67 7B 7D "
            "3A 8E 88 03 00 00 00 7B 7D 7D");
  for (Encoding e : testing_support::kAllEncodings) {
    auto* back =
        dynamic_cast<RWSlistCollectables*>(RestoreFromStreamBytes(SaveToStreamBytes(&list, e), e));
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->Count(), 2u);
    EXPECT_NE(dynamic_cast<StreamUserThing*>(back->At(1)), nullptr);
    DeleteGraph(back);
  }
  RemoveClassIdFromFactory(StreamUserThing::kId);
  RemoveStringIdFromFactory("Thing");
}

// The default handler stays in force: an error that reached it would end
// the test program. The caller's scope receives the reader's error.
TEST(GraphOnStream, BadTokensSetTheFailState) {
  struct Case {
    Encoding encoding;
    const char* bytes;              // hex, or the text itself for the portable encoding
    const RWCatalogueEntry* entry;  // null: nothing raised
  } cases[] = {
      {Encoding::kBinary, "58", nullptr},           // 'X'
      {Encoding::kBinary, "3A 07 80 7D", nullptr},  // no opening brace
      {Encoding::kBinary, "40 05 00 00 00", rwtools::Ref()},
      {Encoding::kBinary, "40 FF FF FF FF", rwtools::Ref()},  // negative
      {Encoding::kBinary, "3A 34 12 7B 7D", rwtools::NoCreate()},
      {Encoding::kHeadered, "66 73 01 00 02 04 04 02 04 40 00 00 00 00", rwtools::Stream()},
      {Encoding::kHeadered, "65 73 01 00 02 04 04 02 04 40 05 00 00 00", rwtools::Ref()},
      {Encoding::kPortable, "@7\n", rwtools::Ref()},
      {Encoding::kPortable, ":34959\n3\nabc", rwcore::SynStream()},  // a name without quotes
      {Encoding::kPortable, ":4660\n\\[\\]", rwtools::NoCreate()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string bytes = c.encoding == Encoding::kPortable ? c.bytes : Unhex(c.bytes);
    RWErrorScope scope;
    bool ok = true;
    EXPECT_EQ(RestoreFromStreamBytes(bytes, c.encoding, &ok), nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(scope.Entry(), c.entry);
  }
  RWErrorScope scope;
  EXPECT_EQ(RestoreFromStreamBytes(Unhex("40 05 00 00 00"), Encoding::kBinary), nullptr);
  EXPECT_STREQ(scope.Text(), "[REF] Bad persistence reference");

  // An empty stream ends quietly with end of input.
  scope.Clear();
  EXPECT_EQ(RestoreFromStreamBytes("", Encoding::kBinary), nullptr);
  EXPECT_FALSE(scope.Failed());
}

// Raises an index error from its own restore, as a model class that checks
// what it reads would.
class RaisingThing : public RWCollectable {
 public:
  static constexpr RWClassID kId = 0x0FA2;
  RWClassID ClassId() const override { return kId; }
  void RestoreFromStream(RWVirtualInputStream&) override { RWCheckIndex(9, 1); }
  void RestoreFromFile(RWFile&) override { RWCheckIndex(9, 1); }
};

// An error raised anywhere inside a read fails that read, even when the code
// that raised it went on.
TEST(GraphReaders, AnErrorInsideAnObjectsRestoreFailsTheRead) {
  AddClassToFactory([]() -> RWCollectable* { return new RaisingThing; }, RaisingThing::kId,
                    "RaisingThing");
  RaisingThing thing;
  RWSlistCollectables list;
  list.Append(&thing);
  for (int form = 0; form < 4; ++form) {
    SCOPED_TRACE(form);
    RWErrorScope scope;
    bool ok = true;
    RWCollectable* back =
        form == 3
            ? testing_support::RestoreFromFileBytes(testing_support::SaveToFileBytes(&list), &ok)
            : RestoreFromStreamBytes(SaveToStreamBytes(&list, testing_support::kAllEncodings[form]),
                                     testing_support::kAllEncodings[form], &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(scope.Entry(), rwtools::IndexErr());
    // The partial graph still goes to the caller, who frees it.
    ASSERT_NE(dynamic_cast<RWSlistCollectables*>(back), nullptr);
    DeleteGraph(back);
  }
  RemoveClassIdFromFactory(RaisingThing::kId);
  RemoveStringIdFromFactory("RaisingThing");
}

std::string DamageSample(Encoding e) {
  static TestItem items[5] = {TestItem(1), TestItem(2), TestItem(3), TestItem(4), TestItem(5)};
  RWSlistCollectables list;
  RWSet set;
  RWBTreeDictionary dict;
  RWSlistCollectablesStack stack;
  list.Append(&set);
  list.Append(&dict);
  list.Append(&stack);
  list.Append(&items[0]);
  set.Insert(&items[1]);
  set.Insert(&items[0]);
  dict.InsertKeyAndValue(&items[2], &items[3]);
  stack.Push(&items[4]);
  stack.Push(&list);
  return SaveToStreamBytes(&list, e);
}

TEST(GraphOnStream, DamagedDataEndsCleanly) {
  TestItemRegistration registration;
  std::mt19937 rng(12071);
  for (Encoding e : testing_support::kAllEncodings) {
    SCOPED_TRACE(testing_support::EncodingName(e));
    std::string whole = DamageSample(e);
    bool ok = false;
    RWCollectable* full = RestoreFromStreamBytes(whole, e, &ok);
    EXPECT_TRUE(ok);
    ASSERT_NE(full, nullptr);
    DeleteGraph(full);
    for (std::size_t n = 0; n < whole.size(); ++n) {
      DeleteGraph(RestoreFromStreamBytes(whole.substr(0, n), e, &ok));
      if (e != Encoding::kPortable) {
        EXPECT_FALSE(ok) << n;
      }
    }
    for (int round = 0; round < 150; ++round) {
      std::string damaged = whole;
      damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
      DeleteGraph(RestoreFromStreamBytes(damaged, e));
    }
  }
}

}  // namespace
