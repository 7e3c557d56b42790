#include "platform/host/spooler.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "platform/host/host_state.h"
#include "platform/host/registry.h"
#include "platform/host/registry_store.h"
#include "platform/host/system_writes.h"

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
  std::u16string folded;          // the printer's folded name
  host_internal::StoreKey* data;  // that key, for its stamp
};

struct Printer {
  std::u16string name;
  std::u16string driver_name;
  std::u16string port_name;
  std::u16string data_file;
  std::u16string server;                                   // empty: the local machine
  std::vector<BYTE> default_dev_mode;                      // empty: none stored
  DWORD default_write_failure = kErrorSuccess;             // SetStoredDefaultWriteFailure
  std::uint64_t stamp = host_internal::NextChangeStamp();  // of the record's last change
};

struct SpoolerState {
  std::map<std::u16string, Printer> printers;  // folded name -> printer
  std::map<std::uintptr_t, PrinterHandle> handles;
  SpoolerCounters counters;
  bool administer_denied = false;
  StoredStateHook hook = nullptr;
  void* hook_context = nullptr;
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
// terminator; null ones take no room) and an optional block of bytes (at an 8-byte boundary) in a
// caller's buffer.
template <class Record>
class RecordWriter {
 public:
  explicit RecordWriter(std::initializer_list<const std::u16string*> strings,
                        const std::vector<BYTE>* block = nullptr)
      : block_(block) {
    bytes_ = sizeof(Record);
    for (const std::u16string* text : strings)
      if (text != nullptr) bytes_ += 2 * (text->size() + 1);
    if (block_ != nullptr && !block_->empty()) bytes_ = (bytes_ + 7) / 8 * 8 + block_->size();
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
  // The block, copied to the end of the record's bytes; null without one.
  BYTE* PutBlock(BYTE* buffer) {
    if (block_ == nullptr || block_->empty()) return nullptr;
    BYTE* at = buffer + bytes_ - block_->size();
    std::memcpy(at, block_->data(), block_->size());
    return at;
  }

 private:
  const std::vector<BYTE>* block_;
  std::size_t bytes_ = 0;
  char16_t* next_ = nullptr;
};

std::uint16_t Word(const BYTE* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

}  // namespace

BOOL OpenPrinterW(const char16_t* name, HANDLE* printer, const PrinterDefaultsW* defaults) {
  return host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    if (printer == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
    *printer = nullptr;
    if (name == nullptr) return Fail<BOOL>(kErrorInvalidPrinterName, 0);
    Lock lock(Mutex());
    auto it = State().printers.find(Fold(name));
    if (it == State().printers.end()) return Fail<BOOL>(kErrorInvalidPrinterName, 0);
    DWORD access = defaults != nullptr ? defaults->desired_access : 0;
    if (State().administer_denied && (access & kPrinterAccessAdminister) != 0) {
      return Fail<BOOL>(kErrorAccessDenied, 0);
    }
    std::uintptr_t id = host_internal::NewHandleId();
    std::u16string data_key = PrinterDataKeyPath(it->second.name);
    host_internal::StoreKey* data = host_internal::StoreFindKey(Hive::kMachine, data_key);
    State().handles.emplace(
        id, PrinterHandle{std::move(data_key), access != 0 ? access : kPrinterAccessUse, it->first,
                          data});
    ++State().counters.opens;
    *printer = host_internal::HandleFromId<HANDLE>(id);
    return 1;
  });
}

BOOL ClosePrinter(HANDLE printer) {
  return host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    if (State().handles.erase(host_internal::IdFromHandle(printer)) == 0) {
      return Fail<BOOL>(kErrorInvalidHandle, 0);
    }
    ++State().counters.closes;
    return 1;
  });
}

DWORD GetPrinterDataW(HANDLE printer, const char16_t* name, DWORD* type, BYTE* data, DWORD size,
                      DWORD* needed) {
  host_internal::HeardCall heard;
  host_internal::SystemCall<bool>(false, [&] {
    Lock lock(Mutex());
    host_internal::HearLocked(heard, printer, name);
    return true;
  });
  host_internal::Tell(heard, StoredStateOperation::kReadingValue, 0);
  heard = {};
  const DWORD result = host_internal::SystemCall<DWORD>(kErrorNotEnoughMemory, [&]() -> DWORD {
    if (needed == nullptr || (data == nullptr && size != 0)) return kErrorInvalidParameter;
    Lock lock(Mutex());
    host_internal::HearLocked(heard, printer, name);
    const PrinterHandle* handle = FindHandle(printer);
    if (handle == nullptr) return kErrorInvalidHandle;
    const host_internal::RegistryValue* value = host_internal::StoreFindValue(
        Hive::kMachine, handle->data_key, name != nullptr ? name : u"");
    if (value == nullptr) return kErrorFileNotFound;
    if (value->data.size() > 0xFFFFFFFFu) return kErrorInvalidData;
    if (type != nullptr) *type = value->type;
    *needed = static_cast<DWORD>(value->data.size());
    if (size < *needed) return kErrorMoreData;
    if (*needed != 0) std::memcpy(data, value->data.data(), *needed);
    return kErrorSuccess;
  });
  host_internal::Tell(heard, StoredStateOperation::kReadValue, result);
  return result;
}

