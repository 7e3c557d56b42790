// The depth-first child protocol that the model's composites share over
// their vector of children (MPersistentComposite here, the attribute
// composite of the configuration model): each walk tests the children in
// order and asks each child the same question (which a composite child
// answers from its own children), the first answer winning; empty entries
// are skipped, and the owner itself is never tested.
//   - finds answer the first matching descendant (FindByKey through a key
//     index of the tree once look-ups repeat, key_index.h);
//   - removals take the first match out of its vector and answer what
//     GCountedPtr::Detach answers: the child itself when the vector held
//     its last reference, else a copy while the child stays with its other
//     holders (the caller owns the answer);
//   - replacements put `object`'s DeepCopy in the first match's place
//     (`object` stays the caller's; null replaces nothing);
//   - collections hand the question to each child, whose leaves add
//     themselves to `into`.
// Not synchronised: one tree is changed by one thread at a time.
#pragma once

#include <cstdint>

#include "foundation/rw/refcount.h"
#include "persist/counted_ptr.h"

class MPersistentObject;

namespace child_walks {

MPersistentObject* FindByKey(const GCountedPtrVector& children, const std::uint32_t& key);
MPersistentObject* FindByClassId(const GCountedPtrVector& children, const RWClassID& id);
MPersistentObject* FindKindOf(const GCountedPtrVector& children, const RWClassID& id);
// A child matches when it is `object` itself, or, with `by_content`, when
// it is equal to it in content.
MPersistentObject* FindEqual(const GCountedPtrVector& children, const MPersistentObject* object,
                             bool by_content);

// `lock` is the lock record of the owner's source file.
MPersistentObject* RemoveChild(GCountedPtrVector& children, const MPersistentObject* object,
                               RWLockRecord& lock);
MPersistentObject* RemoveByKey(GCountedPtrVector& children, const std::uint32_t& key,
                               RWLockRecord& lock);
MPersistentObject* RemoveByClassId(GCountedPtrVector& children, const RWClassID& id,
                                   RWLockRecord& lock);

bool ReplaceByKey(GCountedPtrVector& children, const std::uint32_t& key, MPersistentObject* object);
bool ReplaceByClassId(GCountedPtrVector& children, const RWClassID& id, MPersistentObject* object);
bool ReplaceObject(GCountedPtrVector& children, const MPersistentObject* match,
                   MPersistentObject* object);
bool ReplaceKindOf(GCountedPtrVector& children, const RWClassID& id, MPersistentObject* object);

void CollectByKey(const GCountedPtrVector& children, const std::uint32_t& key,
                  MPersistentObject* into);
void CollectByClassId(const GCountedPtrVector& children, const RWClassID& id,
                      MPersistentObject* into);
void CollectKindOf(const GCountedPtrVector& children, const RWClassID& id, MPersistentObject* into);

// 1 and every child's NodeCount.
std::uint32_t NodeCount(const GCountedPtrVector& children);
// The graph sizes of every child's reference.
RWSize ReferencesSize(const GCountedPtrVector& children);
// As many children, and none IsDifferent from the other's at its index.
bool SameChildren(const GCountedPtrVector& a, const GCountedPtrVector& b);

}  // namespace child_walks
