// GDriverContext: the object that answers the printer-interface calls for
// one printer. The services make one for a printer key
// (GUIOSFactory::CreateContext); the driver server caches it under a cookie
// and hands out its view (AsUIDriverData); each entry point steps back to
// the context (FromDriverData) and calls the operation of its own name.
//
// This class holds what the entry points and the server need: the handle
// it was made (or re-targeted) with, the printer's names, the cookie of an
// open property sheet, the printer key, re-targeting and the entry
// operations. The entry operations answer failure here (what the entry
// point answers without a context); the operations of the device mode,
// the sheets, capabilities, events, upgrade and the device query override
// them.
//
// The context is a GDriverContextBase (first: the device-mode binding and
// the printer-wide settings, driver_context_base.h) and a GUIDriverData
// (its view), over the one virtual GDriverDataImp part that every class of
// the driver data shares.
//
// Ownership: the driver server owns contexts; a context owns the parts of
// its driver data. Threads: a context is used by one spooler call at a
// time; it takes no lock.
#pragma once

#include <cstdint>

#include "driver/driver_context_base.h"
#include "driver/ui_driver_data.h"
#include "platform/host/printer_interface.h"
#include "platform/host/types.h"

class GDriverContext : public GDriverContextBase, public GUIDriverData {
 public:
  GDriverContext(platform::HANDLE printer, const RWWString& printer_name,
                 const RWWString& driver_name, const RWWString& port_name);
  ~GDriverContext() override;

  // The context behind a view that the driver server handed out, or null
  // when the view is not a context's. The view is the GUIDriverData base,
  // a fixed step from the context; the cast is a checked one all the same,
  // since a view may come from any caller.
  static GDriverContext* FromDriverData(GDriverData* view);

  // The printer handle that the context uses now: the one it was made or
  // re-targeted with (null for a key built from a name).
  platform::HANDLE GetPrinterHandle() override;

  // The entry operations, in the order the entry points are declared; each
  // receives the entry point's own arguments.
  virtual platform::DWORD DrvDeviceCapabilities(platform::HANDLE printer,
                                                const char16_t* device_name,
                                                platform::WORD capability, void* output,
                                                const platform::DevModeW* dev_mode);
  virtual platform::LONG DrvDocumentProperties(platform::HWND window, platform::HANDLE printer,
                                               const char16_t* device_name,
                                               platform::DevModeW* dev_mode_out,
                                               platform::DevModeW* dev_mode_in,
                                               platform::DWORD mode);
  virtual platform::LONG DrvDocumentPropertySheets(platform::PropSheetUiInfo* info,
                                                   platform::LPARAM lparam);
  virtual platform::LONG DrvAdvancedDocumentProperties(platform::HWND window,
                                                       platform::HANDLE printer,
                                                       const char16_t* device_name,
                                                       platform::DevModeW* dev_mode_out,
                                                       platform::DevModeW* dev_mode_in);
  virtual platform::BOOL DrvConvertDevMode(const char16_t* printer_name,
                                           platform::DevModeW* dev_mode_in,
                                           platform::DevModeW* dev_mode_out, platform::LONG* size,
                                           platform::DWORD mode);
  virtual platform::LONG DrvDevicePropertySheets(platform::PropSheetUiInfo* info,
                                                 platform::LPARAM lparam);
  virtual platform::BOOL PrinterProperties(platform::HWND window, platform::HANDLE printer);
  virtual platform::BOOL DevQueryPrintEx(platform::DevQueryPrintInfo* info);
  virtual platform::BOOL DrvUpgradePrinter(platform::DWORD level, platform::BYTE* info);
  virtual platform::BOOL DrvPrinterEvent(const char16_t* printer_name, int event,
                                         platform::DWORD flags, platform::LPARAM lparam);
  virtual int DrvDocumentEvent(platform::HANDLE printer, platform::HDC dc, int event,
                               platform::DWORD size_in, void* in, platform::DWORD size_out,
                               void* out);

  // The printer name, the handle the context was made with, and 0.
  void GetPrinterIdentity(RWWString& name, platform::HANDLE& printer, std::uint32_t& flag);

  // The cookie of the property sheet that keeps this context checked out.
  void SetCookie(std::uint32_t cookie) { cookie_ = cookie; }
  std::uint32_t GetCookie() const { return cookie_; }

  // --- The driver data's operations.

  // The driver data's re-target; then the handle becomes the key's and
  // the printer, driver and port names are taken from the key.
  void Retarget(const GPrinterKey& key) override;
  // A key of the handle, the three names and flag 0.
  GPrinterKey* CreatePrinterKey() override;

 private:
  platform::HANDLE creation_handle_;  // not owned
  std::uint32_t cookie_ = 0;
};
