// The records that the print spooler and the common property-sheet service
// hand to a printer driver's interface entry points, as the driver reads
// them. In-memory records only (never stored): fields as the entry points
// use them, pointer-sized where the original carries a pointer or a handle.
// The device mode is opaque here; its stored form belongs to the device
// mode's own code.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

namespace platform {

// A device-mode record (public part and private part).
struct DevModeW;

// Reasons of a property-sheet call.
inline constexpr DWORD kPropSheetUiReasonInit = 0;
inline constexpr DWORD kPropSheetUiReasonGetInfoHeader = 1;
inline constexpr DWORD kPropSheetUiReasonDestroy = 2;

// The common property-sheet service's record of one sheet call.
struct PropSheetUiInfo {
  WORD size;
  WORD version;
  WORD flags;
  WORD reason;
  HANDLE property_sheet;  // the service's handle of the sheet
  void* service_callback;
  LPARAM lparam_init;   // the document or device property header
  ULONG_PTR user_data;  // the driver's own word, kept across the calls
  ULONG_PTR result;
};

// The header of a document-properties request.
struct DocumentPropertyHeader {
  WORD size;
  WORD reserved;
  HANDLE printer;
  char16_t* printer_name;
  DevModeW* dev_mode_in;
  DevModeW* dev_mode_out;
  DWORD dev_mode_out_size;
  DWORD mode;
};

// The header of a device (printer) properties request.
struct DevicePropertyHeader {
  WORD size;
  WORD flags;
  HANDLE printer;
  char16_t* printer_name;
};

// The device query of DevQueryPrintEx.
struct DevQueryPrintInfo {
  WORD size;
  WORD level;
  HANDLE printer;
  DevModeW* dev_mode;
  char16_t* error_text;
  DWORD error_text_size;
  DWORD error_text_needed;
};

// The record of DrvUpgradePrinter at level 1.
struct DriverUpgradeInfo1 {
  char16_t* printer_name;
  char16_t* old_driver_directory;
};

// Document events of DrvDocumentEvent.
inline constexpr int kDocumentEventCreateDcPre = 1;
inline constexpr int kDocumentEventDeleteDc = 10;

}  // namespace platform
