// The library as the spooler meets it: the shared object exports exactly
// the library entry, the printer-interface entry points and the plug-in's
// entry points, by name with C linkage (read from the file's dynamic symbol
// table); mapped to the driver module's Windows name it loads through the
// platform's loader, every export is found through GetProcAddress, and its
// calls answer from P1, which this program installed in the one stand-in
// spooler of the process.
#include <elf.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "driver/device_capabilities.h"
#include "driver/library_entry.h"
#include "lang/joblang_zdl5/load.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/host/threads.h"
#include "tests/support/printer_fixture.h"

namespace testing_support {
namespace {

using platform::BOOL;
using platform::DWORD;
using platform::FARPROC;
using platform::HANDLE;
using platform::HMODULE;

// What the spooler and the property-sheet hook ask for by name.
const std::set<std::string> kExports = {"DllMain",
                                        "DrvDeviceCapabilities",
                                        "DrvDocumentProperties",
                                        "DrvDocumentPropertySheets",
                                        "DrvAdvancedDocumentProperties",
                                        "DrvConvertDevMode",
                                        "DrvDevicePropertySheets",
                                        "PrinterProperties",
                                        "DevQueryPrintEx",
                                        "DrvUpgradePrinter",
                                        "DrvPrinterEvent",
                                        "DrvDocumentEvent",
                                        "KVDrv_RegisterExtension",
                                        "UI_INTERFACEVERSION",
                                        "UI_INITIALIZE",
                                        "UI_DESTROY",
                                        "UI_CONFIGTOSETTINGS",
                                        "UI_SETTINGSTOCONFIG"};

constexpr char16_t kDriverModule[] = u"C:\\Drv\\UI.DLL";

template <typename Record>
std::optional<Record> ReadAt(const std::string& bytes, std::uint64_t offset) {
  if (offset > bytes.size() || sizeof(Record) > bytes.size() - offset) return std::nullopt;
  Record record;
  std::memcpy(&record, bytes.data() + offset, sizeof(Record));
  return record;
}

// The names that the dynamic symbol table of the 64-bit ELF file `bytes`
// defines with global or weak binding; nothing when the file is not one or
// a table runs past its end.
std::optional<std::set<std::string>> ExportedNames(const std::string& bytes) {
  auto header = ReadAt<Elf64_Ehdr>(bytes, 0);
  if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
      header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_shentsize != sizeof(Elf64_Shdr)) {
    return std::nullopt;
  }
  auto section = [&](std::uint64_t index) {
    return ReadAt<Elf64_Shdr>(bytes, header->e_shoff + index * sizeof(Elf64_Shdr));
  };
  for (std::uint64_t i = 0; i < header->e_shnum; ++i) {
    auto symbols = section(i);
    if (!symbols || symbols->sh_type != SHT_DYNSYM) continue;
    auto names = section(symbols->sh_link);
    if (!names || names->sh_offset > bytes.size() ||
        names->sh_size > bytes.size() - names->sh_offset)
      return std::nullopt;
    std::set<std::string> exported;
    for (std::uint64_t at = 0; at + sizeof(Elf64_Sym) <= symbols->sh_size;
         at += sizeof(Elf64_Sym)) {
      auto symbol = ReadAt<Elf64_Sym>(bytes, symbols->sh_offset + at);
      if (!symbol || symbol->st_name >= names->sh_size) return std::nullopt;
      const int binding = ELF64_ST_BIND(symbol->st_info);
      if (symbol->st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
      const char* name = bytes.data() + names->sh_offset + symbol->st_name;
      exported.emplace(name, strnlen(name, names->sh_size - symbol->st_name));
    }
    return exported;
  }
  return std::nullopt;
}

TEST(SharedObjectTest, ExportsExactlyItsEntryPoints) {
  const auto exported = ExportedNames(ReadAll(DRV_UI_MODULE_PATH));
  ASSERT_TRUE(exported);
  EXPECT_EQ(*exported, kExports);
}

class SharedObjectLoadTest : public HostFixture {
 protected:
  template <typename Function>
  Function* Entry(const char* name) {
    return reinterpret_cast<Function*>(platform::GetProcAddress(library_, name));
  }

  HMODULE library_ = nullptr;
};

TEST_F(SharedObjectLoadTest, AnswersTheSpoolerThroughTheLoader) {
  // The program's own model writes P1's data file; the library reads it
  // with its own.
  JobLanguageLoad();
  platform::UseManualWaitClock();
  TempPath folder("shared_object");
  std::filesystem::create_directory(folder.str());
  ASSERT_TRUE(InstallFixturePrinter(folder.str()));
  // The program is the process's own module, so the driver's name resolves
  // to the shared object mapped to its base name.
  ASSERT_TRUE(platform::SetOwnModulePath(kFixtureHostProgram));
  ASSERT_TRUE(platform::MapSharedObject(u"UI.DLL", DRV_UI_MODULE_PATH));
  library_ = platform::LoadLibraryW(kDriverModule);
  ASSERT_NE(library_, nullptr) << platform::GetLastError();

  std::set<FARPROC> found;
  for (const std::string& name : kExports) {
    found.insert(platform::GetProcAddress(library_, name.c_str()));
    EXPECT_FALSE(found.count(nullptr)) << name;
  }
  EXPECT_EQ(found.size(), kExports.size());

  auto* dll_main = Entry<BOOL(HMODULE, DWORD, void*)>("DllMain");
  ASSERT_EQ(dll_main(library_, kDllProcessAttach, nullptr), 1);
  HANDLE printer = nullptr;
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  ASSERT_EQ(platform::OpenPrinterW(kFixturePrinter, &printer, &all), 1);
  auto* capabilities =
      Entry<DWORD(HANDLE, const char16_t*, platform::WORD, void*, const platform::DevModeW*)>(
          "DrvDeviceCapabilities");
  // The device mode's specification and driver versions (bytes 64-67).
  EXPECT_EQ(capabilities(printer, kFixturePrinter, kDcVersion, nullptr, nullptr), 0x0401u);
  EXPECT_EQ(capabilities(printer, kFixturePrinter, kDcDriver, nullptr, nullptr), 0x18u);
  // Refused before any context; the last error is the program's thread's.
  platform::SetLastError(0);
  EXPECT_EQ(Entry<BOOL(DWORD, platform::BYTE*)>("DrvUpgradePrinter")(2, nullptr), 0);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter);
  EXPECT_EQ(Entry<std::uint32_t()>("UI_INTERFACEVERSION")(), 2u);
  platform::ClosePrinter(printer);
  EXPECT_EQ(dll_main(library_, kDllProcessDetach, nullptr), 1);

  // The keep-alive's watcher gives its reference back once its periods
  // pass idle.
  for (int i = 0; i < 8 && platform::LiveThreadCount() != 0; ++i) {
    ASSERT_TRUE(platform::AwaitThreadsIdle());
    platform::AdvanceWaitClock(500);
  }
  ASSERT_TRUE(platform::AwaitThreadsIdle());
  EXPECT_EQ(platform::LiveThreadCount(), 0u);
  EXPECT_EQ(platform::GetModuleCounters(kDriverModule).references, 1u);
  EXPECT_EQ(platform::FreeLibrary(library_), 1);
  EXPECT_EQ(platform::GetModuleCounters(kDriverModule).references, 0u);
  JobLanguageUnload();
}

}  // namespace
}  // namespace testing_support
