#include "output/attributes/fill_mode.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kFillModeClasses[] = {
    {&RWCreate<GFillMode>, kGFillModeId, "GFillMode"},
};

}  // namespace

std::span<const RWClassRegistration> FillModeClasses() {
  return kFillModeClasses;
}

RWSize GFillMode::StoredSize() const {
  return GStyleAttribute::StoredSize() + 8;
}

template <class Out>
void GFillMode::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kFillModeVersion);
  PutItem(out, mode_);
}

template <class In>
void GFillMode::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kFillModeVersion)) GetItem(in, mode_);
}

template class MPersistentClass<GFillMode, GStyleAttribute, kGFillModeId>;

bool GFillMode::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* mode = dynamic_cast<const GFillMode*>(other);
  return mode && other->ClassId() == ClassId() && mode_ == mode->mode_;
}

std::uint16_t GFillMode::Execute(GAttributeHandlers& device) {
  return device.SetFillMode(*this);
}
