// GRenderDriverData: the render-time driver data, the object that drives a
// job on the driver's rendering side, as the models, the filters and the
// generators reach it: the job context that a document start carries. It
// gives the job's font database, the job's driver data (GetDriverData:
// the job settings, the media pool, the excluded name and the custom-size
// range, driver_data.h), the flags the job started with, the medium
// turned to an orientation, the three watermark operations and the
// extension manager's job operations (extension_job_hooks.h). The driver
// server keeps each job's under a cookie (driver_server.h); a spooled page
// restores the job's font database before its text is replayed (the
// command list on disk, store/). The rendering side derives the
// real class from this interface (driver/render/); the answers here are
// those of a job without driver data.
//
// GFontDatabase is the job's font database as the models reach it; the
// font handling derives the real database from it.
//
// Threads: a font database is loaded under its own lock (Lock()), which its
// users take around the call.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "platform/critical_section.h"

class GCommand;
class GDriverData;
class GExtensionJobHooks;
class GMedia;
class GRGBColor;
struct GSize16;
// The watermark filter's description of the watermark it asks a font and
// a command for (the filters define it).
struct GWatermarkDescription;

class GFontDatabase {
 public:
  GFontDatabase() = default;
  GFontDatabase(const GFontDatabase&) = delete;
  GFontDatabase& operator=(const GFontDatabase&) = delete;
  virtual ~GFontDatabase();

  // When `path` differs from the path loaded last, restores the database
  // from that file and, on success, keeps the path as the current one.
  // Answers 1 when the path is the current one afterwards, else 0.
  // REQUIRES: the caller holds Lock().
  virtual int LoadFromPath(const RWWString& path) = 0;
  // Writes the database to the file `path` (created or emptied), beside a
  // page spooled for later. Answers 1 when all of it reached the file, 0
  // otherwise; 1 here, where there is nothing to write. REQUIRES: the
  // caller holds Lock().
  virtual std::uint32_t SaveToPath(const RWWString& path);
  // The reset that the render-time driver data runs (its ResetFonts) between
  // jobs: every font object let go. Nothing here.
  virtual void Reset();

  // The database's own lock (re-enterable).
  platform::CriticalSection& Lock() { return lock_; }

 private:
  platform::CriticalSection lock_;
};

class GRenderDriverData {
 public:
  GRenderDriverData() = default;
  GRenderDriverData(const GRenderDriverData&) = delete;
  GRenderDriverData& operator=(const GRenderDriverData&) = delete;
  virtual ~GRenderDriverData();

  // The font database that the job's driver data owns; not the caller's.
  virtual GFontDatabase* GetFontDatabase() = 0;
  // The id under which the job's font database marks and holds readers of
  // the font pool (fonts/tt_font_pool.h); 0, no owner id, here.
  virtual std::uint32_t GetOwnerId();
  // The job's cookie: the number under which the driver server keeps this
  // driver data in its render table (driver_server.h), by which a saved
  // font handle (fonts/font.h) names its job. The rendering side answers
  // its own; 0, no job, here.
  virtual std::uint32_t GetJobCookie();

  // --- The job context of the filters.

  // The job's driver data (the same object's GDriverData part), or null.
  virtual GDriverData* GetDriverData();
  // Non-zero while the application's compatibility mode is on (the N-up
  // and booklet filters then stay off); 0 here.
  virtual std::uint32_t IsAppCompatModeOn();
  // 1 when the job prints text as black (setting kTextAsBlackKey was 1 when the
  // job started); 0 here.
  virtual std::uint32_t IsTextAsBlack();
  // Setting kColorDeviceKey, read once and kept (GDriverDataImp's
  // GetCachedValue); 0 here.
  virtual std::int32_t GetCachedValue();
  // Nothing when `medium`'s orientation, brought into 0..359, is
  // `orientation` already; else the medium becomes, keeping its key, the
  // driver's medium of its paper-size code and resolution at that
  // orientation. Nothing here.
  virtual void UpdateMediaSize(GMedia* medium, std::uint32_t orientation);
  // The virtual operations below are in slot order.
  // A font for the watermark described, on paper of
  // `paper_size`; it may fill `*font_value`. The font's handle, 0 when none
  // is made (always, here).
  virtual std::uint32_t CreateWatermarkFont(const GWatermarkDescription* description,
                                            const GSize16& paper_size, std::int32_t* font_value);
  // Releases the font `*font` names; nothing here.
  virtual void ReleaseWatermarkFont(std::uint32_t* font);
  // The watermark command to put before the page end (the
  // caller's), or null (always, here: the text is discarded).
  virtual GCommand* MakeWatermarkCommand(RWWString text, std::uint32_t font,
                                         std::int32_t font_value, const GRGBColor* color,
                                         GMedia* medium, std::uint32_t character_set);
  // The extension manager's job operations for this job (not the
  // caller's); null here.
  virtual GExtensionJobHooks* GetExtensionJobHooks();
};
