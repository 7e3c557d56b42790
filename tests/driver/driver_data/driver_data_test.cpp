// The driver data over the printer fixture: the one driver data part of a
// diamond, the server's view, the cached value across re-targets, the
// default paper, the printer language, extensions and the small queries.
// The walks, the stored objects and damage are in driver_data/.
#include <gtest/gtest.h>

#include "config/paper/custom_media_size.h"
#include "driver/extension_manager.h"
#include "driver/printer_key.h"
#include "output/core/peripheral.h"
#include "output/core/printer_language_query.h"
#include "persist/locale_info.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "services/driver_server.h"
#include "tests/driver/driver_data/driver_data_testing.h"

namespace {

using driver_data_testing::SetValue;

class DriverDataTest : public testing_support::PrinterFixture {};

// A stand-in of the context base beside the user-interface view.
class OtherSide : public virtual GDriverDataImp {};
class Diamond final : public OtherSide, public GUIDriverData {
 public:
  Diamond() : GDriverData(u"D") {}
  void InitAppFlags() override {}
  GAttributeComposite* BuildDefaultSettings() override { return nullptr; }
  GAttributeComposite* CreateDefaultSettings() override { return nullptr; }
  GPrinterKey* CreatePrinterKey() override { return nullptr; }
  void GetLocalJobStorageKey(RWWString&) override {}
  GAttributeComposite* GetDevModeSettingsModel() override { return nullptr; }
};

TEST_F(DriverDataTest, OneDriverDataPartAndTheServersViewStepsBackToTheContext) {
  Diamond diamond;
  GDriverData* left = static_cast<OtherSide*>(&diamond);
  GDriverData* right = static_cast<GUIDriverData*>(&diamond);
  EXPECT_EQ(left, right);
  EXPECT_EQ(diamond.GetExtensionManager()->GetOwner(), static_cast<GDriverDataImp*>(&diamond));
  EXPECT_EQ(GDriverContext::FromDriverData(left), nullptr);  // a driver data, not a context

  GDriverContext* context = DriverData();
  ASSERT_NE(context, nullptr);
  std::uint32_t cookie = 0;
  ASSERT_EQ(Server()->FindContextCookie(context, cookie), 1);
  GDriverData* view = Server()->FindContext(cookie);
  EXPECT_EQ(view, static_cast<GDriverData*>(static_cast<GUIDriverData*>(context)));
  EXPECT_EQ(GDriverContext::FromDriverData(view), context);
  EXPECT_EQ(context->GetDriverName(), u"KV Test");
  EXPECT_EQ(context->GetPortName(), u"USB001");
  EXPECT_EQ(context->GDriverDataImp::GetSupportFilePath(), u"KVQCF.DLL");
}

TEST_F(DriverDataTest, TheCachedValueIsReadAgainAfterARetarget) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  auto* configuration = dynamic_cast<GPeripheral*>(data->GetConfiguration());
  MPersistentObject* own = configuration->GetConfiguration();
  EXPECT_EQ(data->GetCachedValue(), 1);
  SetValue(own, kColorDeviceKey, 0xFFFE);
  EXPECT_EQ(data->GetCachedValue(), 1);  // cached
  const GPrinterKey key(nullptr, u"P1", u"KV Test", u"USB001", 0);
  data->Retarget(key);
  EXPECT_EQ(data->GetCachedValue(), -2);  // sign-extended
  delete own->RemoveByKey(kColorDeviceKey);
  data->Retarget(key);
  EXPECT_EQ(data->GetCachedValue(), 0);  // not the other printer's -2
}

// The kept support path follows the module's file name and, from the next
// model change, the name in the job settings.
TEST_F(DriverDataTest, TheKeptSupportPathFollowsTheModuleAndTheModel) {
  GDriverContext* data = DriverData();
  GStringAttribute* file = data ? FindStringAttribute(data->GetJobSettings(), 401) : nullptr;
  ASSERT_TRUE(file && data->EnsureDefaultSettings());
  Services().SetModuleHandle(platform::OwnModule());
  const struct {
    const char16_t* module;  // null: as it was
    const char* name;        // null: as it was; else set, then the options applied
    const char16_t* path;
  } steps[] = {
      {u"C:\\Drv\\UI.DLL", nullptr, u"C:\\Drv\\KVQCF.DLL"},
      {u"D:\\Moved\\UI.DLL", nullptr, u"D:\\Moved\\KVQCF.DLL"},
      {nullptr, "OTHER.DLL", u"D:\\Moved\\OTHER.DLL"},
      {u"UI.DLL", nullptr, u"OTHER.DLL"},
      {u"C:\\Drv\\UI.DLL", "", u"C:\\Drv\\"},
  };
  for (const auto& step : steps) {
    if (step.module) platform::SetOwnModulePath(step.module);
    if (step.name) file->SetValue(step.name);
    if (step.name) data->ApplyInstalledOptions(nullptr);  // a model change
    EXPECT_EQ(data->GetSupportFilePath(), step.path);
  }
}

