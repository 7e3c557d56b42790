// The walks over trays, media and resource names, and the size queries,
// on the printer fixture (its media, trays and mappings are listed in
// support/fixture_printer.md).
#include <string>
#include <vector>

#include "config/paper/custom_media_size.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/printer_key.h"
#include "persist/resource_mapping.h"
#include "tests/driver/driver_data/driver_data_testing.h"

namespace {

using driver_data_testing::SetValue;

class DriverDataWalks : public testing_support::PrinterFixture {};

// What a walk handed its callback, and how the callback answers: it
// reports while `report` holds and ends the walk after `stop_after` items.
struct Recorder {
  std::vector<int> ids;
  std::vector<std::uint32_t> indexes;
  std::vector<std::string> names;
  bool report = true;
  std::size_t stop_after = 100;

  int Take(int id, std::uint32_t index, std::uint32_t& reported) {
    ids.push_back(id);
    indexes.push_back(index);
    if (report) reported = 1;
    return ids.size() >= stop_after ? 0 : 1;
  }
  static int Tray(GTray* tray, GResourceMapping*, std::uint32_t index, void* self,
                  std::uint32_t& reported) {
    return static_cast<Recorder*>(self)->Take(tray->GetId(), index, reported);
  }
  static int Medium(GMedia* medium, GResourceMapping*, std::uint32_t index, void* self,
                    std::uint32_t& reported) {
    return static_cast<Recorder*>(self)->Take(medium->GetPaperSizeId(), index, reported);
  }
  static int Name(GResourceMapping* mapping, const RWWString* name, std::uint32_t index, void* self,
                  std::uint32_t& reported) {
    auto* recorder = static_cast<Recorder*>(self);
    RWCString narrow = name ? name->ToMultiByte() : RWCString("-");
    recorder->names.push_back(std::to_string(mapping->SystemNumber()) + "/" +
                              std::to_string(mapping->SecondNumber()) + "/" +
                              std::to_string(mapping->StringResourceId()) + " " + narrow.Data());
    return recorder->Take(mapping->SystemNumber(), index, reported);
  }
};

TEST_F(DriverDataWalks, TraysComeInTheListsOrderUnderTheSharedContract) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  GAttributeComposite* pool = data->GetBinPool();
  auto* main_unit = dynamic_cast<GPaperHandlingDevice*>(pool->Children()[0].Get());
  auto* cassette = dynamic_cast<GPaperHandlingDevice*>(pool->Children()[1].Get());
  main_unit->GetPart(1)->AddChild(new GTray(RWCString("Envelopes"), 6, kTrayKey));
  cassette->SetInstalled(1);
  GAttributeComposite* order =
      FindOfClass<GAttributeComposite>(data->GetJobSettings(), kTrayOrderKey);
  order->RemoveAll();
  for (std::uint16_t id : {6, 1, 3})
    order->AddChild(new GValueAttribute(id, 0));

  const struct {
    const char* name;
    int mapped_only;
    bool buffer;
    bool report;
    std::size_t stop_after;
    std::uint32_t start;
    std::vector<int> ids;
    std::uint32_t end;
    int result;
  } cases[] = {
      {"in the list's order", 0, true, true, 100, 0, {6, 1, 3}, 3, 1},
      {"unmapped tray 6 skipped", 1, true, true, 100, 0, {1, 3}, 2, 1},
      {"an answer of 0 ends", 0, true, true, 1, 0, {6}, 1, 1},
      {"nothing reported", 0, true, false, 100, 7, {6, 1, 3}, 10, -1},
      {"no buffer counts", 1, false, true, 100, 5, {}, 7, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder;
    recorder.report = c.report;
    recorder.stop_after = c.stop_after;
    std::uint32_t index = c.start;
    EXPECT_EQ(
        data->EnumTrays(&Recorder::Tray, c.buffer ? &recorder : nullptr, c.mapped_only, index),
        c.result);
    EXPECT_EQ(recorder.ids, c.ids);
    if (!c.ids.empty()) {
      EXPECT_EQ(recorder.indexes.front(), c.start);
    }
    EXPECT_EQ(index, c.end);
  }
  order->RemoveAll();
  order->AddChild(new GValueAttribute(99, 0));
  Recorder none;
  std::uint32_t index = 4;
  EXPECT_EQ(data->EnumTrays(&Recorder::Tray, &none, 0, index), -1);
  EXPECT_TRUE(none.ids.empty());
  EXPECT_EQ(index, 4u);
}

TEST_F(DriverDataWalks, MediaStayWithinTheCustomLimitsWhenChecked) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  const struct {
    std::uint32_t orientation;
    int check, mapped_only;
    std::vector<int> ids;
  } cases[] = {
      {0, 0, 0, {1, 5, 23, 3, 50, 17384, 17385, 17388, 17389}},
      // 17385 (1800 x 3000) to 17384 (5100 x 8400): no Tabloid (6600
      // wide), no card or limit (1200 wide), no 17388 (7200 wide).
      {0, 1, 0, {1, 5, 23, 17384, 17385}},
      {0, 1, 1, {1, 5, 23}},
      {90, 0, 0, {}},
  };
  for (const auto& c : cases) {
    Recorder recorder;
    std::uint32_t index = 0;
    EXPECT_EQ(data->EnumMedia(&Recorder::Medium, c.orientation, 600, 600, c.check, &recorder,
                              c.mapped_only, index),
              c.ids.empty() ? -1 : 1);
    EXPECT_EQ(recorder.ids, c.ids);
  }
  // The driver data's own form test (the context's asks the spooler's
  // forms): A4 through the mapping; Tabloid only unchecked; the current
  // custom size (Letter's size) through the context's number of its id.
  EXPECT_EQ(data->GDriverDataImp::IsFormUsable(0, 600, 600, 1, 9), 1);
  EXPECT_EQ(data->GDriverDataImp::IsFormUsable(0, 600, 600, 0, 3), 1);
  EXPECT_EQ(data->GDriverDataImp::IsFormUsable(0, 600, 600, 1, 3), 0);
  data->EnsureDefaultSettings();
  EXPECT_EQ(data->GDriverDataImp::IsFormUsable(0, 600, 600, 1, 256), 1);
  EXPECT_EQ(data->GDriverDataImp::IsFormUsable(0, 600, 600, 1, 257), 0);
}

