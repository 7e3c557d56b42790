// GControlWrapper: the view side of a group of dialog controls bound to one
// feature. It copies its control table (pairs of control id and help id,
// ended by (0, 0); the first control is the group's main control; help id
// -1 means no context help), shows and enables its controls by the
// feature's state, writes the controls from the model (UpdateControl) and
// the model from the controls (ReadControl).
//
// The shown and enabled flags remember what the controls were last told,
// and the two validity flags whether they were told at all: SetState only
// calls the host for a state that changed, and a forced refresh tells them
// again. Enabling is refused while the feature's access flags have bit 0
// (read-only access) or the wrapper is disabled.
//
// The dialog (GDialogBase) attaches its window, routes the messages of the
// wrapper's controls to HandleMessage and refreshes the wrapper after each
// change.
//
// Ownership: the wrapper owns its feature (deleted with it) and its table
// copy; the dialog that it was added to owns the wrapper. Threads: the
// sheet's.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/host/types.h"
#include "ui/framework/control_kind.h"

class GDialogBase;
class GFeature;

// One entry of a control table.
struct GControlEntry {
  std::int32_t control_id;
  std::int32_t help_id;  // kNoHelp: no context help
};
inline constexpr std::int32_t kNoHelp = -1;

// Feature states.
inline constexpr int kStateEnabled = 0;
inline constexpr int kStateDisabled = 1;
inline constexpr int kStateHidden = 2;

class GControlWrapper {
 public:
  // Copies `table` up to its (0, 0) end. REQUIRES: `table` is ended so.
  GControlWrapper(GFeature* feature, const GControlEntry* table);
  GControlWrapper(const GControlWrapper&) = delete;
  GControlWrapper& operator=(const GControlWrapper&) = delete;
  // The virtual operations follow in slot order, the destructor first.
  // Deletes the feature.
  virtual ~GControlWrapper();

  // With `force` the controls are told their state again; then
  // RefreshState and UpdateControl(force).
  virtual void Refresh(int force);
  // WM_COMMAND reads the control (ReadControl) and answers 1; any other
  // message 0. A WM_COMMAND from a control whose kind the wrapper names
  // (ExpectedKind) is read only when its notification means a change (a
  // click, a selection change, an edit losing focus).
  virtual platform::LRESULT HandleMessage(platform::UINT message, platform::WPARAM wparam,
                                          platform::LPARAM lparam);
  // Nothing here.
  virtual void OnInit();
  // Whether `window` is one of the wrapper's controls.
  virtual bool OwnsWindow(platform::HWND window) const;
  // Whether the table holds `control_id`.
  virtual bool HasControlId(std::int32_t control_id) const;
  // Whether `other` drives the same main control of the same dialog.
  virtual bool IsSame(const GControlWrapper& other) const;
  // The table copy, (0, 0) ended.
  virtual const GControlEntry* GetIdTable() const { return table_.data(); }
  // Nothing here.
  virtual void UpdateControl(int force);
  virtual void ReadControl();
  // Tells the controls the feature's state (SetState).
  virtual void RefreshState() = 0;
  // 0 shows and enables, 1 shows and disables, 2 hides and disables.
  virtual void SetState(int state);
  // Every control, or the control of entry `index`.
  virtual void EnableAll(bool enable);
  virtual void EnableItem(std::size_t index, bool enable);
  virtual void ShowAll(bool show);
  virtual void ShowItem(std::size_t index, bool show);
  // The dialog the wrapper is attached to.
  virtual platform::HWND GetDialogWindow() const { return dialog_; }

  // Operations of our own, after the slots above.
  // The kind of control entry `index` drives; kAny (the base) is not
  // checked and lets every notification through.
  virtual GControlKind ExpectedKind(std::size_t index) const;
  // Appends the dialogs the wrapper keeps (and opens) to `out`.
  virtual void CollectDialogs(std::vector<GDialogBase*>* out) const;

  // The control id of entry `index` (0 past the end).
  std::int32_t GetControlId(std::size_t index) const;
  // The control window of entry `index` (null when the dialog lacks it).
  platform::HWND GetControl(std::size_t index) const;
  std::size_t GetControlCount() const { return table_.size() - 1; }
  // The index of `control_id` in the table; GetControlCount() when absent.
  std::size_t IndexOfControl(std::int32_t control_id) const;
  // Whether WM_COMMAND's `wparam` comes from one of the wrapper's controls
  // with a notification that means a change (IsChangeNotification of the
  // control's expected kind).
  bool IsChangeCommand(platform::WPARAM wparam) const;
  // A message box with the resource library's texts (ResMessageBox).
  int MessageBox(platform::HWND owner, std::uint32_t text_id, std::uint32_t caption_id,
                 platform::UINT flags) const;

  void AttachDialog(platform::HWND dialog) { dialog_ = dialog; }
  GFeature* GetFeature() const { return feature_; }

 private:
  platform::HWND dialog_ = nullptr;
  bool shown_ = true;
  bool enabled_ = true;
  bool shown_valid_ = false;
  bool enabled_valid_ = false;
  std::vector<GControlEntry> table_;  // the pairs and the (0, 0) end
  GFeature* feature_;
};
