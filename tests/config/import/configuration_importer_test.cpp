// The importer over the stand-in store with test converters: printer names
// and staleness, imports and exports by context, the printing post-step,
// the stamp, the quick set, locks, the helper binding and the factory.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/import/configuration_importer.h"
#include "config/import/converter_table.h"
#include "config/keys/settings_keys.h"
#include "platform/host/clock.h"
#include "tests/config/import/import_fixture.h"
#include "tests/support/test_importer.h"
#include "tests/support/test_support.h"

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::FakeFeatureStore;
using testing_support::FakeQCFHelper;
using testing_support::Utf8;

// --- Test converters.

constexpr std::uint32_t kDocument[] = {362};
constexpr std::uint32_t kColorMedia[] = {364};
constexpr std::uint32_t kInstalled[] = {365};
constexpr GOptionRow kSwitch[] = {{1, u"ON"}, {0, u"OFF"}};
constexpr GOptionRow kMedia[] = {{7, u"Seven"}, {220, u"Same"}};
constexpr auto kCopy = GDestinationPolicy::kCopy;

constexpr GFeatureBinding kAlpha{kDocument, 500, u"printing/Alpha", nullptr, 255, kCopy, kSwitch};
constexpr GFeatureBinding kGamma{kColorMedia, 293, u"printing/Gamma", nullptr, 255, kCopy, kMedia};
constexpr GFeatureBinding kBeta{kInstalled, 600, u"physical/Beta", nullptr, 255, kCopy, kSwitch};
constexpr GFeatureBinding kBundles{kInstalled, 601,    u"physical/Bundles", nullptr, 255,
                                   kCopy,      kSwitch};
constexpr GFeatureBinding kLocked{kDocument, 502, u"printing/Locked", nullptr, 255, kCopy, kSwitch};

// The common steps, then the lock of key 248.
class LockingConverter : public GSettingConverter {
 public:
  explicit LockingConverter(GQCFLibrary* store) : GSettingConverter(store) {}
  std::uint32_t Apply(GAttributeComposite* root, GAttributeComposite* destination) override {
    std::uint32_t result = ApplyCommon(root, destination, kLocked);
    GOptionBuffer buffer;
    RecordLockWhenLocked(root, kLocked.apply_key, 248, buffer);
    return result;
  }
  std::uint32_t Extract(GAttributeComposite* root) override { return ExtractCommon(root, kLocked); }
  static GSettingConverter* Make(const GConverterArguments& arguments) {
    return new LockingConverter(arguments.store);
  }
};

// Asks the helper about key 248; a nonzero answer is a change.
class HelpedConverter : public GSettingConverter {
 public:
  explicit HelpedConverter(GQCFLibrary* store) : GSettingConverter(store) {}
  std::uint32_t Apply(GAttributeComposite*, GAttributeComposite*) override {
    return FeatureStore()->CallHelper(248, this, 0, 0) != 0 ? 1 : 0;
  }
  std::uint32_t Extract(GAttributeComposite*) override {
    return FeatureStore()->CallHelper(248, this, 1, 0) != 0 ? 1 : 0;
  }
  static GSettingConverter* Make(const GConverterArguments& arguments) {
    return new HelpedConverter(arguments.store);
  }
};

constexpr GConverterEntry kTestChain[] = {
    {u"Alpha", &BindingConverter<kAlpha>::Make}, {u"Beta", &BindingConverter<kBeta>::Make},
    {u"Gamma", &BindingConverter<kGamma>::Make}, {u"Locked", &LockingConverter::Make},
    {u"Helped", &HelpedConverter::Make},         {u"Unserved", nullptr},
    {u"Alpha", &BindingConverter<kBeta>::Make},  // never reached: the first equal name wins
};
const GConverterTable kTestTable{kTestChain, &BindingConverter<kBundles>::Make};

// --- The model.

// 362 {500, 502, [901], 249 {323, 324, 325}, 1029, 250, 277}
// 364 {261 'Plain', 264, 293, 379 {585}}
// 365 {600, 601}, 366 {378 {}, 1102 {}}, 328 {218, 221, 220, 589}
struct ModelShape {
  int choice = -1;  // 901, -1: none
  const char* media = "Plain";
  int first_page = 0;  // 264, -1: none
  bool with_resolution = true;
  bool with_y = true;
  bool with_photo_flag = true;
  std::uint16_t color = 220;    // 293
  std::uint16_t target = 220;   // 328 -> 220
  std::uint16_t grayscale = 0;  // 364 -> 379 -> 585
  std::uint16_t gray_copy = 0;  // 328 -> 589
  bool with_target = true;
};

