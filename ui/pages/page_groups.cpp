#include "ui/pages/page_groups.h"

#include "driver/devmode/driver_settings.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "ui/framework/ui_context.h"

using namespace platform;

int GPageFeature::GetState() {
  return flag_ ? GetUIState(flag_) : kStateEnabled;
}

void GPageWrapper::RefreshState() {
  SetState(GetFeature()->GetState());
}

LRESULT GDialogButtonWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  if (message != kWmCommand || HighWord(wparam) != kBnClicked ||
      LowWord(wparam) != GetControlId(0)) {
    return 0;
  }
  constexpr int kSnapshotMode = 1;  // Cancel restores the settings
  dialog_->DoModal(GetDialogWindow(), kSnapshotMode);
  return 1;
}

namespace {

// The orientation group's buttons.
constexpr std::size_t kPortraitButton = 0;
constexpr std::size_t kLandscapeButton = 1;

}  // namespace

void GOrientationFeature::Choose(bool landscape) {
  std::uint16_t angle = 0;
  if (ChooseOrientationAngle(GetContext()->GetConfiguration(),
                             static_cast<std::uint16_t>(GetValue()), landscape, angle)) {
    SetValue(angle);
  }
}

bool GOrientationFeature::IsLandscape() {
  return IsLandscapeAngle(GetContext()->GetConfiguration(), static_cast<std::uint16_t>(GetValue()));
}

void GOrientationWrapper::UpdateControl(int force) {
  auto* feature = static_cast<GOrientationFeature*>(GetFeature());
  if (!force && !feature->WasChanged()) return;
  const bool landscape = feature->IsLandscape();
  CheckDlgButton(GetDialogWindow(), GetControlId(kPortraitButton),
                 landscape ? kBstUnchecked : kBstChecked);
  CheckDlgButton(GetDialogWindow(), GetControlId(kLandscapeButton),
                 landscape ? kBstChecked : kBstUnchecked);
}

LRESULT GOrientationWrapper::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  const int control = LowWord(wparam);
  if (message != kWmCommand || HighWord(wparam) != kBnClicked ||
      (control != GetControlId(kPortraitButton) && control != GetControlId(kLandscapeButton))) {
    return 0;
  }
  static_cast<GOrientationFeature*>(GetFeature())
      ->Choose(control == GetControlId(kLandscapeButton));
  return 1;
}

void GDialogButtonWrapper::CollectDialogs(std::vector<GDialogBase*>* out) const {
  out->push_back(dialog_.get());
  for (const auto& dialog : kept_)
    out->push_back(dialog.get());
}
