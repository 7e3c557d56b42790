// The built-in controls: each operation's effect, and what a user's action
// tells the dialog, in order, with the platform's codes (a choice 1, a click
// 0, an edit's focus 0x100, leaving 0x200, change 0x300, limit 0x501; the
// up-down's -722, then WM_VSCROLL with 4).
#include <gtest/gtest.h>

#include <functional>

#include "platform/ui/ui_host.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace platform;
using support::UiDialog;
using testing_support::heard;
using Lines = std::vector<std::string>;

// Public members: the table's steps reach them.
class Controls : public testing_support::ModuleFixture {
 public:
  void SetUp() override {
    ModuleFixture::SetUp();
    handle_ = CreateDialogParamW(module_, MakeIntResourceW(100), nullptr,
                                 testing_support::RecordingProc, 77);
    ASSERT_NE(handle_, nullptr);
    dialog_ = UiDialog(handle_);
    EXPECT_EQ(heard.Take(), Lines{"init 77"});
  }
  void TearDown() override {
    DestroyWindow(handle_);
    heard.refuse_spins = false;
    ModuleFixture::TearDown();
  }

  LRESULT Send(int id, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendDlgItemMessageW(handle_, id, message, wparam, lparam);
  }
  void FillCombo() {
    for (auto [text, data] : {std::pair{u"A", 7}, {u"B", 8}, {u"C", 9}}) {
      LRESULT index = Send(20, kCbAddString, 0, reinterpret_cast<LPARAM>(text));
      Send(20, kCbSetItemData, WPARAM(index), data);
    }
  }

  HWND handle_ = nullptr;
  UiDialog dialog_;
};

