// The types of the windowing host: handles of cursors and bitmaps, points and
// rectangles, the procedure types, and the class record of RegisterClassW.
// Windows (HWND) and device contexts (HDC) are declared with the other
// handles in platform/host/types.h.
#pragma once

#include "platform/host/types.h"

namespace platform {

struct OpaqueCursor;
struct OpaqueBitmap;
using HCURSOR = OpaqueCursor*;
using HBITMAP = OpaqueBitmap*;
using HGDIOBJ = void*;  // any drawing object (bitmaps and fonts)
using ATOM = WORD;

// The kinds of object the host's one handle table holds; each has a live
// count (UiHandleCount in platform/ui/ui_host.h) so that leaks show.
// Property sheets and their pages (platform/ui/property_sheet.h), device
// contexts and fonts (platform/ui/device_context.h), brushes and regions
// (platform/ui/drawing.h) count too.
enum class UiHandleKind {
  kWindow,
  kDialog,
  kCursor,
  kBitmap,
  kTimer,
  kSheet,
  kSheetPage,
  kDeviceContext,
  kFont,
  kBrush,
  kRegion
};
inline constexpr int kUiHandleKinds = 11;

struct Point {
  LONG x = 0;
  LONG y = 0;
};

struct Rect {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

// A window's procedure; a dialog's procedure answers non-zero for a message
// it handled (its result then sits in the dialog's kDwlpMsgResult slot,
// except for WM_INITDIALOG, whose answer is the result itself).
using WndProc = LRESULT (*)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
using DlgProc = INT_PTR (*)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
using TimerProc = void (*)(HWND window, UINT message, UINT_PTR timer_id, DWORD time);

// What RegisterClassW needs of a window class.
struct WndClassW {
  UINT style = 0;
  WndProc procedure = nullptr;
  int class_extra = 0;   // accepted, unused
  int window_extra = 0;  // bytes of window longs at indexes 0 and up
  HINSTANCE instance = nullptr;
  HCURSOR cursor = nullptr;
  const char16_t* class_name = nullptr;
};

}  // namespace platform
