// GPropertyPage: one page of a property sheet, made by a page builder on
// one of the host's page records. The constructor fills the record: flags
// 16 (48 with help), the resource library as instance, the template id as
// an integer resource name and PropertyPageProc as dialog procedure; and
// puts the page into the host's page entry (offset 24 of UIPageEntry), to
// which the record's application value points.
//
// PropertyPageProc is the dialog procedure of every page of this plug-in:
// at WM_INITDIALOG it keeps the page record's pointer in the dialog's user
// slot (DWLP_USER), where the host's hook finds it too; it reaches the
// page through the record's page entry, lets it handle the message, and
// then forwards every message to the host's hook (the host record's
// `hook`). Its answer is the page's, or the hook's when the page answered
// 0.
//
// Ownership: the page belongs to the plug-in (UI_DESTROY deletes it
// through the entry); the record, the entry and the host record are the
// host's. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "driver/ui_plugin_records.h"
#include "platform/host/types.h"
#include "ui/framework/dialog_base.h"

// Flags a page record of this plug-in always carries; kPspHasHelp is
// added for a page with help.
inline constexpr std::uint32_t kPageFlags = 0x10;

class GPropertyPage : public GDialogBase {
 public:
  // REQUIRES: `record` is not null. Its `lparam` is the host's UIPageEntry
  // (one without the marker 28 is left alone) or 0.
  GPropertyPage(platform::PropSheetPageW* record, platform::HMODULE library,
                std::uint32_t template_id, GUIContext* context, int with_help,
                std::uint32_t help_context);

  platform::PropSheetPageW* Record() const { return record_; }

 private:
  platform::PropSheetPageW* record_;
};

platform::INT_PTR PropertyPageProc(platform::HWND dialog, platform::UINT message,
                                   platform::WPARAM wparam, platform::LPARAM lparam);
