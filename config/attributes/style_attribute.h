// The colour-rendering choices a page is printed with, each a style
// attribute (attribute.h) holding one 32-bit number, the user's or the
// driver's choice, read back as its low 16 bits. Each is handed to a device
// through its own operation, and translates its choice into the printer's
// code through an association list of the configuration tree
// (style_translation.h):
//
//   class              id    default  device operation     list key
//   GColorMap          791   15       SetColorMap          kColorMapListKey
//   GHalftone          790   40       SetHalftone          kHalftoneListKey
//   GHalftoneEnhanced  790   40       SetHalftoneEnhanced  kHalftoneListKey
//   GNeutralGrays      798   70       SetNeutralGrays      kNeutralGraysListKey
//   GEdgeControl       799   93       SetEdgeControl       kEdgeControlListKey
//   GSRGBColor         800   98       SetSRGBColor         kSRGBColorListKey
//   GSRGBExtension     1202  100      SetSRGBExtension     kSRGBColorListKey
//
// GHalftone and GHalftoneEnhanced share class id 790, and the bytes cannot
// tell them apart. GHalftoneEnhanced registers first and wins the id: an
// object made or restored by id 790 is a GHalftoneEnhanced (and reaches
// SetHalftoneEnhanced), while the name "GHalftone" still makes a GHalftone.
// Devices are to treat the two operations alike.
//
// GStyleChoiceAttribute is their abstract base, not registered and without
// an id of its own (kind test 754, 753, 751). Each concrete class's kind
// test is true for its id, 754, 753 and 751; TypeId is the class id.
// Content equality: the same object, or the same class id and equal
// values; the keys are not compared.
//
// Stored form, after the GStyleAttribute part (attribute.h):
//   version  u32  kStyleChoiceVersion
//   value    i32
// A restore of another version keeps the constructed value.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/registration.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGColorMapId = 791;
inline constexpr RWClassID kGHalftoneId = 790;
inline constexpr RWClassID kGHalftoneEnhancedId = 790;
inline constexpr RWClassID kGNeutralGraysId = 798;
inline constexpr RWClassID kGEdgeControlId = 799;
inline constexpr RWClassID kGSRGBColorId = 800;
inline constexpr RWClassID kGSRGBExtensionId = 1202;
inline constexpr std::uint32_t kStyleChoiceVersion = 1;

class GStyleChoiceAttribute : public GStyleAttribute {
 public:
  // The GStyleAttribute part, 8.
  RWSize StoredSize() const override;
  // The same object, or the same class id and value (keys not compared).
  bool IsEqualContent(const MPersistentObject* other) const override;

  // The printer's code for the choice, found in the association list under
  // the class's list key in what `root` holds; 0 when there is none.
  virtual std::int16_t MapToDeviceValue(const GCountedPtr& root) = 0;
  // The low 16 bits of the value.
  virtual std::uint16_t GetValue() const { return static_cast<std::uint16_t>(value_); }

 protected:
  GStyleChoiceAttribute(std::int32_t value, const std::uint32_t& key)
      : GStyleAttribute(key), value_(value) {}
  GStyleChoiceAttribute(const GStyleChoiceAttribute& other) = default;
  // Copies key, serial number, state and value.
  GStyleChoiceAttribute& operator=(const GStyleChoiceAttribute& other) = default;

  // The stored form, for every concrete class.
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

 private:
  std::int32_t value_;
};

// What the seven classes share: creation, class id, kind test, stored form
// and the mapping, from the class's id, default value and list key.
template <class Self, RWClassID kId, std::int32_t kDefault, std::uint32_t kListKey>
class GStyleChoice : public MPersistentClass<Self, GStyleChoiceAttribute, kId> {
  using Class = MPersistentClass<Self, GStyleChoiceAttribute, kId>;

