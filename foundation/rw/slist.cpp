#include "foundation/rw/slist.h"

#include "foundation/rw/error.h"

RWSinglyLinkedList::RWSinglyLinkedList() : last_(&head_), count_(0) {
  head_.next = &tail_;
  tail_.next = &tail_;
}

RWSinglyLinkedList::RWSinglyLinkedList(RWSlink* link) : RWSinglyLinkedList() {
  Append(link);
}

void RWSinglyLinkedList::InsertAfter(RWSlink* previous, RWSlink* link) {
  link->next = previous->next;
  previous->next = link;
  if (previous == last_) last_ = link;
  ++count_;
}

RWSlink* RWSinglyLinkedList::RemoveAfter(RWSlink* previous) {
  if (!previous || previous->next == &tail_) return nullptr;
  RWSlink* link = previous->next;
  previous->next = link->next;
  if (link == last_) last_ = previous;
  link->next = nullptr;
  --count_;
  return link;
}

RWSlink* RWSinglyLinkedList::At(RWSize index) const {
  if (!RWCheckIndex(index, count_)) return nullptr;
  RWSlink* link = head_.next;
  while (index-- > 0)
    link = link->next;
  return link;
}

void RWSinglyLinkedList::InsertAt(RWSize index, RWSlink* link) {
  if (index > count_) {
    RWCheckIndex(index, count_);
    return;
  }
  RWSlink* previous = index == 0 ? &head_ : At(index - 1);
  InsertAfter(previous, link);
}

RWSlink* RWSinglyLinkedList::RemoveAt(RWSize index) {
  if (!RWCheckIndex(index, count_)) return nullptr;
  RWSlink* previous = index == 0 ? &head_ : At(index - 1);
  return RemoveAfter(previous);
}

bool RWSinglyLinkedList::Contains(const RWSlink* link) const {
  if (!link) return false;
  for (const RWSlink* p = head_.next; p != &tail_; p = p->next) {
    if (p == link) return true;
  }
  return false;
}

RWSlink* RWSinglyLinkedList::FindPrevious(const RWSlink* link) {
  if (!link) return nullptr;
  for (RWSlink* p = &head_; p->next != &tail_; p = p->next) {
    if (p->next == link) return p;
  }
  return nullptr;
}

RWSlink* RWSinglyLinkedList::Remove(RWSlink* link) {
  return link ? RemoveAfter(FindPrevious(link)) : nullptr;
}

void RWSinglyLinkedList::Reset() {
  head_.next = &tail_;
  last_ = &head_;
  count_ = 0;
}

RWSlink* RWSinglyLinkedListIterator::Advance(RWSize n) {
  while (n-- > 0 && !list_->IsTail(current_))
    current_ = current_->next;
  return list_->IsTail(current_) ? nullptr : current_;
}

RWSlink* RWSinglyLinkedListIterator::ToFirst() {
  current_ = list_->Head()->next;
  return current_;
}

void RWSinglyLinkedListIterator::InsertAfterPoint(RWSlink* link) {
  // Nothing may follow the tail sentinel: past the end means at the end.
  list_->InsertAfter(list_->IsTail(current_) ? list_->LastOrHead() : current_, link);
}

RWSlink* RWSinglyLinkedListIterator::ToLast() {
  current_ = list_->IsEmpty() ? const_cast<RWSlink*>(list_->Tail()) : list_->Last();
  return Current();
}

RWSlink* RWSinglyLinkedListIterator::RemoveCurrent() {
  if (IsEdge()) return nullptr;
  RWSlink* previous = list_->FindPrevious(current_);
  if (!previous) return nullptr;
  current_ = previous;
  return list_->RemoveAfter(previous);
}
