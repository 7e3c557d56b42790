#include "foundation/rw/storetable.h"

#include <algorithm>
#include <memory>

namespace {

// Deeper nesting than any real graph of the system; corrupt data stops here.
constexpr int kMaxReadDepth = 1024;

// The open tables of this thread, innermost last.
template <class Table>
struct OpenTables {
  struct Open {
    const void* key;
    std::unique_ptr<Table> table;
  };
  std::vector<Open> open;

  Table* Find(const void* key) {
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
      if (it->key == key) return it->table.get();
    }
    return nullptr;
  }
  Table* Make(const void* key) {
    open.push_back({key, std::make_unique<Table>()});
    return open.back().table.get();
  }
  void Drop(const void* key) {
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
      if (it->key == key) {
        open.erase(std::next(it).base());
        return;
      }
    }
  }
};

thread_local OpenTables<RWStoreTable> t_save_tables;
thread_local OpenTables<RWReadTable> t_read_tables;

}  // namespace

RWStoreTable::RWStoreTable() {
  std::uint32_t nil;
  AddObject(RWNilCollectable(), nil);
}

bool RWStoreTable::AddObject(const RWCollectable* object, std::uint32_t& number) {
  auto [it, added] = objects_.try_emplace(object, count_);
  number = it->second;
  if (added) ++count_;
  return added;
}

bool RWStoreTable::AddString(const RWStringID& name, std::uint32_t& number) {
  auto [it, added] = strings_.try_emplace(std::string(name.Data(), name.Length()), count_);
  number = it->second;
  if (added) ++count_;
  return added;
}

RWReadTable::RWReadTable() {
  entries_.reserve(30);
  AddObject(RWNilCollectable());
}

bool RWReadTable::ObjectAt(std::int64_t number, RWCollectable*& object) const {
  if (number < 0 || number >= static_cast<std::int64_t>(entries_.size())) return false;
  const Entry& entry = entries_[static_cast<std::size_t>(number)];
  if (!entry.is_object) return false;
  object = entry.object;
  return true;
}

bool RWReadTable::ClassIdAt(std::int64_t number, RWClassID& id) const {
  if (number < 0 || number >= static_cast<std::int64_t>(entries_.size())) return false;
  const Entry& entry = entries_[static_cast<std::size_t>(number)];
  if (entry.is_object) return false;
  id = entry.id;
  return true;
}

bool RWReadTable::Enter() {
  if (depth_ >= kMaxReadDepth) return false;
  ++depth_;
  return true;
}

RWSaveTableGuard::RWSaveTableGuard(const void* key)
    : key_(key), table_(t_save_tables.Find(key)), created_(table_ == nullptr) {
  if (created_) table_ = t_save_tables.Make(key);
}

RWSaveTableGuard::~RWSaveTableGuard() {
  if (created_) t_save_tables.Drop(key_);
}

RWReadTableGuard::RWReadTableGuard(const void* key)
    : key_(key), table_(t_read_tables.Find(key)), created_(table_ == nullptr) {
  if (created_) table_ = t_read_tables.Make(key);
}

RWReadTableGuard::~RWReadTableGuard() {
  if (created_) t_read_tables.Drop(key_);
}

bool RWReadTableGuard::IsOpen(const void* key) {
  return t_read_tables.Find(key) != nullptr;
}
