// The clipping attributes: they restrict drawing to rectangles, or to the
// outline of a path. A graphic's bundle carries its clip under the clip key
// kClipKey.
//
// GClip: the abstract base of the clips, a style attribute (attribute.h)
// with two 32-bit values that the generators and the reducing filter read
// (the second is 0 or 1). Both are 2 by default. Class id 756 in kind tests
// (756, 754, 753, 751), not registered; every clip's TypeId is 756, so an
// attribute set holds one clip per key. Content equality: equal keys and
// both values equal. GetBounds gives the clip's rectangle and answers
// non-zero when it has one.
//
// GClipToRectangle (id 501, "GClipToRectangle"): an ordered list of
// rectangles (a new default clip has room for one; the list grows by 64);
// executing it calls the device's SetClipToRectangle with itself.
// GClipToSingleRectangle (id 504, "GClipToSingleRectangle"): one rectangle;
// executing it calls SetClipToSingleRectangle. GClipToPage (id 503,
// "GClipToPage"): the clip to the whole page, which has no rectangle of its
// own (GetBounds answers an all-zero rectangle and 0); executing it calls
// SetClipToPage; the N-up filter puts the page's rectangle in its place.
// GClipToPath (id 502, "GClipToPath"): the clip to a path, which holds the
// path (a GPathGraphic, path_graphic.h; or none); executing it calls
// SetClipToPath, and a generator executes the path in its clip-path mode
// (printer_language.h). It has no rectangle of its own (GetBounds as the
// clip to the page). It is taken, from its name and its place beside the
// rectangle clips, as the clip whose outline a path gives: the generator
// base's clip-path flag, set while a clip path executes, is what executing
// it drives.
//
// Kind tests: the own id, then GClip's. Content equality: the same object;
// or the same class id and equal GClip parts, and then the same rectangles
// in the same order (two empty lists are equal), the same rectangle, or the
// same path (below).
//
// Copies (CreateCopy, the copy constructor, DeepCopy) keep the whole clip,
// its key, serial number, state and both values included, so that a clip
// copied out of a bundle is still the bundle's clip. Assignment takes only
// the other clip's rectangles (or path) and keeps its own GClip part. A
// clip to a path shares its path with its copies; its DeepCopy holds a
// deep copy of the path. Paths compare equal when both are absent, the
// same, or equal in content.
//
// Stored forms, after the GStyleAttribute part:
//   GClip                   version u32 kClipVersion; first value u32;
//                           second value u32
//   GClipToRectangle        the GClip part; version u32 kClipToRectangleVersion;
//                           count u32; count x (left, top, right, bottom i16)
//   GClipToSingleRectangle  the GClip part; version u32
//                           kClipToSingleRectangleVersion; left, top, right,
//                           bottom i16
//   GClipToPage             the GClip part; version u32 1 (command_class.h)
//   GClipToPath             the GClip part; version u32 kClipToPathVersion;
//                           path  object reference: a GPathGraphic, or the
//                           nil object for none
// A restore of another version reads nothing further of that level. A
// rectangle list read replaces the clip's list in order, once every
// rectangle has arrived (a file must hold them all; the list grows as they
// come, never by the stored count); when they cannot all be read the list
// is left empty and the restore fails. The path read must be a
// GPathGraphic: anything else, or a back reference to an object still being
// restored (a cycle), fails the restore, leaves no path and is refused
// (freed unless the graph holds it elsewhere).
//
// Ownership and threads: as MPersistentObject.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/attribute.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/value_vector.h"
#include "output/core/command_class.h"
#include "output/graphics/short_geometry.h"
#include "persist/counted_ptr.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGClipId = 756;
inline constexpr RWClassID kGClipToRectangleId = 501;
inline constexpr RWClassID kGClipToPathId = 502;
inline constexpr RWClassID kGClipToPageId = 503;
inline constexpr RWClassID kGClipToSingleRectangleId = 504;
inline constexpr std::uint32_t kClipVersion = 1;
inline constexpr std::uint32_t kClipToRectangleVersion = 1;
inline constexpr std::uint32_t kClipToSingleRectangleVersion = 1;
inline constexpr std::uint32_t kClipToPathVersion = 1;
inline constexpr std::uint32_t kDefaultClipValue = 2;

using GShortRectList = RWValueVector<GShortRect>;

class GPathGraphic;

class GClip : public GStyleAttribute {
 public:
  // Both values 2, key 0.
  GClip() = default;
  GClip(std::uint32_t first_value, std::uint32_t second_value, const std::uint32_t& key)
      : GStyleAttribute(key), first_value_(first_value), second_value_(second_value) {}
  GClip(const GClip& other) = default;
  GClip& operator=(const GClip& other) = default;

  // The GStyleAttribute part and 12.
  RWSize StoredSize() const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;
  // 756, 754, 753 and 751.
  bool IsKindOf(const RWClassID& id) const override;
  // Equal keys and both values.
  bool IsEqualContent(const MPersistentObject* other) const override;
  // 756 for every clip.
  RWClassID TypeId() const override;

