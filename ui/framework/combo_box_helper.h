// GComboBoxHelper: the few drop-down-list operations the wrappers use, on
// one control of a dialog. Items carry 32-bit data (a paper id, a string
// id); a failed add answers 0xFFFF and "no selection" reads as -1.
//
// Ownership: it keeps the control's window, which the dialog owns.
// Threads: the dialog's.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

inline constexpr std::uint32_t kComboAddFailed = 0xFFFF;

class GComboBoxHelper {
 public:
  GComboBoxHelper() = default;

  // The control `control_id` of `dialog` (none when missing).
  void Attach(platform::HWND dialog, int control_id);
  void ResetContent();
  // Adds the text without item data; its index, or kComboAddFailed.
  std::uint32_t AddString(const char16_t* text);
  // Adds the text with `data`; its index, or kComboAddFailed.
  std::uint32_t AddStringWithData(const char16_t* text, std::uint32_t data);
  // Selects the first item whose data is `data`; the selection stays when
  // none is.
  void SelectByData(std::uint32_t data);
  void SetCurSel(std::int32_t index);
  // The selected item's data, or -1 when nothing is selected.
  std::int32_t GetSelectedData() const;

  platform::HWND Control() const { return control_; }

 private:
  platform::HWND control_ = nullptr;
};
