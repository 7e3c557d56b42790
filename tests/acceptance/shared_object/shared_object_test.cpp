// The library's shared object as the spooler meets it: loaded as
// "C:\Drv\UI.DLL" through the platform's loader, every export is found by
// name, and it answers from P1 of the process's one stand-in spooler; its
// class factory holds every class of the registration list, and a printer's
// data file holding a filter and a record-store handle restores through it.
#include <elf.h>
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

namespace testing_support {
namespace {

using namespace support;

using SharedObjectTest = HostFixture;

// Every registration of the library, by class id and class name (790 is
// registered by two classes, GHalftoneEnhanced first; 773, the counted
// pointer, has a creator that makes nothing).
const std::map<RWClassID, const char*> kRegistrationList = {
    {3, "GLocaleInfo"},
    {4, "GBinaryData"},
    {53, "GRGBColor"},
    {101, "GGraphicBundle"},
    {102, "GFillMode"},
    {103, "GTransformAttribute"},
    {152, "GColorPaint"},
    {201, "GPen"},
    {202, "GNoPen"},
    {203, "GDashedPen"},
    {251, "GBrush"},
    {252, "GNoBrush"},
    {301, "GCap"},
    {351, "GJoint"},
    {352, "GMiterJoint"},
    {401, "GRasterOperation"},
    {501, "GClipToRectangle"},
    {502, "GClipToPath"},
    {503, "GClipToPage"},
    {504, "GClipToSingleRectangle"},
    {551, "GBitmap"},
    {552, "GBitmapImp"},
    {553, "GPaletteTable"},
    {603, "GPathGraphic"},
    {604, "GRasterGraphic"},
    {605, "GCommandComposite"},
    {606, "GCommandCompositeOnDisk"},
    {607, "GGraphicComposite"},
    {608, "GPassThroughCommand"},
    {609, "GPreScaledRasterGraphic"},
    {610, "GDownloadHeaderCommand"},
    {653, "GPolyBezierGraphic"},
    {657, "GPolygonGraphic"},
    {659, "GRectangleGraphic"},
    {705, "GDocumentStart"},
    {706, "GDocumentEnd"},
    {709, "GPageStart"},
    {710, "GPageEnd"},
    {712, "GNullCommand"},
    {713, "GJobAbort"},
    {714, "GErrorCommand"},
    {715, "GNoCommand"},
    {752, "MPersistentComposite"},
    {757, "GAttributeComposite"},
    {758, "GState"},
    {759, "GConfiguration"},
    {761, "GPrinter"},
    {762, "GRangeAttribute"},
    {763, "GValueAttribute"},
    {764, "GEnumAttribute"},
    {767, "GVexalon"},
    {768, "GPostScript"},
    {769, "GWqm"},
    {770, "GPeripheralComposite"},
    {771, "MPersistentAssociation"},
    {772, "MAssociationList"},
    {773, "GCountedPtr"},
    {774, "GDitherMatrix"},
    {775, "GCustomMediaSize"},
    {776, "GStringAttribute"},
    {777, "GPersistableLong"},
    {778, "GPersistableULong"},
    {779, "GPeripheralProxy"},
    {780, "GDynamicLibrary"},
    {781, "MPersistentCompositeOnDisk"},
    {782, "MPersistentCompositeOnDiskImp"},
    {783, "GRecord"},
    {784, "GRecordProxy"},
    {785, "GRecordComposite"},
    {786, "GDisplayString"},
    {787, "GDisplayStringAttribute"},
    {788, "GZdl5e"},
    {789, "GValue32Attribute"},
    {790, "GHalftoneEnhanced"},
    {791, "GColorMap"},
    {792, "GTintvectorAttribute"},
    {794, "GBookletComposite"},
    {796, "GOptMediaComposite"},
    {797, "GTintvectorEnhancedAttribute"},
    {798, "GNeutralGrays"},
    {799, "GEdgeControl"},
    {800, "GSRGBColor"},
    {802, "GTextString"},
    {803, "GTextEscapements"},
    {804, "GTextStringGraphic"},
    {806, "GDownloadFace"},
    {855, "GDeviceFontDescription"},
    {856, "GDeviceFontList"},
    {859, "GTTFontFile"},
    {869, "GGlyphCache"},
    {870, "GGlyphCacheNode"},
    {872, "GTTTableCache"},
    {873, "GDeviceFontListComposite"},
    {956, "GPMLDescriptor"},
    {957, "GPLMProvider"},
    {1001, "GTray"},
    {1002, "GMedia"},
    {1003, "GCapabilities"},
    {1004, "GResourceMapping"},
    {1005, "GResourceMappingList"},
    {1006, "GMediaPool"},
    {1008, "GSelectionString"},
    {1009, "GBin"},
    {1010, "GPaperHandlingDevice"},
    {1012, "GFormToTrayDatabase"},
    {1013, "GFormToTrayAssociation"},
    {1014, "GMarginPool"},
    {1051, "GPMDVersionInfo"},
    {1101, "GNupFilter"},
    {1102, "GWatermarkFilter"},
    {1103, "GFitToSizeFilter"},
    {1104, "GScalePageFilter"},
    {1105, "GBookletFilter"},
    {1107, "GTintvectorFilter"},
    {1108, "GEmulateMarginsFilter"},
    {1109, "GReverseFilter"},
    {1110, "GManualDuplexFilter"},
    {1111, "GBackCoverFilter"},
    {1112, "GReducingFilter"},
    {1113, "GCopyPageFilter"},
    {1114, "GLetterheadFilter"},
    {1115, "GAAFilter1"},
    {1116, "GAAFilter2"},
    {1117, "GSymetricalDuplexFilter"},
    {1118, "GFrontCoverFilter"},
    {1119, "GLastPageFilter"},
    {1120, "GFaceUpFilter"},
    {1201, "GTintvectorEnhancedAttributeVer2"},
    {1202, "GSRGBExtension"},
    {0x8003, "RWBTree"},
    {0x8004, "RWBTreeDictionary"},
    {0x8007, "RWCollectable"},
    {0x8008, "RWCollectableAssociation"},
    {0x8025, "RWIdentitySet"},
    {0x802B, "RWSet"},
    {0x8033, "RWSlistCollectables"},
    {0x8036, "RWSlistCollectablesStack"},
    {0x805E, "RWHashTable"},
    {0x805F, "RWCollectableIDAssociation"}};

// And the font objects that stored texts and font databases hold
// (docs/mended-behaviour.md, the font objects): the handle, its
// implementation and access object, and the TrueType reader and
// implementation, user classes stored with their names.
const std::map<RWClassID, const char*> kFontClasses = {{851, "GFont"},
                                                       {852, "GFontImp"},
                                                       {866, "GFontAccess"},
                                                       {0x9F00, "GTTFileReader"},
                                                       {0x9F01, "GTTFontImp"}};

// The class factory inside the loaded object. It exports only the entry
// points, so its factory's functions are found as a debugger finds them:
// by name in the file's symbol table, at the object's load address.
struct LoadedFactory {
  using Visitor = void (*)(RWClassID, const RWStringID&, bool, void*);
  RWCollectable* (*create_by_id)(RWClassID) = nullptr;
  RWCollectable* (*create_by_name)(const RWStringID&) = nullptr;
  void (*for_each)(Visitor, void*) = nullptr;

