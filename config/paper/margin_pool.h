// GMarginPool: the printer's margin sets. A margin set is 16 lengths in
// micrometres: one block of left, top, right and bottom margin for each of
// the orientations 0, 90, 180 and 270 degrees, in that order. Media made
// from custom sizes take their margins from set 0 (media_from_custom_size.h).
// Nothing in the driver fills a pool: pools arrive in stored
// configurations, which keep them under kMarginPoolKey (959) in a
// configuration container.
//
// It is a model object, not an attribute: it cannot sit in an attribute
// composite. Class id 1014, registered as "GMarginPool"; kind test 1014,
// 751. Equality is the persistent base's: equal keys.
//
// Stored form, after the MPersistentObject part (persistent_object.h):
//   version  u32  kMarginPoolVersion
//   count    u32
//   sets     count times 16 u32: for 0, 90, 180 and 270 degrees, left,
//            top, right, bottom
// A restore first empties the pool; a version other than 1 leaves it
// empty. The sets are read one by one: nothing is allocated from the
// stored count, and a file that cannot hold it fails at once. Stored
// size: the persistent part, 8 and 64 per set.
//
// Ownership and threads: as MPersistentObject; the pool owns its sets.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "config/keys/settings_keys.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/value_vector.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGMarginPoolId = 1014;
inline constexpr std::uint32_t kMarginPoolVersion = 1;
inline constexpr std::uint32_t kMarginSetLength = 16;

// One margin set (see above).
using GMarginSet = std::array<std::uint32_t, kMarginSetLength>;

class GMarginPool final : public MPersistentClass<GMarginPool, MPersistentObject, kGMarginPoolId> {
 public:
  // kMarginPoolKey, no sets.
  GMarginPool() : MPersistentClass(kMarginPoolKey) {}
  explicit GMarginPool(const std::uint32_t& key) : MPersistentClass(key) {}
  // The persistable part (nobody holds the copy) and every set.
  GMarginPool(const GMarginPool& other) = default;
  GMarginPool& operator=(const GMarginPool& other) = default;

  // Appends a copy of the 16 values at `set`; answers the new set's index,
  // or -1 (the pool unchanged) when `set` is null or memory runs out.
  std::int32_t AddMarginSet(const std::uint32_t* set);
  // The 16 values of the set at `index`, or null when there is none.
  const std::uint32_t* GetMarginSet(std::uint32_t index) const;
  std::uint32_t GetCount() const { return static_cast<std::uint32_t>(sets_.Count()); }

  // The persistent part, 8 and 64 per set.
  RWSize StoredSize() const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  RWValueVector<GMarginSet> sets_{0};  // allocated on the first set
};

extern template class MPersistentClass<GMarginPool, MPersistentObject, kGMarginPoolId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> MarginPoolClasses();
