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
inline constexpr DWORD kPropSheetUiReasonSetResult = 3;
inline constexpr DWORD kPropSheetUiReasonGetIcon = 4;

// The common property-sheet service's callback (platform/ui/
// property_sheet.h): `function` on the sheet `sheet` with two parameters.
using ComPropSheetProc = LONG_PTR (*)(HANDLE sheet, UINT function, LPARAM first, LPARAM second);

// The common property-sheet service's record of one sheet call.
struct PropSheetUiInfo {
  WORD size;
  WORD version;
  WORD flags;
  WORD reason;
  HANDLE property_sheet;  // the service's handle of the sheet
  ComPropSheetProc service_callback;
  LPARAM lparam_init;   // the document or device property header
  ULONG_PTR user_data;  // the driver's own word, kept across the calls
  ULONG_PTR result;
};

// A sheet's procedure: called with each reason; `lparam` is the parameter
// (init), a PropSheetUiInfoHeader (get info header) or a SetResultInfo (set
// result).
using PropSheetUiProc = LONG (*)(PropSheetUiInfo* info, LPARAM lparam);

// What the procedure says of its sheet at reason 1.
inline constexpr WORD kPsuiHdrfNoApplyNow = 0x0002;
inline constexpr WORD kPsuiHdrfPropTitle = 0x0004;
inline constexpr WORD kPsuiHdrfDefTitle = 0x0010;
struct PropSheetUiInfoHeader {
  WORD size;
  WORD flags;
  const char16_t* title;
  HWND parent;
  HINSTANCE instance;
  ULONG_PTR icon_id;
};

// The result that reason 3 delivers.
struct SetResultInfo {
  WORD size;
  WORD reserved;
  HANDLE set_result;  // who set it (a page handle)
  LRESULT result;     // kCpsuiOk, kCpsuiCancel, ...
};
inline constexpr LRESULT kCpsuiCancel = 0;
inline constexpr LRESULT kCpsuiOk = 1;

// The mode bits of a document-properties request (fMode).
inline constexpr DWORD kDmModeUpdate = 0x01;
inline constexpr DWORD kDmModeCopy = 0x02;
inline constexpr DWORD kDmModePrompt = 0x04;
inline constexpr DWORD kDmModeModify = 0x08;
inline constexpr DWORD kDmModeAdvanced = 0x10;
inline constexpr DWORD kDmModeNoPermission = 0x20;
inline constexpr DWORD kDmModeUserDefault = 0x40;
// The modes of a device-mode conversion.
inline constexpr DWORD kCdmConvert = 1;
inline constexpr DWORD kCdmConvert351 = 2;
inline constexpr DWORD kCdmDriverDefault = 4;
// The flag of a device properties request.
inline constexpr WORD kDpsNoPermission = 0x0001;

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

// Document events of DrvDocumentEvent. Each event's `pvIn` is a row of
// pointer-sized entries: create-DC (driver, device, device mode, bIC),
// reset-DC (device mode, ...), the post events (the device mode that the
// pre event handed out), start-doc (the DOCINFOW).
inline constexpr int kDocumentEventCreateDcPre = 1;
inline constexpr int kDocumentEventCreateDcPost = 2;
inline constexpr int kDocumentEventResetDcPre = 3;
inline constexpr int kDocumentEventResetDcPost = 4;
inline constexpr int kDocumentEventStartDoc = 5;
inline constexpr int kDocumentEventStartPage = 6;
inline constexpr int kDocumentEventEndPage = 7;
inline constexpr int kDocumentEventEndDoc = 8;
inline constexpr int kDocumentEventAbortDoc = 9;
inline constexpr int kDocumentEventDeleteDc = 10;
inline constexpr int kDocumentEventEscape = 11;
inline constexpr int kDocumentEventEndDocPost = 12;
inline constexpr int kDocumentEventStartDocPost = 13;

// The document record of a start-doc event.
struct DocInfoW {
  int size;
  const char16_t* document_name;
  const char16_t* output;
  const char16_t* data_type;
  DWORD type;
};

}  // namespace platform
