// The common property-sheet service's refusals (the sheets it shows are
// driven end to end by tests/driver/sheets_test.cpp): a page record
// without a template, an init that answers 0, a missing procedure, and an
// OK whose apply the procedure could not carry out.
#include <gtest/gtest.h>

#include "platform/ui/property_sheet.h"
#include "tests/platform/ui/ui_test_support.h"

namespace {

using namespace platform;

// Adds a page, one without a template and another, making each the start
// page; then refuses the init.
LONG RefusingProc(PropSheetUiInfo* info, LPARAM) {
  if (info->reason != kPropSheetUiReasonInit) return 1;
  PropSheetPageW page{kPropSheetPageSize,
                      0,
                      nullptr,
                      MakeIntResourceW(100),
                      nullptr,
                      u"One",
                      testing_support::RecordingProc,
                      0,
                      nullptr,
                      nullptr};
  PropSheetPageW bare = page;
  bare.template_name = nullptr;
  for (PropSheetPageW* record : {&page, &bare, &page}) {
    const LONG_PTR added = info->service_callback(info->property_sheet, kCpsFuncAddPropSheetPageW,
                                                  reinterpret_cast<LPARAM>(record), 0);
    EXPECT_EQ(added != 0, record == &page);
    if (added) info->service_callback(info->property_sheet, kCpsFuncSetHStartPage, added, 0);
  }
  return 0;
}

using PropertySheets = testing_support::UiFixture;

TEST_F(PropertySheets, RefusedRecordsAndInitsShowNothing) {
  ClearPropertySheetLog();
  ULONG_PTR result = 99;
  EXPECT_EQ(CommonPropertySheetUIW(nullptr, &RefusingProc, 42, &result), -1);
  EXPECT_EQ(result, 0u);
  // The procedure still gets reason 2, to free what it made.
  EXPECT_EQ(PropertySheetLog(), (std::vector<std::string>{"reason 0", "add 0", "start 0", "refused",
                                                          "add 1", "start 1", "reason 2"}));
  EXPECT_EQ(CommonPropertySheetUIW(nullptr, nullptr, 0, &result), -1);
}

// One page whose apply sets the result OK; the procedure answers that
// reason with g_apply_answer.
LONG g_apply_answer = 1;
HINSTANCE g_module = nullptr;
HANDLE g_sheet = nullptr;
ComPropSheetProc g_callback = nullptr;

INT_PTR ApplyingPage(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
  if (message == kWmNotify && reinterpret_cast<const NotifyHeader*>(lparam)->code == kPsnApply)
    g_callback(g_sheet, kCpsFuncSetResult, reinterpret_cast<LPARAM>(dialog), LPARAM(kCpsuiOk));
  return 0;
}

LONG ApplyingProc(PropSheetUiInfo* info, LPARAM) {
  if (info->reason == kPropSheetUiReasonSetResult) return g_apply_answer;
  if (info->reason != kPropSheetUiReasonInit) return 1;
  g_sheet = info->property_sheet;
  g_callback = info->service_callback;
  PropSheetPageW page{kPropSheetPageSize,
                      0,
                      g_module,
                      MakeIntResourceW(400),
                      nullptr,
                      u"One",
                      &ApplyingPage,
                      0,
                      nullptr,
                      nullptr};
  return info->service_callback(info->property_sheet, kCpsFuncAddPropSheetPageW,
                                reinterpret_cast<LPARAM>(&page), 0) != 0;
}

using ApplyingSheets = testing_support::ModuleFixture;

TEST_F(ApplyingSheets, AnOkIsReportedOnlyWhenItsApplyWasCarriedOut) {
  g_module = module_;
  for (const auto& [answer, reported] :
       {std::pair<LONG, ULONG_PTR>{1, kCpsuiOk}, {0, kCpsuiCancel}, {-1, kCpsuiCancel}}) {
    g_apply_answer = answer;
    ScriptPropertySheet([](HANDLE sheet) { SheetOk(sheet); });
    ULONG_PTR result = 99;
    EXPECT_EQ(CommonPropertySheetUIW(nullptr, &ApplyingProc, 0, &result), 1) << answer;
    EXPECT_EQ(result, reported) << answer;
  }
}

}  // namespace
