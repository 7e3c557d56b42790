// The library's shared object as a host meets it (probe/host_probe.cpp):
// loaded and driven from threads and sheets in a process of its own, with
// no catch around a call. Every run ends as a success, with failures the
// exports answered, or the documented end of the default error handler
// ("Fatal Error", [NOMEM], status 1): never an abort, an escaped
// exception, a crash, a hang or a setting of the user's lost.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Ended {
  // The exit status; -1 after a signal, a hang, or a success that left
  // something in its temporary folder.
  int status = -1;
  std::string said;

  bool Documented() const {
    return status == 1 && said.find("Fatal Error") != std::string::npos &&
           said.find("[NOMEM]") != std::string::npos;
  }
};

// A folder of one run's own in the temporary folder (TMPDIR): the probe
// installs in it, and its TMPDIR is tmp/ in it. Removed here however the
// probe ended.
class RunFolder {
 public:
  RunFolder() {
    std::error_code error;
    path_ = (std::filesystem::temp_directory_path(error) / "host_probe-XXXXXX").string();
    if (error || !::mkdtemp(path_.data())) path_.clear();
    if (!path_.empty()) std::filesystem::create_directory(Tmp(), error);
  }
  ~RunFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string Tmp() const { return path_ + "/tmp"; }

 private:
  std::string path_;
};

// Runs the probe on `road` with the `options` after its folder (a headroom
// in KB, or a seed and a thread count), under the C library's allocator
// settings `tunables` (null: its defaults), killed after `seconds`.
Ended Probe(const std::string& road, const std::vector<std::string>& options = {},
            const char* tunables = nullptr, int seconds = 60) {
  const RunFolder folder;
  int pipe[2];
  if (folder.Path().empty() || ::pipe(pipe) != 0) return {-1, "no folder for the run"};
  std::vector<const char*> argv = {DRV_HOST_PROBE, road.c_str(), DRV_UI_PATH,
                                   folder.Path().c_str()};
  for (const std::string& option : options)
    argv.push_back(option.c_str());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipe[1], 1), ::dup2(pipe[1], 2), ::close(pipe[0]), ::close(pipe[1]);
    if (tunables) ::setenv("GLIBC_TUNABLES", tunables, 1);
    ::setenv("TMPDIR", folder.Tmp().c_str(), 1);
    ::execv(DRV_HOST_PROBE, const_cast<char* const*>(argv.data()));
    ::_exit(126);
  }
  ::close(pipe[1]);
  Ended ended;
  std::thread reader([&] {
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
      ended.said.append(buffer, std::size_t(got));
  });
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (::waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL), ::waitpid(child, &status, 0);
      ended.said += "\n(hung)";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  reader.join();
  ::close(pipe[0]);
  if (WIFEXITED(status) && ended.said.find("(hung)") == std::string::npos)
    ended.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    ended.said += "\n(signal " + std::to_string(WTERMSIG(status)) + ")";
  // A run that went through leaves nothing in its temporary folder.
  std::error_code error;
  if (ended.status == 0 && !std::filesystem::is_empty(folder.Tmp(), error)) {
    ended.status = -1;
    ended.said += "\n(left in its TMPDIR:";
    for (const auto& entry : std::filesystem::directory_iterator(folder.Tmp(), error))
      ended.said += " " + entry.path().filename().string();
    ended.said += ")";
  }
  return ended;
}

bool Done(const Ended& ended) {
  return ended.status == 0 && ended.said.find("done") != std::string::npos;
}

constexpr const char* kRoads[] = {"sheet", "documents", "one", "shared"};

// The roads with no limit, many times: the device sheet says OK and its
// memory survives every export called after it, beside documents on three
// threads; DevQueryPrintEx refuses no record handed out, for want of memory
// or any other reason; documents sharing one handle never crash.
TEST(HostProbe, WithoutALimitEveryRoadKeepsTheUsersSettings) {
  constexpr int kRuns = 8;
  for (const char* road : kRoads) {
    for (int run = 0; run < kRuns; ++run) {
      const Ended ended = Probe(road);
      ASSERT_TRUE(Done(ended)) << road << " run " << run << ":\n" << ended.said;
    }
  }
}

