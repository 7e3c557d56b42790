// Windows, classes, registered messages, the queue and the pump, timers on
// the wait clock, window and class longs, focus and geometry, resources,
// help and the profile, and bad input of every kind.
#include <gtest/gtest.h>

#include <thread>

#include "platform/host/modules.h"
#include "platform/host/threads.h"
#include "platform/ui/help.h"
#include "platform/ui/ui_resources.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace platform;
using testing_support::heard;
using Lines = std::vector<std::string>;

using Windows = testing_support::ModuleFixture;

// The registry agent's window answers its registered request with
// wParam * 10 + lParam.
UINT agent_request = 0;
LRESULT AgentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmCreate) {
    auto* create = reinterpret_cast<const CreateStruct*>(lparam);
    heard.Add("create " + std::to_string(reinterpret_cast<std::uintptr_t>(create->create_params)));
    return 0;
  }
  if (message == agent_request && agent_request != 0) return LRESULT(wparam * 10) + lparam;
  if (message == kWmTimer) heard.Add("timer " + std::to_string(wparam));
  if (message >= kWmUser && message < kWmUser + 100) {
    heard.Add("user " + std::to_string(message - kWmUser));
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND MakeAgent(const char16_t* class_name = u"kvplm") {
  WndClassW agent_class;
  agent_class.procedure = AgentProc;
  agent_class.class_name = class_name;
  agent_class.window_extra = 12;
  RegisterClassW(&agent_class);
  return CreateWindowExW(0, class_name, u"Agent", 0, 0, 0, 10, 10, nullptr, 0, nullptr,
                         reinterpret_cast<void*>(std::uintptr_t{5}));
}

TEST_F(Windows, TheAgentsWindowIsFoundByClassAndAnswersItsMessage) {
  UINT request = RegisterWindowMessageW(u"KVPLM_CLIENT_REQUEST");
  EXPECT_GE(request, kFirstRegisteredMessage);
  EXPECT_EQ(RegisterWindowMessageW(u"kvplm_client_request"), request);
  EXPECT_NE(RegisterWindowMessageW(u"OTHER"), request);
  EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
  EXPECT_EQ(FindWindowW(u"kvplm", nullptr), nullptr);

  agent_request = request;
  HWND agent = MakeAgent();
  ASSERT_NE(agent, nullptr);
  EXPECT_EQ(heard.Take(), Lines{"create 5"});
  EXPECT_EQ(FindWindowW(u"kvplm", nullptr), agent);
  EXPECT_EQ(FindWindowW(u"KVPLM", u"agent"), agent);
  EXPECT_EQ(FindWindowW(u"kvplm", u"other"), nullptr);
  EXPECT_EQ(SendMessageW(agent, request, 3, 6), 36);
  // A dialog's control of a registered class is made with WM_CREATE.
  HWND dialog = CreateDialogParamW(module_, MakeIntResourceW(600), nullptr, nullptr, 0);
  EXPECT_EQ(heard.Take(), Lines{"create 0"});
  EXPECT_EQ(support::UiDialog(dialog).Text(601), u"custom");
  DestroyWindow(dialog);

  WndClassW again;
  again.procedure = AgentProc;
  again.class_name = u"KVPLM";
  EXPECT_EQ(RegisterClassW(&again), 0);
  EXPECT_EQ(GetLastError(), kErrorClassAlreadyExists);
  EXPECT_EQ(UnregisterClassW(u"kvplm", nullptr), 0);  // a window of it lives
  EXPECT_EQ(UnregisterClassW(u"Button", nullptr), 0);

  EXPECT_EQ(DestroyWindow(agent), 1);
  EXPECT_EQ(FindWindowW(u"kvplm", nullptr), nullptr);
  EXPECT_EQ(SendMessageW(agent, request, 3, 6), 0);
  EXPECT_EQ(GetLastError(), kErrorInvalidWindowHandle);
  EXPECT_EQ(UnregisterClassW(u"kvplm", nullptr), 1);
  agent_request = 0;
}

TEST_F(Windows, PostedMessagesWaitForTheirThreadsPump) {
  HWND agent = MakeAgent();
  HWND other = MakeAgent(u"second");
  heard.Take();
  EXPECT_EQ(PostMessageW(agent, kWmUser + 1, 0, 0), 1);
  EXPECT_EQ(PostMessageW(other, kWmUser + 2, 0, 0), 1);
  EXPECT_EQ(PostMessageW(agent, kWmUser + 3, 0, 0), 1);
  EXPECT_TRUE(heard.Take().empty());
  std::thread([] { EXPECT_EQ(PumpMessages(), 0u); }).join();  // not its windows
  DestroyWindow(other);                                       // its message goes with it
  EXPECT_EQ(PumpMessages(), 2u);
  EXPECT_EQ(heard.Take(), (Lines{"user 1", "user 3"}));
  EXPECT_EQ(PumpMessages(), 0u);
  EXPECT_EQ(PostMessageW(other, kWmUser, 0, 0), 0);
  DestroyWindow(agent);
}

TEST_F(Windows, TimersFireOncePerPeriodWhenTheWaitClockPassesIt) {
  UseManualWaitClock();
  HWND agent = MakeAgent();
  heard.Take();
  EXPECT_EQ(SetTimer(agent, 5, 100, nullptr), 5u);
  const struct {
    DWORD advance;
    std::size_t fired;
  } steps[] = {
      {99, 0},  {1, 1}, {0, 0},  // due at 100
      {350, 1},                  // 450: once, however many periods passed
      {49, 0},  {1, 1},          // the phase is kept: due at 500
      {99, 0},  {1, 1},
  };
  for (const auto& step : steps) {
    AdvanceWaitClock(step.advance);
    EXPECT_EQ(PumpMessages(), step.fired) << GetTickCount();
  }
  EXPECT_EQ(heard.Take(), (Lines{"timer 5", "timer 5", "timer 5", "timer 5"}));

  EXPECT_EQ(SetTimer(agent, 5, 1, nullptr), 5u);  // replaced; at least 10 ms
  EXPECT_EQ(UiHandleCount(UiHandleKind::kTimer), 1u);
  AdvanceWaitClock(9);
  EXPECT_EQ(PumpMessages(), 0u);
  AdvanceWaitClock(1);
  EXPECT_EQ(PumpMessages(), 1u);
  EXPECT_EQ(KillTimer(agent, 5), 1);
  EXPECT_EQ(KillTimer(agent, 5), 0);
  AdvanceWaitClock(1000);
  EXPECT_EQ(PumpMessages(), 0u);

  static int calls;
  calls = 0;
  UINT_PTR id = SetTimer(nullptr, 0, 30, [](HWND window, UINT message, UINT_PTR, DWORD time) {
    calls += window == nullptr && message == kWmTimer && time == GetTickCount();
  });
  EXPECT_NE(id, 0u);
  AdvanceWaitClock(30);
  EXPECT_EQ(PumpMessages(), 1u);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(KillTimer(nullptr, id), 1);

  SetTimer(agent, 6, 10, nullptr);
  DestroyWindow(agent);  // its timers go with it
  EXPECT_EQ(UiHandleCount(UiHandleKind::kTimer), 0u);
}

TEST_F(Windows, WindowAndClassLongs) {
  HINSTANCE module = module_;
  HWND dialog = CreateDialogParamW(module, MakeIntResourceW(200), nullptr, nullptr, 0);
  ASSERT_NE(dialog, nullptr);
  // The user's word is pointer-sized.
  const LONG_PTR pointer = LONG_PTR(0x0123456789ABCDEFLL);
  EXPECT_EQ(SetWindowLongPtrW(dialog, kDwlpUser, pointer), 0);
  EXPECT_EQ(GetWindowLongPtrW(dialog, kDwlpUser), pointer);
  EXPECT_EQ(GetWindowLongW(dialog, kDwlpUser), LONG(0x89ABCDEF));
  HWND edit = GetDlgItem(dialog, 202);
  EXPECT_EQ(GetWindowLongW(edit, kGwlId), 202);
  EXPECT_EQ(SetWindowLongW(edit, kGwlId, 203), 202);
  EXPECT_EQ(GetDlgItem(dialog, 203), edit);
  EXPECT_EQ(GetWindowLongPtrW(edit, kGwlpHwndParent), reinterpret_cast<LONG_PTR>(dialog));
  EXPECT_EQ(GetWindowLongPtrW(edit, kGwlpHInstance), reinterpret_cast<LONG_PTR>(module));
  LONG style = GetWindowLongW(edit, kGwlStyle);
  EXPECT_NE(style & LONG(kWsChild | kWsVisible), 0);
  SetWindowLongW(edit, kGwlStyle, style & ~LONG(kWsVisible));
  EXPECT_FALSE(IsWindowVisible(edit));

  for (int index : {-100, kDialogExtraBytes - 4}) {  // a pointer past the end
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(dialog, index), 0);
    EXPECT_EQ(GetLastError(), kErrorInvalidIndex) << index;
  }
  EXPECT_EQ(GetWindowLongW(edit, 0), 0);  // a control has no extra bytes
  EXPECT_EQ(GetLastError(), kErrorInvalidIndex);
  EXPECT_EQ(SetWindowLongPtrW(edit, kGwlpHwndParent, 1), 0);  // read-only
  EXPECT_EQ(GetLastError(), kErrorInvalidIndex);

  // A class's cursor is shared by its windows.
  HWND ok = GetDlgItem(dialog, 1), cancel = GetDlgItem(dialog, 2);
  HCURSOR arrow = LoadCursorW(nullptr, MakeIntResourceW(kIdcArrow));
  EXPECT_EQ(GetClassLongPtrW(ok, kGclHCursor), reinterpret_cast<ULONG_PTR>(arrow));
  EXPECT_EQ(SetClassLongW(ok, kGclHCursor, 0), DWORD(reinterpret_cast<ULONG_PTR>(arrow)));
  EXPECT_EQ(GetClassLongPtrW(cancel, kGclHCursor), 0u);
  EXPECT_EQ(GetClassLongPtrW(edit, kGclHCursor),
            reinterpret_cast<ULONG_PTR>(LoadCursorW(nullptr, MakeIntResourceW(kIdcIBeam))));
  EXPECT_EQ(GetClassLongPtrW(ok, 3), 0u);
  EXPECT_EQ(GetLastError(), kErrorInvalidIndex);
  DestroyWindow(dialog);
}

