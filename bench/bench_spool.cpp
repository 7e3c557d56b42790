// The page spool on its whole road: a document of n pages of r rectangles
// each held by the face-up filter (a page store and a font-database file per
// page, under the spool lock) and replayed in reverse order at document end
// to the chain's last device, which executes every command it reads back.
// Beside it, on the same commands and the same last device:
//   - in memory: each page kept as a GCommandComposite in a std::vector,
//     the pages handed on last first (what holding costs without a disk);
//   - SQLite: one table (page, seq, data BLOB) with synchronous=OFF and
//     journal_mode=OFF, each command saved in the binary stream encoding
//     as it arrives and restored at replay by a select ordered by page
//     descending, then seq (one transaction per phase).
// The copy-page filter's copies (k = 1 and 10) are at the end.
// n = 10 ... 10,000 pages by r = 10 ... 1,000 rectangles, up to a million
// rectangles a document. Counters: ns per page and ns per record (every
// command of the document counted, page starts and ends included).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench/spool_bench_job.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/services/driver_data.h"
#include "driver/services/driver_server.h"
#include "filters/copy_page_filter.h"
#include "filters/face_up_filter.h"
#include "filters/load.h"
#include "filters/manual_duplex_filter.h"
#include "filters/reverse_filter.h"
#include "fonts/font_database.h"
#include "foundation/rw/binarystream.h"
#include "foundation/rw/rwstore.h"
#include "output/commands/job_commands.h"
#include "output/core/command_class.h"
#include "output/core/command_composite.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "persist/persistent_association.h"
#include "persist/selection_string.h"

namespace {

SpoolBenchEnvironment& Env() {
  static SpoolBenchEnvironment environment("bench_spool");
  return environment;
}

GCountedPtr DocumentStart() {
  auto* settings = new GState(0u);
  settings->AddChild(new GValueAttribute(1, kRuleSwitchKey));
  return GCountedPtr(new GDocumentStart(settings, u"", u"bench", Env().render, 0u));
}

// Page `page`'s commands: start, `rectangles` rectangles, end.
std::vector<GCountedPtr> Page(int page, int rectangles) {
  std::vector<GCountedPtr> commands;
  commands.emplace_back(new GPageStart(new GState(0u), 0u));
  for (int i = 0; i < rectangles; ++i) {
    const auto x = static_cast<std::int16_t>(i % 1000), y = static_cast<std::int16_t>(page % 1000);
    commands.emplace_back(
        new GRectangleGraphic(GShortRect{x, y, static_cast<std::int16_t>(x + 10), y}, nullptr, 0u));
  }
  commands.emplace_back(new GPageEnd(0u));
  return commands;
}

void Report(benchmark::State& state, std::uint64_t rectangles) {
  const auto pages = static_cast<double>(state.range(0));
  const double records = pages * static_cast<double>(state.range(1) + 2);
  const double iterations = static_cast<double>(state.iterations());
  state.counters["ns_per_page"] = benchmark::Counter(
      pages * iterations, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["ns_per_record"] = benchmark::Counter(
      records * iterations, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (rectangles != static_cast<std::uint64_t>(pages * state.range(1) * iterations))
    state.SkipWithError("rectangles lost");
}

void BM_FaceUpSpool(benchmark::State& state) {
  SpoolBenchEnvironment& env = Env();
  GCountedPtr chain(new GPeripheralComposite);
  auto* sink = new Sink;
  chain->AddChild(new GFaceUpFilter);
  chain->AddChild(sink);
  auto* device = static_cast<GPeripheral*>(chain.Get());
  for (auto _ : state) {
    device->Submit(DocumentStart());
    for (int page = 0; page < state.range(0); ++page) {
      for (const GCountedPtr& command : Page(page, static_cast<int>(state.range(1))))
        device->Submit(command);
    }
    GCountedPtr end(new GDocumentEnd(nullptr, u"", u"", 0u));
    if (device->Submit(end)->ClassId() == kGErrorCommandId) state.SkipWithError("spool");
    env.render->GetFontDatabase()->Reset();
  }
  Report(state, sink->rectangles);
}

// The pages of each document kept in memory and handed on last first
// (`reverse`) or in order, `copies` times each. The rectangles that
// reached the sink, per copy.
std::uint64_t HoldInMemory(benchmark::State& state, bool reverse, int copies) {
  Sink sink;
  for (auto _ : state) {
    sink.Submit(DocumentStart());
    std::vector<GCountedPtr> pages;
    for (int page = 0; page < state.range(0); ++page) {
      GCountedPtr held(new GCommandComposite);
      for (const GCountedPtr& command : Page(page, static_cast<int>(state.range(1))))
        held->AddChild(command.Get());
      pages.push_back(held);
    }
    if (reverse) std::reverse(pages.begin(), pages.end());
    for (const GCountedPtr& page : pages) {
      for (int k = 0; k < copies; ++k)
        sink.Submit(page);
    }
    sink.Submit(GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u)));
  }
  return sink.rectangles / static_cast<std::uint64_t>(copies);
}

void BM_InMemory(benchmark::State& state) {
  Report(state, HoldInMemory(state, true, 1));
}

void Exec(sqlite3* db, const char* sql) {
  sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

void BM_SQLite(benchmark::State& state) {
  const std::string path = Env().directory + "/spool.db";
  Sink sink;
  for (auto _ : state) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    Exec(db, "CREATE TABLE spool(page INTEGER, seq INTEGER, data BLOB, PRIMARY KEY(page, seq))");
    sqlite3_stmt *insert, *select;
    sqlite3_prepare_v2(db, "INSERT INTO spool VALUES(?, ?, ?)", -1, &insert, nullptr);
    sqlite3_prepare_v2(db, "SELECT data FROM spool ORDER BY page DESC, seq", -1, &select, nullptr);
    sink.Submit(DocumentStart());
    Exec(db, "BEGIN");
    for (int page = 0; page < state.range(0); ++page) {
      int seq = 0;
      for (const GCountedPtr& command : Page(page, static_cast<int>(state.range(1)))) {
        std::ostringstream out;
        RWBinaryOutputStream stream(out);
        WriteCollectablePointerToStream(stream, command.Get());
        const std::string bytes = out.str();
        sqlite3_bind_int(insert, 1, page);
        sqlite3_bind_int(insert, 2, seq++);
        sqlite3_bind_blob(insert, 3, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert");
        sqlite3_reset(insert);
      }
    }
    Exec(db, "COMMIT");
    Exec(db, "BEGIN");
    while (sqlite3_step(select) == SQLITE_ROW) {
      std::istringstream in(std::string(static_cast<const char*>(sqlite3_column_blob(select, 0)),
                                        static_cast<std::size_t>(sqlite3_column_bytes(select, 0))));
      RWBinaryInputStream stream(in);
      MPersistentObject* object = nullptr;
      MPersistentObject::ReadPointerFromStream(stream, object);
      sink.Submit(GCountedPtr(object));
    }
    Exec(db, "COMMIT");
    sink.Submit(GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u)));
    sqlite3_finalize(insert);
    sqlite3_finalize(select);
    sqlite3_close(db);
  }
  std::filesystem::remove(path);
  Report(state, sink.rectangles);
}

