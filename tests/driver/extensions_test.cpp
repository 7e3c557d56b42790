// The extension interface over printer P1: registration and its codes, the
// settings copy-out, the exports' handles, the value dispatcher and the
// built-in user-interface manager through the sheet hook's module.
#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/paper_handling_device.h"
#include "driver/driver_data_imp.h"
#include "driver/extension_exports.h"
#include "driver/extension_manager.h"
#include "driver/extension_values.h"
#include "driver/model_lookup.h"
#include "driver/property_sheet_hook.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/state.h"
#include "persist/persistent_association.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"
#include "platform/host/modules.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/test_extensions.h"

extern GDriverDataImp* ExtensionFuzzTarget;
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using namespace testing_support;

class Extensions : public PrinterFixture {
 protected:
  GDriverContext* Data() { return DriverData(); }
  GExtensionManager& Manager() { return *Data()->GetExtensionManager(); }
  GAttributeComposite* Defaults() { return Data()->EnsureDefaultSettings(); }
  GAttributeComposite* List(std::uint32_t part, std::uint32_t list) {
    return FindComposite(FindComposite(Defaults(), part), list);
  }
  // The keys of `entry` in order, with each value's number or text.
  static std::string Describe(MPersistentObject* entry) {
    std::string out;
    auto* composite = dynamic_cast<GAttributeComposite*>(entry);
    for (RWSize i = 0; composite && i < composite->Children().Count(); ++i) {
      MPersistentObject* child = composite->Children()[i].Get();
      out += std::to_string(child->Key()) + "=";
      if (auto* text = dynamic_cast<GStringAttribute*>(child)) out += text->GetValue().Data();
      if (auto* value = dynamic_cast<GValueAttribute*>(child))
        out += std::to_string(value->GetValue());
      out += " ";
    }
    return out;
  }
  std::uint16_t Register(int slot, const char* name, std::uint32_t flags = 0,
                         const std::string& defaults = "abc") {
    std::string module = "ext" + std::to_string(slot) + ".dll";
    InstallTestExtension(slot, std::u16string(module.begin(), module.end()), "Id", name, flags,
                         module.c_str(), defaults);
    return static_cast<std::uint16_t>(Data()->RegisterExtension(module.c_str(), 0));
  }
};

// Hand-derived from the record's layout: each text NUL-padded to its field
// (40, 40, 32), the flags as little-endian u32, then 30, 30, 40, 60.
TEST_F(Extensions, DescriptionBytesAndStoredEntries) {
  ExtensionDescription d{};
  const char* texts[] = {"Id", "Ext", "D", "e.dll", "", "x", "y"};
  for (std::size_t i = 0; i < 7; ++i)
    SetDescriptionText(d, kExtensionTextFields[i], texts[i]);
  SetDescriptionFlags(d, 4);
  std::vector<unsigned char> want;
  auto text = [&](const char* s, std::size_t size) {
    std::string padded(s);
    padded.resize(size, '\0');
    want.insert(want.end(), padded.begin(), padded.end());
  };
  text("Id", 40), text("Ext", 40), text("D", 32);
  want.insert(want.end(), {0x04, 0x00, 0x00, 0x00});
  text("e.dll", 30), text("", 30), text("x", 40), text("y", 60);
  ASSERT_EQ(want.size(), 276u);
  EXPECT_EQ(std::memcmp(&d, want.data(), 276), 0);

  // A text filling its field keeps size - 1 bytes and a NUL; read back
  // without a NUL, only the field.
  SetDescriptionText(d, kExtensionTextFields[2], std::string(40, 'q').c_str());
  EXPECT_EQ(DescriptionText(d, kExtensionTextFields[2]).Length(), 31u);
  std::memset(d.text, 'z', 32);
  EXPECT_EQ(DescriptionText(d, kExtensionTextFields[2]).Length(), 32u);

  ASSERT_EQ(Register(0, "Ext", 4, "abc"), 0);
  EXPECT_EQ(Describe(List(368, 987)->Children()[0].Get()),
            "988=Id 989=Ext 990=x 996=4 991=ext0.dll 992=x 993=x 994=x 995=0 ");
  EXPECT_EQ(Describe(List(367, 997)->Children()[0].Get()), "998=abc 995=0 ");
  EXPECT_EQ(TestExtensionAt(0).log.back(), "installed");
}