TEST_F(Windows, FocusGeometryVisibilityAndTheDesktop) {
  HWND desktop = GetDesktopWindow();
  EXPECT_EQ(GetTopWindow(desktop), nullptr);
  HWND first = MakeAgent();
  HWND second =
      CreateWindowExW(0, u"kvplm", u"", kWsVisible, 100, 50, 200, 80, first, 0, nullptr, nullptr);
  HWND child = CreateWindowExW(0, u"Static", u"", kWsChild | kWsVisible, 5, 6, 20, 10, second, 7,
                               nullptr, nullptr);
  EXPECT_EQ(GetTopWindow(desktop), second);  // newest first
  EXPECT_EQ(GetTopWindow(nullptr), second);
  EXPECT_EQ(GetTopWindow(second), child);
  EXPECT_EQ(GetParent(second), first);  // the owner
  EXPECT_EQ(GetParent(child), second);
  EXPECT_EQ(GetDlgCtrlID(child), 7);
  Rect rect;
  EXPECT_TRUE(GetWindowRect(child, &rect));
  EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right, rect.bottom), std::tuple(105, 56, 125, 66));
  EXPECT_TRUE(GetClientRect(child, &rect));
  EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right, rect.bottom), std::tuple(0, 0, 20, 10));
  Point point{110, 60};
  ScreenToClient(child, &point);
  EXPECT_EQ(std::pair(point.x, point.y), std::pair(5, 4));
  ClientToScreen(child, &point);
  EXPECT_EQ(std::pair(point.x, point.y), std::pair(110, 60));

  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_EQ(ShowWindow(second, kSwHide), 1);
  EXPECT_FALSE(IsWindowVisible(child));  // a hidden parent hides it
  EXPECT_EQ(ShowWindow(second, kSwShowNormal), 0);
  EXPECT_EQ(EnableWindow(child, 0), 0);
  EXPECT_EQ(EnableWindow(child, 0), 1);
  EXPECT_FALSE(IsWindowEnabled(child));

  heard.Take();
  EXPECT_EQ(SetFocus(first), nullptr);
  EXPECT_EQ(GetFocus(), first);
  std::thread([] { EXPECT_EQ(GetFocus(), nullptr); }).join();  // per thread
  EXPECT_EQ(SetFocus(second), first);
  DestroyWindow(first);  // takes the window it owns, and its child
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_FALSE(IsWindow(second));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(UiHandleCount(UiHandleKind::kWindow), 0u);
  EXPECT_EQ(DestroyWindow(desktop), 0);
}

