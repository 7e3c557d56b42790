#include "tests/support/test_importer.h"

bool TestImporter::SkipsMode2() const {
  if (rule_ == Mode2Skip::kKind4) return os_kind_ == 4;
  switch (os_kind_) {
    case 9:
    case 10:
    case 11:
    case 13:
    case 14:
      return true;
    default:
      return false;
  }
}

bool TestImporter::Run(std::uint32_t mode) {
  SetImportMode(mode);
  SetPrinterName(name_);
  GQCFLibrary* store = GetFeatureStore();
  if (store == nullptr || store->Usable() == 0 || IsStale()) {
    WriteLastUpdate(kUpdateError);
    return false;
  }
  if (store->StartConfig(PrinterName().Data(), mode, kContextName, StartConfigWord()) == 0) {
    WriteLastUpdate(kUpdateError);
    return false;
  }
  bool result = false;
  if (mode == 0) {
    if (IsJobSettingKind2()) {
      result = ImportPrinting() != 0;
    } else if (ImportPhysical() != 0) {
      result = ImportPrinting() != 0;
    }
  } else if (mode == 2 && !SkipsMode2()) {
    result = ImportPrinting() != 0;
  }
  WriteImportStamp(result);
  store->EndConfig();
  return result;
}

std::uint32_t TestImporter::ExportFactorySettings() {
  SetPrinterName(name_);
  return ExportFactoryContexts();
}
