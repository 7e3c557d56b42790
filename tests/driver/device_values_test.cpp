// The registry agent's provider, the device values it lets the driver read
// (with a scripted agent), the printer-database update request and the
// printer events' automatic configuration update, on the printer fixture.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/configuration_importer.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/device_value_reader.h"
#include "driver/model_lookup.h"
#include "driver/plm_provider.h"
#include "driver/update_request.h"
#include "output/core/peripheral.h"
#include "persist/persistent_composite.h"
#include "platform/host/clock.h"
#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/host/threads.h"
#include "tests/support/graph.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/scripted_agent.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using platform::BYTE;
using platform::DWORD;
using testing_support::ScriptedAgent;
using Bytes = std::vector<BYTE>;

class DeviceValues : public testing_support::PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    Attach();
  }
  void Attach() {
    ASSERT_NE(context_ = DriverData(), nullptr);
    GPortHandlerRegistry::Instance().Register(&provider_, "KVPLM 1.0");
  }
  void TearDown() override {
    GPortHandlerRegistry::Instance().Unregister("KVPLM 1.0");
    PrinterFixture::TearDown();
  }

  std::unique_ptr<GDeviceValueReader> Reader() {
    return std::make_unique<GDeviceValueReader>(&provider_, "KVPLM 1.0", context_, u"USB001");
  }
  GAttributeComposite* Model() { return FindComposite(context_->GetJobSettings(), 228); }
  int Value(std::uint32_t key) { return SignedValueOr(Model(), key, -1); }
  // A printer-data value's type and bytes (type 0 when missing).
  std::pair<DWORD, Bytes> Stored(const char16_t* name) {
    platform::HANDLE printer = nullptr;
    platform::OpenPrinterW(u"P1", &printer, nullptr);
    DWORD type = 0, needed = 0;
    Bytes bytes(256);
    if (platform::GetPrinterDataW(printer, name, &type, bytes.data(), 256, &needed) != 0) type = 0;
    bytes.resize(type ? needed : 0);
    platform::ClosePrinter(printer);
    return {type, bytes};
  }
  void Put(const char16_t* name, DWORD type, const Bytes& bytes) {
    platform::HANDLE printer = nullptr;
    const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
    platform::OpenPrinterW(u"P1", &printer, &all);
    platform::SetPrinterDataW(printer, name, type, bytes.data(), static_cast<DWORD>(bytes.size()));
    platform::ClosePrinter(printer);
  }

  GPLMProvider provider_;
  GDriverContext* context_ = nullptr;
};

TEST_F(DeviceValues, ProviderConnectsOnlyForItsVersionAndKeepsItsSets) {
  EXPECT_FALSE(provider_.HasFlags(0x10000));  // no agent yet
  ScriptedAgent agent(u"P1");
  for (std::uint32_t version : {0x20000u, 0x10001u, 0u}) {
    EXPECT_FALSE(provider_.HasFlags(version));
    EXPECT_FALSE(provider_.IsConnected());
  }
  EXPECT_TRUE(provider_.HasFlags(0x10000));
  EXPECT_TRUE(provider_.IsConnected());
  EXPECT_TRUE(agent.requests.empty());  // it only connects
  // Stored form (RWFile): the magic, class 957, the persistent base
  // (version 1, key 0, serial), the port handler's version 1, our version
  // 1, then each set as a new object of class 757: its base (1, 0,
  // serial), the attribute part (version 1, state 1) and the composite's
  // version 1 with no children.
  const auto u32 = [](std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      s += static_cast<char>(v >> (8 * i));
  };
  std::string golden;
  u32(golden, 0x8888);
  golden += "\xBD\x03";
  for (std::uint32_t v : {1u, 0u, provider_.SerialNumber(), 1u, 1u})
    u32(golden, v);
  for (GAttributeComposite* set : {&provider_.FirstValueSet(), &provider_.SecondValueSet()}) {
    golden += "\xF5\x02";
    for (std::uint32_t v : {1u, 0u, set->SerialNumber(), 1u, 1u, 1u, 0u})
      u32(golden, v);
  }
  EXPECT_EQ(testing_support::SaveToFileBytes(&provider_), golden);
  // Version 2 restores nothing further: the object keeps what it had.
  std::string other = golden;
  other[4 + 2 + 16] = 2;
  bool ok = false;
  std::unique_ptr<RWCollectable> restored(testing_support::RestoreFromFileBytes(golden, &ok));
  EXPECT_TRUE(ok);
  EXPECT_FALSE(static_cast<GPLMProvider*>(restored.get())->IsConnected());
  restored.reset(testing_support::RestoreFromFileBytes(other, &ok));
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(static_cast<GPLMProvider*>(restored.get())->FirstValueSet().EntryCount(), 0u);
}

