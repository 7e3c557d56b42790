// Drawing surfaces of the windowing host, for the pages' owner-drawn
// controls: memory device contexts with 32-bit bitmaps, window device
// contexts on a control's own surface, solid brushes, polygon regions, and
// the few drawing operations the pages use (bit-block transfers with any
// ternary raster operation, pixel reads, flood fills, rectangle fills and
// the focus frame).
//
// Pixels are 0x00RRGGBB inside (as resource bitmaps store them) and
// COLORREF 0x00BBGGRR at the interface; the high byte of a COLORREF (0x02
// "palette-relative") is ignored: every colour is plain RGB.
//
// A control's surface is the size of its window, white at first, and lives
// as long as the window; GetDC answers a context on it (the caller gives it
// back with ReleaseDC). An owner-drawn button gets WM_DRAWITEM with such a
// context when it waits for painting and the messages are pumped (or
// UpdateWindow is called); the host releases that context afterwards.
//
// Device contexts, bitmaps, brushes and regions are entries of the host's
// one handle table and counted per kind (UiHandleCount). A memory context
// starts with no bitmap (a 1 x 1 stock one, which draws nothing) and the
// white stock brush; SelectObject answers what it replaced. A selected
// object deleted by its owner is no longer drawn on (drawing then does
// nothing), as the platform leaves that undefined.
//
// Any thread; the stand-ins' one lock guards everything.
#pragma once

#include "platform/ui/device_context.h"

namespace platform {

struct OpaqueBrush;
struct OpaqueRegion;
using HBRUSH = OpaqueBrush*;
using HRGN = OpaqueRegion*;

// Raster operations of BitBlt (any ternary code is evaluated).
inline constexpr DWORD kSrcCopy = 0x00CC0020;
inline constexpr DWORD kSrcInvert = 0x00660046;
inline constexpr DWORD kSrcAnd = 0x008800C6;
inline constexpr DWORD kPatCopy = 0x00F00021;
inline constexpr DWORD kDstInvert = 0x00550009;
// ExtFloodFill types.
inline constexpr UINT kFloodFillBorder = 0;
inline constexpr UINT kFloodFillSurface = 1;
// Polygon fill modes.
inline constexpr int kAlternate = 1;
inline constexpr int kWinding = 2;
// Palette-relative colours (the flag is ignored here).
inline constexpr COLORREF PaletteRgb(BYTE r, BYTE g, BYTE b) {
  return 0x02000000u | DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16);
}
inline constexpr COLORREF Rgb(BYTE r, BYTE g, BYTE b) {
  return DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16);
}

// A memory context (any `dc`, or null, is accepted as the model).
HDC CreateCompatibleDC(HDC dc);
// A bitmap of `width` x `height` black pixels; null for a size below 1 or
// above 16384.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBRUSH CreateSolidBrush(COLORREF color);
// A region bounded by the polygon of `count` (at least 3) points. A point
// lies in it when it is inside the polygon by `mode`, counting edges that
// cross its row at or left of it; a row's crossing at its top vertex
// counts, at its bottom vertex not (so of two regions sharing an edge
// exactly one holds the edge's points).
HRGN CreatePolygonRgn(const Point* points, int count, int mode);
BOOL PtInRegion(HRGN region, int x, int y);

// A context on `window`'s surface; null for a handle that is no window.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Copies `width` x `height` pixels from `source` at (sx, sy) to `dc` at
// (x, y) through the ternary raster operation `rop` (its bits 16-23; the
// pattern is `dc`'s brush); the parts outside either surface are left out.
// A null `source` reads as black (for operations that use none).
BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
// The pixel's colour; kClrInvalid outside the surface.
COLORREF GetPixel(HDC dc, int x, int y);
// Fills with the context's brush, from (x, y), the 4-connected area of
// pixels of `color` (kFloodFillSurface) or of pixels other than `color`
// (kFloodFillBorder). 0 when the seed lies outside the surface or does not
// belong to the area.
BOOL ExtFloodFill(HDC dc, int x, int y, COLORREF color, UINT type);
// Fills the rectangle (right and bottom excluded) with `brush`.
int FillRect(HDC dc, const Rect* rect, HBRUSH brush);
// Inverts every other pixel of the rectangle's frame (twice restores).
BOOL DrawFocusRect(HDC dc, const Rect* rect);

// ---- Test controls ----

// The pixel of `window`'s surface; kClrInvalid outside it or for a handle
// that is no window.
COLORREF GetWindowPixel(HWND window, int x, int y);

}  // namespace platform
