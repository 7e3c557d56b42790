// Restoring a counted member that a stored form carries as one object
// reference (a paint's colour, a pen's paint, a bitmap's implementation and
// palette).
#pragma once

#include "foundation/rw/refcount.h"
#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"
#include "persist/stored_form.h"

// Reads one object reference into `held`, which lets go of what it held.
// What is read must be a T, or the nil object (none): anything else, or an
// object still being restored (a cycle back to an enclosing object), fails
// `scope`, leaves `held` empty and is refused (freed unless the graph holds
// it elsewhere). An object read in part is still held, so that it goes with
// whoever holds `held`.
template <class T, class In>
void RestoreHeldReference(In& in, MRestoreScope& scope, GCountedPtr& held, RWLockRecord& lock) {
  RWCollectable* read = nullptr;
  GetReference(in, read);
  auto* object = dynamic_cast<T*>(read);
  if (read && (!object || !MayHoldRestoredChild(object))) {
    RefuseRestored(in, read);
    held.Reset(nullptr, lock);
    scope.Fail();
    return;
  }
  held.Reset(object, lock);
}

// The same for a member of the model object `owner`, which counts as being
// restored meanwhile.
template <class T, class In>
void RestoreHeldReference(In& in, MRestoreScope& scope, MPersistentObject& owner, GCountedPtr& held,
                          RWLockRecord& lock) {
  MRestoreInProgress in_progress(owner);
  RestoreHeldReference<T>(in, scope, held, lock);
}
