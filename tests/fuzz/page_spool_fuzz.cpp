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
#include "driver/services/driver_server.h"
#include "filters/copy_page_filter.h"
#include "filters/face_up_filter.h"
#include "filters/last_page_filter.h"
#include "filters/load.h"
#include "filters/reverse_filter.h"
#include "fonts/font_database.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "output/core/result_commands.h"
#include "persist/persistent_association.h"
#include "persist/selection_string.h"
#include "tests/support/filter_harness.h"
#include "tests/support/test_os_factory.h"
#include "tests/support/test_render_services.h"

using namespace testing_support;

namespace {

std::filesystem::path g_parent;  // the spools' parent

// Job settings that answer the copy-page filter's quality list: {1: "LOW"}.
struct QualitySettings final : GAttributeComposite {
  QualitySettings() : GAttributeComposite(0u), list(new MAssociationList(906u)) {
    list->AddChild(
        new MPersistentAssociation(new GValueAttribute(1, 0u), new GSelectionString("LOW", 1)));
  }
  MPersistentObject* FindByKey(const std::uint32_t& key) override {
    return key == 906 ? list.Get() : GAttributeComposite::FindByKey(key);
  }
  GCountedPtr list;
};

struct SpoolRender final : GRenderDriverData {
  GFontDatabase* GetFontDatabase() override { return &fonts; }
  std::uint32_t GetJobCookie() override { return cookie; }
  GDriverData* GetDriverData() override { return data; }
  GJobFontDatabase fonts{this};
  GDriverData* data = nullptr;
  std::uint32_t cookie = 0;
};

struct SpoolJob final : TestRenderJob {
  GRenderDriverData* AsRenderDriverData() override { return &spool; }
  GAttributeComposite* GetJobSettings() override {
    return static_cast<GAttributeComposite*>(settings.Get());
  }
  SpoolRender spool;
  GCountedPtr settings{new QualitySettings};
};

struct Outcome {
  std::uint16_t code = 0;
  std::vector<std::string> tokens;
  bool left = false;  // a spool file outlived the job
};

void Damage(const std::uint8_t* step) {
  std::vector<std::filesystem::path> files;
  for (const auto& file : std::filesystem::recursive_directory_iterator(g_parent)) {
    const std::string extension = file.path().extension().string();
    if (file.is_regular_file() && extension.size() == 4 &&
        extension.substr(2) == (step[0] & 1 ? "ft" : "pg"))
      files.push_back(file.path());
  }
  if (files.empty()) return;
  std::sort(files.begin(), files.end());
  const std::filesystem::path& path = files[step[1] % files.size()];
  std::string bytes = ReadAll(path);
  const std::size_t at = bytes.empty() ? 0 : (step[2] | step[3] << 8) % bytes.size();
  switch (step[0] / 2 % 3) {
    case 0:
      return void(std::filesystem::remove(path));
    case 1:
      bytes.resize(at);
      break;
    default:
      if (!bytes.empty()) bytes[at] ^= static_cast<char>(step[0] | 1);
  }
  WriteAll(path, bytes);
}

Outcome RunJob(std::uint8_t filters, int pages, const std::uint8_t* steps, std::size_t count) {
  Outcome outcome;
  GDriverServer::Create();
  auto* job = new SpoolJob;  // the server's once entered
  TestOSFactory services;
  services.SetPrinterDataString(job, u"TempDirectoryLocation",
                                RWWString::FromMultiByte(g_parent.c_str()));
  const std::uint32_t cookie = GDriverServer::Instance()->EnterRenderData(job);
  job->spool.cookie = cookie, job->spool.data = job;
  auto* recorder = new GRecordingDevice;
  GCountedPtr chain(new GPeripheralComposite);
  for (GPeripheral* filter : std::initializer_list<GPeripheral*>{
           new GLastPageFilter, new GCopyPageFilter, new GReverseFilter, new GFaceUpFilter})
    chain->AddChild(filter);
  chain->AddChild(recorder);
  auto submit = [&](const GCountedPtr& command) {  // as the job driver does
    GCountedPtr answer = static_cast<GPeripheral*>(chain.Get())->Submit(command);
    auto* error = dynamic_cast<GErrorCommand*>(answer.Get());
    if (!error) return;
    outcome.code = outcome.code ? outcome.code : error->GetCode();
    static_cast<GPeripheral*>(chain.Get())->Submit(Command(kGJobAbortId));
  };
  const std::vector<std::pair<std::uint32_t, std::uint16_t>> document[] = {
      {{263, 1}, {1212, 5}}, {{907, 1}, {291, 2}, {247, 1}}, {{710, 1}}, {{1229, 1}}};
  GCountedPtr start = Command(kGDocumentStartId, {}, &job->spool);
  auto* set = static_cast<GCommand*>(start.Get())->GetAttributes();
  for (int bit = 0; bit < 4; ++bit)
    for (const auto& [key, value] : document[bit])
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
  outcome.tokens = Summary(*recorder);
  outcome.left = !std::filesystem::is_empty(g_parent);
  chain.Reset();
  GDriverServer::Instance()->ReleaseRenderData(cookie);
  GDriverServer::Instance()->DeleteParked();
  std::filesystem::remove_all(g_parent);
  std::filesystem::create_directory(g_parent);
  return outcome;
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
  const int pages = 1 + data[1] % 4;
  const std::size_t steps = std::min<std::size_t>((size - 2) / 4, 8);
  const Outcome sound = RunJob(filters, pages, nullptr, 0);
  const Outcome damaged = RunJob(filters, pages, data + 2, steps);
  if (sound.code != 0 || sound.left || damaged.left) std::abort();
  if (damaged.code == 0) {
    if (damaged.tokens != sound.tokens) std::abort();  // a changed page came out
    return 0;
  }
  if (damaged.code != kSpoolFailure || damaged.tokens.back() != "JA") std::abort();
  for (std::size_t i = 0; i + 1 < damaged.tokens.size(); ++i)
    if (std::find(sound.tokens.begin(), sound.tokens.end(), damaged.tokens[i]) ==
        sound.tokens.end())
      std::abort();
  return 0;
}