TEST_F(Extensions, RegistrationCodes) {
  EXPECT_EQ(Register(0, "A"), 0);
  EXPECT_EQ(Register(1, "A"), 13);
  InstallTestExtension(1, u"ext1.dll", "Id", "B", 0, "e.dll", "");
  TestExtensionAt(1).describes = false;
  EXPECT_EQ(Data()->RegisterExtension("ext1.dll", 0), 14u);
  InstallTestExtension(1, u"ext1.dll", "Id", "B", 0, "e.dll", "");
  SetDescriptionText(TestExtensionAt(1).description, kExtensionTextFields[2], "");
  EXPECT_EQ(Data()->RegisterExtension("ext1.dll", 0), 14u);
  EXPECT_EQ(Register(1, "B", 0, std::string(51, 's')), 15);
  EXPECT_EQ(Register(2, "C", 0, ""), 0);  // an empty settings entry
  EXPECT_EQ(Register(3, "D"), 0);
  EXPECT_EQ(Register(4, "E"), 0);
  EXPECT_EQ(Register(1, "F"), 9);
  EXPECT_EQ(TestExtensionAt(1).log.back(), "describe");  // not installed
  EXPECT_EQ(List(368, 987)->Children().Count(), 4u);
  EXPECT_EQ(Data()->RegisterExtension("nothing.dll", 0), 1u);

  // Unregistering index 1 of four renumbers both lists.
  InstallTestExtension(2, u"ext2.dll", "Id", "B", 0, "e.dll", "");
  EXPECT_EQ(Data()->RegisterExtension("ext2.dll", 1), 10u);
  InstallTestExtension(2, u"ext2.dll", "Id", "C", 0, "e.dll", "");
  EXPECT_EQ(Data()->RegisterExtension("ext2.dll", 1), 0u);
  EXPECT_EQ(TestExtensionAt(2).log.back(), "removed");
  const auto lists = [&] {
    std::string names;
    for (RWSize i = 0; i < List(368, 987)->Children().Count(); ++i)
      names += Describe(List(368, 987)->Children()[i].Get()).substr(7, 6) +
               std::to_string(SignedValueOr(List(368, 987)->Children()[i].Get(), 995, -1)) + " ";
    for (RWSize i = 0; i < List(367, 997)->Children().Count(); ++i)
      names += Describe(List(367, 997)->Children()[i].Get());
    return names;
  };
  EXPECT_EQ(lists(), "989=A 0 989=D 1 989=E 2 998=abc 995=0 998=abc 995=1 998=abc 995=2 ");
  // An entry without its index is the one at its place in the list.
  delete static_cast<GAttributeComposite*>(List(368, 987)->Children()[1].Get())->RemoveByKey(995);
  EXPECT_EQ(Data()->GDriverDataImp::RegisterExtension("ext3.dll", 1), 0u);
  EXPECT_EQ(TestExtensionAt(3).log.back(), "removed");
  EXPECT_EQ(lists(), "989=A 0 989=E 1 998=abc 995=0 998=abc 995=1 ");

  SetValueIfPresent(Data()->GetJobSettings(), 984, 0);
  EXPECT_EQ(Data()->RegisterExtension("", 0), 0u);
  EXPECT_EQ(Data()->RegisterExtension("ext0.dll", 0), 5u);
}

