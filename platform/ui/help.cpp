#include "platform/ui/help.h"

#include "platform/ui/ui_state.h"

namespace platform {

using namespace ui_internal;

BOOL WinHelpA(HWND window, const char* help_file, UINT command, ULONG_PTR data) {
  HelpCall call{window, help_file != nullptr ? help_file : "", command, data, {}};
  if ((command == kHelpContextMenu || command == kHelpWmHelp) && data != 0) {
    const auto* words = reinterpret_cast<const DWORD*>(data);
    for (std::size_t pair = 0; pair < kMaxHelpPairs; ++pair) {
      DWORD control = words[2 * pair];
      DWORD help = words[2 * pair + 1];
      if (control == 0 && help == 0) break;
      call.pairs.emplace_back(control, help);
    }
  }
  Lock lock(Mutex());
  StateLocked().help_log.Add(std::move(call));
  return 1;
}

DWORD GetProfileStringW(const char16_t* section, const char16_t* key, const char16_t* default_value,
                        char16_t* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = u'\0';
  if (section == nullptr || key == nullptr) return 0;
  Lock lock(Mutex());
  const auto& profile = StateLocked().profile;
  auto it = profile.find({host_internal::Fold(section), host_internal::Fold(key)});
  std::u16string_view value = it != profile.end()        ? std::u16string_view(it->second)
                              : default_value != nullptr ? std::u16string_view(default_value)
                                                         : std::u16string_view();
  return DWORD(ui_internal::CopyText(value, buffer, size));
}

std::vector<HelpCall> WinHelpLog() {
  Lock lock(Mutex());
  return StateLocked().help_log.Entries();
}

void SetProfileString(std::u16string_view section, std::u16string_view key,
                      std::u16string_view value) {
  Lock lock(Mutex());
  StateLocked().profile[{host_internal::Fold(section), host_internal::Fold(key)}] = value;
}

}  // namespace platform
