// The reverse-order and manual-duplex filters on a job (filter_harness.h).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>
#include <utility>

#include "config/paper/media.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "filters/face_up_filter.h"
#include "filters/manual_duplex_filter.h"
#include "filters/reverse_filter.h"
#include "filters/spool_directory.h"
#include "foundation/rw/file.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/result_commands.h"
#include "store/spool_file.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"

namespace {

using namespace testing_support;
using Tokens = std::vector<std::string>;

GMedia* Medium(const char* type, std::uint16_t size_id = 1) {
  return new GMedia(nullptr, {}, {}, {}, 0, size_id, 600, 600, 259, 0, nullptr, type);
}

// `command` with a medium of `type` (259) in its set when a type is given.
GCountedPtr WithMedium(GCountedPtr command, const char* type) {
  if (type) static_cast<GCommand*>(command.Get())->GetAttributes()->AddChild(Medium(type));
  return command;
}

// A page start on {265: 90, 258: source, 259: a medium of `type`}.
GCountedPtr Start(std::uint16_t source = 1, const char* type = nullptr) {
  return WithMedium(Command(kGPageStartId, {{265, 90}, {258, source}}), type);
}

bool SpoolLockIsFree() {
  bool taken = false;
  std::thread([&] { (taken = SpoolLock().try_lock()) ? SpoolLock().unlock() : void(); }).join();
  return taken;
}

class HoldFilters : public JobContextFixture {
 protected:
  template <class Filter>
  Filter* Use(Filter* filter) {
    job = std::make_unique<FilterJob>(Job(), std::initializer_list<GPeripheral*>{filter});
    return filter;
  }
  static GCountedPtr Document(Values values, const char* type = nullptr) {
    return WithMedium(Command(kGDocumentStartId, values), type);
  }
  // The recorder's Summary tokens from `from` on; `from` moves to the end.
  Tokens Since(std::size_t& from) {
    Tokens all = job->Summary();
    const std::size_t skip = std::min(std::exchange(from, all.size()), all.size());
    all.erase(all.begin(), all.begin() + static_cast<long>(skip));
    return all;
  }
  static GAttributeComposite* SetOf(const GCountedPtr& command) {
    return static_cast<GCommand*>(command.Get())->GetAttributes();
  }
  GAttributeComposite* SetOf(std::size_t event) {
    return SetOf(job->recorder->events.at(event).command);
  }
  bool Clean() { return std::filesystem::is_empty(SpoolParent()); }
  // Page n: Start(source, type), tag n, end.
  void Page(std::int16_t n, std::uint16_t source = 1, const char* type = nullptr) {
    for (const GCountedPtr& c : {Start(source, type), Tag(n), Command(kGPageEndId)})
      job->Submit(c);
  }

