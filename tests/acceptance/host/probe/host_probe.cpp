// host_probe: the library's shared object in a host, as a spooler or an
// application uses it. P1 is installed as the acceptance tests install it;
// then the host's address space is limited (when asked), libdrvui.so is
// loaded through the platform's loader and attached, and one road of calls
// runs, on the main thread and on threads of the host's own. No call has a
// catch around it: the library answers every failure, or ends the process
// the documented way ("Fatal Error", [NOMEM], status 1).
//
//   host_probe ROAD OBJECT [HEADROOM_KB]
//
// ROAD is one of:
//   sheet      the document sheet worked on the main thread while three
//              threads ask capabilities, default records and conversions;
//   documents  the device sheet (memory 128, OK) on the main thread while
//              three threads print documents and ask the other exports
//              (capabilities without a handle, DevQueryPrintEx, the printer
//              event, the upgrade, the document properties and conversion);
//   one        every export in turn on one thread, both sheets among them,
//              the queries after the sheets changing none of the printer's
//              data, and the printer's initialise event last;
//   shared     three documents on one printer handle at once.
// HEADROOM_KB limits the address space to what the set-up left mapped and
// that much more; without it there is no limit.
//
// When the road is done the limit is lifted and what the user owns is
// checked: the memory the device sheet stored (when its OK answered
// success) reads 128 on a new sheet, and every record a call handed out as
// a success is printable (DevQueryPrintEx; a refusal for want of memory
// aside). Exit status: 0 when every call answered and nothing the user
// owns was lost ("done" and how much address space the road took beyond
// the set-up, or the set-up step the library refused); 2 and one line when
// something was lost; 3 when the host itself could not be set up or ran
// out of memory before the library was attached.
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "driver/device_capabilities.h"
#include "driver/entry_points.h"
#include "platform/host/printer_interface.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "platform/ui/device_context.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_host.h"
#include "support/acceptance_install.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "support/ui_user.h"

namespace {

using support::Record;

constexpr int kThreads = 3;
constexpr int kRounds = 4;
constexpr int kFinding = 2;
constexpr int kHostFailed = 3;
// The device sheet's Configure page, its options dialog and memory field.
constexpr std::size_t kConfigurePage = 1;
constexpr int kMoreOptions = 7049;
constexpr int kOptionsDialog = 7500;
constexpr int kMemoryField = 7091;

support::AcceptanceInstall g_install;
std::size_t g_headroom = 0;  // KB; 0: no limit
// Records calls handed out as successes, checked at the end.
std::mutex g_records_lock;
std::vector<Record> g_records;
std::atomic<bool> g_memory_stored{false};
bool g_limited = false;
std::size_t g_set_up_kb = 0;  // mapped when the set-up was done

[[noreturn]] void End(int status, const std::string& line) {
  std::fprintf(stderr, "host_probe: %s\n", line.c_str());
  std::fflush(nullptr);
  std::_Exit(status);
}

// The host's own allocations before the library's handler is installed.
void HostOutOfMemory() {
  End(kHostFailed, "the host ran out of memory");
}

// The address space mapped now ("VmSize"), or at most so far ("VmPeak").
std::size_t MappedKb(const char* which = "VmSize:") {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(which, 0) == 0) return std::strtoull(line.c_str() + 7, nullptr, 10);
  }
  return 0;
}

void SetLimit(rlim_t bytes) {
  rlimit limit{};
  ::getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = bytes < limit.rlim_max ? bytes : limit.rlim_max;
  if (::setrlimit(RLIMIT_AS, &limit) != 0) End(kHostFailed, "the limit cannot be set");
}

void LimitAddressSpace() {
  g_set_up_kb = MappedKb();
  if (g_headroom != 0) SetLimit(rlim_t(g_set_up_kb + g_headroom) * 1024);
  g_limited = true;
}

template <class Function>
Function* Export(const char* name) {
  return g_install.Entry<Function>(name);
}

void Keep(const Record& record) {
  std::lock_guard<std::mutex> lock(g_records_lock);
  g_records.push_back(record);
}

// ---- The calls, each through the export of its name.

Record DefaultRecord() {
  Record record(support::kAcceptanceRecordBytes, 0);
  if (support::DocumentProperties(g_install, g_install.Printer(), support::kFixturePrinter, &record,
                                  nullptr, platform::kDmModeCopy) != 1)
    return {};
  Keep(record);
  return record;
}

void AskCapabilities(platform::HANDLE printer) {
  auto* capabilities = Export<decltype(DrvDeviceCapabilities)>("DrvDeviceCapabilities");
  std::vector<platform::WORD> papers(64);
  capabilities(printer, support::kFixturePrinter, kDcPapers, papers.data(), nullptr);
  capabilities(printer, support::kFixturePrinter, kDcBins, nullptr, nullptr);
  capabilities(printer, support::kFixturePrinter, kDcDuplex, nullptr, nullptr);
}

