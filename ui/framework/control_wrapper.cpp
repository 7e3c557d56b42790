#include "ui/framework/control_wrapper.h"

#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/feature.h"
#include "ui/framework/resource_library.h"

GControlWrapper::GControlWrapper(GFeature* feature, const GControlEntry* table)
    : feature_(feature) {
  for (; table && (table->control_id != 0 || table->help_id != 0); ++table)
    table_.push_back(*table);
  table_.push_back({0, 0});
}

GControlWrapper::~GControlWrapper() {
  delete feature_;
}

void GControlWrapper::Refresh(int force) {
  if (force) shown_valid_ = enabled_valid_ = false;
  RefreshState();
  UpdateControl(force);
}

platform::LRESULT GControlWrapper::HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                                 platform::LPARAM) {
  if (message != platform::kWmCommand) return 0;
  if (!IsChangeCommand(wparam)) return 0;
  ReadControl();
  return 1;
}

GControlKind GControlWrapper::ExpectedKind(std::size_t) const {
  return GControlKind::kAny;
}

void GControlWrapper::CollectDialogs(std::vector<GDialogBase*>*) const {}

std::size_t GControlWrapper::IndexOfControl(std::int32_t control_id) const {
  for (std::size_t i = 0; i < GetControlCount(); ++i)
    if (table_[i].control_id == control_id) return i;
  return GetControlCount();
}

bool GControlWrapper::IsChangeCommand(platform::WPARAM wparam) const {
  const std::size_t index = IndexOfControl(platform::LowWord(wparam));
  // A command the table does not hold (a routed id of a shared control)
  // is the wrapper's own business, as before.
  if (index == GetControlCount()) return true;
  return IsChangeNotification(ExpectedKind(index), platform::HighWord(wparam));
}

void GControlWrapper::OnInit() {}

bool GControlWrapper::OwnsWindow(platform::HWND window) const {
  if (!window || !dialog_) return false;
  for (std::size_t i = 0; i < GetControlCount(); ++i)
    if (GetControl(i) == window) return true;
  return false;
}

bool GControlWrapper::HasControlId(std::int32_t control_id) const {
  for (std::size_t i = 0; i < GetControlCount(); ++i)
    if (table_[i].control_id == control_id) return true;
  return false;
}

bool GControlWrapper::IsSame(const GControlWrapper& other) const {
  return dialog_ == other.dialog_ && GetControlId(0) == other.GetControlId(0);
}

void GControlWrapper::UpdateControl(int) {}

void GControlWrapper::ReadControl() {}

void GControlWrapper::SetState(int state) {
  const bool show = state != kStateHidden;
  const bool enable = state == kStateEnabled;
  if (!shown_valid_ || shown_ != show) {
    shown_ = show;
    shown_valid_ = true;
    ShowAll(show);
  }
  if (!enabled_valid_ || enabled_ != enable) {
    // The flag first: enabling an item is refused while it is clear.
    enabled_ = enable;
    enabled_valid_ = true;
    EnableAll(enable);
  }
}

void GControlWrapper::EnableAll(bool enable) {
  for (std::size_t i = 0; i < GetControlCount(); ++i)
    EnableItem(i, enable);
}

void GControlWrapper::EnableItem(std::size_t index, bool enable) {
  if (enable && (!enabled_ || (feature_ && (feature_->GetAccessFlags() & 0x1)))) return;
  if (platform::HWND control = GetControl(index)) platform::EnableWindow(control, enable);
}

void GControlWrapper::ShowAll(bool show) {
  for (std::size_t i = 0; i < GetControlCount(); ++i)
    ShowItem(i, show);
}

void GControlWrapper::ShowItem(std::size_t index, bool show) {
  if (platform::HWND control = GetControl(index))
    platform::ShowWindow(control, show ? platform::kSwShow : platform::kSwHide);
}

std::int32_t GControlWrapper::GetControlId(std::size_t index) const {
  return index < GetControlCount() ? table_[index].control_id : 0;
}

platform::HWND GControlWrapper::GetControl(std::size_t index) const {
  const std::int32_t id = GetControlId(index);
  return dialog_ && id != 0 ? platform::GetDlgItem(dialog_, id) : nullptr;
}

int GControlWrapper::MessageBox(platform::HWND owner, std::uint32_t text_id,
                                std::uint32_t caption_id, platform::UINT flags) const {
  return ResMessageBox(owner, text_id, caption_id, flags);
}
