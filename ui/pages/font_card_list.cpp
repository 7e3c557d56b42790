#include "ui/pages/font_card_list.h"

#include "config/fonts/font_sources.h"
#include "config/fonts/msd_font_file.h"
#include "driver/ui_driver_data.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/modal_dialog.h"
#include "ui/framework/ui_context.h"
#include "ui/pages/configure_groups.h"

using namespace platform;

namespace {

constexpr std::uint32_t kMsdDisabledBit = 2;
constexpr std::uint32_t kStateDisable = 2;
constexpr std::uint32_t kStateEnable = 1;
constexpr std::size_t kListEntry = 0;
constexpr std::size_t kToggleEntry = 1;

GDriverData* PrinterOf(GFeature* feature) {
  return feature->GetContext()->GetDriverContext();
}

}  // namespace

RWWString FontSourceName(const RWWString& path, std::uint32_t index) {
  std::u16string text(path.Data() ? path.Data() : u"");
  const std::size_t slash = text.find_last_of(u"\\/");
  if (slash != std::u16string::npos) text.erase(0, slash + 1);
  if (text.empty()) {
    const std::string number = std::to_string(index + 1);
    text.assign(number.begin(), number.end());
  }
  return RWWString(text.data(), static_cast<RWSize>(text.size()));
}

bool IsFontCardReadable(GDriverData* printer, std::uint32_t index, const RWWString& path) {
  if (!printer || index >= kFontSourceCount || path.Length() == 0) return false;
  // The file is found as the driver finds it: through the source's record.
  const RWWString before = ReadMsdFileName(printer, index);
  if (!WriteMsdFileName(printer, index, path)) return false;
  bool readable = false;
  {
    GMsdFontFile file(index, printer);
    std::uint32_t key = 0;
    readable = file.Open(key) && file.Load(key);
  }
  WriteMsdFileName(printer, index, before);
  return readable;
}

void FontCardListPage::SetDialogs(GModalDialog* add, GFontCardAddWrapper* add_wrapper,
                                  GModalDialog* error, GFontCardErrorWrapper* error_wrapper) {
  add_ = add;
  add_wrapper_ = add_wrapper;
  error_ = error;
  error_wrapper_ = error_wrapper;
}

GControlKind FontCardListPage::ExpectedKind(std::size_t index) const {
  if (index == kListEntry) return GControlKind::kListBox;
  const int id = GetControlId(index);
  if (index == kToggleEntry || id == kFontCardAdd || id == kFontCardRemove)
    return GControlKind::kPushButton;
  return GControlKind::kAny;
}

void FontCardListPage::OnInit() {
  GDriverData* printer = PrinterOf(GetFeature());
  SendDlgItemMessageW(GetDialogWindow(), kFontCardList, kLbResetContent, 0, 0);
  for (std::uint32_t i = 0; i < kFontCardSources; ++i) {
    initial_[i] = printer && (GetMsdState(printer, i) & kMsdDisabledBit) != 0;
    disabled_[i] = initial_[i];
    initial_paths_[i] = printer ? ReadMsdFileName(printer, i) : RWWString();
    paths_[i] = initial_paths_[i];
    added_[i] = false;
    ShowSource(i, false);
  }
}

void FontCardListPage::ShowSource(std::uint32_t index, bool replace) {
  std::u16string text(FontSourceName(paths_[index], index).Data());
  text += disabled_[index] ? u" (Disabled)" : u" (Enabled)";
  HWND dialog = GetDialogWindow();
  if (replace) SendDlgItemMessageW(dialog, kFontCardList, kLbDeleteString, index, 0);
  const auto at = static_cast<WPARAM>(replace ? index : static_cast<std::uint32_t>(-1));
  SendDlgItemMessageW(dialog, kFontCardList, kLbInsertString, at,
                      reinterpret_cast<LPARAM>(text.c_str()));
  if (replace) SendDlgItemMessageW(dialog, kFontCardList, kLbSetCurSel, index, 0);
}

std::int32_t FontCardListPage::SelectedSource() const {
  const LRESULT selected =
      SendDlgItemMessageW(GetDialogWindow(), kFontCardList, kLbGetCurSel, 0, 0);
  return selected < 0 || selected >= LRESULT(kFontCardSources)
             ? -1
             : static_cast<std::int32_t>(selected);
}

LRESULT FontCardListPage::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked)
    return GPageWrapper::HandleMessage(message, wparam, lparam);
  const int control = LowWord(wparam);
  if (control == kFontCardToggle || control == kFontCardRemove) {
    const std::int32_t selected = SelectedSource();
    if (selected < 0) return 1;
    const auto index = static_cast<std::uint32_t>(selected);
    if (control == kFontCardToggle)
      disabled_[index] = !disabled_[index];
    else
      paths_[index] = RWWString();
    ShowSource(index, true);
    return 1;
  }
  if (control == kFontCardAdd) {
    Add();
    return 1;
  }
  if (control == kIdOk) Apply();
  return 0;  // OK goes on to end the dialog
}

void FontCardListPage::Add() {
  GDriverData* printer = PrinterOf(GetFeature());
  if (!add_ || !add_wrapper_ || !printer) return;
  std::uint32_t free = FindFreeMsdIndex(printer, 0, kFontCardSources - 1);
  if (free >= kFontCardSources) free = 0;
  add_wrapper_->Prepare(free);
  if (add_->DoModal(GetDialogWindow(), 0) != kIdOk) return;
  const std::uint32_t index = add_wrapper_->Source();
  const RWWString& path = add_wrapper_->Path();
  if (index >= kFontCardSources) return;
  if (!IsFontCardReadable(printer, index, path)) {
    if (error_ && error_wrapper_) {
      error_wrapper_->Prepare(path, FontSourceName(RWWString(), index));
      error_->DoModal(GetDialogWindow(), 0);
    }
    return;
  }
  paths_[index] = path;
  disabled_[index] = false;
  added_[index] = true;  // an added card is enabled in so many words
  ShowSource(index, true);
}

void FontCardListPage::Apply() {
  GDriverData* printer = PrinterOf(GetFeature());
  if (!printer) return;
  for (std::uint32_t i = 0; i < kFontCardSources; ++i) {
    if (paths_[i] == initial_paths_[i]) continue;
    if (paths_[i].Length() == 0)
      RemoveMsdFontFile(printer, i, initial_paths_[i]);
    else
      WriteMsdFileName(printer, i, paths_[i]);
  }
  for (std::uint32_t i = 0; i < kFontCardSources; ++i) {
    if (disabled_[i] != initial_[i] || added_[i])
      SetMsdState(printer, i, disabled_[i] ? kStateDisable : kStateEnable);
  }
  UpdateMassStorageFontsFlag(printer);
  initial_ = disabled_;
  initial_paths_ = paths_;
  added_ = {};
}
