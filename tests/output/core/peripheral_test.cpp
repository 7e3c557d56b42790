// The device base, the peripheral composite and the proxy as stored data:
// the device's stored part before a derived class's, the composite's
// children, the proxy's target, bad and damaged data; and the device's
// working set, enabled flag, output object and content equality.
#include "output/core/peripheral.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/attributes/value_attribute.h"
#include "foundation/rw/registration.h"
#include "output/core/output_target.h"
#include "output/core/peripheral_composite.h"
#include "output/core/peripheral_proxy.h"
#include "output/core/printer.h"
#include "output/core/state.h"
#include "tests/output/stored_forms.h"

namespace {

using model_testing::Medium;
using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;
using output_testing::RestoreHex;

// The device base is not registered: the tests register it so that a
// stored device can be read back as one.
constexpr RWClassRegistration kDeviceClasses[] = {
    {&RWCreate<GPeripheral>, kGPeripheralId, "GPeripheral"}};

class Peripheral : public testing::Test {
 protected:
  static void SetUpTestSuite() { RWRegisterClasses(kDeviceClasses); }
  static void TearDownTestSuite() { RWUnregisterClasses(kDeviceClasses); }
};

// A GState keyed 246 holding the value attribute 5 keyed 260.
GState* DocumentSet(std::uint16_t value = 5) {
  auto* set = new GState(246);
  set->AddChild(new GValueAttribute(value, 260));
  return set;
}

void ClearSerials(GPeripheral& device) {
  device.ClearSerialNumbers();
  if (device.GetAttributes()) device.GetAttributes()->ClearSerialNumbers();
  if (device.GetConfiguration()) device.GetConfiguration()->ClearSerialNumbers();
}

// Hand-derived pieces of the stored forms. Each object starts with its
// class id (u16) and the persistent base part: version 1, key, serial 0.
// The attribute part follows: version 1, state 1.
const std::string kAttributePart = "01 00 00 00 01 00 00 00 ";
// The GState 758 (F6 02) keyed 246 (F6), its composite part (version 1,
// count 1) and the value attribute 763 (FB 02) keyed 260 (04 01) with its
// version 1 and value 5.
const std::string kSet = "F6 02 01 00 00 00 F6 00 00 00 00 00 00 00 " + kAttributePart +
                         "01 00 00 00 01 00 00 00 "
                         "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 " +
                         kAttributePart + "01 00 00 00 05 00 ";
// The nil object: back reference 0, FF FF and 0 as u32.
const std::string kNil = "FF FF 00 00 00 00 ";

// After the file magic 0x8888 (u32) and the device's class id: the base
// part (key 1101 = 4D 04), the attribute part, the device's version 1, the
// name "Nup" (u32 length 3, the bytes), the attribute set, the
// configuration, and the values 0, 6, 2.
std::string DevicePart(const std::string& class_id, const std::string& configuration) {
  return "88 88 00 00 " + class_id + " 01 00 00 00 4D 04 00 00 00 00 00 00 " + kAttributePart +
         "01 00 00 00 03 00 00 00 4E 75 70 " + kSet + configuration +
         "00 00 00 00 06 00 00 00 02 00 00 00";
}

TEST_F(Peripheral, StoredFormsMatchHandDerivedBytes) {
  GPeripheral device("Nup", DocumentSet(), nullptr, 1101, 0, 6, 2);
  ClearSerials(device);
  ExpectStoredForm(device, DevicePart("F8 02", kNil));

  // The composite (770 = 02 03): the device part, its version 1, the count
  // 1 and the child: an empty composite keyed 9, with a default device
  // part (empty name, two nil references, values 0), version 1, count 0.
  GPeripheralComposite chain("Nup", DocumentSet(), nullptr, 1101, 0, 6, 2);
  chain.AddChild(new GPeripheralComposite(9));
  ClearSerials(chain);
  chain.Children()[0]->ClearSerialNumbers();
  ExpectStoredForm(chain, DevicePart("02 03", kNil) +
                              " 01 00 00 00 01 00 00 00 "
                              "02 03 01 00 00 00 09 00 00 00 00 00 00 00 " +
                              kAttributePart + "01 00 00 00 00 00 00 00 " + kNil + kNil +
                              "00 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00");
}

// The working set, the enabled flag and the job state are not stored; a
// restored device remakes its working set from the set it read.
TEST_F(Peripheral, RestoreRemakesTheWorkingSet) {
  GPeripheralComposite chain("Nup", DocumentSet(), DocumentSet(7), 1101, 0, 6, 2);
  chain.Disable();
  std::string bytes = model_testing::Save(&chain, Medium::kBinary);
  model_testing::Restored back = model_testing::Restore(bytes, Medium::kBinary);
  auto* device = dynamic_cast<GPeripheralComposite*>(back.object);
  ASSERT_NE(device, nullptr);
  EXPECT_TRUE(device->IsEnabled());
  ASSERT_NE(device->GetWorkingAttributes(), nullptr);
  EXPECT_NE(device->GetWorkingAttributes(), device->GetAttributes());
  EXPECT_TRUE(device->GetWorkingAttributes()->IsEqualContent(device->GetAttributes()));
  EXPECT_TRUE(device->GetConfiguration()->IsEqualContent(chain.GetConfiguration()));
  delete device;
}

// What stands where the set, the configuration or a child belongs must be
// of its kind, and no cycle may be read; anything else fails the restore.
TEST_F(Peripheral, BadReferencesFailTheRestore) {
  const std::string kHead = "88 88 00 00 02 03 01 00 00 00 4D 04 00 00 00 00 00 00 " +
                            kAttributePart + "01 00 00 00 03 00 00 00 4E 75 70 ";
  const std::string kValue =
      "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 " + kAttributePart + "01 00 00 00 05 00 ";
  const std::string kValues = "00 00 00 00 06 00 00 00 02 00 00 00 01 00 00 00 ";
  const std::string kItself = "FF FF 01 00 00 00 ";
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"a value attribute as the set", kHead + kValue + kNil + kValues + "00 00 00 00"},
      {"the device as its own set", kHead + kItself + kNil + kValues + "00 00 00 00"},
      {"the device as its own configuration", kHead + kNil + kItself + kValues + "00 00 00 00"},
      {"a set as a child", kHead + kNil + kNil + kValues + "01 00 00 00 " + kSet},
      {"the device as its own child", kHead + kNil + kNil + kValues + "01 00 00 00 " + kItself},
      {"a child count beyond the file", kHead + kNil + kNil + kValues + "FF FF FF 0F"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    model_testing::Restored back = RestoreHex(c.bytes);
    EXPECT_FALSE(back.ok);
    if (auto* device = dynamic_cast<GPeripheralComposite*>(back.object)) {
      EXPECT_EQ(device->EntryCount(), 0u);
      EXPECT_NE(static_cast<MPersistentObject*>(device->GetAttributes()), device);
    }
    delete back.object;
  }
  // A version other than 1 reads nothing further: the values stay.
  model_testing::Restored back = RestoreHex(
      "88 88 00 00 02 03 01 00 00 00 4D 04 00 00 00 00 00 00 " + kAttributePart + "02 00 00 00");
  auto* device = dynamic_cast<GPeripheralComposite*>(back.object);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->GetName(), RWCString(""));
  EXPECT_EQ(device->GetSecondValue(), 0u);
  delete device;
}

