// GDeviceFontDescription: one font that lives in the printer (resident, or
// on a font card, module or mass-storage device): the face name a text
// request finds it by, the selection template that selects it (with the
// placeholders "#HEIGHT", "#WIDTH" and "#PITCH", which the generators fill),
// the symbol sets it supports and the values a request must match. The font
// lists of the configuration model keep them (device_font_list.h); the font
// handling and the generators reuse the class, which is why it lives here
// and links nothing above the persistent model.
//
// Class id 855, registered as "GDeviceFontDescription".
//
// The full constructor takes the fields in their stored order. The font
// file reader (msd_font_file.h) passes its values by meaning: weight as the
// style, italic word as the typeface, pitch class as the first metric, font
// type as the second metric, then the scalable flag, which the generators
// test.
//
// GSymbolSetList: the symbol-set codes, an ordered vector of u32 with room
// for 64 after default construction that grows by 64 (value_vector.h).
//
// Stored form, after the base part of MPersistentObject:
//   version            u32  kDeviceFontDescriptionVersion
//   face name          8-bit string
//   selection          8-bit string
//   default set        i32
//   symbol-set count   u32
//   symbol sets        count x u32
//   style              u16
//   typeface           i32
//   first metric       i32
//   second metric      i32
//   scalable           i32
//   height             i16
//   second word        u16
//   kind               i32
// Version 0 reads nothing more and keeps the fields; version 1 ends after
// the height and sets the second word and the kind to 0; any other version
// reads the whole form. A symbol-set count is never allocated before its
// codes have arrived (a file must hold them).
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/value_vector.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGDeviceFontDescriptionId = 855;
inline constexpr std::uint32_t kDeviceFontDescriptionVersion = 2;

using GSymbolSetList = RWValueVector<std::uint32_t>;

class GDeviceFontDescription final
    : public MPersistentClass<GDeviceFontDescription, MPersistentObject,
                              kGDeviceFontDescriptionId> {
 public:
  // Key 0, empty strings, an empty symbol-set list, every number 0.
  GDeviceFontDescription() = default;
  // Every field, in stored order; the list is copied with room for exactly
  // its codes. Key 0.
  GDeviceFontDescription(const RWCString& face_name, const RWCString& selection,
                         std::uint32_t default_symbol_set, const GSymbolSetList& symbol_sets,
                         std::uint16_t style, std::uint32_t typeface, std::uint32_t first_metric,
                         std::uint32_t second_metric, std::uint32_t scalable, std::uint16_t height,
                         std::uint16_t second_word, std::uint32_t kind);
  // A fresh list of room 64, then assignment.
  GDeviceFontDescription(const GDeviceFontDescription& other);
  // The base part (key and serial number), then every field; the symbol
  // sets entry by entry.
  GDeviceFontDescription& operator=(const GDeviceFontDescription& other);

  const RWCString& GetFaceName() const { return face_name_; }
  const RWCString& GetSelectionString() const { return selection_; }
  std::uint32_t GetDefaultSymbolSet() const { return default_symbol_set_; }
  const GSymbolSetList& GetSymbolSets() const { return symbol_sets_; }
  std::uint16_t GetStyleWord() const { return style_; }
  std::uint32_t GetTypefaceValue() const { return typeface_; }
  std::uint32_t GetFirstMetric() const { return first_metric_; }
  std::uint32_t GetSecondMetric() const { return second_metric_; }
  std::uint32_t IsScalable() const { return scalable_; }
  std::uint16_t GetHeight() const { return height_; }
  std::uint16_t GetSecondWord() const { return second_word_; }
  std::uint32_t GetKind() const { return kind_; }

  // The base part, 46, both strings' lengths and 4 per symbol set.
  RWSize StoredSize() const override;
  // The same object; or the same class and key and equal fields, the
  // symbol sets in the same order.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  template <class In>
  bool RestoreFields(In& in, std::uint32_t version);

  RWCString face_name_;
  RWCString selection_;
  std::uint32_t default_symbol_set_ = 0;
  GSymbolSetList symbol_sets_;
  std::uint16_t style_ = 0;
  std::uint32_t typeface_ = 0;
  std::uint32_t first_metric_ = 0;
  std::uint32_t second_metric_ = 0;
  std::uint32_t scalable_ = 0;
  std::uint16_t height_ = 0;
  std::uint16_t second_word_ = 0;
  std::uint32_t kind_ = 0;
};

extern template class MPersistentClass<GDeviceFontDescription, MPersistentObject,
                                       kGDeviceFontDescriptionId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DeviceFontDescriptionClasses();
