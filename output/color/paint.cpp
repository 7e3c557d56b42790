#include "output/color/paint.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "output/held_reference.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kPaintClasses[] = {
    {&RWCreate<GColorPaint>, kGColorPaintId, "GColorPaint"},
};

// A copy of the colour `held` holds, or null (none, or [NOMEM]).
GRGBColor* CopyOfColor(const GCountedPtr& held) {
  return held ? static_cast<GRGBColor*>(held->CreateCopy()) : nullptr;
}

}  // namespace

std::span<const RWClassRegistration> PaintClasses() {
  return kPaintClasses;
}

// ---------------------------------------------------------------------------
// GPaint

bool GPaint::IsKindOf(const RWClassID& id) const {
  return id == kGPaintId || MPersistentObject::IsKindOf(id);
}

// ---------------------------------------------------------------------------
// GColorPaint

GColorPaint::GColorPaint(GRGBColor* color, const std::uint32_t& key)
    : MPersistentClass(key), color_(color, g_file_lock) {}

GColorPaint::GColorPaint(const GColorPaint& other)
    : MPersistentClass(other), color_(CopyOfColor(other.color_), g_file_lock) {}

GColorPaint& GColorPaint::operator=(const GColorPaint& other) {
  if (this != &other) {
    MPersistentObject::operator=(other);
    color_.Reset(CopyOfColor(other.color_), g_file_lock);
  }
  return *this;
}

GColorPaint::~GColorPaint() {
  color_.Reset(nullptr, g_file_lock);
}

void GColorPaint::SetColor(GRGBColor* color) {
  color_.Reset(color, g_file_lock);
}

GRGBColor* GColorPaint::GetColor() const {
  return static_cast<GRGBColor*>(color_.Get());
}

std::uint16_t GColorPaint::ApplyToPen(GPeripheral& device) {
  return device.SetPenColor(*this);
}

std::uint16_t GColorPaint::ApplyToBrush(GPeripheral& device) {
  return device.SetBrushColor(*this);
}

bool GColorPaint::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GColorPaint* paint = SameContentBase(other);
  if (!paint) return false;
  const GRGBColor* mine = GetColor();
  const GRGBColor* theirs = paint->GetColor();
  return !mine || !theirs || mine->IsEqualContent(theirs);
}

RWSize GColorPaint::StoredSize() const {
  return GPaint::StoredSize() + 4 + GraphStoreSizeOf(color_.Get());
}

template <class Out>
void GColorPaint::SaveItems(Out& out) const {
  SaveBase<GPaint>(*this, out);
  PutItem(out, kColorPaintVersion);
  PutReference(out, color_.Get());
}

template <class In>
void GColorPaint::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GPaint>(*this, in);
  if (ReadsVersion(scope, in, kColorPaintVersion)) {
    RestoreHeldReference<GRGBColor>(in, scope, *this, color_, g_file_lock);
  }
}

template class MPersistentClass<GColorPaint, GPaint, kGColorPaintId>;