// P1's defaults hold the shipped placeholder lists (one entry, index 100).
TEST_F(Extensions, PlaceholderListsAreReplaced) {
  ASSERT_EQ(SignedValueOr(List(368, 987), 995, -1), 100);
  InstallTestExtension(0, u"ext0.dll", "Id", "A", 0, "u.dll", "abc");
  ASSERT_EQ(Data()->GDriverDataImp::RegisterExtension("ext0.dll", 0), 0u);
  for (GAttributeComposite* list : {List(368, 987), List(367, 997)}) {
    ASSERT_EQ(list->Children().Count(), 1u);
    EXPECT_EQ(SignedValueOr(list->Children()[0].Get(), 995, -1), 0);
  }
}

TEST_F(Extensions, TrayAndBinMaps) {
  const RWWString os_name(kOSTrayMapName), wqm_name(kWQMBinMapName);
  InstallTestExtension(0, u"ext0.dll", "Id", "T", kExtHasTrayMap, "ext0.dll", "");
  TestExtension& ext = TestExtensionAt(0);
  AppendMapRecord<ExtensionTrayItem>(ext.map_records[0], "Ext Feeder", 3,
                                     {{"Top", 0, 7}, {"Deep", 19, 8}, {"Off", 20, 9}});
  ext.map_count[0] = 1;
  ASSERT_EQ(Data()->RegisterExtension("ext0.dll", 0), 0u);
  std::unique_ptr<GResourceMappingList> os(
      LoadNamedObjectAs<GResourceMappingList>(Data(), os_name));
  ASSERT_TRUE(os);
  // (10550 + code, 256 + id, id) with id = code + 32; code 20 is id 52.
  for (auto [second, string_id, system] : {std::tuple{32, 10550u, 288}, {51, 10569u, 307}}) {
    GResourceMapping* mapping = os->FindBySecondNumber(static_cast<std::int16_t>(second));
    ASSERT_TRUE(mapping) << second;
    EXPECT_EQ(mapping->StringResourceId(), string_id);
    EXPECT_EQ(mapping->SystemNumber(), system);
  }
  EXPECT_FALSE(os->FindBySecondNumber(52));
  std::unique_ptr<MAssociationList> pdl(
      LoadNamedObjectAs<MAssociationList>(Data(), RWWString(kPDLTrayMapName)));
  GValueAttribute key(51, 0);
  auto* pdl_tray = pdl ? dynamic_cast<GValueAttribute*>(pdl->FindValue(&key)) : nullptr;
  EXPECT_TRUE(pdl_tray && pdl_tray->GetValue() == 8);
  GStringAttribute* source = FindStringAttribute(FindComposite(Defaults(), 365), 315);
  EXPECT_TRUE(source && source->GetValue() == "Ext Feeder");
  // The installed options take the stored pool and install the device.
  ASSERT_EQ(Data()->ApplyInstalledOptions(nullptr), 1);
  auto find_device = [&](const char* name) -> GPaperHandlingDevice* {
    GAttributeComposite* pool = Data()->GetBinPool();
    for (RWSize i = 0; pool && i < pool->Children().Count(); ++i) {
      auto* device = dynamic_cast<GPaperHandlingDevice*>(pool->Children()[i].Get());
      RWCString held;
      if (device && device->GetName(held) == name) return device;
    }
    return nullptr;
  };
  EXPECT_TRUE(find_device("Ext Feeder") && find_device("Ext Feeder")->IsInstalled());

  ASSERT_EQ(Data()->RegisterExtension("ext0.dll", 1), 0u);
  os.reset(LoadNamedObjectAs<GResourceMappingList>(Data(), os_name));
  EXPECT_FALSE(os->FindBySecondNumber(32));
  source = FindStringAttribute(FindComposite(Defaults(), 365), 315);
  EXPECT_EQ(source->GetValue(), "");
  ASSERT_EQ(Data()->ApplyInstalledOptions(nullptr), 1);
  EXPECT_FALSE(find_device("Ext Feeder"));

  // Both maps, the tray map failing with 5: the bins are applied, 5 comes
  // back.
  // The printer has no job-language bin map: 8 until one is stored.
  InstallTestExtension(1, u"ext1.dll", "Id", "B", kExtHasTrayMap | kExtHasBinMap, "ext1.dll", "");
  TestExtension& both = TestExtensionAt(1);
  both.map_result[0] = 5;
  AppendMapRecord<ExtensionBinItem>(both.map_records[1], "Ext Stacker", 1,
                                    {{"Face Up", 1, 0, "UP"}});
  both.map_count[1] = 1;
  EXPECT_EQ(Data()->RegisterExtension("ext1.dll", 0), 5u);
  both.map_result[0] = 0;
  InstallTestExtension(2, u"ext2.dll", "Id", "C", kExtHasBinMap, "ext2.dll", "");
  TestExtensionAt(2).map_records[1] = both.map_records[1];
  TestExtensionAt(2).map_count[1] = 1;
  EXPECT_EQ(Data()->RegisterExtension("ext2.dll", 0), 8u);
  MAssociationList empty;
  ASSERT_NE(GOSFactory::Instance()->StoreNamedObject(Data(), wqm_name, &empty), 0);
  EXPECT_EQ(Data()->RegisterExtension("ext2.dll", 0), 0u);
  std::unique_ptr<MAssociationList> wqm(LoadNamedObjectAs<MAssociationList>(Data(), wqm_name));
  GValueAttribute bin_key(31, 0);
  auto* bin = wqm ? dynamic_cast<GSelectionString*>(wqm->FindValue(&bin_key)) : nullptr;
  EXPECT_TRUE(bin && bin->Text() == "UP");
}

