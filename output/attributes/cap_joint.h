// The line-end and line-joint attributes that go with a pen (pen.h): how
// the ends of an open line are drawn (GCap) and how two lines meet
// (GJoint). The style words are the generators' to read: the model only
// keeps, compares and stores them (0 by default).
//
// What they are is taken from their names and neighbours alone: they are
// registered beside the pens and brushes and among the drawing attributes
// that the output model names (pens, brushes, caps, joints), so each is a
// style attribute (attribute.h) holding one style word, executed on a
// device through a handler of its own, as a fill mode is. A miter joint is
// taken as a joint that adds the one thing a miter join needs beyond the
// joint: its miter limit, a single-precision float (as a transform's
// scales are), 10.0 by default.
//
// GCap: class id 301, registered as "GCap"; kind test 301, 754, 753, 751;
// executing it calls the device's SetCap with itself.
// GJoint: class id 351, registered as "GJoint"; kind test 351, 754, 753,
// 751; executing it calls the device's SetJoint with itself.
// GMiterJoint: class id 352, registered as "GMiterJoint"; kind test 352,
// 351, 754, 753, 751; a joint, so executing it calls SetJoint too (a device
// tells it by its kind, as it tells a no pen from a pen).
// Content equality: the same object; or the same class id, equal
// GStyleAttribute parts (keys included) and the same style (and for a
// miter joint the same limit, compared as floats: a NaN equals nothing).
//
// Stored forms, after the GStyleAttribute part (attribute.h):
//   GCap, GJoint  version u32 kCapVersion or kJointVersion; style u32
//   GMiterJoint   the GJoint part; version u32 kMiterJointVersion;
//                 limit f32 (IEEE single precision)
// A restore of another version reads nothing further of that level.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGCapId = 301;
inline constexpr RWClassID kGJointId = 351;
inline constexpr RWClassID kGMiterJointId = 352;
inline constexpr std::uint32_t kCapVersion = 1;
inline constexpr std::uint32_t kJointVersion = 1;
inline constexpr std::uint32_t kMiterJointVersion = 1;
inline constexpr float kDefaultMiterLimit = 10.0f;

class GCap final : public MPersistentClass<GCap, GStyleAttribute, kGCapId> {
 public:
  // Style 0, key 0.
  GCap() = default;
  GCap(std::uint32_t style, const std::uint32_t& key) : MPersistentClass(key), style_(style) {}
  GCap(const GCap& other) = default;
  GCap& operator=(const GCap& other) = default;

  // The GStyleAttribute part and 8.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetCap(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  std::uint32_t GetStyle() const { return style_; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t style_ = 0;
};

class GJoint : public MPersistentClass<GJoint, GStyleAttribute, kGJointId> {
 public:
  // Style 0, key 0.
  GJoint() = default;
  GJoint(std::uint32_t style, const std::uint32_t& key) : MPersistentClass(key), style_(style) {}
  GJoint(const GJoint& other) = default;
  GJoint& operator=(const GJoint& other) = default;

  // The GStyleAttribute part and 8.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetJoint(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  std::uint32_t GetStyle() const { return style_; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t style_ = 0;
};

class GMiterJoint final : public MPersistentClass<GMiterJoint, GJoint, kGMiterJointId> {
 public:
  // Style 0, limit 10.0, key 0.
  GMiterJoint() = default;
  GMiterJoint(std::uint32_t style, float limit, const std::uint32_t& key)
      : MPersistentClass(style, key), limit_(limit) {}
  GMiterJoint(const GMiterJoint& other) = default;
  GMiterJoint& operator=(const GMiterJoint& other) = default;

  // The GJoint part and 8.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  float GetLimit() const { return limit_; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  float limit_ = kDefaultMiterLimit;
};

extern template class MPersistentClass<GCap, GStyleAttribute, kGCapId>;
extern template class MPersistentClass<GJoint, GStyleAttribute, kGJointId>;
extern template class MPersistentClass<GMiterJoint, GJoint, kGMiterJointId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> CapJointClasses();
