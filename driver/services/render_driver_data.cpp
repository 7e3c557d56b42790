#include "driver/services/render_driver_data.h"

GFontDatabase::~GFontDatabase() = default;

GRenderDriverData::~GRenderDriverData() = default;
