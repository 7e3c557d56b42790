// GCommandComposite: an ordered list of commands that travels a device
// chain as one command (a page that arrived whole, a filter's replay of a
// document, a command with what a filter put before or after it). Devices
// take it apart piece by piece (GPeripheral::ExpandComposite); the filters
// build and search it: append (AddChild, or PutRecord as on the command
// list on disk), find the first descendant of a class id depth first, and
// walk the children (NewChildIterator). The child protocol is
// GChildHolder's (child_holder.h), over commands (kind 601) only.
//
// PrepareForComposite and MakeSelfContained pass on to each child, in
// order. Executed on a device, it executes its children in order and
// answers the first non-zero result (0 when all answer 0), executing no
// child after it.
//
// Class id 605, registered as "GCommandComposite"; kind test 605, 601,
// 751. Content equality: the same object; or the same class id, equal
// GCommand parts, as many children, and none IsDifferent from the other's
// child at its index.
//
// Stored form, after the GCommand part (command.h):
//   version   u32  kCommandCompositeVersion
//   count     u32
//   children  count object references (persist/stored_children.h)
// A restore of another version reads nothing further and keeps the
// children; otherwise it lets go of its children and reads the stored ones.
// Only commands are held: anything else, or a back reference to a
// composite still being restored (a cycle), fails the restore; nil entries
// are dropped.
//
// Ownership: the composite holds its children; copies share them and the
// attribute set; DeepCopy copies the children deeply. Threads: as GCommand.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/child_holder.h"
#include "output/core/command.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGCommandCompositeId = 605;
inline constexpr std::uint32_t kCommandCompositeVersion = 1;

using GCommandList = GChildHolder<GCommand, kGCommandId>;

class GCommandComposite final
    : public MPersistentClass<GCommandComposite, GCommandList, kGCommandCompositeId> {
 public:
  // Empty; no attribute set; key 0.
  GCommandComposite() = default;
  explicit GCommandComposite(const std::uint32_t& key) : MPersistentClass(key) {}
  // Holds `attributes` (none when null).
  GCommandComposite(GAttributeComposite* attributes, const std::uint32_t& key)
      : MPersistentClass(attributes, key) {}
  GCommandComposite(const GCommandComposite& other) = default;

  // The GCommand part, 4 and the stored run of the children.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // Appends the record when it is a command, held; anything else is
  // ignored.
  void PutRecord(const GCountedPtr& record) override;
  void PrepareForComposite() override;
  void MakeSelfContained() override;
  std::uint16_t Execute(GPeripheral& device) override;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};

extern template class MPersistentClass<GCommandComposite, GCommandList, kGCommandCompositeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> CommandCompositeClasses();
