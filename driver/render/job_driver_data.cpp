#include "driver/render/job_driver_data.h"

#include "driver/printer_key.h"
#include "foundation/rw/support.h"
#include "services/driver_server.h"

GJobDriverData::GJobDriverData(platform::HANDLE printer, const RWWString& printer_name,
                               const RWWString& driver_name, const RWWString& port_name)
    : GDriverData(printer_name, driver_name, port_name), printer_(printer) {
  SetFourthName(port_name);
}

GJobDriverData::~GJobDriverData() = default;

platform::HANDLE GJobDriverData::GetPrinterHandle() {
  return printer_;
}

GPrinterKey* GJobDriverData::CreatePrinterKey() {
  return new (kRWNoThrow)
      GPrinterKey(printer_, GetPrinterName(), GetDriverName(), GetPortName(), 0);
}

void GJobDriverData::Retarget(const GPrinterKey& key) {
  printer_ = key.GetPrinterHandle();
  SetPrinterName(key.GetPrinterName());
  SetDriverName(key.GetDriverName());
  SetPortName(key.GetPortName());
  SetFourthName(key.GetPortName());
  watermark_.Clear();
  GRenderDriverDataImp::Retarget(key);
}

GRenderDriverData* GJobDriverData::AsRenderDriverData() {
  return GRenderDriverDataImp::AsRenderDriverData();
}

GDriverData* GJobDriverData::AsUIDriverData() {
  return GRenderDriverDataImp::AsUIDriverData();
}

void GJobDriverData::Park() {
  watermark_.Clear();
  GRenderDriverDataImp::Park();
}

std::uint32_t GJobDriverData::CreateWatermarkFont(const GWatermarkDescription* description,
                                                  const GSize16&, std::int32_t* font_value) {
  return watermark_.CreateFont(description, *this, GetJobFontDatabase(), font_value);
}

void GJobDriverData::ReleaseWatermarkFont(std::uint32_t* font) {
  watermark_.ReleaseFont(font);
}

GCommand* GJobDriverData::MakeWatermarkCommand(RWWString text, std::uint32_t font, std::int32_t,
                                               const GRGBColor* color, GMedia* medium,
                                               std::uint32_t) {
  return watermark_.MakeCommand(text, font, color, medium);
}

GDriverData* MakeJobDriverData(const GPrinterKey& key) {
  return MakeJobDriverDataOf<GJobDriverData>(key);
}

GJobDriverData* CheckOutJobDriverData(GPrinterKey* key, std::uint32_t& cookie,
                                      GDriverData* (*make)(const GPrinterKey&)) {
  GDriverServer* server = GDriverServer::Instance();
  if (!server) {
    delete key;
    return nullptr;
  }
  GRenderDriverData* found = server->GetRenderData(key, cookie, make);
  auto* job = dynamic_cast<GJobDriverData*>(found);
  if (!job) {
    // Another side's render data: not this factory's to hand out.
    if (found) server->ReleaseRenderData(cookie);
    return nullptr;
  }
  job->SetJobCookie(cookie);
  job->PrepareJob();
  return job;
}
