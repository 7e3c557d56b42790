#include "platform/ui/property_sheet.h"

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/host/boundary.h"
#include "platform/ui/dialog.h"
#include "platform/ui/ui_state.h"
#include "platform/ui/window.h"

namespace platform {
namespace {

using namespace ui_internal;
using host_internal::HandleFromId;
using host_internal::IdFromHandle;

constexpr Rect kFrameRect{0, 0, 480, 360};

struct SheetPage : UiObject {
  SheetPage() : UiObject(UiHandleKind::kSheetPage) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kSheetPage; }
  std::uintptr_t sheet = 0;
  std::size_t index = 0;
  PropSheetPageW record{};  // the service's copy: its address is handed out
  std::uintptr_t window = 0;
  bool created = false;
};

struct Sheet : UiObject {
  Sheet() : UiObject(UiHandleKind::kSheet) {}
  static bool Holds(UiHandleKind k) { return k == UiHandleKind::kSheet; }
  PropSheetUiProc procedure = nullptr;
  PropSheetUiInfo info{};  // the same record for every reason
  std::vector<std::uintptr_t> pages;
  std::size_t start = 0;
  std::uintptr_t frame = 0;
  int active = -1;
  bool ended = false;
  bool ok = false;
  bool result_set = false;
  bool apply_failed = false;  // an OK the procedure could not carry out
  bool applied = false;       // every created page had its OK's apply
  ULONG_PTR result = 0;
};

Sheet* FindSheetLocked(std::uintptr_t id) {
  return StateLocked().handles.Find<Sheet>(id);
}

// The page at `index` of a running sheet, or null.
SheetPage* FindPageLocked(std::uintptr_t sheet_id, std::size_t index) {
  Sheet* sheet = FindSheetLocked(sheet_id);
  if (sheet == nullptr || index >= sheet->pages.size()) return nullptr;
  return StateLocked().handles.Find<SheetPage>(sheet->pages[index]);
}

// The log never fails the sheet: an entry memory cannot be had for is
// dropped (BoundedLog), and the numbered ones are put together on the
// stack, so that the sheet's end (step 5) needs no memory of its own.
void LogLocked(std::string_view text) {
  StateLocked().sheet_log.AddMade([text] { return std::string(text); });
}

void LogNumberLocked(const char* event, std::uint64_t number) {
  char text[48];
  std::snprintf(text, sizeof text, "%s %llu", event, static_cast<unsigned long long>(number));
  LogLocked(text);
}

void LogPageLocked(const char* event, std::size_t index) {
  LogNumberLocked(event, index);
}

// Calls the sheet's procedure with `reason` (nothing when the sheet is
// gone).
LONG CallProcedure(std::uintptr_t sheet_id, DWORD reason, LPARAM lparam) {
  PropSheetUiProc procedure;
  PropSheetUiInfo* info;
  {
    Lock lock(Mutex());
    Sheet* sheet = FindSheetLocked(sheet_id);
    if (sheet == nullptr) return 0;
    sheet->info.reason = WORD(reason);
    procedure = sheet->procedure;
    info = &sheet->info;
    LogNumberLocked("reason", reason);
  }
  return procedure(info, lparam);
}

void NotifyPage(HWND frame, HWND page, int code) {
  NotifyHeader header{frame, 0, code};
  SendMessageW(page, kWmNotify, 0, reinterpret_cast<LPARAM>(&header));
}

// Creates the page's dialog on its first activation; false when it cannot
// be made or its callback refuses.
bool CreatePage(std::uintptr_t sheet_id, std::size_t index) {
  PropSheetPageW* record;
  HWND frame;
  PropSheetPageCallback callback = nullptr;
  {
    Lock lock(Mutex());
    SheetPage* page = FindPageLocked(sheet_id, index);
    if (page == nullptr) return false;
    if (page->created) return true;
    record = &page->record;
    frame = HandleOf(FindSheetLocked(sheet_id)->frame);
    if ((record->flags & kPspUseCallback) != 0) callback = record->callback;
    LogPageLocked("create", index);
  }
  if (callback != nullptr && callback(nullptr, kPspcbCreate, record) == 0) return false;
  HWND window = CreateDialogParamW(record->instance, record->template_name, frame,
                                   record->dialog_procedure, reinterpret_cast<LPARAM>(record));
  if (window == nullptr) return false;
  Lock lock(Mutex());
  SheetPage* page = FindPageLocked(sheet_id, index);
  if (page == nullptr) return false;
  page->window = IdOf(window);
  page->created = true;
  return true;
}

bool Activate(std::uintptr_t sheet_id, std::size_t index) {
  HWND frame;
  HWND previous = nullptr;
  int previous_index;
  {
    Lock lock(Mutex());
    Sheet* sheet = FindSheetLocked(sheet_id);
    if (sheet == nullptr || sheet->ended || index >= sheet->pages.size()) return false;
    if (sheet->active == int(index)) return true;
    frame = HandleOf(sheet->frame);
    previous_index = sheet->active;
    if (previous_index >= 0) {
      previous = HandleOf(FindPageLocked(sheet_id, std::size_t(previous_index))->window);
      LogPageLocked("killactive", std::size_t(previous_index));
    }
  }
  if (previous != nullptr) {
    NotifyPage(frame, previous, kPsnKillActive);
    ShowWindow(previous, kSwHide);
  }
  if (!CreatePage(sheet_id, index)) {
    if (previous != nullptr) ShowWindow(previous, kSwShow);
    return false;
  }
  HWND window;
  {
    Lock lock(Mutex());
    Sheet* sheet = FindSheetLocked(sheet_id);
    SheetPage* page = FindPageLocked(sheet_id, index);
    if (sheet == nullptr || page == nullptr) return false;
    sheet->active = int(index);
    window = HandleOf(page->window);
    LogPageLocked("setactive", index);
  }
  ShowWindow(window, kSwShow);
  NotifyPage(frame, window, kPsnSetActive);
  return true;
}

// The user's OK or Cancel (step 4 of the header).
bool End(std::uintptr_t sheet_id, bool ok) {
  HWND frame;
  HWND active = nullptr;
  std::vector<std::pair<std::size_t, HWND>> created;
  {
    Lock lock(Mutex());
    Sheet* sheet = FindSheetLocked(sheet_id);
    if (sheet == nullptr || sheet->ended) return false;
    sheet->ended = true;
    sheet->ok = ok;
    frame = HandleOf(sheet->frame);
    for (std::size_t index = 0; index < sheet->pages.size(); ++index) {
      SheetPage* page = FindPageLocked(sheet_id, index);
      if (!page->created) continue;
      created.emplace_back(index, HandleOf(page->window));
      if (sheet->active == int(index)) active = HandleOf(page->window);
    }
    if (ok && active != nullptr) LogPageLocked("killactive", std::size_t(sheet->active));
  }
  if (ok && active != nullptr) NotifyPage(frame, active, kPsnKillActive);
  for (const auto& [index, window] : created) {
    {
      Lock lock(Mutex());
      LogPageLocked(ok ? "apply" : "reset", index);
    }
    NotifyPage(frame, window, ok ? kPsnApply : kPsnReset);
  }
  if (ok) {
    Lock lock(Mutex());
    if (Sheet* sheet = FindSheetLocked(sheet_id)) sheet->applied = true;
  }
  return true;
}

LONG_PTR SheetCallback(HANDLE sheet_handle, UINT function, LPARAM first, LPARAM second) {
  const std::uintptr_t sheet_id = IdFromHandle(sheet_handle);
  if (function == kCpsFuncSetResult) {
    {
      Lock lock(Mutex());
      Sheet* sheet = FindSheetLocked(sheet_id);
      if (sheet == nullptr) return 0;
      sheet->result = ULONG_PTR(second);
      sheet->result_set = true;
      LogNumberLocked("result", std::uint64_t(second));
    }
    SetResultInfo info{WORD(sizeof(SetResultInfo)), 0, reinterpret_cast<HANDLE>(first), second};
    const LONG answer =
        CallProcedure(sheet_id, kPropSheetUiReasonSetResult, reinterpret_cast<LPARAM>(&info));
    // An OK whose settings the procedure could not apply is no OK: the
    // sheet ends as cancelled, whatever was set before or after.
    if (ULONG_PTR(second) == kCpsuiOk && answer <= 0) {
      Lock lock(Mutex());
      if (Sheet* sheet = FindSheetLocked(sheet_id)) sheet->apply_failed = true;
    }
    return answer;
  }
  Lock lock(Mutex());
  UiState& state = StateLocked();
  Sheet* sheet = FindSheetLocked(sheet_id);
  if (sheet == nullptr) return 0;
  if (function == kCpsFuncAddPropSheetPageW) {
    const auto* record = reinterpret_cast<const PropSheetPageW*>(first);
    if (record == nullptr || record->template_name == nullptr ||
        record->dialog_procedure == nullptr) {
      LogLocked("refused");
      return 0;
    }
    auto page = std::make_unique<SheetPage>();
    page->record = *record;
    page->sheet = sheet_id;
    page->index = sheet->pages.size();
    LogPageLocked("add", page->index);
    const std::uintptr_t page_id = state.handles.Add(std::move(page));
    sheet->pages.push_back(page_id);
    return LONG_PTR(page_id);
  }
  if (function == kCpsFuncSetHStartPage) {
    SheetPage* page = state.handles.Find<SheetPage>(std::uintptr_t(first));
    if (page == nullptr || page->sheet != sheet_id) return 0;
    sheet->start = page->index;
    LogPageLocked("start", page->index);
    return 1;
  }
  return 0;
}

// Shows the sheet and runs its script (step 3 of the header).
void Show(std::uintptr_t sheet_id, HWND owner, const char16_t* title) {
  std::size_t start;
  SheetScript script;
  bool strict;
  {
    Lock lock(Mutex());
    UiState& state = StateLocked();
    Sheet* sheet = FindSheetLocked(sheet_id);
    if (sheet == nullptr) return;
    const std::uintptr_t owner_id =
        owner != nullptr && FindWindowLocked(owner) != nullptr && IdOf(owner) != state.desktop
            ? IdOf(owner)
            : 0;
    Window* frame =
        NewWindowLocked(*FindClassLocked(u"#32770"), kWsPopup | kWsCaption | kWsVisible,
                        title != nullptr ? std::u16string_view(title) : std::u16string_view(),
                        kFrameRect, owner_id, 0, nullptr);
    sheet->frame = frame->id;
    start = sheet->start;
    if (!state.sheet_scripts.empty()) {
      script = std::move(state.sheet_scripts.front());
      state.sheet_scripts.pop_front();
    }
    strict = state.strict_dialogs;
  }
  Activate(sheet_id, start);
  const HANDLE handle = HandleFromId<HANDLE>(sheet_id);
  if (script) {
    script(handle);
    if (End(sheet_id, false)) ReportUiFailure("property sheet left open by its script");
  } else {
    if (strict) ReportUiFailure("unscripted property sheet");
    End(sheet_id, false);
  }
}

// Steps 1 to 4: 1 when the sheet was shown, -1 when not.
LONG RunSheet(std::uintptr_t sheet_id, HWND owner, LPARAM parameter) {
  if (CallProcedure(sheet_id, kPropSheetUiReasonInit, parameter) <= 0) return -1;
  PropSheetUiInfoHeader header{WORD(sizeof(PropSheetUiInfoHeader)), 0, nullptr, owner, nullptr, 0};
  CallProcedure(sheet_id, kPropSheetUiReasonGetInfoHeader, reinterpret_cast<LPARAM>(&header));
  bool has_pages;
  {
    Lock lock(Mutex());
    std::string title;
    for (const char16_t* at = header.title; at != nullptr && *at != 0; ++at)
      title += *at < 0x80 ? char(*at) : '?';
    LogLocked("header " + std::to_string(header.flags) + " " + title);
    Sheet* sheet = FindSheetLocked(sheet_id);
    has_pages = sheet != nullptr && !sheet->pages.empty();
  }
  if (!has_pages) return -1;
  Show(sheet_id, owner, header.title);
  return 1;
}

// Step 5: the windows, the release callbacks, reason 2. It needs no memory
// (it may follow one that ran out) but what the procedures it calls take.
void EndSheet(std::uintptr_t sheet_id) {
  HWND frame = nullptr;
  std::size_t pages = 0;
  {
    Lock lock(Mutex());
    if (Sheet* sheet = FindSheetLocked(sheet_id)) {
      frame = sheet->frame != 0 ? HandleOf(sheet->frame) : nullptr;
      pages = sheet->pages.size();
    }
  }
  if (frame != nullptr) DestroyWindow(frame);
  for (std::size_t index = 0; index < pages; ++index) {
    PropSheetPageW* record = nullptr;
    {
      Lock lock(Mutex());
      SheetPage* page = FindPageLocked(sheet_id, index);
      if (page == nullptr || (page->record.flags & kPspUseCallback) == 0 ||
          page->record.callback == nullptr)
        continue;
      record = &page->record;
      LogPageLocked("release", index);
    }
    record->callback(nullptr, kPspcbRelease, record);
  }
  CallProcedure(sheet_id, kPropSheetUiReasonDestroy, 0);
}

}  // namespace