void Convert() {
  auto* convert = Export<decltype(DrvConvertDevMode)>("DrvConvertDevMode");
  Record record(support::kAcceptanceRecordBytes, 0);
  platform::LONG size = platform::LONG(record.size());
  if (convert(support::kFixturePrinter, nullptr,
              reinterpret_cast<platform::DevModeW*>(record.data()), &size,
              platform::kCdmDriverDefault) == 1)
    Keep(record);
}

// True when `record` prints, or the query ran short of memory.
bool Printable(Record record, std::string& why) {
  auto* query = Export<decltype(DevQueryPrintEx)>("DevQueryPrintEx");
  char16_t text[128] = {};
  platform::DevQueryPrintInfo info{24,
                                   1,
                                   g_install.Printer(),
                                   reinterpret_cast<platform::DevModeW*>(record.data()),
                                   text,
                                   sizeof text,
                                   0};
  if (query(&info) == 1 || platform::GetLastError() == platform::kErrorNotEnoughMemory) return true;
  for (const char16_t* at = text; *at; ++at)
    why += *at < 0x80 ? char(*at) : '?';
  return false;
}

void CheckPrintable(const Record& record) {
  std::string why;
  if (!record.empty() && !Printable(record, why))
    End(kFinding, "a record handed out is unprintable: " + why);
}

void PrintDocument(platform::HANDLE printer, const Record& given) {
  using Event = decltype(DrvDocumentEvent);
  auto* event = Export<Event>("DrvDocumentEvent");
  Record record = given;
  platform::HDC dc = platform::CreatePrinterDC({});
  const auto send = [&](int which, std::vector<void*> in, void** out = nullptr) {
    return event(printer, dc, which, platform::DWORD(in.size() * sizeof(void*)),
                 in.empty() ? nullptr : in.data(), out ? sizeof(void*) : 0, out);
  };
  void* copy = nullptr;
  if (send(platform::kDocumentEventCreateDcPre, {nullptr, nullptr, record.data(), nullptr},
           &copy) == 1) {
    send(platform::kDocumentEventCreateDcPost, {copy});
    platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
    send(platform::kDocumentEventStartDoc, {&info});
    send(platform::kDocumentEventStartDocPost, {});
    send(platform::kDocumentEventStartPage, {});
    send(platform::kDocumentEventEndPage, {});
    send(platform::kDocumentEventEndDoc, {});
    send(platform::kDocumentEventEndDocPost, {});
    send(platform::kDocumentEventDeleteDc, {});
  }
  platform::DeleteDC(dc);
}

// The queries a host makes without a printer handle.
void AskWithoutHandle() {
  AskCapabilities(nullptr);
  Record record(support::kAcceptanceRecordBytes, 0);
  if (support::DocumentProperties(g_install, nullptr, support::kFixturePrinter, &record, nullptr,
                                  platform::kDmModeCopy) == 1)
    Keep(record);
}

void OtherExports() {
  AskWithoutHandle();
  auto* event = Export<decltype(DrvPrinterEvent)>("DrvPrinterEvent");
  constexpr int kPrinterEventCacheRefresh = 5;
  event(support::kFixturePrinter, kPrinterEventCacheRefresh, 0, 0);
  auto* upgrade = Export<decltype(DrvUpgradePrinter)>("DrvUpgradePrinter");
  platform::DriverUpgradeInfo1 info{const_cast<char16_t*>(support::kFixturePrinter),
                                    const_cast<char16_t*>(u"C:\\Drv\\Old")};
  upgrade(1, reinterpret_cast<platform::BYTE*>(&info));
  Convert();
}

// ---- The sheets, worked on the main thread.

// The device sheet: 128 typed into the memory field of the Configure
// page's options dialog, then OK.
void SetMemoryOnDeviceSheet() {
  platform::ScriptDialog(kOptionsDialog, [](platform::HWND dialog) {
    support::UiDialog more(dialog);
    more.Type(kMemoryField, u"128");
    more.Blur();
    more.Click(platform::kIdOk);
  });
  support::OnSheet([](support::SheetDriver& sheet) {
    if (sheet.activate(kConfigurePage)) sheet.page().Click(kMoreOptions);
    sheet.ok();
  });
  auto* properties = Export<decltype(PrinterProperties)>("PrinterProperties");
  if (properties(nullptr, g_install.Printer()) == 1) g_memory_stored = true;
}

// What the memory field shows on a new device sheet, which is cancelled.
std::u16string MemoryOnDeviceSheet() {
  std::u16string shown;
  platform::ScriptDialog(kOptionsDialog, [&](platform::HWND dialog) {
    support::UiDialog more(dialog);
    shown = more.Text(kMemoryField);
    more.Click(platform::kIdCancel);
  });
  support::OnSheet([](support::SheetDriver& sheet) {
    if (sheet.activate(kConfigurePage)) sheet.page().Click(kMoreOptions);
    sheet.cancel();
  });
  Export<decltype(PrinterProperties)>("PrinterProperties")(nullptr, g_install.Printer());
  return shown;
}

