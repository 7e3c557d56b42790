// The per-printer context over the printer fixture and the spooler's forms.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "config/fonts/font_sources.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray_links.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "driver/device_capabilities.h"
#include "driver/driver_data_file.h"
#include "driver/printer_key.h"
#include "persist/configuration.h"
#include "persist/persistent_association.h"
#include "persist/persistent_stream.h"
#include "persist/port_handler.h"
#include "persist/resource_mapping.h"
#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "services/driver_server.h"
#include "support/listed_printer.h"
#include "tests/driver/driver_data/driver_data_testing.h"

namespace {

using driver_data_testing::SetValue;
using platform::kFormBuiltin;
using platform::kFormUser;

// The bound device mode: a whole record (dmSize 220, dmDriverExtra 952)
// whose orientation and resolution the test sets.
struct Geometry {
  std::int16_t orientation = 1;
  std::uint16_t x = 600, y = 600;
} g_geometry;

class FakeDevMode : public GDevModeSettingsInterface {
 public:
  FakeDevMode() {
    for (std::size_t i = 0; i < sizeof record_; ++i)
      record_[i] = static_cast<platform::BYTE>(i * 7);
    record_[68] = 220, record_[69] = 0, record_[70] = 952 & 0xFF, record_[71] = 952 >> 8;
    record_[77] = 0;  // dmOrientation's high byte
  }
  int IsSameDevMode(const platform::DevModeW*) override { return 0; }
  int IsFromPrinter() override { return 0; }
  int MergeDevMode(const platform::DevModeW*) override { return 1; }
  int SetSettings(GAttributeComposite* settings) override {
    model_.reset(dynamic_cast<GAttributeComposite*>(settings->DeepCopy()));
    return 1;
  }
  GAttributeComposite* GetSettings() override { return model_.get(); }
  int NormalizeCollate() override { return 1; }
  int IsEmfDataType() override { return 0; }
  std::uint16_t GetContextWord() override { return 0; }
  platform::DevModeW* GetDevMode() override {
    record_[76] = static_cast<platform::BYTE>(g_geometry.orientation);
    return reinterpret_cast<platform::DevModeW*>(record_);
  }
  std::uint16_t GetXResolution() override { return g_geometry.x; }
  std::uint16_t GetYResolution() override { return g_geometry.y; }

  platform::BYTE record_[1172];

 private:
  std::unique_ptr<GAttributeComposite> model_;
};

// A context whose registration answers what the test says.
class RegisteringContext : public GDriverContext {
 public:
  RegisteringContext(platform::HANDLE handle, const char16_t* name)
      : GDriverData(name, u"KV Test", u"USB001"),
        GDriverContext(handle, name, u"KV Test", u"USB001") {}
  std::uint32_t RegisterWithManager(const char*, std::uint32_t) override { return answer; }
  std::uint32_t answer = 0;
};

class PortHandler final : public GPortHandler {
 public:
  RWCollectable* CreateDefault() const override { return new PortHandler; }
  RWCollectable* CreateCopy() const override { return new PortHandler; }
  RWClassID ClassId() const override { return 0x0FB3; }
  std::uint32_t Flags() const override { return kPortFlagsOpenExFirst; }
};

platform::HANDLE Open(const char16_t* name, platform::DWORD access) {
  const platform::PrinterDefaultsW defaults{nullptr, nullptr, access};
  platform::HANDLE handle = nullptr;
  EXPECT_EQ(platform::OpenPrinterW(name, &handle, &defaults), 1);
  return handle;
}

// Custom sizes as "id name width height " in micrometres.
std::string Sizes(GAttributeComposite* list) {
  std::string out;
  for (RWSize i = 0; list && i < list->EntryCount(); ++i) {
    auto* size = dynamic_cast<GCustomMediaSize*>(list->Children()[i].Get());
    const GSize32 um = size->GetSizeIn(kMicrometre);
    out += std::to_string(size->GetId()) + " " + size->GetName().Data() + " " +
           std::to_string(um.width) + " " + std::to_string(um.height) + " ";
  }
  return out;
}

// A walk's ids, or its names.
int CollectId(std::uint32_t, std::uint16_t id, const RWWString&, void* data) {
  *static_cast<std::string*>(data) += std::to_string(id) + " ";
  return 1;
}
int CollectName(std::uint32_t count, std::uint16_t, const RWWString& name, void* data) {
  *static_cast<std::string*>(data) += name.ToMultiByte().Data() + std::string(" ");
  return count < 4 ? 1 : 0;
}

class Context : public testing_support::PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    g_geometry = Geometry();
    previous_maker_ = SetDevModeSettingsMaker([](GDriverContextBase&, platform::HANDLE) {
      return static_cast<GDevModeSettingsInterface*>(new FakeDevMode);
    });
    // The system's forms where mapping 191 puts them (Letter 1, Tabloid 3,
    // Legal 5, A4 9; "Odd" has no mapping), user forms between; in um.
    const struct {
      platform::DWORD flags;
      const char16_t* name;
      platform::LONG cx, cy;
    } forms[] = {
        {kFormBuiltin, u"Letter", 215900, 279400},  {kFormUser, u"U2", 100000, 150000},
        {kFormBuiltin, u"Tabloid", 279400, 431800}, {kFormUser, u"A4 Copy", 210000, 297000},
        {kFormBuiltin, u"Legal", 215900, 355600},   {kFormUser, u"Land", 150000, 100000},
        {kFormUser, u"Huge", 500000, 700000},       {kFormBuiltin, u"Odd", 1000, 1000},
        {kFormBuiltin, u"A4", 210000, 297000}};
    for (const auto& form : forms)
      platform::AddServerForm(u"", form.flags, form.name, form.cx, form.cy);
    ASSERT_NE(context_ = DriverData(), nullptr);
    ASSERT_EQ(context_->BindDevMode(nullptr), 1);
    defaults_ = context_->EnsureDefaultSettings();
  }
  // The library's own maker comes back for the tests after this one.
  void TearDown() override {
    PrinterFixture::TearDown();
    SetDevModeSettingsMaker(previous_maker_);
  }

  std::string Ids(int check, bool by_tray) {
    std::string ids;
    by_tray ? context_->EnumFormsForPrinter(&CollectId, &ids, check, nullptr)
            : context_->EnumAllForms(&CollectId, &ids, check, nullptr);
    return ids;
  }
  platform::DWORD FormCount() { return context_->EnumForms().Count(); }

  GDriverContext* context_ = nullptr;
  GAttributeComposite* defaults_ = nullptr;
  GDevModeSettingsMaker previous_maker_ = nullptr;
};

