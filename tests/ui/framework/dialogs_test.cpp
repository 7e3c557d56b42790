// Pages, modal dialogs, wrappers and the resource library, on the headless
// windowing host, driven as a user would.
#include <gtest/gtest.h>

#include <thread>

#include "platform/host/modules.h"
#include "platform/host/system.h"
#include "platform/message_box.h"
#include "platform/ui/help.h"
#include "platform/ui/messages.h"
#include "support/test_os_factory.h"
#include "tests/support/ui_driver.h"
#include "tests/ui/framework/framework_testing.h"
#include "ui/framework/combo_box_helper.h"
#include "ui/framework/control_wrapper.h"
#include "ui/framework/modal_dialog.h"
#include "ui/framework/property_page.h"
#include "ui/framework/resource_library.h"

namespace testing_support {
platform::ModuleResources FrameworkResources();
}  // namespace testing_support

using namespace framework_testing;
using namespace platform;
using support::UiDialog;

namespace {

constexpr char16_t kModule[] = u"C:\\Drv\\KVRES.DLL";
constexpr std::uint32_t kOrientationId = kOrientation;
constexpr GControlEntry kLandscape[] = {{3001, 1001}, {0, 0}};
constexpr GControlEntry kFollower[] = {{3002, kNoHelp}, {0, 0}};
constexpr GControlEntry kDetails[] = {{7401, 7401}, {0, 0}};

// A box showing whether the feature's value is non-zero, and writing it;
// its state is that of `flag` (0: always enabled). It counts what it tells
// the host.
class BoxWrapper : public GControlWrapper {
 public:
  BoxWrapper(GUIContext* context, const GControlEntry* table, std::uint32_t flag = 0)
      : GControlWrapper(new GAttributeFeature(context, &kOrientationId), table), flag_(flag) {}

  void RefreshState() override { SetState(flag_ ? GetFeature()->GetUIState(flag_) : 0); }
  void UpdateControl(int) override {
    CheckDlgButton(GetDialogWindow(), GetControlId(0), Feature().GetValue() ? kBstChecked : 0);
  }
  void ReadControl() override {
    Feature().SetValue(IsDlgButtonChecked(GetDialogWindow(), GetControlId(0)) == kBstChecked);
  }
  void ShowAll(bool show) override {
    ++host_calls;
    GControlWrapper::ShowAll(show);
  }
  void EnableAll(bool enable) override {
    ++host_calls;
    GControlWrapper::EnableAll(enable);
  }
  int host_calls = 0;

 private:
  GAttributeFeature& Feature() { return *static_cast<GAttributeFeature*>(GetFeature()); }
  std::uint32_t flag_;
};

// Disables the follower while the orientation is landscape.
class FollowRule : public GListFeature {
 public:
  using GListFeature::GListFeature;
  void Initialize() override { ResetUIValue(kFlag); }
  void OnChanges(const GValueList&, int) override {
    std::int32_t value = 0;
    GetContext()->GetSettingsView().GetValue(kOrientation, value);
    if (value) RaiseUIValue(kFlag, 1);
  }
};

std::vector<std::pair<UINT, int>> hooked;  // message, notice code

std::uint32_t RecordingHook(HWND, UINT message, WPARAM, LPARAM lparam, GUIData*) {
  const int code = message == kWmNotify ? reinterpret_cast<NotifyHeader*>(lparam)->code : 0;
  hooked.emplace_back(message, code);
  return 0;
}

class FrameworkDialogTest : public testing_support::UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    AddModule({kModule, {}, {}});
    AddModuleResources(kModule, testing_support::FrameworkResources());
    ASSERT_TRUE(LoadResourceLibrary(kModule));
    hooked.clear();
  }
  void TearDown() override {
    ReleaseResourceLibrary();
    EXPECT_EQ(ResourceLibraryLoads(), 0u);
    UiFixture::TearDown();
  }

  // A page of template 3000 on `sheet` with the two boxes and the rule,
  // and its window.
  struct Page {
    PropSheetPageW record{};
    UIPageEntry entry;
    std::unique_ptr<GPropertyPage> page;
    BoxWrapper* landscape = nullptr;
    BoxWrapper* follower = nullptr;
    HWND sheet_window = nullptr;  // the page's parent
    HWND window = nullptr;
    ~Page() {
      DestroyWindow(window);
      DestroyWindow(sheet_window);
    }
  };
  void Open(Sheet& sheet, Page& page) {
    sheet.host.hook = RecordingHook;
    page.entry.host = &sheet.host;
    page.record.lparam = reinterpret_cast<LPARAM>(&page.entry);
    GUIContext* context = sheet.context.get();
    page.page = std::make_unique<GPropertyPage>(&page.record, GetResourceModuleHandle(), 3000,
                                                context, 1, 300);
    page.page->AddWrapper(page.landscape = new BoxWrapper(context, kLandscape));
    page.page->AddWrapper(page.follower = new BoxWrapper(context, kFollower, kFlag));
    context->AddListener(new FollowRule(context));
    page.sheet_window =
        CreateDialogParamW(GetResourceModuleHandle(), MakeIntResourceW(100), nullptr, nullptr, 0);
    page.window =
        CreateDialogParamW(page.record.instance, page.record.template_name, page.sheet_window,
                           page.record.dialog_procedure, reinterpret_cast<LPARAM>(&page.record));
    ASSERT_NE(page.window, nullptr);
  }
};

