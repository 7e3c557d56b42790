#include "persist/child_walks.h"

#include "foundation/rw/rwstore.h"
#include "persist/key_index.h"
#include "persist/persistent_object.h"

namespace child_walks {

namespace {

template <class Match, class Recurse>
MPersistentObject* FindFirst(const GCountedPtrVector& children, Match match, Recurse recurse) {
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (!child) continue;
    if (match(child)) return child;
    if (MPersistentObject* found = recurse(child)) return found;
  }
  return nullptr;
}

template <class Match, class Recurse>
MPersistentObject* RemoveFirst(GCountedPtrVector& children, Match match, Recurse recurse,
                               RWLockRecord& lock) {
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (!child) continue;
    if (match(child)) return children.RemoveAt(i).Detach(lock);
    if (MPersistentObject* found = recurse(child)) return found;
  }
  return nullptr;
}

template <class Match, class Recurse>
bool ReplaceFirst(GCountedPtrVector& children, Match match, Recurse recurse,
                  MPersistentObject* object) {
  if (!object) return false;
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* child = children[i].Get();
    if (!child) continue;
    if (match(child)) {
      MPersistentObject* copy = object->DeepCopy();
      if (!copy) return false;
      children.ResetAt(i, copy);
      return true;
    }
    if (recurse(child)) return true;
  }
  return false;
}

template <class Ask>
void AskEach(const GCountedPtrVector& children, Ask ask) {
  for (RWSize i = 0; i < children.Count(); ++i) {
    if (MPersistentObject* child = children[i].Get()) ask(child);
  }
}

}  // namespace

MPersistentObject* FindByKey(const GCountedPtrVector& children, const std::uint32_t& key) {
  return key_index::FindByKey(children, key);
}

MPersistentObject* FindByClassId(const GCountedPtrVector& children, const RWClassID& id) {
  return FindFirst(
      children, [&id](MPersistentObject* child) { return child->ClassId() == id; },
      [&id](MPersistentObject* child) { return child->FindByClassId(id); });
}

MPersistentObject* FindKindOf(const GCountedPtrVector& children, const RWClassID& id) {
  return FindFirst(
      children, [&id](MPersistentObject* child) { return child->IsKindOf(id); },
      [&id](MPersistentObject* child) { return child->FindKindOf(id); });
}

MPersistentObject* FindEqual(const GCountedPtrVector& children, const MPersistentObject* object,
                             bool by_content) {
  return FindFirst(
      children,
      [object, by_content](MPersistentObject* child) {
        return child == object || (by_content && child->IsEqualContent(object));
      },
      [object](MPersistentObject* child) { return child->FindEqual(object); });
}

MPersistentObject* RemoveChild(GCountedPtrVector& children, const MPersistentObject* object,
                               RWLockRecord& lock) {
  if (!object) return nullptr;
  return RemoveFirst(
      children, [object](MPersistentObject* child) { return child == object; },
      [object](MPersistentObject* child) { return child->RemoveChild(object); }, lock);
}

MPersistentObject* RemoveByKey(GCountedPtrVector& children, const std::uint32_t& key,
                               RWLockRecord& lock) {
  return RemoveFirst(
      children, [&key](MPersistentObject* child) { return child->Key() == key; },
      [&key](MPersistentObject* child) { return child->RemoveByKey(key); }, lock);
}

MPersistentObject* RemoveByClassId(GCountedPtrVector& children, const RWClassID& id,
                                   RWLockRecord& lock) {
  return RemoveFirst(
      children, [&id](MPersistentObject* child) { return child->ClassId() == id; },
      [&id](MPersistentObject* child) { return child->RemoveByClassId(id); }, lock);
}

bool ReplaceByKey(GCountedPtrVector& children, const std::uint32_t& key,
                  MPersistentObject* object) {
  return ReplaceFirst(
      children, [&key](MPersistentObject* child) { return child->Key() == key; },
      [&key, object](MPersistentObject* child) { return child->ReplaceByKey(key, object); },
      object);
}

bool ReplaceByClassId(GCountedPtrVector& children, const RWClassID& id, MPersistentObject* object) {
  return ReplaceFirst(
      children, [&id](MPersistentObject* child) { return child->ClassId() == id; },
      [&id, object](MPersistentObject* child) { return child->ReplaceByClassId(id, object); },
      object);
}

bool ReplaceObject(GCountedPtrVector& children, const MPersistentObject* match,
                   MPersistentObject* object) {
  return ReplaceFirst(
      children, [match](MPersistentObject* child) { return child == match; },
      [match, object](MPersistentObject* child) { return child->ReplaceObject(match, object); },
      object);
}

bool ReplaceKindOf(GCountedPtrVector& children, const RWClassID& id, MPersistentObject* object) {
  return ReplaceFirst(
      children, [&id](MPersistentObject* child) { return child->IsKindOf(id); },
      [&id, object](MPersistentObject* child) { return child->ReplaceKindOf(id, object); }, object);
}

void CollectByKey(const GCountedPtrVector& children, const std::uint32_t& key,
                  MPersistentObject* into) {
  AskEach(children, [&](MPersistentObject* child) { child->CollectByKey(key, into); });
}

void CollectByClassId(const GCountedPtrVector& children, const RWClassID& id,
                      MPersistentObject* into) {
  AskEach(children, [&](MPersistentObject* child) { child->CollectByClassId(id, into); });
}

void CollectKindOf(const GCountedPtrVector& children, const RWClassID& id,
                   MPersistentObject* into) {
  AskEach(children, [&](MPersistentObject* child) { child->CollectKindOf(id, into); });
}

std::uint32_t NodeCount(const GCountedPtrVector& children) {
  std::uint32_t n = 1;
  AskEach(children, [&n](MPersistentObject* child) { n += child->NodeCount(); });
  return n;
}

RWSize ReferencesSize(const GCountedPtrVector& children) {
  RWSize size = 0;
  for (RWSize i = 0; i < children.Count(); ++i)
    size += GraphStoreSizeOf(children[i].Get());
  return size;
}

bool SameChildren(const GCountedPtrVector& a, const GCountedPtrVector& b) {
  if (a.Count() != b.Count()) return false;
  for (RWSize i = 0; i < a.Count(); ++i) {
    MPersistentObject* mine = a[i].Get();
    MPersistentObject* theirs = b[i].Get();
    if (mine != theirs && (!mine || !theirs || mine->IsDifferent(theirs))) return false;
  }
  return true;
}

}  // namespace child_walks