  explicit LoadedFactory(const char* path) {
    // The object's load address, from the loader's list of what is mapped.
    std::pair<const char*, ElfW(Addr)> base{path, 0};
    const bool mapped = dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* wanted) {
          auto* base = static_cast<std::pair<const char*, ElfW(Addr)>*>(wanted);
          if (std::strcmp(info->dlpi_name, base->first) != 0) return 0;
          base->second = info->dlpi_addr;
          return 1;
        },
        &base);
    if (!mapped) return;
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    std::string image(static_cast<std::size_t>(file.tellg()), '\0');
    file.seekg(0).read(image.data(), static_cast<std::streamsize>(image.size()));
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(image.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
      if (sections[i].sh_type != SHT_SYMTAB) continue;
      const auto* symbols =
          reinterpret_cast<const Elf64_Sym*>(image.data() + sections[i].sh_offset);
      const char* names = image.data() + sections[sections[i].sh_link].sh_offset;
      for (std::size_t k = 0; k < sections[i].sh_size / sizeof(Elf64_Sym); ++k) {
        void* at = reinterpret_cast<void*>(base.second + symbols[k].st_value);
        const std::string_view name = names + symbols[k].st_name;
        if (name == "_Z15CreateByClassIdt")
          create_by_id = reinterpret_cast<decltype(create_by_id)>(at);
        if (name == "_Z16CreateByStringIdRK13RWBasicStringIcE")
          create_by_name = reinterpret_cast<decltype(create_by_name)>(at);
        if (name == "_Z19ForEachFactoryEntryPFvtRK13RWBasicStringIcEbPvES3_")
          for_each = reinterpret_cast<decltype(for_each)>(at);
      }
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
  Registered listed{{}, {"GHalftone"}};  // 790's second class keeps its name
  for (const auto& [id, name] : classes) {
    listed.ids.insert(id);
    listed.names.insert(name);
  }
  Registered seen;
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

// One load per process: a freed object stays mapped (its unique symbols
// keep it), so a second load would meet the statics of the first, holding
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
