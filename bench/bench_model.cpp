// The persistent model's sharing and lookups against the standard peers on
// the same work: counted-pointer copies (atomic counts, one thread and
// eight) against std::shared_ptr, and a composite's depth-first find by
// key against a linear search of a vector of shared pointers; capability
// queries against std::vector<bool>; an association list's FindValue (a
// walk comparing key objects by content) against std::map.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "persist/capabilities.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_association.h"
#include "persist/persistent_composite.h"

namespace {

void BM_CountedPtrCopy(benchmark::State& state) {
  static GCountedPtr shared(new GPersistableULong(1));
  GCountedPtr mine(shared);
  for (auto _ : state) {
    GCountedPtr copy(mine);
    benchmark::DoNotOptimize(copy.Get());
  }
}
BENCHMARK(BM_CountedPtrCopy)->Threads(1)->Threads(8);

void BM_SharedPtrCopy(benchmark::State& state) {
  static auto shared = std::make_shared<GPersistableULong>(1);
  std::shared_ptr<GPersistableULong> mine(shared);
  for (auto _ : state) {
    std::shared_ptr<GPersistableULong> copy(mine);
    benchmark::DoNotOptimize(copy.get());
  }
}
BENCHMARK(BM_SharedPtrCopy)->Threads(1)->Threads(8);

// n leaves with keys 0..n-1; the find asks for the last one.
void BM_CompositeFindByKey(benchmark::State& state) {
  MPersistentComposite composite;
  auto n = static_cast<std::uint32_t>(state.range(0));
  for (std::uint32_t k = 0; k < n; ++k) {
    auto* leaf = new GPersistableULong(k);
    leaf->SetKey(k);
    composite.AddChild(leaf);
  }
  const std::uint32_t last = n - 1;
  for (auto _ : state)
    benchmark::DoNotOptimize(composite.FindByKey(last));
}
BENCHMARK(BM_CompositeFindByKey)->Arg(16)->Arg(1024);

void BM_SharedPtrVectorFind(benchmark::State& state) {
  std::vector<std::shared_ptr<GPersistableULong>> children;
  auto n = static_cast<std::uint32_t>(state.range(0));
  for (std::uint32_t k = 0; k < n; ++k) {
    children.push_back(std::make_shared<GPersistableULong>(k));
    children.back()->SetKey(k);
  }
  const std::uint32_t last = n - 1;
  for (auto _ : state) {
    GPersistableULong* found = nullptr;
    for (const auto& child : children) {
      if (child->Key() == last) {
        found = child.get();
        break;
      }
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_SharedPtrVectorFind)->Arg(16)->Arg(1024);

// 256 capabilities, every third set; the queries walk all of them.
void BM_CapabilitiesHas(benchmark::State& state) {
  GCapabilities set(0, 256);
  for (std::uint32_t i = 0; i < 256; i += 3)
    set.SetCapability(i);
  for (auto _ : state) {
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < 300; ++i)
      count += set.HasCapability(i);
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_CapabilitiesHas);

void BM_VectorBoolTest(benchmark::State& state) {
  std::vector<bool> set(256);
  for (std::uint32_t i = 0; i < 256; i += 3)
    set[i] = true;
  for (auto _ : state) {
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < 300; ++i)
      count += i < set.size() && set[i];
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_VectorBoolTest);

// n associations of boxed numbers; the lookup asks for the last key.
void BM_AssociationListFindValue(benchmark::State& state) {
  MAssociationList list;
  auto n = static_cast<std::uint32_t>(state.range(0));
  for (std::uint32_t k = 0; k < n; ++k)
    list.SetAssociation(
        new MPersistentAssociation(new GPersistableULong(k), new GPersistableULong(k * 2)));
  GPersistableULong last(n - 1);
  for (auto _ : state)
    benchmark::DoNotOptimize(list.FindValue(&last));
}
BENCHMARK(BM_AssociationListFindValue)->Arg(16)->Arg(256);

void BM_MapFind(benchmark::State& state) {
  std::map<std::uint32_t, std::unique_ptr<GPersistableULong>> map;
  auto n = static_cast<std::uint32_t>(state.range(0));
  for (std::uint32_t k = 0; k < n; ++k)
    map.emplace(k, std::make_unique<GPersistableULong>(k * 2));
  for (auto _ : state)
    benchmark::DoNotOptimize(map.find(n - 1)->second.get());
}
BENCHMARK(BM_MapFind)->Arg(16)->Arg(256);

}  // namespace
