#include "config/paper/custom_media_size.h"

#include <algorithm>

#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kCustomMediaSizeClasses[] = {
    {&RWCreate<GCustomMediaSize>, kGCustomMediaSizeId, "GCustomMediaSize"},
};

constexpr std::uint32_t kUnits = 4;
constexpr std::uint64_t kLargestLength = 0xFFFFFFFFu;
constexpr std::uint64_t kTenThousand = 10000;
constexpr std::uint64_t kHundred = 100;

struct Ratio {
  std::uint64_t multiplier;
  std::uint64_t divisor;
};

// kRatios[from][to]; the diagonal is not used.
constexpr Ratio kRatios[kUnits][kUnits] = {
    {{1, 1}, {12700, 50000}, {100, 1}, {12700, 50}},
    {{50000, 12700}, {1, 1}, {50000, 127}, {1000, 1}},
    {{1, 100}, {127, 50000}, {1, 1}, {127, 50}},
    {{50, 12700}, {1, 1000}, {50, 127}, {1, 1}},
};

std::uint32_t Clamp32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min(value, kLargestLength));
}

// value x multiplier / divisor, rounded half up.
std::uint32_t Scale(std::uint32_t value, const Ratio& ratio) {
  std::uint64_t product = std::uint64_t{value} * ratio.multiplier;
  std::uint64_t quotient = product / ratio.divisor;
  if (2 * (product % ratio.divisor) >= ratio.divisor) ++quotient;
  return Clamp32(quotient);
}

// length x resolution / divisor, truncated; 0 for a resolution of 0.
std::uint32_t Truncated(std::uint32_t length, std::uint16_t resolution, std::uint64_t divisor) {
  return Clamp32(std::uint64_t{length} * resolution / divisor);
}

}  // namespace

std::span<const RWClassRegistration> CustomMediaSizeClasses() {
  return kCustomMediaSizeClasses;
}

GSize32 ConvertSize(std::uint32_t from, std::uint32_t to, const GSize32& size) {
  if (from >= kUnits || to >= kUnits || from == to) return size;
  const Ratio& ratio = kRatios[from][to];
  return {Scale(size.width, ratio), Scale(size.height, ratio)};
}

// ---------------------------------------------------------------------------
// GCustomMediaSize

GCustomMediaSize::GCustomMediaSize(std::uint16_t id, const RWCString& name, std::uint32_t unit,
                                   std::uint32_t width, std::uint32_t height,
                                   const std::uint32_t& key)
    : MPersistentClass(key), id_(id), name_(name), unit_(unit), size_{width, height} {}

GCustomMediaSize::GCustomMediaSize(std::uint16_t id, const RWCString& name,
                                   std::uint16_t x_resolution, std::uint16_t y_resolution,
                                   std::uint32_t unit, std::uint32_t width_dots,
                                   std::uint32_t height_dots, const std::uint32_t& key)
    : MPersistentClass(key), id_(id), name_(name) {
  // A resolution of 0 gives no size rather than a division by zero.
  auto hundredths = [](std::uint32_t dots, std::uint16_t resolution) {
    return resolution == 0 ? 0 : Clamp32(std::uint64_t{dots} * kHundred / resolution);
  };
  size_ = {hundredths(width_dots, x_resolution), hundredths(height_dots, y_resolution)};
  SetUnit(unit);
}

void GCustomMediaSize::Set(std::uint32_t unit, std::uint32_t width, std::uint32_t height) {
  unit_ = unit;
  size_ = {width, height};
}

void GCustomMediaSize::SetUnit(std::uint32_t unit) {
  size_ = ConvertSize(unit_, unit, size_);
  unit_ = unit;
}

GSize32 GCustomMediaSize::GetSizeInDots(std::uint16_t x_resolution,
                                        std::uint16_t y_resolution) const {
  GSize32 inches = GetSizeIn(kTenThousandthInch);
  return {Truncated(inches.width, x_resolution, kTenThousand),
          Truncated(inches.height, y_resolution, kTenThousand)};
}

RWSize GCustomMediaSize::StoredSize() const {
  return GAttribute::StoredSize() + 22 + name_.Length();
}

template <class Out>
void GCustomMediaSize::SaveItems(Out& out) const {
  SaveBase<GAttribute>(*this, out);
  PutItem(out, kCustomMediaSizeVersion);
  PutItem(out, id_);
  PutItem(out, name_);
  PutItem(out, unit_);
  PutItem(out, size_.width);
  PutItem(out, size_.height);
}

template <class In>
void GCustomMediaSize::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GAttribute>(*this, in);
  if (!ReadsVersion(scope, in, kCustomMediaSizeVersion)) return;
  // Each read stops the chain at the first failure, which the scope reports.
  (void)(GetItem(in, id_) && GetItem(in, name_) && GetItem(in, unit_) && GetItem(in, size_.width) &&
         GetItem(in, size_.height));
}

bool GCustomMediaSize::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GCustomMediaSize* same = SameContentBase(other);
  if (!same || id_ != same->id_ || name_ != same->name_) return false;
  if (unit_ == same->unit_) return size_ == same->size_;
  return GetSizeIn(kMicrometre) == same->GetSizeIn(kMicrometre);
}

std::uint16_t GCustomMediaSize::Execute(GAttributeHandlers&) {
  return 0;
}

// After the item templates, which the frame instantiates.
template class MPersistentClass<GCustomMediaSize, GAttribute, kGCustomMediaSizeId>;
