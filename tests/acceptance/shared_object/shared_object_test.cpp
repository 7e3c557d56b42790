// The library's shared object as the spooler meets it: loaded as
// "C:\Drv\UI.DLL" through the platform's loader, every export is found by
// name, and it answers from P1 of the process's one stand-in spooler; its
// class factory holds every class of the registration list, and a printer's
// data file holding a filter and a record-store handle restores through it.
#include <link.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/device_capabilities.h"
#include "driver/entry_points.h"
#include "driver/library_entry.h"
#include "driver/module_keep_alive.h"
#include "filters/load.h"
#include "filters/nup_filter.h"
#include "foundation/rw/factory.h"
#include "persist/persistent_composite.h"
#include "platform/host/modules.h"
#include "platform/host/threads.h"
#include "store/persistent_composite_on_disk.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/registration_list.h"

namespace testing_support {
namespace {

using namespace support;

using SharedObjectTest = HostFixture;

// And the font objects that stored texts and font databases hold (their
// entry in docs/mended-behaviour.md): handle, implementation, access
// object, and the TrueType reader and implementation, user classes.
// clang-format off
const std::map<RWClassID, const char*> kFontClasses = {
    {851, "GFont"}, {852, "GFontImp"}, {866, "GFontAccess"}, {0x9F00, "GTTFileReader"},
    {0x9F01, "GTTFontImp"}};
// clang-format on

// The class factory inside the loaded object. It exports only the entry
// points, so its factory's functions are found as a debugger finds them:
// at the object's load address plus their offsets in its symbol table
// (DRV_UI_SYMBOLS, what nm lists of the built object).
struct LoadedFactory {
  using Visitor = void (*)(RWClassID, const RWStringID&, bool, void*);
  RWCollectable* (*create_by_id)(RWClassID) = nullptr;
  RWCollectable* (*create_by_name)(const RWStringID&) = nullptr;
  void (*for_each)(Visitor, void*) = nullptr;

  explicit LoadedFactory(const char* path) {
    std::pair<const char*, ElfW(Addr)> base{path, 0};
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* wanted) {
          auto* base = static_cast<std::pair<const char*, ElfW(Addr)>*>(wanted);
          if (std::strcmp(info->dlpi_name, base->first) != 0) return 0;
          base->second = info->dlpi_addr;
          return 1;
        },
        &base);
    const std::map<std::string, void**> wanted = {
        {"_Z15CreateByClassIdt", reinterpret_cast<void**>(&create_by_id)},
        {"_Z16CreateByStringIdRK13RWBasicStringIcE", reinterpret_cast<void**>(&create_by_name)},
        {"_Z19ForEachFactoryEntryPFvtRK13RWBasicStringIcEbPvES3_",
         reinterpret_cast<void**>(&for_each)}};
    std::ifstream symbols(DRV_UI_SYMBOLS);
    for (std::string offset, kind, name; base.second && symbols >> offset >> kind >> name;) {
      if (auto found = wanted.find(name); found != wanted.end())
        *found->second = reinterpret_cast<void*>(base.second + std::stoull(offset, nullptr, 16));
    }
  }
};

// What a factory registers: its ids and its names.
struct Registered {
  std::set<int> ids;
  std::set<std::string> names;
};

