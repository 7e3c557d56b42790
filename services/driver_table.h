// GDriverTable: one table of the driver server: driver data entered under
// 32-bit cookies. 64 buckets, never rehashed; the bucket of a cookie is the
// cookie modulo 64, and a bucket keeps its entries in the order they came.
//
// Cookies: an entry asks for a first cookie (the server passes the folded
// address of the object, GDriverData::MakeCookie); 0 becomes 1, and while
// the cookie is taken the next one is tried (a wrap to 0 becomes 1). So two
// objects whose addresses fold alike get consecutive cookies.
//
// Ownership: the table holds its objects but deletes them only in
// DeleteAll; Remove hands the object back. Threads: none; the server guards
// each table with its own lock.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class GDriverData;

class GDriverTable {
 public:
  static constexpr std::uint32_t kBuckets = 64;

  GDriverTable() = default;
  GDriverTable(const GDriverTable&) = delete;
  GDriverTable& operator=(const GDriverTable&) = delete;

  // Enters `object` and answers its cookie: `first`, or the next free one.
  std::uint32_t Add(GDriverData* object, std::uint32_t first);
  // The object entered under `cookie`, or null.
  GDriverData* Find(std::uint32_t cookie) const;
  // Takes the entry of `cookie` out and answers its object (null when there
  // is none).
  GDriverData* Remove(std::uint32_t cookie);
  // The cookie of the first entry (buckets in order, entries in order) that
  // holds `object`; false when none does.
  bool FindCookie(const GDriverData* object, std::uint32_t& cookie) const;
  // Calls `visit(object)` for each entry, in the order of FindCookie, until
  // it answers true; answers whether one did.
  template <class Visit>
  bool AnyOf(Visit visit) const {
    for (const auto& bucket : buckets_) {
      for (const Entry& entry : bucket) {
        if (visit(entry.object)) return true;
      }
    }
    return false;
  }
  // Empties the table from the last bucket to the first, deleting each
  // object (parking it first when `park_first`).
  void DeleteAll(bool park_first);

  std::uint32_t Entries() const { return entries_; }

 private:
  struct Entry {
    std::uint32_t cookie;
    GDriverData* object;
  };
  using Bucket = std::vector<Entry>;

  Bucket& BucketOf(std::uint32_t cookie) { return buckets_[cookie % kBuckets]; }
  const Bucket& BucketOf(std::uint32_t cookie) const { return buckets_[cookie % kBuckets]; }

  std::array<Bucket, kBuckets> buckets_;
  std::uint32_t entries_ = 0;
};