TEST_F(DriverDataWalks, SymmetricMarginsTakeTheLargerSide) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  GMediaPool* media = data->GetMediaList();
  media->AddChild(new GMedia("Odd", {1000, 1000}, {100, 1000}, {800, 0}, 0, 60, 600, 600,
                             kModelMediumKey, 0, "", ""));
  GAttributeComposite* defaults = data->EnsureDefaultSettings();
  EXPECT_EQ(data->GetSymmetricMediaPool(), media);
  SetValue(defaults, 713, 1);
  GMediaPool* pool = data->GetSymmetricMediaPool();
  ASSERT_NE(pool, media);
  EXPECT_EQ(data->GetSymmetricMediaPool(), pool);  // kept
  // Letter 5100 x 6600, printable 4900 x 6400 at (150, 100): right margin
  // 5100 - 4900 - 150 = 50 < 150, bottom 6600 - 6400 - 100 = 100; so
  // margins (150, 100) and printable (5100 - 300, 6600 - 200).
  GMedia* letter = pool->FindByPaperSizeId(1, 0, 600, 600);
  ASSERT_NE(letter, nullptr);
  EXPECT_EQ(letter->GetPrintableOrigin(), GSize16(150, 100));
  EXPECT_EQ(letter->GetPrintableSize(), GSize16(4800, 6400));
  EXPECT_EQ(letter->GetName(), RWCString("Letter"));
  // Left 800 on 1000 wide: 1000 - 1600 is below 0; the height keeps 1000.
  EXPECT_EQ(pool->FindByPaperSizeId(60, 0, 600, 600)->GetPrintableSize(), GSize16(0, 1000));
  const GPrinterKey key(nullptr, u"P1", u"KV Test", u"USB001", 0);
  data->Retarget(key);
  EXPECT_NE(data->GetSymmetricMediaPool(), nullptr);
  SetValue(defaults, 711, 1);
  EXPECT_EQ(data->GetSymmetricMediaPool()->Key(), kAlternativeMediaListKey);
}

TEST_F(DriverDataWalks, ResourceNamesPairTheMadeMappingsWithList701) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  Recorder recorder;
  std::uint32_t index = 0;
  EXPECT_EQ(data->EnumResourceNames(&Recorder::Name, &recorder, 1, index), 1);
  // 16690 + i and 50 + i, string id 0, the i-th name of 701.
  EXPECT_EQ(recorder.names,
            (std::vector<std::string>{"15/15/10615 -", "16690/50/0 Envelope Feeder",
                                      "16691/51/0 Manual Envelope", "16692/52/0 Auto Select"}));
  EXPECT_EQ(index, 4u);
  // A list that already holds second number 50 takes none of them.
  GResourceMappingList list(0);
  list.AddMapping(new GResourceMapping(7, 7, 50, 0));
  ASSERT_NE(data->FillResourceMappings(list), nullptr);
  EXPECT_EQ(list.EntryCount(), 1u);
}

TEST_F(DriverDataWalks, CustomSizesAreCheckedAgainstTheSizeLimitMedia) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  GAttributeComposite* sizes = FindOfClass<GAttributeComposite>(data->EnsureDefaultSettings(), 276);
  // Hundredths of an inch; at 600 dpi six dots each. The limits are 17389
  // (1200 x 1800) and 17388 (7200 x 10800), not 17385 and 17384. 16384 is
  // the current size, 2159 x 2794 tenths of a millimetre (5100 x 6600).
  sizes->AddChild(new GCustomMediaSize(16386, RWCString("B"), 0, 1100, 1700, 0));  // 6600 x 10200
  sizes->AddChild(new GCustomMediaSize(16387, RWCString("C"), 0, 1300, 1900, 0));  // 7800 wide
  sizes->AddChild(new GCustomMediaSize(16388, RWCString("D"), 0, 200, 300, 0));    // 1200 x 1800
  sizes->AddChild(new GCustomMediaSize(16389, RWCString("E"), 0, 199, 300, 0));    // 1194 wide
  for (auto [id, expected] :
       {std::pair{16384, 1}, {16386, 1}, {16387, 0}, {16388, 1}, {16389, 0}, {16390, 0}}) {
    EXPECT_EQ(data->IsMediaSizeInRange(nullptr, static_cast<std::uint16_t>(id)), expected) << id;
  }
  GAttributeComposite bare(0);
  EXPECT_EQ(data->IsMediaSizeInRange(&bare, 16385), 0);
}

}  // namespace
