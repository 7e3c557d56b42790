#include "services/driver_server.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "services/driver_data.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

// The source name of the server's reports.
constexpr char kSource[] = "drvrsrvr";
constexpr std::uint32_t kUnknownCookieLine = 432;

std::atomic<GDriverServer*> g_server{nullptr};
std::atomic<GDriverServer::RenderTableEmptyHook> g_render_table_empty{nullptr};
std::atomic<GDriverServer::SafePointHook> g_safe_point{nullptr};

// Deletes the last server at the end of the process.
struct ServerReaper {
  ~ServerReaper() { delete g_server.load(std::memory_order_acquire); }
};

std::uint32_t AddressBits(const GDriverData* object) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(object));
}

}  // namespace

const GDriverServer::Lines GDriverServer::kContextLines = {
    307, 325, 369, 410, 484, 500, 533, 544, 594, 601, 687, 704, 832, 834, 1612, 1624};
const GDriverServer::Lines GDriverServer::kRenderLines = {
    307, 325, 1165, 1176, 484, 500, 547, 567, 603, 610, 952, 969, 1097, 1099, 1639, 1651};

void ReportDriverError(std::int32_t level, std::uint16_t id, const RWCString&, std::uint32_t,
                       const RWCString&) {
  // The text has no reader: there is no message table to show it from.
  char text[256];
  std::snprintf(text, sizeof text,
                level == kDriverErrorCritical
                    ? "There has been a critical error and the printer driver cannot continue.  "
                      "Save your work, and exit the current application.  (Error id = %u)"
                    : "Error id = %u  (No error string table, yet...)",
                static_cast<unsigned>(id));
  if (level != kDriverErrorCritical && level != kDriverErrorFatal) return;
  // A report from inside a report (the server's lock failing while the
  // server shuts down) would never end.
  thread_local bool reporting = false;
  if (reporting) std::abort();
  reporting = true;
  if (level == kDriverErrorCritical) {
    if (GDriverServer* server = GDriverServer::Instance()) server->BeginShutdown();
  }
  std::abort();
}

void GDriverServer::Create() {
  if (!Instance()) new GDriverServer;
}

GDriverServer* GDriverServer::Instance() {
  return g_server.load(std::memory_order_acquire);
}

GDriverServer::GDriverServer() {
  static ServerReaper reaper;
  if (GOSFactory* services = GOSFactory::Instance()) {
    try {
      services->EnsureLock(&contexts_.lock);
      services->EnsureLock(&render_.lock);
    } catch (const std::bad_alloc&) {
      delete contexts_.lock;
      throw;
    }
  }
  // Installed last: a lock whose making ran out of memory leaves no freed
  // server installed.
  delete g_server.exchange(this, std::memory_order_acq_rel);
}

