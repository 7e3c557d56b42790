// The leaf settings of the configuration tree, each a GAttribute
// (attribute.h) found by its key in an attribute composite:
//   GValueAttribute    a 16-bit value (option codes, flags, counts); its
//                      Execute calls GPeripheral::SetValueAttribute
//   GValue32Attribute  a 32-bit value; its Execute calls nothing, answers 0
//   GStringAttribute   an 8-bit string; GPeripheral::SetStringAttribute
//   GRangeAttribute    a bounded signed 16-bit number with a step;
//                      GPeripheral::SetRangeAttribute
// All four are registered under their class names; kind tests are true for
// the own id, 753 and 751; TypeId is the class id. Content equality: the
// same object, or the same class id, equal keys and equal fields (strings
// byte for byte, case included). State words are not compared.
//
// Stored form, after the GAttribute part (attribute.h):
//   version  u32  kValueAttributeVersion
//   then the fields:
//     GValueAttribute    value                         i16 item
//     GValue32Attribute  value                         u32
//     GStringAttribute   value                         the string's own form
//                                                      (u32 length, bytes)
//     GRangeAttribute    minimum, maximum, step, value i16 items
// The 16-bit value goes through the signed 16-bit item, so that portable
// text writes values of 32768 and more as negative numbers and reads them
// back unchanged. Another version leaves the fields as constructed.
//
// GRangeAttribute keeps minimum <= maximum, minimum <= value <= maximum and
// step >= 1 after construction; the setters keep the bounds ordered and the
// value inside them as documented at each; SetStep stores any value, 0
// included, and a restore takes the stored numbers as they are.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"

inline constexpr RWClassID kGValueAttributeId = 763;
inline constexpr RWClassID kGValue32AttributeId = 789;
inline constexpr RWClassID kGStringAttributeId = 776;
inline constexpr RWClassID kGRangeAttributeId = 762;
inline constexpr std::uint32_t kValueAttributeVersion = 1;

// What the leaf kinds share: creation, class id, kind test, content
// equality and the frame of the stored form. `Self` supplies FieldsSize(),
// SameFields(const Self&), and the templates WriteFields(out) and
// ReadFields(in) over RWVirtualOutputStream/RWFile and
// RWVirtualInputStream/RWFile.
template <class Self, RWClassID kId>
class GAttributeLeaf : public GAttribute {
 public:
  using GAttribute::GAttribute;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override { return kId; }
  // The attribute part, the version word and the fields.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  bool IsKindOf(const RWClassID& id) const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  MKeyFind KeyFind() override { return InheritedKeyFind<Self, GAttribute>(*this); }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  const Self& self() const { return static_cast<const Self&>(*this); }
};

class GValueAttribute final : public GAttributeLeaf<GValueAttribute, kGValueAttributeId> {
 public:
  GValueAttribute() = default;
  GValueAttribute(std::uint16_t value, const std::uint32_t& key)
      : GAttributeLeaf(key), value_(value) {}
  GValueAttribute(const GValueAttribute& other) = default;

  std::uint16_t GetValue() const { return value_; }
  void SetValue(std::uint16_t value) { value_ = value; }
  // 1 for a nonzero flag, else 0.
  void SetBool(std::uint32_t flag) { value_ = flag != 0 ? 1 : 0; }
  bool IsTrue() const { return value_ != 0; }
  bool IsFalse() const { return value_ == 0; }

  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend GAttributeLeaf;
  RWSize FieldsSize() const { return 2; }
  bool SameFields(const GValueAttribute& other) const { return value_ == other.value_; }
  template <class Out>
  void WriteFields(Out& out) const;
  template <class In>
  void ReadFields(In& in);

  std::uint16_t value_ = 0;
};

class GValue32Attribute final : public GAttributeLeaf<GValue32Attribute, kGValue32AttributeId> {
 public:
  GValue32Attribute() = default;
  GValue32Attribute(std::uint32_t value, const std::uint32_t& key)
      : GAttributeLeaf(key), value_(value) {}
  GValue32Attribute(const GValue32Attribute& other) = default;

