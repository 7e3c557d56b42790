// GRenderDriverData: the render-time driver data, the object that drives a
// job on the driver's rendering side, as the models reach it: its font
// database. The driver server keeps each job's under a cookie
// (driver_server.h); a spooled page restores the job's font database
// before its text is replayed (the command list on disk, persist/ondisk/).
// This library never builds one: the rendering side derives the real class
// from this interface. GFontDatabase is the job's font database as the
// models reach it; the font handling derives the real database from it.
//
// Threads: a font database is loaded under its own lock (Lock()), which its
// users take around the call.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"
#include "platform/critical_section.h"

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
  // The reset that the render-time driver data runs (its slot 26) between
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
};
