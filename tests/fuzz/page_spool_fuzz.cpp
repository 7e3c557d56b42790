// Fuzz target of the page spool's read-back (its corpus is replayed by the
// filters' tests): a document goes through the last-page, copy-page,
// reverse and face-up filters, in the chain's order, of a job with the font
// handling's own database; before the document end the files of the filter
// that holds the pages are damaged as the input says. The job must end
// with the spool failure (and the job abort after it) and bring out no
// page that was not in the document, or bring out what the same document
// brings out undamaged; and no spool file may be left while the filters
// live.
//
// Input: byte 0 the filters that take the document (bit 0 last page, 1
// copy page, 2 reverse, 3 face up; none: face up), byte 1 the pages (1 +
// its value % 4), then steps of four bytes a, b, c, d: a's bit 0 the file
// (0 a page store, 1 a font file), b its index among those by name, a / 2
// % 3 what is done (deleted; cut to the position; the byte at the position
// XORed with a | 1), c + 256 d the position (modulo the file's size).
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "filters/copy_page_filter.h"
#include "filters/face_up_filter.h"
#include "filters/last_page_filter.h"
#include "filters/load.h"
#include "filters/reverse_filter.h"
#include "fonts/font_database.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "persist/configuration.h"
#include "persist/persistent_association.h"
#include "persist/selection_string.h"
#include "services/driver_server.h"
#include "support/test_os_factory.h"
#include "support/test_render_services.h"
#include "tests/support/filter_harness.h"

using namespace testing_support;

