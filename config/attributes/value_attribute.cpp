#include "config/attributes/value_attribute.h"

#include <algorithm>
#include <new>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "interfaces/attribute_handlers.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kValueAttributeClasses[] = {
    {&RWCreate<GValueAttribute>, kGValueAttributeId, "GValueAttribute"},
    {&RWCreate<GValue32Attribute>, kGValue32AttributeId, "GValue32Attribute"},
    {&RWCreate<GStringAttribute>, kGStringAttributeId, "GStringAttribute"},
    {&RWCreate<GRangeAttribute>, kGRangeAttributeId, "GRangeAttribute"},
};

}  // namespace

std::span<const RWClassRegistration> ValueAttributeClasses() {
  return kValueAttributeClasses;
}

// ---------------------------------------------------------------------------
// GAttributeLeaf

template <class Self, RWClassID kId>
RWCollectable* GAttributeLeaf<Self, kId>::CreateDefault() const {
  return new (kRWNoThrow) Self;
}

template <class Self, RWClassID kId>
RWCollectable* GAttributeLeaf<Self, kId>::CreateCopy() const {
  return new (kRWNoThrow) Self(self());
}

template <class Self, RWClassID kId>
RWSize GAttributeLeaf<Self, kId>::StoredSize() const {
  return GAttribute::StoredSize() + 4 + self().FieldsSize();
}

template <class Self, RWClassID kId>
template <class Out>
void GAttributeLeaf<Self, kId>::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kValueAttributeVersion);
  self().WriteFields(out);
}

template <class Self, RWClassID kId>
template <class In>
void GAttributeLeaf<Self, kId>::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kValueAttributeVersion) return;
  static_cast<Self&>(*this).ReadFields(in);
}

template <class Self, RWClassID kId>
void GAttributeLeaf<Self, kId>::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

template <class Self, RWClassID kId>
void GAttributeLeaf<Self, kId>::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

template <class Self, RWClassID kId>
void GAttributeLeaf<Self, kId>::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

template <class Self, RWClassID kId>
void GAttributeLeaf<Self, kId>::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

template <class Self, RWClassID kId>
bool GAttributeLeaf<Self, kId>::IsKindOf(const RWClassID& id) const {
  return id == kId || GAttribute::IsKindOf(id);
}

template <class Self, RWClassID kId>
bool GAttributeLeaf<Self, kId>::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* same = dynamic_cast<const Self*>(other);
  return same && ClassId() == other->ClassId() && GAttribute::IsEqualContent(other) &&
         self().SameFields(*same);
}

// ---------------------------------------------------------------------------
// GValueAttribute

template <class Out>
void GValueAttribute::WriteFields(Out& out) const {
  PutItem(out, static_cast<std::int16_t>(value_));
}

template <class In>
void GValueAttribute::ReadFields(In& in) {
  std::int16_t item = 0;
  if (GetItem(in, item)) value_ = static_cast<std::uint16_t>(item);
}

std::uint16_t GValueAttribute::Execute(GAttributeHandlers& device) {
  return device.SetValueAttribute(*this);
}

// ---------------------------------------------------------------------------
// GValue32Attribute

template <class Out>
void GValue32Attribute::WriteFields(Out& out) const {
  PutItem(out, value_);
}

template <class In>
void GValue32Attribute::ReadFields(In& in) {
  GetItem(in, value_);
}

std::uint16_t GValue32Attribute::Execute(GAttributeHandlers&) {
  return 0;
}

// ---------------------------------------------------------------------------
// GStringAttribute

GStringAttribute::GStringAttribute(const char* text, const std::uint32_t& key)
    : GAttributeLeaf(key), value_(text ? text : "") {}

GStringAttribute& GStringAttribute::operator=(const GStringAttribute& other) {
  if (this != &other) {
    GAttribute::operator=(other);
    value_ = other.value_;
  }
  return *this;
}

void GStringAttribute::SetValue(const char* text) {
  value_ = text ? text : "";
}

template <class Out>
void GStringAttribute::WriteFields(Out& out) const {
  PutItem(out, value_);
}

template <class In>
void GStringAttribute::ReadFields(In& in) {
  GetItem(in, value_);
}

std::uint16_t GStringAttribute::Execute(GAttributeHandlers& device) {
  return device.SetStringAttribute(*this);
}

// ---------------------------------------------------------------------------
// GRangeAttribute

GRangeAttribute::GRangeAttribute(std::int16_t minimum, std::int16_t maximum, std::uint16_t step,
                                 std::int16_t value, const std::uint32_t& key)
    : GAttributeLeaf(key),
      minimum_(minimum),
      maximum_(std::max(minimum, maximum)),
      step_(step == 0 ? 1 : step),
      value_(Clamp(value)) {}

std::int16_t GRangeAttribute::Clamp(std::int32_t value) const {
  return static_cast<std::int16_t>(
      std::min<std::int32_t>(std::max<std::int32_t>(value, minimum_), maximum_));
}

void GRangeAttribute::SetMinimum(std::int16_t minimum) {
  minimum_ = minimum > maximum_ ? maximum_ : minimum;
}

void GRangeAttribute::SetMaximum(std::int16_t maximum) {
  maximum_ = minimum_ > maximum ? minimum_ : maximum;
}

void GRangeAttribute::SetValue(std::int16_t value) {
  value_ = Clamp(value);
}

void GRangeAttribute::Increment() {
  value_ = Clamp(std::int32_t{value_} + step_);
}

void GRangeAttribute::Decrement() {
  value_ = Clamp(std::int32_t{value_} - step_);
}

bool GRangeAttribute::SameFields(const GRangeAttribute& other) const {
  return maximum_ == other.maximum_ && minimum_ == other.minimum_ && step_ == other.step_ &&
         value_ == other.value_;
}

template <class Out>
void GRangeAttribute::WriteFields(Out& out) const {
  PutItem(out, minimum_);
  PutItem(out, maximum_);
  PutItem(out, static_cast<std::int16_t>(step_));
  PutItem(out, value_);
}

template <class In>
void GRangeAttribute::ReadFields(In& in) {
  std::int16_t step = 0;
  if (GetItem(in, minimum_) && GetItem(in, maximum_) && GetItem(in, step)) {
    step_ = static_cast<std::uint16_t>(step);
    GetItem(in, value_);
  }
}

std::uint16_t GRangeAttribute::Execute(GAttributeHandlers& device) {
  return device.SetRangeAttribute(*this);
}

// After every kind's field templates, which the frame instantiates.
template class GAttributeLeaf<GValueAttribute, kGValueAttributeId>;
template class GAttributeLeaf<GValue32Attribute, kGValue32AttributeId>;
template class GAttributeLeaf<GStringAttribute, kGStringAttributeId>;
template class GAttributeLeaf<GRangeAttribute, kGRangeAttributeId>;