// The settings copy-out, the exports' versions and their handles.
TEST_F(Extensions, CopyOutAndHandles) {
  ASSERT_EQ(Register(0, "A", 0, "abc"), 0);
  ASSERT_EQ(Register(1, "B", 0, ""), 0);
  Manager().LoadJobExtensions(nullptr);
  struct Case {
    const char* name;
    std::uint16_t size, code;
    const char* bytes;
  } cases[] = {{"A", 3, 0, "abc#"},
               {"A", 2, 2, "ab##"},
               {"A", 10, 11, "abc#"},
               {"B", 10, 10, "####"},
               {"Z", 10, 10, "####"}};
  for (const Case& c : cases) {
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(KVDrv_GetExtSettings(buffer, c.size, c.name, &Manager()), c.code) << c.name;
    EXPECT_EQ(std::string(buffer, 4), c.bytes) << c.name << c.size;
  }
  int not_a_manager = 0;
  char buffer[4];
  std::uint16_t out = 7;
  EXPECT_EQ(KVDrv_GetExtSettings(buffer, 4, "A", &not_a_manager), 1);
  EXPECT_EQ(KVDrv_GetValue(240, &out, &not_a_manager), 1);
  EXPECT_EQ(KVDrv_UIGetValue(240, &out, &not_a_manager), 1);
  EXPECT_EQ(KVDrv_UISetExtSettings("x", 1, "A", nullptr), 1);
  EXPECT_EQ(KVDrv_SetExtSettings("x", 1, "A", &Manager()), 5);

  void* table[3] = {};
  EXPECT_EQ(KVDrv_QueryInterface(49, table), 5);
  EXPECT_EQ(table[0], nullptr);
  EXPECT_EQ(KVDrv_QueryInterface(50, table), 0);
  EXPECT_EQ(table[0], reinterpret_cast<void*>(&KVDrv_UIGetValue));
  EXPECT_EQ(table[2], reinterpret_cast<void*>(&KVDrv_UISetExtSettings));
}