// Bitmap 700 is 3 x 2: FF0000 00FF00 0000FF, then three of 123456; its bytes
// are each pixel's B, G, R, 0.
TEST_F(Windows, BitmapsAndCursorsFromAModule) {
  HINSTANCE module = module_;
  HBITMAP bitmap = LoadBitmapW(module, MakeIntResourceW(700));
  ASSERT_NE(bitmap, nullptr);
  HBITMAP second = LoadBitmapW(module, MakeIntResourceW(700));
  EXPECT_NE(second, bitmap);  // a new one each time
  EXPECT_EQ(UiHandleCount(UiHandleKind::kBitmap), 2u);
  DeleteObject(second);
  BitmapInfo info;
  EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), int(sizeof info));
  EXPECT_EQ(std::tuple(info.width, info.height, info.width_bytes, info.bits_pixel),
            std::tuple(3, 2, 12, 32));
  unsigned char bytes[32];
  EXPECT_EQ(GetBitmapBits(bitmap, sizeof bytes, bytes), 24);
  const unsigned char expected[24] = {0x00, 0x00, 0xFF, 0, 0x00, 0xFF, 0x00, 0,
                                      0xFF, 0x00, 0x00, 0, 0x56, 0x34, 0x12, 0,
                                      0x56, 0x34, 0x12, 0, 0x56, 0x34, 0x12, 0};
  EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 24),
            std::vector<unsigned char>(expected, expected + 24));
  EXPECT_EQ(DeleteObject(bitmap), 1);
  EXPECT_EQ(DeleteObject(bitmap), 0);
  EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), 0);

  HCURSOR cursor = LoadCursorW(module, MakeIntResourceW(710));
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(LoadCursorW(module, MakeIntResourceW(710)), cursor);  // shared
  EXPECT_EQ(UiHandleCount(UiHandleKind::kCursor), 1u);
  EXPECT_EQ(SetCursor(cursor), nullptr);
  EXPECT_EQ(DeleteObject(cursor), 0);
  EXPECT_EQ(LoadCursorW(module, MakeIntResourceW(711)), nullptr);
  EXPECT_EQ(GetLastError(), kErrorResourceNameNotFound);
  EXPECT_EQ(LoadCursorW(nullptr, MakeIntResourceW(1)), nullptr);
  FreeLibrary(module);  // the module's cursors go with it
  EXPECT_EQ(UiHandleCount(UiHandleKind::kCursor), 0u);
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(SetCursor(cursor), nullptr);
  EXPECT_EQ(GetCursor(), nullptr);
  EXPECT_EQ(LoadBitmapW(module, MakeIntResourceW(700)), nullptr);
}

