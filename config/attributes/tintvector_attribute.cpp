#include "config/attributes/tintvector_attribute.h"

#include <algorithm>

#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/find_of_class.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kTintvectorAttributeClasses[] = {
    {&RWCreate<GTintvectorAttribute>, kGTintvectorAttributeId, "GTintvectorAttribute"},
    {&RWCreate<GTintvectorEnhancedAttribute>, kGTintvectorEnhancedAttributeId,
     "GTintvectorEnhancedAttribute"},
    {&RWCreate<GTintvectorEnhancedAttributeVer2>, kGTintvectorEnhancedAttributeVer2Id,
     "GTintvectorEnhancedAttributeVer2"},
};

// Setting numbers of the tables in the header.
constexpr std::int32_t kFirstSetting = 0;   // colour map / neutral greys
constexpr std::int32_t kSecondSetting = 1;  // halftone / enhanced halftone
constexpr std::int32_t kEdgeSetting = 2;    // edge control (enhanced)
constexpr std::int32_t kColorSetting = 3;   // RGB colour (797), sRGB colour (1201)

// Indexes accepted by 792, and by the enhanced classes.
bool BaseAccepts(std::int32_t object, std::int32_t setting) {
  return object >= 0 && object <= 2 && setting >= 0 && setting <= 2;
}

bool EnhancedAccepts(std::int32_t object, std::int32_t setting) {
  return object >= 0 && object <= 3 && setting >= 0 && setting <= 4;
}

// Slots 0-2 of a four-slot array, the only ones that are used.
void CopyUsed(std::array<std::uint8_t, 4>& to, const std::array<std::uint8_t, 4>& from) {
  std::copy_n(from.begin(), 3, to.begin());
}

bool SameUsed(const std::array<std::uint8_t, 4>& a, const std::array<std::uint8_t, 4>& b) {
  return std::equal(a.begin(), a.begin() + 3, b.begin());
}

// GetSetting and SetSetting over a class's FindSetting: an accepted index
// that names no byte reads and writes nothing.
template <class T>
bool GetVia(const T& self, bool accepted, std::int32_t object, std::int32_t setting,
            std::uint8_t& value) {
  if (const std::uint8_t* byte = self.FindSetting(object, setting)) value = *byte;
  return accepted;
}

template <class T>
bool SetVia(T& self, bool accepted, std::int32_t object, std::int32_t setting, std::uint8_t value) {
  // The byte is a member of `self`, which is not const here.
  if (const std::uint8_t* byte = self.FindSetting(object, setting))
    *const_cast<std::uint8_t*>(byte) = value;
  return accepted;
}

}  // namespace

std::span<const RWClassRegistration> TintvectorAttributeClasses() {
  return kTintvectorAttributeClasses;
}

// ---------------------------------------------------------------------------
// GTintvectorKind

template <class Self, class Base, RWClassID kId>
RWSize GTintvectorKind<Self, Base, kId>::StoredSize() const {
  return GAttribute::StoredSize() + 4 + 2 * Self::StoredBytes(self()).size();
}

template <class Self, class Base, RWClassID kId>
template <class Out>
void GTintvectorKind<Self, Base, kId>::SaveItems(Out& out) const {
  // After the attribute part: the enhanced classes store no inherited byte.
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kTintvectorVersion);
  for (const std::uint8_t* byte : Self::StoredBytes(self()))
    PutItem(out, std::uint16_t{*byte});
}

template <class Self, class Base, RWClassID kId>
template <class In>
void GTintvectorKind<Self, Base, kId>::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kTintvectorVersion) return;
  for (std::uint8_t* byte : Self::StoredBytes(static_cast<Self&>(*this))) {
    std::uint16_t item = 0;
    if (!GetItem(in, item)) return;
    *byte = static_cast<std::uint8_t>(item);
  }
}

template <class Self, class Base, RWClassID kId>
bool GTintvectorKind<Self, Base, kId>::IsKindOf(const RWClassID& id) const {
  return id == kId || GAttribute::IsKindOf(id);
}

