#include "support/acceptance_install.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_data_imp.h"
#include "driver/entry_points.h"
#include "driver/library_entry.h"
#include "driver/model_lookup.h"
#include "driver/module_keep_alive.h"
#include "driver/out_of_memory_handler.h"
#include "driver/property_sheet_hook.h"
#include "lang/joblang_zdl5/load.h"
#include "lang/xl_ps/load.h"
#include "lang/xl_ps/vexalon.h"
#include "output/core/peripheral.h"
#include "persist/persistent_composite.h"
#include "platform/host/clock.h"
#include "platform/host/files.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "platform/host/threads.h"
#include "resources/resource_library.h"
#include "support/fixture_printer.h"
#include "ui/plugin/ui_plugin.h"

namespace support {
namespace {

using DllMainEntry = platform::BOOL(platform::HMODULE, platform::DWORD, void*);
using PrinterEventEntry = platform::BOOL(const char16_t*, int, platform::DWORD, platform::LPARAM);

constexpr int kPrinterEventInitialize = 3;
// The initialise event's pause before it reads the settings back.
constexpr platform::DWORD kInitialisePause = 3000;

// P1's file: the fixture's with a duplex unit, the two plug-ins and the
// quality details' pattern scaling and rasterization; with `xl_language`
// its printer language is a GVexalon.
std::unique_ptr<MPersistentComposite> AcceptanceDataFile(bool xl_language) {
  std::unique_ptr<MPersistentComposite> root(BuildFixtureDataFile());
  auto* printer =
      FindOfClass<GPeripheral>(root->FindByKey(kDriverConfigurationKey), kPrinterObjectKey);
  if (!printer) return nullptr;
  GAttributeComposite* defaults = FindComposite(printer->GetConfiguration(), kDefaultSettingsKey);
  if (!defaults ||
      !SetValueIfPresent(FindComposite(defaults, kInstalledOptionsKey), kDuplexUnitKey, 1))
    return nullptr;
  GAttributeComposite* document = FindComposite(defaults, kDocumentSettingsKey);
  if (!document) return nullptr;
  document->AddChild(new GValueAttribute(0, kPatternScalingKey));
  document->AddChild(new GValueAttribute(0, kRasterizationKey));
  if (xl_language) {
    delete printer->RemoveByKey(kPrinterLanguageDeviceKey);
    printer->AddChild(
        new GVexalon(RWCString("Device"), nullptr, nullptr, kPrinterLanguageDeviceKey, 0, 0, 0));
  }
  auto* names = new GAttributeComposite(kPluginNamesKey);
  names->AddChild(new GStringAttribute("UI.DLL", 0));
  names->AddChild(new GStringAttribute("GExtensionUIManager", 1));
  defaults->AddChild(names);
  return root;
}

// The library's exports, as its symbol list names them.
bool ExportDriverEntryPoints() {
  const std::pair<const char*, platform::FARPROC> entries[] = {
      {"DllMain", reinterpret_cast<platform::FARPROC>(&DllMain)},
      {"DrvDeviceCapabilities", reinterpret_cast<platform::FARPROC>(&DrvDeviceCapabilities)},
      {"DrvDocumentProperties", reinterpret_cast<platform::FARPROC>(&DrvDocumentProperties)},
      {"DrvDocumentPropertySheets",
       reinterpret_cast<platform::FARPROC>(&DrvDocumentPropertySheets)},
      {"DrvAdvancedDocumentProperties",
       reinterpret_cast<platform::FARPROC>(&DrvAdvancedDocumentProperties)},
      {"DrvConvertDevMode", reinterpret_cast<platform::FARPROC>(&DrvConvertDevMode)},
      {"DrvDevicePropertySheets", reinterpret_cast<platform::FARPROC>(&DrvDevicePropertySheets)},
      {"PrinterProperties", reinterpret_cast<platform::FARPROC>(&PrinterProperties)},
      {"DevQueryPrintEx", reinterpret_cast<platform::FARPROC>(&DevQueryPrintEx)},
      {"DrvUpgradePrinter", reinterpret_cast<platform::FARPROC>(&DrvUpgradePrinter)},
      {"DrvPrinterEvent", reinterpret_cast<platform::FARPROC>(&DrvPrinterEvent)},
      {"DrvDocumentEvent", reinterpret_cast<platform::FARPROC>(&DrvDocumentEvent)},
      {"KVDrv_RegisterExtension", reinterpret_cast<platform::FARPROC>(&KVDrv_RegisterExtension)}};
  for (const auto& [name, function] : entries) {
    if (!platform::AddModuleExport(platform::kDefaultOwnModulePath, name, function)) return false;
  }
  return ExportPluginEntryPoints(platform::kDefaultOwnModulePath);
}

}  // namespace

// Each step of the set-up answers what failed, or nothing.
#define ACCEPTANCE_STEP(condition, what) \
  do {                                   \
    if (!(condition)) return what;       \
  } while (false)

std::string AcceptanceInstall::Initialise(const char16_t* printer) {
  // The spooler sends the initialise event on a thread of its own; the
  // event's pause passes on the manual clock.
  struct Call {
    PrinterEventEntry* event;
    const char16_t* printer;
    platform::BOOL result;
    platform::DWORD error;
  } call{Entry<PrinterEventEntry>("DrvPrinterEvent"), printer, 0, 0};
  ACCEPTANCE_STEP(call.event, "DrvPrinterEvent");
  auto run = [](void* data) -> platform::DWORD {
    auto* call = static_cast<Call*>(data);
    return RunLibraryThread([call] {
      call->result = call->event(call->printer, kPrinterEventInitialize, 0, 0);
      call->error = platform::GetLastError();
      return platform::DWORD{0};
    });
  };
  platform::HANDLE thread = platform::CreateThread(nullptr, 0, run, &call, 0, nullptr);
  refused_thread_ = !thread;
  ACCEPTANCE_STEP(thread, "the spooler's thread");
  bool idle = false;
  for (int tries = 0; tries < 6 && !idle; ++tries)  // a minute, on a loaded machine
    idle = platform::AwaitThreadsIdle();
  platform::AdvanceWaitClock(kInitialisePause);
  // A thread that reaches its pause only after the clock moved waits for
  // the next move: moved until the thread has ended.
  while (!idle && platform::WaitForSingleObject(thread, 0) == platform::kWaitTimeout) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    platform::AdvanceWaitClock(kInitialisePause);
  }
  platform::WaitForSingleObject(thread, platform::kInfinite);
  platform::CloseHandle(thread);
  ACCEPTANCE_STEP(idle, "the initialise event's wait");
  initialised_ = initialised_ && call.result;
  platform::SetLastError(call.error);
  return {};
}

