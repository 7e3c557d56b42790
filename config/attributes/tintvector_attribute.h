// The Tintvector colour adjustment: how colour is rendered, separately for
// text, graphics and photos, plus two document-wide options. It lives in
// the settings tree as one attribute under kColorAdjustmentKey, in one of three
// classes that grew over three versions of the feature:
//   GTintvectorAttribute              792  colour map and halftone per kind
//   GTintvectorEnhancedAttribute      797  neutral greys and halftone per
//                                          kind, edge control, RGB colour
//   GTintvectorEnhancedAttributeVer2  1201 neutral greys, halftone and sRGB
//                                          colour per kind, edge control
// Every setting is one byte holding a code of the style attributes
// (style_attribute.h). Object kinds index the settings: 0 text, 1 graphics,
// 2 photos, 3 the document-wide options.
//
// 797 and 1201 derive from 792 and copy its arrays, but are no kind of it:
// each kind test is true for its own id, 753 and 751 only; their stored
// forms follow the GAttribute part directly and hold none of the inherited
// bytes. Their four-slot arrays use slots 0-2 per kind; slot 3 is reached
// through GetSetting/SetSetting only and is never copied, compared, saved
// or restored (a new or copied object holds 0 there). Bytes the
// constructors leave unset are 0.
//
// GetSetting(object, setting, out) and SetSetting(object, setting, byte)
// answer false for an index outside the accepted range (the out byte is
// then unchanged), else true:
//   class  objects  settings  0          1             2        3        4
//   792    0-2      0-2       colorMap   halftone      nothing  -        -
//   797    0-3      0-4       neutralGr  enhHalftone   edge     rgb      nothing
//   1201   0-3      0-4       neutralGr  enhHalftone   edge     srgb[o]  nothing
// (edge and rgb ignore the object). SetSetting of 1201 with object 3 and
// setting 3 writes the sRGB code of all three kinds. The operations are not
// virtual: the enhanced classes' own GetSetting and SetSetting hide 792's,
// so that a call through a GTintvectorAttribute reference always reaches
// colorMap and halftone, whatever the object's class.
//
// Equality: operator== compares class ids and the class's own used bytes
// (the enhanced classes not the inherited arrays); content equality adds
// equal keys. A 797 never equals a 1201.
//
// Stored form, after the GAttribute part (attribute.h):
//   version  u32  kTintvectorVersion
//   then each byte as a u16 item (zero-extended; a restore keeps the low
//   byte), in this order:
//     792   per kind 0-2: colorMap, halftone
//     797   per kind 0-2: neutralGrays, enhancedHalftone; edge, rgb
//     1201  per kind 0-2: neutralGrays, enhancedHalftone, srgb; edge
// A restore of another version keeps the bytes; one that fails keeps what
// it read before the failed item. Stored size: the attribute part, 4 and 2
// per byte.
//
// Execute calls no device operation and answers 0: the output side reads
// these attributes through the queries at the end of this header.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGTintvectorAttributeId = 792;
inline constexpr RWClassID kGTintvectorEnhancedAttributeId = 797;
inline constexpr RWClassID kGTintvectorEnhancedAttributeVer2Id = 1201;
inline constexpr std::uint32_t kTintvectorVersion = 1;
// What a query answers when it finds nothing to read.
inline constexpr std::uint16_t kNoTintvectorSetting = 0xFFFF;

// Object kinds, the first index of every setting.
inline constexpr std::int32_t kTintText = 0;
inline constexpr std::int32_t kTintGraphics = 1;
inline constexpr std::int32_t kTintPhoto = 2;
inline constexpr std::int32_t kTintDocument = 3;  // the document-wide options

// What the three classes share: creation, class id, the kind test (past
// the 792 level) and the stored form over `Self::StoredBytes(self)`, the
// addresses of the stored bytes in stored order (of a const or a mutable
// object); content equality over `Self::SameSettings(const Self&)`.
template <class Self, class Base, RWClassID kId>
class GTintvectorKind : public MPersistentClass<Self, Base, kId> {
  using Class = MPersistentClass<Self, Base, kId>;

 public:
  using Class::Class;

  // The attribute part, 4, and 2 per stored byte.
  RWSize StoredSize() const override;
  // kId, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // No device operation: answers 0.
  std::uint16_t Execute(GAttributeHandlers& device) override;

  // The same object, or the same class id and own used bytes.
  bool operator==(const Self& other) const;

 private:
  friend Class;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  const Self& self() const { return static_cast<const Self&>(*this); }
};

