#include "driver/nt_os_factory.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/printer_data_store_adapter.h"
#include "driver/chunked_value.h"
#include "driver/model_lookup.h"
#include "driver/stored_state.h"
#include "flat_settings/flat_settings_codec.h"
#include "foundation/rw/error.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "persist/persistent_stream.h"
#include "platform/host/clock.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "services/driver_data.h"

namespace {

using platform::BYTE;
using platform::DWORD;
using platform::HANDLE;
using platform::HKEY;

// ---------------------------------------------------------------------------
// Time

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Moves `time` by `bias` minutes. The day of the week stays as it was.
void ShiftTime(GTimeRecord& time, std::int16_t bias) {
  int minute = time.minute + bias % 60;
  int hour = time.hour + bias / 60;
  int day = time.day;
  int month = time.month;
  int year = time.year;
  if (minute < 0) {
    minute += 60;
    --hour;
  } else if (minute >= 60) {
    minute -= 60;
    ++hour;
  }
  // A bias of more than a day carries more than one day.
  for (; hour < 0; hour += 24) {
    if (--day < 1) {
      if (--month < 1) {
        month = 12;
        --year;
      }
      day = DaysInMonth(year, month);
    }
  }
  for (; hour >= 24; hour -= 24) {
    if (++day > DaysInMonth(year, month)) {
      day = 1;
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
  }
  time.minute = static_cast<std::uint16_t>(minute);
  time.hour = static_cast<std::uint16_t>(hour);
  time.day = static_cast<std::uint16_t>(day);
  time.month = static_cast<std::uint16_t>(month);
  time.year = static_cast<std::uint16_t>(year);
}

// ---------------------------------------------------------------------------
// Printer data

// The printer handle of one operation: the context's, or, for the
// operations that open, one opened by the printer's name and closed when
// the operation ends.
class PrinterHandle {
 public:
  PrinterHandle(GNTOSFactory& services, GDriverData* printer, bool may_open) {
    if (!printer) return;
    handle_ = services.GetPrinterHandle(printer);
    if (handle_ || !may_open) return;
    platform::PrinterDefaultsW defaults{nullptr, nullptr, platform::kPrinterAllAccess};
    if (platform::OpenPrinterW(printer->GetPrinterName().Data(), &handle_, &defaults) == 1) {
      opened_ = true;
    } else {
      handle_ = nullptr;
    }
  }
  ~PrinterHandle() {
    if (opened_) GStoredState::ClosePrinter(handle_);
  }
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;

  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
  bool opened_ = false;
};

std::uint32_t ReadDword(HANDLE printer, const RWWString& name, std::uint32_t fallback) {
  BYTE bytes[4];
  DWORD type = 0;
  DWORD needed = 0;
  if (GStoredState::GetPrinterData(printer, name.Data(), &type, bytes, sizeof bytes, &needed) !=
          0 ||
      type != platform::kRegDword || needed != 4) {
    return fallback;
  }
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool WriteDword(HANDLE printer, const RWWString& name, std::uint32_t value) {
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return GStoredState::SetPrinterData(printer, name.Data(), platform::kRegDword, bytes, 4) == 0;
}

// A zeroed buffer of at least `bytes` bytes, in whole 16-bit units so that
// a string read into it is terminated; null when memory is exhausted.
std::unique_ptr<char16_t[]> ZeroedUnits(std::uint64_t bytes) {
  return std::unique_ptr<char16_t[]>(new (kRWNoThrow) char16_t[(bytes + 1) / 2]());
}

// The text of a REG_SZ value read into a zeroed buffer: its characters up
// to the first NUL.
RWWString TextUpToNul(const char16_t* units, std::uint64_t unit_count) {
  std::uint64_t length = 0;
  while (length < unit_count && units[length] != u'\0')
    ++length;
  return RWWString(units, static_cast<RWSize>(length));
}

// ---------------------------------------------------------------------------
// Registry

RWWString ReadRegistryString(HKEY root, const RWWString& key, const RWWString& name,
                             const RWWString& fallback) {
  DWORD type = 0;
  DWORD size = 0;
  if (GStoredState::QueryValue(root, key.Data(), name.Data(), &type, nullptr, &size) != 0 ||
      type != platform::kRegSz || size == 0) {
    return fallback;
  }
  // Two zero bytes beyond the value terminate a value stored without its
  // terminator.
  std::uint64_t room = std::uint64_t{size} + 2;
  std::unique_ptr<char16_t[]> units = ZeroedUnits(room);
  DWORD got = size;
  if (!units ||
      GStoredState::QueryValue(root, key.Data(), name.Data(), &type,
                               reinterpret_cast<BYTE*>(units.get()), &got) != 0 ||
      type != platform::kRegSz || got == 0) {
    return fallback;
  }
  return TextUpToNul(units.get(), room / 2);
}

int RegistryKeyExists(HKEY root, const RWWString& key) {
  return GStoredState::KeyExists(root, key.Data()) ? 1 : 0;
}

bool StreamGood(const GPersistentOutputStream* stream) {
  return stream && stream->VirtualStream() && stream->VirtualStream()->Good();
}

}  // namespace

RWWString ChunkName(const RWWString& name, std::uint32_t index) {
  char16_t digits[10];
  RWSize count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + index % 10);
    index /= 10;
  } while (index != 0);
  // Built whole or not at all: an append that memory ran out for would cut
  // "366:1" to "3661", another value's name.
  const RWSize length = name.Length() + 1 + count;
  RWWString chunk(RWReserve{length});
  chunk.Append(name);
  chunk += u':';
  while (count > 0)
    chunk += digits[--count];
  return chunk.Length() == length && !name.IsNull() ? chunk : RWWString();
}

