#include "support/host_calls.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

#include "driver/device_capabilities.h"
#include "driver/entry_points.h"
#include "driver/extension_interface.h"
#include "platform/host/printer_interface.h"
#include "platform/ui/property_sheet.h"

namespace support {
namespace {

// The device sheet's header as the system fills it: 12 bytes.
constexpr platform::WORD kDeviceHeaderSize = 12;
// The document sheet's header as the system fills it: 28 bytes.
constexpr platform::WORD kDocumentHeaderSize = 28;
// DEVQUERYPRINT_INFO's size at level 1.
constexpr platform::WORD kQueryInfoSize = 24;

}  // namespace

namespace {

// The sheet of export `name` for `header`, shown by the service: true when
// its result is OK.
template <class Header>
bool SheetThroughService(const AcceptanceInstall& install, const char* name, Header& header) {
  auto* sheets = install.Entry<decltype(DrvDevicePropertySheets)>(name);
  platform::ULONG_PTR result = 0;
  return sheets &&
         platform::CommonPropertySheetUIW(
             nullptr, sheets, reinterpret_cast<platform::LPARAM>(&header), &result) == 1 &&
         platform::LONG(result) > 0;
}

}  // namespace

bool DeviceSheetThroughService(const AcceptanceInstall& install, platform::HANDLE printer) {
  platform::DevicePropertyHeader header{kDeviceHeaderSize, 0, printer, nullptr};
  return SheetThroughService(install, "DrvDevicePropertySheets", header);
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
  std::array<std::uint8_t, kAcceptanceRecordBytes> converted{};
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

bool RegisterNoExtension(const AcceptanceInstall& install, const char* name) {
  auto* registration = install.Entry<decltype(KVDrv_RegisterExtension)>("KVDrv_RegisterExtension");
  if (!registration) return false;
  platform::SetLastError(platform::kErrorSuccess);
  return registration(name, nullptr, "", 0) != kExtFailed ||
         platform::GetLastError() != platform::kErrorNotEnoughMemory;
}

bool RefreshPrinterCache(const AcceptanceInstall& install, const char16_t* name) {
  constexpr int kCacheRefresh = 5;
  auto* event = install.Entry<decltype(DrvPrinterEvent)>("DrvPrinterEvent");
  if (!event) return false;
  platform::SetLastError(platform::kErrorSuccess);
  return event(name, kCacheRefresh, 0, 0) == 1 ||
         platform::GetLastError() != platform::kErrorNotEnoughMemory;
}

bool UpgradePrinter(const AcceptanceInstall& install, const char16_t* name) {
  auto* upgrade = install.Entry<decltype(DrvUpgradePrinter)>("DrvUpgradePrinter");
  platform::DriverUpgradeInfo1 info{const_cast<char16_t*>(name),
                                    const_cast<char16_t*>(u"C:\\Drv\\Old")};
  return upgrade && upgrade(1, reinterpret_cast<platform::BYTE*>(&info)) == 1;
}

bool PrintDocumentEvents(const AcceptanceInstall& install, platform::HANDLE printer,
                         platform::HDC dc, Record& record) {
  auto* event = install.Entry<decltype(DrvDocumentEvent)>("DrvDocumentEvent");
  if (!event) return false;
  // Each event's entries (up to four pointers); no memory of the host's.
  const auto send = [&](int which, std::initializer_list<void*> in, void** out = nullptr) {
    void* entries[4] = {};
    std::copy(in.begin(), in.end(), entries);
    return event(printer, dc, which, platform::DWORD(in.size() * sizeof(void*)),
                 in.size() ? entries : nullptr, out ? sizeof(void*) : 0, out);
  };
  void* copy = nullptr;
  platform::DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
  // The first event that failed gives the answer's last error: those sent
  // after it set their own.
  bool answered = true;
  platform::DWORD error = 0;
  const auto took = [&](bool ok) {
    if (!ok && answered) error = platform::GetLastError();
    answered = answered && ok;
  };
  took(send(platform::kDocumentEventCreateDcPre, {nullptr, nullptr, record.data(), nullptr},
            &copy) == 1);
  if (answered) {
    took(send(platform::kDocumentEventCreateDcPost, {copy}) != -1);
    took(send(platform::kDocumentEventStartDoc, {&info}) != -1);
    for (int which : {platform::kDocumentEventStartDocPost, platform::kDocumentEventStartPage,
                      platform::kDocumentEventEndPage, platform::kDocumentEventEndDoc,
                      platform::kDocumentEventEndDocPost, platform::kDocumentEventDeleteDc})
      took(send(which, {}) != -1);
  }
  if (!answered) platform::SetLastError(error);
  return answered;
}

}  // namespace support
