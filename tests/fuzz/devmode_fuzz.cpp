// Fuzz target of the device-mode record: the input is a record as an
// application hands it in, allocated with exactly dmSize + dmDriverExtra
// bytes (at least the 72 that say so). It is checked (ValidatePublic with
// and without check-all, the validity, sameness and compatibility tests)
// and merged into a fresh device-mode object of P1's context (the printer
// fixture's configuration, without a spooler, the model stored as the flat
// record). Whatever the record holds,
// nothing may crash, hang, read past it or reach the process-wide error
// handler (the default one is in force), and nothing may leak.
//
// Exercise is also what the damage tests run, there with a printer handle
// as well: the record then becomes the printer's default and a device-mode
// object is built from it.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the device-mode test, which replays the corpus.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "driver/devmode/dev_mode_settings.h"
#include "driver/driver_context.h"
#include "driver/load.h"
#include "driver/model_lookup.h"
#include "lang/joblang_zdl5/load.h"
#include "output/core/peripheral_composite.h"
#include "persist/resource_mapping.h"
#include "platform/host/spooler.h"
#include "support/fixture_printer.h"

namespace devmode_fuzz {

void Exercise(GDevModeSettings& settings, GDriverContextBase& context, const std::uint8_t* data,
              std::size_t size, platform::HANDLE printer) {
  std::uint8_t head[72] = {};  // the input's sizes as the record will hold them
  std::memcpy(head, data, std::min<std::size_t>(size, sizeof head));
  const std::size_t length =
      std::max<std::size_t>(sizeof head, LoadU16(head, kDmSize) + LoadU16(head, kDmDriverExtra));
  std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[length]());
  std::memcpy(bytes.get(), data, std::min(size, length));
  const auto* record = reinterpret_cast<const platform::DevModeW*>(bytes.get());
  std::uint32_t mask = 0;
  settings.ValidatePublic(nullptr, record, 1, mask);
  settings.ValidatePublic(nullptr, record, 0, mask);
  settings.IsValidDevMode(record);
  settings.IsSameDevMode(record);
  settings.IsCompatiblePrivatePart(record);
  settings.MergeDevMode(record);
  if (!printer) return;
  platform::PrinterInfo2W info{};
  info.dev_mode = bytes.get();
  if (platform::SetPrinterW(printer, 2, reinterpret_cast<platform::BYTE*>(&info), 0)) {
    GDevModeSettings accepted(context, printer);
    accepted.IsFromPrinter();
  }
}

}  // namespace devmode_fuzz

namespace {

GDriverContext* FixtureContext() {
  auto* context = new GDriverContext(nullptr, support::kFixturePrinter, support::kFixtureDriver,
                                     support::kFixturePort);
  context->SetConfiguration(support::BuildFixtureConfiguration());
  context->SetPaperSizeMapping(support::BuildFixturePaperSizeMapping());
  context->SetTrayMap(support::BuildFixtureTrayMap());
  context->SetResourceMappings(support::BuildFixtureResourceMappings());
  // The current form is the flat record; the object-graph forms are the
  // older ones.
  SetValueIfPresent(FindComposite(context->GetJobSettings(), 366), 940, 1);
  return context;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DriverLoad();
  JobLanguageLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // One context for every input (the process's), a fresh object per input.
  static std::unique_ptr<GDriverContext> context(FixtureContext());
  GDevModeSettings settings(*context, nullptr);
  devmode_fuzz::Exercise(settings, *context, data, size, nullptr);
  return 0;
}
