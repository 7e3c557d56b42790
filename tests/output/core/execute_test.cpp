// Settings reach a device by double dispatch: each attribute kind calls its
// one device operation, composites pass on their active children and then
// go inactive, enumerations go inactive after their call; the device base
// answers 0 to everything. A handler that changes the tree while it is
// executed never makes the walk overrun.
#include "output/core/peripheral.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/attributes/display_string.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/value_attribute.h"
#include "foundation/rw/registration.h"
#include "tests/persist/media.h"

namespace {

// Records each call as "kind key state", and answers `answer`.
class RecordingDevice : public GPeripheral {
 public:
  std::vector<std::string> calls;
  std::uint16_t answer = 0;
  std::function<void(GAttribute&)> on_call;  // run inside each call

  std::uint16_t SetValueAttribute(GValueAttribute& a) override { return Record("value", a); }
  std::uint16_t SetStringAttribute(GStringAttribute& a) override { return Record("string", a); }
  std::uint16_t SetEnumAttribute(GEnumAttribute& a) override { return Record("enum", a); }
  std::uint16_t SetRangeAttribute(GRangeAttribute& a) override { return Record("range", a); }

 private:
  std::uint16_t Record(const char* kind, GAttribute& a) {
    calls.push_back(std::string(kind) + " " + std::to_string(a.Key()) + " " +
                    std::to_string(a.State()));
    if (on_call) on_call(a);
    return answer;
  }
};

using Calls = std::vector<std::string>;

TEST(Execute, EachKindCallsItsOperation) {
  struct Case {
    const char* name;
    std::unique_ptr<GAttribute> attribute;
    Calls calls;
    std::uint16_t result;
    std::int32_t state_after;
  };
  Case cases[] = {
      {"value", std::make_unique<GValueAttribute>(1, 10), {"value 10 1"}, 7, 1},
      {"value32", std::make_unique<GValue32Attribute>(1, 11), {}, 0, 1},
      {"string", std::make_unique<GStringAttribute>("A4", 12), {"string 12 1"}, 7, 1},
      {"range", std::make_unique<GRangeAttribute>(0, 9, 1, 3, 13), {"range 13 1"}, 7, 1},
      {"enumeration", std::make_unique<GEnumAttribute>(14), {"enum 14 1"}, 7, 0},
      {"device", std::make_unique<GPeripheral>(15), {}, 0, 1},
      // A display string only names something: no device operation.
      {"display string", std::make_unique<GDisplayStringAttribute>(16, 3, "Tray", ""), {}, 0, 1},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingDevice device;
    device.answer = 7;
    EXPECT_EQ(c.attribute->Execute(device), c.result);
    EXPECT_EQ(device.calls, c.calls);
    EXPECT_EQ(c.attribute->State(), c.state_after);
  }
}

TEST(Execute, TheDeviceBaseAnswersZero) {
  GPeripheral base;
  GValueAttribute value(1, 1);
  GStringAttribute text("x", 2);
  GEnumAttribute choices(3);
  GRangeAttribute range(0, 1, 1, 0, 4);
  EXPECT_EQ(value.Execute(base), 0);
  EXPECT_EQ(text.Execute(base), 0);
  EXPECT_EQ(choices.Execute(base), 0);
  EXPECT_EQ(range.Execute(base), 0);
  EXPECT_EQ(choices.State(), 0);
  EXPECT_TRUE(base.IsKindOf(kGPeripheralId));
  EXPECT_TRUE(base.IsKindOf(kGAttributeId));
  EXPECT_FALSE(base.IsKindOf(kGAttributeCompositeId));
}

// root(1): value 2, value 3 (inactive), composite 4 { value 5, range 6 },
// enumeration 7 { value 8 }, value32 9
struct Settings {
  GAttributeComposite root{1};
  GAttributeComposite* four = new GAttributeComposite(4);
  GEnumAttribute* seven = new GEnumAttribute(7);
  Settings() {
    root.AddChild(new GValueAttribute(0, 2));
    auto* inactive = new GValueAttribute(0, 3);
    inactive->SetState(0);
    root.AddChild(inactive);
    root.AddChild(four);
    four->AddChild(new GValueAttribute(0, 5));
    four->AddChild(new GRangeAttribute(0, 1, 1, 0, 6));
    root.AddChild(seven);
    seven->AddChild(new GValueAttribute(0, 8));
    root.AddChild(new GValue32Attribute(0, 9));
  }
};

TEST(Execute, CompositesPassOnTheirActiveChildren) {
  Settings s;
  RecordingDevice device;
  device.on_call = [&device](GAttribute& a) {
    device.answer = static_cast<std::uint16_t>(a.Key());
  };
  EXPECT_EQ(s.root.Execute(device), 7);  // the last nonzero answer
  EXPECT_EQ(device.calls, (Calls{"value 2 1", "value 5 1", "range 6 1", "enum 7 1"}));
  EXPECT_EQ(s.root.State(), 0);
  EXPECT_EQ(s.four->State(), 0);
  EXPECT_EQ(s.seven->State(), 0);
  EXPECT_EQ(s.root.Children().At(0)->ReferenceCount(), 0);  // leaves keep their word
  EXPECT_EQ(static_cast<GAttribute*>(s.root.Children().At(0).Get())->State(), 1);

  // A second run reaches only the leaves of the root: the composite and the
  // enumeration are inactive now.
  device.calls.clear();
  device.on_call = nullptr;
  s.root.Execute(device);
  EXPECT_EQ(device.calls, Calls{"value 2 1"});
  s.root.ActivateChildren();
  device.calls.clear();
  s.root.Execute(device);
  EXPECT_EQ(device.calls.size(), 5u);  // value 3 is active again too

  GAttributeComposite idle(1);
  idle.AddChild(new GValueAttribute(0, 2));
  idle.DeactivateChildren();
  idle.SetState(1);
  device.calls.clear();
  EXPECT_EQ(idle.Execute(device), 0);
  EXPECT_TRUE(device.calls.empty());
  EXPECT_EQ(idle.State(), 0);
}

// A handler that removes children of the composite being executed, the
// attribute it was given included, shortens the walk and never overruns it.
TEST(Execute, HandlersThatRemoveChildrenNeverOverrun) {
  struct Case {
    const char* name;
    std::function<void(GAttributeComposite&, GAttribute&)> change;
    Calls calls;
    std::uint32_t left;
  };
  const Case cases[] = {
      {"remove everything",
       [](GAttributeComposite& root, GAttribute&) { root.RemoveAll(); },
       {"value 1 1"},
       0},
      {"remove itself",
       [](GAttributeComposite& root, GAttribute& a) { delete root.RemoveChild(&a); },
       {"value 1 1", "value 3 1"},
       1},
      {"remove the next one",
       [](GAttributeComposite& root, GAttribute& a) {
         if (a.Key() == 1) delete root.RemoveByKey(std::uint32_t{2});
       },
       {"value 1 1", "value 3 1"},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GAttributeComposite root(9);
    for (std::uint32_t key = 1; key <= 3; ++key)
      root.AddChild(new GValueAttribute(0, key));
    RecordingDevice device;
    device.on_call = [&root, &c](GAttribute& a) { c.change(root, a); };
    root.Execute(device);
    EXPECT_EQ(device.calls, c.calls);
    EXPECT_EQ(root.EntryCount(), c.left);
  }
}

// The device part is the attribute part; the class is not registered, so
// the round trip registers it for the while.
TEST(PeripheralAsAttribute, RoundTrips) {
  const RWClassRegistration classes[] = {{&RWCreate<GPeripheral>, kGPeripheralId, "GPeripheral"}};
  RWRegisterClasses(classes);
  GPeripheral device(198);
  device.SetState(0);
  for (model_testing::Medium medium : model_testing::kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    std::string bytes = model_testing::Save(&device, medium);
    if (medium == model_testing::Medium::kFile) {
      EXPECT_EQ(device.GraphStoreSize(), bytes.size());
    }
    model_testing::Restored back = model_testing::Restore(bytes, medium);
    auto* restored = dynamic_cast<GPeripheral*>(back.object);
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(restored->Key(), 198u);
    EXPECT_EQ(restored->State(), 0);
    delete restored;
  }
  RWUnregisterClasses(classes);
}

}  // namespace