TEST_F(Windows, HelpCallsAreLoggedAndTheProfileIsATable) {
  const DWORD table[] = {2050, 218, 9, 1300, 0, 0, 77, 77};
  EXPECT_EQ(WinHelpA(nullptr, "DRV.HLP", kHelpWmHelp, reinterpret_cast<ULONG_PTR>(table)), 1);
  EXPECT_EQ(WinHelpA(nullptr, "DRV.HLP", kHelpContext, 300), 1);
  std::vector<HelpCall> log = WinHelpLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].pairs, (std::vector<std::pair<DWORD, DWORD>>{{2050, 218}, {9, 1300}}));
  EXPECT_EQ(log[1].command, kHelpContext);
  EXPECT_EQ(log[1].data, 300u);
  EXPECT_TRUE(log[1].pairs.empty());

  SetProfileString(u"intl", u"sDecimal", u",");
  SetProfileString(u"intl", u"long", u"0123456789");
  auto read = [](const char16_t* section, const char16_t* key, const char16_t* fallback) {
    char16_t buffer[8] = u"?";
    DWORD length = GetProfileStringW(section, key, fallback, buffer, 8);
    return std::pair(length, std::u16string(buffer));
  };
  EXPECT_EQ(read(u"INTL", u"sdecimal", u"."), std::pair(1u, std::u16string(u",")));
  EXPECT_EQ(read(u"intl", u"sThousand", u"'"), std::pair(1u, std::u16string(u"'")));
  EXPECT_EQ(read(u"intl", u"none", nullptr), std::pair(0u, std::u16string()));
  EXPECT_EQ(read(u"intl", u"long", nullptr), std::pair(7u, std::u16string(u"0123456")));
  EXPECT_EQ(read(nullptr, u"long", nullptr), std::pair(0u, std::u16string()));
  EXPECT_EQ(GetProfileStringW(u"intl", u"long", nullptr, nullptr, 8), 0u);
  ResetHostServices();
  EXPECT_TRUE(WinHelpLog().empty());
  EXPECT_EQ(read(u"intl", u"sDecimal", u"."), std::pair(1u, std::u16string(u".")));
}

