#include "foundation/rw/factory.h"

#include <atomic>
#include <mutex>
#include <new>

#include "foundation/rw/blockcache.h"
#include "foundation/rw/refcount.h"

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

namespace {

using FactoryLock = platform::LockRecordGuard;

const RWFactoryEntry* FindEntry(const RWFactory& factory, const RWFactoryEntry& probe) {
  return static_cast<const RWFactoryEntry*>(factory.Find(&probe));
}

template <class Entry>
void InsertEntry(RWFactory& factory, RWUserCreator creator, RWClassID id, const RWStringID& name) {
  auto* entry = new (std::nothrow) Entry(creator, id, name);
  if (entry && factory.Insert(entry) != entry) delete entry;  // the first one stays
}

}  // namespace

RWFactory::RWFactory() : RWSet(64) {}

RWFactory::~RWFactory() {
  FactoryLock lock(g_factory_lock);
  ClearAndDelete();
}

void RWFactory::Add(RWUserCreator creator, RWClassID id, const RWStringID& name) {
  FactoryLock lock(g_factory_lock);
  InsertEntry<RWFactoryEntryById>(*this, creator, id, name);
  InsertEntry<RWFactoryEntryByStringId>(*this, creator, id, name);
}

void RWFactory::Add(RWUserCreator creator, RWClassID id) {
  Add(creator, id, RWStringID(kNoId));
}

void RWFactory::RemoveId(RWClassID id) {
  FactoryLock lock(g_factory_lock);
  RWFactoryEntryById probe(nullptr, id, RWStringID());
  RemoveAndDelete(&probe);
}

void RWFactory::RemoveStringId(const RWStringID& name) {
  FactoryLock lock(g_factory_lock);
  RWFactoryEntryByStringId probe(nullptr, 0, name);
  RemoveAndDelete(&probe);
}

RWUserCreator RWFactory::LookupCreatorById(RWClassID id) const {
  FactoryLock lock(g_factory_lock);
  const RWFactoryEntry* entry = FindEntry(*this, RWFactoryEntryById(nullptr, id, RWStringID()));
  return entry ? entry->Creator() : nullptr;
}

RWUserCreator RWFactory::LookupCreatorByStringId(const RWStringID& name) const {
  FactoryLock lock(g_factory_lock);
  const RWFactoryEntry* entry = FindEntry(*this, RWFactoryEntryByStringId(nullptr, 0, name));
  return entry ? entry->Creator() : nullptr;
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
  FactoryLock lock(g_factory_lock);
  const RWFactoryEntry* entry = FindEntry(*this, RWFactoryEntryById(nullptr, id, RWStringID()));
  return entry ? entry->Name() : RWStringID(kNoId);
}

RWClassID RWFactory::IdOf(const RWStringID& name) const {
  FactoryLock lock(g_factory_lock);
  const RWFactoryEntry* entry = FindEntry(*this, RWFactoryEntryByStringId(nullptr, 0, name));
  return entry ? entry->Id() : kRWNoClassId;
}

// ---------------------------------------------------------------------------
// The singleton. Its lock is held around every use of the pointer, so a
// removal that destroys the factory cannot pull it from under a lookup.

RWFactory* GetFactory() {
  FactoryLock lock(g_singleton_lock);
  if (!g_factory) g_factory = new (std::nothrow) RWFactory;
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
  RWUserCreator creator = nullptr;
  {
    FactoryLock lock(g_singleton_lock);
    if (g_factory) creator = g_factory->LookupCreatorById(id);
  }
  return creator ? creator() : nullptr;
}

RWCollectable* CreateByStringId(const RWStringID& name) {
  RWUserCreator creator = nullptr;
  {
    FactoryLock lock(g_singleton_lock);
    if (g_factory) creator = g_factory->LookupCreatorByStringId(name);
  }
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
  FactoryLock lock(g_singleton_lock);
  return g_factory ? g_factory->StringIdOf(id) : RWStringID(kNoId);
}

RWClassID StringIdToClassId(const RWStringID& name) {
  FactoryLock lock(g_singleton_lock);
  return g_factory ? g_factory->IdOf(name) : kRWNoClassId;
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
