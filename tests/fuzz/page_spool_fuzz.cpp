// Fuzz target of a spooled page's read-back (its corpus, "page" a sound one,
// is replayed by the filters' tests): the input replaces a face-up filter's
// held page file before the document end. No crash, leak, exit or file left.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "filters/face_up_filter.h"
#include "filters/load.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "tests/support/filter_harness.h"
#include "tests/support/test_os_factory.h"
#include "tests/support/test_render_services.h"

static std::filesystem::path g_directory;  // the spools' parent

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!g_directory.empty()) return 0;
  FiltersLoad();  // inside the filters' tests, a second load is counted
  std::string pattern = (std::filesystem::temp_directory_path() / "spoolfuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  g_directory = pattern;
  std::atexit([] { std::filesystem::remove_all(g_directory); });
  return 0;
}

// The document end's code when the held page's file is replaced by
// `bytes` (deleted when empty).
std::uint16_t ReplayHeldPage(const std::string& bytes) {
  using namespace testing_support;
  LLVMFuzzerInitialize(nullptr, nullptr);
  std::uint32_t cookie = 0, code = 0;
  TestOSFactory services;
  services.SetPrinterDataString(nullptr, u"TempDirectoryLocation",
                                RWWString::FromMultiByte(g_directory.c_str()));
  TestRenderJobs jobs;
  TestRenderDriverData& job = jobs.Add(cookie);
  GCountedPtr chain(new GPeripheralComposite);
  chain->AddChild(new GFaceUpFilter);  // the composite itself reads the replay
  auto* device = static_cast<GPeripheral*>(chain.Get());
  for (const GCountedPtr& c : {Command(kGDocumentStartId, {{1229, 1}}, &job),
                               Command(kGPageStartId), Tag(1), Command(kGPageEndId)})
    device->Submit(c);
  for (const auto& file : std::filesystem::recursive_directory_iterator(g_directory)) {
    if (file.path().extension() != ".fpg") continue;
    bytes.empty() ? void(std::filesystem::remove(file.path())) : WriteAll(file.path(), bytes);
  }
  if (GCountedPtr end = device->Submit(Command(kGDocumentEndId));
      auto* error = dynamic_cast<GErrorCommand*>(end.Get()))
    code = error->GetCode();
  if (code != 0) device->Submit(Command(kGJobAbortId));
  chain.Reset();
  if (!std::filesystem::is_empty(g_directory)) std::abort();  // a spool file was left
  return static_cast<std::uint16_t>(code);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size != 0) ReplayHeldPage(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
