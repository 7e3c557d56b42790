#include "ui/framework/property_page.h"

#include "driver/property_sheet_hook.h"
#include "platform/host/boundary.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"

using namespace platform;

GPropertyPage::GPropertyPage(PropSheetPageW* record, HMODULE library, std::uint32_t template_id,
                             GUIContext* context, int with_help, std::uint32_t help_context)
    : GDialogBase(template_id, context, with_help, help_context), record_(record) {
  record->flags = kPageFlags | (with_help ? kPspHasHelp : 0);
  record->instance = library;
  record->template_name = MakeIntResourceW(template_id);
  record->dialog_procedure = PropertyPageProc;
  if (UIPageEntry* entry = PageEntryOf(record)) entry->page_object = this;
}

INT_PTR PropertyPageProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  return AnswerAtBoundary<INT_PTR>(0, [&] {
    // Noted before the page acts, so that an apply coming after sees it.
    if (message != kWmNotify || lparam == 0 ||
        reinterpret_cast<const NotifyHeader*>(lparam)->code != kPsnApply)
      NotePageActivity();
    if (message == kWmInitDialog) SetWindowLongPtrW(dialog, kDwlpUser, lparam);
    const auto* record =
        reinterpret_cast<const PropSheetPageW*>(GetWindowLongPtrW(dialog, kDwlpUser));
    const UIPageEntry* entry = PageEntryOf(record);
    INT_PTR result = 0;
    if (auto* page = entry ? static_cast<GPropertyPage*>(entry->page_object) : nullptr)
      result = page->HandleMessage(dialog, message, wparam, lparam);
    GUIData* host = entry ? entry->host : nullptr;
    if (host && host->hook) {
      const auto hooked = host->hook(dialog, message, wparam, lparam, host);
      if (result == 0) result = static_cast<INT_PTR>(hooked);
    }
    return result;
  });
}
