// The document events of a context over P1's data file, on a recording
// printer device context: the escape records, the device-mode copy, job
// accounting, the job hooks, the watermark, job storage and its notice,
// and the manual-duplex decision.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/document/escape_records.h"
#include "driver/driver_context.h"
#include "driver/driver_data_file.h"
#include "persist/persistent_stream.h"
#include "platform/host/job_hook_library.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "platform/host/version_info.h"
#include "platform/ui/device_context.h"
#include "resources/resource_library.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/test_plugins.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using Bytes = std::vector<platform::BYTE>;
using support::kFixturePort;
using support::kFixturePrinter;
// The support library, beside the services' module (the host program's).
constexpr char16_t kSupport[] = u"C:\\Program Files\\App\\KVQCF.DLL";

Bytes Text(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

// A context over P1's data whose default settings are made from
// `defaults`, counting the instruction sheets it is asked for.
class DocContext : public GDriverContext {
 public:
  explicit DocContext(platform::HANDLE printer)
      : GDriverData(kFixturePrinter, support::kFixtureDriver, kFixturePort),
        GDriverContext(printer, kFixturePrinter, support::kFixtureDriver, kFixturePort) {}
  GAttributeComposite* CreateDefaultSettings() override {
    return static_cast<GAttributeComposite*>(defaults->DeepCopy());
  }
  int ShowManualDuplexInstructions() override {
    ++instructions;
    return GDriverContext::ShowManualDuplexInstructions();
  }
  void UseAppFlags(std::uint32_t flags) { SetAppFlags(flags); }

  std::unique_ptr<GAttributeComposite> defaults = std::make_unique<GAttributeComposite>(359);
  int instructions = 0;
};

// The composite under `path` in `root`, made where missing.
GAttributeComposite* Part(GAttributeComposite* root, std::initializer_list<std::uint32_t> path) {
  for (std::uint32_t key : path) {
    auto* next = dynamic_cast<GAttributeComposite*>(root->FindByKey(key));
    if (!next) root->AddChild(next = new GAttributeComposite(key));
    root = next;
  }
  return root;
}
void Put(GAttributeComposite* in, std::uint32_t key, std::uint16_t value) {
  if (auto* found = dynamic_cast<GValueAttribute*>(in->FindByKey(key)))
    return found->SetValue(value);
  in->AddChild(new GValueAttribute(value, key));
}
void Put(GAttributeComposite* in, std::uint32_t key, const RWCString& text) {
  if (auto* found = dynamic_cast<GStringAttribute*>(in->FindByKey(key)))
    return found->SetValue(text);
  in->AddChild(new GStringAttribute(text, key));
}

std::atomic<int> g_notices{0};
GJobStorageNotice g_notice;
int RecordNotice(const GJobStorageNotice& notice) {
  if (g_notices++ == 0) g_notice = notice;
  return 0;  // "do not show again"
}

class DocumentEvents : public testing_support::PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    platform::SetHostProgramPath(u"C:\\Program Files\\App\\WRITER.EXE");
    ASSERT_EQ(platform::OpenPrinterW(kFixturePrinter, &handle_, nullptr), 1);
    context_ = MakeContext();
    dc_ = platform::CreatePrinterDC({5100, 6600, 600});
    g_notices = 0;
  }
  void TearDown() override {
    SetJobStorageNoticeShower(nullptr);
    platform::DeleteDC(dc_);
    context_.reset();
    platform::ClosePrinter(handle_);
    PrinterFixture::TearDown();
  }
  std::unique_ptr<DocContext> MakeContext() {
    auto context = std::make_unique<DocContext>(handle_);
    std::unique_ptr<GPersistentInputStream> file(
        Services().NewFileInputStream(support::kFixtureDataFile, GOSFactory::kBinaryEncoding));
    EXPECT_TRUE(file && LoadDriverDataFile(*file, *context));
    return context;
  }

  int Event(int event, std::vector<void*> entries = {}, void** out = nullptr,
            DocContext* context = nullptr, platform::HDC dc = nullptr) {
    return (context ? context : context_.get())
        ->DrvDocumentEvent(
            handle_, dc ? dc : dc_, event, platform::DWORD(entries.size() * sizeof(void*)),
            entries.empty() ? nullptr : entries.data(), out ? sizeof(void*) : 0, out);
  }
  // A document: start, start post, `pages` pages, end, end post.
  void Document(int pages, DocContext* context = nullptr, platform::HDC dc = nullptr) {
    platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
    Event(platform::kDocumentEventStartDoc, {&info}, nullptr, context, dc);
    Event(platform::kDocumentEventStartDocPost, {}, nullptr, context, dc);
    for (int page = 0; page < pages; ++page) {
      Event(platform::kDocumentEventStartPage, {}, nullptr, context, dc);
      Event(platform::kDocumentEventEndPage, {}, nullptr, context, dc);
    }
    Event(platform::kDocumentEventEndDoc, {}, nullptr, context, dc);
    Event(platform::kDocumentEventEndDocPost, {}, nullptr, context, dc);
  }
  std::vector<platform::DcEvent> Escapes(int code = 0) {
    std::vector<platform::DcEvent> found;
    for (auto& event : platform::DeviceContextLog(dc_)) {
      if (event.call == platform::DcCall::kEscape && (code == 0 || event.code == code))
        found.push_back(event);
    }
    return found;
  }
  // The user record sent at document start, or "-" for none.
  std::string UserRecord() {
    platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
    context_->CurrentDefaultSettings();
    const std::size_t before = Escapes(kEscapeUser).size();
    Event(platform::kDocumentEventStartDoc, {&info});
    auto users = Escapes(kEscapeUser);
    if (users.size() == before) return "-";
    return std::string(users.back().bytes.begin(), users.back().bytes.end() - 1);
  }

  platform::HANDLE handle_ = nullptr;
  std::unique_ptr<DocContext> context_;
  platform::HDC dc_ = nullptr;
};

