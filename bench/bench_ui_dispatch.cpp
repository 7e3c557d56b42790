// A forced change dispatch of the settings user interface: 20 inert rules
// (each reads five settings through the context's writable view and
// changes nothing) over a settings tree of 2,078 attributes (1,832 values
// in 246 composites, and the user-interface composite), five levels deep, with unique keys in
// shuffled order; beside the same 100 look-ups in a std::unordered_map from key to attribute, the
// upper bound that an index would give.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <unordered_map>
#include <vector>

#include "bench/pair_ratios.h"
#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/ui_plugin_records.h"
#include "persist/counted_ptr.h"
#include "ui/framework/feature.h"
#include "ui/framework/ui_context.h"

namespace {

constexpr int kRules = 20;
constexpr int kReadsPerRule = 5;
// Leaves and composite children of each composite, per level.
constexpr int kLeaves[] = {20, 14, 12, 8, 6};
constexpr int kComposites[] = {6, 4, 3, 2, 0};

class InertRule : public GListFeature {
 public:
  InertRule(GUIContext* owner, std::vector<std::uint32_t> keys)
      : GListFeature(owner), keys_(std::move(keys)) {}
  void OnChanges(const GValueList&, int) override {
    GAttributeView settings = GetContext()->GetSettingsView();
    for (std::uint32_t key : keys_) {
      std::int32_t value = 0;
      settings.GetValue(key, value);
      benchmark::DoNotOptimize(value);
    }
  }

 private:
  std::vector<std::uint32_t> keys_;
};

struct Tree {
  GCountedPtr root{new GAttributeComposite(1)};
  std::vector<std::uint32_t> leaves;
  std::unordered_map<std::uint32_t, GValueAttribute*> index;
  std::vector<std::uint32_t> keys_;
  std::size_t next_ = 0;

  Tree() {
    keys_.resize(5000);
    std::iota(keys_.begin(), keys_.end(), 100);
    std::shuffle(keys_.begin(), keys_.end(), std::mt19937(40));
    Fill(*root.Get(), 0);
  }
  void Fill(MPersistentObject& node, std::size_t level) {
    if (level >= std::size(kLeaves)) return;
    for (int i = 0; i < kLeaves[level]; ++i) {
      auto* leaf = new GValueAttribute(1, keys_[next_++]);
      node.AddChild(leaf);
      leaves.push_back(leaf->Key());
      index[leaf->Key()] = leaf;
    }
    for (int i = 0; i < kComposites[level]; ++i) {
      auto* child = new GAttributeComposite(keys_[next_++]);
      node.AddChild(child);
      Fill(*child, level + 1);
    }
  }
  // The keys each rule reads, drawn from every depth.
  std::vector<std::vector<std::uint32_t>> Reads() const {
    std::mt19937 random(7);
    std::vector<std::vector<std::uint32_t>> reads(kRules);
    for (auto& keys : reads)
      for (int i = 0; i < kReadsPerRule; ++i)
        keys.push_back(leaves[random() % leaves.size()]);
    return reads;
  }
};

void BM_ForcedDispatch(benchmark::State& state) {
  Tree tree;
  GUIData host;
  host.settings = static_cast<GAttributeComposite*>(tree.root.Get());
  GUIContext context(&host);
  for (const auto& keys : tree.Reads())
    context.AddListener(new InertRule(&context, keys));
  for (auto _ : state)
    context.DispatchChanges(1);
  state.counters["values"] = static_cast<double>(tree.index.size());
}
BENCHMARK(BM_ForcedDispatch);

void BM_SameLookupsInUnorderedMap(benchmark::State& state) {
  Tree tree;
  const auto reads = tree.Reads();
  for (auto _ : state) {
    for (const auto& keys : reads) {
      for (std::uint32_t key : keys) {
        auto found = tree.index.find(key);
        std::int32_t value =
            found == tree.index.end() ? 0 : static_cast<std::int16_t>(found->second->GetValue());
        benchmark::DoNotOptimize(value);
      }
    }
  }
}
BENCHMARK(BM_SameLookupsInUnorderedMap);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunWithRatios(argc, argv, {{"BM_ForcedDispatch", "BM_SameLookupsInUnorderedMap"}});
}
