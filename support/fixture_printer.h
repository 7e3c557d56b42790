// The fixture printer "P1", on which the tests, the demonstrations and the
// benchmarks run: driver "KV Test", port "USB001", whose driver data file
// holds the settings of the import acceptance test (fixture_settings.h)
// grown with the keys the driver reads. fixture_printer.md lists every key
// with what reads it; later work adds keys there, and here, only.
//
// The builders make the file and its parts; InstallFixturePrinter writes
// the file and adds P1 to the platform's stand-in spooler, for callers
// that set up their own services (the tests' PrinterFixture,
// tests/support/printer_fixture.h, does it before each test).
//
// Paths: the driver directory is kFixtureDirectory ("C:\Drv"), served from
// a host folder; the services' module directory is the same (the host
// program is "C:\Drv\spoolsv.exe"), so bare font-file names and extension
// modules are found there too.
//
// Ownership: every builder's answer is the caller's. Threads: one thread
// sets up.
#pragma once

#include <string>

class GAttributeComposite;
class GMediaPool;
class GPeripheralComposite;
class GResourceMappingList;
class MPersistentComposite;
class MPersistentObject;

namespace support {

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
// false when the file cannot be written, with the system's reason (errno)
// in `*system_error` when it gave one, else 0.
bool SaveDriverDataFile(const MPersistentObject& root, const std::string& host_path,
                        int* system_error = nullptr);

// Serves kFixtureDirectory from `host_folder` (which must exist), writes
// the data file there (`root`, or the fixture's), names the host program,
// and adds P1 with its driver record to the spooler. True when all of it
// worked; else `*system_error` as SaveDriverDataFile's for the data file,
// 0 for the other steps. REQUIRES: the host stand-ins were reset
// (platform/host/reset.h).
bool InstallFixturePrinter(const std::string& host_folder, const MPersistentObject* root = nullptr,
                           int* system_error = nullptr);

// Sets the REG_SZ value `name` (UTF-16 with its terminator) of the
// machine key `path`, made when missing; false when that fails. Document
// starts read the machine's names so.
bool SetMachineText(const char16_t* path, const char16_t* name, const std::u16string& text);

}  // namespace support
