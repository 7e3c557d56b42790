// The render-time driver data over the printer fixture: gray conversions,
// PrepareJob's words, the job composite, media, copies and collation, the
// connection holder, the end of a job, the render table and its purge, and
// jobs on eight threads.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "config/paper/media.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "fonts/tt_font_pool.h"
#include "output/core/peripheral_composite.h"
#include "persist/capabilities.h"
#include "persist/configuration.h"
#include "services/driver_server.h"
#include "tests/support/job_context.h"

namespace {

using testing_support::JobContextFixture;
using RenderDataTest = JobContextFixture;

TEST_F(RenderDataTest, GrayConversionsFollowTheModeAndTheTablesOf970) {
  EXPECT_EQ(Job()->GetGrayConversion(), &ColorToGray);
  // Mode 0: (76 R + 151 G + 28 B + 255) >> 8. Table 972 {77, 150, 29,
  // 128, 8}: red (255 * 77 + 128) >> 8 = 77. Table 971 {1, 1, 1, 0, 2}:
  // white 765 >> 2 = 191, red 255 >> 2 = 63. Mode 7 is mode 0.
  struct Case {
    std::uint8_t mode, r, g, b, gray;
  } cases[] = {{0, 255, 255, 255, 255}, {0, 0, 0, 0, 0},    {0, 255, 0, 0, 76},
               {0, 0, 255, 0, 151},     {1, 255, 0, 0, 77}, {1, 255, 255, 255, 255},
               {2, 255, 255, 255, 191}, {2, 255, 0, 0, 63}, {7, 255, 0, 0, 76}};
  for (const Case& c : cases) {
    Job()->SelectGrayConversion(c.mode);
    EXPECT_EQ(Job()->ConvertToGray(c.r, c.g, c.b), c.gray) << int(c.mode) << " " << int(c.r);
  }
  delete JobSettings()->RemoveByKey(970);
  Job()->SelectGrayConversion(2);
  EXPECT_EQ(Job()->ConvertToGray(255, 0, 0), 76);
}

TEST_F(RenderDataTest, PrepareJobRecordsTheOutputLanguage) {
  // 1115 x the printer's "PassThrough" (-1: none): pass-through for 0 with
  // 1 and for 1 with any non-zero answer; 561 of 4 or more keeps it off.
  struct Case {
    std::int32_t choice, answer, before;
    std::uint32_t pass;
    std::int32_t language;
  } cases[] = {{-1, 1, 0, 0, 2}, {0, -1, 0, 0, 2}, {0, 1, 0, 1, 3}, {0, 2, 0, 0, 2},
               {1, -1, 0, 0, 2}, {1, 1, 0, 1, 3},  {1, 2, 0, 1, 3}, {1, 2, 4, 1, 2}};
  for (const Case& c : cases) {
    SetValue(JobSettings(), 1115, c.choice);
    SetValue(JobSettings(), 561, c.before);
    FindStringAttribute(JobSettings(), 560)->SetValue("");
    Services().DeletePrinterDataValue(Job(), u"PassThrough");
    if (c.answer >= 0) Services().SetPrinterDataDword(Job(), u"PassThrough", c.answer);
    Job()->PrepareJob();
    const bool pass = c.language == 3;
    EXPECT_EQ(Job()->IsPassThrough(), c.pass) << c.choice << " " << c.answer;
    EXPECT_EQ(ValueOf(JobSettings(), 561), c.language);
    EXPECT_EQ(ValueOf(JobSettings(), 562), pass ? 0 : 1);
    EXPECT_EQ(FindStringAttribute(JobSettings(), 560)->GetValue(), pass ? "ZDL XL" : "");
  }
}

TEST_F(RenderDataTest, PrepareJobSetsTheJobWords) {
  // Entry 112: a device whose configuration holds 136 {1}, 135 {4}, 113
  // {1} and 120 {9}.
  auto* lists = new GConfiguration(198);
  for (auto [list, bit] : {std::pair{136u, 1u}, {135u, 4u}, {113u, 1u}, {120u, 9u}})
    lists->AddChild(new GCapabilities(list, 16, bit));
  JobSettings()->AddChild(new GPeripheralComposite(RWCString(), nullptr, lists, 112, 0, 0, 0));
  // 255, the application flags, 570, 365 -> 308, 571, 296, 585 (-1: none)
  // -> the mode, capability, duplex-capability and bin-capability words,
  // the duplex word, second duplex flag, bin and colour words, text as
  // black.
  struct Case {
    std::int32_t raster;
    std::uint32_t flags;
    std::int32_t duplex, unit, bin, color, black;
    std::vector<std::uint32_t> words;
  } cases[] = {{3, 0, 0, 0, 0, 0, 1, {3, 1, 1, 0, 0, 0, 0, 1, 1}},
               {2, 0, 0, 1, 1, 3, 0, {2, 1, 1, 0, 1, 0, 1, 2, 0}},
               {0, 0, 1, 0, 2, 1, 0, {1, 0, 0, 0, 1, 1, 2, 0, 0}},
               {0, 0x200000, 2, 0, 3, -1, 0, {3, 1, 1, 0, 2, 0, 0, 0, 0}},
               {0, 0x400000, 5, 1, -1, 0, 1, {2, 1, 1, 0, 0, 0, 0, 1, 1}},
               {0, 0x800000, 0, 0, 0, 0, 0, {1, 0, 0, 1, 0, 0, 0, 1, 0}},
               {0, 0x800008, 0, 0, 0, 0, 0, {1, 0, 0, 0, 0, 0, 0, 1, 0}},
               {0, 0x4000000, 0, 0, 0, 0, 0, {1, 0, 0, 0, 0, 0, 0, 1, 0}},
               {0, 0x8000000, 0, 0, 0, 0, 0, {3, 1, 1, 0, 0, 0, 0, 1, 0}},
               {2, 0x8000008, 0, 0, 0, 0, 0, {3, 1, 0, 0, 0, 0, 0, 1, 0}}};
  for (const Case& c : cases) {
    SetValue(Defaults(), 255, c.raster);
    Job()->ApplyAppFlags(c.flags);
    SetValue(Defaults(), 570, c.duplex);
    SetValue(DefaultsPart(365), 308, c.unit);
    SetValue(Defaults(), 571, c.bin);
    SetValue(DefaultsPart(364), 296, c.color);
    SetValue(DefaultsPart(364), 585, c.black);
    Job()->PrepareJob();
    EXPECT_EQ(std::vector({Job()->GetModeWord(), Job()->GetCapabilityWord(),
                           Job()->GetDuplexCapabilityWord(), Job()->GetBinCapabilityWord(),
                           Job()->GetDuplexWord(), Job()->GetSecondDuplexFlag(),
                           Job()->GetBinWord(), Job()->GetColorWord(), Job()->IsTextAsBlack()}),
              c.words)
        << c.raster << " " << std::hex << c.flags;
  }
  // Without the lists every capability is missing: 0x4000000 forces 3.
  delete JobSettings()->RemoveByKey(112);
  SetValue(Defaults(), 255, 0);
  Job()->ApplyAppFlags(0x4000000 | kAppFlagCompatibility);
  Job()->PrepareJob();
  EXPECT_EQ(Job()->GetModeWord(), 3u);
  EXPECT_EQ(Job()->IsAppCompatModeOn(), 1u);
  // The job context as the filters reach it.
  GRenderDriverData* context = Job();
  EXPECT_EQ(context->GetDriverData(), static_cast<GDriverData*>(Job()));
  EXPECT_EQ(context->GetCachedValue(), 1);
  EXPECT_NE(context->GetDriverData()->GetMediaPool(), nullptr);
  EXPECT_EQ(context->GetDriverData()->IsNameNotListed("Courier PS"), 0);
  EXPECT_EQ(context->GetDriverData()->IsMediaSizeInRange(nullptr, 16385), 1);
  GExtensionJobHooks* manager = Job()->GetExtensionManager();
  EXPECT_EQ(context->GetExtensionJobHooks(), manager);
}

TEST_F(RenderDataTest, CopiesStayInRangeAndCollationPicksTheCounts) {
  // Below 0 -> 1, above range 199's maximum (999) -> 999.
  for (auto [given, kept] : {std::pair{-5, 1}, {0, 0}, {3, 3}, {5000, 999}}) {
    SetValue(DefaultsPart(364), 291, static_cast<std::uint16_t>(given));
    Job()->NormalizeCopies();
    EXPECT_EQ(ValueOf(DefaultsPart(364), 291), kept) << given;
  }
  // The unit's 310 with the source's 292 or the unit's 451: 247 of 362
  // the count and 257 of 363 1, else the other way round.
  SetValue(DefaultsPart(364), 291, 4);
  SetValue(DefaultsPart(362), 247, 0);
  SetValue(DefaultsPart(363), 257, 0);
  for (auto [unit, collate, unit_collate, job, target] :
       {std::tuple{1, 1, 0, 4, 1}, {1, 0, 1, 4, 1}, {1, 0, 0, 1, 4}, {0, 1, 1, 1, 4}}) {
    SetValue(DefaultsPart(365), 310, unit);
    SetValue(DefaultsPart(364), 292, collate);
    SetValue(DefaultsPart(365), 451, unit_collate);
    Job()->ApplyDefaultCollation();
    EXPECT_EQ(ValueOf(DefaultsPart(362), 247), job);
    EXPECT_EQ(ValueOf(DefaultsPart(363), 257), target);
  }
  // One copy count in the job composite however often it runs.
  const RWSize children = DefaultsPart(362)->Children().Count();
  Job()->ApplyDefaultCollation();
  EXPECT_EQ(DefaultsPart(362)->Children().Count(), children);
}

TEST_F(RenderDataTest, JobSettingsNameTheConnectionAndCarryThePaperMedia) {
  // 1012 by the first occurrence of each character of LPT, USB or DOT4.
  const std::pair<const char16_t*, int> ports[] = {{u"LPT1:", 1}, {u"USB001", 1}, {u"DOT4_001", 1},
                                                   {u"LLPT1", 3}, {u"usb001", 3}, {u"USXB", 3},
                                                   {u"", 3}};
  for (auto [port, connection] : ports) {
    GJobDriverData bare(nullptr, u"P", u"D", port);
    std::unique_ptr<GAttributeComposite> job(bare.BuildJobSettings());
    EXPECT_EQ(ValueOf(job.get(), kConnectionKey), connection);
  }
  std::unique_ptr<GAttributeComposite> job(Job()->BuildJobSettings());
  auto* paper = FindOfClass<GMedia>(job.get(), kTargetMediumKey);
  ASSERT_NE(paper, nullptr);
  EXPECT_EQ(paper->GetPaperSize(), GSize16(5100, 6600));
  EXPECT_NE(FindOfClass<GMedia>(job.get(), kBookletMediumKey), nullptr);
  EXPECT_NE(FindValueAttribute(job.get(), 296), nullptr);
  // Compatibility leaves out the second medium; a paper without one is 0.
  Job()->ApplyAppFlags(kAppFlagCompatibility);
  Job()->PrepareJob();
  SetValue(DefaultsPart(362), 260, 999);
  job.reset(Job()->BuildJobSettings());
  EXPECT_EQ(FindOfClass<GMedia>(job.get(), kTargetMediumKey), nullptr);
  EXPECT_EQ(FindOfClass<GMedia>(job.get(), kBookletMediumKey), nullptr);
  EXPECT_EQ(ValueOf(DefaultsPart(362), 260), 0);
}

TEST_F(RenderDataTest, MediaAreTurnedAndGetTheirMargins) {
  // Letter 5100 x 6600, printable 4900 x 6400 at (150, 100): margins
  // (left, top, right, bottom) = (150, 100, 50, 100); each quarter turn
  // counter-clockwise makes the top the left: (100, 50, 100, 150).
  GMedia letter("Letter", {5100, 6600}, {4900, 6400}, {150, 100}, 0, 1, 600, 600, 259, 0, "", "");
  struct Case {
    std::uint32_t orientation;
    GSize16 paper, printable, origin;
  } cases[] = {{450, {6600, 5100}, {6400, 4900}, {100, 50}},
               {270, {6600, 5100}, {6400, 4900}, {100, 150}},
               {0, {5100, 6600}, {4900, 6400}, {150, 100}}};
  for (const Case& c : cases) {
    Job()->UpdateMediaSize(&letter, c.orientation);
    EXPECT_EQ(letter.Key(), 259u);
    EXPECT_EQ(letter.GetPaperSize(), c.paper) << c.orientation;
    EXPECT_EQ(letter.GetPrintableSize(), c.printable) << c.orientation;
    EXPECT_EQ(letter.GetPrintableOrigin(), c.origin) << c.orientation;
  }
  // The custom size 16385 (4 x 6 in) turns too.
  GMedia custom("C", {2400, 3600}, {2400, 3600}, {0, 0}, 0, 16385, 600, 600, 259, 0, "", "");
  Job()->UpdateMediaSize(&custom, 90);
  EXPECT_EQ(custom.GetPaperSize(), GSize16(3600, 2400));
  // Margins 501 = 10% and 502 = 60% of the paper: 510 and 3960, the
  // printable height 6600 - 7920 stops at 0.
  SetValue(Defaults(), 442, 1);
  SetValue(Defaults(), 501, 1000);
  SetValue(Defaults(), 502, 6000);
  std::unique_ptr<GMedia> medium(Job()->MakeMedium(1));
  ASSERT_NE(medium, nullptr);
  EXPECT_EQ(medium->GetPrintableOrigin(), GSize16(510, 3960));
  EXPECT_EQ(medium->GetPrintableSize(), GSize16(4080, 0));
}

struct Connection : GRenderConnection {
  void SelectGrayConversion(GConnectionHolder&, std::uint32_t a) override { got = a; }
  std::uint32_t Query() override { return ++queries; }
  std::uint32_t Forward3(std::uint32_t a) override { return a + 3; }
  std::uint32_t Forward4(std::uint32_t a, std::uint32_t, std::uint32_t, std::uint32_t) override {
    return a;
  }
  bool Accepts(std::uint32_t a) override { return a == 7; }
  std::uint32_t got = 0;
  static inline std::uint32_t queries = 0;
};

TEST(ConnectionHolderTest, ChecksFindsAndDropsItsConnection) {
  GConnectionHolder holder;
  auto* connection = new Connection;
  holder.Attach(new Connection, 1);  // deleted when the next one comes
  holder.Attach(connection, 5);
  EXPECT_EQ(connection->got + holder.Forward3(1) + holder.Forward4(6, 0, 0, 0), 5u + 4 + 6);
  EXPECT_EQ(holder.Find(7), connection);
  EXPECT_EQ(holder.Check(7), 1u);
  // One that does not serve the argument is queried and deleted (ASan).
  EXPECT_EQ(holder.Check(8) + holder.Check(7), 2u + 2);
  EXPECT_EQ(Connection::queries, 1u);
}

TEST_F(RenderDataTest, TheServerFindsReusesAndPurgesAfterTheLastJob) {
  GJobDriverData* first = Job();
  EXPECT_EQ(Server()->FindRenderData(Cookie()), first);
  EXPECT_EQ(first->GetJobCookie(), Cookie());
  EXPECT_NE(first->GetOwnerId(), 0u);
  EXPECT_EQ(first->EndJob(), kNoJobStarted);
  first->SetJobStarted();
  EXPECT_EQ(first->EndJob(), 0);
  // The pool counts ids from 0; a purge starts them again.
  GTTFontPool* pool = GTTFontPool::Instance();
  pool->NextId();
  ReleaseJob();
  EXPECT_EQ(pool->NextId(), 0u);
  // The parked job serves the next job of the driver, re-targeted; a job
  // still out keeps the pool.
  EXPECT_EQ(Job(), first);
  EXPECT_NE(first->GetFontDatabase(), nullptr);
  std::uint32_t other = 0;
  GJobDriverData* second = CheckOutJobDriverData(new GPrinterKey(nullptr, u"P1", 0), other);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  Server()->ReleaseRenderData(other);
  EXPECT_EQ(pool->NextId(), 1u);
}

// Eight jobs on eight threads check job driver data out, find them by
// cookie, name them and give them back while the printer's context is read
// on another thread (ThreadSanitizer too, README).
TEST_F(RenderDataTest, JobsOnEightThreadsComeAndGoWhileTheContextIsInUse) {
  ReleaseJob();
  GDriverContext* context = DriverData();
  ASSERT_NE(context, nullptr);
  std::atomic<int> failures{0};
  std::atomic<bool> done{false};
  std::thread sheet([&] {
    while (!done.load())
      failures += context->GetCachedValue() == 1 ? 0 : 1;
  });
  std::vector<std::thread> jobs;
  for (char16_t t = 0; t < 8; ++t) {
    jobs.emplace_back([&, t] {
      for (int round = 0; round < 12; ++round) {
        std::uint32_t cookie = 0;
        GJobDriverData* job = CheckOutJobDriverData(new GPrinterKey(nullptr, u"P1", 0), cookie);
        if (!job || Server()->FindRenderData(cookie) != job) return ++failures, void();
        job->SetDocumentName(RWWString(u"job") + RWWString(char16_t(u'a' + t)));
        failures += job->MakeJobName() == RWCString("JOB") + RWCString(char('A' + t)) ? 0 : 1;
        Server()->ReleaseRenderData(cookie);
      }
    });
  }
  for (std::thread& job : jobs)
    job.join();
  done = true;
  sheet.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(Server()->RenderCount(), 0u);
}

}  // namespace
