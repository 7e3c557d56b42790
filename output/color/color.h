// The colours of the output model.
//
// GColor: the persistable base of the colour classes. No fields of its own.
// Class id 51 in kind tests (51, 751), abstract and not registered; content
// equality is the persistable base's (equal keys).
//
// GRGBTriple: red, green and blue, one byte each, through which colours are
// built and taken apart.
//
// GRGBColor: red, green, blue and a fourth byte (255 for the opaque colours
// the filters make). Class id 53, registered as "GRGBColor"; kind test 53,
// 51, 751. Content equality: the same class id, equal keys and the same
// four bytes.
//
// Stored forms, after the base part of MPersistentObject:
//   GColor     version u32 kColorVersion (read past, not acted on)
//   GRGBColor  the GColor part; version u32 kRGBColorVersion; red, green,
//              blue, fourth byte as one run of four bytes
// A GRGBColor restore of another version keeps its bytes.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGColorId = 51;
inline constexpr RWClassID kGRGBColorId = 53;
inline constexpr std::uint32_t kColorVersion = 1;
inline constexpr std::uint32_t kRGBColorVersion = 1;

class GColor : public MPersistentObject {
 public:
  GColor() = default;
  explicit GColor(const std::uint32_t& key) : MPersistentObject(key) {}
  GColor(const GColor& other) = default;
  GColor& operator=(const GColor& other) = default;

  // The base part and 4.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 51 and 751.
  bool IsKindOf(const RWClassID& id) const override;

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};

class GRGBTriple {
 public:
  constexpr GRGBTriple(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
      : red_(red), green_(green), blue_(blue) {}

  constexpr std::uint8_t GetRed() const { return red_; }
  constexpr std::uint8_t GetGreen() const { return green_; }
  constexpr std::uint8_t GetBlue() const { return blue_; }

  friend bool operator==(const GRGBTriple&, const GRGBTriple&) = default;

 private:
  std::uint8_t red_;
  std::uint8_t green_;
  std::uint8_t blue_;
};

class GRGBColor final : public MPersistentClass<GRGBColor, GColor, kGRGBColorId> {
 public:
  // Key 0, all four bytes 0.
  GRGBColor() = default;
  GRGBColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t fourth)
      : red_(red), green_(green), blue_(blue), fourth_(fourth) {}
  GRGBColor(const GRGBTriple& triple, std::uint8_t fourth)
      : GRGBColor(triple.GetRed(), triple.GetGreen(), triple.GetBlue(), fourth) {}
  GRGBColor(const GRGBColor& other) = default;
  // Key, serial number and the four bytes.
  GRGBColor& operator=(const GRGBColor& other) = default;

  // The GColor part and 8.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  std::uint8_t GetRed() const { return red_; }
  std::uint8_t GetGreen() const { return green_; }
  std::uint8_t GetBlue() const { return blue_; }
  std::uint8_t GetFourth() const { return fourth_; }
  GRGBTriple GetTriple() const { return {red_, green_, blue_}; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint8_t red_ = 0;
  std::uint8_t green_ = 0;
  std::uint8_t blue_ = 0;
  std::uint8_t fourth_ = 0;
};

extern template class MPersistentClass<GRGBColor, GColor, kGRGBColorId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ColorClasses();
