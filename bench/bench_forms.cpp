// The context's form walk and form test over the spooler's forms:
// EnumAllForms (every form that fits the custom size range, with its paper
// id) and IsFormAvailable for each position (the range, the id and the
// form-to-tray database), over 300 forms of the stand-in spooler, against
// one plain pass over a std::vector of the same records that computes the
// same answers from precomputed limits: the least any store of the forms
// could cost. The context's side includes copying the form list out of the
// spooler (two calls per walk), as every form operation does. The counter
// x_vector is the ratio of their processor times, the two run one after
// the other in one benchmark.
#include <benchmark/benchmark.h>

#include "bench/pair_ratios.h"

#include <cstdint>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/form_to_tray_links.h"
#include "config/paper/media.h"
#include "config/paper/media_from_custom_size.h"
#include "config/paper/media_pool.h"
#include "driver/driver_context.h"
#include "output/core/peripheral_composite.h"
#include "persist/resource_mapping.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"

namespace {

using bench::ThreadSeconds;

constexpr int kForms = 300;
constexpr int kBuiltIn = 5;  // the first forms, mapped to ids 1 to 5
// The custom size range at 600 dots per inch, in micrometres: media 17385
// (1800 x 3000) and 17384 (5100 x 8400).
constexpr std::int32_t kLow[2] = {76200, 127000}, kHigh[2] = {215900, 355600};

struct Plain {
  std::uint32_t flags;
  std::u16string name;
  std::int32_t cx, cy;
};

std::int32_t Width(int i) {
  return 60000 + 600 * i;  // a quarter or so pass the range's widest
}

struct Printer {
  platform::HANDLE handle = nullptr;
  GDriverContext* data = nullptr;
  GAttributeComposite* defaults = nullptr;
  std::vector<Plain> plain;
  std::vector<std::uint16_t> assigned;  // the database's forms

