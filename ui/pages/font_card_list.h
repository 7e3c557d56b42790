// FontCardListPage: the font-card list of the "Configure Font Cards"
// dialog (7100). List 7105 shows the printer's ten font sources, each
// with " (Enabled)" or " (Disabled)" after its name (the file name's last
// part, or the source's number 1-10 when it has no file); the toggle 7106
// flips the selected source. OK (1) writes, for each source whose choice
// now differs from what the list was filled with, its two-bit state in
// "DisabledMSDs" (SetMsdState): 2 disables its fonts, 1 enables them.
// A source reads as disabled while its state has bit 1 set.
//
// Ownership: the dialog's. Threads: the sheet's.
#pragma once

#include <array>
#include <cstdint>

#include "ui/pages/page_groups.h"

inline constexpr int kFontCardList = 7105;
inline constexpr int kFontCardToggle = 7106;
inline constexpr std::uint32_t kFontCardSources = 10;

class FontCardListPage : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;

  // Fills the list.
  void OnInit() override;
  // The toggle's and OK's clicks; other messages as the base.
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

 private:
  void ShowSource(std::uint32_t index, bool replace);
  void Apply();

  std::array<bool, kFontCardSources> initial_{};   // disabled when filled
  std::array<bool, kFontCardSources> disabled_{};  // as the user left it
};
