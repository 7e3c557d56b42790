#include "driver/ui_driver_data.h"

#include "output/core/peripheral.h"
#include "output/core/printer_language_query.h"

GUIDriverData::~GUIDriverData() = default;

GRenderDriverData* GUIDriverData::AsRenderDriverData() {
  return nullptr;
}

GUIDriverData* GUIDriverData::AsUIDriverData() {
  return this;
}

void GUIDriverData::Retarget(const GPrinterKey& key) {
  GDriverDataImp::Retarget(key);
}

void GUIDriverData::Park() {}

int GUIDriverData::PrinterLanguageHasEscape(const RWCString& text) {
  auto* query = dynamic_cast<GPrinterLanguageQuery*>(GetPrinterLanguage());
  return query && query->HasEscape(text) ? 1 : 0;
}
