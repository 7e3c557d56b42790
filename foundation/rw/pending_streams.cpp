// Stream forms, written once the virtual streams exist.
#include "foundation/rw/collection.h"

void RWCollectionBase::SaveToStream(RWVirtualOutputStream&) const {}
void RWCollectionBase::RestoreFromStream(RWVirtualInputStream&) {}
#include "foundation/rw/association.h"
#include "foundation/rw/slistcollectables.h"
void RWCollectableAssociation::SaveToStream(RWVirtualOutputStream&) const {}
void RWCollectableAssociation::RestoreFromStream(RWVirtualInputStream&) {}
void RWSlistCollectablesStack::RestoreFromStream(RWVirtualInputStream&) {}
