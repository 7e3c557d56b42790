// GModalDialog: a dialog of the resource library shown modally over a page
// (custom paper size, watermark details, the instructions ...), with the
// page's wrappers, routing and help (GDialogBase). OK and Cancel end it
// with their ids, after the wrappers have seen the click.
//
// DoModal with snapshot mode 1 takes a snapshot of the settings first and,
// when the dialog is cancelled, restores it in place (the settings
// composite keeps its address); otherwise the changes stay.
//
// ModalDlgProc is its dialog procedure: the dialog object travels as the
// creation parameter and is kept in the dialog's user slot.
//
// Ownership: the page or builder that made it. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "platform/host/types.h"
#include "ui/framework/dialog_base.h"

class GModalDialog : public GDialogBase {
 public:
  using GDialogBase::GDialogBase;

  // Runs the dialog owned by `owner`; answers its result (-1 when it
  // cannot be made).
  virtual platform::INT_PTR DoModal(platform::HWND owner, int snapshot_mode);

  platform::INT_PTR HandleMessage(platform::HWND dialog, platform::UINT message,
                                  platform::WPARAM wparam, platform::LPARAM lparam) override;

  static platform::INT_PTR ModalDlgProc(platform::HWND dialog, platform::UINT message,
                                        platform::WPARAM wparam, platform::LPARAM lparam);
};
