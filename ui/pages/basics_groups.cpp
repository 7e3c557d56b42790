#include "ui/pages/basics_groups.h"

#include <algorithm>
#include <array>
#include <string>

#include "config/attributes/copies_range.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/resource_library.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

constexpr std::size_t kEdit = 0;
constexpr std::size_t kSpin = 1;
// The copies group's collate box and its picture.
constexpr std::size_t kCollateBox = 2;
constexpr std::size_t kCollatePicture = 3;

// More characters than any number of the edits has; longer texts are no
// number.
constexpr int kMostTypedCharacters = 9;
// Without a copies range the device mode takes any positive count; the
// edit still keeps to four digits.
constexpr std::int32_t kFallbackMostCopies = 9999;

constexpr std::array<std::uint32_t, 4> kCopiesKeys = {kCopiesKey, kCopiesRangeKey, kCollateKey,
                                                      kCollationAvailableKey};
constexpr std::array<std::uint32_t, 3> kOrientationKeys = {kOrientationKey, kAllowedAnglesKey,
                                                           kOrientationFlipKey};
constexpr GGroupKeys kBasicsGroupKeys[] = {
    {"Copies", 1021, kCopiesKeys},
    {"Orientation", 1031, kOrientationKeys},
};

}  // namespace

std::span<const GGroupKeys> BasicsGroupKeys() {
  return kBasicsGroupKeys;
}

// --- The typed number.

std::optional<std::int64_t> GNumberEditWrapper::Parse(std::u16string_view text, int decimals) {
  while (!text.empty() && text.front() == u' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ')
    text.remove_suffix(1);
  std::int64_t whole = 0;
  int digits = 0;
  int fraction_digits = -1;  // -1: no point yet
  for (char16_t c : text) {
    if (c == u'.' && fraction_digits < 0 && decimals > 0) {
      fraction_digits = 0;
      continue;
    }
    if (c < u'0' || c > u'9') return std::nullopt;
    if (fraction_digits >= 0 && ++fraction_digits > decimals) return std::nullopt;
    if (++digits > kMostTypedCharacters) return std::nullopt;
    whole = whole * 10 + (c - u'0');
  }
  if (digits == 0) return std::nullopt;
  for (int i = std::max(fraction_digits, 0); i < decimals; ++i)
    whole *= 10;
  return whole;
}

RWWString GNumberEditWrapper::Format(std::int32_t steps, int decimals) {
  std::string digits = std::to_string(std::max(steps, 0));
  if (decimals > 0) {
    if (digits.size() <= std::size_t(decimals))
      digits.insert(0, std::size_t(decimals) + 1 - digits.size(), '0');
    digits.insert(digits.size() - std::size_t(decimals), 1, '.');
  }
  return RWWString(std::u16string(digits.begin(), digits.end()).c_str());
}

GControlKind GNumberEditWrapper::ExpectedKind(std::size_t index) const {
  if (index == kEdit) return GControlKind::kEdit;
  if (index == kSpin) return GControlKind::kUpDown;
  return GControlKind::kStatic;
}

void GNumberEditWrapper::OnInit() {
  SendDlgItemMessageW(GetDialogWindow(), GetControlId(kEdit), kEmLimitText,
                      kMostTypedCharacters + 1, 0);
}

std::u16string GNumberEditWrapper::EditText() const {
  std::u16string text(kMostTypedCharacters + 2, u'\0');
  const UINT length = GetDlgItemTextW(GetDialogWindow(), GetControlId(kEdit), text.data(),
                                      static_cast<int>(text.size()));
  text.resize(std::min<std::size_t>(length, text.size()));
  return text;
}

void GNumberEditWrapper::Show() {
  // The up-down's range runs upwards, so that its steps keep their sign.
  std::int32_t low = 0, high = 0;
  if (Limits(low, high))
    SendDlgItemMessageW(GetDialogWindow(), GetControlId(kSpin), kUdmSetRange32, WPARAM(low), high);
  SetDlgItemTextIfChanged(GetDialogWindow(), GetControlId(kEdit), Format(Shown(), decimals_));
}

void GNumberEditWrapper::UpdateControl(int force) {
  if (!force && !ValueChanged()) return;
  // A number being typed that already says the stored value stays as typed.
  const std::optional<std::int64_t> typed = Parse(EditText(), decimals_);
  if (!force && typed && *typed == Shown()) return;
  Show();
}

