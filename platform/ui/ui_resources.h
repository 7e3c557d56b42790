// Bitmaps and cursors out of a module's resources (platform/host/resources.h),
// and the system cursors.
//
// A bitmap is the caller's: LoadBitmapW makes a new one each time, which
// DeleteObject frees. A cursor is shared: LoadCursorW answers one handle per
// module and id, owned by the module and freed when the module unloads (the
// system cursors are permanent), as the platform's shared cursors are. Both
// are entries of the host's handle table. Any thread.
#pragma once

#include <cstdint>

#include "platform/host/types.h"
#include "platform/ui/ui_types.h"

namespace platform {

// The bitmap or cursor named `name` (an integer resource, MakeIntResourceW)
// of a loaded module; null when there is none (kErrorResourceNameNotFound).
// LoadCursorW with a null module answers the system cursors (kIdcArrow ...).
HBITMAP LoadBitmapW(HINSTANCE instance, const char16_t* name);
HCURSOR LoadCursorW(HINSTANCE instance, const char16_t* name);

// Frees a bitmap, a font (platform/ui/device_context.h), a brush or a
// region (platform/ui/drawing.h); 0 for anything else.
BOOL DeleteObject(HGDIOBJ object);

// What GetObjectW tells of a bitmap: 32 bits per pixel, one plane.
struct BitmapInfo {
  LONG type = 0;
  LONG width = 0;
  LONG height = 0;
  LONG width_bytes = 0;
  WORD planes = 1;
  WORD bits_pixel = 32;
  void* bits = nullptr;
};
// Fills `out` (of `size` bytes, at least sizeof(BitmapInfo)) and answers the
// bytes filled; with a null `out` answers the size needed; 0 for a handle
// that is no bitmap or a smaller size.
int GetObjectW(HGDIOBJ object, int size, void* out);
// Copies up to `bytes` bytes of the pixels (rows from the top, 4 bytes each:
// B, G, R, 0) and answers the bytes copied; 0 for a handle that is no bitmap.
LONG GetBitmapBits(HBITMAP bitmap, LONG bytes, void* out);

}  // namespace platform
