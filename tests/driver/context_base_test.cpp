// The context base over the printer fixture, with a recording device mode.
#include <random>
#include <string>
#include <tuple>

#include "config/import/product_data.h"
#include "config/paper/custom_media_size.h"
#include "driver/printer_key.h"
#include "persist/persistent_association.h"
#include "persist/resource_mapping.h"
#include "platform/host/system.h"
#include "support/listed_printer.h"
#include "tests/config/acceptance/acceptance_model.h"
#include "tests/driver/driver_data/driver_data_testing.h"
#include "tests/support/test_importer.h"

namespace {

using namespace std::string_literals;
using driver_data_testing::NamedBytes;
using driver_data_testing::SetValue;
constexpr auto Group = &driver_data_testing::Group;
const platform::HKEY kUser = platform::kHkeyCurrentUser;
constexpr char16_t kFlagKey[] = u"SOFTWARE\\Kestrova\\KV FA Drivers";
constexpr char16_t kDevModesKey[] = u"Printers\\DevModes2";

// The next device mode's answers; the calls ("Parts": settings held 283-368).
struct Script {
  int from_printer = 0, merge = 1, set_settings = 1;
  std::string log;
} g_script;

int Log(const char* call, int answer) {
  g_script.log += std::string(call) + " ";
  return answer;
}

class RecordingDevMode : public GDevModeSettingsInterface {
 public:
  int IsSameDevMode(const platform::DevModeW* dm) override { return Log("Same", dm == merged_); }
  int IsFromPrinter() override { return Log("FromPrinter", from_printer_); }
  int MergeDevMode(const platform::DevModeW* dm) override {
    return Log("Merge", (merged_ = dm, g_script.merge));
  }
  int SetSettings(GAttributeComposite* settings) override {
    for (std::uint32_t key : {283, 365, 366, 368})
      if (FindDirectChild(settings, key)) Log("Parts", 0);
    model_.reset(dynamic_cast<GAttributeComposite*>(settings->DeepCopy()));
    return Log("Set", g_script.set_settings);
  }
  GAttributeComposite* GetSettings() override { return model_.get(); }
  int NormalizeCollate() override { return Log("Collate", 1); }
  int IsEmfDataType() override { return Log("Emf", 1); }
  std::uint16_t GetContextWord() override { return static_cast<std::uint16_t>(Log("Word", 90)); }
  platform::DevModeW* GetDevMode() override { return nullptr; }
  std::uint16_t GetXResolution() override { return 600; }
  std::uint16_t GetYResolution() override { return 600; }

 private:
  int from_printer_ = g_script.from_printer;
  const platform::DevModeW* merged_ = nullptr;
  std::unique_ptr<GAttributeComposite> model_;
};

// On the listed printer (support/listed_printer.h), whose configuration
// set holds the list 950: a pair of the wrong classes, (925, "Mem"), (316,
// "Bin"), (202, "Level").
class ContextBase : public testing_support::PrinterFixture {
 protected:
  ContextBase() { InstallWith(support::BuildListedDataFile()); }
  void SetUp() override {
    PrinterFixture::SetUp();
    g_script = Script();
    previous_maker_ = SetDevModeSettingsMaker([](GDriverContextBase&, platform::HANDLE) {
      return static_cast<GDevModeSettingsInterface*>((Log("Make", 0), new RecordingDevMode));
    });
    ASSERT_NE(context_ = DriverData(), nullptr);
    job_ = context_->GetJobSettings();
    model_ = FindComposite(job_, kPrinterModelKey);
  }
  // The library's own maker comes back for the tests after this one.
  void TearDown() override {
    PrinterFixture::TearDown();
    SetDevModeSettingsMaker(previous_maker_);
  }
  GAttributeComposite* Pool() { return FindComposite(model_, kPaperHandlingKey); }
  // Printer data: null deletes; "d<n>" a DWORD; "s<text>" a string.
  void PutData(const char16_t* name, const char* text) {
    Services().DeletePrinterDataValue(context_, name);
    if (text && *text == 'd') Services().SetPrinterDataDword(context_, name, std::stoul(text + 1));
    if (text && *text == 's')
      Services().SetPrinterDataString(context_, name, RWWString::FromMultiByte(text + 1));
  }

