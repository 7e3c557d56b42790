// What the windowing host's tests share: the module that carries the test
// resources (test_resources.rcs, turned into TestResources() by the build),
// and a dialog procedure that writes down what its dialog hears.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/host/modules.h"
#include "platform/host/resources.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_resources.h"
#include "platform/ui/window.h"
#include "tests/support/ui_driver.h"

namespace testing_support {

platform::ModuleResources TestResources();

inline constexpr char16_t kTestModule[] = u"C:\\Drv\\TESTRES.DLL";

// Adds the test resources' module and loads it.
inline platform::HINSTANCE LoadTestModule() {
  platform::AddModule({kTestModule, {}, {}});
  platform::AddModuleResources(kTestModule, TestResources());
  return platform::LoadLibraryW(kTestModule);
}

// What a recording dialog heard, one line per message of interest:
// "init <lParam>", "command <id> <code>", "notify <id> <code> <position>
// <delta>", "vscroll <code> <position>", "draw <id> <action> <state>",
// "destroy". Commands of IDOK and IDCANCEL end the dialog with
// that id; a spin is refused while `refuse_spins` is set.
struct Heard {
  std::mutex mutex;
  std::vector<std::string> lines;
  bool refuse_spins = false;

  void Add(std::string line) {
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(std::move(line));
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(mutex);
    return std::exchange(lines, {});
  }
};

inline Heard heard;

inline platform::INT_PTR RecordingProc(platform::HWND dialog, platform::UINT message,
                                       platform::WPARAM wparam, platform::LPARAM lparam) {
  using namespace platform;
  auto number = [](auto value) { return std::to_string(value); };
  switch (message) {
    case kWmInitDialog:
      heard.Add("init " + number(lparam));
      return 1;
    case kWmCommand:
      heard.Add("command " + number(LowWord(wparam)) + " " + number(HighWord(wparam)));
      if (LowWord(wparam) == kIdOk || LowWord(wparam) == kIdCancel) {
        EndDialog(dialog, LowWord(wparam));
      }
      return 1;
    case kWmNotify: {
      const auto* notify = reinterpret_cast<const UpDownNotify*>(lparam);
      heard.Add("notify " + number(notify->header.id_from) + " " + number(notify->header.code) +
                " " + number(notify->position) + " " + number(notify->delta));
      if (!heard.refuse_spins) return 0;
      SetWindowLongPtrW(dialog, kDwlpMsgResult, 1);
      return 1;
    }
    case kWmVScroll:
      heard.Add("vscroll " + number(LowWord(wparam)) + " " + number(HighWord(wparam)));
      return 1;
    case kWmDrawItem: {
      const auto* draw = reinterpret_cast<const DrawItemStruct*>(lparam);
      heard.Add("draw " + number(draw->control_id) + " " + number(draw->item_action) + " " +
                number(draw->item_state));
      return 1;
    }
    case kWmSetCursor:  // the hand, which a class cursor may replace
      SetCursor(LoadCursorW(nullptr, MakeIntResourceW(kIdcHand)));
      return 0;
    case kWmDestroy:
      heard.Add("destroy");
      return 0;
    default:
      return 0;
  }
}

// A UiFixture with the test resources' module loaded (module_); what was
// heard is dropped after each test.
class ModuleFixture : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    module_ = LoadTestModule();
  }
  void TearDown() override {
    heard.Take();
    UiFixture::TearDown();
  }

  platform::HINSTANCE module_ = nullptr;
};

}  // namespace testing_support
