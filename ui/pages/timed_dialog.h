// GTimedDialog: the job-storage notice "Job Storage Identification", a
// modal dialog of the resource library that tells the user under which
// names a stored job can be found, and ends itself when its time is up.
//
// Its five texts go to the static controls 11541 to 11545 at
// WM_INITDIALOG; 11546 is the box "In the &future, do not show this
// information". OK, Cancel and the timer end the dialog; whichever ends
// it, the box is read then: ticked, GetShowAgain answers 0. The timer runs
// on the host's wait clock with the period given in seconds (the notice's
// 10 is ten seconds). The Help button (9) opens the help file that
// SetHelpFile named.
//
// Ownership: the caller's; DoModal loads the resource library for the
// dialog's run and frees it after. Threads: any one thread (the document's
// notice thread shows it without an owner).
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

// The notice's template, its text controls and its box.
inline constexpr std::uint32_t kTimedDialogTemplate = 11540;
inline constexpr int kTimedDialogFirstText = 11541;
inline constexpr int kTimedDialogTexts = 5;
inline constexpr int kTimedDialogShowAgainBox = 11546;
// What DoModal answers when the resource library cannot be loaded.
inline constexpr platform::INT_PTR kNoResourceLibrary = -1;

class GTimedDialog {
 public:
  // `period` in seconds; the texts in the order of the controls.
  GTimedDialog(std::uint32_t template_id, std::uint32_t period, const RWWString& text1,
               const RWWString& text2, const RWWString& text3, const RWWString& text4,
               const RWWString& text5);
  GTimedDialog(const GTimedDialog&) = delete;
  GTimedDialog& operator=(const GTimedDialog&) = delete;

  // Loads the library at `resource_library`, shows the dialog owned by
  // `owner` (may be null) and frees the library; answers the button that
  // ended it (kIdOk for the timer), kNoResourceLibrary when the library
  // does not load, -1 when the dialog cannot be made.
  platform::INT_PTR DoModal(platform::HWND owner, const RWWString& resource_library);
  // 1 until a run ends with the box ticked, then 0.
  int GetShowAgain() const { return show_again_; }
  void SetHelpFile(const RWCString& name) { help_file_ = name; }

 private:
  static platform::INT_PTR DialogProc(platform::HWND dialog, platform::UINT message,
                                      platform::WPARAM wparam, platform::LPARAM lparam);
  platform::INT_PTR HandleMessage(platform::HWND dialog, platform::UINT message,
                                  platform::WPARAM wparam);
  void Finish(platform::HWND dialog, platform::INT_PTR result);

  std::uint32_t template_id_;
  std::uint32_t period_;  // seconds
  RWWString texts_[kTimedDialogTexts];
  RWCString help_file_;
  int show_again_ = 1;
};
