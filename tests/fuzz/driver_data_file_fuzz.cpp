// Fuzz target of the driver server's loader of the driver data file: the
// input is the file (an object graph in the binary encoding). It is loaded
// into a real driver data, whose readers then walk what it got: the job
// settings, the cached value, the trays, media and resource names, the
// resolutions and the printer language (the generators' classes are
// loaded, so that their stored parts are read too). Whatever the file holds, nothing
// may crash, hang or reach the process-wide error handler (the default one
// is in force), and every object the load kept is freed with the driver
// data, with leak detection on.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>

#include "driver/driver_context.h"
#include "driver/driver_data_file.h"
#include "driver/load.h"
#include "foundation/rw/rwstore.h"
#include "lang/load.h"
#include "persist/persistent_stream.h"
#include "services/os_factory.h"
#include "tests/support/test_support.h"

namespace {

int Count(void*, std::uint32_t& reported) {
  reported = 1;
  return 1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  DriverLoad();
  GeneratorsLoad();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  GPersistentInputStream stream(data, size, GOSFactory::kBinaryEncoding);
  GDriverContext driver_data(nullptr, u"P1", u"KV Test", u"USB001");
  if (!LoadDriverDataFile(stream, driver_data)) return 0;
  driver_data.GetCachedValue();
  driver_data.GetSupportFilePath();
  driver_data.IsResolutionSupported(600, 600);
  driver_data.PrinterLanguageHasEscape(RWCString("\x1b"));
  std::uint32_t index = 0;
  auto tray = [](GTray*, GResourceMapping*, std::uint32_t, void* buffer, std::uint32_t& out) {
    return Count(buffer, out);
  };
  auto medium = [](GMedia*, GResourceMapping*, std::uint32_t, void* buffer, std::uint32_t& out) {
    return Count(buffer, out);
  };
  auto name = [](GResourceMapping*, const RWWString*, std::uint32_t, void* buffer,
                 std::uint32_t& out) { return Count(buffer, out); };
  int buffer = 0;
  for (int mapped = 0; mapped < 2; ++mapped) {
    driver_data.EnumTrays(tray, &buffer, mapped, index);
    driver_data.EnumMedia(medium, 0, 600, 600, mapped, &buffer, mapped, index);
    driver_data.EnumResourceNames(name, &buffer, mapped, index);
  }
  driver_data.IsMediaSizeInRange(nullptr, 16385);
  driver_data.IsFormUsable(0, 600, 600, 1, 1);
  return 0;
}
