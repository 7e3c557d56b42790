#include "foundation/rw/slistcollectables.h"

#include <new>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/readscope.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/storetable.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"

// ---------------------------------------------------------------------------
// RWSlistCollectables

RWSlistCollectables::RWSlistCollectables(RWCollectable* first) {
  Append(first);
}

RWSlistCollectables::RWSlistCollectables(const RWSlistCollectables& other) : RWSequenceBase(other) {
  CopyFrom(other);
}

RWSlistCollectables& RWSlistCollectables::operator=(const RWSlistCollectables& other) {
  if (this != &other) {
    Clear();
    CopyFrom(other);
  }
  return *this;
}

void RWSlistCollectables::CopyFrom(const RWSlistCollectables& other) {
  // The list's own append, never a derived class's: a stack refuses Append,
  // and its copy must still hold the same members in the same order.
  other.ForEach(
      [](RWCollectable* m, void* self) { static_cast<RWSlistCollectables*>(self)->AddLink(m); },
      this);
}

RWSlistCollectables::Link* RWSlistCollectables::NewLink(RWCollectable* member) {
  if (!member) return nullptr;
  void* storage = links_.Get();
  return storage ? new (storage) Link(member) : nullptr;
}

RWCollectable* RWSlistCollectables::FreeLink(RWSlink* link) {
  RWCollectable* member = AsLink(link)->member;
  links_.Put(AsLink(link));
  return member;
}

RWCollectable* RWSlistCollectables::AddLink(RWCollectable* member) {
  Link* link = NewLink(member);
  if (!link) return nullptr;
  list_.Append(link);
  return member;
}

RWSlistCollectables::~RWSlistCollectables() {
  Clear();
}

RWCollectable* RWSlistCollectables::CreateDefault() const {
  return new (kRWNoThrow) RWSlistCollectables;
}

RWCollectable* RWSlistCollectables::CreateCopy() const {
  return new (kRWNoThrow) RWSlistCollectables(*this);
}

RWClassID RWSlistCollectables::ClassId() const {
  return kRWSlistCollectablesId;
}

bool RWSlistCollectables::MembersEqual(const RWSlistCollectables& other) const {
  RWComparisonGuard guard(this, &other);
  if (guard.Reentered()) return true;
  const RWSlink* a = list_.First() ? list_.First() : list_.Tail();
  const RWSlink* b = other.list_.First() ? other.list_.First() : other.list_.Tail();
  for (;; a = a->next, b = b->next) {
    if (list_.IsTail(a)) return other.list_.IsTail(b);
    if (other.list_.IsTail(b)) return false;
    if (!static_cast<const Link*>(a)->member->IsEqual(static_cast<const Link*>(b)->member)) {
      return false;
    }
  }
}

bool RWSlistCollectables::IsEqual(const RWCollectable* other) const {
  if (!other || other->ClassId() != kRWSlistCollectablesId) return false;
  auto* list = dynamic_cast<const RWSlistCollectables*>(other);
  return list && MembersEqual(*list);
}

void RWSlistCollectables::ForEach(RWApplyCollectable apply, void* datum) const {
  for (const RWSlink* p = list_.First(); p && !list_.IsTail(p); p = p->next) {
    apply(static_cast<const Link*>(p)->member, datum);
  }
}

void RWSlistCollectables::Clear() {
  list_.Reset();
  links_.Release();
}

namespace {

// Walks the links of a list, with a test on each member.
template <class List, class Visit>
void VisitMembers(List& list, Visit visit) {
  for (RWSlink* p = list.First(); p && !list.IsTail(p); p = p->next) {
    if (!visit(p)) return;
  }
}

}  // namespace

RWCollectable* RWSlistCollectables::Find(const RWCollectable* object) const {
  if (!object) return nullptr;  // no member is null
  for (const RWSlink* p = list_.First(); p && !list_.IsTail(p); p = p->next) {
    RWCollectable* m = static_cast<const Link*>(p)->member;
    if (m->IsEqual(object)) return m;
  }
  return nullptr;
}

RWSize RWSlistCollectables::CountOccurrences(const RWCollectable* object) const {
  RWSize n = 0;
  if (!object) return 0;
  for (const RWSlink* p = list_.First(); p && !list_.IsTail(p); p = p->next) {
    if (static_cast<const Link*>(p)->member->IsEqual(object)) ++n;
  }
  return n;
}

