#include "config/paper/media_from_custom_size.h"

#include <algorithm>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/margin_pool.h"
#include "foundation/rw/support.h"
#include "persist/find_of_class.h"

namespace {

// Near (left, top) and far (right, bottom) margins in one unit.
struct Margins {
  std::uint32_t unit = kTenThousandthInch;
  GSize32 near;
  GSize32 far;
};

// A stored margin with its top bit set is a negative one.
std::uint32_t NotNegative(std::uint32_t margin) {
  return static_cast<std::int32_t>(margin) < 0 ? 0 : margin;
}

Margins PoolMargins(const GMarginPool& pool, std::uint32_t orientation) {
  Margins margins;
  margins.unit = kMicrometre;
  const std::uint32_t* set = pool.GetMarginSet(0);
  if (!set || orientation % 90 != 0 || orientation > 270) return margins;
  const std::uint32_t* block = set + 4 * (orientation / 90);
  margins.near = {NotNegative(block[0]), NotNegative(block[1])};
  margins.far = {NotNegative(block[2]), NotNegative(block[3])};
  return margins;
}

Margins AttributeMargins(MPersistentObject* source) {
  Margins margins;
  auto* composite = FindComposite(source, kMarginsKey);
  GValueAttribute* sides[4] = {};
  const std::uint32_t keys[4] = {kLeftMarginKey, kTopMarginKey, kRightMarginKey, kBottomMarginKey};
  for (int i = 0; i < 4; ++i) {
    sides[i] = FindValueAttribute(composite, keys[i]);
    if (!sides[i]) return margins;
  }
  auto length = [](const GValueAttribute* side) {
    auto value = static_cast<std::int16_t>(side->GetValue());
    return static_cast<std::uint32_t>(std::max<std::int16_t>(value, 0));
  };
  margins.near = {length(sides[0]), length(sides[1])};
  margins.far = {length(sides[2]), length(sides[3])};
  return margins;
}

Margins FindMargins(MPersistentObject* source, std::uint32_t orientation) {
  if (auto* pool = FindOfClass<GMarginPool>(source, kMarginPoolKey))
    return PoolMargins(*pool, orientation);
  return AttributeMargins(source);
}

// Lengths in `unit` in dots, as a temporary custom size (key 0) gives them.
GSize32 InDots(std::uint32_t unit, const GSize32& size, std::uint16_t x_resolution,
               std::uint16_t y_resolution) {
  GCustomMediaSize lengths(0, RWCString(), unit, size.width, size.height, 0);
  return lengths.GetSizeInDots(x_resolution, y_resolution);
}

std::int16_t Dots16(std::int64_t dots) {
  return static_cast<std::int16_t>(std::clamp<std::int64_t>(dots, 0, 32767));
}

// The value of the 16-bit value attribute `key` below `source`, when there
// is one.
bool ReadValue(MPersistentObject* source, std::uint32_t key, std::uint16_t& value) {
  auto* attribute = FindValueAttribute(source, key);
  if (attribute) value = attribute->GetValue();
  return attribute != nullptr;
}

}  // namespace

GMedia* MakeMediaFromCustomSize(const GCustomMediaSize& custom_size,
                                MPersistentObject* margin_source, std::uint16_t x_resolution,
                                std::uint16_t y_resolution, std::uint32_t orientation) {
  Margins margins = FindMargins(margin_source, orientation);
  GSize32 paper = custom_size.GetSizeInDots(x_resolution, y_resolution);
  if (orientation == 90 || orientation == 270) std::swap(paper.width, paper.height);
  GSize32 near = InDots(margins.unit, margins.near, x_resolution, y_resolution);
  GSize32 far = InDots(margins.unit, margins.far, x_resolution, y_resolution);

  std::int64_t width = std::min<std::int64_t>(paper.width, 32767);
  std::int64_t height = std::min<std::int64_t>(paper.height, 32767);
  GSize16 paper_size(Dots16(width), Dots16(height));
  GSize16 origin(Dots16(near.width), Dots16(near.height));
  GSize16 printable(Dots16(width - std::int64_t{near.width} - far.width),
                    Dots16(height - std::int64_t{near.height} - far.height));
  return RWNew<GMedia>(custom_size.GetName().Data(), paper_size, printable, origin, orientation,
                       custom_size.GetId(), x_resolution, y_resolution, kModelMediumKey, 0, nullptr,
                       nullptr);
}

GMedia* MakeCustomMediaFromModel(const GCustomMediaSize& custom_size, MPersistentObject* settings,
                                 MPersistentObject* margin_source) {
  auto* resolution = FindComposite(settings, kResolutionKey);
  std::uint16_t x_resolution = 0;
  std::uint16_t y_resolution = 0;
  if (!ReadValue(resolution, kXResolutionKey, x_resolution) ||
      !ReadValue(resolution, kYResolutionKey, y_resolution)) {
    return nullptr;
  }
  return MakeMediaFromCustomSizeOriented(custom_size, settings, margin_source, x_resolution,
                                         y_resolution);
}

GMedia* MakeMediaFromCustomSizeOriented(const GCustomMediaSize& custom_size,
                                        MPersistentObject* settings,
                                        MPersistentObject* margin_source,
                                        std::uint16_t x_resolution, std::uint16_t y_resolution) {
  std::uint16_t orientation = 0;
  if (!ReadValue(settings, kOrientationKey, orientation)) return nullptr;
  return MakeMediaFromCustomSize(custom_size, margin_source, x_resolution, y_resolution,
                                 orientation);
}
