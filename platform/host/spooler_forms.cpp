// The spooler's forms: one ordered list per server (spooler.h).
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/host_state.h"
#include "platform/host/registry_store.h"
#include "platform/host/spooler.h"
#include "platform/host/system_writes.h"

namespace platform {
namespace {

using host_internal::Fail;
using host_internal::Fold;
using host_internal::Lock;
using host_internal::Mutex;

struct Form {
  DWORD flags;
  std::u16string name;
  SizeL size;
  RectL area;
};

// Folded server name -> its forms in order.
std::map<std::u16string, std::vector<Form>>& Servers() {
  static std::map<std::u16string, std::vector<Form>> servers;
  return servers;
}

// Folded server and form name -> the error every change of it fails with.
std::map<std::pair<std::u16string, std::u16string>, DWORD>& Failures() {
  static std::map<std::pair<std::u16string, std::u16string>, DWORD> failures;
  return failures;
}

// The injected failure of a change of form `name` of `printer`'s server, or
// the write refusals' (system_writes.h), or 0.
DWORD FailureOf(HANDLE printer, const char16_t* name) {
  std::u16string server;
  DWORD access = 0;
  host_internal::PrinterServerLocked(printer, server, access);
  const std::u16string folded = Fold(name != nullptr ? name : u"");
  auto it = Failures().find({server, folded});
  if (it != Failures().end()) return it->second;
  return host_internal::RefusedWriteLocked(u"form:" + server + u"\\" + folded);
}

// Folded server name -> the stamp of its forms' last change.
std::map<std::u16string, std::uint64_t>& Stamps() {
  static std::map<std::u16string, std::uint64_t> stamps;
  return stamps;
}

// The stamp of the forms of `printer`'s server (known open), made before a
// change so that memory that runs out leaves the forms as they were.
std::uint64_t& StampOf(HANDLE printer) {
  std::u16string server;
  DWORD access = 0;
  host_internal::PrinterServerLocked(printer, server, access);
  return Stamps()[server];
}

// The forms of the server of `printer`; null, with the last error, for a
// handle that is not open or (with `administer`) lacks the right.
std::vector<Form>* FormsOf(HANDLE printer, bool administer) {
  std::u16string server;
  DWORD access = 0;
  if (!host_internal::PrinterServerLocked(printer, server, access)) {
    return Fail<std::vector<Form>*>(kErrorInvalidHandle, nullptr);
  }
  if (administer && (access & kPrinterAccessAdminister) == 0) {
    return Fail<std::vector<Form>*>(kErrorAccessDenied, nullptr);
  }
  return &Servers()[server];
}

std::vector<Form>::iterator Find(std::vector<Form>& forms, const char16_t* name) {
  const std::u16string folded = Fold(name != nullptr ? name : u"");
  auto it = forms.begin();
  while (it != forms.end() && Fold(it->name) != folded)
    ++it;
  return it;
}

// Writes `count` forms from `first` as records followed by their names,
// under the size protocol of spooler.h.
BOOL WriteForms(const Form* first, std::size_t count, BYTE* buffer, DWORD size, DWORD* needed) {
  if (needed == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  std::size_t bytes = count * sizeof(FormInfo1W);
  for (std::size_t i = 0; i < count; ++i)
    bytes += 2 * (first[i].name.size() + 1);
  if (bytes > 0xFFFFFFFFu) return Fail<BOOL>(kErrorNotEnoughMemory, 0);
  *needed = static_cast<DWORD>(bytes);
  if (buffer == nullptr || size < bytes) return Fail<BOOL>(kErrorInsufficientBuffer, 0);
  std::memset(buffer, 0, bytes);
  auto* records = reinterpret_cast<FormInfo1W*>(buffer);
  auto* text = reinterpret_cast<char16_t*>(buffer + count * sizeof(FormInfo1W));
  for (std::size_t i = 0; i < count; ++i) {
    const Form& form = first[i];
    records[i] = FormInfo1W{form.flags, text, form.size, form.area};
    std::memcpy(text, form.name.data(), 2 * form.name.size());
    text += form.name.size() + 1;
  }
  return 1;
}

}  // namespace

BOOL GetFormW(HANDLE printer, const char16_t* name, DWORD level, BYTE* buffer, DWORD size,
              DWORD* needed) {
  return host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    std::vector<Form>* forms = FormsOf(printer, false);
    if (forms == nullptr) return 0;
    if (level != 1) return Fail<BOOL>(kErrorInvalidLevel, 0);
    auto it = Find(*forms, name);
    if (it == forms->end()) return Fail<BOOL>(kErrorInvalidFormName, 0);
    return WriteForms(&*it, 1, buffer, size, needed);
  });
}

