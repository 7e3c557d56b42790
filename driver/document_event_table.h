// GDocumentEventTable: which checked-out context belongs to a printer
// handle between the create-DC and the delete-DC document events. 16
// buckets, never rehashed; the bucket of a handle is its value modulo 16.
// One entry per handle: a handle that has one is not entered again (its
// document's context is in use until its delete-DC).
//
// Ownership: the library entry owns the table. Threads: none; the document
// events take the table's lock around every use.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/host/types.h"

class GDocumentEventTable {
 public:
  static constexpr std::uint32_t kBuckets = 16;

  // Enters `cookie` for `printer`; false, and nothing entered, when the
  // handle has an entry.
  bool Insert(platform::HANDLE printer, std::uint32_t cookie);
  // The handle's cookie; false when it has none.
  bool Find(platform::HANDLE printer, std::uint32_t& cookie) const;
  // Takes the handle's entry out; false when it had none.
  bool Remove(platform::HANDLE printer);
  std::uint32_t Entries() const { return entries_; }

 private:
  struct Entry {
    platform::HANDLE printer;
    std::uint32_t cookie;
  };
  using Bucket = std::vector<Entry>;

  static std::size_t BucketOf(platform::HANDLE printer) {
    return reinterpret_cast<std::uintptr_t>(printer) % kBuckets;
  }

  std::array<Bucket, kBuckets> buckets_;
  std::uint32_t entries_ = 0;
};
