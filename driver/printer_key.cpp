#include "driver/printer_key.h"

#include <cstddef>
#include <memory>
#include <new>

#include "foundation/rw/support.h"
#include "platform/host/spooler.h"

namespace {

// The printer record read on the stack: the record, its names and a
// device mode of the usual size.
constexpr std::size_t kLocalRecordBytes = 4096;

bool SameUnits(const RWWString& a, const RWWString& b) {
  return a.Length() == b.Length() && a.Compare(b) == 0;
}

}  // namespace

GPrinterKey::GPrinterKey(platform::HANDLE printer, const RWWString& printer_name,
                         std::uint32_t flag)
    : printer_(printer), printer_name_(printer_name), flag_(flag) {
  bool opened = false;
  if (!printer_) {
    if (platform::OpenPrinterW(printer_name_.Data(), &printer_, nullptr) == 1) {
      opened = true;
    } else {
      printer_ = nullptr;
    }
  }
  if (printer_) {
    // One query answers a printer whose record fits on the stack; a larger
    // one is asked again into a buffer of the size the first query named.
    alignas(std::max_align_t) platform::BYTE local[kLocalRecordBytes];
    std::unique_ptr<platform::BYTE[]> heap;
    platform::DWORD needed = 0;
    platform::BYTE* record = local;
    // The first query's kErrorInsufficientBuffer is the key's own business:
    // a record read leaves the caller's last error as it was.
    const platform::DWORD last_error = platform::GetLastError();
    bool read = platform::GetPrinterW(printer_, 2, local, sizeof local, &needed) != 0;
    if (!read && platform::GetLastError() == platform::kErrorInsufficientBuffer &&
        needed > sizeof local) {
      heap.reset(new (kRWNoThrow) platform::BYTE[needed]);
      record = heap.get();
      read = record && platform::GetPrinterW(printer_, 2, record, needed, &needed);
      if (!record) platform::SetLastError(platform::kErrorNotEnoughMemory);
    }
    if (read) {
      platform::SetLastError(last_error);
      const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(record);
      if (info->printer_name &&
          (printer_name_.IsNull() || !(printer_name_ == info->printer_name))) {
        printer_name_ = info->printer_name;
      }
      if (info->driver_name) driver_name_ = info->driver_name;
      if (info->port_name) port_name_ = info->port_name;
    }
  }
  if (opened) {
    platform::ClosePrinter(printer_);
    printer_ = nullptr;
  }
}

GPrinterKey::GPrinterKey(platform::HANDLE printer, const RWWString& printer_name,
                         const RWWString& driver_name, const RWWString& port_name,
                         std::uint32_t flag)
    : printer_(printer),
      printer_name_(printer_name),
      driver_name_(driver_name),
      port_name_(port_name),
      flag_(flag) {}

GPrinterKey::~GPrinterKey() = default;

std::int32_t GPrinterKey::IsEqual(const GValueSource* other) const {
  const auto* key = dynamic_cast<const GPrinterKey*>(other);
  return key && printer_ == key->printer_ && SameUnits(printer_name_, key->printer_name_) &&
                 flag_ == key->flag_ && SameUnits(driver_name_, key->driver_name_) &&
                 SameUnits(port_name_, key->port_name_)
             ? 1
             : 0;
}

std::int32_t GPrinterKey::IsSameDriver(const GValueSource* other) const {
  const auto* key = dynamic_cast<const GPrinterKey*>(other);
  return key && SameUnits(driver_name_, key->driver_name_) ? 1 : 0;
}
