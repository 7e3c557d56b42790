// GLocaleInfo: the persistable snapshot of the user's international
// settings: eleven numbers and twelve texts that say how dates, times,
// numbers and currency are written. Each field is named after the user
// setting that fills it (the driver entry fills one through the platform
// layer's registry); a field that is never set keeps its default, which
// describes United States English. Nothing here looks at the host's locale.
//
// Class id 3, registered as "GLocaleInfo".
//
// Positions, fields and defaults (kLocaleNumberDefaults, kLocaleTextDefaults):
//    0 iCountry 1       6 iMeasure 1      11 s1159 "AM"      17 sLanguage "ENU"
//    1 iCurrDigits 2    7 iNegCurr 1      12 s2359 "PM"      18 sList ","
//    2 iCurrency 0      8 iTime 0         13 sCountry        19 sLongDate
//    3 iDate 0          9 iTLZero 0          "United States"    "dddd, MMMM dd, yyyy"
//    4 iDigits 2       10 Locale 409      14 sCurrency "$"   20 sShortDate "M/d/yy"
//    5 iLZero 1                           15 sDate "/"       21 sThousand ","
//                                         16 sDecimal "."    22 sTime ":"
// Locale is 409 in decimal: the setting holds the locale identifier as
// hexadecimal digits, and every number is read as a decimal number.
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kLocaleInfoVersion
//   numbers  11 x u32, positions 0 to 10
//   texts    12 x the 8-bit string form (u32 count, bytes), positions 11 to 22
// A restore of another version keeps every field.
//
// Threads: as MPersistentObject.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGLocaleInfoId = 3;
inline constexpr std::uint32_t kLocaleInfoVersion = 1;

inline constexpr std::size_t kLocaleNumberCount = 11;
inline constexpr std::size_t kLocaleTextCount = 12;
inline constexpr std::array<std::uint32_t, kLocaleNumberCount> kLocaleNumberDefaults = {
    1, 2, 0, 0, 2, 1, 1, 1, 0, 0, 409};
inline constexpr std::array<const char*, kLocaleTextCount> kLocaleTextDefaults = {
    "AM",  "PM", "United States",       "$",      "/", ".",
    "ENU", ",",  "dddd, MMMM dd, yyyy", "M/d/yy", ",", ":"};

class GLocaleInfo final : public MPersistentClass<GLocaleInfo, MPersistentObject, kGLocaleInfoId> {
 public:
  // The defaults; key 0 or the given key.
  explicit GLocaleInfo(const std::uint32_t& key = 0);
  GLocaleInfo(const GLocaleInfo& other) = default;
  GLocaleInfo& operator=(const GLocaleInfo& other) = default;

  // The number at position 0 to 10, and the text at position 11 to 22
  // (index 0 to 11 here).
  // REQUIRES: index < kLocaleNumberCount (kLocaleTextCount); else the index
  // error is raised, and 0 (the empty text) answered if the handler returns.
  std::uint32_t Number(std::size_t index) const;
  const RWCString& Text(std::size_t index) const;

  void SetNumber0(std::uint32_t value) { numbers_[0] = value; }
  void SetNumber1(std::uint32_t value) { numbers_[1] = value; }
  void SetNumber2(std::uint32_t value) { numbers_[2] = value; }
  void SetNumber3(std::uint32_t value) { numbers_[3] = value; }
  void SetNumber4(std::uint32_t value) { numbers_[4] = value; }
  void SetNumber5(std::uint32_t value) { numbers_[5] = value; }
  void SetNumber6(std::uint32_t value) { numbers_[6] = value; }
  void SetNumber7(std::uint32_t value) { numbers_[7] = value; }
  void SetNumber8(std::uint32_t value) { numbers_[8] = value; }
  void SetNumber9(std::uint32_t value) { numbers_[9] = value; }
  void SetNumber10(std::uint32_t value) { numbers_[10] = value; }
  void SetText0(const RWCString& text) { texts_[0] = text; }
  void SetText1(const RWCString& text) { texts_[1] = text; }
  void SetText2(const RWCString& text) { texts_[2] = text; }
  void SetText3(const RWCString& text) { texts_[3] = text; }
  void SetText4(const RWCString& text) { texts_[4] = text; }
  void SetText5(const RWCString& text) { texts_[5] = text; }
  void SetText6(const RWCString& text) { texts_[6] = text; }
  void SetText7(const RWCString& text) { texts_[7] = text; }
  void SetText8(const RWCString& text) { texts_[8] = text; }
  void SetText9(const RWCString& text) { texts_[9] = text; }
  void SetText10(const RWCString& text) { texts_[10] = text; }
  void SetText11(const RWCString& text) { texts_[11] = text; }

  // The base part, 48 and 4 + length for every text.
  RWSize StoredSize() const override;
  // The same object; or the same class and key, every number and every
  // text byte for byte.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::array<std::uint32_t, kLocaleNumberCount> numbers_;
  std::array<RWCString, kLocaleTextCount> texts_;
};

extern template class MPersistentClass<GLocaleInfo, MPersistentObject, kGLocaleInfoId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> LocaleInfoClasses();