template <class Match>
RWCollectable* RWSlistCollectables::RemoveFirst(Match match) {
  for (RWSlink* previous = list_.Head(); !list_.IsTail(previous->next); previous = previous->next) {
    if (match(AsLink(previous->next)->member)) return FreeLink(list_.RemoveAfter(previous));
  }
  return nullptr;
}

RWCollectable* RWSlistCollectables::Remove(const RWCollectable* object) {
  if (!object) return nullptr;
  return RemoveFirst([object](RWCollectable* m) { return m->IsEqual(object); });
}

RWCollectable* RWSlistCollectables::Append(RWCollectable* member) {
  return AddLink(member);
}

RWCollectable* RWSlistCollectables::At(RWSize index) const {
  RWSlink* link = list_.At(index);
  return link ? static_cast<Link*>(link)->member : nullptr;
}

RWCollectable*& RWSlistCollectables::AtSlot(RWSize index) {
  RWSlink* link = list_.At(index);
  if (!link) {
    // The index error was raised and the handler returned.
    static thread_local RWCollectable* scratch;
    scratch = nullptr;
    return scratch;
  }
  return AsLink(link)->member;
}

RWCollectable* RWSlistCollectables::First() const {
  RWSlink* link = list_.First();
  return link ? static_cast<Link*>(link)->member : nullptr;
}

RWCollectable* RWSlistCollectables::Last() const {
  RWSlink* link = list_.Last();
  return link ? static_cast<Link*>(link)->member : nullptr;
}

RWSize RWSlistCollectables::IndexOf(const RWCollectable* object) const {
  if (!object) return RW_NPOS;
  RWSize i = 0;
  for (const RWSlink* p = list_.First(); p && !list_.IsTail(p); p = p->next, ++i) {
    if (static_cast<const Link*>(p)->member->IsEqual(object)) return i;
  }
  return RW_NPOS;
}

RWCollectable* RWSlistCollectables::InsertAt(RWSize index, RWCollectable* member) {
  if (index > Count()) {
    RWCheckIndex(index, Count());
    return nullptr;
  }
  Link* link = NewLink(member);
  if (!link) return nullptr;
  list_.InsertAt(index, link);
  return member;
}

RWCollectable* RWSlistCollectables::Prepend(RWCollectable* member) {
  Link* link = NewLink(member);
  if (!link) return nullptr;
  list_.Prepend(link);
  return member;
}

RWCollectable* RWSlistCollectables::InsertAfter(RWSize index, RWCollectable* member) {
  RWSlink* previous = list_.At(index);
  if (!previous) return nullptr;
  Link* link = NewLink(member);
  if (!link) return nullptr;
  list_.InsertAfter(previous, link);
  return member;
}

RWCollectable* RWSlistCollectables::FindReference(const RWCollectable* object) const {
  for (const RWSlink* p = list_.First(); p && !list_.IsTail(p); p = p->next) {
    if (static_cast<const Link*>(p)->member == object) return static_cast<const Link*>(p)->member;
  }
  return nullptr;
}

RWSize RWSlistCollectables::CountReferences(const RWCollectable* object) const {
  RWSize n = 0;
  for (const RWSlink* p = list_.First(); p && !list_.IsTail(p); p = p->next) {
    if (static_cast<const Link*>(p)->member == object) ++n;
  }
  return n;
}

RWCollectable* RWSlistCollectables::RemoveReference(const RWCollectable* object) {
  return RemoveFirst([object](RWCollectable* m) { return m == object; });
}

RWSize RWSlistCollectables::IndexOfReference(const RWCollectable* object) const {
  RWSize i = 0;
  for (const RWSlink* p = list_.First(); p && !list_.IsTail(p); p = p->next, ++i) {
    if (static_cast<const Link*>(p)->member == object) return i;
  }
  return RW_NPOS;
}

void RWSlistCollectables::ApplyToSlots(void (*apply)(RWCollectable*&, void*), void* datum) {
  VisitMembers(list_, [&](RWSlink* p) {
    apply(AsLink(p)->member, datum);
    return true;
  });
}

