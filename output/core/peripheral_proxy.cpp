#include "output/core/peripheral_proxy.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/held_reference.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kPeripheralProxyClasses[] = {
    {&RWCreate<GPeripheralProxy>, kGPeripheralProxyId, "GPeripheralProxy"},
};

}  // namespace

std::span<const RWClassRegistration> PeripheralProxyClasses() {
  return kPeripheralProxyClasses;
}

GPeripheralProxy::GPeripheralProxy(GPeripheral* target, const std::uint32_t& key)
    : MPersistentClass(key), target_(target, g_file_lock) {}

GPeripheralProxy::GPeripheralProxy(const GPeripheralProxy& other)
    : MPersistentClass(other), target_(other.target_, g_file_lock) {}

GPeripheralProxy& GPeripheralProxy::operator=(const GPeripheralProxy& other) {
  if (this == &other) return *this;
  GPeripheral::operator=(other);
  target_.Reset(other.target_.Get(), g_file_lock);
  return *this;
}

GPeripheralProxy::~GPeripheralProxy() {
  target_.Reset(nullptr, g_file_lock);
}

GPeripheral* GPeripheralProxy::GetTarget() const {
  return static_cast<GPeripheral*>(target_.Get());
}

void GPeripheralProxy::SetTarget(GPeripheral* target) {
  target_.Reset(target, g_file_lock);
}

// Each forward holds the target meanwhile, so that a target replaced while
// it runs is not freed under it.

GCountedPtr GPeripheralProxy::Submit(const GCountedPtr& command) {
  if (!command || !IsEnabled() || !target_) return GPeripheral::Submit(command);
  GCountedPtr held(target_, g_file_lock);
  return static_cast<GPeripheral*>(held.Get())->Submit(command);
}

void GPeripheralProxy::Reset() {
  GPeripheral::Reset();
  GCountedPtr held(target_, g_file_lock);
  if (held) static_cast<GPeripheral*>(held.Get())->Reset();
}

std::uint32_t GPeripheralProxy::HasPageScale() {
  GCountedPtr held(target_, g_file_lock);
  return held ? static_cast<GPeripheral*>(held.Get())->HasPageScale() : GPeripheral::HasPageScale();
}

GScalePair GPeripheralProxy::GetPageScale(GAttributeComposite* document, GAttributeComposite* page,
                                          std::uint32_t page_number, std::uint32_t& status) {
  GCountedPtr held(target_, g_file_lock);
  auto* target = static_cast<GPeripheral*>(held.Get());
  if (!target || !target->IsEnabled())
    return GPeripheral::GetPageScale(document, page, page_number, status);
  return target->GetPageScale(document, page, page_number, status);
}

std::uint32_t GPeripheralProxy::GetFlags() {
  GCountedPtr held(target_, g_file_lock);
  auto* target = static_cast<GPeripheral*>(held.Get());
  return target && target->IsEnabled() ? target->GetFlags() : GPeripheral::GetFlags();
}

bool GPeripheralProxy::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GPeripheralProxy* proxy = SameContentBase(other);
  if (!proxy) return false;
  const MPersistentObject* mine = target_.Get();
  const MPersistentObject* theirs = proxy->target_.Get();
  return mine == theirs || (mine && theirs && mine->IsEqualContent(theirs));
}

RWSize GPeripheralProxy::StoredSize() const {
  return GPeripheral::StoredSize() + 4 + GraphStoreSizeOf(target_.Get());
}

template <class Out>
void GPeripheralProxy::SaveItems(Out& out) const {
  SaveBase<GPeripheral>(*this, out);
  PutItem(out, kPeripheralProxyVersion);
  PutReference(out, target_.Get());
}

template <class In>
void GPeripheralProxy::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GPeripheral>(*this, in);
  if (ReadsVersion(scope, in, kPeripheralProxyVersion)) {
    RestoreHeldReference<GPeripheral>(in, scope, *this, target_, g_file_lock);
  }
}

template class MPersistentClass<GPeripheralProxy, GPeripheral, kGPeripheralProxyId>;
