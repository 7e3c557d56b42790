// The string classes against the standard library's strings on the same
// work: copies (shared bodies against deep copies), one-character appends
// (growth by 16 against doubling), searching and hashing class names.
#include <benchmark/benchmark.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"

namespace {

// Uniform access to the four string types.
template <class S>
struct Text;

template <>
struct Text<RWCString> {
  using Unit = char;
  static RWCString Make(const std::string& s) {
    return RWCString(s.data(), static_cast<RWSize>(s.size()));
  }
  static std::size_t Find(const RWCString& s, const RWCString& p) { return s.Find(p); }
  static std::size_t Hash(const RWCString& s) { return s.Hash(); }
};

template <>
struct Text<RWWString> {
  using Unit = char16_t;
  static RWWString Make(const std::string& s) {
    return RWWString::FromAscii(Text<RWCString>::Make(s));
  }
  static std::size_t Find(const RWWString& s, const RWWString& p) { return s.Find(p); }
  static std::size_t Hash(const RWWString& s) { return s.Hash(); }
};

template <>
struct Text<std::string> {
  using Unit = char;
  static std::string Make(const std::string& s) { return s; }
  static std::size_t Find(const std::string& s, const std::string& p) { return s.find(p); }
  static std::size_t Hash(const std::string& s) { return std::hash<std::string>{}(s); }
};

template <>
struct Text<std::u16string> {
  using Unit = char16_t;
  static std::u16string Make(const std::string& s) { return std::u16string(s.begin(), s.end()); }
  static std::size_t Find(const std::u16string& s, const std::u16string& p) { return s.find(p); }
  static std::size_t Hash(const std::u16string& s) { return std::hash<std::u16string>{}(s); }
};

const std::vector<std::string>& ClassNames() {
  static const std::vector<std::string> names = {
      "RWCollectable", "GAttributeComposite", "GTray",   "RWCollectableString",
      "GMediaPool",    "MPersistentObject",   "GMedia",  "GEnumerationAttribute",
      "GOutputBin",    "RWOrdered",           "GDevice", "MPersistentComposite"};
  return names;
}

// Copy and assign a string that every thread shares: a reference count
// against a deep copy.
template <class S>
void BM_CopyAssign(benchmark::State& state) {
  static const S source = Text<S>::Make("GAttributeComposite::RestoreFromStream");
  S target;
  for (auto _ : state) {
    S copy(source);
    target = copy;
    benchmark::DoNotOptimize(target);
  }
  state.SetItemsProcessed(state.iterations());
}

// n appends of one character each through operator+=.
template <class S>
void BM_AppendChars(benchmark::State& state) {
  using Unit = typename Text<S>::Unit;
  const std::int64_t n = state.range(0);
  for (auto _ : state) {
    S s;
    for (std::int64_t i = 0; i < n; ++i)
      s += static_cast<Unit>('a' + i % 26);
    benchmark::DoNotOptimize(s);
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// A 64 KiB text of class names, the pattern only at its very end.
template <class S>
void BM_Find64K(benchmark::State& state) {
  std::mt19937 random(42);
  const auto& names = ClassNames();
  std::string text;
  while (text.size() < 64 * 1024 - 64) {
    text += names[random() % names.size()];
    text += ' ';
  }
  text += "GPeripheralComposite";
  const S haystack = Text<S>::Make(text);
  const S pattern = Text<S>::Make("GPeripheralComposite");
  std::size_t at = 0;
  for (auto _ : state) {
    at = Text<S>::Find(haystack, pattern);
    benchmark::DoNotOptimize(at);
  }
  if (at + 20 != text.size()) state.SkipWithError("pattern not found");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// Hashing short class names, as the class factory and the hash tables do.
template <class S>
void BM_HashNames(benchmark::State& state) {
  std::vector<S> names;
  for (const auto& n : ClassNames())
    names.push_back(Text<S>::Make(n));
  for (auto _ : state) {
    std::size_t h = 0;
    for (const auto& n : names)
      h ^= Text<S>::Hash(n);
    benchmark::DoNotOptimize(h);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(names.size()));
}

BENCHMARK_TEMPLATE(BM_CopyAssign, RWCString)->Threads(1)->Threads(8);
BENCHMARK_TEMPLATE(BM_CopyAssign, std::string)->Threads(1)->Threads(8);
BENCHMARK_TEMPLATE(BM_CopyAssign, RWWString)->Threads(1)->Threads(8);
BENCHMARK_TEMPLATE(BM_CopyAssign, std::u16string)->Threads(1)->Threads(8);

#define APPEND_SIZES Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond)
BENCHMARK_TEMPLATE(BM_AppendChars, RWCString)->APPEND_SIZES;
BENCHMARK_TEMPLATE(BM_AppendChars, std::string)->APPEND_SIZES;
BENCHMARK_TEMPLATE(BM_AppendChars, RWWString)->APPEND_SIZES;
BENCHMARK_TEMPLATE(BM_AppendChars, std::u16string)->APPEND_SIZES;

BENCHMARK_TEMPLATE(BM_Find64K, RWCString)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Find64K, std::string)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Find64K, RWWString)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Find64K, std::u16string)->Unit(benchmark::kMicrosecond);

BENCHMARK_TEMPLATE(BM_HashNames, RWCString);
BENCHMARK_TEMPLATE(BM_HashNames, std::string);
BENCHMARK_TEMPLATE(BM_HashNames, RWWString);
BENCHMARK_TEMPLATE(BM_HashNames, std::u16string);

}  // namespace
