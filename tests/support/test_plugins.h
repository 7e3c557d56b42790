// Test user-interface plug-ins that stand in for the library's own pages:
// in-process modules of the module table exporting the five UI_ entries.
// Slot s (0 to kTestPluginSlots - 1) is the module `name`; each
// UI_INITIALIZE answers the next of `counts` (the last one repeats) and, in
// the filling call, fills that many page records from the index it is given
// (never past the host's count): template kTestPageTemplate of the module,
// title `prefix` + the page's number within the plug-in, and a page
// procedure that keeps the record at kDwlpUser, runs the apply hook on
// kPsnApply and forwards every message to the host's hook. The calling
// program (which the shell test reads) is platform::SetHostProgramPath's.
//
// State is process-wide; InstallTestPlugin resets a slot. One test thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver/ui_plugin_records.h"

namespace testing_support {

inline constexpr int kTestPluginSlots = 2;
inline constexpr platform::UINT kTestPageTemplate = 100;

struct TestPlugin {
  std::vector<std::int16_t> counts;
  std::u16string prefix;
  // Seen: the index of every UI_INITIALIZE (count calls included), the
  // host record's flags at the last one, the calls of UI_DESTROY.
  std::vector<std::int16_t> indices;
  std::uint32_t page_flags = 0;
  std::uint32_t access_flags = 0;
  int destroys = 0;
};

// Adds module `name` serving slot `slot` (0 to kTestPluginSlots - 1).
TestPlugin& InstallTestPlugin(int slot, const std::u16string& name,
                              std::vector<std::int16_t> counts, std::u16string prefix);
TestPlugin& TestPluginAt(int slot);
// What every test page does on kPsnApply before the host's hook.
void SetTestPageApply(std::function<void(GUIData& host)> apply);

}  // namespace testing_support