// The records at document start, hand-derived from the stored forms: each
// text with its NUL; the system record "OS Info: " major "." minor ";"
// build ";" with "WinNT Kernel;" first below version 5 on NT.
TEST_F(DocumentEvents, DocumentStartSendsTheJobRecordsInOrder) {
  ASSERT_TRUE(support::SetMachineText(
      u"System\\CurrentControlSet\\Control\\ComputerName\\ComputerName", u"ComputerName", u"PC-7"));
  ASSERT_TRUE(support::SetMachineText(u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
                                      u"DefaultDomainName", u"CORP"));
  struct Case {
    platform::SystemVersion version;
    bool version_data;
    std::vector<int> codes;
    Bytes system;
    Bytes application;
  } cases[] = {
      {{5, 1, 2600, platform::kVerPlatformWin32Nt},
       true,
       {kEscapeUser, kEscapeComputer, kEscapeDomain, kEscapeJobId, kEscapeSystem, kEscapeProgram,
        kEscapeApplication, kEscapeFileName, kEscapePort},
       {0x4F, 0x53, 0x20, 0x49, 0x6E, 0x66, 0x6F, 0x3A, 0x20, 0x35, 0x2E, 0x31, 0x3B, 0x32, 0x36,
        0x30, 0x30, 0x3B, 0x00},
       Text("Application Info: Writer;Office;1.0;")},
      {{4, 0, 1381, platform::kVerPlatformWin32Nt},
       false,
       {kEscapeUser, kEscapeComputer, kEscapeDomain, kEscapeJobId, kEscapeSystem,
        kEscapeApplication, kEscapeFileName, kEscapePort},
       Text("OS Info: WinNT Kernel;4.0;1381;"),
       Text("Application Context not Available")},
  };
  Part(context_->defaults.get(), {362});
  for (const Case& c : cases) {
    platform::SetSystemVersion(c.version);
    if (c.version_data) {
      platform::SetFileVersionData(u"C:\\Program Files\\App\\WRITER.EXE",
                                   {{{0x0409, 0x04B0}},
                                    {{u"\\StringFileInfo\\040904b0\\FileDescription", u"Writer"},
                                     {u"\\StringFileInfo\\040904b0\\ProductName", u"Office"},
                                     {u"\\StringFileInfo\\040904b0\\ProductVersion", u"1.0"}}});
    } else {
      platform::SetFileVersionData(u"C:\\Program Files\\App\\WRITER.EXE", {});
    }
    platform::DeleteDC(dc_);
    dc_ = platform::CreatePrinterDC({});
    platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
    EXPECT_EQ(Event(platform::kDocumentEventStartDoc, {&info}), 1);
    std::vector<int> codes;
    for (auto& escape : Escapes())
      codes.push_back(escape.code);
    EXPECT_EQ(codes, c.codes);
    EXPECT_EQ(Escapes(kEscapeSystem).at(0).bytes, c.system);
    EXPECT_EQ(Escapes(kEscapeApplication).at(0).bytes, c.application);
    EXPECT_EQ(Escapes(kEscapeFileName).at(0).bytes,
              (Bytes{0x57, 0x52, 0x49, 0x54, 0x45, 0x52, 0x2E, 0x45, 0x58, 0x45, 0x00}));
    EXPECT_EQ(Escapes(kEscapePort).at(0).bytes, Text("USB001"));
    EXPECT_EQ(Escapes(kEscapeComputer).at(0).bytes, Text("PC-7"));
    EXPECT_EQ(Escapes(kEscapeDomain).at(0).bytes, Text("CORP"));
    EXPECT_EQ(Escapes(kEscapeUser).at(0).bytes, Text("USER"));
    const Bytes id = Escapes(kEscapeJobId).at(0).bytes;
    ASSERT_EQ(id.size(), 37u);
    EXPECT_EQ(id[8], '-');
    EXPECT_EQ(id[23], '-');
    EXPECT_EQ(id[36], 0);
    if (c.version_data) {
      EXPECT_EQ(Escapes(kEscapeProgram).at(0).bytes, Text("Writer"));
    }
  }
}