GDriverServer::~GDriverServer() {
  ClearTables();
  delete contexts_.released.exchange(nullptr);
  delete render_.released.exchange(nullptr);
  delete contexts_.parked;
  delete render_.parked;
  delete contexts_.lock;
  delete render_.lock;
  GDriverServer* self = this;
  g_server.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

std::uint32_t GDriverServer::Enter(Side& side, const Lines& lines, GDriverData* object) {
  GLockScope scope(side.lock, kSource, lines.add_lock, lines.add_unlock);
  return side.table.Add(object, GDriverData::MakeCookie(AddressBits(object)));
}

GDriverData* GDriverServer::Find(Side& side, const Lines& lines, std::uint32_t cookie) {
  GLockScope scope(side.lock, kSource, lines.find_lock, lines.find_unlock);
  return side.table.Find(cookie);
}

bool GDriverServer::Release(Side& side, const Lines& lines, std::uint32_t cookie, bool render) {
  GDriverData* doomed = nullptr;
  bool found = false;
  bool emptied = false;
  {
    GLockScope scope(side.lock, kSource, lines.release_lock, lines.release_unlock);
    GDriverData* object = side.table.Remove(cookie);
    found = object != nullptr;
    if (object && !shutting_down_.load() && !object->IsSpoiled()) {
      object->Park();
      doomed = side.parked;
      side.parked = object;
    } else {
      doomed = object;
    }
    if (render && side.table.Entries() == 0) {
      shutting_down_.store(0);
      emptied = found;
    }
  }
  delete doomed;
  SafePoint();
  // Outside the lock: the hook takes the font pool's lock, which a job's
  // font restore may hold while it looks its job up here.
  if (emptied) {
    if (RenderTableEmptyHook hook = g_render_table_empty.load(std::memory_order_acquire)) hook();
  }
  return found;
}

void GDriverServer::SetRenderTableEmptyHook(RenderTableEmptyHook hook) {
  g_render_table_empty.store(hook, std::memory_order_release);
}

void GDriverServer::SetSafePointHook(SafePointHook hook) {
  g_safe_point.store(hook, std::memory_order_release);
}

void GDriverServer::SafePoint() {
  delete contexts_.released.exchange(nullptr);
  delete render_.released.exchange(nullptr);
  if (SafePointHook hook = g_safe_point.load(std::memory_order_acquire)) hook();
}

int GDriverServer::FindCookie(Side& side, const Lines& lines, const GDriverData* object,
                              std::uint32_t& cookie) {
  GLockScope scope(side.lock, kSource, lines.search_lock, lines.search_unlock);
  return side.table.FindCookie(object, cookie) ? 1 : 0;
}

bool GDriverServer::DeleteParked(Side& side, const Lines& lines) {
  GDriverData* doomed = nullptr;
  {
    GLockScope scope(side.lock, kSource, lines.parked_lock, lines.parked_unlock);
    doomed = side.parked;
    side.parked = nullptr;
  }
  delete doomed;
  return doomed != nullptr;
}

bool GDriverServer::FreeMemory(Side& side) {
  // A lock that is busy, or fails, is left alone: its holder may be the
  // very allocation that failed.
  if (side.lock && side.lock->TryLock() != kLockTaken) return false;
  bool freed = false;
  GDriverData* none = nullptr;
  if (side.parked && side.released.compare_exchange_strong(none, side.parked)) {
    side.parked = nullptr;
    freed = true;
  } else {
    freed = side.table.AnyOf([](GDriverData* object) { return object->FreeMemory() != 0; });
  }
  // A failed release leaves the lock held; ending the process from inside
  // an allocation would be worse.
  if (side.lock) side.lock->Unlock();
  return freed;
}

GDriverData* GDriverServer::FindContext(std::uint32_t cookie) {
  GDriverData* object = Find(contexts_, kContextLines, cookie);
  return object ? object->AsUIDriverData() : nullptr;
}

void GDriverServer::ReleaseContext(std::uint32_t cookie) {
  if (!Release(contexts_, kContextLines, cookie, false) && !shutting_down_.load()) {
    ReportDriverError(kDriverErrorFatal, kErrorUnknownCookie, kSource, kUnknownCookieLine, "");
  }
}

int GDriverServer::FindContextCookie(const GDriverData* object, std::uint32_t& cookie) {
  return FindCookie(contexts_, kContextLines, object, cookie);
}

GRenderDriverData* GDriverServer::FindRenderData(std::uint32_t cookie) {
  GDriverData* object = Find(render_, kRenderLines, cookie);
  return object ? object->AsRenderDriverData() : nullptr;
}

void GDriverServer::ReleaseRenderData(std::uint32_t cookie) {
  if (!Release(render_, kRenderLines, cookie, true) && !shutting_down_.load()) {
    ReportDriverError(kDriverErrorFatal, kErrorUnknownCookie, kSource, kUnknownCookieLine, "");
  }
}

int GDriverServer::FindRenderCookie(const GDriverData* object, std::uint32_t& cookie) {
  return FindCookie(render_, kRenderLines, object, cookie);
}

std::uint32_t GDriverServer::EnterRenderData(GDriverData* object) {
  return Enter(render_, kRenderLines, object);
}

void GDriverServer::ClearTables() {
  SafePoint();
  {
    GLockScope scope(contexts_.lock, kSource, kContextLines.clear_lock, kContextLines.clear_unlock);
    contexts_.table.DeleteAll(false);
  }
  GLockScope scope(render_.lock, kSource, kRenderLines.clear_lock, kRenderLines.clear_unlock);
  render_.table.DeleteAll(true);
}

int GDriverServer::DeleteParked() {
  SafePoint();
  bool context = DeleteParked(contexts_, kContextLines);
  bool render = DeleteParked(render_, kRenderLines);
  return context || render ? 1 : 0;
}

void GDriverServer::BeginShutdown() {
  shutting_down_.store(1);
  DeleteParked();
}

int GDriverServer::FreeMemory() {
  const bool context = FreeMemory(contexts_);
  const bool render = FreeMemory(render_);
  return context || render ? 1 : 0;
}

std::uint32_t GDriverServer::ContextCount() {
  GLockScope scope(contexts_.lock, kSource, kContextLines.find_lock, kContextLines.find_unlock);
  return contexts_.table.Entries();
}

std::uint32_t GDriverServer::RenderCount() {
  GLockScope scope(render_.lock, kSource, kRenderLines.find_lock, kRenderLines.find_unlock);
  return render_.table.Entries();
}

bool GDriverServer::HasParkedContext() {
  GLockScope scope(contexts_.lock, kSource, kContextLines.parked_lock, kContextLines.parked_unlock);
  return contexts_.parked != nullptr;
}

bool GDriverServer::IsShuttingDown() {
  return shutting_down_.load() != 0;
}