TEST_F(Context, FormNumbersAndPaperIdsBothWays) {
  // Number -> id (0: none). Positions 0-based; a user form at i is 16384 + i.
  const std::pair<int, int> to_id[] = {{256, 16384}, {1, 1},  {2, 16385}, {4, 16387}, {7, 16390},
                                       {8, 0},       {9, 23}, {10, 0},    {0, 0}};
  for (auto [number, id] : to_id) {
    std::uint16_t out = 0;
    EXPECT_EQ(context_->FormIndexToPaperId(static_cast<std::uint16_t>(number), out), id != 0);
    EXPECT_EQ(out, id) << number;
  }
  // Id -> number: the direct ones, the mapping, none for the position of
  // number 256 (16639) or a limit medium no form matches (17384).
  const std::pair<int, int> to_number[] = {{16384, 256}, {16385, 2}, {16390, 7}, {23, 9},
                                           {5, 5},       {16639, 0}, {17384, 0}};
  for (auto [id, number] : to_number) {
    std::uint16_t out = 0;
    EXPECT_EQ(context_->PaperIdToFormIndex(static_cast<std::uint16_t>(id), out), number != 0);
    EXPECT_EQ(out, number) << id;
  }
  // Unmapped medium 50 (1200 x 1800 dots, 50,800 x 76,200 um): the size
  // finds form 11; the context's own lookup first finds form 10 by the
  // name the support library gives the medium.
  platform::AddServerForm(u"", kFormUser, u"Small Card", 1, 1);
  platform::AddServerForm(u"", kFormUser, u"Card", 50800 + 100, 76200 - 100);
  dynamic_cast<GResourceMappingList*>(context_->GetPaperSizeMapping())
      ->AddMapping(new GResourceMapping(10105, 0, 50, 0));
  ASSERT_TRUE(platform::AddModule({u"C:\\Drv\\KVQCF.DLL", {}, {{10105, u"Small Card"}}}));
  std::uint16_t number = 0;
  EXPECT_EQ(context_->PaperIdToFormIndex(50, number), 1);
  EXPECT_EQ(number, 11);
  EXPECT_EQ(context_->ContextPaperIdToFormIndex(50, number), 1);
  EXPECT_EQ(number, 10);
  EXPECT_EQ(platform::GetModuleCounters(u"KVQCF.DLL").references, 0u);

  // A printer of a server sees that server's forms: the fifth is 16388;
  // the first names no form (its id would be the custom size's).
  ASSERT_TRUE(platform::SetPrinterServer(u"P1", u"\\\\SRV"));
  for (const char16_t* name : {u"One", u"Two", u"Three", u"Four", u"Five"})
    platform::AddServerForm(u"\\\\srv", kFormUser, name, 100000, 150000);
  EXPECT_EQ(context_->IsRemotePrinter(), 1);
  EXPECT_EQ(context_->FormIndexToPaperId(5, number), 1);
  EXPECT_EQ(number, 16388);
  EXPECT_EQ(context_->FormIndexToPaperId(1, number), 0);
}

