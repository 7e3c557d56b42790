// host_probe: the library's shared object in a host, as a spooler or an
// application uses it. P1 is installed as the acceptance tests install it;
// then the host's address space is limited (when asked), libdrvui.so is
// loaded through the platform's loader and attached, and one road of calls
// runs, on the main thread and on threads of the host's own. No call has a
// catch around it: the library answers every failure, or ends the process
// the documented way ("Fatal Error", [NOMEM], status 1).
//
//   host_probe ROAD OBJECT FOLDER [HEADROOM_KB]
//   host_probe random OBJECT FOLDER SEED THREADS
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
//   shared     three documents on one printer handle at once;
//   random     once the library is attached, the printer's stored default
//              is one a driver before this one left (which this driver does
//              not take: the threads' first conversions build and store
//              one), and allocations fail at random (drawn from SEED; none
//              for 0) while THREADS threads print documents and call the
//              other exports, or ask the queries, until the main thread has
//              worked the device sheet through the sheet service (memory
//              128, OK) and then PrinterProperties (tray 2 and its form
//              chosen on the forms page, OK).
// The install goes in FOLDER, which the caller made and removes. HEADROOM_KB
// limits the address space to what the set-up left mapped and that much
// more; without it there is no limit.
//
// When the road is done the limit is lifted (the failures disarmed) and
// what the user owns is checked: every record a call handed out as a
// success is printable (DevQueryPrintEx, which must not refuse now); a new
// device sheet shows what the last sheet that said OK stored, the memory
// and tray 2's form, or what was there before when none did; and the
// printer's stored default device mode (GetPrinterW level 2, the system's
// call) is byte for byte the one the last sheet that said OK left, read
// right after it (where the address space is not limited: the read needs
// memory). With no limit and no failure each sheet the road works must say
// OK. Exit status: 0 when every call answered and nothing the user owns was
// lost ("done" and how much address space the road took beyond the set-up,
// or the set-up step the library refused); 2 and one line when something
// was lost; 3 when the host itself could not be set up or ran out of
// memory before the library was attached.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
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
#include "platform/ui/window.h"
#include "support/acceptance_install.h"
#include "support/acceptance_scenario.h"
#include "support/failing_allocator.h"
#include "support/fixture_printer.h"
#include "support/host_calls.h"
#include "support/stored_state.h"
#include "support/ui_user.h"

namespace {

using support::Record;

constexpr int kThreads = 3;
constexpr int kRounds = 4;
constexpr int kFinding = 2;
constexpr int kHostFailed = 3;
// The device sheet's pages: the forms page with its tray and form lists,
// and the Configure page, its options dialog and memory field.
constexpr std::size_t kFormsPage = 0;
constexpr int kTrayList = 12003;
constexpr int kFormList = 12006;
constexpr std::size_t kConfigurePage = 1;
constexpr int kMoreOptions = 7049;
constexpr int kOptionsDialog = 7500;
constexpr int kMemoryField = 7091;
// What the user sets: the memory, and tray 2's form ("Tray 2 500-Sheet" is
// the item of data 2).
constexpr char16_t kMemory[] = u"128";
constexpr platform::ULONG_PTR kTray = 2;
constexpr char16_t kTrayName[] = u"Tray 2 500-Sheet";
constexpr char16_t kTrayForm[] = u"Legal";
// The random road: each allocation fails with the chance 1 in this many
// times the threads (about one failure a run: most failures outside a
// reader's scope end the process the documented way).
constexpr std::uint32_t kOneInPerThread = 40000;

support::AcceptanceInstall g_install;
std::size_t g_headroom = 0;  // KB; 0: no limit
bool g_random = false;       // failures armed on the random road
// Records calls handed out as successes, checked at the end.
std::mutex g_records_lock;
std::vector<Record> g_records;
bool g_limited = false;
std::size_t g_set_up_kb = 0;  // mapped when the set-up was done

// What the user owns on the device sheet, as a new sheet shows it: unset
// where no sheet of the road said OK and what was there before is unknown.
struct Owned {
  std::optional<std::u16string> memory;
  std::optional<std::u16string> tray;  // the tray the forms page opens on
  std::optional<std::u16string> tray_form;
};
Owned g_owned;
int g_sheets_ok = 0;
// The stored default device mode the last sheet that said OK left, and
// that sheet; unset when none did (or the address space is limited).
std::optional<Record> g_left_default;
const char* g_left_by = nullptr;
std::string g_sheets_said;    // what each sheet of the road said, for a finding
std::uint64_t g_counted = 0;  // allocations counted while failures were armed
bool g_failed = false;        // and whether any failed

[[noreturn]] void End(int status, const std::string& line) {
  std::fprintf(stderr, "host_probe: %s\n", line.c_str());
  std::fflush(nullptr);
  std::_Exit(status);
}

std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (char16_t unit : text)
    narrow += unit < 0x80 ? char(unit) : '?';
  return narrow;
}

