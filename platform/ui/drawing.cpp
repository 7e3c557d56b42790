#include "platform/ui/drawing.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/ui/drawing_state.h"

namespace platform {
namespace ui_internal {

namespace {

// Stock handles: never issued (ids are multiples of 4), owned by no one.
constexpr std::uintptr_t kStockBitmap = 0x1;
constexpr std::uintptr_t kStockBrush = 0x3;
constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr int kLargestBitmapSide = 16384;

}  // namespace

SurfaceView WindowSurfaceLocked(Window& window) {
  const int width = std::max<LONG>(0, window.rect.right - window.rect.left);
  const int height = std::max<LONG>(0, window.rect.bottom - window.rect.top);
  if (window.surface_width != width || window.surface.size() != std::size_t(width) * height) {
    window.surface.assign(std::size_t(width) * height, kWhite);
    window.surface_width = width;
  }
  return SurfaceView{window.surface.data(), width, height};
}

SurfaceView SurfaceOfLocked(DeviceContext& context) {
  UiState& state = StateLocked();
  if (context.memory) {
    Bitmap* bitmap = state.handles.Find<Bitmap>(context.bitmap);
    if (bitmap == nullptr || bitmap->pixels.size() != std::size_t(bitmap->width) * bitmap->height)
      return {};
    return SurfaceView{bitmap->pixels.data(), bitmap->width, bitmap->height};
  }
  Window* window = state.handles.Find<Window>(context.window);
  return window != nullptr ? WindowSurfaceLocked(*window) : SurfaceView{};
}

std::uint32_t BrushPixelLocked(const DeviceContext& context) {
  const Brush* brush = StateLocked().handles.Find<Brush>(context.brush);
  return brush != nullptr ? brush->pixel : kWhite;
}

bool SelectDrawingObjectLocked(DeviceContext& context, std::uintptr_t id,
                               std::uintptr_t& previous) {
  auto& handles = StateLocked().handles;
  if (id == kStockBrush || handles.Find<Brush>(id) != nullptr) {
    previous = context.brush != 0 ? context.brush : kStockBrush;
    context.brush = id == kStockBrush ? 0 : id;
    return true;
  }
  if (context.memory && (id == kStockBitmap || handles.Find<Bitmap>(id) != nullptr)) {
    previous = context.bitmap != 0 ? context.bitmap : kStockBitmap;
    context.bitmap = id == kStockBitmap ? 0 : id;
    return true;
  }
  return false;
}

bool DeleteDrawingObjectLocked(std::uintptr_t id) {
  auto& handles = StateLocked().handles;
  if (handles.Find<Brush>(id) == nullptr && handles.Find<Region>(id) == nullptr) return false;
  handles.Remove(id);
  return true;
}

}  // namespace ui_internal

namespace {

using namespace ui_internal;

std::uint32_t PixelOf(COLORREF color) {
  return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}
COLORREF ColorOf(std::uint32_t pixel) {
  return ((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF);
}

template <typename T, typename F>
T WithSurface(HDC dc, T failed, F f) {
  Lock lock(Mutex());
  DeviceContext* context =
      StateLocked().handles.Find<DeviceContext>(host_internal::IdFromHandle(dc));
  if (context == nullptr) return Fail<T>(kErrorInvalidHandle, failed);
  return f(*context, SurfaceOfLocked(*context));
}

template <typename Object>
HGDIOBJ AddLocked(std::unique_ptr<Object> object) {
  return host_internal::HandleFromId<HGDIOBJ>(StateLocked().handles.Add(std::move(object)));
}

// The ternary operation `code` (bits 16-23 of a raster operation) on the
// 24 colour bits of pattern, source and destination at once: bit i of the
// code is the result where (pattern, source, destination) spell i.
std::uint32_t Ternary(std::uint32_t code, std::uint32_t pattern, std::uint32_t source,
                      std::uint32_t dest) {
  std::uint32_t out = 0;
  for (std::uint32_t index = 0; index < 8; ++index) {
    if (((code >> index) & 1) == 0) continue;
    out |= ((index & 4) ? pattern : ~pattern) & ((index & 2) ? source : ~source) &
           ((index & 1) ? dest : ~dest);
  }
  return out & 0x00FFFFFF;
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
  Lock lock(Mutex());
  auto context = std::make_unique<DeviceContext>();
  context->memory = true;
  return static_cast<HDC>(AddLocked(std::move(context)));
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width < 1 || height < 1 || width > kLargestBitmapSide || height > kLargestBitmapSide)
    return Fail<HBITMAP>(kErrorInvalidParameter, nullptr);
  Lock lock(Mutex());
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->pixels.assign(std::size_t(width) * height, 0);
  return static_cast<HBITMAP>(AddLocked(std::move(bitmap)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
  Lock lock(Mutex());
  auto brush = std::make_unique<Brush>();
  brush->pixel = PixelOf(color);
  return static_cast<HBRUSH>(AddLocked(std::move(brush)));
}

HRGN CreatePolygonRgn(const Point* points, int count, int mode) {
  if (points == nullptr || count < 3 || (mode != kAlternate && mode != kWinding))
    return Fail<HRGN>(kErrorInvalidParameter, nullptr);
  Lock lock(Mutex());
  auto region = std::make_unique<Region>();
  region->points.assign(points, points + count);
  region->mode = mode;
  return static_cast<HRGN>(AddLocked(std::move(region)));
}

BOOL PtInRegion(HRGN handle, int x, int y) {
  Lock lock(Mutex());
  const Region* region = StateLocked().handles.Find<Region>(host_internal::IdFromHandle(handle));
  if (region == nullptr) return Fail<BOOL>(kErrorInvalidHandle, 0);
  const std::vector<Point>& p = region->points;
  int winding = 0;
  int crossings = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const Point& a = p[i];
    const Point& b = p[(i + 1) % p.size()];
    if (a.y == b.y) continue;
    const bool down = a.y < b.y;
    const Point& top = down ? a : b;
    const Point& bottom = down ? b : a;
    if (y < top.y || y >= bottom.y) continue;  // the top vertex counts, the bottom not
    // The crossing lies at or left of x: (y - top.y) / dy * dx + top.x <= x.
    const double at =
        top.x + double(y - top.y) * double(bottom.x - top.x) / double(bottom.y - top.y);
    if (at <= double(x)) {
      ++crossings;
      winding += down ? 1 : -1;
    }
  }
  return region->mode == kWinding ? winding != 0 : (crossings & 1) != 0;
}

HDC GetDC(HWND handle) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return Fail<HDC>(kErrorInvalidWindowHandle, nullptr);
  auto context = std::make_unique<DeviceContext>();
  context->window = window->id;
  return static_cast<HDC>(AddLocked(std::move(context)));
}

int ReleaseDC(HWND, HDC dc) {
  return DeleteDC(dc);
}

BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
  Lock lock(Mutex());
  auto& handles = StateLocked().handles;
  DeviceContext* target = handles.Find<DeviceContext>(host_internal::IdFromHandle(dc));
  DeviceContext* from = handles.Find<DeviceContext>(host_internal::IdFromHandle(source));
  if (target == nullptr || (from == nullptr && source != nullptr))
    return Fail<BOOL>(kErrorInvalidHandle, 0);
  const SurfaceView out = SurfaceOfLocked(*target);
  const SurfaceView in = from != nullptr ? SurfaceOfLocked(*from) : SurfaceView{};
  const std::uint32_t code = (rop >> 16) & 0xFF;
  const std::uint32_t pattern = BrushPixelLocked(*target);
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      const int dx = x + column, dy = y + row, ux = sx + column, uy = sy + row;
      if (dx < 0 || dy < 0 || dx >= out.width || dy >= out.height) continue;
      std::uint32_t pixel = 0;
      if (from != nullptr) {
        if (ux < 0 || uy < 0 || ux >= in.width || uy >= in.height) continue;
        pixel = in.pixels[std::size_t(uy) * in.width + ux];
      }
      std::uint32_t& d = out.pixels[std::size_t(dy) * out.width + dx];
      d = Ternary(code, pattern, pixel, d);
    }
  }
  return 1;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  return WithSurface(dc, kClrInvalid, [x, y](DeviceContext&, SurfaceView s) {
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return kClrInvalid;
    return ColorOf(s.pixels[std::size_t(y) * s.width + x]);
  });
}

