// A stand-in for the driver family's registry agent: a top-level window of
// class "kvplm" in the headless host whose procedure, on the registered
// message "KVPLM_CLIENT_REQUEST", logs (wParam, lParam) and, on request code
// 6, writes its script's values into the printer's data, as the outside
// program would. One agent at a time; the test's thread only.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/types.h"

namespace testing_support {

class ScriptedAgent {
 public:
  struct Value {
    std::u16string name;
    platform::DWORD type;
    std::vector<platform::BYTE> bytes;
  };

  // Registers the class and makes the window for printer `printer`.
  explicit ScriptedAgent(std::u16string printer);
  ScriptedAgent(const ScriptedAgent&) = delete;
  ScriptedAgent& operator=(const ScriptedAgent&) = delete;
  ~ScriptedAgent();

  void SetDword(std::u16string name, std::uint32_t value);
  void SetText(std::u16string name, const std::u16string& text);  // without terminator
  void Set(Value value) { script.push_back(std::move(value)); }

  std::vector<Value> script;
  std::vector<std::pair<platform::WPARAM, platform::LPARAM>> requests;
  platform::LRESULT answer = 0;  // what every request answers (0: success)

 private:
  static platform::LRESULT Procedure(platform::HWND window, platform::UINT message,
                                     platform::WPARAM wparam, platform::LPARAM lparam);
  std::u16string printer_;
  platform::HWND window_ = nullptr;
};

}  // namespace testing_support
