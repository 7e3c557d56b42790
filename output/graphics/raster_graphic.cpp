#include "output/graphics/raster_graphic.h"

#include <algorithm>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/attributes/clip.h"
#include "output/core/peripheral.h"
#include "output/stored_runs.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kRasterGraphicClasses[] = {
    {&RWCreate<GRasterGraphic>, kGRasterGraphicId, "GRasterGraphic"},
    {&RWCreate<GPreScaledRasterGraphic>, kGPreScaledRasterGraphicId, "GPreScaledRasterGraphic"},
};

// The version word and the two rectangles.
constexpr RWSize kFixedFieldsSize = 4 + 16;

}  // namespace

std::span<const RWClassRegistration> RasterGraphicClasses() {
  return kRasterGraphicClasses;
}

std::uint32_t FitRectanglesToClip(const GShortRect& source, const GShortRect& target,
                                  const GClip* clip, GShortRect& visible_source,
                                  GShortRect& visible_target) {
  visible_source = visible_target = GShortRect{};
  if (source.IsEmpty() || target.IsEmpty()) return 1;
  GShortRect kept = target, bounds;
  if (clip && clip->GetBounds(bounds)) kept = bounds.Intersect(target);
  if (!clip || kept == target || clip->GetSecondValue() != 0) {
    visible_source = source;
    visible_target = target;
    return 1;
  }
  if (kept.IsEmpty()) return 1;
  // Every extent is positive here and at most 65535, so no product passes
  // 32 bits; 64 bits keep the sums clear of it too.
  const std::int64_t sw = source.right - source.left, sh = source.bottom - source.top;
  const std::int64_t tw = target.right - target.left, th = target.bottom - target.top;
  const std::int64_t left = std::max<std::int64_t>((kept.left - target.left) * sw / tw, 0);
  const std::int64_t top = std::max<std::int64_t>((kept.top - target.top) * sh / th, 0);
  const std::int64_t right = std::min((((kept.right - target.left) * sw) + tw - 1) / tw, sw);
  const std::int64_t bottom = std::min((((kept.bottom - target.top) * sh) + th - 1) / th, sh);
  const auto at = [](std::int64_t origin, std::int64_t offset) {
    return static_cast<std::int16_t>(origin + offset);
  };
  visible_target = {at(target.left, left * tw / sw), at(target.top, top * th / sh),
                    at(target.left, right * tw / sw), at(target.top, bottom * th / sh)};
  visible_source = {at(source.left, left), at(source.top, top), at(source.left, right),
                    at(source.top, bottom)};
  return visible_target == kept ? 1 : 0;
}

// ---------------------------------------------------------------------------
// GRasterGraphic

GRasterGraphic::GRasterGraphic(const GBitmap& bitmap, GAttributeComposite* attributes,
                               const GShortRect& source, const GShortRect& target,
                               const GBitmap& second_bitmap)
    : GRasterGraphic(bitmap, source, target, second_bitmap, attributes, 0) {}

GRasterGraphic::GRasterGraphic(const GBitmap& bitmap, const GShortRect& source,
                               const GShortRect& target, const GBitmap& second_bitmap,
                               GAttributeComposite* attributes, const std::uint32_t& key)
    : MPersistentClass(attributes, key),
      bitmap_(bitmap),
      source_(source),
      target_(target),
      second_bitmap_(second_bitmap) {}

RWSize GRasterGraphic::StoredSize() const {
  return GGraphic::StoredSize() + kFixedFieldsSize + GraphStoreSizeOf(&bitmap_) +
         GraphStoreSizeOf(&second_bitmap_);
}

bool GRasterGraphic::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  if (!other || other->ClassId() != ClassId() || !GGraphic::IsEqualContent(other)) return false;
  auto* graphic = dynamic_cast<const GRasterGraphic*>(other);
  return graphic && bitmap_.IsEqual(&graphic->bitmap_) && source_ == graphic->source_ &&
         target_ == graphic->target_ && second_bitmap_.IsEqual(&graphic->second_bitmap_);
}

void GRasterGraphic::MakeSelfContained() {
  bitmap_.MakeDataOwned();
}

std::uint16_t GRasterGraphic::Execute(GPeripheral& device) {
  return device.DrawBitmap(*this);
}

std::uint32_t GRasterGraphic::FitToClip(const GClip* clip, GShortRect& visible_source,
                                        GShortRect& visible_target) const {
  return FitRectanglesToClip(source_, target_, clip, visible_source, visible_target);
}

template <class Out>
void GRasterGraphic::SaveItems(Out& out) const {
  SaveBase<GGraphic>(*this, out);
  PutItem(out, kRasterGraphicVersion);
  PutReference(out, &bitmap_);
  WriteRectangle(out, source_);
  WriteRectangle(out, target_);
  PutReference(out, &second_bitmap_);
}

template <class In>
void GRasterGraphic::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GGraphic>(*this, in);
  if (!ReadsVersion(scope, in, kRasterGraphicVersion)) return;
  // Back into the graphic's own bitmaps, never into objects of the reader's
  // making; a part that fails fails the whole graphic.
  if (!GetEmbedded(in, bitmap_) || !ReadRectangle(in, source_) || !ReadRectangle(in, target_) ||
      !GetEmbedded(in, second_bitmap_)) {
    scope.Fail();
  }
}

template class MPersistentClass<GRasterGraphic, GGraphic, kGRasterGraphicId>;

// ---------------------------------------------------------------------------
// GPreScaledRasterGraphic

RWCollectable* GPreScaledRasterGraphic::CreateDefault() const {
  return RWNew<GPreScaledRasterGraphic>();
}

RWCollectable* GPreScaledRasterGraphic::CreateCopy() const {
  return RWNew<GPreScaledRasterGraphic>(*this);
}

bool GPreScaledRasterGraphic::IsKindOf(const RWClassID& id) const {
  return id == kGPreScaledRasterGraphicId || GRasterGraphic::IsKindOf(id);
}