template <class Self, class Base, RWClassID kId>
bool GTintvectorKind<Self, Base, kId>::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* same = dynamic_cast<const Self*>(other);
  return same && other->ClassId() == kId && GAttribute::IsEqualContent(other) &&
         self().SameSettings(*same);
}

template <class Self, class Base, RWClassID kId>
std::uint16_t GTintvectorKind<Self, Base, kId>::Execute(GAttributeHandlers&) {
  return 0;
}

template <class Self, class Base, RWClassID kId>
bool GTintvectorKind<Self, Base, kId>::operator==(const Self& other) const {
  return &other == this || (other.ClassId() == this->ClassId() && self().SameSettings(other));
}

// ---------------------------------------------------------------------------
// GTintvectorAttribute

GTintvectorAttribute::GTintvectorAttribute(const std::uint32_t& key)
    : GTintvectorKind(key), halftone_{40, 50, 62} {
  color_map_ = key == kTransparencyColorAdjustmentKey ? std::array<std::uint8_t, 3>{16, 22, 32}
                                                      : std::array<std::uint8_t, 3>{15, 21, 31};
}

GTintvectorAttribute::GTintvectorAttribute(const std::uint32_t& key, const Settings& settings)
    : GTintvectorKind(key),
      color_map_{settings[0], settings[2], settings[4]},
      halftone_{settings[1], settings[3], settings[5]} {}

template <class T>
auto GTintvectorAttribute::StoredBytes(T& self) {
  auto& s = self;
  return std::array{&s.color_map_[0], &s.halftone_[0],  &s.color_map_[1],
                    &s.halftone_[1],  &s.color_map_[2], &s.halftone_[2]};
}

bool GTintvectorAttribute::SameSettings(const GTintvectorAttribute& other) const {
  return color_map_ == other.color_map_ && halftone_ == other.halftone_;
}

const std::uint8_t* GTintvectorAttribute::FindSetting(std::int32_t object,
                                                      std::int32_t setting) const {
  if (!BaseAccepts(object, setting)) return nullptr;
  if (setting == kFirstSetting) return &color_map_[object];
  if (setting == kSecondSetting) return &halftone_[object];
  return nullptr;
}

bool GTintvectorAttribute::GetSetting(std::int32_t object, std::int32_t setting,
                                      std::uint8_t& value) const {
  return GetVia(*this, BaseAccepts(object, setting), object, setting, value);
}

bool GTintvectorAttribute::SetSetting(std::int32_t object, std::int32_t setting,
                                      std::uint8_t value) {
  return SetVia(*this, BaseAccepts(object, setting), object, setting, value);
}

void GTintvectorAttribute::AssignSettings(const GTintvectorAttribute& other) {
  if (&other == this) return;
  color_map_ = other.color_map_;
  halftone_ = other.halftone_;
}

// ---------------------------------------------------------------------------
// GTintvectorEnhancedAttribute

GTintvectorEnhancedAttribute::GTintvectorEnhancedAttribute(const std::uint32_t& key)
    : GTintvectorKind(key),
      neutral_grays_{70, 80, 91},
      enhanced_halftone_{41, 51, 61},
      edge_control_(95),
      rgb_color_(98) {}

GTintvectorEnhancedAttribute::GTintvectorEnhancedAttribute(const std::uint32_t& key,
                                                           const Settings& settings)
    : GTintvectorKind(key),
      neutral_grays_{settings[0], settings[2], settings[4]},
      enhanced_halftone_{settings[1], settings[3], settings[5]},
      edge_control_(settings[6]),
      rgb_color_(settings[7]) {}

GTintvectorEnhancedAttribute::GTintvectorEnhancedAttribute(
    const GTintvectorEnhancedAttribute& other)
    : GTintvectorKind(other) {
  AssignSettings(other);
}

