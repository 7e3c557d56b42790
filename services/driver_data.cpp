#include "services/driver_data.h"

#include "foundation/rw/collect.h"

GDriverData::~GDriverData() {
  Replace(configuration_, nullptr);
  Replace(paper_size_mapping_, nullptr);
  Replace(tray_map_, nullptr);
  Replace(resource_mappings_, nullptr);
}

void GDriverData::Replace(RWCollectable*& slot, RWCollectable* part) {
  if (slot == part) return;
  delete slot;
  slot = part;
}

GRenderDriverData* GDriverData::AsRenderDriverData() {
  return nullptr;
}

GDriverData* GDriverData::AsUIDriverData() {
  return this;
}

void GDriverData::Retarget(const GPrinterKey&) {}

void GDriverData::Park() {}

int GDriverData::FreeMemory() {
  return 0;
}

GPrinterKey* GDriverData::CreatePrinterKey() {
  return nullptr;
}

std::uint32_t GDriverData::RegisterExtension(const char*, std::uint32_t) {
  return kExtensionUnsupported;
}

std::uint16_t GDriverData::NormalizePaperId(GAttributeComposite*, std::uint16_t paper_id) {
  return paper_id;
}

int GDriverData::GetMediaIdOfPaperCode(std::uint16_t, std::uint16_t&) {
  return 0;
}

MPersistentObject* GDriverData::GetConfigurationSet() {
  return nullptr;
}

GMediaPool* GDriverData::GetMediaPool() {
  return nullptr;
}

int GDriverData::IsNameNotListed(const RWCString&) {
  return 1;
}

int GDriverData::IsMediaSizeInRange(GAttributeComposite*, std::uint16_t) {
  return 0;
}
