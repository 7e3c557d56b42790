// Hash tables and sets of collectables against the standard unordered
// containers on the same keys, and creation through the class factory
// against a plain table of creators.
#include <benchmark/benchmark.h>

#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "foundation/rw/factory.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/slistcollectables.h"

namespace {

// The hash both sides use: Key::Hash and the peer's hasher compute the
// same multiplicative hash, so that both spread the keys alike.
constexpr std::uint32_t HashOf(std::uint32_t v) {
  return v * 2654435761u;
}

// A collectable keyed by an integer, as the model's keyed objects are.
class Key : public RWCollectable {
 public:
  explicit Key(std::uint32_t v = 0) : value_(v) {}
  std::uint32_t Hash() const override { return HashOf(value_); }
  bool IsEqual(const RWCollectable* other) const override {
    return static_cast<const Key*>(other)->value_ == value_;
  }
  std::uint32_t Value() const { return value_; }

 private:
  std::uint32_t value_;
};

struct SameHash {
  std::size_t operator()(std::uint32_t v) const { return HashOf(v); }
};

std::vector<std::unique_ptr<Key>> MakeKeys(std::int64_t n) {
  std::vector<std::unique_ptr<Key>> keys;
  for (std::int64_t i = 0; i < n; ++i)
    keys.push_back(std::make_unique<Key>(static_cast<std::uint32_t>(i)));
  return keys;
}

#define TABLE_SIZES Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond)

// The tables never grow by themselves: a table sized for its members, as a
// caller of these classes sizes it.
template <class Table>
void BM_RWInsert(benchmark::State& state) {
  auto keys = MakeKeys(state.range(0));
  for (auto _ : state) {
    Table table(static_cast<RWSize>(state.range(0)));
    for (auto& k : keys)
      table.Insert(k.get());
    benchmark::DoNotOptimize(table.Count());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_TEMPLATE(BM_RWInsert, RWHashTable)->TABLE_SIZES;
BENCHMARK_TEMPLATE(BM_RWInsert, RWSet)->TABLE_SIZES;

// The peer, once with the standard library's hash of integers (the
// integer itself, which keeps consecutive keys in consecutive buckets) and
// once hashed alike.
template <class Hash>
void BM_StdUnorderedSetInsert(benchmark::State& state) {
  auto keys = MakeKeys(state.range(0));
  for (auto _ : state) {
    std::unordered_set<std::uint32_t, Hash> table;
    table.reserve(static_cast<std::size_t>(state.range(0)));
    for (auto& k : keys)
      table.insert(k->Value());
    benchmark::DoNotOptimize(table.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_TEMPLATE(BM_StdUnorderedSetInsert, std::hash<std::uint32_t>)->TABLE_SIZES;
BENCHMARK_TEMPLATE(BM_StdUnorderedSetInsert, SameHash)->TABLE_SIZES;

void BM_StdUnorderedMapInsert(benchmark::State& state) {
  auto keys = MakeKeys(state.range(0));
  for (auto _ : state) {
    std::unordered_map<std::uint32_t, Key*, SameHash> table;
    table.reserve(static_cast<std::size_t>(state.range(0)));
    for (auto& k : keys)
      table.emplace(k->Value(), k.get());
    benchmark::DoNotOptimize(table.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StdUnorderedMapInsert)->TABLE_SIZES;

void BM_RWSetLookup(benchmark::State& state) {
  auto keys = MakeKeys(state.range(0));
  RWSet set(static_cast<RWSize>(state.range(0)));
  for (auto& k : keys)
    set.Insert(k.get());
  Key probe;
  std::uint32_t i = 0;
  for (auto _ : state) {
    probe = Key(i++ % static_cast<std::uint32_t>(state.range(0)));
    benchmark::DoNotOptimize(set.Find(&probe));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RWSetLookup)->Arg(1000)->Arg(100000);

void BM_StdUnorderedMapLookup(benchmark::State& state) {
  auto keys = MakeKeys(state.range(0));
  std::unordered_map<std::uint32_t, Key*, SameHash> table;
  for (auto& k : keys)
    table.emplace(k->Value(), k.get());
  std::uint32_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.find(i++ % static_cast<std::uint32_t>(state.range(0))));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StdUnorderedMapLookup)->Arg(1000)->Arg(100000);

// Factory creation by id, against the same lookup in a plain map without
// a lock.
void BM_FactoryCreateById(benchmark::State& state) {
  FoundationLoad();
  for (auto _ : state) {
    std::unique_ptr<RWCollectable> object(CreateByClassId(0x802B));
    benchmark::DoNotOptimize(object.get());
  }
  FoundationUnload();
}
BENCHMARK(BM_FactoryCreateById)->Threads(1)->Threads(8);

void BM_PlainCreatorMap(benchmark::State& state) {
  static const std::unordered_map<RWClassID, RWUserCreator> creators = {
      {0x802B, &RWCreate<RWSet>}, {0x8033, &RWCreate<RWSlistCollectables>}};
  for (auto _ : state) {
    std::unique_ptr<RWCollectable> object(creators.at(0x802B)());
    benchmark::DoNotOptimize(object.get());
  }
}
BENCHMARK(BM_PlainCreatorMap)->Threads(1)->Threads(8);

}  // namespace
