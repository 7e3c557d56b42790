// The cover, last-page and copy-page filters on a job (filter_harness.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <set>

#include "config/paper/media.h"
#include "filters/copy_page_filter.h"
#include "filters/cover_filters.h"
#include "filters/face_up_filter.h"
#include "filters/last_page_filter.h"
#include "filters/manual_duplex_filter.h"
#include "foundation/rw/file.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "store/spool_file.h"
#include "support/listed_printer.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

using namespace testing_support;
using Tokens = std::vector<std::string>;
using Strings = std::vector<std::pair<std::uint32_t, const char*>>;

GAttributeComposite* SetOf(const GCountedPtr& command) {
  return static_cast<GCommand*>(command.Get())->GetAttributes();
}

// `command` with string attributes `strings`, a medium of `type` (size
// `size`) when a type is given, and pages per sheet (329 -> 266) `nup`.
GCountedPtr With(GCountedPtr command, const Strings& strings, const char* type,
                 std::uint16_t size = 1, int nup = 0) {
  GAttributeComposite* set = SetOf(command);
  for (const auto& [key, text] : strings)
    set->AddChild(new GStringAttribute(text, key));
  if (type)
    set->AddChild(new GMedia(nullptr, {}, {}, {}, 0, size, 600, 600, 259, 0, nullptr, type));
  if (nup) {
    auto* settings = new GAttributeComposite(329u);
    settings->AddChild(new GValueAttribute(static_cast<std::uint16_t>(nup), 266));
    set->AddChild(settings);
  }
  return command;
}

// On the listed printer (support/listed_printer.h): its configuration
// set's quality list 906 is {1: "LOW", 2: "low"}.
class PageRules : public JobContextFixture {
 protected:
  PageRules() { InstallWith(support::BuildListedDataFile()); }
  void Use(std::initializer_list<GPeripheral*> filters) {
    job = std::make_unique<FilterJob>(Job(), filters);
    seen = 0;
  }
  GCountedPtr Start(Values values, const Strings& strings = {}, const char* type = "Plain",
                    int nup = 0) {
    GCountedPtr start = With(Command(kGDocumentStartId, values), strings, type, 1, nup);
    job->Submit(start);
    return start;
  }
  // Page n: a start {265: 90, 258: source, `extra`, medium of `type`}, tag
  // n, an end (with `end` in its set).
  void Page(std::int16_t n, std::uint16_t source = 1, const char* type = "Plain", Values extra = {},
            Values end = {}) {
    GCountedPtr start = Command(kGPageStartId, {{265, 90}, {258, source}});
    if (source == 0) SetValue(SetOf(start), 258, -1);
    for (const auto& [key, value] : extra)
      SetValue(SetOf(start), key, value);
    job->Submit(With(start, {}, type));
    job->Submit(Tag(n));
    GCountedPtr page_end = Command(kGPageEndId);
    if (end.size() != 0) static_cast<GCommand*>(page_end.Get())->AttachAttributes(new GState(0u));
    for (const auto& [key, value] : end)
      SetValue(SetOf(page_end), key, value);
    job->Submit(page_end);
  }
  // The recorder's tokens since the last call.
  Tokens Since() {
    Tokens all = job->Summary();
    const std::size_t skip = std::min(std::exchange(seen, all.size()), all.size());
    all.erase(all.begin(), all.begin() + static_cast<long>(skip));
    return all;
  }
  // "253/258/type" of each page start recorded (-1: none).
  Tokens Starts() {
    Tokens starts;
    for (const RecordedEvent& event : job->recorder->events) {
      if (event.command->ClassId() != kGPageStartId) continue;
      GAttributeComposite* set = SetOf(event.command);
      auto* medium = dynamic_cast<GMedia*>(set->FindByKey(259));
      starts.push_back(std::to_string(ValueOf(set, 253)) + "/" + std::to_string(ValueOf(set, 258)) +
                       "/" + (medium ? medium->GetMediaType().Data() : "-"));
    }
    return starts;
  }
  bool Clean() { return std::filesystem::is_empty(SpoolParent()); }
  std::unique_ptr<FilterJob> job;
  std::size_t seen = 0;
};