TEST_F(DriverDataTest, TheDefaultPaperFollowsTheUsersCountry) {
  const struct {
    const char16_t* country;  // null: no record at all
    std::uint32_t paper;
  } cases[] = {{u"1", 1},   {u"2", 1},    {u"52", 1},  {u"55", 1},  {u"503", 1},
               {u"550", 1}, {u"33", 23},  {u"49", 23}, {u"81", 23}, {u"3", 23},
               {u"60", 23}, {u"600", 23}, {nullptr, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.country ? "country" : "no record");
    driver_data_testing::SetUserCountry(c.country);
    struct NoLocale : HostOSFactory {
      GLocaleInfo* GetLocaleInfo() override { return nullptr; }
    };
    std::unique_ptr<NoLocale> none(c.country ? nullptr : new NoLocale);
    GDriverContext fresh(nullptr, u"P1", u"KV Test", u"USB001");
    EXPECT_EQ(fresh.GetDefaultPaperId(), c.paper);
    driver_data_testing::SetUserCountry(u"49");
    EXPECT_EQ(fresh.GetDefaultPaperId(), c.paper);  // computed once
  }
}

// A printer-language device of a test-only class id, with and without the
// escape query.
class TestLanguage : public GPeripheral {
 public:
  explicit TestLanguage(std::uint32_t key) : GPeripheral(key) {}
  RWClassID ClassId() const override { return 1500; }
  bool IsKindOf(const RWClassID& id) const override {
    return id == 1500 || id == kGPrinterLanguageId || GPeripheral::IsKindOf(id);
  }
};
class EscapeLanguage final : public TestLanguage, public GPrinterLanguageQuery {
 public:
  using TestLanguage::TestLanguage;
  int HasEscape(const RWCString& text) override { return text.First('\x1b') != RW_NPOS; }
};

TEST_F(DriverDataTest, ThePrinterLanguageIsAskedThroughItsQuery) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  GPeripheral* printer_object = data->FindPrinterObject();
  const RWCString escape(
      "a\x1b"
      "E"),
      plain("abc");
  // The fixture's ZDL5 generator (device 101) answers.
  GPeripheral* zdl5 = data->GetPrinterLanguage();
  ASSERT_NE(zdl5, nullptr);
  EXPECT_EQ(zdl5->ClassId(), 788);
  EXPECT_EQ(data->PrinterLanguageHasEscape(escape), 1);
  EXPECT_EQ(data->PrinterLanguageHasEscape(plain), 0);
  delete printer_object->RemoveChild(zdl5);
  EXPECT_EQ(data->GetPrinterLanguage(), nullptr);
  EXPECT_EQ(data->PrinterLanguageHasEscape(escape), 0);
  // Found below another device, depth first.
  auto* language = new EscapeLanguage(0);
  auto* holder = dynamic_cast<MPersistentObject*>(printer_object->FindByKey(106));
  holder->AddChild(language);
  EXPECT_EQ(data->GetPrinterLanguage(), language);
  EXPECT_EQ(data->PrinterLanguageHasEscape(escape), 1);
  EXPECT_EQ(data->PrinterLanguageHasEscape(plain), 0);
  delete holder->RemoveChild(language);
  printer_object->AddChild(new TestLanguage(0));
  EXPECT_NE(data->GetPrinterLanguage(), nullptr);
  EXPECT_EQ(data->PrinterLanguageHasEscape(escape), 0);
}

