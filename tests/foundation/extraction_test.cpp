// The extraction operators of the collection classes: every class comes back
// through its own operator, from each stream encoding and from a file, and
// a stored object of another class is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
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

// What a collection holds, comparable across a save and restore: member
// values (keys and values for a dictionary), in the collection's own order
// or sorted when that order depends on addresses.
std::vector<int> Contents(const RWCollectionBase& collection, bool ordered) {
  std::vector<int> values;
  if (auto* dictionary = dynamic_cast<const RWBTreeDictionary*>(&collection)) {
    dictionary->ApplyToKeyAndValue(
        [](RWCollectable* k, RWCollectable* v, void* out) {
          auto* vs = static_cast<std::vector<int>*>(out);
          vs->push_back(static_cast<TestItem*>(k)->Value());
          vs->push_back(static_cast<TestItem*>(v)->Value());
        },
        &values);
  } else {
    values = ItemValues(collection);
  }
  if (!ordered) std::sort(values.begin(), values.end());
  return values;
}

// The class's extraction operators, into a pointer that holds an object
// before the read: the operator must set it whatever the outcome.
template <class T>
RWCollectionBase* FromStream(RWVirtualInputStream& stream) {
  T placeholder;
  T* collection = &placeholder;
  stream >> collection;
  return collection;
}

template <class T>
RWCollectionBase* FromFile(RWFile& file) {
  T placeholder;
  T* collection = &placeholder;
  file >> collection;
  return collection;
}

template <class T>
RWCollectionBase* Filled(std::vector<TestItem>& items) {
  auto* collection = new T;
  for (TestItem& item : items)
    collection->Insert(&item);
  return collection;
}

RWCollectionBase* FilledDictionary(std::vector<TestItem>& items) {
  auto* dictionary = new RWBTreeDictionary;
  for (std::size_t i = 0; i + 1 < items.size(); i += 2)
    dictionary->InsertKeyAndValue(&items[i], &items[i + 1]);
  return dictionary;
}

struct ExtractionRow {
  const char* name;
  RWCollectionBase* (*make)(std::vector<TestItem>& items);
  RWCollectionBase* (*from_stream)(RWVirtualInputStream& stream);
  RWCollectionBase* (*from_file)(RWFile& file);
  bool ordered;
};

template <class T>
constexpr ExtractionRow Row(const char* name, bool ordered) {
  return {name, &Filled<T>, &FromStream<T>, &FromFile<T>, ordered};
}

const ExtractionRow kRows[] = {
    Row<RWSlistCollectables>("RWSlistCollectables", true),
    Row<RWSlistCollectablesStack>("RWSlistCollectablesStack", true),
    Row<RWHashTable>("RWHashTable", false),
    Row<RWSet>("RWSet", false),
    Row<RWIdentitySet>("RWIdentitySet", false),
    Row<RWBTree>("RWBTree", true),
    {"RWBTreeDictionary", &FilledDictionary, &FromStream<RWBTreeDictionary>,
     &FromFile<RWBTreeDictionary>, true},
};

TEST(Extraction, EveryCollectionClassComesBackThroughItsOwnOperator) {
  TestItemRegistration registration;
  // Two equal items: a bag keeps both, a set one, an identity set both.
  std::vector<TestItem> items{TestItem(30), TestItem(10), TestItem(20), TestItem(10)};
  for (const ExtractionRow& row : kRows) {
    std::unique_ptr<RWCollectionBase> original(row.make(items));
    const std::vector<int> expected = Contents(*original, row.ordered);
    ASSERT_FALSE(expected.empty()) << row.name;

    for (Encoding encoding : testing_support::kAllEncodings) {
      SCOPED_TRACE(std::string(row.name) + " " + testing_support::EncodingName(encoding));
      std::istringstream in(testing_support::SaveToStreamBytes(original.get(), encoding));
      auto stream = testing_support::MakeInputStream(in, encoding);
      RWCollectionBase* restored = row.from_stream(*stream);
      ASSERT_NE(restored, nullptr);
      EXPECT_FALSE(stream->Fail());
      EXPECT_EQ(restored->ClassId(), original->ClassId());
      EXPECT_EQ(Contents(*restored, row.ordered), expected);
      testing_support::DeleteGraph(restored);
    }

    SCOPED_TRACE(std::string(row.name) + " file");
    testing_support::TempPath path("extract");
    testing_support::WriteAll(path.str(), testing_support::SaveToFileBytes(original.get()));
    RWFile file(path.c_str(), "rb");
    RWCollectionBase* restored = row.from_file(file);
    ASSERT_NE(restored, nullptr);
    EXPECT_FALSE(file.Error());
    EXPECT_EQ(restored->ClassId(), original->ClassId());
    EXPECT_EQ(Contents(*restored, row.ordered), expected);
    testing_support::DeleteGraph(restored);
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
    RWCollectionBase* (*from_stream)(RWVirtualInputStream&);
    RWCollectionBase* (*from_file)(RWFile&);
    bool accepted;  // else refused: null, and the stream or file fails
  } cases[] = {
      {"a set read as a list", &set, &FromStream<RWSlistCollectables>,
       &FromFile<RWSlistCollectables>, false},
      {"an item read as a hash table", &item, &FromStream<RWHashTable>, &FromFile<RWHashTable>,
       false},
      {"a stack read as a list (its base)", &stack, &FromStream<RWSlistCollectables>,
       &FromFile<RWSlistCollectables>, true},
      {"the nil object", nullptr, &FromStream<RWBTree>, &FromFile<RWBTree>, true},
  };
  for (const Case& c : cases) {
    for (Encoding encoding : testing_support::kAllEncodings) {
      SCOPED_TRACE(std::string(c.name) + " " + testing_support::EncodingName(encoding));
      std::istringstream in(testing_support::SaveToStreamBytes(c.stored, encoding));
      auto stream = testing_support::MakeInputStream(in, encoding);
      std::unique_ptr<RWCollectionBase> got(c.from_stream(*stream));
      EXPECT_EQ(got != nullptr, c.accepted && c.stored != nullptr);
      EXPECT_EQ(stream->Fail(), !c.accepted);
    }
    SCOPED_TRACE(std::string(c.name) + " file");
    testing_support::TempPath path("extract");
    testing_support::WriteAll(path.str(), testing_support::SaveToFileBytes(c.stored));
    RWFile file(path.c_str(), "rb");
    std::unique_ptr<RWCollectionBase> got(c.from_file(file));
    EXPECT_EQ(got != nullptr, c.accepted && c.stored != nullptr);
    EXPECT_EQ(file.Error(), !c.accepted);
  }
}

}  // namespace
