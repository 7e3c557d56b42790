// GDriverServer: the process-wide cache of the printers' driver data. The
// models reach it for one thing only: the render-time driver data that the
// driver's rendering side registers under a cookie. This library never
// builds render-time driver data, so that table stays empty here and every
// lookup answers null; the driver extends this class in place with its
// contexts.
//
// Threads: Instance() and FindRenderData() may be used from any thread.
#pragma once

#include <cstdint>

class GRenderDriverData;

class GDriverServer {
 public:
  // The process's one server; never null.
  static GDriverServer* Instance();

  GDriverServer(const GDriverServer&) = delete;
  GDriverServer& operator=(const GDriverServer&) = delete;
  virtual ~GDriverServer();

  // The render-time driver data registered under `cookie`, or null when
  // none is (always, in this library).
  GRenderDriverData* FindRenderData(std::uint32_t cookie);

 private:
  GDriverServer() = default;
};
