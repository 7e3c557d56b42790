#include "ui/pages/job_storage_notice.h"

#include "ui/pages/timed_dialog.h"

namespace {

constexpr std::uint32_t kNoticePeriodSeconds = 10;

}  // namespace

int ShowJobStorageNotice(const GJobStorageNotice& notice) {
  GTimedDialog dialog(kTimedDialogTemplate, kNoticePeriodSeconds, notice.texts[0], notice.texts[1],
                      notice.texts[2], notice.texts[3], notice.texts[4]);
  dialog.SetHelpFile(notice.help_file);
  dialog.DoModal(nullptr, notice.resource_library);
  return dialog.GetShowAgain();
}

void InstallJobStorageNotice() {
  SetJobStorageNoticeShower(&ShowJobStorageNotice);
}
