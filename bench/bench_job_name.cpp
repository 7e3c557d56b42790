// The stored job's name (GRenderDriverDataImp::MakeJobName: the time
// stamp, the last part of the document's path, the application prefix
// found by the bounded expression engine, the code-page round trip, the
// 16-character cut and the upper-casing check) against a plain copy of the
// same name's last part upper-cased in a std::string, the least any job
// name costs. The printer's model holds only its default settings.
#include <benchmark/benchmark.h>

#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/render/job_driver_data.h"
#include "driver/render/load.h"
#include "driver/ui_os_factory.h"
#include "output/core/peripheral_composite.h"

namespace {

constexpr char16_t kDocument[] = u"C:\\Docs\\Microsoft Editor - quarterly report.doc";

struct Job {
  GJobDriverData data{nullptr, u"P1", u"KV Test", u"USB001"};

  Job() {
    RenderLoad();
    CreateOSFactory();
    auto* defaults = new GAttributeComposite(kDefaultSettingsKey);
    defaults->AddChild(new GAttributeComposite(kDocumentSettingsKey));
    auto* settings = new GAttributeComposite(kDeviceSettingsKey);
    settings->AddChild(defaults);
    auto* configuration = new GPeripheralComposite(kDriverConfigurationKey);
    configuration->AddChild(
        new GPeripheralComposite(RWCString(), nullptr, settings, kPrinterObjectKey, 0, 0, 0));
    data.SetConfiguration(configuration);
    data.SetDocumentName(kDocument);
  }
};

void BM_MakeJobName(benchmark::State& state) {
  static Job job;
  for (auto _ : state)
    benchmark::DoNotOptimize(job.data.MakeJobName());
}
BENCHMARK(BM_MakeJobName);

void BM_UpperCaseCopy(benchmark::State& state) {
  const std::u16string document = kDocument;
  for (auto _ : state) {
    std::string name;
    for (char16_t c : document.substr(document.rfind(u'-') + 2, 16))
      name += static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + 'A' : c);
    benchmark::DoNotOptimize(name);
  }
}
BENCHMARK(BM_UpperCaseCopy);

}  // namespace
