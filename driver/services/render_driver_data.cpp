#include "driver/services/render_driver_data.h"

GFontDatabase::~GFontDatabase() = default;

void GFontDatabase::Reset() {}

GRenderDriverData::~GRenderDriverData() = default;

std::uint32_t GRenderDriverData::GetOwnerId() {
  return 0;
}

std::uint32_t GRenderDriverData::GetJobCookie() {
  return 0;
}