void Notify(HWND window, int code) {
  NotifyHeader header{window, 0, code};
  SendMessageW(window, kWmNotify, 0, reinterpret_cast<LPARAM>(&header));
}

TEST_F(FrameworkDialogTest, APageFillsItsRecordAndRunsClicksRulesHookAndHelp) {
  Sheet sheet;
  Page page;
  Open(sheet, page);
  // The record: flags 48 with help, the library, the template, the
  // procedure, and the page in the entry.
  EXPECT_EQ(page.record.flags, 48u);
  EXPECT_EQ(page.record.instance, GetResourceModuleHandle());
  UINT template_id = 0;
  EXPECT_TRUE(IsIntResource(page.record.template_name, &template_id) && template_id == 3000);
  EXPECT_EQ(page.record.dialog_procedure, &PropertyPageProc);
  EXPECT_EQ(page.entry.page_object, page.page.get());
  PropSheetPageW plain{};
  GPropertyPage without_help(&plain, nullptr, 3000, sheet.context.get(), 0, 0);
  EXPECT_EQ(plain.flags, 16u);
  // The record is kept in the user slot; the hook heard the init.
  EXPECT_EQ(GetWindowLongPtrW(page.window, kDwlpUser), reinterpret_cast<LONG_PTR>(&page.record));
  ASSERT_FALSE(hooked.empty());
  EXPECT_EQ(hooked.front().first, kWmInitDialog);
  EXPECT_EQ(page.follower->host_calls, 2);  // shown and enabled, forced

  // A click: the wrapper writes the setting, the rule raises the flag, the
  // refresh disables the follower (telling the host only what changed).
  UiDialog dialog(page.window);
  ASSERT_TRUE(dialog.Click(3001));
  EXPECT_EQ(sheet.Value(kOrientation), 1);
  EXPECT_FALSE(dialog.Enabled(3002));
  EXPECT_EQ(page.follower->host_calls, 3);
  ASSERT_TRUE(dialog.Click(3001));
  EXPECT_EQ(sheet.Value(kOrientation), 0);
  EXPECT_TRUE(dialog.Enabled(3002));
  // The sheet's set-active notice forces the refresh.
  Notify(page.window, kPsnSetActive);
  EXPECT_EQ(page.follower->host_calls, 6);

  // The apply notice reaches the host's hook.
  hooked.clear();
  Notify(page.window, kPsnApply);
  EXPECT_EQ(hooked, (std::vector<std::pair<UINT, int>>{{kWmNotify, kPsnApply}}));

  // Help: the control's help through the table (without -1 pairs), the
  // help notice with the page's context id, from the configuration's file.
  HelpInfo info;
  info.item = dialog.Control(3001);
  SendMessageW(page.window, kWmHelp, 0, reinterpret_cast<LPARAM>(&info));
  Notify(page.window, kPsnHelp);
  const std::vector<HelpCall> help = WinHelpLog();
  ASSERT_EQ(help.size(), 2u);
  EXPECT_EQ(help[0].file, "KVTEST.HLP");
  EXPECT_EQ(help[0].command, kHelpWmHelp);
  EXPECT_EQ(help[0].pairs, (std::vector<std::pair<DWORD, DWORD>>{{3001, 1001}}));
  EXPECT_EQ(help[1].command, kHelpContext);
  EXPECT_EQ(help[1].data, 300u);
}

