// GGetStringDialog: the small modal dialog of the resource library that
// asks the user for one line of text (a quick set's name, say). Its
// template holds the prompt (a static, kGetStringPrompt), the edit
// (kGetStringEdit), OK and Cancel. The edit starts with the initial text
// and takes at most the given number of characters; OK keeps the text the
// edit holds then, Cancel keeps nothing.
//
// GetStrDlgProc is its dialog procedure: the dialog object travels as the
// creation parameter and is kept in the dialog's user slot.
//
// Ownership: the caller's; the resource library must be loaded while
// DoModal runs. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

// The name dialog's template and its controls.
inline constexpr std::uint32_t kGetStringTemplate = 11530;
inline constexpr int kGetStringPrompt = 11531;
inline constexpr int kGetStringEdit = 11532;

class GGetStringDialog {
 public:
  // `prompt_id`: a string of the resource library (0: the template's own
  // text); `limit`: the most characters the edit takes (at least 1).
  GGetStringDialog(std::uint32_t prompt_id, const RWWString& initial, int limit)
      : prompt_id_(prompt_id), text_(initial), limit_(limit < 1 ? 1 : limit) {}
  GGetStringDialog(const GGetStringDialog&) = delete;
  GGetStringDialog& operator=(const GGetStringDialog&) = delete;

  // Runs the dialog owned by `owner`; kIdOk, kIdCancel, or -1 when it
  // cannot be made.
  platform::INT_PTR DoModal(platform::HWND owner);
  // The text OK kept (the initial text before that).
  const RWWString& GetString() const { return text_; }

  static platform::INT_PTR GetStrDlgProc(platform::HWND dialog, platform::UINT message,
                                         platform::WPARAM wparam, platform::LPARAM lparam);

 private:
  platform::INT_PTR HandleMessage(platform::HWND dialog, platform::UINT message,
                                  platform::WPARAM wparam);

  std::uint32_t prompt_id_;
  RWWString text_;
  int limit_;
};
