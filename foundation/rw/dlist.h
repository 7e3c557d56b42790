// RWDoubleLinkList: an intrusive doubly linked list. The chained objects
// carry their link themselves (derive from RWDoubleLink, first), so linking
// and unlinking never allocate. The list never owns, copies or frees its
// members; a member is in at most one list at a time.
//
// Layout: a head sentinel, a tail sentinel and the count. Empty:
// head.next = tail, head.prev = head, tail.next = tail, tail.prev = head.
// The sentinels point at themselves at the ends, so a cursor walking past
// either end stays on that sentinel.
//
// Not synchronised: a list and its iterators belong to one thread at a time.
#pragma once

#include "foundation/rw/defs.h"

class RWDoubleLinkList;
class RWDoubleLinkListIterator;

class RWDoubleLink {
 public:
  RWDoubleLink() = default;
  // A link is its object's identity in a list: copies start unlinked.
  RWDoubleLink(const RWDoubleLink&) {}
  RWDoubleLink& operator=(const RWDoubleLink&) { return *this; }

  RWDoubleLink* Next() const { return next_; }
  RWDoubleLink* Prev() const { return prev_; }
  // Whether the link is in a list (a link out of every list has neither
  // neighbour; sentinels always have both).
  bool IsLinked() const { return next_ != nullptr && prev_ != nullptr; }

 private:
  friend class RWDoubleLinkList;
  friend class RWDoubleLinkListIterator;

  RWDoubleLink* next_ = nullptr;
  RWDoubleLink* prev_ = nullptr;
};

class RWDoubleLinkList {
 public:
  RWDoubleLinkList();
  // A list whose only member is `link`.
  explicit RWDoubleLinkList(RWDoubleLink* link);
  RWDoubleLinkList(const RWDoubleLinkList&) = delete;
  RWDoubleLinkList& operator=(const RWDoubleLinkList&) = delete;

  RWSize Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }

  RWDoubleLink* Head() { return &head_; }
  RWDoubleLink* Tail() { return &tail_; }
  // head.next and tail.prev: the tail and the head sentinel when the list
  // is empty, so InsertAfter(Last(), link) always appends.
  RWDoubleLink* First() const { return head_.next_; }
  RWDoubleLink* Last() const { return tail_.prev_; }

  // Links `link` after `position` (a member or the head sentinel); after
  // the tail sentinel means at the end. A link that is linked already, and
  // a position that is not linked, are refused: nothing changes.
  // REQUIRES: position is the head sentinel, the tail sentinel or a member
  // of this list.
  void InsertAfter(RWDoubleLink* position, RWDoubleLink* link);

  // Unlinks a member and answers it; null, a sentinel or a link that is not
  // linked changes nothing and answers null.
  // REQUIRES: a linked link is a member of this list.
  RWDoubleLink* Remove(RWDoubleLink* link);

  // The member at a 0-based index; an index >= Count() raises the index
  // error and answers null.
  RWDoubleLink* At(RWSize index) const;
  // Links `link` so that it gets the index; index == Count() appends, a
  // larger one raises the index error and changes nothing.
  void InsertAt(RWSize index, RWDoubleLink* link);
  // Unlinks and answers the member at the index; bounds as At.
  RWDoubleLink* RemoveAt(RWSize index);

  // Whether `link` is a member; null gives false.
  bool Contains(const RWDoubleLink* link) const;

 private:
  void Init();
  static void RaiseIndex(RWSize index, RWSize count);

  RWDoubleLink head_;
  RWDoubleLink tail_;
  RWSize count_ = 0;
};

// A cursor over a list: on the head sentinel, a member, or the tail
// sentinel. It must not outlive its list.
class RWDoubleLinkListIterator {
 public:
  // Starts on the head sentinel.
  explicit RWDoubleLinkListIterator(RWDoubleLinkList& list);

  // Back to the head sentinel of `list`.
  void Reset(RWDoubleLinkList& list);

  // Moves n links forward; answers the cursor, or null on the tail sentinel.
  RWDoubleLink* Advance(RWSize n = 1);
  // Moves n links back; answers the cursor, or null on the head sentinel.
  RWDoubleLink* Retreat(RWSize n = 1);

  void ToFirst();  // the first member, or the tail sentinel when empty
  void ToLast();   // the last member, or the tail sentinel when empty
  bool AtFirst() const;
  bool AtLast() const;

  // Links `link` after the cursor (at the end when the cursor is on the
  // tail sentinel). The cursor does not move.
  void InsertAfterCursor(RWDoubleLink* link);
  // Unlinks and answers the member under the cursor, which steps back to
  // the previous link; null when the cursor is on a sentinel.
  RWDoubleLink* RemoveCurrent();

 private:
  bool OnMember() const { return cursor_ != list_->Head() && cursor_ != list_->Tail(); }

  RWDoubleLinkList* list_;
  RWDoubleLink* cursor_;
};

// The list typed to its element, which derives from RWDoubleLink.
template <class T>
class RWTypedDoubleLinkList : private RWDoubleLinkList {
 public:
  RWTypedDoubleLinkList() = default;
  explicit RWTypedDoubleLinkList(T* link) : RWDoubleLinkList(link) {}

  using RWDoubleLinkList::Count;
  using RWDoubleLinkList::Head;
  using RWDoubleLinkList::IsEmpty;
  using RWDoubleLinkList::Tail;

  // The untyped list, for iterators.
  RWDoubleLinkList& Untyped() { return *this; }

  // Null when the list is empty.
  T* First() const { return IsEmpty() ? nullptr : static_cast<T*>(RWDoubleLinkList::First()); }
  T* Last() const { return IsEmpty() ? nullptr : static_cast<T*>(RWDoubleLinkList::Last()); }

  void InsertAfter(RWDoubleLink* position, T* link) {
    RWDoubleLinkList::InsertAfter(position, link);
  }
  T* Remove(T* link) { return static_cast<T*>(RWDoubleLinkList::Remove(link)); }
  T* At(RWSize index) const { return static_cast<T*>(RWDoubleLinkList::At(index)); }
  void InsertAt(RWSize index, T* link) { RWDoubleLinkList::InsertAt(index, link); }
  T* RemoveAt(RWSize index) { return static_cast<T*>(RWDoubleLinkList::RemoveAt(index)); }
  bool Contains(const T* link) const { return RWDoubleLinkList::Contains(link); }
};