TEST_F(Context, MediaMatchFormsWithinOneTenthOfAMillimetre) {
  // Dots at a resolution -> micrometres by MulDiv(dots, 25400, dpi),
  // rounded half away from zero, swapped at 90 degrees; then within 100 of
  // the form in each direction.
  const struct {
    std::int16_t width, height;
    std::uint16_t dpi;
    std::uint32_t orientation;
    std::int64_t um_width, um_height;
    platform::LONG cx, cy;
    bool match;
  } cases[] = {
      {4960, 7016, 600, 0, 209973, 297011, 210000, 297000, true},
      {2100, 2970, 254, 0, 210000, 297000, 210050, 297050, true},
      {2100, 2970, 254, 0, 210000, 297000, 210200, 297050, false},
      {2100, 2970, 254, 0, 210000, 297000, 210000, 296899, false},
      {2970, 2100, 254, 90, 210000, 297000, 210000, 297000, true},
      {2970, 2100, 254, 0, 297000, 210000, 210000, 297000, false},
      {2100, 2970, 0, 0, -1, -1, 0, 0, false},
  };
  for (const auto& c : cases) {
    const GMedia medium("M", {c.width, c.height}, {0, 0}, {0, 0}, c.orientation, 60, c.dpi, c.dpi,
                        0, 0, "", "");
    std::int64_t width = -1, height = -1;
    EXPECT_EQ(MediumSizeInMicrometres(medium, width, height), c.um_width >= 0);
    if (c.um_width >= 0) {
      EXPECT_EQ(std::pair(width, height), std::pair(c.um_width, c.um_height));
    }
    const platform::FormInfo1W form{kFormUser, nullptr, {c.cx, c.cy}, {0, 0, c.cx, c.cy}};
    EXPECT_EQ(FormMatchesMedium(form, medium, kFormTolerance), c.match) << c.cx;
  }
}

TEST_F(Context, WalksReportFittingFormsWithTheirIds) {
  // The range at 600 dpi: 76,200 x 127,000 to 215,900 x 355,600 um. No
  // Tabloid, Land (too short at 0 degrees), Huge or unmapped Odd.
  EXPECT_EQ(Ids(1, false), "1 16385 16387 5 23 ");
  EXPECT_EQ(Ids(0, false), "1 16385 3 16387 5 16389 16390 23 ");
  // At 90 degrees the limits are the media 17385 and 17384 at 90 degrees,
  // held turned (3000 x 1800 and 8400 x 5100 dots); swapped back, the range
  // is the upright one and the same forms fit. Without them it is open.
  SetValue(defaults_, 265, 90);
  EXPECT_EQ(Ids(1, false), Ids(0, false));
  GMediaPool* pool = context_->GetSymmetricMediaPool();
  ASSERT_NE(pool, nullptr);
  pool->AddChild(
      new GMedia("Smallest", {3000, 1800}, {0, 0}, {0, 0}, 90, 17385, 600, 600, 190, 0, "", ""));
  pool->AddChild(
      new GMedia("Largest", {8400, 5100}, {0, 0}, {0, 0}, 90, 17384, 600, 600, 190, 0, "", ""));
  EXPECT_EQ(Ids(1, false), "1 16385 16387 5 23 ");
  SetValue(defaults_, 265, 0);
  // A link other than the default: only the forms assigned to a tray.
  auto* database = FindOfClass<GFormToTrayDatabase>(defaults_, kFormToTrayKey);
  ASSERT_NE(database, nullptr);
  EXPECT_EQ(Ids(1, true), Ids(1, false));
  GFormToTrayLinks(*database).SetAssociationWithName(1, 16387, 11913, "A4 Copy");
  EXPECT_EQ(Ids(1, true), "16387 ");
  EXPECT_EQ(Ids(1, false), "1 16385 16387 5 23 ");
  GFormList forms = context_->EnumForms();
  std::string available;
  for (std::uint32_t i = 0; i < forms.Count(); ++i)
    available += std::to_string(context_->IsFormAvailable(forms, i, 600, 600, 0, 1));
  EXPECT_EQ(available, "000100000");
  std::string names;
  EXPECT_EQ(context_->EnumBuiltInForms(&CollectName, &names), 0);
  EXPECT_EQ(names, "Letter Tabloid Legal Odd ");
  EXPECT_EQ(context_->IsBuiltInForm(GCustomMediaSize(0, RWCString("letter"), 0, 1, 1, 0)), 1);
  EXPECT_EQ(context_->IsFormUsable(0, 600, 600, 1, 7), 0);
  EXPECT_EQ(context_->IsFormUsable(0, 600, 600, 0, 7), 1);
  // Papers: A4 Copy is medium A4 (23); U2 is no model medium.
  EXPECT_EQ(context_->NormalizePaperId(defaults_, 16387), 23);
  EXPECT_EQ(context_->NormalizePaperId(defaults_, 16385), 16385);
  // The configuration export keeps the user's form as the user's.
  EXPECT_EQ(context_->MapCustomPaperCode(defaults_, 16387), 16387);
  EXPECT_EQ(context_->CheckPaper(defaults_, 23, 0, 600, 600), 1);
  EXPECT_EQ(context_->CheckPaper(defaults_, 16385, 0, 600, 600), 2);
  EXPECT_EQ(context_->CheckPaper(defaults_, 16399, 0, 600, 600), 0);  // form 16: none
}

