#include "driver/driver_context.h"

#include <new>

#include "driver/entry_points.h"
#include "driver/printer_key.h"

GDriverContext::GDriverContext(platform::HANDLE printer, const RWWString& printer_name,
                               const RWWString& driver_name, const RWWString& port_name)
    : GDriverData(printer_name, driver_name, port_name), creation_handle_(printer) {}

GDriverContext::~GDriverContext() = default;

GDriverContext* GDriverContext::FromDriverData(GDriverData* view) {
  return dynamic_cast<GDriverContext*>(view);
}

platform::HANDLE GDriverContext::GetPrinterHandle() {
  return creation_handle_;
}

platform::DWORD GDriverContext::DrvDeviceCapabilities(platform::HANDLE, const char16_t*,
                                                      platform::WORD, void*,
                                                      const platform::DevModeW*) {
  return kNoContextCapabilities;
}

platform::LONG GDriverContext::DrvDocumentProperties(platform::HWND, platform::HANDLE,
                                                     const char16_t*, platform::DevModeW*,
                                                     platform::DevModeW*, platform::DWORD) {
  return kNoContextResult;
}

platform::LONG GDriverContext::DrvDocumentPropertySheets(platform::PropSheetUiInfo*,
                                                         platform::LPARAM) {
  return kNoContextResult;
}

platform::LONG GDriverContext::DrvAdvancedDocumentProperties(platform::HWND, platform::HANDLE,
                                                             const char16_t*, platform::DevModeW*,
                                                             platform::DevModeW*) {
  return kNoContextResult;
}

platform::BOOL GDriverContext::DrvConvertDevMode(const char16_t*, platform::DevModeW*,
                                                 platform::DevModeW*, platform::LONG*,
                                                 platform::DWORD) {
  return kNoContextResult;
}

platform::LONG GDriverContext::DrvDevicePropertySheets(platform::PropSheetUiInfo*,
                                                       platform::LPARAM) {
  return kNoContextResult;
}

platform::BOOL GDriverContext::PrinterProperties(platform::HWND, platform::HANDLE) {
  return kNoContextResult;
}

platform::BOOL GDriverContext::DevQueryPrintEx(platform::DevQueryPrintInfo*) {
  return kNoContextResult;
}

platform::BOOL GDriverContext::DrvUpgradePrinter(platform::DWORD, platform::BYTE*) {
  return kNoContextResult;
}

platform::BOOL GDriverContext::DrvPrinterEvent(const char16_t*, int, platform::DWORD,
                                               platform::LPARAM) {
  return kNoContextResult;
}

int GDriverContext::DrvDocumentEvent(platform::HANDLE, platform::HDC, int, platform::DWORD, void*,
                                     platform::DWORD, void*) {
  return kNoContextDocumentEvent;
}

void GDriverContext::GetPrinterIdentity(RWWString& name, platform::HANDLE& printer,
                                        std::uint32_t& flag) {
  name = GetPrinterName();
  printer = creation_handle_;
  flag = 0;
}

void GDriverContext::Retarget(const GPrinterKey& key) {
  GUIDriverData::Retarget(key);
  creation_handle_ = key.GetPrinterHandle();
  if (!(key.GetPrinterName() == GetPrinterName())) SetPrinterName(key.GetPrinterName());
  SetDriverName(key.GetDriverName());
  SetPortName(key.GetPortName());
}

GPrinterKey* GDriverContext::CreatePrinterKey() {
  return new (std::nothrow)
      GPrinterKey(creation_handle_, GetPrinterName(), GetDriverName(), GetPortName(), 0);
}