void GNumberEditWrapper::ReadTyped(bool leaving) {
  std::int32_t low = 0, high = 0;
  if (!Limits(low, high)) return;
  const std::optional<std::int64_t> typed = Parse(EditText(), decimals_);
  if (!typed) {
    if (leaving) Show();  // refused: the stored value stays
    return;
  }
  if (*typed < low || *typed > high) {
    if (!leaving) return;
    Store(static_cast<std::int32_t>(std::clamp<std::int64_t>(*typed, low, high)));
    Show();
    return;
  }
  Store(static_cast<std::int32_t>(*typed));
  if (leaving) Show();
}

LRESULT GNumberEditWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmNotify && lparam) {
    const auto* notify = reinterpret_cast<const UpDownNotify*>(lparam);
    if (notify->header.code != kUdnDeltaPos ||
        static_cast<int>(notify->header.id_from) != GetControlId(kSpin))
      return 0;
    // The wrapper moves the value itself: the up-down's own step is refused.
    std::int32_t low = 0, high = 0;
    if (Limits(low, high)) {
      const std::int64_t next =
          std::int64_t{Shown()} + (notify->delta > 0 ? spin_step_ : -spin_step_);
      Store(static_cast<std::int32_t>(std::clamp<std::int64_t>(next, low, high)));
      Show();
    }
    return 1;
  }
  if (message != kWmCommand || LowWord(wparam) != GetControlId(kEdit)) return 0;
  if (HighWord(wparam) == kEnKillFocus) {
    ReadTyped(true);
    return 1;
  }
  if (HighWord(wparam) == kEnChange) {
    ReadTyped(false);
    return 1;
  }
  return 0;
}

// --- Copies and collate.

int GCopiesFeature::GetState() {
  return GetContext()->GetSettingsView().Has(kCopiesKey) ? kStateEnabled : kStateDisabled;
}

void GCopiesFeature::GetRange(std::int32_t& low, std::int32_t& high) {
  const GCopiesRange range = GCopiesRange::Of(GetContext()->GetConfigView().Composite());
  // A device mode's copies are at least 1, whatever the range says.
  low = std::max<std::int32_t>(range.Minimum(), 1);
  // Without a range the edit keeps to four digits, not the 16-bit fallback.
  high = range.Exists() ? std::max<std::int32_t>(range.Maximum(), low) : kFallbackMostCopies;
}

int GCollateFeature::GetState() {
  GUIContext* context = GetContext();
  std::int32_t available = 0;
  context->GetConfigView().GetValue(kCollationAvailableKey, available);
  return available != 0 && context->GetSettingsView().Has(kCollateKey) ? kStateEnabled
                                                                       : kStateDisabled;
}

GControlKind GCopiesWrapper::ExpectedKind(std::size_t index) const {
  return index == kCollateBox ? GControlKind::kCheckBox : GNumberEditWrapper::ExpectedKind(index);
}

void GCopiesWrapper::RefreshState() {
  GNumberEditWrapper::RefreshState();
  const bool collate =
      collate_->GetState() == kStateEnabled && GetFeature()->GetState() == kStateEnabled;
  EnableItem(kCollateBox, collate);
  EnableItem(kCollatePicture, collate);
}

void GCopiesWrapper::UpdateControl(int force) {
  GNumberEditWrapper::UpdateControl(force);
  if (force || collate_->WasChanged()) {
    CheckDlgButton(GetDialogWindow(), GetControlId(kCollateBox),
                   collate_->GetValue() == 1 ? kBstChecked : kBstUnchecked);
  }
}

LRESULT GCopiesWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kWmCommand && LowWord(wparam) == GetControlId(kCollateBox)) {
    if (HighWord(wparam) != kBnClicked || collate_->GetState() != kStateEnabled) return 0;
    collate_->SetValue(
        IsDlgButtonChecked(GetDialogWindow(), GetControlId(kCollateBox)) == kBstChecked ? 1 : 0);
    return 1;
  }
  return GNumberEditWrapper::HandleMessage(message, wparam, lparam);
}

bool GCopiesWrapper::Limits(std::int32_t& low, std::int32_t& high) {
  if (Copies()->GetState() != kStateEnabled) return false;
  Copies()->GetRange(low, high);
  return true;
}

std::int32_t GCopiesWrapper::Shown() {
  return Copies()->GetValue();
}

void GCopiesWrapper::Store(std::int32_t steps) {
  if (steps != Copies()->GetValue()) Copies()->SetValue(steps);
}

bool GCopiesWrapper::ValueChanged() {
  return Copies()->WasChanged();
}
