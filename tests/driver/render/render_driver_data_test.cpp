// The render-time driver data over the printer fixture: the gray
// conversions, PrepareJob's words, the job composite, media, copies and
// collation, the end of a job, the connection holder, the driver server's
// render table and its font-pool purge.
#include <gtest/gtest.h>

#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/paper/media.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/render/job_driver_data.h"
#include "driver/services/driver_server.h"
#include "driver/services/extension_job_hooks.h"
#include "fonts/tt_font_pool.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "persist/capabilities.h"
#include "persist/configuration.h"
#include "platform/host/spooler.h"
#include "tests/support/job_context.h"

namespace {

using testing_support::JobContextFixture;

class RenderDataTest : public JobContextFixture {
 protected:
  // "PassThrough" in P1's printer data; a negative answer deletes it.
  void SetPassThrough(std::int32_t answer) {
    if (answer < 0) {
      Services().DeletePrinterDataValue(Job(), u"PassThrough");
    } else {
      Services().SetPrinterDataDword(Job(), u"PassThrough", static_cast<std::uint32_t>(answer));
    }
  }
  // Entry 112 of the job settings: a device whose configuration holds the
  // capability lists 136 {1}, 135 {4}, 113 {1} and 120 {9}.
  void AddCapabilities() {
    auto* lists = new GConfiguration(198);
    for (auto [list, bit] : {std::pair{136u, 1u}, {135u, 4u}, {113u, 1u}, {120u, 9u}})
      lists->AddChild(new GCapabilities(list, 16, bit));
    JobSettings()->AddChild(
        new GPeripheralComposite(RWCString("Capabilities"), nullptr, lists, 112, 0, 0, 0));
  }
};

TEST_F(RenderDataTest, GrayConversionsFollowTheModeAndTheTablesOf970) {
  ASSERT_NE(Job(), nullptr);
  EXPECT_EQ(Job()->GetGrayConversion(), &ColorToGray);
  // Mode 0: (76 R + 151 G + 28 B + 255) >> 8. Table 972 {77, 150, 29,
  // 128, 8}: red (255 * 77 + 128) >> 8 = 77. Table 971 {1, 1, 1, 0, 2}:
  // white 765 >> 2 = 191, red 255 >> 2 = 63.
  struct Case {
    std::uint8_t mode, r, g, b, gray;
  } cases[] = {{0, 255, 255, 255, 255}, {0, 0, 0, 0, 0},       {0, 255, 0, 0, 76},
               {0, 0, 255, 0, 151},     {1, 255, 0, 0, 77},    {1, 255, 255, 255, 255},
               {2, 255, 255, 255, 191}, {2, 255, 0, 0, 63},    {7, 255, 0, 0, 76}};
  for (const Case& c : cases) {
    Job()->SelectGrayConversion(c.mode);
    EXPECT_EQ(Job()->ConvertToGray(c.r, c.g, c.b), c.gray) << int(c.mode) << " " << int(c.r);
  }
  // A table that is no table (a shift above 31, or missing) falls back.
  GAttributeComposite* tables = FindComposite(JobSettings(), 970);
  delete tables->RemoveByKey(971);
  auto* shifted = new GAttributeComposite(971);
  for (std::uint16_t word : {1, 1, 1, 0, 40})
    shifted->AddChild(new GValueAttribute(word, 0));
  tables->AddChild(shifted);
  delete tables->RemoveByKey(972);
  for (std::uint8_t mode : {1, 2}) {
    Job()->SelectGrayConversion(mode);
    EXPECT_EQ(Job()->ConvertToGray(255, 0, 0), 76);
  }
}

TEST_F(RenderDataTest, PrepareJobRecordsTheOutputLanguage) {
  ASSERT_NE(Job(), nullptr);
  // 1115 (none, 0, 1) x the printer's answer (none, 1, 2): pass-through
  // for 0 with 1 and for 1 with any non-zero answer.
  struct Case {
    std::int32_t choice, answer, language;
  } cases[] = {{-1, 1, 2}, {0, -1, 2}, {0, 1, 3}, {0, 2, 2}, {1, -1, 2}, {1, 1, 3}, {1, 2, 3}};
  for (const Case& c : cases) {
    SetValue(JobSettings(), 1115, c.choice);
    SetValue(JobSettings(), 561, 0);
    FindStringAttribute(JobSettings(), 560)->SetValue("");
    SetPassThrough(c.answer);
    Job()->PrepareJob();
    const bool pass = c.language == 3;
    EXPECT_EQ(Job()->IsPassThrough(), pass ? 1u : 0u) << c.choice << " " << c.answer;
    EXPECT_EQ(ValueOf(JobSettings(), 561), c.language);
    EXPECT_EQ(ValueOf(JobSettings(), 562), pass ? 0 : 1);
    EXPECT_EQ(FindStringAttribute(JobSettings(), 560)->GetValue(), pass ? "ZDL XL" : "");
  }
  // A language of 4 or more keeps the job off the pass-through words.
  SetValue(JobSettings(), 561, 4);
  Job()->PrepareJob();
  EXPECT_EQ(ValueOf(JobSettings(), 561), 2);
}

TEST_F(RenderDataTest, PrepareJobSetsTheModeAndCapabilityWords) {
  ASSERT_NE(Job(), nullptr);
  AddCapabilities();
  struct Case {
    std::int32_t raster;
    std::uint32_t flags, mode, capability, duplex, bin;
  } cases[] = {
      {3, 0, 3, 1, 1, 0},
      {2, 0, 2, 1, 1, 0},
      {0, 0, 1, 0, 0, 0},
      {0, 0x200000, 3, 1, 1, 0},
      {0, 0x400000, 2, 1, 1, 0},
      {0, 0x800000, 1, 0, 0, 1},
      {0, 0x800008, 1, 0, 0, 0},             // 0x8 clears both words
      {0, 0x4000000, 1, 0, 0, 0},            // list 136 has bit 1
      {0, 0x8000000, 3, 1, 1, 0},            // but not bit 2
      {2, 0x8000008, 3, 1, 0, 0},
  };
  for (const Case& c : cases) {
    SetValue(Defaults(), 255, c.raster);
    Job()->ApplyAppFlags(c.flags);
    Job()->PrepareJob();
    EXPECT_EQ(Job()->GetModeWord(), c.mode) << c.raster << " " << std::hex << c.flags;
    EXPECT_EQ(Job()->GetCapabilityWord(), c.capability) << std::hex << c.flags;
    EXPECT_EQ(Job()->GetDuplexCapabilityWord(), c.duplex) << std::hex << c.flags;
    EXPECT_EQ(Job()->GetBinCapabilityWord(), c.bin) << std::hex << c.flags;
  }
  // Without the lists every capability is missing: 0x4000000 forces mode 3.
  delete JobSettings()->RemoveByKey(112);
  SetValue(Defaults(), 255, 0);
  Job()->ApplyAppFlags(0x4000000 | 0x20000);
  Job()->PrepareJob();
  EXPECT_EQ(Job()->GetModeWord(), 3u);
  EXPECT_EQ(Job()->IsAppCompatModeOn(), 1u);
}

TEST_F(RenderDataTest, PrepareJobReadsTheFlagsDuplexBinAndColourWords) {
  ASSERT_NE(Job(), nullptr);
  struct Case {
    std::int32_t duplex, unit, bin, color, text_black;
    std::uint32_t duplex_word, second, bin_word, color_word;
  } cases[] = {{0, 0, 0, 0, 1, 0, 0, 0, 1},  {0, 1, 1, 3, 0, 1, 0, 1, 2},
               {1, 0, 2, 1, 0, 1, 1, 2, 0},  {2, 0, 3, -1, 0, 2, 0, 0, 0},
               {5, 1, -1, 0, 1, 0, 0, 0, 1}};
  for (const Case& c : cases) {
    SetValue(Defaults(), 570, c.duplex);
    SetValue(DefaultsPart(365), 308, c.unit);
    SetValue(Defaults(), 571, c.bin);
    SetValue(DefaultsPart(364), 296, c.color);
    SetValue(DefaultsPart(364), 585, c.text_black);
    Job()->PrepareJob();
    EXPECT_EQ(Job()->GetDuplexWord(), c.duplex_word) << c.duplex << " " << c.unit;
    EXPECT_EQ(Job()->GetSecondDuplexFlag(), c.second);
    EXPECT_EQ(Job()->GetBinWord(), c.bin_word);
    EXPECT_EQ(Job()->GetColorWord(), c.color_word);
    EXPECT_EQ(Job()->IsTextAsBlack(), c.text_black == 1 ? 1u : 0u);
  }
  // The job context as the filters reach it.
  GRenderDriverData* context = Job();
  EXPECT_EQ(context->GetDriverData(), static_cast<GDriverData*>(Job()));
  EXPECT_EQ(context->GetCachedValue(), 1);
  EXPECT_NE(context->GetDriverData()->GetMediaPool(), nullptr);
  EXPECT_EQ(context->GetDriverData()->IsNameNotListed("Courier PS"), 0);
  EXPECT_EQ(context->GetDriverData()->IsMediaSizeInRange(nullptr, 16385), 1);
}

TEST_F(RenderDataTest, CopiesStayInRangeAndCollationPicksTheCounts) {
  ASSERT_NE(Job(), nullptr);
  // Copies: below 0 -> 1, above range 199's maximum (999) -> 999.
  for (auto [given, kept] : {std::pair{-5, 1}, {0, 0}, {3, 3}, {5000, 999}}) {
    SetValue(DefaultsPart(364), 291, static_cast<std::uint16_t>(given));
    Job()->NormalizeCopies();
    EXPECT_EQ(ValueOf(DefaultsPart(364), 291), kept) << given;
  }
  // Collation: unit 310 with the source's 292 or the unit's 451.
  SetValue(DefaultsPart(364), 291, 4);
  SetValue(DefaultsPart(362), 247, 0);
  SetValue(DefaultsPart(363), 257, 0);
  struct Case {
    std::int32_t unit, collate, unit_collate, job_copies, target_copies;
  } cases[] = {{1, 1, 0, 4, 1}, {1, 0, 1, 4, 1}, {1, 0, 0, 1, 4}, {0, 1, 1, 1, 4}};
  for (const Case& c : cases) {
    SetValue(DefaultsPart(365), 310, c.unit);
    SetValue(DefaultsPart(364), 292, c.collate);
    SetValue(DefaultsPart(365), 451, c.unit_collate);
    Job()->ApplyDefaultCollation();
    EXPECT_EQ(ValueOf(DefaultsPart(362), 247), c.job_copies);
    EXPECT_EQ(ValueOf(DefaultsPart(363), 257), c.target_copies);
  }
  // The job composite holds one copy count however often it runs.
  const RWSize children = DefaultsPart(362)->Children().Count();
  Job()->ApplyDefaultCollation();
  EXPECT_EQ(DefaultsPart(362)->Children().Count(), children);
  EXPECT_EQ(ValueOf(DefaultsPart(362), 291), 4);
}

TEST_F(RenderDataTest, JobSettingsNameTheConnectionAndCarryThePaperMedia) {
  // 1012 by the first occurrence of each character of LPT, USB or DOT4.
  for (auto [port, connection] :
       {std::pair{u"LPT1:", 1}, {u"USB001", 1}, {u"DOT4_001", 1}, {u"LLPT1", 3}, {u"usb001", 3},
        {u"USXB", 3}, {u"FILE:", 3}, {u"", 3}}) {
    GJobDriverData bare(nullptr, u"P", u"D", port);
    std::unique_ptr<GAttributeComposite> job(bare.BuildJobSettings());
    EXPECT_EQ(ValueOf(job.get(), kConnectionKey), connection);
  }
  ASSERT_NE(Job(), nullptr);
  std::unique_ptr<GAttributeComposite> job(Job()->BuildJobSettings());
  auto* paper = FindOfClass<GMedia>(job.get(), kJobPaperMediumKey);
  ASSERT_NE(paper, nullptr);
  EXPECT_EQ(paper->GetPaperSizeId(), 1);
  EXPECT_EQ(paper->GetPaperSize(), GSize16(5100, 6600));
  EXPECT_NE(FindOfClass<GMedia>(job.get(), kJobTargetMediumKey), nullptr);
  EXPECT_NE(FindValueAttribute(job.get(), 296), nullptr);
  // The compatibility flag leaves out the second medium; a paper without
  // a medium is set to 0.
  Job()->ApplyAppFlags(kAppFlagCompatibility);
  Job()->PrepareJob();
  SetValue(DefaultsPart(362), 260, 999);
  job.reset(Job()->BuildJobSettings());
  EXPECT_EQ(FindOfClass<GMedia>(job.get(), kJobPaperMediumKey), nullptr);
  EXPECT_EQ(FindOfClass<GMedia>(job.get(), kJobTargetMediumKey), nullptr);
  EXPECT_EQ(ValueOf(DefaultsPart(362), 260), 0);
}

TEST_F(RenderDataTest, MediaAreTurnedAndGetTheirMargins) {
  ASSERT_NE(Job(), nullptr);
  // Letter: 5100 x 6600, printable 4900 x 6400 at (150, 100): margins
  // left 150, top 100, right 50, bottom 100. Turned 90 degrees
  // counter-clockwise the top becomes the left: (100, 50, 100, 150).
  GMedia letter("Letter", {5100, 6600}, {4900, 6400}, {150, 100}, 0, 1, 600, 600, 259, 0, "",
                "Plain");
  struct Case {
    std::uint32_t orientation;
    GSize16 paper, printable, origin;
  } cases[] = {{450, {6600, 5100}, {6400, 4900}, {100, 50}},
               {180, {5100, 6600}, {4900, 6400}, {50, 100}},
               {270, {6600, 5100}, {6400, 4900}, {100, 150}},
               {0, {5100, 6600}, {4900, 6400}, {150, 100}}};
  for (const Case& c : cases) {
    Job()->UpdateMediaSize(&letter, c.orientation);
    EXPECT_EQ(letter.Key(), 259u);
    EXPECT_EQ(letter.GetPaperSize(), c.paper) << c.orientation;
    EXPECT_EQ(letter.GetPrintableSize(), c.printable) << c.orientation;
    EXPECT_EQ(letter.GetPrintableOrigin(), c.origin) << c.orientation;
  }
  // The custom size 16385 (4 x 6 in) turned; an unknown code is left.
  GMedia custom("Custom A", {2400, 3600}, {2400, 3600}, {0, 0}, 0, 16385, 600, 600, 259, 0, "", "");
  Job()->UpdateMediaSize(&custom, 90);
  EXPECT_EQ(custom.GetPaperSize(), GSize16(3600, 2400));
  GMedia unknown("X", {10, 20}, {10, 20}, {0, 0}, 0, 777, 600, 600, 259, 0, "", "");
  Job()->UpdateMediaSize(&unknown, 90);
  EXPECT_EQ(unknown.GetOrientation(), 0u);
  // Margins 501 and 502 in ten-thousandths; too wide leaves 0, never less.
  SetValue(Defaults(), 442, 1);
  SetValue(Defaults(), 501, 1000);
  SetValue(Defaults(), 502, 6000);
  std::unique_ptr<GMedia> medium(Job()->MakeMedium(1));
  ASSERT_NE(medium, nullptr);
  EXPECT_EQ(medium->GetPrintableOrigin(), GSize16(510, 3960));
  EXPECT_EQ(medium->GetPrintableSize(), GSize16(4080, 0));
}

TEST_F(RenderDataTest, EndJobAnswersWhetherAJobWasStarted) {
  ASSERT_NE(Job(), nullptr);
  EXPECT_EQ(Job()->EndJob(), kNoJobStarted);
  EXPECT_EQ(Job()->GetStateWord(), 3u);
  Job()->PrepareJob();
  Job()->SetJobStarted();
  EXPECT_EQ(Job()->GetJobStarted(), 1u);
  EXPECT_EQ(Job()->EndJob(), 0);
  EXPECT_EQ(Job()->GetJobStarted(), 0u);
  // The extension manager's job operations hand every command back.
  GPageStart start;
  GExtensionJobHooks* hooks = Job()->GetExtensionJobHooks();
  hooks->DocumentStart(nullptr);
  EXPECT_EQ(hooks->AddStartData(&start, 0), &start);
  EXPECT_EQ(hooks->AddEndData(&start, 1), &start);
}

class CountingConnection : public GRenderConnection {
 public:
  explicit CountingConnection(int* queries) : queries_(queries) {}
  void SelectGrayConversion(GConnectionHolder&, std::uint32_t argument) override {
    selected = argument;
  }
  std::uint32_t Query() override { return static_cast<std::uint32_t>(++*queries_); }
  std::uint32_t Forward3(std::uint32_t argument) override { return argument + 3; }
  std::uint32_t Forward4(std::uint32_t a, std::uint32_t, std::uint32_t, std::uint32_t d) override {
    return a + d;
  }
  bool Accepts(std::uint32_t argument) override { return argument == 7; }
  std::uint32_t selected = 0;

