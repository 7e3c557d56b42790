// The controls of the Paper, Finishing and Color pages on the printer
// fixture, with the default error handler in force: the paper-type list,
// the check box and the description texts, each on a test page made from
// the Paper page's template whose procedure hands every message to the
// wrappers under test.
#include <gtest/gtest.h>

#include <vector>

#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/model_lookup.h"
#include "output/core/peripheral_composite.h"
#include "platform/message_box.h"
#include "platform/ui/dialog.h"
#include "platform/ui/drawing.h"
#include "platform/ui/messages.h"
#include "platform/ui/ui_host.h"
#include "platform/ui/window.h"
#include "tests/ui/pages/plugin_fixture.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/accessory_choices.h"
#include "ui/pages/description_texts.h"
#include "ui/pages/feature_tip.h"
#include "ui/pages/media_type_controls.h"
#include "ui/pages/output_bin.h"
#include "ui/pages/tray_picture.h"

using namespace platform;
using support::UiDialog;

namespace {

constexpr int kPaperPage = 2000;
constexpr int kTypeList = 11582;

std::vector<GControlWrapper*>* g_routed = nullptr;

INT_PTR RouteToWrappers(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT handled = 0;
  for (GControlWrapper* wrapper : g_routed ? *g_routed : std::vector<GControlWrapper*>{})
    handled |= wrapper->HandleMessage(message, wparam, lparam);
  return handled;
}

class PageControlsTest : public testing_support::PluginFixture {
 protected:
  void SetUp() override {
    PluginFixture::SetUp();
    ASSERT_TRUE(LoadResourceLibrary(RWWString(testing_support::kPluginLibrary)));
    context = std::make_unique<GUIContext>(&host);
    g_routed = &routed;
  }
  void TearDown() override {
    if (sheet) DestroyWindow(sheet);
    for (GControlWrapper* wrapper : routed)
      delete wrapper;
    g_routed = nullptr;
    context.reset();
    ReleaseResourceLibrary();
    PluginFixture::TearDown();
  }
  // Opens the test page with `wrapper` on it, initialised and refreshed.
  template <class W>
  W* Place(W* wrapper, bool on_sheet = false) {
    if (!page) {
      sheet = CreateDialogParamW(GetResourceModuleHandle(), MakeIntResourceW(9000), nullptr,
                                 RouteToWrappers, 0);
      page = CreateDialogParamW(GetResourceModuleHandle(), MakeIntResourceW(kPaperPage), sheet,
                                RouteToWrappers, 0);
      ShowWindow(sheet, kSwShow);
      ShowWindow(page, kSwShow);
    }
    EXPECT_NE(page, nullptr) << GetLastError();
    routed.push_back(wrapper);
    wrapper->AttachDialog(on_sheet ? sheet : page);
    wrapper->OnInit();
    wrapper->Refresh(1);
    return wrapper;
  }
  GAttributeView Settings() { return context->GetSettingsView(); }
  void Ui(std::uint32_t id, std::int32_t value) { context->GetUIObjectView().SetValue(id, value); }
  void Add(MPersistentObject* child) {
    static_cast<GAttributeComposite*>(settings.Get())->AddChild(child);
  }
  std::int32_t GetAttributeValueFor(std::uint32_t key) {
    std::int32_t value = 0;
    Settings().GetValue(key, value);
    return value;
  }
  RWCString Type(std::uint32_t key) {
    RWCString value;
    Settings().GetString(key, value);
    return value;
  }