template <class T>
auto GTintvectorEnhancedAttribute::StoredBytes(T& self) {
  auto& s = self;
  return std::array{&s.neutral_grays_[0], &s.enhanced_halftone_[0],
                    &s.neutral_grays_[1], &s.enhanced_halftone_[1],
                    &s.neutral_grays_[2], &s.enhanced_halftone_[2],
                    &s.edge_control_,     &s.rgb_color_};
}

bool GTintvectorEnhancedAttribute::SameSettings(const GTintvectorEnhancedAttribute& other) const {
  return SameUsed(neutral_grays_, other.neutral_grays_) &&
         SameUsed(enhanced_halftone_, other.enhanced_halftone_) &&
         edge_control_ == other.edge_control_ && rgb_color_ == other.rgb_color_;
}

const std::uint8_t* GTintvectorEnhancedAttribute::FindSetting(std::int32_t object,
                                                              std::int32_t setting) const {
  if (!EnhancedAccepts(object, setting)) return nullptr;
  switch (setting) {
    case kFirstSetting:
      return &neutral_grays_[object];
    case kSecondSetting:
      return &enhanced_halftone_[object];
    case kEdgeSetting:
      return &edge_control_;
    case kColorSetting:
      return &rgb_color_;
    default:
      return nullptr;
  }
}

bool GTintvectorEnhancedAttribute::GetSetting(std::int32_t object, std::int32_t setting,
                                              std::uint8_t& value) const {
  return GetVia(*this, EnhancedAccepts(object, setting), object, setting, value);
}

bool GTintvectorEnhancedAttribute::SetSetting(std::int32_t object, std::int32_t setting,
                                              std::uint8_t value) {
  return SetVia(*this, EnhancedAccepts(object, setting), object, setting, value);
}

void GTintvectorEnhancedAttribute::AssignSettings(const GTintvectorEnhancedAttribute& other) {
  if (&other == this) return;
  CopyUsed(neutral_grays_, other.neutral_grays_);
  CopyUsed(enhanced_halftone_, other.enhanced_halftone_);
  edge_control_ = other.edge_control_;
  rgb_color_ = other.rgb_color_;
}

// ---------------------------------------------------------------------------
// GTintvectorEnhancedAttributeVer2

GTintvectorEnhancedAttributeVer2::GTintvectorEnhancedAttributeVer2(const std::uint32_t& key)
    : GTintvectorKind(key),
      neutral_grays_{70, 80, 91},
      enhanced_halftone_{41, 51, 61},
      srgb_color_{100, 103, 106},
      edge_control_(95) {}

GTintvectorEnhancedAttributeVer2::GTintvectorEnhancedAttributeVer2(const std::uint32_t& key,
                                                                   const Settings& settings)
    : GTintvectorKind(key),
      neutral_grays_{settings[0], settings[3], settings[6]},
      enhanced_halftone_{settings[1], settings[4], settings[7]},
      srgb_color_{settings[2], settings[5], settings[8]},
      edge_control_(settings[9]) {}

GTintvectorEnhancedAttributeVer2::GTintvectorEnhancedAttributeVer2(
    const GTintvectorEnhancedAttributeVer2& other)
    : GTintvectorKind(other) {
  AssignSettings(other);
}

template <class T>
auto GTintvectorEnhancedAttributeVer2::StoredBytes(T& self) {
  auto& s = self;
  return std::array{&s.neutral_grays_[0], &s.enhanced_halftone_[0], &s.srgb_color_[0],
                    &s.neutral_grays_[1], &s.enhanced_halftone_[1], &s.srgb_color_[1],
                    &s.neutral_grays_[2], &s.enhanced_halftone_[2], &s.srgb_color_[2],
                    &s.edge_control_};
}

bool GTintvectorEnhancedAttributeVer2::SameSettings(
    const GTintvectorEnhancedAttributeVer2& other) const {
  return SameUsed(neutral_grays_, other.neutral_grays_) &&
         SameUsed(enhanced_halftone_, other.enhanced_halftone_) &&
         SameUsed(srgb_color_, other.srgb_color_) && edge_control_ == other.edge_control_;
}