// ---------------------------------------------------------------------------
// Time and module

int GNTOSFactory::GetTimes(GTimeRecord& local, GTimeRecord& shifted, std::int16_t& bias) {
  local = GTimeRecord{};
  shifted = GTimeRecord{};
  bias = time_bias_.load(std::memory_order_relaxed);
  platform::TimeRecord now;
  if (!platform::GetLocalTimeRecord(&now)) return 0;
  local = GTimeRecord{now.year,   now.month,  now.day,    now.hour,
                      now.minute, now.second, now.unused, now.day_of_week};
  shifted = local;
  ShiftTime(shifted, bias);
  return 1;
}

void GNTOSFactory::SetTimeBias(std::int16_t minutes) {
  time_bias_.store(minutes, std::memory_order_relaxed);
}

RWWString GNTOSFactory::GetModuleDirectory() {
  const char16_t separator = GetPathSeparator();
  return CachedModuleDirectory([separator](platform::HMODULE module) {
    char16_t path[kModuleNameUnits];
    DWORD length = platform::GetModuleFileNameW(module, path, kModuleNameUnits);
    if (length >= kModuleNameUnits) length = kModuleNameUnits - 1;  // cut to fit
    const RWWString file_name(path, length);
    RWSize last = file_name.Last(separator);
    return last == RW_NPOS ? RWWString() : RWWString(path, last);
  });
}

// ---------------------------------------------------------------------------
// Streams

GPersistentInputStream* GNTOSFactory::NewMemoryInputStream(const void* bytes, std::size_t size,
                                                           std::int32_t encoding) {
  return new (kRWNoThrow) GPersistentInputStream(bytes, size, encoding);
}

GPersistentInputStream* GNTOSFactory::NewFileInputStream(const RWWString& path,
                                                         std::int32_t encoding) {
  return new (kRWNoThrow) GPersistentInputStream(path, encoding);
}

GPersistentOutputStream* GNTOSFactory::NewMemoryOutputStream(void* bytes, std::size_t size,
                                                             std::int32_t encoding) {
  return new (kRWNoThrow) GPersistentOutputStream(bytes, size, encoding);
}

