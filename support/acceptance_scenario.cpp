#include "support/acceptance_scenario.h"

#include "config/attributes/attribute_composite.h"
#include "driver/devmode/dev_mode_settings.h"
#include "driver/driver_context.h"
#include "driver/printer_key.h"
#include "platform/host/printer_interface.h"
#include "platform/ui/message_boxes.h"
#include "platform/ui/property_sheet.h"
#include "services/driver_server.h"
#include "support/ui_user.h"

namespace support {
namespace {

// The document sheet's header as the system fills it: 28 bytes.
constexpr platform::WORD kDocumentHeaderSize = 28;

using DocumentPropertiesEntry = platform::LONG(platform::HWND, platform::HANDLE, const char16_t*,
                                               platform::DevModeW*, platform::DevModeW*,
                                               platform::DWORD);

platform::DevModeW* AsDevMode(Record* record) {
  return record ? reinterpret_cast<platform::DevModeW*>(record->data()) : nullptr;
}

// The caption of the page just opened.
void Opened(SheetDriver& sheet, ScenarioSheet* seen) {
  if (seen) seen->opened.push_back(WindowText(sheet.page().Handle()));
}

}  // namespace

platform::LONG DocumentProperties(const AcceptanceInstall& install, platform::HANDLE printer,
                                  const char16_t* name, Record* out, Record* in,
                                  platform::DWORD mode) {
  auto* call = install.Entry<DocumentPropertiesEntry>("DrvDocumentProperties");
  return call ? call(nullptr, printer, name, AsDevMode(out), AsDevMode(in), mode) : -1;
}

platform::LONG DocumentSheetThroughService(const AcceptanceInstall& install,
                                           platform::HANDLE printer, const char16_t* name,
                                           Record* out, Record* in, platform::DWORD mode) {
  auto* sheets = install.Entry<platform::LONG(platform::PropSheetUiInfo*, platform::LPARAM)>(
      "DrvDocumentPropertySheets");
  platform::DocumentPropertyHeader header{kDocumentHeaderSize,
                                          0,
                                          printer,
                                          const_cast<char16_t*>(name),
                                          AsDevMode(in),
                                          AsDevMode(out),
                                          platform::DWORD(out ? out->size() : 0),
                                          mode};
  platform::ULONG_PTR result = 0;
  if (!sheets || platform::CommonPropertySheetUIW(
                     nullptr, sheets, reinterpret_cast<platform::LPARAM>(&header), &result) != 1)
    return -1;
  return platform::LONG(result);
}

Record ScenarioRequest(const AcceptanceInstall& install, platform::HANDLE printer,
                       const char16_t* name) {
  Record in(kAcceptanceRecordBytes);
  if (DocumentProperties(install, printer, name, &in, nullptr, platform::kDmModeCopy) != 1)
    return {};
  in[94] = 2, in[95] = 0;  // dmDuplex: the long edge
  in[73] |= 0x10;          // dmFields: DM_DUPLEX (0x1000)
  return in;
}

void QueueScenarioSheet(bool every_page, ScenarioSheet* seen) {
  OnSheet([every_page, seen](SheetDriver& sheet) {
    if (seen) seen->pages = sheet.pages();
    for (std::size_t i = 0; i < sheet.pages(); ++i) {
      if (i == kScenarioPaperPage || (!every_page && i != kScenarioBasicsPage)) continue;
      if (!sheet.activate(i)) return;
      Opened(sheet, seen);
      if (i == kScenarioBasicsPage && !sheet.page().Click(kScenarioLandscape)) return;
    }
    if (!sheet.activate(kScenarioPaperPage)) return;
    Opened(sheet, seen);
    platform::ExpectMessageBox({.text = kScenarioBoxText,
                                .caption = kScenarioBoxCaption,
                                .flags = 0x41,
                                .answer = platform::kIdOk});
    if (sheet.page().SelectData(kScenarioPaperType, kScenarioEnvelope)) sheet.ok();
  });
}

void QueueDocumentSheet(bool ok) {
  if (!ok) return OnSheet([](SheetDriver& sheet) { sheet.cancel(); });
  QueueScenarioSheet(true, nullptr);
}

void QueueMemorySheet(bool ok) {
  if (!ok) return OnSheet([](SheetDriver& sheet) { sheet.cancel(); });
  platform::ScriptDialog(7500, [](platform::HWND dialog) {
    UiDialog more(dialog);
    more.Type(7091, u"128");
    more.Blur();
    more.Click(platform::kIdOk);
  });
  OnSheet([](SheetDriver& sheet) {
    if (sheet.activate(1)) sheet.page().Click(7049);
    sheet.ok();
  });
}

void QueueMemoryReadBack(std::function<void(UiDialog&)> read, bool tray, bool ok) {
  platform::ScriptDialog(7500, [read](platform::HWND dialog) {
    UiDialog more(dialog);
    read(more);
    more.Click(platform::kIdCancel);
  });
  OnSheet([tray, ok](SheetDriver& sheet) {
    if (sheet.activate(1)) sheet.page().Click(7049);
    if (tray && sheet.activate(0)) {
      UiDialog page = sheet.page();
      page.SelectData(12003, 2);
      page.Select(12006, u"Letter");
    }
    ok ? sheet.ok() : sheet.cancel();
  });
}

std::unique_ptr<GAttributeComposite> DecodeRecord(platform::HANDLE printer, const char16_t* name,
                                                  Record& record) {
  std::uint32_t cookie = 0;
  GDriverServer* server = GDriverServer::Instance();
  if (!server) return nullptr;
  auto* context =
      GDriverContext::FromDriverData(server->GetContext(new GPrinterKey(printer, name, 0), cookie));
  std::unique_ptr<GAttributeComposite> settings;
  if (context) {
    // A device-mode settings of its own: a parked context that the server
    // hands to another printer keeps none bound.
    std::unique_ptr<GDevModeSettingsInterface> made(GDevModeSettings::Make(*context, printer));
    if (GDevModeSettings* dev_mode = GDevModeSettings::From(made.get()))
      settings.reset(dev_mode->LoadSettings(AsDevMode(&record), 0));
    server->ReleaseContext(cookie);
  }
  return settings;
}

}  // namespace support