GAttributeComposite* Model(const ModelShape& shape = {}) {
  auto* document = Group(362, {Value(500, 0), Value(502, 0)});
  if (shape.choice >= 0) document->AddChild(Value(901, static_cast<std::uint16_t>(shape.choice)));
  if (shape.with_resolution) {
    auto* resolution = Group(249, {Value(323, 0), Value(325, 1)});
    if (shape.with_y) resolution->AddChild(Value(324, 0));
    document->AddChild(resolution);
  }
  if (shape.with_photo_flag) document->AddChild(Value(1029, 0));
  document->AddChild(Value(250, 5));
  document->AddChild(Value(277, 6));
  auto* color_media = Group(364, {});
  if (shape.media != nullptr) color_media->AddChild(Text(261, shape.media));
  if (shape.first_page >= 0) {
    color_media->AddChild(Value(264, static_cast<std::uint16_t>(shape.first_page)));
  }
  color_media->AddChild(Value(293, shape.color));
  color_media->AddChild(Group(379, {Value(585, shape.grayscale)}));
  auto* root = Group(0, {document, color_media, Group(365, {Value(600, 0), Value(601, 0)}),
                         Group(366, {Group(378, {}), Group(1102, {})})});
  if (shape.with_target) {
    root->AddChild(Group(328, {Value(218, 0), Value(221, 0), Value(220, shape.target),
                               Value(589, shape.gray_copy)}));
  }
  return root;
}

class Importer : public ImportFixture {
 protected:
  void SetUp() override {
    ImportFixture::SetUp();
    store_.SetFeatures(u"physical", {u"Beta"});
    store_.SetFeatures(u"printing", {u"Alpha"});
    store_.SetWord(u"physical/Bundles", u"OFF");
    store_.SetWord(u"physical/Beta", u"ON");
    store_.SetWord(u"printing/Alpha", u"ON");
    store_.SetWord(u"printing/Gamma", u"Seven");
    store_.SetWord(u"printing/Locked", u"ON");
  }

  std::unique_ptr<TestImporter> NewImporter(GAttributeComposite* root,
                                            const RWWString& printer = u"P1") {
    auto importer = std::make_unique<TestImporter>(root, &driver_data_, printer);
    importer->SetConverterTable(&kTestTable);
    return importer;
  }

  // The keys made current, in order.
  std::vector<std::string> SelectedKeys() const {
    std::vector<std::string> keys;
    for (const std::string& call : store_.Calls("QCFSetContext"))
      keys.push_back(call.substr(14, call.size() - 15));
    return keys;
  }
  std::vector<std::string> EnumeratedContexts() const {
    std::vector<std::string> contexts;
    for (const std::string& call : store_.Calls("QCFEnumFeatures"))
      contexts.push_back(call.substr(16, call.find(',') - 16));
    return contexts;
  }
};

TEST_F(Importer, SetPrinterNameCutsTheCommaAndDerivesTheNames) {
  const struct {
    const char16_t* name;
    const char16_t* full;
    const char16_t* short_name;
    const char16_t* connection;
  } cases[] = {
      {u"\\\\srv\\q,x", u"\\\\srv\\q", u"q", u",,srv,q"},
      {u"P1", u"P1", u"P1", u"P1"},
      {u"a,b,c", u"a,b", u"a,b", u"a,b"},
      {u"\\\\srv\\q", u"\\\\srv\\q", u"q", u",,srv,q"},
      {u"\\\\srv\\", u"\\\\srv\\", u"", u",,srv,"},
      {u"", u"", u"", u""},
  };
  GCountedPtr root(Model());
  auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.name));
    importer->SetPrinterName(c.name);
    EXPECT_TRUE(importer->PrinterName() == c.full);
    EXPECT_TRUE(importer->FullName() == c.full);
    EXPECT_TRUE(importer->ShortName() == c.short_name);
    EXPECT_TRUE(importer->ConnectionName() == c.connection);
  }
}

