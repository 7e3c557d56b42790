// The records a property-sheet host and a user-interface plug-in share:
// the plug-in host record `GUIData` that the sheet hook makes per sheet,
// the page records (the platform's first property-sheet page layout) and
// the host's page entry that each page record's application value points
// to. In-memory records in their field order; pointer fields keep the
// width of memory (they were 32-bit words) and are never stored. `size`
// keeps the number each record has always announced.
//
// Ownership: the host allocates and owns all three; the plug-in reads the
// host record, fills the page records it is given and puts its page object
// into the entry (offset 24 of the 28-byte original). Threads: the sheet's.
#pragma once

#include <cstdint>

#include "platform/host/types.h"
#include "platform/ui/ui_types.h"

class GAttributeComposite;
class GUIContext;
class GUIDriverData;
class RWCollectable;
struct GSheetRecord;
struct GUIData;

inline constexpr std::uint32_t kUIDataSize = 60;
inline constexpr std::uint32_t kUIPageEntrySize = 28;
// Page flags of the host record: document pages (either bit), device pages.
inline constexpr std::uint32_t kUIDocumentPages = 0x3;
inline constexpr std::uint32_t kUIDevicePages = 0x4;

// The host hook: (page window, message, wParam, lParam, host record) -> 0.
// Every page message is forwarded to it after the page has handled it.
using GUIHostHook = std::uint32_t (*)(platform::HWND window, platform::UINT message,
                                      platform::WPARAM wparam, platform::LPARAM lparam,
                                      GUIData* host);

namespace platform {

struct OpaquePropSheetPage;
using HPROPSHEETPAGE = OpaquePropSheetPage*;

struct PropSheetPageW;
using PropSheetPageCallback = UINT (*)(HWND window, UINT message, PropSheetPageW* page);

// The page description (the platform's first version; `size` is the
// marker 40, not the record's size here).
inline constexpr DWORD kPropSheetPageSize = 40;
struct PropSheetPageW {
  DWORD size;
  DWORD flags;
  HINSTANCE instance;
  const char16_t* template_name;  // an integer resource name
  void* icon;
  const char16_t* title;
  DlgProc dialog_procedure;
  LPARAM lparam;  // the host's UIPageEntry
  PropSheetPageCallback callback;
  UINT* ref_parent;
};
inline constexpr DWORD kPspHasHelp = 0x0020;

}  // namespace platform

struct GUIData {
  std::uint32_t size = kUIDataSize;
  GUIDriverData* driver_data = nullptr;
  GAttributeComposite* settings = nullptr;  // the settings being edited
  RWCollectable* configuration = nullptr;   // the configuration root
  platform::HMODULE module = nullptr;       // the driver library
  std::uint32_t page_flags = 0;
  std::uint32_t access_flags = 0;
  GUIHostHook hook = nullptr;
  std::uint32_t page_count = 0;               // 16-bit
  platform::PropSheetPageW* pages = nullptr;  // null in the count call
  GSheetRecord* owner = nullptr;              // the sheet record
  GUIContext* context = nullptr;              // the plug-in's, made at initialise
  const char16_t* driver_name = nullptr;
  const char16_t* printer_name = nullptr;
  const char16_t* port_name = nullptr;
};

struct UIPageEntry {
  std::uint32_t size = kUIPageEntrySize;
  platform::HWND window = nullptr;          // the page's, at WM_INITDIALOG
  platform::HPROPSHEETPAGE page = nullptr;  // what the sheet service answered
  GUIData* host = nullptr;
  std::uint32_t created = 0;    // set at the page's create callback
  std::uint32_t released = 0;   // set at its release callback
  void* page_object = nullptr;  // offset 24: the plug-in's page
};

// The page entry of a page record (its lparam), or null for a null record
// or one whose entry does not carry the marker 28.
inline UIPageEntry* PageEntryOf(const platform::PropSheetPageW* record) {
  auto* entry = record ? reinterpret_cast<UIPageEntry*>(record->lparam) : nullptr;
  return entry && entry->size == kUIPageEntrySize ? entry : nullptr;
}
