// The tables of one outermost save or restore.
//
// RWStoreTable numbers what a save has written: objects by address and
// class-name strings by text share one numbering, with the nil object as 0.
// The read table keeps, by number, what a restore has read: objects, and
// the class ids of class-name strings; its entries are typed so that a back
// reference can only name what it may.
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

  void AddObject(RWCollectable* object) { entries_.push_back({object, 0, true}); }
  void AddClassId(RWClassID id) { entries_.push_back({nullptr, id, false}); }
  std::uint32_t Count() const { return static_cast<std::uint32_t>(entries_.size()); }

  // The object with that number; false when the number is out of range or
  // names a class-name entry.
  bool ObjectAt(std::int64_t number, RWCollectable*& object) const;
  // The class id of a class-name entry; false otherwise.
  bool ClassIdAt(std::int64_t number, RWClassID& id) const;

  // Nesting of restores through this table, bounded so that corrupt data
  // cannot exhaust the stack.
  bool Enter();
  void Leave() { --depth_; }

 private:
  struct Entry {
    RWCollectable* object;
    RWClassID id;
    bool is_object;
  };
  std::vector<Entry> entries_;
  int depth_ = 0;
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

 private:
  const void* key_;
  RWReadTable* table_;
  bool created_;
};
