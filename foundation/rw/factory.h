// RWFactory: the process-wide registry that maps a 16-bit class id and a
// class-name string to a creator function, so that stored graphs can be
// turned back into objects.
//
// Registration keeps two entries per class, one by id and one by name; the
// first registration of an id wins the id and the first registration of a
// name wins the name, each on its own. The factory exists from the first
// registration to the removal that empties it (which also empties the
// small-block cache).
//
// Thread-safety: every function here may be called from any thread.
// Registrations are serialised by the factory lock; after each one the
// factory publishes a read-only catalog (id to creator and name, name to
// creator and id) that look-ups and creation read without a lock. Creators
// run outside any lock.
#pragma once

#include "foundation/rw/hashtable.h"
#include "foundation/rw/published.h"

// Makes a new object of a class with its default constructor; null when
// allocation fails.
using RWUserCreator = RWCollectable* (*)();

// The read-only copy of a factory's registrations (factory.cpp).
class RWFactoryCatalog;

class RWFactory : public RWSet {
 public:
  RWFactory();
  // A factory that publishes its catalog in `catalog` (the singleton's is
  // where the free functions below read it).
  explicit RWFactory(RWPublished<RWFactoryCatalog>& catalog);
  // Removes and deletes every entry.
  ~RWFactory() override;

  void Add(RWUserCreator creator, RWClassID id, const RWStringID& name);
  // Registers with "NoID" as the name.
  void Add(RWUserCreator creator, RWClassID id);
  void RemoveId(RWClassID id);
  void RemoveStringId(const RWStringID& name);
  RWUserCreator LookupCreatorById(RWClassID id) const;
  RWUserCreator LookupCreatorByStringId(const RWStringID& name) const;
  // A new object from the registered creator, or null.
  RWCollectable* Create(RWClassID id) const;
  RWCollectable* Create(const RWStringID& name) const;
  // The registered name of an id, or "NoID".
  RWStringID StringIdOf(RWClassID id) const;
  // The registered id of a name, or 0x8000.
  RWClassID IdOf(const RWStringID& name) const;

 private:
  // Rebuilds and publishes the catalog. REQUIRES: the factory lock is held.
  void Publish();
  // Answers read(catalog) from the published catalog, or, when there is
  // none (no memory for it), from_set() under the factory lock.
  template <class Read, class FromSet>
  auto Lookup(Read read, FromSet from_set) const;

  RWPublished<RWFactoryCatalog> own_catalog_;
  RWPublished<RWFactoryCatalog>* catalog_;  // own_catalog_, or the singleton's
};

// The whole program registers and creates through these.
void AddClassToFactory(RWUserCreator creator, RWClassID id, const RWStringID& name);
// Registers with "No_RWStringID" as the name.
void AddClassToFactory(RWUserCreator creator, RWClassID id);
RWCollectable* CreateByClassId(RWClassID id);
RWCollectable* CreateByStringId(const RWStringID& name);
void RemoveClassIdFromFactory(RWClassID id);
void RemoveStringIdFromFactory(const RWStringID& name);
RWStringID ClassIdToStringId(RWClassID id);
RWClassID StringIdToClassId(const RWStringID& name);

// User class ids run from 0x9000 to 0xF000 inclusive; objects of such
// classes are stored with their names. NewUserClassId hands them out in
// order, each once per process; once all 0x6001 are handed out it answers
// kRWNoClassId (0x8000, which is no user id) and hands out nothing more.
RWClassID NewUserClassId();
bool IsUserClassId(RWClassID id);

// The singleton, created on first use; null when allocation fails.
RWFactory* GetFactory();
void DestroyFactory();
// Whether a factory exists now (for tests).
bool FactoryExists();

// Calls `visit` for every registered id and every registered name, under
// the factory lock (for tests and diagnostics).
void ForEachFactoryEntry(void (*visit)(RWClassID id, const RWStringID& name, bool by_id,
                                       void* datum),
                         void* datum);
