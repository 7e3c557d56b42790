// GPen: the graphics attribute that says how lines are drawn: a line width
// and the paint (paint.h) that colours them. A graphic's bundle carries it
// under the pen key kPenKey; executed on a device it calls the device's SetPen
// with itself. Dashed lines use GDashedPen (dashed_pen.h), which extends it.
//
// Class id 201, registered as "GPen"; kind test 201, 754, 753, 751.
// Content equality: the same object; or the same class id, equal keys,
// the same width, and paints both absent or equal in content.
//
// GNoPen: the pen that draws no line (width 0, no paint); filters test for
// it (kind 202) to tell outlines from fills. Class id 202, registered as
// "GNoPen"; kind test 202, 201, 754, 753, 751. Stored form: the GPen part,
// then version u32 1 (command_class.h).
//
// Stored form, after the GStyleAttribute part (attribute.h):
//   version  u32  kPenVersion
//   width    u32
//   paint    object reference: a GPaint, or the nil object for none
// A restore of another version reads nothing further. The paint read must
// be a GPaint: anything else fails the restore, leaves no paint and is
// refused (freed unless the graph holds it elsewhere).
//
// Ownership: the pen owns its paint (copies copy it); it is held through a
// counted pointer, so that a damaged graph naming one paint twice cannot
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

inline constexpr RWClassID kGPenId = 201;
inline constexpr RWClassID kGNoPenId = 202;
inline constexpr std::uint32_t kPenVersion = 1;

class GPen : public MPersistentClass<GPen, GStyleAttribute, kGPenId> {
 public:
  // Width 0, no paint, key 0.
  GPen() = default;
  // Takes `paint` as its own (none when null).
  GPen(std::uint32_t width, GPaint* paint, const std::uint32_t& key);
  // The attribute part and width copied, and a copy of the paint (none
  // when the copy cannot be had).
  GPen(const GPen& other);
  // The same, replacing the own paint.
  GPen& operator=(const GPen& other);
  ~GPen() override;

  // The GStyleAttribute part, 8 and the paint's graph size.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetPen(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  std::uint32_t GetWidth() const { return width_; }
  // The paint, or null.
  GPaint* GetPaint() const;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t width_ = 0;
  GCountedPtr paint_;  // a GPaint, or empty
};

class GNoPen final : public GCommandClass<GNoPen, GPen, kGNoPenId> {
 public:
  // Width 0, no paint.
  explicit GNoPen(const std::uint32_t& key = 0) : GCommandClass(0u, nullptr, key) {}
  GNoPen(const GNoPen& other) = default;
};

extern template class MPersistentClass<GPen, GStyleAttribute, kGPenId>;
extern template class MPersistentClass<GNoPen, GPen, kGNoPenId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PenClasses();