 public:
  // Key 0, the default value.
  GStyleChoice() : Class(kDefault, 0) {}
  GStyleChoice(std::int32_t value, const std::uint32_t& key) : Class(value, key) {}
  GStyleChoice(const GStyleChoice& other) = default;
  GStyleChoice& operator=(const GStyleChoice& other) = default;

  std::int16_t MapToDeviceValue(const GCountedPtr& root) override;
};

class GColorMap final : public GStyleChoice<GColorMap, kGColorMapId, 15, kColorMapListKey> {
 public:
  using GStyleChoice::GStyleChoice;
  std::uint16_t Execute(GAttributeHandlers& device) override;
};

class GHalftone final : public GStyleChoice<GHalftone, kGHalftoneId, 40, kHalftoneListKey> {
 public:
  using GStyleChoice::GStyleChoice;
  std::uint16_t Execute(GAttributeHandlers& device) override;
};

class GHalftoneEnhanced final
    : public GStyleChoice<GHalftoneEnhanced, kGHalftoneEnhancedId, 40, kHalftoneListKey> {
 public:
  using GStyleChoice::GStyleChoice;
  std::uint16_t Execute(GAttributeHandlers& device) override;
};

class GNeutralGrays final
    : public GStyleChoice<GNeutralGrays, kGNeutralGraysId, 70, kNeutralGraysListKey> {
 public:
  using GStyleChoice::GStyleChoice;
  std::uint16_t Execute(GAttributeHandlers& device) override;
};

class GEdgeControl final
    : public GStyleChoice<GEdgeControl, kGEdgeControlId, 93, kEdgeControlListKey> {
 public:
  using GStyleChoice::GStyleChoice;
  std::uint16_t Execute(GAttributeHandlers& device) override;
};

class GSRGBColor final : public GStyleChoice<GSRGBColor, kGSRGBColorId, 98, kSRGBColorListKey> {
 public:
  using GStyleChoice::GStyleChoice;
  std::uint16_t Execute(GAttributeHandlers& device) override;
};

class GSRGBExtension final
    : public GStyleChoice<GSRGBExtension, kGSRGBExtensionId, 100, kSRGBColorListKey> {
 public:
  using GStyleChoice::GStyleChoice;
  std::uint16_t Execute(GAttributeHandlers& device) override;
};

extern template class MPersistentClass<GColorMap, GStyleChoiceAttribute, kGColorMapId>;
extern template class MPersistentClass<GHalftone, GStyleChoiceAttribute, kGHalftoneId>;
extern template class MPersistentClass<GHalftoneEnhanced, GStyleChoiceAttribute,
                                       kGHalftoneEnhancedId>;
extern template class MPersistentClass<GNeutralGrays, GStyleChoiceAttribute, kGNeutralGraysId>;
extern template class MPersistentClass<GEdgeControl, GStyleChoiceAttribute, kGEdgeControlId>;
extern template class MPersistentClass<GSRGBColor, GStyleChoiceAttribute, kGSRGBColorId>;
extern template class MPersistentClass<GSRGBExtension, GStyleChoiceAttribute, kGSRGBExtensionId>;
extern template class GStyleChoice<GColorMap, kGColorMapId, 15, kColorMapListKey>;
extern template class GStyleChoice<GHalftone, kGHalftoneId, 40, kHalftoneListKey>;
extern template class GStyleChoice<GHalftoneEnhanced, kGHalftoneEnhancedId, 40, kHalftoneListKey>;
extern template class GStyleChoice<GNeutralGrays, kGNeutralGraysId, 70, kNeutralGraysListKey>;
extern template class GStyleChoice<GEdgeControl, kGEdgeControlId, 93, kEdgeControlListKey>;
extern template class GStyleChoice<GSRGBColor, kGSRGBColorId, 98, kSRGBColorListKey>;
extern template class GStyleChoice<GSRGBExtension, kGSRGBExtensionId, 100, kSRGBColorListKey>;

// The file's classes, in registration order: GHalftoneEnhanced before
// GHalftone, so that it wins id 790.
std::span<const RWClassRegistration> StyleAttributeClasses();
