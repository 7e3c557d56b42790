// RWSlistCollectables: a singly linked list of collectables, and
// RWSlistCollectablesStack, the stack on top of it (the top is the first
// member). The lists own their links (taken from blocks of their own,
// RWLinkPool), never their members; a copy holds the same members in the
// same order. Not synchronised.
//
// A null member is refused: every insertion answers null for it and
// inserts nothing, and a lookup of null finds nothing. So is a member whose
// link cannot be allocated ([NOMEM] is raised).
//
// The stack differs from the list where a stack must: Insert pushes, Remove
// pops whatever the argument, Append is refused and RemoveAndDelete does
// nothing; a restored stack keeps its top.
#pragma once

#include "foundation/rw/collection.h"
#include "foundation/rw/linkpool.h"
#include "foundation/rw/slist.h"

inline constexpr RWClassID kRWSlistCollectablesId = 0x8033;
inline constexpr RWClassID kRWSlistCollectablesStackId = 0x8036;

class RWSlistCollectables : public RWSequenceBase {
 public:
  RWSlistCollectables() = default;
  explicit RWSlistCollectables(RWCollectable* first);
  RWSlistCollectables(const RWSlistCollectables& other);
  RWSlistCollectables& operator=(const RWSlistCollectables& other);

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  ~RWSlistCollectables() override;
  // Same class id, then member-wise IsEqual in order.
  bool IsEqual(const RWCollectable* other) const override;

  void ForEach(RWApplyCollectable apply, void* datum) const override;
  void Clear() override;
  RWSize Count() const override { return list_.Count(); }
  RWCollectable* Find(const RWCollectable* object) const override;
  RWCollectable* Insert(RWCollectable* member) override { return Append(member); }
  bool IsEmpty() const override { return list_.IsEmpty(); }
  RWSize CountOccurrences(const RWCollectable* object) const override;
  RWCollectable* Remove(const RWCollectable* object) override;

  RWCollectable* Append(RWCollectable* member) override;
  RWCollectable* At(RWSize index) const override;
  // REQUIRES: what is stored through the slot is not null.
  RWCollectable*& AtSlot(RWSize index) override;
  RWCollectable* First() const override;
  RWSize IndexOf(const RWCollectable* object) const override;
  RWCollectable* InsertAt(RWSize index, RWCollectable* member) override;
  RWCollectable* Last() const override;
  RWCollectable* Prepend(RWCollectable* member) override;
  RWCollectable* InsertAfter(RWSize index, RWCollectable* member) override;

  // The same operations by identity (pointer equality), for the hash tables.
  RWCollectable* FindReference(const RWCollectable* object) const;
  RWSize CountReferences(const RWCollectable* object) const;
  RWCollectable* RemoveReference(const RWCollectable* object);
  RWSize IndexOfReference(const RWCollectable* object) const;
  // Calls `apply` on each stored pointer's slot.
  void ApplyToSlots(void (*apply)(RWCollectable*& slot, void* datum), void* datum);

 protected:
  friend class RWSlistCollectablesIterator;

  struct Link : RWSlink {
    explicit Link(RWCollectable* m) : member(m) {}
    RWCollectable* member;
  };

  static Link* AsLink(RWSlink* link) { return static_cast<Link*>(link); }
  // A link for a member; null for a null member and after [NOMEM].
  Link* NewLink(RWCollectable* member);
  // Frees an unlinked link; answers its member.
  RWCollectable* FreeLink(RWSlink* link);
  // Appends through the list itself, whatever a derived class does with
  // Append; answers the member, or null when it was refused.
  RWCollectable* AddLink(RWCollectable* member);
  // Removes the first link whose member passes `match`; answers its member.
  template <class Match>
  RWCollectable* RemoveFirst(Match match);
  void CopyFrom(const RWSlistCollectables& other);
  bool MembersEqual(const RWSlistCollectables& other) const;

  RWSinglyLinkedList list_;
  RWLinkPool<Link> links_;
};

class RWSlistCollectablesStack : public RWSlistCollectables {
 public:
  RWSlistCollectablesStack() = default;
  RWSlistCollectablesStack(const RWSlistCollectablesStack&) = default;
  RWSlistCollectablesStack& operator=(const RWSlistCollectablesStack&) = default;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override;
  bool IsEqual(const RWCollectable* other) const override;
  // Members come back appended in stored order, so the top stays the top.
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;

  RWCollectable* Insert(RWCollectable* member) override { return Prepend(member); }
  // Pops the top whatever the argument; null when empty.
  RWCollectable* Remove(const RWCollectable* object) override;
  // Does nothing: a stack removes only from the top.
  bool RemoveAndDelete(const RWCollectable* object) override;
  // Refused: does nothing and answers null.
  RWCollectable* Append(RWCollectable* member) override;

  RWCollectable* Push(RWCollectable* member) { return Prepend(member); }
  RWCollectable* Pop() { return Remove(nullptr); }
  RWCollectable* Top() const { return First(); }
};

// Walks an RWSlistCollectables, starting before the first member.
class RWSlistCollectablesIterator : public RWIterator {
 public:
  explicit RWSlistCollectablesIterator(RWSlistCollectables& list)
      : list_(&list), cursor_(list.list_) {}

  RWCollectable* FindNext(const RWCollectable* object) override;
  RWCollectable* Key() const override;
  RWCollectable* Next() override;
  void Reset() override { cursor_.Reset(); }

  // Moves n members on and answers the member there (null at the end, and
  // before the first: Advance(0) there answers no member).
  RWCollectable* Advance(RWSize n);
  // Advances to the next member that is `object` itself.
  RWCollectable* FindNextReference(const RWCollectable* object);
  // Removes the next member equal to (identical to) `object`; the cursor
  // stays before the member that followed it. Answers the removed member.
  RWCollectable* RemoveNext(const RWCollectable* object);
  RWCollectable* RemoveNextReference(const RWCollectable* object);
  // Removes the member under the cursor; null before the first and at the end.
  RWCollectable* RemoveCurrent();

 private:
  template <class Match>
  RWCollectable* RemoveNextMatching(Match match);

  RWSlistCollectables* list_;
  RWSinglyLinkedListIterator cursor_;
};
