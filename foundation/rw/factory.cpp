#include "foundation/rw/factory.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>

#include "foundation/rw/blockcache.h"
#include "foundation/rw/refcount.h"
#include "foundation/rw/support.h"

namespace {

constinit RWLockRecord g_factory_lock;    // every change and lookup
constinit RWLockRecord g_singleton_lock;  // making and destroying the factory
RWFactory* g_factory = nullptr;
std::atomic<std::uint32_t> g_user_ids{0};

const char kNoId[] = "NoID";
const char kNoStringId[] = "No_RWStringID";

}  // namespace

// The two kinds of entries share one set. An entry equals only an entry of
// its own kind: a name entry that lands in its id twin's bucket must not be
// taken for a duplicate of it.
class RWFactoryEntry : public RWCollectable {
 public:
  RWFactoryEntry(RWUserCreator creator, RWClassID id, const RWStringID& name)
      : creator_(creator), id_(id), name_(name) {}

  RWUserCreator Creator() const { return creator_; }
  RWClassID Id() const { return id_; }
  const RWStringID& Name() const { return name_; }

 private:
  RWUserCreator creator_;
  RWClassID id_;
  RWStringID name_;
};

class RWFactoryEntryById : public RWFactoryEntry {
 public:
  using RWFactoryEntry::RWFactoryEntry;
  std::uint32_t Hash() const override { return Id(); }
  bool IsEqual(const RWCollectable* other) const override {
    auto* entry = dynamic_cast<const RWFactoryEntryById*>(other);
    return entry && entry->Id() == Id();
  }
};

class RWFactoryEntryByStringId : public RWFactoryEntry {
 public:
  using RWFactoryEntry::RWFactoryEntry;
  std::uint32_t Hash() const override { return Name().Hash(); }
  bool IsEqual(const RWCollectable* other) const override {
    auto* entry = dynamic_cast<const RWFactoryEntryByStringId*>(other);
    return entry && entry->Name() == Name();
  }
};

// ---------------------------------------------------------------------------
// The catalog: each kind of entry in an open-addressed index, so that a
// look-up touches a few words and builds nothing.

class RWFactoryCatalog {
 public:
  struct Entry {
    RWUserCreator creator = nullptr;
    RWClassID id = 0;
    RWStringID name;
    std::uint32_t name_hash = 0;
  };

  // The catalog of the factory's entries; null when memory for it cannot
  // be had (nothing is raised: look-ups then ask the set).
  // REQUIRES: the factory lock is held.
  static RWFactoryCatalog* Build(const RWFactory& factory);

  const Entry* ById(RWClassID id) const {
    for (std::uint32_t i = SlotOf(id);; i = (i + 1) & mask_) {
      std::uint32_t n = id_slots_[i];
      if (n == 0) return nullptr;
      if (by_id_[n - 1].id == id) return &by_id_[n - 1];
    }
  }

  const Entry* ByName(const RWStringID& name) const {
    std::uint32_t hash = name.Hash();
    for (std::uint32_t i = SlotOf(hash);; i = (i + 1) & mask_) {
      std::uint32_t n = name_slots_[i];
      if (n == 0) return nullptr;
      const Entry& entry = by_name_[n - 1];
      if (entry.name_hash == hash && entry.name == name) return &entry;
    }
  }

 private:
  std::uint32_t SlotOf(std::uint32_t key) const { return (key * 0x9E3779B1u) >> shift_; }
  // Places entry number n (from 1) in the first free slot from `key`'s.
  void Place(std::uint32_t* slots, std::uint32_t key, std::uint32_t n) const {
    std::uint32_t i = SlotOf(key);
    while (slots[i] != 0)
      i = (i + 1) & mask_;
    slots[i] = n;
  }

  std::unique_ptr<Entry[]> by_id_;
  std::unique_ptr<Entry[]> by_name_;
  std::unique_ptr<std::uint32_t[]> id_slots_;    // entry numbers from 1; 0 is free
  std::unique_ptr<std::uint32_t[]> name_slots_;  // the same
  std::uint32_t mask_ = 0;
  std::uint32_t shift_ = 32;
};