TEST_F(DriverDataTest, SmallQueriesAnswerFromTheModel) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  GAttributeComposite* job = data->GetJobSettings();
  std::uint16_t out = 0;
  // The driver data's own mapping (the context's asks the spooler's forms).
  EXPECT_EQ(data->GDriverDataImp::FormIndexToPaperId(9, out), 1);
  EXPECT_EQ(out, 23);
  EXPECT_EQ(data->GDriverDataImp::PaperIdToFormIndex(5, out), 1);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(data->GDriverDataImp::PaperIdToFormIndex(50, out), 0);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(data->IsResolutionSupported(1200, 1200), 1);
  EXPECT_EQ(data->IsResolutionSupported(1200, 600), 0);
  EXPECT_EQ(data->GDriverDataImp::CheckPaper(nullptr, 16384, 0, 600, 600), 2);
  EXPECT_EQ(data->GDriverDataImp::CheckPaper(nullptr, 23, 0, 600, 600), 1);
  EXPECT_EQ(data->IsNameNotListed(RWCString("Courier PS")), 0);
  EXPECT_EQ(data->IsNameNotListed(RWCString("Courier")), 1);
  // Every refused name counts, not only the first.
  job->AddChild(new GStringAttribute("Labels", 1132));
  EXPECT_EQ(data->IsNameNotListed(RWCString("Labels")), 0);
  EXPECT_EQ(data->IsNameNotListed(RWCString("Courier PS")), 0);
  // The importer's helper is the text of 401 as it stands: the context's
  // support path is beside the driver, an empty name is no library.
  RWWString helper;
  EXPECT_EQ(data->GetHelperLibraryPath(helper), u"KVQCF.DLL");
  EXPECT_NE(data->GetSupportFilePath(), u"KVQCF.DLL");
  FindStringAttribute(job, 401)->SetValue("");
  EXPECT_EQ(data->GetHelperLibraryPath(helper), u"");
  FindStringAttribute(job, 401)->SetValue("KVQCF.DLL");
  EXPECT_EQ(data->HasResourceMapping(15), 1);
  EXPECT_EQ(data->HasResourceMapping(16692), 1);  // the third name of 701
  EXPECT_EQ(data->HasResourceMapping(16693), 0);
  EXPECT_EQ(data->HasTrayMapping(260), 1);
  EXPECT_EQ(data->HasTrayMapping(261), 0);
  EXPECT_EQ(data->GetPaperCodeOfMedia(23, out), 1);
  EXPECT_EQ(out, 23);
  EXPECT_EQ(data->GetMediaIdOfPaperCode(23, out), 0);
  EXPECT_EQ(data->UpdateFromDevice(0), kNoDeviceValues);
  SetValue(job, 958, 0xFFFF);
  EXPECT_EQ(data->GetEastAsianFlag(), -1);

  // The default settings choose list 1300.
  SetValue(data->EnsureDefaultSettings(), 1302, 2);
  EXPECT_EQ(data->IsResolutionSupported(300, 300), 1);
  EXPECT_EQ(data->IsResolutionSupported(1200, 1200), 0);

  // Series: case-insensitive names; 360 is assigned to the settings.
  auto* series = FindOfClass<GAttributeComposite>(job, 369);
  dynamic_cast<GAttributeComposite*>(series->Children()[0].Get())
      ->AddChild(new GValueAttribute(9, 360));
  GAttributeComposite settings(0);
  EXPECT_EQ(data->ApplySeries(u"model-100", &settings), 1);
  EXPECT_EQ(FindOfClass<GValueAttribute>(&settings, 360)->GetValue(), 9);
  EXPECT_EQ(data->ApplySeries(u"Model-300", &settings), 0);

  // Extensions: the switch answers a query; 0 refuses; the manager's
  // registration is not built (1).
  EXPECT_EQ(data->RegisterExtension("", 0), 1u);
  EXPECT_EQ(data->RegisterExtension("EXT.DLL", 0), 1u);
  SetValue(job, 984, 0);
  EXPECT_EQ(data->RegisterExtension(nullptr, 0), 0u);
  EXPECT_EQ(data->RegisterExtension("EXT.DLL", 1), kExtensionUnsupported);
  EXPECT_EQ(data->GetExtensionManager()->LoadSettingsRoot(), 1);
  EXPECT_EQ(data->GetExtensionManager()->GetSettingsRoot()->Key(), 368u);

  // Mapped values: 362's 266-268 into 329's.
  GAttributeComposite source(0), target(0);
  source.AddChild(driver_data_testing::Group(362, {{266, 2}, {267, 1}, {268, 3}}));
  target.AddChild(driver_data_testing::Group(329, {{266, 0}, {268, 0}}));
  data->CopyMappedValues(&source, &target);
  EXPECT_EQ(FindOfClass<GValueAttribute>(&target, 266)->GetValue(), 2);
  EXPECT_EQ(FindOfClass<GValueAttribute>(&target, 268)->GetValue(), 3);
  EXPECT_EQ(FindOfClass<GValueAttribute>(&target, 267), nullptr);
}

TEST_F(DriverDataTest, CustomFormsTakeTheSmallestFreeIdAndReplaceTheirName) {
  GDriverContext* data = DriverData();
  ASSERT_NE(data, nullptr);
  GAttributeComposite list(276);
  list.AddChild(new GCustomMediaSize(16385, RWCString("A"), 0, 100, 100, 0));
  list.AddChild(new GCustomMediaSize(16387, RWCString("B"), 0, 100, 100, 0));
  auto* again = new GCustomMediaSize(0, RWCString("A"), 0, 200, 200, 0);
  EXPECT_EQ(data->GDriverDataImp::AddCustomForm(again, &list), 1);
  EXPECT_EQ(again->GetId(), 16386);
  EXPECT_EQ(list.EntryCount(), 2u);  // the old "A" went
  // An entry added again is neither its own namesake nor held twice.
  EXPECT_EQ(data->GDriverDataImp::AddCustomForm(again, &list), 1);
  EXPECT_EQ(list.EntryCount(), 2u);
  EXPECT_EQ(data->GDriverDataImp::DeleteCustomForm(again, &list, nullptr), 1);
  EXPECT_EQ(data->GDriverDataImp::DeleteCustomForm(again, &list, nullptr), 0);
  for (std::uint16_t id = 16385; id <= 17383; ++id)
    list.AddChild(new GCustomMediaSize(id, RWCString(), 0, 1, 1, 0));
  GCustomMediaSize full(0, RWCString("C"), 0, 1, 1, 0);
  EXPECT_EQ(data->GDriverDataImp::AddCustomForm(&full, &list), 0);
  EXPECT_EQ(full.GetId(), 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(DriverDataFileCorpus, EveryInputEndsCleanly) {
  LLVMFuzzerInitialize(nullptr, nullptr);
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