TEST_F(FrameworkDialogTest, ReadOnlyAccessRefusesEnabling) {
  for (std::uint32_t access : {0u, 1u, 2u}) {
    Sheet sheet(access);
    Page page;
    Open(sheet, page);
    UiDialog dialog(page.window);
    ASSERT_TRUE(dialog.Click(3001));
    EXPECT_FALSE(dialog.Enabled(3002));
    ASSERT_TRUE(dialog.Click(3001));
    EXPECT_EQ(dialog.Enabled(3002), access != 1) << access;
    EXPECT_TRUE(dialog.Visible(3002));
  }
}

TEST_F(FrameworkDialogTest, ComboBoxHelper) {
  GComboBoxHelper loose;
  EXPECT_EQ(loose.AddStringWithData(u"A", 1), kComboAddFailed);
  EXPECT_EQ(loose.GetSelectedData(), -1);

  Sheet sheet;
  Page page;
  Open(sheet, page);
  GComboBoxHelper combo;
  combo.Attach(page.window, 3003);
  EXPECT_EQ(combo.AddStringWithData(u"A", 10), 0u);
  EXPECT_EQ(combo.AddStringWithData(u"B", 20), 1u);
  EXPECT_EQ(combo.GetSelectedData(), -1);
  combo.SelectByData(20);
  EXPECT_EQ(combo.GetSelectedData(), 20);
  combo.SelectByData(99);
  EXPECT_EQ(combo.GetSelectedData(), 20);
  combo.SetCurSel(0);
  EXPECT_EQ(combo.GetSelectedData(), 10);
  combo.ResetContent();
  EXPECT_EQ(combo.GetSelectedData(), -1);
}

TEST_F(FrameworkDialogTest, ModalDialogRestoresTheSettingsInPlaceWhenCancelled) {
  // (snapshot mode, button, orientation after)
  const int cases[][3] = {{1, kIdCancel, 0}, {1, kIdOk, 1}, {0, kIdCancel, 1}};
  for (const auto& c : cases) {
    Sheet sheet;
    GAttributeComposite* settings = sheet.Settings();
    GModalDialog dialog(7400, sheet.context.get(), 1, 1218);
    dialog.AddWrapper(new BoxWrapper(sheet.context.get(), kDetails));
    const int button = c[1];
    ui.OnDialog(7400, [button](UiDialog d) {
      d.Check(7401, true);
      d.Click(button);
    });
    EXPECT_EQ(dialog.DoModal(nullptr, c[0]), button);
    EXPECT_EQ(sheet.context->GetSettings(), settings);
    EXPECT_EQ(sheet.Value(kOrientation), c[2]) << c[0] << " " << button;
  }
}

TEST_F(FrameworkDialogTest, MessageBoxesReadFromTheRightUnderHebrewAndArabic) {
  for (UINT code_page : {kCodePageUtf8, 1252u, 1255u, 1256u, 1257u}) {
    SetCodePages(437, code_page);
    const bool rtl = code_page == 1255 || code_page == 1256;
    ui.ExpectBox(u"Both cannot be chosen.", u"Incompatible Options",
                 kMbOkCancel | (rtl ? kMbRight | kMbRtlReading : 0), kIdCancel);
    EXPECT_EQ(ResMessageBox(nullptr, 5101, 5100, kMbOkCancel), kIdCancel) << code_page;
  }
  RWWString text;
  EXPECT_EQ(LoadResString(5100, text), 20);
  EXPECT_EQ(LoadResString(4999, text), 0);
  EXPECT_TRUE(text.IsNull());
}

TEST_F(FrameworkDialogTest, TwoThreadsShareTheResourceLibrary) {
  HostOSFactory services;
  ReleaseResourceLibrary();  // the fixture's load
  auto sheet = [] {
    for (int i = 0; i < 1000; ++i) {
      ASSERT_TRUE(LoadResourceLibrary(kModule));
      RWWString text;
      ASSERT_EQ(LoadResString(5100, text), 20);
      ReleaseResourceLibrary();
    }
  };
  std::thread first(sheet);
  std::thread second(sheet);
  first.join();
  second.join();
  EXPECT_EQ(ResourceLibraryLoads(), 0u);
  EXPECT_EQ(GetResourceModuleHandle(), nullptr);
  ASSERT_TRUE(LoadResourceLibrary(kModule));  // for the fixture's release
}

}  // namespace