// Without 1027 the name is sanitised; with it, the printer font's map (a
// format-4 subtable from its doubled segment count: 2 segments, 'A'-'Z'
// and 0xFFFF) decides, big-endian.
TEST_F(DocumentEvents, JobUserNamesAreSanitisedOrCheckedAgainstTheFontMap) {
  const char kMap[] = {0,    4,          0,          4, 0, 1, 0,    0,          0,
                       0x5A, char(0xFF), char(0xFF), 0, 0, 0, 0x41, char(0xFF), char(0xFF)};
  context_->GetJobSettings()->AddChild(new GStringAttribute(RWCString(kMap, sizeof kMap), 1026));
  ASSERT_TRUE(platform::AddModule({kSupport, {}, {{11029, u"Untitled"}}}));
  struct Case {
    std::u16string name;
    bool available;
    bool check;
    std::string sent;
  } cases[] = {
      {u"abc\u00e9", true, false, "ABC"},
      {u"ab\"cd", true, false, "AB"},
      {u"", true, false, "UNTITLED"},
      {u"administrator_account", true, false, "ADMINISTRATOR_AC"},
      {u"x", false, false, "-"},
      {u"ABc", true, true, "AB~"},
      {u"abc", true, true, "UNTITLED"},
      {u"", true, true, "Untitled"},
      {u"ABCDEFGHIJKLMNOPQRS", true, true, "ABCDEFGHIJKLMNOP"},
  };
  GAttributeComposite* storage = Part(context_->defaults.get(), {362});
  for (const Case& c : cases) {
    platform::SetUserName(c.name, c.available);
    if (c.check) Put(storage, 1027, 1);
    EXPECT_EQ(UserRecord(), c.sent) << std::string(c.name.begin(), c.name.end());
  }
  // Random maps of 0 to 40 bytes answer some name and read nothing beyond.
  std::mt19937 random(45);
  platform::SetUserName(u"Someone");
  for (int round = 0; round < 300; ++round) {
    std::string map(random() % 41, '\0');
    for (char& byte : map)
      byte = char(random() % 4 == 0 ? 0xFF : random());
    static_cast<GStringAttribute*>(context_->GetJobSettings()->FindByKey(1026))
        ->SetValue(RWCString(map.data(), map.size()));
    EXPECT_NE(UserRecord(), "-");
  }
}