// The paper check on the forms above: a paper id, its answer on P1 (no
// list 192: every model paper is available) and on the listed printer
// (support/listed_printer.h: 192 lists Letter 1 and A4 23). Forms turn
// into model media first: A4 Copy (16387) is A4; U2 (16385) is no model
// medium; position 16 (16399) has no form; 256 (16384) is the custom size.
constexpr struct {
  std::uint16_t id;
  int p1, listed;
} kPaperChecks[] = {{1, 1, 1},  {23, 1, 1},    {16387, 1, 1}, {3, 1, 2},    {5, 1, 2},
                    {50, 1, 2}, {16385, 2, 2}, {16399, 0, 0}, {16384, 2, 2}};

void ExpectPaperChecks(GDriverContext& context, GAttributeComposite* defaults, bool listed) {
  for (const auto& c : kPaperChecks) {
    const int answer = listed ? c.listed : c.p1;
    EXPECT_EQ(context.CheckPaper(defaults, c.id, 0, 600, 600), answer) << c.id;
    EXPECT_EQ(context.CheckPaperForSettings(defaults, c.id), answer) << c.id;
    if (c.id < 16384 && answer != 0) {
      EXPECT_EQ(context.GDriverDataImp::CheckPaper(nullptr, c.id, 0, 600, 600), answer) << c.id;
    }
  }
}

// P1 whose configuration set holds its job settings beside the lists.
class ListedContext : public Context {
 protected:
  ListedContext() { InstallWith(support::BuildListedDataFile()); }
};

TEST_F(Context, ThePaperCheckTakesEveryModelPaperWithoutAList) {
  ExpectPaperChecks(*context_, defaults_, false);
}

TEST_F(ListedContext, ThePaperCheckAnswersFromTheConfigurationSetsList) {
  ExpectPaperChecks(*context_, defaults_, true);
  // The job settings are the set's attribute composite, and the exports
  // answer from them: copies (range 199), resolutions (206).
  MPersistentObject* set = context_->GetConfigurationSet();
  ASSERT_TRUE(set && set->ClassId() == kGConfigurationId);
  EXPECT_EQ(context_->GetJobSettings(), set->FindByKey(kDeviceSettingsKey));
  EXPECT_EQ(context_->DrvDeviceCapabilities(nullptr, u"P1", kDcCopies, nullptr, nullptr), 999u);
  EXPECT_EQ(context_->DrvDeviceCapabilities(nullptr, u"P1", kDcEnumResolutions, nullptr, nullptr),
            2u);
}

// The job settings of a configuration set: an attribute composite is
// them; a GConfiguration holds them as its first direct child keyed 198
// that is one; anything else has none.
TEST(ConfigurationSet, HoldsTheJobSettingsAsAnAttributeCompositeKeyed198) {
  const auto composite = [](std::uint32_t key) { return new GAttributeComposite(key); };
  const auto configuration = [](std::initializer_list<MPersistentObject*> children) {
    auto* set = new GConfiguration(kDeviceSettingsKey);
    for (MPersistentObject* child : children)
      set->AddChild(child);
    return set;
  };
  GAttributeComposite* settings = composite(kDeviceSettingsKey);
  GAttributeComposite* inner = composite(kDeviceSettingsKey);
  // A set, and its job settings.
  const std::pair<MPersistentObject*, GAttributeComposite*> sets[] = {
      {settings, settings},
      {configuration({new GValueAttribute(1, kDeviceSettingsKey), new MAssociationList(192u),
                      composite(5), inner, composite(kDeviceSettingsKey)}),
       inner},
      {configuration({composite(5), configuration({composite(kDeviceSettingsKey)})}), nullptr},
      {new MPersistentComposite(kDeviceSettingsKey), nullptr},
      {new MAssociationList(kDeviceSettingsKey), nullptr},
      {nullptr, nullptr}};
  for (const auto& [set, expected] : sets) {
    EXPECT_EQ(JobSettingsIn(set), expected);
    delete set;
  }
}