GPersistentOutputStream* GNTOSFactory::NewFileOutputStream(const RWWString& path,
                                                           std::int32_t encoding) {
  return new (kRWNoThrow) GPersistentOutputStream(path, encoding);
}

// ---------------------------------------------------------------------------
// Printer data

int GNTOSFactory::SetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                      std::uint32_t value) {
  if (name.IsNull()) return 0;  // a name that could not be built
  PrinterHandle handle(*this, printer, true);
  return handle.Get() && WriteDword(handle.Get(), name, value) ? 1 : 0;
}

int GNTOSFactory::SetPrinterDataString(GDriverData* printer, const RWWString& name,
                                       const RWWString& value) {
  if (name.IsNull()) return 0;
  PrinterHandle handle(*this, printer, false);
  if (!handle.Get()) return 0;
  // UTF-16 little-endian, byte by byte.
  std::uint64_t size = std::uint64_t{2} * value.Length();
  std::unique_ptr<BYTE[]> bytes(new (kRWNoThrow) BYTE[size]);
  if (!bytes) return 0;
  for (RWSize i = 0; i < value.Length(); ++i) {
    bytes[2 * i] = static_cast<BYTE>(value.Data()[i]);
    bytes[2 * i + 1] = static_cast<BYTE>(value.Data()[i] >> 8);
  }
  return GStoredState::SetPrinterData(handle.Get(), name.Data(), platform::kRegSz, bytes.get(),
                                      static_cast<DWORD>(size)) == 0
             ? 1
             : 0;
}

std::recursive_mutex& GNTOSFactory::NamedValueLock() {
  return GStoreTransaction::StoredStateLock();
}

int GNTOSFactory::WriteChunkedValue(GDriverData* printer, const RWWString& name, const void* data,
                                    std::uint32_t length) {
  if ((!data && length != 0) || name.IsNull()) return 0;
  if (IsPseudoName(name)) return WritePseudoChunkedValue(name, data, length);
  PrinterHandle handle(*this, printer, true);
  if (!handle.Get() || !printer) return 0;
  GStagedRun run;
  const int written = WriteChunks(
      data, length, ReadDword(handle.Get(), name, 0),
      [&](const RWWString& value) {
        DWORD type = 0, needed = 0;
        return GStoredState::GetPrinterData(handle.Get(), value.Data(), &type, nullptr, 0,
                                            &needed) != platform::kErrorFileNotFound;
      },
      [&](const RWWString& value) {
        return GStoredState::RewritePrinterData(handle.Get(), value.Data()) == 0;
      },
      [&](const RWWString& value, DWORD type, const BYTE* bytes, std::uint32_t size) {
        return GStoredState::SetPrinterData(handle.Get(), value.Data(), type, bytes, size) == 0;
      },
      [&](const RWWString& value) { return DeletePrinterDataValue(printer, value) != 0; }, name);
  if (!written) {
    run.RollBack();
    return 0;
  }
  return run.Commit() ? 1 : 0;
}

std::uint16_t GNTOSFactory::NamedObjectEncoding(GDriverData* printer) {
  std::int32_t known = named_object_encoding_.load(std::memory_order_acquire);
  if (known >= 0 || !printer) return static_cast<std::uint16_t>(known < 0 ? 0 : known);
  std::int32_t read = ReadStoredEncoding(printer);
  // The first reader's answer stands.
  named_object_encoding_.compare_exchange_strong(known, read, std::memory_order_acq_rel);
  return static_cast<std::uint16_t>(named_object_encoding_.load(std::memory_order_acquire));
}

bool GNTOSFactory::UsesFlatRecord(GDriverData* printer, const RWWString& name) {
  return NamedObjectEncoding(printer) == 1 && !(name == kBinPoolName);
}

