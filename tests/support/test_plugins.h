// Test user-interface plug-ins that stand in for the library's own pages:
// in-process modules of the module table exporting the five UI_ entries.
// Slot s (0 to kTestPluginSlots - 1) is the module `name`; each
// UI_INITIALIZE answers the next of `counts` (the last one repeats) and, in
// the filling call, fills that many page records from the index it is given
// (never past the host's count): template kTestPageTemplate of the module,
// title `prefix` + the page's number within the plug-in, and TestPageProc,
// which keeps the record at kDwlpUser, runs the apply hook on kPsnApply and
// forwards every message to the host's hook (GCPSOSUI::DlgProcHook).
// What each plug-in saw is kept in its TestPlugin. The caller-path knob
// names the calling program (the shell test reads it).
//
// State is process-wide; InstallTestPlugin resets a slot. One test thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver/ui_plugin_records.h"

namespace testing_support {

inline constexpr int kTestPluginSlots = 3;
inline constexpr platform::UINT kTestPageTemplate = 100;

struct TestPlugin {
  std::vector<std::int16_t> counts;
  std::u16string prefix;
  // Seen: the index of every UI_INITIALIZE (count calls included), the
  // host record's flags at the last one, and the calls of UI_DESTROY and
  // UI_CONFIGTOSETTINGS.
  std::vector<std::int16_t> indices;
  std::uint32_t page_flags = 0;
  std::uint32_t access_flags = 0;
  int destroys = 0;
  int config_to_settings = 0;
};

// Adds module `name` serving slot `slot` (0 to kTestPluginSlots - 1).
TestPlugin& InstallTestPlugin(int slot, const std::u16string& name,
                              std::vector<std::int16_t> counts, std::u16string prefix);
TestPlugin& TestPluginAt(int slot);
// What every test page does on kPsnApply before the host's hook (none:
// nothing).
void SetTestPageApply(std::function<void(GUIData& host)> apply);

// The calling program's path.
void SetCallerProgram(const std::u16string& path);

}  // namespace testing_support
