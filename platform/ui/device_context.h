// Device contexts of the windowing host, as the driver draws on a printer's:
// escapes to the rendering side (ExtEscape), the saved-state stack, modes,
// origins, alignment, colours, fonts, clipping, text output and the page's
// measures. A printer device context draws nothing: it records what reaches
// it (escapes with their bytes, text with the state in force), answers each
// escape code as the test scripted and measures text with fixed metrics
// (width = |height| x characters / 2, height = |height|).
//
// Device contexts and fonts are entries of the host's one handle table:
// a handle of another kind is refused (kErrorInvalidHandle). A font is the
// caller's until DeleteObject; one selected into a context stays usable
// through the context even when deleted, as the platform allows.
//
// Any thread; the stand-ins' one lock guards everything.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/host/types.h"
#include "platform/ui/ui_types.h"

namespace platform {

struct OpaqueFont;
using HFONT = OpaqueFont*;
using COLORREF = DWORD;

// The logical font record of CreateFontIndirectW; the face name is UTF-16.
inline constexpr int kLfFaceSize = 32;
struct LogFontW {
  LONG height = 0;
  LONG width = 0;
  LONG escapement = 0;
  LONG orientation = 0;
  LONG weight = 0;
  BYTE italic = 0;
  BYTE underline = 0;
  BYTE strike_out = 0;
  BYTE char_set = 0;
  BYTE out_precision = 0;
  BYTE clip_precision = 0;
  BYTE quality = 0;
  BYTE pitch_and_family = 0;
  char16_t face_name[kLfFaceSize] = {};
};

struct Size {
  LONG cx = 0;
  LONG cy = 0;
};

// GetDeviceCaps indexes the printer context answers.
inline constexpr int kHorzRes = 8;
inline constexpr int kVertRes = 10;
inline constexpr int kLogPixelsY = 90;
// Modes.
inline constexpr int kGmCompatible = 1;
inline constexpr int kGmAdvanced = 2;
inline constexpr int kMmText = 1;
inline constexpr int kTransparent = 1;
inline constexpr int kOpaque = 2;
// What the failing setters answer.
inline constexpr UINT kGdiError = 0xFFFFFFFF;
inline constexpr COLORREF kClrInvalid = 0xFFFFFFFF;
// Results of IntersectClipRect.
inline constexpr int kRegionError = 0;
inline constexpr int kSimpleRegion = 2;

// Sends an escape: the scripted answer of `code` (0 when none was scripted),
// with its reply bytes copied into `out` (at most `out_size`). 0 and
// kErrorInvalidHandle for a handle that is no device context; -1 for a
// negative size or a size without its buffer.
int ExtEscape(HDC dc, int code, int in_size, const char* in, int out_size, char* out);

// Pushes the drawing state; answers its level from 1, 0 on failure.
int SaveDC(HDC dc);
// Pops to level `saved` (negative: that many levels back); 0 when no such
// level is saved.
BOOL RestoreDC(HDC dc, int saved);

// Each answers the previous value (0, kGdiError or kClrInvalid on failure).
int SetGraphicsMode(HDC dc, int mode);
int SetMapMode(HDC dc, int mode);
int GetMapMode(HDC dc);
BOOL SetViewportOrgEx(HDC dc, int x, int y, Point* previous);
BOOL SetWindowOrgEx(HDC dc, int x, int y, Point* previous);
UINT SetTextAlign(HDC dc, UINT align);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
int SetTextCharacterExtra(HDC dc, int extra);
int GetTextCharacterExtra(HDC dc);

// A new font; null for a null record.
HFONT CreateFontIndirectW(const LogFontW* font);
// Selects a font into a context, or a brush or bitmap (platform/ui/drawing.h);
// answers the object of that kind it replaces (a context's first ones are
// stock, permanent handles), null on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Narrows the clip to its intersection with the rectangle.
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
// Records the text with the state in force; 0 for a negative count or a null
// text with a count.
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const Rect* rect, const char16_t* text,
                 UINT count, const int* dx);
// The extent of `count` characters in the selected font (see above).
BOOL GetTextExtentPoint32W(HDC dc, const char16_t* text, int count, Size* size);
// kHorzRes, kVertRes and kLogPixelsY of the page; 0 for other indexes.
int GetDeviceCaps(HDC dc, int index);
// Frees a context of CreatePrinterDC.
BOOL DeleteDC(HDC dc);

// ---- Test controls ----

// The page of a printer context: its size in pixels and resolution.
struct PrinterPage {
  int width = 5100;
  int height = 6600;
  int dpi = 600;
};
HDC CreatePrinterDC(const PrinterPage& page);

// The drawing state that text is recorded with.
struct DcState {
  int graphics_mode = kGmCompatible;
  int map_mode = kMmText;
  Point viewport_origin;
  Point window_origin;
  UINT text_align = 0;
  COLORREF text_color = 0;
  int bk_mode = kOpaque;
  int char_extra = 0;
  Rect clip;      // the page at first
  LogFontW font;  // of the selected font (zeros for the stock one)
};

enum class DcCall { kEscape, kTextOut, kSave, kRestore };
struct DcEvent {
  DcCall call = DcCall::kEscape;
  int code = 0;             // escapes
  std::vector<BYTE> bytes;  // escapes: the input
  std::u16string text;      // text output
  Point at;                 // text output
  DcState state;            // text output
};
// What reached the context, in order (empty for an unknown handle), the
// newest kHostLogCapacity events (platform/host/modules.h).
std::vector<DcEvent> DeviceContextLog(HDC dc);
// The answers of escape `code` from now on: `result`, and `reply` copied to
// the caller's buffer.
bool ScriptEscape(HDC dc, int code, int result, std::vector<BYTE> reply = {});
// The state in force now.
bool CurrentDcState(HDC dc, DcState& state);

}  // namespace platform
