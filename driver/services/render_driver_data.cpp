#include "driver/services/render_driver_data.h"

GFontDatabase::~GFontDatabase() = default;

GRenderDriverData::~GRenderDriverData() = default;

std::uint32_t GRenderDriverData::GetOwnerId() {
  return 0;
}
