#include "tests/support/scripted_agent.h"

#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/ui/window.h"

namespace testing_support {
namespace {

ScriptedAgent* g_agent = nullptr;

}  // namespace

ScriptedAgent::ScriptedAgent(std::u16string printer) : printer_(std::move(printer)) {
  g_agent = this;
  platform::WndClassW window_class;
  window_class.procedure = &Procedure;
  window_class.class_name = u"kvplm";
  platform::RegisterClassW(&window_class);
  window_ =
      platform::CreateWindowExW(0, u"kvplm", nullptr, 0, 0, 0, 0, 0, nullptr, 0, nullptr, nullptr);
}

ScriptedAgent::~ScriptedAgent() {
  platform::DestroyWindow(window_);
  platform::UnregisterClassW(u"kvplm", nullptr);
  g_agent = nullptr;
}

void ScriptedAgent::SetDword(std::u16string name, std::uint32_t value) {
  Set({std::move(name),
       platform::kRegDword,
       {static_cast<platform::BYTE>(value), static_cast<platform::BYTE>(value >> 8),
        static_cast<platform::BYTE>(value >> 16), static_cast<platform::BYTE>(value >> 24)}});
}

void ScriptedAgent::SetText(std::u16string name, const std::u16string& text) {
  Value value{std::move(name), platform::kRegSz, {}};
  for (char16_t unit : text) {
    value.bytes.push_back(static_cast<platform::BYTE>(unit));
    value.bytes.push_back(static_cast<platform::BYTE>(unit >> 8));
  }
  Set(std::move(value));
}

platform::LRESULT ScriptedAgent::Procedure(platform::HWND window, platform::UINT message,
                                           platform::WPARAM wparam, platform::LPARAM lparam) {
  if (!g_agent || message != platform::RegisterWindowMessageW(u"KVPLM_CLIENT_REQUEST"))
    return platform::DefWindowProcW(window, message, wparam, lparam);
  g_agent->requests.emplace_back(wparam, lparam);
  if (lparam == 6) {
    platform::HANDLE printer = nullptr;
    const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
    if (platform::OpenPrinterW(g_agent->printer_.c_str(), &printer, &all) == 1) {
      for (const Value& value : g_agent->script) {
        platform::SetPrinterDataW(printer, value.name.c_str(), value.type, value.bytes.data(),
                                  static_cast<platform::DWORD>(value.bytes.size()));
      }
      platform::ClosePrinter(printer);
    }
  }
  return g_agent->answer;
}

}  // namespace testing_support
