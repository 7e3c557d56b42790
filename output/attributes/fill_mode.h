// GFillMode: the graphics attribute that gives the rule by which areas are
// filled: 0 the even-odd rule, 1 the non-zero winding rule, 2 (the default)
// neither, so that a generator keeps the rule it has. Executed on a device
// it calls the device's SetFillMode with itself.
//
// Class id 102, registered as "GFillMode"; kind test 102, 754, 753, 751;
// TypeId 102. Content equality: the same class id and mode (keys are not
// compared). Copies and assignment take key, serial number, state and mode.
//
// Stored form, after the GStyleAttribute part (attribute.h):
//   version  u32  kFillModeVersion
//   mode     u32
// A restore of another version keeps the mode.
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGFillModeId = 102;
inline constexpr std::uint32_t kFillModeVersion = 1;
inline constexpr std::uint32_t kFillEvenOdd = 0;
inline constexpr std::uint32_t kFillWinding = 1;
inline constexpr std::uint32_t kFillUnchanged = 2;

class GFillMode final : public MPersistentClass<GFillMode, GStyleAttribute, kGFillModeId> {
 public:
  // Mode 2, key 0.
  GFillMode() = default;
  GFillMode(std::uint32_t mode, const std::uint32_t& key) : MPersistentClass(key), mode_(mode) {}
  GFillMode(const GFillMode& other) = default;
  GFillMode& operator=(const GFillMode& other) = default;

  // The GStyleAttribute part and 8.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetFillMode(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;

  std::uint32_t GetMode() const { return mode_; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t mode_ = kFillUnchanged;
};

extern template class MPersistentClass<GFillMode, GStyleAttribute, kGFillModeId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> FillModeClasses();