// The copy of a 220-byte record (dmSize 220, no private part): the record,
// zeros to 256, the application flags (u32) and the bias (u16) at 260,
// zeros to 264.
TEST_F(DocumentEvents, DeviceModeCopiesAreStampedOnlyIntoPaddingOrTheirHeader) {
  context_->UseAppFlags(0x100);
  platform::SetTimeZone({300, false, true});
  Bytes record(300, 0);
  for (std::size_t i = 0; i < record.size(); ++i)
    record[i] = platform::BYTE(i * 7 + 1);
  const auto sized = [&](std::uint16_t extra, std::uint16_t capacity) {
    Bytes r = record;
    r[68] = 220, r[69] = 0, r[70] = platform::BYTE(extra), r[71] = 0;
    r[266] = r[267] = 0;
    r[268] = platform::BYTE(capacity), r[269] = platform::BYTE(capacity >> 8);
    return r;
  };
  const Bytes plain = sized(0, 0);
  Bytes stamped(plain.begin(), plain.begin() + 220);
  stamped.resize(256, 0);
  for (platform::BYTE b : {0x00, 0x01, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00})
    stamped.push_back(b);
  Bytes unstamped(plain.begin(), plain.begin() + 220);
  unstamped.resize(264, 0);
  struct Case {
    int event;
    Bytes dev_mode;
    std::uintptr_t ic;
    Bytes copy;  // empty: compare 256-263 with the record's own
    bool stamp;
  } cases[] = {
      {platform::kDocumentEventCreateDcPre, sized(0, 0), 0, stamped, true},
      {platform::kDocumentEventCreateDcPre, sized(0, 0), 1, unstamped, false},
      {platform::kDocumentEventResetDcPre, sized(0, 0), 1, stamped, true},
      {platform::kDocumentEventCreateDcPre, sized(80, 0xFFFF), 0, {}, false},  // not ours
      {platform::kDocumentEventCreateDcPre, sized(80, 30), 0, {}, true},       // our header
  };
  for (const Case& c : cases) {
    Bytes dev_mode = c.dev_mode;
    void* copy = nullptr;
    std::vector<void*> entries = {nullptr, nullptr, dev_mode.data(), reinterpret_cast<void*>(c.ic)};
    if (c.event == platform::kDocumentEventResetDcPre) entries = {dev_mode.data()};
    ASSERT_EQ(Event(c.event, entries, &copy), 1);
    ASSERT_NE(copy, nullptr);
    const auto* bytes = static_cast<const platform::BYTE*>(copy);
    if (!c.copy.empty()) {
      EXPECT_EQ(Bytes(bytes + 256, bytes + 264), Bytes(c.copy.begin() + 256, c.copy.end()));
      EXPECT_EQ(Bytes(bytes, bytes + 264), c.copy);
    } else {
      EXPECT_EQ(Bytes(bytes, bytes + 220), Bytes(dev_mode.begin(), dev_mode.begin() + 220));
      const Bytes at256(bytes + 256, bytes + 262);
      EXPECT_EQ(at256 == Bytes(stamped.begin() + 256, stamped.begin() + 262), c.stamp);
      EXPECT_EQ(at256 == Bytes(dev_mode.begin() + 256, dev_mode.begin() + 262), !c.stamp);
    }
    // Only a copy handed out is freed, once.
    EXPECT_NE(Event(platform::kDocumentEventCreateDcPost, {copy}), -1);
    EXPECT_EQ(Event(platform::kDocumentEventCreateDcPost, {copy}), -1);
  }
  Bytes foreign(264, 0);
  EXPECT_EQ(Event(platform::kDocumentEventResetDcPost, {foreign.data()}), -1);
  void* copy = &copy;
  EXPECT_EQ(Event(platform::kDocumentEventCreateDcPre, {nullptr, nullptr, nullptr, nullptr}, &copy),
            1);
  EXPECT_EQ(copy, nullptr);
}