  // Copies the clip's rectangle to `bounds`; non-zero when there is one.
  virtual std::uint32_t GetBounds(GShortRect& bounds) const = 0;

  std::uint32_t GetFirstValue() const { return first_value_; }
  std::uint32_t GetSecondValue() const { return second_value_; }

 private:
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t first_value_ = kDefaultClipValue;
  std::uint32_t second_value_ = kDefaultClipValue;
};

class GClipToRectangle final
    : public MPersistentClass<GClipToRectangle, GClip, kGClipToRectangleId> {
 public:
  // Default GClip part, an empty list with room for one rectangle.
  GClipToRectangle() : rectangles_(1) {}
  // A list of the one rectangle.
  GClipToRectangle(const GShortRect& rectangle, std::uint32_t first_value,
                   std::uint32_t second_value, const std::uint32_t& key);
  // A copy of the list's rectangles.
  GClipToRectangle(const GShortRectList& rectangles, std::uint32_t first_value,
                   std::uint32_t second_value, const std::uint32_t& key);
  GClipToRectangle(const GClipToRectangle& other) = default;
  // The other clip's rectangles; the own GClip part stays.
  GClipToRectangle& operator=(const GClipToRectangle& other);

  // The GClip part, 8 and 8 per rectangle.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetClipToRectangle(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;
  // The least left and top and the greatest right and bottom over the list;
  // 1. An empty list has no rectangle: all zero, and 0.
  std::uint32_t GetBounds(GShortRect& bounds) const override;

  std::uint32_t GetCount() const { return rectangles_.Count(); }
  // The rectangle at `index`; all zero when the index is not below the
  // count.
  void GetRectangle(GShortRect& rectangle, std::uint32_t index) const;
  const GShortRectList& GetRectangles() const { return rectangles_; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GShortRectList rectangles_;
};

class GClipToSingleRectangle final
    : public MPersistentClass<GClipToSingleRectangle, GClip, kGClipToSingleRectangleId> {
 public:
  // Default GClip part, an all-zero rectangle.
  GClipToSingleRectangle() = default;
  GClipToSingleRectangle(const GShortRect& rectangle, std::uint32_t first_value,
                         std::uint32_t second_value, const std::uint32_t& key)
      : MPersistentClass(first_value, second_value, key), rectangle_(rectangle) {}
  GClipToSingleRectangle(const GClipToSingleRectangle& other) = default;
  // The other clip's rectangle; the own GClip part stays.
  GClipToSingleRectangle& operator=(const GClipToSingleRectangle& other);

  // The GClip part and 12.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // device.SetClipToSingleRectangle(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;
  // The rectangle; 1.
  std::uint32_t GetBounds(GShortRect& bounds) const override;

  const GShortRect& GetRectangle() const { return rectangle_; }
  void SetRectangle(const GShortRect& rectangle) { rectangle_ = rectangle; }

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GShortRect rectangle_;
};

class GClipToPage final : public GCommandClass<GClipToPage, GClip, kGClipToPageId> {
 public:
  // Both values 2.
  explicit GClipToPage(const std::uint32_t& key = 0)
      : GCommandClass(kDefaultClipValue, kDefaultClipValue, key) {}
  GClipToPage(const GClipToPage& other) = default;

  // device.SetClipToPage(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;
  // No rectangle: all zero, and 0.
  std::uint32_t GetBounds(GShortRect& bounds) const override;
};

class GClipToPath final : public MPersistentClass<GClipToPath, GClip, kGClipToPathId> {
 public:
  // Default GClip part, no path.
  GClipToPath() = default;
  // Holds `path` (none when null).
  GClipToPath(GPathGraphic* path, std::uint32_t first_value, std::uint32_t second_value,
              const std::uint32_t& key);
  // Shares the path.
  GClipToPath(const GClipToPath& other) = default;
  // Shares the other clip's path; the own GClip part stays.
  GClipToPath& operator=(const GClipToPath& other);
  ~GClipToPath() override;

  // The GClip part, 4 and the path's graph size.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // A copy holding a deep copy of the path; null when the copy cannot be
  // had (a path that cannot be copied leaves the copy without one).
  MPersistentObject* DeepCopy() override;
  // device.SetClipToPath(*this).
  std::uint16_t Execute(GAttributeHandlers& device) override;
  // No rectangle: all zero, and 0.
  std::uint32_t GetBounds(GShortRect& bounds) const override;

  // The path, or null.
  GPathGraphic* GetPath() const;

 private:
  friend MPersistentClass;
  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  GCountedPtr path_;  // a GPathGraphic, or empty
};

extern template class MPersistentClass<GClipToRectangle, GClip, kGClipToRectangleId>;
extern template class MPersistentClass<GClipToPage, GClip, kGClipToPageId>;
extern template class MPersistentClass<GClipToSingleRectangle, GClip, kGClipToSingleRectangleId>;
extern template class MPersistentClass<GClipToPath, GClip, kGClipToPathId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> ClipClasses();
