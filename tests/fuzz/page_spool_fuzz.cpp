// Fuzz target of a spooled page's read-back (libFuzzer under clang; the
// filters' tests replay its corpus, whose "page" is a sound one): a face-up
// filter holds a one-page document, the input replaces the page's file,
// the document end replays it. The job goes on, or gets the spool failure
// and a job abort; no crash, leak, exit or spool file left may follow.
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

namespace {

std::filesystem::path g_directory;

}  // namespace

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
  TestOSFactory services;
  services.SetPrinterDataString(nullptr, u"TempDirectoryLocation",
                                RWWString::FromMultiByte(g_directory.c_str()));
  TestRenderJobs jobs;
  std::uint32_t cookie = 0;
  TestRenderDriverData& job = jobs.Add(cookie);
  GCountedPtr chain(new GPeripheralComposite);
  chain->AddChild(new GFaceUpFilter);
  chain->AddChild(new GPeripheral);
  auto* device = static_cast<GPeripheral*>(chain.Get());
  for (const GCountedPtr& c : {Command(kGDocumentStartId, {{1229, 1}}, &job),
                               Command(kGPageStartId), Tag(1), Command(kGPageEndId)})
    device->Submit(c);
  for (const auto& file : std::filesystem::recursive_directory_iterator(g_directory)) {
    if (file.path().extension() == ".fpg" && bytes.empty()) std::filesystem::remove(file.path());
    if (file.path().extension() == ".fpg" && !bytes.empty()) WriteAll(file.path().string(), bytes);
  }
  GCountedPtr answer = device->Submit(Command(kGDocumentEndId));
  auto* error = dynamic_cast<GErrorCommand*>(answer.Get());
  const std::uint16_t code = error ? error->GetCode() : 0;
  answer.Reset();
  if (code != 0) device->Submit(Command(kGJobAbortId));
  chain.Reset();
  if (!std::filesystem::is_empty(g_directory)) std::abort();  // a spool file was left
  return code;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size != 0) ReplayHeldPage(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
