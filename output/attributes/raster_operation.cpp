#include "output/attributes/raster_operation.h"

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kRasterOperationClasses[] = {
    {&RWCreate<GRasterOperation>, kGRasterOperationId, "GRasterOperation"},
};

}  // namespace

std::span<const RWClassRegistration> RasterOperationClasses() {
  return kRasterOperationClasses;
}

RWSize GRasterOperation::StoredSize() const {
  return GStyleAttribute::StoredSize() + 10;
}

template <class Out>
void GRasterOperation::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kRasterOperationVersion);
  PutItem(out, code_);
  PutItem(out, kind_);
}

template <class In>
void GRasterOperation::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  if (ReadsVersion(scope, in, kRasterOperationVersion) && GetItem(in, code_)) GetItem(in, kind_);
}

template class MPersistentClass<GRasterOperation, GStyleAttribute, kGRasterOperationId>;

bool GRasterOperation::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* operation = dynamic_cast<const GRasterOperation*>(other);
  return operation && other->ClassId() == ClassId() && code_ == operation->code_ &&
         kind_ == operation->kind_;
}

std::uint16_t GRasterOperation::Execute(GAttributeHandlers& device) {
  return device.SetRasterOperation(*this);
}