RWFactoryCatalog* RWFactoryCatalog::Build(const RWFactory& factory) {
  struct Count {
    std::uint32_t ids = 0;
    std::uint32_t names = 0;
  } count;
  factory.ForEach(
      [](RWCollectable* m, void* c) {
        auto* n = static_cast<Count*>(c);
        ++(dynamic_cast<RWFactoryEntryById*>(m) ? n->ids : n->names);
      },
      &count);
  // At most half full, so that probes stay short.
  std::uint32_t bits = 4;
  while ((1u << bits) < 2 * std::max(count.ids, count.names))
    ++bits;
  const std::uint32_t size = 1u << bits;

  std::unique_ptr<RWFactoryCatalog> catalog(new (kRWNoThrow) RWFactoryCatalog);
  if (!catalog) return nullptr;
  catalog->by_id_.reset(new (kRWNoThrow) Entry[count.ids + 1]);
  catalog->by_name_.reset(new (kRWNoThrow) Entry[count.names + 1]);
  catalog->id_slots_.reset(new (kRWNoThrow) std::uint32_t[size]());
  catalog->name_slots_.reset(new (kRWNoThrow) std::uint32_t[size]());
  if (!catalog->by_id_ || !catalog->by_name_ || !catalog->id_slots_ || !catalog->name_slots_) {
    return nullptr;
  }
  catalog->mask_ = size - 1;
  catalog->shift_ = 32 - bits;

  struct Fill {
    RWFactoryCatalog* catalog;
    std::uint32_t ids = 0;
    std::uint32_t names = 0;
  } fill{catalog.get()};
  factory.ForEach(
      [](RWCollectable* m, void* f) {
        auto* fill = static_cast<Fill*>(f);
        RWFactoryCatalog& c = *fill->catalog;
        auto* entry = static_cast<RWFactoryEntry*>(m);
        bool by_id = dynamic_cast<RWFactoryEntryById*>(entry) != nullptr;
        std::uint32_t n = by_id ? ++fill->ids : ++fill->names;
        Entry& e = (by_id ? c.by_id_ : c.by_name_)[n - 1];
        e.creator = entry->Creator();
        e.id = entry->Id();
        e.name = entry->Name();
        e.name_hash = e.name.Hash();
        c.Place(by_id ? c.id_slots_.get() : c.name_slots_.get(), by_id ? e.id : e.name_hash, n);
      },
      &fill);
  return catalog.release();
}

namespace {

using FactoryLock = platform::LockRecordGuard;
using Catalog = RWPublished<RWFactoryCatalog>;

// The singleton's catalog, read by the free functions; it outlives every
// factory, so that a look-up never touches a factory that may be going.
Catalog g_catalog;

// Answers read(catalog) from the catalog published in `published`, or
// otherwise() when there is none this thread can read.
template <class Read, class Otherwise>
auto ReadCatalog(const Catalog& published, Read read, Otherwise otherwise) {
  {
    Catalog::Reader reader(published);
    if (const RWFactoryCatalog* catalog = reader.Get()) return read(*catalog);
  }
  return otherwise();
}

RWUserCreator CreatorOf(const RWFactoryCatalog::Entry* entry) {
  return entry ? entry->creator : nullptr;
}

const RWFactoryEntry* FindEntry(const RWFactory& factory, const RWFactoryEntry& probe) {
  return static_cast<const RWFactoryEntry*>(factory.Find(&probe));
}

template <class Entry>
void InsertEntry(RWFactory& factory, RWUserCreator creator, RWClassID id, const RWStringID& name) {
  auto* entry = new (kRWNoThrow) Entry(creator, id, name);
  if (entry && factory.Insert(entry) != entry) delete entry;  // the first one stays
}

}  // namespace

RWFactory::RWFactory() : RWSet(64), catalog_(&own_catalog_) {}

RWFactory::RWFactory(RWPublished<RWFactoryCatalog>& catalog) : RWSet(64), catalog_(&catalog) {}

RWFactory::~RWFactory() {
  FactoryLock lock(g_factory_lock);
  catalog_->Publish(nullptr);
  ClearAndDelete();
}

void RWFactory::Publish() {
  catalog_->Publish(RWFactoryCatalog::Build(*this));
}

