#include "platform/host/spooler.h"

#include <cstring>
#include <map>

#include "platform/host/host_state.h"
#include "platform/host/registry.h"
#include "platform/host/registry_store.h"

namespace platform {
namespace {

using host_internal::Fail;
using host_internal::Fold;
using host_internal::Hive;
using host_internal::Lock;
using host_internal::Mutex;

struct PrinterHandle {
  std::u16string data_key;  // PrinterDataKeyPath of the printer
  DWORD access;
};

struct SpoolerState {
  std::map<std::u16string, std::u16string> printers;  // folded name -> name
  std::map<std::uintptr_t, PrinterHandle> handles;
  SpoolerCounters counters;
};

SpoolerState& State() {
  static SpoolerState state;
  return state;
}

const PrinterHandle* FindHandle(HANDLE printer) {
  auto it = State().handles.find(host_internal::IdFromHandle(printer));
  return it == State().handles.end() ? nullptr : &it->second;
}

}  // namespace

BOOL OpenPrinterW(const char16_t* name, HANDLE* printer, const PrinterDefaultsW* defaults) {
  if (printer == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  *printer = nullptr;
  if (name == nullptr) return Fail<BOOL>(kErrorInvalidPrinterName, 0);
  Lock lock(Mutex());
  auto it = State().printers.find(Fold(name));
  if (it == State().printers.end()) return Fail<BOOL>(kErrorInvalidPrinterName, 0);
  DWORD access = defaults != nullptr ? defaults->desired_access : 0;
  std::uintptr_t id = host_internal::NewHandleId();
  State().handles.emplace(
      id, PrinterHandle{PrinterDataKeyPath(it->second), access != 0 ? access : kPrinterAccessUse});
  ++State().counters.opens;
  *printer = host_internal::HandleFromId<HANDLE>(id);
  return 1;
}

BOOL ClosePrinter(HANDLE printer) {
  Lock lock(Mutex());
  if (State().handles.erase(host_internal::IdFromHandle(printer)) == 0) {
    return Fail<BOOL>(kErrorInvalidHandle, 0);
  }
  ++State().counters.closes;
  return 1;
}

DWORD GetPrinterDataW(HANDLE printer, const char16_t* name, DWORD* type, BYTE* data, DWORD size,
                      DWORD* needed) {
  if (needed == nullptr || (data == nullptr && size != 0)) return kErrorInvalidParameter;
  Lock lock(Mutex());
  const PrinterHandle* handle = FindHandle(printer);
  if (handle == nullptr) return kErrorInvalidHandle;
  const host_internal::RegistryValue* value =
      host_internal::StoreFindValue(Hive::kMachine, handle->data_key, name != nullptr ? name : u"");
  if (value == nullptr) return kErrorFileNotFound;
  if (value->data.size() > 0xFFFFFFFFu) return kErrorInvalidData;
  if (type != nullptr) *type = value->type;
  *needed = static_cast<DWORD>(value->data.size());
  if (size < *needed) return kErrorMoreData;
  if (*needed != 0) std::memcpy(data, value->data.data(), *needed);
  return kErrorSuccess;
}

DWORD SetPrinterDataW(HANDLE printer, const char16_t* name, DWORD type, const BYTE* data,
                      DWORD size) {
  Lock lock(Mutex());
  const PrinterHandle* handle = FindHandle(printer);
  if (handle == nullptr) return kErrorInvalidHandle;
  if ((handle->access & kPrinterAccessAdminister) == 0) return kErrorAccessDenied;
  return host_internal::StoreSetValue(Hive::kMachine, handle->data_key,
                                      name != nullptr ? name : u"", type, data, size);
}

bool AddPrinter(std::u16string_view name) {
  if (name.empty() || name.find(u'\\') != name.npos) return false;
  Lock lock(Mutex());
  if (!State().printers.emplace(Fold(name), std::u16string(name)).second) return false;
  return host_internal::StoreCreateKey(Hive::kMachine, PrinterDataKeyPath(name));
}

std::u16string PrinterDataKeyPath(std::u16string_view printer) {
  std::u16string path = kPrintersKeyPath;
  path += u'\\';
  path += printer;
  path += u'\\';
  path += kPrinterDataKeyName;
  return path;
}

void SetPrinterDataWriteFailure(std::u16string_view printer, std::u16string_view name,
                                DWORD error) {
  SetRegistryWriteFailure(kHkeyLocalMachine, PrinterDataKeyPath(printer), name, error);
}

SpoolerCounters GetSpoolerCounters() {
  Lock lock(Mutex());
  SpoolerCounters counters = State().counters;
  counters.open_handles = static_cast<std::uint32_t>(State().handles.size());
  return counters;
}

namespace host_internal {

void ResetSpoolerLocked() {
  State() = SpoolerState{};
}

}  // namespace host_internal
}  // namespace platform
