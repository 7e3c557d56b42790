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
class GPropertyPage;
class GUIContext;
class GUIDriverData;
class RWCollectable;
struct GSheetRecord;
struct GUIData;

inline constexpr std::uint32_t kUIDataSize = 60;
inline constexpr std::uint32_t kPageRecordSize = 40;
inline constexpr std::uint32_t kPageEntrySize = 28;

// Page-flag bits of the host record: document pages (either of the first
// two bits) and device pages.
inline constexpr std::uint32_t kDocumentPageFlags = 0x3;
inline constexpr std::uint32_t kDevicePageFlag = 0x4;

// The host's hook: every page message is forwarded to it after the page
// has handled it.
using GUIHostHook = platform::LRESULT (*)(platform::HWND window, platform::UINT message,
                                          platform::WPARAM wparam, platform::LPARAM lparam,
                                          GUIData* host);

// Flags a page record of this plug-in carries: always 16, and 32 more
// for a page with help.
inline constexpr std::uint32_t kPageFlags = 0x10;
inline constexpr std::uint32_t kPageHelpFlag = 0x20;

struct PropSheetPageW {
  std::uint32_t size = kPageRecordSize;
  std::uint32_t flags = 0;
  platform::HINSTANCE instance = nullptr;
  const char16_t* template_name = nullptr;  // an integer resource name
  void* icon = nullptr;
  const char16_t* title = nullptr;
  platform::DlgProc dialog_procedure = nullptr;
  platform::LPARAM lparam = 0;  // the host's UIPageEntry
  void* callback = nullptr;
  std::uint32_t* ref_parent = nullptr;
};

struct UIPageEntry {
  std::uint32_t size = kPageEntrySize;
  platform::HWND window = nullptr;  // the page window, set by the host
  platform::HANDLE page_handle = nullptr;
  GUIData* host = nullptr;
  std::uint32_t created = 0;
  std::uint32_t released = 0;
  GPropertyPage* page = nullptr;  // offset 24: the plug-in's page object
};

struct GUIData {
  std::uint32_t size = kUIDataSize;
  GUIDriverData* driver_data = nullptr;
  GAttributeComposite* settings = nullptr;
  RWCollectable* configuration = nullptr;  // the printer model (a device)
  platform::HMODULE module = nullptr;
  std::uint32_t page_flags = 0;
  std::uint32_t access_flags = 0;
  GUIHostHook hook = nullptr;
  std::uint32_t page_count = 0;
  PropSheetPageW* pages = nullptr;
  GSheetRecord* owner = nullptr;
  GUIContext* context = nullptr;  // offset 44: made by the plug-in
  char16_t* driver_name = nullptr;
  char16_t* printer_name = nullptr;
  char16_t* port_name = nullptr;
};
