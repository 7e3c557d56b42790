#include <gtest/gtest.h>

#include <vector>

#include "foundation/rw/dlist.h"
#include "tests/support/test_support.h"

using testing_support::ErrorCapture;

namespace {

struct Node : RWDoubleLink {
  explicit Node(int v) : value(v) {}
  int value;
};

int ValueOf(RWDoubleLink* link) {
  return link ? static_cast<Node*>(link)->value : -1;
}

// The values front to back, checked against the values back to front.
std::vector<int> Values(RWDoubleLinkList& list) {
  std::vector<int> forward, backward;
  for (RWDoubleLink* p = list.First(); p != list.Tail(); p = p->Next())
    forward.push_back(ValueOf(p));
  for (RWDoubleLink* p = list.Last(); p != list.Head(); p = p->Prev()) {
    backward.insert(backward.begin(), ValueOf(p));
  }
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(forward.size(), list.Count());
  return forward;
}

}  // namespace

TEST(DoubleLinkList, EmptyListSentinels) {
  RWDoubleLinkList list;
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_EQ(list.Head()->Next(), list.Tail());
  EXPECT_EQ(list.Head()->Prev(), list.Head());
  EXPECT_EQ(list.Tail()->Next(), list.Tail());
  EXPECT_EQ(list.Tail()->Prev(), list.Head());
  Node n(1);
  EXPECT_FALSE(list.Contains(&n));
  EXPECT_FALSE(list.Contains(nullptr));
}

TEST(DoubleLinkList, InsertRemoveAndIndex) {
  Node a(1), b(2), c(3), d(4);
  RWDoubleLinkList list(&b);
  EXPECT_EQ(Values(list), (std::vector<int>{2}));
  list.InsertAfter(list.Head(), &a);
  list.InsertAfter(list.Last(), &d);  // Last() then appends
  list.InsertAt(2, &c);
  EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(ValueOf(list.At(3)), 4);
  EXPECT_TRUE(list.Contains(&c));
  EXPECT_EQ(list.RemoveAt(1), &b);
  EXPECT_EQ(list.Remove(&d), &d);
  EXPECT_EQ(Values(list), (std::vector<int>{1, 3}));
  EXPECT_FALSE(list.Contains(&b));
}

