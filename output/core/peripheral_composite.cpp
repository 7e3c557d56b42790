#include "output/core/peripheral_composite.h"

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/core/result_commands.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPeripheralCompositeClasses[] = {
    {&RWCreate<GPeripheralComposite>, kGPeripheralCompositeId, "GPeripheralComposite"},
};

}  // namespace

std::span<const RWClassRegistration> PeripheralCompositeClasses() {
  return kPeripheralCompositeClasses;
}

RWSize GPeripheralComposite::StoredSize() const {
  return GPeripheral::StoredSize() + 4 + ChildrenSize();
}

bool GPeripheralComposite::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* composite = dynamic_cast<const GPeripheralComposite*>(other);
  return composite && GPeripheral::IsEqualContent(other) && SameChildren(*composite);
}

template <class Each>
void GPeripheralComposite::ForEachDevice(Each each) {
  const GCountedPtrVector& devices = Children();
  RWSize count = devices.Count();
  for (RWSize i = 0; i < count && i < devices.Count(); ++i) {
    GCountedPtr held = devices[i];
    if (held && held->IsKindOf(kGPeripheralId)) {
      if (!each(*static_cast<GPeripheral*>(held.Get()))) return;
    }
  }
}

GCountedPtr GPeripheralComposite::Submit(const GCountedPtr& command) {
  if (!command || !IsEnabled()) return command;
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  GCountedPtr current = command;
  bool ended = false;
  ForEachDevice([&](GPeripheral& device) {
    if (!device.IsEnabled()) return true;
    current = device.Submit(current);
    ended = EndsPass(current);
    return !ended;
  });
  GCountedPtr result = ended ? current : SubmitToSelf(current);
  // A command memory ran short for on its way down was handled in part (a
  // filter passed it on as it came, a mark was not drawn): it fails rather
  // than print something else.
  if (RWOutOfMemoryRaised() == short_of_memory || (result && EndsPass(result))) return result;
  auto* in_hand = dynamic_cast<GCommand*>(command.Get());
  return GCountedPtr(in_hand ? RWNew<GErrorCommand>(kMemoryFailure, in_hand, 0u) : nullptr);
}

void GPeripheralComposite::Reset() {
  GPeripheral::Reset();
  ForEachDevice([](GPeripheral& device) {
    device.Reset();
    return true;
  });
}

std::uint32_t GPeripheralComposite::HasPageScale() {
  std::uint32_t answer = 1;
  ForEachDevice([&](GPeripheral& device) {
    if (device.HasPageScale() == 0) answer = 0;
    return answer != 0;
  });
  return answer;
}

GScalePair GPeripheralComposite::GetPageScale(GAttributeComposite* document,
                                              GAttributeComposite* page, std::uint32_t page_number,
                                              std::uint32_t& status) {
  GScalePair scale;
  ForEachDevice([&](GPeripheral& device) {
    if (!device.IsEnabled()) return true;
    const bool answered_ahead = status == 3;
    GScalePair factor = device.GetPageScale(document, page, page_number, status);
    // Once an imposing device ahead has answered (status 3), later devices
    // answer (0, 0) to say they stand aside: that answer keeps the scale.
    if (answered_ahead && factor.x == 0.0f && factor.y == 0.0f) return true;
    scale.x *= factor.x;
    scale.y *= factor.y;
    return !(scale.x == 0.0f && scale.y == 0.0f);
  });
  return scale;
}

std::uint32_t GPeripheralComposite::GetFlags() {
  std::uint32_t flags = 0;
  ForEachDevice([&](GPeripheral& device) {
    if (device.IsEnabled()) flags |= device.GetFlags();
    return true;
  });
  return flags;
}

template <class Out>
void GPeripheralComposite::SaveItems(Out& out) const {
  SaveBase<GPeripheral>(*this, out);
  PutItem(out, kPeripheralCompositeVersion);
  SaveChildren(out);
}

template <class In>
void GPeripheralComposite::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GPeripheral>(*this, in);
  if (ReadsVersion(scope, in, kPeripheralCompositeVersion) && !RestoreChildren<GPeripheral>(in)) {
    scope.Fail();
  }
}

template class MPersistentClass<GPeripheralComposite, GDeviceList, kGPeripheralCompositeId>;
