// GKeyedPool: the container behind the font pool (tt_font_pool.h) and the
// font database (font_database.h): persistable entries by 32-bit key in a
// B-tree dictionary, walked in ascending key order, with a policy callback
// of the owner that decides what a release pass deletes and what a restore
// over a live pool keeps.
//
// Policy events (new entry, existing entry):
//   1  release pass (null, entry): 1 = remove the entry and delete it
//   3  restore inserted a new key (new, null): the answer is ignored
//   5  restore met a present key (new, existing): 1 = the new entry
//      replaces the existing one (which is deleted), else the new one is
//      deleted
//   0, 2, 4, 6 are the owners' own (6: the two entries are equal)
// Save filter phases: 0 counting (1 = will be written), 1 writing (1 =
// write it now), 2 written (answer ignored).
//
// Stored form (binary file and virtual stream alike):
//   count  u32
//   per entry: key u32, then the entry as an object reference
// A restore reads each entry as an outermost reference: it accepts only an
// entry that the pool's entry check takes (a model object of the owner's
// kind, never the nil object); anything else fails the restore, is freed,
// and ends it. A restore also ends at the first read that fails, however
// large the stored count, and answers 0; the entries restored so far stay.
//
// Ownership: the pool owns its key objects, and each entry from insertion
// until it is removed (Remove hands it to the caller) or deleted by a
// release pass, a restore or the owner. Destruction deletes no entry.
// Threads: one thread at a time; the owners lock around it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/rw/btree.h"

class MPersistentObject;
class RWFile;
class RWVirtualInputStream;
class RWVirtualOutputStream;

class GKeyedPool {
 public:
  enum Event : std::uint32_t {
    kReleaseEvent = 1,
    kRestoredNewEvent = 3,
    kRestoredPresentEvent = 5,
    kEqualityEvent = 6,
  };
  enum Phase : std::uint32_t { kCountPhase = 0, kWritePhase = 1, kWrittenPhase = 2 };

  using Policy = std::uint32_t (*)(MPersistentObject* new_entry, MPersistentObject* existing,
                                   std::uint32_t event);
  using Filter = std::uint32_t (*)(MPersistentObject* entry, std::uint32_t phase, void* datum);
  // Whether a restored entry is of the kind the pool holds.
  using EntryCheck = bool (*)(const MPersistentObject* entry);

  // Either may be null: no policy; any model object accepted.
  explicit GKeyedPool(Policy policy, EntryCheck check = nullptr);
  GKeyedPool(const GKeyedPool&) = delete;
  GKeyedPool& operator=(const GKeyedPool&) = delete;
  // Deletes the key objects and the dictionary's records; not the entries.
  ~GKeyedPool();

  // 1 after storing `entry` under `key`; 0 when the key is present or no
  // memory is left (nothing changes, the caller keeps the entry). The
  // policy is not asked. REQUIRES: `entry` is not null.
  std::uint32_t Insert(std::uint32_t key, MPersistentObject* entry);
  // Empties the pool, handing each entry in key order to `take` (which
  // may delete it; it must not use the pool). Allocates nothing: the
  // owners' destructors release through it.
  void TakeAll(void (*take)(MPersistentObject* entry, void* datum), void* datum);
  // The entry under `key`, taken out and handed to the caller; null when
  // absent.
  MPersistentObject* Remove(std::uint32_t key);
  MPersistentObject* Find(std::uint32_t key) const;
  std::uint32_t Contains(std::uint32_t key) const { return Find(key) != nullptr; }
  std::uint32_t Count() const;
  // The keys in ascending order.
  std::vector<std::uint32_t> GetKeys() const;

  // Asks the policy (null, entry, 1) of every entry in key order, then
  // removes and deletes those that answered 1. Nothing without a policy.
  // Allocates nothing (its room is made as entries come).
  void ReleasePass();

  // 1, or 0 when the stream or file failed.
  std::uint32_t SaveToStream(RWVirtualOutputStream& stream, Filter filter, void* datum);
  std::uint32_t SaveToFile(RWFile& file, Filter filter, void* datum);
  // 1, or 0 when a read failed or an entry was refused.
  std::uint32_t RestoreFromStream(RWVirtualInputStream& stream);
  std::uint32_t RestoreFromFile(RWFile& file);

  Policy GetPolicy() const { return policy_; }

 private:
  template <class Out>
  void Save(Out& out, Filter filter, void* datum);
  template <class In>
  bool Restore(In& in);
  // Puts a restored entry under `key` as the policy says.
  void Place(std::uint32_t key, MPersistentObject* entry);

  Policy policy_;
  EntryCheck check_;
  RWBTreeDictionary dictionary_;  // GPersistableULong -> entry
  // ReleasePass's keys; its capacity is kept above the entries' count.
  std::vector<std::uint32_t> released_;
};
