// The page spool on its whole road, each filter beside its peers on the
// same pages, one after the other in every iteration (spool_bench_job.h:
// SideBySide prints ours over each peer as x_<peer>):
//   - face up: a document of n pages of r rectangles each held by the
//     face-up filter and replayed in reverse order at document end to the
//     chain's last device, which executes every command it reads back;
//   - reverse order and manual duplex (its two passes, each pass's pages
//     `copies` times) on pages of 10 rectangles;
//   - copy page: each page filed once and replayed k times in a row.
// The peers do the same work on the same commands and the same last
// device:
//   - sqlite: one table (page, seq, data BLOB) in a new file per document,
//     synchronous=OFF and journal_mode=OFF; each command saved in the binary
//     stream encoding as it arrives (one transaction), then every page read
//     back as the filter hands it on (in its order, as many times), by a
//     select of its rows by sequence, each command restored and executed;
//   - memory: each page kept as a GCommandComposite in a std::vector and
//     handed on the same way (what holding costs without a disk).
// n = 10 ... 10,000 pages by r = 10 ... 1,000 rectangles, up to a million
// rectangles a document.
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
#include "persist/configuration.h"
#include "persist/persistent_association.h"
#include "persist/selection_string.h"
#include "services/driver_data.h"
#include "services/driver_server.h"

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

// The pass break (718, which no class of the system has).
struct PassBreak final : GCommandClass<PassBreak, GCommand, kPassBreakId> {
  std::uint16_t Execute(GPeripheral& on) override { return on.OnPassBreak(*this); }
};

// One document of `pages` pages of `rectangles` through `device`: the
// start (its set given `settings` and a medium), the pages (each page end
// asking for `page_copies` (kPrinterCopiesKey) when not 0), a pass break when
// `pass_break`, the end. False when the chain answers an error.
bool Document(GPeripheral& device, GRenderDriverData* job, int pages, int rectangles,
              std::initializer_list<std::pair<std::uint32_t, int>> settings = {{kRuleSwitchKey, 1}},
              bool pass_break = false, int page_copies = 0) {
  auto* set = new GState(0u);
  for (const auto& [key, value] : settings)
    set->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  set->AddChild(new GMedia(nullptr, {}, {}, {}, 0, 1, 600, 600, kMediumKey, 0, nullptr, "Plain"));
  device.Submit(GCountedPtr(new GDocumentStart(set, u"", u"bench", job, 0u)));
  for (int page = 0; page < pages; ++page) {
    std::vector<GCountedPtr> commands = Page(page, rectangles);
    if (page_copies != 0) {
      auto* copies = new GState(0u);
      copies->AddChild(
          new GValueAttribute(static_cast<std::uint16_t>(page_copies), kPrinterCopiesKey));
      static_cast<GCommand*>(commands.back().Get())->AttachAttributes(copies);
    }
    for (const GCountedPtr& command : commands)
      device.Submit(command);
  }
  bool ok = !pass_break || device.Submit(GCountedPtr(new PassBreak))->ClassId() != kGErrorCommandId;
  GCountedPtr end(new GDocumentEnd(nullptr, u"", u"", 0u));
  ok = device.Submit(end)->ClassId() != kGErrorCommandId && ok;
  job->GetFontDatabase()->Reset();
  return ok;
}

// The pages of one document kept in memory and handed on to `sink` in
// `order` (page numbers, each as often as it is named).
void InMemory(Sink& sink, int pages, int rectangles, const std::vector<int>& order) {
  sink.Submit(DocumentStart());
  std::vector<GCountedPtr> held;
  for (int page = 0; page < pages; ++page) {
    GCountedPtr composite(new GCommandComposite);
    for (const GCountedPtr& command : Page(page, rectangles))
      composite->AddChild(command.Get());
    held.push_back(composite);
  }
  for (int page : order)
    sink.Submit(held[static_cast<std::size_t>(page)]);
  sink.Submit(GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u)));
}

