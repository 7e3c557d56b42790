// RWSinglyLinkedList: the intrusive singly linked list under the library's
// lists, stacks and hash-table buckets. It links caller-owned records that
// derive from RWSlink and owns no memory. Not synchronised.
//
// Layout: a head pseudo-link whose next is the first link (the tail when
// empty); a tail sentinel whose next points to itself; `last` is the last
// link (the head when empty). Walking next from the head reaches the tail
// after Count() links.
#pragma once

#include "foundation/rw/defs.h"

struct RWSlink {
  RWSlink* next = nullptr;
};

class RWSinglyLinkedList {
 public:
  RWSinglyLinkedList();
  explicit RWSinglyLinkedList(RWSlink* link);
  // The list points into itself; links belong to the caller.
  RWSinglyLinkedList(const RWSinglyLinkedList&) = delete;
  RWSinglyLinkedList& operator=(const RWSinglyLinkedList&) = delete;

  RWSize Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  RWSlink* First() const { return count_ ? head_.next : nullptr; }
  RWSlink* Last() const { return count_ ? last_ : nullptr; }
  RWSlink* Head() { return &head_; }
  // The last link, or the head when empty: where an append links.
  RWSlink* LastOrHead() { return last_; }
  const RWSlink* Tail() const { return &tail_; }
  bool IsTail(const RWSlink* link) const { return link == &tail_; }

  // Links `link` after `previous` (the head, or a link of this list).
  void InsertAfter(RWSlink* previous, RWSlink* link);
  void Append(RWSlink* link) { InsertAfter(last_, link); }
  void Prepend(RWSlink* link) { InsertAfter(&head_, link); }

  // Unlinks and answers the link after `previous`; null for a null previous.
  // REQUIRES: previous is not the last link.
  RWSlink* RemoveAfter(RWSlink* previous);

  // The link at a 0-based index; an index >= Count() raises the index error
  // and answers null.
  RWSlink* At(RWSize index) const;
  // Inserts so that `link` gets the index; index == Count() appends, a larger
  // one raises the index error and inserts nothing.
  void InsertAt(RWSize index, RWSlink* link);
  // Removes and answers the link at the index (null after an index error).
  RWSlink* RemoveAt(RWSize index);

  bool Contains(const RWSlink* link) const;
  // The link (or the head) whose next is `link`; null when absent.
  RWSlink* FindPrevious(const RWSlink* link);
  // Unlinks `link`, clears its next field and answers it; null when absent.
  RWSlink* Remove(RWSlink* link);

  // Forgets every link (the caller frees them).
  void Reset();

 private:
  RWSlink head_;
  RWSlink tail_;
  RWSlink* last_;
  RWSize count_;
};

// A cursor on a list: at the head before the first step, at the tail after
// the last. It edits the list at the cursor. Advance and ToFirst answer the
// link under the cursor, which may be one of the list's pseudo-links (the
// head before the first step, the tail of an empty list after ToFirst): a
// caller tells them with Head() and IsTail() before using a link as its own.
class RWSinglyLinkedListIterator {
 public:
  explicit RWSinglyLinkedListIterator(RWSinglyLinkedList& list)
      : list_(&list), current_(list.Head()) {}

  void Reset() { current_ = list_->Head(); }
  void Reset(RWSinglyLinkedList& list) {
    list_ = &list;
    Reset();
  }
  // Moves n links on (staying at the tail) and answers the link there, null
  // at the tail (Advance(0) at the head answers the head).
  RWSlink* Advance(RWSize n = 1);
  RWSlink* Current() const { return IsEdge() ? nullptr : current_; }
  bool AtFirst() const { return !IsEdge() && current_ == list_->First(); }
  bool AtLast() const { return !IsEdge() && current_ == list_->Last(); }
  // The cursor onto the first link, answered; the tail when empty.
  RWSlink* ToFirst();
  // The cursor onto the last link (the tail when empty); answers the link,
  // null when empty.
  RWSlink* ToLast();
  // Inserts after the cursor; with the cursor at the tail, at the end.
  void InsertAfterPoint(RWSlink* link);
  // Removes the link under the cursor, which moves back to its predecessor;
  // null at the head or the tail.
  RWSlink* RemoveCurrent();
  // Moves the cursor onto `link` (a link of the list, or the head).
  void SetCurrent(RWSlink* link) { current_ = link; }

 private:
  bool IsEdge() const { return current_ == list_->Head() || list_->IsTail(current_); }

  RWSinglyLinkedList* list_;
  RWSlink* current_;
};
