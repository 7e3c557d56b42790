// GDriverContext: the manual-duplex notice. The rendering side hears of
// the first pass's end through the escape 0x303EB8EE; the user is then
// shown how to turn the paper over, on a sheet without property pages that
// the user-interface plug-ins fill (page index 0x789A).
#include <memory>
#include <new>

#include "config/keys/settings_keys.h"
#include "driver/document/escape_records.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "foundation/rw/support.h"
#include "services/os_factory.h"

namespace {

constexpr std::uint32_t kInstructionsPageFlags = 3;

// Both kDuplexKey and kManualDuplexKey exist and are non-zero.
bool IsManualDuplexJob(GAttributeComposite* defaults) {
  GValueAttribute* manual = FindValueAttribute(defaults, kDuplexKey);
  GValueAttribute* pass = FindValueAttribute(defaults, kManualDuplexKey);
  return manual && pass && manual->GetValue() != 0 && pass->GetValue() != 0;
}

}  // namespace

platform::LPARAM NonPropPageSheet(platform::HANDLE, platform::UINT, platform::LPARAM first,
                                  platform::LPARAM) {
  return first;
}

int GDriverContext::SendManualDuplexState(platform::HDC dc, std::uint32_t state) {
  GAttributeComposite* defaults = GetDefaultSettings();
  if (!IsManualDuplexJob(defaults)) return 1;
  const int answer = SendStateEscape(dc, kEscapeManualDuplex, kManualDuplexMarker, state, 0);
  if (state == 1 && answer == 1 &&
      !FindOfClass<MPersistentObject>(defaults, kManualDuplexInstructionsKey))
    ShowManualDuplexInstructions();
  return 1;
}

int GDriverContext::ShowManualDuplexInstructions() {
  if (!IsManualDuplexJob(GetDefaultSettings())) return 1;
  shown_sheet_record_ = CreateSheetRecord();
  if (shown_sheet_record_) {
    GSheetRecord& record = *shown_sheet_record_;
    record.page_flags = kInstructionsPageFlags;
    record.access_flags = 0;
    GOSFactory* services = GOSFactory::Instance();
    record.property_sheet = services ? services->GetModuleHandle() : nullptr;
    record.service_callback = &NonPropPageSheet;
    std::unique_ptr<GUIPluginPageList> hook(new (kRWNoThrow) GUIPluginPageList);
    if (hook) {
      hook->AddPages(&record, kUIManualDuplexIndex);
      hook->FreePages(&record);
    }
    DeleteSheetRecord(shown_sheet_record_);
    shown_sheet_record_ = nullptr;
  }
  if (own_handle_) {
    UseOwnHandle(0);
    ClosePrinterHandle();
  }
  return 1;
}
