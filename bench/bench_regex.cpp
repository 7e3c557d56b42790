// RWRegularExpression against std::regex on the same searches: the
// document-name prefix, a class repeat found late in a longer text, and
// repeats after repeats that never match (".*" k times, then "b", on 28
// "a"s), which backtracking pays for exponentially. std::regex is capped at
// k = 6 (about 0.15 s a search; each further ".*" multiplies it by about
// 4.5: k = 9 takes some 10 s).
#include <benchmark/benchmark.h>

#include <string>
// g++ 12 sees false "maybe uninitialized" paths inside std::regex's own code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>

#include "foundation/rw/cstring.h"
#include "foundation/rw/regex.h"

namespace {

constexpr char kPrefix[] = "Microsoft [A-Z,a-z]+ - ";
constexpr char kName[] = "Microsoft Word - Quarterly report.docx";

std::string LongText() {
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "lorem ipsum dolor sit amet, ";
  return text + "ID=4711;";
}

void BM_Ours_Prefix(benchmark::State& state) {
  RWRegularExpression re(kPrefix);
  RWCString name(kName);
  for (auto _ : state) {
    RWSize length = 0;
    benchmark::DoNotOptimize(re.Index(name, &length, 0));
    benchmark::DoNotOptimize(length);
  }
}
BENCHMARK(BM_Ours_Prefix);

void BM_Std_Prefix(benchmark::State& state) {
  std::regex re(kPrefix);
  std::string name(kName);
  for (auto _ : state) {
    std::smatch m;
    benchmark::DoNotOptimize(std::regex_search(name, m, re));
    benchmark::DoNotOptimize(m.length(0));
  }
}
BENCHMARK(BM_Std_Prefix);

void BM_Ours_LateMatch(benchmark::State& state) {
  RWRegularExpression re("ID=[0-9]+;");
  RWCString text(LongText().c_str());
  for (auto _ : state)
    benchmark::DoNotOptimize(re.Index(text));
  state.SetBytesProcessed(state.iterations() * text.Length());
}
BENCHMARK(BM_Ours_LateMatch);

void BM_Std_LateMatch(benchmark::State& state) {
  std::regex re("ID=[0-9]+;");
  std::string text = LongText();
  for (auto _ : state) {
    std::smatch m;
    benchmark::DoNotOptimize(std::regex_search(text, m, re));
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_Std_LateMatch);

std::string Catastrophic(std::int64_t k) {
  std::string pattern;
  for (std::int64_t i = 0; i < k; ++i)
    pattern += ".*";
  return pattern + "b";
}

const std::string kRunOfA(28, 'a');

void BM_Ours_Catastrophic(benchmark::State& state) {
  RWRegularExpression re(Catastrophic(state.range(0)).c_str());
  RWCString text(kRunOfA.c_str());
  for (auto _ : state)
    benchmark::DoNotOptimize(re.Index(text));
}
BENCHMARK(BM_Ours_Catastrophic)->Arg(2)->Arg(4)->Arg(6)->Arg(18);

void BM_Std_Catastrophic(benchmark::State& state) {
  std::regex re(Catastrophic(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(std::regex_search(kRunOfA, re));
}
BENCHMARK(BM_Std_Catastrophic)->Arg(2)->Arg(4)->Arg(6)->Unit(benchmark::kMicrosecond);

void BM_Ours_Compile(benchmark::State& state) {
  for (auto _ : state) {
    RWRegularExpression re(kPrefix);
    benchmark::DoNotOptimize(re.Program());
  }
}
BENCHMARK(BM_Ours_Compile);

void BM_Std_Compile(benchmark::State& state) {
  for (auto _ : state) {
    std::regex re(kPrefix);
    benchmark::DoNotOptimize(re.mark_count());
  }
}
BENCHMARK(BM_Std_Compile);

}  // namespace
