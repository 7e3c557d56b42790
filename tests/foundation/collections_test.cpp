#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "foundation/rw/association.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/slistcollectables.h"
#include "tests/support/graph.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

TEST(ListAndStack, DifferWhereAStackMust) {
  TestItem a(1), b(2), c(3), a2(1);
  RWSlistCollectables list;
  RWSlistCollectablesStack stack;
  for (TestItem* item : {&a, &b, &c}) {
    list.Insert(item);
    stack.Insert(item);
  }
  EXPECT_EQ(ItemValues(list), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ItemValues(stack), (std::vector<int>{3, 2, 1}));  // Insert pushes

  // Remove answers the stored member, which may be another object.
  EXPECT_EQ(list.Remove(&a2), &a);
  // A stack pops whatever the argument.
  EXPECT_EQ(stack.Remove(&a2), &c);
  EXPECT_EQ(stack.Append(&c), nullptr);  // refused
  EXPECT_EQ(stack.Count(), 2u);
  EXPECT_FALSE(stack.RemoveAndDelete(&b));
  EXPECT_EQ(stack.Count(), 2u);
  EXPECT_EQ(stack.Top(), &b);
  EXPECT_EQ(stack.Pop(), &b);
  EXPECT_EQ(stack.Pop(), &a);
  EXPECT_EQ(stack.Pop(), nullptr);

  RWSlistCollectables same_list;
  RWSlistCollectablesStack same_stack;
  same_list.Append(&b);
  same_stack.Push(&b);
  RWSlistCollectables list_b;
  list_b.Append(&b);
  EXPECT_FALSE(same_list.IsEqual(&same_stack));  // class ids differ
  EXPECT_TRUE(same_list.IsEqual(&list_b));
}

