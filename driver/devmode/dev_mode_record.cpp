#include "driver/devmode/dev_mode_record.h"

#include <algorithm>
#include <cstring>

void SetFieldBit(std::uint8_t* record, std::uint32_t bit, bool on) {
  const std::uint32_t fields = LoadU32(record, kDmFields);
  StoreU32(record, kDmFields, on ? fields | bit : fields & ~bit);
}

void StoreName(std::uint8_t* record, std::size_t offset, const RWWString& name) {
  const std::size_t units = std::min<std::size_t>(name.Length(), kDmNameUnits - 1);
  for (std::size_t i = 0; i < kDmNameUnits; ++i)
    StoreU16(record, offset + 2 * i, i < units ? name[i] : 0);
}

void StoreDriverName(std::uint8_t* record, const RWWString& name) {
  for (std::size_t i = 0; i < kDmDriverNameBytes; ++i)
    record[kDmDriverName + i] = i < name.Length() ? static_cast<std::uint8_t>(name[i]) : 0;
}

void StoreFixedPrivateHeader(std::uint8_t* record, const RWWString& driver_name) {
  StoreU16(record, kDmTotalSize, kDmRecordSize);
  StoreU16(record, kDmHeaderSize, kDmPrivateHeaderSize);
  StoreDriverName(record, driver_name);
  StoreU16(record, kDmFormatVersion, kDmFormatVersionValue);
  StoreU16(record, kDmFormatWord, kDmFormatWordValue);
  StoreU16(record, kDmDataCapacity, kDmDataCapacityValue);
}

bool SameDriverName(const std::uint8_t* a, const std::uint8_t* b) {
  return std::strncmp(reinterpret_cast<const char*>(a + kDmDriverName),
                      reinterpret_cast<const char*>(b + kDmDriverName), kDmDriverNameBytes) == 0;
}

GDevModeView::GDevModeView(const void* record) : bytes_(static_cast<const std::uint8_t*>(record)) {
  if (!bytes_) return;
  size_ = LoadU16(bytes_, kDmSize);
  extra_ = LoadU16(bytes_, kDmDriverExtra);
}

RWWString GDevModeView::Name(std::size_t offset) const {
  RWWString name;
  if (!HasPublic(offset, 2 * kDmNameUnits)) return name;
  for (std::size_t i = 0; i < kDmNameUnits; ++i) {
    const char16_t unit = LoadU16(bytes_, offset + 2 * i);
    if (unit == 0) break;
    name += unit;
  }
  return name;
}

// Mended (docs/mended-behaviour.md): the data lies within the capacity and the record.
bool GDevModeView::HasPrivatePart() const {
  if (!bytes_ || size_ != kDmPublicSize || extra_ < kDmPrivatePrefix) return false;
  const std::uint16_t length = LoadU16(bytes_, kDmDataLength);
  const std::uint16_t capacity = LoadU16(bytes_, kDmDataCapacity);
  return length <= capacity && capacity <= kDmDataCapacityValue &&
         capacity <= extra_ - kDmPrivatePrefix;
}

std::span<const std::uint8_t> GDevModeView::StoredData() const {
  if (!HasPrivatePart() || LoadU16(bytes_, kDmDataCapacity) == 0 || bytes_[kDmData] == 0) return {};
  return {bytes_ + kDmData, LoadU16(bytes_, kDmDataLength)};
}

RWCString GDevModeView::DriverName() const {
  const char* name = reinterpret_cast<const char*>(bytes_ + kDmDriverName);
  return RWCString(name,
                   static_cast<RWSize>(std::find(name, name + kDmDriverNameBytes, '\0') - name));
}
