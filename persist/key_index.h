// Key indexes: the model composites' FindByKey answered from a hash of the
// flattened tree instead of a depth-first walk each time. The answer is
// always the walk's: the first object, in depth-first pre-order over the
// composite's descendants, whose key matches (an object whose FindByKey is
// its own, MKeyFind::kOwn, is asked in its place). An index answers only
// at the process-wide shape epoch it was built at, which every change of a
// covered child vector or of a covered object's key moves on, so no caller
// invalidates anything.
// Threads: each thread keeps its own indexes (at most kSlots); look-ups in
// one tree from several threads are as safe as the walks; a change of a
// tree must not overlap a look-up in it.
// Design notes: docs/notes/persist.md#key-index
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <typeinfo>

class GCountedPtrVector;
class MPersistentObject;

// How an object's FindByKey answers (MPersistentObject::KeyFind).
struct MKeyFind {
  enum Kind : std::uint8_t {
    kItself,    // the object itself when its key matches, else null
    kChildren,  // child_walks::FindByKey over `children`
    kOwn,       // anything else: asked each time
  };
  Kind kind = kOwn;
  const GCountedPtrVector* children = nullptr;
  // The one class the answer holds for; an object of any other class (a
  // derived one may answer FindByKey its own way), or a null here, means
  // kOwn.
  const std::type_info* of = nullptr;
};

namespace key_index {

inline constexpr std::size_t kSlots = 8;
inline constexpr std::size_t kTrackFrom = 32;
inline constexpr std::size_t kMaxDepth = 256;

// Moves the shape epoch.
void MoveEpoch();

// A number for a new index root, never 0 and never given twice.
std::uint64_t NewRootNumber();

// The first descendant of the vector's owner with `key`, depth first.
MPersistentObject* FindByKey(const GCountedPtrVector& children, std::uint32_t key);

// Builds the index of the tree below `root` now, at the current epoch,
// when its FindByKey is the walk over its children (else nothing): for a
// tree that is about to be asked many times (a model just read), which
// would otherwise be walked until the walks add up. Answers stay the
// walk's either way.
void BuildNow(MPersistentObject& root);

// With `eager`, an index is built at the first look-up in a tree at each
// epoch, whatever its size; answers the previous setting (off until then):
// a seam for tests.
bool SetEagerBuilds(bool eager);

}  // namespace key_index

// The mark an index leaves on a vector or an object it covers: once set,
// the holder's changes move the shape epoch. Never cleared; copies start
// unmarked.
class MKeyIndexMark {
 public:
  MKeyIndexMark() = default;
  MKeyIndexMark(const MKeyIndexMark&) = delete;
  MKeyIndexMark& operator=(const MKeyIndexMark&) = delete;

  void Set() {
    if (!set_.load(std::memory_order_relaxed)) set_.store(true, std::memory_order_relaxed);
  }
  // Called on each change of the holder.
  void Changed() const {
    if (set_.load(std::memory_order_relaxed)) key_index::MoveEpoch();
  }

 private:
  // Atomic: threads reading one tree at once may each mark it.
  std::atomic<bool> set_{false};
};

// A vector's mark (as MKeyIndexMark) and its number as an index root,
// given when an index is first kept for it. Never cleared; copies start
// unmarked and unnumbered.
class MKeyIndexVectorMark {
 public:
  MKeyIndexVectorMark() = default;
  MKeyIndexVectorMark(const MKeyIndexVectorMark&) = delete;
  MKeyIndexVectorMark& operator=(const MKeyIndexVectorMark&) = delete;

  void Set() {
    if (!(bits_.load(std::memory_order_relaxed) & kMarked))
      bits_.fetch_or(kMarked, std::memory_order_relaxed);
  }
  void Changed() const {
    if (bits_.load(std::memory_order_relaxed) & kMarked) key_index::MoveEpoch();
  }
  // The root number; 0 while none was given.
  std::uint64_t Number() const { return bits_.load(std::memory_order_relaxed) >> 1; }
  // The root number, given now when there is none.
  std::uint64_t TakeNumber() {
    std::uint64_t bits = bits_.load(std::memory_order_relaxed);
    while ((bits >> 1) == 0) {
      const std::uint64_t fresh = key_index::NewRootNumber();
      if (bits_.compare_exchange_weak(bits, bits | (fresh << 1), std::memory_order_relaxed))
        return fresh;
    }
    return bits >> 1;
  }

 private:
  static constexpr std::uint64_t kMarked = 1;
  // Bit 0 the mark, the rest the root number. Atomic: threads reading one
  // tree at once may each mark or number it.
  std::atomic<std::uint64_t> bits_{0};
};