int GNTOSFactory::StoreNamedObject(GDriverData* printer, const RWWString& name,
                                   const RWCollectable* object) {
  if (!object) return 0;
  const bool flat = UsesFlatRecord(printer, name);
  auto* model = const_cast<MPersistentObject*>(dynamic_cast<const MPersistentObject*>(object));
  if (flat && !model) return 0;
  std::uint64_t stored = object->StoredSize();
  std::uint64_t capacity = stored + stored / 2;
  for (int attempt = 1;; ++attempt) {
    std::unique_ptr<char[]> buffer(new (kRWNoThrow) char[capacity]);
    if (!buffer) return 0;
    std::unique_ptr<GPersistentOutputStream> stream(
        NewMemoryOutputStream(buffer.get(), capacity, kBinaryEncoding));
    if (!StreamGood(stream.get())) return 0;
    std::int64_t start = stream->Tell();
    int encoded = 1;
    {
      // A graph larger than the buffer fails the stream; that is expected
      // here, not an error for the process.
      RWErrorScope scope;
      if (flat) {
        GFlatSettingsCodec codec;
        encoded = codec.Encode(model, stream->VirtualStream(), stream.get(), kFlatLongNumbers);
      } else {
        WriteCollectablePointerToStream(*stream->VirtualStream(), object);
      }
      stream->VirtualStream()->Flush();
    }
    if (StreamGood(stream.get())) {
      // A good stream and no record: a string too long or a class the record
      // cannot carry. The record ends early, so storing it would load back
      // the template's values; what was stored before stays.
      if (!encoded) return 0;
      std::int64_t end = stream->Tell();
      if (start < 0 || end < start || static_cast<std::uint64_t>(end - start) > UINT32_MAX) {
        return 0;
      }
      return WriteChunkedValue(printer, name, buffer.get(),
                               static_cast<std::uint32_t>(end - start));
    }
    if (attempt == kNamedObjectAttempts) return 0;
    capacity *= 2;
  }
}

std::uint32_t GNTOSFactory::GetPrinterDataDword(GDriverData* printer, const RWWString& name,
                                                std::uint32_t fallback) {
  PrinterHandle handle(*this, printer, true);
  return handle.Get() ? ReadDword(handle.Get(), name, fallback) : fallback;
}

RWWString GNTOSFactory::GetPrinterDataString(GDriverData* printer, const RWWString& name,
                                             const RWWString& fallback) {
  PrinterHandle handle(*this, printer, false);
  DWORD type = 0;
  DWORD needed = 0;
  DWORD result =
      GStoredState::GetPrinterData(handle.Get(), name.Data(), &type, nullptr, 0, &needed);
  if ((result != 0 && result != platform::kErrorMoreData) || type != platform::kRegSz ||
      needed == 0) {
    return fallback;
  }
  // Six zero bytes of room, two of them offered to the read: the text ends
  // in a NUL whatever was stored.
  std::unique_ptr<char16_t[]> units = ZeroedUnits(std::uint64_t{needed} + 6);
  if (!units) return fallback;
  DWORD second_type = 0;
  DWORD got = 0;
  if (GStoredState::GetPrinterData(handle.Get(), name.Data(), &second_type,
                                   reinterpret_cast<BYTE*>(units.get()), needed + 2, &got) != 0 ||
      second_type != type || got == 0) {
    return fallback;
  }
  return TextUpToNul(units.get(), (std::uint64_t{needed} + 6) / 2);
}

int GNTOSFactory::ReadChunkedValue(GDriverData* printer, const RWWString& name, void* buffer,
                                   std::uint32_t size, std::uint32_t& got) {
  return ReadStoredChunks(printer, name, buffer, size, got, nullptr);
}