LONG CommonPropertySheetUIW(HWND owner, PropSheetUiProc procedure, LPARAM parameter,
                            ULONG_PTR* result) {
  if (result != nullptr) *result = 0;
  if (procedure == nullptr) return host_internal::Fail<LONG>(kErrorInvalidParameter, -1);
  std::uintptr_t sheet_id;
  try {
    Lock lock(Mutex());
    auto made = std::make_unique<Sheet>();
    Sheet* sheet = made.get();
    sheet_id = StateLocked().handles.Add(std::move(made));
    sheet->procedure = procedure;
    sheet->info.size = WORD(sizeof(PropSheetUiInfo));
    sheet->info.property_sheet = HandleFromId<HANDLE>(sheet_id);
    sheet->info.service_callback = &SheetCallback;
    sheet->info.lparam_init = parameter;
  } catch (const std::bad_alloc&) {
    NoteShortage();
    return host_internal::Fail<LONG>(kErrorNotEnoughMemory, -1);
  }
  // Memory that runs out in the service's own work (a window, a page, the
  // user's verbs) fails the sheet, as the system's service answers; the
  // procedure still gets its end, which gives back what its init took.
  LONG shown = -1;
  DWORD failed = kErrorSuccess;
  try {
    shown = RunSheet(sheet_id, owner, parameter);
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    failed = CaughtExceptionError();
  }
  EndSheet(sheet_id);
  Lock lock(Mutex());
  Sheet* sheet = FindSheetLocked(sheet_id);
  if (sheet == nullptr) return shown;
  // Memory that ran short once every page had applied the user's OK (the
  // windows' end) does not take the OK back: what it applied stays.
  if (failed != kErrorSuccess && sheet->ok && sheet->applied && !sheet->apply_failed) {
    failed = kErrorSuccess;
    shown = 1;
  }
  if (shown > 0 && failed == kErrorSuccess && result != nullptr) {
    *result = !sheet->ok || sheet->apply_failed ? ULONG_PTR(kCpsuiCancel)
              : sheet->result_set               ? sheet->result
                                                : kCpsuiOk;
  }
  for (std::uintptr_t page : sheet->pages)
    StateLocked().handles.Remove(page);
  StateLocked().handles.Remove(sheet_id);
  return failed != kErrorSuccess ? host_internal::Fail<LONG>(failed, -1) : shown;
}

