// GRasterOperation: the graphics attribute that gives the raster operation
// with which drawing combines with the page: a 16-bit code and its kind.
//   kind 0   the whole code is the raster operation
//   kind 1   the code's low byte is the raster operation; upper four bits
//            of 0xA (code & 0xF000 == 0xA000) ask for transparent drawing
//   kind 2   (the default) and any other kind: the generators ignore it
// Executed on a device it calls the device's SetRasterOperation with
// itself.
//
// Class id 401, registered as "GRasterOperation"; kind test 401, 754, 753,
// 751; TypeId 401. Content equality: the same class id, code and kind (keys
// are not compared). Copies and assignment take key, serial number, state
// and both fields.
//
// Stored form, after the GStyleAttribute part (attribute.h):
//   version  u32  kRasterOperationVersion
//   code     u16
//   kind     u32
// A restore of another version keeps the fields.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGRasterOperationId = 401;
inline constexpr std::uint32_t kRasterOperationVersion = 1;
inline constexpr std::uint32_t kRopWholeCode = 0;
inline constexpr std::uint32_t kRopLowByte = 1;
inline constexpr std::uint32_t kRopIgnored = 2;

class GRasterOperation final
    : public MPersistentClass<GRasterOperation, GStyleAttribute, kGRasterOperationId> {
 public:
  // Code 0, kind 2, key 0.
  GRasterOperation() = default;
  GRasterOperation(std::uint16_t code, std::uint32_t kind, const std::uint32_t& key)
      : MPersistentClass(key), code_(code), kind_(kind) {}
  GRasterOperation(const GRasterOperation& other) = default;
  GRasterOperation& operator=(const GRasterOperation& other) = default;

  // The GStyleAttribute part and 10.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetRasterOperation(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  // The 16-bit code as it came.
  std::uint16_t GetRop() const { return code_; }
  // The kind.
  std::uint32_t GetValue() const { return kind_; }

  // What the generators make of the two: whether the attribute counts at
  // all (kinds 0 and 1), the raster operation it stands for (the whole
  // code, or its low byte for kind 1), and whether it asks for transparent
  // drawing (kind 1 with upper four bits 0xA).
  bool IsInEffect() const { return kind_ == kRopWholeCode || kind_ == kRopLowByte; }
  std::uint16_t GetOperation() const {
    return kind_ == kRopLowByte ? static_cast<std::uint16_t>(code_ & 0xFF) : code_;
  }
  bool IsTransparent() const { return kind_ == kRopLowByte && (code_ & 0xF000) == 0xA000; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint16_t code_ = 0;
  std::uint32_t kind_ = kRopIgnored;
};

extern template class MPersistentClass<GRasterOperation, GStyleAttribute, kGRasterOperationId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> RasterOperationClasses();
