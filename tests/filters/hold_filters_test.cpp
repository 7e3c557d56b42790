// The reverse-order and manual-duplex filters on a real job (the filters'
// harness, tests/support/filter_harness.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "config/paper/media.h"
#include "filters/face_up_filter.h"
#include "filters/reverse_filter.h"
#include "filters/spool_directory.h"
#include "output/commands/job_commands.h"
#include "output/core/pass_through_command.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "tests/support/filter_harness.h"

namespace {

using namespace testing_support;
using Tokens = std::vector<std::string>;

GMedia* Medium(const char* type, std::uint16_t size_id = 1) {
  return new GMedia(nullptr, {}, {}, {}, 0, size_id, 600, 600, 259, 0, nullptr, type);
}

// A page start on {265: n, 258: source (when >= 0), 259: medium of `type`
// (when given)}.
GCountedPtr Start(std::int16_t n, std::int32_t source = -1, const char* type = nullptr) {
  GCountedPtr start = Command(kGPageStartId, {{265, n}});
  GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
  if (source >= 0) set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(source), 258));
  if (type) set->AddChild(Medium(type));
  return start;
}

bool SpoolLockIsFree() {
  bool taken = false;
  std::thread([&] {
    if ((taken = SpoolLock().try_lock_for(std::chrono::seconds(1)))) SpoolLock().unlock();
  }).join();
  return taken;
}

