// The stored run of a composite's children, shared by the model's
// composites (the persistent and attribute composites, the command and
// peripheral composites of the output model):
//   count     u32
//   children  count object references (a shared child is written once and
//             referred back to afterwards; an empty entry as the nil object)
// Not synchronised: a stream or file and a composite belong to one thread
// at a time.
#pragma once

#include <cstdint>

#include "foundation/rw/refcount.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"
#include "persist/stored_form.h"

// What a read does with a nil entry: keeps it as an empty entry, or drops
// it.
enum class MNilEntries { kKeep, kDrop };

template <class Out>
void PutChildren(Out& out, const GCountedPtrVector& children) {
  PutItem(out, std::uint32_t{children.Count()});
  for (RWSize i = 0; i < children.Count(); ++i)
    PutReference(out, children[i].Get());
}

// Reads the count and the children, appending each to `children` (held
// under `lock`), and stops at the first failed read. Answers false when the
// data is bad: a count larger than the rest of a file can hold, an object
// that is not a T, or a back reference to an object still being restored
// (a cycle); refused objects go back to the read (RefuseRestored), which
// frees them unless the graph holds them elsewhere.
// A child read in part is still held, so that it goes with its owner. A
// failed read of the source answers true: the source's own state says it.
// REQUIRES: the owner's restore holds an MRestoreInProgress for itself.
template <class T, class In>
bool GetChildren(In& in, GCountedPtrVector& children, RWLockRecord& lock, MNilEntries nil) {
  constexpr std::uint32_t kMinReferenceBytes = 2;
  std::uint32_t count = 0;
  if (!GetItem(in, count)) return true;
  if (!RemainingMayHold(in, count, kMinReferenceBytes)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    RWCollectable* read = nullptr;
    bool read_on = GetReference(in, read);
    T* child = dynamic_cast<T*>(read);
    if (read && (!child || !MayHoldRestoredChild(child))) {
      RefuseRestored(in, read);
      return false;
    }
    if (child || (read_on && nil == MNilEntries::kKeep)) children.Append(GCountedPtr(child, lock));
    if (!read_on) return true;
  }
  return true;
}
