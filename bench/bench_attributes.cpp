// A settings lookup from the root of a realistic settings tree: the
// attribute composite's depth-first FindByKey against a flat
// std::unordered_map from key to attribute, the upper bound that an index
// would give. The tree holds 2,865 attributes (490 composites, leaves of the
// four value kinds) six levels deep, with unique keys in shuffled order.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <numeric>
#include <random>
#include <unordered_map>
#include <vector>

#include "bench/pair_ratios.h"
#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"

namespace {

// Per level below the root: leaves and composite children of each composite.
struct Level {
  int leaves;
  int composites;
};
constexpr Level kLevels[] = {{15, 10}, {8, 3}, {10, 3}, {8, 2}, {4, 1}, {3, 0}};

struct Settings {
  std::unique_ptr<GAttributeComposite> root;
  std::vector<std::uint32_t> depth_first;  // every key, in the order a find walks
  std::unordered_map<std::uint32_t, MPersistentObject*> index;

  Settings() {
    std::vector<std::uint32_t> keys(4000);
    std::iota(keys.begin(), keys.end(), 100);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(1234));
    std::size_t next = 0;
    auto take = [&] { return keys[next++]; };
    root = std::make_unique<GAttributeComposite>(take());
    Fill(*root, 0, take);
    Walk(*root);
  }

  template <class Take>
  void Fill(GAttributeComposite& node, std::size_t level, Take& take) {
    if (level >= std::size(kLevels)) return;
    for (int i = 0; i < kLevels[level].leaves; ++i) {
      std::uint32_t key = take();
      switch (key % 4) {
        case 0:
          node.AddChild(new GValueAttribute(1, key));
          break;
        case 1:
          node.AddChild(new GStringAttribute("Letter", key));
          break;
        case 2:
          node.AddChild(new GRangeAttribute(1, 999, 1, 1, key));
          break;
        default:
          node.AddChild(new GValue32Attribute(600, key));
          break;
      }
    }
    for (int i = 0; i < kLevels[level].composites; ++i) {
      std::uint32_t key = take();
      auto* child = new GAttributeComposite(key);
      node.AddChild(child);
      Fill(*child, level + 1, take);
    }
  }

  void Walk(GAttributeComposite& node) {
    for (RWSize i = 0; i < node.Children().Count(); ++i) {
      MPersistentObject* child = node.Children()[i].Get();
      depth_first.push_back(child->Key());
      index.emplace(child->Key(), child);
      if (auto* composite = dynamic_cast<GAttributeComposite*>(child)) Walk(*composite);
    }
  }
};

Settings& TheSettings() {
  static Settings settings;
  return settings;
}

// The key at a share (per mille) of the depth-first order; 1000 is a key
// that the tree does not hold.
std::uint32_t KeyAt(int per_mille) {
  const Settings& s = TheSettings();
  if (per_mille >= 1000) return 1;
  return s.depth_first[s.depth_first.size() * static_cast<std::size_t>(per_mille) / 1000];
}

void BM_FindByKey(benchmark::State& state) {
  GAttributeComposite& root = *TheSettings().root;
  const std::uint32_t key = KeyAt(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(root.FindByKey(key));
  state.counters["nodes"] = static_cast<double>(root.NodeCount());
}
BENCHMARK(BM_FindByKey)->Arg(0)->Arg(100)->Arg(500)->Arg(999)->Arg(1000);

void BM_UnorderedMapFind(benchmark::State& state) {
  const auto& index = TheSettings().index;
  const std::uint32_t key = KeyAt(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto it = index.find(key);
    benchmark::DoNotOptimize(it == index.end() ? nullptr : it->second);
  }
}
BENCHMARK(BM_UnorderedMapFind)->Arg(0)->Arg(100)->Arg(500)->Arg(999)->Arg(1000);

// 64 keys drawn at random from the tree per iteration: the average lookup.
std::vector<std::uint32_t> RandomKeys() {
  const Settings& s = TheSettings();
  std::mt19937 rng(99);
  std::vector<std::uint32_t> keys(64);
  for (auto& key : keys)
    key = s.depth_first[rng() % s.depth_first.size()];
  return keys;
}

void BM_FindByKeyRandom64(benchmark::State& state) {
  GAttributeComposite& root = *TheSettings().root;
  const std::vector<std::uint32_t> keys = RandomKeys();
  for (auto _ : state) {
    for (std::uint32_t key : keys)
      benchmark::DoNotOptimize(root.FindByKey(key));
  }
}
BENCHMARK(BM_FindByKeyRandom64);

void BM_UnorderedMapFindRandom64(benchmark::State& state) {
  const auto& index = TheSettings().index;
  const std::vector<std::uint32_t> keys = RandomKeys();
  for (auto _ : state) {
    for (std::uint32_t key : keys)
      benchmark::DoNotOptimize(index.find(key));
  }
}
BENCHMARK(BM_UnorderedMapFindRandom64);

}  // namespace

int main(int argc, char** argv) {
  bench::Pairs pairs;
  for (const char* at : {"0", "100", "500", "999", "1000"})
    pairs.emplace_back(std::string("BM_FindByKey/") + at, std::string("BM_UnorderedMapFind/") + at);
  pairs.emplace_back("BM_FindByKeyRandom64", "BM_UnorderedMapFindRandom64");
  return bench::RunWithRatios(argc, argv, pairs);
}