TEST_F(PageRules, FrontCoverGoesAheadOfTheFirstPage) {
  // The document (1218 on, 1214 source 7, 1215 type) with 253, 1240 and
  // 279; 329 -> 266 = 1; the job's 245 and 204; the document's medium
  // (paper 1, in 188's {1, 23}); the pages' 258 (0: none). Each row's page
  // starts come out as "253/258/type".
  // clang-format off
  const struct { Values doc; const char* cover; int manual, unit; const char* medium; int source;
                 Tokens starts; } cases[] = {
      {{{1218, 1}, {1214, 7}}, "Cover", 0, 1, "Plain", 1, {"-1/7/Cover", "-1/1/Plain", "-1/1/Plain"}},
      {{{1218, 1}, {1214, 7}, {253, 2}}, "Cover", 0, 1, "Plain", 1,
       {"-1/7/Cover", "-1/7/Cover", "-1/1/Plain", "-1/1/Plain"}},
      {{{1218, 1}, {1214, 7}, {1240, 1}}, "Letterhead", 0, 1, "Plain", 1,
       {"2/7/Letterhead", "2/7/Letterhead", "0/1/Plain", "0/1/Plain"}},
      {{{1218, 1}, {1214, 7}, {1240, 1}}, "Plain", 0, 1, "Plain", 1, {"0/7/Plain", "0/1/Plain", "0/1/Plain"}},
      {{{1218, 1}, {1214, 7}, {1240, 1}, {1229, 1}}, "Letterhead", 0, 1, "Plain", 1,
       {"0/7/Letterhead", "0/1/Plain", "0/1/Plain"}},
      {{{1218, 1}, {1214, 7}}, nullptr, 0, 1, "Plain", 1, {"-1/1/Plain", "-1/1/Plain"}},
      {{{1218, 1}, {1214, 7}}, "Cover", 0, 1, "Plain", 0, {"-1/-1/Plain", "-1/-1/Plain"}},  // no 258
      // Booklets: the media test answers 1 (no cover) or 0.
      {{{1218, 1}, {1214, 7}, {253, 2}, {279, 1}}, "Cover", 1, 0, "Plain", 1, {"-1/1/Plain", "-1/1/Plain"}},
      {{{1218, 1}, {1214, 7}, {253, 2}, {279, 1}}, "Cover", 1, 0, "Labels", 1,
       {"-1/7/Cover", "-1/7/Cover", "-1/1/Labels", "-1/1/Labels"}},
      {{{1218, 1}, {1214, 7}, {253, 2}, {279, 1}}, "Cover", 0, 0, "Plain", 1,
       {"-1/7/Cover", "-1/7/Cover", "-1/1/Plain", "-1/1/Plain"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    auto* filter = new GFrontCoverFilter;
    Use({filter});
    SetValue(JobSettings(), 245, c.manual);
    SetValue(JobSettings(), 204, c.unit);
    Strings strings;
    if (c.cover) strings.emplace_back(1215, c.cover);
    const bool rule = ValueOf(SetOf(Start(c.doc, strings, c.medium, 1)), 1240) == 1;
    for (std::int16_t n = 1; n <= 2; ++n)
      Page(n, static_cast<std::uint16_t>(c.source), c.medium, rule ? Values{{253, 0}} : Values{});
    job->Submit(Command(kGDocumentEndId));
    EXPECT_EQ(Starts(), c.starts) << c.cover << c.starts.size();
    EXPECT_FALSE(filter->IsEnabled());
  }
}

TEST_F(PageRules, BackCoverComesBeforeTheDocumentEnd) {
  // The document's 920 (and 921 = 5 / 973 "Heavy"), 253, 1240; the job's
  // manual duplex (245 with 1010); the pages' (258, type); the counter
  // after page 3 and the page starts as "253/258/type".
  using Pages = std::vector<std::pair<std::uint16_t, const char*>>;
  const Pages mixed = {{3, "Bond"}, {1, "Plain"}, {1, "Plain"}};
  const Pages same = {{1, "Plain"}, {1, "Plain"}, {1, "Plain"}};
  // clang-format off
  const struct { Values doc; bool alternate; int manual; Pages pages; std::uint32_t third;
                 Tokens tail; } cases[] = {
      {{{920, 1}}, false, 0, mixed, 4, {"-1/3/Bond"}},
      {{{920, 2}, {921, 5}, {253, 2}}, true, 0, same, 3, {"-1/1/Plain", "-1/5/Heavy"}},
      {{{920, 2}, {921, 5}, {253, 2}}, true, 1, same, 3, {"-1/5/Heavy"}},
      {{{920, 2}, {921, 5}, {253, 2}}, true, 0, {{1, "Plain"}, {1, "Plain"}, {1, "Bond"}, {1, "Bond"}}, 3,
       {"-1/5/Heavy"}},
      {{{920, 1}, {1240, 1}}, false, 0, {{3, "Letterhead"}, {1, "Plain"}}, 2,
       {"2/3/Letterhead", "2/3/Letterhead"}},
      {{{920, 1}, {1240, 1}}, false, 0, {{3, "Bond"}, {1, "Plain"}}, 2, {"0/3/Bond"}},
      {{{920, 2}}, false, 0, same, 0, {}},  // no 921 / 973
      {{{920, 1}}, false, 0, {}, 0, {}},      // no page
      // clang-format on
  };
  for (const auto& c : cases) {
    auto* filter = new GBackCoverFilter;
    Use({filter});
    SetValue(JobSettings(), 245, c.manual);
    SetValue(JobSettings(), 1010, 1);
    Strings strings;
    if (c.alternate) strings.emplace_back(973, "Heavy");
    const bool rule = ValueOf(SetOf(Start(c.doc, strings, "Plain", 1)), 1240) == 1;
    std::int16_t n = 0;
    for (const auto& [source, type] : c.pages) {
      Page(++n, source, type, rule ? Values{{253, 0}} : Values{});
      if (n == 3) {
        EXPECT_EQ(filter->PageCounter(), c.third);
      }
    }
    job->Submit(Command(kGDocumentEndId));
    Tokens starts = Starts();
    starts.erase(starts.begin(), starts.begin() + static_cast<long>(c.pages.size()));
    EXPECT_EQ(starts, c.tail) << c.pages.size() << c.tail.size();
    EXPECT_EQ(job->Summary().back(), "DE");
  }
  // A job abort drops the watched page: the next document end has no cover.
  Use({new GBackCoverFilter});
  Start({{920, 1}});
  Page(1);
  job->Submit(Command(kGJobAbortId));
  job->Submit(Command(kGDocumentEndId));
  EXPECT_EQ(Since(), Tokens({"DS", "1", "JA", "DE"}));
}

TEST_F(PageRules, LastPageMovesTheTailToTheLastMedia) {
  // Documents of 1212/1213 (last media 5 "Bond", or as given), 263 = 1 /
  // 262 "Plain", 253 and the letterhead rule (1240 = 1, 266 = 1); pages
  // with 1246 = 1 on the last when marked. "n*": on the last media.
  // clang-format off
  const struct { Values doc; const char* last; int pages; bool marked; bool rule; Tokens out; } cases[] = {
      {{{263, 1}, {1212, 5}}, "Bond", 5, false, false, {"DS", "1", "2", "3", "4", "5*", "DE"}},
      {{{263, 1}, {1212, 5}, {253, 2}}, "Bond", 6, false, false, {"DS", "1", "2", "3", "4", "5*", "6*", "DE"}},
      {{{263, 1}, {1212, 5}, {253, 2}}, "Bond", 5, false, false, {"DS", "1", "2", "3", "4", "5*", "DE"}},
      {{{263, 1}, {1212, 5}, {253, 2}}, "Bond", 2, false, false, {"DS", "1", "2", "DE"}},
      {{{263, 1}, {1212, 5}}, "Bond", 2, false, false, {"DS", "1", "2*", "DE"}},
      {{{263, 1}, {1212, 5}}, "Bond", 1, false, false, {"DS", "1", "DE"}},
      {{{263, 1}, {1212, 5}}, "Bond", 0, false, false, {"DS", "DE"}},
      {{{263, 1}, {1212, 5}, {1240, 1}}, "Letterhead", 3, true, true, {"DS", "1", "2*", "3*", "DE"}},
      {{{263, 1}, {1212, 5}, {1240, 1}}, "Letterhead", 3, false, true, {"DS", "1", "2", "3*", "blank*", "DE"}},
      {{{263, 1}, {1212, 5}, {1240, 1}}, "Letterhead", 1, false, true, {"DS", "1", "blank", "DE"}},
      {{{263, 1}, {1212, 5}, {1240, 1}}, "Bond", 3, true, true, {"DS", "1", "2*", "DE"}},
      {{{263, 1}, {1212, 5}, {1240, 1}}, "Bond", 3, false, true, {"DS", "1", "2", "3*", "DE"}},
      {{{263, 1}, {1212, 1}}, "Plain", 3, false, false, {"DS", "1", "2", "3", "DE"}},  // the same media
      {{{263, 1}, {1212, 1}}, "Bond", 3, false, false, {"DS", "1", "2", "3*", "DE"}},   // names differ
      {{{263, 1}, {1212, 19}}, "Bond", 3, false, false, {"DS", "1", "2", "3*", "DE"}},
      {{{263, 1}, {1212, 19}}, "Plain", 3, false, false, {"DS", "1", "2", "3", "DE"}},
      {{{263, 1}, {1212, 19}}, "", 3, false, false, {"DS", "1", "2", "3", "DE"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    Use({new GLastPageFilter});
    Start(c.doc, {{1213, c.last}, {262, "Plain"}}, "Plain", c.rule ? 1 : 0);
    for (std::int16_t n = 1; n <= c.pages; ++n)
      Page(n, 2, "Plain", {{1246, n == c.pages && c.marked ? 1 : 0}});
    job->Submit(Command(kGDocumentEndId));
    Tokens out = Since();
    const Tokens starts = Starts();
    const std::string last = "/" + std::to_string(c.doc.begin()[1].second) + "/" + c.last;
    for (std::size_t i = 1, page = 0; i + 1 < out.size(); ++i)
      if (starts.at(page++).ends_with(last)) out[i] += "*";
    EXPECT_EQ(out, c.out) << c.last << c.pages << c.marked;
    if (out.size() > 2 && out[out.size() - 2].starts_with("blank")) {  // the letterhead blank
      EXPECT_EQ(starts.at(starts.size() - 2).substr(0, 2), "2/");
      EXPECT_EQ(
          ValueOf(SetOf(job->recorder->events.at(job->recorder->events.size() - 3).command), 265),
          90);
    }
  }
}

TEST_F(PageRules, LastPageTakesEachPassOnItsOwn) {
  Use({new GLastPageFilter});
  Start({{263, 1}, {1212, 5}}, {{1213, "Bond"}, {262, "Plain"}});
  for (std::int16_t n = 1; n <= 5; ++n) {
    Page(n);
    if (n == 2) job->Submit(Command(kPassBreakId));
  }
  job->Submit(Command(kGDocumentEndId));
  EXPECT_EQ(Since(), Tokens({"DS", "1", "2", "718", "3", "4", "5", "DE"}));
  EXPECT_EQ(Starts(), Tokens({"-1/1/Plain", "-1/5/Bond", "-1/1/Plain", "-1/1/Plain", "-1/5/Bond"}));
  // A whole document in one composite: the walk replays at its end.
  GCountedPtr whole(new GCommandComposite);
  whole->AddChild(With(Command(kGDocumentStartId, {{263, 1}, {1212, 5}}, Job()),
                       {{1213, "Bond"}, {262, "Plain"}}, "Plain")
                      .Get());
  for (std::int16_t n = 1; n <= 2; ++n) {
    auto* page = new GCommandComposite;
    for (const GCountedPtr& c : {Command(kGPageStartId, {{258, 1}}), Tag(n), Command(kGPageEndId)})
      page->AddChild(c.Get());
    whole->AddChild(page);
  }
  whole->AddChild(Command(kGDocumentEndId).Get());
  job->Submit(whole);
  EXPECT_EQ(Since(), Tokens({"DS", "1", "2", "DE"}));
  EXPECT_EQ(Starts().back(), "-1/5/-");
  EXPECT_TRUE(Clean());
}

TEST_F(PageRules, CopyPageRepeatsEachPage) {
  // The quality entry 907 selects (1 "LOW", 2 "low", 3 none), 291, 247;
  // pages' start and end 257 (0: none); a pass break after page `at` (0:
  // none) -> the tokens.
  // clang-format off
  const struct { int quality, copies, collate; std::vector<std::pair<int, int>> pages;
                 int at; Tokens out; } cases[] = {
      {1, 3, 1, {{0, 0}, {0, 0}}, 0, {"DS", "1", "1", "1", "2", "2", "2", "DE"}},
      {2, 3, 1, {{0, 0}, {0, 0}}, 0, {"DS", "1", "2", "DE"}},
      {3, 3, 1, {{0, 0}, {0, 0}}, 0, {"DS", "1", "2", "DE"}},
      {1, 3, 3, {{0, 0}, {0, 0}}, 0, {"DS", "1", "2", "DE"}},
      {1, 1, 3, {{0, 0}, {0, 0}}, 0, {"DS", "1", "2", "DE"}},
      {1, 3, 1, {{0, 2}, {0, 0}}, 0, {"DS", "1", "1", "2", "2", "2", "DE"}},
      {1, 3, 1, {{2, 0}, {0, 0}}, 0, {"DS", "1", "1", "2", "2", "2", "DE"}},
      {1, 2, 1, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, 2,
       {"DS", "1", "1", "2", "2", "718", "3", "3", "4", "4", "DE"}},
      {1, 2, 1, {{0, 0}, {0, 0}, {0, 0}}, 2, {"DS", "1", "1", "2", "2", "718", "3", "DE"}},
      // clang-format on
  };
  for (const auto& c : cases) {
    auto* filter = new GCopyPageFilter;
    Use({filter});
    GAttributeComposite* document =
        SetOf(Start({{907, c.quality}, {291, c.copies}, {247, c.collate}, {257, 4}}));
    const bool taken = filter->GetFlags() == kHoldingFlag;
    EXPECT_EQ(ValueOf(document, 291), taken ? 1 : c.copies);
    EXPECT_EQ(ValueOf(document, 257), taken ? 1 : 4);
    std::int16_t n = 0;
    for (const auto& [start, end] : c.pages) {
      Page(++n, 1, "Plain", start ? Values{{257, start}} : Values{},
           end ? Values{{257, end}} : Values{});
      if (n == c.at) job->Submit(Command(kPassBreakId));
    }
    job->Submit(Command(kGDocumentEndId));
    EXPECT_EQ(job->Summary(), c.out) << c.quality << c.copies << c.collate << c.pages.size();
    EXPECT_TRUE(filter->GetFlags() == 0 && Clean());
  }
}

TEST_F(PageRules, CopyPageBalancesTheManualDuplexPasses) {
  // Manual duplex (mode 3, first pass even pages descending, the blank 6)
  // hands its passes on as composites; copy page files each page twice.
  auto* copies = new GCopyPageFilter;
  Use({new GManualDuplexFilter, copies});
  SetValue(JobSettings(), 1010, 1);
  SetValue(JobSettings(), 245, 3);
  Start({{253, 2}, {248, 2}, {247, 1}, {907, 1}, {291, 2}});
  for (std::int16_t n = 1; n <= 5; ++n)
    Page(n);
  job->Submit(Command(kPassBreakId));
  EXPECT_EQ(Since(), Tokens({"DS", "blank", "blank", "4", "4", "2", "2", "718"}));
  EXPECT_EQ(copies->GetFlags(), kHoldingFlag);
  job->Submit(Command(kGDocumentEndId));
  EXPECT_EQ(Since(), Tokens({"1", "1", "3", "3", "5", "5", "DE"}));
  EXPECT_TRUE(copies->GetFlags() == 0 && Clean());
}

TEST_F(PageRules, HeldPagesAreNamedByTheirFilters) {
  // Last page: the first page is the cookie itself; copy page: 1 XOR it.
  const struct {
    GPeripheral* filter;
    Values doc;
    const char* page;
    const char* font;
    std::uint32_t name;
  } cases[] = {
      {new GLastPageFilter, {{263, 1}, {1212, 5}}, ".dpg", ".dft", Cookie()},
      {new GCopyPageFilter, {{907, 1}, {291, 2}, {247, 1}}, ".cpg", ".cft", Cookie() ^ 1},
  };
  // The page's store lies in the spool file; the page's font file is made
  // when the job's database holds a font (the second case), else none.
  for (const auto& c : cases) {
    std::optional<HeldFont> font;
    if (&c == &cases[1]) font.emplace(Job()->GetJobFontDatabase());
    Use({c.filter});
    Start(c.doc, {{1213, "Bond"}, {262, "Plain"}});
    job->Submit(Command(kGPageStartId));
    job->Submit(Command(kGPageEndId));
    // "<spool>.?pg" and "<spool>/<name>.?ft", <spool> the spool's own.
    std::set<std::string> names;
    std::string spool;
    for (const auto& file : std::filesystem::recursive_directory_iterator(SpoolParent())) {
      if (!file.is_regular_file()) continue;
      names.insert(file.path().lexically_relative(SpoolParent()).string());
      if (file.path().extension() == c.page) spool = file.path().stem().string();
    }
    const std::string name = GPageSpool::PageName(c.name, 0);
    std::set<std::string> expected = {spool + c.page};
    if (font) expected.insert(spool + "/" + name + c.font);
    EXPECT_EQ(names, expected);
    std::shared_ptr<GSpoolFile> pages = GSpoolFile::Of(SpoolParent() + "/" + spool);
    EXPECT_TRUE(pages && pages->Holds(SpoolParent() + "/" + spool + "/" + name + c.page));
    job->Submit(Command(kGJobAbortId));
    EXPECT_TRUE(c.filter->GetFlags() == 0 && !c.filter->IsEnabled() && Clean());
  }
}

TEST_F(PageRules, DamagedHeldPagesFailTheJob) {
  // A one-page document through the last-page or copy-page filter whose
  // held page file is replaced by `bytes` (deleted when empty) before the
  // document end: the end's code and the file as it was.
  auto run = [&](bool copy, const std::string* bytes) {
    Use({copy ? static_cast<GPeripheral*>(new GCopyPageFilter) : new GLastPageFilter});
    copy ? Start({{907, 1}, {291, 2}, {247, 1}})
         : Start({{263, 1}, {1212, 5}}, {{1213, "Bond"}, {262, "Plain"}});
    Page(1);
    std::string held;
    for (const auto& file : std::filesystem::recursive_directory_iterator(SpoolParent())) {
      if (file.path().extension() != (copy ? ".cpg" : ".dpg")) continue;
      held = ReadAll(file.path().string());
      if (bytes)
        bytes->empty() ? void(std::filesystem::remove(file.path()))
                       : WriteAll(file.path().string(), *bytes);
    }
    std::uint16_t code = job->Submit(Command(kGDocumentEndId));
    if (code != 0) job->Submit(Command(kGJobAbortId));
    EXPECT_TRUE(Clean());
    return std::make_pair(code, held);
  };
  std::mt19937 random(55);
  for (bool copy : {false, true}) {
    const auto [code, page] = run(copy, nullptr);
    ASSERT_TRUE(code == 0 && !page.empty());
    for (std::size_t cut = 0; cut < page.size(); cut += 1 + cut / 16) {
      const std::string bytes = page.substr(0, cut);
      EXPECT_EQ(run(copy, &bytes).first, kSpoolFailure) << cut;
    }
    for (int i = 0; i < 40; ++i) {
      std::string flipped = page;
      flipped[random() % flipped.size()] ^= static_cast<char>(1 + random() % 255);
      EXPECT_EQ(run(copy, &flipped).first, kSpoolFailure) << i;
    }
  }
}

}  // namespace
