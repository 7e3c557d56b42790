// Fuzz target of the device values: the input is what a registry agent
// writes into the printer's data, as records of a name byte (an index into
// the exchange's value names below), a type byte, a length byte and that
// many bytes of data. A scripted agent writes them when asked, and a
// device-value reader runs a whole update of the printer fixture's job
// settings for printer "P1" (installed in the stand-in spooler when it is
// not there yet). Whatever the values hold (types, sizes, counts, masks,
// texts without terminators), nothing may crash, hang, leak or reach the
// process-wide error handler, and the update answers one of its codes.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the device-value test, which replays the corpus.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "driver/device_value_reader.h"
#include "driver/driver_context.h"
#include "driver/load.h"
#include "driver/plm_provider.h"
#include "lang/joblang_zdl5/load.h"
#include "platform/host/spooler.h"
#include "support/fixture_printer.h"
#include "tests/support/scripted_agent.h"

namespace {

constexpr const char16_t* kNames[] = {u"MODEL_NAME",
                                      u"hrMemorySize",
                                      u"PAGE-FRAME-MEMORY-AVAILABLE",
                                      u"HOST-APPLICATION-AVAILABLE-MEMORY",
                                      u"MOPY_MODE",
                                      u"HELD-JOB-ENABLE",
                                      u"NOT-READY-SOURCE-SCANNER",
                                      u"hrDiskStorageMedia1",
                                      u"PHD1-MODEL",
                                      u"PHD1-DEVICE-MEMORY",
                                      u"PHD2-MODEL",
                                      u"PHD2-DEVICE-MEMORY",
                                      u"prtInputMaxCapacity1",
                                      u"prtInputMaxCapacity3",
                                      u"prtOutputName1",
                                      u"MEDIA-NUMBER-OF-TYPE-SUPPORTED",
                                      u"Media-Names-Available",
                                      u"MEDIA1-NAME",
                                      u"MEDIA8-NAME",
                                      u"PHD1-NUMBER-OF-OPTIONS",
                                      u"PHD1-OPTION1-OPTION_MODEL",
                                      u"PHD1-OPTION2-OPTION_MODEL",
                                      u"prtMediaPathType2",
                                      u"prtInputMaxCapacity2"};

// The reader asks its driver data for the printer's name only.
GDriverContext* FixtureContext() {
  return new GDriverContext(nullptr, support::kFixturePrinter, support::kFixtureDriver,
                            support::kFixturePort);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DriverLoad();
  JobLanguageLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::unique_ptr<GDriverContext> context(FixtureContext());
  platform::HANDLE printer = nullptr;
  if (platform::OpenPrinterW(support::kFixturePrinter, &printer, nullptr) == 1)
    platform::ClosePrinter(printer);
  else
    platform::AddPrinter(support::kFixturePrinter);
  testing_support::ScriptedAgent agent(support::kFixturePrinter);
  for (std::size_t at = 0; at + 3 <= size;) {
    const std::size_t length = std::min<std::size_t>(data[at + 2], size - at - 3);
    agent.Set({kNames[data[at] % std::size(kNames)], data[at + 1] % 8u,
               std::vector<platform::BYTE>(data + at + 3, data + at + 3 + length)});
    at += 3 + length;
  }
  GPLMProvider provider;
  std::unique_ptr<GAttributeComposite> model(support::BuildFixtureJobSettings());
  GDeviceValueReader reader(&provider, "KVPLM 1.0", context.get(), u"USB001");
  const std::uint32_t code =
      reader.UpdateConfiguration(model.get(), data && size ? data[0] & 1 : 1);
  if (code != 0 && code != 1 && code != 6 && code != 8 && code != 602) std::abort();
  return 0;
}
