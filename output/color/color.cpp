#include "output/color/color.h"

#include <memory>

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kColorClasses[] = {
    {&RWCreate<GRGBColor>, kGRGBColorId, "GRGBColor"},
};

constexpr std::uint32_t kColorBytes = 4;

}  // namespace

std::span<const RWClassRegistration> ColorClasses() {
  return kColorClasses;
}

// ---------------------------------------------------------------------------
// GColor

RWSize GColor::StoredSize() const {
  return MPersistentObject::StoredSize() + 4;
}

template <class Out>
void GColor::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kColorVersion);
}

template <class In>
void GColor::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;  // no field follows, whatever it says
  if (scope.Ok()) GetItem(in, version);
}

void GColor::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GColor::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GColor::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GColor::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool GColor::IsKindOf(const RWClassID& id) const {
  return id == kGColorId || MPersistentObject::IsKindOf(id);
}

// ---------------------------------------------------------------------------
// GRGBColor

RWSize GRGBColor::StoredSize() const {
  return GColor::StoredSize() + 4 + kColorBytes;
}

template <class Out>
void GRGBColor::SaveItems(Out& out) const {
  SaveBase<GColor>(*this, out);
  PutItem(out, kRGBColorVersion);
  const std::uint8_t bytes[kColorBytes] = {red_, green_, blue_, fourth_};
  PutBytes(out, bytes, kColorBytes);
}

template <class In>
void GRGBColor::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GColor>(*this, in);
  if (!ReadsVersion(scope, in, kRGBColorVersion)) return;
  std::unique_ptr<std::uint8_t[]> bytes;
  if (!GetBytes(in, kColorBytes, bytes)) return;
  red_ = bytes[0];
  green_ = bytes[1];
  blue_ = bytes[2];
  fourth_ = bytes[3];
}

template class MPersistentClass<GRGBColor, GColor, kGRGBColorId>;

bool GRGBColor::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GRGBColor* color = SameContentBase(other);
  return color && red_ == color->red_ && green_ == color->green_ && blue_ == color->blue_ &&
         fourth_ == color->fourth_;
}