// The proxy (779 = 0B 03) keyed 1101: a default device part (empty name,
// two nil references, values 0), its version 1 and the target: a printer
// (761 = F9 02) keyed 9 with a default device part and its version 1. The
// target must be a device, and not the proxy itself.
TEST_F(Peripheral, AProxyStoresItsTargetAndReadsOnlyADevice) {
  const std::string kDefaultDevice = kAttributePart + "01 00 00 00 00 00 00 00 " + kNil + kNil +
                                     "00 00 00 00 00 00 00 00 00 00 00 00 ";
  const std::string kHead =
      "88 88 00 00 0B 03 01 00 00 00 4D 04 00 00 00 00 00 00 " + kDefaultDevice + "01 00 00 00 ";
  auto* printer = new GPrinter(9);
  printer->SetSerialNumber(0);
  GPeripheralProxy proxy(printer, 1101);
  proxy.SetSerialNumber(0);
  ExpectStoredForm(
      proxy, kHead + "F9 02 01 00 00 00 09 00 00 00 00 00 00 00 " + kDefaultDevice + "01 00 00 00");
  const std::pair<const char*, std::string> bad[] = {
      {"the proxy as its own target", kHead + "FF FF 01 00 00 00"},
      {"a set as the target", kHead + kSet},
  };
  for (const auto& [name, bytes] : bad) {
    SCOPED_TRACE(name);
    model_testing::Restored back = RestoreHex(bytes);
    EXPECT_FALSE(back.ok);
    auto* restored = dynamic_cast<GPeripheralProxy*>(back.object);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->GetTarget(), nullptr);
    delete restored;
  }
  ExpectDamageFailsCleanly(proxy, 0x779);
}

TEST_F(Peripheral, DamageFailsCleanly) {
  GPeripheralComposite chain("Nup", DocumentSet(), DocumentSet(7), 1101, 0, 6, 2);
  chain.AddChild(new GPeripheralComposite("Child", nullptr, DocumentSet(), 5, 1, 2, 3));
  ExpectDamageFailsCleanly(chain, 0x760);
}