// IsFormAvailable reads the range and the form-to-tray links once per form
// list and geometry: another resolution or check, or a list read afresh
// after the links changed, is answered from the model as it then is.
TEST_F(Context, AvailabilityFollowsTheListAndTheGeometry) {
  const auto available = [this](const GFormList& forms, std::uint16_t dpi, int check) {
    std::string answer;
    for (std::uint32_t i = 0; i < forms.Count(); ++i)
      answer += std::to_string(context_->IsFormAvailable(forms, i, dpi, dpi, 0, check));
    return answer;
  };
  const GFormList forms = context_->EnumForms();
  const struct {
    std::uint16_t dpi;
    int check;
    const char* answer;
  } asks[] = {
      {600, 1, "110110001"}, {0, 1, "000000000"}, {600, 0, "111111101"}, {600, 1, "110110001"}};
  for (const auto& ask : asks)
    EXPECT_EQ(available(forms, ask.dpi, ask.check), ask.answer) << ask.dpi << ask.check;
  GFormToTrayLinks links(*FindOfClass<GFormToTrayDatabase>(defaults_, kFormToTrayKey));
  links.SetAssociationWithName(1, 16387, 11913, "A4 Copy");
  EXPECT_EQ(available(context_->EnumForms(), 600, 1), "000100000");
  links.Clear();
  EXPECT_EQ(available(context_->EnumForms(), 600, 1), "110110001");
}

TEST_F(Context, CustomSizesAreTheSpoolersForms) {
  // The defaults' current size (2159 x 2794 tenths of a millimetre), then
  // the fitting user forms; with 915 set every user form, a landscape
  // one with width < height.
  GAttributeComposite* list = FindComposite(defaults_, kCustomSizesKey);
  EXPECT_EQ(Sizes(list),
            "16384  215900 279400 16385 U2 100000 150000 16387 A4 Copy 210000 297000 ");
  SetValue(defaults_, 915, 1);
  EXPECT_EQ(context_->RefreshCustomSizes(defaults_), 4);
  EXPECT_TRUE(Sizes(list).ends_with("16389 Land 100000 150000 16390 Huge 500000 700000 "));
  SetValue(defaults_, 915, 0);

  // A new one lands at position 9 (id 16393) as a user form (0, 0, cx, cy);
  // again under its name it changes size in place.
  auto* mine = new GCustomMediaSize(0, RWCString("Mine"), kMillimetre, 100, 200, 0);
  ASSERT_EQ(context_->AddCustomForm(mine, list), 1);
  GFormList forms = context_->EnumForms();
  ASSERT_EQ(forms.Count(), 10u);
  const platform::FormInfo1W& added = forms[9];
  EXPECT_EQ(std::tuple(added.flags, added.size.cx, added.size.cy, added.imageable_area.left,
                       added.imageable_area.right, added.imageable_area.bottom),
            std::tuple(kFormUser, 100000, 200000, 0, 100000, 200000));
  EXPECT_EQ(mine->GetId(), 16393);
  auto* again = new GCustomMediaSize(0, RWCString("Mine"), kMillimetre, 120, 200, 0);
  ASSERT_EQ(context_->AddCustomForm(again, list), 1);
  EXPECT_EQ(FormCount(), 10u);
  EXPECT_EQ(context_->EnumForms()[9].size.cx, 120000);
  EXPECT_EQ(list->EntryCount(), 6u);  // the first "Mine" went
  EXPECT_TRUE(Sizes(list).ends_with("16393 Mine 120000 200000 "));
  GCustomMediaSize letter(0, RWCString("Letter"), kMillimetre, 1, 1, 0);
  EXPECT_EQ(context_->AddCustomForm(&letter, list), 0);  // a built-in form stays

  // Deleting rebuilds the list from the forms left.
  ASSERT_EQ(context_->DeleteCustomForm(again, list, defaults_), 1);
  EXPECT_EQ(Sizes(list), "16385 U2 100000 150000 16387 A4 Copy 210000 297000 ");
  EXPECT_EQ(context_->DeleteCustomForm(&letter, list, defaults_), 0);

  // Printer forms for mapped media without a spooler number (medium 50,
  // named by the support library) and for the job's custom sizes no form
  // matches ("Custom A", 4 x 6 in); made once.
  dynamic_cast<GResourceMappingList*>(context_->GetPaperSizeMapping())
      ->AddMapping(new GResourceMapping(10105, 0, 50, 0));
  ASSERT_TRUE(platform::AddModule({u"C:\\Drv\\KVQCF.DLL", {}, {{10105, u"Small Card"}}}));
  EXPECT_EQ(context_->AddMediaForms(), 1);
  forms = context_->EnumForms();
  ASSERT_EQ(forms.Count(), 11u);
  EXPECT_EQ(std::tuple(FormName(forms[9]), forms[9].flags, forms[9].size.cx, forms[9].size.cy),
            std::tuple(RWWString(u"Small Card"), platform::kFormPrinter, 50800, 76200));
  EXPECT_EQ(std::tuple(FormName(forms[10]), forms[10].size.cx, forms[10].size.cy),
            std::tuple(RWWString(u"Custom A"), 101600, 152400));
  EXPECT_EQ(context_->AddMediaForms(), 0);
}