// Unknown and destroyed handles, messages meant for another class, null
// pointers and bad indexes: every call answers 0 or the control's error value.
TEST_F(Windows, BadInputAnswersZeroOrTheErrorValue) {
  HINSTANCE module = module_;
  HWND dialog = CreateDialogParamW(module, MakeIntResourceW(100), nullptr, nullptr, 0);
  HWND gone = CreateWindowExW(0, u"Static", u"", 0, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr);
  DestroyWindow(gone);
  HWND unknown = reinterpret_cast<HWND>(std::uintptr_t{0x7FF0});
  HWND edit = GetDlgItem(dialog, 30);
  HWND combo = GetDlgItem(dialog, 20);
  HBITMAP bitmap = LoadBitmapW(module, MakeIntResourceW(700));
  HWND bitmap_as_window = reinterpret_cast<HWND>(bitmap);
  char16_t buffer[4] = u"xyz";
  Rect rect;
  auto made = [](const void* handle) { return LRESULT(handle != nullptr); };
  auto dialog_of = [&](UINT id) {
    return CreateDialogParamW(module, MakeIntResourceW(id), nullptr, nullptr, 0);
  };
  auto window_of = [](const char16_t* class_name, DWORD style) {
    return CreateWindowExW(0, class_name, nullptr, style, 0, 0, 1, 1, nullptr, 0, nullptr, nullptr);
  };
  struct Case {
    const char* what;
    std::function<LRESULT()> call;
    LRESULT expected;
  };
  const Case cases[] = {
      {"send to unknown", [&] { return SendMessageW(unknown, kWmGetTextLength, 0, 0); }, 0},
      {"send to destroyed", [&] { return SendMessageW(gone, kWmSetText, 0, 0); }, 0},
      {"send to a bitmap", [&] { return SendMessageW(bitmap_as_window, kWmGetTextLength, 0, 0); },
       0},
      {"post to destroyed", [&] { return LRESULT(PostMessageW(gone, kWmUser, 0, 0)); }, 0},
      {"destroy twice", [&] { return LRESULT(DestroyWindow(gone)); }, 0},
      {"combo message to an edit", [&] { return SendMessageW(edit, kCbGetCount, 0, 0); }, 0},
      {"edit message to a combo", [&] { return SendMessageW(combo, kEmGetLimitText, 0, 0); }, 0},
      {"combo text without buffer", [&] { return SendMessageW(combo, kCbGetLbText, 0, 0); }, -1},
      {"combo add null", [&] { return SendMessageW(combo, kCbAddString, 0, 0); }, -1},
      {"combo index -5", [&] { return SendMessageW(combo, kCbGetItemData, WPARAM(-5), 0); }, -1},
      {"get text null buffer", [&] { return LRESULT(GetWindowTextW(edit, nullptr, 5)); }, 0},
      {"get text zero size", [&] { return LRESULT(GetWindowTextW(edit, buffer, 0)); }, 0},
      {"WM_GETTEXT zero size", [&] { return SendMessageW(edit, kWmGetText, 0, LPARAM(buffer)); },
       0},
      {"text of unknown", [&] { return LRESULT(GetWindowTextW(unknown, buffer, 4)); }, 0},
      {"set text null", [&] { return LRESULT(SetWindowTextW(edit, nullptr)); }, 1},
      {"item of unknown", [&] { return made(GetDlgItem(unknown, 1)); }, 0},
      {"missing item", [&] { return made(GetDlgItem(dialog, 9999)); }, 0},
      {"check missing item", [&] { return LRESULT(CheckDlgButton(dialog, 9999, 1)); }, 0},
      {"item text missing", [&] { return LRESULT(GetDlgItemTextW(dialog, 9999, buffer, 4)); }, 0},
      {"parent of unknown", [&] { return made(GetParent(unknown)); }, 0},
      {"long of unknown", [&] { return GetWindowLongPtrW(unknown, kDwlpUser); }, 0},
      {"class long of unknown", [&] { return LRESULT(GetClassLongPtrW(gone, kGclHCursor)); }, 0},
      {"rect null", [&] { return LRESULT(GetClientRect(edit, nullptr)); }, 0},
      {"rect of unknown", [&] { return LRESULT(GetWindowRect(unknown, &rect)); }, 0},
      {"point null", [&] { return LRESULT(ScreenToClient(edit, nullptr)); }, 0},
      {"cursor pos null", [&] { return LRESULT(GetCursorPos(nullptr)); }, 0},
      {"enable unknown", [&] { return LRESULT(EnableWindow(unknown, 1)); }, 0},
      {"show unknown", [&] { return LRESULT(ShowWindow(unknown, kSwShow)); }, 0},
      {"visible unknown", [&] { return LRESULT(IsWindowVisible(unknown)); }, 0},
      {"focus unknown", [&] { return made(SetFocus(unknown)); }, 0},
      {"invalidate unknown", [&] { return LRESULT(InvalidateRect(unknown, nullptr, 0)); }, 0},
      {"timer of unknown", [&] { return LRESULT(SetTimer(gone, 1, 10, nullptr)); }, 0},
      {"kill missing timer", [&] { return LRESULT(KillTimer(edit, 42)); }, 0},
      {"cursor of a window", [&] { return made(SetCursor(reinterpret_cast<HCURSOR>(edit))); }, 0},
      {"delete a window", [&] { return LRESULT(DeleteObject(edit)); }, 0},
      {"bits to null", [&] { return LRESULT(GetBitmapBits(bitmap, 4, nullptr)); }, 0},
      {"object too small", [&] { return LRESULT(GetObjectW(bitmap, 4, buffer)); }, 0},
      {"bitmap by name", [&] { return made(LoadBitmapW(module, u"NAME")); }, 0},
      {"bitmap of unknown module",
       [&] { return made(LoadBitmapW(HINSTANCE(unknown), MakeIntResourceW(700))); }, 0},
      {"dialog of a missing template", [&] { return made(dialog_of(9)); }, 0},
      {"dialog with an unknown class", [&] { return made(dialog_of(500)); }, 0},
      {"page without parent", [&] { return made(dialog_of(400)); }, 0},
      {"modal dialog with an unknown class",
       [&] { return DialogBoxParamW(module, MakeIntResourceW(500), nullptr, nullptr, 0); }, -1},
      {"end a plain window", [&] { return LRESULT(EndDialog(edit, 1)); }, 0},
      {"window of unknown class", [&] { return made(window_of(u"nope", 0)); }, 0},
      {"child without parent", [&] { return made(window_of(u"Edit", kWsChild)); }, 0},
      {"class null", [&] { return LRESULT(RegisterClassW(nullptr)); }, 0},
      {"message null", [&] { return LRESULT(RegisterWindowMessageW(nullptr)); }, 0},
      {"user actions on unknown",
       [&] {
         return LRESULT(UserClick(unknown) || UserSelect(gone, 0) || UserType(unknown, u"x") ||
                        UserSpin(gone, 1) || UserHover(unknown, {}));
       },
       0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.call(), c.expected) << c.what;
  EXPECT_EQ(UiHandleCount(UiHandleKind::kDialog), 1u);  // none of the bad ones made
  DeleteObject(bitmap);
  DestroyWindow(dialog);
}

}  // namespace
