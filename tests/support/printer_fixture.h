// The printer that the driver's tests run on: "P1", driver "KV Test", port
// "USB001", whose driver data file holds the configuration model of the
// import acceptance test (tests/config/acceptance/README.md) grown with the
// keys the driver reads. printer_fixture.md lists every key with what
// reads it; later tests add keys there, and here, only.
//
// Two ways in:
//   - PrinterFixture, a test fixture: each test starts with fresh host
//     stand-ins, the driver's real services (HostOSFactory), P1 installed
//     in the stand-in spooler with its data file, and a driver server;
//     the job language's classes are loaded meanwhile (its ZDL5 generator
//     is in the file);
//     DriverData() checks P1's context out of the server, which loads the
//     data file into the real driver data (GDriverContext);
//   - the builders and InstallFixturePrinter, for tests that set up their
//     own services or change the file before it is written.
//
// Paths: the driver directory is kFixtureDirectory ("C:\Drv"), served from
// a temporary host folder; the services' module directory is the same
// (the host program is "C:\Drv\spoolsv.exe"), so bare font-file names and
// extension modules are found there too.
//
// Ownership: every builder's answer is the caller's. Threads: one test
// thread sets up; the driver data is then used as the driver's rules say.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/driver_context.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_os_factory.h"
#include "tests/support/test_support.h"

class GAttributeComposite;
class GDriverServer;
class GMediaPool;
class GPeripheralComposite;
class GResourceMappingList;
class MPersistentComposite;
class MPersistentObject;

namespace testing_support {

inline constexpr char16_t kFixturePrinter[] = u"P1";
inline constexpr char16_t kFixtureDriver[] = u"KV Test";
inline constexpr char16_t kFixturePort[] = u"USB001";
inline constexpr char16_t kFixtureDirectory[] = u"C:\\Drv";
inline constexpr char16_t kFixtureDataFile[] = u"C:\\Drv\\KVTEST.DAT";
inline constexpr char kFixtureDataFileName[] = "KVTEST.DAT";
inline constexpr char16_t kFixtureHostProgram[] = u"C:\\Drv\\spoolsv.exe";

// The driver data file's root (an MPersistentComposite keyed 1) holding
// the configuration (353) and the mappings 191, 84 and 194.
MPersistentComposite* BuildFixtureDataFile();
// Its parts: the configuration (a device keyed 353 with the printer object
// 76), the printer object's job settings (198), the default settings they
// hold (359), the media list (189) and the three mapping lists.
GPeripheralComposite* BuildFixtureConfiguration();
GAttributeComposite* BuildFixtureJobSettings();
GAttributeComposite* BuildFixtureDefaults();
GMediaPool* BuildFixtureMediaList();
GResourceMappingList* BuildFixturePaperSizeMapping();
GResourceMappingList* BuildFixtureTrayMap();
GResourceMappingList* BuildFixtureResourceMappings();

// Writes `root` as a driver data file (binary encoding) at `host_path`;
// false when the file cannot be written.
bool SaveDriverDataFile(const MPersistentObject& root, const std::string& host_path);

// Serves kFixtureDirectory from `host_folder` (which must exist), writes
// the data file there (`root`, or the fixture's), names the host program,
// and adds P1 with its driver record to the spooler. True when all of it
// worked. REQUIRES: the host stand-ins were reset (HostFixture).
bool InstallFixturePrinter(const std::string& host_folder, const MPersistentObject* root = nullptr);

// Sets the REG_SZ value `name` (UTF-16 with its terminator) of the
// machine key `path`, made when missing; false when that fails. Document
// starts read the machine's names so.
bool SetMachineText(const char16_t* path, const char16_t* name, const std::u16string& text);

class PrinterFixture : public HostFixture {
 protected:
  PrinterFixture();
  ~PrinterFixture() override;

  void SetUp() override;
  void TearDown() override;

  // P1's driver data, checked out of the driver server on first use (for
  // a handle with every right, which the services then use for its printer
  // data) and kept checked out until the test ends; null when the data
  // file does not load.
  GDriverContext* DriverData();
  // Rewrites the data file; call it before DriverData.
  bool RewriteDataFile(const MPersistentObject& root);
  // The host path of a file of the driver directory.
  std::string HostPath(const std::string& name) const;

  HostOSFactory& Services() { return *services_; }
  GDriverServer* Server() { return server_; }

 private:
  TempPath folder_{"printer"};
  std::unique_ptr<HostOSFactory> services_;
  GDriverServer* server_ = nullptr;
  platform::HANDLE handle_ = nullptr;  // P1 with every right, the context's
  GDriverContext* driver_data_ = nullptr;
  std::uint32_t cookie_ = 0;
};

}  // namespace testing_support
