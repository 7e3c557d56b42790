// The disk B-tree over the file space manager against SQLite and LMDB on the
// same work: N fixed-length 16-byte keys with 32-bit values inserted, found
// and removed, each in random order, in a fresh file per iteration.
//
// Counters: insert_ns, find_ns and remove_ns are per key; file_kb is the file
// after the inserts, end_kb after the removes (for our tree also space_kb,
// the manager's end of space then: it shrinks, the file is not truncated).
// Our tree runs with the record store's settings (order 10, minimum 10, cache
// 10 nodes) and with a cache of keys / 10 + 1 nodes, which holds every node:
// each node but the root holds at least 10 keys. SQLite runs with its default
// page cache, synchronous=OFF and journal_mode=OFF, LMDB with MDB_NOSYNC, each
// phase in one transaction: none of the three syncs to disk.
//
// The default run covers 10,000 and 100,000 keys; --large adds 1,000,000
// (a few minutes with repetitions).
#include <benchmark/benchmark.h>
#include <lmdb.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/rw/diskbtree.h"
#include "foundation/rw/filespace.h"
#include "support/run_folder.h"

namespace {

constexpr std::uint32_t kKeyLength = 16;

struct Work {
  std::vector<std::string> keys;  // insertion order
  std::vector<std::size_t> find_order;
  std::vector<std::size_t> remove_order;
};

const Work& WorkFor(std::size_t n) {
  static std::vector<std::pair<std::size_t, Work>> made;
  for (auto& [size, work] : made) {
    if (size == n) return work;
  }
  Work work;
  std::mt19937_64 rng(n);
  std::vector<std::string> keys;
  keys.reserve(n);
  while (keys.size() < n) {
    std::string key(kKeyLength, '\0');
    for (std::uint32_t i = 0; i < kKeyLength; i += 8) {
      std::uint64_t bits = rng();
      std::memcpy(&key[i], &bits, 8);
    }
    keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::shuffle(keys.begin(), keys.end(), rng);
  work.keys = keys;
  for (std::size_t i = 0; i < work.keys.size(); ++i)
    work.find_order.push_back(i);
  work.remove_order = work.find_order;
  std::shuffle(work.find_order.begin(), work.find_order.end(), rng);
  std::shuffle(work.remove_order.begin(), work.remove_order.end(), rng);
  made.emplace_back(n, std::move(work));
  return made.back().second;
}

// A file of the run's own folder, which goes at the end.
std::string TempName(const char* what) {
  static const support::RunFolder folder("bench_diskbtree");
  return folder.File(what);
}

double FileKb(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size / 1024.0 : 0;
}

using Clock = std::chrono::steady_clock;

double NsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Runs the three phases, timing each; `insert`, `find`, `remove` take a key
// index; `settle` closes out a phase (commit, flush).
struct Totals {
  double insert_ns = 0, find_ns = 0, remove_ns = 0, file_kb = 0, end_kb = 0;
  int runs = 0;

  void Report(benchmark::State& state, std::size_t n) {
    double per = static_cast<double>(runs) * static_cast<double>(n);
    state.counters["insert_ns"] = insert_ns / per;
    state.counters["find_ns"] = find_ns / per;
    state.counters["remove_ns"] = remove_ns / per;
    state.counters["file_kb"] = file_kb / runs;
    state.counters["end_kb"] = end_kb / runs;
    state.SetItemsProcessed(static_cast<std::int64_t>(3 * n) * runs);
  }
};

void BM_RWDiskBTree(benchmark::State& state) {
  const Work& work = WorkFor(static_cast<std::size_t>(state.range(0)));
  const auto cache = static_cast<std::uint32_t>(state.range(1));
  const std::string path = TempName("rw");
  Totals totals;
  double space_kb = 0;
  for (auto _ : state) {
    std::remove(path.c_str());
    RWFileSpaceManager manager(path.c_str());
    RWDiskBTree tree(&manager, cache, false, kKeyLength, true, 0xFFFFFFFFu, false, 10, 10);
    auto start = Clock::now();
    for (std::size_t i = 0; i < work.keys.size(); ++i) {
      if (!tree.Insert(work.keys[i].data(), static_cast<std::uint32_t>(i)))
        state.SkipWithError("insert");
    }
    manager.Flush();
    totals.insert_ns += NsSince(start);
    totals.file_kb += FileKb(path);
    RWCString key;
    std::uint32_t value;
    start = Clock::now();
    for (std::size_t i : work.find_order) {
      if (!tree.Find(work.keys[i].data(), key, value) || value != i) state.SkipWithError("find");
    }
    totals.find_ns += NsSince(start);
    start = Clock::now();
    for (std::size_t i : work.remove_order) {
      if (!tree.Remove(work.keys[i].data(), key, value)) state.SkipWithError("remove");
    }
    manager.Flush();
    totals.remove_ns += NsSince(start);
    totals.end_kb += FileKb(path);
    space_kb += manager.EndOfSpace() / 1024.0;
    ++totals.runs;
  }
  std::remove(path.c_str());
  totals.Report(state, work.keys.size());
  state.counters["space_kb"] = space_kb / totals.runs;
}

void Exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", message ? message : "?");
    sqlite3_free(message);
  }
}

