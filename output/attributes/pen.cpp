#include "output/attributes/pen.h"

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/vstream.h"
#include "output/core/held_reference.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kPenClasses[] = {
    {&RWCreate<GPen>, kGPenId, "GPen"},
    {&RWCreate<GNoPen>, kGNoPenId, "GNoPen"},
};

}  // namespace

std::span<const RWClassRegistration> PenClasses() {
  return kPenClasses;
}

GPen::GPen(std::uint32_t width, GPaint* paint, const std::uint32_t& key)
    : MPersistentClass(key), width_(width), paint_(paint, g_file_lock) {}

GPen::GPen(const GPen& other)
    : MPersistentClass(other),
      width_(other.width_),
      paint_(CopyOfPaint(other.paint_), g_file_lock) {}

GPen& GPen::operator=(const GPen& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    width_ = other.width_;
    paint_.Reset(CopyOfPaint(other.paint_), g_file_lock);
  }
  return *this;
}

GPen::~GPen() {
  paint_.Reset(nullptr, g_file_lock);
}

GPaint* GPen::GetPaint() const {
  return static_cast<GPaint*>(paint_.Get());
}

std::uint16_t GPen::Execute(GAttributeHandlers& device) {
  return device.SetPen(*this);
}

bool GPen::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  // The class ids compared with this pen's own, so that a derived pen's
  // comparison can start from this part.
  auto* pen = dynamic_cast<const GPen*>(other);
  if (!pen || other->ClassId() != ClassId() || !GStyleAttribute::IsEqualContent(other) ||
      width_ != pen->width_) {
    return false;
  }
  const GPaint* mine = GetPaint();
  const GPaint* theirs = pen->GetPaint();
  return mine == theirs || (mine && theirs && mine->IsEqualContent(theirs));
}

RWSize GPen::StoredSize() const {
  return GStyleAttribute::StoredSize() + 8 + GraphStoreSizeOf(paint_.Get());
}

template <class Out>
void GPen::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kPenVersion);
  PutItem(out, width_);
  PutReference(out, paint_.Get());
}

template <class In>
void GPen::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kPenVersion) && GetItem(in, width_)) {
    RestoreHeldReference<GPaint>(in, scope, *this, paint_, g_file_lock);
  }
}

template class MPersistentClass<GPen, GStyleAttribute, kGPenId>;
template class MPersistentClass<GNoPen, GPen, kGNoPenId>;