template <class Read, class FromSet>
auto RWFactory::Lookup(Read read, FromSet from_set) const {
  return ReadCatalog(*catalog_, read, [&] {
    FactoryLock lock(g_factory_lock);
    return from_set();
  });
}

void RWFactory::Add(RWUserCreator creator, RWClassID id, const RWStringID& name) {
  FactoryLock lock(g_factory_lock);
  InsertEntry<RWFactoryEntryById>(*this, creator, id, name);
  InsertEntry<RWFactoryEntryByStringId>(*this, creator, id, name);
  Publish();
}

void RWFactory::Add(RWUserCreator creator, RWClassID id) {
  Add(creator, id, RWStringID(kNoId));
}

void RWFactory::RemoveId(RWClassID id) {
  FactoryLock lock(g_factory_lock);
  RWFactoryEntryById probe(nullptr, id, RWStringID());
  RemoveAndDelete(&probe);
  Publish();
}

void RWFactory::RemoveStringId(const RWStringID& name) {
  FactoryLock lock(g_factory_lock);
  RWFactoryEntryByStringId probe(nullptr, 0, name);
  RemoveAndDelete(&probe);
  Publish();
}

// Without a catalog (no memory for one), the set answers under the lock.

RWUserCreator RWFactory::LookupCreatorById(RWClassID id) const {
  return Lookup([id](const RWFactoryCatalog& c) { return CreatorOf(c.ById(id)); },
                [&] {
                  const RWFactoryEntry* entry =
                      FindEntry(*this, RWFactoryEntryById(nullptr, id, RWStringID()));
                  return entry ? entry->Creator() : nullptr;
                });
}

RWUserCreator RWFactory::LookupCreatorByStringId(const RWStringID& name) const {
  return Lookup([&name](const RWFactoryCatalog& c) { return CreatorOf(c.ByName(name)); },
                [&] {
                  const RWFactoryEntry* entry =
                      FindEntry(*this, RWFactoryEntryByStringId(nullptr, 0, name));
                  return entry ? entry->Creator() : nullptr;
                });
}

RWCollectable* RWFactory::Create(RWClassID id) const {
  RWUserCreator creator = LookupCreatorById(id);
  return creator ? creator() : nullptr;
}

RWCollectable* RWFactory::Create(const RWStringID& name) const {
  RWUserCreator creator = LookupCreatorByStringId(name);
  return creator ? creator() : nullptr;
}

RWStringID RWFactory::StringIdOf(RWClassID id) const {
  return Lookup(
      [id](const RWFactoryCatalog& c) {
        const RWFactoryCatalog::Entry* entry = c.ById(id);
        return entry ? entry->name : RWStringID(kNoId);
      },
      [&] {
        const RWFactoryEntry* entry =
            FindEntry(*this, RWFactoryEntryById(nullptr, id, RWStringID()));
        return entry ? entry->Name() : RWStringID(kNoId);
      });
}

RWClassID RWFactory::IdOf(const RWStringID& name) const {
  return Lookup(
      [&name](const RWFactoryCatalog& c) {
        const RWFactoryCatalog::Entry* entry = c.ByName(name);
        return entry ? entry->id : kRWNoClassId;
      },
      [&] {
        const RWFactoryEntry* entry = FindEntry(*this, RWFactoryEntryByStringId(nullptr, 0, name));
        return entry ? entry->Id() : kRWNoClassId;
      });
}

// ---------------------------------------------------------------------------
// The singleton. Its lock is held around every use of the pointer, so a
// removal that destroys the factory cannot pull it from under a caller;
// look-ups read the singleton's published catalog instead, and take the
// lock only when there is none.

RWFactory* GetFactory() {
  FactoryLock lock(g_singleton_lock);
  if (!g_factory) g_factory = new (kRWNoThrow) RWFactory(g_catalog);
  return g_factory;
}

void DestroyFactory() {
  FactoryLock lock(g_singleton_lock);
  delete g_factory;
  g_factory = nullptr;
}

bool FactoryExists() {
  FactoryLock lock(g_singleton_lock);
  return g_factory != nullptr;
}

void AddClassToFactory(RWUserCreator creator, RWClassID id, const RWStringID& name) {
  FactoryLock lock(g_singleton_lock);
  if (RWFactory* factory = GetFactory()) factory->Add(creator, id, name);
}