void BM_SQLite(benchmark::State& state) {
  const Work& work = WorkFor(static_cast<std::size_t>(state.range(0)));
  const std::string path = TempName("sqlite");
  Totals totals;
  for (auto _ : state) {
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    Exec(db, "CREATE TABLE t(k BLOB PRIMARY KEY, v INTEGER) WITHOUT ROWID");
    sqlite3_stmt *insert, *find, *remove;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?)", -1, &insert, nullptr);
    sqlite3_prepare_v2(db, "SELECT v FROM t WHERE k = ?", -1, &find, nullptr);
    sqlite3_prepare_v2(db, "DELETE FROM t WHERE k = ?", -1, &remove, nullptr);

    auto start = Clock::now();
    Exec(db, "BEGIN");
    for (std::size_t i = 0; i < work.keys.size(); ++i) {
      sqlite3_bind_blob(insert, 1, work.keys[i].data(), kKeyLength, SQLITE_STATIC);
      sqlite3_bind_int64(insert, 2, static_cast<sqlite3_int64>(i));
      if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert");
      sqlite3_reset(insert);
    }
    Exec(db, "COMMIT");
    totals.insert_ns += NsSince(start);
    totals.file_kb += FileKb(path);

    start = Clock::now();
    Exec(db, "BEGIN");
    for (std::size_t i : work.find_order) {
      sqlite3_bind_blob(find, 1, work.keys[i].data(), kKeyLength, SQLITE_STATIC);
      if (sqlite3_step(find) != SQLITE_ROW ||
          sqlite3_column_int64(find, 0) != static_cast<sqlite3_int64>(i)) {
        state.SkipWithError("find");
      }
      sqlite3_reset(find);
    }
    Exec(db, "COMMIT");
    totals.find_ns += NsSince(start);

    start = Clock::now();
    Exec(db, "BEGIN");
    for (std::size_t i : work.remove_order) {
      sqlite3_bind_blob(remove, 1, work.keys[i].data(), kKeyLength, SQLITE_STATIC);
      if (sqlite3_step(remove) != SQLITE_DONE) state.SkipWithError("remove");
      sqlite3_reset(remove);
    }
    Exec(db, "COMMIT");
    totals.remove_ns += NsSince(start);
    sqlite3_finalize(insert);
    sqlite3_finalize(find);
    sqlite3_finalize(remove);
    sqlite3_close(db);
    totals.end_kb += FileKb(path);
    ++totals.runs;
  }
  std::remove(path.c_str());
  totals.Report(state, work.keys.size());
}

void BM_LMDB(benchmark::State& state) {
  const Work& work = WorkFor(static_cast<std::size_t>(state.range(0)));
  const std::string path = TempName("lmdb");
  Totals totals;
  for (auto _ : state) {
    std::remove(path.c_str());
    MDB_env* env = nullptr;
    mdb_env_create(&env);
    mdb_env_set_mapsize(env, std::size_t{1} << 30);
    if (mdb_env_open(env, path.c_str(), MDB_NOSUBDIR | MDB_NOSYNC | MDB_NOLOCK, 0644) != 0) {
      state.SkipWithError("mdb_env_open");
      mdb_env_close(env);
      break;
    }
    MDB_txn* txn;
    MDB_dbi dbi;
    mdb_txn_begin(env, nullptr, 0, &txn);
    mdb_dbi_open(txn, nullptr, 0, &dbi);
    mdb_txn_commit(txn);

    auto start = Clock::now();
    mdb_txn_begin(env, nullptr, 0, &txn);
    for (std::size_t i = 0; i < work.keys.size(); ++i) {
      auto v = static_cast<std::uint32_t>(i);
      MDB_val key{kKeyLength, const_cast<char*>(work.keys[i].data())};
      MDB_val value{sizeof v, &v};
      if (mdb_put(txn, dbi, &key, &value, MDB_NOOVERWRITE) != 0) state.SkipWithError("insert");
    }
    mdb_txn_commit(txn);
    totals.insert_ns += NsSince(start);
    totals.file_kb += FileKb(path);

    start = Clock::now();
    mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn);
    for (std::size_t i : work.find_order) {
      MDB_val key{kKeyLength, const_cast<char*>(work.keys[i].data())};
      MDB_val value;
      std::uint32_t v = 0;
      if (mdb_get(txn, dbi, &key, &value) == 0) std::memcpy(&v, value.mv_data, sizeof v);
      if (v != i) state.SkipWithError("find");
    }
    mdb_txn_abort(txn);
    totals.find_ns += NsSince(start);

    start = Clock::now();
    mdb_txn_begin(env, nullptr, 0, &txn);
    for (std::size_t i : work.remove_order) {
      MDB_val key{kKeyLength, const_cast<char*>(work.keys[i].data())};
      if (mdb_del(txn, dbi, &key, nullptr) != 0) state.SkipWithError("remove");
    }
    mdb_txn_commit(txn);
    totals.remove_ns += NsSince(start);
    mdb_env_close(env);
    totals.end_kb += FileKb(path);
    ++totals.runs;
  }
  std::remove(path.c_str());
  totals.Report(state, work.keys.size());
}

}  // namespace

int main(int argc, char** argv) {
  bool large = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--large") == 0) {
      large = true;
      std::copy(argv + i + 1, argv + argc, argv + i);
      --argc;
      break;
    }
  }
  // One size after the other, each with its peers beside it.
  for (std::int64_t keys : {10000, 100000, 1000000}) {
    if (keys > 100000 && !large) break;
    for (std::int64_t cache : {std::int64_t{10}, keys / 10 + 1}) {
      benchmark::RegisterBenchmark("RWDiskBTree", BM_RWDiskBTree)
          ->ArgNames({"keys", "cache"})
          ->Args({keys, cache})
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("SQLite", BM_SQLite)
        ->ArgName("keys")
        ->Arg(keys)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LMDB", BM_LMDB)
        ->ArgName("keys")
        ->Arg(keys)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
