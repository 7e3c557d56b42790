#include "ui/framework/dialog_base.h"

#include "platform/ui/dialog.h"
#include "platform/ui/help.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "ui/framework/control_wrapper.h"
#include "ui/framework/ui_context.h"

using namespace platform;

namespace {

// An update of `context` owned by `window` for the life of the scope.
class UpdateScope {
 public:
  UpdateScope(GUIContext* context, HWND window) : context_(context) {
    if (context_) context_->BeginUpdate(window);
  }
  ~UpdateScope() {
    if (context_) context_->EndUpdate();
  }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  GUIContext* context_;
};

}  // namespace

GDialogBase::GDialogBase(std::uint32_t template_id, GUIContext* context, int with_help,
                         std::uint32_t help_context)
    : template_id_(template_id),
      context_(context),
      with_help_(with_help),
      help_context_(help_context) {}

GDialogBase::~GDialogBase() {
  for (GControlWrapper* wrapper : wrappers_)
    delete wrapper;
}

void GDialogBase::AddWrapper(GControlWrapper* wrapper) {
  if (wrapper) wrappers_.push_back(wrapper);
}

void GDialogBase::RefreshAll(int force) {
  for (GControlWrapper* wrapper : wrappers_)
    wrapper->Refresh(force);
}

void GDialogBase::BuildHelpTable() {
  help_table_.clear();
  for (const GControlWrapper* wrapper : wrappers_) {
    for (const GControlEntry* entry = wrapper->GetIdTable(); entry->control_id != 0; ++entry) {
      if (entry->help_id == kNoHelp) continue;
      help_table_.push_back(static_cast<DWORD>(entry->control_id));
      help_table_.push_back(static_cast<DWORD>(entry->help_id));
    }
  }
  help_table_.push_back(0);
  help_table_.push_back(0);
}

INT_PTR GDialogBase::HandleMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kWmInitDialog: {
      window_ = dialog;
      UpdateScope update(context_, dialog);
      for (GControlWrapper* wrapper : wrappers_) {
        wrapper->AttachDialog(dialog);
        wrapper->OnInit();
      }
      if (context_) context_->DispatchChanges(1);
      RefreshAll(1);
      just_initialised_ = true;
      return 1;
    }
    case kWmDestroy:
      window_ = nullptr;
      just_initialised_ = false;
      return 0;
    case kWmCommand:
      if (LowWord(wparam) == kIdHelp && with_help_ && !HoldsControl(kIdHelp)) {
        ShowHelp(dialog, kHelpContext);
        return 1;
      }
      return RouteControlMessage(LowWord(wparam), message, wparam, lparam);
    case kWmNotify: {
      const auto* header = reinterpret_cast<const NotifyHeader*>(lparam);
      if (!header) return 0;
      if (header->code == kPsnSetActive) {
        ActivatePage();
        return 0;
      }
      if (header->code == kPsnHelp) {
        if (with_help_) ShowHelp(dialog, kHelpContext);
        return 0;
      }
      if (header->code <= kPsnSetActive && header->code >= kPsnHelp) return 0;
      return RouteControlMessage(static_cast<int>(header->id_from), message, wparam, lparam);
    }
    case kWmVScroll:
    case kWmHScroll:
      return RouteControlMessage(GetDlgCtrlID(reinterpret_cast<HWND>(lparam)), message, wparam,
                                 lparam);
    case kWmDrawItem:
      return SendToWrappers(static_cast<int>(wparam), message, wparam, lparam);
    case kWmSetCursor:
      return SendToWrappers(GetDlgCtrlID(reinterpret_cast<HWND>(wparam)), message, wparam, lparam);
    case kWmHelp: {
      const auto* info = reinterpret_cast<const HelpInfo*>(lparam);
      if (!with_help_ || !info) return 0;
      ShowHelp(static_cast<HWND>(info->item), kHelpWmHelp);
      return 1;
    }
    case kWmContextMenu:
      if (!with_help_) return 0;
      ShowHelp(reinterpret_cast<HWND>(wparam), kHelpContextMenu);
      return 1;
    default:
      return 0;
  }
}

void GDialogBase::ActivatePage() {
  if (just_initialised_) {
    just_initialised_ = false;
    return;
  }
  UpdateScope update(context_, window_);
  if (context_) context_->DispatchChanges(1);
  RefreshAll(1);
}

INT_PTR GDialogBase::RouteControlMessage(int control_id, UINT message, WPARAM wparam,
                                         LPARAM lparam) {
  UpdateScope update(context_, window_);
  const INT_PTR handled = SendToWrappers(control_id, message, wparam, lparam);
  if (context_) context_->DispatchChanges(0);
  RefreshAll(context_ && context_->TakeForcedRefresh() ? 1 : 0);
  return handled;
}

INT_PTR GDialogBase::SendToWrappers(int control_id, UINT message, WPARAM wparam, LPARAM lparam) {
  just_initialised_ = false;
  if (control_id == 0) return 0;
  for (GControlWrapper* wrapper : wrappers_) {
    if (!wrapper->HasControlId(control_id)) continue;
    if (const LRESULT handled = wrapper->HandleMessage(message, wparam, lparam)) return handled;
  }
  return 0;
}

bool GDialogBase::HoldsControl(int control_id) const {
  for (const GControlWrapper* wrapper : wrappers_)
    if (wrapper->HasControlId(control_id)) return true;
  return false;
}

void GDialogBase::ShowHelp(HWND window, UINT command) {
  const RWCString file = context_ ? context_->GetHelpFile() : RWCString();
  if (command == kHelpContext) {
    WinHelpA(window, file.Data(), command, help_context_);
    return;
  }
  if (help_table_.empty()) BuildHelpTable();
  WinHelpA(window, file.Data(), command, reinterpret_cast<ULONG_PTR>(help_table_.data()));
}
