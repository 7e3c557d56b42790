#include "driver/document_event_table.h"

bool GDocumentEventTable::Insert(platform::HANDLE printer, std::uint32_t cookie) {
  Bucket& bucket = buckets_[BucketOf(printer)];
  for (const Entry& entry : bucket) {
    if (entry.printer == printer) return false;
  }
  bucket.push_back(Entry{printer, cookie});
  ++entries_;
  return true;
}

bool GDocumentEventTable::Find(platform::HANDLE printer, std::uint32_t& cookie) const {
  for (const Entry& entry : buckets_[BucketOf(printer)]) {
    if (entry.printer == printer) {
      cookie = entry.cookie;
      return true;
    }
  }
  return false;
}

bool GDocumentEventTable::Remove(platform::HANDLE printer) {
  Bucket& bucket = buckets_[BucketOf(printer)];
  for (auto it = bucket.begin(); it != bucket.end(); ++it) {
    if (it->printer == printer) {
      bucket.erase(it);
      --entries_;
      return true;
    }
  }
  return false;
}
