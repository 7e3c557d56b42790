// GMedia: one medium as the output side sees it: its name, the paper size,
// the printable area and its origin, the orientation, the resolution at
// which those lengths are counted, the paper size code and the media type.
// Trays hold one (paper_parts.h), media pools choose among them
// (media_pool.h), custom sizes become one (media_from_custom_size.h); the
// driver entry, the filters and the generators read them. Its Execute hands
// it to GPeripheral::SetMedia.
//
// Lengths are 16-bit dot counts at the medium's own x and y resolution
// (dots per inch, 600 by 600 unless given): paper size (width, height),
// printable size (width, height), printable origin (left, top) from the
// paper's top left corner. The orientation is a number of degrees: 0, 90,
// 180 or 270 (NormalizeAngle brings any angle into 0 to 359). The
// auxiliary code and name are carried, copied and compared, never
// interpreted; media made from custom sizes leave them 0 and empty.
//
// Class id 1002, registered as "GMedia"; kind test 1002, 753, 751; default
// kModelMediumKey (190). Content equality: the same object, or the same class
// id and key and every field equal (strings byte for byte).
//
// Stored form, after the GAttribute part (attribute.h):
//   version          u32  kMediaVersion
//   name             string (u32 length, bytes)
//   paper            i16 width, i16 height
//   printable        i16 width, i16 height
//   origin           i16 left, i16 top
//   orientation      u32
//   resolution       u16 x, u16 y
//   auxiliary code   u16
//   auxiliary name   string
//   media type       string
//   paper size code  u16
// Stored size: the attribute part, 40 and the three string lengths. A
// restore of another version reads nothing further and keeps the fields.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>
#include <typeinfo>

#include "config/attributes/attribute.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGMediaId = 1002;
inline constexpr std::uint32_t kMediaVersion = 1;
// The key of a medium in the settings, and of every medium made here.
inline constexpr std::uint16_t kDefaultResolution = 600;

// A pair of 16-bit lengths: width and height, or left and top.
struct GSize16 {
  std::int16_t width = 0;   // or left
  std::int16_t height = 0;  // or top

  GSize16() = default;
  GSize16(std::int16_t w, std::int16_t h) : width(w), height(h) {}
  bool operator==(const GSize16& other) const = default;
};

// Four 16-bit coordinates of a rectangle.
struct GRect16 {
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t right = 0;
  std::int16_t bottom = 0;
  bool operator==(const GRect16& other) const = default;
};

class GMedia final : public MPersistentClass<GMedia, GAttribute, kGMediaId> {
 public:
  // kModelMediumKey, empty strings, every length 0, orientation 0, codes 0, 600
  // by 600 dots per inch.
  GMedia() : MPersistentClass(kModelMediumKey) {}
  // A null text leaves its string empty.
  GMedia(const char* name, const GSize16& paper_size, const GSize16& printable_size,
         const GSize16& printable_origin, std::uint32_t orientation, std::uint16_t paper_size_id,
         std::uint16_t x_resolution, std::uint16_t y_resolution, const std::uint32_t& key,
         std::uint16_t aux_code, const char* aux_name, const char* media_type);
  // Persistable part (nobody holds the copy), state and every field.
  GMedia(const GMedia& other) = default;
  // The same; nothing for itself.
  GMedia& operator=(const GMedia& other);

  const RWCString& GetName() const { return name_; }
  const GSize16& GetPaperSize() const { return paper_size_; }
  const GSize16& GetPrintableSize() const { return printable_size_; }
  const GSize16& GetPrintableOrigin() const { return printable_origin_; }
  std::uint32_t GetOrientation() const { return orientation_; }
  std::uint16_t GetXResolution() const { return x_resolution_; }
  std::uint16_t GetYResolution() const { return y_resolution_; }
  std::uint16_t GetAuxCode() const { return aux_code_; }
  const RWCString& GetAuxName() const { return aux_name_; }
  const RWCString& GetMediaType() const { return media_type_; }
  std::uint16_t GetPaperSizeId() const { return paper_size_id_; }

  void SetAuxCode(std::uint16_t code) { aux_code_ = code; }
  void SetAuxName(const RWCString& name) { aux_name_ = name; }
  void SetMediaType(const RWCString& media_type) { media_type_ = media_type; }
  void SetPaperSizeId(std::uint16_t id) { paper_size_id_ = id; }

  // (left, top, left + width, top + height) of the printable area; the
  // sums wrap in 16 bits.
  GRect16 GetPrintableRect() const;
  // (left + width, top + height), wrapping in 16 bits.
  GSize16 GetPrintableBottomRight() const;
  // (paper width - printable width - left, paper height - printable
  // height - top), wrapping in 16 bits.
  GSize16 GetRightBottomMargins() const;

  // The attribute part, 40 and the three string lengths.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // GPeripheral::SetMedia with this medium; its answer, cut to 16 bits.
  std::uint16_t Execute(GAttributeHandlers& device) override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  RWCString name_;
  GSize16 paper_size_;
  GSize16 printable_size_;
  GSize16 printable_origin_;
  std::uint32_t orientation_ = 0;  // degrees
  std::uint16_t x_resolution_ = kDefaultResolution;
  std::uint16_t y_resolution_ = kDefaultResolution;
  std::uint16_t aux_code_ = 0;
  RWCString aux_name_;
  RWCString media_type_;  // "Preprinted", "Letterhead", ...
  std::uint16_t paper_size_id_ = 0;
};

// `object` when it is a medium, else null: what dynamic_cast<GMedia*>
// answers, for a fraction of its cost in walks over whole media lists (the
// class is final, so one type test decides).
inline GMedia* AsMedium(MPersistentObject* object) {
  return object && typeid(*object) == typeid(GMedia) ? static_cast<GMedia*>(object) : nullptr;
}

// `angle` brought into 0 to 359 (the remainder of a floor division by
// 360): -90 gives 270, 450 gives 90. Every 32-bit angle, INT_MIN included.
std::int32_t NormalizeAngle(std::int32_t angle);

extern template class MPersistentClass<GMedia, GAttribute, kGMediaId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> MediaClasses();
