// GDashedPen: the pen (pen.h) for dashed lines: a dash pattern, the lengths
// drawn and skipped in turn, and the dash phase the generators hand over
// with it. Executed on a device it calls the device's SetDashedPen with
// itself; the generators read the pattern, its length and the phase, then
// the pen's width and paint.
//
// Class id 203, registered as "GDashedPen"; kind test 203, 201, 754, 753,
// 751. Content equality: the same object; or the same class id, equal pen
// parts, the same length and phase, and the same entries one by one.
//
// Stored form, after the GPen part:
//   version  u32  kDashedPenVersion
//   phase    u16
//   length   u32  n
//   entries  n x u16
// A restore of version 1 lets go of the old pattern and reads the n entries
// into a new one (none for 0), which grows as they arrive (a file must hold
// them all); when they cannot all be read the pen is left with no pattern
// and the restore fails. Another version reads nothing further.
//
// Ownership: the pen owns its pattern; copies make their own. Threads: as
// MPersistentObject.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "foundation/rw/registration.h"
#include "output/attributes/pen.h"

inline constexpr RWClassID kGDashedPenId = 203;
inline constexpr std::uint32_t kDashedPenVersion = 1;

class GDashedPen final : public MPersistentClass<GDashedPen, GPen, kGDashedPenId> {
 public:
  // Width 0, no paint, key 0; no pattern, length 0, phase 0.
  GDashedPen() = default;
  // The pen part takes `width`, `paint` and `key`; the pen takes `pattern`
  // over, with `length` entries. No pattern makes the length 0 whatever
  // was passed. REQUIRES: a pattern holds at least `length` entries.
  GDashedPen(std::unique_ptr<std::uint16_t[]> pattern, std::uint32_t length, std::uint32_t width,
             GPaint* paint, std::uint16_t phase, const std::uint32_t& key);
  // The pen part copied, a pattern of its own (none when the other has no
  // entries, or when it cannot be had) and the phase.
  GDashedPen(const GDashedPen& other);
  GDashedPen& operator=(const GDashedPen& other);

  // The GPen part, 10 and 2 per entry.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetDashedPen(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  // The entries, or null when there is no pattern.
  const std::uint16_t* GetPattern() const { return pattern_.get(); }
  std::uint32_t GetPatternLength() const { return length_; }
  std::uint16_t GetPhase() const { return phase_; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
  // Puts a copy of `other`'s pattern in place of this one's.
  void CopyPattern(const GDashedPen& other);

  std::unique_ptr<std::uint16_t[]> pattern_;  // `length_` entries, or null
  std::uint32_t length_ = 0;                  // 0 whenever there is no pattern
  std::uint16_t phase_ = 0;
};

extern template class MPersistentClass<GDashedPen, GPen, kGDashedPenId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> DashedPenClasses();