TEST_F(DeviceValues, UpdateCodesAndMappings) {
  const struct {
    const char16_t* model;  // null: the agent writes no name
    bool agent, model_is_value;
    std::uint32_t memory, available, mopy, held, code;
    int status, megabytes, units, mopy_flag, held_flag;
  } cases[] = {
      // Single precision: 1048576 x 9.5374344e-5 -> 100, 10485760 -> 1000.
      {u"kv test PRO", true, false, 131072, 1048576, 3, 2, 0, 2, 128, 100, 1, 1},
      {u"KV Test", true, false, 6400, 10485760, 6, 3, 0, 2, 64, 1000, 0, 0},
      {nullptr, true, false, 131072, 1048576, 3, 2, 1, 1, 64, 64, 0, 0},
      {u"Other", true, false, 131072, 1048576, 3, 2, 8, 1, 64, 64, 0, 0},
      {u"KV Test", true, true, 131072, 1048576, 3, 2, 6, 0, 64, 64, 0, 0},
      {u"KV Test", false, false, 131072, 1048576, 3, 2, 602, 0, 64, 64, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << " " << c.memory);
    std::unique_ptr<ScriptedAgent> agent;
    if (c.agent) agent = std::make_unique<ScriptedAgent>(u"P1");
    if (agent && c.model) agent->SetText(u"MODEL_NAME", c.model);
    if (agent) {
      agent->SetDword(u"hrMemorySize", c.memory);
      agent->SetDword(u"HOST-APPLICATION-AVAILABLE-MEMORY", c.available);
      agent->SetDword(u"MOPY_MODE", c.mopy);
      agent->SetDword(u"HELD-JOB-ENABLE", c.held);
    }
    // A model whose printer composite is a value: nothing handles it.
    GAttributeComposite odd(0);
    odd.AddChild(new GValueAttribute(0, 228));
    GAttributeComposite* model = c.model_is_value ? &odd : context_->GetJobSettings();
    EXPECT_EQ(Reader()->UpdateConfiguration(model, 1), c.code);
    EXPECT_EQ(Value(313), c.status);
    EXPECT_EQ(Value(201), c.megabytes);
    EXPECT_EQ(FindOfClass<GRangeAttribute>(Model(), 202)->GetValue(), c.units);
    EXPECT_EQ(Value(231), c.mopy_flag);
    EXPECT_EQ(Value(441), c.held_flag);
    if (c.agent && !c.model_is_value) {
      // Asked (and asked again for the accessories' options).
      agent->requests.resize(2);
      EXPECT_EQ(agent->requests, (decltype(agent->requests){{3, 6}, {3, 1}}));
    }
    // Reset what the case changed.
    SetValueIfPresent(Model(), 313, 0), SetValueIfPresent(Model(), 201, 64);
    FindOfClass<GRangeAttribute>(Model(), 202)->SetValue(64);
    SetValueIfPresent(Model(), 231, 0), SetValueIfPresent(Model(), 441, 0);
  }
  // Without an agent the placeholders stay: REG_DWORD 6400, REG_SZ " "
  // without terminator, an empty binary; the request is back at 0.
  EXPECT_EQ(Stored(u"hrMemorySize"), (std::pair<DWORD, Bytes>{4, {0x00, 0x19, 0, 0}}));
  EXPECT_EQ(Stored(u"MODEL_NAME"), (std::pair<DWORD, Bytes>{1, {0x20, 0}}));
  EXPECT_EQ(Stored(u"PHD1-DEVICE-MEMORY"), (std::pair<DWORD, Bytes>{3, {}}));
  EXPECT_EQ(Stored(u"KvrdbUpdateRequest"), (std::pair<DWORD, Bytes>{4, {0, 0, 0, 0}}));
  EXPECT_EQ(Stored(u"RegistryAgentName"),
            (std::pair<DWORD, Bytes>{1, {'K', 0, 'V', 0, 'P', 0, 'L', 0, 'M', 0}}));
  // Through the driver data: the registry's reader, match flag 1.
  ScriptedAgent agent(u"P1");
  agent.SetText(u"MODEL_NAME", u"KV Test");
  EXPECT_EQ(context_->GDriverDataImp::UpdateFromDevice(1), 0u);
  EXPECT_EQ(Value(313), 2);
}