// Watermark: level 255 (drawn as 232), only the red flag, vertical, 100 pt
// at 600 dpi; the escape record is the marker 0xCFC14712, the state and
// the colour 0x00E8E8FF.
TEST_F(DocumentEvents, WatermarksDrawOnTheirPagesBetweenTheirEscapes) {
  GAttributeComposite* definition = Part(context_->defaults.get(), {366, 378, 380});
  Put(definition, 384, "Draft");
  Put(definition, 385, "DRAFT");
  Put(definition, 386, "Arial");
  for (auto [key, value] : {std::pair{387, 0},
                            {388, 1},
                            {390, 100},
                            {393, 2},
                            {403, 255},
                            {398, 1},
                            {399, 0},
                            {400, 0}})
    Put(definition, key, std::uint16_t(value));
  GAttributeComposite* job = Part(context_->defaults.get(), {364, 379});
  Put(job, 381, 0);
  Put(job, 383, "Draft");
  const Bytes before = {0x12, 0x47, 0xC1, 0xCF, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xE8, 0xE8, 0x00};
  const Bytes after = {0x12, 0x47, 0xC1, 0xCF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xE8, 0xE8, 0x00};
  for (auto [pages_value, drawn] : {std::pair{1, 1}, {0, 3}}) {
    Put(job, 382, std::uint16_t(pages_value));
    platform::DeleteDC(dc_);
    dc_ = platform::CreatePrinterDC({5100, 6600, 600});
    context_->CurrentDefaultSettings();
    Document(3);
    std::vector<platform::DcEvent> texts;
    std::vector<Bytes> records;
    for (auto& event : platform::DeviceContextLog(dc_)) {
      if (event.call == platform::DcCall::kTextOut) texts.push_back(event);
      if (event.call == platform::DcCall::kEscape && event.code == kEscapeWatermark)
        records.push_back(event.bytes);
    }
    ASSERT_EQ(int(texts.size()), drawn);
    ASSERT_EQ(int(records.size()), 2 * drawn);
    EXPECT_EQ(records[0], before);
    EXPECT_EQ(records[1], after);
    const platform::DcEvent& text = texts[0];
    EXPECT_EQ(text.text, u"DRAFT");
    EXPECT_EQ(text.state.font.height, -833);
    EXPECT_EQ(text.state.font.escapement, 900);
    EXPECT_EQ(text.state.font.weight, 700);
    EXPECT_EQ(std::u16string(text.state.font.face_name), u"Arial");
    EXPECT_EQ(text.state.text_color, 0x00E8E8FFu);
    EXPECT_EQ(text.state.bk_mode, platform::kTransparent);
    EXPECT_EQ(text.state.clip.right, 5100);
    // Centred: the extent is 2082 x 833 (5 characters of height 833).
    EXPECT_NEAR(text.at.x, 2550 - 416, 1);
    EXPECT_NEAR(text.at.y, 1041 + 3300, 1);
    platform::DcState state;
    ASSERT_TRUE(platform::CurrentDcState(dc_, state));
    EXPECT_EQ(state.bk_mode, platform::kOpaque);
  }
  // A selected name that the list lacks draws nothing.
  Put(job, 383, "Other");
  context_->CurrentDefaultSettings();
  context_->BeginWatermark();
  EXPECT_EQ(context_->GetWatermarkMode(), kWatermarkNone);
  Put(job, 383, "Draft");
  // Settings without the list (366 -> 378) draw nothing, not the last
  // document's watermark, and their pages end.
  for (GAttributeComposite* settings : {context_->defaults.get(), context_->GetDefaultSettings()})
    delete Part(settings, {366})->RemoveByKey(378);
  platform::DeleteDC(dc_);
  dc_ = platform::CreatePrinterDC({5100, 6600, 600});
  platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
  Event(platform::kDocumentEventStartDoc, {&info});
  Event(platform::kDocumentEventStartDocPost);
  EXPECT_EQ(context_->GetWatermarkMode(), kWatermarkNone);
  Event(platform::kDocumentEventStartPage);
  EXPECT_EQ(Event(platform::kDocumentEventEndPage), 1);
  Event(platform::kDocumentEventEndDoc), Event(platform::kDocumentEventEndDocPost);
  for (auto& event : platform::DeviceContextLog(dc_))
    EXPECT_NE(event.call, platform::DcCall::kTextOut);
}

