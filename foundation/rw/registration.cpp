#include "foundation/rw/registration.h"

#include <mutex>

#include "foundation/rw/association.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/slistcollectables.h"

void RWRegisterClasses(std::span<const RWClassRegistration> classes) {
  for (const RWClassRegistration& c : classes) {
    AddClassToFactory(c.creator, c.id, RWStringID(c.name));
  }
}

void RWUnregisterClasses(std::span<const RWClassRegistration> classes) {
  for (auto it = classes.rbegin(); it != classes.rend(); ++it) {
    RemoveClassIdFromFactory(it->id);
    RemoveStringIdFromFactory(RWStringID(it->name));
  }
}

void RWSubsystemClasses::Load() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (loads_++ > 0) return;
  for (List list : lists_)
    RWRegisterClasses(list());
}

void RWSubsystemClasses::Unload() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (loads_ == 0 || --loads_ > 0) return;
  for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
    RWUnregisterClasses((*it)());
}

namespace {

// In the order the library is built.
constexpr RWClassRegistration kFoundationClasses[] = {
    {&RWCreate<RWBTree>, kRWBTreeId, "RWBTree"},
    {&RWCreate<RWBTreeDictionary>, kRWBTreeDictionaryId, "RWBTreeDictionary"},
    {&RWCreate<RWCollectable>, kRWCollectableId, "RWCollectable"},
    {&RWCreate<RWSlistCollectables>, kRWSlistCollectablesId, "RWSlistCollectables"},
    {&RWCreate<RWSlistCollectablesStack>, kRWSlistCollectablesStackId, "RWSlistCollectablesStack"},
    {&RWCreate<RWHashTable>, kRWHashTableId, "RWHashTable"},
    {&RWCreate<RWSet>, kRWSetId, "RWSet"},
    {&RWCreate<RWIdentitySet>, kRWIdentitySetId, "RWIdentitySet"},
    {&RWCreate<RWCollectableAssociation>, kRWCollectableAssociationId, "RWCollectableAssociation"},
    {&RWCreate<RWCollectableIDAssociation>, kRWCollectableIDAssociationId,
     "RWCollectableIDAssociation"},
};

std::mutex g_load_mutex;
int g_loads = 0;

}  // namespace

std::span<const RWClassRegistration> FoundationClasses() {
  return kFoundationClasses;
}

void FoundationLoad() {
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (g_loads++ > 0) return;
  RWNilCollectable();
  RWRegisterClasses(FoundationClasses());
}

void FoundationUnload() {
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (g_loads == 0 || --g_loads > 0) return;
  RWUnregisterClasses(FoundationClasses());
}