class HoldFilters : public JobContextFixture {
 protected:
  template <class Filter>
  Filter* Use(Filter* filter) {
    job = std::make_unique<FilterJob>(Job(), std::initializer_list<GPeripheral*>{filter});
    return filter;
  }
  // The document start on `values`, with a medium of `type` when given.
  GCountedPtr Document(Values values, const char* type = nullptr) {
    GCountedPtr start = Command(kGDocumentStartId, values);
    if (type) static_cast<GCommand*>(start.Get())->GetAttributes()->AddChild(Medium(type));
    return start;
  }
  // The events of the recorder from `from` on, as Summary tokens.
  Tokens Since(std::size_t& from) {
    const Tokens all = job->Summary();
    Tokens tail(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
    from = all.size();
    return tail;
  }
  GAttributeComposite* SetOf(std::size_t event) {
    return static_cast<GCommand*>(job->recorder->events.at(event).command.Get())->GetAttributes();
  }
  bool Clean() { return std::filesystem::is_empty(SpoolParent()); }

  std::unique_ptr<FilterJob> job;
};

TEST_F(HoldFilters, ReverseTakesTheDocumentsItsSettingsAsk) {
  auto* filter = Use(new GReverseFilter);
  // (710, 1116, 253) -> reversed or passed; a refused document disables
  // the filter until the chain's reset.
  const struct {
    Values settings;
    bool reversed;
  } cases[] = {{{{710, 1}}, true},
               {{{710, 0}}, false},
               {{{710, 0}, {1116, 1}, {253, 2}}, true},
               {{{710, 1}, {1116, 1}, {253, 1}}, false},
               {{{710, 1}, {1116, 1}, {253, 0}}, true},
               {{{1116, 1}, {253, 0}}, false}};
  std::size_t seen = 0;
  for (const auto& [settings, reversed] : cases) {
    Job()->GetOutputChain()->Reset();
    EXPECT_EQ(job->Document(settings, 3), 0);
    EXPECT_EQ(Since(seen),
              reversed ? Tokens({"DS", "3", "2", "1", "DE"}) : Tokens({"DS", "1", "2", "3", "DE"}));
    EXPECT_TRUE(filter->IsEnabled() == reversed && filter->GetFlags() == 0 && Clean());
  }
}

TEST_F(HoldFilters, ReverseLetterheadSheetsKeepFrontAndBackTogether) {
  auto* filter = Use(new GReverseFilter);
  SetValue(JobSettings(), 308, 1);
  // Pages (paper source, media type) of a two-sided letterhead document.
  using Page = std::pair<int, const char*>;
  const struct {
    const char* document;
    int duplex;
    std::vector<Page> pages;
    Tokens out;
  } cases[] = {
      {"Letterhead",
       1,
       {{1, "Letterhead"}, {1, "Letterhead"}, {1, "Letterhead"}},
       {"DS", "blank", "3", "2", "1", "DE"}},
      {"Letterhead", 1, {{1, "Plain"}, {1, "Bond"}}, {"DS", "blank", "2", "blank", "1", "DE"}},
      {"Letterhead", 1, {{1, "Plain"}, {1, "Letterhead"}}, {"DS", "2", "1", "DE"}},
      {"Letterhead",
       1,
       {{1, "Letterhead"}, {2, "Letterhead"}},
       {"DS", "blank", "2", "blank", "1", "DE"}},
      {"Letterhead",
       2,
       {{1, nullptr}, {1, nullptr}, {1, nullptr}, {3, nullptr}},
       {"DS", "blank", "4", "blank", "3", "2", "1", "DE"}},
      {"Letterhead", 0, {{1, "Plain"}, {2, "Bond"}, {1, nullptr}}, {"DS", "3", "2", "1", "DE"}},
      {"Plain", 1, {{1, "Plain"}, {2, "Bond"}, {1, nullptr}}, {"DS", "3", "2", "1", "DE"}},
  };
  std::size_t seen = 0;
  for (const auto& [type, duplex, pages, out] : cases) {
    const std::size_t first = job->recorder->events.size();
    job->Submit(Document({{710, 1}, {253, duplex}}, type));
    EXPECT_EQ(filter->IsLetterheadPairing(), duplex != 0 && type[0] == 'L');
    std::int16_t n = 0;
    for (const auto& [source, media] : pages)
      for (const GCountedPtr& c : {Start(++n, source, media), Tag(n), Command(kGPageEndId)})
        job->Submit(c);
    job->Submit(Command(kGDocumentEndId));
    EXPECT_EQ(Since(seen), out) << type << pages.size();
    EXPECT_TRUE(Clean());
    // The closing blank (the event after the document start) is the last
    // sheet's back: page 1's set with the last page's paper source.
    EXPECT_TRUE(&pages != &cases[3].pages || ValueOf(SetOf(first + 1), 258) == 2);
  }
}

TEST_F(HoldFilters, ReversePagesKeepTheirCommandsAndNames) {
  auto* filter = Use(new GReverseFilter);
  // Page n's files are named cookie XOR n; a pass-through inside page 2 is
  // held with it and comes back inside it.
  static const std::uint8_t bytes[] = {'@', 'P'};
  job->Submit(Document({{710, 1}}));
  for (std::int16_t n = 1; n <= 2; ++n) {
    job->Submit(Start(n));
    const std::string name = GPageSpool::PageName(n, Cookie());
    const std::string stem = filter->Spool().DirectoryPath() + "/" + name;
    EXPECT_TRUE(std::filesystem::exists(stem + ".rpg") && std::filesystem::exists(stem + ".rft"));
    job->Submit(Tag(n));
    if (n == 2) job->Submit(GCountedPtr(new GPassThroughCommand(bytes, 2, 0, 0u)));
    job->Submit(Command(kGPageEndId));
  }
  EXPECT_TRUE(GPageSpool::PageName(1, 0x1000) == "1001" && filter->GetFlags() == kHoldingFlag);
  EXPECT_TRUE(job->recorder->events.empty());
  job->Submit(Command(kGDocumentEndId));
  std::vector<RWClassID> ids;
  for (const RecordedEvent& event : job->recorder->events)
    ids.push_back(event.command->ClassId());
  EXPECT_EQ(ids, std::vector<RWClassID>(
                     {705, 709, 712, 659, kGPassThroughCommandId, 710, 709, 712, 659, 710, 706}));
  EXPECT_TRUE(Clean() && filter->GetFlags() == 0);
}

TEST_F(HoldFilters, AnAbandonedPageLetsTheSpoolLockGo) {
  // A failed page store, a job abort and a document end, each inside a
  // page that holds SpoolLock from its start.
  GSpoolDirectory::SetFaultHook(
      [](GSpoolDirectory::Step step) { return step == GSpoolDirectory::Step::kCreatePageStore; });
  const struct {
    RWClassID ender;  // 0: the failing store
    Tokens out;
  } cases[] = {{0, {"JA"}}, {kGJobAbortId, {"JA"}}, {kGDocumentEndId, {"DS", "1", "DE"}}};
  for (const auto& [ender, out] : cases) {
    auto* filter = Use(new GReverseFilter);
    job->Submit(Document({{710, 1}}));
    if (ender) {
      GSpoolDirectory::SetFaultHook(nullptr);
      for (const GCountedPtr& c : {Start(1), Tag(1), Command(kGPageEndId), Start(2), Tag(2)})
        job->Submit(c);  // a page, then an open one
      EXPECT_FALSE(SpoolLockIsFree());
      job->Submit(Command(ender));
    } else {
      EXPECT_EQ(job->Submit(Start(1)), kSpoolFailure);
    }
    EXPECT_EQ(job->Summary(), out);
    EXPECT_TRUE(SpoolLockIsFree() && Clean());
    EXPECT_EQ(filter->IsEnabled(), ender == kGDocumentEndId);
  }
}

}  // namespace
