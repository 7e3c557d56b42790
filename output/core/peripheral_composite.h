// GPeripheralComposite: a device made of devices, the chain that a job's
// commands travel (the printer object, and the base of the generators).
// Its Submit, for an enabled composite and a command, hands the command to
// each enabled child device's Submit in order, each child getting what the
// one before answered; a null answer, a no-op command (715) or an error
// command (714) ends the pass and is the answer. A command that passed
// every child then goes through the composite's own device road (its
// hooks and its Transform, peripheral.h), so that a composite executes
// commands on itself as any device does, after its children; a composite
// command there is taken apart on that road only. A disabled composite
// answers the command unchanged.
//
// Reset resets the composite (GPeripheral's) and then every child, enabled
// or not. HasPageScale answers 1 only when every child answers non-zero;
// GetPageScale starts from (1.0, 1.0) and multiplies in the answers of the
// enabled children in order, handing each the same arguments and status
// word, and stops once both factors are 0; a (0, 0) answer of a child asked
// under status 3 (an imposing device ahead has answered) is skipped, so
// that the imposing device's scale survives. GetFlags answers the OR of the
// enabled children's flag words. The child protocol is GChildHolder's
// (child_holder.h), over devices (kind 760) only.
//
// Class id 770, registered as "GPeripheralComposite"; kind test 770, 760,
// 753, 751. Content equality: the GPeripheral comparison, and a peripheral
// composite with as many children, none IsDifferent from the other's child
// at its index.
//
// Stored form, after the GPeripheral part (peripheral.h):
//   version   u32  kPeripheralCompositeVersion
//   count     u32
//   children  count object references (persist/stored_children.h)
// A restore of another version reads nothing further and keeps the
// children; otherwise it lets go of its children and reads the stored ones.
// Only devices are held: anything else, or a back reference to a composite
// still being restored (a cycle), fails the restore; nil entries are
// dropped.
//
// Ownership: the composite holds its children; copies and assignment share
// them; DeepCopy copies them deeply. Threads: as GPeripheral.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/child_holder.h"
#include "output/core/peripheral.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGPeripheralCompositeId = 770;
inline constexpr std::uint32_t kPeripheralCompositeVersion = 1;

using GDeviceList = GChildHolder<GPeripheral, kGPeripheralId>;

class GPeripheralComposite
    : public MPersistentClass<GPeripheralComposite, GDeviceList, kGPeripheralCompositeId> {
 public:
  // No children; the constructors of GPeripheral.
  using MPersistentClass::MPersistentClass;
  GPeripheralComposite() = default;
  GPeripheralComposite(const GPeripheralComposite& other) = default;
  GPeripheralComposite& operator=(const GPeripheralComposite& other) = default;

  // The GPeripheral part, 4 and the stored run of the children.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  GCountedPtr Submit(const GCountedPtr& command) override;
  void Reset() override;
  std::uint32_t HasPageScale() override;
  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Calls `each` with every child device, in order, each held meanwhile;
  // the walk ends at the count the children had when it began, or earlier
  // when `each` answers false.
  template <class Each>
  void ForEachDevice(Each each);
};

extern template class MPersistentClass<GPeripheralComposite, GDeviceList, kGPeripheralCompositeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PeripheralCompositeClasses();