// Forms of no size, negative, too large for 16-bit dots, empty and
// 300-character names, and 1,200 forms, through every form operation.
TEST_F(Context, DamagedAndCrowdedFormListsEndCleanly) {
  const std::u16string long_name(300, u'W');
  const struct {
    const char16_t* name;
    platform::LONG cx, cy;
  } odd[] = {{u"Zero", 0, 0},
             {u"Neg", -5, -210000},
             {u"Big", 2000000, 3000000},
             {u"", 100000, 150000},
             {long_name.c_str(), 100000, 150000}};
  for (const auto& form : odd)
    platform::AddServerForm(u"", kFormUser, form.name, form.cx, form.cy);
  for (int i = FormCount(); i < 1200; ++i)
    platform::AddServerForm(
        u"", kFormUser, RWWString::FromMultiByte(std::to_string(i).c_str()).Data(), 100000, 150000);
  // Reported: the fixture's five, the two named oddly (positions 12, 13)
  // and the fillers at 14 to 999 but 255; never an id from 17384 on.
  std::string ids = Ids(1, false);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), ' '), 5 + 2 + 985);
  EXPECT_EQ(ids.substr(ids.size() - 6), "17383 ");
  EXPECT_EQ(ids.find(" 16639 "), std::string::npos);
  EXPECT_EQ(context_->RefreshCustomSizes(defaults_), 2 + 2 + 985);
  std::uint16_t out = 0;
  for (std::uint32_t n = 0; n <= 1201; ++n) {
    const auto number = static_cast<std::uint16_t>(n);
    context_->FormIndexToPaperId(number, out);
    std::unique_ptr<GMedia> medium(context_->MediumForFormNumber(number, 0, 600, 600));
    if (n == 10 || n == 11 || n == 256 || n > 1000) {
      EXPECT_EQ(medium, nullptr) << n;
    } else if (medium) {
      EXPECT_LT(medium->GetPaperSizeId(), 17384) << n;
    }
    context_->IsFormUsable(0, 600, 600, 1, number);
  }
  EXPECT_EQ(context_->FormIndexToPaperId(1001, out), 0);
  EXPECT_EQ(context_->PaperIdToFormIndex(17385, out), 0);
  // A new form would land at position 1200: refused, the spooler untouched.
  GCustomMediaSize late(0, RWCString("Late"), kMillimetre, 100, 100, 0);
  EXPECT_EQ(context_->AddCustomForm(&late, FindComposite(defaults_, kCustomSizesKey)), 0);
  EXPECT_EQ(FormCount(), 1200u);
  GCustomMediaSize empty(0, RWCString(), kMillimetre, 100, 100, 0);
  EXPECT_EQ(context_->PutFormForCustomSize(context_->GetPrinterHandle(), empty, 0, 1), 0);
  EXPECT_EQ(context_->AddMediaForms(), 1);  // "Custom A" only
}

TEST_F(Context, WriteTestOpensItsOwnHandleOnlyWhenItMust) {
  const struct {
    platform::DWORD access;  // of the creation handle; 0: none
    bool write_fails, denied;
    int result;
    bool own_handle;
  } cases[] = {
      {platform::kPrinterAllAccess, false, false, 1, false},
      {platform::kPrinterAccessUse, false, false, 1, true},
      {0, false, false, 1, true},
      {platform::kPrinterAccessUse, true, false, 0, false},
      {platform::kPrinterAccessUse, false, true, 0, false},
  };
  for (const auto& c : cases) {
    const platform::SpoolerCounters before = platform::GetSpoolerCounters();
    platform::HANDLE handle = c.access ? Open(u"P1", c.access) : nullptr;
    platform::SetPrinterDataWriteFailure(u"P1", kWriteTestName,
                                         c.write_fails ? platform::kErrorWriteFault : 0);
    platform::SetPrinterAdministerDenied(c.denied);
    {
      RegisteringContext context(handle, u"P1");
      context.UseOwnHandle(1);  // none open: no effect
      EXPECT_EQ(context.GetPrinterHandle(), handle);
      EXPECT_EQ(context.EnsureWritablePrinterData(), c.result);
      EXPECT_EQ(context.GetOwnHandle() != nullptr, c.own_handle);
      EXPECT_EQ(context.GetPrinterHandle() != handle, c.own_handle);
    }
    if (handle) platform::ClosePrinter(handle);
    EXPECT_EQ(platform::GetSpoolerCounters().open_handles, before.open_handles);
  }
  platform::SetPrinterAdministerDenied(false);
  // The device-mode record as the printer's default, the last error reset.
  platform::SetLastError(5);
  ASSERT_EQ(context_->StoreDefaultDevMode(), 1);
  EXPECT_EQ(platform::GetLastError(), 0u);
  std::unique_ptr<platform::BYTE[]> info = ReadPrinterInfo2(context_->GetPrinterHandle());
  const auto* stored = static_cast<platform::BYTE*>(
      reinterpret_cast<platform::PrinterInfo2W*>(info.get())->dev_mode);
  auto* record = reinterpret_cast<platform::BYTE*>(context_->GetDevModeSettings()->GetDevMode());
  EXPECT_EQ(std::string(stored, stored + 1172), std::string(record, record + 1172));
}

