// The tables of one outermost save or restore.
//
// RWStoreTable numbers what a save has written: objects by address and
// class-name strings by text share one numbering, with the nil object as 0.
// The read table keeps, by number, what a restore has read: objects, and
// the class ids of class-name strings; its entries are typed so that a back
// reference can only name what it may. For each object the read created it
// also counts how often the read handed it out (its creation and every back
// reference to it) and how often a reader refused it (RWRefuseRestored):
// when the outermost read ends after a refusal, every object it made that
// nobody holds is freed, once (FreeRefused).
//
// A table belongs to one outermost operation on one stream or file, on one
// thread: the guards find the current thread's table for that stream or
// file, or make one and own it for the outermost call. Nested calls on the
// same stream or file share it; calls on other streams or files (a record
// written while an outer save is open) get their own.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/rw/collect.h"

class RWStoreTable {
 public:
  RWStoreTable();
  RWStoreTable(const RWStoreTable&) = delete;
  RWStoreTable& operator=(const RWStoreTable&) = delete;

  // Adds the object (or finds it); answers true when it is new. `number`
  // receives its number either way.
  bool AddObject(const RWCollectable* object, std::uint32_t& number);
  bool AddString(const RWStringID& name, std::uint32_t& number);
  std::uint32_t Count() const { return count_; }

 private:
  std::unordered_map<const RWCollectable*, std::uint32_t> objects_;
  std::unordered_map<std::string, std::uint32_t> strings_;
  std::uint32_t count_ = 0;
};

class RWReadTable {
 public:
  RWReadTable();
  RWReadTable(const RWReadTable&) = delete;
  RWReadTable& operator=(const RWReadTable&) = delete;

  // Enters an object of class `id` (null for an embedded part, which
  // nothing may name): `created` when the read made it, so that it may free
  // it. Answers its number.
  std::uint32_t AddObject(RWCollectable* object, bool created, RWClassID id = kRWNoClassId);
  void AddClassId(RWClassID id) { Append({nullptr, id, false, false, Holder::kNone, 0, 0}); }
  std::uint32_t Count() const { return static_cast<std::uint32_t>(entries_.size()); }

  // The read handed out the object with that number once more (a back
  // reference).
  void NoteHandedOut(std::uint32_t number);
  // The object with that number is being restored: it is handed to no one
  // until its token ends.
  void BeginRestore(std::uint32_t number);
  // The token that ended last handed out the object with that number.
  void SetLastHandedOut(std::uint32_t number);
  // A reader refused `object`: true when this read created it.
  bool Refuse(const RWCollectable* object);
  // After a refusal: frees, once each, the objects the read made that
  // nobody holds. An object is held when one of its hand-outs was taken
  // by something other than the read's own collections and associations
  // (the caller, a model object), or when a held collection or
  // association holds it; the rest (refused objects, what only they hold,
  // cycles among them) is freed. A freed dictionary lets go of its
  // associations first, so that those still held live on. It runs in the
  // destructors of the guards and keepers, which may run while memory is
  // short: it allocates nothing (the room it works in is made with each
  // entry).
  void FreeRefused() noexcept;
  // The read is unwinding (memory ran short inside it): what it made that
  // nobody took is freed as if refused, the objects it was restoring (whose
  // hand-out no one took) among it.
  void Abandon() noexcept;

  // The object with that number; false when the number is out of range or
  // names a class-name entry.
  bool ObjectAt(std::int64_t number, RWCollectable*& object) const;
  // The class id of a class-name entry; false otherwise.
  bool ClassIdAt(std::int64_t number, RWClassID& id) const;

  // Nesting of restores through this table, bounded so that corrupt data
  // cannot exhaust the stack.
  bool Enter();
  void Leave() { --depth_; }

  // What a made object holds that FreeRefused must follow.
  enum class Holder : std::uint8_t { kNone, kAssociation, kCollection, kDictionary };

 private:
  struct Entry {
    RWCollectable* object;
    RWClassID id;
    bool is_object;
    bool created;
    Holder holder;
    std::uint32_t handed_out;
    std::uint32_t refused;
    bool restoring = false;  // between BeginRestore and its token's end
    // FreeRefused's own: how often the read's holders hold it, whether it
    // is held, and the next entry of its work list.
    std::uint32_t inside = 0;
    bool held = false;
    std::uint32_t next = 0;
  };
  // Enters `entry`, and room for its number in by_address_ first.
  void Append(const Entry& entry);
  // The number of the created entry of `object`; false when none.
  bool CreatedNumber(const RWCollectable* object, std::size_t& number) const;

  std::vector<Entry> entries_;
  // The created entries' numbers by the objects' addresses, sorted by
  // FreeRefused; its capacity is kept at least that of entries_.
  std::vector<std::uint32_t> by_address_;
  int depth_ = 0;
  std::uint32_t last_ = 0;      // the number the last token handed out
  std::uint32_t refusals_ = 0;  // how many Refuse calls found their object
};

// Scope guards: the current thread's table for `key` (a stream or a file),
// made and owned by the outermost guard.
class RWSaveTableGuard {
 public:
  explicit RWSaveTableGuard(const void* key);
  ~RWSaveTableGuard();
  RWSaveTableGuard(const RWSaveTableGuard&) = delete;
  RWSaveTableGuard& operator=(const RWSaveTableGuard&) = delete;

  bool CreatedByMe() const { return created_; }
  RWStoreTable& Table() { return *table_; }

 private:
  const void* key_;
  RWStoreTable* table_;
  bool created_;
};

class RWReadTableGuard {
 public:
  explicit RWReadTableGuard(const void* key);
  ~RWReadTableGuard();
  RWReadTableGuard(const RWReadTableGuard&) = delete;
  RWReadTableGuard& operator=(const RWReadTableGuard&) = delete;

  bool CreatedByMe() const { return created_; }
  RWReadTable& Table() { return *table_; }

  // Whether the current thread has a restore open on `key`.
  static bool IsOpen(const void* key);
  // Refuses `object` (RWReadTable::Refuse) in the current thread's open
  // read on `key`, or in the read that a keeper of `key` kept; false when
  // no such read created it.
  static bool Refuse(const void* key, const RWCollectable* object);

 private:
  const void* key_;
  RWReadTable* table_;
  bool created_;
  int unwinding_;  // exceptions in flight when the read began
};

// While a keeper of `key` lives, the table of an outermost read on `key`
// that ends is kept (until the next one ends, or the keeper goes) instead of
// being freed at once, so that the reader that asked for the object may
// still refuse it: a restore that reads an object and then finds it of the
// wrong kind. Keepers nest; the outermost one frees the kept table's
// refused objects when it goes.
class RWReadTableKeeper {
 public:
  explicit RWReadTableKeeper(const void* key);
  ~RWReadTableKeeper();
  RWReadTableKeeper(const RWReadTableKeeper&) = delete;
  RWReadTableKeeper& operator=(const RWReadTableKeeper&) = delete;

 private:
  const void* key_;
};
