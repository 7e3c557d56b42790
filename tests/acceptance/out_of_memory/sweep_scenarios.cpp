#include "tests/acceptance/out_of_memory/sweep_scenarios.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/media.h"
#include "driver/device_capabilities.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/render/job_driver_data.h"
#include "examples/page_raster/page_raster_generator.h"
#include "examples/print_demo/demo_job.h"
#include "examples/print_road/canonical_chain.h"
#include "lang/joblang_zdl5/wqm.h"
#include "output/commands/job_commands.h"
#include "platform/host/printer_interface.h"
#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "platform/host/uuid.h"
#include "platform/ui/device_context.h"
#include "platform/ui/ui_host.h"
#include "services/driver_server.h"
#include "support/acceptance_install.h"
#include "support/acceptance_scenario.h"
#include "support/failing_allocator.h"
#include "support/fixture_printer.h"
#include "support/host_calls.h"
#include "support/ui_user.h"

namespace testing_support {
namespace {

using support::Record;
using support::SheetStep;
using support::StoredState;
using support::SweepStep;

// The ids the printer makes come out the same in every child.
constexpr std::uint64_t kSeed = 73;

// A fresh folder under the temporary directory, removed with the object.
class Folder {
 public:
  Folder() {
    std::string made = (std::filesystem::temp_directory_path() / "sweep-XXXXXX").string();
    if (::mkdtemp(made.data())) path_ = made;
  }
  ~Folder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A number and a list of words, little-endian, as one state item.
std::vector<std::uint8_t> Bytes(std::uint32_t number, const std::vector<platform::WORD>& words) {
  std::vector<std::uint8_t> bytes;
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(std::uint8_t(number >> shift));
  for (platform::WORD word : words)
    bytes.insert(bytes.end(), {std::uint8_t(word), std::uint8_t(word >> 8)});
  return bytes;
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// P1 installed and reached through the library's exports alone. Besides
// what P1 stores, its state holds what the next calls answer (the paper
// list asked without a handle, the record kept printable or not) and the
// printer handles open: a call that answered failure changes none of them.
class ExportsScenario : public support::SweepScenario {
 public:
  std::string SetUp() override {
    platform::ResetHostServices();
    platform::SeedUuids(kSeed);
    if (folder_.path().empty()) return "a folder";
    record_.assign(support::kAcceptanceRecordBytes, 0);
    out_ = record_;
    return install_.Install(folder_.path() + "/host", false, false, initialise_);
  }

  StoredState State() override {
    StoredState state =
        support::ReadStoredState(install_, install_.Printer(), support::kFixturePrinter);
    auto* capabilities = install_.Entry<decltype(DrvDeviceCapabilities)>("DrvDeviceCapabilities");
    std::vector<platform::WORD> papers(64);
    const platform::DWORD count =
        capabilities(nullptr, support::kFixturePrinter, kDcPapers, papers.data(), nullptr);
    papers.resize(count <= papers.size() ? count : 0);
    state.items["answer: papers"] = Bytes(count, papers);
    Record kept = record_;
    state.items["answer: printable"] = {
        std::uint8_t(support::QueryPrintable(install_, install_.Printer(), kept))};
    state.items["answer: open handles"] = Bytes(platform::GetSpoolerCounters().open_handles, {});
    if (!memory_shown_.empty())
      state.items[std::string(support::kSeen) + "memory"] = {memory_shown_.begin(),
                                                             memory_shown_.end()};
    return state;
  }

  std::string Held() override { return support::LibraryHolds(install_); }

  bool FailureStoresNothing() override { return true; }

  void TearDown() override {
    install_.Uninstall();
    platform::ResetHostServices();
  }

 protected:
  // The record is kept only when the call handed it out.
  bool DefaultRecord() {
    std::fill(out_.begin(), out_.end(), 0);
    if (support::DocumentProperties(install_, install_.Printer(), support::kFixturePrinter, &out_,
                                    nullptr, platform::kDmModeCopy) != 1)
      return false;
    record_ = out_;  // the same size: nothing allocated
    return true;
  }

  // The printer sheet's road that reads the memory it shows back.
  void QueueReadBack(bool tray, bool ok) {
    support::QueueMemoryReadBack(
        [this](support::UiDialog& more) {
          support::UncountedAllocations uncounted;  // the harness's
          memory_shown_ = more.Text(7091);
        },
        tray, ok);
  }

  bool PrinterProperties() {
    auto* call = install_.Entry<decltype(::PrinterProperties)>("PrinterProperties");
    return call && call(nullptr, install_.Printer()) == 1;
  }

  Folder folder_;
  support::AcceptanceInstall install_;
  bool initialise_ = true;  // the install sends the initialise event
  Record record_;
  Record out_;  // a call's output, made with the scenario: the harness's own
                // allocations are not swept
  std::u16string memory_shown_;
};

class SheetScenario : public ExportsScenario {
 public:
  std::string SetUp() override {
    if (std::string failed = ExportsScenario::SetUp(); !failed.empty()) return failed;
    request_ = support::ScenarioRequest(install_, install_.Printer(), support::kFixturePrinter);
    return request_.empty() ? "the application's record" : "";
  }

  std::vector<SweepStep> Steps() override {
    return {
        {"the default record", [this] { return DefaultRecord(); }},
        SheetStep("the document sheet", &support::QueueDocumentSheet,
                  [this] { return PromptSheet(); }),
        SheetStep("the document sheet through the service", &support::QueueDocumentSheet,
                  [this] { return SheetThroughService(); }),
        SheetStep("the printer sheet", &support::QueueMemorySheet,
                  [this] { return PrinterProperties(); }),
    };
  }

 protected:
  // DrvDocumentProperties with the prompt on the application's record; the
  // record is kept only when the sheet said OK.
  bool PromptSheet() {
    std::fill(out_.begin(), out_.end(), 0);
    if (support::DocumentProperties(
            install_, install_.Printer(), support::kFixturePrinter, &out_, &request_,
            platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify) != 1)
      return false;
    record_ = out_;
    return true;
  }
  // The same sheet as a host shows it through the sheet service.
  bool SheetThroughService() {
    return support::DocumentSheetThroughService(
               install_, install_.Printer(), support::kFixturePrinter, &out_, &request_,
               platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify) ==
           platform::LONG(platform::kCpsuiOk);
  }

  Record request_;
};

// What a host and the spooler call besides the sheets (support/host_calls.h),
// and the calls a spooler makes without a handle: the extension's
// registration, the upgrade, a printer event. The keep-alive's watcher has
// let the library go before, so that the document's create-DC starts a new
// one.
class HostScenario : public ExportsScenario {
 public:
  std::string SetUp() override {
    if (std::string failed = ExportsScenario::SetUp(); !failed.empty()) return failed;
    dc_ = platform::CreatePrinterDC({});  // the host's
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer's own start of a thread (the watcher's) cannot meet a
    // failed allocation: the optimised build sweeps the watcher's start.
    return "";
#else
    return install_.LetKeepAliveGo() ? "" : "the keep-alive's watcher";
#endif
  }

  void TearDown() override {
    platform::DeleteDC(dc_);
    ExportsScenario::TearDown();
  }

  std::vector<SweepStep> Steps() override {
    using namespace support;
    const auto printer = install_.Printer();
    return {
        {"the default record", [this] { return DefaultRecord(); }},
        SheetStep("the device sheet", &support::QueueMemorySheet,
                  [=, this] { return DeviceSheetThroughService(install_, printer); }),
        {"the capabilities",
         [=, this] { return AskCapabilities(install_, printer, kFixturePrinter); }},
        {"the conversion", [this] { return ConvertToDriverDefault(install_, kFixturePrinter); }},
        {"the printability", [=, this] { return QueryPrintable(install_, printer, record_); }},
        {"the document",
         [=, this] { return PrintDocumentEvents(install_, printer, dc_, record_); }},
        {"the registration", [this] { return RegisterNoExtension(install_, "P1"); }},
        {"the upgrade", [this] { return UpgradePrinter(install_, kFixturePrinter); }},
        {"the printer event", [this] { return RefreshPrinterCache(install_, kFixturePrinter); }},
        {"the capabilities without a handle",
         [this] { return AskCapabilities(install_, nullptr, kFixturePrinter); }}};
  }

 private:
  platform::HDC dc_ = nullptr;
};

class JobScenario : public support::SweepScenario {
 public:
  // `only_the_end`: all but the document end done in the set-up.
  explicit JobScenario(bool only_the_end) : only_the_end_(only_the_end) {}

