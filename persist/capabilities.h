// GCapabilities: a set of capability flags, bit i meaning capability i, held
// in an owned RWBitVector. The printer context, the user interface and the
// output side ask it single questions (HasCapability). Setting a bit beyond
// the current length first grows the vector; every query of an index at or
// beyond the length answers "not set", without an error.
//
// Class id 1003, registered as "GCapabilities".
//
// Stored form, after the base part of MPersistentObject:
//   version  u32  kCapabilitiesVersion
//   n        u32  number of bits
//   bytes    (n + 7) / 8 single bytes; bit i is bit (i mod 8), least
//            significant first, of byte i / 8; spare bits are written 0
// A restore of another version keeps the set as it was; so does a stored n
// of 0. The bytes are read as they arrive: a damaged n fails the restore
// without asking for memory of its own size.
//
// Threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/bit_vector.h"
#include "foundation/rw/registration.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGCapabilitiesId = 1003;
inline constexpr std::uint32_t kCapabilitiesVersion = 1;

class GCapabilities final
    : public MPersistentClass<GCapabilities, MPersistentObject, kGCapabilitiesId> {
 public:
  // No bits.
  explicit GCapabilities(const std::uint32_t& key = 0) : MPersistentClass(key) {}
  // `count` clear bits.
  GCapabilities(const std::uint32_t& key, std::uint32_t count);
  // `count` clear bits, then SetCapability(index).
  GCapabilities(const std::uint32_t& key, std::uint32_t count, std::uint32_t index);
  // `count` clear bits, then SetCapabilities(indexes, n).
  GCapabilities(const std::uint32_t& key, std::uint32_t count, const std::uint32_t* indexes,
                std::uint16_t n);
  GCapabilities(const GCapabilities& other) = default;
  GCapabilities& operator=(const GCapabilities& other) = default;

  // Sets bit `index`, first growing the set to index + 1 bits (new bits
  // clear) when it is shorter. An index of 0xFFFFFFFF, whose set would not
  // be countable, raises [OVFLOW] and sets nothing.
  void SetCapability(std::uint32_t index);
  // Grows the set to one more than the largest index when that is longer,
  // then sets every listed bit.
  // REQUIRES: `indexes` holds `n` indexes (may be null when n is 0).
  void SetCapabilities(const std::uint32_t* indexes, std::uint16_t n);
  // Clears the bit; an index at or beyond the length is ignored.
  void ClearCapability(std::uint32_t index);
  // Clears each listed bit below the length; answers 0.
  std::int32_t ClearCapabilities(const std::uint32_t* indexes, std::uint16_t n);

  // The bit; false at or beyond the length. Inline: the rest of the system
  // asks this one question, often.
  bool HasCapability(std::uint32_t index) const {
    return index < bits_.Length() && (bits_.Data()[index / 8] >> (index % 8) & 1) != 0;
  }
  // False when an index is at or beyond the length, else whether every
  // listed bit is set; true for n = 0.
  bool HasAllCapabilities(const std::uint32_t* indexes, std::uint16_t n) const;
  // Whether some listed index below the length has its bit set; false for
  // n = 0.
  bool HasAnyCapability(const std::uint32_t* indexes, std::uint16_t n) const;
  // Whether every index is below the length; true for n = 0.
  bool AllIndexesValid(const std::uint32_t* indexes, std::uint16_t n) const;
  // The number of bits, and of set bits.
  std::uint32_t CapabilityCount() const { return bits_.Length(); }
  std::uint32_t SetCount() const { return bits_.CountSetBits(); }

  const RWBitVector& Bits() const { return bits_; }

  // The base part and (n + 7) / 8 + 8.
  RWSize StoredSize() const override;
  // The same object; or the same class and key, length and bits.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  // Grows the set to `count` bits when it is shorter; false when it could
  // not.
  bool GrowTo(std::uint64_t count);

  RWBitVector bits_;
};

extern template class MPersistentClass<GCapabilities, MPersistentObject, kGCapabilitiesId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> CapabilitiesClasses();
