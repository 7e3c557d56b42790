#include "driver/update_request.h"

#include "driver/stored_state.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "services/os_factory.h"

namespace {

constexpr std::uint32_t kNoRequestValue = 0xFFFFFFFF;
constexpr std::uint32_t kRequested = 1;
constexpr std::uint32_t kInstallerFlag = 1;

// Writes the REG_DWORD `value` as the request of the machine's `key`,
// whatever the request holds (a stored -1 reads as no value at all).
void WriteRequest(const RWWString& key, std::uint32_t value) {
  const platform::BYTE bytes[4] = {
      static_cast<platform::BYTE>(value), static_cast<platform::BYTE>(value >> 8),
      static_cast<platform::BYTE>(value >> 16), static_cast<platform::BYTE>(value >> 24)};
  GStoredState::SetValue(platform::kHkeyLocalMachine, key.Data(), kUpdateRequestName,
                         platform::kRegDword, bytes, sizeof bytes, false);
}

}  // namespace

GPrinterDBUpdateRequest::~GPrinterDBUpdateRequest() {
  UnloadModule();
}

std::uint32_t GPrinterDBUpdateRequest::IsBusy() {
  return 0;
}

std::uint32_t GPrinterDBUpdateRequest::SetRequested(std::uint32_t) {
  return 1;
}

void GPrinterDBUpdateRequest::Run() {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return;
  RWWString key = RWWString(kPrintersKeyPrefix) + printer_name_;
  if (!services->MachineKeyExists(key)) {
    // How the spooler keeps a connection: "\\server\printer" as ",,server,printer".
    for (RWSize i = 0; i < printer_name_.Length(); ++i) {
      if (printer_name_[i] == u'\\') printer_name_.CharAt(i) = u',';
    }
    key = RWWString(kPrintersKeyPrefix) + printer_name_;
    if (!services->MachineKeyExists(key)) return;
  }
  key += kPrinterDriverDataKey;
  const std::uint32_t request =
      services->ReadMachineDword(key, kUpdateRequestName, kNoRequestValue);
  if (request != kNoRequestValue && request != kRequested) return;
  if (request == kNoRequestValue) WriteRequest(key, 0);
  if (IsBusy()) return;
  SetRequested(1);
  if (LoadModule()) {
    done_ = 1;
  } else {
    SetRequested(0);
    done_ = 0;
  }
}

int GPrinterDBUpdateRequest::LoadModule() {
  module_ = platform::LoadLibraryW(module_path_.Data());
  if (!module_) return 0;
  const std::int32_t started = StartModule();
  if (started == 0 || started == 1) return 1;
  platform::FreeLibrary(module_);
  module_ = nullptr;
  return 0;
}

void GPrinterDBUpdateRequest::UnloadModule() {
  if (!done_) return;
  if (module_) platform::FreeLibrary(module_);
  module_ = nullptr;
  done_ = 0;
}

GMiniInstaller::GMiniInstaller(const RWWString& printer_name, platform::HANDLE printer)
    : GPrinterDBUpdateRequest(printer_name, printer) {
  if (!printer_) opened_printer_ = platform::OpenPrinterW(printer_name_.Data(), &printer_, nullptr);
  if (!opened_printer_) printer_ = printer;
  if (GOSFactory* services = GOSFactory::Instance())
    module_path_ = services->GetModuleDirectory() + kMiniInstallerModule;
  if (printer_) Run();
}

GMiniInstaller::~GMiniInstaller() {
  if (module_) StopModule();
  if (opened_printer_) platform::ClosePrinter(printer_);
}

std::int32_t GMiniInstaller::StartModule() {
  auto start =
      reinterpret_cast<GMiniInstallerEntry>(platform::GetProcAddress(module_, kMiniInstallerStart));
  if (!start) return -1;
  if (printer_) return start(printer_, nullptr, kInstallerFlag);
  if (!printer_name_.IsNull()) return start(nullptr, printer_name_.Data(), kInstallerFlag);
  return -1;
}

std::int32_t GMiniInstaller::StopModule() {
  if (!module_) return -1;
  std::int32_t result = -1;
  auto stop =
      reinterpret_cast<GMiniInstallerEntry>(platform::GetProcAddress(module_, kMiniInstallerStop));
  if (stop && printer_) result = stop(printer_, nullptr, kInstallerFlag);
  platform::FreeLibrary(module_);
  module_ = nullptr;
  done_ = 0;
  return result;
}
