#include "services/render_driver_data.h"

#include "services/extension_job_hooks.h"

GFontDatabase::~GFontDatabase() = default;

void GFontDatabase::Reset() {}

std::uint32_t GFontDatabase::SaveToPath(const RWWString&) {
  return 1;
}

GRenderDriverData::~GRenderDriverData() = default;

std::uint32_t GRenderDriverData::GetOwnerId() {
  return 0;
}

std::uint32_t GRenderDriverData::GetJobCookie() {
  return 0;
}

GDriverData* GRenderDriverData::GetDriverData() {
  return nullptr;
}

std::uint32_t GRenderDriverData::IsAppCompatModeOn() {
  return 0;
}

std::uint32_t GRenderDriverData::IsTextAsBlack() {
  return 0;
}

std::int32_t GRenderDriverData::GetCachedValue() {
  return 0;
}

void GRenderDriverData::UpdateMediaSize(GMedia*, std::uint32_t) {}

std::uint32_t GRenderDriverData::CreateWatermarkFont(const GWatermarkDescription*, const GSize16&,
                                                     std::int32_t*) {
  return 0;
}

void GRenderDriverData::ReleaseWatermarkFont(std::uint32_t*) {}

GCommand* GRenderDriverData::MakeWatermarkCommand(RWWString, std::uint32_t, std::int32_t,
                                                  const GRGBColor*, GMedia*, std::uint32_t) {
  return nullptr;
}

GExtensionJobHooks* GRenderDriverData::GetExtensionJobHooks() {
  return nullptr;
}

GExtensionJobHooks::~GExtensionJobHooks() = default;
