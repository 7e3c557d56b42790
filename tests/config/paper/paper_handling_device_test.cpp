// Paper-handling devices, trays and bins: the part dictionary's walking
// order and current part, the installed flags, deep copies, equality with
// the parts compared, the trays a device yields, media held by trays, and
// the matching of trays with the device values.
#include "config/paper/paper_handling_device.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/paper_parts.h"
#include "tests/persist/media.h"

namespace {

std::vector<std::uint16_t> PartIds(const GPaperHandlingDevice& device) {
  RWShortVector ids;
  device.GetPartIds(ids);
  return std::vector<std::uint16_t>(ids.Data(), ids.Data() + ids.Count());
}

// The ids of the trays that the device's child iterator walks.
std::vector<std::uint16_t> TrayIds(GPaperHandlingDevice& device) {
  std::vector<std::uint16_t> ids;
  std::unique_ptr<MChildIterator> walk(device.NewChildIterator());
  while (walk->Next()) {
    if (auto* tray = dynamic_cast<GTray*>(walk->Current())) ids.push_back(tray->GetId());
  }
  EXPECT_EQ(walk->Current(), nullptr);  // past the end: nothing, no error
  return ids;
}

GAttributeComposite* Trays(std::initializer_list<std::uint16_t> ids) {
  auto* trays = new GAttributeComposite;
  for (std::uint16_t id : ids)
    trays->AddChild(new GTray("Tray", id, kTrayKey));
  return trays;
}

TEST(PaperHandlingDevice, InstalledFollowsOptional) {
  struct Case {
    std::uint32_t optional, installed;
    std::uint32_t reported, set_answer, after_set;
  };
  const Case cases[] = {
      {0, 0, 1, 0, 1},  // not optional: installed, and stays so
      {1, 0, 0, 1, 0},
      {1, 1, 1, 1, 0},
  };
  for (const Case& c : cases) {
    GPaperHandlingDevice device("Unit", kPaperSource, c.optional, c.installed, 0, 0, 0);
    EXPECT_EQ(device.IsInstalled(), c.reported);
    EXPECT_EQ(device.SetInstalled(0), c.set_answer);
    EXPECT_EQ(device.IsInstalled(), c.after_set);
  }
  GPaperHandlingDevice device;
  EXPECT_EQ(device.IsOptional(), 1u);
  EXPECT_EQ(device.IsInstalled(), 0u);
  device.SetOptional(0);
  EXPECT_EQ(device.IsInstalled(), 1u);
  EXPECT_EQ(device.SetMatchMode(3), 0u);
  EXPECT_EQ(device.SetMatchMode(1), 3u);
  EXPECT_EQ(device.SetSelectable(1), 0u);
  RWCString name;
  EXPECT_EQ(GPaperHandlingDevice(1, "Lower", 1, 1, 1, 2, 1, "Text", nullptr, 0).GetName(name),
            "Lower");
}

TEST(PaperHandlingDevice, PartsWalkByBucketThenInsertion) {
  GPaperHandlingDevice device;
  auto* seventeen = new GValueAttribute(17, 0);
  device.SetPart(17, seventeen);
  device.SetPart(1, new GValueAttribute(1, 0));
  device.SetPart(2, new GValueAttribute(2, 0));
  EXPECT_EQ(PartIds(device), (std::vector<std::uint16_t>{17, 1, 2}));
  EXPECT_EQ(device.GetCurrentPartId(), 17);
  EXPECT_EQ(device.GetPart(17), seventeen);

  // Storing under a present id replaces the part at the end of its bucket.
  device.SetPart(17, new GValueAttribute(99, 0));
  EXPECT_EQ(device.GetPartCount(), 3u);
  EXPECT_EQ(PartIds(device), (std::vector<std::uint16_t>{1, 17, 2}));
  EXPECT_EQ(static_cast<GValueAttribute*>(device.GetPart(17))->GetValue(), 99);
  device.SetPart(5, nullptr);
  EXPECT_EQ(device.GetPartCount(), 3u);

  EXPECT_EQ(device.SetCurrentPartId(4), 0u);
  EXPECT_EQ(device.GetCurrentPartId(), 17);
  EXPECT_EQ(device.SetCurrentPartId(2), 1u);
  EXPECT_EQ(device.GetCurrentPartId(), 2);
}

TEST(PaperHandlingDevice, RemovingTheCurrentPartPicksTheFirstLeft) {
  GPaperHandlingDevice device;
  for (std::uint16_t id : {3, 5, 9})
    device.SetPart(id, new GValueAttribute(id, 0));
  device.SetCurrentPartId(5);
  GCountedPtr other_holder(device.GetPart(9));

  std::unique_ptr<GAttribute> five(device.RemovePart(5));
  ASSERT_NE(five, nullptr);
  EXPECT_EQ(five->ReferenceCount(), -1);  // the caller's now
  EXPECT_EQ(device.GetCurrentPartId(), 3);
  EXPECT_EQ(device.RemovePart(5), nullptr);

  // A part that someone else holds comes out as a copy.
  std::unique_ptr<GAttribute> nine(device.RemovePart(9));
  EXPECT_NE(nine.get(), other_holder.Get());
  EXPECT_TRUE(nine->IsEqual(other_holder.Get()));
  std::unique_ptr<GAttribute> three(device.RemovePart(3));
  EXPECT_EQ(device.GetCurrentPartId(), 0);
  EXPECT_EQ(device.GetPartCount(), 0u);
}

TEST(PaperHandlingDevice, PartEntriesCountComposites) {
  GPaperHandlingDevice device;
  EXPECT_EQ(device.GetMinPartEntries(), 0u);
  EXPECT_EQ(device.GetMaxPartEntries(), 0u);
  device.SetPart(1, Trays({}));
  EXPECT_EQ(device.GetMinPartEntries(), 0u);
  device.SetPart(2, Trays({1, 2, 3}));
  device.SetPart(3, new GValueAttribute(0, 0));  // a leaf counts 1
  EXPECT_EQ(device.GetMinPartEntries(), 1u);
  EXPECT_EQ(device.GetMaxPartEntries(), 3u);
}

// The trays of a device are the children of its current part, part 0
// included; without a current part there are none.
TEST(PaperHandlingDevice, YieldsTheCurrentPartsTrays) {
  GPaperHandlingDevice device;
  EXPECT_TRUE(TrayIds(device).empty());
  device.SetPart(0, Trays({1, 4}));
  EXPECT_EQ(device.GetCurrentPartId(), 0);
  EXPECT_EQ(TrayIds(device), (std::vector<std::uint16_t>{1, 4}));
  device.SetPart(7, Trays({5}));  // the current id was 0: 7 becomes current
  EXPECT_EQ(TrayIds(device), (std::vector<std::uint16_t>{5}));
  device.SetCurrentPartId(0);
  EXPECT_EQ(TrayIds(device), (std::vector<std::uint16_t>{1, 4}));
}

// Copies hold parts of their own; equality compares the parts id by id.
TEST(PaperHandlingDevice, CopiesAreDeepAndEqualityComparesParts) {
  GPaperHandlingDevice device("Unit", kPaperSource, 1, 1, 1, 0, 0);
  device.SetPart(0, Trays({1, 2}));
  device.SetPart(16, new GTray("Manual", 6, kTrayKey));

  std::unique_ptr<GPaperHandlingDevice> copy(static_cast<GPaperHandlingDevice*>(device.DeepCopy()));
  EXPECT_TRUE(copy->IsEqual(&device));
  EXPECT_EQ(PartIds(*copy), PartIds(device));
  auto* copied_trays = static_cast<GAttributeComposite*>(copy->GetPart(0));
  auto* trays = static_cast<GAttributeComposite*>(device.GetPart(0));
  EXPECT_NE(copied_trays, trays);
  EXPECT_NE(copied_trays->Children()[0].Get(), trays->Children()[0].Get());
  EXPECT_NE(copy->GetPart(16), device.GetPart(16));

  // Changing a tray of the copy changes the copy only, and makes it differ.
  static_cast<GTray*>(copied_trays->Children()[1].Get())->SetMappedValue1(1);
  EXPECT_EQ(static_cast<GTray*>(trays->Children()[1].Get())->GetMappedValue1(), -1);
  EXPECT_FALSE(copy->IsEqual(&device));

  GPaperHandlingDevice other("Unit", kPaperSource, 1, 1, 1, 0, 0);
  other.SetPart(0, Trays({1, 2}));
  other.SetPart(17, new GTray("Manual", 6, kTrayKey));  // another id, same count
  EXPECT_FALSE(other.IsEqual(&device));
}

TEST(PaperParts, TraysOwnTheirMedia) {
  auto* medium = new GMedia("A4", GSize16(4960, 7016), GSize16(4760, 6816), GSize16(100, 100), 0,
                            23, 600, 600, kModelMediumKey, 0, nullptr, nullptr);
  GTray tray(1203, "Tray 1", 1, 0, 0, 7, -1, medium, "Tray 1", "kvres.dll", kTrayKey);
  EXPECT_EQ(tray.GetMedium(), medium);
  GTray copy = tray;
  ASSERT_NE(copy.GetMedium(), nullptr);
  EXPECT_NE(copy.GetMedium(), medium);
  EXPECT_TRUE(copy.IsEqual(&tray));

  GTray assigned("Other", 2, 0);
  assigned = tray;
  EXPECT_TRUE(assigned.IsEqual(&tray));
  const GTray& itself = assigned;
  assigned = itself;
  EXPECT_NE(assigned.GetMedium(), nullptr);

  std::unique_ptr<GMedia> taken(copy.TakeMedium());
  EXPECT_EQ(copy.GetMedium(), nullptr);
  EXPECT_FALSE(copy.IsEqual(&tray));  // one medium absent
  taken->SetMediaType("Letterhead");
  copy.SetMedium(taken.release());
  EXPECT_FALSE(copy.IsEqual(&tray));  // media differ

  // Stored without a medium, a tray reads back without one; with one, with
  // an equal medium of its own.
  copy.SetMedium(nullptr);
  for (GTray* sample : {&assigned, &copy}) {
    for (model_testing::Medium m : model_testing::kAllMedia) {
      model_testing::Restored back = model_testing::Restore(model_testing::Save(sample, m), m);
      auto* read = dynamic_cast<GTray*>(back.object);
      ASSERT_NE(read, nullptr);
      EXPECT_EQ(read->GetMedium() != nullptr, sample->GetMedium() != nullptr);
      EXPECT_TRUE(read->IsEqual(sample));
      delete read;
    }
  }

  GBin bin(0, "Bin", 42, 1, 2, 3, 4, 1, 6, "Face down", kBinKey);
  GBin other = bin;
  EXPECT_TRUE(other.IsEqual(&bin));
  other.SetValue6(7);
  EXPECT_FALSE(other.IsEqual(&bin));
  EXPECT_EQ(GBin().GetMappedValue2(), -1);
}

// Input slots by tray id, the first entry of a slot deciding.
TEST(PaperParts, MatchTraysToDeviceValues) {
  const GDeviceSlotEntry table[] = {
      {2, 10, 0}, {2, 99, 0}, {5, 20, 0}, {1, 30, 0}, {8, 40, 0}, {7, 50, 0}, {12, 60, 0},
  };
  struct Case {
    const char* name;
    std::vector<std::pair<std::uint16_t, std::int32_t>> trays;  // id, mapped value 1
    std::uint32_t match;
  };
  const Case cases[] = {
      {"all agree", {{1, 10}, {2, 10}, {13, 20}, {6, 30}, {29, 50}, {25, 60}}, 1},
      {"the later entry of a slot is not read", {{1, 99}}, 0},
      {"a slot the table lacks is not checked", {{3, 1234}, {20, 5}, {21, 40}}, 1},
      {"one disagrees", {{1, 10}, {4, 21}}, 0},
      {"an id without a slot", {{1, 10}, {7, 0}}, 0},
      {"no trays", {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GAttributeComposite trays;
    trays.AddChild(new GValueAttribute(0, 0));  // no tray: passed over
    for (auto [id, mapped] : c.trays)
      trays.AddChild(new GTray("Tray", id, 0, 0, mapped, -1, nullptr, kTrayKey));
    std::unique_ptr<MChildIterator> walk(trays.NewChildIterator());
    EXPECT_EQ(MatchTraysToDeviceValues(walk.get(), table, std::size(table)), c.match);
  }
  EXPECT_EQ(MatchTraysToDeviceValues(nullptr, table, 1), 0u);
}

}  // namespace
