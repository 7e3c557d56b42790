#include "output/attributes/brush.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/held_reference.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kBrushClasses[] = {
    {&RWCreate<GBrush>, kGBrushId, "GBrush"},
    {&RWCreate<GNoBrush>, kGNoBrushId, "GNoBrush"},
};

}  // namespace

std::span<const RWClassRegistration> BrushClasses() {
  return kBrushClasses;
}

GBrush::GBrush(GPaint* paint, const std::uint32_t& key)
    : MPersistentClass(key), paint_(paint, g_file_lock) {}

GBrush::GBrush(const GBrush& other)
    : MPersistentClass(other), paint_(CopyOfPaint(other.paint_), g_file_lock) {}

GBrush& GBrush::operator=(const GBrush& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    paint_.Reset(CopyOfPaint(other.paint_), g_file_lock);
  }
  return *this;
}

GBrush::~GBrush() {
  paint_.Reset(nullptr, g_file_lock);
}

GPaint* GBrush::GetPaint() const {
  return static_cast<GPaint*>(paint_.Get());
}

std::uint16_t GBrush::Execute(GAttributeHandlers& device) {
  return device.SetBrush(*this);
}

bool GBrush::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  // The class ids compared with this brush's own, so that a derived
  // brush's comparison can start from this part.
  auto* brush = dynamic_cast<const GBrush*>(other);
  if (!brush || other->ClassId() != ClassId() || !GStyleAttribute::IsEqualContent(other)) {
    return false;
  }
  const GPaint* mine = GetPaint();
  const GPaint* theirs = brush->GetPaint();
  return mine == theirs || (mine && theirs && mine->IsEqualContent(theirs));
}

RWSize GBrush::StoredSize() const {
  return GStyleAttribute::StoredSize() + 4 + GraphStoreSizeOf(paint_.Get());
}

template <class Out>
void GBrush::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kBrushVersion);
  PutReference(out, paint_.Get());
}

template <class In>
void GBrush::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kBrushVersion)) {
    RestoreHeldReference<GPaint>(in, scope, *this, paint_, g_file_lock);
  }
}

template class MPersistentClass<GBrush, GStyleAttribute, kGBrushId>;
template class MPersistentClass<GNoBrush, GBrush, kGNoBrushId>;
