// Every class registered by the persistent model's load, the foundation's
// included, persists soundly; and the model's class tables are registered.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/rw/factory.h"
#include "persist/counted_ptr.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_composite.h"
#include "tests/support/every_class.h"

namespace {

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (RWClassID id : {kMPersistentCompositeId, kGPersistableLongId, kGPersistableULongId}) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), id), result.checked.end())
        << id;
  }
  // The counted pointer is registered, but the factory makes none.
  EXPECT_EQ(result.skipped, std::vector<RWClassID>{kGCountedPtrId});
}

TEST(ModelClasses, RegisteredByIdAndNameExceptTheBase) {
  struct Case {
    RWClassID id;
    const char* name;
  };
  const Case cases[] = {{kMPersistentCompositeId, "MPersistentComposite"},
                        {kGCountedPtrId, "GCountedPtr"},
                        {kGPersistableLongId, "GPersistableLong"},
                        {kGPersistableULongId, "GPersistableULong"}};
  for (const Case& c : cases) {
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id) << c.name;
    EXPECT_EQ(ClassIdToStringId(c.id), RWStringID(c.name));
  }
  EXPECT_EQ(GetFactory()->LookupCreatorById(kMPersistentObjectId), nullptr);
  EXPECT_EQ(StringIdToClassId(RWStringID("MPersistentObject")), kRWNoClassId);
}

}  // namespace