namespace {

// A change of printer-data value `name`, `change(handle)` once the handle
// is found to hold the administer right; heard as a write.
template <class Change>
DWORD ChangePrinterData(HANDLE printer, const char16_t* name, Change change) {
  host_internal::HeardCall heard;
  const DWORD result = host_internal::SystemCall<DWORD>(kErrorNotEnoughMemory, [&]() -> DWORD {
    Lock lock(Mutex());
    host_internal::HearLocked(heard, printer, name);
    const PrinterHandle* handle = FindHandle(printer);
    if (handle == nullptr) return kErrorInvalidHandle;
    if ((handle->access & kPrinterAccessAdminister) == 0) return kErrorAccessDenied;
    return change(*handle);
  });
  host_internal::Tell(heard, StoredStateOperation::kWriteValue, result);
  return result;
}

}  // namespace

DWORD SetPrinterDataW(HANDLE printer, const char16_t* name, DWORD type, const BYTE* data,
                      DWORD size) {
  return ChangePrinterData(printer, name, [&](const PrinterHandle& handle) {
    return host_internal::StoreSetValue(Hive::kMachine, handle.data_key,
                                        name != nullptr ? name : u"", type, data, size);
  });
}

DWORD DeletePrinterDataW(HANDLE printer, const char16_t* name) {
  return ChangePrinterData(printer, name, [&](const PrinterHandle& handle) {
    HKEY key = nullptr;
    LONG opened = RegOpenKeyExW(kHkeyLocalMachine, handle.data_key.c_str(), 0, kKeySetValue, &key);
    if (opened != 0) return DWORD(opened);
    const LONG deleted = RegDeleteValueW(key, name != nullptr ? name : u"");
    RegCloseKey(key);
    return DWORD(deleted);
  });
}

BOOL GetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD size, DWORD* needed) {
  return host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    const Printer* found = FindPrinter(printer);
    if (found == nullptr) return Fail<BOOL>(kErrorInvalidHandle, 0);
    if (level != 2) return Fail<BOOL>(kErrorInvalidLevel, 0);
    RecordWriter<PrinterInfo2W> writer({found->server.empty() ? nullptr : &found->server,
                                        &found->name, &found->port_name, &found->driver_name},
                                       &found->default_dev_mode);
    if (!writer.Fits(buffer, size, needed)) return 0;
    PrinterInfo2W* info = writer.Start(buffer);
    if (!found->server.empty()) info->server_name = writer.Put(found->server);
    info->printer_name = writer.Put(found->name);
    info->port_name = writer.Put(found->port_name);
    info->driver_name = writer.Put(found->driver_name);
    info->dev_mode = writer.PutBlock(buffer);
    return 1;
  });
}

BOOL SetPrinterW(HANDLE printer, DWORD level, BYTE* buffer, DWORD command) {
  host_internal::HeardCall heard;
  const BOOL result = host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
    Lock lock(Mutex());
    host_internal::HearLocked(heard, printer, nullptr);
    const PrinterHandle* handle = FindHandle(printer);
    if (handle == nullptr) return Fail<BOOL>(kErrorInvalidHandle, 0);
    if (level != 2) return Fail<BOOL>(kErrorInvalidLevel, 0);
    if (buffer == nullptr || command != 0) return Fail<BOOL>(kErrorInvalidParameter, 0);
    if ((handle->access & kPrinterAccessAdminister) == 0) return Fail<BOOL>(kErrorAccessDenied, 0);
    const auto* info = reinterpret_cast<const PrinterInfo2W*>(buffer);
    if (info->dev_mode == nullptr) return 1;
    const auto* dev_mode = static_cast<const BYTE*>(info->dev_mode);
    // The record says how long it is; it must at least hold what says so.
    const std::size_t length = std::size_t{Word(dev_mode + kDevModeSizeOffset)} +
                               Word(dev_mode + kDevModeDriverExtraOffset);
    if (length < kDevModeDriverExtraOffset + 2) return Fail<BOOL>(kErrorInvalidParameter, 0);
    Printer& stored = State().printers[handle->folded];
    if (stored.default_write_failure != kErrorSuccess)
      return Fail<BOOL>(stored.default_write_failure, 0);
    if (DWORD refused = host_internal::RefusedWriteLocked(u"default:" + handle->folded))
      return Fail<BOOL>(refused, 0);
    stored.default_dev_mode.assign(dev_mode, dev_mode + length);
    stored.stamp = host_internal::NextChangeStamp();
    return 1;
  });
  host_internal::Tell(heard, StoredStateOperation::kWritePrinter, DWORD(result));
  return result;
}

