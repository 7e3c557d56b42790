// The driver data's media walk with its custom-size check (EnumMedia over
// the media list of a printer's model: the limit media found, the pool's
// filter, the callback per medium) against a plain walk over a
// std::vector of the same media with the same bounds and callback, the
// least that any store of the media could cost. 300 media of two
// orientations, about a quarter of them outside the limits. The counter
// x_vector is the ratio of their processor times, the two run one after
// the other in one benchmark.
#include <benchmark/benchmark.h>

#include "bench/pair_ratios.h"

#include <cstdint>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "driver/driver_context.h"
#include "output/core/peripheral_composite.h"

namespace {

using bench::ThreadSeconds;

constexpr int kMedia = 300;

struct Plain {
  std::uint16_t id;
  std::uint32_t orientation;
  std::int16_t width, height;
};

GSize16 SizeOf(int i) {
  return {static_cast<std::int16_t>(1000 + 17 * i), static_cast<std::int16_t>(2000 + 23 * i)};
}

// A printer whose job settings hold only the media list.
struct Printer {
  GDriverContext data{nullptr, u"P1", u"KV Test", u"USB001"};
  std::vector<Plain> plain;

  Printer() {
    auto* media = new GMediaPool(kMediaListKey);
    for (int i = 0; i < kMedia; ++i) {
      const GSize16 size = SizeOf(i);
      const std::uint32_t orientation = i % 2 ? 90 : 0;
      const auto id = static_cast<std::uint16_t>(100 + i);
      media->AddChild(new GMedia("M", size, size, {0, 0}, orientation, id, 600, 600,
                                 kModelMediumKey, 0, "", ""));
      plain.push_back({id, orientation, size.width, size.height});
    }
    media->AddChild(new GMedia("Min", {1800, 3000}, {1800, 3000}, {0, 0}, 0, kSmallestCustomSizeId,
                               600, 600, kModelMediumKey, 0, "", ""));
    media->AddChild(new GMedia("Max", {5100, 8400}, {5100, 8400}, {0, 0}, 0, kLargestCustomSizeId,
                               600, 600, kModelMediumKey, 0, "", ""));
    plain.push_back({kSmallestCustomSizeId, 0, 1800, 3000});
    plain.push_back({kLargestCustomSizeId, 0, 5100, 8400});
    auto* job = new GAttributeComposite(kDeviceSettingsKey);
    job->AddChild(media);
    auto* printer_object =
        new GPeripheralComposite(RWCString(), nullptr, job, kPrinterObjectKey, 0, 0, 0);
    auto* configuration = new GPeripheralComposite(kDriverConfigurationKey);
    configuration->AddChild(printer_object);
    data.SetConfiguration(configuration);
  }
};

int Count(std::uint16_t id, void* sum, std::uint32_t& reported) {
  *static_cast<std::uint64_t*>(sum) += id;
  reported = 1;
  return 1;
}

void VectorWalk(const Printer& printer) {
  std::uint64_t sum = 0;
  Plain low{}, high{};
  for (const Plain& m : printer.plain) {
    if (m.orientation != 0) continue;
    if (m.id == kSmallestCustomSizeId) low = m;
    if (m.id == kLargestCustomSizeId) high = m;
  }
  for (const Plain& m : printer.plain) {
    if (m.orientation != 0 || m.width < low.width || m.width > high.width ||
        m.height < low.height || m.height > high.height) {
      continue;
    }
    std::uint32_t reported = 0;
    if (Count(m.id, &sum, reported) != 1) break;
  }
  benchmark::DoNotOptimize(sum);
}

void BM_EnumMediaChecked(benchmark::State& state) {
  Printer printer;
  const auto start = ThreadSeconds();
  for (auto _ : state) {
    std::uint64_t sum = 0;
    std::uint32_t index = 0;
    printer.data.EnumMedia(
        [](GMedia* medium, GResourceMapping*, std::uint32_t, void* buffer, std::uint32_t& out) {
          return Count(medium->GetPaperSizeId(), buffer, out);
        },
        0, 600, 600, 1, &sum, 0, index);
    benchmark::DoNotOptimize(sum);
  }
  // The vector walk as many times, right after: the ratio of the two.
  const auto middle = ThreadSeconds();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i)
    VectorWalk(printer);
  const auto end = ThreadSeconds();
  state.counters["x_vector"] = (middle - start) / (end - middle);
  state.SetItemsProcessed(state.iterations() * kMedia);
}
BENCHMARK(BM_EnumMediaChecked);

void BM_VectorWalkChecked(benchmark::State& state) {
  Printer printer;
  for (auto _ : state)
    VectorWalk(printer);
  state.SetItemsProcessed(state.iterations() * kMedia);
}
BENCHMARK(BM_VectorWalkChecked);

}  // namespace