TEST_F(DocumentEvents, BuiltInWatermarksTakeTheSupportLibrarysCodePage) {
  for (auto [code_page, char_set, face] :
       {std::tuple{932u, 128, u"\uFF2D\uFF33 \uFF30\u660E\u671D"},
        {936u, 134, u"\u5B8B\u4F53"},
        {949u, 129, u"\uBC14\uD0D5"},
        {950u, 136, u"\u65B0\u7D30\u660E\u9AD4"},
        {1252u, 0, u"Arial"},
        {874u, 222, u"Arial"},
        {437u, 255, u"Arial"}}) {
    EXPECT_EQ(WatermarkFaceForCodePage(code_page).char_set, char_set);
    EXPECT_EQ(std::u16string(WatermarkFaceForCodePage(code_page).face), face);
  }
  ASSERT_TRUE(
      platform::AddModule({kSupport, {}, {{11060, u"Sample"}, {11074, u"Draft"}, {11077, u"72"}}}));
  // The record the resource library ships (resource_library.rcs) names code
  // page 1200: character set 0 with "Arial".
  ASSERT_TRUE(platform::AddModuleResources(kSupport,
                                           {{}, {}, {}, {}, resources::ResourceLibrary().version}));
  Part(context_->defaults.get(), {366, 378});
  context_->CurrentDefaultSettings();
  context_->AddDefaultWatermarks();
  auto* list = dynamic_cast<GAttributeComposite*>(
      context_->GetDefaultSettings()->FindByKey(366)->FindByKey(378));
  ASSERT_EQ(list->EntryCount(), 4u);
  auto value = [&](int entry, std::uint32_t key) {
    return static_cast<GValueAttribute*>(list->Children()[entry]->FindByKey(key))->GetValue();
  };
  auto text = [&](int entry, std::uint32_t key) {
    return std::string(
        static_cast<GStringAttribute*>(list->Children()[entry]->FindByKey(key))->GetValue().Data());
  };
  EXPECT_EQ(value(0, 387), 0);
  // Version data declared for the file stands before the module's record.
  list->RemoveAll();
  platform::SetFileVersionData(kSupport, {{{0x0404, 950}}, {}});
  context_->AddDefaultWatermarks();
  ASSERT_EQ(list->EntryCount(), 4u);
  EXPECT_EQ(text(0, 384), "");
  EXPECT_EQ(text(0, 385), "Sample");
  EXPECT_EQ(text(1, 384), "Draft");
  EXPECT_EQ(text(0, 386), "\xE6\x96\xB0\xE7\xB4\xB0\xE6\x98\x8E\xE9\xAB\x94");
  EXPECT_EQ(value(0, 387), 136);
  EXPECT_EQ(value(0, 390), 72);  // its size string
  EXPECT_EQ(value(1, 390), 72);  // no size string: the previous size
  EXPECT_EQ(value(1, 388), 1);
  EXPECT_EQ(value(2, 1112), 3);
  EXPECT_EQ(value(3, 403), 224);  // no 924
  context_->AddDefaultWatermarks();
  EXPECT_EQ(list->EntryCount(), 4u);  // a list with entries is left alone
}

// The manual-duplex record is the marker 0xCFC14711, the mode and 0.
TEST_F(DocumentEvents, ManualDuplexEscapeAndInstructions) {
  GAttributeComposite* defaults = context_->defaults.get();
  Part(defaults, {kPluginNamesKey})->AddChild(new GStringAttribute("PLUGA.DLL", 0));
  testing_support::TestPlugin& plugin =
      testing_support::InstallTestPlugin(0, u"PLUGA.DLL", {1}, u"A");
  const Bytes record = {0x11, 0x47, 0xC1, 0xCF, 0x01, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    int manual, pass, answer;
    bool with_1010;
    std::size_t escapes;
    int shown;
  } cases[] = {
      {1, 1, 1, false, 1, 1},
      {1, 1, 0, false, 1, 0},
      {1, 1, 1, true, 1, 0},
      {1, 0, 1, false, 0, 0},
  };
  for (const Case& c : cases) {
    Put(defaults, 253, std::uint16_t(c.manual));
    Put(defaults, 245, std::uint16_t(c.pass));
    if (c.with_1010) Put(defaults, 1010, 0);
    context_->CurrentDefaultSettings();
    platform::DeleteDC(dc_);
    dc_ = platform::CreatePrinterDC({});
    platform::ScriptEscape(dc_, kEscapeManualDuplex, c.answer);
    context_->instructions = 0;
    plugin.indices.clear();
    EXPECT_EQ(Event(platform::kDocumentEventEndDoc), 1);
    ASSERT_EQ(Escapes(kEscapeManualDuplex).size(), c.escapes);
    if (c.escapes) {
      EXPECT_EQ(Escapes(kEscapeManualDuplex)[0].bytes, record);
    }
    EXPECT_EQ(context_->instructions, c.shown);
    // Shown: the sheet hook asks the plug-in for the instructions alone.
    EXPECT_EQ(plugin.indices, c.shown ? std::vector<std::int16_t>{kUIManualDuplexIndex}
                                      : std::vector<std::int16_t>{});
    if (c.shown) {
      EXPECT_EQ(plugin.page_flags, 3u);
    }
  }
  EXPECT_EQ(NonPropPageSheet(nullptr, 0, 5, 9), 5);
}