TEST(DoubleLinkList, InsertAtCountAppendsAndBeyondRaises) {
  ErrorCapture errors;
  Node a(1), b(2), c(3);
  RWDoubleLinkList list;
  list.InsertAt(0, &a);
  list.InsertAt(1, &b);
  EXPECT_EQ(Values(list), (std::vector<int>{1, 2}));
  list.InsertAt(3, &c);
  ASSERT_EQ(errors.Count(), 1u);
  EXPECT_EQ(errors.Last(), "[INDEXERR] Illegal Index (3) for collection or string with 2 elements");
  EXPECT_EQ(Values(list), (std::vector<int>{1, 2}));
  EXPECT_EQ(list.At(2), nullptr);
  EXPECT_EQ(list.RemoveAt(RW_NPOS), nullptr);
  EXPECT_EQ(errors.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_EQ(list.Count(), 2u);
}

TEST(DoubleLinkList, RemovingNullOrASentinelChangesNothing) {
  Node a(1);
  RWDoubleLinkList list(&a);
  EXPECT_EQ(list.Remove(nullptr), nullptr);
  EXPECT_EQ(list.Remove(list.Head()), nullptr);
  EXPECT_EQ(list.Remove(list.Tail()), nullptr);
  EXPECT_EQ(Values(list), (std::vector<int>{1}));
}

TEST(DoubleLinkList, LinksThatAreNotLinkedOrLinkedAlreadyAreRefused) {
  Node a(1), b(2), stranger(9), other(7);
  RWDoubleLinkList list(&a);
  list.InsertAfter(&a, &b);
  EXPECT_EQ(list.Remove(&stranger), nullptr);  // never linked
  list.InsertAfter(list.Head(), &stranger);
  EXPECT_EQ(list.Remove(&stranger), &stranger);
  EXPECT_EQ(list.Remove(&stranger), nullptr);  // removed before
  list.InsertAfter(list.Last(), &a);           // a member again
  list.InsertAfter(&other, &stranger);         // after a position not linked
  EXPECT_EQ(Values(list), (std::vector<int>{1, 2}));
  EXPECT_EQ(stranger.Next(), nullptr);
}

TEST(DoubleLinkListIterator, AdvanceAndRetreatStopAtTheSentinels) {
  Node a(1), b(2), c(3);
  RWDoubleLinkList list;
  for (Node* n : {&a, &b, &c})
    list.InsertAfter(list.Last(), n);
  RWDoubleLinkListIterator it(list);
  EXPECT_EQ(ValueOf(it.Advance(2)), 2);  // n steps from the head reach the n-th
  EXPECT_FALSE(it.AtFirst() || it.AtLast());
  EXPECT_EQ(ValueOf(it.Advance()), 3);
  EXPECT_TRUE(it.AtLast());
  EXPECT_EQ(it.Advance(), nullptr);  // on the tail sentinel
  EXPECT_EQ(it.Advance(5), nullptr);
  EXPECT_FALSE(it.AtLast());
  EXPECT_EQ(ValueOf(it.Retreat()), 3);
  EXPECT_EQ(it.Retreat(7), nullptr);  // on the head sentinel
  EXPECT_EQ(ValueOf(it.Advance()), 1);
  EXPECT_TRUE(it.AtFirst());
  it.ToLast();
  EXPECT_EQ(ValueOf(it.Retreat(0)), 3);
  it.ToFirst();
  EXPECT_TRUE(it.AtFirst());
}

TEST(DoubleLinkListIterator, EmptyList) {
  RWDoubleLinkList list;
  RWDoubleLinkListIterator it(list);
  it.ToFirst();
  EXPECT_EQ(it.Advance(0), nullptr);
  it.ToLast();
  EXPECT_EQ(it.Advance(0), nullptr);  // the tail sentinel
  EXPECT_FALSE(it.AtFirst() || it.AtLast());
  EXPECT_EQ(it.RemoveCurrent(), nullptr);
  Node a(1);
  it.InsertAfterCursor(&a);  // after the tail sentinel: at the end
  EXPECT_EQ(Values(list), (std::vector<int>{1}));
}

TEST(DoubleLinkListIterator, RemoveCurrentStepsBack) {
  Node a(1), b(2), c(3);
  RWDoubleLinkList list;
  for (Node* n : {&a, &b, &c})
    list.InsertAfter(list.Last(), n);
  RWDoubleLinkListIterator it(list);
  EXPECT_EQ(it.RemoveCurrent(), nullptr);  // on the head sentinel
  it.Advance();
  EXPECT_EQ(it.RemoveCurrent(), &a);
  EXPECT_EQ(ValueOf(it.Advance()), 2);  // the new first member
  it.Advance();
  EXPECT_EQ(it.RemoveCurrent(), &c);
  EXPECT_TRUE(it.AtLast());
  Node d(4);
  it.InsertAfterCursor(&d);
  EXPECT_EQ(Values(list), (std::vector<int>{2, 4}));
  it.Reset(list);
  EXPECT_EQ(ValueOf(it.Advance()), 2);
}

TEST(TypedDoubleLinkList, TypedFront) {
  Node a(1), b(2);
  RWTypedDoubleLinkList<Node> list;
  EXPECT_EQ(list.First(), nullptr);
  EXPECT_EQ(list.Last(), nullptr);
  list.InsertAt(0, &b);
  list.InsertAfter(list.Head(), &a);
  EXPECT_EQ(list.First()->value, 1);
  EXPECT_EQ(list.Last()->value, 2);
  EXPECT_EQ(list.At(1), &b);
  EXPECT_EQ(list.Remove(&a), &a);
  EXPECT_EQ(Values(list.Untyped()), (std::vector<int>{2}));
}
