#include "driver/entry_points.h"

#include <new>

#include "driver/document_event_table.h"
#include "driver/driver_context.h"
#include "driver/library_entry.h"
#include "driver/module_keep_alive.h"
#include "driver/printer_key.h"
#include "persist/string_conversion.h"
#include "services/driver_server.h"
#include "services/lock.h"

namespace {

using platform::HANDLE;

// Lines of the document-event lock's reports.
constexpr std::uint32_t kCreateLockLine = 1606;
constexpr std::uint32_t kCreateUnlockLine = 1612;
constexpr std::uint32_t kLookupLockLine = 1619;
constexpr std::uint32_t kLookupUnlockLine = 1621;
constexpr std::uint32_t kRemoveLockLine = 1677;
constexpr std::uint32_t kRemoveUnlockLine = 1682;

RWWString NameOf(const char16_t* name) {
  return name ? RWWString(name) : RWWString();
}

// Checks a context out for (printer, name): the context and its cookie, or
// null. A view that is no context is given back at once.
GDriverContext* CheckOut(HANDLE printer, const RWWString& name, std::uint32_t& cookie) {
  GDriverServer* server = GDriverServer::Instance();
  if (!server) return nullptr;
  GDriverData* view = server->GetContext(new (std::nothrow) GPrinterKey(printer, name, 0), cookie);
  GDriverContext* context = GDriverContext::FromDriverData(view);
  if (view && !context) server->ReleaseContext(cookie);
  return context;
}

// Steps 3 to 6 of the road: `call(context)` on the printer's context, or
// `no_context`.
template <class Result, class Call>
Result WithContext(HANDLE printer, const RWWString& name, Result no_context, Call call) {
  std::uint32_t cookie = 0;
  GDriverContext* context = CheckOut(printer, name, cookie);
  if (!context) return no_context;
  Result result = call(*context);
  GDriverServer::Instance()->ReleaseContext(cookie);
  return result;
}

template <class Result, class Call>
Result ThroughContext(HANDLE printer, const RWWString& name, Result no_context, Call call) {
  ModuleKeepAlive().MarkActivity();
  return WithContext(printer, name, no_context, call);
}

// A property sheet's call: the context is checked out at init (for the
// printer of `printer`) and given back at destroy.
template <class Call>
platform::LONG SheetCall(platform::PropSheetUiInfo* info, HANDLE printer, Call call) {
  GDriverContext* context = nullptr;
  if (info->reason == platform::kPropSheetUiReasonInit) {
    std::uint32_t cookie = 0;
    context = CheckOut(printer, RWWString(), cookie);
    if (!context) return kNoContextResult;
    context->SetCookie(cookie);
    info->user_data = reinterpret_cast<platform::ULONG_PTR>(context);
  } else {
    context = reinterpret_cast<GDriverContext*>(info->user_data);
    if (!context) return kNoContextResult;
  }
  platform::LONG result = call(*context);
  if (info->reason == platform::kPropSheetUiReasonDestroy) {
    GDriverServer::Instance()->ReleaseContext(context->GetCookie());
  }
  return result;
}

}  // namespace

platform::DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, const char16_t* device_name,
                                             platform::WORD capability, void* output,
                                             const platform::DevModeW* dev_mode) {
  return ThroughContext(
      printer, NameOf(device_name), kNoContextCapabilities, [&](GDriverContext& context) {
        return context.DrvDeviceCapabilities(printer, device_name, capability, output, dev_mode);
      });
}

platform::LONG WINAPI DrvDocumentProperties(platform::HWND window, HANDLE printer,
                                            const char16_t* device_name,
                                            platform::DevModeW* dev_mode_out,
                                            platform::DevModeW* dev_mode_in, platform::DWORD mode) {
  return ThroughContext(printer, NameOf(device_name), kNoContextResult,
                        [&](GDriverContext& context) {
                          return context.DrvDocumentProperties(window, printer, device_name,
                                                               dev_mode_out, dev_mode_in, mode);
                        });
}

platform::LONG WINAPI DrvDocumentPropertySheets(platform::PropSheetUiInfo* info,
                                                platform::LPARAM lparam) {
  ModuleKeepAlive().MarkActivity();
  auto call = [&](GDriverContext& context) {
    return context.DrvDocumentPropertySheets(info, lparam);
  };
  if (!info) {
    const auto* header = reinterpret_cast<const platform::DocumentPropertyHeader*>(lparam);
    if (!header) return kRefusedArguments;
    return WithContext(header->printer, RWWString(), kNoContextResult, call);
  }
  const auto* header = reinterpret_cast<const platform::DocumentPropertyHeader*>(info->lparam_init);
  if (info->reason == platform::kPropSheetUiReasonInit && !header) return kRefusedArguments;
  return SheetCall(info, header ? header->printer : nullptr, call);
}

platform::LONG WINAPI DrvAdvancedDocumentProperties(platform::HWND window, HANDLE printer,
                                                    const char16_t* device_name,
                                                    platform::DevModeW* dev_mode_out,
                                                    platform::DevModeW* dev_mode_in) {
  return ThroughContext(printer, NameOf(device_name), kNoContextResult,
                        [&](GDriverContext& context) {
                          return context.DrvAdvancedDocumentProperties(window, printer, device_name,
                                                                       dev_mode_out, dev_mode_in);
                        });
}

