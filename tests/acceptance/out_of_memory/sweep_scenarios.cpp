#include "tests/acceptance/out_of_memory/sweep_scenarios.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

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
#include "platform/ui/property_sheet.h"
#include "platform/ui/ui_host.h"
#include "services/driver_server.h"
#include "support/acceptance_install.h"
#include "support/acceptance_scenario.h"
#include "support/failing_allocator.h"
#include "support/fixture_printer.h"
#include "support/ui_user.h"

namespace testing_support {
namespace {

using support::Record;
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

std::vector<std::uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the library still holds once a scenario stopped: a context
// checked out, or a lock (the stored state, read on a thread of its own,
// does not come back).
std::string HeldByTheLibrary(const support::AcceptanceInstall& install) {
  if (GDriverServer* server = GDriverServer::Instance(); server && server->ContextCount() != 0)
    return std::to_string(server->ContextCount()) + " contexts checked out";
  auto read = std::make_shared<std::promise<void>>();
  std::future<void> done = read->get_future();
  std::thread([&install, read] {
    support::ReadStoredState(install, install.Printer(), support::kFixturePrinter);
    read->set_value();
  }).detach();
  constexpr auto kPatience = std::chrono::seconds(10);
  return done.wait_for(kPatience) == std::future_status::ready
             ? ""
             : "a lock: the stored state cannot be read on another thread";
}

// The printer sheet's road: 128 typed into the memory field (7091) of the
// Configure page's options dialog (7500, opened by 7049), then OK.
void QueuePrinterSheet() {
  platform::ScriptDialog(7500, [](platform::HWND dialog) {
    support::UiDialog more(dialog);
    more.Type(7091, u"128");
    more.Blur();
    more.Click(platform::kIdOk);
  });
  support::OnSheet([](support::SheetDriver& sheet) {
    if (sheet.activate(1)) sheet.page().Click(7049);
    sheet.ok();
  });
}

class SheetScenario : public support::SweepScenario {
 public:
  std::string SetUp() override {
    platform::ResetHostServices();
    platform::SeedUuids(kSeed);
    if (folder_.path().empty()) return "a folder";
    if (std::string failed = install_.Install(folder_.path() + "/host"); !failed.empty())
      return failed;
    request_ = support::ScenarioRequest(install_, install_.Printer(), support::kFixturePrinter);
    if (request_.empty()) return "the application's record";
    record_.assign(support::kAcceptanceRecordBytes, 0);
    support::QueueScenarioSheet(true, nullptr);
    QueuePrinterSheet();
    return "";
  }

  std::vector<SweepStep> Steps() override {
    using support::DocumentProperties;
    return {
        {"the default record",
         [this] {
           return DocumentProperties(install_, install_.Printer(), support::kFixturePrinter,
                                     &record_, nullptr, platform::kDmModeCopy) == 1;
         }},
        {"the document sheet",
         [this] {
           return DocumentProperties(
                      install_, install_.Printer(), support::kFixturePrinter, &record_, &request_,
                      platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify) ==
                  1;
         }},
        {"the printer sheet",
         [this] {
           auto* call = install_.Entry<decltype(PrinterProperties)>("PrinterProperties");
           return call && call(nullptr, install_.Printer()) == 1;
         }},
    };
  }

  StoredState State() override {
    return support::ReadStoredState(install_, install_.Printer(), support::kFixturePrinter);
  }

  std::string Held() override { return HeldByTheLibrary(install_); }

  void TearDown() override {
    install_.Uninstall();
    platform::ResetHostServices();
  }

 private:
  Folder folder_;
  support::AcceptanceInstall install_;
  Record request_;
  Record record_;
};

// What a host and the spooler call besides the sheets, each through its
// export: the device sheet through the platform's sheet service, the
// capabilities, the conversion to the driver's default, the printability
// of the default record, and a document through the document events (the
// events after a create-DC that answered are sent whatever they answer,
// as the system sends them).
class HostScenario : public support::SweepScenario {
 public:
  std::string SetUp() override {
    platform::ResetHostServices();
    platform::SeedUuids(kSeed);
    if (folder_.path().empty()) return "a folder";
    if (std::string failed = install_.Install(folder_.path() + "/host"); !failed.empty())
      return failed;
    record_.assign(support::kAcceptanceRecordBytes, 0);
    QueuePrinterSheet();
    return "";
  }

  std::vector<SweepStep> Steps() override {
    return {{"the default record",
             [this] {
               return support::DocumentProperties(install_, install_.Printer(),
                                                  support::kFixturePrinter, &record_, nullptr,
                                                  platform::kDmModeCopy) == 1;
             }},
            {"the device sheet", [this] { return DeviceSheet(); }},
            {"the capabilities", [this] { return Capabilities(); }},
            {"the conversion", [this] { return Conversion(); }},
            {"the printability", [this] { return Printable(); }},
            {"the document", [this] { return Document(); }}};
  }

  StoredState State() override {
    return support::ReadStoredState(install_, install_.Printer(), support::kFixturePrinter);
  }

  std::string Held() override { return HeldByTheLibrary(install_); }

  void TearDown() override {
    install_.Uninstall();
    platform::ResetHostServices();
  }

