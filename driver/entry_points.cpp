#include "driver/entry_points.h"

#include <exception>
#include <new>

#include "driver/device_capabilities.h"
#include "driver/document_event_table.h"
#include "driver/driver_context.h"
#include "driver/extension_interface.h"
#include "driver/library_entry.h"
#include "driver/module_keep_alive.h"
#include "driver/out_of_memory_handler.h"
#include "driver/printer_key.h"
#include "foundation/rw/support.h"
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

// A context checked out of the driver server for (printer, name), given
// back when this goes, also when memory ran out on the way, unless it was
// kept for the calls to come (a sheet's, a document's). A view that is no
// context is given back at once.
class CheckedOutContext {
 public:
  CheckedOutContext(HANDLE printer, const RWWString& name) {
    GDriverServer* server = GDriverServer::Instance();
    if (!server) return;
    GDriverData* view = server->GetContext(new (kRWNoThrow) GPrinterKey(printer, name, 0), cookie_);
    context_ = GDriverContext::FromDriverData(view);
    if (view && !context_) server->ReleaseContext(cookie_);
  }
  ~CheckedOutContext() {
    if (context_) GDriverServer::Instance()->ReleaseContext(cookie_);
  }
  CheckedOutContext(const CheckedOutContext&) = delete;
  CheckedOutContext& operator=(const CheckedOutContext&) = delete;

  GDriverContext* get() const { return context_; }
  std::uint32_t cookie() const { return cookie_; }
  // From now on the context is given back by whoever holds its cookie.
  void Keep() { context_ = nullptr; }

 private:
  GDriverContext* context_ = nullptr;
  std::uint32_t cookie_ = 0;
};

// A context that a call ran short of memory on (counted, or its exception
// unwinding) holds what it made of less than the printer stores: it is
// not parked for later calls when it is given back.
class SpoiledByShortage {
 public:
  explicit SpoiledByShortage(GDriverContext& context)
      : context_(context),
        short_of_memory_(RWOutOfMemoryRaised()),
        unwinding_(std::uncaught_exceptions()) {}
  ~SpoiledByShortage() {
    if (std::uncaught_exceptions() > unwinding_ || RWOutOfMemoryRaised() != short_of_memory_)
      context_.MarkSpoiled();
  }
  SpoiledByShortage(const SpoiledByShortage&) = delete;
  SpoiledByShortage& operator=(const SpoiledByShortage&) = delete;

 private:
  GDriverContext& context_;
  std::uint32_t short_of_memory_;
  int unwinding_;
};

// Steps 3 to 6 of the road: `call(context)` on the printer's context, or
// `no_context`.
template <class Result, class Call>
Result WithContext(HANDLE printer, const RWWString& name, Result no_context, Call call) {
  CheckedOutContext context(printer, name);
  if (!context.get()) return no_context;
  SpoiledByShortage spoiled(*context.get());
  const Result result = call(*context.get());
  // The call's changes end while it holds its context: one whose changes
  // were not all stored holds what the store does not, and is not parked.
  if (!GStoreCall::FinishOutermost()) context.get()->MarkSpoiled();
  return result;
}

// `call` run again, on a context made anew, while what it read changed
// before its commit (a conflict): a call whose whole work is to bring the
// printer's stored state up to date (the upgrade, the initialise event)
// reads again rather than leave what another call stored in its place
// unexamined. A few rounds: a printer written without a pause ends as the
// later writers left it.
constexpr int kRereads = 3;
template <class Call>
auto Rereading(Call call) {
  auto result = call();
  for (int round = 1; round < kRereads && GStoreCall::TakeConflict(); ++round)
    result = call();
  return result;
}

template <class Result, class Call>
Result ThroughContext(HANDLE printer, const RWWString& name, Result no_context, Call call) {
  ModuleKeepAlive().MarkActivity();
  return WithContext(printer, name, no_context, call);
}

