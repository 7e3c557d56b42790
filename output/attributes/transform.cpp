#include "output/attributes/transform.h"

#include <cmath>
#include <limits>

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kTransformClasses[] = {
    {&RWCreate<GTransformAttribute>, kGTransformAttributeId, "GTransformAttribute"},
};

// The low 16 bits of `value`, as a signed number (two's complement).
std::int16_t Wrap16(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

std::int16_t PlaceOffset(std::int16_t outer_offset, std::int16_t inner_offset, float outer_scale) {
  std::uint32_t sum = static_cast<std::uint32_t>(std::int32_t{outer_offset}) +
                      static_cast<std::uint32_t>(TruncateTowardZero(inner_offset * outer_scale));
  return Wrap16(static_cast<std::int32_t>(sum));
}

}  // namespace

std::int32_t TruncateTowardZero(float value) {
  if (std::isnan(value)) return 0;
  constexpr float kHigh = 2147483648.0f;  // 2^31, the first value beyond
  if (value >= kHigh) return std::numeric_limits<std::int32_t>::max();
  if (value < -kHigh) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::span<const RWClassRegistration> TransformClasses() {
  return kTransformClasses;
}

std::uint16_t GTransformAttribute::Execute(GAttributeHandlers& device) {
  return device.SetTransform(*this);
}

bool GTransformAttribute::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTransformAttribute* transform = SameContentBase(other);
  return transform && rotation_ == transform->rotation_ && offset_ == transform->offset_ &&
         scale_.x == transform->scale_.x && scale_.y == transform->scale_.y;
}

RWSize GTransformAttribute::StoredSize() const {
  return GStyleAttribute::StoredSize() + 18;
}

template <class Out>
void GTransformAttribute::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kTransformVersion);
  PutItem(out, rotation_);
  PutItem(out, offset_.x);
  PutItem(out, offset_.y);
  PutItem(out, scale_.x);
  PutItem(out, scale_.y);
}

template <class In>
void GTransformAttribute::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kTransformVersion) && GetItem(in, rotation_) &&
      GetItem(in, offset_.x) && GetItem(in, offset_.y) && GetItem(in, scale_.x)) {
    GetItem(in, scale_.y);
  }
}

template class MPersistentClass<GTransformAttribute, GStyleAttribute, kGTransformAttributeId>;

GTransformAttribute ComposeTransforms(const GTransformAttribute& outer,
                                      const GTransformAttribute& inner) {
  const GShortPoint& o = outer.GetOffset();
  const GShortPoint& i = inner.GetOffset();
  const GScalePair& os = outer.GetScale();
  const GScalePair& is = inner.GetScale();
  GShortPoint offset{PlaceOffset(o.x, i.x, os.x), PlaceOffset(o.y, i.y, os.y)};
  GScalePair scale{os.x * is.x, os.y * is.y};
  std::int16_t rotation = Wrap16(std::int32_t{outer.GetRotation()} + inner.GetRotation());
  return GTransformAttribute(rotation, offset, scale);
}
