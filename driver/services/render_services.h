// The render side's objects as the models below the driver reach them: the
// driver server (the process-wide cache that also keeps each job's
// render-time driver data under a 32-bit cookie), the render-time driver
// data, and the job's font database, which a spooled page restores before
// its text is replayed (the command list on disk, persist/ondisk/).
//
// Like GOSFactory, these are interfaces low in the graph: the driver and the
// font handling derive the real classes from them above the models, and the
// driver installs its server at library attach. Only what the models call is
// here.
//
// Threads: Instance() and SetInstance() may be used from any thread;
// FindRenderData runs under the server's own lock; a font database is
// loaded under its own lock (Lock()), which its users take around the call.
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

  // The font database that the job's driver data owns (never null for a
  // job's data); not the caller's.
  virtual GFontDatabase* GetFontDatabase() = 0;
};

class GDriverServer {
 public:
  // The installed server; null before the library's attach installs it and
  // after its detach.
  static GDriverServer* Instance();
  // Installs `server` (null uninstalls) and answers the previous one; the
  // caller keeps it alive while installed.
  static GDriverServer* SetInstance(GDriverServer* server);

  GDriverServer() = default;
  GDriverServer(const GDriverServer&) = delete;
  GDriverServer& operator=(const GDriverServer&) = delete;
  virtual ~GDriverServer();

  // The render-time driver data kept under `cookie`, or null when none is;
  // not the caller's.
  virtual GRenderDriverData* FindRenderData(std::uint32_t cookie) = 0;
};
