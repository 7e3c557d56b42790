// GCustomMediaSize: a user-defined paper size: a paper size code, a name,
// and a width and height in one of four units of length (below). It
// converts its size between the units and into dots at a given resolution;
// media_from_custom_size.h turns it into a medium. The settings keep the
// user's custom size under kUserCustomSizeKey in the composite kCustomSizesKey;
// temporary ones have key 0.
//
// ConvertSize: the unit conversion, on a pair of 32-bit lengths. Each
// length is multiplied and divided as the table says and rounded half up
// (a remainder of at least half the divisor rounds up: for the odd divisor
// 127, from 64). The arithmetic is wide enough never to overflow; a result
// above 32 bits is the largest 32-bit length.
//
//   from \ to   0 (1/100 in)     1 (mm)           2 (1/10,000 in)  3 (um)
//   0           -                x 12700/50000    x 100            x 12700/50
//   1           x 50000/12700    -                x 50000/127      x 1000
//   2           / 100            x 127/50000      -                x 127/50
//   3           x 50/12700       / 1000           x 50/127         -
//
// A unit above 3 on either side leaves the pair as it is.
//
// Class id 775, registered as "GCustomMediaSize"; kind test 775, 753, 751;
// TypeId 775. Execute calls no device operation and answers 0. Content
// equality: the same object, or the same class id and key, code and name
// (byte for byte), and equal sizes: compared as they are in one unit, else
// both in micrometres.
//
// Stored form, after the GAttribute part (attribute.h):
//   version  u32  kCustomMediaSizeVersion
//   code     u16
//   name     string (u32 length, bytes)
//   unit     u32
//   width    u32
//   height   u32
// A restore of another version reads nothing further. Stored size: the
// attribute part, the name's length and 22.
//
// Ownership and threads: as MPersistentObject; ConvertSize is pure.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGCustomMediaSizeId = 775;
inline constexpr std::uint32_t kCustomMediaSizeVersion = 1;

// Units of length.
inline constexpr std::uint32_t kHundredthInch = 0;
inline constexpr std::uint32_t kMillimetre = 1;
inline constexpr std::uint32_t kTenThousandthInch = 2;
inline constexpr std::uint32_t kMicrometre = 3;

// A pair of 32-bit lengths: width and height.
struct GSize32 {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool operator==(const GSize32& other) const = default;
};

// `size` in unit `from` converted to unit `to` (see above).
GSize32 ConvertSize(std::uint32_t from, std::uint32_t to, const GSize32& size);

class GCustomMediaSize final
    : public MPersistentClass<GCustomMediaSize, GAttribute, kGCustomMediaSizeId> {
 public:
  // Code 0, empty name, unit 0, 0 by 0, key 0.
  GCustomMediaSize() = default;
  explicit GCustomMediaSize(const std::uint32_t& key) : MPersistentClass(key) {}
  GCustomMediaSize(std::uint16_t id, const RWCString& name, std::uint32_t unit, std::uint32_t width,
                   std::uint32_t height, const std::uint32_t& key);
  // From a size in dots: dots x 100 / resolution (truncated; 0 for a
  // resolution of 0) in hundredths of an inch, then converted to `unit` as
  // SetUnit does.
  GCustomMediaSize(std::uint16_t id, const RWCString& name, std::uint16_t x_resolution,
                   std::uint16_t y_resolution, std::uint32_t unit, std::uint32_t width_dots,
                   std::uint32_t height_dots, const std::uint32_t& key);
  GCustomMediaSize(const GCustomMediaSize& other) = default;
  GCustomMediaSize& operator=(const GCustomMediaSize& other) = default;

  std::uint16_t GetId() const { return id_; }
  void SetId(std::uint16_t id) { id_ = id; }
  const RWCString& GetName() const { return name_; }
  void SetName(const RWCString& name) { name_ = name; }
  std::uint32_t GetUnit() const { return unit_; }
  // The stored width and height, in the stored unit.
  const GSize32& GetSize() const { return size_; }

  // Keeps the unit.
  void SetSize(std::uint32_t width, std::uint32_t height) { size_ = {width, height}; }
  void SetSize(const GSize32& size) { size_ = size; }
  // Replaces unit and size, without conversion.
  void Set(std::uint32_t unit, std::uint32_t width, std::uint32_t height);
  void Set(std::uint32_t unit, const GSize32& size) { Set(unit, size.width, size.height); }
  // Converts the size to `unit` and keeps both.
  void SetUnit(std::uint32_t unit);
  // The size converted to `unit`.
  GSize32 GetSizeIn(std::uint32_t unit) const { return ConvertSize(unit_, unit, size_); }
  // The size in ten-thousandths of an inch, times the resolution, divided
  // by 10,000, truncated (wide enough never to overflow).
  GSize32 GetSizeInDots(std::uint16_t x_resolution, std::uint16_t y_resolution) const;

  // The attribute part, the name's length and 22.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // No device operation: answers 0.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint16_t id_ = 0;  // the paper size code
  RWCString name_;
  std::uint32_t unit_ = kHundredthInch;
  GSize32 size_;
};

extern template class MPersistentClass<GCustomMediaSize, GAttribute, kGCustomMediaSizeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> CustomMediaSizeClasses();
