#include "ui/pages/font_card_list.h"

#include "config/fonts/font_sources.h"
#include "driver/ui_driver_data.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

constexpr std::uint32_t kMsdDisabledBit = 2;
constexpr std::uint32_t kStateDisable = 2;
constexpr std::uint32_t kStateEnable = 1;

GDriverData* PrinterOf(GFeature* feature) {
  return feature->GetContext()->GetDriverContext();
}

}  // namespace

void FontCardListPage::OnInit() {
  GDriverData* printer = PrinterOf(GetFeature());
  SendDlgItemMessageW(GetDialogWindow(), kFontCardList, kLbResetContent, 0, 0);
  for (std::uint32_t i = 0; i < kFontCardSources; ++i) {
    initial_[i] = printer && (GetMsdState(printer, i) & kMsdDisabledBit) != 0;
    disabled_[i] = initial_[i];
    ShowSource(i, false);
  }
}

void FontCardListPage::ShowSource(std::uint32_t index, bool replace) {
  GDriverData* printer = PrinterOf(GetFeature());
  RWWString name = printer ? ReadMsdFileName(printer, index) : RWWString();
  std::u16string text(name.Data() ? name.Data() : u"");
  const std::size_t slash = text.find_last_of(u"\\/");
  if (slash != std::u16string::npos) text.erase(0, slash + 1);
  if (text.empty()) {
    const std::string number = std::to_string(index + 1);
    text.assign(number.begin(), number.end());
  }
  text += disabled_[index] ? u" (Disabled)" : u" (Enabled)";
  HWND dialog = GetDialogWindow();
  if (replace) SendDlgItemMessageW(dialog, kFontCardList, kLbDeleteString, index, 0);
  const auto at = static_cast<WPARAM>(replace ? index : static_cast<std::uint32_t>(-1));
  SendDlgItemMessageW(dialog, kFontCardList, kLbInsertString, at,
                      reinterpret_cast<LPARAM>(text.c_str()));
}

LRESULT FontCardListPage::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked)
    return GPageWrapper::HandleMessage(message, wparam, lparam);
  if (LowWord(wparam) == kFontCardToggle) {
    const LRESULT selected =
        SendDlgItemMessageW(GetDialogWindow(), kFontCardList, kLbGetCurSel, 0, 0);
    if (selected < 0 || selected >= LRESULT(kFontCardSources)) return 1;
    const auto index = static_cast<std::uint32_t>(selected);
    disabled_[index] = !disabled_[index];
    ShowSource(index, true);
    SendDlgItemMessageW(GetDialogWindow(), kFontCardList, kLbSetCurSel, index, 0);
    return 1;
  }
  if (LowWord(wparam) == kIdOk) Apply();
  return 0;  // OK goes on to end the dialog
}

void FontCardListPage::Apply() {
  GDriverData* printer = PrinterOf(GetFeature());
  if (!printer) return;
  for (std::uint32_t i = 0; i < kFontCardSources; ++i) {
    if (disabled_[i] != initial_[i])
      SetMsdState(printer, i, disabled_[i] ? kStateDisable : kStateEnable);
  }
  initial_ = disabled_;
}
