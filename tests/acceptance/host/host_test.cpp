// The library's shared object as a host meets it (probe/host_probe.cpp):
// loaded and driven from threads and sheets in a process of its own, with
// no catch around a call. Every run ends as a success, with failures the
// exports answered, or the documented end of the default error handler
// ("Fatal Error", [NOMEM], status 1): never an abort, an escaped
// exception, a crash, a hang or a setting of the user's lost.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

struct Ended {
  int status = -1;  // the exit status; -1 after a signal or a hang
  std::string said;

  bool Documented() const {
    return status == 1 && said.find("Fatal Error") != std::string::npos &&
           said.find("[NOMEM]") != std::string::npos;
  }
};

// Runs the probe on `road` with `headroom` KB (0: no limit), under the C
// library's allocator settings `tunables` (null: its defaults), killed
// after `seconds`.
Ended Probe(const std::string& road, std::size_t headroom, const char* tunables = nullptr,
            int seconds = 60) {
  int pipe[2];
  if (::pipe(pipe) != 0) return {};
  const std::string limit = std::to_string(headroom);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipe[1], 1), ::dup2(pipe[1], 2), ::close(pipe[0]), ::close(pipe[1]);
    if (tunables) ::setenv("GLIBC_TUNABLES", tunables, 1);
    ::execl(DRV_HOST_PROBE, DRV_HOST_PROBE, road.c_str(), DRV_UI_PATH,
            headroom ? limit.c_str() : nullptr, nullptr);
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
  return ended;
}

bool Done(const Ended& ended) {
  return ended.status == 0 && ended.said.find("done") != std::string::npos;
}

constexpr const char* kRoads[] = {"sheet", "documents", "one", "shared"};

// The roads with no limit, many times: the device sheet's memory survives
// every export called after it, beside documents on three threads; no
// record handed out is called unprintable; documents sharing one handle
// never crash.
TEST(HostProbe, WithoutALimitEveryRoadKeepsTheUsersSettings) {
  constexpr int kRuns = 8;
  for (const char* road : kRoads) {
    for (int run = 0; run < kRuns; ++run) {
      const Ended ended = Probe(road, 0);
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
    while (!Done(Probe(road, whole, tunables)) && whole < 4 * 1024 * 1024)
      whole *= 2;
    int documented = 0;
    for (std::size_t step = 1; step < steps; ++step) {
      const std::size_t headroom = whole * step / steps;
      const Ended ended = Probe(road, headroom, tunables);
      EXPECT_TRUE(ended.status == 0 || ended.Documented())
          << road << " headroom " << headroom << " KB" << (tunables ? ", one arena" : "") << ":\n"
          << ended.said;
      documented += ended.Documented();
    }
    // The sweep crossed where the road starts to fail.
    EXPECT_GT(documented, 0) << road << (tunables ? ", one arena" : "");
  }
}

}  // namespace