void ScriptPropertySheet(SheetScript script) {
  Lock lock(Mutex());
  StateLocked().sheet_scripts.push_back(std::move(script));
}

std::size_t PendingSheetScripts() {
  Lock lock(Mutex());
  return StateLocked().sheet_scripts.size();
}

std::vector<HPROPSHEETPAGE> SheetPages(HANDLE sheet_handle) {
  Lock lock(Mutex());
  std::vector<HPROPSHEETPAGE> pages;
  if (Sheet* sheet = FindSheetLocked(IdFromHandle(sheet_handle))) {
    for (std::uintptr_t page : sheet->pages)
      pages.push_back(HandleFromId<HPROPSHEETPAGE>(page));
  }
  return pages;
}

int SheetActiveIndex(HANDLE sheet_handle) {
  Lock lock(Mutex());
  Sheet* sheet = FindSheetLocked(IdFromHandle(sheet_handle));
  return sheet != nullptr ? sheet->active : -1;
}

HWND SheetPageWindow(HANDLE sheet_handle, std::size_t index) {
  Lock lock(Mutex());
  SheetPage* page = FindPageLocked(IdFromHandle(sheet_handle), index);
  return page != nullptr ? HandleOf(page->window) : nullptr;
}

HWND SheetFrame(HANDLE sheet_handle) {
  Lock lock(Mutex());
  Sheet* sheet = FindSheetLocked(IdFromHandle(sheet_handle));
  return sheet != nullptr ? HandleOf(sheet->frame) : nullptr;
}

bool SheetActivate(HANDLE sheet_handle, std::size_t index) {
  return Activate(IdFromHandle(sheet_handle), index);
}

bool SheetOk(HANDLE sheet_handle) {
  return End(IdFromHandle(sheet_handle), true);
}

bool SheetCancel(HANDLE sheet_handle) {
  return End(IdFromHandle(sheet_handle), false);
}

std::vector<std::string> PropertySheetLog() {
  Lock lock(Mutex());
  return StateLocked().sheet_log.Entries();
}

void ClearPropertySheetLog() {
  Lock lock(Mutex());
  StateLocked().sheet_log.Clear();
}

}  // namespace platform