// The document end's decision: 1010 present and (pages past the group and
// not 1, or 279), unless every clearing condition holds.
TEST_F(DocumentEvents, DocumentEndDecidesOnTheInstructions) {
  struct Case {
    const char* what;
    int pages, group, always;
    bool clear;
    std::uint32_t broken;  // the clearing condition that fails
    int shown;
  } cases[] = {
      {"one page", 1, 2, 0, false, 0, 0},     {"three of two", 3, 2, 0, false, 0, 1},
      {"two of two", 2, 2, 0, false, 0, 0},   {"group 0", 3, 0, 0, false, 0, 0},
      {"279", 1, 2, 1, false, 0, 1},          {"cleared", 3, 2, 0, true, 0, 0},
      {"duplex unit", 3, 2, 0, true, 308, 1}, {"plain paper", 3, 2, 0, true, 905, 1},
      {"media", 3, 2, 0, true, 260, 1},       {"listed text", 3, 2, 0, true, 261, 1},
  };
  for (const Case& c : cases) {
    context_->defaults = std::make_unique<GAttributeComposite>(359);
    GAttributeComposite* defaults = context_->defaults.get();
    Put(defaults, 1010, 0);
    Put(Part(defaults, {329}), 266, std::uint16_t(c.group));
    Put(defaults, 279, std::uint16_t(c.always));
    if (c.clear) {
      Put(defaults, 905, c.broken == 905 ? 1 : 0);
      Put(defaults, 308, c.broken == 308 ? 0 : 1);
      Put(defaults, 260, c.broken == 260 ? 5 : 1);            // 188 holds 1 and 23
      if (c.broken == 261) Put(defaults, 261, "Courier PS");  // listed in 1132
    }
    context_->instructions = 0;
    Document(c.pages);
    EXPECT_EQ(context_->instructions, c.shown) << c.what;
  }
}

