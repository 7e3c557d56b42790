#include "ui/framework/resource_bitmap.h"

#include "platform/ui/dialog.h"
#include "platform/ui/drawing.h"
#include "platform/ui/ui_resources.h"
#include "platform/ui/window.h"
#include "ui/framework/resource_library.h"

using namespace platform;

bool DrawResourceBitmapAligned(HWND window, std::uint32_t bitmap_id, std::uint32_t color,
                               int alignment, int style) {
  Rect client;
  if (!GetClientRect(window, &client) || !GetResourceModuleHandle()) return false;
  HBITMAP bitmap = LoadBitmapW(GetResourceModuleHandle(), MakeIntResourceW(bitmap_id));
  if (!bitmap) return false;
  BitmapInfo info;
  GetObjectW(bitmap, sizeof(info), &info);
  HDC dc = GetDC(window);
  if (style == kDrawOnBackground) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
  }
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  const int x = alignment == kAlignVertically ? 0 : (width - info.width) / 2;
  const int y = alignment == kAlignHorizontally ? 0 : (height - info.height) / 2;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(source, bitmap);
  BitBlt(dc, x, y, info.width, info.height, source, 0, 0, kSrcCopy);
  SelectObject(source, previous);
  DeleteDC(source);
  ReleaseDC(window, dc);
  DeleteObject(bitmap);
  return true;
}
