// The common property-sheet service: a sheet's reasons, pages refused or
// added, the start page, OK and Cancel, and a refused init.
#include <gtest/gtest.h>

#include "platform/ui/property_sheet.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace platform;
using Lines = std::vector<std::string>;

PropSheetUiInfo* g_info = nullptr;
HINSTANCE g_module = nullptr;
bool g_refuse_init = false;

// Applying sets the result 5 through the service.
INT_PTR PageProc(HWND, UINT message, WPARAM, LPARAM lparam) {
  if (message == kWmNotify && reinterpret_cast<const NotifyHeader*>(lparam)->code == kPsnApply)
    g_info->service_callback(g_info->property_sheet, kCpsFuncSetResult, 0, 5);
  return message == kWmInitDialog ? 1 : 0;
}

// Adds a page, a page without a template (refused) and a second page,
// which opens first.
LONG SheetProc(PropSheetUiInfo* info, LPARAM lparam) {
  g_info = info;
  if (info->reason == kPropSheetUiReasonInit) {
    if (g_refuse_init) return 0;
    PropSheetPageW page{kPropSheetPageSize,
                        0,
                        g_module,
                        MakeIntResourceW(100),
                        nullptr,
                        u"One",
                        &PageProc,
                        0,
                        nullptr,
                        nullptr};
    PropSheetPageW bare = page;
    bare.template_name = nullptr;
    const auto add = [&](PropSheetPageW& record) {
      return info->service_callback(info->property_sheet, kCpsFuncAddPropSheetPageW,
                                    reinterpret_cast<LPARAM>(&record), 0);
    };
    EXPECT_NE(add(page), 0);
    EXPECT_EQ(add(bare), 0);
    const LONG_PTR second = add(page);
    EXPECT_EQ(info->service_callback(info->property_sheet, kCpsFuncSetHStartPage, second, 0), 1);
    return 1;
  }
  if (info->reason == kPropSheetUiReasonGetInfoHeader) {
    auto* header = reinterpret_cast<PropSheetUiInfoHeader*>(lparam);
    header->flags = 6;
    header->title = u"Sheet";
  }
  return 1;
}

class PropertySheets : public testing_support::ModuleFixture {
 protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    g_module = module_;
    g_refuse_init = false;
  }
};

TEST_F(PropertySheets, OkAppliesCreatedPagesAndCancelResetsThem) {
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    ClearPropertySheetLog();
    ScriptPropertySheet([&](HANDLE sheet) {
      EXPECT_EQ(g_info->lparam_init, 42);
      EXPECT_EQ(SheetPages(sheet).size(), 2u);
      EXPECT_EQ(SheetActiveIndex(sheet), 1);
      EXPECT_EQ(testing_support::WindowText(SheetFrame(sheet)), u"Sheet");
      ok ? SheetOk(sheet) : SheetCancel(sheet);
      EXPECT_FALSE(SheetOk(sheet));  // ended already
    });
    ULONG_PTR result = 99;
    EXPECT_EQ(CommonPropertySheetUIW(nullptr, &SheetProc, 42, &result), 1);
    EXPECT_EQ(result, ok ? 5u : 0u);
    const Lines start{"reason 0", "add 0",          "refused",  "add 1",      "start 1",
                      "reason 1", "header 6 Sheet", "create 1", "setactive 1"};
    Lines expected = start;
    for (const std::string& line :
         ok ? Lines{"killactive 1", "apply 1", "result 5", "reason 3"} : Lines{"reset 1"})
      expected.push_back(line);
    expected.push_back("reason 2");
    EXPECT_EQ(PropertySheetLog(), expected);
  }
}

TEST_F(PropertySheets, ARefusedInitShowsNothing) {
  g_refuse_init = true;
  ClearPropertySheetLog();
  ULONG_PTR result = 99;
  EXPECT_EQ(CommonPropertySheetUIW(nullptr, &SheetProc, 0, &result), -1);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(PropertySheetLog(), (Lines{"reason 0", "reason 2"}));
  EXPECT_EQ(CommonPropertySheetUIW(nullptr, nullptr, 0, &result), -1);
}

}  // namespace
