// The command list on disk against SQLite on a spool's work: put 10,000
// commands of a few hundred bytes each, then take them back in order, in a
// fresh file per iteration, from 1 to 8 threads (each thread its own file).
//
// Our side: a GCommandCompositeOnDisk with the delete flag, as the page-
// holding filters make it; the puts, the close (which writes the index),
// then the replay iterator taking each command. SQLite: one table
// (seq INTEGER PRIMARY KEY, data BLOB) with synchronous=OFF and
// journal_mode=OFF, each phase in one transaction; every command is saved
// to bytes in the binary stream encoding before its insert and restored
// from them after its select, and each take is a select of the first row
// and its delete. Neither side syncs to disk.
//
// Counters: put_ms and take_ms per 10,000 commands (wall time of one
// thread's phase), file_kb one thread's file after the puts (for our store,
// after the close that writes the index), put_calls and take_calls the
// system calls of one thread's phase per command (counted by the kernel's
// raw_syscalls:sys_enter tracepoint; -1 where perf events cannot count
// it), each averaged over the threads; items_per_second counts puts and
// takes of all threads together. All threads share the record store's
// process-wide lock; SQLite connections share nothing.
#include <benchmark/benchmark.h>
#include <linux/perf_event.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/rwstore.h"
#include "output/core/command.h"
#include "persist/stored_form.h"
#include "store/command_composite_on_disk.h"
#include "store/load.h"
#include "support/run_folder.h"

namespace {

constexpr int kCommands = 10000;

// A command carrying a payload of a few hundred bytes.
class SpoolCommand : public GCommand {
 public:
  static constexpr RWClassID kId = 0x0FB7;

  SpoolCommand() = default;
  SpoolCommand(std::uint32_t key, const RWCString& payload) : GCommand(key), payload_(payload) {}
  SpoolCommand(const SpoolCommand& other) = default;

  RWCollectable* CreateDefault() const override { return new SpoolCommand; }
  RWCollectable* CreateCopy() const override { return new SpoolCommand(*this); }
  RWClassID ClassId() const override { return kId; }
  RWSize StoredSize() const override { return GCommand::StoredSize() + 8 + payload_.Length(); }
  void SaveToFile(RWFile& file) const override { Save(file); }
  void SaveToStream(RWVirtualOutputStream& stream) const override { Save(stream); }
  void RestoreFromFile(RWFile& file) override { Restore(file); }
  void RestoreFromStream(RWVirtualInputStream& stream) override { Restore(stream); }
  std::uint16_t Execute(GPeripheral&) override { return 0; }

 private:
  template <class Out>
  void Save(Out& out) const {
    SaveBase<GCommand>(*this, out);
    PutItem(out, std::uint32_t{1});
    PutItem(out, payload_);
  }
  template <class In>
  void Restore(In& in) {
    MRestoreScope scope(in);
    RestoreBase<GCommand>(*this, in);
    std::uint32_t version = 0;
    if (scope.Ok() && GetItem(in, version)) GetItem(in, payload_);
  }

  RWCString payload_;
};

constexpr RWClassRegistration kBenchClasses[] = {
    {&RWCreate<SpoolCommand>, SpoolCommand::kId, "SpoolCommand"}};

struct Loaded {
  Loaded() {
    StoreLoad();
    RWRegisterClasses(kBenchClasses);
  }
};

void LoadOnce() {
  static Loaded loaded;
}

// Payloads of 200 to 400 bytes.
RWCString Payload(int i) {
  return RWCString(static_cast<char>('a' + i % 26), static_cast<RWSize>(200 + (i * 37) % 201));
}

// A file of the run's own folder, which goes at the end.
std::string TempName(const char* what, int thread) {
  static const support::RunFolder folder("bench_record_store");
  return folder.File(std::string(what) + "_" + std::to_string(thread));
}

double FileKb(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size / 1024.0 : 0;
}

// The system calls the calling thread makes, from the kernel's
// raw_syscalls:sys_enter tracepoint; Count answers -1 where it cannot be
// opened (no tracefs, or perf events not allowed).
class SyscallCounter {
 public:
  SyscallCounter() {
    long id = -1;
    for (const char* path : {"/sys/kernel/tracing/events/raw_syscalls/sys_enter/id",
                             "/sys/kernel/debug/tracing/events/raw_syscalls/sys_enter/id"}) {
      if (std::ifstream(path) >> id) break;
    }
    if (id < 0) return;
    perf_event_attr attr{};
    attr.type = PERF_TYPE_TRACEPOINT;
    attr.size = sizeof attr;
    attr.config = static_cast<std::uint64_t>(id);
    fd_ = static_cast<int>(::syscall(SYS_perf_event_open, &attr, 0, -1, -1, 0));
  }
  ~SyscallCounter() {
    if (fd_ >= 0) ::close(fd_);
  }
  SyscallCounter(const SyscallCounter&) = delete;
  SyscallCounter& operator=(const SyscallCounter&) = delete;

  long long Count() const {
    std::uint64_t value = 0;
    if (fd_ < 0 || ::read(fd_, &value, sizeof value) != sizeof value) return -1;
    return static_cast<long long>(value);
  }

