// GDialogBase: what property pages and modal dialogs share: the wrappers
// of the page (added in order; the order of initialisation, refresh and
// search), the merged help table, and the routing of the dialog's messages.
//
// Routing:
//   - WM_INITDIALOG: within an update owned by the page, each wrapper is
//     attached to the window and its OnInit runs; then a forced dispatch
//     and a forced refresh of every wrapper.
//   - A control's message (WM_COMMAND, a control's WM_NOTIFY, WM_VSCROLL
//     and WM_HSCROLL): within an update owned by the page, it goes to the
//     wrappers that hold the control id, in order, until one handles it;
//     then the rules run (DispatchChanges(0)) and every wrapper refreshes
//     (forced when the context asks, after a revert or a restore).
//   - WM_DRAWITEM and WM_SETCURSOR go to the control's wrappers only.
//   - The sheet's set-active notice: a forced dispatch and a forced
//     refresh.
//   - Help, when the page has it: WM_HELP and WM_CONTEXTMENU call WinHelpA
//     with the help table; the help button (9) and the sheet's help notice
//     with the page's help context id.
//
// Ownership: the dialog owns its wrappers (deleted with it, in order).
// Threads: the sheet's.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/host/types.h"

class GControlWrapper;
class GUIContext;

// The help button's control id.
inline constexpr int kIdHelp = 9;

class GDialogBase {
 public:
  // REQUIRES: `context` outlives the dialog.
  GDialogBase(std::uint32_t template_id, GUIContext* context, int with_help,
              std::uint32_t help_context);
  GDialogBase(const GDialogBase&) = delete;
  GDialogBase& operator=(const GDialogBase&) = delete;
  virtual ~GDialogBase();

  // Appends `wrapper` (null: nothing), which the dialog owns.
  virtual void AddWrapper(GControlWrapper* wrapper);
  // The routing above; the dialog procedure's answer.
  virtual platform::INT_PTR HandleMessage(platform::HWND dialog, platform::UINT message,
                                          platform::WPARAM wparam, platform::LPARAM lparam);
  // Refresh of every wrapper, in order.
  virtual void RefreshAll(int force);
  // Builds the pairs (control id, help id) of every wrapper's table, in
  // order, without those whose help id is -1, ended by (0, 0).
  virtual void BuildHelpTable();

  const std::vector<platform::DWORD>& HelpTable() const { return help_table_; }
  const std::vector<GControlWrapper*>& Wrappers() const { return wrappers_; }
  std::uint32_t TemplateId() const { return template_id_; }
  GUIContext* GetContext() const { return context_; }
  platform::HWND Window() const { return window_; }

 protected:
  // A forced dispatch and a forced refresh, within an update; skipped when
  // the page's initialisation has just done both and nothing reached the
  // page in between (a page is made when it is first shown).
  void ActivatePage();
  // The control road above; the first handling wrapper's answer.
  platform::INT_PTR RouteControlMessage(int control_id, platform::UINT message,
                                        platform::WPARAM wparam, platform::LPARAM lparam);
  // To the control's wrappers only.
  platform::INT_PTR SendToWrappers(int control_id, platform::UINT message, platform::WPARAM wparam,
                                   platform::LPARAM lparam);
  bool HoldsControl(int control_id) const;
  // WinHelpA with the help file and `command`: the help table for the
  // table commands, the help context id otherwise.
  void ShowHelp(platform::HWND window, platform::UINT command);

 private:
  std::uint32_t template_id_;
  GUIContext* context_;
  int with_help_;
  std::uint32_t help_context_;
  platform::HWND window_ = nullptr;
  // Set by the initialisation's dispatch and refresh, cleared by anything
  // routed to the wrappers and by the first activation.
  bool just_initialised_ = false;
  std::vector<GControlWrapper*> wrappers_;
  std::vector<platform::DWORD> help_table_;
};