// n x r up to a million rectangles a document.
void Sizes(benchmark::internal::Benchmark* b) {
  for (long pages : {10, 100, 1000, 10000}) {
    for (long rectangles : {10, 100, 1000}) {
      if (pages * rectangles <= 1000000) b->Args({pages, rectangles});
    }
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_FaceUpSpool)->Apply(Sizes);
BENCHMARK(BM_InMemory)->Apply(Sizes);
BENCHMARK(BM_SQLite)->Apply(Sizes);

// --- The reverse-order and manual-duplex filters on the same road, beside
// the face-up filter's rows of 10 rectangles a page: the reverse filter
// holds SpoolLock from page start to page end; the manual-duplex filter
// hands a first pass on at the pass break and the second at document end,
// each page's start read back and written again as it is prepared, the
// whole of each pass `copies` times.

// A job whose settings ask for manual duplex (245 = 2 with no duplex unit,
// 204 = 0) and allow up to 999 copies (199).
class DuplexJob : public BenchJob {
 public:
  DuplexJob() {
    settings_->AddChild(new GValueAttribute(2, kManualDuplexKey));
    settings_->AddChild(new GValueAttribute(0, kDuplexUnitReportedKey));
    settings_->AddChild(new GRangeAttribute(1, 999, 1, 1, kCopiesRangeKey));
  }
  GAttributeComposite* GetJobSettings() override { return settings_.get(); }

 private:
  std::unique_ptr<GAttributeComposite> settings_{new GAttributeComposite(0u)};
};

// The pass break (718, which no class of the system has).
struct PassBreak final : GCommandClass<PassBreak, GCommand, kPassBreakId> {
  std::uint16_t Execute(GPeripheral& on) override { return on.OnPassBreak(*this); }
};

// The render view of a `Job` entered in the server once, its spool in the
// environment's directory.
template <class Job>
BenchRender* EnteredRender() {
  static BenchRender* render = [] {
    Env();
    auto* job = new Job;
    auto* view = static_cast<BenchRender*>(job->AsRenderDriverData());
    view->cookie = GDriverServer::Instance()->EnterRenderData(job);
    Env().services.SetPrinterDataString(job, u"TempDirectoryLocation",
                                        RWWString::FromMultiByte(Env().directory.c_str()));
    return view;
  }();
  return render;
}

// One document of state.range(0) pages of 10 rectangles through `filter`;
// `settings` the document start's values; a pass break before the end when
// `pass_break`; each page end asking for `page_copies` (257) when not 0.
// The rectangles that reached the sink, per copy.
std::uint64_t HoldDocuments(benchmark::State& state, GPeripheral* filter, GRenderDriverData* job,
                            std::initializer_list<std::pair<std::uint32_t, int>> settings,
                            bool pass_break, int copies, int page_copies = 0) {
  GCountedPtr chain(new GPeripheralComposite);
  auto* sink = new Sink;
  chain->AddChild(filter);
  chain->AddChild(sink);
  auto* device = static_cast<GPeripheral*>(chain.Get());
  for (auto _ : state) {
    auto* set = new GState(0u);
    for (const auto& [key, value] : settings)
      set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
    set->AddChild(new GMedia(nullptr, {}, {}, {}, 0, 1, 600, 600, kMediumKey, 0, nullptr, "Plain"));
    device->Submit(GCountedPtr(new GDocumentStart(set, u"", u"bench", job, 0u)));
    for (int page = 0; page < state.range(0); ++page) {
      std::vector<GCountedPtr> commands = Page(page, static_cast<int>(state.range(1)));
      if (page_copies != 0) {  // the page end's 257
        auto* set = new GState(0u);
        set->AddChild(
            new GValueAttribute(static_cast<std::uint16_t>(page_copies), kPrinterCopiesKey));
        static_cast<GCommand*>(commands.back().Get())->AttachAttributes(set);
      }
      for (const GCountedPtr& command : commands)
        device->Submit(command);
    }
    if (pass_break && device->Submit(GCountedPtr(new PassBreak))->ClassId() == kGErrorCommandId)
      state.SkipWithError("spool");
    GCountedPtr end(new GDocumentEnd(nullptr, u"", u"", 0u));
    if (device->Submit(end)->ClassId() == kGErrorCommandId) state.SkipWithError("spool");
    job->GetFontDatabase()->Reset();
  }
  return sink->rectangles / static_cast<std::uint64_t>(copies);
}

void BM_ReverseSpool(benchmark::State& state) {
  Report(state,
         HoldDocuments(state, new GReverseFilter, Env().render, {{kPageOrderKey, 1}}, false, 1));
}

void BM_ManualDuplexSpool(benchmark::State& state) {
  const int copies = static_cast<int>(state.range(2));
  Report(state, HoldDocuments(state, new GManualDuplexFilter, EnteredRender<DuplexJob>(),
                              {{kDuplexKey, 2}, {kCollatedCopiesKey, copies}}, true, copies));
}

// n = 10 ... 10,000 pages of 10 rectangles (and the copies).
void HeldSizes(benchmark::internal::Benchmark* b) {
  for (long pages : {10, 100, 1000, 10000})
    b->Args({pages, 10});
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}
void DuplexSizes(benchmark::internal::Benchmark* b) {
  for (long pages : {10, 100, 1000, 10000}) {
    for (long copies : {1, 10})
      b->Args({pages, 10, copies});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// --- The copy-page filter: each page filed once and replayed k times in a
// row (every copy reads the same page store back), beside the same pages
// kept in memory and handed on k times each. The document asks for 2
// copies ("LOW" selected); each page end's 257 gives its k.

// The job settings hold attributes only: these answer key 906 with the
// quality list {1: "LOW"}.
class CopySettings : public GAttributeComposite {
 public:
  CopySettings() : GAttributeComposite(0u), list_(new MAssociationList(906u)) {
    list_->AddChild(
        new MPersistentAssociation(new GValueAttribute(1, 0u), new GSelectionString("LOW", 1)));
  }
  MPersistentObject* FindByKey(const std::uint32_t& key) override {
    return key == kCopyPageChoicesKey ? list_.Get() : GAttributeComposite::FindByKey(key);
  }

 private:
  GCountedPtr list_;
};

class CopyJob : public BenchJob {
 public:
  GAttributeComposite* GetJobSettings() override { return &settings_; }

 private:
  CopySettings settings_;
};

void BM_CopyPageSpool(benchmark::State& state) {
  const int copies = static_cast<int>(state.range(2));
  Report(state, HoldDocuments(state, new GCopyPageFilter, EnteredRender<CopyJob>(),
                              {{kCopyPageChoiceKey, 1}, {kCopiesKey, 2}, {kCollatedCopiesKey, 1}},
                              false, copies, copies));
}

void BM_CopyInMemory(benchmark::State& state) {
  Report(state, HoldInMemory(state, false, static_cast<int>(state.range(2))));
}

BENCHMARK(BM_ReverseSpool)->Apply(HeldSizes);
BENCHMARK(BM_ManualDuplexSpool)->Apply(DuplexSizes);
BENCHMARK(BM_CopyPageSpool)->Apply(DuplexSizes);
BENCHMARK(BM_CopyInMemory)->Apply(DuplexSizes);

}  // namespace