 private:
  int fd_ = -1;
};

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Totals {
  double put_ms = 0, take_ms = 0, file_kb = 0;
  long long put_calls = 0, take_calls = 0;  // -1 once uncounted
  int runs = 0;
  SyscallCounter calls;
  long long mark = 0;
  // Starts a phase's count; Add answers the calls since, added to `total`.
  void Start() { mark = calls.Count(); }
  void Add(long long& total) {
    const long long now = calls.Count();
    total = now < 0 || mark < 0 || total < 0 ? -1 : total + now - mark;
  }
  void Report(benchmark::State& state) const {
    // Each thread's own figures, averaged over the threads.
    constexpr auto kAvg = benchmark::Counter::kAvgThreads;
    state.counters["put_ms"] = benchmark::Counter(put_ms / runs, kAvg);
    state.counters["take_ms"] = benchmark::Counter(take_ms / runs, kAvg);
    state.counters["file_kb"] = benchmark::Counter(file_kb / runs, kAvg);
    auto per_command = [&](long long total) {
      return benchmark::Counter(total < 0 ? -1.0 : static_cast<double>(total) / runs / kCommands,
                                kAvg);
    };
    state.counters["put_calls"] = per_command(put_calls);
    state.counters["take_calls"] = per_command(take_calls);
    state.SetItemsProcessed(static_cast<std::int64_t>(2) * kCommands * runs);
  }
};

void BM_CommandCompositeOnDisk(benchmark::State& state) {
  LoadOnce();
  const std::string path = TempName("store", state.thread_index());
  const RWWString name = RWWString::FromMultiByte(path.c_str());
  Totals totals;
  for (auto _ : state) {
    std::remove(path.c_str());
    GCommandCompositeOnDisk list(name, 1, 0);
    auto start = Clock::now();
    totals.Start();
    for (int i = 0; i < kCommands; ++i)
      list.PutRecord(GCountedPtr(new SpoolCommand(static_cast<std::uint32_t>(i), Payload(i))));
    list.Close();
    totals.Add(totals.put_calls);
    totals.put_ms += MsSince(start);
    totals.file_kb += FileKb(path);

    start = Clock::now();
    totals.Start();
    std::unique_ptr<MRecordIterator> replay(list.NewChildIterator());
    std::uint32_t expected = 0;
    while (replay->Next()) {
      GCountedPtr command = replay->TakeCurrent();
      if (!command || command->Key() != expected++) state.SkipWithError("take");
    }
    replay.reset();
    totals.Add(totals.take_calls);
    totals.take_ms += MsSince(start);
    if (expected != kCommands || list.IsInError()) state.SkipWithError("store");
    ++totals.runs;
  }
  totals.Report(state);
}
BENCHMARK(BM_CommandCompositeOnDisk)
    ->ThreadRange(1, 8)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", message ? message : "?");
    sqlite3_free(message);
  }
}

std::string SaveCommand(const GCommand& command) {
  std::ostringstream out;
  RWBinaryOutputStream stream(out);
  WriteCollectablePointerToStream(stream, &command);
  return out.str();
}

GCountedPtr RestoreCommand(const void* bytes, int size) {
  std::istringstream in(
      std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size)));
  RWBinaryInputStream stream(in);
  MPersistentObject* object = nullptr;
  MPersistentObject::ReadPointerFromStream(stream, object);
  return GCountedPtr(object);
}

void BM_SQLite(benchmark::State& state) {
  LoadOnce();
  const std::string path = TempName("sqlite", state.thread_index());
  Totals totals;
  for (auto _ : state) {
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    Exec(db, "CREATE TABLE spool(seq INTEGER PRIMARY KEY, data BLOB)");
    sqlite3_stmt *insert, *first, *remove;
    sqlite3_prepare_v2(db, "INSERT INTO spool(data) VALUES(?)", -1, &insert, nullptr);
    sqlite3_prepare_v2(db, "SELECT seq, data FROM spool ORDER BY seq LIMIT 1", -1, &first, nullptr);
    sqlite3_prepare_v2(db, "DELETE FROM spool WHERE seq = ?", -1, &remove, nullptr);

    auto start = Clock::now();
    totals.Start();
    Exec(db, "BEGIN");
    for (int i = 0; i < kCommands; ++i) {
      SpoolCommand command(static_cast<std::uint32_t>(i), Payload(i));
      std::string bytes = SaveCommand(command);
      sqlite3_bind_blob(insert, 1, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
      if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert");
      sqlite3_reset(insert);
    }
    Exec(db, "COMMIT");
    totals.Add(totals.put_calls);
    totals.put_ms += MsSince(start);
    totals.file_kb += FileKb(path);

    start = Clock::now();
    totals.Start();
    Exec(db, "BEGIN");
    std::uint32_t expected = 0;
    while (sqlite3_step(first) == SQLITE_ROW) {
      sqlite3_int64 seq = sqlite3_column_int64(first, 0);
      GCountedPtr command =
          RestoreCommand(sqlite3_column_blob(first, 1), sqlite3_column_bytes(first, 1));
      sqlite3_reset(first);
      if (!command || command->Key() != expected++) state.SkipWithError("take");
      sqlite3_bind_int64(remove, 1, seq);
      if (sqlite3_step(remove) != SQLITE_DONE) state.SkipWithError("delete");
      sqlite3_reset(remove);
    }
    sqlite3_reset(first);
    Exec(db, "COMMIT");
    totals.Add(totals.take_calls);
    totals.take_ms += MsSince(start);
    if (expected != kCommands) state.SkipWithError("count");
    sqlite3_finalize(insert);
    sqlite3_finalize(first);
    sqlite3_finalize(remove);
    sqlite3_close(db);
    ++totals.runs;
  }
  std::remove(path.c_str());
  totals.Report(state);
}
BENCHMARK(BM_SQLite)->ThreadRange(1, 8)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