std::string AcceptanceInstall::Install(const std::string& folder, bool second_printer,
                                       bool xl_language, bool initialise) {
  platform::SetLastError(platform::kErrorSuccess);
  system_error_ = 0;
  refused_thread_ = false;
  JobLanguageLoad();
  if (xl_language) XlPsLoad();
  xl_language_ = xl_language;
  platform::UseManualWaitClock();
  std::filesystem::create_directory(folder);
  std::unique_ptr<MPersistentComposite> root = AcceptanceDataFile(xl_language);
  ACCEPTANCE_STEP(root, "P1's data file");
  if (!InstallFixturePrinter(folder, root.get(), &system_error_)) {
    return system_error_ ? folder + "/" + kFixtureDataFileName + ": cannot write" : "installing P1";
  }
  ACCEPTANCE_STEP(!second_printer || (platform::AddPrinter(kSecondPrinter) &&
                                      platform::SetPrinterDriver(kSecondPrinter, kFixtureDriver,
                                                                 kFixturePort, kFixtureDataFile)),
                  "installing P2");
  ACCEPTANCE_STEP(
      platform::AddModule({kAcceptanceSupportFile, {}, {}}) &&
          platform::AddModuleResources(kAcceptanceSupportFile, resources::ResourceLibrary()),
      "the support file");
  // The names of the operating-system trays' strings (mapping 84), as the
  // bin pool names trays 1-4.
  const std::pair<platform::UINT, const char16_t*> trays[] = {{10551, u"Tray 1"},
                                                              {10552, u"Tray 2 500-Sheet"},
                                                              {10553, u"Tray 3"},
                                                              {10554, u"Manual Feed"}};
  for (const auto& [id, name] : trays)
    ACCEPTANCE_STEP(platform::AddModuleString(kAcceptanceSupportFile, id, name), "tray strings");
  // The system's first nine forms (thousandths of a millimetre): mapping
  // 191 takes 1, 3, 5 and 9 to Letter, Tabloid, Legal and A4.
  const std::tuple<const char16_t*, platform::LONG, platform::LONG> forms[] = {
      {u"Letter", 215900, 279400},    {u"Letter Small", 215900, 279400},
      {u"Tabloid", 279400, 431800},   {u"Ledger", 431800, 279400},
      {u"Legal", 215900, 355600},     {u"Statement", 139700, 215900},
      {u"Executive", 184150, 266700}, {u"A3", 297000, 420000},
      {u"A4", 210000, 297000}};
  for (const auto& [name, width, height] : forms)
    platform::AddServerForm(u"", 1, name, width, height);
  ACCEPTANCE_STEP(platform::SetFixedClock({2026, 12, 6, 15, 30, 0}), "the clock");
  platform::SetTimeZone({300, false, true});
  if (shared_object_.empty()) {
    ACCEPTANCE_STEP(ExportDriverEntryPoints(), "the exports");
  } else {
    // The program names itself, so that the library's name finds the
    // object.
    ACCEPTANCE_STEP(platform::SetOwnModulePath(kFixtureHostProgram) &&
                        platform::MapSharedObject(u"UI.DLL", shared_object_),
                    "the shared object's name");
  }
  if (before_load_) before_load_();
  library_ = platform::LoadLibraryW(platform::kDefaultOwnModulePath);
  ACCEPTANCE_STEP(library_, "loading the library");
  auto* attach = Entry<DllMainEntry>("DllMain");
  ACCEPTANCE_STEP(attach && attach(library_, kDllProcessAttach, nullptr) == 1, "DllMain attach");

  const char16_t* const names[] = {kFixturePrinter, kSecondPrinter};
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  initialised_ = 1;
  for (int i = 0; i < (second_printer ? 2 : 1); ++i) {
    const std::string failed = initialise ? Initialise(names[i]) : "";
    if (!failed.empty()) return failed;
    ACCEPTANCE_STEP(platform::OpenPrinterW(names[i], &printers_[i], &all) == 1,
                    "opening a printer");
  }
  return {};
}

