// Key indexes: the model composites' FindByKey answered from a hash of the
// flattened tree instead of a depth-first walk from the composite each time.
//
// child_walks::FindByKey hands its look-ups here, and the answer is always
// the walk's: the first object, in depth-first pre-order over the
// composite's descendants, whose key matches. Each descendant says through
// MPersistentObject::KeyFind how its own FindByKey answers: a leaf
// (kItself) is tested by its key alone, a composite whose FindByKey is the
// walk over a vector of its children (kChildren) is flattened into the
// order, and anything else (kOwn) is asked its FindByKey, live, at its
// place in the order whenever no earlier object matches. An answer given
// for one class does not hold for a class derived from it (which may
// answer FindByKey its own way): such an object is asked too. The kind is
// noted in each object the first time (MPersistentObject::KeyFindNote):
// objects are classified only while a tree holds them, never while their
// constructors run, so the note is their class's.
//
// Invalidation: one process-wide shape epoch moves on every change that can
// change an answer of an index: a change of a child vector an index has
// covered (GCountedPtrVector's changes), and a key change of an object an
// index has covered (SetKey, assignment, restore). An index answers only at
// the epoch it was built at, so no caller has to tell it about a change. A
// vector or object that no index ever covered leaves the epoch alone:
// building and changing trees nobody looks up by key (command lists,
// copies) costs no shared write. A vector's destruction moves nothing: an
// object inside a live tree goes only by a change of its parent's vector,
// and a tree that goes whole takes its own indexes with it, since each is
// kept for its root vector's number (one per vector, never reused), not
// for the root's address, which a new tree may take. So dropping one
// tree (a device mode's model replaced by another) leaves every other
// tree's index standing.
//
// When: walks answer until the walks at one epoch have tested about as many
// nodes as the tree had at its last index (before the first, twice the
// widest walk), and the index is then built in one walk. A tree changed
// after every few look-ups thus costs at most a few times the walks it
// would have cost; walks that test fewer than kTrackFrom nodes are not
// counted, so that small composites keep no slot.
//
// Memory and threads: each thread keeps its own indexes, at most kSlots,
// the one used least recently going first, and drops those of past epochs
// at its next look-up; an index holds no counted reference and keeps
// nothing alive. So look-ups in one tree from several threads at once stay
// as safe as the walks were (each thread reads the tree and its own
// indexes); a change of a tree must not overlap a look-up in it, as before.
// An index is not built for a tree deeper than kMaxDepth (a walk answers),
// nor when its memory cannot be had.
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
