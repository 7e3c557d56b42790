// The paints that pens and brushes hold.
//
// GPaint: the persistable abstract paint (not an attribute). Class id 151
// in kind tests (151, 751), not registered. ApplyToPen and ApplyToBrush
// set a device's pen or brush colour from the paint when the pen or brush
// is executed. Content equality: equal keys. It has no stored field of its
// own: its stored part is the persistable base's.
//
// GColorPaint: a paint of one colour (a GRGBColor, or none). Class id 152,
// registered as "GColorPaint"; kind test 152, 151, 751. ApplyToPen calls
// the device's SetPenColor and ApplyToBrush its SetBrushColor, each with
// the paint. Content equality: the same class id and equal keys; then,
// when both paints have a colour, the colours' content equality decides;
// when either has none, the paints are equal.
//
// Stored form of GColorPaint, after the base part of MPersistentObject:
//   version  u32  kColorPaintVersion
//   colour   object reference: a GRGBColor, or the nil object for none
// A restore of version 1 lets go of its colour and takes the one read (the
// nil object reads as none). What it reads must be a GRGBColor: anything
// else fails the restore, leaves no colour, and is refused (freed unless
// the graph holds it elsewhere). Another version reads nothing further.
//
// Ownership: the paint owns its colour: it goes with the paint or when the
// paint is given another, and copies copy it. (It is held through a counted
// pointer, so that a damaged graph naming one colour twice cannot free it
// twice.) Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/color/color.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

class GPeripheral;

inline constexpr RWClassID kGPaintId = 151;
inline constexpr RWClassID kGColorPaintId = 152;
inline constexpr std::uint32_t kColorPaintVersion = 1;

class GPaint : public MPersistentObject {
 public:
  GPaint() = default;
  explicit GPaint(const std::uint32_t& key) : MPersistentObject(key) {}
  GPaint(const GPaint& other) = default;
  GPaint& operator=(const GPaint& other) = default;

  // 151 and 751.
  bool IsKindOf(const RWClassID& id) const override;

  // The device's pen or brush colour from this paint; the device's answer.
  virtual std::uint16_t ApplyToPen(GPeripheral& device) = 0;
  virtual std::uint16_t ApplyToBrush(GPeripheral& device) = 0;
};

class GColorPaint final : public MPersistentClass<GColorPaint, GPaint, kGColorPaintId> {
 public:
  // No colour.
  GColorPaint() = default;
  // Takes `color` as its own (none when null).
  explicit GColorPaint(GRGBColor* color, const std::uint32_t& key = 0);
  // The base part, and a copy of the colour (none when the copy cannot be
  // had).
  GColorPaint(const GColorPaint& other);
  // Key and serial number; the own colour replaced by a copy of the
  // other's, or none.
  GColorPaint& operator=(const GColorPaint& other);
  ~GColorPaint() override;

  // The base part, 4 and the colour's graph size (a nil reference's when
  // none).
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;

  // device.SetPenColor(*this), device.SetBrushColor(*this).
  std::uint16_t ApplyToPen(GPeripheral& device) override;
  std::uint16_t ApplyToBrush(GPeripheral& device) override;
  // Lets go of the current colour and takes `color` (none when null).
  virtual void SetColor(GRGBColor* color);
  // The colour, or null.
  virtual GRGBColor* GetColor() const;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GCountedPtr color_;  // a GRGBColor, or empty
};

extern template class MPersistentClass<GColorPaint, GPaint, kGColorPaintId>;

// A copy of the paint that `held` holds (its own copy operation), for a
// pen or brush that owns its paint; null for none or after [NOMEM].
GPaint* CopyOfPaint(const GCountedPtr& held);

// The file's classes, in registration order.
std::span<const RWClassRegistration> PaintClasses();
