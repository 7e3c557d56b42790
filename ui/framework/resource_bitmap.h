// DrawResourceBitmapAligned: draws a bitmap of the resource library into a
// window's client area, the way the owner-drawn controls show their
// pictures. Alignment 0 centres it both ways, 1 only vertically (left
// edge), 2 only horizontally (top edge); a bitmap larger than the area is
// cut on both sides alike. Drawing style 1 first paints the whole area with
// `color` (a COLORREF), so that what the bitmap does not cover is that
// colour; any other style draws the bitmap alone.
//
// The window's own thread; takes and gives back its drawing objects.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

inline constexpr int kAlignCentred = 0;
inline constexpr int kAlignVertically = 1;
inline constexpr int kAlignHorizontally = 2;
inline constexpr int kDrawOnBackground = 1;

// False when the window, the library or the bitmap is missing.
bool DrawResourceBitmapAligned(platform::HWND window, std::uint32_t bitmap_id, std::uint32_t color,
                               int alignment, int style);