void WorkDocumentSheet() {
  Record request =
      support::ScenarioRequest(g_install, g_install.Printer(), support::kFixturePrinter);
  if (request.empty()) return;
  Record record(support::kAcceptanceRecordBytes, 0);
  support::QueueScenarioSheet(true, nullptr);
  if (support::DocumentProperties(
          g_install, g_install.Printer(), support::kFixturePrinter, &record, &request,
          platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify) == 1)
    Keep(record);
}

// ---- The host's threads: small stacks, as a host may give them.

using Work = void (*)(int);

struct Threads {
  pthread_t threads[kThreads] = {};
  bool started[kThreads] = {};

  explicit Threads(Work work) {
    static Work g_work;
    g_work = work;
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setstacksize(&attributes, 256 * 1024);
    for (int i = 0; i < kThreads; ++i) {
      started[i] = ::pthread_create(
                       &threads[i], &attributes,
                       [](void* index) -> void* {
                         g_work(int(reinterpret_cast<std::intptr_t>(index)));
                         return nullptr;
                       },
                       reinterpret_cast<void*>(std::intptr_t(i))) == 0;
    }
    ::pthread_attr_destroy(&attributes);
  }
  ~Threads() {
    for (int i = 0; i < kThreads; ++i)
      if (started[i]) ::pthread_join(threads[i], nullptr);
  }
};

void Queries(int) {
  for (int round = 0; round < kRounds; ++round) {
    AskCapabilities(g_install.Printer());
    DefaultRecord();
    Convert();
  }
}

// Each document on a printer handle of its own, as each device context has.
void Documents(int) {
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  for (int round = 0; round < kRounds; ++round) {
    Record record = DefaultRecord();
    platform::HANDLE printer = nullptr;
    if (!record.empty() && platform::OpenPrinterW(support::kFixturePrinter, &printer, &all) == 1) {
      PrintDocument(printer, record);
      platform::ClosePrinter(printer);
    }
    OtherExports();
  }
}

// The three threads print on the one handle at the same time.
void SharedHandle(int) {
  Record record = DefaultRecord();
  if (!record.empty()) PrintDocument(g_install.Printer(), record);
}

void RunRoad(const std::string& road) {
  if (road == "sheet") {
    Threads threads(&Queries);
    WorkDocumentSheet();
  } else if (road == "documents") {
    Threads threads(&Documents);
    SetMemoryOnDeviceSheet();
  } else if (road == "one") {
    // A query before the sheet leaves a context with the settings before.
    Queries(0);
    SetMemoryOnDeviceSheet();
    CheckPrintable(DefaultRecord());
    WorkDocumentSheet();
    const std::uint64_t stamp = platform::GetPrinterChangeStamp(g_install.Printer());
    Queries(0);
    AskWithoutHandle();
    if (platform::GetPrinterChangeStamp(g_install.Printer()) != stamp)
      End(kFinding, "a query changed the printer's data");
    Documents(0);
    if (g_install.Initialise(support::kFixturePrinter) != "") return;
  } else if (road == "shared") {
    Threads threads(&SharedHandle);
  } else {
    End(kHostFailed, "no road " + road);
  }
}

// What the user owns, checked with no limit.
void CheckWhatTheUserOwns() {
  SetLimit(RLIM_INFINITY);
  for (const Record& record : g_records)
    CheckPrintable(record);
  if (g_memory_stored) {
    const std::u16string memory = MemoryOnDeviceSheet();
    if (memory != u"128")
      End(kFinding,
          "the memory the device sheet stored reads " + std::string(memory.begin(), memory.end()));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) End(kHostFailed, "usage: host_probe ROAD OBJECT [HEADROOM_KB]");
  std::set_new_handler(&HostOutOfMemory);
  g_headroom = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0;
  char folder[] = "/tmp/host_probe-XXXXXX";
  if (!::mkdtemp(folder)) End(kHostFailed, "no folder");
  platform::SetUiFailureHandler([](const std::string&) {});  // a verb memory refused
  g_install.UseSharedObject(argv[2], &LimitAddressSpace);
  const std::string failed = g_install.Install(std::string(folder) + "/host");
  // A set-up that failed once the limit was set is an answer of the
  // library's (its load, attach or initialise); before, the host's own.
  if (!failed.empty() && !g_limited) End(kHostFailed, "set-up: " + failed);
  std::size_t grown = 0;
  if (failed.empty()) {
    RunRoad(argv[1]);
    grown = MappedKb("VmPeak:") - g_set_up_kb;
    CheckWhatTheUserOwns();
  }
  SetLimit(RLIM_INFINITY);
  g_install.Uninstall();
  std::string remove = std::string("rm -rf ") + folder;
  if (std::system(remove.c_str()) != 0) End(kHostFailed, "the folder stays");
  // What the road took beyond the set-up, for a sweep of limits to span.
  if (failed.empty())
    std::printf("done, %zu KB beyond the set-up: %zu records handed out%s\n", grown,
                g_records.size(), g_memory_stored ? ", the memory stored" : "");
  if (!failed.empty()) std::printf("set-up: %s\n", failed.c_str());
  return 0;
}
