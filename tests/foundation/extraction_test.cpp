// The extraction operators of the collection classes: every class comes back
// through its own operator from each stream encoding and from a file, and a
// stored object of another class is refused.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <type_traits>
#include <vector>

#include "foundation/rw/btree.h"
#include "foundation/rw/file.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/slistcollectables.h"
#include "tests/support/graph.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::Encoding;

// Reads `stored` back through T's operator, from a stream of `encoding` or
// (on_file) from a file, into a pointer that held an object before: the
// operator must set it whatever happens. `failed`: the stream or file failed.
template <class T>
RWCollectionBase* Extract(const RWCollectable* stored, bool on_file, Encoding encoding,
                          bool& failed) {
  T placeholder;
  T* collection = &placeholder;
  if (on_file) {
    testing_support::TempPath path("extract");
    testing_support::WriteAll(path.str(), testing_support::SaveToFileBytes(stored));
    RWFile file(path.c_str(), "rb");
    file >> collection;
    failed = file.Error();
  } else {
    std::istringstream in(testing_support::SaveToStreamBytes(stored, encoding));
    auto stream = testing_support::MakeInputStream(in, encoding);
    *stream >> collection;
    failed = stream->Fail();
  }
  return collection;
}
using Extractor = RWCollectionBase* (*)(const RWCollectable*, bool, Encoding, bool&);

template <class T>
void Fill(T& collection, std::vector<TestItem>& items) {
  if constexpr (std::is_same_v<T, RWBTreeDictionary>) {
    collection.InsertKeyAndValue(&items[0], &items[1]);
    collection.InsertKeyAndValue(&items[2], &items[3]);
  } else {
    for (TestItem& item : items)
      collection.Insert(&item);
  }
}

// Whether a filled T comes back equal through its operator. Restored items
// are new objects: an identity set can only keep its count.
template <class T>
bool RoundTrip(bool on_file, Encoding encoding) {
  std::vector<TestItem> items{TestItem(30), TestItem(10), TestItem(20), TestItem(10)};
  T original;
  Fill(original, items);
  bool failed = true;
  RWCollectionBase* restored = Extract<T>(&original, on_file, encoding, failed);
  bool equal = restored && !failed && restored->Count() == original.Count() &&
               (std::is_same_v<T, RWIdentitySet> ? restored->ClassId() == original.ClassId()
                                                 : restored->IsEqual(&original));
  testing_support::DeleteGraph(restored);
  return equal;
}

TEST(Extraction, EveryCollectionClassComesBackThroughItsOwnOperator) {
  TestItemRegistration registration;
  struct Row {
    const char* name;
    bool (*round_trip)(bool on_file, Encoding encoding);
  } rows[] = {
      {"RWSlistCollectables", &RoundTrip<RWSlistCollectables>},
      {"RWSlistCollectablesStack", &RoundTrip<RWSlistCollectablesStack>},
      {"RWHashTable", &RoundTrip<RWHashTable>},
      {"RWSet", &RoundTrip<RWSet>},
      {"RWIdentitySet", &RoundTrip<RWIdentitySet>},
      {"RWBTree", &RoundTrip<RWBTree>},
      {"RWBTreeDictionary", &RoundTrip<RWBTreeDictionary>},
  };
  for (const Row& row : rows) {
    EXPECT_TRUE(row.round_trip(true, Encoding::kBinary)) << row.name << " file";
    for (Encoding encoding : testing_support::kAllEncodings) {
      EXPECT_TRUE(row.round_trip(false, encoding))
          << row.name << " " << testing_support::EncodingName(encoding);
    }
  }
}

TEST(Extraction, AnotherClassIsRefusedAndTheNilObjectIsNull) {
  TestItemRegistration registration;
  RWSet set;
  RWSlistCollectablesStack stack;
  TestItem item(7);
  struct Case {
    const char* name;
    const RWCollectable* stored;
    Extractor extract;
    bool accepted;  // else refused: null, and the stream or file fails
  } cases[] = {
      {"a set read as a list", &set, &Extract<RWSlistCollectables>, false},
      {"an item read as a hash table", &item, &Extract<RWHashTable>, false},
      {"a stack read as a list, its base", &stack, &Extract<RWSlistCollectables>, true},
      {"the nil object", nullptr, &Extract<RWBTree>, true},
  };
  for (const Case& c : cases) {
    for (bool on_file : {false, true}) {
      for (Encoding encoding : testing_support::kAllEncodings) {
        bool failed = false;
        std::unique_ptr<RWCollectionBase> got(c.extract(c.stored, on_file, encoding, failed));
        EXPECT_EQ(got != nullptr, c.accepted && c.stored) << c.name;
        EXPECT_EQ(failed, !c.accepted) << c.name;
      }
    }
  }
}

}  // namespace
