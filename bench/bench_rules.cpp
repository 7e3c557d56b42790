// The 20 constraint rules of the rules builder (a ZDL5 printer: the
// rasterisation rule included) and the N-up rule, dispatched once after
// one change (the scale, kScalePercentKey, from 100 to 90 and back) and once
// forced, over the fixture printer P1 with its default settings grown to about
// 2,500 attributes at depth 6 (unique keys, shuffled); beside the same reads
// answered from a std::unordered_map of the tree's keys built once, the
// bound that an index would give. No box is shown: the settings hold no
// conflict that asks one.
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
#include "config/keys/settings_keys.h"
#include "driver/ui_plugin_records.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "output/core/peripheral_composite.h"
#include "persist/child_iterator.h"
#include "persist/counted_ptr.h"
#include "support/fixture_printer.h"
#include "ui/framework/attribute_view.h"
#include "ui/framework/ui_context.h"
#include "ui/plugin/page_builders.h"

namespace {

// Leaves and composite children per level, under the defaults' root.
constexpr int kLeaves[] = {20, 16, 14, 12, 10, 10};
constexpr int kComposites[] = {4, 3, 2, 2, 2, 0};
// The ids the rules read in one pass, each once (the bound's work).
constexpr std::uint32_t kRead[] = {kPrinterHardDiskKey,
                                   kManualDuplexKey,
                                   kDuplexKey,
                                   kRasterizationKey,
                                   kPaperSourceKey,
                                   kPaperSizeKey,
                                   kMediaTypeKey,
                                   kOtherPagesMediaTypeKey,
                                   kOtherPagesSourceKey,
                                   kDifferentFirstPageKey,
                                   kPagesPerSheetKey,
                                   kScalePercentKey,
                                   kFitToOtherSizeKey,
                                   kTargetPaperSizeKey,
                                   kTray1ModeKey,
                                   kBookletKey,
                                   kTrueTypeAsBitmapKey,
                                   kDuplexUnitKey,
                                   kDeviceUpdateStatusKey,
                                   kOptionalPaperSourcesKey,
                                   kXResolutionKey,
                                   kYResolutionKey,
                                   kSelectedWatermarkKey,
                                   kTextAsBlackKey,
                                   kBackCoverKey,
                                   kBackCoverSourceKey,
                                   kMemoryKey,
                                   kConfigStatusKey,
                                   kBackCoverMediaTypeKey,
                                   kLastPageSourceKey,
                                   kLastPageMediaTypeKey,
                                   kFrontCoverSourceKey,
                                   kFrontCoverMediaTypeKey,
                                   kFrontCoverKey,
                                   kLockListKey,
                                   kPageGroupSelectorKey};

struct Sheet {
  GCountedPtr settings{support::BuildFixtureDefaults()};
  GCountedPtr configuration{support::BuildFixtureConfiguration()};
  GZdl5e language{RWCString("Device"), nullptr, nullptr, kPrinterLanguageDeviceKey, 0, 0, 0};
  GUIData host;
  std::unique_ptr<GUIContext> context;
  std::unordered_map<std::uint32_t, MPersistentObject*> index;

  Sheet() {
    std::vector<std::uint32_t> keys(6000);
    std::iota(keys.begin(), keys.end(), 50000);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(51));
    std::size_t next = 0;
    Grow(*settings.Get(), 0, keys, next);
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    host.configuration = configuration.Get();
    context = std::make_unique<GUIContext>(&host);
    BuildRules(context.get(), &language);
    context->AddListener(MakeNupConflictRule(context.get(), nullptr));
    Index(*settings.Get());
    context->DispatchChanges(1);  // the flags exist from here on
  }
  void Grow(MPersistentObject& node, std::size_t level, const std::vector<std::uint32_t>& keys,
            std::size_t& next) {
    if (level >= std::size(kLeaves)) return;
    for (int i = 0; i < kLeaves[level]; ++i)
      node.AddChild(new GValueAttribute(1, keys[next++]));
    for (int i = 0; i < kComposites[level]; ++i) {
      auto* child = new GAttributeComposite(keys[next++]);
      node.AddChild(child);
      Grow(*child, level + 1, keys, next);
    }
  }
  // First depth-first match per key.
  void Index(MPersistentObject& node) {
    std::unique_ptr<MChildIterator> walk(node.NewChildIterator());
    while (walk && walk->Next()) {
      if (MPersistentObject* child = walk->Current()) {
        index.emplace(child->Key(), child);
        Index(*child);
      }
    }
  }
};

void BM_RulesAfterOneChange(benchmark::State& state) {
  Sheet sheet;
  std::int32_t scale = 90;
  for (auto _ : state) {
    sheet.context->BeginUpdate(nullptr);
    sheet.context->GetSettingsView().SetValue(kScalePercentKey, scale);
    sheet.context->DispatchChanges(0);
    sheet.context->EndUpdate();
    scale = scale == 90 ? 100 : 90;
  }
  state.counters["attributes"] = static_cast<double>(sheet.index.size());
}
BENCHMARK(BM_RulesAfterOneChange)->Unit(benchmark::kMicrosecond);

void BM_RulesForced(benchmark::State& state) {
  Sheet sheet;
  for (auto _ : state)
    sheet.context->DispatchChanges(1);
}
BENCHMARK(BM_RulesForced)->Unit(benchmark::kMicrosecond);

void BM_SameReadsInUnorderedMap(benchmark::State& state) {
  Sheet sheet;
  for (auto _ : state) {
    for (std::uint32_t key : kRead) {
      auto found = sheet.index.find(key);
      auto* value =
          found == sheet.index.end() ? nullptr : dynamic_cast<GValueAttribute*>(found->second);
      benchmark::DoNotOptimize(value ? value->GetValue() : 0);
    }
  }
}
BENCHMARK(BM_SameReadsInUnorderedMap)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunWithRatios(argc, argv,
                              {{"BM_RulesAfterOneChange", "BM_SameReadsInUnorderedMap"},
                               {"BM_RulesForced", "BM_SameReadsInUnorderedMap"}});
}