  std::string SetUp() override {
    if (folder_.path().empty()) return "a folder";
    out_ = folder_.path() + "/out";
    if (std::string failed = printer_.Start(out_, kSeed); !failed.empty()) return failed;
    record_.assign(support::kAcceptanceRecordBytes, 0);
    font_ = std::make_unique<print_demo::DemoFont>(out_);
    if (!font_->IsOpen()) return "the font";
    if (only_the_end_ && !(DefaultRecord() && printer_.ChooseOnSheet(record_) && CheckOut() &&
                           MakeCommands() && Submit(commands_.size() - 1)))
      return "the document up to its end";
    return "";
  }

  std::vector<SweepStep> Steps() override {
    const SweepStep given_back = {"the job given back", [this] {
                                    GDriverServer::Instance()->ReleaseRenderData(cookie_);
                                    job_ = nullptr;
                                    return true;
                                  }};
    if (only_the_end_)
      return {{"the document end", [this] { return Submit(commands_.size()); }}, given_back};
    return {{"the default record", [this] { return DefaultRecord(); }},
            {"the document sheet", [this] { return printer_.ChooseOnSheet(record_); }},
            {"the job's check-out", [this] { return CheckOut(); }},
            {"the document printed", [this] { return MakeCommands() && Submit(commands_.size()); }},
            given_back};
  }

