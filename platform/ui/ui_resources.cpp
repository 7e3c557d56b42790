#include "platform/ui/ui_resources.h"

#include <algorithm>

#include "platform/ui/dialog.h"
#include "platform/ui/drawing_state.h"

namespace platform {

using namespace ui_internal;

HBITMAP LoadBitmapW(HINSTANCE instance, const char16_t* name) {
  UINT id;
  if (!IsIntResource(name, &id)) return Fail<HBITMAP>(kErrorResourceNameNotFound, nullptr);
  Lock lock(Mutex());
  const BitmapResource* found = host_internal::FindBitmapLocked(instance, id);
  if (found == nullptr) return Fail<HBITMAP>(kErrorResourceNameNotFound, nullptr);
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->width = found->width;
  bitmap->height = found->height;
  bitmap->pixels = found->pixels;
  return host_internal::HandleFromId<HBITMAP>(StateLocked().handles.Add(std::move(bitmap)));
}

HCURSOR LoadCursorW(HINSTANCE instance, const char16_t* name) {
  UINT id;
  if (!IsIntResource(name, &id)) return Fail<HCURSOR>(kErrorResourceNameNotFound, nullptr);
  Lock lock(Mutex());
  auto& state = StateLocked();
  if (instance == nullptr) {
    auto it = state.system_cursors.find(id);
    if (it == state.system_cursors.end()) return Fail<HCURSOR>(kErrorResourceNameNotFound, nullptr);
    return host_internal::HandleFromId<HCURSOR>(it->second);
  }
  const CursorResource* found = host_internal::FindCursorLocked(instance, id);
  if (found == nullptr) return Fail<HCURSOR>(kErrorResourceNameNotFound, nullptr);
  std::pair<std::uintptr_t, UINT> key{host_internal::IdFromHandle(instance), id};
  auto it = state.module_cursors.find(key);
  if (it == state.module_cursors.end()) {
    auto cursor = std::make_unique<Cursor>();
    cursor->module = key.first;
    cursor->resource = *found;
    it = state.module_cursors.emplace(key, state.handles.Add(std::move(cursor))).first;
  }
  return host_internal::HandleFromId<HCURSOR>(it->second);
}

BOOL DeleteObject(HGDIOBJ object) {
  Lock lock(Mutex());
  auto& handles = StateLocked().handles;
  std::uintptr_t id = host_internal::IdFromHandle(object);
  if (DeleteFontLocked(id) || DeleteDrawingObjectLocked(id)) return 1;
  if (handles.Find<Bitmap>(id) == nullptr) return Fail<BOOL>(kErrorInvalidHandle, 0);
  handles.Remove(id);
  return 1;
}

int GetObjectW(HGDIOBJ object, int size, void* out) {
  Lock lock(Mutex());
  Bitmap* bitmap = StateLocked().handles.Find<Bitmap>(host_internal::IdFromHandle(object));
  if (bitmap == nullptr) return Fail<int>(kErrorInvalidHandle, 0);
  if (out == nullptr) return int(sizeof(BitmapInfo));
  if (size < int(sizeof(BitmapInfo))) return Fail<int>(kErrorInsufficientBuffer, 0);
  BitmapInfo info;
  info.width = bitmap->width;
  info.height = bitmap->height;
  info.width_bytes = bitmap->width * 4;
  *static_cast<BitmapInfo*>(out) = info;
  return int(sizeof(BitmapInfo));
}

LONG GetBitmapBits(HBITMAP handle, LONG bytes, void* out) {
  Lock lock(Mutex());
  Bitmap* bitmap = StateLocked().handles.Find<Bitmap>(host_internal::IdFromHandle(handle));
  if (bitmap == nullptr) return Fail<LONG>(kErrorInvalidHandle, 0);
  if (out == nullptr || bytes <= 0) return 0;
  std::size_t count = std::min<std::size_t>(std::size_t(bytes), bitmap->pixels.size() * 4);
  auto* target = static_cast<unsigned char*>(out);
  for (std::size_t at = 0; at < count; ++at)
    target[at] = static_cast<unsigned char>(bitmap->pixels[at / 4] >> (8 * (at % 4)));
  return LONG(count);
}

}  // namespace platform