const std::uint8_t* GTintvectorEnhancedAttributeVer2::FindSetting(std::int32_t object,
                                                                  std::int32_t setting) const {
  if (!EnhancedAccepts(object, setting)) return nullptr;
  switch (setting) {
    case kFirstSetting:
      return &neutral_grays_[object];
    case kSecondSetting:
      return &enhanced_halftone_[object];
    case kEdgeSetting:
      return &edge_control_;
    case kColorSetting:
      return &srgb_color_[object];
    default:
      return nullptr;
  }
}

bool GTintvectorEnhancedAttributeVer2::GetSetting(std::int32_t object, std::int32_t setting,
                                                  std::uint8_t& value) const {
  return GetVia(*this, EnhancedAccepts(object, setting), object, setting, value);
}

bool GTintvectorEnhancedAttributeVer2::SetSetting(std::int32_t object, std::int32_t setting,
                                                  std::uint8_t value) {
  // The document-wide sRGB choice sets every kind.
  if (object == kTintDocument && setting == kColorSetting) {
    std::fill_n(srgb_color_.begin(), 3, value);
    return true;
  }
  return SetVia(*this, EnhancedAccepts(object, setting), object, setting, value);
}

void GTintvectorEnhancedAttributeVer2::AssignSettings(
    const GTintvectorEnhancedAttributeVer2& other) {
  if (&other == this) return;
  CopyUsed(neutral_grays_, other.neutral_grays_);
  CopyUsed(enhanced_halftone_, other.enhanced_halftone_);
  CopyUsed(srgb_color_, other.srgb_color_);
  edge_control_ = other.edge_control_;
}

// After every class's StoredBytes, which the frame instantiates.
template class MPersistentClass<GTintvectorAttribute, GAttribute, kGTintvectorAttributeId>;
template class MPersistentClass<GTintvectorEnhancedAttribute, GTintvectorAttribute,
                                kGTintvectorEnhancedAttributeId>;
template class MPersistentClass<GTintvectorEnhancedAttributeVer2, GTintvectorAttribute,
                                kGTintvectorEnhancedAttributeVer2Id>;
template class GTintvectorKind<GTintvectorAttribute, GAttribute, kGTintvectorAttributeId>;
template class GTintvectorKind<GTintvectorEnhancedAttribute, GTintvectorAttribute,
                               kGTintvectorEnhancedAttributeId>;
template class GTintvectorKind<GTintvectorEnhancedAttributeVer2, GTintvectorAttribute,
                               kGTintvectorEnhancedAttributeVer2Id>;

// ---------------------------------------------------------------------------
// Queries

namespace {

// The attribute under kColorAdjustmentKey when it is a T (a 792 query takes 797
// and 1201 too: they derive from it), else null.
template <class T>
const T* FindTintvector(MPersistentObject* attributes) {
  return FindOfClass<T>(attributes, kColorAdjustmentKey);
}

template <class T>
std::uint16_t Query(std::int32_t object, std::int32_t setting, MPersistentObject* attributes) {
  const T* tintvector = FindTintvector<T>(attributes);
  if (!tintvector) return kNoTintvectorSetting;
  // T's own FindSetting: for 792 the colour map and halftone whatever the
  // object's class.
  const std::uint8_t* byte = tintvector->T::FindSetting(object, setting);
  return byte ? *byte : kNoTintvectorSetting;
}

// The enhanced query that the mode picks.
std::uint16_t QueryByMode(std::int32_t object, std::int32_t setting, MPersistentObject* attributes,
                          std::uint8_t mode) {
  return mode == kTintvectorModeEnhanced
             ? QueryEnhancedTintvectorSetting(object, setting, attributes)
             : QueryEnhancedTintvectorVer2Setting(object, setting, attributes);
}

}  // namespace

