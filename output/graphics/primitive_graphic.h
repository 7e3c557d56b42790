// The primitive graphics: drawing commands that carry their geometry in a few
// fixed fields and one run of points. GPrimitiveGraphic is their abstract
// base; GRectangleGraphic, GPolygonGraphic and GPolyBezierGraphic are made.
// The same fields carry what the generators read for arcs, chords, pies,
// polylines, rounded rectangles and scan-line runs:
//   kind word     2 unless a constructor is given another; the arc, chord
//                 and pie handlers test it for zero
//   points        the figure's points (short_geometry.h)
//   bounds valid  1 when the rectangle holds the figure's bounds
//   rectangle     the given rectangle (a rectangle, the box of an ellipse)
//                 or the computed bounds
//   point A       start point: where a polyline or Bezier run begins, or an
//                 arc's start
//   point B       end point of an arc, chord or pie
//   point C       corner size of a rounded rectangle
//
// Points. Handed an array, a graphic copies the points of an owning array
// into storage of its own and borrows those of a borrowing array (and then
// must not outlive them: a holder that keeps it beyond the call calls
// MakeSelfContained first). An array of no points gives none (owns flag 0).
// A restored graphic always owns its points.
//
//   class                id   Execute calls        own part
//   GPrimitiveGraphic    651  (abstract)
//   GRectangleGraphic    659  device.DrawRectangle  version word
//   GPolygonGraphic      657  device.DrawPolygon    version word
//   GPolyBezierGraphic   653  device.BeginBezier    version word
// Each handler gets the graphic itself; Execute answers its result. The
// concrete classes are registered under their names; kind tests answer the
// class's own id, then 651, 602, 601, 751.
//
// Stored part of GPrimitiveGraphic, after the GGraphic part (graphic.h):
//   version      u32   kPrimitiveGraphicVersion
//   kind word    u32
//   count n      u32
//   points       n x 4 bytes, one run of bytes: x then y, each i16 LE
//   bounds valid u32
//   rectangle    4 x i16  left, top, right, bottom
//   A, B, C      6 x i16  A.x, A.y, B.x, B.y, C.x, C.y
// then each concrete class's version word (command_class.h). A restore
// reads the fields only for version 1. The points' storage grows as bytes
// arrive (a file must hold them all), so a damaged count never allocates
// its own size; a count whose run exceeds 32 bits fails the restore.
//
// Ownership: reference-counted model objects (persistent_object.h); a
// graphic frees its point storage only when it owns it. Threads: one
// graphic is used by one thread at a time.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

#include "foundation/rw/registration.h"
#include "output/core/command_class.h"
#include "output/graphics/graphic.h"
#include "output/graphics/short_geometry.h"

inline constexpr RWClassID kGPrimitiveGraphicId = 651;
inline constexpr RWClassID kGRectangleGraphicId = 659;
inline constexpr RWClassID kGPolygonGraphicId = 657;
inline constexpr RWClassID kGPolyBezierGraphicId = 653;
inline constexpr std::uint32_t kPrimitiveGraphicVersion = 1;
inline constexpr std::uint32_t kDefaultKindWord = 2;

class GPrimitiveGraphic : public GGraphic {
 public:
  // Every constructor but the copy leaves A, B and C at (0, 0); each holds
  // `attributes` as GGraphic does (its key becomes kGraphicBundleKey).
  // Kind word 2, no points (owns flag 1), bounds not valid, zero rectangle.
  GPrimitiveGraphic() = default;
  // The given rectangle as valid bounds; no points (owns flag 1).
  GPrimitiveGraphic(const GShortRect& rectangle, GAttributeComposite* attributes,
                    const std::uint32_t& key);
  GPrimitiveGraphic(const GShortRect& rectangle, std::uint32_t kind_word,
                    GAttributeComposite* attributes, const std::uint32_t& key);
  // The array's points, bounds not valid, zero rectangle.
  GPrimitiveGraphic(const GShortPointArray& points, GAttributeComposite* attributes,
                    const std::uint32_t& key);
  // The array's points and the given rectangle as valid bounds.
  GPrimitiveGraphic(const GShortRect& rectangle, const GShortPointArray& points,
                    GAttributeComposite* attributes, const std::uint32_t& key);
  GPrimitiveGraphic(const GShortRect& rectangle, const GShortPointArray& points,
                    std::uint32_t kind_word, GAttributeComposite* attributes,
                    const std::uint32_t& key);
  // Shares the attribute set; copies the kind word, bounds-valid flag,
  // rectangle and A, B, C; copies owned points, borrows borrowed ones.
  GPrimitiveGraphic(const GPrimitiveGraphic& other);
  GPrimitiveGraphic& operator=(const GPrimitiveGraphic&) = delete;
  ~GPrimitiveGraphic() override;

  // The GGraphic part, 36 and 4 per point.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 651, 602, 601 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // In this order: the GGraphic parts equal; when both bounds are valid,
  // the rectangles equal; the kind words, A, B and C equal; the same count
  // and equal points pair by pair.
  bool IsEqualContent(const MPersistentObject* other) const override;
  // MakePointsOwned.
  void MakeSelfContained() override;