  StoredState State() override {
    StoredState state = support::ReadStoredState(printer_.Install(), printer_.Install().Printer(),
                                                 support::kFixturePrinter);
    state.items["port file"] = FileBytes(out_ + "/job.prn");
    const int left = printer_.SpoolFileCount();
    state.items["spool files"] = {std::uint8_t(left)};
    return state;
  }

  std::string AfterFailure(const StoredState& now) override {
    auto left = now.items.find("spool files");
    return left != now.items.end() && left->second != std::vector<std::uint8_t>{0}
               ? "files in the spool directory"
               : "";
  }

  void TearDown() override {
    if (job_) GDriverServer::Instance()->ReleaseRenderData(cookie_);
    font_.reset();
    printer_.Stop();
  }

 private:
  bool DefaultRecord() {
    return support::DocumentProperties(printer_.Install(), printer_.Install().Printer(),
                                       support::kFixturePrinter, &record_, nullptr,
                                       platform::kDmModeCopy) == 1;
  }

  // As the demonstration's check-out, the key made uncounted.
  bool CheckOut() {
    GPrinterKey* key = nullptr;
    {
      support::UncountedAllocations uncounted;
      key = new GPrinterKey(printer_.Install().Printer(), support::kFixturePrinter, 0);
    }
    job_ = CheckOutJobDriverData(key, cookie_);
    if (!job_) return false;
    const std::u16string spool = print_demo::kSpoolFolder;
    if (job_->BindDevMode(reinterpret_cast<const platform::DevModeW*>(record_.data())) != 1 ||
        platform::SetPrinterDataW(printer_.Install().Printer(), u"TempDirectoryLocation",
                                  platform::kRegSz,
                                  reinterpret_cast<const platform::BYTE*>(spool.c_str()),
                                  platform::DWORD(2 * (spool.size() + 1))) != 0) {
      return false;
    }
    if (!job_->RefreshJobParts()) return false;
    job_->CopyMappedValues(job_->EnsureDefaultSettings(), job_->EnsureDefaultSettings());
    return true;
  }

  // The demonstration's document, made uncounted.
  bool MakeCommands() {
    GAttributeComposite* settings = job_->EnsureDefaultSettings();
    std::vector<GCountedPtr>& commands = commands_;
    {
      support::UncountedAllocations uncounted;
      medium_.reset(job_->MakeMedium(ValueOr(settings, kPaperSizeKey, 0)));
      if (!medium_) return false;
      GCountedPtr start = print_demo::MakeDocument(*job_, *medium_, print_demo::kDemoPort);
      if (!start) return false;
      GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
      GCountedPtr chain = BuildCanonicalChain(set, {new GWqm, new GPageRasterGenerator});
      if (!chain) return false;
      job_->SetOutputChain(static_cast<GPeripheral*>(chain.Get()));
      commands.push_back(start);
      for (int n = 1; n <= kPages; ++n)
        for (GCountedPtr& command : print_demo::MakePage(n, *medium_, font_.get(), *job_))
          commands.push_back(command);
      commands.emplace_back(new GDocumentEnd(nullptr, print_demo::kDemoPort, u"print demo", 0u));
    }
    return true;
  }

