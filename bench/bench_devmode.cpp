// The device-mode record's merge of a full record (its public fields
// applied to the model decoded from its private part, then the fields and
// the packed model written back) plus the copy-out of the record, per call,
// beside the work underneath it done directly: the flat settings codec's
// encode and decode of the same model, and zlib's deflate and inflate of
// the same record bytes, once with one state of each kept and reset per
// record (as the compressor does) and once with the one-call compress2 and
// uncompress, which make and free a state per call. The model is P1's
// default settings (the printer fixture's configuration,
// support/fixture_printer.md) stored as the flat record, on P1 installed in
// the stand-in spooler with the system's first nine forms, so that the
// record's paper is one the printer has (without forms every merge refuses
// the paper and writes the record three times).
//
// The merge's "ratio" counter is its processor time over that of the codec
// plus the kept zlib states on the same record, measured in the same run
// right after it for as many rounds.
#include <benchmark/benchmark.h>

#include <zlib.h>
#include "bench/pair_ratios.h"

#include <memory>
#include <tuple>
#include <vector>

#include "config/keys/settings_keys.h"
#include "driver/devmode/dev_mode_settings.h"
#include "driver/driver_context.h"
#include "driver/load.h"
#include "driver/model_lookup.h"
#include "output/core/peripheral_composite.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "platform/host/spooler.h"
#include "support/fixture_printer.h"

namespace {

// One deflate and one inflate state, reset per record.
struct ZlibStreams {
  z_stream deflater{};
  z_stream inflater{};
  ZlibStreams() {
    deflateInit(&deflater, Z_DEFAULT_COMPRESSION);
    inflateInit(&inflater);
  }
  ~ZlibStreams() {
    deflateEnd(&deflater);
    inflateEnd(&inflater);
  }
};

struct Fixture {
  platform::HANDLE printer = nullptr;
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
  // The system's first nine forms (thousandths of a millimetre).
  const std::tuple<const char16_t*, platform::LONG, platform::LONG> forms[] = {
      {u"Letter", 215900, 279400},    {u"Letter Small", 215900, 279400},
      {u"Tabloid", 279400, 431800},   {u"Ledger", 431800, 279400},
      {u"Legal", 215900, 355600},     {u"Statement", 139700, 215900},
      {u"Executive", 184150, 266700}, {u"A3", 297000, 420000},
      {u"A4", 210000, 297000}};
  for (const auto& [name, width, height] : forms)
    platform::AddServerForm(u"", platform::kFormBuiltin, name, width, height);
  platform::AddPrinter(support::kFixturePrinter);
  platform::OpenPrinterW(support::kFixturePrinter, &f->printer, nullptr);
  f->context = std::make_unique<GDriverContext>(f->printer, support::kFixturePrinter,
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

using bench::ThreadSeconds;

void CodecRound(Fixture& f, std::vector<char>& block, GFlatSettingsCodec& codec) {
  GPersistentOutputStream out(block.data(), block.size(), GOSFactory::kBinaryEncoding);
  codec.Encode(f.model.get(), out.VirtualStream(), &out, kFlatShortNumbers);
  GPersistentInputStream in(block.data(), static_cast<std::size_t>(out.Tell()),
                            GOSFactory::kBinaryEncoding);
  std::unique_ptr<MPersistentObject> tree(
      codec.Decode(in.VirtualStream(), &in, f.context.get(), kFlatShortNumbers));
  benchmark::DoNotOptimize(tree.get());
}

void ZlibRound(Fixture& f, ZlibStreams& streams, std::vector<std::uint8_t>& packed,
               std::vector<std::uint8_t>& expanded) {
  z_stream& d = streams.deflater;
  deflateReset(&d);
  d.next_in = reinterpret_cast<Bytef*>(f.flat.data());
  d.avail_in = static_cast<uInt>(f.flat.size());
  d.next_out = packed.data();
  d.avail_out = static_cast<uInt>(packed.size());
  deflate(&d, Z_FINISH);
  z_stream& i = streams.inflater;
  inflateReset(&i);
  i.next_in = f.packed.data();
  i.avail_in = static_cast<uInt>(f.packed.size());
  i.next_out = expanded.data();
  i.avail_out = static_cast<uInt>(expanded.size());
  inflate(&i, Z_FINISH);
  benchmark::DoNotOptimize(expanded.data());
}

void BM_MergeAndCopyOut(benchmark::State& state) {
  Fixture& f = Get();
  std::vector<std::uint8_t> out(kDmRecordSize);
  const double start = ThreadSeconds();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        f.settings->MergeDevMode(reinterpret_cast<const platform::DevModeW*>(f.record.data())));
    f.settings->CopyDevModeTo(reinterpret_cast<platform::DevModeW*>(out.data()));
  }
  const double ours = ThreadSeconds() - start;
  std::vector<char> block(kDmWorkBlock);
  GFlatSettingsCodec codec;
  ZlibStreams streams;
  std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(f.flat.size())));
  std::vector<std::uint8_t> expanded(kDmWorkBlock);
  const double peer_start = ThreadSeconds();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
    CodecRound(f, block, codec);
    ZlibRound(f, streams, packed, expanded);
  }
  state.counters["ratio"] = ours / (ThreadSeconds() - peer_start);
  Sizes(state, f);
}

void BM_CodecEncodeDecode(benchmark::State& state) {
  Fixture& f = Get();
  std::vector<char> block(kDmWorkBlock);
  GFlatSettingsCodec codec;
  for (auto _ : state)
    CodecRound(f, block, codec);
  Sizes(state, f);
}

void BM_ZlibKeptStreams(benchmark::State& state) {
  Fixture& f = Get();
  ZlibStreams streams;
  std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(f.flat.size())));
  std::vector<std::uint8_t> expanded(kDmWorkBlock);
  for (auto _ : state)
    ZlibRound(f, streams, packed, expanded);
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
BENCHMARK(BM_ZlibKeptStreams);
BENCHMARK(BM_ZlibCompressUncompress);

}  // namespace
