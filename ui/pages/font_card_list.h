// FontCardListPage: the font-card list of the "Configure Font Cards"
// dialog (7100). List 7105 shows the printer's ten font sources, each
// with " (Enabled)" or " (Disabled)" after its name (the file name's last
// part, or the source's number 1-10 when it has no file); the toggle 7106
// flips the selected source; 7109 opens "Add Font Card" (7200) and 7107
// removes the selected source's card. A card whose font-storage file
// cannot be read is refused with "Error Configuring Card Fonts" (7300).
//
// Nothing reaches the printer's data before OK (1): then each source whose
// file changed gets its record (WriteMsdFileName; a removed card through
// RemoveMsdFontFile), each source whose choice now differs from what the
// list was filled with gets its two-bit state in "DisabledMSDs"
// (SetMsdState): 2 disables its fonts, 1 enables them (an added card is
// enabled), and "MassStorageFonts" is brought up to date. Cancel keeps
// the printer's data as it was. A source reads as disabled while its
// state has bit 1 set.
//
// Ownership: the dialog's; the add and error dialogs belong to the button
// that opens 7100 (they outlive the list). Threads: the sheet's.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/rw/wstring.h"
#include "ui/pages/page_groups.h"

class GDriverData;
class GFontCardAddWrapper;
class GFontCardErrorWrapper;

inline constexpr int kFontCardList = 7105;
inline constexpr int kFontCardToggle = 7106;
inline constexpr int kFontCardAdd = 7109;
inline constexpr int kFontCardRemove = 7107;
inline constexpr std::uint32_t kFontCardSources = 10;

// How source `index` is named in the lists: the last part of `path`, or
// the number index + 1 when `path` is empty.
RWWString FontSourceName(const RWWString& path, std::uint32_t index);

// Whether `path` names a readable font-storage file for source `index`, as
// the driver reads it (a bare name in the driver directory). The source's
// record is put back as it was.
bool IsFontCardReadable(GDriverData* printer, std::uint32_t index, const RWWString& path);

class FontCardListPage : public GPageWrapper {
 public:
  using GPageWrapper::GPageWrapper;

  // The dialogs the add and remove flows show. REQUIRES: both pairs live
  // as long as the list.
  void SetDialogs(GModalDialog* add, GFontCardAddWrapper* add_wrapper, GModalDialog* error,
                  GFontCardErrorWrapper* error_wrapper);

  GControlKind ExpectedKind(std::size_t index) const override;
  // Fills the list.
  void OnInit() override;
  // The toggle's, add's, remove's and OK's clicks; other messages as the
  // base.
  platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                  platform::LPARAM lparam) override;

 private:
  void ShowSource(std::uint32_t index, bool replace);
  std::int32_t SelectedSource() const;
  void Add();
  void Apply();

  std::array<bool, kFontCardSources> initial_{};   // disabled when filled
  std::array<bool, kFontCardSources> disabled_{};  // as the user left it
  std::array<bool, kFontCardSources> added_{};     // a card added since
  std::array<RWWString, kFontCardSources> initial_paths_;
  std::array<RWWString, kFontCardSources> paths_;
  GModalDialog* add_ = nullptr;
  GFontCardAddWrapper* add_wrapper_ = nullptr;
  GModalDialog* error_ = nullptr;
  GFontCardErrorWrapper* error_wrapper_ = nullptr;
};