// One row per id x source (5 the property sheet), expectations by hand
// from the value table.
TEST_F(Extensions, ValueDispatcher) {
  auto values = [](GAttributeComposite* into,
                   std::initializer_list<std::pair<std::uint32_t, int>> pairs) {
    for (auto [key, value] : pairs)
      into->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
    return into;
  };
  // Default settings and a command set that differ in every key.
  std::unique_ptr<GAttributeComposite> defaults(values(
      new GAttributeComposite(), {{253, 1}, {258, 3}, {248, 4}, {292, 1}, {247, 1}, {272, 23}}));
  defaults->AddChild(values(new GAttributeComposite(329), {{266, 2}, {268, 3}}));
  defaults->AddChild(values(new GAttributeComposite(365), {{444, 1}, {308, 1}, {310, 2}}));
  defaults->AddChild(values(new GAttributeComposite(249), {{323, 600}, {324, 600}, {325, 2}}));
  defaults->AddChild(new GStringAttribute("Gloss", 973));
  defaults->AddChild(new GStringAttribute("gloss", 262));
  auto* attributes =
      values(new GAttributeComposite(),
             {{253, 2}, {258, 20}, {248, 17}, {442, -1}, {278, 0}, {289, 7}, {247, 3}});
  attributes->AddChild(values(new GAttributeComposite(329), {{266, 1}}));
  attributes->AddChild(values(new GAttributeComposite(249), {{323, 300}, {324, 300}, {325, 1}}));
  auto* media = new GMedia();
  media->SetPaperSizeId(0x4000);
  media->SetKey(259);
  attributes->AddChild(media);

  GDocumentStart document_start;
  GPageStart page_start;
  GPageEnd page_end;
  GDocumentEnd other;
  GCommand* commands[] = {&document_start, &page_start, &page_end, &other};
  document_start.AttachAttributes(attributes);
  page_start.AttachAttributes(attributes);
  Manager().EnsureJobContext()->default_settings = defaults.get();

  struct Row {
    std::uint16_t id;
    int source;  // 0-3 the commands, 4 the sheet
    std::uint16_t code, value;
  } rows[] = {
      {150, 0, 0, 153}, {150, 1, 0, 153}, {150, 2, 0, 152}, {150, 3, 1, 0}, {150, 4, 0, 152},
      {110, 0, 0, 117}, {110, 1, 0, 119}, {110, 2, 0, 117}, {110, 3, 1, 0}, {130, 0, 0, 138},
      {130, 1, 0, 149}, {170, 0, 0, 0},   {170, 2, 0, 172}, {180, 0, 1, 0}, {180, 1, 0, 184},
      {200, 0, 0, 201}, {200, 2, 0, 204}, {210, 0, 0, 211}, {210, 3, 1, 0}, {191, 0, 0, 199},
      {191, 2, 1, 0},   {245, 0, 0, 0},   {245, 3, 0, 0},   {245, 4, 0, 1}, {261, 3, 0, 1},
      {264, 3, 0, 0},   {264, 4, 0, 0},   {82, 2, 0, 97},   {81, 2, 0, 83}, {30, 0, 0, 59},
      {60, 4, 4, 0},    {60, 0, 0, 0},    {250, 1, 0, 33},  {10, 3, 0, 11}, {80, 0, 0, 83},
      {80, 2, 1, 0},    {70, 0, 0, 71},   {31, 0, 3, 0},    {266, 0, 3, 0}, {0, 4, 3, 0},
  };
  Manager().GetJobContext()->printer_language = Data()->GetPrinterLanguage();
  for (const Row& r : rows) {
    std::uint16_t out = 0;
    ExtensionJobContext& context = *Manager().GetJobContext();
    context.command = r.source < 4 ? commands[r.source] : nullptr;
    const std::uint16_t code = r.source == 4
                                   ? DispatchExtensionValue(r.id, &out, defaults.get(), &Manager())
                                   : KVDrv_GetValue(r.id, &out, &Manager());
    EXPECT_EQ(code, r.code) << r.id << " from " << r.source;
    EXPECT_EQ(out, r.value) << r.id << " from " << r.source;
  }
  Manager().GetJobContext()->command = nullptr;
  Manager().GetJobContext()->default_settings = nullptr;
}