  // The commands not yet submitted, up to `end`, each handed to the job.
  bool Submit(std::size_t end) {
    for (; submitted_ < end; ++submitted_) {
      if (job_->Submit(static_cast<GCommand*>(commands_[submitted_].Get())) != 0) return false;
    }
    return true;
  }

  static constexpr int kPages = 5;

  const bool only_the_end_;
  std::vector<GCountedPtr> commands_;
  std::size_t submitted_ = 0;
  Folder folder_;
  std::string out_;
  print_demo::DemoPrinter printer_;
  std::unique_ptr<print_demo::DemoFont> font_;
  std::unique_ptr<GMedia> medium_;
  Record record_;
  GJobDriverData* job_ = nullptr;
  std::uint32_t cookie_ = 0;
};

}  // namespace

support::ScenarioMaker SheetSession() {
  return [] { return std::make_unique<SheetScenario>(); };
}

support::ScenarioMaker HostCalls() {
  return [] { return std::make_unique<HostScenario>(); };
}

// The printer's sheet through the platform's sheet service (128 MB on the
// Configure page), then PrinterProperties (the memory read back, Tray 2 on
// the forms page).
class DeviceSheetsScenario : public ExportsScenario {
 public:
  std::vector<SweepStep> Steps() override {
    return {SheetStep("the device sheet", &support::QueueMemorySheet,
                      [this] {
                        return support::DeviceSheetThroughService(install_, install_.Printer());
                      }),
            SheetStep(
                "PrinterProperties", [this](bool ok) { QueueReadBack(true, ok); },
                [this] { return PrinterProperties(); })};
  }
};

support::ScenarioMaker DeviceSheets() {
  return [] { return std::make_unique<DeviceSheetsScenario>(); };
}

// P1 installed without its initialise event (see the header). Until the
// event answered, the state is what the system keeps alone.
class InitialiseScenario : public SheetScenario {
 public:
  explicit InitialiseScenario(bool document_sheet) : document_sheet_(document_sheet) {
    initialise_ = false;
  }

  std::string SetUp() override { return ExportsScenario::SetUp(); }

  StoredState State() override {
    return initialised_ ? ExportsScenario::State()
                        : support::ReadSystemStore(install_.Printer(), support::kFixturePrinter);
  }

  std::vector<SweepStep> Steps() override {
    std::vector<SweepStep> steps = {
        {"the initialise event",
         [this] {
           // The event's allocations alone (its thread's), not the spooler's.
           support::UncountedAllocations spooler;
           initialised_ =
               install_.Initialise(support::kFixturePrinter).empty() && install_.Initialised();
           return initialised_;
         }},
        SheetStep("the prompt sheet", &support::QueueDocumentSheet, [this] {
          {
            support::UncountedAllocations uncounted;  // the application's
            request_ =
                support::ScenarioRequest(install_, install_.Printer(), support::kFixturePrinter);
          }
          return PromptSheet();
        })};
    if (document_sheet_)
      steps.push_back(SheetStep("the document sheet", &support::QueueDocumentSheet,
                                [this] { return SheetThroughService(); }));
    steps.push_back(SheetStep(
        "PrinterProperties", [this](bool ok) { QueueReadBack(false, ok); },
        [this] { return PrinterProperties(); }));
    return steps;
  }

 private:
  const bool document_sheet_;
  bool initialised_ = false;
};

support::ScenarioMaker InitialiseAndPromptSheet(bool document_sheet) {
  return [document_sheet] { return std::make_unique<InitialiseScenario>(document_sheet); };
}

support::ScenarioMaker PrintJob(bool only_the_end) {
  return [only_the_end] { return std::make_unique<JobScenario>(only_the_end); };
}

}  // namespace testing_support
