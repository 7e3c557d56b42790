// The printer of the acceptance tests and the demonstration, reached only
// from the outside: the library is loaded through the platform loader and
// attached by its DllMain; the fixture printer P1 (fixture_printer.h)
// is installed in the stand-in spooler, which then sends the library the
// initialise event; the clock reads 6 December 2026 15:30:00 and the
// time-zone bias is 300 minutes. P1's file differs from the fixture's in
// a few keys only: 365's 308 (duplex unit) is 1, 362 holds 277 (pattern
// scaling) and 255 (rasterization), both 0, and the defaults name the
// plug-ins (63) "UI.DLL" (this library) and "GExtensionUIManager". Asked
// for, its printer language (101) is a GVexalon (kind 767) in place of the
// GZdl5e (788).
//
// The library's entry points are exports of our own module's entry in the
// module table ("C:\Drv\UI.DLL", in the driver directory), added by name;
// callers reach them only through GetProcAddress. The support file
// "KVQCF.DLL" holds the resource library.
//
// Asked for, a second printer "P2" of the same driver, port and data file
// is installed, initialised and opened beside P1.
//
// Timed waits run on the manual wait clock. Uninstall detaches the
// library and drains the keep-alive until no thread is left.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "platform/host/modules.h"
#include "platform/host/types.h"

namespace support {

// A device mode of P1: 220 public bytes and 952 of the driver's.
inline constexpr std::size_t kAcceptanceRecordBytes = 1172;
// The support file of the resources.
inline constexpr char16_t kAcceptanceSupportFile[] = u"KVQCF.DLL";
// The second printer.
inline constexpr char16_t kSecondPrinter[] = u"P2";

class AcceptanceInstall {
 public:
  // Installs P1 (and P2 with `second_printer`) with its host folder
  // `folder` (made here), loads and attaches the library and opens the
  // printers with every right. Answers what failed, empty when all went
  // well: a step, or "<file>: cannot write" for P1's driver data file,
  // whose reason SystemError() gives. The platform's last error is cleared
  // first: after a failure it is the failed call's (kErrorNotEnoughMemory
  // for memory, or a thread the system refused). The host services are the
  // caller's to reset before and after.
  // Without `initialise`, no initialise event is sent: the printers are
  // opened as freshly installed, for the caller to send it (Initialise).
  std::string Install(const std::string& folder, bool second_printer = false,
                      bool xl_language = false, bool initialise = true);
  // From now on Install loads the library's shared object at `path` as
  // "C:\Drv\UI.DLL" in place of this program's own module, running
  // `before_load` (when given) once everything else is set up.
  void UseSharedObject(std::string path, void (*before_load)() = nullptr) {
    shared_object_ = std::move(path);
    before_load_ = before_load;
  }
  // The system's reason (errno) the last Install could not write P1's
  // driver data file for; 0 when that was not what failed.
  int SystemError() const { return system_error_; }
  // Whether the last Install failed because the system refused the thread
  // of an initialise event (which the platform answers as memory).
  bool RefusedThread() const { return refused_thread_; }
  // Closes the printers, detaches and frees the library; answers what
  // failed.
  std::string Uninstall();
  // Lets the keep-alive's periods pass, with nothing marked active, until
  // its watcher has given the library back (on the manual wait clock);
  // false when it does not.
  static bool LetKeepAliveGo();

  // The export `name` of the loaded library as a `Function` pointer, null
  // when it is missing.
  template <typename Function>
  Function* Entry(const char* name) const {
    return reinterpret_cast<Function*>(platform::GetProcAddress(library_, name));
  }

  platform::HMODULE Library() const { return library_; }
  platform::HANDLE Printer() const { return printers_[0]; }
  // P2, null unless asked for.
  platform::HANDLE SecondPrinter() const { return printers_[1]; }
  // What P1's (and P2's) initialise event answered: 0 once any answered 0.
  platform::BOOL Initialised() const { return initialised_; }
  // Sends `printer` the initialise event as the spooler does (Install sends
  // it once), on a thread of its own, whose last error after the event the
  // calling thread's becomes; answers what failed ("the spooler's thread"
  // when the system refuses it, and RefusedThread() is then true).
  std::string Initialise(const char16_t* printer);

 private:
  std::string shared_object_;
  void (*before_load_)() = nullptr;
  platform::HMODULE library_ = nullptr;
  platform::HANDLE printers_[2] = {};
  platform::BOOL initialised_ = 0;
  bool xl_language_ = false;
  int system_error_ = 0;
  bool refused_thread_ = false;
};

}  // namespace support