void Exec(sqlite3* db, const char* sql) {
  sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// The same through an SQLite table in the file `path`, made anew.
void InSqlite(Sink& sink, const std::string& path, int pages, int rectangles,
              const std::vector<int>& order) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
  Exec(db, "CREATE TABLE spool(page INTEGER, seq INTEGER, data BLOB, PRIMARY KEY(page, seq))");
  sqlite3_stmt *insert, *select;
  sqlite3_prepare_v2(db, "INSERT INTO spool VALUES(?, ?, ?)", -1, &insert, nullptr);
  sqlite3_prepare_v2(db, "SELECT data FROM spool WHERE page = ? ORDER BY seq", -1, &select,
                     nullptr);
  sink.Submit(DocumentStart());
  Exec(db, "BEGIN");
  for (int page = 0; page < pages; ++page) {
    int seq = 0;
    for (const GCountedPtr& command : Page(page, rectangles)) {
      std::ostringstream out;
      RWBinaryOutputStream stream(out);
      WriteCollectablePointerToStream(stream, command.Get());
      const std::string bytes = out.str();
      sqlite3_bind_int(insert, 1, page);
      sqlite3_bind_int(insert, 2, seq++);
      sqlite3_bind_blob(insert, 3, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
  }
  Exec(db, "COMMIT");
  Exec(db, "BEGIN");
  for (int page : order) {
    sqlite3_bind_int(select, 1, page);
    while (sqlite3_step(select) == SQLITE_ROW) {
      std::istringstream in(std::string(static_cast<const char*>(sqlite3_column_blob(select, 0)),
                                        static_cast<std::size_t>(sqlite3_column_bytes(select, 0))));
      RWBinaryInputStream stream(in);
      MPersistentObject* object = nullptr;
      MPersistentObject::ReadPointerFromStream(stream, object);
      sink.Submit(GCountedPtr(object));
    }
    sqlite3_reset(select);
  }
  Exec(db, "COMMIT");
  sink.Submit(GCountedPtr(new GDocumentEnd(nullptr, u"", u"", 0u)));
  sqlite3_finalize(insert);
  sqlite3_finalize(select);
  sqlite3_close(db);
  std::filesystem::remove(path);
}

// Page numbers: n - 1 down to 0; and each page `k` times in a row.
std::vector<int> Reversed(int pages) {
  std::vector<int> order;
  for (int page = pages - 1; page >= 0; --page)
    order.push_back(page);
  return order;
}
std::vector<int> Repeated(int pages, int k) {
  std::vector<int> order;
  for (int page = 0; page < pages; ++page)
    order.insert(order.end(), static_cast<std::size_t>(k), page);
  return order;
}

// `filter` ahead of the last device, one document an iteration (`run`),
// beside the peers named: "sqlite" and "memory" on the pages in `order`.
// Fails the benchmark unless every rectangle reached each last device
// `copies` times.
void Compare(benchmark::State& state, GPeripheral* filter,
             const std::function<bool(GPeripheral&, int pages, int rectangles)>& run,
             const std::vector<int>& order, int copies, bool with_memory) {
  const auto pages = static_cast<int>(state.range(0));
  const auto rectangles = static_cast<int>(state.range(1));
  GCountedPtr chain(new GPeripheralComposite);
  auto* sink = new Sink;
  chain->AddChild(filter);
  chain->AddChild(sink);
  Sink sqlite_sink, memory_sink;
  bool ok = true;
  std::vector<BenchPeer> peers = {
      {"sqlite",
       [&] { InSqlite(sqlite_sink, Env().directory + "/spool.db", pages, rectangles, order); }}};
  if (with_memory)
    peers.push_back({"memory", [&] { InMemory(memory_sink, pages, rectangles, order); }});
  SideBySide(
      state, pages,
      [&] { ok = run(*static_cast<GPeripheral*>(chain.Get()), pages, rectangles) && ok; }, peers);
  const std::uint64_t expected = static_cast<std::uint64_t>(pages) *
                                 static_cast<std::uint64_t>(rectangles) *
                                 static_cast<std::uint64_t>(copies) * state.iterations();
  if (!ok) state.SkipWithError("spool");
  if (sink->rectangles != expected || sqlite_sink.rectangles != expected ||
      (with_memory && memory_sink.rectangles != expected)) {
    state.SkipWithError("rectangles lost");
  }
}

void BM_FaceUp(benchmark::State& state) {
  Compare(
      state, new GFaceUpFilter,
      [](GPeripheral& device, int pages, int rectangles) {
        return Document(device, Env().render, pages, rectangles);
      },
      Reversed(static_cast<int>(state.range(0))), 1, true);
}

// n x r up to a million rectangles a document.
void Sizes(benchmark::internal::Benchmark* b) {
  for (long pages : {10, 100, 1000, 10000}) {
    for (long rectangles : {10, 100, 1000}) {
      if (pages * rectangles <= 1000000) b->Args({pages, rectangles});
    }
  }
  b->Unit(benchmark::kMillisecond)->UseManualTime();
}

BENCHMARK(BM_FaceUp)->Apply(Sizes);

// --- The reverse-order and manual-duplex filters on the same road, on
// pages of 10 rectangles: the reverse filter holds SpoolLock from page
// start to page end; the manual-duplex filter hands a first pass on at the
// pass break and the second at document end, each page's start read back
// and written again as it is prepared, the whole of each pass `copies`
// times.

// A job whose settings ask for manual duplex (kManualDuplexKey = 2 with no
// duplex unit, kDuplexUnitReportedKey = 0) and allow up to 999 copies
// (kCopiesRangeKey).
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

void BM_Reverse(benchmark::State& state) {
  Compare(
      state, new GReverseFilter,
      [](GPeripheral& device, int pages, int rectangles) {
        return Document(device, Env().render, pages, rectangles, {{kPageOrderKey, 1}});
      },
      Reversed(static_cast<int>(state.range(0))), 1, false);
}

void BM_ManualDuplex(benchmark::State& state) {
  const int copies = static_cast<int>(state.range(2));
  // The peer reads the pages of the first pass (every second page), then
  // those of the second, each pass `copies` times.
  const auto pages = static_cast<int>(state.range(0));
  std::vector<int> order;
  for (int pass = 1; pass >= 0; --pass) {
    for (int copy = 0; copy < copies; ++copy) {
      for (int page = pass; page < pages; page += 2)
        order.push_back(page);
    }
  }
  Compare(
      state, new GManualDuplexFilter,
      [copies](GPeripheral& device, int pages, int rectangles) {
        return Document(device, EnteredRender<DuplexJob>(), pages, rectangles,
                        {{kDuplexKey, 2}, {kCollatedCopiesKey, copies}}, true);
      },
      order, copies, false);
}

// n = 10 ... 10,000 pages of 10 rectangles (and the copies).
void HeldSizes(benchmark::internal::Benchmark* b) {
  for (long pages : {10, 100, 1000, 10000})
    b->Args({pages, 10});
  b->Unit(benchmark::kMillisecond)->UseManualTime();
}
void CopySizes(benchmark::internal::Benchmark* b) {
  for (long pages : {10, 100, 1000, 10000}) {
    for (long copies : {1, 10})
      b->Args({pages, 10, copies});
  }
  b->Unit(benchmark::kMillisecond)->UseManualTime();
}

// --- The copy-page filter: each page filed once and replayed k times in a
// row (every copy reads the same page store back). The document asks for 2
// copies ("LOW" selected); each page end's kPrinterCopiesKey gives its k.

// The printer's configuration set: the job settings, and beside them the
// quality list kCopyPageChoicesKey {1: "LOW"}.
class CopyJob : public BenchJob {
 public:
  CopyJob() {
    auto* list = new MAssociationList(906u);
    list->AddChild(
        new MPersistentAssociation(new GValueAttribute(1, 0u), new GSelectionString("LOW", 1)));
    set_->AddChild(settings_);
    set_->AddChild(list);
  }
  GAttributeComposite* GetJobSettings() override { return settings_; }
  MPersistentObject* GetConfigurationSet() override { return set_.get(); }

 private:
  std::unique_ptr<GConfiguration> set_{new GConfiguration(198u)};
  GAttributeComposite* settings_ = new GAttributeComposite(198u);  // held by the set
};

void BM_CopyPage(benchmark::State& state) {
  const int copies = static_cast<int>(state.range(2));
  Compare(
      state, new GCopyPageFilter,
      [copies](GPeripheral& device, int pages, int rectangles) {
        return Document(device, EnteredRender<CopyJob>(), pages, rectangles,
                        {{kCopyPageChoiceKey, 1}, {kCopiesKey, 2}, {kCollatedCopiesKey, 1}}, false,
                        copies);
      },
      Repeated(static_cast<int>(state.range(0)), copies), copies, true);
}

BENCHMARK(BM_Reverse)->Apply(HeldSizes);
BENCHMARK(BM_ManualDuplex)->Apply(CopySizes);
BENCHMARK(BM_CopyPage)->Apply(CopySizes);

}  // namespace
