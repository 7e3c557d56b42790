// The main of a benchmark program that compares ours with a peer: runs the
// benchmarks as benchmark_main does, then prints one line per pair with the
// ratio of their processor times (medians when repeated), so that a run
// states its own figures: "ratio ours / peer: 3.9x".
#pragma once

#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// The thread's processor time in seconds: the ratios of a pair run side by
// side are taken from it, which other work on a shared machine disturbs
// less than the wall clock.
inline double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Pairs of benchmark names (as printed, without an aggregate's suffix).
using Pairs = std::vector<std::pair<std::string, std::string>>;

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median)
        seconds_[run.run_name.str()] = run.GetAdjustedCPUTime() / PerSecond(run.time_unit);
    }
  }
  void PrintRatios(const Pairs& pairs) const {
    for (const auto& [ours, peer] : pairs) {
      auto a = seconds_.find(ours);
      auto b = seconds_.find(peer);
      if (a != seconds_.end() && b != seconds_.end() && b->second > 0)
        std::printf("ratio %s / %s: %.1fx\n", ours.c_str(), peer.c_str(), a->second / b->second);
    }
  }

 private:
  static double PerSecond(benchmark::TimeUnit unit) {
    switch (unit) {
      case benchmark::kSecond:
        return 1;
      case benchmark::kMillisecond:
        return 1e3;
      case benchmark::kMicrosecond:
        return 1e6;
      default:
        return 1e9;
    }
  }
  std::map<std::string, double> seconds_;
};

inline int RunWithRatios(int argc, char** argv, const Pairs& pairs) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios(pairs);
  benchmark::Shutdown();
  return 0;
}

}  // namespace bench
