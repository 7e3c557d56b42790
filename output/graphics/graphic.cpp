#include "output/graphics/graphic.h"

#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

GGraphic::GGraphic(GAttributeComposite* attributes, const std::uint32_t& key)
    : GCommand(attributes, key) {
  if (attributes) attributes->SetKey(kGraphicBundleKey);
}

RWSize GGraphic::StoredSize() const {
  return GCommand::StoredSize() + 4;
}

template <class Out>
void GGraphic::SaveItems(Out& out) const {
  SaveBase<GCommand>(*this, out);
  PutItem(out, kGraphicVersion);
}

template <class In>
void GGraphic::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GCommand>(*this, in);
  std::uint32_t version = 0;
  if (scope.Ok()) GetItem(in, version);
}

void GGraphic::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GGraphic::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GGraphic::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GGraphic::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GGraphic::IsKindOf(const RWClassID& id) const {
  return id == kGGraphicId || GCommand::IsKindOf(id);
}
