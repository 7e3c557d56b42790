#include "platform/ui/device_context.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "platform/ui/drawing_state.h"

namespace platform {

namespace {

using namespace ui_internal;

// The stock font's handle: never issued (ids are multiples of 4), owned by
// no one.
const std::uintptr_t kStockFont = 0x2;

DcEvent Event(DcCall call) {
  DcEvent event;
  event.call = call;
  return event;
}

DeviceContext* FindDcLocked(HDC dc) {
  DeviceContext* found = StateLocked().handles.Find<DeviceContext>(host_internal::IdFromHandle(dc));
  if (found == nullptr) SetLastError(kErrorInvalidHandle);
  return found;
}

// Runs `f` on the context under the lock; `failed` when there is none.
template <typename T, typename F>
T WithDc(HDC dc, T failed, F f) {
  Lock lock(Mutex());
  DeviceContext* found = FindDcLocked(dc);
  return found ? f(*found) : failed;
}

}  // namespace

int ExtEscape(HDC dc, int code, int in_size, const char* in, int out_size, char* out) {
  return WithDc(dc, 0, [&](DeviceContext& context) {
    if (in_size < 0 || out_size < 0 || (in_size > 0 && in == nullptr) ||
        (out_size > 0 && out == nullptr)) {
      return -1;
    }
    DcEvent event;
    event.call = DcCall::kEscape;
    event.code = code;
    event.bytes.assign(in, in + in_size);
    context.log.Add(std::move(event));
    auto it = context.answers.find(code);
    if (it == context.answers.end()) return 0;
    std::copy_n(it->second.reply.begin(),
                std::min<std::size_t>(std::size_t(out_size), it->second.reply.size()), out);
    return it->second.result;
  });
}

int SaveDC(HDC dc) {
  return WithDc(dc, 0, [](DeviceContext& context) {
    context.saved.push_back(context.state);
    context.saved_fonts.push_back(context.font);
    context.log.Add(Event(DcCall::kSave));
    return int(context.saved.size());
  });
}

BOOL RestoreDC(HDC dc, int saved) {
  return WithDc(dc, 0, [saved](DeviceContext& context) {
    const int depth = int(context.saved.size());
    const int level = saved < 0 ? depth + saved + 1 : saved;
    if (level < 1 || level > depth) return 0;
    context.state = context.saved[std::size_t(level - 1)];
    context.font = context.saved_fonts[std::size_t(level - 1)];
    context.saved.resize(std::size_t(level - 1));
    context.saved_fonts.resize(std::size_t(level - 1));
    context.log.Add(Event(DcCall::kRestore));
    return 1;
  });
}

int SetGraphicsMode(HDC dc, int mode) {
  return WithDc(dc, 0, [mode](DeviceContext& context) {
    if (mode != kGmCompatible && mode != kGmAdvanced) return 0;
    return std::exchange(context.state.graphics_mode, mode);
  });
}

int SetMapMode(HDC dc, int mode) {
  return WithDc(dc, 0, [mode](DeviceContext& context) {
    if (mode < 1 || mode > 8) return 0;
    return std::exchange(context.state.map_mode, mode);
  });
}

int GetMapMode(HDC dc) {
  return WithDc(dc, 0, [](DeviceContext& context) { return context.state.map_mode; });
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, Point* previous) {
  return WithDc(dc, 0, [&](DeviceContext& context) {
    if (previous) *previous = context.state.viewport_origin;
    context.state.viewport_origin = Point{x, y};
    return 1;
  });
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, Point* previous) {
  return WithDc(dc, 0, [&](DeviceContext& context) {
    if (previous) *previous = context.state.window_origin;
    context.state.window_origin = Point{x, y};
    return 1;
  });
}

UINT SetTextAlign(HDC dc, UINT align) {
  return WithDc(dc, kGdiError, [align](DeviceContext& context) {
    return std::exchange(context.state.text_align, align);
  });
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  return WithDc(dc, kClrInvalid, [color](DeviceContext& context) {
    return std::exchange(context.state.text_color, color);
  });
}

COLORREF GetTextColor(HDC dc) {
  return WithDc(dc, kClrInvalid, [](DeviceContext& context) { return context.state.text_color; });
}

int SetBkMode(HDC dc, int mode) {
  return WithDc(dc, 0, [mode](DeviceContext& context) {
    if (mode != kTransparent && mode != kOpaque) return 0;
    return std::exchange(context.state.bk_mode, mode);
  });
}

int GetBkMode(HDC dc) {
  return WithDc(dc, 0, [](DeviceContext& context) { return context.state.bk_mode; });
}

int SetTextCharacterExtra(HDC dc, int extra) {
  return WithDc(dc, int(0x80000000u), [extra](DeviceContext& context) {
    return std::exchange(context.state.char_extra, extra);
  });
}

int GetTextCharacterExtra(HDC dc) {
  return WithDc(dc, int(0x80000000u),
                [](DeviceContext& context) { return context.state.char_extra; });
}

HFONT CreateFontIndirectW(const LogFontW* record) {
  if (record == nullptr) return Fail<HFONT>(kErrorInvalidParameter, nullptr);
  Lock lock(Mutex());
  auto font = std::make_unique<Font>();
  font->record = *record;
  font->record.face_name[kLfFaceSize - 1] = u'\0';
  return host_internal::HandleFromId<HFONT>(StateLocked().handles.Add(std::move(font)));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  return WithDc(dc, HGDIOBJ(nullptr), [object](DeviceContext& context) -> HGDIOBJ {
    const std::uintptr_t id = host_internal::IdFromHandle(object);
    std::uintptr_t replaced = 0;
    if (SelectDrawingObjectLocked(context, id, replaced))
      return host_internal::HandleFromId<HGDIOBJ>(replaced);
    Font* font = StateLocked().handles.Find<Font>(id);
    if (font == nullptr && id != kStockFont) return Fail<HGDIOBJ>(kErrorInvalidHandle, nullptr);
    const std::uintptr_t previous = context.font ? context.font : kStockFont;
    context.font = id == kStockFont ? 0 : id;
    context.state.font = font ? font->record : LogFontW{};
    return host_internal::HandleFromId<HGDIOBJ>(previous);
  });
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  return WithDc(dc, kRegionError, [&](DeviceContext& context) {
    Rect& clip = context.state.clip;
    clip.left = std::max(clip.left, LONG(left));
    clip.top = std::max(clip.top, LONG(top));
    clip.right = std::min(clip.right, LONG(right));
    clip.bottom = std::min(clip.bottom, LONG(bottom));
    if (clip.right < clip.left) clip.right = clip.left;
    if (clip.bottom < clip.top) clip.bottom = clip.top;
    return kSimpleRegion;
  });
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT, const Rect*, const char16_t* text, UINT count,
                 const int*) {
  return WithDc(dc, 0, [&](DeviceContext& context) {
    if (count > 0 && text == nullptr) return 0;
    DcEvent event;
    event.call = DcCall::kTextOut;
    event.text.assign(text ? text : u"", count);
    event.at = Point{x, y};
    event.state = context.state;
    context.log.Add(std::move(event));
    return 1;
  });
}

BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int count, Size* size) {
  return WithDc(dc, 0, [&](DeviceContext& context) {
    if (size == nullptr || count < 0 || (count > 0 && text == nullptr)) return 0;
    const std::int64_t height = std::llabs(std::int64_t(context.state.font.height));
    size->cx = LONG(height * count / 2);
    size->cy = LONG(height);
    return 1;
  });
}

