// Every number of the windowing host in one place: window messages, control
// messages and their notification codes, styles, window and class long
// indexes, show commands, system cursors, help commands, and the records
// that messages carry. The values are the platform's, so that code written
// from the platform's descriptions keeps its numbers (WM_COMMAND is 273,
// WM_DRAWITEM 43, WM_SETCURSOR 32, WM_INITDIALOG 0x110, the drop-down
// list's selection change 1, a button's click 0).
#pragma once

#include "platform/host/types.h"
#include "platform/message_box.h"
#include "platform/ui/ui_types.h"

namespace platform {

// ---- Window messages.
inline constexpr UINT kWmNull = 0x0000;
inline constexpr UINT kWmCreate = 0x0001;  // lParam: CreateStruct*; -1 refuses
inline constexpr UINT kWmDestroy = 0x0002;
inline constexpr UINT kWmSetFocus = 0x0007;   // wParam: the window that lost it
inline constexpr UINT kWmKillFocus = 0x0008;  // wParam: the window that gets it
inline constexpr UINT kWmSetText = 0x000C;    // lParam: const char16_t*
inline constexpr UINT kWmGetText = 0x000D;    // wParam: units of the buffer; lParam: char16_t*
inline constexpr UINT kWmGetTextLength = 0x000E;
inline constexpr UINT kWmSetCursor =
    0x0020;  // wParam: window under the cursor; lParam: hit, message
inline constexpr UINT kWmDrawItem = 0x002B;  // wParam: control id; lParam: DrawItemStruct*
inline constexpr UINT kWmNotify = 0x004E;    // wParam: control id; lParam: NotifyHeader*
inline constexpr UINT kWmHelp = 0x0053;
inline constexpr UINT kWmContextMenu = 0x007B;
inline constexpr UINT kWmInitDialog = 0x0110;  // wParam: focus control; lParam: the parameter
inline constexpr UINT kWmCommand = 0x0111;     // wParam: (id, notification); lParam: control
inline constexpr UINT kWmTimer = 0x0113;       // wParam: timer id; lParam: TimerProc or 0
inline constexpr UINT kWmHScroll = 0x0114;
inline constexpr UINT kWmVScroll = 0x0115;  // wParam: (scroll code, position); lParam: control
inline constexpr UINT kWmMouseMove = 0x0200;
inline constexpr UINT kWmUser = 0x0400;
// RegisterWindowMessageW hands out ids from here to 0xFFFF.
inline constexpr UINT kFirstRegisteredMessage = 0xC000;

// Hit-test code of a WM_SETCURSOR's low lParam word.
inline constexpr WORD kHtClient = 1;
// Scroll codes of WM_VSCROLL and WM_HSCROLL.
inline constexpr WORD kSbThumbPosition = 4;

// ---- Window styles.
inline constexpr DWORD kWsPopup = 0x80000000;
inline constexpr DWORD kWsChild = 0x40000000;
inline constexpr DWORD kWsVisible = 0x10000000;
inline constexpr DWORD kWsDisabled = 0x08000000;
inline constexpr DWORD kWsCaption = 0x00C00000;
inline constexpr DWORD kWsBorder = 0x00800000;
inline constexpr DWORD kWsVScroll = 0x00200000;
inline constexpr DWORD kWsSysMenu = 0x00080000;
inline constexpr DWORD kWsGroup = 0x00020000;
inline constexpr DWORD kWsTabStop = 0x00010000;
// Dialog styles.
inline constexpr DWORD kDsModalFrame = 0x0080;
inline constexpr DWORD kDsControl = 0x0400;

// ---- Window and class long indexes. Dialogs keep two pointer-sized slots:
// the message result at 0 and the user's word at 8.
inline constexpr int kDwlpMsgResult = 0;
inline constexpr int kDwlpUser = 8;
inline constexpr int kDialogExtraBytes = 16;
inline constexpr int kGwlpUserData = -21;
inline constexpr int kGwlExStyle = -20;
inline constexpr int kGwlStyle = -16;
inline constexpr int kGwlId = -12;
inline constexpr int kGwlpHwndParent = -8;
inline constexpr int kGwlpHInstance = -6;
inline constexpr int kGclStyle = -26;
inline constexpr int kGclHCursor = -12;

// ---- ShowWindow commands: kSwHide, kSwShow, ... of platform/host/types.h.

// ---- Dialog results and the ids of their buttons: kIdOk, kIdCancel, ...
// of platform/message_box.h, which message boxes answer too.

// ---- Buttons ("Button").
inline constexpr DWORD kBsPushButton = 0x0;
inline constexpr DWORD kBsDefPushButton = 0x1;
inline constexpr DWORD kBsCheckBox = 0x2;
inline constexpr DWORD kBsAutoCheckBox = 0x3;
inline constexpr DWORD kBsRadioButton = 0x4;
inline constexpr DWORD kBs3State = 0x5;
inline constexpr DWORD kBsAuto3State = 0x6;
inline constexpr DWORD kBsGroupBox = 0x7;
inline constexpr DWORD kBsAutoRadioButton = 0x9;
inline constexpr DWORD kBsOwnerDraw = 0xB;
inline constexpr DWORD kBsTypeMask = 0xF;
inline constexpr DWORD kBsNotify = 0x4000;
inline constexpr UINT kBmGetCheck = 0x00F0;
inline constexpr UINT kBmSetCheck = 0x00F1;
inline constexpr UINT kBmGetState = 0x00F2;
inline constexpr UINT kBmSetState = 0x00F3;
inline constexpr UINT kBmClick = 0x00F5;
inline constexpr int kBstUnchecked = 0;
inline constexpr int kBstChecked = 1;
inline constexpr int kBstIndeterminate = 2;
inline constexpr int kBstPushed = 4;
inline constexpr int kBstFocus = 8;
inline constexpr WORD kBnClicked = 0;
inline constexpr WORD kBnSetFocus = 6;
inline constexpr WORD kBnKillFocus = 7;

// ---- Drop-down lists ("ComboBox") and list boxes ("ListBox").
inline constexpr DWORD kCbsSimple = 0x1;
inline constexpr DWORD kCbsDropDown = 0x2;
inline constexpr DWORD kCbsDropDownList = 0x3;
inline constexpr UINT kCbAddString = 0x0143;  // lParam: text -> index
inline constexpr UINT kCbDeleteString = 0x0144;
inline constexpr UINT kCbGetCount = 0x0146;
inline constexpr UINT kCbGetCurSel = 0x0147;
inline constexpr UINT kCbGetLbText = 0x0148;  // wParam: index; lParam: buffer large enough
inline constexpr UINT kCbGetLbTextLen = 0x0149;
inline constexpr UINT kCbInsertString = 0x014A;
inline constexpr UINT kCbResetContent = 0x014B;
inline constexpr UINT kCbFindString = 0x014C;  // wParam: start after; lParam: prefix
inline constexpr UINT kCbSelectString = 0x014D;
inline constexpr UINT kCbSetCurSel = 0x014E;
inline constexpr UINT kCbGetItemData = 0x0150;
inline constexpr UINT kCbSetItemData = 0x0151;
inline constexpr UINT kCbFindStringExact = 0x0158;
inline constexpr LRESULT kCbErr = -1;
inline constexpr WORD kCbnSelChange = 1;
inline constexpr WORD kCbnSetFocus = 3;
inline constexpr WORD kCbnKillFocus = 4;

inline constexpr DWORD kLbsNotify = 0x1;
inline constexpr UINT kLbAddString = 0x0180;
inline constexpr UINT kLbInsertString = 0x0181;
inline constexpr UINT kLbDeleteString = 0x0182;
inline constexpr UINT kLbResetContent = 0x0184;
inline constexpr UINT kLbSetCurSel = 0x0186;
inline constexpr UINT kLbGetCurSel = 0x0188;
inline constexpr UINT kLbGetText = 0x0189;
inline constexpr UINT kLbGetTextLen = 0x018A;
inline constexpr UINT kLbGetCount = 0x018B;
inline constexpr UINT kLbSelectString = 0x018C;
inline constexpr UINT kLbFindString = 0x018F;
inline constexpr UINT kLbGetItemData = 0x0199;
inline constexpr UINT kLbSetItemData = 0x019A;
inline constexpr UINT kLbFindStringExact = 0x01A2;
inline constexpr LRESULT kLbErr = -1;
inline constexpr WORD kLbnSelChange = 1;
inline constexpr WORD kLbnSetFocus = 4;
inline constexpr WORD kLbnKillFocus = 5;

// ---- Edits ("Edit").
inline constexpr DWORD kEsReadOnly = 0x0800;
inline constexpr DWORD kEsAutoHScroll = 0x0080;
inline constexpr UINT kEmGetSel = 0x00B0;     // wParam, lParam: DWORD* or null -> (start, end)
inline constexpr UINT kEmSetSel = 0x00B1;     // start -1 deselects; end -1 is the end
inline constexpr UINT kEmLimitText = 0x00C5;  // 0 lifts the limit
inline constexpr UINT kEmGetLimitText = 0x00D5;
inline constexpr DWORD kEditDefaultLimit = 32767;
inline constexpr DWORD kEditNoLimit = 0x7FFFFFFE;
inline constexpr WORD kEnSetFocus = 0x0100;
inline constexpr WORD kEnKillFocus = 0x0200;
inline constexpr WORD kEnChange = 0x0300;
inline constexpr WORD kEnMaxText = 0x0501;

// ---- Statics ("Static").
inline constexpr DWORD kSsNotify = 0x0100;

// ---- Up-down controls ("msctls_updown32").
inline constexpr DWORD kUdsHorz = 0x0040;
inline constexpr UINT kUdmSetRange = 0x0465;  // lParam: (maximum, minimum), 16-bit each
inline constexpr UINT kUdmGetRange = 0x0466;  // -> (maximum, minimum)
inline constexpr UINT kUdmSetPos = 0x0467;    // lParam: position -> previous
inline constexpr UINT kUdmGetPos = 0x0468;
inline constexpr UINT kUdmSetBuddy = 0x0469;
inline constexpr UINT kUdmGetBuddy = 0x046A;
inline constexpr UINT kUdmSetRange32 = 0x046F;  // wParam: minimum; lParam: maximum
inline constexpr UINT kUdmGetRange32 = 0x0470;  // wParam, lParam: int* or null
inline constexpr UINT kUdmSetPos32 = 0x0471;
inline constexpr UINT kUdmGetPos32 = 0x0472;
inline constexpr int kUdDefaultMinimum = 100;  // as the platform: up counts down
inline constexpr int kUdDefaultMaximum = 0;
inline constexpr int kUdnDeltaPos = -722;  // a NotifyHeader code; the record is UpDownNotify

// ---- Property-sheet notifications (WM_NOTIFY codes).
inline constexpr int kPsnSetActive = -200;
inline constexpr int kPsnKillActive = -201;
inline constexpr int kPsnApply = -202;
inline constexpr int kPsnReset = -203;
inline constexpr int kPsnHelp = -205;

// ---- Owner drawing (DrawItemStruct).
inline constexpr UINT kOdtButton = 4;
inline constexpr UINT kOdaDrawEntire = 1;
inline constexpr UINT kOdaSelect = 2;
inline constexpr UINT kOdaFocus = 4;
inline constexpr UINT kOdsSelected = 0x0001;
inline constexpr UINT kOdsDisabled = 0x0004;
inline constexpr UINT kOdsFocus = 0x0010;

// ---- System cursors (LoadCursorW with no module).
inline constexpr UINT kIdcArrow = 32512;
inline constexpr UINT kIdcIBeam = 32513;
inline constexpr UINT kIdcWait = 32514;
inline constexpr UINT kIdcCross = 32515;
inline constexpr UINT kIdcNo = 32648;
inline constexpr UINT kIdcHand = 32649;

// ---- Help commands of WinHelpA.
inline constexpr UINT kHelpContext = 0x0001;
inline constexpr UINT kHelpQuit = 0x0002;
inline constexpr UINT kHelpContextPopup = 0x0008;
inline constexpr UINT kHelpContextMenu = 0x000A;  // data: (control id, help id) pairs, (0, 0)
inline constexpr UINT kHelpFinder = 0x000B;
inline constexpr UINT kHelpWmHelp = 0x000C;  // data: as kHelpContextMenu

// ---- Packing of message words.
constexpr WPARAM MakeWParam(WORD low, WORD high) {
  return WPARAM(low) | (WPARAM(high) << 16);
}
constexpr LPARAM MakeLParam(WORD low, WORD high) {
  return LPARAM(DWORD(low) | (DWORD(high) << 16));
}
constexpr WORD LowWord(std::uintptr_t value) {
  return WORD(value & 0xFFFF);
}
constexpr WORD HighWord(std::uintptr_t value) {
  return WORD((value >> 16) & 0xFFFF);
}

// ---- Records that messages carry (native layouts, in the platform's
// field order).
struct NotifyHeader {
  HWND from = nullptr;
  UINT_PTR id_from = 0;
  int code = 0;  // kUdnDeltaPos, kPsnApply, ...
};

struct UpDownNotify {
  NotifyHeader header;
  int position = 0;  // before the step
  int delta = 0;     // the proposed change; a non-zero answer refuses it
};

struct DrawItemStruct {
  UINT control_type = 0;  // kOdtButton
  UINT control_id = 0;
  UINT item_id = 0;
  UINT item_action = 0;  // kOdaDrawEntire, ...
  UINT item_state = 0;   // kOdsSelected | kOdsDisabled | kOdsFocus
  HWND item = nullptr;
  HDC dc = nullptr;  // on the control's surface (platform/ui/drawing.h)
  Rect item_rect;
  ULONG_PTR item_data = 0;
};

// WM_HELP's record (lParam).
inline constexpr int kHelpInfoWindow = 1;  // context type: a control
struct HelpInfo {
  UINT size = sizeof(HelpInfo);
  int context_type = kHelpInfoWindow;
  int control_id = 0;
  HANDLE item = nullptr;  // the control's window
  ULONG_PTR context_id = 0;
  Point mouse;
};

struct CreateStruct {
  void* create_params = nullptr;  // the last argument of CreateWindowExW
  HINSTANCE instance = nullptr;
  HWND parent = nullptr;
  int id = 0;
  int height = 0, width = 0, y = 0, x = 0;
  DWORD style = 0;
  const char16_t* name = nullptr;
  const char16_t* class_name = nullptr;
  DWORD ex_style = 0;
};

}  // namespace platform
