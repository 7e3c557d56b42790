// Help and the user's profile as the pages use them: WinHelpA only records
// its calls (there is no help viewer), and GetProfileStringW reads a table
// that tests fill (the "intl" section's "sDecimal" and the like). Both are
// cleared by ResetHostServices. Any thread.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host/types.h"

namespace platform {

// Records the call and answers 1. For kHelpContextMenu and kHelpWmHelp,
// `data` points to (control id, help id) pairs of 32-bit words ended by
// (0, 0), which are copied (at most kMaxHelpPairs pairs); a null `data`
// records none.
BOOL WinHelpA(HWND window, const char* help_file, UINT command, ULONG_PTR data);

// Copies the value of `key` in `section` (both compared without case), or
// `default_value` (null: empty) when the table lacks it, into `buffer` of
// `size` units: at most size - 1 units and a terminator. Answers the units
// copied; 0 for a null section, key or buffer, or a size of 0.
DWORD GetProfileStringW(const char16_t* section, const char16_t* key, const char16_t* default_value,
                        char16_t* buffer, DWORD size);

// ---- Test controls.

inline constexpr std::size_t kMaxHelpPairs = 4096;

struct HelpCall {
  HWND window = nullptr;
  std::string file;
  UINT command = 0;
  ULONG_PTR data = 0;
  std::vector<std::pair<DWORD, DWORD>> pairs;  // the help table, when one was given
};
// The calls so far (the newest kHostLogCapacity, platform/host/modules.h).
std::vector<HelpCall> WinHelpLog();

// Sets one value of the profile table.
void SetProfileString(std::u16string_view section, std::u16string_view key,
                      std::u16string_view value);

}  // namespace platform
