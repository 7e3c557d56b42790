// Work that a sibling library of the driver family does for a printer,
// modelled as an update record: the printer's name and a handle, whether
// the work started, and the module that does it.
//
// GUpdateRecord: the abstract record (StartModule calls the module's start
// routine, StopModule its stop routine).
//
// GPrinterDBUpdateRequest: decides whether the work runs. The printer's
// "KvrdbUpdateRequest" (REG_DWORD) under the machine's
// "System\CurrentControlSet\Control\Print\Printers\<printer>\PrinterDriverData"
// must ask for it: absent (or read as -1) counts as a request (the value
// is then written as 0), 1 is a request, anything else is none. A printer
// connection whose key is missing ("\\server\printer") is looked up in the
// spooler's form of a connection, every "\" turned into "," (",,server,
// printer"); with neither key nothing runs.
//
// GMiniInstaller: the mini-installer, "\KVWEDGE.DLL" in the services' module
// directory, started with "InitializeMiniInstaller" (handle, 0, 1) (or (0,
// printer name, 1) without a handle) and stopped with "KillMiniInstaller"
// (handle, 0, 1). It opens the printer by name when it is given no handle
// (and closes it again), and runs the request at construction; without any
// handle nothing runs. The services' NewMiniInstaller makes one.
//
// Mended: stopping frees the library and forgets it, so that the request's
// own unloading, which follows in the destructor, never frees it twice.
//
// Ownership: a record owns its module handle, and the mini-installer a
// printer handle it opened. Threads: one caller at a time.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

// The registry value of the request, and where it lives.
inline constexpr char16_t kPrintersKeyPrefix[] =
    u"System\\CurrentControlSet\\Control\\Print\\Printers\\";
inline constexpr char16_t kPrinterDriverDataKey[] = u"\\PrinterDriverData";
inline constexpr char16_t kUpdateRequestName[] = u"KvrdbUpdateRequest";
// The mini-installer's module, after the module directory, and its entries.
inline constexpr char16_t kMiniInstallerModule[] = u"\\KVWEDGE.DLL";
inline constexpr char kMiniInstallerStart[] = "InitializeMiniInstaller";
inline constexpr char kMiniInstallerStop[] = "KillMiniInstaller";
// Both entries: (printer handle, printer name, flag 1) -> result.
using GMiniInstallerEntry = std::int32_t (*)(platform::HANDLE printer, const char16_t* name,
                                             std::uint32_t flag);

class GUpdateRecord {
 public:
  GUpdateRecord(const RWWString& printer_name, platform::HANDLE printer)
      : printer_name_(printer_name), printer_(printer) {}
  GUpdateRecord(const GUpdateRecord&) = delete;
  GUpdateRecord& operator=(const GUpdateRecord&) = delete;
  virtual ~GUpdateRecord() = default;

  // The virtual operations below are in slot order.
  // Calls the module's start routine: 0 or 1 when it ran.
  virtual std::int32_t StartModule() = 0;
  // Calls its stop routine.
  virtual std::int32_t StopModule() = 0;

  std::uint32_t IsDone() const { return done_; }
  const RWWString& GetPrinterName() const { return printer_name_; }
  const RWWString& GetModulePath() const { return module_path_; }

 protected:
  RWWString printer_name_;
  platform::HANDLE printer_;
  std::uint32_t done_ = 0;  // 1 once the work started
  RWWString module_path_;
  platform::HMODULE module_ = nullptr;  // owned
};

class GPrinterDBUpdateRequest : public GUpdateRecord {
 public:
  using GUpdateRecord::GUpdateRecord;
  // UnloadModule.
  ~GPrinterDBUpdateRequest() override;

  // The virtual operations below are in slot order.
  // Whether work is under way already: 0.
  virtual std::uint32_t IsBusy();
  // Records the request: 1, nothing else here.
  virtual std::uint32_t SetRequested(std::uint32_t flag);

  // Decides (see the file comment) and, asked for, loads the module and
  // starts it: the done flag tells the outcome.
  void Run();
  // Loads the module path and calls StartModule: 1 when it answered 0 or
  // 1; any other answer frees the module again: 0 (also when it does not
  // load).
  int LoadModule();
  // With the done flag set: frees the module and clears the flag.
  void UnloadModule();
};

class GMiniInstaller : public GPrinterDBUpdateRequest {
 public:
  // See the file comment. REQUIRES: driver services are installed.
  GMiniInstaller(const RWWString& printer_name, platform::HANDLE printer);
  // Stops a started installer and closes a printer it opened.
  ~GMiniInstaller() override;

  // "InitializeMiniInstaller" as above: its answer, -1 without the entry or
  // without both a handle and a name.
  std::int32_t StartModule() override;
  // With the module loaded: "KillMiniInstaller" (with a handle) and the
  // module freed and forgotten; the call's answer, else -1.
  std::int32_t StopModule() override;

 private:
  bool opened_printer_ = false;
};
