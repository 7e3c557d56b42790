#include "foundation/rw/slist.h"

#include <gtest/gtest.h>

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

}  // namespace