// ---------------------------------------------------------------------------
// RWSlistCollectablesStack

RWCollectable* RWSlistCollectablesStack::CreateDefault() const {
  return new (kRWNoThrow) RWSlistCollectablesStack;
}

RWCollectable* RWSlistCollectablesStack::CreateCopy() const {
  return new (kRWNoThrow) RWSlistCollectablesStack(*this);
}

RWClassID RWSlistCollectablesStack::ClassId() const {
  return kRWSlistCollectablesStackId;
}

bool RWSlistCollectablesStack::IsEqual(const RWCollectable* other) const {
  if (!other || other->ClassId() != kRWSlistCollectablesStackId) return false;
  auto* stack = dynamic_cast<const RWSlistCollectablesStack*>(other);
  return stack && MembersEqual(*stack);
}

RWCollectable* RWSlistCollectablesStack::Remove(const RWCollectable*) {
  return RemoveFirst([](RWCollectable*) { return true; });
}

bool RWSlistCollectablesStack::RemoveAndDelete(const RWCollectable*) {
  return false;
}

RWCollectable* RWSlistCollectablesStack::Append(RWCollectable*) {
  return nullptr;
}

// A member the stack could not link (its link's memory ran short) goes
// back to the read, which frees it with what only it holds, as a
// collection's restore does with what it does not take.
void RWSlistCollectablesStack::RestoreFromFile(RWFile& file) {
  RWReadScope scope(file);
  RWReadTableKeeper keeper(&file);
  std::uint32_t count;
  if (!file.ReadUInt(count)) return;
  for (std::uint32_t i = 0; i < count && !file.Error() && !file.Eof(); ++i) {
    RWCollectable* member = nullptr;
    ReadCollectablePointerFromFile(file, member);
    if (member && !AddLink(member)) RWRefuseRestored(file, member);
  }
}

void RWSlistCollectablesStack::RestoreFromStream(RWVirtualInputStream& stream) {
  RWReadScope scope(stream);
  RWReadTableKeeper keeper(&stream);
  std::uint32_t count = 0;
  stream.GetUInt(count);
  for (std::uint32_t i = 0; i < count && stream.Good(); ++i) {
    RWCollectable* member = nullptr;
    ReadCollectablePointerFromStream(stream, member);
    if (member && !AddLink(member)) RWRefuseRestored(stream, member);
  }
}

// ---------------------------------------------------------------------------
// Iterator

RWCollectable* RWSlistCollectablesIterator::Key() const {
  RWSlink* link = cursor_.Current();
  return link ? static_cast<RWSlistCollectables::Link*>(link)->member : nullptr;
}

RWCollectable* RWSlistCollectablesIterator::Next() {
  return Advance(1);
}

RWCollectable* RWSlistCollectablesIterator::Advance(RWSize n) {
  // The core answers the head pseudo-link for Advance(0) before the first
  // step; that is no member.
  cursor_.Advance(n);
  return Key();
}

RWCollectable* RWSlistCollectablesIterator::FindNext(const RWCollectable* object) {
  for (RWCollectable* m; (m = Next()) != nullptr;) {
    if (m->IsEqual(object)) return m;
  }
  return nullptr;
}

RWCollectable* RWSlistCollectablesIterator::FindNextReference(const RWCollectable* object) {
  for (RWCollectable* m; (m = Next()) != nullptr;) {
    if (m == object) return m;
  }
  return nullptr;
}

template <class Match>
RWCollectable* RWSlistCollectablesIterator::RemoveNextMatching(Match match) {
  for (RWCollectable* m; (m = Next()) != nullptr;) {
    if (match(m)) return RemoveCurrent();
  }
  return nullptr;
}

RWCollectable* RWSlistCollectablesIterator::RemoveNext(const RWCollectable* object) {
  return RemoveNextMatching([object](RWCollectable* m) { return m->IsEqual(object); });
}

RWCollectable* RWSlistCollectablesIterator::RemoveNextReference(const RWCollectable* object) {
  return RemoveNextMatching([object](RWCollectable* m) { return m == object; });
}

RWCollectable* RWSlistCollectablesIterator::RemoveCurrent() {
  RWSlink* link = cursor_.RemoveCurrent();
  return link ? list_->FreeLink(link) : nullptr;
}