  std::unique_ptr<FilterJob> job;
};

TEST_F(HoldFilters, ReverseTakesTheDocumentsItsSettingsAsk) {
  auto* filter = Use(new GReverseFilter);
  // (710, 1116, 253) -> reversed or passed (and the filter disabled).
  // clang-format off
  const struct { Values settings; bool reversed; } cases[] = {
      {{{710, 1}}, true}, {{{710, 0}}, false}, {{{710, 0}, {1116, 1}, {253, 2}}, true},
      {{{710, 1}, {1116, 1}, {253, 1}}, false}, {{{710, 1}, {1116, 1}, {253, 0}}, true},
      {{{1116, 1}, {253, 0}}, false}};
  // clang-format on
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
  // clang-format off
  const struct { const char* document; int duplex; std::vector<std::pair<int, const char*>> pages;
                 Tokens out; } cases[] = {
      {"Letterhead", 1, {{1, "Letterhead"}, {1, "Letterhead"}, {1, "Letterhead"}},
       {"DS", "blank", "3", "2", "1", "DE"}},
      {"Letterhead", 1, {{1, "Plain"}, {1, "Bond"}}, {"DS", "blank", "2", "blank", "1", "DE"}},
      {"Letterhead", 1, {{1, "Plain"}, {1, "Letterhead"}}, {"DS", "2", "1", "DE"}},
      {"Letterhead", 1, {{1, "Letterhead"}, {2, "Letterhead"}}, {"DS", "blank", "2", "blank", "1", "DE"}},
      {"Letterhead", 2, {{1, nullptr}, {1, nullptr}, {1, nullptr}, {3, nullptr}},
       {"DS", "blank", "4", "blank", "3", "2", "1", "DE"}},
      {"Letterhead", 0, {{1, "Plain"}, {2, "Bond"}, {1, nullptr}}, {"DS", "3", "2", "1", "DE"}},
      {"Plain", 1, {{1, "Plain"}, {2, "Bond"}, {1, nullptr}}, {"DS", "3", "2", "1", "DE"}},
      // clang-format on
  };
  std::size_t seen = 0;
  for (const auto& [type, duplex, pages, out] : cases) {
    const std::size_t first = job->recorder->events.size();
    job->Submit(Document({{710, 1}, {253, duplex}}, type));
    EXPECT_EQ(filter->IsLetterheadPairing(), duplex != 0 && type[0] == 'L');
    std::int16_t n = 0;
    for (const auto& [source, media] : pages)
      Page(++n, static_cast<std::uint16_t>(source), media);
    job->Submit(Command(kGDocumentEndId));
    EXPECT_TRUE(Since(seen) == out && Clean()) << type << pages.size();
    // The closing blank is page 1's set with the last page's tray.
    EXPECT_TRUE(&pages != &cases[3].pages || ValueOf(SetOf(first + 1), 258) == 2);
  }
}

TEST_F(HoldFilters, ReverseAheadOfFaceUpEndsWithEmptySpools) {
  // The reverse filter's spool file of all its pages (.rpg) or the font
  // file of page n (.rft) cut to `keep` bytes, or gone, before the end:
  // the job fails, or all comes out; either way no spool file is left
  // while the filters live.
  const struct {
    const char* extension;
    std::int16_t page;
    std::size_t keep;
  } cases[] = {{nullptr, 0, 0},  {".rpg", 0, 0}, {".rpg", 0, 700},
               {".rpg", 0, 300}, {".rft", 2, 0}, {".rft", 1, 3}};
  HeldFont font(Job()->GetJobFontDatabase());
  for (const auto& [extension, page, keep] : cases) {
    auto* reverse = new GReverseFilter;
    job = std::make_unique<FilterJob>(
        Job(), std::initializer_list<GPeripheral*>{reverse, new GFaceUpFilter});
    job->Submit(Document({{710, 1}, {1229, 1}}));
    for (std::int16_t n = 1; n <= 3; ++n)
      Page(n);
    if (extension) {
      const std::string path = reverse->Spool().DirectoryPath() +
                               (page ? "/" + GPageSpool::PageName(page, Cookie()) : std::string()) +
                               extension;
      keep ? WriteAll(path, ReadAll(path).substr(0, keep)) : void(std::filesystem::remove(path));
    }
    const std::uint16_t code = job->Submit(Command(kGDocumentEndId));
    EXPECT_TRUE(extension ? code == kSpoolFailure && job->Summary().back() == "JA"
                          : code == 0 && job->Summary() == Tokens({"DS", "1", "2", "3", "DE"}))
        << page << (extension ? extension : "");
    EXPECT_TRUE(Clean()) << page << (extension ? extension : "");
  }
  // A document left for one that the filters refuse: nothing stays held.
  Job()->GetOutputChain()->Reset();
  job->Submit(Document({{710, 1}, {1229, 1}}));
  Page(1);
  job->Submit(Document({}));
  EXPECT_TRUE(Clean());
}

TEST_F(HoldFilters, AnAbandonedPageLetsTheSpoolLockGo) {
  // A failed page store, a job abort, a document end in a page.
  GSpoolDirectory::SetFaultHook(
      [](GSpoolDirectory::Step step) { return step == GSpoolDirectory::Step::kCreatePageStore; });
  // clang-format off
  const struct { RWClassID ender; Tokens out; } cases[] = {  // 0: the failing store
      {0, {"JA"}}, {kGJobAbortId, {"JA"}}, {kGDocumentEndId, {"DS", "1", "DE"}}};
  // clang-format on
  for (const auto& [ender, out] : cases) {
    auto* filter = Use(new GReverseFilter);
    job->Submit(Document({{710, 1}}));
    if (ender) {
      GSpoolDirectory::SetFaultHook(nullptr);
      Page(1);
      job->Submit(Start()), job->Submit(Tag(2));  // an open page
      EXPECT_FALSE(SpoolLockIsFree());
      job->Submit(Command(ender));
    } else {
      EXPECT_EQ(job->Submit(Start()), kSpoolFailure);
    }
    EXPECT_EQ(job->Summary(), out);
    EXPECT_TRUE(SpoolLockIsFree() && Clean() && filter->IsEnabled() == (ender == kGDocumentEndId));
  }
}

// --- Manual duplex

class ManualDuplex : public HoldFilters {
 protected:
  // Output bins 1 (fifth value 1: kind 1) and 2 (kind 2), and an optional
  // source with tray 6, installed, beside "Tray 1" and "Tray 2".
  void SetUp() override {
    HoldFilters::SetUp();
    auto *bins = new GAttributeComposite(0u), *trays = new GAttributeComposite(0u);
    bins->AddChild(new GBin(0, "B1", 1, 0, 0, -1, -1, 1, 0, nullptr, 0u));
    bins->AddChild(new GBin(0, "B2", 2, 0, 0, -1, -1, 0, 0, nullptr, 0u));
    trays->AddChild(new GTray(RWCString("Tray 6"), 6, 0u));
    auto* output = new GPaperHandlingDevice(RWCString("Bins"), kOutputDevice, 0, 0, 1, 0, 0u);
    auto* source = new GPaperHandlingDevice(RWCString("Six"), kPaperSource, 1, 1, 1, 0, 0u);
    output->SetPart(1, bins), source->SetPart(1, trays);
    FindComposite(JobSettings(), 90)->AddChild(output);
    FindComposite(JobSettings(), 90)->AddChild(source);
  }
  // The (258, 265) of each page start recorded from event `from` on.
  std::vector<std::pair<int, int>> Trays(std::size_t from) {
    std::vector<std::pair<int, int>> trays;
    for (std::size_t i = from; i < job->recorder->events.size(); ++i)
      if (job->recorder->events[i].command->ClassId() == kGPageStartId)
        trays.emplace_back(ValueOf(SetOf(i), 258), ValueOf(SetOf(i), 265));
    return trays;
  }
};

TEST_F(ManualDuplex, StoresItsFixedTray) {
  // After the device part: version 1, the fixed tray (u16); a version other
  // than 1 reads no tray. The reverse filter: version 1 alone.
  TempPath path("duplex");
  GPeripheral base(0u);
  GManualDuplexFilter filter(7, 0u);
  filter.SetSerialNumber(base.SerialNumber());
  auto save = [&](const RWCollectable& object) {
    object.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
    return ReadAll(path.str());
  };
  const std::string head = save(base);
  EXPECT_EQ(save(filter), head + Unhex("01 00 00 00 07 00"));
  GReverseFilter reverse;  // compared by class first, stored as the frame
  reverse.SetSerialNumber(base.SerialNumber());
  EXPECT_TRUE(!reverse.IsEqualContent(&base) && save(reverse) == head + Unhex("01 00 00 00"));
  for (const auto& [tail, tray] : {std::pair{"01 00 00 00 07 00", 7}, {"02 00 00 00 07 00", 0}}) {
    WriteAll(path.str(), head + Unhex(tail));
    GManualDuplexFilter read;
    read.RestoreFromFile(*std::make_unique<RWFile>(path.c_str(), "rb"));
    EXPECT_EQ(read.FixedTray(), tray);
  }
  for (Encoding encoding : kAllEncodings) {
    std::unique_ptr<RWCollectable> back(
        RestoreFromStreamBytes(SaveToStreamBytes(&filter, encoding), encoding));
    auto* copy = dynamic_cast<GManualDuplexFilter*>(back.get());
    EXPECT_TRUE(copy && copy->FixedTray() == 7);
  }
}

TEST_F(ManualDuplex, DocumentStartDecides) {
  auto* filter = Use(new GManualDuplexFilter);
  // (245, 204 of the job; 253, 905 and the medium's type and size of the
  // document) -> taken, 253 and 1123 afterwards. 188 is {1, 23}.
  // clang-format off
  const struct { int mode, unit, duplex, refused; const char* type; std::uint16_t size; bool taken;
                 int duplex_after, chosen_after; } cases[] = {
      {1, 1, 0, 0, "Plain", 5, false, 0, 0},      // one-sided
      {0, 0, 2, 0, "Plain", 5, false, 0, 0},      // no manual duplex, no unit
      {3, 0, 2, 0, "Labels", 5, false, 2, 0},     // never two-sided
      {1, 1, 2, 0, "Plain", 1, false, 2, 0},      // the unit takes the size
      {1, 1, 2, 0, "Plain", 5, true, 0, 1},       // it does not
      {1, 1, 2, 0, "Courier PS", 1, true, 0, 1},  // a listed name: refused
      {1, 1, 2, 1, "Plain", 1, true, 0, 1},       // 905
      {0, 1, 2, 1, "Plain", 1, false, 0, 0},      // refused without the mode
      {1, 1, 2, 0, nullptr, 0, false, 2, 0},      // no medium
  };
  // clang-format on
  for (const auto& c : cases) {
    Job()->GetOutputChain()->Reset();
    SetValue(JobSettings(), 245, c.mode);
    SetValue(JobSettings(), 204, c.unit);
    GCountedPtr start = Document({{253, c.duplex}, {905, c.refused}, {1123, 0}});
    if (c.type) SetOf(start)->AddChild(Medium(c.type, c.size));
    job->Submit(start);
    EXPECT_TRUE(filter->IsEnabled() == c.taken && ValueOf(SetOf(start), 253) == c.duplex_after &&
                ValueOf(SetOf(start), 1123) == c.chosen_after)
        << c.mode << c.unit << (c.type ? c.type : "-") << c.size;
    job->Submit(Command(kGJobAbortId));
  }
}

TEST_F(ManualDuplex, PassesComeOutAtTheBreakAndTheEnd) {
  using TrayList = std::vector<std::pair<int, int>>;
  // Pass orders (first/second) from the bin's kind, the mode and the
  // tray's kind: 3/0 from bin 2, mode 3, kind 1; 2/0 from 2, 3, 2; 1/2 from
  // 1, 2, 2; 3/1 from 1, 1, 1. Page 3 on tray 2, the others on 1, all at 90
  // degrees. Trays: (258, 265) of the page starts, when checked.
  // clang-format off
  const struct { std::uint16_t fixed; int duplex, bin, mode; bool kind_two; int copies, pages;
                 Tokens at_break, at_end; TrayList break_trays, end_trays; } cases[] = {
      {0, 2, 2, 3, false, 1, 5, {"DS", "blank", "4", "2", "718"}, {"1", "3", "5", "DE"},
       {{2, 90}, {2, 270}, {1, 270}}, {{1, 90}, {1, 90}, {1, 90}}},
      {7, 1, 2, 3, false, -3, 5, {"DS", "blank", "4", "2", "718"}, {"1", "3", "5", "DE"},
       {{2, 90}, {2, 90}, {1, 90}}, {{7, 90}, {7, 90}, {7, 90}}},
      // Two copies: each reads its pages as one copy does (the trays of the
      // first row, twice).
      {0, 2, 2, 3, false, 2, 5, {"DS", "blank", "4", "2", "blank", "4", "2", "718"},
       {"1", "3", "5", "1", "3", "5", "DE"},
       {{2, 90}, {2, 270}, {1, 270}, {2, 90}, {2, 270}, {1, 270}},
       {{1, 90}, {1, 90}, {1, 90}, {1, 90}, {1, 90}, {1, 90}}},
      {0, 2, 1, 2, true, 1, 6, {"DS", "5", "3", "1", "718"}, {"2", "4", "6", "DE"},
       {{2, 270}, {2, 270}, {1, 270}}, {{1, 90}, {1, 90}, {1, 90}}},
      {0, 2, 2, 3, true, 1, 1, {"DS", "1"}, {"DE"}, {}, {}},
      // One page has no back, whatever the orders (3/1, 1/3, 2/1).
      {0, 2, 1, 1, false, 2, 1, {"DS", "1", "1"}, {"DE"}, {}, {}},
      {0, 2, 2, 1, true, 1, 1, {"DS", "1"}, {"DE"}, {}, {}},
      {0, 2, 1, 1, true, 1, 1, {"DS", "1"}, {"DE"}, {}, {}},
      {0, 2, 1, 1, false, 1, 4, {"DS", "4", "2", "718"}, {"3", "1", "DE"}, {}, {}},
      // clang-format on
  };
  std::size_t seen = 0;
  for (const auto& c : cases) {
    auto* filter = Use(new GManualDuplexFilter(c.fixed, 0u));
    SetValue(JobSettings(), 1010, 1);
    SetValue(JobSettings(), 245, c.mode);
    SetValue(JobSettings(), 1226, c.kind_two ? 2 : 0);
    job->Submit(Document({{253, c.duplex}, {248, c.bin}, {247, c.copies}}, "Plain"));
    EXPECT_EQ(filter->GetFlags(), kHoldingFlag);
    for (std::int16_t n = 1; n <= c.pages; ++n)
      Page(n, n == 3 ? 2 : 1);
    seen = 0;
    job->Submit(Command(kPassBreakId));
    const std::size_t end_from = job->recorder->events.size();
    EXPECT_EQ(Since(seen), c.at_break) << c.pages;
    EXPECT_TRUE(c.break_trays.empty() || Trays(0) == c.break_trays) << c.pages;
    job->Submit(Command(kGDocumentEndId));
    EXPECT_EQ(Since(seen), c.at_end) << c.pages;
    EXPECT_TRUE(c.end_trays.empty() || Trays(end_from) == c.end_trays) << c.pages;
    GAttributeComposite* end = SetOf(job->recorder->events.size() - 1);
    GStringAttribute* message = FindStringAttribute(end, 800);
    EXPECT_TRUE(c.fixed ? !message : message->GetValue() == "test" && ValueOf(end, 801) == 1);
    EXPECT_EQ(ValueOf(JobSettings(), 1010), c.pages == 1 ? 0 : 1);
    EXPECT_TRUE(filter->GetFlags() == 0 && filter->IsEnabled() && Clean());
  }
  // First-pass tray 18 (orders 1/2: page 1): 6 when installed, else 19.
  const GCountedPtrVector& devices = FindComposite(JobSettings(), 90)->Children();
  SetValue(JobSettings(), 245, 2), SetValue(JobSettings(), 1226, 2);
  for (bool six : {true, false}) {
    auto* filter = Use(new GManualDuplexFilter);
    static_cast<GPaperHandlingDevice*>(devices[devices.Count() - 1].Get())->SetInstalled(six);
    job->Submit(Document({{253, 2}, {248, 1}}, "Plain"));
    GCountedPtr start = Command(kGPageStartId, {{258, 18}});
    filter->AdjustPageStart(SetOf(start));
    EXPECT_EQ(ValueOf(SetOf(start), 258), six ? 6 : 19);
  }
}

TEST_F(ManualDuplex, HeldPagesKeepTheirCommandsAndNames) {
  // Page n's store and font file: the cookie XOR n (reverse), XOR n - 1
  // (manual duplex). A pass-through inside page 2 is held with it.
  static const std::uint8_t bytes[] = {'@', 'P'};
  HeldFont font(Job()->GetJobFontDatabase());
  SetValue(JobSettings(), 245, 3);
  for (bool duplex : {false, true}) {
    const GPageSpool& spool =
        duplex ? Use(new GManualDuplexFilter)->Spool() : Use(new GReverseFilter)->Spool();
    job->Submit(Document({{710, 1}, {253, 2}, {248, 2}}, "Plain"));
    for (std::int16_t n = 1; n <= 2; ++n) {
      job->Submit(Start());
      const std::string stem =
          spool.DirectoryPath() + "/" + GPageSpool::PageName(n - duplex, Cookie());
      job->Submit(Tag(n));
      if (n == 2) job->Submit(GCountedPtr(new GPassThroughCommand(bytes, 2, 0, 0u)));
      job->Submit(Command(kGPageEndId));
      std::shared_ptr<GSpoolFile> pages = GSpoolFile::Of(spool.DirectoryPath());
      EXPECT_TRUE(pages && pages->Holds(stem + (duplex ? ".dpg" : ".rpg")) &&
                  std::filesystem::exists(stem + (duplex ? ".dft" : ".rft")));
    }
    if (duplex) job->Submit(Command(kPassBreakId));
    job->Submit(Command(kGDocumentEndId));
    EXPECT_EQ(job->Summary(),
              duplex ? Tokens({"DS", "2", "718", "1", "DE"}) : Tokens({"DS", "2", "1", "DE"}));
    EXPECT_EQ(job->recorder->events.at(4).command->ClassId(), kGPassThroughCommandId);
    EXPECT_TRUE(Clean() && !spool.IsActive());
  }
}

TEST_F(ManualDuplex, DocumentsThatEndOddlyOrComeWhole) {
  Use(new GManualDuplexFilter);
  SetValue(JobSettings(), 245, 3);  // orders 3/0
  // No pass break: the held document start goes before the second pass.
  job->Submit(Document({{253, 2}, {248, 2}}, "Plain"));
  for (std::int16_t n = 1; n <= 3; ++n)
    Page(n);
  job->Submit(Command(kGDocumentEndId));
  // A second pass break finds nothing held and passes on.
  job->Submit(Document({{253, 2}, {248, 2}}, "Plain"));
  Page(1), Page(2);
  for (RWClassID id : {kPassBreakId, kPassBreakId, kGDocumentEndId})
    job->Submit(Command(id));
  // A document nested in a composite that comes while idle: taken apart
  // in the composite's place.
  GCountedPtr outer(new GCommandComposite), nested(new GCommandComposite);
  GCountedPtr start = Command(kGDocumentStartId, {{253, 2}, {248, 2}}, Job());
  SetOf(start)->AddChild(Medium("Plain"));
  nested->AddChild(start.Get());
  for (std::int16_t n = 1; n <= 2; ++n) {
    auto* page = new GCommandComposite;
    for (const GCountedPtr& c : {Command(kGPageStartId, {{258, 1}}), Tag(n), Command(710)})
      page->AddChild(c.Get());
    nested->AddChild(page);
  }
  outer->AddChild(nested.Get());
  outer->AddChild(Command(kPassBreakId).Get());
  job->Submit(outer);
  EXPECT_EQ(static_cast<GCommand*>(outer.Get())->CommandWord(), 1u);
  job->Submit(Command(kGDocumentEndId));
  EXPECT_EQ(job->Summary(), Tokens({"DS", "1", "3", "DE", "DS", "2", "718", "718", "1", "DE", "DS",
                                    "2", "718", "1", "DE"}));
}

TEST_F(ManualDuplex, DamagedPagesFailTheJobOnly) {
  // Page starts are read back and written again: a cut or flipped page
  // file fails the job (code 2, job abort).
  SetValue(JobSettings(), 245, 3);
  std::mt19937 random(53);
  for (int round = 0; round < 60; ++round) {
    Use(new GManualDuplexFilter);
    job->Submit(Document({{253, 2}, {248, 2}}, "Plain"));
    Page(1), Page(2);
    for (const auto& file : std::filesystem::recursive_directory_iterator(SpoolParent())) {
      if (file.path().extension() != ".dpg") continue;
      std::string bytes = ReadAll(file.path());
      round < 20 ? bytes.resize(bytes.size() * round / 20)
                 : void(bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255));
      WriteAll(file.path(), bytes);
    }
    const std::uint16_t code =
        job->Submit(Command(kPassBreakId)) | job->Submit(Command(kGDocumentEndId));
    EXPECT_TRUE(code == kSpoolFailure && Clean()) << round;
  }
}

}  // namespace
