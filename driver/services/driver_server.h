// GDriverServer: the process-wide cache of the printers' driver data. The
// models reach it for one thing only: the render-time driver data that the
// driver's rendering side registers under a cookie. This library never
// builds render-time driver data, so nothing here registers any (the tests'
// stand-ins do); the driver extends this class in place with its contexts.
//
// Threads: Instance() and the render-data table's operations may be used
// from any thread; the table is under the server's own lock.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>

class GRenderDriverData;

class GDriverServer {
 public:
  // The process's one server; never null.
  static GDriverServer* Instance();

  GDriverServer(const GDriverServer&) = delete;
  GDriverServer& operator=(const GDriverServer&) = delete;
  virtual ~GDriverServer();

  // The render-time driver data registered under `cookie`, or null when
  // none is.
  GRenderDriverData* FindRenderData(std::uint32_t cookie);

  // Registers `data` (not owned; null takes the cookie's away) under
  // `cookie` for as long as its job runs; a later registration of the
  // cookie replaces an earlier one.
  void RegisterRenderData(std::uint32_t cookie, GRenderDriverData* data);

 private:
  GDriverServer() = default;

  std::mutex lock_;
  std::map<std::uint32_t, GRenderDriverData*> render_data_;
};
