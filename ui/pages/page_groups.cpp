#include "ui/pages/page_groups.h"

#include "platform/ui/messages.h"

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
