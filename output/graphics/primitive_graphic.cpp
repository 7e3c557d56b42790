#include "output/graphics/primitive_graphic.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/peripheral.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kPrimitiveGraphicClasses[] = {
    {&RWCreate<GRectangleGraphic>, kGRectangleGraphicId, "GRectangleGraphic"},
    {&RWCreate<GPolygonGraphic>, kGPolygonGraphicId, "GPolygonGraphic"},
    {&RWCreate<GPolyBezierGraphic>, kGPolyBezierGraphicId, "GPolyBezierGraphic"},
};

// The stored bytes of one point, and of the fixed fields: version, kind
// word and count before the points; bounds valid, rectangle and A, B, C
// after them.
constexpr std::uint32_t kPointBytes = 4;
constexpr RWSize kFixedFieldsSize = 12 + 24;

// The graphic's own array for `points`: a copy of an owning array's points,
// the borrowed points of a borrowing one, none for no points. A copy that
// cannot be had gives none.
GShortPointArray TakePoints(const GShortPointArray& points) {
  if (points.Count() == 0) return GShortPointArray(nullptr, 0);
  if (!points.Owns()) return points.Borrowed();
  GShortPointArray copy(nullptr, 0);
  GShortPointArray::CopyOf(points.First(), points.Count(), copy);
  return copy;
}

// A copy of `points` for a copied graphic: owned points are copied (none
// when that fails), borrowed ones borrowed, and an owning empty array stays
// owning.
GShortPointArray CopyPoints(const GShortPointArray& points) {
  if (!points.Owns()) return points.Borrowed();
  GShortPointArray copy;
  GShortPointArray::CopyOf(points.First(), points.Count(), copy);
  return copy;
}

// One point of the run of bytes: x then y, little-endian.
template <class Out>
void PutPointBytes(Out& out, const GShortPoint& point) {
  auto x = static_cast<std::uint16_t>(point.x);
  auto y = static_cast<std::uint16_t>(point.y);
  const std::uint8_t bytes[kPointBytes] = {
      static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(x >> 8), static_cast<std::uint8_t>(y),
      static_cast<std::uint8_t>(y >> 8)};
  PutBytes(out, bytes, kPointBytes);
}

GShortPoint PointFromBytes(const std::uint8_t* from) {
  return {static_cast<std::int16_t>(from[0] | from[1] << 8),
          static_cast<std::int16_t>(from[2] | from[3] << 8)};
}

template <class Out>
void PutShortPoint(Out& out, const GShortPoint& point) {
  PutItem(out, point.x);
  PutItem(out, point.y);
}

template <class In>
bool GetShortPoint(In& in, GShortPoint& point) {
  return GetItem(in, point.x) && GetItem(in, point.y);
}

}  // namespace

std::span<const RWClassRegistration> PrimitiveGraphicClasses() {
  return kPrimitiveGraphicClasses;
}

// ---------------------------------------------------------------------------
// GPrimitiveGraphic

GPrimitiveGraphic::GPrimitiveGraphic(const GShortRect& rectangle, GAttributeComposite* attributes,
                                     const std::uint32_t& key)
    : GPrimitiveGraphic(rectangle, kDefaultKindWord, attributes, key) {}

GPrimitiveGraphic::GPrimitiveGraphic(const GShortRect& rectangle, std::uint32_t kind_word,
                                     GAttributeComposite* attributes, const std::uint32_t& key)
    : GGraphic(attributes, key), kind_word_(kind_word), bounds_valid_(1), rectangle_(rectangle) {}

GPrimitiveGraphic::GPrimitiveGraphic(const GShortPointArray& points,
                                     GAttributeComposite* attributes, const std::uint32_t& key)
    : GGraphic(attributes, key), points_(TakePoints(points)) {}

GPrimitiveGraphic::GPrimitiveGraphic(const GShortRect& rectangle, const GShortPointArray& points,
                                     GAttributeComposite* attributes, const std::uint32_t& key)
    : GPrimitiveGraphic(rectangle, points, kDefaultKindWord, attributes, key) {}

GPrimitiveGraphic::GPrimitiveGraphic(const GShortRect& rectangle, const GShortPointArray& points,
                                     std::uint32_t kind_word, GAttributeComposite* attributes,
                                     const std::uint32_t& key)
    : GGraphic(attributes, key),
      kind_word_(kind_word),
      points_(TakePoints(points)),
      bounds_valid_(1),
      rectangle_(rectangle) {}

// The bounds-valid flag is kept: a copy that recomputed its bounds from the
// points would lose a given rectangle and stop comparing equal.
GPrimitiveGraphic::GPrimitiveGraphic(const GPrimitiveGraphic& other)
    : GGraphic(other),
      kind_word_(other.kind_word_),
      points_(CopyPoints(other.points_)),
      bounds_valid_(other.bounds_valid_),
      rectangle_(other.rectangle_),
      point_a_(other.point_a_),
      point_b_(other.point_b_),
      point_c_(other.point_c_) {}

GPrimitiveGraphic::~GPrimitiveGraphic() = default;

const GShortRect& GPrimitiveGraphic::GetBounds() {
  if (bounds_valid_) return rectangle_;
  if (points_.Count() > 1) {
    GShortRect bounds{point_a_.x, point_a_.y, point_a_.x, point_a_.y};
    for (std::uint32_t i = 0; i < points_.Count(); ++i) {
      const GShortPoint& point = points_[i];
      bounds.left = std::min(bounds.left, point.x);
      bounds.right = std::max(bounds.right, point.x);
      bounds.top = std::min(bounds.top, point.y);
      bounds.bottom = std::max(bounds.bottom, point.y);
    }
    rectangle_ = bounds;
  }
  bounds_valid_ = 1;
  return rectangle_;
}

