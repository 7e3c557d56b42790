#include "foundation/rw/slist.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/rw/slistcollectables.h"
#include "tests/support/test_collectable.h"

#include "tests/support/test_support.h"

namespace {

struct Node : RWSlink {
  explicit Node(int v) : value(v) {}
  int value;
};

int ValueAt(const RWSinglyLinkedList& list, RWSize i) {
  return static_cast<Node*>(list.At(i))->value;
}

TEST(SinglyLinkedList, EmptyListInvariants) {
  RWSinglyLinkedList list;
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
  EXPECT_TRUE(list.IsTail(list.Head()->next));
  EXPECT_EQ(list.Tail()->next, list.Tail());
  RWSinglyLinkedListIterator it(list);
  EXPECT_EQ(it.Advance(1), nullptr);  // reset and advanced by 1 on an empty list
  EXPECT_EQ(it.ToLast(), nullptr);
  EXPECT_FALSE(it.AtFirst());
}

TEST(SinglyLinkedList, InsertAtAndIndexErrors) {
  Node a(1), b(2), c(3);
  RWSinglyLinkedList list(&a);
  list.InsertAt(1, &c);  // at the count: appends
  list.InsertAt(1, &b);
  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(ValueAt(list, 0), 1);
  EXPECT_EQ(ValueAt(list, 1), 2);
  EXPECT_EQ(ValueAt(list, 2), 3);
  EXPECT_EQ(list.Last(), &c);

  testing_support::ErrorCapture capture;
  EXPECT_EQ(list.At(3), nullptr);
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (3) for collection or string with 3 elements");
  EXPECT_EQ(list.At(RW_NPOS), nullptr);
  EXPECT_EQ(capture.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  Node d(4);
  list.InsertAt(5, &d);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(capture.Count(), 3u);
  EXPECT_EQ(list.RemoveAt(7), nullptr);
  EXPECT_EQ(capture.Count(), 4u);
}

TEST(SinglyLinkedList, RemoveKeepsLastAndTailRight) {
  Node a(1), b(2), c(3), stranger(9);
  RWSinglyLinkedList list;
  list.Append(&a);
  list.Append(&b);
  list.Append(&c);
  EXPECT_EQ(list.Remove(&stranger), nullptr);
  EXPECT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.Tail()->next, list.Tail());
  EXPECT_EQ(list.Remove(nullptr), nullptr);

  EXPECT_EQ(list.Remove(&c), &c);  // the last link: last moves back
  EXPECT_EQ(c.next, nullptr);
  EXPECT_EQ(list.Last(), &b);
  EXPECT_TRUE(list.IsTail(b.next));
  EXPECT_EQ(list.RemoveAt(0), &a);
  EXPECT_EQ(list.Remove(&b), &b);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Last(), nullptr);
  list.Append(&a);  // appending after the head again
  EXPECT_EQ(list.First(), &a);
  EXPECT_EQ(list.FindPrevious(&a), list.Head());
  EXPECT_TRUE(list.Contains(&a));
  EXPECT_FALSE(list.Contains(nullptr));
  EXPECT_EQ(list.RemoveAfter(nullptr), nullptr);
}

TEST(SinglyLinkedList, IteratorWalksAndEdits) {
  Node a(1), b(2), c(3), x(7);
  RWSinglyLinkedList list;
  list.Append(&a);
  list.Append(&b);
  list.Append(&c);
  RWSinglyLinkedListIterator it(list);
  EXPECT_EQ(it.Current(), nullptr);
  EXPECT_EQ(it.Advance(2), &b);
  EXPECT_FALSE(it.AtFirst());
  it.InsertAfterPoint(&x);
  EXPECT_EQ(ValueAt(list, 2), 7);
  EXPECT_EQ(it.RemoveCurrent(), &b);
  EXPECT_EQ(it.Current(), &a);  // the predecessor becomes current
  EXPECT_TRUE(it.AtFirst());
  EXPECT_EQ(it.Advance(10), nullptr);  // stays at the tail
  EXPECT_EQ(it.Advance(1), nullptr);
  EXPECT_EQ(it.RemoveCurrent(), nullptr);
  EXPECT_EQ(it.ToLast(), &c);
  EXPECT_TRUE(it.AtLast());
  EXPECT_EQ(it.ToFirst(), &a);
  it.Reset();
  EXPECT_EQ(it.RemoveCurrent(), nullptr);  // at the head
}