TEST_F(Controls, UserActionsNotifyTheDialogInOrder) {
  struct Case {
    const char* what;
    std::function<void(Controls&)> act;  // acts, then checks the effect
    Lines expected;
  };
  const Case cases[] = {
      {"push button", [](Controls& t) { t.dialog_.Click(1); }, {"command 1 0"}},
      {"check box: clicks toggle, Check clicks only on a change",
       [](Controls& t) {
         t.dialog_.Click(10);
         EXPECT_TRUE(t.dialog_.Checked(10));
         t.dialog_.Click(10);
         EXPECT_FALSE(t.dialog_.Checked(10));
         t.dialog_.Check(10, true);
         t.dialog_.Check(10, true);
         EXPECT_TRUE(t.dialog_.Checked(10));
       },
       {"command 10 0", "command 10 0", "command 10 0"}},
      {"three-state box cycles",
       [](Controls& t) {
         t.dialog_.Click(12);
         t.dialog_.Click(12);
         EXPECT_EQ(IsDlgButtonChecked(t.handle_, 12), 2u);
         t.dialog_.Click(12);
         EXPECT_EQ(IsDlgButtonChecked(t.handle_, 12), 0u);
       },
       {"command 12 0", "command 12 0", "command 12 0"}},
      {"drop-down list by text and by item data",
       [](Controls& t) {
         t.FillCombo();
         t.dialog_.Select(20, u"B");
         EXPECT_EQ(t.dialog_.Selection(20), 1);
         EXPECT_EQ(t.dialog_.Text(20), u"B");
         t.dialog_.SelectData(20, 9);
         EXPECT_EQ(t.dialog_.Selection(20), 2);
       },
       {"command 20 1", "command 20 1"}},
      {"typing twice (one focus), then leaving",
       [](Controls& t) {
         t.dialog_.Type(30, u"1");
         t.dialog_.Type(30, u"123");
         t.dialog_.Blur();
         EXPECT_EQ(t.dialog_.Text(30), u"123");
         DWORD start = 9, end = 9;
         t.Send(30, kEmGetSel, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
         EXPECT_EQ(std::pair(start, end), std::pair(3u, 3u));
         EXPECT_EQ(GetFocus(), nullptr);
       },
       {"command 30 256", "command 30 768", "command 30 768", "command 30 512"}},
      {"typing past the limit",
       [](Controls& t) {
         t.Send(30, kEmLimitText, 4);
         t.dialog_.Type(30, u"123456");
         EXPECT_EQ(t.dialog_.Text(30), u"1234");
       },
       {"command 30 256", "command 30 768", "command 30 1281"}},
      {"spin within a range, and at its top",
       [](Controls& t) {
         t.Send(31, kUdmSetRange32, 0, 10);
         t.Send(31, kUdmSetPos32, 0, 5);
         t.dialog_.Spin(31, 1);
         t.dialog_.Spin(31, -3);
         EXPECT_EQ(t.Send(31, kUdmGetPos32), 3);
         t.Send(31, kUdmSetPos, 0, 10);
         t.dialog_.Spin(31, 1);
       },
       {"notify 31 -722 5 1", "vscroll 4 6", "notify 31 -722 6 -3", "vscroll 4 3",
        "notify 31 -722 10 1", "vscroll 4 10"}},
      {"the default range runs downwards",
       [](Controls& t) {
         t.Send(31, kUdmSetPos32, 0, 50);
         t.dialog_.Spin(31, 1);
       },
       {"notify 31 -722 50 -1", "vscroll 4 49"}},
      {"a refused spin",
       [](Controls& t) {
         heard.refuse_spins = true;
         t.Send(31, kUdmSetRange32, 0, 10);
         t.dialog_.Spin(31, 1);
         EXPECT_EQ(t.Send(31, kUdmGetPos32), 0);
       },
       {"notify 31 -722 0 1"}},
      {"list boxes: only one that notifies tells",
       [](Controls& t) {
         for (int id : {50, 51}) {
           t.Send(id, kLbAddString, 0, reinterpret_cast<LPARAM>(u"x"));
           t.dialog_.Select(id, u"x");
           EXPECT_EQ(t.dialog_.Selection(id), 0);
         }
       },
       {"command 50 1"}},
      {"owner-drawn button, painted when pumped",
       [](Controls& t) {
         InvalidateRect(t.dialog_.Control(11), nullptr, 1);
         EXPECT_EQ(t.ui.Pump(), 1u);
         t.Send(11, kBmSetState, 1);
         UpdateWindow(t.dialog_.Control(11));
         SetFocus(t.dialog_.Control(11));
         t.ui.Pump();
         SetFocus(nullptr);
       },
       {"draw 11 1 0", "draw 11 1 1", "draw 11 1 17"}},
      {"click at a point of the button",
       [](Controls& t) {
         t.dialog_.ClickAt(11, 5, 6);
         Point point;
         GetCursorPos(&point);
         EXPECT_EQ(std::pair(point.x, point.y), std::pair(20 + 10 + 5, 30 + 30 + 6));
         EXPECT_TRUE(ScreenToClient(t.dialog_.Control(11), &point));
         EXPECT_EQ(std::pair(point.x, point.y), std::pair(5, 6));
       },
       {"command 11 0"}},
      {"the pointer shows the class cursor, else the one the dialog chose",
       [](Controls& t) {
         t.dialog_.Hover(30, 1, 1);
         EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MakeIntResourceW(kIdcIBeam)));
         SetClassLongW(t.dialog_.Control(1), kGclHCursor, 0);
         t.dialog_.Hover(1, 1, 1);
         EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, MakeIntResourceW(kIdcHand)));
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.act(*this);
    EXPECT_EQ(heard.Take(), c.expected);
  }
}