TEST_F(Context, RegistrationSavesOnlyAfterASuccessfulRegistration) {
  for (std::uint32_t answer : {1u, 0u}) {
    RegisteringContext context(Open(u"P1", platform::kPrinterAccessUse), u"P1");
    std::unique_ptr<GPersistentInputStream> file(
        Services().NewFileInputStream(support::kFixtureDataFile, GOSFactory::kBinaryEncoding));
    ASSERT_TRUE(file && LoadDriverDataFile(*file, context));
    context.answer = answer;
    auto stored = [&context] {
      std::unique_ptr<platform::BYTE[]> info = ReadPrinterInfo2(context.GetPrinterHandle());
      return reinterpret_cast<platform::PrinterInfo2W*>(info.get())->dev_mode != nullptr;
    };
    EXPECT_EQ(context.RegisterExtension("", 0), answer);  // no name: never saved
    EXPECT_FALSE(stored());
    EXPECT_EQ(context.RegisterExtension("EXT.DLL", 0), answer);
    EXPECT_EQ(stored(), answer == 0);
    EXPECT_EQ(context.GetOwnHandle(), nullptr);  // the write test's, released
    platform::ClosePrinter(context.GetPrinterHandle());
  }
}

TEST_F(Context, SheetRecordsRetargetingAndTheHost) {
  context_->GetDevModeSettingsModel()->AddChild(new GValueAttribute(7, 313));
  PortHandler handler;
  for (bool registered : {false, true}) {
    if (registered) GPortHandlerRegistry::Instance().Register(&handler, "T 1.0");
    GSheetRecord* record = context_->CreateSheetRecord();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(std::tuple(record->size, record->driver_data, record->apply, record->ui_data),
              std::tuple(60u, static_cast<GUIDriverData*>(context_), std::uint16_t{2}, nullptr));
    EXPECT_EQ(record->configuration, context_->GetConfiguration());
    ASSERT_NE(record->os_version, nullptr);
    EXPECT_EQ(SignedValueOr(record->settings, 313, -1), registered ? 1 : 0);
    context_->DeleteSheetRecord(record);
  }
  GPortHandlerRegistry::Instance().Unregister("T 1.0");

  GDevModeSettingsInterface* bound = context_->GetDevModeSettings();
  context_->Retarget(GPrinterKey(nullptr, u"P1", u"KV Test", u"USB002", 0));
  EXPECT_EQ(context_->GetDevModeSettings(), bound);
  EXPECT_EQ(context_->GetPortName(), RWWString(u"USB002"));
  EXPECT_EQ(context_->GetPrinterHandle(), nullptr);
  context_->Retarget(GPrinterKey(nullptr, u"P2", u"KV Test", u"USB002", 0));
  EXPECT_EQ(context_->GetDevModeSettings(), nullptr);
  EXPECT_EQ(context_->GetPrinterName(), RWWString(u"P2"));

  EXPECT_EQ(context_->GetHostModulePath(), RWWString(support::kFixtureHostProgram));
  EXPECT_EQ(context_->RefreshHost(), 0);
  platform::SetHostProgramPath(u"C:\\Apps\\Word.exe");
  EXPECT_EQ(context_->RefreshHost(), 1);
  EXPECT_EQ(context_->GetHostModulePath(), RWWString(u"C:\\Apps\\Word.exe"));
  Services().SetModuleHandle(platform::OwnModule());
  RWCString companion;
  context_->GetCompanionFilePath(companion);
  EXPECT_EQ(companion, RWCString("C:\\Drv\\KVTEST.HLP"));  // beside the library
}

