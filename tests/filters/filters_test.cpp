// The filter frame, and the face-up filter and its spool on a real job.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <thread>

#include "filters/booklet_filter.h"
#include "filters/color_adjustment_filter.h"
#include "filters/copy_page_filter.h"
#include "filters/cover_filters.h"
#include "filters/face_up_filter.h"
#include "filters/geometry_filters.h"
#include "filters/handoff_filters.h"
#include "filters/last_page_filter.h"
#include "filters/letterhead_filter.h"
#include "filters/manual_duplex_filter.h"
#include "filters/nup_filter.h"
#include "filters/reducing_filter.h"
#include "filters/reverse_filter.h"
#include "filters/spool_directory.h"
#include "filters/watermark_filter.h"
#include "fonts/font_database.h"
#include "foundation/rw/factory.h"
#include "foundation/rw/file.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/result_commands.h"
#include "persist/string_conversion.h"
#include "services/driver_server.h"
#include "tests/support/every_class.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using namespace testing_support;
using Tokens = std::vector<std::string>;

// The 19 filters (ids 1101-1120, no 1106).
constexpr std::pair<RWClassID, const char*> kFilters[] = {
    {kGNupFilterId, "GNupFilter"},
    {kGBookletFilterId, "GBookletFilter"},
    {kGFaceUpFilterId, "GFaceUpFilter"},
    {kGReverseFilterId, "GReverseFilter"},
    {kGManualDuplexFilterId, "GManualDuplexFilter"},
    {kGCopyPageFilterId, "GCopyPageFilter"},
    {kGLastPageFilterId, "GLastPageFilter"},
    {kGFrontCoverFilterId, "GFrontCoverFilter"},
    {kGBackCoverFilterId, "GBackCoverFilter"},
    {kGEmulateMarginsFilterId, "GEmulateMarginsFilter"},
    {kGFitToSizeFilterId, "GFitToSizeFilter"},
    {kGSymetricalDuplexFilterId, "GSymetricalDuplexFilter"},
    {kGScalePageFilterId, "GScalePageFilter"},
    {kGReducingFilterId, "GReducingFilter"},
    {kGLetterheadFilterId, "GLetterheadFilter"},
    {kGTintvectorFilterId, "GTintvectorFilter"},
    {kGAAFilter1Id, "GAAFilter1"},
    {kGAAFilter2Id, "GAAFilter2"},
    {kGWatermarkFilterId, "GWatermarkFilter"}};

TEST(FilterFrame, FiltersAreMadeByIdAndNameAndStoreTheirVersionWord) {
  const std::vector<RWClassID> checked = CheckEveryRegisteredClass().checked;
  for (const auto& [id, name] : kFilters) {
    EXPECT_NE(std::find(checked.begin(), checked.end(), id), checked.end());
    std::unique_ptr<RWCollectable> by_name(CreateByStringId(RWStringID(name)));
    std::unique_ptr<GPeripheral> filter(dynamic_cast<GPeripheral*>(CreateByClassId(id)));
    ASSERT_TRUE(by_name && filter && by_name->ClassId() == id) << name;
    for (RWClassID kind : {id, kGPeripheralId, RWClassID{753}, RWClassID{751}})
      EXPECT_TRUE(filter->IsKindOf(kind) && !filter->IsKindOf(770) && filter->Key() == 0);
  }
  TempPath path("frame");
  GPeripheral base(0u);
  GFaceUpFilter filter, restored(5u);
  filter.SetSerialNumber(base.SerialNumber());
  auto save = [&](const RWCollectable& object) {
    object.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
    return ReadAll(path.str());
  };
  const std::string head = save(base);  // the GPeripheral part
  EXPECT_EQ(save(filter), head + Unhex("01 00 00 00"));
  for (RWClassID id :
       {kGCopyPageFilterId, kGLastPageFilterId, kGFrontCoverFilterId, kGBackCoverFilterId,
        kGLetterheadFilterId, kGWatermarkFilterId}) {  // no fields of their own either
    std::unique_ptr<GPeripheral> other(dynamic_cast<GPeripheral*>(CreateByClassId(id)));
    other->SetSerialNumber(base.SerialNumber());
    EXPECT_EQ(save(*other), head + Unhex("01 00 00 00")) << id;
    std::unique_ptr<GPeripheral> back(dynamic_cast<GPeripheral*>(CreateByClassId(id)));
    RWFile file(path.c_str(), "rb");
    back->RestoreFromFile(file);
    EXPECT_TRUE(!file.Error() && back->IsEqualContent(other.get()) &&
                !back->IsEqualContent(&filter));
  }
  WriteAll(path.str(), head + Unhex("07 00 00 00"));  // the word's value is not acted on
  RWFile file(path.c_str(), "rb");
  restored.RestoreFromFile(file);
  EXPECT_TRUE(!file.Error() && restored.IsEqualContent(&filter));
  EXPECT_FALSE(filter.IsEqualContent(&base));  // another class first
}