// Media-type names (701) and bin names (314) are the last update's, however
// often the printer is asked; values left at their placeholders keep them.
TEST_F(DeviceValues, NamesAreReplacedNotAppended) {
  Model()->AddChild(new GAttributeComposite(701));
  auto* sorter = new GPaperHandlingDevice(RWCString("Sorter"), kOutputDevice, 0, 1, 0, 0, 0);
  auto* bins = new GAttributeComposite(0);
  bins->AddChild(new GBin(RWCString("Bin 4"), 4, kBinKey));
  bins->AddChild(new GBin(RWCString("Bin 5"), 5, kBinKey));
  sorter->SetPart(2, bins);
  FindComposite(Model(), kPaperHandlingKey)->AddChild(sorter);
  const auto names = [&](std::uint32_t key) {
    std::string out;
    GAttributeComposite* list = FindComposite(Model(), key);
    for (RWSize i = 0; i < list->Children().Count(); ++i)
      out += dynamic_cast<GStringAttribute*>(list->Children()[i].Get())->GetValue().Data() +
             std::string(" ");
    return out;
  };
  ScriptedAgent agent(u"P1");
  for (bool answers : {true, true, false}) {
    agent.script.clear();
    agent.SetText(u"MODEL_NAME", u"KV Test");
    if (answers) {
      agent.SetDword(u"MEDIA-NUMBER-OF-TYPE-SUPPORTED", 2);
      agent.SetDword(u"Media-Names-Available", 3);
      agent.SetText(u"MEDIA1-NAME", u"Bond");
      agent.SetText(u"MEDIA2-NAME", u"Card");
      agent.SetText(u"prtOutputName1", u"Left");
    }
    EXPECT_EQ(Reader()->UpdateConfiguration(context_->GetJobSettings(), 1), 0u);
    EXPECT_EQ(names(701), "Bond Card ");
    EXPECT_EQ(names(314), "Left ");
  }
}

TEST_F(DeviceValues, NumbersFromWordsOrBinaries) {
  const struct {
    DWORD type;
    Bytes bytes;
    int ok;
    std::uint32_t value;
  } cases[] = {
      {3, {0x01, 0, 0, 0}, 1, 1},
      {3, {0, 0x02, 0, 0}, 1, 2},
      {3, {0x12, 0x34, 0, 0}, 1, 0x1234},
      {3, {0x12, 0x34, 0x56, 0x78, 9}, 1, 0x12345678},
      {3, {0x07}, 1, 7},
      {3, {}, 1, 0},
      {4, {0x12, 0x34, 0, 0}, 1, 0x3412},
      {4, {1, 2, 3}, 0, 0},
      {1, {0x31, 0}, 0, 0},
  };
  auto reader = Reader();
  for (const auto& c : cases) {
    Put(u"Media-Names-Available", c.type, c.bytes);
    std::uint32_t value = 0;
    EXPECT_EQ(reader->ReadDwordOrBinary(u"Media-Names-Available", value), c.ok);
    EXPECT_EQ(value, c.value) << c.type << " " << c.bytes.size();
  }
  // Texts: an odd byte is dropped, an unterminated text ends with its bytes.
  Put(u"T", 1, {'A', 0, 'B', 0, 'C'});
  RWCString text;
  ASSERT_EQ(reader->ReadText(u"T", text), 1);
  EXPECT_EQ(std::string(text.Data()), "AB");
}

