// GAttributeView: the way features, wrappers and rules read and write one
// composite of the settings model (or of the printer's configuration): by
// attribute id, depth first, first match, as the model's FindByKey finds.
// Each read asks for one class (16-bit values are GValueAttribute, strings
// GStringAttribute, composites GAttributeComposite or a kind of it), and
// anything else under the id answers "missing".
//
// Writes go through the owner GUIContext, which records the id as changed
// (the change dispatch hands it to the rules) and keeps what it takes to
// undo the write (GUIContext::RevertAll). A read-only view refuses every
// write. Values are created only inside the context's user-interface
// composite (kUIObjectsKey): elsewhere a missing id is refused.
//
// A view is a small value: the composite, the context and the flag. It
// stays valid while its composite is part of the tree; take views afresh
// after a replacement, a revert or a snapshot restore.
//
// Threads: the sheet's; the model takes no lock.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/cstring.h"
#include "foundation/rw/defs.h"
#include "foundation/rw/wstring.h"

class GAttributeComposite;
class GMedia;
class GUIContext;
class MPersistentObject;

class GAttributeView {
 public:
  // `composite` may be null (every read answers missing); `context` may be
  // null (writes then record nothing).
  GAttributeView(MPersistentObject* composite, GUIContext* context, bool read_only)
      : composite_(composite), context_(context), read_only_(read_only) {}

  // The 16-bit value sign-extended into `value`; false and 0 when missing.
  bool GetValue(std::uint32_t id, std::int32_t& value) const;
  // Stores the low 16 bits of `value`. False when read-only, when the id is
  // missing (outside the user-interface composite) or of another class;
  // true when equal (nothing recorded) or written.
  bool SetValue(std::uint32_t id, std::int32_t value);
  // Appends a new value attribute `id` = `value` to the view's composite
  // unless the id is there; recorded as a change. False when read-only, when
  // present, or when the view has no composite.
  bool AddValue(std::int32_t value, std::uint32_t id);
  bool Has(std::uint32_t id) const;
  // Whether the context recorded `id` in the current update.
  bool WasChanged(std::uint32_t id) const;

  // The string into `value`; false and empty when missing.
  bool GetString(std::uint32_t id, RWCString& value) const;
  bool GetWideString(std::uint32_t id, RWWString& value) const;
  // Writes and records only when the string differs; false when read-only
  // or missing.
  bool SetString(std::uint32_t id, const RWCString& value);

  // The composite (or enumeration) under `id`, else null.
  GAttributeComposite* FindComposite(std::uint32_t id) const;
  // What is under `id` when it is a kind of `class_id`, else null.
  MPersistentObject* FindTyped(std::uint32_t id, RWClassID class_id) const;
  // A view of the same kind on the composite under `id` (no composite when
  // missing).
  GAttributeView Descend(std::uint32_t id) const;

  // A deep copy of what is under `id`, the caller's; null when missing.
  std::unique_ptr<MPersistentObject> CopyAttribute(std::uint32_t id) const;
  // Puts a deep copy of `object` (which stays the caller's) in place of the
  // first descendant keyed `id`. No change is recorded, but the context can
  // undo it. False when read-only or nothing was replaced.
  bool ReplaceAttribute(std::uint32_t id, MPersistentObject* object);

  // The medium of `paper_id` at `orientation` with both resolutions
  // `resolution`, the caller's: for a custom size id (16384-17383) made
  // from the context settings' custom size of that id, when there is one,
  // with the configuration's margins; otherwise a copy of the medium from
  // the media list (kMediaListKey) under the view's composite. Null when none.
  std::unique_ptr<GMedia> FindMediaSquare(std::uint16_t paper_id, std::uint32_t orientation,
                                          std::uint16_t resolution) const;

  MPersistentObject* Composite() const { return composite_; }
  bool IsReadOnly() const { return read_only_; }

 private:
  template <class T>
  T* Find(std::uint32_t id) const;

  MPersistentObject* composite_;
  GUIContext* context_;
  bool read_only_;
};