 private:
  int* queries_;
};

TEST(ConnectionHolderTest, ChecksFindsAndDropsItsConnection) {
  int queries = 0;
  GConnectionHolder holder;
  EXPECT_EQ(holder.Check(7), 2u);
  EXPECT_EQ(holder.Query(), 0u);
  auto* connection = new CountingConnection(&queries);
  holder.Attach(connection, 5);
  EXPECT_EQ(connection->selected, 5u);
  EXPECT_EQ(holder.Forward3(1), 4u);
  EXPECT_EQ(holder.Forward4(1, 0, 0, 2), 3u);
  EXPECT_EQ(holder.Find(7), connection);
  EXPECT_EQ(holder.Find(8), nullptr);
  EXPECT_EQ(holder.Check(7), 1u);
  holder.SetMark(9);
  holder.Unmark(8);
  EXPECT_TRUE(holder.IsMarked());
  holder.Unmark(9);
  EXPECT_FALSE(holder.IsMarked());
  // A connection that does not serve the argument is queried and deleted
  // (ASan sees the deletion).
  EXPECT_EQ(holder.Check(8), 2u);
  EXPECT_EQ(queries, 1);
  EXPECT_EQ(holder.Connection(), nullptr);
}

TEST_F(RenderDataTest, TheServerFindsReusesAndPurgesAfterTheLastJob) {
  GJobDriverData* first = Job();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Server()->FindRenderData(Cookie()), first);
  EXPECT_EQ(first->GetJobCookie(), Cookie());
  EXPECT_NE(first->GetOwnerId(), 0u);
  GFontDatabase* old_fonts = first->GetFontDatabase();
  ASSERT_NE(old_fonts, nullptr);
  // The font pool counts its ids; a purge starts them again at 0.
  GTTFontPool* pool = GTTFontPool::Instance();
  pool->NextId();
  pool->NextId();
  ReleaseJob();
  EXPECT_EQ(pool->NextId(), 0u);
  EXPECT_EQ(Server()->RenderCount(), 0u);
  // The parked job serves the next job of the driver, re-targeted.
  pool->NextId();
  GJobDriverData* second = Job();
  EXPECT_EQ(second, first);
  EXPECT_EQ(Server()->FindRenderData(Cookie()), second);
  EXPECT_EQ(second->GetModeWord(), 1u);
  EXPECT_NE(second->GetFontDatabase(), nullptr);
  // A job still out keeps the pool.
  std::uint32_t other = 0;
  GJobDriverData* third = CheckOutJobDriverData(new GPrinterKey(nullptr, u"P1", 0), other);
  ASSERT_NE(third, nullptr);
  EXPECT_NE(third, second);
  Server()->ReleaseRenderData(other);
  EXPECT_EQ(pool->NextId(), 2u);
}

}  // namespace
