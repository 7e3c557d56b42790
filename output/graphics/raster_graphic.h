// The raster graphics: drawing commands that place an image on the page. A
// raster graphic carries a bitmap (output/raster/bitmap.h), the source
// rectangle (the part of the bitmap to draw, in its pixels) and the target
// rectangle (where it goes, in page coordinates), and a second bitmap that
// is copied, stored and compared with it and read nowhere.
//
//   class                     id   registered as
//   GRasterGraphic            604  "GRasterGraphic"
//   GPreScaledRasterGraphic   609  "GPreScaledRasterGraphic"
// Kind tests: 604, 602, 601 and 751; the pre-scaled graphic also 609. The
// two differ only in IsPreScaled (the pre-scaled graphic's pixels already
// have the target's resolution). Execute calls the device's DrawBitmap
// with the graphic and answers its result.
//
// Stored part, after the GGraphic part (graphic.h):
//   version        u32   kRasterGraphicVersion
//   bitmap         the GBitmap as one embedded object (its class token, then
//                  its own stored form)
//   source, target 8 x i16: left, top, right, bottom of each, source first
//   second bitmap  embedded likewise
// Stored size: the GGraphic part + 4 + both bitmaps + 16. A restore reads
// the fields only for version 1. A bitmap or rectangle that cannot be read
// (a bitmap token of another class included) fails the restore.
//
// FitToClip (clip, visible source, visible target), with S the source and
// T the target rectangle: both results zero and answer 1 when S or T is
// empty (a width or height of 0 or less); S and T and answer 1 without a
// clip, when the clip's rectangle (none: the whole target) met with T is T
// itself, or when the clip's second value is set; zeros and answer 1 when
// the clip misses T. Otherwise the part R of T that the clip keeps is
// mapped back to the bitmap, rounded outwards (left and top down, right
// and bottom up, unsigned over the extents sw, sh, tw, th), and the visible
// target is what that source part covers, T.left + source x tw / sw and so
// on, rounded down; the answer is 1 when that is R exactly, else 0 (it may
// stick out of R by less than a source pixel). The source part is finally
// shifted by S's origin.
//
// Ownership: reference-counted model objects; a graphic shares its two
// bitmaps' implementations (copies share them too). Threads: one graphic
// is used by one thread at a time.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/rw/registration.h"
#include "output/graphics/graphic.h"
#include "output/graphics/short_geometry.h"
#include "output/raster/bitmap.h"
#include "persist/model_class.h"

class GClip;

inline constexpr RWClassID kGRasterGraphicId = 604;
inline constexpr RWClassID kGPreScaledRasterGraphicId = 609;
inline constexpr std::uint32_t kRasterGraphicVersion = 1;

// FitToClip's rule on any two rectangles (see above); a null clip is none.
std::uint32_t FitRectanglesToClip(const GShortRect& source, const GShortRect& target,
                                  const GClip* clip, GShortRect& visible_source,
                                  GShortRect& visible_target);

class GRasterGraphic : public MPersistentClass<GRasterGraphic, GGraphic, kGRasterGraphicId> {
 public:
  // No bitmaps, zero rectangles, no attribute set, key 0.
  GRasterGraphic() = default;
  // Each shares the bitmaps' implementations and holds `attributes` as
  // GGraphic does (its key becomes kGraphicBundleKey).
  GRasterGraphic(const GBitmap& bitmap, GAttributeComposite* attributes, const GShortRect& source,
                 const GShortRect& target, const GBitmap& second_bitmap);
  GRasterGraphic(const GBitmap& bitmap, const GShortRect& source, const GShortRect& target,
                 const GBitmap& second_bitmap, GAttributeComposite* attributes,
                 const std::uint32_t& key);
  // Shares the attribute set and both implementations.
  GRasterGraphic(const GRasterGraphic& other) = default;
  GRasterGraphic& operator=(const GRasterGraphic&) = delete;

  // The GGraphic part, 20 and both bitmaps.
  RWSize StoredSize() const override;
  // The same object; or the same class id, equal GGraphic parts, first
  // bitmaps equal in content, equal rectangles and second bitmaps equal
  // in content.
  bool IsEqualContent(const MPersistentObject* other) const override;
  // The first bitmap takes borrowed pixels into a block of its own; the
  // second is left as it is.
  void MakeSelfContained() override;
  // device.DrawBitmap(*this).
  std::uint16_t Execute(GPeripheral& device) override;
  // False here, true for the pre-scaled graphic.
  virtual bool IsPreScaled() const { return false; }

  // Handles that share the graphic's bitmaps.
  GBitmap GetBitmap() const { return bitmap_; }
  GBitmap GetSecondBitmap() const { return second_bitmap_; }
  // The source and the target rectangle.
  GShortRect GetFirstRect() const { return source_; }
  GShortRect GetSecondRect() const { return target_; }
  // See above. `clip` (null: none) is read only during the call.
  std::uint32_t FitToClip(const GClip* clip, GShortRect& visible_source,
                          GShortRect& visible_target) const;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GBitmap bitmap_;
  GShortRect source_;  // in the bitmap's pixels
  GShortRect target_;  // on the page
  GBitmap second_bitmap_;
};

class GPreScaledRasterGraphic final : public GRasterGraphic {
 public:
  using GRasterGraphic::GRasterGraphic;
  GPreScaledRasterGraphic(const GPreScaledRasterGraphic& other) = default;

  RWCollectable* CreateDefault() const override;
  RWCollectable* CreateCopy() const override;
  RWClassID ClassId() const override { return kGPreScaledRasterGraphicId; }
  // 609, then GRasterGraphic's.
  bool IsKindOf(const RWClassID& id) const override;
  bool IsPreScaled() const override { return true; }
};

// The file's classes, in registration order.
std::span<const RWClassRegistration> RasterGraphicClasses();

extern template class MPersistentClass<GRasterGraphic, GGraphic, kGRasterGraphicId>;