// The built-in manager through the hook's module alone (on a document
// sheet after the library's pages: acceptance/end_to_end/).
TEST_F(Extensions, UIManagerPagesAndSettings) {
  ASSERT_EQ(Register(0, "A", kExtHasUIModule, "abc"), 0);
  TestExtension& ext = TestExtensionAt(0);
  ext.has_pages = ext.has_release = true;
  ext.count_reply = 4, ext.fill_reply = 9;  // more than counted: at most 4 placed

  GUIPluginModule module;
  ASSERT_EQ(module.Load(kBuiltInUIManagerName), 1);
  GUIData host;
  host.driver_data = Data();
  host.settings = Defaults();
  host.page_flags = kUIDevicePages;
  EXPECT_EQ(module.Initialize(&host, 0), 0);
  host.page_flags = 1;
  EXPECT_EQ(module.Initialize(&host, 0), 4);
  platform::PropSheetPageW pages[10] = {};
  host.pages = pages;
  host.page_count = 10;
  EXPECT_EQ(module.Initialize(&host, 8), 4);
  EXPECT_EQ(pages[7].flags, 0u);
  EXPECT_EQ(pages[8].flags, 0x82u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pages[9].template_name), 203u);

  std::uint16_t out = 0;
  GExtensionUIManager direct;
  host.pages = nullptr;
  EXPECT_EQ(direct.Initialize(&host, 0), 4);
  void* handle = &direct;
  EXPECT_EQ(KVDrv_UISetExtSettings(std::string(51, 'a').data(), 51, "A", handle), 15);
  EXPECT_EQ(KVDrv_UISetExtSettings("zz", 2, "Nobody", handle), 1);
  const std::string fifty(50, 'f');
  // A sheet's apply skips its save while no page has acted: an extension's
  // page acts only through this call.
  const std::uint64_t activity = PageActivity();
  EXPECT_EQ(KVDrv_UISetExtSettings(fifty.data(), 50, "A", handle), 0);
  EXPECT_NE(PageActivity(), activity);
  char buffer[50];
  EXPECT_EQ(KVDrv_UIGetExtSettings(buffer, 50, "A", handle), 0);
  EXPECT_EQ(std::string(buffer, 50), fifty);
  EXPECT_EQ(KVDrv_UIGetValue(60, &out, handle), 4);
  EXPECT_EQ(KVDrv_UIGetValue(10, &out, handle), 0);
  EXPECT_EQ(out, 11);
  // What the sheet wrote reaches the job side.
  Manager().LoadJobExtensions(nullptr);
  EXPECT_EQ(KVDrv_GetExtSettings(buffer, 50, "A", &Manager()), 0);
  ext.release_result = 6;
  EXPECT_EQ(direct.Destroy(&host), 6);
  EXPECT_EQ(module.Destroy(&host), 6);
}

// The job side: document data (985/986), page data, masks, extensions left out.
class ExtensionJobs : public Extensions {
 protected:
  // Slot `slot` with a job module (its own unless named) starting `mask`.
  TestExtension& RegisterJob(int slot, std::uint32_t mask, std::string job = "") {
    const std::string m = "ext" + std::to_string(slot) + ".dll";
    TestExtension& e = InstallTestExtension(slot, {m.begin(), m.end()}, "Id", m.c_str(),
                                            kExtHasJobModule, "u", "");
    SetDescriptionText(e.description, kExtensionTextFields[4], (job.empty() ? m : job).c_str());
    EXPECT_EQ(Data()->RegisterExtension(m.c_str(), 0), 0u);
    return e.start_mask = mask, e;
  }
  // A page start/end through its hook: "same", or "page" and "bytes@target"s.
  std::string Page(bool start, std::uint32_t filter) {
    GCommand* page = start ? static_cast<GCommand*>(new GPageStart(new GState, 1)) : new GPageEnd;
    GCountedPtr got(start ? Manager().AddStartData(page, filter)
                          : Manager().AddEndData(page, filter));
    auto* list = dynamic_cast<GCommandComposite*>(got.Get());
    std::string out = got.Get() == page ? "same" : "";
    for (RWSize i = 0; list && i < list->Children().Count(); ++i) {
      auto* data = dynamic_cast<GPassThroughCommand*>(list->Children()[i].Get());
      out += data ? std::string(reinterpret_cast<const char*>(data->GetData()), data->GetLength()) +
                        "@" + std::to_string(data->GetTarget()) + " "
                  : "page ";
    }
    return out;
  }
  static std::string Attached(GCommand& c, std::uint32_t key) {
    return Describe(FindComposite(c.GetAttributes(), key));
  }
  static std::string Log(int slot) { return std::exchange(TestExtensionAt(slot).job_log, ""); }
};

