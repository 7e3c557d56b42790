#include "config/attributes/style_attribute.h"

#include "config/attributes/style_translation.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "interfaces/attribute_handlers.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kStyleAttributeClasses[] = {
    {&RWCreate<GColorMap>, kGColorMapId, "GColorMap"},
    {&RWCreate<GHalftoneEnhanced>, kGHalftoneEnhancedId, "GHalftoneEnhanced"},
    {&RWCreate<GHalftone>, kGHalftoneId, "GHalftone"},
    {&RWCreate<GNeutralGrays>, kGNeutralGraysId, "GNeutralGrays"},
    {&RWCreate<GEdgeControl>, kGEdgeControlId, "GEdgeControl"},
    {&RWCreate<GSRGBColor>, kGSRGBColorId, "GSRGBColor"},
    {&RWCreate<GSRGBExtension>, kGSRGBExtensionId, "GSRGBExtension"},
};

}  // namespace

std::span<const RWClassRegistration> StyleAttributeClasses() {
  return kStyleAttributeClasses;
}

// ---------------------------------------------------------------------------
// GStyleChoiceAttribute

RWSize GStyleChoiceAttribute::StoredSize() const {
  return GStyleAttribute::StoredSize() + 8;
}

template <class Out>
void GStyleChoiceAttribute::SaveItems(Out& out) const {
  SaveBase<GStyleAttribute>(*this, out);
  PutItem(out, kStyleChoiceVersion);
  PutItem(out, value_);
}

template <class In>
void GStyleChoiceAttribute::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GStyleAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kStyleChoiceVersion) return;
  GetItem(in, value_);
}

bool GStyleChoiceAttribute::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* same = dynamic_cast<const GStyleChoiceAttribute*>(other);
  return same && other->ClassId() == ClassId() && value_ == same->value_;
}

// ---------------------------------------------------------------------------
// GStyleChoice

template <class Self, RWClassID kId, std::int32_t kDefault, std::uint32_t kListKey>
std::int16_t GStyleChoice<Self, kId, kDefault, kListKey>::MapToDeviceValue(
    const GCountedPtr& root) {
  return TranslateStyleCode(kListKey, root, this->GetValue());
}

template class MPersistentClass<GColorMap, GStyleChoiceAttribute, kGColorMapId>;
template class MPersistentClass<GHalftone, GStyleChoiceAttribute, kGHalftoneId>;
template class MPersistentClass<GHalftoneEnhanced, GStyleChoiceAttribute, kGHalftoneEnhancedId>;
template class MPersistentClass<GNeutralGrays, GStyleChoiceAttribute, kGNeutralGraysId>;
template class MPersistentClass<GEdgeControl, GStyleChoiceAttribute, kGEdgeControlId>;
template class MPersistentClass<GSRGBColor, GStyleChoiceAttribute, kGSRGBColorId>;
template class MPersistentClass<GSRGBExtension, GStyleChoiceAttribute, kGSRGBExtensionId>;

template class GStyleChoice<GColorMap, kGColorMapId, 15, kColorMapListKey>;
template class GStyleChoice<GHalftone, kGHalftoneId, 40, kHalftoneListKey>;
template class GStyleChoice<GHalftoneEnhanced, kGHalftoneEnhancedId, 40, kHalftoneListKey>;
template class GStyleChoice<GNeutralGrays, kGNeutralGraysId, 70, kNeutralGraysListKey>;
template class GStyleChoice<GEdgeControl, kGEdgeControlId, 93, kEdgeControlListKey>;
template class GStyleChoice<GSRGBColor, kGSRGBColorId, 98, kSRGBColorListKey>;
template class GStyleChoice<GSRGBExtension, kGSRGBExtensionId, 100, kSRGBColorListKey>;

// ---------------------------------------------------------------------------
// The device operations

std::uint16_t GColorMap::Execute(GAttributeHandlers& device) {
  return device.SetColorMap(*this);
}

std::uint16_t GHalftone::Execute(GAttributeHandlers& device) {
  return device.SetHalftone(*this);
}

std::uint16_t GHalftoneEnhanced::Execute(GAttributeHandlers& device) {
  return device.SetHalftoneEnhanced(*this);
}

std::uint16_t GNeutralGrays::Execute(GAttributeHandlers& device) {
  return device.SetNeutralGrays(*this);
}

std::uint16_t GEdgeControl::Execute(GAttributeHandlers& device) {
  return device.SetEdgeControl(*this);
}

std::uint16_t GSRGBColor::Execute(GAttributeHandlers& device) {
  return device.SetSRGBColor(*this);
}

std::uint16_t GSRGBExtension::Execute(GAttributeHandlers& device) {
  return device.SetSRGBExtension(*this);
}
