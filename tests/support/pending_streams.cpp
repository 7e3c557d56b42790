#include "tests/support/test_collectable.h"
void TestItem::RestoreFromStream(RWVirtualInputStream&) {}
void TestItem::SaveToStream(RWVirtualOutputStream&) const {}