// Each road under address-space limits from one that refuses the library's
// load to one it runs whole in: every run a success, answered failures or
// the documented end. Under the allocator's defaults each thread's malloc
// tries to map an arena of its own while the limit refuses it (a run takes
// seconds): the three threads' documents are swept so coarsely; every road
// finely with one arena.
TEST(HostProbe, UnderAddressSpaceLimitsEveryCallAnswersOrTheEndIsDocumented) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: limits say nothing";
#endif
  constexpr const char* kOneArena = "glibc.malloc.arena_max=1";
  const struct {
    const char* road;
    const char* tunables;
    std::size_t steps;
  } kSweeps[] = {{"sheet", kOneArena, 32},
                 {"documents", kOneArena, 32},
                 {"one", kOneArena, 32},
                 {"documents", nullptr, 8}};
  for (const auto& [road, tunables, steps] : kSweeps) {
    // A headroom the road runs whole in, found by doubling.
    std::size_t whole = 4 * 1024;
    while (!Done(Probe(road, {std::to_string(whole)}, tunables)) && whole < 4 * 1024 * 1024)
      whole *= 2;
    int documented = 0;
    for (std::size_t step = 1; step < steps; ++step) {
      const std::size_t headroom = whole * step / steps;
      const Ended ended = Probe(road, {std::to_string(headroom)}, tunables);
      EXPECT_TRUE(ended.status == 0 || ended.Documented())
          << road << " headroom " << headroom << " KB" << (tunables ? ", one arena" : "") << ":\n"
          << ended.said;
      documented += ended.Documented();
    }
    // The sweep crossed where the road starts to fail.
    EXPECT_GT(documented, 0) << road << (tunables ? ", one arena" : "");
  }
}

// A count from the environment variable `name`, else `otherwise`.
int Knob(const char* name, int otherwise) {
  const char* wanted = std::getenv(name);
  return wanted && *wanted ? std::atoi(wanted) : otherwise;
}

// Allocations failing at random once the library is attached, beside both
// sheets and three or eight threads of documents and queries (the probe's
// random road, on a printer whose stored default the driver does not
// take): every run ends done or the documented way; a run done read back
// the memory, the tray and tray 2's form the last sheet that said OK
// stored, found its stored default as that sheet left it, and found every
// record handed out printable. Seed 0 fails nothing: its sheets must say
// OK, and it runs several times, as a conversion that stored the default
// it built over the sheets' did so in about one run in a hundred.
// DRV_HOST_PROBE_SEEDS runs seeds 1 to that many for each thread count, and
// DRV_HOST_PROBE_REPEATS seed 0 that many times (a local run can take
// thousands of either); one run again: host_probe random OBJECT FOLDER SEED
// THREADS, TMPDIR in FOLDER.
TEST(HostProbe, RandomFailuresBesideBothSheetsLoseNothingOfTheUsers) {
  const int seeds = Knob("DRV_HOST_PROBE_SEEDS", 16);
  const int repeats = Knob("DRV_HOST_PROBE_REPEATS", 6);
  const struct {
    int threads;
    int first_seed, last_seed;
    int runs;  // of each seed
  } kRows[] = {{3, 1, seeds, 1}, {8, 1, seeds, 1}, {3, 0, 0, repeats}, {8, 0, 0, repeats}};
  for (const auto& [threads, first_seed, last_seed, runs] : kRows) {
    int done = 0, documented = 0;
    for (int seed = first_seed; seed <= last_seed; ++seed) {
      for (int run = 0; run < runs; ++run) {
        const Ended ended = Probe("random", {std::to_string(seed), std::to_string(threads)});
        // The sanitizer's own set-up of a thread, refused memory by the
        // failing allocator, ends the process: no end of the library's.
        if (ended.said.find("AddressSanitizer: CHECK failed") != std::string::npos &&
            ended.said.find("pthread_getattr_np") != std::string::npos)
          continue;
        EXPECT_TRUE(Done(ended) || (seed != 0 && ended.Documented()))
            << "seed " << seed << " run " << run << ", " << threads << " threads:\n"
            << ended.said;
        done += Done(ended);
        documented += ended.Documented();
      }
    }
    std::printf(
        "%d threads, seeds %d-%d %d times each: %d runs done, %d ended for want of memory\n",
        threads, first_seed, last_seed, runs, done, documented);
  }
}

}  // namespace
