// GCopiesRange: the copies a printer makes of a document, read from its
// job settings' range attribute kCopiesRangeKey (199). Every reader of that
// range goes through here, so that what holds without one is said once:
// any positive count a 16-bit copies field holds (1 to 32,767). A caller
// that needs something else without a range (a check that fails, a count
// of 1, no capability) tests Exists() and says why where it calls.
//
// A small value: it keeps no pointer into the tree it was read from.
// Threads: as the tree it reads.
#pragma once

#include <cstdint>
#include <limits>

class GRangeAttribute;
class MPersistentObject;

class GCopiesRange {
 public:
  // Without a range.
  static constexpr std::int16_t kFallbackMinimum = 1;
  static constexpr std::int16_t kFallbackMaximum = std::numeric_limits<std::int16_t>::max();

  // The range under kCopiesRangeKey in `settings` (the job settings, or the
  // configuration a settings page reads; may be null): the first match
  // when it is a GRangeAttribute, else none.
  static GCopiesRange Of(MPersistentObject* settings);
  // The range `range` (null: none).
  explicit GCopiesRange(const GRangeAttribute* range);

  bool Exists() const { return exists_; }
  // The range's own bounds (GRangeAttribute keeps minimum <= maximum; a
  // restore may not), else the fallback's.
  std::int16_t Minimum() const { return minimum_; }
  std::int16_t Maximum() const { return maximum_; }
  // Whether `copies` lies within Minimum() and Maximum().
  bool Contains(std::int16_t copies) const { return minimum_ <= copies && copies <= maximum_; }

 private:
  bool exists_ = false;
  std::int16_t minimum_ = kFallbackMinimum;
  std::int16_t maximum_ = kFallbackMaximum;
};
