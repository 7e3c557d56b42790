// Damaged stored forms of the paper path, read with the default error
// handler in force: parts, media and association values of the wrong kind
// or shared where they may not be, absurd counts, every truncation and
// seeded random byte changes of a device with trays and a medium, a
// database and a margin pool.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "config/paper/form_to_tray.h"
#include "config/paper/margin_pool.h"
#include "config/paper/media.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "tests/persist/media.h"
#include "tests/support/test_support.h"

namespace {

using model_testing::Medium;
using model_testing::Restore;
using model_testing::Restored;
using testing_support::Unhex;

// A paper source whose part 0 is a composite of two trays, one with a
// medium, and whose part 3 is a bin.
std::unique_ptr<MPersistentObject> DeviceSample() {
  auto device = std::make_unique<GPaperHandlingDevice>(1203, "Unit", kPaperSource, 1, 1, 3, 1,
                                                       "Tray unit", "kvres.dll", 0);
  auto* trays = new GAttributeComposite(0);
  trays->AddChild(
      new GTray("Tray 1", 1, 0, 0, 7, -1,
                new GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 90,
                           23, 600, 600, kModelMediumKey, 0, nullptr, "Plain"),
                kTrayKey));
  trays->AddChild(new GTray("Tray 2", 4, kTrayKey));
  device->SetPart(0, trays);
  device->SetPart(3, new GBin(0, "Bin", 42, 0, 0, -1, -1, 1, 0, "Face down", kBinKey));
  return device;
}

std::unique_ptr<MPersistentObject> DatabaseSample() {
  auto database = std::make_unique<GFormToTrayDatabase>(kFormToTrayKey);
  database->SetAssociationNamed(1, 3, 200, RWWString(u"Letter"));
  database->SetAssociation(9, 6, kUnspecifiedMediaType);
  return database;
}

std::unique_ptr<MPersistentObject> MarginPoolSample() {
  auto pool = std::make_unique<GMarginPool>();
  std::uint32_t set[kMarginSetLength] = {4233, 4233, 4233, 4233, 1, 2, 3, 4};
  pool->AddMarginSet(set);
  pool->AddMarginSet(set);
  return pool;
}

using Sample = std::unique_ptr<MPersistentObject> (*)();
constexpr Sample kSamples[] = {&DeviceSample, &DatabaseSample, &MarginPoolSample};

TEST(PaperDamagedForms, TruncationAtEveryByteFailsCleanly) {
  for (Sample make : kSamples)
    model_testing::ExpectEveryTruncationFails(*make());
}

TEST(PaperDamagedForms, RandomByteFlipsNeverCrash) {
  std::mt19937 rng(20270119);
  for (Sample make : kSamples)
    model_testing::RestoreRandomFlips(*make(), rng, 300);
}

// Items of the hand-made records (little-endian hex).
const std::string kAttribute = "01 00 00 00 00 00 00 00 05 00 00 00 01 00 00 00 01 00 00 00 ";
const std::string kValue = "FB 02 " + kAttribute + "01 00 00 00 07 00 ";
const std::string kEmptyString =
    "12 03 01 00 00 00 00 00 00 00 06 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00";
// A device of version 2 up to its part count.
const std::string kDeviceHead = "88 88 00 00 F2 03 " + kAttribute +
                                "02 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 "
                                "01 00 00 00 05 00 ";
const std::string kDeviceTail = "01 00 00 00 01 00 00 00 " + kEmptyString;
// A tray of version 2 up to its medium flag.
const std::string kTrayHead = "88 88 00 00 E9 03 " + kAttribute +
                              "02 00 00 00 00 00 00 00 05 00 00 00 00 00 00 00 00 00 "
                              "FF FF FF FF FF FF FF FF ";
// A medium of version 1, all fields empty or 0.
const std::string kMediumBody = kAttribute +
                                "01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                "00 00 00 00 58 02 58 02 00 00 00 00 00 00 00 00 00 00 00 00";
// An association of version 1 up to its values.
const std::string kAssociationHead = "88 88 00 00 F5 03 " + kAttribute + "01 00 00 00 ";

// Parts must be attributes; a nil part is passed over. A tray's medium
// and an association's values are read only from new objects of their own
// class. Counts larger than the rest of a file fail before anything is
// read.
TEST(PaperDamagedForms, WrongKindsAndSharingAreRefused) {
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
  };
  const Case cases[] = {
      {"a nil part", kDeviceHead + "01 00 00 00 05 00 FF FF 00 00 00 00 " + kDeviceTail, true},
      {"a part that is no attribute",
       kDeviceHead + "01 00 00 00 05 00 " + kEmptyString + " " + kDeviceTail, false},
      {"a part that is the device itself",
       kDeviceHead + "01 00 00 00 05 00 FF FF 01 00 00 00 " + kDeviceTail, false},
      {"a part count beyond the file", kDeviceHead + "FF FF FF FF 05 00 " + kValue, false},
      {"a medium of class 1002",
       kTrayHead + "01 00 00 00 EA 03 " + kMediumBody + " " + kEmptyString, true},
      {"a medium flag of 2 reads no medium", kTrayHead + "02 00 00 00 " + kEmptyString, true},
      {"a medium of class 763", kTrayHead + "01 00 00 00 " + kValue + kEmptyString, false},
      {"a nil medium", kTrayHead + "01 00 00 00 FF FF 00 00 00 00 " + kEmptyString, false},
      {"a medium that refers back to the tray",
       kTrayHead + "01 00 00 00 FF FF 01 00 00 00 " + kEmptyString, false},
      {"association values", kAssociationHead + kValue + kValue + kValue + "00 00 00 00", true},
      {"an association value of class 1002",
       kAssociationHead + kValue + "EA 03 " + kMediumBody + " " + kValue + "00 00 00 00", false},
      {"an association value shared",
       kAssociationHead + kValue + "FF FF 02 00 00 00 " + kValue + "00 00 00 00", false},
      {"a database holding a value attribute",
       "88 88 00 00 F4 03 " + kAttribute + "01 00 00 00 " + kAttribute +
           "01 00 00 00 01 00 00 00 " + kValue,
       false},
      {"a database whose association refers back to it",
       "88 88 00 00 F4 03 " + kAttribute + "01 00 00 00 " + kAttribute +
           "01 00 00 00 01 00 00 00 FF FF 01 00 00 00",
       false},
      {"a margin pool count beyond the file",
       "88 88 00 00 F6 03 01 00 00 00 BF 03 00 00 05 00 00 00 01 00 00 00 FF FF FF 0F", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restored back = Restore(Unhex(c.bytes), Medium::kFile);
    EXPECT_EQ(back.ok, c.ok);
    ASSERT_NE(back.object, nullptr);
    back.object->NodeCount();
    if (auto* device = dynamic_cast<GPaperHandlingDevice*>(back.object)) {
      EXPECT_EQ(device->GetPartCount(), 0u);
      EXPECT_EQ(device->GetCurrentPartId(), 5);  // kept as stored
    }
    if (auto* tray = dynamic_cast<GTray*>(back.object)) {
      EXPECT_EQ(tray->GetMedium() != nullptr, std::string(c.name) == "a medium of class 1002");
    }
    FreeRestored(back.object);
  }
}

}  // namespace
