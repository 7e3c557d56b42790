// RWBitVector: a packed array of bits with set operations (the capability
// sets of the model are built on it). Bit i is bit (i mod 8) of byte i / 8.
// The spare bits of the last byte may hold anything; nothing that compares,
// hashes or counts looks at them. The vector owns its bytes. Bytes that
// cannot be had raise [NOMEM]: a constructor then makes an empty vector, an
// assignment or resize leaves the vector as it was. A vector belongs to one
// thread at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/defs.h"

class RWBitVector {
 public:
  RWBitVector() : RWBitVector(0) {}
  explicit RWBitVector(RWSize bits);  // all clear
  RWBitVector(RWSize bits, bool value);
  // Copies (bits + 7) / 8 bytes.
  // REQUIRES: `bytes` holds that many bytes (may be null when bits is 0).
  RWBitVector(const std::uint8_t* bytes, RWSize bits);
  RWBitVector(const RWBitVector& other);
  RWBitVector& operator=(const RWBitVector& other);
  ~RWBitVector();

  RWSize Length() const { return bits_; }
  RWSize ByteCount() const { return ByteCount(bits_); }
  // The bytes; null when there are none.
  const std::uint8_t* Data() const { return bytes_.get(); }

  // Checked bit access: an index at or beyond the length raises [INDEXERR]
  // (or [NPOSINDEX] for RW_NPOS) and then changes nothing (reads false).
  bool TestBit(RWSize i) const;
  void SetBit(RWSize i);
  void ClearBit(RWSize i);

  void SetAll(bool value);
  // Whether every bit equals `value` (true for no bits).
  bool IsAll(bool value) const;
  RWSize CountSetBits() const;

  // New length; added bits are clear.
  void Resize(RWSize bits);

  // Byte-wise combination. Vectors of different lengths raise [NEVECL]
  // first; then only the bytes that both hold are combined.
  RWBitVector& operator&=(const RWBitVector& other);
  RWBitVector& operator|=(const RWBitVector& other);
  RWBitVector& operator^=(const RWBitVector& other);
  RWBitVector operator~() const;

  bool operator==(const RWBitVector& other) const;
  std::uint32_t Hash() const;

  static RWSize ByteCount(RWSize bits) {
    return static_cast<RWSize>((std::uint64_t{bits} + 7) / 8);
  }

 private:
  // The bits of the partial last byte that count; 0 when the last byte is whole.
  std::uint8_t PartialMask() const { return static_cast<std::uint8_t>((1u << (bits_ % 8)) - 1); }
  bool CheckLengths(const RWBitVector& other) const;

  std::unique_ptr<std::uint8_t[]> bytes_;  // ByteCount() bytes, null when 0
  RWSize bits_;
};

RWBitVector operator&(const RWBitVector& a, const RWBitVector& b);
RWBitVector operator|(const RWBitVector& a, const RWBitVector& b);
RWBitVector operator^(const RWBitVector& a, const RWBitVector& b);