// A property sheet's call: the context is checked out at init (for the
// printer of `printer`) and given back at destroy, which the sheet service
// sends whatever the init answered, and whatever the destroy call meets.
template <class Call>
platform::LONG SheetCall(platform::PropSheetUiInfo* info, HANDLE printer, Call call) {
  if (info->reason == platform::kPropSheetUiReasonInit) {
    CheckedOutContext context(printer, RWWString());
    if (!context.get()) return kNoContextResult;
    context.get()->SetCookie(context.cookie());
    info->user_data = reinterpret_cast<platform::ULONG_PTR>(context.get());
    context.Keep();
  }
  auto* context = reinterpret_cast<GDriverContext*>(info->user_data);
  if (!context) return kNoContextResult;
  if (info->reason != platform::kPropSheetUiReasonDestroy) {
    SpoiledByShortage spoiled(*context);
    const platform::LONG result = call(*context);
    if (!GStoreCall::FinishOutermost()) context->MarkSpoiled();
    return result;
  }
  struct GiveBack {
    std::uint32_t cookie;
    ~GiveBack() { GDriverServer::Instance()->ReleaseContext(cookie); }
  } give_back{context->GetCookie()};
  SpoiledByShortage spoiled(*context);
  const platform::LONG result = call(*context);
  if (!GStoreCall::FinishOutermost()) context->MarkSpoiled();
  return result;
}

// Takes a document's entry out of the document-event table and gives its
// context back: after its delete-DC, or a create-DC that failed.
void EndDocument(HANDLE printer, std::uint32_t cookie) {
  std::uint32_t remaining = 0;
  {
    GLockScope scope(DocumentEventLock(), kDocumentEventSource, kRemoveLockLine, kRemoveUnlockLine);
    DocumentEventTable()->Remove(printer);
    remaining = DocumentEventTable()->Entries();
  }
  GDriverServer::Instance()->ReleaseContext(cookie);
  if (remaining == 0) ModuleKeepAlive().SetKeepLoaded(0);
}

// The context of the document on `printer`: for its create-DC, checked
// out and entered in the document-event table (`cookie`); else found
// there. Null when there is none.
GDriverContext* DocumentContext(HANDLE printer, bool create, std::uint32_t& cookie) {
  GDocumentEventTable* table = DocumentEventTable();
  GDriverServer* server = GDriverServer::Instance();
  if (!table || !server) return nullptr;
  if (!create) {
    bool found = false;
    {
      GLockScope scope(DocumentEventLock(), kDocumentEventSource, kLookupLockLine,
                       kLookupUnlockLine);
      found = table->Find(printer, cookie);
    }
    return found ? GDriverContext::FromDriverData(server->FindContext(cookie)) : nullptr;
  }
  CheckedOutContext checked_out(printer, RWWString());
  if (!checked_out.get()) return nullptr;
  bool entered = false;
  {
    GLockScope scope(DocumentEventLock(), kDocumentEventSource, kCreateLockLine, kCreateUnlockLine);
    entered = table->Insert(printer, checked_out.cookie());
  }
  // A handle has one document at a time: a second one's context would be
  // given back while the first's is still in use.
  if (!entered) {
    platform::SetLastError(platform::kErrorBusy);
    return nullptr;
  }
  cookie = checked_out.cookie();
  GDriverContext* context = checked_out.get();
  checked_out.Keep();
  return context;
}

