// The host from several threads: no lock is held while a procedure runs, and
// two threads drive two dialogs at once. Also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/host/files.h"
#include "platform/host/threads.h"
#include "tests/platform/ui/ui_test_support.h"
#include "tests/support/ui_driver.h"

namespace {

using namespace platform;
using support::UiDialog;

using UiThreads = testing_support::ModuleFixture;

constexpr UINT kAsk = kWmUser + 7;

DWORD Worker(void* parameter) {
  auto dialog = static_cast<HWND>(parameter);
  EXPECT_EQ(SetDlgItemTextW(dialog, 202, u"from the worker"), 1);
  EXPECT_EQ(SendMessageW(dialog, kAsk, 20, 22), 42);
  return 0;
}

// WM_INITDIALOG starts a worker that sets a text of this dialog and sends it
// a message, and waits for it: with the lock held across the call, the
// worker could never get in.
INT_PTR WaitingProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmInitDialog) {
    HANDLE thread = CreateThread(nullptr, 0, Worker, dialog, 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, kInfinite), kWaitObject0);
    CloseHandle(thread);
    return 1;
  }
  if (message == kAsk) {
    SetWindowLongPtrW(dialog, kDwlpMsgResult, LONG_PTR(wparam) + lparam);
    return 1;
  }
  if (message == kWmCommand && LowWord(wparam) == kIdOk) EndDialog(dialog, 5);
  return 0;
}

TEST_F(UiThreads, AProcedureMayWaitForAThreadThatCallsItsDialog) {
  ui.OnDialog(200, [](UiDialog dialog) {
    EXPECT_EQ(dialog.Text(202), u"from the worker");
    dialog.Click(kIdOk);
  });
  EXPECT_EQ(DialogBoxParamW(module_, MakeIntResourceW(200), nullptr, WaitingProc, 0), 5);
}

// Each thread types and clicks in its own dialog many times over.
INT_PTR CountingProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == kWmCommand && LowWord(wparam) == kIdOk) EndDialog(dialog, kIdOk);
  if (message == kWmCommand && HighWord(wparam) == kEnChange) {
    SetWindowLongPtrW(dialog, kGwlpUserData, GetWindowLongPtrW(dialog, kGwlpUserData) + 1);
  }
  return 0;
}

TEST_F(UiThreads, TwoThreadsDriveTwoDialogsAtOnce) {
  constexpr int kRounds = 300;
  std::atomic<int> ready{0};
  auto script = [&](int edit) {
    return [&, edit](UiDialog dialog) {
      ++ready;
      while (ready < 2)
        std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        std::u16string text = u"r" + std::u16string(std::size_t(round % 7), u'x');
        dialog.Type(edit, text);
        EXPECT_EQ(dialog.Text(edit), text);
        EXPECT_EQ(PostMessageW(dialog.Handle(), kWmUser, 0, 0), 1);
        EXPECT_EQ(PumpMessages(), 1u);  // its own message only
      }
      EXPECT_EQ(GetWindowLongPtrW(dialog.Handle(), kGwlpUserData), kRounds);
      dialog.Click(kIdOk);
    };
  };
  ui.OnDialog(200, script(202));
  ui.OnDialog(300, script(301));
  INT_PTR results[2] = {};
  std::thread first([&] {
    results[0] = DialogBoxParamW(module_, MakeIntResourceW(200), nullptr, CountingProc, 0);
  });
  std::thread second([&] {
    results[1] = DialogBoxParamW(module_, MakeIntResourceW(300), nullptr, CountingProc, 0);
  });
  first.join();
  second.join();
  EXPECT_EQ(results[0], kIdOk);
  EXPECT_EQ(results[1], kIdOk);
}

}  // namespace