class FaceUp : public JobContextFixture {
 protected:
  void SetUp() override {
    JobContextFixture::SetUp();
    job = std::make_unique<FilterJob>(Job(), std::initializer_list<GPeripheral*>{filter});
  }
  const RecordedEvent& Event(std::size_t i) { return job->recorder->events.at(i); }
  bool Clean() { return std::filesystem::is_empty(SpoolParent()); }

  GFaceUpFilter* filter = new GFaceUpFilter;
  std::unique_ptr<FilterJob> job;
};

TEST_F(FaceUp, DocumentsComeOutInTheirOrders) {
  EXPECT_TRUE(GPageSpool::PageName(1, 1) == "0" && GPageSpool::PageName(1, 1u << 31) == "80000001");
  // Document after document (settings, 308 of the job, pages): pairing is
  // set anew at each; a refused one (last) disables the filter.
  const struct {
    Values settings;
    int duplex_unit, pages;
    Tokens out;
  } cases[] = {{{{1229, 1}}, 0, 3, {"DS", "3", "2", "1", "DE"}},
               {{{1229, 1}, {253, 1}}, 1, 3, {"DS", "3", "blank", "1", "2", "DE"}},
               {{{1229, 1}, {253, 1}}, 1, 5, {"DS", "5", "blank", "3", "4", "1", "2", "DE"}},
               {{{1229, 1}, {253, 1}}, 1, 4, {"DS", "3", "4", "1", "2", "DE"}},
               {{{1229, 1}, {253, 1}}, 1, 1, {"DS", "1", "blank", "DE"}},
               {{{1229, 1}, {253, 0}}, 1, 3, {"DS", "3", "2", "1", "DE"}},
               {{{1229, 1}, {253, 1}}, 0, 2, {"DS", "2", "1", "DE"}},
               {{{1229, 1}}, 0, 0, {"DS", "DE"}},
               {{{1229, 2}}, 1, 2, {"DS", "1", "2", "DE"}},
               {{}, 1, 1, {"DS", "1", "DE"}}};
  std::size_t seen = 0;
  for (const auto& [settings, duplex_unit, pages, out] : cases) {
    SetValue(JobSettings(), 308, duplex_unit);
    EXPECT_EQ(job->Document(settings, pages), 0);
    const Tokens all = job->Summary();
    EXPECT_EQ(Tokens(all.begin() + static_cast<long>(seen), all.end()), out) << pages;
    seen = all.size();
    EXPECT_TRUE(Clean() && Job()->GetOutputChain()->GetFlags() == 0);
  }
  EXPECT_FALSE(filter->IsEnabled());
  // The second document's blank (event 19) is on a copy of page 1's set.
  auto set = [&](std::size_t i) {
    return static_cast<GCommand*>(Event(i).command.Get())->GetAttributes();
  };
  EXPECT_TRUE(Event(19).line == "22 709 k0 M {763:265=1}" && set(19)->IsEqualContent(set(21)) &&
              set(19) != set(21));
}

TEST_F(FaceUp, HeldPagesComeBackWholeFromTheirFilesWithTheEnd) {
  // Stored: page start, a null command keyed 0, the page, page end; read
  // back as byte-equal copies with the end (submission 8), each after the
  // font file its bundle names (407) for its job (408) was loaded (the
  // job's database holds a font, so each page has one).
  HeldFont font(Job()->GetJobFontDatabase());
  SetValue(JobSettings(), 308, 1);
  job->recorder->probe = [&](const GCommand& c) {
    RWCString path;
    WideToNarrow(Job()->GetJobFontDatabase()->CurrentPath(), path);
    return c.ClassId() == kGPageStartId ? std::string(path.Data()) : std::string();
  };
  job->Submit(Command(kGDocumentStartId, {{1229, 1}, {253, 1}}));
  EXPECT_EQ(Job()->GetOutputChain()->GetFlags(), kHoldingFlag);
  std::vector<GCountedPtr> sent;
  for (std::int16_t n = 1; n <= 2; ++n) {
    for (const GCountedPtr& c : {Command(kGPageStartId, {{265, n}}), Tag(n), Command(kGPageEndId)})
      sent.push_back(c), job->Submit(c);
  }
  const std::string stem = filter->Spool().DirectoryPath() + "/";
  EXPECT_TRUE(job->recorder->events.empty());  // all swallowed
  ASSERT_EQ(job->Submit(Command(kGDocumentEndId)), 0);
  ASSERT_EQ(job->Summary(), Tokens({"DS", "1", "2", "DE"}));
  for (std::size_t i = 1, page = 0, at = 0; i < 9; ++i, page = (i - 1) / 4, at = (i - 1) % 4) {
    const std::string font = stem + GPageSpool::PageName(page + 1, Cookie()) + ".fft";
    const std::string start = "8 709 k0 S {763:265=" + std::to_string(page + 1) + "} " + font;
    EXPECT_TRUE(at > 1 || Event(i).line == (at == 0 ? start : "8 712 k0 S {}")) << Event(i).line;
    const MPersistentObject* original = sent[page * 3 + (at ? at - 1 : 0)].Get();
    EXPECT_TRUE(at == 1 || (SaveToFileBytes(Event(i).command.Get()) == SaveToFileBytes(original) &&
                            Event(i).command.Get() != original && Event(i).submission == 8));
  }
  EXPECT_TRUE(Clean());
}