std::string AcceptanceInstall::Uninstall() {
  std::string failed;
  for (platform::HANDLE& printer : printers_) {
    if (printer) platform::ClosePrinter(printer);
    printer = nullptr;
  }
  if (library_) {
    auto* detach = Entry<DllMainEntry>("DllMain");
    if (!detach || detach(library_, kDllProcessDetach, nullptr) != 1) failed = "DllMain detach";
    // The keep-alive's watcher ends once its periods pass idle (a period
    // at a time; an activity is marked first because the process's
    // keep-alive outlives the detach here).
    ModuleKeepAlive().MarkActivity();
    for (int i = 0; i < 8 && platform::LiveThreadCount() != 0; ++i) {
      if (!platform::AwaitThreadsIdle()) break;
      platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
      ModuleKeepAlive().SetKeepLoaded(0);
    }
    if (!platform::AwaitThreadsIdle() || platform::LiveThreadCount() != 0)
      failed = "the keep-alive's watcher";
    if (platform::FreeLibrary(library_) != 1) failed = "FreeLibrary";
    library_ = nullptr;
  }
  if (xl_language_) XlPsUnload();
  xl_language_ = false;
  JobLanguageUnload();
  return failed;
}

bool AcceptanceInstall::LetKeepAliveGo() {
  for (int i = 0; i < 8 && ModuleKeepAlive().IsPinned(); ++i) {
    if (!platform::AwaitThreadsIdle()) return false;
    platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
  }
  return platform::AwaitThreadsIdle() && !ModuleKeepAlive().IsPinned() &&
         platform::LiveThreadCount() == 0;
}

#undef ACCEPTANCE_STEP

}  // namespace support
