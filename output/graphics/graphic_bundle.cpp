#include "output/graphics/graphic_bundle.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kGraphicBundleClasses[] = {
    {&RWCreate<GGraphicBundle>, kGGraphicBundleId, "GGraphicBundle"},
};

}  // namespace

std::span<const RWClassRegistration> GraphicBundleClasses() {
  return kGraphicBundleClasses;
}

RWSize GGraphicBundle::StoredSize() const {
  return GState::StoredSize() + 4;
}

GAttribute* GGraphicBundle::Find(std::uint32_t key) {
  // A set holds attributes only.
  return static_cast<GAttribute*>(FindByKey(key));
}

GAttribute* GGraphicBundle::Take(std::uint32_t key) {
  return static_cast<GAttribute*>(RemoveByKey(key));
}

void GGraphicBundle::Set(std::uint32_t key, GAttribute* attribute) {
  if (attribute && attribute == Find(key)) return;  // already the key's
  delete Take(key);
  if (!attribute) return;
  attribute->SetKey(key);
  AddChild(attribute);
}

template <class Out>
void GGraphicBundle::SaveItems(Out& out) const {
  SaveBase<GState>(*this, out);
  PutItem(out, kGraphicBundleVersion);
}

template <class In>
void GGraphicBundle::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GState>(*this, in);
  ReadsVersion(scope, in, kGraphicBundleVersion);
}

template class MPersistentClass<GGraphicBundle, GState, kGGraphicBundleId>;
