// Fuzz target of the font-storage file reader. The first byte picks the
// font source (its value modulo 10) and the work (its value / 10 modulo 3:
// build the font list, enumerate the fonts, or both on one reader); the
// rest is the file. Whatever the file holds, the reader must end without a
// crash, a hang or an error reaching the process-wide handler (the default
// one is in force), every name it hands out must be readable, and a list
// it builds must come back equal through its stored form.
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/fonts/device_font_list.h"
#include "config/fonts/font_sources.h"
#include "config/fonts/msd_font_file.h"
#include "config/load.h"
#include "support/fake_driver_data.h"
#include "tests/config/fonts/font_files.h"
#include "tests/support/graph.h"

namespace {

FakeDriverData g_printer;
GDriverData* const kPrinter = &g_printer;
font_testing::DriverDirectory* g_directory = nullptr;

// Reads every byte it is given, so that an overread shows.
int Touch(const char* display, const char* selection, const std::uint8_t* record, void*) {
  int sum = static_cast<int>(std::strlen(display) + std::strlen(selection));
  for (int i = 0; i < 28; ++i)
    sum += record[i];
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ConfigLoad();
  static font_testing::DriverDirectory directory;
  g_directory = &directory;
  for (std::uint32_t i = 0; i < kFontSourceCount; ++i)
    WriteMsdFileName(kPrinter, i, RWWString(u"fonts.dat"));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  g_directory->Write("fonts.dat", std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  GMsdFontList fonts(data[0] % kFontSourceCount, kPrinter);
  std::uint32_t key = 0;
  if (!fonts.Open(key)) std::abort();
  int work = data[0] / 10 % 3;
  if (work != 1) {
    std::unique_ptr<GDeviceFontList> list(fonts.BuildDeviceFontList());
    if (list) {
      bool ok = false;
      std::unique_ptr<RWCollectable> back(testing_support::RestoreFromStreamBytes(
          testing_support::SaveToStreamBytes(list.get(), testing_support::Encoding::kBinary),
          testing_support::Encoding::kBinary, &ok));
      if (!ok || !back || !back->IsEqual(list.get())) std::abort();
    }
  }
  if (work != 0) fonts.EnumerateFonts(&Touch, nullptr);
  return 0;
}
