#include "driver/qcf_update_check.h"

#include "services/os_factory.h"
#include "services/os_version.h"

namespace {

constexpr std::uint32_t kSkippingFamily = 4;

}  // namespace

std::uint32_t GQCFUpdateCheck::RunUpdateCheck(const RWWString& printer_name, std::uint32_t mode) {
  SetImportMode(mode);
  checked_name_ = printer_name;
  GQCFLibrary* store = GetFeatureStore();
  if (!store || store->Usable() == 0) {
    WriteLastUpdate(kUpdateError);
    return 0;
  }
  SetPrinterName(printer_name);
  if (IsStale()) {
    WriteLastUpdate(kUpdateError);
    return 0;
  }
  if (store->StartConfig(PrinterName().Data(), mode, kContextName, StartConfigWord()) == 0)
    return 0;
  GOSVersion version;
  if (GOSFactory* services = GOSFactory::Instance()) services->GetOSVersion(version);
  std::uint32_t result = 0;
  if (mode == kUpdateCheckInitialise) {
    if (IsJobSettingKind2()) {
      result = 1;
      ImportPrinting();
    } else if (ImportPhysical() != 0) {
      result = ImportPrinting() != 0 ? 1 : 0;
    }
  } else if (mode == kUpdateCheckConversion && OSFamily(version.kind) != kSkippingFamily) {
    result = ImportPrinting() != 0 ? 1 : 0;
  }
  WriteImportStamp(result != 0);
  store->EndConfig();
  return result;
}

std::uint32_t GQCFUpdateCheck::ImportFactorySettings(const RWWString& printer_name) {
  SetPrinterName(printer_name);
  return ExportFactoryContexts();
}

bool GQCFUpdateCheck::Run(std::uint32_t mode) {
  return RunUpdateCheck(checked_name_, mode) != 0;
}
