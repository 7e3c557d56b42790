// The common property-sheet service's refusals (the sheets it shows are
// driven end to end by tests/driver/sheets_test.cpp): a page record
// without a template, an init that answers 0, a missing procedure.
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

}  // namespace
