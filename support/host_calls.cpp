#include "support/host_calls.h"

#include <utility>
#include <vector>

#include "driver/device_capabilities.h"
#include "driver/entry_points.h"
#include "platform/host/printer_interface.h"
#include "platform/ui/property_sheet.h"

namespace support {
namespace {

// The device sheet's header as the system fills it: 12 bytes.
constexpr platform::WORD kDeviceHeaderSize = 12;
// DEVQUERYPRINT_INFO's size at level 1.
constexpr platform::WORD kQueryInfoSize = 24;

}  // namespace

bool DeviceSheetThroughService(const AcceptanceInstall& install, platform::HANDLE printer) {
  auto* sheets = install.Entry<decltype(DrvDevicePropertySheets)>("DrvDevicePropertySheets");
  platform::DevicePropertyHeader header{kDeviceHeaderSize, 0, printer, nullptr};
  platform::ULONG_PTR result = 0;
  return sheets &&
         platform::CommonPropertySheetUIW(
             nullptr, sheets, reinterpret_cast<platform::LPARAM>(&header), &result) == 1 &&
         platform::LONG(result) > 0;
}

bool AskCapabilities(const AcceptanceInstall& install, platform::HANDLE printer,
                     const char16_t* name) {
  auto* capabilities = install.Entry<decltype(DrvDeviceCapabilities)>("DrvDeviceCapabilities");
  platform::WORD papers[64] = {};
  return capabilities &&
         capabilities(printer, name, kDcPapers, papers, nullptr) != kCapabilityFailed &&
         capabilities(printer, name, kDcBins, nullptr, nullptr) != kCapabilityFailed;
}

bool ConvertToDriverDefault(const AcceptanceInstall& install, const char16_t* name) {
  auto* convert = install.Entry<decltype(DrvConvertDevMode)>("DrvConvertDevMode");
  Record converted(kAcceptanceRecordBytes, 0);
  platform::LONG size = platform::LONG(converted.size());
  return convert && convert(name, nullptr, reinterpret_cast<platform::DevModeW*>(converted.data()),
                            &size, platform::kCdmDriverDefault) == 1;
}

bool QueryPrintable(const AcceptanceInstall& install, platform::HANDLE printer, Record& record) {
  auto* query = install.Entry<decltype(DevQueryPrintEx)>("DevQueryPrintEx");
  char16_t text[128] = {};
  platform::DevQueryPrintInfo info{
      kQueryInfoSize, 1,           printer, reinterpret_cast<platform::DevModeW*>(record.data()),
      text,           sizeof text, 0};
  return query && query(&info) == 1;
}

bool PrintDocumentEvents(const AcceptanceInstall& install, platform::HANDLE printer,
                         platform::HDC dc, Record& record) {
  auto* event = install.Entry<decltype(DrvDocumentEvent)>("DrvDocumentEvent");
  if (!event) return false;
  const auto send = [&](int which, std::vector<void*> in, void** out = nullptr) {
    return event(printer, dc, which, platform::DWORD(in.size() * sizeof(void*)),
                 in.empty() ? nullptr : in.data(), out ? sizeof(void*) : 0, out);
  };
  void* copy = nullptr;
  platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
  bool answered = send(platform::kDocumentEventCreateDcPre,
                       {nullptr, nullptr, record.data(), nullptr}, &copy) == 1;
  if (answered) {
    const std::pair<int, std::vector<void*>> kRest[] = {
        {platform::kDocumentEventCreateDcPost, {copy}}, {platform::kDocumentEventStartDoc, {&info}},
        {platform::kDocumentEventStartDocPost, {}},     {platform::kDocumentEventStartPage, {}},
        {platform::kDocumentEventEndPage, {}},          {platform::kDocumentEventEndDoc, {}},
        {platform::kDocumentEventEndDocPost, {}},       {platform::kDocumentEventDeleteDc, {}}};
    for (const auto& [which, in] : kRest)
      answered = send(which, in) != -1 && answered;
  }
  return answered;
}

}  // namespace support
