// Saving and restoring object graphs in each encoding against cereal's
// binary archive on an equivalent graph (shared pointers for the shared
// members), and the in-memory B-tree against std::map.
#include <benchmark/benchmark.h>

#include <cereal/archives/binary.hpp>
#include <cereal/types/memory.hpp>
#include <cereal/types/vector.hpp>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/btree.h"
#include "foundation/rw/factory.h"
#include "foundation/rw/headeredbinarystream.h"
#include "foundation/rw/portablestream.h"
#include "foundation/rw/registration.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/slistcollectables.h"
#include "foundation/rw/vstream.h"

namespace {

// One object of the graph: an id and a value.
class Node : public RWCollectable {
 public:
  static constexpr RWClassID kId = 0x0F00;
  Node(std::int32_t id = 0, std::int32_t value = 0) : id_(id), value_(value) {}
  RWClassID ClassId() const override { return kId; }
  int CompareTo(const RWCollectable* other) const override {
    auto* o = static_cast<const Node*>(other);
    return id_ < o->id_ ? -1 : (id_ > o->id_ ? 1 : 0);
  }
  RWSize StoredSize() const override { return 8; }
  void SaveToStream(RWVirtualOutputStream& s) const override { s.PutInt(id_).PutInt(value_); }
  void RestoreFromStream(RWVirtualInputStream& s) override { s.GetInt(id_).GetInt(value_); }

 private:
  std::int32_t id_;
  std::int32_t value_;
};

// The peer's equivalent.
struct PeerNode {
  std::int32_t id = 0;
  std::int32_t value = 0;
  template <class Archive>
  void serialize(Archive& ar) {
    ar(id, value);
  }
};

void Register() {
  FoundationLoad();
  AddClassToFactory([]() -> RWCollectable* { return new Node; }, Node::kId, "Node");
}

// A list of n nodes in which every tenth entry refers again to an earlier
// node, so that the save table has back references to resolve.
struct Graph {
  std::vector<std::unique_ptr<Node>> nodes;
  RWSlistCollectables list;
  std::vector<std::shared_ptr<PeerNode>> peer;

  explicit Graph(int n) {
    for (int i = 0; i < n; ++i) {
      if (i % 10 == 9) {
        list.Append(nodes[static_cast<std::size_t>(i / 2)].get());
        peer.push_back(peer[static_cast<std::size_t>(i / 2)]);
        continue;
      }
      nodes.push_back(std::make_unique<Node>(i, i * 3));
      list.Append(nodes.back().get());
      peer.push_back(std::make_shared<PeerNode>(PeerNode{i, i * 3}));
    }
  }
};

template <class Out>
void BM_Save(benchmark::State& state) {
  Register();
  Graph graph(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    Out stream(out);
    graph.list.SaveGraphToStream(stream);
    bytes = out.str().size();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <class Out, class In>
void BM_Restore(benchmark::State& state) {
  Register();
  Graph graph(static_cast<int>(state.range(0)));
  std::ostringstream out;
  {
    Out stream(out);
    graph.list.SaveGraphToStream(stream);
  }
  const std::string data = out.str();
  for (auto _ : state) {
    std::istringstream in(data);
    In stream(in);
    RWCollectable* restored = nullptr;
    ReadCollectablePointerFromStream(stream, restored);
    auto* list = static_cast<RWSlistCollectables*>(restored);
    list->ClearAndDelete();
    delete list;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

#define GRAPH_SIZES Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)
BENCHMARK_TEMPLATE(BM_Save, RWBinaryOutputStream)->GRAPH_SIZES;
BENCHMARK_TEMPLATE(BM_Save, RWHeaderedBinaryOutputStream)->GRAPH_SIZES;
BENCHMARK_TEMPLATE(BM_Save, RWPortableOutputStream)->GRAPH_SIZES;
BENCHMARK_TEMPLATE(BM_Restore, RWBinaryOutputStream, RWBinaryInputStream)->GRAPH_SIZES;
BENCHMARK_TEMPLATE(BM_Restore, RWHeaderedBinaryOutputStream, RWHeaderedBinaryInputStream)
    ->GRAPH_SIZES;
BENCHMARK_TEMPLATE(BM_Restore, RWPortableOutputStream, RWPortableInputStream)->GRAPH_SIZES;

void BM_CerealSave(benchmark::State& state) {
  Graph graph(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    {
      cereal::BinaryOutputArchive archive(out);
      archive(graph.peer);
    }
    bytes = out.str().size();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CerealSave)->GRAPH_SIZES;

void BM_CerealRestore(benchmark::State& state) {
  Graph graph(static_cast<int>(state.range(0)));
  std::ostringstream out;
  {
    cereal::BinaryOutputArchive archive(out);
    archive(graph.peer);
  }
  const std::string data = out.str();
  for (auto _ : state) {
    std::istringstream in(data);
    cereal::BinaryInputArchive archive(in);
    std::vector<std::shared_ptr<PeerNode>> restored;
    archive(restored);
    benchmark::DoNotOptimize(restored.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CerealRestore)->GRAPH_SIZES;

// 100,000 keys inserted in random order, then each found once.
void BM_RWBTree(benchmark::State& state) {
  std::vector<std::unique_ptr<Node>> nodes;
  for (int i = 0; i < 100000; ++i)
    nodes.push_back(std::make_unique<Node>(i));
  std::shuffle(nodes.begin(), nodes.end(), std::mt19937(7));
  for (auto _ : state) {
    RWBTree tree;
    for (auto& n : nodes)
      tree.Insert(n.get());
    for (auto& n : nodes)
      benchmark::DoNotOptimize(tree.Find(n.get()));
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_RWBTree)->Unit(benchmark::kMillisecond);

void BM_StdMap(benchmark::State& state) {
  std::vector<int> keys(100000);
  for (int i = 0; i < 100000; ++i)
    keys[static_cast<std::size_t>(i)] = i;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
  for (auto _ : state) {
    std::map<int, int> map;
    for (int k : keys)
      map.emplace(k, k);
    for (int k : keys)
      benchmark::DoNotOptimize(map.find(k));
  }
  state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_StdMap)->Unit(benchmark::kMillisecond);

}  // namespace