  // The rectangle, computed first when the bounds are not valid: with more
  // than one point, the least and greatest x and y over point A (taken in
  // even when never set) and every point; with fewer, the rectangle as it
  // stands. The bounds are valid afterwards.
  virtual const GShortRect& GetBounds();

  std::uint32_t GetKindWord() const { return kind_word_; }
  void SetKindWord(std::uint32_t kind_word) { kind_word_ = kind_word; }
  const GShortPoint* GetPointA() const { return &point_a_; }
  const GShortPoint* GetPointB() const { return &point_b_; }
  const GShortPoint* GetPointC() const { return &point_c_; }
  void SetPointA(const GShortPoint& point) { point_a_ = point; }
  void SetPointB(const GShortPoint& point) { point_b_ = point; }
  void SetPointC(const GShortPoint& point) { point_c_ = point; }
  std::uint32_t GetPointCount() const { return points_.Count(); }
  // REQUIRES: i < GetPointCount().
  const GShortPoint* GetPoint(std::uint32_t i) const { return &points_[i]; }
  // Bezier segments: the point count divided by 3, rounded down.
  std::uint32_t GetSegmentCount() const { return points_.Count() / 3; }
  const GShortPointArray& GetPointArray() const { return points_; }
  bool IsBoundsValid() const { return bounds_valid_ != 0; }

  // Takes the array's points (copied when it owns them, else borrowed),
  // letting go of the old ones afterwards, so the graphic's own array may
  // be passed; the bounds are no longer valid.
  void SetPoints(const GShortPointArray& points);
  // Copies borrowed points into storage of the graphic's own. True when
  // the graphic owns its points (or has none); false when the storage
  // cannot be had ([NOMEM] raised), the graphic then still borrowing.
  bool MakePointsOwned();

 protected:
  // Puts `points` in place of the graphic's points (the old storage freed
  // when owned).
  void ReplacePoints(GShortPointArray points) { points_ = std::move(points); }
  // Moves the first point in use on by one. REQUIRES: GetPointCount() > 0.
  void DropFirstPoint() { points_.DropFirst(); }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t kind_word_ = kDefaultKindWord;
  GShortPointArray points_;
  std::uint32_t bounds_valid_ = 0;
  GShortRect rectangle_;
  GShortPoint point_a_;
  GShortPoint point_b_;
  GShortPoint point_c_;
};

class GRectangleGraphic final
    : public GCommandClass<GRectangleGraphic, GPrimitiveGraphic, kGRectangleGraphicId> {
 public:
  GRectangleGraphic() = default;
  // The rectangle as the graphic's valid bounds; no points.
  GRectangleGraphic(const GShortRect& rectangle, GAttributeComposite* attributes,
                    const std::uint32_t& key)
      : GCommandClass(rectangle, attributes, key) {}
  GRectangleGraphic(const GRectangleGraphic& other) = default;

  // device.DrawRectangle(*this).
  std::uint16_t Execute(GPeripheral& device) override;
};

class GPolygonGraphic final
    : public GCommandClass<GPolygonGraphic, GPrimitiveGraphic, kGPolygonGraphicId> {
 public:
  GPolygonGraphic() = default;
  // Takes the points and closes the figure: unless the last point equals
  // the first, the graphic owns a list of one point more that starts with
  // the last point and then runs through all of them. No points stay none.
  GPolygonGraphic(const GShortPointArray& points, GAttributeComposite* attributes,
                  const std::uint32_t& key);
  GPolygonGraphic(const GPolygonGraphic& other) = default;

  // device.DrawPolygon(*this).
  std::uint16_t Execute(GPeripheral& device) override;
};

class GPolyBezierGraphic final
    : public GCommandClass<GPolyBezierGraphic, GPrimitiveGraphic, kGPolyBezierGraphicId> {
 public:
  GPolyBezierGraphic() = default;
  // Takes the points; the first becomes point A and leaves the run (the
  // first point in use moves on by one, the storage stays). No points give
  // no point A.
  GPolyBezierGraphic(const GShortPointArray& points, GAttributeComposite* attributes,
                     const std::uint32_t& key);
  GPolyBezierGraphic(const GPolyBezierGraphic& other) = default;

  // The figure value the ZDL5 generator passes on when it begins a figure;
  // neither stored nor compared.
  std::uint32_t GetFigureValue() const { return figure_value_; }
  void SetFigureValue(std::uint32_t value) { figure_value_ = value; }

  // device.BeginBezier(*this).
  std::uint16_t Execute(GPeripheral& device) override;

 private:
  std::uint32_t figure_value_ = 0;
};

extern template class MPersistentClass<GRectangleGraphic, GPrimitiveGraphic, kGRectangleGraphicId>;
extern template class MPersistentClass<GPolygonGraphic, GPrimitiveGraphic, kGPolygonGraphicId>;
extern template class MPersistentClass<GPolyBezierGraphic, GPrimitiveGraphic,
                                       kGPolyBezierGraphicId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> PrimitiveGraphicClasses();