TEST_F(Peripheral, ResetRemakesTheWorkingSetAndEnables) {
  GPeripheralComposite chain("Chain", DocumentSet(), nullptr, 1, 0, 0, 0);
  auto* child = new GPeripheral("Child", DocumentSet(3), nullptr, 2, 0, 0, 0);
  chain.AddChild(child);
  GAttributeComposite* working = chain.GetWorkingAttributes();
  ASSERT_NE(working, nullptr);
  working->AddChild(new GValueAttribute(9, 999));  // the device changes its working set
  EXPECT_FALSE(working->IsEqualContent(chain.GetAttributes()));
  chain.Disable();
  child->Disable();
  chain.Reset();
  EXPECT_TRUE(chain.IsEnabled());
  EXPECT_TRUE(child->IsEnabled());  // the composite resets disabled children too
  EXPECT_TRUE(chain.GetWorkingAttributes()->IsEqualContent(chain.GetAttributes()));
  EXPECT_EQ(chain.GetWorkingAttributes()->FindByKey(999), nullptr);

  // A copy shares the set and makes its own working set.
  GPeripheral copy(*child);
  EXPECT_EQ(copy.GetAttributes(), child->GetAttributes());
  EXPECT_NE(copy.GetWorkingAttributes(), child->GetWorkingAttributes());
  EXPECT_TRUE(copy.GetWorkingAttributes()->IsEqualContent(child->GetWorkingAttributes()));
  // A device without a set has no working set.
  EXPECT_EQ(GPeripheral(4).GetWorkingAttributes(), nullptr);
}

// Counts its destruction.
class CountedTarget : public GOutputTarget {
 public:
  explicit CountedTarget(int& destroyed) : GOutputTarget("port"), destroyed_(destroyed) {}
  ~CountedTarget() override { ++destroyed_; }
  std::uint16_t WriteRaw(const std::uint8_t*, std::uint32_t, std::uint32_t& written) override {
    written = 0;
    return 0;
  }
  bool IsReady() override { return true; }

 private:
  int& destroyed_;
};

TEST_F(Peripheral, AnOwnedOutputObjectGoesWithTheDevice) {
  int destroyed = 0;
  CountedTarget borrowed(destroyed);
  {
    GPeripheral device;
    device.SetOutput(new CountedTarget(destroyed), true);
    EXPECT_TRUE(device.OwnsOutput());
    device.SetOutput(&borrowed, false);  // the owned one is deleted
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(device.OwnsOutput());
    GPeripheral copy(device);
    EXPECT_EQ(copy.GetOutput(), nullptr);  // copies start without one
    device.SetOutput(&borrowed, false);    // the same one again: nothing
    device.SetOutput(new CountedTarget(destroyed), true);
    EXPECT_EQ(destroyed, 1);
  }
  EXPECT_EQ(destroyed, 2);  // the owned one went with the device, not the borrowed one
}

TEST_F(Peripheral, ContentEquality) {
  auto make = [](const char* name, std::uint16_t set_value, std::uint32_t third) {
    return std::make_unique<GPeripheralComposite>(name, DocumentSet(set_value), nullptr, 1, 0, 6,
                                                  third);
  };
  EXPECT_TRUE(make("A", 5, 2)->IsEqualContent(make("A", 5, 2).get()));
  EXPECT_FALSE(make("A", 5, 2)->IsEqualContent(make("B", 5, 2).get()));
  EXPECT_FALSE(make("A", 5, 2)->IsEqualContent(make("A", 6, 2).get()));
  EXPECT_FALSE(make("A", 5, 2)->IsEqualContent(make("A", 5, 3).get()));
  auto with_child = make("A", 5, 2);
  with_child->AddChild(new GPeripheral(3));
  EXPECT_FALSE(with_child->IsEqualContent(make("A", 5, 2).get()));
  // The device comparison does not compare class ids; IsEqual does.
  GPeripheral plain("A", DocumentSet(5), nullptr, 1, 0, 6, 2);
  EXPECT_TRUE(plain.IsEqualContent(make("A", 5, 2).get()));
  EXPECT_FALSE(plain.IsEqual(make("A", 5, 2).get()));
  // A composite takes devices only.
  auto chain = make("A", 5, 2);
  chain->AddChild(new GState(3));
  chain->AddChild(nullptr);
  EXPECT_EQ(chain->EntryCount(), 0u);
  EXPECT_TRUE(chain->IsKindOf(kGPeripheralCompositeId));
  EXPECT_TRUE(chain->IsKindOf(kGPeripheralId));
  EXPECT_TRUE(chain->IsKindOf(kGAttributeId));
}

}  // namespace
