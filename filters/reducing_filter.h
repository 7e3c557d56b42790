// GReducingFilter: removes overdraw from runs of plain filled rectangles.
// A rectangle graphic (class id exactly 659) with a GNoPen, a brush whose
// paint is not of kind 153, and no clip, a clip to the page or a clip to
// one rectangle is taken apart into a record and answered with a
// GNoCommand; the records are merged into a held run that never overlaps
// itself. The run goes on, rebuilt as rectangles in one GCommandComposite,
// ahead of the first command that does not qualify (a page end at the
// latest), or at once when two rectangles meet that cannot be merged.
//
// Merging a new record X into the run (TakeIn): X is cut to its clip and
// its corners put in order; then, walking the run from its head (pieces
// added at the tail are walked too), each pending piece of X that overlaps
// a held record H (strictly more than a one-unit strip on both axes) is
// resolved against H by H's binary raster operation:
//   13 (copy)        covers: X stays whole, H loses the overlap;
//   7 (XOR)          X XOR of the same 24-bit colour cancels: both lose
//                    the overlap; X a black copy blackens: the overlap
//                    becomes a copy (raster operation low byte 0xF0);
//   anything else    the merge fails: the rest of X joins the run as it is
//                    and the run is flushed in X's place.
// Differences are cut into at most four strips: left, right (both from
// the inner top to the outer bottom), top (full width), bottom (between).
// The binary raster operation of a 16-bit code is (((code & 0x30) >> 2) |
// (code & 3)) + 1.
//
// A run of 1000 records or more (the count read as signed 16 bits) takes
// no more: the next rectangle follows the flushed run unchanged. Rebuilt
// rectangles (key 0) carry a new bundle: the clip (kClipKey: a GClipToPage,
// or the clip rectangle in order with its two values), the pen, the brush,
// the attributes of keys kBundleThirdKey, kBundleSecondKey and kBundleFirstKey,
// and a new GRasterOperation (key 0) of the record's code and value.
//
// Readings and mends: a rectangle that misses its single-rectangle clip
// altogether paints nothing and is passed on unmerged (it would cut held
// rectangles it does not paint); each rebuilt piece keeps its kBundleFirstKey.
//
// Class id 1112, registered as "GReducingFilter". Stored form: the frame's
// (filter_class.h) with version word 1; a version-1 restore empties the
// run, and a copy starts with an empty one. GetFlags 0; the attribute hooks
// do nothing.
//
// Ownership: the filter owns its records and their attributes. Threads:
// one job's thread.
#pragma once

#include <cstdint>
#include <list>
#include <span>

#include "filters/filter_class.h"
#include "foundation/rw/registration.h"

class GRectangleGraphic;

inline constexpr RWClassID kGReducingFilterId = 1112;
// The run's limit.
inline constexpr std::int16_t kMaxHeldRecords = 1000;
// Binary raster operations the merge knows.
inline constexpr std::uint16_t kBinaryCopy = 13;
inline constexpr std::uint16_t kBinaryXor = 7;

// One held rectangle, with the attributes taken out of its graphic.
struct GRectangleRecord {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::uint32_t clip_kind = 1;  // 0: one rectangle; 1: the page, or none
  std::int32_t clip_left = 0, clip_top = 0, clip_right = 0, clip_bottom = 0;
  std::uint32_t clip_values[2] = {};
  GCountedPtr brush;
  GCountedPtr pen;
  std::uint16_t binary_rop = 0;  // 1 to 16
  std::uint16_t rop = 0;         // the code as it came
  std::uint32_t rop_value = 0;
  GCountedPtr attribute182, attribute172, attribute166;
};

class GReducingFilter final : public GFilterClass<GReducingFilter, kGReducingFilterId> {
 public:
  GReducingFilter() = default;
  // The GPeripheral part; an empty run.
  GReducingFilter(const GReducingFilter& other) : GFilterClass(other) {}

  GCountedPtr Transform(const GCountedPtr& command) override;
  void AttributeHookBefore(GCommand&) override {}
  void AttributeHookAfter(GCommand&) override {}
  std::uint32_t GetFlags() override { return 0; }

  // A record of `rectangle`, its brush, pen, kBundleThirdKey, kBundleSecondKey
  // and kBundleFirstKey taken out of its set; false (the graphic untouched)
  // without a raster operation or a brush.
  static bool MakeRecord(GRectangleGraphic& rectangle, GRectangleRecord& record);
  // True when the run absorbed `record`; false when the merge failed (the
  // record's pieces are in the run, which the caller flushes).
  bool TakeIn(GRectangleRecord record);
  // The held rectangles rebuilt in run order; the run emptied. Null when
  // it was empty.
  GCountedPtr Flush();
  static GCountedPtr MakeRectangle(const GRectangleRecord& record);

  std::int16_t Count() const { return count_; }
  const std::list<GRectangleRecord>& Run() const { return run_; }

 private:
  friend GFilterClass;
  template <class In>
  void RestoreOwnFields(In& in, MRestoreScope& scope, std::uint32_t version);

  using Pieces = std::list<GRectangleRecord>;
  using HeldRecord = std::list<GRectangleRecord>::iterator;
  enum class Outcome { kKept, kRemoved, kFailed };
  // X against H, which it overlaps: pieces for the walk go into `next`.
  Outcome Resolve(const GRectangleRecord& x, HeldRecord h, Pieces& next);
  void AddToRun(GRectangleRecord record);
  void Clear();

  std::int16_t count_ = 0;
  std::list<GRectangleRecord> run_;
};

extern template class MPersistentClass<GReducingFilter, GPeripheral, kGReducingFilterId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ReducingFilterClasses();