// The host's own allocations before the library's handler is installed.
void HostOutOfMemory() {
  End(kHostFailed, "the host ran out of memory");
}

// Whether memory may be short now: a call may then refuse for want of it.
bool MemoryMayBeShort() {
  return g_headroom != 0 || g_random;
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
  support::UncountedAllocations uncounted;  // the probe's book, not the host's work
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

// True when `record` prints, or the query ran short of memory where
// `short_allowed`.
bool Printable(Record record, std::string& why, bool short_allowed) {
  auto* query = Export<decltype(DevQueryPrintEx)>("DevQueryPrintEx");
  char16_t text[128] = {};
  platform::DevQueryPrintInfo info{24,
                                   1,
                                   g_install.Printer(),
                                   reinterpret_cast<platform::DevModeW*>(record.data()),
                                   text,
                                   sizeof text,
                                   0};
  if (query(&info) == 1) return true;
  const platform::DWORD error = platform::GetLastError();
  if (short_allowed && error == platform::kErrorNotEnoughMemory) return true;
  why = Narrow(text) + " (last error " + std::to_string(error) + ")";
  return false;
}

void CheckPrintable(const Record& record, bool short_allowed) {
  std::string why;
  if (!record.empty() && !Printable(record, why, short_allowed))
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

// What the user does in the next sheet shown, and in the next options
// dialog. A script queued for a sheet or dialog that never showed (memory
// refused it) would stay queued for the next one: one script at most is
// queued for each, and it does what the user means to do where it runs.
std::function<void(support::SheetDriver&)> g_in_sheet;
std::function<void(support::UiDialog&)> g_in_options;

void InNextSheet(std::function<void(support::SheetDriver&)> work) {
  g_in_sheet = std::move(work);
  if (platform::PendingSheetScripts() != 0) return;
  support::OnSheet([](support::SheetDriver& sheet) {
    const auto work = std::move(g_in_sheet);
    g_in_sheet = nullptr;
    work ? work(sheet) : void(sheet.cancel());
  });
}

void InNextOptionsDialog(std::function<void(support::UiDialog&)> work) {
  g_in_options = std::move(work);
  if (platform::PendingDialogScripts() != 0) return;
  platform::ScriptDialog(kOptionsDialog, [](platform::HWND dialog) {
    support::UiDialog more(dialog);
    const auto work = std::move(g_in_options);
    g_in_options = nullptr;
    work ? work(more) : void(more.Click(platform::kIdCancel));
  });
}

// Whether the user pressed OK in the last sheet a script was set for.
bool g_pressed = false;
bool g_typed = false;  // the memory was typed and its dialog closed on OK

// The device sheet's script: 128 typed into the memory field of the
// Configure page's options dialog, then OK. The user presses OK only when
// each step showed through (the field reads 128, the dialog closed on its
// OK); else Cancel.
void SetMemoryOnNextSheet() {
  g_pressed = g_typed = false;
  InNextOptionsDialog([](support::UiDialog& more) {
    g_typed = more.Type(kMemoryField, kMemory) && more.Blur() &&
              more.Text(kMemoryField) == kMemory && more.Click(platform::kIdOk) &&
              !platform::IsWindowVisible(more.Handle());
    if (!g_typed) more.Click(platform::kIdCancel);
  });
  InNextSheet([](support::SheetDriver& sheet) {
    if (sheet.activate(kConfigurePage) && sheet.page().Click(kMoreOptions) && g_typed)
      g_pressed = sheet.ok();
    else
      sheet.cancel();
  });
}

// The forms page's script: tray 2 chosen, its form set, then OK (when
// each step showed through; else Cancel).
void SetTrayFormOnNextSheet() {
  g_pressed = false;
  InNextSheet([](support::SheetDriver& sheet) {
    support::UiDialog page;
    if (sheet.activate(kFormsPage) && (page = sheet.page()).SelectData(kTrayList, kTray) &&
        page.Text(kTrayList) == kTrayName && page.Select(kFormList, kTrayForm) &&
        page.Text(kFormList) == kTrayForm)
      g_pressed = sheet.ok();
    else
      sheet.cancel();
  });
}

// The stored default as the system answers it now; the host fails when it
// cannot be read.
Record StoredDefault() {
  support::UncountedAllocations uncounted;  // the probe's book, not the host's work
  std::optional<Record> stored = support::StoredDefault(g_install.Printer());
  if (!stored) End(kHostFailed, "the stored default cannot be read");
  return std::move(*stored);
}

// A sheet said OK: the user's OK was taken and the sheet answered OK to
// its caller (`answered`), and the stored default it left is kept. With no
// limit and no failure, each sheet must.
bool SaidOk(bool answered, const char* sheet) {
  const std::string said = std::string(sheet) + (!g_pressed ? " took no OK"
                                                 : answered ? " said OK"
                                                            : " answered failure to its OK");
  if (!MemoryMayBeShort() && !(g_pressed && answered)) End(kFinding, said);
  g_sheets_said += (g_sheets_said.empty() ? "" : ", ") + said;
  g_sheets_ok += g_pressed && answered;
  if (g_pressed && answered && g_headroom == 0) g_left_default = StoredDefault(), g_left_by = sheet;
  return g_pressed && answered;
}

bool PrinterPropertiesAnswered() {
  return Export<decltype(PrinterProperties)>("PrinterProperties")(nullptr, g_install.Printer()) ==
         1;
}

// The device sheet through PrinterProperties with the memory set.
void SetMemoryOnDeviceSheet() {
  SetMemoryOnNextSheet();
  if (SaidOk(PrinterPropertiesAnswered(), "the device sheet")) g_owned.memory = kMemory;
}

// What a new device sheet shows, which is cancelled; unset where the
// user could not see it.
Owned g_shown;
Owned ReadOwned() {
  g_shown = {};
  InNextOptionsDialog([](support::UiDialog& more) {
    g_shown.memory = more.Text(kMemoryField);
    more.Click(platform::kIdCancel);
  });
  InNextSheet([](support::SheetDriver& sheet) {
    support::UiDialog page;
    if (sheet.activate(kFormsPage)) g_shown.tray = (page = sheet.page()).Text(kTrayList);
    if (g_shown.tray && page.SelectData(kTrayList, kTray) && page.Text(kTrayList) == kTrayName)
      g_shown.tray_form = page.Text(kFormList);
    if (sheet.activate(kConfigurePage)) sheet.page().Click(kMoreOptions);
    sheet.cancel();
  });
  PrinterPropertiesAnswered();
  return g_shown;
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
// The threads wait for it before their work.
std::atomic<bool> g_go{true};
std::atomic<bool> g_sheets_done{true};

// `round` kRounds times, and more until one has started after the main
// thread's sheets were done.
template <class Round>
void Rounds(Round round) {
  for (int count = 1;; ++count) {
    const bool last = count >= kRounds && g_sheets_done.load();
    round();
    if (last) return;
  }
}

struct Threads {
  std::vector<pthread_t> threads;

  Threads(Work work, int count) {
    static Work g_work;
    g_work = work;
    pthread_attr_t attributes;
    ::pthread_attr_init(&attributes);
    ::pthread_attr_setstacksize(&attributes, 256 * 1024);
    for (int i = 0; i < count; ++i) {
      pthread_t thread;
      if (::pthread_create(
              &thread, &attributes,
              [](void* index) -> void* {
                while (!g_go.load())
                  ::sched_yield();
                g_work(int(reinterpret_cast<std::intptr_t>(index)));
                return nullptr;
              },
              reinterpret_cast<void*>(std::intptr_t(i))) == 0)
        threads.push_back(thread);
    }
    ::pthread_attr_destroy(&attributes);
  }
  ~Threads() {
    for (pthread_t thread : threads)
      ::pthread_join(thread, nullptr);
  }
};

void Queries(int) {
  Rounds([] {
    AskCapabilities(g_install.Printer());
    DefaultRecord();
    Convert();
  });
}

// Each document on a printer handle of its own, as each device context has.
void Documents(int) {
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  Rounds([&] {
    Record record = DefaultRecord();
    platform::HANDLE printer = nullptr;
    if (!record.empty() && platform::OpenPrinterW(support::kFixturePrinter, &printer, &all) == 1) {
      PrintDocument(printer, record);
      platform::ClosePrinter(printer);
    }
    OtherExports();
  });
}

// The three threads print on the one handle at the same time.
void SharedHandle(int) {
  Record record = DefaultRecord();
  if (!record.empty()) PrintDocument(g_install.Printer(), record);
}

// Half the threads print documents and call the other exports, half query.
void DocumentsOrQueries(int index) {
  index % 2 == 0 ? Documents(index) : Queries(index);
}

// Stores as the printer's default what a driver before this one left, as
// the system keeps it when a printer's driver changes: the public part
// alone (the device name, dmSpecVersion 0x0401 at 64, dmSize 220,
// dmDriverExtra 0), which this driver does not take.
void StoreForeignDefault() {
  constexpr std::size_t kPublicSize = 220;
  constexpr std::size_t kSpecVersionOffset = 64;
  Record mode(kPublicSize, 0);
  for (std::size_t i = 0; support::kFixturePrinter[i] != 0; ++i)
    mode[2 * i] = std::uint8_t(support::kFixturePrinter[i]);
  mode[kSpecVersionOffset] = 0x01, mode[kSpecVersionOffset + 1] = 0x04;
  mode[platform::kDevModeSizeOffset] = kPublicSize;
  platform::PrinterInfo2W info{};
  info.dev_mode = mode.data();
  if (platform::SetPrinterW(g_install.Printer(), 2, reinterpret_cast<platform::BYTE*>(&info), 0) !=
      1)
    End(kHostFailed, "the foreign default cannot be stored");
}

// Both sheets, worked while `threads` threads call the other exports and
// allocations fail at random (`seed`), on a printer whose stored default
// this driver does not take.
void RunRandomRoad(std::uint64_t seed, int threads) {
  g_owned = ReadOwned();
  if (!g_owned.memory || !g_owned.tray || !g_owned.tray_form)
    End(kHostFailed, "the sheet before cannot be read");
  StoreForeignDefault();
  g_go = g_sheets_done = false;
  Threads working(&DocumentsOrQueries, threads);
  support::ResetAllocations();
  // The allocator draws from the seed XOR the allocation's index: seeds
  // spread apart fail apart. Odd seeds keep memory short until the new
  // handler gives up; seeds 2, 6, 10, ... fail the system's own
  // allocations too (a write refused); seed 0 fails nothing.
  if (seed != 0) {
    support::CountSystemAllocations(seed % 4 == 2);
    support::FailAtRandom(seed * 0x9E3779B97F4A7C15ull,
                          kOneInPerThread * std::uint32_t(threads > 1 ? threads : 1),
                          seed % 2 ? support::Shortage::kLasting : support::Shortage::kBrief);
    g_random = true;
  }
  g_go = true;
  SetMemoryOnNextSheet();
  if (SaidOk(support::DeviceSheetThroughService(g_install, g_install.Printer()),
             "the device sheet through the service"))
    g_owned.memory = kMemory;
  SetTrayFormOnNextSheet();
  if (SaidOk(PrinterPropertiesAnswered(), "PrinterProperties"))
    g_owned.tray = kTrayName, g_owned.tray_form = kTrayForm;
  g_sheets_done = true;
}

void RunRoad(const std::string& road) {
  if (road == "sheet") {
    Threads threads(&Queries, kThreads);
    WorkDocumentSheet();
  } else if (road == "documents") {
    Threads threads(&Documents, kThreads);
    SetMemoryOnDeviceSheet();
  } else if (road == "one") {
    // A query before the sheet leaves a context with the settings before.
    Queries(0);
    SetMemoryOnDeviceSheet();
    CheckPrintable(DefaultRecord(), MemoryMayBeShort());
    WorkDocumentSheet();
    const std::uint64_t stamp = platform::GetPrinterChangeStamp(g_install.Printer());
    Queries(0);
    AskWithoutHandle();
    if (platform::GetPrinterChangeStamp(g_install.Printer()) != stamp)
      End(kFinding, "a query changed the printer's data");
    Documents(0);
    if (g_install.Initialise(support::kFixturePrinter) != "") return;
  } else if (road == "shared") {
    Threads threads(&SharedHandle, kThreads);
  } else {
    End(kHostFailed, "no road " + road);
  }
}

// The stored default is the one the last sheet that said OK left: no call
// after it stored one built from what it had read before.
void CheckStoredDefault() {
  if (!g_left_default) return;
  const Record now = StoredDefault();
  if (now == *g_left_default) return;
  const Record& left = *g_left_default;
  const std::size_t at = std::size_t(
      std::mismatch(now.begin(), now.end(), left.begin(), left.end()).first - now.begin());
  const auto byte = [at](const Record& record) {
    return at < record.size() ? std::to_string(record[at]) : std::string("its end");
  };
  End(kFinding, "the stored default differs from the one " + std::string(g_left_by) +
                    " left first at byte " + std::to_string(at) + " (" + byte(now) +
                    " where it left " + byte(left) + "; " + std::to_string(now.size()) +
                    " bytes where it left " + std::to_string(left.size()) + ") (" + g_sheets_said +
                    ")");
}

// What the user owns, checked with no limit and no failure armed: no
// refusal is then for want of memory.
void CheckWhatTheUserOwns() {
  SetLimit(RLIM_INFINITY);
  if (g_random) g_counted = support::CountedAllocations(), g_failed = support::AllocationFailed();
  support::ResetAllocations();
  support::CountSystemAllocations(false);
  CheckStoredDefault();
  for (const Record& record : g_records)
    CheckPrintable(record, false);
  if (!g_owned.memory && !g_owned.tray && !g_owned.tray_form) return;
  const Owned shown = ReadOwned();
  const auto check = [](const char* what, const std::optional<std::u16string>& owned,
                        const std::optional<std::u16string>& now) {
    if (owned && now != owned)
      End(kFinding, std::string(what) + " reads " + (now ? "\"" + Narrow(*now) + "\"" : "nothing") +
                        " where the user's is \"" + Narrow(*owned) + "\" (" + g_sheets_said + ")");
  };
  check("the memory", g_owned.memory, shown.memory);
  check("the tray the forms page opens on", g_owned.tray, shown.tray);
  check("tray 2's form", g_owned.tray_form, shown.tray_form);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4)
    End(kHostFailed, "usage: host_probe ROAD OBJECT FOLDER [HEADROOM_KB | SEED THREADS]");
  std::set_new_handler(&HostOutOfMemory);
  const std::string road = argv[1];
  std::uint64_t seed = 0;
  int threads = kThreads;
  if (road == "random") {
    if (argc < 6) End(kHostFailed, "usage: host_probe random OBJECT FOLDER SEED THREADS");
    seed = std::strtoull(argv[4], nullptr, 10);
    threads = std::atoi(argv[5]);
  } else {
    g_headroom = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 0;
  }
  platform::SetUiFailureHandler([](const std::string&) {});  // a verb memory refused
  g_install.UseSharedObject(argv[2], &LimitAddressSpace);
  const std::string failed = g_install.Install(std::string(argv[3]) + "/host");
  // A set-up that failed once the limit was set is an answer of the
  // library's (its load, attach or initialise); before, the host's own.
  if (!failed.empty() && !g_limited) End(kHostFailed, "set-up: " + failed);
  std::size_t grown = 0;
  if (failed.empty()) {
    road == "random" ? RunRandomRoad(seed, threads) : RunRoad(road);
    grown = MappedKb("VmPeak:") - g_set_up_kb;
    CheckWhatTheUserOwns();
  }
  SetLimit(RLIM_INFINITY);
  g_install.Uninstall();
  // What the road took beyond the set-up, for a sweep of limits to span.
  if (failed.empty())
    std::printf(
        "done, %zu KB beyond the set-up, %llu allocations with failures armed%s: %zu "
        "records handed out, %d sheets said OK\n",
        grown, static_cast<unsigned long long>(g_counted), g_failed ? ", some failed" : "",
        g_records.size(), g_sheets_ok);
  if (!failed.empty()) std::printf("set-up: %s\n", failed.c_str());
  return 0;
}