std::uint16_t QueryTintvectorSetting(std::int32_t object, std::int32_t setting,
                                     MPersistentObject* attributes) {
  return Query<GTintvectorAttribute>(object, setting, attributes);
}

std::uint16_t QueryEnhancedTintvectorSetting(std::int32_t object, std::int32_t setting,
                                             MPersistentObject* attributes) {
  return Query<GTintvectorEnhancedAttribute>(object, setting, attributes);
}

std::uint16_t QueryEnhancedTintvectorVer2Setting(std::int32_t object, std::int32_t setting,
                                                 MPersistentObject* attributes) {
  return Query<GTintvectorEnhancedAttributeVer2>(object, setting, attributes);
}

std::uint16_t GetTextColorMapCode(MPersistentObject* attributes) {
  return QueryTintvectorSetting(kTintText, kFirstSetting, attributes);
}

std::uint16_t GetGraphicsColorMapCode(MPersistentObject* attributes) {
  return QueryTintvectorSetting(kTintGraphics, kFirstSetting, attributes);
}

std::uint16_t GetPhotoColorMapCode(MPersistentObject* attributes) {
  return QueryTintvectorSetting(kTintPhoto, kFirstSetting, attributes);
}

std::uint16_t GetTextHalftoneCode(MPersistentObject* attributes) {
  return QueryTintvectorSetting(kTintText, kSecondSetting, attributes);
}

std::uint16_t GetGraphicsHalftoneCode(MPersistentObject* attributes) {
  return QueryTintvectorSetting(kTintGraphics, kSecondSetting, attributes);
}

std::uint16_t GetPhotoHalftoneCode(MPersistentObject* attributes) {
  return QueryTintvectorSetting(kTintPhoto, kSecondSetting, attributes);
}

std::uint16_t GetTextSRGBColorCode(MPersistentObject* attributes) {
  return QueryEnhancedTintvectorVer2Setting(kTintText, kColorSetting, attributes);
}

std::uint16_t GetGraphicsSRGBColorCode(MPersistentObject* attributes) {
  return QueryEnhancedTintvectorVer2Setting(kTintGraphics, kColorSetting, attributes);
}

std::uint16_t GetPhotoSRGBColorCode(MPersistentObject* attributes) {
  return QueryEnhancedTintvectorVer2Setting(kTintPhoto, kColorSetting, attributes);
}

std::uint16_t GetTextEnhancedHalftoneCode(MPersistentObject* attributes, std::uint8_t mode) {
  return QueryByMode(kTintText, kSecondSetting, attributes, mode);
}

std::uint16_t GetGraphicsEnhancedHalftoneCode(MPersistentObject* attributes, std::uint8_t mode) {
  return QueryByMode(kTintGraphics, kSecondSetting, attributes, mode);
}

std::uint16_t GetPhotoEnhancedHalftoneCode(MPersistentObject* attributes, std::uint8_t mode) {
  return QueryByMode(kTintPhoto, kSecondSetting, attributes, mode);
}

std::uint16_t GetTextNeutralGraysCode(MPersistentObject* attributes, std::uint8_t mode) {
  return QueryByMode(kTintText, kFirstSetting, attributes, mode);
}

std::uint16_t GetGraphicsNeutralGraysCode(MPersistentObject* attributes, std::uint8_t mode) {
  return QueryByMode(kTintGraphics, kFirstSetting, attributes, mode);
}

std::uint16_t GetPhotoNeutralGraysCode(MPersistentObject* attributes, std::uint8_t mode) {
  return QueryByMode(kTintPhoto, kFirstSetting, attributes, mode);
}

std::uint16_t GetEdgeControlCode(MPersistentObject* attributes, std::uint8_t mode) {
  return QueryByMode(kTintDocument, kEdgeSetting, attributes, mode);
}

std::uint16_t GetRGBColorCode(MPersistentObject* attributes) {
  return QueryEnhancedTintvectorSetting(kTintDocument, kColorSetting, attributes);
}