  Printer() {
    platform::ResetHostServices();
    platform::AddPrinter(u"P1");
    for (int i = 0; i < kForms; ++i) {
      Plain form{i < kBuiltIn ? platform::kFormBuiltin : platform::kFormUser,
                 u"Form " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                     static_cast<char16_t>(u'0' + i / 26),
                 Width(i), 297000};
      platform::AddServerForm(u"", form.flags, form.name, form.cx, form.cy);
      plain.push_back(form);
    }
    const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
    platform::OpenPrinterW(u"P1", &handle, &all);
    data = new GDriverContext(handle, u"P1", u"KV Test", u"USB001");

    auto* media = new GMediaPool(kMediaListKey);
    media->AddChild(new GMedia("Min", {1800, 3000}, {1800, 3000}, {0, 0}, 0, kSmallestCustomSizeId,
                               600, 600, kModelMediumKey, 0, "", ""));
    media->AddChild(new GMedia("Max", {5100, 8400}, {5100, 8400}, {0, 0}, 0, kLargestCustomSizeId,
                               600, 600, kModelMediumKey, 0, "", ""));
    // Default settings: the resolution, the orientation and a database that
    // links a tray to every seventh form.
    auto* database = new GFormToTrayDatabase(kFormToTrayKey);
    for (int i = kBuiltIn; i < kForms; i += 7) {
      const auto id = static_cast<std::uint16_t>(16384 + i);
      GFormToTrayLinks(*database).SetAssociationWithName(static_cast<std::uint16_t>(i), id, 11913,
                                                         "");
      assigned.push_back(id);
    }
    auto* options = new GAttributeComposite(kInstalledOptionsKey);
    options->AddChild(database);
    auto* resolution = new GAttributeComposite(kResolutionKey);
    resolution->AddChild(new GValueAttribute(600, kXResolutionKey));
    resolution->AddChild(new GValueAttribute(600, kYResolutionKey));
    auto* built = new GAttributeComposite(kDefaultSettingsKey);
    built->AddChild(resolution);
    built->AddChild(new GValueAttribute(0, kOrientationKey));
    built->AddChild(options);
    auto* job = new GAttributeComposite(kDeviceSettingsKey);
    job->AddChild(media);
    job->AddChild(built);
    auto* printer_object =
        new GPeripheralComposite(RWCString(), nullptr, job, kPrinterObjectKey, 0, 0, 0);
    auto* configuration = new GPeripheralComposite(kDriverConfigurationKey);
    configuration->AddChild(printer_object);
    data->SetConfiguration(configuration);
    auto* mapping = new GResourceMappingList(kPaperSizeMappingKey);
    for (int i = 0; i < kBuiltIn; ++i)
      mapping->AddMapping(new GResourceMapping(0, static_cast<std::uint16_t>(i + 1),
                                               static_cast<std::int16_t>(i + 1), 0));
    data->SetPaperSizeMapping(mapping);
    defaults = data->EnsureDefaultSettings();
  }
  ~Printer() {
    delete data;
    platform::ClosePrinter(handle);
    platform::ResetHostServices();
  }
};

int Sum(std::uint32_t, std::uint16_t id, const RWWString&, void* sum) {
  *static_cast<std::uint64_t*>(sum) += id;
  return 1;
}

// The plain pass: the answers of the walk and of the availability tests
// from the vector.
void VectorScan(const Printer& printer) {
  std::uint64_t sum = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < printer.plain.size(); ++i) {
      const Plain& form = printer.plain[i];
      if (form.cx < kLow[0] || form.cx > kHigh[0] || form.cy < kLow[1] || form.cy > kHigh[1])
        continue;
      const auto id =
          static_cast<std::uint16_t>(form.flags == platform::kFormBuiltin ? i + 1 : 16384 + i);
      if (pass == 0) {
        Sum(0, id, RWWString(), &sum);
        continue;
      }
      for (std::uint16_t linked : printer.assigned) {
        if (linked == id) {
          ++sum;
          break;
        }
      }
    }
  }
  benchmark::DoNotOptimize(sum);
}

void BM_EnumAllFormsAndAvailability(benchmark::State& state) {
  Printer printer;
  const auto start = ThreadSeconds();
  for (auto _ : state) {
    std::uint64_t sum = 0;
    printer.data->EnumAllForms(&Sum, &sum, 1, printer.defaults);
    GFormList forms = printer.data->EnumForms();
    for (std::uint32_t i = 0; i < forms.Count(); ++i)
      sum += printer.data->IsFormAvailable(forms, i, 600, 600, 0, 1);
    benchmark::DoNotOptimize(sum);
  }
  // The vector scan as many times, right after: the ratio of the two.
  const auto middle = ThreadSeconds();
  for (benchmark::IterationCount i = 0; i < state.iterations(); ++i)
    VectorScan(printer);
  const auto end = ThreadSeconds();
  state.counters["x_vector"] = (middle - start) / (end - middle);
  state.SetItemsProcessed(state.iterations() * kForms);
}
BENCHMARK(BM_EnumAllFormsAndAvailability);

void BM_EnumAllForms(benchmark::State& state) {
  Printer printer;
  for (auto _ : state) {
    std::uint64_t sum = 0;
    printer.data->EnumAllForms(&Sum, &sum, 1, printer.defaults);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_EnumAllForms);
void BM_CopyFormList(benchmark::State& state) {
  Printer printer;
  for (auto _ : state) {
    GFormList forms = printer.data->EnumForms();
    benchmark::DoNotOptimize(forms.Count());
  }
}
BENCHMARK(BM_CopyFormList);

void BM_VectorScanAndAvailability(benchmark::State& state) {
  Printer printer;
  for (auto _ : state)
    VectorScan(printer);
  state.SetItemsProcessed(state.iterations() * kForms);
}
BENCHMARK(BM_VectorScanAndAvailability);

}  // namespace