std::uint64_t GetPrinterChangeStamp(HANDLE printer) {
  return host_internal::SystemCall<std::uint64_t>(0, [&]() -> std::uint64_t {
    Lock lock(Mutex());
    const PrinterHandle* handle = FindHandle(printer);
    const Printer* found = FindPrinter(printer);
    if (handle == nullptr || found == nullptr) return 0;
    std::uint64_t stamp = found->stamp;
    if (handle->data != nullptr)
      stamp = std::max(stamp, host_internal::StoreKeyStamp(*handle->data));
    return std::max(stamp, host_internal::FormsStampLocked(Fold(found->server)));
  });
}

BOOL GetPrinterDriverW(HANDLE printer, const char16_t*, DWORD level, BYTE* buffer, DWORD size,
                       DWORD* needed) {
  return host_internal::SystemCall<BOOL>(0, [&]() -> BOOL {
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
  });
}

bool SetPrinterDriver(std::u16string_view printer, std::u16string_view driver_name,
                      std::u16string_view port_name, std::u16string_view data_file) {
  Lock lock(Mutex());
  auto it = State().printers.find(Fold(printer));
  if (it == State().printers.end()) return false;
  it->second.driver_name = driver_name;
  it->second.port_name = port_name;
  it->second.data_file = data_file;
  it->second.stamp = host_internal::NextChangeStamp();
  return true;
}

bool AddPrinter(std::u16string_view name) {
  if (name.empty() || name.find(u'\\') != name.npos) return false;
  Lock lock(Mutex());
  Printer added{
      std::u16string(name), {}, {}, {}, {}, {}, kErrorSuccess, host_internal::NextChangeStamp()};
  if (!State().printers.emplace(Fold(name), std::move(added)).second) return false;
  return host_internal::StoreCreateKey(Hive::kMachine, PrinterDataKeyPath(name));
}

bool SetPrinterServer(std::u16string_view printer, std::u16string_view server) {
  Lock lock(Mutex());
  auto it = State().printers.find(Fold(printer));
  if (it == State().printers.end()) return false;
  it->second.server = server;
  it->second.stamp = host_internal::NextChangeStamp();
  return true;
}

void SetStoredStateHook(StoredStateHook hook, void* context) {
  Lock lock(Mutex());
  State().hook = hook;
  State().hook_context = context;
}

void SetPrinterAdministerDenied(bool denied) {
  Lock lock(Mutex());
  State().administer_denied = denied;
}

std::u16string PrinterDataKeyPath(std::u16string_view printer) {
  std::u16string path = kPrintersKeyPath;
  path += u'\\';
  path += printer;
  path += u'\\';
  path += kPrinterDataKeyName;
  return path;
}

void SetStoredDefaultWriteFailure(std::u16string_view printer, DWORD error) {
  Lock lock(Mutex());
  auto it = State().printers.find(Fold(printer));
  if (it != State().printers.end()) it->second.default_write_failure = error;
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

void HearLocked(HeardCall& heard, HANDLE printer, const char16_t* name) {
  const Printer* found = FindPrinter(printer);
  if (State().hook == nullptr || found == nullptr) return;
  heard.printer = found->name;
  heard.name = name != nullptr ? name : u"";
  heard.hook = State().hook;
  heard.context = State().hook_context;
}

void Tell(const HeardCall& heard, StoredStateOperation operation, DWORD result) {
  if (heard.hook != nullptr)
    heard.hook({operation, heard.printer, heard.name, result}, heard.context);
}

bool PrinterServerLocked(HANDLE printer, std::u16string& server, DWORD& access) {
  const PrinterHandle* handle = FindHandle(printer);
  const Printer* found = FindPrinter(printer);
  if (handle == nullptr || found == nullptr) return false;
  server = Fold(found->server);
  access = handle->access;
  return true;
}

void ResetSpoolerLocked() {
  State() = SpoolerState{};
  ResetFormsLocked();
}

}  // namespace host_internal
}  // namespace platform
