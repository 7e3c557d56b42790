// Every class registered by the output core's load, the layers below
// included, persists soundly; the attribute set, the no-op, error and
// pass-through commands and the two composites are registered under their names, and
// the device and command bases are not.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/rw/factory.h"
#include "output/core/command.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/peripheral.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "tests/support/every_class.h"

namespace {

struct Registered {
  RWClassID id;
  const char* name;
};

constexpr Registered kCoreClasses[] = {
    {kGStateId, "GState"},
    {kGAttributeCompositeId, "GAttributeComposite"},
    {kGErrorCommandId, "GErrorCommand"},
    {kGNoCommandId, "GNoCommand"},
    {kGCommandCompositeId, "GCommandComposite"},
    {kGPassThroughCommandId, "GPassThroughCommand"},
    {kGPeripheralCompositeId, "GPeripheralComposite"},
};

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (const Registered& r : kCoreClasses) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), r.id), result.checked.end())
        << r.name;
  }
}

TEST(OutputCoreClasses, TheConcreteClassesAreRegisteredTheBasesAreNot) {
  for (const Registered& r : kCoreClasses) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(StringIdToClassId(RWStringID(r.name)), r.id);
    EXPECT_EQ(ClassIdToStringId(r.id), RWStringID(r.name));
  }
  for (RWClassID id : {kGCommandId, kGPeripheralId}) {
    EXPECT_EQ(GetFactory()->LookupCreatorById(id), nullptr) << id;
  }
}

}  // namespace
