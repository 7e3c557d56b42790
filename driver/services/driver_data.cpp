#include "driver/services/driver_data.h"

GDriverData::~GDriverData() = default;

std::uint16_t GDriverData::NormalizePaperId(GAttributeComposite*, std::uint16_t paper_id) {
  return paper_id;
}

int GDriverData::GetMediaIdOfPaperCode(std::uint16_t, std::uint16_t&) {
  return 0;
}
