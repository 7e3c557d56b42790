// The drawing objects of the handle table (device contexts, fonts,
// brushes, regions) and the surfaces contexts draw on, shared by
// device_context.cpp and drawing.cpp. Under the stand-ins' one lock.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/ui/device_context.h"
#include "platform/ui/ui_state.h"

namespace platform {
namespace ui_internal {

struct Font : UiObject {
  Font() : UiObject(UiHandleKind::kFont) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kFont; }
  LogFontW record;
};

struct DeviceContext : UiObject {
  DeviceContext() : UiObject(UiHandleKind::kDeviceContext) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kDeviceContext; }
  PrinterPage page;
  DcState state;
  std::uintptr_t font = 0;  // 0: the stock font
  std::vector<DcState> saved;
  std::vector<std::uintptr_t> saved_fonts;
  host_internal::BoundedLog<DcEvent> log;
  struct Answer {
    int result = 0;
    std::vector<BYTE> reply;
  };
  std::map<int, Answer> answers;
  // Drawing: the selected bitmap (memory contexts; 0 for the stock one),
  // the window whose surface it draws on (window contexts), the brush.
  bool memory = false;
  std::uintptr_t bitmap = 0;
  std::uintptr_t window = 0;
  std::uintptr_t brush = 0;  // 0: the white stock brush
};

struct Brush : UiObject {
  Brush() : UiObject(UiHandleKind::kBrush) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kBrush; }
  std::uint32_t pixel = 0;  // 0x00RRGGBB
};

struct Region : UiObject {
  Region() : UiObject(UiHandleKind::kRegion) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kRegion; }
  std::vector<Point> points;
  int mode = 1;
};

// What a context draws on: null pixels when nothing.
struct SurfaceView {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
};
SurfaceView SurfaceOfLocked(DeviceContext& context);
// The selected brush's pixel (white for the stock brush or a deleted one).
std::uint32_t BrushPixelLocked(const DeviceContext& context);
// Selects a bitmap or a brush; false when `id` is neither (or a bitmap
// into a context that is no memory one), `previous` then untouched.
bool SelectDrawingObjectLocked(DeviceContext& context, std::uintptr_t id, std::uintptr_t& previous);
// Frees a brush or a region; false when `id` is neither.
bool DeleteDrawingObjectLocked(std::uintptr_t id);
// A window's surface, sized to the window (white at first).
SurfaceView WindowSurfaceLocked(Window& window);

}  // namespace ui_internal

}  // namespace platform