// The item lists of a drop-down list and a list box answer alike.
TEST_F(Controls, ItemListOperations) {
  // Each operation's message for a drop-down list, then for a list box.
  const UINT kAdd[] = {kCbAddString, kLbAddString}, kInsert[] = {kCbInsertString, kLbInsertString},
             kDelete[] = {kCbDeleteString, kLbDeleteString},
             kReset[] = {kCbResetContent, kLbResetContent}, kCount[] = {kCbGetCount, kLbGetCount},
             kGetSel[] = {kCbGetCurSel, kLbGetCurSel}, kSetSel[] = {kCbSetCurSel, kLbSetCurSel},
             kText[] = {kCbGetLbText, kLbGetText}, kTextLength[] = {kCbGetLbTextLen, kLbGetTextLen},
             kFind[] = {kCbFindString, kLbFindString},
             kFindExact[] = {kCbFindStringExact, kLbFindStringExact},
             kSelect[] = {kCbSelectString, kLbSelectString},
             kGetData[] = {kCbGetItemData, kLbGetItemData},
             kSetData[] = {kCbSetItemData, kLbSetItemData};
  struct Step {
    const UINT* op;
    WPARAM wparam;
    const char16_t* text;  // lParam, or the text expected of kText
    LRESULT result;
  };
  const WPARAM kNone = WPARAM(-1);
  const Step steps[] = {
      {kAdd, 0, u"Alpha", 0},
      {kAdd, 0, u"beta", 1},
      {kAdd, 0, u"Gamma", 2},
      {kInsert, 1, u"Delta", 1},  // Alpha Delta beta Gamma
      {kInsert, 9, u"x", -1},
      {kInsert, kNone, u"End", 4},  // ... End
      {kCount, 0, nullptr, 5},
      {kText, 1, u"Delta", 5},
      {kTextLength, 4, nullptr, 3},
      {kTextLength, 5, nullptr, -1},
      {kFind, kNone, u"g", 3},
      {kFindExact, kNone, u"BETA", 2},
      {kFindExact, kNone, u"Bet", -1},
      {kFind, 0, u"a", 0},  // wraps past the end
      {kFind, 3, u"d", 1},
      {kSetData, 2, reinterpret_cast<const char16_t*>(42), 1},
      {kGetData, 2, nullptr, 42},
      {kGetData, 7, nullptr, -1},
      {kSetSel, 3, nullptr, 3},
      {kGetSel, 0, nullptr, 3},
      {kDelete, 1, nullptr, 4},  // Alpha beta Gamma End; selection follows
      {kGetSel, 0, nullptr, 2},
      {kDelete, 2, nullptr, 3},  // the selected item goes
      {kGetSel, 0, nullptr, -1},
      {kDelete, 9, nullptr, -1},
      {kSelect, kNone, u"E", 2},
      {kSelect, kNone, u"zz", -1},
      {kGetSel, 0, nullptr, 2},
      {kSetSel, 9, nullptr, -1},
      {kGetSel, 0, nullptr, -1},
      {kAdd, 0, nullptr, -1},
      {kFind, kNone, nullptr, -1},
      {kText, 0, nullptr, -1},  // no buffer
      {kReset, 0, nullptr, 0},
      {kCount, 0, nullptr, 0},
      {kGetSel, 0, nullptr, -1},
  };
  for (int list : {20, 50}) {
    SCOPED_TRACE(list);
    int column = list == 20 ? 0 : 1;
    for (const Step& step : steps) {
      SCOPED_TRACE(int(&step - steps));
      UINT message = step.op[column];
      if (step.op == kText && step.text != nullptr) {
        char16_t buffer[16] = {};
        EXPECT_EQ(Send(list, message, step.wparam, reinterpret_cast<LPARAM>(buffer)), step.result);
        EXPECT_EQ(std::u16string(buffer), step.text);
        continue;
      }
      EXPECT_EQ(Send(list, message, step.wparam, reinterpret_cast<LPARAM>(step.text)), step.result);
    }
  }
  EXPECT_TRUE(heard.Take().empty());  // programs' own changes notify nobody
}