int GNTOSFactory::ReadStoredChunks(GDriverData* printer, const RWWString& name, void* buffer,
                                   std::uint32_t size, std::uint32_t& got, std::uint32_t* sizes) {
  // Under the commits' lock: a value another call commits is met whole.
  std::lock_guard<std::recursive_mutex> whole(NamedValueLock());
  if (IsPseudoName(name)) return ReadPseudoChunkedValue(name, buffer, size, got, sizes);
  PrinterHandle handle(*this, printer, true);
  if (!handle.Get()) return 0;
  return ReadChunks(
      ReadDword(handle.Get(), name, 0), buffer, size, got,
      [&](std::uint32_t i, BYTE* into, std::uint32_t room, std::uint32_t& read) {
        DWORD type = 0;
        const RWWString chunk = ChunkName(name, i);
        return !chunk.IsNull() &&
               GStoredState::GetPrinterData(handle.Get(), chunk.Data(), &type, into, room, &read) ==
                   0 &&
               type == platform::kRegBinary;
      },
      sizes);
}

int GNTOSFactory::DeletePrinterDataValue(GDriverData* printer, const RWWString& name) {
  if (!printer || name.IsNull()) return 0;
  return GStoredState::DeletePrinterData(printer->GetPrinterName(), name.Data()) == 0 ? 1 : 0;
}

RWCollectable* GNTOSFactory::LoadNamedObject(GDriverData* printer, const RWWString& name,
                                             int text) {
  std::uint32_t size = kNamedObjectFirstRead;
  std::unique_ptr<char[]> buffer(new (kRWNoThrow) char[size]);
  if (!buffer) return nullptr;
  std::uint32_t got = 0;
  int read = 0;
  {
    // The second read is of the value the first one sized.
    std::lock_guard<std::recursive_mutex> whole(NamedValueLock());
    read = ReadChunkedValue(printer, name, buffer.get(), size, got);
    if (!read && got > size) {
      // The size reported is bounded by the read (kMaxChunkedValueBytes).
      size = got;
      buffer.reset(new (kRWNoThrow) char[size]);
      if (!buffer) return nullptr;
      read = ReadChunkedValue(printer, name, buffer.get(), size, got);
    }
  }
  if (!read || got == 0) return nullptr;
  std::unique_ptr<GPersistentInputStream> stream(
      NewMemoryInputStream(buffer.get(), got, text ? kPortableTextEncoding : kBinaryEncoding));
  if (!stream || !stream->VirtualStream() || !stream->VirtualStream()->Good()) return nullptr;
  RWCollectable* object = nullptr;
  RWErrorScope scope;
  if (!text && UsesFlatRecord(printer, name)) {
    // The codec's own scope records what it meets; the first error comes
    // up to this one. A record cut by one is no record.
    GFlatSettingsCodec codec;
    object = codec.Decode(stream->VirtualStream(), stream.get(), printer, kFlatLongNumbers);
    if (!scope.Failed()) return object;
    delete object;
    return nullptr;
  }
  ReadCollectablePointerFromStream(*stream->VirtualStream(), object);
  if (scope.Failed() || !stream->VirtualStream()->Good()) {
    delete object;  // a partial graph is the reader's to free
    return nullptr;
  }
  return object;
}

// ---------------------------------------------------------------------------
// Registry

RWWString GNTOSFactory::ReadMachineString(const RWWString& key, const RWWString& name,
                                          const RWWString& fallback) {
  return ReadRegistryString(platform::kHkeyLocalMachine, key, name, fallback);
}

int GNTOSFactory::MachineKeyExists(const RWWString& key) {
  return RegistryKeyExists(platform::kHkeyLocalMachine, key);
}

RWWString GNTOSFactory::ReadUserString(const RWWString& key, const RWWString& name,
                                       const RWWString& fallback) {
  return ReadRegistryString(platform::kHkeyCurrentUser, key, name, fallback);
}

int GNTOSFactory::UserKeyExists(const RWWString& key) {
  return RegistryKeyExists(platform::kHkeyCurrentUser, key);
}

GPrinterDataStore* GNTOSFactory::NewValueAdapter(GDriverData* printer) {
  return NewPrinterDataStoreAdapter(printer);
}
