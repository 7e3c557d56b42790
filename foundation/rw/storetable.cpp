#include "foundation/rw/storetable.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>

#include "foundation/rw/association.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/collection.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/slistcollectables.h"
#include "platform/thread_part.h"

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
  // Takes the innermost table of `key` out of the list.
  std::unique_ptr<Table> Take(const void* key) {
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
      if (it->key == key) {
        std::unique_ptr<Table> table = std::move(it->table);
        open.erase(std::next(it).base());
        return table;
      }
    }
    return nullptr;
  }
};

thread_local platform::ThreadPart<OpenTables<RWStoreTable>> t_save_tables;
thread_local platform::ThreadPart<OpenTables<RWReadTable>> t_read_tables;

// The keepers of this thread: one entry per key, with the nesting of its
// keepers and the table of the outermost read on the key that ended last.
struct Kept {
  const void* key;
  int depth;
  std::unique_ptr<RWReadTable> table;
};
thread_local platform::ThreadPart<std::vector<Kept>> t_kept;

Kept* FindKept(const void* key) {
  for (Kept& kept : t_kept.Get()) {
    if (kept.key == key) return &kept;
  }
  return nullptr;
}

// What a holder of the class library holds of a read's objects: the
// members of a collection (a dictionary's associations), the key and value
// of an association. Only objects the read made as holders are visited:
// they live until the read ends, which model objects need not.
template <class Visit>
void ForEachPart(RWCollectable* object, RWReadTable::Holder holder, Visit visit) {
  switch (holder) {
    case RWReadTable::Holder::kNone:
      return;
    case RWReadTable::Holder::kAssociation: {
      auto* association = dynamic_cast<RWCollectableAssociation*>(object);
      if (!association) return;
      visit(association->Key());
      visit(association->Value());
      return;
    }
    case RWReadTable::Holder::kCollection:
    case RWReadTable::Holder::kDictionary: {
      auto* collection = dynamic_cast<RWCollectionBase*>(object);
      if (!collection) return;
      collection->ForEach(
          [](RWCollectable* member, void* datum) { (*static_cast<Visit*>(datum))(member); },
          &visit);
      return;
    }
  }
}

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
  by_address_.reserve(30);
  AddObject(RWNilCollectable(), false);
}

void RWReadTable::Append(const Entry& entry) {
  if (by_address_.capacity() <= entries_.size())
    by_address_.reserve(std::max(entries_.capacity(), 2 * entries_.size() + 1));
  entries_.push_back(entry);
}

std::uint32_t RWReadTable::AddObject(RWCollectable* object, bool created, RWClassID id) {
  // The class library's holders, told by the class id of the token that
  // made them: no call on the object for every object read.
  Holder holder = Holder::kNone;
  switch (created && object ? id : kRWNoClassId) {
    case kRWCollectableAssociationId:
    case kRWCollectableIDAssociationId:
      holder = Holder::kAssociation;
      break;
    case kRWBTreeDictionaryId:
      holder = Holder::kDictionary;
      break;
    case kRWBTreeId:
    case kRWHashTableId:
    case kRWSetId:
    case kRWIdentitySetId:
    case kRWSlistCollectablesId:
    case kRWSlistCollectablesStackId:
      holder = Holder::kCollection;
      break;
    default:
      break;
  }
  Append({object, 0, true, created && object, holder, 1, 0});
  return static_cast<std::uint32_t>(entries_.size() - 1);
}

void RWReadTable::BeginRestore(std::uint32_t number) {
  if (number < entries_.size()) entries_[number].restoring = true;
}

void RWReadTable::SetLastHandedOut(std::uint32_t number) {
  if (number < entries_.size()) entries_[number].restoring = false;
  last_ = number;
}

void RWReadTable::Abandon() noexcept {
  for (Entry& entry : entries_) {
    if (entry.restoring && entry.handed_out > 0) --entry.handed_out;
    entry.restoring = false;
  }
  ++refusals_;
}

void RWReadTable::NoteHandedOut(std::uint32_t number) {
  if (number < entries_.size()) ++entries_[number].handed_out;
  last_ = number;
}

bool RWReadTable::Refuse(const RWCollectable* object) {
  if (!object) return false;
  // Mostly the object the last token handed out: its reader refuses it
  // before it reads on.
  std::size_t at = last_;
  if (at >= entries_.size() || entries_[at].object != object || !entries_[at].created) {
    at = entries_.size();
    while (at > 0 && !(entries_[at - 1].created && entries_[at - 1].object == object))
      --at;
    if (at == 0) return false;
    --at;
  }
  ++entries_[at].refused;
  ++refusals_;
  return true;
}

bool RWReadTable::CreatedNumber(const RWCollectable* object, std::size_t& number) const {
  const std::less<const RWCollectable*> before;
  auto it = std::lower_bound(
      by_address_.begin(), by_address_.end(), object,
      [&](std::uint32_t i, const RWCollectable* o) { return before(entries_[i].object, o); });
  if (it == by_address_.end() || entries_[*it].object != object) return false;
  number = *it;
  return true;
}