// The document event on a context the create-DC checked out; see
// DrvDocumentEvent.
int DocumentEvent(HANDLE printer, platform::HDC dc, int event, platform::DWORD size_in, void* in,
                  platform::DWORD size_out, void* out) {
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  ModuleKeepAlive().MarkActivity();
  const auto which = static_cast<std::uint16_t>(event);
  std::uint32_t cookie = 0;
  GDriverContext* context =
      DocumentContext(printer, which == platform::kDocumentEventCreateDcPre, cookie);
  if (!context) return kNoContextDocumentEvent;
  // The document ends at its delete-DC, or at a create-DC that failed
  // (answered 0 or -1, or ran out of memory).
  struct Ending {
    HANDLE printer;
    std::uint32_t cookie;
    bool ends;
    ~Ending() {
      if (ends) EndDocument(printer, cookie);
    }
  } ending{
      printer, cookie,
      which == platform::kDocumentEventCreateDcPre || which == platform::kDocumentEventDeleteDc};
  if (which == platform::kDocumentEventCreateDcPre) ModuleKeepAlive().SetKeepLoaded(1);
  SpoiledByShortage spoiled(*context);
  int result = context->DrvDocumentEvent(printer, dc, event, size_in, in, size_out, out);
  if (!GStoreCall::FinishOutermost()) {
    context->MarkSpoiled();
    result = kNoContextDocumentEvent;
  }
  if (RWShortOfMemorySince(short_of_memory)) result = kNoContextDocumentEvent;
  if (which == platform::kDocumentEventCreateDcPre && result != 0 &&
      result != kNoContextDocumentEvent)
    ending.ends = false;
  return result;
}

}  // namespace

// Each export answers through the boundary with the host
// (AnswerEntryPoint): the first argument is what it answers when memory
// runs out inside it.

platform::DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, const char16_t* device_name,
                                             platform::WORD capability, void* output,
                                             const platform::DevModeW* dev_mode) {
  return AnswerEntryPoint(kCapabilityFailed, [&] {
    return ThroughContext(
        printer, NameOf(device_name), kNoContextCapabilities, [&](GDriverContext& context) {
          return context.DrvDeviceCapabilities(printer, device_name, capability, output, dev_mode);
        });
  });
}

platform::LONG WINAPI DrvDocumentProperties(platform::HWND window, HANDLE printer,
                                            const char16_t* device_name,
                                            platform::DevModeW* dev_mode_out,
                                            platform::DevModeW* dev_mode_in, platform::DWORD mode) {
  return AnswerEntryPoint(kShortOfMemoryResult, [&] {
    return ThroughContext(printer, NameOf(device_name), kNoContextResult,
                          [&](GDriverContext& context) {
                            return context.DrvDocumentProperties(window, printer, device_name,
                                                                 dev_mode_out, dev_mode_in, mode);
                          });
  });
}

platform::LONG WINAPI DrvDocumentPropertySheets(platform::PropSheetUiInfo* info,
                                                platform::LPARAM lparam) {
  return AnswerEntryPoint(kShortOfMemoryResult, [&] {
    ModuleKeepAlive().MarkActivity();
    auto call = [&](GDriverContext& context) {
      return context.DrvDocumentPropertySheets(info, lparam);
    };
    if (!info) {
      const auto* header = reinterpret_cast<const platform::DocumentPropertyHeader*>(lparam);
      if (!header) return kRefusedArguments;
      return WithContext(header->printer, RWWString(), kNoContextResult, call);
    }
    const auto* header =
        reinterpret_cast<const platform::DocumentPropertyHeader*>(info->lparam_init);
    if (info->reason == platform::kPropSheetUiReasonInit && !header) return kRefusedArguments;
    return SheetCall(info, header ? header->printer : nullptr, call);
  });
}

platform::LONG WINAPI DrvAdvancedDocumentProperties(platform::HWND window, HANDLE printer,
                                                    const char16_t* device_name,
                                                    platform::DevModeW* dev_mode_out,
                                                    platform::DevModeW* dev_mode_in) {
  return AnswerEntryPoint(kNoContextResult, [&] {
    return ThroughContext(printer, NameOf(device_name), kNoContextResult,
                          [&](GDriverContext& context) {
                            return context.DrvAdvancedDocumentProperties(
                                window, printer, device_name, dev_mode_out, dev_mode_in);
                          });
  });
}

platform::BOOL WINAPI DrvConvertDevMode(const char16_t* printer_name,
                                        platform::DevModeW* dev_mode_in,
                                        platform::DevModeW* dev_mode_out, platform::LONG* size,
                                        platform::DWORD mode) {
  return AnswerEntryPoint<platform::BOOL>(0, [&] {
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
  });
}