// Asks the loaded object's factory for what it registers, and has it make
// each of `classes` by id and by name; 773 makes nothing.
void CheckLoadedFactory(const std::map<RWClassID, const char*>& classes) {
  const LoadedFactory factory(DRV_UI_PATH);
  ASSERT_TRUE(factory.create_by_id && factory.create_by_name && factory.for_each);
  Registered listed{{}, {"GHalftone"}}, seen;  // 790's second class keeps its name
  for (const auto& [id, name] : classes) {
    listed.ids.insert(id);
    listed.names.insert(name);
  }
  factory.for_each(
      [](RWClassID id, const RWStringID& name, bool by_id, void* into) {
        auto* registered = static_cast<Registered*>(into);
        if (by_id) registered->ids.insert(id);
        if (!by_id) registered->names.insert(std::string(name.Data(), name.Length()));
      },
      &seen);
  EXPECT_EQ(seen.ids, listed.ids);
  EXPECT_EQ(seen.names, listed.names);
  for (const auto& [id, name] : classes) {
    std::unique_ptr<RWCollectable> by_id(factory.create_by_id(id));
    std::unique_ptr<RWCollectable> by_name(factory.create_by_name(RWStringID(name)));
    EXPECT_EQ(by_id ? by_id->ClassId() : 0, id == 773 ? 0 : id) << name;
    EXPECT_EQ(by_name ? by_name->ClassId() : 0, id == 773 ? 0 : id) << name;
  }
  std::unique_ptr<RWCollectable> halftone(factory.create_by_name(RWStringID("GHalftone")));
  EXPECT_EQ(halftone ? halftone->ClassId() : 0, 790);
}

// One load per process: a freed object stays mapped (it is linked
// nodelete), so a second load would meet the statics of the first, holding
// handles that the host's reset between tests has taken away.
TEST_F(SharedObjectTest, AnswersTheSpoolerThroughTheLoader) {
  platform::UseManualWaitClock();
  TempPath folder("shared_object");
  std::filesystem::create_directory(folder.str());
  // P1's data file: its model also holds a page filter and a record-store
  // handle, which the library must read whole for P1 to answer from it.
  FiltersLoad();
  std::unique_ptr<MPersistentComposite> root(BuildFixtureDataFile());
  root->AddChild(new GNupFilter);
  root->AddChild(new MPersistentCompositeOnDisk);
  ASSERT_TRUE(InstallFixturePrinter(folder.str(), root.get()));
  FiltersUnload();
  // The program is its own module, so the driver's path finds the mapping.
  ASSERT_TRUE(platform::SetOwnModulePath(kFixtureHostProgram));
  ASSERT_TRUE(platform::MapSharedObject(u"UI.DLL", DRV_UI_PATH));
  platform::HMODULE library = platform::LoadLibraryW(u"C:\\Drv\\UI.DLL");
  std::istringstream exports(DRV_UI_EXPORTS);
  for (auto name = std::istream_iterator<std::string>(exports); name != decltype(name)(); ++name)
    EXPECT_NE(platform::GetProcAddress(library, name->c_str()), nullptr) << *name;
  auto* dll_main =
      reinterpret_cast<decltype(&DllMain)>(platform::GetProcAddress(library, "DllMain"));
  ASSERT_EQ(dll_main(library, kDllProcessAttach, nullptr), 1);
  auto* capabilities = reinterpret_cast<decltype(&DrvDeviceCapabilities)>(
      platform::GetProcAddress(library, "DrvDeviceCapabilities"));
  EXPECT_EQ(capabilities(nullptr, kFixturePrinter, kDcVersion, nullptr, nullptr), 0x0401u);
  EXPECT_EQ(capabilities(nullptr, kFixturePrinter, kDcDriver, nullptr, nullptr), 0x18u);
  // P1's model gives its one paper, Letter; without its model the query fails.
  EXPECT_EQ(capabilities(nullptr, kFixturePrinter, kDcPapers, nullptr, nullptr), 1u);
  std::map<RWClassID, const char*> every = kRegistrationList;
  every.insert(kFontClasses.begin(), kFontClasses.end());
  CheckLoadedFactory(every);
  EXPECT_EQ(dll_main(library, kDllProcessDetach, nullptr), 1);
  // The keep-alive's watcher gives its reference back after idle periods.
  for (int i = 0; i < 4 && platform::LiveThreadCount() != 0; ++i) {
    ASSERT_TRUE(platform::AwaitThreadsIdle());
    platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
  }
  EXPECT_EQ(platform::FreeLibrary(library), 1);
  EXPECT_EQ(platform::GetModuleCounters(u"UI.DLL").references, 0u);
}

}  // namespace
}  // namespace testing_support
