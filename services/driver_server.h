// GDriverServer: the process-wide cache of the printers' contexts. Building
// a context is expensive (it reads the printer through the spooler and
// restores the driver's whole configuration model from the driver data
// file), so an entry point checks a context out under a 32-bit cookie, uses
// it and gives it back; a property sheet or a printed document may keep one
// checked out across many calls. A context given back is parked, not
// deleted: the next request for a printer of the same driver takes it back
// and re-targets it. Only the last one given back stays parked.
//
// Two tables (driver_table.h), each with its own lock and parked slot: the
// contexts, and the render-time driver data of the rendering side. The
// user-interface services build no render data (their creation answers
// none): the render table holds what the rendering side checks out with
// its own maker (driver/render/job_driver_data.h) or enters. When the
// render table empties, the server calls the process's render-table hook,
// which the rendering side sets when it is attached (it purges the font
// pool, whose code this target does not link).
//
// GetContext and GetRenderData build objects from a printer key and load
// the driver data file through the persistent object model; they are
// defined by the driver library (driver/driver_server_load.cpp), above this
// target, and nothing below the driver calls them.
//
// ReportDriverError is the report of an internal error that the process
// cannot survive. It lives here because its level 2 stops the server.
//
// Ownership: the server owns every object in its tables and its parked
// objects. The server made by Create lives until the process ends; a later
// server replaces (and deletes) an earlier one. Threads: any thread may get,
// find and release. The two locks (made through GOSFactory::EnsureLock; none
// when no services are installed) are never held together; nothing is
// allocated under them (a parked object is taken out of its slot before
// it is asked for its key and re-targeted), and new objects are built, and
// parked objects deleted, outside them.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/rw/cstring.h"
#include "services/driver_table.h"

class GDriverData;
class GLock;
class GPrinterKey;
class GRenderDriverData;

// Levels of ReportDriverError.
inline constexpr std::int32_t kDriverErrorFatal = 1;
inline constexpr std::int32_t kDriverErrorCritical = 2;
// Error ids of the system's reports.
inline constexpr std::uint16_t kErrorOutOfMemory = 101;
inline constexpr std::uint16_t kErrorUnknownCookie = 501;

// Reports an internal error: the text of its level and id is formatted
// (and shown nowhere). Level 2 marks the server as shutting down, which
// drops its parked objects, and ends the process (abort); level 1 ends the
// process; other levels return. A report made while another report of the
// same thread runs (a lock that fails while the server shuts down) ends the
// process at once.
void ReportDriverError(std::int32_t level, std::uint16_t id, const RWCString& source,
                       std::uint32_t line, const RWCString& message);

class GDriverServer {
 public:
  // Makes the server when there is none.
  static void Create();
  // The server, or null before Create.
  static GDriverServer* Instance();

  // Empty tables, nothing parked; has the services make the context lock,
  // then the render lock, and then installs itself as the process's server
  // (deleting the one before): one whose making threw is never installed.
  GDriverServer();
  GDriverServer(const GDriverServer&) = delete;
  GDriverServer& operator=(const GDriverServer&) = delete;
  // Deletes every object, the parked ones and the locks; the process then
  // has no server.
  virtual ~GDriverServer();

  // Checks out a context for `key`, which the server takes (and deletes on
  // every path): the parked context when it serves a printer of the same
  // driver (re-targeted to the key), else a new one from the services
  // (GOSFactory::CreateContext) with the driver data file loaded into it.
  // Answers the object's view (GDriverData::AsUIDriverData) and its cookie,
  // or null when no context can be had (no key, no services, no context, a
  // data file that does not load).
  GDriverData* GetContext(GPrinterKey* key, std::uint32_t& cookie);
  // The view of the context checked out under `cookie`, or null; checks
  // nothing out.
  GDriverData* FindContext(std::uint32_t cookie);
  // Gives a checked-out context back: it is parked (the context parked
  // before is deleted), or deleted while the server shuts down. A cookie
  // that is not checked out ends the process (501, level 1) unless the
  // server shuts down.
  void ReleaseContext(std::uint32_t cookie);
  // 1 and the cookie of the first entry that holds `object`, else 0.
  int FindContextCookie(const GDriverData* object, std::uint32_t& cookie);

