// The records of the user-interface plug-in interface, shared by the
// property-sheet hook (driver/property_sheet_hook.h), which makes them, and
// the plug-ins, which fill page records and call the hook back:
//  - GUIData, the host record: one per sheet, made and owned by the hook;
//    the plug-in reads every field and writes only `context`;
//  - the page records: an array of platform::PropSheetPageW (the platform's
//    page description, platform/ui/property_sheet.h) that the hook
//    allocates; the hook writes size and lparam, the plug-in the rest;
//  - UIPageEntry, the page block each record's lparam points to.
// In-memory records, never stored: fields in the interface's order, each
// `size` the interface's marker (60, 40, 28), pointers pointer-sized.
//
// Texts: a page title is a heap copy that the plug-in makes with
// GUIDuplicateText and the hook frees with GUIFreeText (one allocator on
// both sides); the host record's three names are the hook's.
//
// The five entry points a plug-in exports by name (kUIEntry... below) and
// the host hook, GCPSOSUI::DlgProcHook, which the plug-in's page procedures
// call with every message after their own handling. Threads: a host record
// is used by its sheet's thread.
#pragma once

#include <cstdint>
#include <new>

#include "foundation/rw/support.h"
#include "platform/host/types.h"
#include "platform/ui/property_sheet.h"

class GAttributeComposite;
class GUIContext;
class GUIDriverData;
class RWCollectable;
struct GSheetRecord;
struct GUIData;

inline constexpr std::uint32_t kUIDataSize = 60;
inline constexpr std::uint32_t kUIPageEntrySize = 28;
// The only interface version the hook accepts.
inline constexpr std::uint32_t kUIInterfaceVersion = 2;
// The page index that asks for the instructions of two-sided printing by
// hand instead of pages.
inline constexpr std::int16_t kUIManualDuplexIndex = 0x789A;
// Page flags of the host record: document pages (either bit), device pages.
inline constexpr std::uint32_t kUIDocumentPages = 0x3;
inline constexpr std::uint32_t kUIDevicePages = 0x4;
// Access flags of the host record (bits 0-3): no permission; printer-wide
// settings not to be changed; the two bits of a user without rights on
// major version 5 or later.
inline constexpr std::uint32_t kUIAccessNoPermission = 0x1;
inline constexpr std::uint32_t kUIAccessNoPrinterWide = 0x2;
inline constexpr std::uint32_t kUIAccessUserOnly = 0x4 | 0x8;

// The host hook: (page window, message, wParam, lParam, host record) -> 0.
using GUIHostHook = std::uint32_t (*)(platform::HWND window, platform::UINT message,
                                      platform::WPARAM wparam, platform::LPARAM lparam,
                                      GUIData* host);

struct GUIData {
  std::uint32_t size = kUIDataSize;
  GUIDriverData* driver_data = nullptr;
  GAttributeComposite* settings = nullptr;  // the settings being edited
  RWCollectable* configuration = nullptr;   // the configuration root
  platform::HMODULE module = nullptr;       // this library
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
  platform::HPROPSHEETPAGE page = nullptr;  // what the service answered
  GUIData* host = nullptr;
  std::uint32_t created = 0;    // set at the page's create callback
  std::uint32_t released = 0;   // set at its release callback
  void* page_object = nullptr;  // the plug-in's page
};

// The page entry of a page record (its lparam), or null for a null record
// or one whose entry does not carry the marker 28.
inline UIPageEntry* PageEntryOf(const platform::PropSheetPageW* record) {
  auto* entry = record ? reinterpret_cast<UIPageEntry*>(record->lparam) : nullptr;
  return entry && entry->size == kUIPageEntrySize ? entry : nullptr;
}

// A heap copy of `text` (null for null), and its release.
inline char16_t* GUIDuplicateText(const char16_t* text) {
  if (!text) return nullptr;
  std::size_t length = 0;
  while (text[length])
    ++length;
  auto* copy = new (kRWNoThrow) char16_t[length + 1];
  if (!copy) return nullptr;
  for (std::size_t i = 0; i <= length; ++i)
    copy[i] = text[i];
  return copy;
}
inline void GUIFreeText(const char16_t* text) {
  delete[] text;
}

// The plug-in entry points, by export name.
inline constexpr char kUIEntryInterfaceVersion[] = "UI_INTERFACEVERSION";
inline constexpr char kUIEntryInitialize[] = "UI_INITIALIZE";
inline constexpr char kUIEntryDestroy[] = "UI_DESTROY";
inline constexpr char kUIEntryConfigToSettings[] = "UI_CONFIGTOSETTINGS";
inline constexpr char kUIEntrySettingsToConfig[] = "UI_SETTINGSTOCONFIG";
using GUIInterfaceVersionEntry = std::uint32_t (*)();
// (host record, first free page index) -> pages (the count call: pages
// wanted).
using GUIInitializeEntry = std::int16_t (*)(GUIData* host, std::int16_t index);
// Destroy, configuration to settings, settings to configuration.
using GUIHostEntry = std::int16_t (*)(GUIData* host);