  GDriverContext* context_ = nullptr;
  GAttributeComposite* job_ = nullptr;
  GAttributeComposite* model_ = nullptr;
  GDevModeSettingsMaker previous_maker_ = nullptr;
};

void PutValue(platform::HKEY root, std::u16string_view key, const char16_t* name,
              platform::DWORD type, const std::string& bytes) {
  platform::HKEY opened = nullptr;
  platform::RegCreateKeyExW(root, std::u16string(key).c_str(), 0, u"", 0, platform::kKeyAllAccess,
                            nullptr, &opened, nullptr);
  platform::RegSetValueExW(opened, name, 0, type,
                           reinterpret_cast<const platform::BYTE*>(bytes.data()),
                           static_cast<platform::DWORD>(bytes.size()));
  platform::RegCloseKey(opened);
}
std::unique_ptr<GAttributeComposite> Holding(GAttributeComposite* part) {
  std::unique_ptr<GAttributeComposite> settings(Group(0, {}));
  settings->AddChild(part);
  return settings;
}

// `describe(child)` of each child, each followed by a blank.
template <class Describe>
std::string Each(const GAttributeComposite* composite, Describe describe) {
  std::string out;
  for (RWSize i = 0; composite && i < composite->EntryCount(); ++i)
    out += describe(composite->Children()[i].Get()) + " ";
  return out;
}
std::string ChildKeys(const GAttributeComposite& composite) {
  return Each(&composite, [](MPersistentObject* child) { return std::to_string(child->Key()); });
}
// Watermark names and scopes.
std::string Scopes(const GAttributeComposite* list) {
  return Each(list, [](MPersistentObject* mark) {
    return FindStringAttribute(mark, 384)->GetValue().Data() +
           std::to_string(SignedValueOr(mark, kWatermarkScopeKey, 0));
  });
}

TEST_F(ContextBase, TheAppFlagGateAndTheUsersDevModeFollowTheRegistry) {
  // "" none, "0"/"1" a DWORD, "s" a string, "w" 2 bytes; 1 denies reading.
  const auto put = [](platform::HKEY root, const char* text) {
    const std::string dword = std::string(1, static_cast<char>(*text & 1)) + "\0\0\0"s;
    if (*text)
      PutValue(root, kFlagKey, u"EnableDevmodeAppflag", *text == 's' ? 1 : 4,
               *text == 's'   ? "1\0"s
               : *text == 'w' ? "\0\0"s
                              : dword);
  };
  using Row = std::tuple<const char*, const char*, platform::DWORD, std::uint32_t>;
  // clang-format off
  const Row rows[] = {{"", "", 0, 0x40123}, {"", "0", 0, 0x23}, {"0", "1", 0, 0x23},
      {"1", "0", 0, 0x40123}, {"s", "0", 0, 0x23}, {"w", "1", 0, 0x40123}, {"0", "1", 1, 0x40123}};
  // clang-format on
  for (auto [user, machine, deny, flags] : rows) {
    put(kUser, user);
    put(platform::kHkeyLocalMachine, machine);
    platform::SetRegistryDeniedRights(kUser, kFlagKey, deny);
    context_->ApplyAppFlags(0x40123);
    EXPECT_EQ(context_->GetAppFlags(), flags) << user << "/" << machine << deny;
  }

  // 'x' bytes with dmSize 220, dmDriverExtra 952 at 68; cut: 220, extra 0.
  std::string twice(2 * 1172, 'x');
  twice.replace(68, 4, "\xDC\x00\xB8\x03", 4);
  const std::string cut = twice.substr(0, 70) + "\0\0"s + twice.substr(72, 148);
  // Flags, truncate, denied (2: writing), type (3 binary), size, answer.
  using Record =
      std::tuple<std::uint32_t, int, platform::DWORD, platform::DWORD, std::size_t, std::uint32_t>;
  const Record records[] = {{0, 1, 0, 3, 1172, 1172},      {0x100, 0, 0, 3, 1172, 220},
                            {0x40000, 1, 2, 3, 1172, 220}, {0x100, 1, 0, 3, 220, 220},
                            {0x100, 1, 0, 3, 1173, 220},   {0x100, 1, 0, 1, 400, 220},
                            {0x100, 1, 0, 3, 1172, 0}};  // 0: cut, 220 answered
  for (auto [flags, truncate, deny, type, size, answer] : records) {
    platform::SetRegistryDeniedRights(kUser, kDevModesKey, 0);
    PutValue(kUser, kDevModesKey, u"P1", type, twice.substr(0, size));
    platform::SetRegistryDeniedRights(kUser, kDevModesKey, deny);
    context_->ApplyAppFlags(flags);
    EXPECT_EQ(context_->GetDevModeSizeForUser(truncate), answer ? answer : 220);
    platform::HKEY key = nullptr;
    std::string read(4096, '\0');
    platform::DWORD got = 4096;
    platform::RegOpenKeyExW(kUser, kDevModesKey, 0, platform::kKeyRead, &key);
    platform::RegQueryValueExW(key, u"P1", nullptr, nullptr,
                               reinterpret_cast<platform::BYTE*>(read.data()), &got);
    platform::RegCloseKey(key);
    EXPECT_EQ(read.substr(0, got), answer ? twice.substr(0, size) : cut);
  }
}

// A bind only reads: the default settings it builds for a record that is
// not the printer's go into the device mode, never over the printer's parts.
TEST_F(ContextBase, BindingFollowsTheRecordsAndStoresNothing) {
  const char a = 'a', b = 'b';
  const auto* record_a = reinterpret_cast<const platform::DevModeW*>(&a);
  const auto* record_b = reinterpret_cast<const platform::DevModeW*>(&b);
  // Record, from printer, merge, result, the calls.
  for (auto [record, from_printer, merge, result, log] :
       {std::tuple{record_a, 0, 1, 1, "Make FromPrinter Set Merge Word "},
        {record_a, 0, 1, 1, "Same "},
        {nullptr, 0, 1, 1, "Make FromPrinter Set Word "},  // released: made again
        {nullptr, 0, 1, 1, "Make FromPrinter Set "},       // twice: re-made, no merge
        {record_b, 1, 1, 1, "Same Make FromPrinter Collate Merge Word Emf "},
        {record_a, 1, 0, 0, "Same Make FromPrinter Collate Merge Word Emf "}}) {
    for (const char16_t* part : {u"365", u"366", u"368"})
      Services().DeletePrinterDataValue(context_, part);
    g_script = Script{from_printer, merge, 1, ""};
    EXPECT_EQ(context_->BindDevMode(record), result);
    EXPECT_EQ(g_script.log, log);
    for (const char16_t* part : {u"365", u"366", u"368"})
      EXPECT_EQ(NamedBytes(context_, part), "absent") << log;
  }
  EXPECT_NE(context_->GetStateFlags() & kStateRemadeForRelease, 0u);
  EXPECT_EQ(context_->IsDevModeReleased() * 10 + context_->IsEmfDataType(), 1u);
  GTimeRecord local, shifted;
  std::int16_t bias = 0;  // the record's context word
  EXPECT_EQ(Services().GetTimes(local, shifted, bias) * bias, 90);
}

TEST_F(ContextBase, PartsAreSavedWhenHeldAndLoadedWhenWholeOfTheirClassAndBadValuesEndCleanly) {
  ASSERT_EQ(context_->BindDevMode(nullptr), 1);
  std::unique_ptr<GAttributeComposite> defaults(context_->BuildDefaultSettings());
  ASSERT_EQ(context_->SaveSettings(defaults.get(), 1), 1);
  const std::string stored = NamedBytes(context_, u"365");
  // The device mode's model and the stored parts (scopes ensured).
  std::unique_ptr<GAttributeComposite> made(context_->CreateDefaultSettings());
  EXPECT_TRUE(ChildKeys(*made).ends_with(" 365 366 368 "));
  EXPECT_EQ(Scopes(FindComposite(FindDirectChild(made.get(), 366), 378)), "Confidential1 Draft1 ");
  EXPECT_EQ(context_->GetStateFlags() & kStateRebuildDefaults, 0u);
  std::unique_ptr<GAttributeComposite> settings(Holding(Group(kCustomSizesKey, {{0, 1}})));
  settings->AddChild(Group(366, {}));
  EXPECT_EQ(context_->SaveSettings(settings.get(), 1), 1);
  EXPECT_EQ(NamedBytes(context_, u"365"), stored);  // no empty part over the printer's
  EXPECT_EQ(ChildKeys(*settings), "276 368 366 365 ");
  EXPECT_EQ(FindComposite(settings.get(), kCustomSizesKey)->EntryCount(), 0u);
  platform::SetPrinterDataWriteFailure(u"P1", u"366", platform::kErrorAccessDenied);
  EXPECT_EQ(context_->SaveSettings(settings.get(), 1), 0);
  EXPECT_EQ(context_->SaveSettings(settings.get(), 0), 1);
  g_script.set_settings = 0;
  EXPECT_EQ(context_->SaveSettings(settings.get(), 0) + context_->SaveSettings(nullptr, 1), 0);
  // A part of another class is the defaults' alone.
  GValueAttribute other(5, 365);
  Services().StoreNamedObject(context_, RWWString(u"365"), &other);
  made.reset(context_->CreateDefaultSettings());
  EXPECT_TRUE(ChildKeys(*made).ends_with(" 365 366 368 "));
  EXPECT_TRUE(
      FindDirectChild(made.get(), 365)->IsEqualContent(FindDirectChild(defaults.get(), 365)));
  for (std::size_t n = 0; n <= stored.size(); ++n) {
    driver_data_testing::PutNamedBytes(context_, u"365", stored.substr(0, n));
    std::unique_ptr<GAttributeComposite> loaded(context_->LoadNamedSettings(365));
    EXPECT_EQ(loaded != nullptr, n == stored.size()) << n;
  }
  // Random values of every type under each name read here.
  std::mt19937 random(32);
  const auto put = [&random](platform::HKEY root, std::u16string_view key, const char16_t* name) {
    std::string bytes(random() % 3 == 0 ? 4 : random() % 1300, '\0');
    for (char& c : bytes)
      c = static_cast<char>(random());
    PutValue(root, key, name, random() % 5, bytes);
  };
  for (int round = 0; round < 150; ++round) {
    put(kUser, kFlagKey, u"EnableDevmodeAppflag");
    put(platform::kHkeyLocalMachine, kFlagKey, u"EnableDevmodeAppflag");
    put(kUser, kDevModesKey, u"P1");
    for (auto name : {u"Base", u"PrinterUUID", u"Mem", u"Level", u"365:0", u"366", u"VROBinPool:0"})
      put(platform::kHkeyLocalMachine, platform::PrinterDataKeyPath(u"P1"), name);
    g_script.from_printer = round % 2;
    context_->ApplyAppFlags(0x40100);
    context_->GetDevModeSizeForUser(1);
    context_->BindDevMode(nullptr);
    std::unique_ptr<GAttributeComposite> made(context_->CreateDefaultSettings());
    context_->ApplyInstalledOptions(made.get());
  }
}

// Settings made from the stored parts, and stored back as a sheet's OK, a
// printer event or a registration stores them, while another call stores
// one part meanwhile. Each part stored carries a mark (key 9001): 1 as
// first stored, 2 the other call's, 3 changed in the tree, none the
// defaults'.
TEST_F(ContextBase, ReadPartsGoBackOnlyChangedAndDefaultsOnlyWhereNoneIsWhole) {
  constexpr std::uint32_t kMark = 9001;
  constexpr std::uint32_t kParts[] = {365, 366, 368};
  ASSERT_EQ(context_->BindDevMode(nullptr), 1);
  std::unique_ptr<GAttributeComposite> defaults(context_->BuildDefaultSettings());
  const auto store = [&](std::uint32_t key, int mark) {
    std::unique_ptr<MPersistentObject> part(FindDirectChild(defaults.get(), key)->DeepCopy());
    SetValue(part.get(), kMark, static_cast<std::uint16_t>(mark));
    ASSERT_EQ(context_->StoreNamedSettings(part.get()), 1);
  };
  const auto stored_mark = [&](std::uint32_t key) {
    std::unique_ptr<GAttributeComposite> part(context_->LoadNamedSettings(key));
    return part ? SignedValueOr(part.get(), kMark, 0) : -1;
  };
  // The part, as stored before ('w' whole, 'a' absent, 'd' of another
  // class), whether the tree changes it, whether the other call stores it,
  // and the mark stored after.
  using Row = std::tuple<std::uint32_t, char, bool, bool, int>;
  const Row rows[] = {{365, 'w', false, true, 2},  {366, 'w', false, true, 2},
                      {368, 'w', false, true, 2},  {366, 'w', true, true, 3},
                      {368, 'a', false, false, 0}, {368, 'a', false, true, 2},
                      {365, 'd', false, false, 0}, {365, 'd', false, true, 2}};
  for (auto [key, before, change, other, after] : rows) {
    SCOPED_TRACE(testing::Message() << key << before << change << other);
    for (std::uint32_t part : kParts)
      store(part, 1);
    const RWWString name = RWWString::FromMultiByte(std::to_string(key).c_str());
    if (before == 'a') Services().DeletePrinterDataValue(context_, name.Data());
    GValueAttribute other_class(5, key);
    if (before == 'd') Services().StoreNamedObject(context_, name, &other_class);
    std::unique_ptr<GAttributeComposite> made(context_->CreateDefaultSettings());
    GPartsAsRead read = context_->PartsReadFor(made.get());
    // What was stored whole is read, whichever part was not.
    for (std::uint32_t part : kParts)
      EXPECT_EQ(SignedValueOr(FindDirectChild(made.get(), part), kMark, 0),
                part == key && before != 'w' ? 0 : 1)
          << part;
    if (change) SetValue(FindDirectChild(made.get(), key), kMark, 3);
    if (other) store(key, 2);
    EXPECT_EQ(context_->SaveReadSettings(made.get(), read), 1);
    for (std::uint32_t part : kParts)
      EXPECT_EQ(stored_mark(part), part == key ? after : 1) << part;
  }
}

TEST_F(ContextBase, DefaultsTakeTheSeriesAndPrinterDataValuesAndWatermarksTheUsersPool) {
  // The 360 of each series entry tells which one was applied.
  GAttributeComposite* series = FindComposite(job_, 369);
  series->AddChild(Group(0, {{360, 3}}));
  series->Children()[0].Get()->AddChild(new GValueAttribute(1, 360));
  series->Children()[1].Get()->AddChild(new GValueAttribute(2, 360));
  series->Children()[2].Get()->AddChild(new GStringAttribute("Model A", 370));
  // Driver name, printer data "Base" ("s<text>" or null), 1122, entry.
  using Row = std::tuple<const char16_t*, const char*, std::uint16_t, int>;
  const Row rows[] = {{u"Model A series X", nullptr, 1, 3},  {u"Model A ZDL", nullptr, 1, 3},
                      {u"series X", nullptr, 1, 0},          {u"zdl", nullptr, 1, 0},
                      {u"Model A series X", nullptr, 0, 0},  {u"Other", "sMODEL-100", 1, 1},
                      {u"Model-200 dn zdl", "s<none>", 1, 2}};
  for (auto [driver, base, series_switch, entry] : rows) {
    PutData(u"Base", base);
    SetValue(job_, 1122, series_switch);
    context_->Retarget(GPrinterKey(context_->GetPrinterHandle(), u"P1", driver, u"USB001", 0));
    std::unique_ptr<GAttributeComposite> built(context_->BuildDefaultSettings());
    auto* chosen = dynamic_cast<GValueAttribute*>(FindDirectChild(built.get(), 360));
    EXPECT_EQ(chosen ? chosen->GetValue() : 0, entry) << RWWString(driver).ToMultiByte().Data();
  }

  // Printer data ("d<n>", "s<text>" or null), then 925, 316 and 202.
  using Data = std::tuple<const char*, const char*, const char*, const char*>;
  const Data data[] = {{nullptr, nullptr, nullptr, "64 MBX-1 50"},
                       {"d77", "sMBX-9", "d100", "77 MBX-9 100"},
                       {"d4294967295", "s<none>", "d101", "64 MBX-1 50"},
                       {"s77", "d5", "d4294967295", "64 MBX-1 50"}};
  for (auto [mem, bin, level, after] : data) {
    PutData(u"Mem", mem);
    PutData(u"Bin", bin);
    PutData(u"Level", level);
    GAttributeComposite* options = Group(365, {{925, 64}});
    options->AddChild(new GStringAttribute("MBX-1", 316));
    options->AddChild(new GRangeAttribute(0, 100, 1, 50, 202));
    const auto settings = Holding(options);
    context_->ApplyPrinterDataValues(settings.get());
    EXPECT_EQ(std::to_string(SignedValueOr(options, 925, 0)) + " " +
                  FindStringAttribute(options, 316)->GetValue().Data() + " " +
                  std::to_string(FindOfClass<GRangeAttribute>(options, 202)->GetValue()),
              after);
  }
  for (platform::UINT page : {932u, 936u, 949u, 950u, 1361u, 1252u, 65001u}) {
    platform::SetCodePages(page, platform::kCodePageUtf8);
    context_->ApplyPrinterDataValues(Holding(Group(365, {})).get());
    EXPECT_EQ(context_->GetEastAsianFlag(), page < 1252 || page == 1361 ? 1 : 0) << page;
  }

  PutData(u"PrinterUUID", "s{U}");
  RWCString name;
  EXPECT_STREQ(context_->GetLocalWatermarkPoolName(name).Data(),
               "???\\-2147483647\\Software\\Kestrova\\{U}\\LocalWatermarkPoolData\\"
               "LocalWatermarkPool");
  RWWString key;
  context_->GetLocalJobStorageKey(key);
  EXPECT_TRUE(key == u"Software\\Kestrova\\{U}\\LocalJobStorageData");
  EXPECT_EQ(context_->SetLocalJobStorageValue(7), 1);
  // The defaults' "Confidential" made local, collected, merged over its own.
  GAttributeComposite* part = FindComposite(FindComposite(job_, 359), 366);
  GAttributeComposite* marks = FindComposite(part, kWatermarkListKey);
  SetValue(marks->Children()[0].Get(), kWatermarkScopeKey, 2);
  context_->CollectLocalWatermarks(part);
  std::unique_ptr<GAttributeComposite> pool(
      LoadNamedObjectAs<GAttributeComposite>(context_, RWWString::FromMultiByte(name)));
  EXPECT_EQ(Scopes(pool.get()), "Confidential2 ");
  SetValue(marks->Children()[0].Get(), kWatermarkScopeKey, 1);
  context_->MergeLocalWatermarks(marks);
  EXPECT_EQ(Scopes(marks), "Draft0 Confidential2 ");
}

TEST_F(ContextBase, InstalledOptionsSetValuesMarkDevicesAndPlaceTheStoredMaps) {
  MPersistentObject* device = context_->DeviceSettings(101);
  EXPECT_EQ(context_->ApplyInstalledOptions(Holding(Group(0, {})).get()), 0);
  const std::uint16_t values[][2] = {{307, 2000}, {925, 96}, {918, 3}, {308, 1},
                                     {245, 1},    {310, 1},  {311, 4}, {239, 2},
                                     {317, 5},    {441, 6},  {915, 7}, {976, 8}};
  GAttributeComposite* options = Group(365, {});
  for (auto [key, value] : values)
    options->AddChild(new GValueAttribute(value, key));
  EXPECT_EQ(context_->ApplyInstalledOptions(Holding(options).get()), 1);
  // Device 101 shares the model's own range 202 now, which took 307 clamped.
  auto* range = FindOfClass<GRangeAttribute>(device, 202);
  EXPECT_EQ(range == FindOfClass<GRangeAttribute>(model_, 202) ? range->GetValue() : 0, 1000);
  const std::pair<MPersistentObject*, int> landed[] = {
      {model_, 201}, {model_, 1011}, {model_, 204}, {model_, 231}, {model_, 226}, {model_, 441},
      {model_, 976}, {job_, 245},    {job_, 311},   {job_, 915},   {device, 317}};
  std::string values_landed;
  for (auto [in, key] : landed)
    values_landed += std::to_string(SignedValueOr(in, key, -1)) + " ";
  EXPECT_EQ(values_landed, "96 3 1 1 0 6 -1 1 4 7 5 ");
  // Main Unit, the cassette, MBX-1, the cassette again, a tray-5 feeder.
  GAttributeComposite* pool = Pool();
  pool->AddChild(support::Device(support::kCassettePartNumber, kPaperSource, 1, {{"Tray 3", 3}}));
  pool->AddChild(support::Device("Feeder", kPaperSource, 1, {{"Envelopes", 5}}));
  for (RWSize i : {0, 1, 3})
    static_cast<GPaperHandlingDevice*>(pool->Children()[i].Get())->SetPart(2, Group(0, {}));
  using Row = std::tuple<const char*, const char*, int, const char*>;
  const Row rows[] = {{"MBX-1", support::kCassettePartNumber, 1, "12 12 10 1 11 "},
                      {"MBX-2", "Feeder", 0, "12 2 0 1 11 "}};
  for (auto [output, source, feeder, state] : rows) {
    std::unique_ptr<GAttributeComposite> part(
        Group(365, {{213, 9}, {318, 2}, {275, feeder}, {274, 2}}));
    part->AddChild(new GStringAttribute(output, 316));
    part->AddChild(new GStringAttribute(source, 315));
    context_->ApplyInstalledOptions(part.get());  // the part itself
    EXPECT_EQ(Each(pool,
                   [](MPersistentObject* child) {
                     auto* device = static_cast<GPaperHandlingDevice*>(child);
                     return std::to_string(device->IsInstalled() * 10 + device->GetCurrentPartId());
                   }),
              state);
  }

  // Maps of another class count as none: the file's tray map stays.
  RWCollectable* file_map = context_->GetTrayMap();
  Services().StoreNamedObject(context_, RWWString(u"VROOSTrayMap"), Pool());
  context_->ApplyInstalledOptions(Holding(Group(365, {})).get());
  EXPECT_EQ(context_->GetTrayMap(), file_map);
  // The maps an import of the acceptance test's store writes read back.
  testing_support::FakeFeatureStore store;
  acceptance::FillStore(store);
  ASSERT_TRUE(store.Install());
  SetProductData(&acceptance::kProduct);
  GCountedPtr root(support::Model());
  auto* imported = static_cast<GAttributeComposite*>(root.Get());
  EXPECT_EQ(TestImporter(imported, context_, RWWString(u"P1")).ImportPhysical(), 1u);
  SetProductData(nullptr);
  context_->WriteBinAndTrayMaps(imported);
  std::unique_ptr<MPersistentObject> written(Pool()->DeepCopy());
  std::unique_ptr<MPersistentObject> map(
      static_cast<MPersistentObject*>(context_->GetTrayMap())->DeepCopy());
  Pool()->RemoveAll();
  context_->SetTrayMap(new GResourceMappingList(84));
  MAssociationList pdl_map(0);  // keyed 0
  pdl_map.AddChild(
      new MPersistentAssociation(new GValueAttribute(7, 0), new GValueAttribute(8, 0)));
  Services().StoreNamedObject(context_, RWWString(u"VROPDLTrayMap"), &pdl_map);
  EXPECT_EQ(context_->ApplyInstalledOptions(imported), 1);
  EXPECT_TRUE(Pool()->IsEqualContent(written.get()));
  EXPECT_TRUE(static_cast<MPersistentObject*>(context_->GetTrayMap())->IsEqualContent(map.get()));
  GValueAttribute seven(7, 0);
  auto* pdl = FindOfClass<MAssociationList>(context_->DeviceSettings(101), 85);  // its old key
  EXPECT_EQ(static_cast<GValueAttribute*>(pdl->FindValue(&seven))->GetValue(), 8);
}

}  // namespace