// Hostile agents: random value names of the exchange with random types,
// sizes and counts. Every update ends with one of its codes.
TEST_F(DeviceValues, HostileScriptsEndCleanly) {
  const char16_t* names[] = {u"MODEL_NAME",
                             u"hrMemorySize",
                             u"PHD1-MODEL",
                             u"PHD1-DEVICE-MEMORY",
                             u"PHD1-NUMBER-OF-OPTIONS",
                             u"PHD2-NUMBER-OF-OPTIONS",
                             u"MEDIA-NUMBER-OF-TYPE-SUPPORTED",
                             u"Media-Names-Available",
                             u"MEDIA40-NAME",
                             u"prtOutputName1",
                             u"prtInputMaxCapacity2",
                             u"hrDiskStorageMedia1",
                             u"PHD1-OPTION1-OPTION_MODEL",
                             u"HOST-APPLICATION-AVAILABLE-MEMORY"};
  std::mt19937 random(43);
  ScriptedAgent agent(u"P1");
  for (int run = 0; run < 1000; ++run) {
    agent.script.clear();
    agent.SetText(u"MODEL_NAME", u"KV Test");
    for (int i = 0; i < 6; ++i) {
      ScriptedAgent::Value value{
          names[random() % std::size(names)], static_cast<DWORD>(random() % 5), {}};
      const std::uint32_t size = random() % 3 == 0 ? 4 : random() % 12;
      for (std::uint32_t b = 0; b < size; ++b)
        value.bytes.push_back(random() % 3 == 0 ? 0xFF : static_cast<BYTE>(random()));
      agent.Set(value);
    }
    const std::uint32_t code = Reader()->UpdateConfiguration(context_->GetJobSettings(), 1);
    ASSERT_TRUE(code == 0 || code == 1 || code == 6 || code == 8 || code == 602) << run;
  }
}

TEST_F(DeviceValues, CorpusReplays) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 6);
}

// --- The update request and the mini-installer

std::int32_t g_start_answer = 0;
int g_starts = 0;
std::int32_t Start(platform::HANDLE, const char16_t*, std::uint32_t) {
  ++g_starts;
  return g_start_answer;
}
std::int32_t Stop(platform::HANDLE, const char16_t*, std::uint32_t) {
  return 0;
}

TEST_F(DeviceValues, UpdateRequestDecidesWhetherTheInstallerRuns) {
  ASSERT_TRUE(platform::AddModule(
      {u"C:\\Drv\\KVWEDGE.DLL",
       {{"InitializeMiniInstaller", reinterpret_cast<platform::FARPROC>(&Start)},
        {"KillMiniInstaller", reinterpret_cast<platform::FARPROC>(&Stop)}},
       {}}));
  const std::u16string printers = u"System\\CurrentControlSet\\Control\\Print\\Printers\\";
  const struct {
    const char16_t* printer;  // as asked
    const char16_t* key;      // as the registry keeps it
    std::int64_t request;     // -1: absent (0xFFFFFFFF stored reads so too)
    std::int32_t start;
    int starts;
    std::uint32_t done;
  } cases[] = {
      {u"P1", u"P1", -1, 0, 1, 1}, {u"P1", u"P1", 0xFFFFFFFF, 0, 1, 1},
      {u"P1", u"P1", 0, 0, 0, 0},  {u"P1", u"P1", 1, 1, 1, 1},
      {u"P1", u"P1", 1, 2, 1, 0},  {u"\\\\srv\\q", u",,srv,q", 1, 0, 1, 1},
      {u"Q9", u"Q8", 1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(RWWString(c.printer).ToMultiByte().Data()));
    platform::HKEY key = nullptr;
    const std::u16string path = printers + c.key + u"\\PrinterDriverData";
    ASSERT_EQ(platform::RegCreateKeyExW(platform::kHkeyLocalMachine, path.c_str(), 0, nullptr, 0,
                                        platform::kKeyAllAccess, nullptr, &key, nullptr),
              0);
    platform::RegDeleteValueW(key, u"KvrdbUpdateRequest");
    const auto request = static_cast<std::uint32_t>(c.request);
    if (c.request >= 0) {
      platform::RegSetValueExW(key, u"KvrdbUpdateRequest", 0, platform::kRegDword,
                               reinterpret_cast<const BYTE*>(&request), 4);
    }
    g_start_answer = c.start, g_starts = 0;
    {
      GMiniInstaller installer(c.printer, reinterpret_cast<platform::HANDLE>(1));
      EXPECT_EQ(g_starts, c.starts);
      EXPECT_EQ(installer.IsDone(), c.done);
      EXPECT_EQ(platform::GetModuleCounters(u"C:\\Drv\\KVWEDGE.DLL").references, c.done);
    }
    EXPECT_EQ(platform::GetModuleCounters(u"C:\\Drv\\KVWEDGE.DLL").references, 0u);
    DWORD type = 0, value = 0xAA, size = 4;
    const bool read = platform::RegQueryValueExW(key, u"KvrdbUpdateRequest", nullptr, &type,
                                                 reinterpret_cast<BYTE*>(&value), &size) == 0;
    if (c.request < 0 || c.request == 0xFFFFFFFF) {
      EXPECT_TRUE(read && type == platform::kRegDword && value == 0);
    }
    platform::RegCloseKey(key);
  }
}

