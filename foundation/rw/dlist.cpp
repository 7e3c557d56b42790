#include "foundation/rw/dlist.h"

#include "foundation/rw/error.h"

RWDoubleLinkList::RWDoubleLinkList() {
  Init();
}

RWDoubleLinkList::RWDoubleLinkList(RWDoubleLink* link) {
  Init();
  InsertAfter(&head_, link);
}

void RWDoubleLinkList::Init() {
  head_.next_ = &tail_;
  head_.prev_ = &head_;
  tail_.next_ = &tail_;
  tail_.prev_ = &head_;
  count_ = 0;
}

void RWDoubleLinkList::InsertAfter(RWDoubleLink* position, RWDoubleLink* link) {
  // A linked link would be chained twice, and a position that is not linked
  // has no neighbours to link between.
  if (!link || link->IsLinked() || link == &head_ || link == &tail_) return;
  // Nothing may follow the tail sentinel: after it means at the end.
  if (!position || position == &tail_) position = tail_.prev_;
  if (!position->IsLinked()) return;
  link->prev_ = position;
  link->next_ = position->next_;
  position->next_->prev_ = link;
  position->next_ = link;
  ++count_;
}

RWDoubleLink* RWDoubleLinkList::Remove(RWDoubleLink* link) {
  // A link that is not linked has no neighbours to join.
  if (!link || link == &head_ || link == &tail_ || count_ == 0 || !link->IsLinked()) return nullptr;
  link->prev_->next_ = link->next_;
  link->next_->prev_ = link->prev_;
  link->next_ = link->prev_ = nullptr;
  --count_;
  return link;
}

void RWDoubleLinkList::RaiseIndex(RWSize index, RWSize count) {
  if (index == RW_NPOS) {
    RaiseIndexError(RWIndexError(RWMessageText(rwtools::NposIndex())));
  } else {
    RaiseIndexError(RWIndexError(RWMessageText(rwtools::IndexErr(), index, count)));
  }
}

RWDoubleLink* RWDoubleLinkList::At(RWSize index) const {
  if (index >= count_) {
    RaiseIndex(index, count_);
    return nullptr;
  }
  RWDoubleLink* link = head_.next_;
  for (RWSize i = 0; i < index; ++i)
    link = link->next_;
  return link;
}

void RWDoubleLinkList::InsertAt(RWSize index, RWDoubleLink* link) {
  if (index > count_) {
    RaiseIndex(index, count_);
    return;
  }
  InsertAfter(index == 0 ? &head_ : At(index - 1), link);
}

RWDoubleLink* RWDoubleLinkList::RemoveAt(RWSize index) {
  RWDoubleLink* link = At(index);
  return link ? Remove(link) : nullptr;
}

bool RWDoubleLinkList::Contains(const RWDoubleLink* link) const {
  if (!link) return false;
  for (const RWDoubleLink* p = head_.next_; p != &tail_; p = p->next_) {
    if (p == link) return true;
  }
  return false;
}

RWDoubleLinkListIterator::RWDoubleLinkListIterator(RWDoubleLinkList& list)
    : list_(&list), cursor_(list.Head()) {}

void RWDoubleLinkListIterator::Reset(RWDoubleLinkList& list) {
  list_ = &list;
  cursor_ = list.Head();
}

RWDoubleLink* RWDoubleLinkListIterator::Advance(RWSize n) {
  for (RWSize i = 0; i < n && cursor_ != list_->Tail(); ++i)
    cursor_ = cursor_->next_;
  return cursor_ == list_->Tail() ? nullptr : cursor_;
}

RWDoubleLink* RWDoubleLinkListIterator::Retreat(RWSize n) {
  for (RWSize i = 0; i < n && cursor_ != list_->Head(); ++i)
    cursor_ = cursor_->prev_;
  return cursor_ == list_->Head() ? nullptr : cursor_;
}

void RWDoubleLinkListIterator::ToFirst() {
  cursor_ = list_->First();
}

void RWDoubleLinkListIterator::ToLast() {
  cursor_ = list_->IsEmpty() ? list_->Tail() : list_->Last();
}

bool RWDoubleLinkListIterator::AtFirst() const {
  return OnMember() && cursor_ == list_->First();
}

bool RWDoubleLinkListIterator::AtLast() const {
  return OnMember() && cursor_ == list_->Last();
}

void RWDoubleLinkListIterator::InsertAfterCursor(RWDoubleLink* link) {
  list_->InsertAfter(cursor_, link);
}

RWDoubleLink* RWDoubleLinkListIterator::RemoveCurrent() {
  if (!OnMember()) return nullptr;
  RWDoubleLink* current = cursor_;
  cursor_ = cursor_->prev_;
  return list_->Remove(current);
}