// The values from the head to the tail, at most 10 (a broken chain shows).
std::vector<int> Walk(RWSinglyLinkedList& list) {
  std::vector<int> values;
  for (RWSlink* p = list.Head()->next; !list.IsTail(p) && values.size() < 10; p = p->next)
    values.push_back(static_cast<Node*>(p)->value);
  return values;
}

TEST(SinglyLinkedListIterator, InsertAfterPointAtEveryPosition) {
  struct Case {
    const char* name;
    int members;                                 // 1, 2, ... linked first
    void (*place)(RWSinglyLinkedListIterator&);  // where the cursor goes
    std::vector<int> expected;                   // 9 is the inserted link
  } cases[] = {
      {"at the head", 2, [](RWSinglyLinkedListIterator& it) { it.Reset(); }, {9, 1, 2}},
      {"on the first link", 2, [](RWSinglyLinkedListIterator& it) { it.Advance(1); }, {1, 9, 2}},
      {"on the last link", 2, [](RWSinglyLinkedListIterator& it) { it.ToLast(); }, {1, 2, 9}},
      {"past the last link", 2, [](RWSinglyLinkedListIterator& it) { it.Advance(5); }, {1, 2, 9}},
      {"empty, after ToFirst", 0, [](RWSinglyLinkedListIterator& it) { it.ToFirst(); }, {9}},
      {"empty, after ToLast", 0, [](RWSinglyLinkedListIterator& it) { it.ToLast(); }, {9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Node> nodes;
    for (int v = 1; v <= c.members; ++v)
      nodes.emplace_back(v);
    Node x(9);
    RWSinglyLinkedList list;
    for (Node& node : nodes)
      list.Append(&node);
    RWSinglyLinkedListIterator it(list);
    c.place(it);
    it.InsertAfterPoint(&x);
    EXPECT_EQ(Walk(list), c.expected);
    EXPECT_EQ(list.Count(), c.expected.size());
    EXPECT_EQ(list.First(), c.expected.front() == 9 ? &x : &nodes.front());
    EXPECT_EQ(list.Last(), c.expected.back() == 9 ? &x : &nodes.back());
    EXPECT_EQ(list.Tail()->next, list.Tail());
  }
}

TEST(SinglyLinkedListIterator, AnswersAtTheEdges) {
  Node a(1);
  RWSinglyLinkedList empty, one(&a);
  RWSinglyLinkedListIterator at_empty(empty), at_one(one);
  TestItem item(4);
  RWSlistCollectables members(&item);
  RWSlistCollectablesIterator over_members(members);
  struct Case {
    const char* name;
    const void* answer;
    const void* expected;
  } cases[] = {
      // The core answers the link under the cursor, pseudo-links included.
      {"ToFirst on an empty list: the tail", at_empty.ToFirst(), empty.Tail()},
      {"Advance(0) at the head: the head", (at_one.Reset(), at_one.Advance(0)), one.Head()},
      {"Advance(1) from the head", at_one.Advance(1), &a},
      {"Advance past the end: null", at_one.Advance(1), nullptr},
      // The collectables' iterator answers members only.
      {"members: Advance(0) before the first", over_members.Advance(0), nullptr},
      {"members: Key before the first", over_members.Key(), nullptr},
      {"members: Advance(1)", over_members.Advance(1), &item},
      {"members: Advance(0) on a member", over_members.Advance(0), &item},
      {"members: past the end", over_members.Advance(1), nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.answer, c.expected) << c.name;
  }
}

}  // namespace