BOOL ExtFloodFill(HDC dc, int x, int y, COLORREF color, UINT type) {
  return WithSurface(dc, BOOL(0), [&](DeviceContext& context, SurfaceView s) -> BOOL {
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
    const std::uint32_t match = PixelOf(color);
    const std::uint32_t fill = BrushPixelLocked(context);
    std::vector<bool> done(std::size_t(s.width) * s.height, false);
    auto belongs = [&](std::size_t at) {
      return type == kFloodFillSurface ? s.pixels[at] == match : s.pixels[at] != match;
    };
    const std::size_t seed = std::size_t(y) * s.width + x;
    if (!belongs(seed)) return 0;
    // Iterative: the area may be the whole surface.
    std::vector<std::size_t> stack{seed};
    done[seed] = true;
    while (!stack.empty()) {
      const std::size_t at = stack.back();
      stack.pop_back();
      const int px = int(at % s.width), py = int(at / s.width);
      const std::pair<int, int> next[] = {{px - 1, py}, {px + 1, py}, {px, py - 1}, {px, py + 1}};
      for (const auto& [nx, ny] : next) {
        if (nx < 0 || ny < 0 || nx >= s.width || ny >= s.height) continue;
        const std::size_t n = std::size_t(ny) * s.width + nx;
        if (done[n] || !belongs(n)) continue;
        done[n] = true;
        stack.push_back(n);
      }
      s.pixels[at] = fill;
    }
    return 1;
  });
}

