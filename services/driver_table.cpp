#include "services/driver_table.h"

#include "services/driver_data.h"

std::uint32_t GDriverTable::Add(GDriverData* object, std::uint32_t first) {
  std::uint32_t cookie = first == 0 ? 1 : first;
  while (Find(cookie) != nullptr) {
    if (++cookie == 0) cookie = 1;
  }
  BucketOf(cookie).push_back(Entry{cookie, object});
  ++entries_;
  return cookie;
}

GDriverData* GDriverTable::Find(std::uint32_t cookie) const {
  for (const Entry& entry : BucketOf(cookie)) {
    if (entry.cookie == cookie) return entry.object;
  }
  return nullptr;
}

GDriverData* GDriverTable::Remove(std::uint32_t cookie) {
  Bucket& bucket = BucketOf(cookie);
  for (auto it = bucket.begin(); it != bucket.end(); ++it) {
    if (it->cookie == cookie) {
      GDriverData* object = it->object;
      bucket.erase(it);
      --entries_;
      return object;
    }
  }
  return nullptr;
}

bool GDriverTable::FindCookie(const GDriverData* object, std::uint32_t& cookie) const {
  for (const Bucket& bucket : buckets_) {
    for (const Entry& entry : bucket) {
      if (entry.object == object) {
        cookie = entry.cookie;
        return true;
      }
    }
  }
  return false;
}

void GDriverTable::DeleteAll(bool park_first) {
  for (auto bucket = buckets_.rbegin(); bucket != buckets_.rend(); ++bucket) {
    for (Entry& entry : *bucket) {
      if (park_first) entry.object->Park();
      delete entry.object;
    }
    bucket->clear();
  }
  entries_ = 0;
}
