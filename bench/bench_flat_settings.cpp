// The flat settings record against zlib called directly on the same bytes:
// encoding and decoding a device-mode tree (16-bit numbers) and a named-
// object tree (32-bit numbers), each a settings tree of some three hundred
// (and, for decoding, some three thousand) attributes with every node type
// (support/settings_tree.h), beside
// compress2 (zlib's default level) and uncompress of the record those trees
// make. Decoding runs against a template built once (the codec keeps it) that
// expects every child, so each decode also merges nothing; it includes
// freeing the decoded tree. Counters give the record's size and zlib's.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <memory>
#include <string>

#include "config/keys/settings_keys.h"
#include "output/core/load.h"
#include "persist/persistent_stream.h"
#include "services/os_factory.h"
#include "support/fake_driver_data.h"
#include "support/settings_tree.h"

namespace {

// Groups of the settings trees: 12 (313 attributes) and 120 (3,121).
constexpr int kGroups = 12;
constexpr int kManyGroups = 120;

struct Fixture {
  std::unique_ptr<GAttributeComposite> tree;
  FakeDriverData printer;
  GFlatSettingsCodec codec;
  std::string record;
  std::string packed;
};

std::string Deflate(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION);
  out.resize(n);
  return out;
}

// Mode 0: the device mode's tree (document settings, kDocumentSettingsKey);
// mode 1: a named object's (installed options, kInstalledOptionsKey).
Fixture& Get(std::uint16_t mode, int groups = kGroups) {
  static Fixture* fixtures[2][2] = {};
  Fixture*& fixture = fixtures[mode][groups == kGroups ? 0 : 1];
  if (!fixture) {
    OutputCoreLoad();
    auto* f = new Fixture;
    f->tree.reset(support::BuildSettingsTree(
        mode == 0 ? kDocumentSettingsKey : kInstalledOptionsKey, groups));
    support::UseAsDefaults(f->printer, static_cast<GAttributeComposite*>(f->tree->DeepCopy()));
    f->record = support::EncodeFlat(f->tree.get(), mode, 1 << 16).bytes;
    f->packed = Deflate(f->record);
    // Builds the template.
    delete support::DecodeFlat(f->codec, f->record, &f->printer, mode);
    fixture = f;
  }
  return *fixture;
}

void Sizes(benchmark::State& state, const Fixture& f) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.record.size()));
  state.counters["nodes"] = f.tree->NodeCount();
  state.counters["record_bytes"] = static_cast<double>(f.record.size());
  state.counters["zlib_bytes"] = static_cast<double>(f.packed.size());
}

void BM_Encode(benchmark::State& state) {
  const auto mode = static_cast<std::uint16_t>(state.range(0));
  Fixture& f = Get(mode);
  std::string block(1 << 16, '\0');
  for (auto _ : state) {
    GPersistentOutputStream stream(block.data(), block.size(), GOSFactory::kBinaryEncoding);
    GFlatSettingsCodec codec;
    benchmark::DoNotOptimize(codec.Encode(f.tree.get(), stream.VirtualStream(), &stream, mode));
  }
  Sizes(state, f);
}

void BM_Decode(benchmark::State& state) {
  const auto mode = static_cast<std::uint16_t>(state.range(0));
  Fixture& f = Get(mode, static_cast<int>(state.range(1)));
  for (auto _ : state) {
    std::unique_ptr<MPersistentObject> tree(
        support::DecodeFlat(f.codec, f.record, &f.printer, mode));
    benchmark::DoNotOptimize(tree.get());
  }
  Sizes(state, f);
}

void BM_Compress2(benchmark::State& state) {
  Fixture& f = Get(static_cast<std::uint16_t>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(Deflate(f.record));
  Sizes(state, f);
}

void BM_Uncompress(benchmark::State& state) {
  Fixture& f = Get(static_cast<std::uint16_t>(state.range(0)), static_cast<int>(state.range(1)));
  std::string out(f.record.size(), '\0');
  for (auto _ : state) {
    uLongf n = static_cast<uLongf>(out.size());
    uncompress(reinterpret_cast<Bytef*>(out.data()), &n,
               reinterpret_cast<const Bytef*>(f.packed.data()),
               static_cast<uLong>(f.packed.size()));
    benchmark::DoNotOptimize(out.data());
  }
  Sizes(state, f);
}

// Arguments: the numbers mode (0 device mode, 1 named object) and, for
// decoding, the groups.
BENCHMARK(BM_Encode)->Arg(0)->Arg(1);
BENCHMARK(BM_Compress2)->Arg(0)->Arg(1);
BENCHMARK(BM_Decode)->ArgsProduct({{0, 1}, {kGroups, kManyGroups}});
BENCHMARK(BM_Uncompress)->ArgsProduct({{0, 1}, {kGroups, kManyGroups}});

}  // namespace