  // The render table's twins. GetRenderData uses the services' render-data
  // creation (GOSFactory::CreateRenderData), or `make` when given, and
  // answers the render view.
  using RenderDataMaker = GDriverData* (*)(const GPrinterKey& key);
  GRenderDriverData* GetRenderData(GPrinterKey* key, std::uint32_t& cookie,
                                   RenderDataMaker make = nullptr);
  GRenderDriverData* FindRenderData(std::uint32_t cookie);
  // After the object is parked: when the render table is empty, clears the
  // shutting-down flag and, outside the lock, calls the render-table hook.
  void ReleaseRenderData(std::uint32_t cookie);
  // The hook called when the render table empties (null: none); every
  // server of the process calls the one set last.
  using RenderTableEmptyHook = void (*)();
  static void SetRenderTableEmptyHook(RenderTableEmptyHook hook);
  int FindRenderCookie(const GDriverData* object, std::uint32_t& cookie);
  // Enters render data that the rendering side built itself; the server
  // owns it from then on. Answers its cookie.
  std::uint32_t EnterRenderData(GDriverData* object);

  // Deletes every checked-out object of both tables.
  void ClearTables();
  // Deletes both parked objects; 1 when there was one.
  int DeleteParked();
  // From now on given-back objects are deleted, not parked; deletes the
  // parked ones.
  void BeginShutdown();
  // For the out-of-memory handler, which may run inside any allocation,
  // under any lock (a table's own, while Get or Release allocates, or the
  // font pool's, or the platform's): never waits and deletes nothing. Each
  // table whose lock is free at once lets go of its parked object, which
  // the next safe point deletes (below), or else asks its checked-out
  // objects, in table order, to free memory (their FreeMemory must not wait
  // either). Non-zero when something was let go or freed.
  int FreeMemory();
  // The safe points, where nothing of the caller's is locked: a give-back
  // after its lock is released, DeleteParked, ClearTables and the
  // destructor. Each deletes what FreeMemory let go, then calls the
  // process's safe-point hook (the out-of-memory handler's, which makes its
  // reserve again).
  using SafePointHook = void (*)();
  static void SetSafePointHook(SafePointHook hook);

  // What the tables hold now, for tests.
  std::uint32_t ContextCount();
  std::uint32_t RenderCount();
  bool HasParkedContext();
  bool IsShuttingDown();

 private:
  // One table with its lock and parked slot.
  struct Side {
    GDriverTable table;
    GLock* lock = nullptr;
    GDriverData* parked = nullptr;
    // The parked object FreeMemory let go, until a safe point deletes it.
    std::atomic<GDriverData*> released{nullptr};
  };

  // Source lines of the lock reports of one side.
  struct Lines {
    std::uint32_t add_lock, add_unlock;
    std::uint32_t release_lock, release_unlock;
    std::uint32_t search_lock, search_unlock;
    std::uint32_t clear_lock, clear_unlock;
    std::uint32_t parked_lock, parked_unlock;
    std::uint32_t get_lock, get_unlock;
    std::uint32_t find_lock, find_unlock;
    std::uint32_t free_lock, free_unlock;
  };
  static const Lines kContextLines;
  static const Lines kRenderLines;

  // The object checked out on `side` for `key`, or null (driver library).
  GDriverData* Get(Side& side, const Lines& lines, GPrinterKey* key, std::uint32_t& cookie,
                   bool render, RenderDataMaker make = nullptr);
  std::uint32_t Enter(Side& side, const Lines& lines, GDriverData* object);
  GDriverData* Find(Side& side, const Lines& lines, std::uint32_t cookie);
  // Takes the entry out and parks (or, shutting down, answers) its object;
  // false when the cookie is not in the table.
  bool Release(Side& side, const Lines& lines, std::uint32_t cookie, bool render);
  int FindCookie(Side& side, const Lines& lines, const GDriverData* object, std::uint32_t& cookie);
  bool DeleteParked(Side& side, const Lines& lines);
  bool FreeMemory(Side& side);
  // What FreeMemory let go is deleted, and the hook called.
  void SafePoint();
  // Outside the lock: whether `parked`, taken out of its slot, serves
  // `key`'s driver (then re-targeted to it).
  static bool TakesKey(GDriverData& parked, GPrinterKey& key);

  Side contexts_;
  Side render_;
  // Written under either lock, read by both sides.
  std::atomic<std::uint32_t> shutting_down_{0};
};