int FillRect(HDC dc, const Rect* rect, HBRUSH handle) {
  return WithSurface(dc, 0, [&](DeviceContext&, SurfaceView s) {
    const Brush* brush = StateLocked().handles.Find<Brush>(host_internal::IdFromHandle(handle));
    if (rect == nullptr || brush == nullptr) return 0;
    for (LONG row = std::max<LONG>(0, rect->top); row < std::min<LONG>(s.height, rect->bottom);
         ++row)
      for (LONG column = std::max<LONG>(0, rect->left);
           column < std::min<LONG>(s.width, rect->right); ++column)
        s.pixels[std::size_t(row) * s.width + column] = brush->pixel;
    return 1;
  });
}

BOOL DrawFocusRect(HDC dc, const Rect* rect) {
  return WithSurface(dc, BOOL(0), [&](DeviceContext&, SurfaceView s) -> BOOL {
    if (rect == nullptr) return 0;
    auto invert = [&](LONG px, LONG py) {
      if (px < 0 || py < 0 || px >= s.width || py >= s.height || ((px + py) & 1) != 0) return;
      s.pixels[std::size_t(py) * s.width + px] ^= 0x00FFFFFF;
    };
    const LONG right = rect->right - 1, bottom = rect->bottom - 1;
    if (right < rect->left || bottom < rect->top) return 1;
    for (LONG px = rect->left; px <= right; ++px) {
      invert(px, rect->top);
      if (bottom != rect->top) invert(px, bottom);
    }
    for (LONG py = rect->top + 1; py < bottom; ++py) {
      invert(rect->left, py);
      if (right != rect->left) invert(right, py);
    }
    return 1;
  });
}

COLORREF GetWindowPixel(HWND handle, int x, int y) {
  Lock lock(Mutex());
  Window* window = FindWindowLocked(handle);
  if (window == nullptr) return kClrInvalid;
  const SurfaceView s = WindowSurfaceLocked(*window);
  if (x < 0 || y < 0 || x >= s.width || y >= s.height) return kClrInvalid;
  return ColorOf(s.pixels[std::size_t(y) * s.width + x]);
}

}  // namespace platform