platform::BOOL WINAPI DrvConvertDevMode(const char16_t* printer_name,
                                        platform::DevModeW* dev_mode_in,
                                        platform::DevModeW* dev_mode_out, platform::LONG* size,
                                        platform::DWORD mode) {
  // No printer to look up, or nowhere to answer the size.
  if (!printer_name || !size) {
    ModuleKeepAlive().MarkActivity();
    platform::SetLastError(platform::kErrorInvalidParameter);
    return 0;
  }
  return ThroughContext(
      nullptr, NameOf(printer_name), kNoContextResult, [&](GDriverContext& context) {
        return context.DrvConvertDevMode(printer_name, dev_mode_in, dev_mode_out, size, mode);
      });
}

platform::LONG WINAPI DrvDevicePropertySheets(platform::PropSheetUiInfo* info,
                                              platform::LPARAM lparam) {
  ModuleKeepAlive().MarkActivity();
  if (!info || !info->lparam_init) return kRefusedArguments;
  const auto* header = reinterpret_cast<const platform::DevicePropertyHeader*>(info->lparam_init);
  return SheetCall(info, header->printer, [&](GDriverContext& context) {
    return context.DrvDevicePropertySheets(info, lparam);
  });
}

platform::BOOL WINAPI PrinterProperties(platform::HWND window, HANDLE printer) {
  return ThroughContext(printer, RWWString(), kNoContextResult, [&](GDriverContext& context) {
    return context.PrinterProperties(window, printer);
  });
}

platform::BOOL WINAPI DevQueryPrintEx(platform::DevQueryPrintInfo* info) {
  ModuleKeepAlive().MarkActivity();
  if (!info) return 0;
  return WithContext(info->printer, RWWString(), kNoContextResult,
                     [&](GDriverContext& context) { return context.DevQueryPrintEx(info); });
}

platform::BOOL WINAPI DrvUpgradePrinter(platform::DWORD level, platform::BYTE* info) {
  ModuleKeepAlive().MarkActivity();
  const auto* upgrade = reinterpret_cast<const platform::DriverUpgradeInfo1*>(info);
  if (level != 1 || !upgrade || !upgrade->printer_name || !upgrade->old_driver_directory) {
    platform::SetLastError(platform::kErrorInvalidParameter);
    return 0;
  }
  return WithContext(
      nullptr, NameOf(upgrade->printer_name), kNoContextResult,
      [&](GDriverContext& context) { return context.DrvUpgradePrinter(level, info); });
}

platform::BOOL WINAPI DrvPrinterEvent(const char16_t* printer_name, int event,
                                      platform::DWORD flags, platform::LPARAM lparam) {
  return ThroughContext(nullptr, NameOf(printer_name), kNoContextResult,
                        [&](GDriverContext& context) {
                          return context.DrvPrinterEvent(printer_name, event, flags, lparam);
                        });
}

int WINAPI DrvDocumentEvent(HANDLE printer, platform::HDC dc, int event, platform::DWORD size_in,
                            void* in, platform::DWORD size_out, void* out) {
  ModuleKeepAlive().MarkActivity();
  GDocumentEventTable* table = DocumentEventTable();
  GDriverServer* server = GDriverServer::Instance();
  if (!table || !server) return kNoContextDocumentEvent;
  const auto which = static_cast<std::uint16_t>(event);
  std::uint32_t cookie = 0;
  GDriverContext* context = nullptr;
  if (which == platform::kDocumentEventCreateDcPre) {
    context = CheckOut(printer, RWWString(), cookie);
    if (!context) return kNoContextDocumentEvent;
    {
      GLockScope scope(DocumentEventLock(), kDocumentEventSource, kCreateLockLine,
                       kCreateUnlockLine);
      table->Insert(printer, cookie);
    }
    ModuleKeepAlive().SetKeepLoaded(1);
  } else {
    bool found = false;
    {
      GLockScope scope(DocumentEventLock(), kDocumentEventSource, kLookupLockLine,
                       kLookupUnlockLine);
      found = table->Find(printer, cookie);
    }
    context = found ? GDriverContext::FromDriverData(server->FindContext(cookie)) : nullptr;
    if (!context) return kNoContextDocumentEvent;
  }
  int result = context->DrvDocumentEvent(printer, dc, event, size_in, in, size_out, out);
  if ((which == platform::kDocumentEventCreateDcPre && result == 0) ||
      which == platform::kDocumentEventDeleteDc) {
    std::uint32_t remaining = 0;
    {
      GLockScope scope(DocumentEventLock(), kDocumentEventSource, kRemoveLockLine,
                       kRemoveUnlockLine);
      table->Remove(printer);
      remaining = table->Entries();
    }
    server->ReleaseContext(cookie);
    if (remaining == 0) ModuleKeepAlive().SetKeepLoaded(0);
  }
  return result;
}

std::uint16_t WINAPI KVDrv_RegisterExtension(const char* printer_name, void*, const char* name,
                                             std::uint32_t mode) {
  RWWString wide;
  if (printer_name) NarrowToWide(RWCString(printer_name), wide);
  return WithContext(nullptr, wide, kNoContextExtension, [&](GDriverContext& context) {
    return static_cast<std::uint16_t>(context.RegisterExtension(name, mode));
  });
}
