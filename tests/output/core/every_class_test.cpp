// Every class registered by the output core's load, the layers below
// included, persists soundly; the attribute set, the no-op, error and
// pass-through commands, the two composites, the printer device and the
// device proxy are registered under their names, and the device and command
// bases are not.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "foundation/rw/factory.h"
#include "output/core/command.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/peripheral.h"
#include "output/core/peripheral_composite.h"
#include "output/core/peripheral_proxy.h"
#include "output/core/printer.h"
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
    {kGPrinterId, "GPrinter"},
    {kGPeripheralProxyId, "GPeripheralProxy"},
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
    std::unique_ptr<RWCollectable> by_name(CreateByStringId(RWStringID(r.name)));
    EXPECT_TRUE(by_name && by_name->ClassId() == r.id);
  }
  for (RWClassID id : {kGCommandId, kGPeripheralId}) {
    EXPECT_EQ(GetFactory()->LookupCreatorById(id), nullptr) << id;
  }
}

}  // namespace
