// Every class registered by the output core's load, the layers below
// included, persists soundly; the attribute set is registered, and the
// device and command bases are not.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/rw/factory.h"
#include "output/core/command.h"
#include "output/core/peripheral.h"
#include "output/core/state.h"
#include "tests/support/every_class.h"

namespace {

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), kGStateId),
            result.checked.end());
  EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), kGAttributeCompositeId),
            result.checked.end());
}

TEST(OutputCoreClasses, TheStateIsRegisteredTheBasesAreNot) {
  EXPECT_EQ(StringIdToClassId(RWStringID("GState")), kGStateId);
  EXPECT_EQ(ClassIdToStringId(kGStateId), RWStringID("GState"));
  for (RWClassID id : {kGCommandId, kGPeripheralId}) {
    EXPECT_EQ(GetFactory()->LookupCreatorById(id), nullptr) << id;
  }
}

}  // namespace
