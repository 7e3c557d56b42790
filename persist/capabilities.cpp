#include "persist/capabilities.h"

#include <algorithm>
#include <memory>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kCapabilitiesClasses[] = {
    {&RWCreate<GCapabilities>, kGCapabilitiesId, "GCapabilities"},
};

}  // namespace

std::span<const RWClassRegistration> CapabilitiesClasses() {
  return kCapabilitiesClasses;
}

GCapabilities::GCapabilities(const std::uint32_t& key, std::uint32_t count)
    : MPersistentClass(key), bits_(count) {}

GCapabilities::GCapabilities(const std::uint32_t& key, std::uint32_t count, std::uint32_t index)
    : GCapabilities(key, count) {
  SetCapability(index);
}

GCapabilities::GCapabilities(const std::uint32_t& key, std::uint32_t count,
                             const std::uint32_t* indexes, std::uint16_t n)
    : GCapabilities(key, count) {
  SetCapabilities(indexes, n);
}

bool GCapabilities::GrowTo(std::uint64_t count) {
  if (count <= bits_.Length()) return true;
  if (count > RW_NPOS) {
    RWRaiseOverflow();
    return false;
  }
  bits_.Resize(static_cast<RWSize>(count));
  return bits_.Length() == count;
}

void GCapabilities::SetCapability(std::uint32_t index) {
  if (GrowTo(std::uint64_t{index} + 1)) bits_.SetBit(index);
}

void GCapabilities::SetCapabilities(const std::uint32_t* indexes, std::uint16_t n) {
  if (n == 0) return;
  std::uint32_t largest = *std::max_element(indexes, indexes + n);
  if (!GrowTo(std::uint64_t{largest} + 1)) return;
  for (std::uint16_t i = 0; i < n; ++i)
    bits_.SetBit(indexes[i]);
}

void GCapabilities::ClearCapability(std::uint32_t index) {
  if (index < bits_.Length()) bits_.ClearBit(index);
}

std::int32_t GCapabilities::ClearCapabilities(const std::uint32_t* indexes, std::uint16_t n) {
  for (std::uint16_t i = 0; i < n; ++i)
    ClearCapability(indexes[i]);
  return 0;
}

bool GCapabilities::HasAllCapabilities(const std::uint32_t* indexes, std::uint16_t n) const {
  if (!AllIndexesValid(indexes, n)) return false;
  return std::all_of(indexes, indexes + n, [this](std::uint32_t i) { return HasCapability(i); });
}

bool GCapabilities::HasAnyCapability(const std::uint32_t* indexes, std::uint16_t n) const {
  return std::any_of(indexes, indexes + n, [this](std::uint32_t i) { return HasCapability(i); });
}

bool GCapabilities::AllIndexesValid(const std::uint32_t* indexes, std::uint16_t n) const {
  return std::all_of(indexes, indexes + n, [this](std::uint32_t i) { return i < bits_.Length(); });
}

RWSize GCapabilities::StoredSize() const {
  return MPersistentObject::StoredSize() + bits_.ByteCount() + 8;
}

bool GCapabilities::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GCapabilities* same = SameContentBase(other);
  return same && bits_ == same->bits_;
}

template <class Out>
void GCapabilities::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kCapabilitiesVersion);
  PutItem(out, std::uint32_t{bits_.Length()});
  RWSize n = bits_.ByteCount();
  if (n == 0) return;
  PutBytes(out, bits_.Data(), n - 1);
  // The spare bits of the last byte may hold anything in memory.
  std::uint8_t last = bits_.Data()[n - 1];
  if (bits_.Length() % 8) last &= static_cast<std::uint8_t>((1u << (bits_.Length() % 8)) - 1);
  PutBytes(out, &last, 1);
}

template <class In>
void GCapabilities::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kCapabilitiesVersion)) return;
  std::uint32_t count = 0;
  std::unique_ptr<std::uint8_t[]> bytes;
  if (!GetItem(in, count) || count == 0) return;
  if (!GetBytes(in, RWBitVector::ByteCount(count), bytes)) return;
  RWBitVector read(bytes.get(), count);
  if (read.Length() != count) return;  // [NOMEM], recorded by the scope
  bits_ = read;
}

template class MPersistentClass<GCapabilities, MPersistentObject, kGCapabilitiesId>;