// --- Printer events

class Events : public DeviceValues {
 protected:
  void SetUp() override {
    // The default settings' job-feature group (364) asks for the device
    // update (306), the mini-installer (1025) and the helper refresh (1100).
    std::unique_ptr<MPersistentComposite> root(support::BuildFixtureDataFile());
    auto* printer = dynamic_cast<GPeripheral*>(root->FindByKey(353)->FindByKey(76));
    ASSERT_NE(printer, nullptr);
    auto* group = FindComposite(FindComposite(printer->GetConfiguration(), 359), 364);
    ASSERT_NE(group, nullptr);
    group->AddChild(new GValueAttribute(1, 306));
    group->AddChild(new GValueAttribute(1, 1025));
    group->AddChild(new GValueAttribute(1, 1100));
    testing_support::PrinterFixture::SetUp();
    ASSERT_TRUE(RewriteDataFile(*root));
    Attach();
    ASSERT_TRUE(platform::AddModule(
        {u"C:\\Drv\\KVWEDGE.DLL",
         {{"InitializeMiniInstaller", reinterpret_cast<platform::FARPROC>(&Start)}},
         {}}));
    platform::TimeRecord july{2005, 7, 4, 12, 0, 0, 0, 1};
    platform::SetFixedClock(july);
    platform::UseManualWaitClock();
  }

  // Runs OnInitializePrinter on a thread of the platform, moving the wait
  // clock past its pause.
  platform::BOOL Initialize() {
    struct Call {
      GDriverContext* context;
      platform::BOOL result;
    } call{context_, 0};
    auto run = [](void* data) -> DWORD {
      auto* call = static_cast<Call*>(data);
      call->result = call->context->DrvPrinterEvent(u"P1", 3, 0, 0);
      return 0;
    };
    platform::HANDLE thread = platform::CreateThread(nullptr, 0, run, &call, 0, nullptr);
    EXPECT_TRUE(platform::AwaitThreadsIdle());
    platform::AdvanceWaitClock(3000);
    platform::WaitForSingleObject(thread, platform::kInfinite);
    platform::CloseHandle(thread);
    return call.result;
  }
  std::u16string Text(const char16_t* name) {
    const Bytes bytes = Stored(name).second;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    return text;
  }
};

TEST_F(Events, InitializationStampsTheUpdate) {
  {
    ScriptedAgent agent(u"P1");
    agent.SetText(u"MODEL_NAME", u"KV Test");
    g_start_answer = 0;
    EXPECT_EQ(Initialize(), 1);
  }
  EXPECT_EQ(Text(u"LastUpdated"), u"07/ 04/ 2005");
  EXPECT_EQ(Text(u"LastUpdateType"), u"Auto");
  EXPECT_EQ(Text(u"EACLastUpdate"), u"07/ 04/ 2005");
  EXPECT_EQ(Text(u"Stale"), u"FALSE");
  // The configuration helper's check ran after it (no helper: its failure).
  EXPECT_EQ(Text(GConfigurationImporter::kLastUpdateValue), u"ERROR");
  const std::u16string first = Text(u"PrinterUUID");
  EXPECT_EQ(first.size(), 36u);
  // No agent now (status 0) and an installer whose start fails: "ERROR".
  SetValueIfPresent(Model(), 313, 0);
  g_start_answer = 2;
  EXPECT_EQ(Initialize(), 1);
  EXPECT_EQ(Text(u"LastUpdateType"), u"Default");
  EXPECT_EQ(Text(u"EACLastUpdate"), u"ERROR");
  EXPECT_EQ(Text(u"PrinterUUID").size(), 36u);
  EXPECT_NE(Text(u"PrinterUUID"), first);
  // The other events.
  for (int event : {4, 7, 100})
    EXPECT_EQ(context_->DrvPrinterEvent(u"P1", event, 0, 0), event == 4 ? 1 : 0);
}

}  // namespace