TEST(List, IndexedOperations) {
  TestItem a(1), b(2), c(3), absent(9);
  RWSlistCollectables list;
  list.Append(&a);
  list.InsertAt(1, &c);  // at the count: appends
  list.InsertAfter(0, &b);
  EXPECT_EQ(ItemValues(list), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(list.IndexOf(&absent), 0xFFFFFFFFu);
  EXPECT_EQ(list.IndexOf(&c), 2u);
  EXPECT_EQ(list.At(1), &b);
  list.AtSlot(1) = &absent;
  EXPECT_EQ(list.At(1), &absent);
  EXPECT_EQ(list.First(), &a);
  EXPECT_EQ(list.Last(), &c);
  EXPECT_EQ(list.CountOccurrences(&a), 1u);

  testing_support::ErrorCapture capture;
  EXPECT_EQ(list.InsertAt(4, &a), nullptr);
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (4) for collection or string with 3 elements");
  EXPECT_EQ(list.InsertAfter(3, &a), nullptr);
  EXPECT_EQ(list.At(3), nullptr);
  EXPECT_EQ(list.AtSlot(RW_NPOS), nullptr);
  EXPECT_EQ(capture.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_EQ(list.Count(), 3u);
}

TEST(List, CopiesShareMembersNotLinks) {
  TestItem a(1), b(2);
  RWSlistCollectables list;
  list.Append(&a);
  list.Append(&b);
  RWSlistCollectables copy(list);
  copy.Remove(&a);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(copy.First(), &b);
  std::unique_ptr<RWCollectable> made(list.CreateCopy());
  EXPECT_TRUE(made->IsEqual(&list));
  copy = list;
  EXPECT_EQ(ItemValues(copy), (std::vector<int>{1, 2}));
}

TEST(Collections, ClearAndDeleteDeletesASharedObjectOnce) {
  int before = TestItem::Live();
  auto* item = new TestItem(5);
  auto* other = new TestItem(6);
  RWSlistCollectables list;
  list.Append(item);
  list.Append(other);
  list.Append(item);
  list.Append(item);
  list.ClearAndDelete();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(TestItem::Live(), before);

  RWHashTable table;
  auto* shared = new TestItem(7);
  table.Insert(shared);
  table.Insert(shared);
  table.ClearAndDelete();
  EXPECT_EQ(TestItem::Live(), before);

  RWSet set;
  set.Insert(new TestItem(1));
  set.Insert(new TestItem(2));
  set.ClearAndDelete();
  EXPECT_EQ(TestItem::Live(), before);
}

TEST(Collections, RemoveAndDeleteDeletesWhatWasRemoved) {
  TestItem probe(1);
  int before = TestItem::Live();
  RWSlistCollectables list;
  list.Append(new TestItem(1));
  EXPECT_TRUE(list.RemoveAndDelete(&probe));
  EXPECT_FALSE(list.RemoveAndDelete(&probe));
  EXPECT_EQ(TestItem::Live(), before);
}

TEST(Collections, SelectAndBulkOperations) {
  TestItem a(1), b(2), c(3);
  RWSlistCollectables list;
  list.Append(&a);
  list.Append(&b);
  list.Append(&c);
  std::unique_ptr<RWCollectionBase> odd(
      list.Select([](const RWCollectable* m,
                     const void*) { return static_cast<const TestItem*>(m)->Value() % 2 == 1; },
                  nullptr));
  EXPECT_EQ(odd->ClassId(), kRWSlistCollectablesId);
  EXPECT_EQ(ItemValues(*odd), (std::vector<int>{1, 3}));
  RWSet set;
  set.InsertAll(list);
  EXPECT_EQ(set.Count(), 3u);
  set.RemoveAll(*odd);
  EXPECT_EQ(ItemValues(set), (std::vector<int>{2}));

  int before = TestItem::Live();
  RWSlistCollectables copies;
  list.InsertCopiesInto(copies);
  EXPECT_EQ(TestItem::Live(), before + 3);
  EXPECT_NE(copies.First(), &a);
  copies.ClearAndDelete();
}

TEST(HashTable, BagAndSetInsertion) {
  TestItem a(1), a2(1), b(2);
  RWHashTable table;
  table.Insert(&a);
  table.Insert(&a);
  EXPECT_EQ(table.Count(), 2u);
  EXPECT_EQ(table.CountOccurrences(&a2), 2u);

  RWSet set;
  EXPECT_EQ(set.Insert(&a), &a);
  EXPECT_EQ(set.Insert(&a2), &a);  // the member already there
  EXPECT_EQ(set.Count(), 1u);
  EXPECT_EQ(set.CountOccurrences(&a), 1u);

  RWIdentitySet ids;
  EXPECT_EQ(ids.Insert(&a), &a);
  EXPECT_EQ(ids.Insert(&a2), &a2);  // equal but distinct: accepted
  EXPECT_EQ(ids.Insert(&a), &a);    // the same object: not again
  EXPECT_EQ(ids.Count(), 2u);
  EXPECT_EQ(ids.Find(&a2), &a2);
  EXPECT_EQ(ids.Remove(&a2), &a2);
  EXPECT_EQ(ids.Find(&a2), nullptr);

  EXPECT_EQ(set.Remove(&b), nullptr);  // absent: count stays
  EXPECT_EQ(set.Count(), 1u);
  EXPECT_EQ(table.Remove(&a2), &a);
  EXPECT_EQ(table.Count(), 1u);

  RWSet same;
  same.Insert(&a);
  RWHashTable as_table;
  as_table.Insert(&a);
  EXPECT_TRUE(set.IsEqual(&same));
  EXPECT_FALSE(as_table.IsEqual(&set));  // class ids differ
}

TEST(HashTable, BucketCountsAndResize) {
  EXPECT_EQ(RWHashTable(0).Buckets(), 2u);
  EXPECT_EQ(RWHashTable().Buckets(), 64u);
  std::vector<TestItem> items;
  items.reserve(13);
  for (int i = 0; i < 13; ++i)
    items.emplace_back(i);
  for (auto [members, buckets] : {std::pair{11u, 16u}, {12u, 18u}, {13u, 19u}}) {
    RWHashTable table(3);
    for (unsigned i = 0; i < members; ++i)
      table.Insert(&items[i]);
    table.Resize(0);
    EXPECT_EQ(table.Buckets(), buckets) << members;
    EXPECT_EQ(table.Count(), members);
    for (unsigned i = 0; i < members; ++i)
      EXPECT_EQ(table.Find(&items[i]), &items[i]);
  }
  // Insertion never grows the table.
  RWSet set(2);
  for (auto& item : items)
    set.Insert(&item);
  EXPECT_EQ(set.Buckets(), 2u);
  // A set re-buckets through its own Insert.
  TestItem dup(3);
  RWHashTable bag(4);
  bag.Insert(&items[3]);
  bag.Insert(&dup);
  EXPECT_EQ(bag.Count(), 2u);
  bag.Resize(7);
  EXPECT_EQ(bag.Count(), 2u);
}

TEST(HashTable, CopyAndIteration) {
  std::vector<TestItem> items;
  for (int i = 0; i < 10; ++i)
    items.emplace_back(i);
  RWHashTable table(4);
  for (auto& item : items)
    table.Insert(&item);
  RWHashTable copy(table);
  EXPECT_EQ(copy.Buckets(), 4u);
  EXPECT_TRUE(copy.IsEqual(&table));
  // Buckets in index order, each first to last: 0 4 8 1 5 9 2 6 3 7.
  EXPECT_EQ(ItemValues(copy), (std::vector<int>{0, 4, 8, 1, 5, 9, 2, 6, 3, 7}));

  RWHashTableIterator it(copy);
  EXPECT_EQ(it.Key(), nullptr);
  std::vector<int> walked;
  while (RWCollectable* m = it.Next())
    walked.push_back(static_cast<TestItem*>(m)->Value());
  EXPECT_EQ(walked, ItemValues(copy));
  EXPECT_EQ(it.Next(), nullptr);
  it.Reset();
  TestItem five(5);
  EXPECT_EQ(it.FindNext(&five), &items[5]);
  EXPECT_EQ(it.Key(), &items[5]);
  RWHashTableIterator saved(it);  // a copy starts at the same position
  EXPECT_EQ(saved.Next(), &items[9]);
  EXPECT_EQ(it.Key(), &items[5]);
  EXPECT_EQ(it.RemoveCurrent(), &items[5]);
  EXPECT_EQ(copy.Count(), 9u);
  it.Reset();
  TestItem two(2);
  EXPECT_EQ(it.RemoveNext(&two), &items[2]);
  EXPECT_EQ(copy.Count(), 8u);
  EXPECT_EQ(table.Count(), 10u);
}

TEST(Set, EqualityAndSubsets) {
  TestItem a(1), b(2), c(3), a2(1);
  RWSet ab, ab2, abc;
  ab.Insert(&a);
  ab.Insert(&b);
  ab2.Insert(&a2);
  ab2.Insert(&b);
  abc.Insert(&a);
  abc.Insert(&b);
  abc.Insert(&c);
  EXPECT_TRUE(ab == ab2);
  EXPECT_FALSE(ab == abc);
  EXPECT_TRUE(ab.IsSubsetOf(abc));
  EXPECT_TRUE(ab.IsProperSubsetOf(abc));
  EXPECT_TRUE(ab.IsSubsetOf(ab2));
  EXPECT_FALSE(ab.IsProperSubsetOf(ab2));
  EXPECT_FALSE(abc.IsSubsetOf(ab));

  RWSet result;
  abc.IntersectInto(ab2, result);
  EXPECT_EQ(result.Count(), 2u);
  EXPECT_EQ(result.Find(&a), &a2);  // walked the smaller set

  RWSet in_place(abc);
  in_place.Intersect(ab);
  EXPECT_EQ(ItemValues(in_place), (std::vector<int>{1, 2}));
  in_place.Intersect(RWSet());
  EXPECT_TRUE(in_place.IsEmpty());

  // Bags: equal counts but different multiplicities are unequal.
  RWHashTable aab, abb;
  aab.Insert(&a);
  aab.Insert(&a);
  aab.Insert(&b);
  abb.Insert(&a);
  abb.Insert(&b);
  abb.Insert(&b);
  EXPECT_FALSE(aab.IsEqual(&abb));
}

TEST(Association, BehavesAsItsKey) {
  TestItem key(4), key2(4), value(40), other(5);
  RWCollectableAssociation assoc(&key, &value);
  EXPECT_TRUE(assoc.IsEqual(&key2));
  EXPECT_EQ(assoc.Hash(), key.Hash());
  EXPECT_EQ(assoc.CompareTo(&other), -1);
  EXPECT_EQ(assoc.SetValue(&other), &value);
  EXPECT_EQ(assoc.Value(), &other);

  // A set of associations is searched with the bare key.
  RWSet dict;
  dict.Insert(&assoc);
  EXPECT_EQ(dict.Find(&key2), &assoc);

  RWCollectableIDAssociation by_id(&key, &value), by_id2(&key, nullptr), by_other(&key2, nullptr);
  EXPECT_TRUE(by_id.IsEqual(&by_id2));
  EXPECT_FALSE(by_id.IsEqual(&by_other));
  EXPECT_TRUE(by_id.IsEqual(&key));
  EXPECT_FALSE(by_id.IsEqual(&key2));
  EXPECT_EQ(by_id.Hash(), RWAddressHash(&key));
  EXPECT_EQ(by_id.CompareTo(&key), 0);

  RWCollectableAssociation empty;  // null key and value: no crash
  EXPECT_EQ(empty.Hash(), 0u);
  EXPECT_FALSE(empty.IsEqual(&key));
}

TEST(Collectable, BaseBehaviour) {
  RWCollectable a, b;
  EXPECT_EQ(a.CompareTo(&a), 0);
  EXPECT_EQ(a.CompareTo(&b), &a > &b ? 1 : -1);
  EXPECT_EQ(a.Hash(), RWAddressHash(&a));
  EXPECT_TRUE(a.IsEqual(&a));
  EXPECT_FALSE(a.IsEqual(&b));
  EXPECT_EQ(a.ClassId(), 0x8007);
  EXPECT_EQ(a.StoredSize(), 0u);
  std::unique_ptr<RWCollectable> made(a.CreateDefault());
  EXPECT_EQ(made->ClassId(), 0x8007);
}

}  // namespace

namespace {

TEST(Collections, CyclicCollectionsCompareWithoutEndlessRecursion) {
  RWSlistCollectables a, b;
  a.Append(&a);
  b.Append(&b);
  EXPECT_TRUE(a.IsEqual(&b));
  RWHashTable t1;
  t1.Insert(&t1);
  EXPECT_TRUE(t1.IsEqual(&t1));
  TestItem x(1);
  a.Append(&x);
  EXPECT_FALSE(a.IsEqual(&b));
}

}  // namespace

namespace {

TEST(Association, KeyChainThatLoopsEnds) {
  // a's key is b and b's key is a, as a damaged graph can make them.
  RWCollectableAssociation a, b;
  a = RWCollectableAssociation(&b, nullptr);
  b = RWCollectableAssociation(&a, nullptr);
  // Past a bounded chain each answers by identity; nothing recurses forever.
  (void)a.Hash();
  (void)a.IsEqual(&b);
  (void)a.CompareTo(&b);
  RWSet set;
  set.Insert(&a);
  set.Insert(&b);
  EXPECT_GE(set.Count(), 1u);
}

}  // namespace

namespace {

TEST(Set, ClearAndDeleteDeletesAnObjectHeldTwiceOnce) {
  // An association without a key is not equal even to itself, so a set can
  // hold it twice (a damaged graph can make one); it is deleted once.
  auto* odd = new RWCollectableAssociation;
  RWSet set;
  set.Insert(odd);
  set.Insert(odd);
  EXPECT_EQ(set.Count(), 2u);
  set.ClearAndDelete();
  EXPECT_TRUE(set.IsEmpty());
}

TEST(ListAndStack, AStackAssignedHoldsTheSameMembersInOrder) {
  TestItem a(1), b(2), c(3);
  RWSlistCollectablesStack stack, assigned;
  for (TestItem* item : {&a, &b, &c})
    stack.Push(item);
  assigned.Push(&a);
  assigned = stack;  // through no Append, which a stack refuses
  EXPECT_EQ(ItemValues(assigned), (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(ItemValues(RWSlistCollectablesStack(stack)), (std::vector<int>{3, 2, 1}));
  EXPECT_TRUE(assigned.IsEqual(&stack));
}

template <class T>
RWCollectionBase* Holding(TestItem* member) {
  auto* collection = new T;
  collection->Insert(member);
  return collection;
}

RWCollectionBase* DictionaryHolding(TestItem* key) {
  auto* dictionary = new RWBTreeDictionary;
  dictionary->InsertKeyAndValue(key, nullptr);
  return dictionary;
}

RWSlistCollectables& AsList(RWCollectionBase& collection) {
  return static_cast<RWSlistCollectables&>(collection);
}

RWCollectable* InsertNull(RWCollectionBase& collection) {
  return collection.Insert(nullptr);
}

TEST(Collections, NullMembersAreRefusedEverywhere) {
  TestItemRegistration registration;
  TestItem held(5);
  struct Case {
    const char* name;
    RWCollectionBase* (*make)(TestItem* held);
    RWCollectable* (*insert_null)(RWCollectionBase& collection);
  };
  const Case cases[] = {
      {"list Insert", &Holding<RWSlistCollectables>, &InsertNull},
      {"list Append", &Holding<RWSlistCollectables>,
       [](RWCollectionBase& c) { return AsList(c).Append(nullptr); }},
      {"list Prepend", &Holding<RWSlistCollectables>,
       [](RWCollectionBase& c) { return AsList(c).Prepend(nullptr); }},
      {"list InsertAt", &Holding<RWSlistCollectables>,
       [](RWCollectionBase& c) { return AsList(c).InsertAt(1, nullptr); }},
      {"list InsertAfter", &Holding<RWSlistCollectables>,
       [](RWCollectionBase& c) { return AsList(c).InsertAfter(0, nullptr); }},
      {"stack Insert (push)", &Holding<RWSlistCollectablesStack>, &InsertNull},
      {"hash table", &Holding<RWHashTable>, &InsertNull},
      {"set", &Holding<RWSet>, &InsertNull},
      {"identity set", &Holding<RWIdentitySet>, &InsertNull},
      {"B-tree", &Holding<RWBTree>, &InsertNull},
      {"dictionary InsertKeyAndValue", &DictionaryHolding,
       [](RWCollectionBase& c) {
         return static_cast<RWBTreeDictionary&>(c).InsertKeyAndValue(nullptr, nullptr);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<RWCollectionBase> collection(c.make(&held));
    EXPECT_EQ(c.insert_null(*collection), nullptr);
    EXPECT_EQ(collection->Count(), 1u);
    // Lookups of null find nothing, and every later call still works.
    EXPECT_FALSE(collection->Contains(nullptr));
    EXPECT_EQ(collection->CountOccurrences(nullptr), 0u);
    EXPECT_TRUE(collection->Contains(&held));
    // What is saved is what comes back.
    std::string bytes = testing_support::SaveToFileBytes(collection.get());
    RWCollectable* restored = testing_support::RestoreFromFileBytes(bytes);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(static_cast<RWCollectionBase*>(restored)->Count(), 1u);
    testing_support::DeleteGraph(restored);
  }
}

}  // namespace

namespace {

// The three hash collections against a model of their stored order: one
// list per bucket (index Hash() mod count, the address hash for the
// identity set), members appended, removal taking the first match. A
// seeded run of inserts, removals (direct and through the iterator),
// resizes and clears must leave ForEach walking exactly the model's order.
enum class Rule { bag, set, identity };

struct Model {
  Rule rule;
  std::vector<std::vector<TestItem*>> buckets;

  std::size_t BucketOf(const TestItem* item) const {
    std::uint32_t hash = rule == Rule::identity ? RWAddressHash(item) : item->Hash();
    return hash % buckets.size();
  }
  bool Matches(const TestItem* stored, const TestItem* probe) const {
    return rule == Rule::identity ? stored == probe : stored->IsEqual(probe);
  }
  void Insert(TestItem* item) {
    auto& bucket = buckets[BucketOf(item)];
    if (rule != Rule::bag) {
      for (TestItem* m : bucket)
        if (Matches(m, item)) return;
    }
    bucket.push_back(item);
  }
  void Remove(const TestItem* probe) {
    auto& bucket = buckets[BucketOf(probe)];
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
      if (Matches(*it, probe)) {
        bucket.erase(it);
        return;
      }
    }
  }
  // Removes the member at a position of the walk.
  void RemoveAt(std::size_t at) {
    for (auto& bucket : buckets) {
      if (at < bucket.size()) {
        bucket.erase(bucket.begin() + static_cast<std::ptrdiff_t>(at));
        return;
      }
      at -= bucket.size();
    }
  }
  std::vector<const void*> Order() const {
    std::vector<const void*> order;
    for (const auto& bucket : buckets)
      order.insert(order.end(), bucket.begin(), bucket.end());
    return order;
  }
};

std::vector<const void*> Walk(const RWCollectionBase& c) {
  std::vector<const void*> order;
  c.ForEach(
      [](RWCollectable* m, void* d) { static_cast<std::vector<const void*>*>(d)->push_back(m); },
      &order);
  return order;
}

TEST(HashTable, MembersKeepTheirBucketAndOrderThroughEveryEdit) {
  std::vector<std::unique_ptr<TestItem>> pool;
  for (int i = 0; i < 120; ++i)
    pool.push_back(std::make_unique<TestItem>(i % 40));  // three objects per value
  const struct {
    Rule rule;
    std::unique_ptr<RWHashTable> (*make)(RWSize);
  } kTables[] = {
      {Rule::bag, [](RWSize n) { return std::make_unique<RWHashTable>(n); }},
      {Rule::set,
       [](RWSize n) -> std::unique_ptr<RWHashTable> { return std::make_unique<RWSet>(n); }},
      {Rule::identity,
       [](RWSize n) -> std::unique_ptr<RWHashTable> { return std::make_unique<RWIdentitySet>(n); }},
  };
  for (const auto& kind : kTables) {
    std::mt19937 random(11);
    auto table = kind.make(7);
    Model model{kind.rule, std::vector<std::vector<TestItem*>>(7)};
    for (int step = 0; step < 3000; ++step) {
      TestItem* item = pool[random() % pool.size()].get();
      switch (random() % 16) {
        case 0:  // removal through the iterator, of the k-th member
        case 1: {
          RWHashTableIterator it(*table);
          std::size_t k = random() % 8, at = 0;
          while (at < k && it.Next())
            ++at;
          if (at == 0 || !it.Key()) break;
          ASSERT_EQ(it.RemoveCurrent(), model.Order()[at - 1]);
          model.RemoveAt(at - 1);
          // The walk goes on with the member that followed it.
          std::vector<const void*> rest;
          while (RWCollectable* m = it.Next())
            rest.push_back(m);
          auto order = model.Order();
          EXPECT_EQ(rest, std::vector<const void*>(order.begin() + (at - 1), order.end()));
          break;
        }
        case 2:
        case 3:
        case 4:
          table->Remove(item);
          model.Remove(item);
          break;
        case 5:
          if (step % 500 == 5) {
            RWSize n = 1 + random() % 13;
            table->Resize(n);
            auto old = model.Order();
            model.buckets.assign(n, {});
            for (const void* m : old)
              model.Insert(static_cast<TestItem*>(const_cast<void*>(m)));
          }
          break;
        case 6:
          if (step % 1000 == 6) {
            table->Clear();
            for (auto& bucket : model.buckets)
              bucket.clear();
          }
          break;
        default:
          table->Insert(item);
          model.Insert(item);
      }
      ASSERT_EQ(Walk(*table), model.Order()) << "step " << step;
      ASSERT_EQ(table->Count(), model.Order().size());
    }
    // A copy holds the same members in the same buckets and order.
    EXPECT_EQ(Walk(RWHashTable(*table)), model.Order());
  }
}

TEST(List, LinksAreReusedAfterRemovals) {
  // Removals give links back; the list stays in order through reuse.
  std::vector<std::unique_ptr<TestItem>> pool;
  for (int i = 0; i < 50; ++i)
    pool.push_back(std::make_unique<TestItem>(i));
  std::mt19937 random(5);
  RWSlistCollectables list;
  std::vector<const void*> model;
  for (int step = 0; step < 2000; ++step) {
    TestItem* item = pool[random() % pool.size()].get();
    if (random() % 3 == 0) {
      auto it = std::find(model.begin(), model.end(), item);
      EXPECT_EQ(list.Remove(item), it == model.end() ? nullptr : item);
      if (it != model.end()) model.erase(it);
    } else if (random() % 2 == 0) {
      list.Prepend(item);
      model.insert(model.begin(), item);
    } else {
      RWSlistCollectablesIterator it(list);
      if (it.Next() && it.RemoveCurrent()) model.erase(model.begin());
      list.Append(item);
      model.push_back(item);
    }
    ASSERT_EQ(Walk(list), model) << "step " << step;
  }
}

// Deletion goes in the order it always has: an identity set of Count()/4
// buckets, walked bucket by bucket, each in first-seen order. Destructors
// may see it, so it is checked against such a set itself.
class Logged : public TestItem {
 public:
  Logged(int value, std::vector<const void*>* log) : TestItem(value), log_(log) {}
  ~Logged() override { log_->push_back(this); }

 private:
  std::vector<const void*>* log_;
};

std::vector<const void*> IdentityOrder(const std::vector<RWCollectable*>& seen, RWSize buckets) {
  RWIdentitySet set(buckets);
  for (RWCollectable* m : seen)
    set.Insert(m);
  return Walk(set);
}

TEST(Collections, ClearAndDeleteDeletesInTheIdentitySetsOrder) {
  for (int members : {0, 1, 7, 64, 403}) {
    std::vector<const void*> log;
    std::vector<Logged*> objects;
    for (int i = 0; i < members; ++i)
      objects.push_back(new Logged(i, &log));

    // A list holding some objects several times.
    RWSlistCollectables list;
    std::vector<RWCollectable*> seen;
    for (int i = 0; i < members; ++i) {
      list.Append(objects[i]);
      if (i % 3 == 0) list.Append(objects[i / 2]);
    }
    list.ForEach([](RWCollectable* m,
                    void* s) { static_cast<std::vector<RWCollectable*>*>(s)->push_back(m); },
                 &seen);
    auto expected = IdentityOrder(seen, list.Count() / 4);
    list.ClearAndDelete();
    EXPECT_EQ(log, expected) << members;
    EXPECT_TRUE(list.IsEmpty());

    // A dictionary whose keys and values share objects.
    log.clear();
    objects.clear();
    for (int i = 0; i < members; ++i)
      objects.push_back(new Logged(i, &log));
    RWBTreeDictionary dictionary;
    for (int i = 0; i < members; ++i)
      dictionary.InsertKeyAndValue(objects[i], i % 2 ? objects[i] : objects[members - 1 - i]);
    seen.clear();
    dictionary.ApplyToKeyAndValue(
        [](RWCollectable* k, RWCollectable* v, void* s) {
          static_cast<std::vector<RWCollectable*>*>(s)->push_back(k);
          static_cast<std::vector<RWCollectable*>*>(s)->push_back(v);
        },
        &seen);
    expected = IdentityOrder(seen, dictionary.Count() / 4);
    dictionary.ClearAndDelete();
    EXPECT_EQ(log, expected) << members;
    EXPECT_EQ(dictionary.Count(), 0u);
  }
}

TEST(Collections, ClearAndDeleteCopesWithManyRepeatsInOneBucket) {
  // One object held 100 times next to others: every bucket run long.
  std::vector<const void*> log;
  auto* repeated = new Logged(1, &log);
  RWSlistCollectables list;
  std::vector<RWCollectable*> seen;
  for (int i = 0; i < 100; ++i) {
    list.Append(repeated);
    seen.push_back(repeated);
    if (i % 10 == 0) {
      auto* other = new Logged(i, &log);
      list.Append(other);
      seen.push_back(other);
    }
  }
  auto expected = IdentityOrder(seen, list.Count() / 4);
  list.ClearAndDelete();
  EXPECT_EQ(log.size(), 11u);
  EXPECT_EQ(log, expected);
}

}  // namespace