namespace {

std::filesystem::path g_parent;  // the spools' parent

// The printer's configuration set: the job settings, and beside them the
// copy-page filter's quality list {1: "LOW"}.
GConfiguration* QualitySet(GAttributeComposite* settings) {
  auto* list = new MAssociationList(906u);
  list->AddChild(
      new MPersistentAssociation(new GValueAttribute(1, 0u), new GSelectionString("LOW", 1)));
  auto* set = new GConfiguration(198u);
  set->AddChild(settings);
  set->AddChild(list);
  return set;
}

// The job: its settings above, and the font handling's own database.
struct SpoolJob final : TestRenderJob, GRenderDriverData {
  GRenderDriverData* AsRenderDriverData() override { return this; }
  GAttributeComposite* GetJobSettings() override { return settings; }
  MPersistentObject* GetConfigurationSet() override { return set.Get(); }
  GFontDatabase* GetFontDatabase() override { return &fonts; }
  std::uint32_t GetJobCookie() override { return cookie; }
  GDriverData* GetDriverData() override { return this; }
  GAttributeComposite* settings = new GAttributeComposite(198u);
  GCountedPtr set{QualitySet(settings)};
  GJobFontDatabase fonts{this};
  std::uint32_t cookie = 0;
};

// Step `step` (above) on the spool's files.
void Damage(const std::uint8_t* step) {
  std::vector<std::filesystem::path> files;
  for (const auto& file : std::filesystem::recursive_directory_iterator(g_parent)) {
    const std::string extension = file.path().extension().string();  // ".?pg" or ".?ft"
    if (extension.size() == 4 && extension.compare(2, 2, step[0] & 1 ? "ft" : "pg") == 0)
      files.push_back(file.path());
  }
  if (files.empty()) return;
  std::sort(files.begin(), files.end());
  const std::filesystem::path& path = files[step[1] % files.size()];
  std::string bytes = ReadAll(path);
  const std::size_t at = (step[2] | step[3] << 8) % std::max<std::size_t>(bytes.size(), 1);
  if (step[0] / 2 % 3 == 0) return void(std::filesystem::remove(path));
  if (step[0] / 2 % 3 == 1) {
    bytes.resize(at);
  } else if (!bytes.empty()) {
    bytes[at] ^= static_cast<char>(step[0] | 1);
  }
  WriteAll(path, bytes);
}

// The document through the filters as the job driver takes it (a job abort
// after an error), the steps done before its end: the first error's code
// and what came out. Aborts when a spool file outlives the job.
std::pair<std::uint16_t, std::vector<std::string>> RunJob(std::uint8_t filters, int pages,
                                                          const std::uint8_t* steps,
                                                          std::size_t count) {
  GDriverServer::Create();
  auto* job = new SpoolJob;  // the server's once entered
  job->cookie = GDriverServer::Instance()->EnterRenderData(job);
  TestOSFactory services;
  services.SetPrinterDataString(job, u"TempDirectoryLocation",
                                RWWString::FromMultiByte(g_parent.c_str()));
  auto* recorder = new GRecordingDevice;
  GCountedPtr chain(new GPeripheralComposite);
  for (GPeripheral* device :
       std::initializer_list<GPeripheral*>{new GLastPageFilter, new GCopyPageFilter,
                                           new GReverseFilter, new GFaceUpFilter, recorder})
    chain->AddChild(device);
  std::uint16_t code = 0;
  auto submit = [&](const GCountedPtr& command) {
    auto* device = static_cast<GPeripheral*>(chain.Get());
    GCountedPtr answer = device->Submit(command);
    if (auto* error = dynamic_cast<GErrorCommand*>(answer.Get()); error && !code)
      code = error->GetCode(), device->Submit(Command(kGJobAbortId));
  };
  // What each filter takes a document on: last page, copy page, reverse, face up.
  const std::vector<std::pair<std::uint32_t, std::uint16_t>> settings[] = {
      {{263, 1}, {1212, 5}}, {{907, 1}, {291, 2}, {247, 1}}, {{710, 1}}, {{1229, 1}}};
  GCountedPtr start = Command(kGDocumentStartId, {}, job);
  GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
  for (int bit = 0; bit < 4; ++bit)
    for (const auto& [key, value] : settings[bit])
      if (filters >> bit & 1) set->AddChild(new GValueAttribute(value, key));
  set->AddChild(new GStringAttribute("Bond", 1213));
  set->AddChild(new GStringAttribute("Plain", 262));
  submit(start);
  for (std::int16_t n = 1; n <= pages; ++n)
    for (const GCountedPtr& c : {Command(kGPageStartId, {{265, n}}), Tag(n), Command(710)})
      submit(c);
  for (std::size_t i = 0; i < count; ++i)
    Damage(steps + 4 * i);
  submit(Command(kGDocumentEndId));
  if (!std::filesystem::is_empty(g_parent)) std::abort();  // while the filters live
  std::vector<std::string> out = Summary(*recorder);
  chain.Reset();
  GDriverServer::Instance()->ReleaseRenderData(job->cookie);
  GDriverServer::Instance()->DeleteParked();
  return {code, out};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!g_parent.empty()) return 0;
  FiltersLoad();  // inside the filters' tests, a second load is counted
  std::string pattern = (std::filesystem::temp_directory_path() / "spoolfuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  g_parent = pattern;
  std::atexit([] { std::filesystem::remove_all(g_parent); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  LLVMFuzzerInitialize(nullptr, nullptr);
  const std::uint8_t filters = (data[0] & 15) ? data[0] & 15 : 8;
  const auto [code, sound] = RunJob(filters, 1 + data[1] % 4, nullptr, 0);
  const auto [damaged_code, damaged] =
      RunJob(filters, 1 + data[1] % 4, data + 2, std::min<std::size_t>((size - 2) / 4, 8));
  // Undamaged, or the spool failure with no page but the document's.
  if (code != 0 || (damaged_code == 0 && damaged != sound)) std::abort();
  if (damaged_code != 0 && (damaged_code != kSpoolFailure || damaged.back() != "JA")) std::abort();
  for (const std::string& token : damaged)
    if (token != "JA" && std::find(sound.begin(), sound.end(), token) == sound.end()) std::abort();
  return 0;
}