void GPrimitiveGraphic::SetPoints(const GShortPointArray& points) {
  // Built before the old points go, since `points` may be the graphic's own.
  GShortPointArray taken = TakePoints(points);
  points_ = std::move(taken);
  bounds_valid_ = 0;
}

bool GPrimitiveGraphic::MakePointsOwned() {
  if (points_.Count() == 0 || points_.Owns()) return true;
  GShortPointArray copy;
  if (!GShortPointArray::CopyOf(points_.First(), points_.Count(), copy)) return false;
  points_ = std::move(copy);
  return true;
}

void GPrimitiveGraphic::MakeSelfContained() {
  MakePointsOwned();
}

bool GPrimitiveGraphic::IsKindOf(const RWClassID& id) const {
  return id == kGPrimitiveGraphicId || GGraphic::IsKindOf(id);
}

bool GPrimitiveGraphic::IsEqualContent(const MPersistentObject* other) const {
  if (!GGraphic::IsEqualContent(other)) return false;
  auto* graphic = dynamic_cast<const GPrimitiveGraphic*>(other);
  if (!graphic) return false;
  if (bounds_valid_ && graphic->bounds_valid_ && graphic != this &&
      rectangle_ != graphic->rectangle_) {
    return false;
  }
  return kind_word_ == graphic->kind_word_ && point_a_ == graphic->point_a_ &&
         point_b_ == graphic->point_b_ && point_c_ == graphic->point_c_ &&
         SamePoints(points_, graphic->points_);
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GPrimitiveGraphic::StoredSize() const {
  return GGraphic::StoredSize() + kFixedFieldsSize + kPointBytes * points_.Count();
}

template <class Out>
void GPrimitiveGraphic::SaveItems(Out& out) const {
  SaveBase<GGraphic>(*this, out);
  PutItem(out, kPrimitiveGraphicVersion);
  PutItem(out, kind_word_);
  PutItem(out, points_.Count());
  for (std::uint32_t i = 0; i < points_.Count(); ++i)
    PutPointBytes(out, points_[i]);
  PutItem(out, bounds_valid_);
  PutItem(out, rectangle_.left);
  PutItem(out, rectangle_.top);
  PutItem(out, rectangle_.right);
  PutItem(out, rectangle_.bottom);
  PutShortPoint(out, point_a_);
  PutShortPoint(out, point_b_);
  PutShortPoint(out, point_c_);
}

template <class In>
void GPrimitiveGraphic::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GGraphic>(*this, in);
  if (!ReadsVersion(scope, in, kPrimitiveGraphicVersion)) return;
  std::uint32_t count = 0;
  if (!GetItem(in, kind_word_) || !GetItem(in, count)) return;
  if (count > RW_NPOS / kPointBytes) {
    scope.Fail();
    return;
  }
  std::unique_ptr<std::uint8_t[]> bytes;
  if (!GetBytes(in, kPointBytes * count, bytes)) return;
  std::unique_ptr<GShortPoint[]> points;
  if (count != 0) {
    points = RWNewArrayForOverwrite<GShortPoint>(count);
    if (!points) {
      scope.Fail();
      return;
    }
    for (std::uint32_t i = 0; i < count; ++i)
      points[i] = PointFromBytes(bytes.get() + kPointBytes * i);
  }
  points_ = GShortPointArray::Adopt(std::move(points), count);
  // Each item is read only while the ones before it were.
  if (GetItem(in, bounds_valid_) && GetItem(in, rectangle_.left) && GetItem(in, rectangle_.top) &&
      GetItem(in, rectangle_.right) && GetItem(in, rectangle_.bottom) &&
      GetShortPoint(in, point_a_) && GetShortPoint(in, point_b_)) {
    GetShortPoint(in, point_c_);
  }
}

void GPrimitiveGraphic::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GPrimitiveGraphic::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GPrimitiveGraphic::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GPrimitiveGraphic::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// The concrete graphics

template class MPersistentClass<GRectangleGraphic, GPrimitiveGraphic, kGRectangleGraphicId>;
template class MPersistentClass<GPolygonGraphic, GPrimitiveGraphic, kGPolygonGraphicId>;
template class MPersistentClass<GPolyBezierGraphic, GPrimitiveGraphic, kGPolyBezierGraphicId>;

std::uint16_t GRectangleGraphic::Execute(GPeripheral& device) {
  return device.DrawRectangle(*this);
}

GPolygonGraphic::GPolygonGraphic(const GShortPointArray& points, GAttributeComposite* attributes,
                                 const std::uint32_t& key)
    : GCommandClass(points, attributes, key) {
  const GShortPointArray& taken = GetPointArray();
  std::uint32_t count = taken.Count();
  if (count == 0 || taken[count - 1] == taken[0]) return;
  std::unique_ptr<GShortPoint[]> closed = RWNewArrayForOverwrite<GShortPoint>(count + 1ull);
  if (!closed) return;  // [NOMEM] raised; the figure stays open
  closed[0] = taken[count - 1];
  std::copy_n(taken.First(), count, closed.get() + 1);
  ReplacePoints(GShortPointArray::Adopt(std::move(closed), count + 1));
}

std::uint16_t GPolygonGraphic::Execute(GPeripheral& device) {
  return device.DrawPolygon(*this);
}

GPolyBezierGraphic::GPolyBezierGraphic(const GShortPointArray& points,
                                       GAttributeComposite* attributes, const std::uint32_t& key)
    : GCommandClass(points, attributes, key) {
  if (GetPointCount() == 0) return;
  SetPointA(*GetPoint(0));
  DropFirstPoint();
}

std::uint16_t GPolyBezierGraphic::Execute(GPeripheral& device) {
  return device.BeginBezier(*this);
}