  std::unique_ptr<GUIContext> context;
  std::vector<GControlWrapper*> routed;
  HWND sheet = nullptr;  // the page's parent
  HWND page = nullptr;
};

// The state by page group (selector s), with F = 0x40000071 = 1 and the
// message M, and the type lock 0x40000093 first.
TEST_F(PageControlsTest, MediaTypeStateByPageGroup) {
  GMediaTypeFeature feature(context.get());
  Add(new GValueAttribute(0, 920));
  Add(new GValueAttribute(0, 1218));
  struct Case {
    std::int32_t selector, back, front, message, lock, state;
  } const cases[] = {
      {0, 2, 2, 5161, 0, 0}, {1, 2, 2, 5161, 0, 1}, {1, 2, 2, 5162, 0, 0}, {1, 2, 2, 5170, 0, 1},
      {2, 0, 2, 5161, 0, 2}, {2, 1, 2, 5161, 0, 1}, {2, 2, 2, 5162, 0, 1}, {2, 2, 2, 5163, 0, 0},
      {3, 2, 0, 5161, 0, 2}, {3, 2, 3, 0, 0, 1},    {3, 2, 2, 5163, 0, 1}, {3, 2, 2, 5169, 0, 0},
      {4, 2, 2, 5388, 0, 1}, {4, 2, 2, 5170, 0, 0}, {5, 2, 2, 5161, 0, 0}, {4, 2, 2, 5388, 1, 1},
      {0, 2, 2, 0, 1, 1},
  };
  for (const Case& c : cases) {
    Ui(kPageGroupSelectorKey, c.selector);
    Ui(0x40000071, 1);
    Ui(0x40000072, c.message);
    Ui(0x40000093, c.lock);
    SetValueIfPresent(settings.Get(), 920, c.back);
    SetValueIfPresent(settings.Get(), 1218, c.front);
    EXPECT_EQ(feature.GetState(), c.state) << c.selector << " " << c.message;
  }
}

TEST_F(PageControlsTest, AccessoryChoices) {
  struct Case {
    std::int16_t value;
    const char* part;
    std::int32_t skip, allowed;
  } const cases[] = {{3, "", 0, 0},       {3, "Z7142", 0, 1}, {3, "z7142", 0, 0},
                     {3, "Z7142 ", 0, 0}, {3, "", 1, 1},      {1, "", 0, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(IsAccessoryChoiceAllowed(c.value, RWCString(c.part), c.skip), c.allowed) << c.part;
  EXPECT_EQ(AcceptAnyChoiceA() + AcceptAnyChoiceB(3, "", 0) + AcceptAnyChoiceC(-1, nullptr), 3);
}

TEST_F(PageControlsTest, NamesAndStringIds) {
  EXPECT_EQ(MediaTypeNameToStringId(""), 11101);
  EXPECT_EQ(MediaTypeNameToStringId("Gloss Film"), 11575);
  EXPECT_EQ(MediaTypeNameToStringId("gloss film"), 11381);
  EXPECT_EQ(MediaTypeNameToStringId("Plain "), 11381);
  EXPECT_EQ(MediaTypeStringIdToName(11111), "Card Stock");
  EXPECT_EQ(MediaTypeStringIdToName(11381), "");
  EXPECT_EQ(MediaTypeStringIdToName(11913), "");
}

// The list: the fixed types, then at most five user types; a restricting
// form-to-tray table keeps "Unspecified" and the types linked to the
// current paper size.
TEST_F(PageControlsTest, TypeListFollowsUserTypesAndTheTable) {
  // The fixture's three user types and three more.
  for (const char* name : {"Mine 1", "", "Mine 3"})
    context->FindUserMediaTypes()->AddChild(new GStringAttribute(name, 0));
  Add(new GValueAttribute(1, 922));
  Settings().SetString(261, "");
  auto* wrapper =
      Place(new GMediaTypeListWrapper(new GMediaTypeFeature(context.get()),
                                      std::vector<GControlEntry>{{kTypeList, 203}, {0, 0}}.data()));
  UiDialog dialog(page);
  std::vector<std::u16string> items = dialog.Items(kTypeList);
  ASSERT_EQ(items.size(), 24u);
  EXPECT_EQ(items[0], u"Unspecified");
  EXPECT_EQ(items[10], u"Cardstock 164-220 g/m2");
  EXPECT_EQ(items[18], u"Tough Paper");
  EXPECT_EQ(items[21], u"Auto Select");
  EXPECT_EQ(items[23], u"");
  EXPECT_EQ(items[dialog.Selection(kTypeList)], u"Plain");  // 922 = 1: empty shows "Plain"

  // A table linking Letter (1) to "Bond" only: "Unspecified" and "Bond".
  auto* table = dynamic_cast<GFormToTrayDatabase*>(Settings().FindTyped(510, 1012));
  ASSERT_NE(table, nullptr);
  table->SetAssociation(6, 1, 11108);  // tray slot = paper, form slot = tray
  SetValueIfPresent(settings.Get(), 260, 1);
  wrapper->UpdateControl(1);
  EXPECT_EQ(dialog.Items(kTypeList), (std::vector<std::u16string>{u"Unspecified", u"Bond"}));
  SetValueIfPresent(settings.Get(), 260, 23);
  wrapper->UpdateControl(1);
  EXPECT_EQ(dialog.Items(kTypeList), std::vector<std::u16string>{u"Unspecified"});
}

// Choosing a type writes the section's attribute (all five from the first
// page while 264 is 0) and, in the colour modes 7-10, sets 304 and the
// colour table from the configuration.
TEST_F(PageControlsTest, ChoosingATypeWritesSectionsAndColours) {
  for (std::uint32_t key : {973u, 1213u, 1215u})
    Add(new GStringAttribute("", key));
  const GTintvectorEnhancedAttributeVer2::Settings transparency{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const GTintvectorEnhancedAttributeVer2::Settings paper{9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  auto* job = context->GetConfiguration();
  job->AddChild(new GTintvectorEnhancedAttributeVer2(227, transparency));
  job->AddChild(new GTintvectorEnhancedAttributeVer2(208, paper));
  Add(new GTintvectorEnhancedAttributeVer2(295));
  SetValueIfPresent(settings.Get(), 304, 9);
  auto* wrapper =
      Place(new GMediaTypeListWrapper(new GMediaTypeFeature(context.get()),
                                      std::vector<GControlEntry>{{kTypeList, 203}, {0, 0}}.data()));
  UiDialog dialog(page);
  ASSERT_TRUE(dialog.Select(kTypeList, u"Transparency"));
  for (std::uint32_t key : {261u, 262u, 973u, 1213u, 1215u})
    EXPECT_EQ(Type(key), "Transparency") << key;
  std::int32_t mode = 0;
  Settings().GetValue(304, mode);
  EXPECT_EQ(mode, 8);
  auto* colours = dynamic_cast<GTintvectorEnhancedAttributeVer2*>(
      Settings().FindTyped(295, kGTintvectorEnhancedAttributeVer2Id));
  ASSERT_NE(colours, nullptr);
  std::uint8_t grey = 0;
  ASSERT_TRUE(colours->GetSetting(0, 0, grey));
  EXPECT_EQ(grey, 1);

  // Other pages only, and back to mode 7 with another type.
  SetValueIfPresent(settings.Get(), 264, 1);
  Ui(kPageGroupSelectorKey, 1);
  wrapper->UpdateControl(1);
  ASSERT_TRUE(dialog.Select(kTypeList, u"Bond"));
  EXPECT_EQ(Type(262), "Bond");
  EXPECT_EQ(Type(261), "Transparency");
  Settings().GetValue(304, mode);
  EXPECT_EQ(mode, 7);
}

// Missing or wrong-class attributes: the list still fills, a choice
// writes nothing it cannot.
TEST_F(PageControlsTest, TypeControlsSurviveMissingAttributes) {
  auto* tree = static_cast<GAttributeComposite*>(settings.Get());
  for (std::uint32_t key : {261u, 304u, 510u, 701u})
    delete tree->RemoveByKey(key);
  Add(new GValueAttribute(3, 261));
  Add(new GValueAttribute(1, 701));
  Place(new GMediaTypeListWrapper(new GMediaTypeFeature(context.get()),
                                  std::vector<GControlEntry>{{kTypeList, 203}, {0, 0}}.data()));
  UiDialog dialog(page);
  EXPECT_EQ(dialog.Items(kTypeList).size(), 19u);
  EXPECT_TRUE(dialog.Select(kTypeList, u"Bond"));
  EXPECT_EQ(Type(262), "Bond");
}

TEST_F(PageControlsTest, CheckBoxFollowsItsAttribute) {
  auto* feature = new GTrueTypeBitmapFeature(context.get());
  auto* box = Place(
      new GCheckBoxWrapper(feature, std::vector<GControlEntry>{{3021, 313}, {0, 0}}.data()), true);
  UiDialog dialog(sheet);
  EXPECT_FALSE(dialog.Checked(3021));
  ASSERT_TRUE(dialog.Click(3021));
  EXPECT_EQ(feature->GetValue(), 1);
  feature->SetValue(0);
  box->UpdateControl(0);
  EXPECT_FALSE(dialog.Checked(3021));
  Ui(0x4000003B, 1);
  box->Refresh(1);
  EXPECT_FALSE(dialog.Enabled(3021));
}

// Modes 7-10 are "Automatic"; the text moves only when forced or when the
// colour table changed. The quality text follows the defaults.
TEST_F(PageControlsTest, DescriptionTexts) {
  auto* color =
      Place(new GColorDescriptionWrapper(new GColorModeFeature(context.get()),
                                         std::vector<GControlEntry>{{1070, 901}, {0, 0}}.data()));
  auto* quality = Place(new GQualityDescriptionWrapper(
      new GQualityFeature(context.get()), std::vector<GControlEntry>{{1010, 901}, {0, 0}}.data()));
  UiDialog dialog(page);
  EXPECT_EQ(dialog.Text(1010), u"This is the \"Default\" setting");
  const std::pair<std::int32_t, const char16_t*> modes[] = {
      {7, u"Automatic"}, {10, u"Automatic"}, {6, u"Custom"}, {11, u"Custom"}};
  for (const auto& [mode, word] : modes) {
    SetValueIfPresent(settings.Get(), 304, mode);
    color->UpdateControl(1);
    EXPECT_NE(dialog.Text(1070).find(word), std::u16string::npos) << mode;
  }
  SetValueIfPresent(settings.Get(), 304, 8);
  color->UpdateControl(0);
  EXPECT_EQ(dialog.Text(1070), u"This is a \"Custom\" setting");
  context->BeginUpdate(nullptr);
  context->RecordChange(295);
  ASSERT_TRUE(Settings().SetValue(323, 300));
  color->UpdateControl(0);
  quality->UpdateControl(0);
  EXPECT_EQ(dialog.Text(1070), u"This is the \"Automatic\" setting");
  EXPECT_EQ(dialog.Text(1010), u"This is a \"Custom\" setting");
  context->EndUpdate();
}

// The tip's state by the access flags, its flag and its message.
TEST_F(PageControlsTest, TipStates) {
  constexpr std::uint32_t kTipFlag = 0x4000007C, kTipMessage = 0x4000007D;
  GFeatureTipFeature tip(context.get(), &kTipFlag, &kTipMessage);
  EXPECT_EQ(tip.GetState(), kStateHidden);  // neither exists
  struct Case {
    std::uint32_t access;
    std::int32_t flag, message;
    int state;
  } const cases[] = {{0, 1, 11902, 2}, {0, 1, 5161, 0}, {0, 0, 5301, 0}, {0, 2, 5320, 0},
                     {0, 2, 5161, 2},  {0, 0, 0, 2},    {1, 1, 5161, 2}, {2, 1, 5161, 0}};
  for (const Case& c : cases) {
    host.access_flags = c.access;
    Ui(kTipFlag, c.flag);
    Ui(kTipMessage, c.message);
    EXPECT_EQ(tip.GetState(), c.state) << c.access << " " << c.flag << " " << c.message;
  }
}

// The pictures are drawn centred in the 80 x 16 button: the 8 x 8 bitmap
// at (36, 4). Row 0 of 11280 (and 11282) is blue at x 3-4; row 1 of 11281
// (and 11283) at x 4-5 (the resource script's pixels).
TEST_F(PageControlsTest, TipDrawsItsPicturesAndShowsItsMessage) {
  constexpr std::uint32_t kTipFlag = 0x4000007C, kTipMessage = 0x4000007D;
  constexpr COLORREF kBlue = 0xFF0000, kFace = 0xC0C0C0, kWhite = 0xFFFFFF;
  auto* tip =
      Place(new GFeatureTipWrapper(new GFeatureTipFeature(context.get(), &kTipFlag, &kTipMessage),
                                   std::vector<GControlEntry>{{2064, kNoHelp}, {0, 0}}.data(), 0));
  auto* white =
      Place(new GFeatureTipWrapper(new GFeatureTipFeature(context.get(), &kTipFlag, &kTipMessage),
                                   std::vector<GControlEntry>{{2024, kNoHelp}, {0, 0}}.data(), 1));
  HWND button = GetDlgItem(page, 2064);
  InvalidateRect(button, nullptr, 0);
  ui.Pump();
  EXPECT_EQ(GetWindowPixel(button, 39, 4), kBlue);
  EXPECT_EQ(GetWindowPixel(button, 40, 5), kFace);
  EXPECT_EQ(GetWindowPixel(button, 0, 0), kFace);  // the face around it, no focus frame
  // Pressed and focused: 11281, and the focus frame inverts (0, 0).
  auto draw = [&](GFeatureTipWrapper* wrapper, HWND item, UINT state) {
    DrawItemStruct record;
    record.control_id = UINT(GetDlgCtrlID(item));
    record.item_state = state;
    record.item = item;
    record.dc = GetDC(item);
    record.item_rect = Rect{0, 0, 80, 16};
    wrapper->HandleMessage(kWmDrawItem, record.control_id, reinterpret_cast<LPARAM>(&record));
    ReleaseDC(item, record.dc);
  };
  draw(tip, button, kOdsSelected | kOdsFocus);
  EXPECT_EQ(GetWindowPixel(button, 40, 5), kBlue);
  EXPECT_EQ(GetWindowPixel(button, 39, 4), kFace);
  EXPECT_EQ(GetWindowPixel(button, 0, 0), kFace ^ 0xFFFFFF);
  EXPECT_EQ(GetWindowPixel(button, 1, 0), kFace);
  HWND other = GetDlgItem(page, 2024);
  draw(white, other, kOdsSelected);
  EXPECT_EQ(GetWindowPixel(other, 40, 5), kBlue);
  EXPECT_EQ(GetWindowPixel(other, 0, 0), kWhite);

  // A click shows the message in a "Feature Tip" box owned by the page; a
  // message without text shows none.
  Ui(kTipFlag, 1);
  Ui(kTipMessage, 5161);
  tip->Refresh(1);
  ui.ExpectBox(u"In order to use this feature, choose a source tray different from first page.",
               u"Feature Tip", kMbIconInformation, kIdOk);
  UiDialog dialog(page);
  ASSERT_TRUE(dialog.Click(2064));
  EXPECT_EQ(ui.Boxes().back().owner, page);
  EXPECT_EQ(GetCursor(), tip->Cursor());
  Ui(kTipMessage, 5999);
  ASSERT_TRUE(dialog.Click(2064));
  EXPECT_EQ(ui.Boxes().size(), 1u);
}

// The five page groups' trays and options, each made when missing.
void AddTrays(GAttributeView settings, GAttributeComposite* tree) {
  for (std::uint32_t key : {258u, 263u, 921u, 1214u, 1212u, 920u, 1218u, 264u})
    if (!settings.Has(key)) tree->AddChild(new GValueAttribute(0, key));
}

// Hot spots that overlap: the upper one covers the others.
class OverlappingPicture : public GTrayPicturePart {
 public:
  using GTrayPicturePart::GTrayPicturePart;
  std::array<Polygon, 3> HotSpots() const override {
    const Polygon all{{{0, 0}, {200, 0}, {200, 200}, {0, 200}}};
    return {all, all, all};
  }
};

TEST_F(PageControlsTest, TrayPartReadsWritesAndHitTests) {
  AddTrays(Settings(), static_cast<GAttributeComposite*>(settings.Get()));
  GTrayPicturePart part(context.get());
  part.SetOrigin(5, 5);
  EXPECT_EQ(part.GetValue(), GetAttributeValueFor(258));
  EXPECT_TRUE(context->GetUIObjectView().Has(kPageGroupSelectorKey));
  // Selector 0 with the same paper for all pages writes all five trays.
  part.SetValue(3);
  for (std::uint32_t key : {258u, 263u, 921u, 1214u, 1212u})
    EXPECT_EQ(GetAttributeValueFor(key), 3) << key;
  Ui(kPageGroupSelectorKey, 2);
  EXPECT_EQ(part.GetValue(), 0);  // back cover off: no tray, nothing highlighted
  part.SetValue(6);
  EXPECT_EQ(part.GetValue(), 6);
  EXPECT_EQ(GetAttributeValueFor(920), 2);
  EXPECT_EQ(GetAttributeValueFor(258), 3);

  struct Case {
    int x, y;
    const char* accessory;
    std::int32_t lock, value;
  } const cases[] = {{125, 133, "", 0, 1},       {115, 155, "", 0, -1},  {115, 155, "Z7142", 0, 3},
                     {104, 93, "", 0, 6},        {125, 133, "", 1, -1},  {-4, -4, "", 0, -1},
                     {113, 133, "Z7142", 0, -1}, {5000, 5000, "", 0, -1}};
  for (const Case& c : cases) {
    Settings().SetString(315, c.accessory);
    Ui(kTraySelectionLockKey, c.lock);
    EXPECT_EQ(part.GetValueAtPoint(c.x, c.y), c.value) << c.x << "," << c.y << " " << c.accessory;
  }
  Ui(kTraySelectionLockKey, 0);
  // Trays of another class are passed over and not written.
  auto* tree = static_cast<GAttributeComposite*>(settings.Get());
  for (std::uint32_t key : {258u, 263u}) {
    delete tree->RemoveByKey(key);
    Add(new GStringAttribute("1", key));
  }
  Ui(kPageGroupSelectorKey, 0);
  part.SetValue(1);
  EXPECT_EQ(GetAttributeValueFor(1212), 1);
  OverlappingPicture overlapping(context.get());
  EXPECT_EQ(overlapping.GetValueAtPoint(110, 150), 6);

  // Saved values: made with their defaults; one of another class reads
  // its default and stays.
  EXPECT_EQ(part.GetSavedValue(1), -1);
  EXPECT_EQ(part.GetSavedPair(2), 0u);
  part.SetSavedPair(0, 0x00070003);
  EXPECT_EQ(part.GetSavedPair(0), 0x00070003u);
  context->GetUIObjects()->AddChild(new GStringAttribute("x", 0x40000050));
  EXPECT_EQ(part.GetSavedValue(0), 0);
}

// A click on the middle tray selects tray 1 and repaints: the tray-1 area
// turns green, every other pixel stays the picture's.
TEST_F(PageControlsTest, PictureClickSelectsAndHighlights) {
  AddTrays(Settings(), static_cast<GAttributeComposite*>(settings.Get()));
  auto* picture =
      Place(new GPrinterPictureWrapper(new GTrayPicturePart(context.get()),
                                       std::vector<GControlEntry>{{2021, 210}, {0, 0}}.data(), 1));
  auto* part = static_cast<GTrayPicturePart*>(picture->GetFeature());
  const Point origin = part->GetOrigin();
  EXPECT_EQ(origin.x + origin.y, 10);
  UiDialog dialog(page);
  ASSERT_TRUE(dialog.ClickAt(2021, origin.x + 120, origin.y + 128));
  EXPECT_EQ(GetAttributeValueFor(258), 1);
  EXPECT_EQ(picture->Selected(), 1);
  EXPECT_GT(ui.Pump(), 0u);
  HWND button = GetDlgItem(page, 2021);
  HDC source = part->Picture();
  constexpr COLORREF kTray1 = 0x5070A0;  // A07050 in the script
  int green = 0;
  for (int y = 0; y < 175; ++y) {
    for (int x = 0; x < 170; ++x) {
      const COLORREF was = GetPixel(source, x, y);
      const COLORREF now = GetWindowPixel(button, origin.x + x, origin.y + y);
      EXPECT_EQ(now, was == kTray1 ? 0x00FF00 : was) << x << "," << y;
      green += now == 0x00FF00;
    }
  }
  EXPECT_GT(green, 100);
  // Nothing under the lower tray without the accessory.
  ASSERT_TRUE(dialog.ClickAt(2021, origin.x + 120, origin.y + 150));
  EXPECT_EQ(GetAttributeValueFor(258), 1);
}

// Without the right to change settings (access bit 0) a click picks no
// tray; a picture that does not select (the Configure page's) shows tray 1
// chosen but never highlights it: every pixel stays the picture's.
class PictureTest : public PageControlsTest, public testing::WithParamInterface<int> {};

TEST_P(PictureTest, HonoursTheRightAndHighlightsOnlyWhenInteractive) {
  const int interactive = GetParam();
  AddTrays(Settings(), static_cast<GAttributeComposite*>(settings.Get()));
  host.access_flags = interactive;  // no right while interactive
  auto* picture = Place(new GPrinterPictureWrapper(
      new GTrayPicturePart(context.get()), std::vector<GControlEntry>{{2021, 210}, {0, 0}}.data(),
      interactive));
  auto* part = static_cast<GTrayPicturePart*>(picture->GetFeature());
  const Point origin = part->GetOrigin();
  const std::int32_t before = GetAttributeValueFor(258);
  ASSERT_TRUE(UiDialog(page).ClickAt(2021, origin.x + 120, origin.y + 128));
  EXPECT_EQ(GetAttributeValueFor(258), before);
  part->SetValue(1);
  picture->Refresh(1);
  ui.Pump();
  HWND button = GetDlgItem(page, 2021);
  int changed = 0;
  for (int y = 0; y < 175; ++y)
    for (int x = 0; x < 170; ++x)
      changed +=
          GetWindowPixel(button, origin.x + x, origin.y + y) != GetPixel(part->Picture(), x, y);
  EXPECT_TRUE(interactive || changed == 0) << changed;
  EXPECT_EQ(picture->Selected(), 1);
}

INSTANTIATE_TEST_SUITE_P(Picture, PictureTest, testing::Values(1, 0));

// Bins of installed output devices only, by their part ids; names from the
// parts or from the bins' default strings.
TEST_F(PageControlsTest, OutputBinsListAndWriteBack) {
  GAttributeComposite* devices = context->GetConfigView().FindComposite(kPaperHandlingKey);
  ASSERT_NE(devices, nullptr);
  devices->RemoveAll();
  auto device = [&](std::uint32_t type, std::uint32_t optional,
                    std::initializer_list<std::pair<int, const char*>> bins) {
    auto* made = new GPaperHandlingDevice(RWCString("D"), type, optional, 0, 1, 0, 0);
    for (const auto& [id, text] : bins)
      made->SetPart(std::uint16_t(id),
                    new GBin(0, RWCString("B"), std::uint16_t(id), 0, 0, -1, -1, 0, 0, text, 0));
    devices->AddChild(made);
  };
  device(kOutputDevice, 1, {{1, ""}});  // optional, not installed
  device(kPaperSource, 0, {{21, ""}});
  device(kOutputDevice, 0,
         {{1, ""},
          {2, "Two"},
          {4, ""},
          {20, ""},
          {21, "Stacker X"},
          {22, ""},
          {40, ""},
          {41, ""},
          {70, "Last"},
          {71, ""}});
  if (!SetValueIfPresent(settings.Get(), kOutputBinKey, 59))
    Add(new GValueAttribute(59, kOutputBinKey));
  auto* wrapper = Place(new GOutputBinComboWrapper(
      new GOutputBinFeature(context.get()),
      std::vector<GControlEntry>{{2014, 0}, {2013, 0}, {2015, 0}, {11581, 0}, {11584, 0}, {0, 0}}
          .data()));
  UiDialog dialog(page);
  // In the device's walking order of its parts (ids 1, 21, 70, 41).
  EXPECT_EQ(dialog.Items(2015),
            (std::vector<std::u16string>{u"Top Bin (Face-Down)", u"Stacker X", u"Last", u""}));
  EXPECT_EQ(dialog.Selection(2015), 2);
  EXPECT_EQ(dialog.Items(11584), std::vector<std::u16string>{u"(None)"});
  EXPECT_FALSE(dialog.Enabled(11584));
  ASSERT_TRUE(dialog.Select(2015, u"Stacker X"));
  EXPECT_EQ(GetAttributeValueFor(kOutputBinKey), 3);
  // Without bins nothing is selected and the choice reads as bin 1.
  devices->RemoveAll();
  wrapper->UpdateControl(1);
  EXPECT_TRUE(dialog.Items(2015).empty());
  wrapper->ReadControl();
  EXPECT_EQ(GetAttributeValueFor(kOutputBinKey), 1);
}

}  // namespace