platform::LONG WINAPI DrvDevicePropertySheets(platform::PropSheetUiInfo* info,
                                              platform::LPARAM lparam) {
  return AnswerEntryPoint(kShortOfMemoryResult, [&] {
    ModuleKeepAlive().MarkActivity();
    if (!info || !info->lparam_init) return kRefusedArguments;
    const auto* header = reinterpret_cast<const platform::DevicePropertyHeader*>(info->lparam_init);
    return SheetCall(info, header->printer, [&](GDriverContext& context) {
      return context.DrvDevicePropertySheets(info, lparam);
    });
  });
}

platform::BOOL WINAPI PrinterProperties(platform::HWND window, HANDLE printer) {
  return AnswerEntryPoint<platform::BOOL>(0, [&] {
    return ThroughContext(printer, RWWString(), kNoContextResult, [&](GDriverContext& context) {
      return context.PrinterProperties(window, printer);
    });
  });
}

platform::BOOL WINAPI DevQueryPrintEx(platform::DevQueryPrintInfo* info) {
  return AnswerEntryPoint<platform::BOOL>(0, [&] {
    ModuleKeepAlive().MarkActivity();
    if (!info) return 0;
    return WithContext(info->printer, RWWString(), kNoContextResult,
                       [&](GDriverContext& context) { return context.DevQueryPrintEx(info); });
  });
}

platform::BOOL WINAPI DrvUpgradePrinter(platform::DWORD level, platform::BYTE* info) {
  return AnswerEntryPoint<platform::BOOL>(0, [&] {
    ModuleKeepAlive().MarkActivity();
    const auto* upgrade = reinterpret_cast<const platform::DriverUpgradeInfo1*>(info);
    if (level != 1 || !upgrade || !upgrade->printer_name || !upgrade->old_driver_directory) {
      platform::SetLastError(platform::kErrorInvalidParameter);
      return 0;
    }
    return Rereading([&] {
      return WithContext(
          nullptr, NameOf(upgrade->printer_name), kNoContextResult,
          [&](GDriverContext& context) { return context.DrvUpgradePrinter(level, info); });
    });
  });
}

platform::BOOL WINAPI DrvPrinterEvent(const char16_t* printer_name, int event,
                                      platform::DWORD flags, platform::LPARAM lparam) {
  return AnswerEntryPoint<platform::BOOL>(0, [&] {
    return Rereading([&] {
      return ThroughContext(nullptr, NameOf(printer_name), kNoContextResult,
                            [&](GDriverContext& context) {
                              return context.DrvPrinterEvent(printer_name, event, flags, lparam);
                            });
    });
  });
}

int WINAPI DrvDocumentEvent(HANDLE printer, platform::HDC dc, int event, platform::DWORD size_in,
                            void* in, platform::DWORD size_out, void* out) {
  // As AnswerEntryPoint, but for what a document's end takes back
  // (DocumentEvent's own rule): the answer is the event's.
  GStoreCall call;
  bool ended = false;
  const int result = platform::AnswerAtBoundary(kNoContextDocumentEvent, [&] {
    const int answer = DocumentEvent(printer, dc, event, size_in, in, size_out, out);
    ended = true;
    return answer;
  });
  return call.Answer(result, kNoContextDocumentEvent, ended) == kNoContextDocumentEvent
             ? kNoContextDocumentEvent
             : result;
}

std::uint16_t WINAPI KVDrv_RegisterExtension(const char* printer_name, void*, const char* name,
                                             std::uint32_t mode) {
  return AnswerEntryPoint(kExtFailed, [&] {
    RWWString wide;
    if (printer_name) NarrowToWide(RWCString(printer_name), wide);
    return WithContext(nullptr, wide, kNoContextExtension, [&](GDriverContext& context) {
      return static_cast<std::uint16_t>(context.RegisterExtension(name, mode));
    });
  });
}