TEST_F(Context, FontFilesComeOnlyFromAndIntoTheDriverDirectory) {
  testing_support::TempPath server("srv"), other("other");
  for (const std::string& folder :
       {server.str() + "/w32x86/2/a", server.str() + "/w32x86/3", other.str(), HostPath("a")})
    std::filesystem::create_directories(folder);
  ASSERT_TRUE(platform::MapPathPrefix(u"\\\\SRV\\print$", server.str()));
  ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Other", other.str()));
  for (const char* name : {"2/good.ttf", "3/three.ttf", "2/x.ttf", "2/a/b.ttf", "2/..b.ttf"})
    testing_support::WriteAll(server.str() + "/w32x86/" + name, name);
  testing_support::WriteAll(other.str() + "/x.ttf", "kept");
  std::filesystem::create_directory_symlink(other.str(), HostPath("away"));  // out of C:\Drv
  // Bare names live in the driver directory; the others are taken whole.
  const char16_t* values[] = {u"good.ttf",
                              u"three.ttf",
                              u"C:\\Other\\x.ttf",
                              u"C:\\Drv\\a/b.ttf",
                              u"C:\\Drv\\..b.ttf",
                              u"C:\\Drv\\missing.ttf",
                              u"C:\\Drv\\away\\x.ttf"};
  for (std::uint32_t i = 0; i < std::size(values); ++i) {
    ASSERT_TRUE(Services().SetPrinterDataString(context_, kFontSources[i].value_name, values[i]));
  }
  context_->FetchMassStorageFontFiles(u"P1");  // no server part: nothing
  EXPECT_FALSE(std::filesystem::exists(HostPath("good.ttf")));
  context_->FetchMassStorageFontFiles(u"\\\\SRV\\P1");
  EXPECT_EQ(testing_support::ReadAll(HostPath("good.ttf")), "2/good.ttf");
  EXPECT_EQ(testing_support::ReadAll(HostPath("three.ttf")), "3/three.ttf");
  EXPECT_EQ(testing_support::ReadAll(other.str() + "/x.ttf"), "kept");
  EXPECT_FALSE(std::filesystem::exists(HostPath("a/b.ttf")));
  EXPECT_FALSE(std::filesystem::exists(HostPath("..b.ttf")));
  RWWString name;
  platform::HANDLE handle = nullptr;
  std::uint32_t flag = 1;
  context_->GetPrinterIdentity(name, handle, flag);
  EXPECT_EQ(std::tuple(handle, flag), std::tuple(nullptr, 0u));
  context_->DeleteMassStorageFontFiles(u"\\\\SRV\\P1");
  EXPECT_FALSE(std::filesystem::exists(HostPath("good.ttf")));
  EXPECT_FALSE(std::filesystem::exists(HostPath("three.ttf")));
  EXPECT_EQ(testing_support::ReadAll(other.str() + "/x.ttf"), "kept");

  // The job's font file becomes value 6 ("MassStorageFonts" set first).
  GAttributeComposite* job = context_->GetJobSettings();
  FindStringAttribute(job, 445)->SetValue(RWCString("C:\\Drv\\job.ttf"));
  SetValue(job, 317, 1);
  context_->CarryJobFontFile();
  EXPECT_EQ(ReadMsdFileName(context_, 6), RWWString(u"C:\\Drv\\job.ttf"));
  EXPECT_EQ(GetMassStorageFontsFlag(context_), 1u);
}

// Two printers' contexts, checked out of one server, on two threads at
// once: each walks its forms and stores its default device mode.
TEST_F(Context, TwoPrintersOnTwoThreads) {
  ASSERT_TRUE(platform::AddPrinter(u"P2"));
  ASSERT_TRUE(platform::SetPrinterDriver(u"P2", support::kFixtureDriver, support::kFixturePort,
                                         support::kFixtureDataFile));
  std::uint32_t cookie = 0;
  platform::HANDLE p2 = Open(u"P2", platform::kPrinterAllAccess);
  auto* second =
      GDriverContext::FromDriverData(Server()->GetContext(new GPrinterKey(p2, u"P2", 0), cookie));
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(second->BindDevMode(nullptr), 1);
  std::atomic<int> faults{0};
  auto work = [&faults](GDriverContext* context) {
    for (int round = 0; round < 40; ++round) {
      if (context->EnumAllForms(nullptr, nullptr, 1, nullptr) != 5) ++faults;
      if (context->StoreDefaultDevMode() != 1) ++faults;
    }
  };
  std::thread one(work, context_), two(work, second);
  one.join(), two.join();
  EXPECT_EQ(faults.load(), 0);
  Server()->ReleaseContext(cookie);
  platform::ClosePrinter(p2);
}

}  // namespace