TEST_F(FaceUp, EdgesOfAHeldDocument) {
  // A graphic outside a page passes at once; a pass break replays what is
  // held and goes on after it; a page left open at the end is dropped.
  job->Document({{1229, 1}}, 2, false);
  for (const GCountedPtr& c : {Tag(9), Command(kPassBreakId), Command(kGPageStartId), Tag(3),
                               Command(kGPageEndId), Command(kGPageStartId), Tag(4)})
    job->Submit(c);
  EXPECT_EQ(filter->GetFlags(), kHoldingFlag);
  job->Submit(Command(kGDocumentEndId));
  EXPECT_EQ(job->Summary(), Tokens({"659", "DS", "2", "1", "718", "3", "DE"}));
  // Pages that come whole (no page start handled) pad an odd count on the
  // last one's set, and their files are never touched.
  SetValue(JobSettings(), 308, 1);
  GCountedPtr whole(new GCommandComposite);
  whole->AddChild(Command(kGDocumentStartId, {{1229, 1}, {253, 1}}, Job()).Get());
  for (std::int16_t n = 1; n <= 3; ++n) {
    auto* page = new GCommandComposite;
    whole->AddChild(page);
    for (const GCountedPtr& c : {Command(kGPageStartId, {{265, n}}), Tag(n), Command(kGPageEndId)})
      page->AddChild(c.Get());
  }
  whole->AddChild(Command(kGDocumentEndId).Get());
  ASSERT_EQ(job->Submit(whole), 0);
  EXPECT_TRUE(job->Summary().size() == 13 && Event(20).line == "16 709 k0 M {763:265=3}");
  // A job abort inside a page drops everything and passes on.
  job->Document({{1229, 1}}, 1, false);
  job->Submit(Command(kGPageStartId));
  job->Submit(Command(kGJobAbortId));
  EXPECT_TRUE(job->Summary().back() == "JA" && !filter->IsEnabled() && Clean());
  GFaceUpFilter alone;  // a document start without a job context is refused
  EXPECT_FALSE(alone.Submit(Command(kGDocumentStartId, {{1229, 1}})) && alone.IsEnabled());
}

TEST(SpoolDamage, HeldFilesDamagedThroughTheHoldingFiltersFailTheJobOrDoNoHarm) {
  // The fuzz target's corpus, then seeded programs of its input (it aborts
  // on a wrong outcome).
  EXPECT_GT(ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 0);
  std::mt19937 random(50);
  for (int i = 0; i < 30; ++i) {
    std::vector<std::uint8_t> input(2 + 4 * (1 + random() % 3));
    for (std::uint8_t& byte : input)
      byte = static_cast<std::uint8_t>(random());
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
}

int g_failing = -1;  // the seam step that fails

TEST_F(FaceUp, FailedStepsAbortTheJobLeaveNoFileAndFreeTheLock) {
  auto taken_elsewhere = [] {  // at once: nothing else would free it later
    bool taken = false;
    std::thread([&] { (taken = SpoolLock().try_lock()) ? SpoolLock().unlock() : void(); }).join();
    return taken;
  };
  // Rows 0-3 fail a step of the seam; 4 and 5 limit the files' size (a
  // held page of the document is 394 bytes once closed: the first page's
  // write fails, then the second's).
  GSpoolDirectory::SetFaultHook([](GSpoolDirectory::Step step) { return int(step) == g_failing; });
  for (g_failing = 0; g_failing < 6; ++g_failing) {
    auto* failing = new GFaceUpFilter;
    FilterJob run(Job(), {failing});
    FileSizeLimit limit(g_failing < 4 ? RLIM_INFINITY : g_failing == 4 ? 300 : 600);
    EXPECT_EQ(run.Document({{1229, 1}}, 2), kSpoolFailure) << g_failing;
    EXPECT_EQ(run.Summary().at(0), "JA");  // nothing held came out
    EXPECT_TRUE(!failing->IsEnabled() && Clean() && taken_elsewhere());
  }
  GSpoolDirectory::SetFaultHook(nullptr);
}

TEST_F(FaceUp, TwoJobsOnTwoThreads) {
  std::uint32_t cookie = 0;
  GJobDriverData* second = CheckOutJob(cookie);
  FilterJob a(Job(), {new GFaceUpFilter}), b(second, {new GFaceUpFilter});
  std::thread other([&] { b.Document({{1229, 1}}, 30); });
  a.Document({{1229, 1}}, 30);
  other.join();
  Tokens reversed = {"DS"};
  for (int n = 30; n >= 1; --n)
    reversed.push_back(std::to_string(n));
  reversed.push_back("DE");
  EXPECT_TRUE(cookie != Cookie() && a.Summary() == reversed && b.Summary() == reversed);
  Server()->ReleaseRenderData(cookie);
}

}  // namespace
