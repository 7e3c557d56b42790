#include "driver/ui_os_factory.h"

#include <memory>
#include <new>

#include "driver/driver_context.h"
#include "driver/printer_key.h"
#include "driver/update_request.h"
#include "foundation/rw/support.h"
#include "platform/host/spooler.h"

namespace {

// The services that CreateOSFactory made, deleted at the end of the
// process (which uninstalls them).
std::unique_ptr<GOSFactory>& MadeServices() {
  static std::unique_ptr<GOSFactory> services;
  return services;
}

}  // namespace

GDriverData* GUIOSFactory::CreateContext(const GPrinterKey& key) {
  return new (kRWNoThrow) GDriverContext(key.GetPrinterHandle(), key.GetPrinterName(),
                                         key.GetDriverName(), key.GetPortName());
}

RWWString GUIOSFactory::GetDriverDataFile(GDriverData* printer) {
  if (!printer) return RWWString();
  RWWString name;
  platform::HANDLE handle = nullptr;
  std::uint32_t flag = 0;
  if (GDriverContext* context = GDriverContext::FromDriverData(printer)) {
    context->GetPrinterIdentity(name, handle, flag);
  } else if (printer->AsRenderDriverData()) {
    // The rendering side's job: its printer by name, through the handle
    // these services know for it.
    name = printer->GetPrinterName();
    handle = GetPrinterHandle(printer);
  } else {
    return RWWString();
  }
  bool opened = false;
  if (!handle) {
    opened = platform::OpenPrinterW(name.Data(), &handle, nullptr) == 1;
    if (!opened) return RWWString();
  }
  RWWString path;
  platform::DWORD needed = 0;
  // The size query's kErrorInsufficientBuffer is ours: a record read leaves
  // the caller's last error as it was.
  const platform::DWORD last_error = platform::GetLastError();
  platform::GetPrinterDriverW(handle, nullptr, 2, nullptr, 0, &needed);
  if (needed != 0) {
    std::unique_ptr<platform::BYTE[]> buffer(new (kRWNoThrow) platform::BYTE[needed]);
    if (!buffer) {
      platform::SetLastError(platform::kErrorNotEnoughMemory);
    } else if (platform::GetPrinterDriverW(handle, nullptr, 2, buffer.get(), needed, &needed)) {
      platform::SetLastError(last_error);
      const auto* info = reinterpret_cast<const platform::DriverInfo2W*>(buffer.get());
      if (info->data_file) path = info->data_file;
    }
  }
  if (opened) platform::ClosePrinter(handle);
  return path;
}

platform::HANDLE GUIOSFactory::GetPrinterHandle(GDriverData* printer) {
  // A job's render-time driver data stands on the context base too: its
  // printer data is read through the handle the job was made with.
  auto* context = dynamic_cast<GDriverContextBase*>(printer);
  return context ? context->GetPrinterHandle() : nullptr;
}

GMiniInstaller* GUIOSFactory::NewMiniInstaller(const RWWString& printer_name,
                                               platform::HANDLE printer, std::uintptr_t) {
  return new (kRWNoThrow) GMiniInstaller(printer_name, printer);
}

void CreateOSFactory() {
  if (GOSFactory::Instance()) return;
  std::unique_ptr<GOSFactory>& made = MadeServices();
  made.reset(new (kRWNoThrow) GUIOSFactory);
  if (made) GOSFactory::SetInstance(made.get());
}
