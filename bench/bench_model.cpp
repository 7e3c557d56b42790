// The persistent model's sharing and lookups against the standard peers on
// the same work: counted-pointer copies (atomic counts, one thread and
// eight) against std::shared_ptr, and a composite's depth-first find by
// key against a linear search of a vector of shared pointers.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "persist/persistable_integer.h"
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

}  // namespace