int GetDeviceCaps(HDC dc, int index) {
  return WithDc(dc, 0, [index](DeviceContext& context) {
    switch (index) {
      case kHorzRes:
        return context.page.width;
      case kVertRes:
        return context.page.height;
      case kLogPixelsY:
        return context.page.dpi;
      default:
        return 0;
    }
  });
}

BOOL DeleteDC(HDC dc) {
  Lock lock(Mutex());
  if (FindDcLocked(dc) == nullptr) return 0;
  StateLocked().handles.Remove(host_internal::IdFromHandle(dc));
  return 1;
}

HDC CreatePrinterDC(const PrinterPage& page) {
  Lock lock(Mutex());
  auto context = std::make_unique<DeviceContext>();
  context->page = page;
  context->state.clip = Rect{0, 0, page.width, page.height};
  return host_internal::HandleFromId<HDC>(StateLocked().handles.Add(std::move(context)));
}

std::vector<DcEvent> DeviceContextLog(HDC dc) {
  return WithDc(dc, std::vector<DcEvent>(),
                [](DeviceContext& context) { return context.log.Entries(); });
}

bool ScriptEscape(HDC dc, int code, int result, std::vector<BYTE> reply) {
  return WithDc(dc, false, [&](DeviceContext& context) {
    context.answers[code] = DeviceContext::Answer{result, std::move(reply)};
    return true;
  });
}

bool CurrentDcState(HDC dc, DcState& state) {
  return WithDc(dc, false, [&](DeviceContext& context) {
    state = context.state;
    return true;
  });
}

namespace ui_internal {

bool DeleteFontLocked(std::uintptr_t id) {
  UiState& state = StateLocked();
  if (state.handles.Find<Font>(id) == nullptr) return false;
  state.handles.Remove(id);
  return true;
}

}  // namespace ui_internal

}  // namespace platform
