// GJobDriverData: the rendering side's driver data of one print job, the
// render data (render_driver_data_imp.h) over the context base
// (driver_context_base.h), which gives it the printer's default settings
// (from a bound device mode, else built from the configuration), the
// application flags and the device-mode model; all three share the one
// virtual driver data part. The user-interface services build none
// (their CreateRenderData answers null); the rendering side's factory
// below makes them for the print road, the filters and the tests.
//
// Its watermark operations are the rendering side's (job_watermark.h): a
// font of the machine's TrueType fonts and a line of text across the page;
// the fonts they keep go before the job's font database is replaced
// (Retarget) or the job is parked.
//
// The factory:
//   - MakeJobDriverData, the maker the driver server is given: a new job
//     driver data for a printer key, with the key's handle and names and
//     the port as its fourth name, the library's application flags taken;
//   - CheckOutJobDriverData: the driver server's render table check-out
//     with that maker (a parked one of the same driver is re-targeted, a
//     new one loads the printer's driver data file), then the job's cookie
//     kept and the job prepared. The server owns the object; the caller
//     gives it back with GDriverServer::ReleaseRenderData(cookie).
//
// Ownership: as the driver server's objects. Threads: one job's thread at
// a time.
#pragma once

#include <cstdint>
#include <new>

#include "driver/driver_context_base.h"
#include "driver/printer_key.h"
#include "driver/render/job_watermark.h"
#include "driver/render/render_driver_data_imp.h"
#include "foundation/rw/support.h"
#include "platform/host/types.h"

class GJobDriverData : public GRenderDriverDataImp, public GDriverContextBase {
 public:
  GJobDriverData(platform::HANDLE printer, const RWWString& printer_name,
                 const RWWString& driver_name, const RWWString& port_name);
  ~GJobDriverData() override;

  // The handle the job was made (or re-targeted) with; not owned.
  platform::HANDLE GetPrinterHandle() override;
  // A key of the handle, the three names and flag 0.
  GPrinterKey* CreatePrinterKey() override;
  // The render data's re-target, with the key's handle and names taken
  // first.
  void Retarget(const GPrinterKey& key) override;

  // The render data's answers where both bases have one.
  GRenderDriverData* AsRenderDriverData() override;
  GDriverData* AsUIDriverData() override;
  void Park() override;

  // The watermark's font and command (job_watermark.h).
  std::uint32_t CreateWatermarkFont(const GWatermarkDescription* description,
                                    const GSize16& paper_size, std::int32_t* font_value) override;
  void ReleaseWatermarkFont(std::uint32_t* font) override;
  GCommand* MakeWatermarkCommand(RWWString text, std::uint32_t font, std::int32_t font_value,
                                 const GRGBColor* color, GMedia* medium,
                                 std::uint32_t character_set) override;

 private:
  platform::HANDLE printer_;  // not owned
  GJobWatermark watermark_;
};

// The maker the driver server is given: a new GJobDriverData (the
// caller's), null when memory is exhausted, also for its font database (a
// job without one would print its text as nothing). MakeJobDriverDataOf
// makes a class derived from it that keeps its constructor's arguments.
template <class Job>
GDriverData* MakeJobDriverDataOf(const GPrinterKey& key) {
  auto* made = new (kRWNoThrow)
      Job(key.GetPrinterHandle(), key.GetPrinterName(), key.GetDriverName(), key.GetPortName());
  if (made && !made->GetJobFontDatabase()) {
    delete made;
    return nullptr;
  }
  if (made) made->InitAppFlags();
  return made;
}
GDriverData* MakeJobDriverData(const GPrinterKey& key);

// Checks a job driver data out of the driver server for `key` (which the
// server takes and deletes), made by `make` when the server makes one: its
// cookie in `cookie`; null when there is no server or no job driver data
// could be had.
GJobDriverData* CheckOutJobDriverData(
    GPrinterKey* key, std::uint32_t& cookie,
    GDriverData* (*make)(const GPrinterKey&) = &MakeJobDriverData);