  std::uint32_t GetValue() const { return value_; }
  void SetValue(std::uint32_t value) { value_ = value; }

  // No device operation: answers 0.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend GAttributeLeaf;
  RWSize FieldsSize() const { return 4; }
  bool SameFields(const GValue32Attribute& other) const { return value_ == other.value_; }
  template <class Out>
  void WriteFields(Out& out) const;
  template <class In>
  void ReadFields(In& in);

  std::uint32_t value_ = 0;
};

class GStringAttribute final : public GAttributeLeaf<GStringAttribute, kGStringAttributeId> {
 public:
  GStringAttribute() = default;
  // A null text is the empty string.
  GStringAttribute(const char* text, const std::uint32_t& key);
  GStringAttribute(const RWCString& value, const std::uint32_t& key)
      : GAttributeLeaf(key), value_(value) {}
  GStringAttribute(const GStringAttribute& other) = default;
  // Copies key, serial number, state and string; nothing for itself.
  GStringAttribute& operator=(const GStringAttribute& other);

  const RWCString& GetValue() const { return value_; }
  void SetValue(const RWCString& value) { value_ = value; }
  // A null text stores the empty string.
  void SetValue(const char* text);

  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend GAttributeLeaf;
  RWSize FieldsSize() const { return 4 + value_.Length(); }
  bool SameFields(const GStringAttribute& other) const { return value_ == other.value_; }
  template <class Out>
  void WriteFields(Out& out) const;
  template <class In>
  void ReadFields(In& in);

  RWCString value_;
};

class GRangeAttribute final : public GAttributeLeaf<GRangeAttribute, kGRangeAttributeId> {
 public:
  GRangeAttribute() = default;
  // Repairs what does not fit: maximum below minimum becomes the minimum,
  // the value is clamped into the bounds, a step of 0 becomes 1.
  GRangeAttribute(std::int16_t minimum, std::int16_t maximum, std::uint16_t step,
                  std::int16_t value, const std::uint32_t& key);
  GRangeAttribute(const GRangeAttribute& other) = default;

  std::int16_t GetMinimum() const { return minimum_; }
  std::int16_t GetMaximum() const { return maximum_; }
  std::uint16_t GetStep() const { return step_; }
  std::int16_t GetValue() const { return value_; }

  // The minimum, or the maximum when `minimum` lies above it. The value is
  // not clamped again until the next SetValue, Increment or Decrement.
  void SetMinimum(std::int16_t minimum);
  // The maximum, or the minimum when `maximum` lies below it; the value as
  // for SetMinimum.
  void SetMaximum(std::int16_t maximum);
  void SetStep(std::uint16_t step) { step_ = step; }
  // The value clamped into the bounds.
  void SetValue(std::int16_t value);
  // The value one step up or down, clamped into the bounds. The sum is
  // taken in full, so that a step past either end of the 16-bit range
  // stops at the bound instead of wrapping round to the other end.
  void Increment();
  void Decrement();
  bool Contains(std::int16_t value) const { return minimum_ <= value && value <= maximum_; }

  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend GAttributeLeaf;
  RWSize FieldsSize() const { return 8; }
  bool SameFields(const GRangeAttribute& other) const;
  template <class Out>
  void WriteFields(Out& out) const;
  template <class In>
  void ReadFields(In& in);
  // `value` clamped into the bounds.
  std::int16_t Clamp(std::int32_t value) const;

  std::int16_t minimum_ = 0;
  std::int16_t maximum_ = 0;
  std::uint16_t step_ = 1;
  std::int16_t value_ = 0;
};

extern template class GAttributeLeaf<GValueAttribute, kGValueAttributeId>;
extern template class GAttributeLeaf<GValue32Attribute, kGValue32AttributeId>;
extern template class GAttributeLeaf<GStringAttribute, kGStringAttributeId>;
extern template class GAttributeLeaf<GRangeAttribute, kGRangeAttributeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ValueAttributeClasses();
