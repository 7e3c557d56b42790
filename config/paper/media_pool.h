// GMediaPool: the media a setting can choose from, an enumeration
// (enum_attribute.h) whose choices are GMedia objects (media.h). It finds a
// medium by its paper size code among the media of one orientation and
// resolution, through a filtering walk over its choices.
//
// GMediaPoolIterator: that walk. Next stops only at media of the
// iterator's orientation and x and y resolution whose paper width and
// height lie within its minimum and maximum sizes (bounds included, signed
// 16-bit comparisons); choices that are no media are passed over. It is the
// enumeration's child iterator, so a ReplaceCurrent through it keeps the
// pool's current choice valid, and Current answers null when no medium is
// current.
//
// Class id 1006, registered as "GMediaPool"; kind test 1006, 764, 757,
// 753, 751. TypeId stays the enumeration's, 764, and so does Execute
// (GPeripheral::SetEnumAttribute). Content equality: the same class id and
// equal enumeration parts.
//
// Stored form, after the enumeration part (the media are its children):
//   version  u32  kMediaPoolVersion
// Nothing else is read, whatever the version. Stored size: the enumeration
// part and 4.
//
// Ownership: as GEnumAttribute; iterators are the caller's to delete and
// must not outlive the pool. Threads: one thread at a time.
#pragma once

#include <cstdint>
#include <span>

#include "config/attributes/enum_attribute.h"
#include "config/paper/media.h"
#include "persist/model_class.h"

inline constexpr RWClassID kGMediaPoolId = 1006;
inline constexpr std::uint32_t kMediaPoolVersion = 1;

// Paper size codes of the limit media that the configuration's pools hold:
// the largest and the smallest custom size the printer takes (the lower
// and upper bounds of custom sizes and of the forms checked against them),
// and another pair, the upper and lower size limits of the media list that
// custom sizes are checked against.
inline constexpr std::uint16_t kLargestCustomSizeId = 17384;
inline constexpr std::uint16_t kSmallestCustomSizeId = 17385;
inline constexpr std::uint16_t kUpperSizeLimitId = 17388;
inline constexpr std::uint16_t kLowerSizeLimitId = 17389;
// The bounds of FindByPaperSizeId's walk.
inline constexpr std::int16_t kLargestMediaLength = 32767;

class GMediaPool;

class GMediaPoolIterator final : public GEnumChildIterator {
 public:
  // REQUIRES: `pool` outlives the iterator.
  GMediaPoolIterator(GMediaPool* pool, GCountedPtrVector& children, std::uint32_t orientation,
                     std::uint16_t x_resolution, std::uint16_t y_resolution, const GSize16& minimum,
                     const GSize16& maximum);

  // To the next medium that passes the filter; false when none is left
  // (the position is then -1 again).
  bool Next() override;

  // The filter itself, for walks that only read the pool's children.
  static bool Passes(const GMedia& medium, std::uint32_t orientation, std::uint16_t x_resolution,
                     std::uint16_t y_resolution, const GSize16& minimum, const GSize16& maximum) {
    const GSize16& paper = medium.GetPaperSize();
    return medium.GetOrientation() == orientation && medium.GetXResolution() == x_resolution &&
           medium.GetYResolution() == y_resolution && minimum.width <= paper.width &&
           paper.width <= maximum.width && minimum.height <= paper.height &&
           paper.height <= maximum.height;
  }

 private:
  std::uint16_t x_resolution_;
  std::uint16_t y_resolution_;
  std::uint32_t orientation_;
  GSize16 minimum_;
  GSize16 maximum_;
};

class GMediaPool final : public MPersistentClass<GMediaPool, GEnumAttribute, kGMediaPoolId> {
 public:
  // Key 0, no media.
  GMediaPool() = default;
  explicit GMediaPool(const std::uint32_t& key) : MPersistentClass(key) {}
  // Shares the media as the enumeration copy does.
  GMediaPool(const GMediaPool& other) = default;

  // The first medium of that orientation and resolution, between (0, 0)
  // and (32767, 32767), whose paper size code is `paper_size_id`; null
  // when there is none.
  GMedia* FindByPaperSizeId(std::uint16_t paper_size_id, std::uint32_t orientation,
                            std::uint16_t x_resolution, std::uint16_t y_resolution);
  // FindByPaperSizeId of two codes in one walk: `first` and `second` get
  // the media of `first_id` and `second_id` (null for a missing one).
  void FindByPaperSizeIds(std::uint16_t first_id, std::uint16_t second_id,
                          std::uint32_t orientation, std::uint16_t x_resolution,
                          std::uint16_t y_resolution, GMedia*& first, GMedia*& second);
  // A new filtering walk, which the caller deletes; null when memory runs
  // out. The second form takes one resolution for x and y.
  GMediaPoolIterator* CreateFilteredIterator(std::uint32_t orientation, std::uint16_t x_resolution,
                                             std::uint16_t y_resolution, const GSize16& minimum,
                                             const GSize16& maximum);
  GMediaPoolIterator* CreateFilteredIterator(std::uint32_t orientation, std::uint16_t resolution,
                                             const GSize16& minimum, const GSize16& maximum);

  // The enumeration part and 4.
  RWSize StoredSize() const override;
  bool IsEqualContent(const MPersistentObject* other) const override;
  // 764, the enumeration's.
  RWClassID TypeId() const override;

 private:
  friend class MPersistentClass;

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);
};

extern template class MPersistentClass<GMediaPool, GEnumAttribute, kGMediaPoolId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> MediaPoolClasses();