TEST_F(ExtensionJobs, DataInExtensionOrderAroundThePages) {
  RegisterJob(0, 0x20 | 0x40 | 0x200 | 0x400).job_data = {
      {0x20, "JA"}, {0x40, "DA"}, {0x200, "s1"}, {0x400, "e1"}, {0x800, "x"}};
  RegisterJob(1, 0x80 | 0x200 | 0x400).job_data = {
      {0x80, "PB"}, {0x100, "x"}, {0x200, "s2"}, {0x400, "e2"}};
  RegisterJob(2, 0x800 | 0x1000).job_data = {{0x800, "t3"}};  // no 0x1000: answers 1
  RegisterJob(3, 0xffff).start_result = 1;                    // failed start: never asked
  for (int round = 0; round < 2; ++round) {                   // a second document after the first
    EXPECT_EQ(Page(true, 0), "same");  // before the start, after the end: nobody asked
    GDocumentStart start(new GState, u"P", u"Do", nullptr, 3);
    Manager().BeginDocument(&start);
    EXPECT_EQ(Attached(start, 985) + "|" + Attached(start, 986), "0=JA |0=PB ");
    EXPECT_EQ(Page(true, 0), "page s1@788 s2@788 ");  // P1's printer language: 788
    EXPECT_EQ(Page(false, 0), "e1@788 e2@788 page ");
    EXPECT_EQ(Page(true, 1), "page t3@788 ");
    EXPECT_EQ(Page(false, 1), "same");
    GDocumentEnd end;
    end.SetAttributes(new GState);
    Manager().EndDocument(&end);
    EXPECT_EQ(Describe(end.GetAttributes()) + Attached(end, 985), "985= 0=DA ");
    EXPECT_EQ(Log(0), "start get 32 free get 512 free get 1024 free get 64 free end ");
    EXPECT_EQ(Log(2), "start get 2048 free get 4096 end ");  // no 0x200, no free after 1
    EXPECT_EQ(Log(3), "start end ");  // mask 0x10 again after the failed start
  }
}

// Job modules that do not load, lack the entry point or refuse the table.
TEST_F(ExtensionJobs, UnusableJobModulesAreLeftOut) {
  platform::AddModule({u"bare.dll", {}, {}});  // no "KVExt_QueryInterface"
  RegisterJob(0, 0xffff, "missing.dll");
  RegisterJob(1, 0xffff, "bare.dll");
  RegisterJob(2, 0xffff).query_result = 5;
  GDocumentStart start(new GState, u"P", u"Do", nullptr, 3);
  Manager().BeginDocument(&start);
  EXPECT_EQ(Describe(start.GetAttributes()) + Page(true, 0), "same");
  EXPECT_EQ(TestExtensionAt(2).log.back() + Log(0) + Log(1) + Log(2), "query 2");
}

// The fuzz target's corpus, and 2,000 seeded extensions of random bytes
// (texts without NUL, any counts and codes, failures at every step).
TEST_F(Extensions, DamagedExtensionsReplay) {
  ExtensionFuzzTarget = Data();
  EXPECT_GT(ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 2);
  std::mt19937 random(46);
  for (int seed = 0; seed < 2000; ++seed) {
    std::vector<std::uint8_t> input(random() % 400);
    std::generate(input.begin(), input.end(), [&] { return static_cast<std::uint8_t>(random()); });
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  ExtensionFuzzTarget = nullptr;
}

}  // namespace