// Begin record: 0, 4, u16 4, u16 1 (no 364 -> 291), u16 2 (no 434), zeros.
TEST_F(DocumentEvents, JobHooksHearOfTheJobItsPagesAndItsEnd) {
  const Bytes begin = {0, 0, 0, 0, 4, 0, 0, 0, 4, 0, 1, 0, 2, 0,
                       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const Bytes page = {0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    platform::JobHookLibrarySpec script;
    std::vector<std::string> calls;
  } cases[] = {
      {{}, {"ksBeginJobEx", "ksEndPage", "ksEndJob"}},
      {{true, false, true, true}, {"ksBeginJob", "ksEndPage", "ksEndJob"}},
      {{true, true, false, true}, {}},
      {{true, true, true, true, 0}, {"ksBeginJobEx"}},  // no job: no more calls
  };
  for (const Case& c : cases) {
    platform::ResetHostServices();
    ASSERT_TRUE(platform::InstallJobHookLibrary(c.script));
    platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
    Event(platform::kDocumentEventStartDoc, {&info});
    Event(platform::kDocumentEventEndPage);
    Event(platform::kDocumentEventAbortDoc);
    const auto calls = platform::JobHookCalls();
    std::vector<std::string> names;
    for (auto& call : calls)
      names.push_back(call.entry);
    EXPECT_EQ(names, c.calls);
    if (names.size() == 3) {
      EXPECT_EQ(calls[0].record, begin);
      EXPECT_EQ(calls[1].record, page);
      EXPECT_EQ(calls[2].aborted, 1u);
      EXPECT_EQ(calls[2].job, c.script.job);
    }
    if (!names.empty() && names[0] == "ksBeginJobEx") {
      EXPECT_EQ(calls[0].texts,
                (std::vector<std::u16string>{u"Application", u"Doc", u"P1", u"USB001", u"USB001"}));
    }
    EXPECT_EQ(platform::GetModuleCounters(platform::kJobHookLibraryName).references, 0u);
  }
}

TEST_F(DocumentEvents, JobStorageNamesTheJobAndShowsTheNoticeOnItsThread) {
  GAttributeComposite* storage = Part(context_->defaults.get(), {362});
  Put(storage, 287, 1);
  Put(storage, 1035, 0);
  Put(storage, 1232, 1);
  Put(storage, 1034, 0);
  SetJobStorageNoticeShower(&RecordNotice);
  platform::ScriptEscape(dc_, kEscapeProgram, 1, Text("JOB1"));
  Document(1);
  EXPECT_EQ(g_notices.load(), 1);
  EXPECT_EQ(g_notice.texts[0], u"P1");
  EXPECT_EQ(g_notice.texts[1], u"USB001");
  EXPECT_EQ(g_notice.texts[2], u"User");
  EXPECT_EQ(g_notice.texts[3], u"JOB1(01-99)");
  EXPECT_EQ(g_notice.texts[4], u"");
  EXPECT_EQ(context_->GetDocumentFlag(), 1u);  // "do not show again" was kept
  // Replies of every length; one without a NUL keeps 511 bytes.
  for (std::size_t length : {0, 1, 510, 511, 512, 600}) {
    platform::ScriptEscape(dc_, kEscapeProgram, length ? 1 : 0, Bytes(length, 'x'));
    g_notices = 0;
    platform::RegDeleteValueW(platform::kHkeyCurrentUser, u"LocalJobStorage");
    RWWString key;
    context_->GetLocalJobStorageKey(key);
    platform::HKEY opened = nullptr;
    if (platform::RegOpenKeyW(platform::kHkeyCurrentUser, key.Data(), &opened) == 0) {
      platform::RegDeleteValueW(opened, u"LocalJobStorage");
      platform::RegCloseKey(opened);
    }
    Document(0);
    EXPECT_EQ(g_notice.texts[3].Length(), std::min<std::size_t>(length, 511) + 7) << length;
  }
}

TEST_F(DocumentEvents, TwoDocumentsOnTwoThreadsKeepTheirOwnCounts) {
  std::unique_ptr<DocContext> other = MakeContext();
  for (DocContext* context : {context_.get(), other.get()}) {
    Put(context->defaults.get(), 1010, 0);
    Put(Part(context->defaults.get(), {329}), 266, 2);
    Put(Part(context->defaults.get(), {362}), 287, 1);
  }
  SetJobStorageNoticeShower(&RecordNotice);
  platform::HDC other_dc = platform::CreatePrinterDC({});
  std::thread first([&] {
    for (int i = 0; i < 20; ++i)
      Document(3);
  });
  std::thread second([&] {
    for (int i = 0; i < 20; ++i)
      Document(1, other.get(), other_dc);
  });
  first.join();
  second.join();
  EXPECT_EQ(context_->instructions, 20);
  EXPECT_EQ(other->instructions, 0);
  EXPECT_EQ(g_notices.load(), 40);
  platform::DeleteDC(other_dc);
}

// Null and short records of every event, under the default error handler.
TEST_F(DocumentEvents, BadEventRecordsAnswerWithoutHarm) {
  Bytes junk(64, 0);
  for (int event = 0; event <= 14; ++event) {
    for (std::size_t size : {0, 4, 8, 24, 31}) {
      void* out = nullptr;
      context_->DrvDocumentEvent(handle_, dc_, event, platform::DWORD(size),
                                 size ? junk.data() : nullptr, 0, nullptr);
      context_->DrvDocumentEvent(handle_, dc_, event, platform::DWORD(size), nullptr, sizeof out,
                                 &out);
    }
  }
  EXPECT_EQ(Event(platform::kDocumentEventCreateDcPre, {nullptr, nullptr}), -1);
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 3);
}

}  // namespace