void AddClassToFactory(RWUserCreator creator, RWClassID id) {
  AddClassToFactory(creator, id, RWStringID(kNoStringId));
}

RWCollectable* CreateByClassId(RWClassID id) {
  RWUserCreator creator = ReadCatalog(
      g_catalog, [id](const RWFactoryCatalog& c) { return CreatorOf(c.ById(id)); },
      [id]() -> RWUserCreator {
        FactoryLock lock(g_singleton_lock);
        return g_factory ? g_factory->LookupCreatorById(id) : nullptr;
      });
  return creator ? creator() : nullptr;
}

RWCollectable* CreateByStringId(const RWStringID& name) {
  RWUserCreator creator = ReadCatalog(
      g_catalog, [&name](const RWFactoryCatalog& c) { return CreatorOf(c.ByName(name)); },
      [&name]() -> RWUserCreator {
        FactoryLock lock(g_singleton_lock);
        return g_factory ? g_factory->LookupCreatorByStringId(name) : nullptr;
      });
  return creator ? creator() : nullptr;
}

namespace {

template <class Remove>
void RemoveAndMaybeDestroy(Remove remove) {
  FactoryLock lock(g_singleton_lock);
  if (!g_factory) return;
  remove(*g_factory);
  if (g_factory->IsEmpty()) {
    DestroyFactory();
    RWSmallBlockCache::Clear();
  }
}

}  // namespace

void RemoveClassIdFromFactory(RWClassID id) {
  RemoveAndMaybeDestroy([id](RWFactory& f) { f.RemoveId(id); });
}

void RemoveStringIdFromFactory(const RWStringID& name) {
  RemoveAndMaybeDestroy([&name](RWFactory& f) { f.RemoveStringId(name); });
}

RWStringID ClassIdToStringId(RWClassID id) {
  return ReadCatalog(
      g_catalog,
      [id](const RWFactoryCatalog& c) {
        const RWFactoryCatalog::Entry* entry = c.ById(id);
        return entry ? entry->name : RWStringID(kNoId);
      },
      [id] {
        FactoryLock lock(g_singleton_lock);
        return g_factory ? g_factory->StringIdOf(id) : RWStringID(kNoId);
      });
}

RWClassID StringIdToClassId(const RWStringID& name) {
  return ReadCatalog(
      g_catalog,
      [&name](const RWFactoryCatalog& c) {
        const RWFactoryCatalog::Entry* entry = c.ByName(name);
        return entry ? entry->id : kRWNoClassId;
      },
      [&name] {
        FactoryLock lock(g_singleton_lock);
        return g_factory ? g_factory->IdOf(name) : kRWNoClassId;
      });
}

RWClassID NewUserClassId() {
  // The counter stops at the end of the range, so that it never wraps into
  // the system's ids however often it is asked.
  constexpr std::uint32_t kUserIds = kRWLastUserClassId - kRWFirstUserClassId + 1;
  std::uint32_t n = g_user_ids.load(std::memory_order_relaxed);
  do {
    if (n >= kUserIds) return kRWNoClassId;
  } while (!g_user_ids.compare_exchange_weak(n, n + 1, std::memory_order_relaxed));
  return static_cast<RWClassID>(kRWFirstUserClassId + n);
}

bool IsUserClassId(RWClassID id) {
  return id >= kRWFirstUserClassId && id <= kRWLastUserClassId;
}

void ForEachFactoryEntry(void (*visit)(RWClassID, const RWStringID&, bool, void*), void* datum) {
  FactoryLock lock(g_singleton_lock);
  if (!g_factory) return;
  FactoryLock inner(g_factory_lock);
  struct Visit {
    void (*visit)(RWClassID, const RWStringID&, bool, void*);
    void* datum;
  } v{visit, datum};
  g_factory->ForEach(
      [](RWCollectable* m, void* d) {
        auto* vv = static_cast<Visit*>(d);
        auto* entry = static_cast<RWFactoryEntry*>(m);
        bool by_id = dynamic_cast<RWFactoryEntryById*>(entry) != nullptr;
        vv->visit(entry->Id(), entry->Name(), by_id, vv->datum);
      },
      &v);
}
