// GTransformAttribute: the graphics attribute that places a page or a
// graphic: a rotation in degrees, an offset and a scale per axis. The
// filters that change page geometry (scaling, imposing several pages on a
// sheet) give each page one, and compose theirs into any that a later
// graphic of the page carries (ComposeTransforms). Executed on a device it
// calls the device's SetTransform with itself.
//
// Class id 103, registered as "GTransformAttribute"; kind test 103, 754,
// 753, 751. Content equality: the same object; or the same class id, equal
// keys, the same rotation, both offsets, and both scales exactly (as
// floats: 0.0 equals -0.0, a NaN equals nothing). Copies and assignment
// take key, serial number, state and every field.
//
// Stored form, after the GStyleAttribute part (attribute.h):
//   version   u32  kTransformVersion
//   rotation  i16  degrees
//   offset    i16 x, i16 y
//   scale     f32 x, f32 y  (IEEE single precision)
// A restore of another version keeps the fields.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "output/core/peripheral.h"
#include "output/graphics/short_geometry.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGTransformAttributeId = 103;
inline constexpr std::uint32_t kTransformVersion = 1;

class GTransformAttribute final
    : public MPersistentClass<GTransformAttribute, GStyleAttribute, kGTransformAttributeId> {
 public:
  // Rotation 0, offset (0, 0), scale (1.0, 1.0), key 0.
  GTransformAttribute() = default;
  GTransformAttribute(std::int16_t rotation, const GShortPoint& offset, const GScalePair& scale,
                      const std::uint32_t& key = 0)
      : MPersistentClass(key), rotation_(rotation), offset_(offset), scale_(scale) {}
  GTransformAttribute(const GTransformAttribute& other) = default;
  GTransformAttribute& operator=(const GTransformAttribute& other) = default;

  // The GStyleAttribute part and 18.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetTransform(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  std::int16_t GetRotation() const { return rotation_; }
  const GShortPoint& GetOffset() const { return offset_; }
  const GScalePair& GetScale() const { return scale_; }
  void SetRotation(std::int16_t rotation) { rotation_ = rotation; }
  void SetOffset(const GShortPoint& offset) { offset_ = offset; }
  void SetScale(const GScalePair& scale) { scale_ = scale; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::int16_t rotation_ = 0;
  GShortPoint offset_;
  GScalePair scale_;
};

// `value` truncated toward zero into 32 bits: a value beyond the range is
// that range's end, a NaN is 0 (a plain conversion of either is undefined).
std::int32_t TruncateTowardZero(float value);

// `inner` placed by `outer`: a new transform (key 0) with, per axis,
// offset = outer offset + inner offset x outer scale, the product (a
// single-precision float) truncated toward zero; scale = outer scale x
// inner scale; and rotation = outer rotation + inner rotation. Sums wrap as
// 16-bit numbers do; a product beyond the 32-bit range counts as that
// range's end, and a NaN product as 0.
GTransformAttribute ComposeTransforms(const GTransformAttribute& outer,
                                      const GTransformAttribute& inner);

extern template class MPersistentClass<GTransformAttribute, GStyleAttribute,
                                       kGTransformAttributeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TransformClasses();
