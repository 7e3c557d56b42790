// GBrush: the graphics attribute that says how areas are filled: the paint
// (paint.h) that colours them, or none. A graphic's bundle carries it under
// the brush key kBrushKey; executed on a device it calls the device's SetBrush
// with itself.
//
// GNoBrush: the brush that fills nothing (no paint).
//
// GBrush: class id 251, registered as "GBrush"; kind test 251, 754, 753,
// 751. GNoBrush: class id 252, registered as "GNoBrush"; kind test 252,
// 251, 754, 753, 751. Content equality: the same object; or the same class
// id, equal keys, and paints both absent or equal in content.
//
// Stored forms, after the GStyleAttribute part (attribute.h):
//   GBrush    version u32 kBrushVersion; paint, an object reference (a
//             GPaint, or the nil object for none)
//   GNoBrush  the GBrush part; version u32 1 (command_class.h)
// A restore of another GBrush version reads nothing further. The paint read
// must be a GPaint: anything else fails the restore, leaves no paint and is
// refused (freed unless the graph holds it elsewhere).
//
// Ownership: the brush owns its paint (copies copy it), held through a
// counted pointer so that a damaged graph naming one paint twice cannot
// free it twice. Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "output/color/paint.h"
#include "output/core/command_class.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGBrushId = 251;
inline constexpr RWClassID kGNoBrushId = 252;
inline constexpr std::uint32_t kBrushVersion = 1;

class GBrush : public MPersistentClass<GBrush, GStyleAttribute, kGBrushId> {
 public:
  // No paint, key 0.
  GBrush() = default;
  // Takes `paint` as its own (none when null).
  GBrush(GPaint* paint, const std::uint32_t& key);
  // The attribute part copied, and a copy of the paint (none when the copy
  // cannot be had).
  GBrush(const GBrush& other);
  // The same, replacing the own paint.
  GBrush& operator=(const GBrush& other);
  ~GBrush() override;

  // The GStyleAttribute part, 4 and the paint's graph size.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetBrush(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  // The paint, or null.
  GPaint* GetPaint() const;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GCountedPtr paint_;  // a GPaint, or empty
};

class GNoBrush final : public GCommandClass<GNoBrush, GBrush, kGNoBrushId> {
 public:
  // No paint.
  explicit GNoBrush(const std::uint32_t& key = 0) : GCommandClass(nullptr, key) {}
  GNoBrush(const GNoBrush& other) = default;
};

extern template class MPersistentClass<GBrush, GStyleAttribute, kGBrushId>;
extern template class MPersistentClass<GNoBrush, GBrush, kGNoBrushId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> BrushClasses();