class GTintvectorAttribute
    : public GTintvectorKind<GTintvectorAttribute, GAttribute, kGTintvectorAttributeId> {
 public:
  // Colour map and halftone of text, of graphics, of photos.
  using Settings = std::array<std::uint8_t, 6>;

  // Key 0, every byte 0 (a restore sets them).
  GTintvectorAttribute() = default;
  // Halftone 40, 50, 62; colour map 15, 21, 31, or 16, 22, 32 for
  // kTransparencyColorAdjustmentKey.
  explicit GTintvectorAttribute(const std::uint32_t& key);
  GTintvectorAttribute(const std::uint32_t& key, const Settings& settings);
  // Persistable part (nobody holds the copy), state and every byte.
  GTintvectorAttribute(const GTintvectorAttribute& other) = default;

  // See the table in the file comment.
  bool GetSetting(std::int32_t object, std::int32_t setting, std::uint8_t& value) const;
  bool SetSetting(std::int32_t object, std::int32_t setting, std::uint8_t value);
  // The byte that GetSetting reads, or null when it reads none.
  const std::uint8_t* FindSetting(std::int32_t object, std::int32_t setting) const;

  // Copies both arrays; nothing from itself.
  void AssignSettings(const GTintvectorAttribute& other);

 private:
  friend GTintvectorKind;
  template <class T>
  static auto StoredBytes(T& self);
  bool SameSettings(const GTintvectorAttribute& other) const;

  std::array<std::uint8_t, 3> color_map_{};
  std::array<std::uint8_t, 3> halftone_{};
};

class GTintvectorEnhancedAttribute final
    : public GTintvectorKind<GTintvectorEnhancedAttribute, GTintvectorAttribute,
                             kGTintvectorEnhancedAttributeId> {
 public:
  // Neutral greys and halftone of text, of graphics, of photos; then edge
  // control and RGB colour.
  using Settings = std::array<std::uint8_t, 8>;

  GTintvectorEnhancedAttribute() = default;
  // The 792 key defaults, then neutral greys 70, 80, 91, halftone 41, 51,
  // 61, edge control 95, RGB colour 98.
  explicit GTintvectorEnhancedAttribute(const std::uint32_t& key);
  // The 792 key defaults, then the settings.
  GTintvectorEnhancedAttribute(const std::uint32_t& key, const Settings& settings);
  // Every used byte, the inherited arrays included; slot 3 is 0.
  GTintvectorEnhancedAttribute(const GTintvectorEnhancedAttribute& other);

  bool GetSetting(std::int32_t object, std::int32_t setting, std::uint8_t& value) const;
  bool SetSetting(std::int32_t object, std::int32_t setting, std::uint8_t value);
  const std::uint8_t* FindSetting(std::int32_t object, std::int32_t setting) const;

  // Copies slots 0-2 of both arrays, edge control and RGB colour.
  void AssignSettings(const GTintvectorEnhancedAttribute& other);

 private:
  friend GTintvectorKind;
  template <class T>
  static auto StoredBytes(T& self);
  bool SameSettings(const GTintvectorEnhancedAttribute& other) const;

  std::array<std::uint8_t, 4> neutral_grays_{};
  std::array<std::uint8_t, 4> enhanced_halftone_{};
  std::uint8_t edge_control_ = 0;
  std::uint8_t rgb_color_ = 0;
};

class GTintvectorEnhancedAttributeVer2 final
    : public GTintvectorKind<GTintvectorEnhancedAttributeVer2, GTintvectorAttribute,
                             kGTintvectorEnhancedAttributeVer2Id> {
 public:
  // Neutral greys, halftone and sRGB colour of text, of graphics, of
  // photos; then edge control.
  using Settings = std::array<std::uint8_t, 10>;

  GTintvectorEnhancedAttributeVer2() = default;
  // The 792 key defaults, then neutral greys 70, 80, 91, halftone 41, 51,
  // 61, sRGB colour 100, 103, 106, edge control 95.
  explicit GTintvectorEnhancedAttributeVer2(const std::uint32_t& key);
  GTintvectorEnhancedAttributeVer2(const std::uint32_t& key, const Settings& settings);
  GTintvectorEnhancedAttributeVer2(const GTintvectorEnhancedAttributeVer2& other);

  bool GetSetting(std::int32_t object, std::int32_t setting, std::uint8_t& value) const;
  bool SetSetting(std::int32_t object, std::int32_t setting, std::uint8_t value);
  const std::uint8_t* FindSetting(std::int32_t object, std::int32_t setting) const;

  // Copies slots 0-2 of the three arrays and edge control.
  void AssignSettings(const GTintvectorEnhancedAttributeVer2& other);

 private:
  friend GTintvectorKind;
  template <class T>
  static auto StoredBytes(T& self);
  bool SameSettings(const GTintvectorEnhancedAttributeVer2& other) const;

  std::array<std::uint8_t, 4> neutral_grays_{};
  std::array<std::uint8_t, 4> enhanced_halftone_{};
  std::array<std::uint8_t, 4> srgb_color_{};
  std::uint8_t edge_control_ = 0;
};