TEST_F(Importer, IsStaleByModeKeysAndTheStaleValue) {
  const RWWString base = u"System\\CurrentControlSet\\Control\\Print\\Printers\\";
  const RWWString by_short = base + u"q";
  const RWWString by_connection = base + u",,srv,q";
  const RWWString by_user = u"Printers\\Connections\\,,srv,q";
  struct Case {
    const char* name;
    std::uint32_t mode;
    const char16_t* printer;
    const char16_t* short_stale;       // null: no key; u"": key without the value
    const char16_t* connection_stale;  // the same
    const char16_t* user_stale;        // the same
    bool stale;
    const char16_t* settled;  // the printer name afterwards
  };
  const Case cases[] = {
      {"short TRUE", 0, u"\\\\srv\\q,x", u"TRUE", u"FALSE", nullptr, true, u"q"},
      {"short true", 0, u"\\\\srv\\q,x", u"true", nullptr, nullptr, false, u"q"},
      {"short without value", 1, u"\\\\srv\\q,x", u"", u"TRUE", nullptr, false, u"q"},
      {"connection TRUE", 0, u"\\\\srv\\q,x", nullptr, u"TRUE", nullptr, true, u"\\\\srv\\q"},
      {"connection FALSE", 1, u"\\\\srv\\q,x", nullptr, u"FALSE", nullptr, false, u"\\\\srv\\q"},
      {"no key", 0, u"\\\\srv\\q,x", nullptr, nullptr, u"FALSE", true, u"\\\\srv\\q"},
      {"user TRUE", 2, u"\\\\srv\\q,x", u"FALSE", nullptr, u"TRUE", true, u"\\\\srv\\q"},
      {"user true", 2, u"\\\\srv\\q,x", nullptr, nullptr, u"true", false, u"\\\\srv\\q"},
      {"user without value", 2, u"\\\\srv\\q,x", nullptr, nullptr, u"", false, u"\\\\srv\\q"},
      {"no user key", 2, u"\\\\srv\\q,x", u"FALSE", u"FALSE", nullptr, true, u"\\\\srv\\q"},
      {"mode 3", 3, u"\\\\srv\\q,x", nullptr, nullptr, nullptr, false, u"\\\\srv\\q"},
      // An empty short or connection name matches no key, not the parent.
      {"empty short name", 0, u"\\\\srv\\", nullptr, nullptr, nullptr, true, u"\\\\srv\\"},
      {"empty name", 2, u"", nullptr, nullptr, nullptr, true, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestOSFactory services;  // installed while alive
    const RWWString data = u"\\PrinterDriverData";
    // A key that exists, holding "Stale" unless the text is empty.
    auto machine_key = [&](const RWWString& key, const char16_t* stale) {
      if (stale == nullptr) return;
      services.SetMachineString(key, u"Other", u"1");
      services.SetMachineString(key + data, u"Other", u"1");
      if (*stale != u'\0') services.SetMachineString(key + data, u"Stale", stale);
    };
    machine_key(by_short, c.short_stale);
    machine_key(by_connection, c.connection_stale);
    if (c.user_stale != nullptr) {
      services.SetUserString(by_user, u"Other", u"1");
      if (*c.user_stale != u'\0') services.SetUserString(by_user, u"Stale", c.user_stale);
    }
    // The parents of the keys exist, not stale.
    services.SetMachineString(base, u"Stale", u"FALSE");
    services.SetMachineString(base + data, u"Stale", u"FALSE");
    services.SetUserString(u"Printers\\Connections\\", u"Stale", u"FALSE");

    GCountedPtr root(Model());
    auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
    importer->SetImportMode(c.mode);
    importer->SetPrinterName(c.printer);
    EXPECT_EQ(importer->IsStale(), c.stale);
    EXPECT_EQ(Utf8(std::u16string(importer->PrinterName().Data())), Utf8(c.settled));
  }
}

TEST_F(Importer, StaleWrittenAsPrinterDataIsSeen) {
  const struct {
    const char16_t* stale;
    bool seen;
  } cases[] = {{u"TRUE", true}, {u"FALSE", false}, {u"True", false}};
  for (const auto& c : cases) {
    std::u16string text(c.stale);
    PutPrinterText(u"Stale", text);
    GCountedPtr root(Model());
    auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
    importer->SetPrinterName(u"P1");
    EXPECT_EQ(importer->IsStale(), c.seen) << Utf8(c.stale);
    EXPECT_TRUE(importer->PrinterName() == u"P1");
  }
}

TEST_F(Importer, NamesOutsideTheTableOrUnservedAreSkipped) {
  store_.SetFeatures(u"printing", {u"Alpha", u"Unknown", u"Unserved", u"alpha", u"Gamma"});
  GCountedPtr root(Model());
  auto* model = static_cast<GAttributeComposite*>(root.Get());
  auto importer = NewImporter(model);
  EXPECT_EQ(importer->ImportPrinting(), 1u);
  EXPECT_EQ(SelectedKeys(), (std::vector<std::string>{"printing/Alpha", "printing/Gamma"}));
  EXPECT_EQ(ValueOf(model, 500), 1);
  EXPECT_EQ(ValueOf(model, 293), 7);
  EXPECT_TRUE(importer->PrintingChanged());
  EXPECT_EQ(store_.Calls("QCFEnumListToken").size(), 6u);  // five names and the end
}

TEST_F(Importer, ContextsThatDoNotEnumerateExactlyOneChangeNothing) {
  const struct {
    const char* name;
    std::uint32_t enum_result;
    bool known;
  } cases[] = {{"answers 2", 2, true}, {"answers 0", 0, true}, {"unknown contexts", 1, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char16_t* context : {u"physical", u"printing", u"factory/physical"}) {
      if (c.known) {
        store_.SetFeatures(context, {u"Beta", u"Alpha"});
      } else {
        store_.ForgetContext(context);
      }
    }
    store_.SetEnumFeaturesResult(c.enum_result);
    store_.ClearLog();
    GCountedPtr root(Model());
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    {
      auto importer = NewImporter(model);
      EXPECT_EQ(importer->ImportPhysical(), 0u);
      EXPECT_EQ(importer->ImportPrinting(), 0u);
      EXPECT_EQ(importer->Export(u"factory/physical"), 0u);
      EXPECT_EQ(EnumeratedContexts(),
                (std::vector<std::string>{"physical", "printing", "factory/physical"}));
      EXPECT_TRUE(store_.Calls("QCFEnumListToken").empty());
      EXPECT_TRUE(store_.Exports().empty());
      EXPECT_FALSE(importer->PhysicalChanged() || importer->PrintingChanged());
    }
    EXPECT_EQ(ValueOf(model, 500), 0);
    EXPECT_EQ(ValueOf(model, 600), 0);
    EXPECT_TRUE(driver_data_.maps_written.empty());
    EXPECT_EQ(PrinterData(u"QCFQuickset"), "absent");
  }
}

TEST_F(Importer, APhysicalChangeWritesTheMapsOnceAndAdmin) {
  const struct {
    const char16_t* beta;
    const char16_t* bundles;
    bool changed;
  } cases[] = {
      {u"ON", u"Unknown", true},
      {u"Unknown", u"ON", true},  // the bundles alone
      {u"on", u"Unknown", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8(c.beta));
    driver_data_.maps_written.clear();
    ASSERT_EQ(
        platform::SetPrinterDataW(printer_handle_, u"LastUpdateType", platform::kRegSz, nullptr, 0),
        0u);
    store_.SetFeatures(u"physical", {u"Beta", u"Beta"});
    store_.SetWord(u"physical/Beta", c.beta);
    store_.SetWord(u"physical/Bundles", c.bundles);
    store_.ClearLog();
    GCountedPtr root(Model());
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    auto importer = NewImporter(model);
    EXPECT_EQ(importer->ImportPhysical(), 1u);
    EXPECT_EQ(importer->PhysicalChanged(), c.changed);
    // The bundles converter runs first, outside the list.
    EXPECT_EQ(SelectedKeys(),
              (std::vector<std::string>{"physical/Bundles", "physical/Beta", "physical/Beta"}));
    ASSERT_EQ(driver_data_.maps_written.size(), c.changed ? 1u : 0u);
    if (c.changed) {
      EXPECT_EQ(driver_data_.maps_written[0], model);
    }
    EXPECT_TRUE(PrinterText(u"LastUpdateType") == (c.changed ? u"Admin" : u""));
  }
}

TEST_F(Importer, OnlyThePhysicalImportNeedsAUsableStore) {
  Restart(true, "QCFGetPRV");
  GCountedPtr root(Model());
  auto* model = static_cast<GAttributeComposite*>(root.Get());
  auto importer = NewImporter(model);
  EXPECT_EQ(importer->GetFeatureStore()->Usable(), 0u);
  EXPECT_EQ(importer->ImportPhysical(), 0u);
  EXPECT_EQ(importer->Export(u"printing"), 0u);
  EXPECT_EQ(ValueOf(model, 600), 0);
  EXPECT_EQ(importer->ImportPrinting(), 1u);
  EXPECT_EQ(ValueOf(model, 500), 1);
}

TEST_F(Importer, ThePrintingPostStepChoosesTheResolutionOrCopiesIntoThePrintingTarget) {
  struct Case {
    const char* name;
    ModelShape shape;
    const char* destination;  // 1101 after the import
    int x;                    // 323 (324 alike, when there)
    int photo;                // 1029
    const char* target;       // 328
  };
  const char* untouched = "218=0 221=0 220=220 589=0";
  const Case cases[] = {
      // With a resolution choice (901).
      {"264 = 0, 901 = 0, Plain", {.choice = 0}, "500=1 323=300 324=300", 300, 0, untouched},
      {"PhotoGloss",
       {.choice = 0, .media = "PhotoGloss"},
       "500=1 1029=1 323=600 324=600",
       600,
       1,
       untouched},
      {"ClrFastPhotoGloss",
       {.choice = 0, .media = "ClrFastPhotoGloss"},
       "500=1 1029=1 323=600 324=600",
       600,
       1,
       untouched},
      {"photogloss is no photo media",
       {.choice = 0, .media = "photogloss"},
       "500=1 323=600 324=600",
       600,
       0,
       untouched},
      {"264 = 1", {.choice = 0, .first_page = 1}, "500=1 323=600 324=600", 600, 0, untouched},
      {"264 missing counts 0",
       {.choice = 0, .first_page = -1},
       "500=1 323=300 324=300",
       300,
       0,
       untouched},
      {"901 = 1", {.choice = 1}, "500=1 323=600 324=600", 600, 0, untouched},
      {"901 = 0xFFFF",
       {.choice = 0xFFFF, .media = "Glossy"},
       "500=1 323=300 324=300",
       300,
       0,
       untouched},
      {"901 = 5, Plain", {.choice = 5}, "500=1 323=300 324=300", 300, 0, untouched},
      {"901 = 5, Glossy",
       {.choice = 5, .media = "Glossy"},
       "500=1 323=600 324=600",
       600,
       0,
       untouched},
      {"photo media without 1029",
       {.choice = 0, .media = "PPLPhotMatte", .with_photo_flag = false},
       "500=1 323=600 324=600",
       600,
       -1,
       untouched},
      {"no 324", {.choice = 0, .media = "PhotoGloss", .with_y = false}, "500=1", 0, 0, untouched},
      {"no 249",
       {.choice = 0, .media = "PhotoGloss", .with_resolution = false},
       "500=1",
       -1,
       0,
       untouched},
      {"no 261", {.choice = 0, .media = nullptr}, "500=1", 0, 0, untouched},
      {"a difference without a choice",
       {.choice = 0, .color = 7},
       "500=1 323=300 324=300",
       300,
       0,
       untouched},
      // Without a choice: 250 -> 218 and 277 -> 221 from 362; 293 -> 220 and
      // 585 -> 589 from 364, when 293 or 585 differs from its copy.
      {"293 differs",
       {.color = 7},
       "500=1 218=5 221=6 220=7 589=0",
       0,
       0,
       "218=5 221=6 220=7 589=0"},
      {"585 differs",
       {.grayscale = 1},
       "500=1 218=5 221=6 220=220 589=1",
       0,
       0,
       "218=5 221=6 220=220 589=1"},
      {"nothing differs", {}, "500=1", 0, 0, untouched},
      {"no target", {.color = 7, .with_target = false}, "500=1", 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GCountedPtr root(Model(c.shape));
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    auto importer = NewImporter(model);
    EXPECT_EQ(importer->ImportPrinting(), 1u);
    EXPECT_EQ(Entries(importer->GetDestination()), c.destination);
    EXPECT_EQ(ValueOf(model, 323), c.x);
    EXPECT_EQ(ValueOf(model, 324), c.shape.with_y ? c.x : -1);
    EXPECT_EQ(ValueOf(model, 1029), c.photo);
    GAttributeComposite* target = FindComposite(model, 328);
    EXPECT_EQ(target ? Entries(target) : "", c.target);
  }
}

TEST_F(Importer, TheStampIsTheDateOfAChangeErrorWithoutOneNothingOnFailure) {
  struct Case {
    const char* name;
    bool clock;
    const char16_t* alpha;  // the printing word
    bool result;            // handed to the stamp
    std::string bytes;      // "QCFLastUpdate"
  };
  // "12/ 06/ 2026" in UTF-16LE: each character's code, then a zero byte.
  const std::string date(
      "1\0"
      "2\0"
      "/\0"
      " \0"
      "0\0"
      "6\0"
      "/\0"
      " \0"
      "2\0"
      "0\0"
      "2\0"
      "6\0",
      24);
  const std::string error("E\0R\0R\0O\0R\0", 10);
  const Case cases[] = {
      {"a change", true, u"ON", true, date},
      {"no change", true, u"on", true, error},
      {"a failed import", true, u"ON", false, "absent"},
      {"no date", false, u"ON", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(platform::SetFixedClock({2026, 12, 6, 15, 30, 0}));
    if (!c.clock) platform::SetClockUnavailable();
    // Start without the value.
    PutPrinterText(u"QCFLastUpdate", u"x");
    store_.SetWord(u"printing/Alpha", c.alpha);
    GCountedPtr root(Model());
    auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
    EXPECT_EQ(importer->ImportPrinting(), 1u);
    importer->WriteImportStamp(c.result);
    std::string expected = c.bytes == "absent" ? std::string("x\0", 2) : c.bytes;
    EXPECT_EQ(testing_support::Hex(PrinterData(u"QCFLastUpdate")), testing_support::Hex(expected));
  }
}

TEST_F(Importer, RunsFollowTheModeAndRefuseAStalePrinterOrAClosedRun) {
  using Skip = TestImporter::Mode2Skip;
  constexpr Skip kFamily = Skip::kFamily4;
  constexpr const char16_t* kDate = u"12/ 06/ 2026";
  constexpr const char16_t* kUntouched = u"x";
  struct Case {
    const char* name;
    std::uint32_t mode;
    bool result;
    std::vector<std::string> contexts;  // enumerated, in order
    const char16_t* stamp;              // "QCFLastUpdate" afterwards
    struct {
      bool kind2 = false;  // job settings 228 -> 313 = 2
      bool physical_known = true;
      std::uint32_t os_kind = 0;
      Skip rule = Skip::kKind4;
      bool stale = false;
      bool runs_fail = false;
    } setup = {};
  };
  const Case cases[] = {
      {"mode 0", 0, true, {"physical", "printing"}, kDate},
      {"mode 0, kind 2", 0, true, {"printing"}, kDate, {.kind2 = true}},
      {"mode 0, physical fails", 0, false, {"physical"}, kUntouched, {.physical_known = false}},
      {"mode 2", 2, true, {"printing"}, kDate},
      {"mode 2, kind 4", 2, false, {}, kUntouched, {.os_kind = 4}},
      {"mode 2, kind 4 (family)", 2, true, {"printing"}, kDate, {.os_kind = 4, .rule = kFamily}},
      {"mode 2, kind 9 (family)", 2, false, {}, kUntouched, {.os_kind = 9, .rule = kFamily}},
      {"mode 2, kind 14 (family)", 2, false, {}, kUntouched, {.os_kind = 14, .rule = kFamily}},
      {"mode 2, kind 9", 2, true, {"printing"}, kDate, {.os_kind = 9}},
      {"mode 1", 1, false, {}, kUntouched},
      {"stale", 0, false, {}, u"ERROR", {.stale = true}},
      {"the run does not open", 0, false, {}, u"ERROR", {.runs_fail = true}},
  };
  ASSERT_TRUE(platform::SetFixedClock({2026, 12, 6, 15, 30, 0}));
  // Mode 2 reads the user's connection to the printer.
  platform::HKEY connection = nullptr;
  ASSERT_EQ(
      platform::RegCreateKeyExW(platform::kHkeyCurrentUser, u"Printers\\Connections\\P1", 0,
                                nullptr, 0, platform::kKeyAllAccess, nullptr, &connection, nullptr),
      0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string stale = c.setup.stale ? u"TRUE" : u"FALSE";
    PutPrinterText(u"Stale", stale);
    ASSERT_EQ(platform::RegSetValueExW(connection, u"Stale", 0, platform::kRegSz,
                                       reinterpret_cast<const platform::BYTE*>(stale.data()),
                                       static_cast<platform::DWORD>(2 * stale.size())),
              0);
    PutPrinterText(u"QCFLastUpdate", u"x");
    if (c.setup.physical_known) {
      store_.SetFeatures(u"physical", {u"Beta"});
    } else {
      store_.ForgetContext(u"physical");
    }
    store_.FailRuns(c.setup.runs_fail);
    store_.ClearLog();
    GCountedPtr root(Model());
    auto* model = static_cast<GAttributeComposite*>(root.Get());
    GAttributeComposite* job_settings = driver_data_.GetJobSettings();
    job_settings->RemoveAll();
    if (c.setup.kind2) job_settings->AddChild(Group(228, {Value(313, 2)}));
    auto importer = NewImporter(model, u"P1,LocalOnly");
    importer->SetOperatingSystem(c.setup.os_kind, c.setup.rule);
    EXPECT_EQ(importer->Run(c.mode), c.result);
    EXPECT_EQ(EnumeratedContexts(), c.contexts);
    EXPECT_TRUE(PrinterText(u"QCFLastUpdate") == c.stamp) << Utf8(PrinterText(u"QCFLastUpdate"));
    bool opened = !c.setup.stale;
    std::vector<std::string> start = store_.Calls("QCFStartConfig");
    ASSERT_EQ(start.size(), opened ? 1u : 0u);
    if (opened) {
      EXPECT_EQ(start[0], "QCFStartConfig(P1, " + std::to_string(c.mode) + ", QCF_DRIVER, 0)");
      EXPECT_EQ(store_.Calls("QCFEndConfig").size(), c.setup.runs_fail ? 0u : 1u);
    }
  }
  platform::RegCloseKey(connection);
}

TEST_F(Importer, AnUnusableStoreWritesError) {
  Restart(true, "QCFEnumOptions");
  GCountedPtr root(Model());
  auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
  EXPECT_FALSE(importer->Run(0));
  EXPECT_TRUE(store_.Calls("QCFStartConfig").empty());
}

TEST_F(Importer, ThePrintingChangesAreKeptAsTheQuickset) {
  const struct {
    const char* name;
    std::vector<std::u16string> printing;
    bool kept;
  } cases[] = {
      {"nothing changed", {u"Unknown"}, false},
      {"printing changed", {u"Alpha", u"Gamma"}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    store_.SetFeatures(u"printing", c.printing);
    GCountedPtr root(Model());
    GCountedPtr kept;
    {
      auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
      EXPECT_EQ(importer->ImportPhysical(), 1u);
      EXPECT_EQ(importer->ImportPrinting(), 1u);
      kept.Reset(importer->GetDestination()->DeepCopy());
      // Kept by the import itself: the importer's destructor stores nothing.
      EXPECT_EQ(PrinterData(u"QCFQuickset:0") != "absent", c.kept);
    }
    RWCollectable* loaded = nullptr;
    EXPECT_EQ(services_.LoadNamedObject(&driver_data_, RWWString(u"QCFQuickset"), loaded),
              c.kept ? 1 : 0);
    std::unique_ptr<RWCollectable> owned(loaded);
    if (c.kept) {
      auto* quickset = dynamic_cast<GAttributeComposite*>(loaded);
      ASSERT_NE(quickset, nullptr);
      EXPECT_EQ(Entries(quickset), "601=0 600=1 500=1 293=7 218=5 221=6 220=7 589=0");
      EXPECT_TRUE(quickset->IsEqualContent(kept.Get()));
    }
  }
}

TEST_F(Importer, ALockIsRecordedOnceOverTwoImports) {
  store_.SetFeatures(u"printing", {u"Locked"});
  GCountedPtr root(Model());
  auto* model = static_cast<GAttributeComposite*>(root.Get());
  for (const char16_t* lock : {u"True", u"TRUE", u"TRUE"}) {
    store_.SetAttribute(u"printing/Locked", u"lock", lock);
    auto importer = NewImporter(model);
    EXPECT_EQ(importer->ImportPrinting(), 1u);
  }
  EXPECT_EQ(Entries(FindComposite(model, kLockListKey)), "0=248");
}

TEST_F(Importer, ExportRunsBundlesFirstForFactoryPhysicalAndWritesInTurn) {
  store_.SetFeatures(u"factory/physical", {u"Beta", u"Unknown", u"Alpha"});
  store_.SetFeatures(u"factory/printing", {u"Gamma", u"Alpha", u"Locked"});
  GCountedPtr root(Model({.color = 220}));
  auto* model = static_cast<GAttributeComposite*>(root.Get());
  FindValueAttribute(model, 600)->SetValue(1);
  FindValueAttribute(model, 601)->SetValue(1);
  auto importer = NewImporter(model, u"\\\\srv\\q,x");
  EXPECT_EQ(importer->ExportFactorySettings(), 1u);
  using Export = FakeFeatureStore::Export;
  EXPECT_EQ(store_.Exports(), (std::vector<Export>{
                                  {u"physical/Bundles", u"ON", true},
                                  {u"physical/Beta", u"ON", true},
                                  {u"printing/Alpha", u"OFF", true},
                                  {u"printing/Gamma", u"Same", true},
                                  {u"printing/Alpha", u"OFF", true},
                                  {u"printing/Locked", u"OFF", true},
                              }));
  EXPECT_EQ(store_.Calls("QCFStartExport"),
            std::vector<std::string>{"QCFStartExport(\\\\srv\\q, QCF_DRIVER, 1)"});
  EXPECT_EQ(store_.Calls("QCFEndExport").size(), 1u);

  // The printing context waits for the physical one.
  store_.ClearLog();
  store_.SetEnumFeaturesResult(2);
  EXPECT_EQ(importer->ExportFactorySettings(), 0u);
  EXPECT_EQ(EnumeratedContexts(), std::vector<std::string>{"factory/physical"});
  EXPECT_TRUE(store_.Exports().empty());
}

TEST_F(Importer, TheHelperLibraryOfTheDriverDataIsBoundWhileTheImporterLives) {
  FakeQCFHelper helper;
  ASSERT_TRUE(helper.Install(u"C:\\Drv\\KVHELP.DLL"));
  ASSERT_TRUE(helper.Install(u"C:\\Drv\\NOHELP.DLL", false));
  helper.SetAnswer(248, 0, 1);
  store_.SetFeatures(u"printing", {u"Helped"});
  const struct {
    const char* name;
    const char* path;  // 401 of the job settings; null: none
    bool usable;
    bool loaded;
    std::uint32_t changed;
  } cases[] = {
      {"helper", "C:\\Drv\\KVHELP.DLL", true, true, 1},
      {"no entry", "C:\\Drv\\NOHELP.DLL", true, true, 0},
      {"no path", nullptr, true, false, 0},
      {"missing library", "C:\\Drv\\ABSENT.DLL", true, false, 0},
      {"unusable store", "C:\\Drv\\KVHELP.DLL", false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GAttributeComposite* job_settings = driver_data_.GetJobSettings();
    job_settings->RemoveAll();
    if (c.path != nullptr) job_settings->AddChild(Text(401, c.path));
    platform::SetExportHidden(u"C:\\Drv\\KVSOLA32.dll", "QCFGetPRV", !c.usable);
    std::size_t blocks = helper.Blocks().size();
    GCountedPtr root(Model());
    {
      auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
      EXPECT_EQ(importer->HelperModule() != nullptr, c.loaded);
      EXPECT_EQ(importer->ImportPrinting(), 1u);
      EXPECT_EQ(importer->PrintingChanged(), c.changed != 0);
      if (c.changed != 0) {
        ASSERT_EQ(helper.Blocks().size(), blocks + 1);
        EXPECT_EQ(helper.Blocks().back().context, importer.get());
        EXPECT_NE(helper.Blocks().back().pointer, nullptr);
      } else {
        EXPECT_EQ(helper.Blocks().size(), blocks);
      }
    }
    EXPECT_EQ(platform::GetModuleCounters(u"C:\\Drv\\KVHELP.DLL").references, 0u);
    EXPECT_EQ(platform::GetModuleCounters(u"C:\\Drv\\NOHELP.DLL").references, 0u);
  }
}

TEST_F(Importer, IsJobSettingKind2ReadsModel228Kind313) {
  const struct {
    const char* name;
    GAttribute* settings;  // added to the job settings; null: none
    bool kind2;
  } cases[] = {
      {"kind 2", Group(228, {Value(313, 2)}), true},
      {"kind 1", Group(228, {Value(313, 1)}), false},
      {"313 beside 228", Group(227, {Group(228, {}), Value(313, 2)}), false},
      {"nothing", nullptr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GAttributeComposite* job_settings = driver_data_.GetJobSettings();
    job_settings->RemoveAll();
    if (c.settings != nullptr) job_settings->AddChild(c.settings);
    GCountedPtr root(Model());
    auto importer = NewImporter(static_cast<GAttributeComposite*>(root.Get()));
    EXPECT_EQ(importer->IsJobSettingKind2(), c.kind2);
  }
}

TEST_F(Importer, TheDriversTableNamesSixtyTwoFeaturesInOrderOnce) {
  const GConverterTable& table = DefaultConverterTable();
  ASSERT_EQ(table.chain.size(), 62u);
  // Spot checks of the order, and no name twice.
  const struct {
    std::size_t row;
    const char16_t* name;
  } rows[] = {{1, u"KVTintvector"},    {8, u"PrintQuality"}, {23, u"Stapling"},
              {34, u"Watermarks"},     {50, u"Tray1"},       {58, u"KVPostInsertionKit"},
              {62, u"KVPunchUnitType"}};
  for (const auto& r : rows) {
    EXPECT_TRUE(std::u16string(table.chain[r.row - 1].short_name) == r.name) << r.row;
  }
  for (std::size_t i = 0; i < table.chain.size(); ++i) {
    for (std::size_t j = i + 1; j < table.chain.size(); ++j) {
      EXPECT_EQ(WideStringsEqual(table.chain[i].short_name, table.chain[j].short_name), 0u);
    }
  }
  // The importer's own table again after a test table.
  GCountedPtr root(Model());
  TestImporter importer(static_cast<GAttributeComposite*>(root.Get()), &driver_data_, u"P1");
  importer.SetConverterTable(&kTestTable);
  std::unique_ptr<GSettingConverter> alpha(importer.CreateConverter(u"Alpha"));
  EXPECT_NE(alpha, nullptr);
  EXPECT_EQ(importer.CreateConverter(u"ALPHA"), nullptr);
  importer.SetConverterTable(nullptr);
  EXPECT_EQ(&importer.ConverterTable(), &table);
}

}  // namespace
