// Every class registered by the record store's load, the layers below
// included, persists soundly; and the store's classes are registered by id
// and by name.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/rw/factory.h"
#include "store/command_composite_on_disk.h"
#include "store/persistent_composite_on_disk.h"
#include "store/persistent_composite_on_disk_imp.h"
#include "store/record.h"
#include "tests/support/every_class.h"

namespace {

struct Named {
  RWClassID id;
  const char* name;
};

constexpr Named kStoreClasses[] = {
    {kMPersistentCompositeOnDiskId, "MPersistentCompositeOnDisk"},
    {kMPersistentCompositeOnDiskImpId, "MPersistentCompositeOnDiskImp"},
    {kGRecordId, "GRecord"},
    {kGRecordProxyId, "GRecordProxy"},
    {kGRecordCompositeId, "GRecordComposite"},
    {kGCommandCompositeOnDiskId, "GCommandCompositeOnDisk"},
};

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (const Named& c : kStoreClasses) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), c.id), result.checked.end())
        << c.name;
  }
}

TEST(StoreClasses, RegisteredByIdAndName) {
  for (const Named& c : kStoreClasses) {
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id) << c.name;
    EXPECT_EQ(ClassIdToStringId(c.id), RWStringID(c.name));
  }
}

}  // namespace
