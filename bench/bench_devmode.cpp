// The device-mode record's merge of a full record (its public fields
// applied to the model decoded from its private part, then the fields and
// the packed model written back) plus the copy-out of the record, per call,
// beside the work underneath it done directly: the flat settings codec's
// encode and decode of the same model, and zlib's compress2 and uncompress
// of the same record bytes. The model is P1's default settings (the
// printer fixture's configuration, support/fixture_printer.md)
// stored as the flat record.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <memory>
#include <vector>

#include "config/keys/settings_keys.h"
#include "driver/devmode/dev_mode_settings.h"
#include "driver/driver_context.h"
#include "driver/load.h"
#include "driver/model_lookup.h"
#include "output/core/peripheral_composite.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "support/fixture_printer.h"

namespace {

struct Fixture {
  std::unique_ptr<GDriverContext> context;
  std::unique_ptr<GDevModeSettings> settings;
  std::unique_ptr<GAttributeComposite> model;
  std::vector<std::uint8_t> record;  // the merged record
  std::vector<char> flat;            // the model's flat record
  std::vector<std::uint8_t> packed;  // and zlib's
};

Fixture& Get() {
  static Fixture* fixture = nullptr;
  if (fixture) return *fixture;
  DriverLoad();
  auto* f = new Fixture;
  f->context = std::make_unique<GDriverContext>(nullptr, support::kFixturePrinter,
                                                support::kFixtureDriver, support::kFixturePort);
  f->context->SetConfiguration(support::BuildFixtureConfiguration());
  f->context->SetPaperSizeMapping(support::BuildFixturePaperSizeMapping());
  f->context->SetTrayMap(support::BuildFixtureTrayMap());
  f->context->SetResourceMappings(support::BuildFixtureResourceMappings());
  SetValueIfPresent(FindComposite(f->context->GetJobSettings(), kKeyLocksKey), kStoredEncodingKey,
                    1);
  f->settings = std::make_unique<GDevModeSettings>(*f->context, nullptr);
  f->model.reset(f->context->BuildDefaultSettings());
  f->settings->SetSettings(f->model.get());
  const auto* bytes = DevModeBytes(f->settings->GetDevMode());
  f->record.assign(bytes, bytes + kDmRecordSize);
  f->flat.resize(kDmWorkBlock);
  GPersistentOutputStream out(f->flat.data(), f->flat.size(), GOSFactory::kBinaryEncoding);
  GFlatSettingsCodec().Encode(f->model.get(), out.VirtualStream(), &out, kFlatShortNumbers);
  f->flat.resize(static_cast<std::size_t>(out.Tell()));
  uLongf n = compressBound(static_cast<uLong>(f->flat.size()));
  f->packed.resize(n);
  compress2(f->packed.data(), &n, reinterpret_cast<const Bytef*>(f->flat.data()),
            static_cast<uLong>(f->flat.size()), Z_DEFAULT_COMPRESSION);
  f->packed.resize(n);
  fixture = f;
  return *f;
}

void Sizes(benchmark::State& state, const Fixture& f) {
  state.counters["flat_bytes"] = static_cast<double>(f.flat.size());
  state.counters["packed_bytes"] = static_cast<double>(LoadU16(f.record.data(), kDmDataLength));
}

void BM_MergeAndCopyOut(benchmark::State& state) {
  Fixture& f = Get();
  std::vector<std::uint8_t> out(kDmRecordSize);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        f.settings->MergeDevMode(reinterpret_cast<const platform::DevModeW*>(f.record.data())));
    f.settings->CopyDevModeTo(reinterpret_cast<platform::DevModeW*>(out.data()));
  }
  Sizes(state, f);
}

void BM_CodecEncodeDecode(benchmark::State& state) {
  Fixture& f = Get();
  std::vector<char> block(kDmWorkBlock);
  GFlatSettingsCodec codec;
  for (auto _ : state) {
    GPersistentOutputStream out(block.data(), block.size(), GOSFactory::kBinaryEncoding);
    codec.Encode(f.model.get(), out.VirtualStream(), &out, kFlatShortNumbers);
    GPersistentInputStream in(block.data(), static_cast<std::size_t>(out.Tell()),
                              GOSFactory::kBinaryEncoding);
    std::unique_ptr<MPersistentObject> tree(
        codec.Decode(in.VirtualStream(), &in, f.context.get(), kFlatShortNumbers));
    benchmark::DoNotOptimize(tree.get());
  }
  Sizes(state, f);
}

void BM_ZlibCompressUncompress(benchmark::State& state) {
  Fixture& f = Get();
  std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(f.flat.size())));
  std::vector<std::uint8_t> expanded(kDmWorkBlock);
  for (auto _ : state) {
    uLongf n = static_cast<uLongf>(packed.size());
    compress2(packed.data(), &n, reinterpret_cast<const Bytef*>(f.flat.data()),
              static_cast<uLong>(f.flat.size()), Z_DEFAULT_COMPRESSION);
    uLongf m = static_cast<uLongf>(expanded.size());
    uncompress(expanded.data(), &m, f.packed.data(), static_cast<uLong>(f.packed.size()));
    benchmark::DoNotOptimize(expanded.data());
  }
  Sizes(state, f);
}

BENCHMARK(BM_MergeAndCopyOut);
BENCHMARK(BM_CodecEncodeDecode);
BENCHMARK(BM_ZlibCompressUncompress);

}  // namespace
