// GPeripheralProxy: a device that stands in a chain for another device, its
// target, held elsewhere too: a command submitted to the proxy goes to the
// target, and the chain's queries about the proxy are the target's.
//
// What it is is taken from its name and its place beside the peripheral
// composite among the output model's devices: as a composite is a device
// made of devices, a proxy is a device that forwards to one device. Only what a
// chain asks of its devices is forwarded:
//   - Submit: an enabled proxy hands the command to its target's Submit and
//     answers what that answers (a disabled proxy answers the command
//     unchanged, as any device);
//   - Reset: the proxy's own (GPeripheral's), then the target's;
//   - HasPageScale: the target's answer; GetPageScale and GetFlags: the
//     target's when the target is enabled (a composite asks only enabled
//     devices), else the device base's.
// A proxy without a target is a plain device (GPeripheral's road and
// answers). The handlers are not forwarded: commands reach the target
// through its own Submit.
//
// Class id 779, registered as "GPeripheralProxy"; kind test 779, 760, 753,
// 751. Content equality: the same object; or the same class id, the
// GPeripheral comparison, and targets both absent, the same, or equal in
// content.
//
// Stored form, after the GPeripheral part (peripheral.h):
//   version  u32  kPeripheralProxyVersion
//   target   object reference: a device, or the nil object for none
// A restore of another version reads nothing further and keeps the
// target. The target read must be a device (kind 760): anything else, or a
// back reference to an object still being restored (the proxy itself or a
// chain that holds it: a cycle, which would forward forever), fails the
// restore, leaves no target and is refused (freed unless the graph holds
// it elsewhere).
//
// Ownership: the proxy holds its target through a counted pointer; copies
// and DeepCopy share it (a copy of a proxy stands for the same device).
// Threads: as GPeripheral; the target is driven on the proxy's thread.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/core/peripheral.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGPeripheralProxyId = 779;
inline constexpr std::uint32_t kPeripheralProxyVersion = 1;

class GPeripheralProxy final
    : public MPersistentClass<GPeripheralProxy, GPeripheral, kGPeripheralProxyId> {
 public:
  // The GPeripheral defaults; no target.
  GPeripheralProxy() = default;
  // Holds `target` (none when null).
  // REQUIRES: the target does not reach the proxy (through composites or
  // proxies): the proxy would forward to itself.
  explicit GPeripheralProxy(GPeripheral* target, const std::uint32_t& key = 0);
  GPeripheralProxy(const GPeripheralProxy& other);
  // Nothing on self-assignment; else GPeripheral's, and shares the other
  // proxy's target.
  GPeripheralProxy& operator=(const GPeripheralProxy& other);
  ~GPeripheralProxy() override;

  // The GPeripheral part, 4 and the target's graph size.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  GCountedPtr Submit(const GCountedPtr& command) override;
  void Reset() override;
  std::uint32_t HasPageScale() override;
  GScalePair GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                          std::uint32_t page_number, std::uint32_t& status) override;
  std::uint32_t GetFlags() override;

  // The target, or null.
  GPeripheral* GetTarget() const;
  // Holds `target` (none when null) in place of the old one.
  // REQUIRES: as the constructor.
  void SetTarget(GPeripheral* target);

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GCountedPtr target_;  // a device, or empty
};

extern template class MPersistentClass<GPeripheralProxy, GPeripheral, kGPeripheralProxyId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PeripheralProxyClasses();