BOOL EnumFormsW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed,
                DWORD* returned) {
  return host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    if (returned == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
    *returned = 0;
    std::vector<Form>* forms = FormsOf(printer, false);
    if (forms == nullptr) return 0;
    if (level != 1) return Fail<BOOL>(kErrorInvalidLevel, 0);
    if (!WriteForms(forms->data(), forms->size(), buffer, size, needed)) return 0;
    *returned = static_cast<DWORD>(forms->size());
    return 1;
  });
}

BOOL AddFormW(HANDLE printer, DWORD level, const BYTE* form) {
  host_internal::HeardCall heard;
  const BOOL result = host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    std::vector<Form>* forms = FormsOf(printer, true);
    if (forms == nullptr) return 0;
    if (level != 1) return Fail<BOOL>(kErrorInvalidLevel, 0);
    const auto* record = reinterpret_cast<const FormInfo1W*>(form);
    if (record != nullptr) host_internal::HearLocked(heard, printer, record->name);
    if (record == nullptr || record->name == nullptr || record->name[0] == u'\0' ||
        record->flags == kFormBuiltin) {
      return Fail<BOOL>(kErrorInvalidParameter, 0);
    }
    if (Find(*forms, record->name) != forms->end()) return Fail<BOOL>(kErrorFileExists, 0);
    if (DWORD failure = FailureOf(printer, record->name)) return Fail<BOOL>(failure, 0);
    Form added{record->flags, record->name, record->size, record->imageable_area};
    std::uint64_t& stamp = StampOf(printer);
    forms->push_back(std::move(added));
    stamp = host_internal::NextChangeStamp();
    return 1;
  });
  host_internal::Tell(heard, StoredStateOperation::kWriteForm, DWORD(result));
  return result;
}

BOOL SetFormW(HANDLE printer, const char16_t* name, DWORD level, const BYTE* form) {
  host_internal::HeardCall heard;
  const BOOL result = host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    std::vector<Form>* forms = FormsOf(printer, true);
    if (forms == nullptr) return 0;
    if (level != 1) return Fail<BOOL>(kErrorInvalidLevel, 0);
    const auto* record = reinterpret_cast<const FormInfo1W*>(form);
    host_internal::HearLocked(heard, printer, name);
    if (record == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
    auto it = Find(*forms, name);
    if (it == forms->end()) return Fail<BOOL>(kErrorInvalidFormName, 0);
    if (it->flags == kFormBuiltin) return Fail<BOOL>(kErrorAccessDenied, 0);
    if (DWORD failure = FailureOf(printer, name)) return Fail<BOOL>(failure, 0);
    std::uint64_t& stamp = StampOf(printer);
    it->size = record->size;
    it->area = record->imageable_area;
    stamp = host_internal::NextChangeStamp();
    return 1;
  });
  host_internal::Tell(heard, StoredStateOperation::kWriteForm, DWORD(result));
  return result;
}

BOOL DeleteFormW(HANDLE printer, const char16_t* name) {
  host_internal::HeardCall heard;
  const BOOL result = host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    std::vector<Form>* forms = FormsOf(printer, true);
    if (forms == nullptr) return 0;
    host_internal::HearLocked(heard, printer, name);
    auto it = Find(*forms, name);
    if (it == forms->end()) return Fail<BOOL>(kErrorInvalidFormName, 0);
    if (it->flags == kFormBuiltin) return Fail<BOOL>(kErrorAccessDenied, 0);
    if (DWORD failure = FailureOf(printer, name)) return Fail<BOOL>(failure, 0);
    std::uint64_t& stamp = StampOf(printer);
    forms->erase(it);
    stamp = host_internal::NextChangeStamp();
    return 1;
  });
  host_internal::Tell(heard, StoredStateOperation::kWriteForm, DWORD(result));
  return result;
}

void AddServerForm(std::u16string_view server, DWORD flags, std::u16string_view name, LONG cx,
                   LONG cy) {
  Lock lock(Mutex());
  Servers()[Fold(server)].push_back(Form{flags, std::u16string(name), {cx, cy}, {0, 0, cx, cy}});
  Stamps()[Fold(server)] = host_internal::NextChangeStamp();
}

void SetFormWriteFailure(std::u16string_view server, std::u16string_view name, DWORD error) {
  Lock lock(Mutex());
  if (error == kErrorSuccess) {
    Failures().erase({Fold(server), Fold(name)});
  } else {
    Failures()[{Fold(server), Fold(name)}] = error;
  }
}

namespace host_internal {

void ResetFormsLocked() {
  Servers().clear();
  Failures().clear();
  Stamps().clear();
}

std::uint64_t FormsStampLocked(const std::u16string& folded_server) {
  auto it = Stamps().find(folded_server);
  return it == Stamps().end() ? 0 : it->second;
}

}  // namespace host_internal
}  // namespace platform
