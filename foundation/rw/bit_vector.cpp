#include "foundation/rw/bit_vector.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "foundation/rw/error.h"
#include "foundation/rw/support.h"

RWBitVector::RWBitVector(RWSize bits) : bytes_(RWNewArray<std::uint8_t>(ByteCount(bits))) {
  bits_ = bytes_ ? bits : 0;
}

RWBitVector::RWBitVector(RWSize bits, bool value) : RWBitVector(bits) {
  SetAll(value);
}

RWBitVector::RWBitVector(const std::uint8_t* bytes, RWSize bits) : RWBitVector(bits) {
  if (bits_) std::memcpy(bytes_.get(), bytes, ByteCount());
}

RWBitVector::RWBitVector(const RWBitVector& other) : RWBitVector(other.Data(), other.bits_) {}

RWBitVector& RWBitVector::operator=(const RWBitVector& other) {
  if (this == &other) return *this;
  auto bytes = RWNewArray<std::uint8_t>(other.ByteCount());
  if (other.bits_ && !bytes) return *this;
  bytes_ = std::move(bytes);
  bits_ = other.bits_;
  if (bits_) std::memcpy(bytes_.get(), other.Data(), ByteCount());
  return *this;
}

RWBitVector::~RWBitVector() = default;

bool RWBitVector::TestBit(RWSize i) const {
  if (!RWCheckIndex(i, bits_)) return false;
  return (bytes_[i / 8] >> (i % 8)) & 1u;
}

void RWBitVector::SetBit(RWSize i) {
  if (RWCheckIndex(i, bits_)) bytes_[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
}

void RWBitVector::ClearBit(RWSize i) {
  if (RWCheckIndex(i, bits_)) bytes_[i / 8] &= static_cast<std::uint8_t>(~(1u << (i % 8)));
}

void RWBitVector::SetAll(bool value) {
  if (bits_) std::memset(bytes_.get(), value ? 0xFF : 0x00, ByteCount());
}

bool RWBitVector::IsAll(bool value) const {
  std::uint8_t whole = value ? 0xFF : 0x00;
  RWSize full = bits_ / 8;
  for (RWSize k = 0; k < full; ++k) {
    if (bytes_[k] != whole) return false;
  }
  std::uint8_t mask = PartialMask();
  return mask == 0 || (bytes_[full] & mask) == (whole & mask);
}

RWSize RWBitVector::CountSetBits() const {
  if (bits_ == 0) return 0;
  RWSize n = ByteCount();
  RWSize count = 0;
  for (RWSize k = 0; k + 1 < n; ++k)
    count += std::popcount(bytes_[k]);
  RWSize last_bits = (bits_ - 1) % 8 + 1;
  count += std::popcount(static_cast<std::uint8_t>(bytes_[n - 1] & ((1u << last_bits) - 1)));
  return count;
}

void RWBitVector::Resize(RWSize bits) {
  RWSize old_bytes = ByteCount();
  RWSize new_bytes = ByteCount(bits);
  std::unique_ptr<std::uint8_t[]> bytes;
  if (new_bytes != old_bytes) {
    bytes = RWNewArray<std::uint8_t>(new_bytes);
    if (new_bytes && !bytes) return;
  }
  // Spare bits of the old last byte become real bits: they start clear.
  if (bits > bits_ && PartialMask()) bytes_[old_bytes - 1] &= PartialMask();
  if (new_bytes != old_bytes) {
    if (new_bytes && old_bytes)
      std::memcpy(bytes.get(), bytes_.get(), std::min(old_bytes, new_bytes));
    bytes_ = std::move(bytes);
  }
  bits_ = bits;
}

bool RWBitVector::CheckLengths(const RWBitVector& other) const {
  if (bits_ == other.bits_) return true;
  RaiseLogicError(RWLogicError(RWMessageText(rwtools::NeVecL(), bits_, other.bits_)));
  return false;
}

RWBitVector& RWBitVector::operator&=(const RWBitVector& other) {
  CheckLengths(other);
  RWByteAnd(bytes_.get(), other.Data(), std::min(ByteCount(), other.ByteCount()));
  return *this;
}

RWBitVector& RWBitVector::operator|=(const RWBitVector& other) {
  CheckLengths(other);
  RWByteOr(bytes_.get(), other.Data(), std::min(ByteCount(), other.ByteCount()));
  return *this;
}

RWBitVector& RWBitVector::operator^=(const RWBitVector& other) {
  CheckLengths(other);
  RWByteXor(bytes_.get(), other.Data(), std::min(ByteCount(), other.ByteCount()));
  return *this;
}

RWBitVector RWBitVector::operator~() const {
  RWBitVector result(*this);
  for (RWSize k = 0; k < result.ByteCount(); ++k)
    result.bytes_[k] = static_cast<std::uint8_t>(~bytes_[k]);
  return result;
}

bool RWBitVector::operator==(const RWBitVector& other) const {
  if (bits_ != other.bits_) return false;
  RWSize full = bits_ / 8;
  if (full && std::memcmp(bytes_.get(), other.bytes_.get(), full) != 0) return false;
  std::uint8_t mask = PartialMask();
  return mask == 0 || (bytes_[full] & mask) == (other.bytes_[full] & mask);
}

std::uint32_t RWBitVector::Hash() const {
  std::uint32_t h = bits_;
  RWSize full = bits_ / 8;
  for (RWSize k = 0; k < full; ++k)
    h = std::rotl(h, 5) ^ bytes_[k];
  if (std::uint8_t mask = PartialMask()) h = std::rotl(h, 5) ^ (bytes_[full] & mask);
  return h;
}

RWBitVector operator&(const RWBitVector& a, const RWBitVector& b) {
  RWBitVector result(a);
  result &= b;
  return result;
}

RWBitVector operator|(const RWBitVector& a, const RWBitVector& b) {
  RWBitVector result(a);
  result |= b;
  return result;
}

RWBitVector operator^(const RWBitVector& a, const RWBitVector& b) {
  RWBitVector result(a);
  result ^= b;
  return result;
}