 private:
  template <class Function>
  Function* Export(const char* name) {
    return install_.Entry<Function>(name);
  }

  bool DeviceSheet() {
    platform::DevicePropertyHeader header{kDeviceHeaderSize, 0, install_.Printer(), nullptr};
    platform::ULONG_PTR result = 0;
    return platform::CommonPropertySheetUIW(
               nullptr, Export<decltype(DrvDevicePropertySheets)>("DrvDevicePropertySheets"),
               reinterpret_cast<platform::LPARAM>(&header), &result) == 1 &&
           platform::LONG(result) > 0;
  }

  bool Capabilities() {
    auto* capabilities = Export<decltype(DrvDeviceCapabilities)>("DrvDeviceCapabilities");
    std::vector<platform::WORD> papers(64);
    for (platform::WORD which : {kDcPapers, kDcBins, kDcDuplex}) {
      if (capabilities(install_.Printer(), support::kFixturePrinter, which,
                       which == kDcPapers ? papers.data() : nullptr, nullptr) == kCapabilityFailed)
        return false;
    }
    return true;
  }

  bool Conversion() {
    Record converted(support::kAcceptanceRecordBytes, 0);
    platform::LONG size = platform::LONG(converted.size());
    return Export<decltype(DrvConvertDevMode)>("DrvConvertDevMode")(
               support::kFixturePrinter, nullptr,
               reinterpret_cast<platform::DevModeW*>(converted.data()), &size,
               platform::kCdmDriverDefault) == 1;
  }

  bool Printable() {
    char16_t text[128] = {};
    platform::DevQueryPrintInfo info{24,
                                     1,
                                     install_.Printer(),
                                     reinterpret_cast<platform::DevModeW*>(record_.data()),
                                     text,
                                     sizeof text,
                                     0};
    return Export<decltype(DevQueryPrintEx)>("DevQueryPrintEx")(&info) == 1;
  }

  bool Document() {
    auto* event = Export<decltype(DrvDocumentEvent)>("DrvDocumentEvent");
    platform::HDC dc = nullptr;
    {
      support::UncountedAllocations uncounted;
      dc = platform::CreatePrinterDC({});
    }
    const auto send = [&](int which, std::vector<void*> in, void** out = nullptr) {
      return event(install_.Printer(), dc, which, platform::DWORD(in.size() * sizeof(void*)),
                   in.empty() ? nullptr : in.data(), out ? sizeof(void*) : 0, out);
    };
    void* copy = nullptr;
    bool answered = send(platform::kDocumentEventCreateDcPre,
                         {nullptr, nullptr, record_.data(), nullptr}, &copy) == 1;
    if (answered) {
      platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
      answered = send(platform::kDocumentEventCreateDcPost, {copy}) == 1;
      answered = send(platform::kDocumentEventStartDoc, {&info}) == 1 && answered;
      answered = send(platform::kDocumentEventStartDocPost, {}) != -1 && answered;
      answered = send(platform::kDocumentEventStartPage, {}) == 1 && answered;
      answered = send(platform::kDocumentEventEndPage, {}) == 1 && answered;
      answered = send(platform::kDocumentEventEndDoc, {}) == 1 && answered;
      answered = send(platform::kDocumentEventEndDocPost, {}) != -1 && answered;
      answered = send(platform::kDocumentEventDeleteDc, {}) != -1 && answered;
    }
    support::UncountedAllocations uncounted;
    platform::DeleteDC(dc);
    return answered;
  }

  // The device sheet's header: its size as the system fills it.
  static constexpr platform::WORD kDeviceHeaderSize = 12;

  Folder folder_;
  support::AcceptanceInstall install_;
  Record record_;
};

class JobScenario : public support::SweepScenario {
 public:
  std::string SetUp() override {
    if (folder_.path().empty()) return "a folder";
    out_ = folder_.path() + "/out";
    if (std::string failed = printer_.Start(out_, kSeed); !failed.empty()) return failed;
    record_.assign(support::kAcceptanceRecordBytes, 0);
    font_ = std::make_unique<print_demo::DemoFont>(out_);
    return font_->IsOpen() ? "" : "the font";
  }

  std::vector<SweepStep> Steps() override {
    return {{"the default record", [this] { return DefaultRecord(); }},
            {"the document sheet", [this] { return printer_.ChooseOnSheet(record_); }},
            {"the job's check-out", [this] { return CheckOut(); }},
            {"the document printed", [this] { return Print(); }},
            {"the job given back", [this] {
               GDriverServer::Instance()->ReleaseRenderData(cookie_);
               job_ = nullptr;
               return true;
             }}};
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

  // The demonstration's document: the commands made uncounted, each
  // handed to the job counted.
  bool Print() {
    GAttributeComposite* settings = job_->EnsureDefaultSettings();
    std::vector<GCountedPtr> commands;
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
    for (const GCountedPtr& command : commands) {
      if (job_->Submit(static_cast<GCommand*>(command.Get())) != 0) return false;
    }
    return true;
  }

  static constexpr int kPages = 5;

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

support::ScenarioMaker PrintJob() {
  return [] { return std::make_unique<JobScenario>(); };
}

}  // namespace testing_support
