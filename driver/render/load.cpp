#include "driver/render/load.h"

#include <mutex>

#include "driver/load.h"
#include "fonts/load.h"
#include "fonts/tt_font_pool.h"
#include "services/driver_server.h"

namespace {

std::mutex g_load_mutex;
int g_loads = 0;  // guarded by g_load_mutex

}  // namespace

void PurgeFontPool() {
  if (GTTFontPool* pool = GTTFontPool::Instance()) pool->Purge();
}

void RenderLoad() {
  FontsLoad();
  DriverLoad();
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (g_loads++ == 0) GDriverServer::SetRenderTableEmptyHook(&PurgeFontPool);
}

void RenderUnload() {
  {
    std::lock_guard<std::mutex> lock(g_load_mutex);
    if (--g_loads == 0) GDriverServer::SetRenderTableEmptyHook(nullptr);
  }
  DriverUnload();
  FontsUnload();
}