TEST_F(Controls, EditUpDownAndButtonOperations) {
  auto selection = [&] {
    DWORD start, end;
    LRESULT packed =
        Send(30, kEmGetSel, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(packed, LRESULT(start | (end << 16)));
    return std::pair{int(start), int(end)};
  };
  SetDlgItemTextW(handle_, 30, u"hello");
  EXPECT_EQ(selection(), std::pair(0, 0));
  const struct {
    int start, end;
    std::pair<int, int> expected;
  } selections[] = {{1, 3, {1, 3}},  {4, 2, {2, 4}},  {0, -1, {0, 5}},
                    {-1, 0, {5, 5}}, {2, 99, {2, 5}}, {-7, 1, {0, 1}}};
  for (const auto& s : selections) {
    Send(30, kEmSetSel, WPARAM(LPARAM(s.start)), s.end);
    EXPECT_EQ(selection(), s.expected) << s.start << ", " << s.end;
  }
  EXPECT_EQ(Send(30, kEmGetLimitText), LRESULT(kEditDefaultLimit));
  Send(30, kEmLimitText, 0);
  EXPECT_EQ(Send(30, kEmGetLimitText), LRESULT(kEditNoLimit));
  Send(30, kEmLimitText, 3);
  SetDlgItemTextW(handle_, 30, u"abcdef");  // the limit binds typing only
  EXPECT_EQ(dialog_.Text(30), u"abcdef");

  EXPECT_EQ(Send(31, kUdmGetRange), MakeLParam(0, 100));
  Send(31, kUdmSetRange, 0, MakeLParam(10, 0));
  EXPECT_EQ(Send(31, kUdmSetPos, 0, 20), 0);  // the previous position
  EXPECT_EQ(Send(31, kUdmGetPos), 10);
  Send(31, kUdmSetRange32, WPARAM(LPARAM(-5)), 5);
  int low = 0, high = 0;
  Send(31, kUdmGetRange32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  EXPECT_EQ(std::pair(low, high), std::pair(-5, 5));
  EXPECT_EQ(Send(31, kUdmSetPos32, 0, -9), 5);
  EXPECT_EQ(Send(31, kUdmGetPos32), -5);
  EXPECT_EQ(Send(31, kUdmSetBuddy, reinterpret_cast<WPARAM>(dialog_.Control(30))), 0);
  EXPECT_EQ(Send(31, kUdmGetBuddy), reinterpret_cast<LRESULT>(dialog_.Control(30)));

  Send(1, kBmSetCheck, kBstChecked);  // a push button has no check
  EXPECT_EQ(Send(1, kBmGetCheck), 0);
  CheckDlgButton(handle_, 10, kBstIndeterminate);  // two states only
  EXPECT_EQ(IsDlgButtonChecked(handle_, 10), UINT(kBstChecked));
  CheckDlgButton(handle_, 12, kBstIndeterminate);
  EXPECT_EQ(IsDlgButtonChecked(handle_, 12), UINT(kBstIndeterminate));
  Send(10, kBmSetState, 1);
  EXPECT_EQ(Send(10, kBmGetState), kBstChecked | kBstPushed);
  EXPECT_TRUE(heard.Take().empty());
  Send(10, kBmClick);  // a click as the user's
  EXPECT_EQ(heard.Take(), Lines{"command 10 0"});
  EXPECT_FALSE(dialog_.Checked(10));

  SetDlgItemTextW(handle_, 40, u"Static text");
  char16_t buffer[8];
  EXPECT_EQ(GetDlgItemTextW(handle_, 40, buffer, 8), 7u);
  EXPECT_EQ(std::u16string(buffer), u"Static ");
}

TEST_F(Controls, UsersCannotReachHiddenDisabledOrReadOnlyControls) {
  EXPECT_FALSE(UserClick(dialog_.Control(60)));
  EXPECT_FALSE(UserClick(dialog_.Control(61)));
  EXPECT_FALSE(UserType(dialog_.Control(32), u"x"));
  EnableWindow(handle_, 0);  // a disabled dialog disables its controls for the user
  EXPECT_FALSE(UserClick(dialog_.Control(1)));
  EnableWindow(handle_, 1);
  ShowWindow(dialog_.Control(1), kSwHide);
  EXPECT_FALSE(UserClick(dialog_.Control(1)));
  EXPECT_FALSE(UserSelect(dialog_.Control(20), 0));  // no item 0
  EXPECT_FALSE(UserSpin(dialog_.Control(30), 1));    // no up-down
  EXPECT_TRUE(heard.Take().empty());
  EXPECT_EQ(dialog_.Text(32), u"fixed");
}

}  // namespace
