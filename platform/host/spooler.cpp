#include "platform/host/spooler.h"

#include <cstring>
#include <initializer_list>
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
  std::u16string folded;  // the printer's folded name
};

struct Printer {
  std::u16string name;
  std::u16string driver_name;
  std::u16string port_name;
  std::u16string data_file;
};

struct SpoolerState {
  std::map<std::u16string, Printer> printers;  // folded name -> printer
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

const Printer* FindPrinter(HANDLE printer) {
  const PrinterHandle* handle = FindHandle(printer);
  if (handle == nullptr) return nullptr;
  auto it = State().printers.find(handle->folded);
  return it == State().printers.end() ? nullptr : &it->second;
}

// Lays out a record of type Record followed by its strings (each with its
// terminator) in a caller's buffer.
template <class Record>
class RecordWriter {
 public:
  explicit RecordWriter(std::initializer_list<const std::u16string*> strings) {
    bytes_ = sizeof(Record);
    for (const std::u16string* text : strings)
      bytes_ += 2 * (text->size() + 1);
  }
  // Sets `*needed`; false with the last error when the buffer is too small.
  bool Fits(BYTE* buffer, DWORD size, DWORD* needed) const {
    if (needed == nullptr) return Fail<bool>(kErrorInvalidParameter, false);
    *needed = static_cast<DWORD>(bytes_);
    if (buffer == nullptr || size < bytes_) return Fail<bool>(kErrorInsufficientBuffer, false);
    return true;
  }
  Record* Start(BYTE* buffer) {
    std::memset(buffer, 0, bytes_);
    next_ = reinterpret_cast<char16_t*>(buffer + sizeof(Record));
    return reinterpret_cast<Record*>(buffer);
  }
  char16_t* Put(const std::u16string& text) {
    char16_t* at = next_;
    std::memcpy(at, text.data(), 2 * text.size());
    at[text.size()] = u'\0';
    next_ += text.size() + 1;
    return at;
  }

 private:
  std::size_t bytes_ = 0;
  char16_t* next_ = nullptr;
};

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
  State().handles.emplace(id, PrinterHandle{PrinterDataKeyPath(it->second.name),
                                            access != 0 ? access : kPrinterAccessUse, it->first});
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

BOOL GetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed) {
  Lock lock(Mutex());
  const Printer* found = FindPrinter(printer);
  if (found == nullptr) return Fail<BOOL>(kErrorInvalidHandle, 0);
  if (level != 2) return Fail<BOOL>(kErrorInvalidLevel, 0);
  RecordWriter<PrinterInfo2W> writer({&found->name, &found->port_name, &found->driver_name});
  if (!writer.Fits(buffer, size, needed)) return 0;
  PrinterInfo2W* info = writer.Start(buffer);
  info->printer_name = writer.Put(found->name);
  info->port_name = writer.Put(found->port_name);
  info->driver_name = writer.Put(found->driver_name);
  return 1;
}

BOOL GetPrinterDriverW(HANDLE printer, const char16_t*, DWORD level, BYTE* buffer, DWORD size,
                       DWORD* needed) {
  Lock lock(Mutex());
  const Printer* found = FindPrinter(printer);
  if (found == nullptr) return Fail<BOOL>(kErrorInvalidHandle, 0);
  if (level != 2) return Fail<BOOL>(kErrorInvalidLevel, 0);
  RecordWriter<DriverInfo2W> writer({&found->driver_name, &found->data_file});
  if (!writer.Fits(buffer, size, needed)) return 0;
  DriverInfo2W* info = writer.Start(buffer);
  info->version = 3;
  info->name = writer.Put(found->driver_name);
  info->data_file = writer.Put(found->data_file);
  return 1;
}

bool SetPrinterDriver(std::u16string_view printer, std::u16string_view driver_name,
                      std::u16string_view port_name, std::u16string_view data_file) {
  Lock lock(Mutex());
  auto it = State().printers.find(Fold(printer));
  if (it == State().printers.end()) return false;
  it->second.driver_name = driver_name;
  it->second.port_name = port_name;
  it->second.data_file = data_file;
  return true;
}

bool AddPrinter(std::u16string_view name) {
  if (name.empty() || name.find(u'\\') != name.npos) return false;
  Lock lock(Mutex());
  if (!State().printers.emplace(Fold(name), Printer{std::u16string(name), {}, {}, {}}).second) {
    return false;
  }
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