extern template class MPersistentClass<GTintvectorAttribute, GAttribute, kGTintvectorAttributeId>;
extern template class MPersistentClass<GTintvectorEnhancedAttribute, GTintvectorAttribute,
                                       kGTintvectorEnhancedAttributeId>;
extern template class MPersistentClass<GTintvectorEnhancedAttributeVer2, GTintvectorAttribute,
                                       kGTintvectorEnhancedAttributeVer2Id>;
extern template class GTintvectorKind<GTintvectorAttribute, GAttribute, kGTintvectorAttributeId>;
extern template class GTintvectorKind<GTintvectorEnhancedAttribute, GTintvectorAttribute,
                                      kGTintvectorEnhancedAttributeId>;
extern template class GTintvectorKind<GTintvectorEnhancedAttributeVer2, GTintvectorAttribute,
                                      kGTintvectorEnhancedAttributeVer2Id>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TintvectorAttributeClasses();

// ---------------------------------------------------------------------------
// Queries: each finds the attribute under kColorAdjustmentKey in `attributes`
// (depth first, FindByKey) and answers the byte read, widened, or 0xFFFF when
// `attributes` is null, nothing is found, the object found is not of the
// class the query reads, or the get is refused or reads nothing.

// GTintvectorAttribute::GetSetting on a 792, 797 or 1201.
std::uint16_t QueryTintvectorSetting(std::int32_t object, std::int32_t setting,
                                     MPersistentObject* attributes);
// GTintvectorEnhancedAttribute::GetSetting on a 797 only.
std::uint16_t QueryEnhancedTintvectorSetting(std::int32_t object, std::int32_t setting,
                                             MPersistentObject* attributes);
// GTintvectorEnhancedAttributeVer2::GetSetting on a 1201 only.
std::uint16_t QueryEnhancedTintvectorVer2Setting(std::int32_t object, std::int32_t setting,
                                                 MPersistentObject* attributes);

// Setting 0 / 1 of each kind through the 792 query.
std::uint16_t GetTextColorMapCode(MPersistentObject* attributes);
std::uint16_t GetGraphicsColorMapCode(MPersistentObject* attributes);
std::uint16_t GetPhotoColorMapCode(MPersistentObject* attributes);
std::uint16_t GetTextHalftoneCode(MPersistentObject* attributes);
std::uint16_t GetGraphicsHalftoneCode(MPersistentObject* attributes);
std::uint16_t GetPhotoHalftoneCode(MPersistentObject* attributes);
// Setting 3 of each kind through the 1201 query.
std::uint16_t GetTextSRGBColorCode(MPersistentObject* attributes);
std::uint16_t GetGraphicsSRGBColorCode(MPersistentObject* attributes);
std::uint16_t GetPhotoSRGBColorCode(MPersistentObject* attributes);

// The colour-adjustment filter's mode word picks the query: 3 the 797
// query, any other the 1201 query.
inline constexpr std::uint8_t kTintvectorModeEnhanced = 3;
std::uint16_t GetTextEnhancedHalftoneCode(MPersistentObject* attributes, std::uint8_t mode);
std::uint16_t GetGraphicsEnhancedHalftoneCode(MPersistentObject* attributes, std::uint8_t mode);
std::uint16_t GetPhotoEnhancedHalftoneCode(MPersistentObject* attributes, std::uint8_t mode);
std::uint16_t GetTextNeutralGraysCode(MPersistentObject* attributes, std::uint8_t mode);
std::uint16_t GetGraphicsNeutralGraysCode(MPersistentObject* attributes, std::uint8_t mode);
std::uint16_t GetPhotoNeutralGraysCode(MPersistentObject* attributes, std::uint8_t mode);
// Object 3, setting 2.
std::uint16_t GetEdgeControlCode(MPersistentObject* attributes, std::uint8_t mode);
// Object 3, setting 3, through the 797 query.
std::uint16_t GetRGBColorCode(MPersistentObject* attributes);
