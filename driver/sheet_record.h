// GSheetRecord: the record a property sheet of a context carries from its
// initialisation to its destruction (GDriverContext::CreateSheetRecord and
// DeleteSheetRecord). The property-sheet hook copies it into the plug-in
// host record it makes for the user-interface plug-ins. An in-memory
// record, never stored: its fields keep the widths of memory (pointers and
// handles are pointer-sized); `size` keeps the number the record has
// always announced.
//
// Ownership: the record owns its version record and its settings copy
// (freed by DeleteSheetRecord); everything else it points to is the
// context's or the sheet's. Threads: the sheet's.
#pragma once

#include <cstdint>

#include "platform/host/printer_interface.h"
#include "platform/host/types.h"

class GAttributeComposite;
struct GUIData;
class GUIDriverData;
class RWCollectable;
struct GOSVersion;

inline constexpr std::uint32_t kSheetRecordSize = 60;
// The apply word at creation; the hook sets 1 when a page applies.
inline constexpr std::uint16_t kSheetNotApplied = 2;
inline constexpr std::uint16_t kSheetApplied = 1;

struct GSheetRecord {
  std::uint32_t size = kSheetRecordSize;
  GUIDriverData* driver_data = nullptr;     // the context's view
  GOSVersion* os_version = nullptr;         // owned
  GAttributeComposite* settings = nullptr;  // owned: default settings, kDeviceUpdateStatusKey set
  RWCollectable* configuration = nullptr;   // the configuration root
  platform::HMODULE module = nullptr;       // this library
  // Set by the sheet operations.
  std::uint32_t page_flags = 0;
  std::uint32_t access_flags = 0;
  platform::HANDLE property_sheet = nullptr;  // the service's handle
  platform::ComPropSheetProc service_callback = nullptr;
  platform::HWND parent = nullptr;
  platform::PropSheetUiProc sheet_procedure = nullptr;
  platform::LPARAM sheet_argument = 0;
  std::uint16_t apply = kSheetNotApplied;
  GUIData* ui_data = nullptr;  // the hook's host record; none at creation
  // RWOutOfMemoryRaised() when the sheet began: an apply after memory ran
  // short while it was up reports a cancel (the pages' procedures answered
  // their failures, and what the sheet holds may not be what was chosen).
  std::uint32_t short_of_memory = 0;
};