void RWReadTable::FreeRefused() noexcept {
  if (refusals_ == 0) return;
  const std::size_t n = entries_.size();
  // Append made the room; should it be missing, nothing is freed rather
  // than something allocated here.
  if (by_address_.capacity() < n) return;
  by_address_.clear();
  for (std::size_t i = 0; i < n; ++i) {
    entries_[i].inside = 0;
    entries_[i].held = false;
    if (entries_[i].created) by_address_.push_back(static_cast<std::uint32_t>(i));
  }
  const std::less<const RWCollectable*> before;
  std::sort(by_address_.begin(), by_address_.end(), [&](std::uint32_t a, std::uint32_t b) {
    return before(entries_[a].object, entries_[b].object);
  });
  auto each_part = [&](std::size_t i, auto visit) {
    ForEachPart(entries_[i].object, entries_[i].holder, [&](RWCollectable* part) {
      std::size_t j = 0;
      if (part && CreatedNumber(part, j)) visit(j);
    });
  };
  // How often the read's own holders hold each object.
  for (std::size_t i = 0; i < n; ++i)
    each_part(i, [&](std::size_t j) { ++entries_[j].inside; });
  // Held: an object one of whose hand-outs was taken by something other
  // than the read's own holders (the caller, a model object's counted
  // pointer, a holder the read did not make), for it was neither refused
  // nor is it one of those holdings; and what a held object holds. The
  // work list runs through the entries.
  constexpr std::uint32_t kNone = ~std::uint32_t{0};
  std::uint32_t work = kNone;
  auto hold = [&](std::size_t i) {
    if (entries_[i].held) return;
    entries_[i].held = true;
    entries_[i].next = work;
    work = static_cast<std::uint32_t>(i);
  };
  for (std::size_t i = 0; i < n; ++i) {
    const Entry& e = entries_[i];
    if (e.created && std::uint64_t{e.refused} + e.inside < e.handed_out) hold(i);
  }
  while (work != kNone) {
    const std::size_t i = work;
    work = entries_[i].next;
    each_part(i, [&](std::size_t j) { hold(j); });
  }
  // Nobody holds the rest: free it, each object once. A dictionary first
  // lets go of its associations, which it would delete with itself: those
  // that are held stay, the others are freed here.
  for (std::size_t i = 0; i < n; ++i) {
    if (entries_[i].created && !entries_[i].held && entries_[i].holder == Holder::kDictionary) {
      if (auto* dictionary = dynamic_cast<RWBTreeDictionary*>(entries_[i].object))
        dictionary->Abandon();
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (entries_[i].created && !entries_[i].held) delete entries_[i].object;
  }
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
    : key_(key), table_(t_save_tables.Get().Find(key)), created_(table_ == nullptr) {
  if (created_) table_ = t_save_tables.Get().Make(key);
}

RWSaveTableGuard::~RWSaveTableGuard() {
  if (created_) t_save_tables.Get().Take(key_);
}

RWReadTableGuard::RWReadTableGuard(const void* key)
    : key_(key),
      table_(t_read_tables.Get().Find(key)),
      created_(table_ == nullptr),
      unwinding_(std::uncaught_exceptions()) {
  if (created_) table_ = t_read_tables.Get().Make(key);
}

RWReadTableGuard::~RWReadTableGuard() {
  if (!created_) return;
  std::unique_ptr<RWReadTable> ended = t_read_tables.Get().Take(key_);
  // An exception out of the read (std::bad_alloc) left the object being
  // made in no one's hands.
  if (ended && std::uncaught_exceptions() > unwinding_) ended->Abandon();
  if (Kept* kept = FindKept(key_)) std::swap(kept->table, ended);
  if (ended) ended->FreeRefused();
}

bool RWReadTableGuard::IsOpen(const void* key) {
  return t_read_tables.Get().Find(key) != nullptr;
}

bool RWReadTableGuard::Refuse(const void* key, const RWCollectable* object) {
  if (RWReadTable* open = t_read_tables.Get().Find(key); open && open->Refuse(object)) return true;
  Kept* kept = FindKept(key);
  return kept && kept->table && kept->table->Refuse(object);
}

RWReadTableKeeper::RWReadTableKeeper(const void* key) : key_(key) {
  if (Kept* kept = FindKept(key)) {
    ++kept->depth;
  } else {
    t_kept.Get().push_back({key, 1, nullptr});
  }
}

RWReadTableKeeper::~RWReadTableKeeper() {
  Kept* kept = FindKept(key_);
  if (!kept || --kept->depth > 0) return;
  std::unique_ptr<RWReadTable> ended = std::move(kept->table);
  std::vector<Kept>& all = t_kept.Get();
  all.erase(all.begin() + (kept - all.data()));
  if (ended) ended->FreeRefused();
}
