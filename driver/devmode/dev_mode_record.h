// The device-mode record: the stored layout shared by the reader and the
// writer, its field bits, byte-wise accessors and the one checked view
// through which every record from outside is read.
//
// Layout (all numbers little-endian, offsets from the record's start; read
// and written byte by byte, never as a struct):
//   public part, 220 bytes
//     0    device name, 32 UTF-16 units
//     64   u16 dmSpecVersion (0x0401)   66  u16 driver version (24)
//     68   u16 dmSize (220)               70  u16 dmDriverExtra (952)
//     72   u32 dmFields
//     76   thirteen i16: orientation, paper size, paper length, paper
//          width, scale, copies, default source, print quality, colour,
//          duplex, y resolution, TrueType option, collate
//     102  form name, 32 UTF-16 units
//     166  u16 log pixels
//     168  thirteen u32: bits per pel, pels width, pels height, display
//          flags, display frequency, ICM method (188), ICM intent (192),
//          media type, dither type, two reserved, panning width, height
//   private part, 952 bytes
//     220  u16 total size (1172)        222 u16 header size (46)
//     224  driver name, 32 bytes (the low byte of each unit, 0-filled)
//     256  u32 context value            260 u16 context word
//     262  u16 format version (4)       264 u16 format word (50)
//     266  u16 data length              268 u16 data capacity (902)
//     270  data: the compressed settings model; a first byte of 0 stores
//          none
//
// The checked view. A record from an application or the spooler is
// trusted for one fact only: its dmSize + dmDriverExtra bytes (and the two
// words that say so) can be read. A public field exists only when it lies
// inside dmSize; the private part is this driver's only when dmSize is 220,
// dmDriverExtra at least 50, and the data length <= the capacity word <=
// 902 and <= dmDriverExtra - 50 (so the data lies inside the record).
// Nothing else is read.
//
// Pure functions and a view that owns nothing; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"

// Offsets of the public part.
inline constexpr std::size_t kDmDeviceName = 0;
inline constexpr std::size_t kDmSpecVersion = 64;
inline constexpr std::size_t kDmDriverVersion = 66;
inline constexpr std::size_t kDmSize = 68;
inline constexpr std::size_t kDmDriverExtra = 70;
inline constexpr std::size_t kDmFields = 72;
inline constexpr std::size_t kDmOrientation = 76;
inline constexpr std::size_t kDmPaperSize = 78;
inline constexpr std::size_t kDmPaperLength = 80;
inline constexpr std::size_t kDmPaperWidth = 82;
inline constexpr std::size_t kDmScale = 84;
inline constexpr std::size_t kDmCopies = 86;
inline constexpr std::size_t kDmDefaultSource = 88;
inline constexpr std::size_t kDmPrintQuality = 90;
inline constexpr std::size_t kDmColor = 92;
inline constexpr std::size_t kDmDuplex = 94;
inline constexpr std::size_t kDmYResolution = 96;
inline constexpr std::size_t kDmTTOption = 98;
inline constexpr std::size_t kDmCollate = 100;
inline constexpr std::size_t kDmFormName = 102;
inline constexpr std::size_t kDmLogPixels = 166;
inline constexpr std::size_t kDmICMMethod = 188;
inline constexpr std::size_t kDmICMIntent = 192;
// Offsets of the private part.
inline constexpr std::size_t kDmTotalSize = 220;
inline constexpr std::size_t kDmHeaderSize = 222;
inline constexpr std::size_t kDmDriverName = 224;
inline constexpr std::size_t kDmContextValue = 256;
inline constexpr std::size_t kDmContextWord = 260;
inline constexpr std::size_t kDmFormatVersion = 262;
inline constexpr std::size_t kDmFormatWord = 264;
inline constexpr std::size_t kDmDataLength = 266;
inline constexpr std::size_t kDmDataCapacity = 268;
inline constexpr std::size_t kDmData = 270;

// Sizes and the values this driver writes.
inline constexpr std::size_t kDmNameUnits = 32;  // device and form names
inline constexpr std::size_t kDmDriverNameBytes = 32;
inline constexpr std::uint16_t kDmSpecVersionValue = 0x0401;
// The other dmSpecVersion whose records carry collate and form name.
inline constexpr std::uint16_t kDmSpecVersion400 = 0x0400;
inline constexpr std::uint16_t kDmDriverVersionValue = 24;
inline constexpr std::uint16_t kDmPublicSize = 220;
inline constexpr std::uint16_t kDmPrivateHeaderSize = 46;
inline constexpr std::uint16_t kDmPrivateDataSize = 906;  // length, capacity, data
inline constexpr std::uint16_t kDmDriverExtraValue = kDmPrivateHeaderSize + kDmPrivateDataSize;
inline constexpr std::uint16_t kDmRecordSize = kDmPublicSize + kDmDriverExtraValue;  // 1172
inline constexpr std::uint16_t kDmFormatVersionValue = 4;
inline constexpr std::uint16_t kDmFormatWordValue = 50;
inline constexpr std::uint16_t kDmDataCapacityValue = kDmPrivateDataSize - 4;  // 902
// The private part up to the data: the least dmDriverExtra that holds it.
inline constexpr std::uint16_t kDmPrivatePrefix = kDmData - kDmTotalSize;  // 50
// The work block the settings record is written into and expanded into.
inline constexpr std::size_t kDmWorkBlock = 4096;

// dmFields bits.
inline constexpr std::uint32_t kDmOrientationBit = 0x1;
inline constexpr std::uint32_t kDmPaperSizeBit = 0x2;
inline constexpr std::uint32_t kDmPaperLengthBit = 0x4;
inline constexpr std::uint32_t kDmPaperWidthBit = 0x8;
inline constexpr std::uint32_t kDmCopiesBit = 0x100;
inline constexpr std::uint32_t kDmDefaultSourceBit = 0x200;
inline constexpr std::uint32_t kDmPrintQualityBit = 0x400;
inline constexpr std::uint32_t kDmColorBit = 0x800;
inline constexpr std::uint32_t kDmDuplexBit = 0x1000;
inline constexpr std::uint32_t kDmYResolutionBit = 0x2000;
inline constexpr std::uint32_t kDmCollateBit = 0x8000;
inline constexpr std::uint32_t kDmFormNameBit = 0x10000;
inline constexpr std::uint32_t kDmICMMethodBit = 0x800000;
inline constexpr std::uint32_t kDmICMIntentBit = 0x1000000;

// Field values.
inline constexpr std::int16_t kDmPortrait = 1;
inline constexpr std::int16_t kDmLandscape = 2;
inline constexpr std::int16_t kDmMonochrome = 1;
inline constexpr std::int16_t kDmColour = 2;
inline constexpr std::int16_t kDmSimplex = 1;
inline constexpr std::int16_t kDmVertical = 2;
inline constexpr std::int16_t kDmHorizontal = 3;
inline constexpr std::int16_t kDmFormSource = 15;

// The ICM intent field of the model's intent 0-3 (2, 1, 3, 4); 0 for
// another.
inline std::uint32_t IcmIntentField(std::int32_t intent) {
  constexpr std::uint32_t kFields[] = {2, 1, 3, 4};
  return intent >= 0 && intent <= 3 ? kFields[intent] : 0;
}

// Byte-wise access to a record the caller owns.
// REQUIRES: the bytes at `offset` lie inside `record`.
inline std::uint16_t LoadU16(const std::uint8_t* record, std::size_t offset) {
  return static_cast<std::uint16_t>(record[offset] | record[offset + 1] << 8);
}
inline std::uint32_t LoadU32(const std::uint8_t* record, std::size_t offset) {
  return LoadU16(record, offset) | static_cast<std::uint32_t>(LoadU16(record, offset + 2)) << 16;
}
inline void StoreU16(std::uint8_t* record, std::size_t offset, std::uint16_t value) {
  record[offset] = static_cast<std::uint8_t>(value);
  record[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void StoreU32(std::uint8_t* record, std::size_t offset, std::uint32_t value) {
  StoreU16(record, offset, static_cast<std::uint16_t>(value));
  StoreU16(record, offset + 2, static_cast<std::uint16_t>(value >> 16));
}
// Sets or clears `bit` of dmFields.
void SetFieldBit(std::uint8_t* record, std::uint32_t bit, bool on);
// Writes `name` as a name of 32 units: at most 31 units, then zeros.
void StoreName(std::uint8_t* record, std::size_t offset, const RWWString& name);
// Writes `name` narrowed (the low byte of each unit) into the 32-byte
// driver name: at most 32 bytes, zero-filled behind.
void StoreDriverName(std::uint8_t* record, const RWWString& name);
// Writes the private header's fixed words: total size, header size, the
// driver name (as StoreDriverName), format version, format word and data
// capacity. The context words and the data stay as they are.
void StoreFixedPrivateHeader(std::uint8_t* record, const RWWString& driver_name);
// Whether two records' driver names are equal byte for byte up to the
// first 0 or 32 bytes.
// REQUIRES: both hold the 32 bytes at 224.
bool SameDriverName(const std::uint8_t* a, const std::uint8_t* b);

class GDevModeView {
 public:
  // REQUIRES: `record` is null, or its dmSize + dmDriverExtra bytes (and
  // the four bytes at 68) can be read while the view is used.
  explicit GDevModeView(const void* record);

  bool IsNull() const { return bytes_ == nullptr; }
  const std::uint8_t* Bytes() const { return bytes_; }
  std::uint16_t Size() const { return size_; }
  std::uint16_t DriverExtra() const { return extra_; }
  // dmSize + dmDriverExtra: what the record can be shown to own.
  std::uint32_t Length() const { return std::uint32_t{size_} + extra_; }

  // Whether `width` bytes at `offset` lie inside dmSize.
  // Mended (docs/mended-behaviour.md): a public field exists only inside dmSize.
  bool HasPublic(std::size_t offset, std::size_t width) const {
    return bytes_ && offset + width <= size_;
  }
  // A public field, 0 when it lies outside dmSize.
  std::uint16_t U16(std::size_t offset) const {
    return HasPublic(offset, 2) ? LoadU16(bytes_, offset) : 0;
  }
  std::int16_t I16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
  std::uint32_t U32(std::size_t offset) const {
    return HasPublic(offset, 4) ? LoadU32(bytes_, offset) : 0;
  }
  // dmFields (0 outside dmSize), and whether a field's bit is set and the
  // field itself lies inside dmSize.
  std::uint32_t Fields() const { return U32(kDmFields); }
  bool HasField(std::uint32_t bit, std::size_t offset, std::size_t width = 2) const {
    return (Fields() & bit) != 0 && HasPublic(offset, width);
  }
  // A name of 32 units up to its first 0; empty outside dmSize.
  RWWString Name(std::size_t offset) const;

  // Whether the private part is this driver's (see the file comment).
  bool HasPrivatePart() const;
  // A word of the private header. REQUIRES: HasPrivatePart().
  std::uint16_t PrivateU16(std::size_t offset) const { return LoadU16(bytes_, offset); }
  std::uint32_t PrivateU32(std::size_t offset) const { return LoadU32(bytes_, offset); }
  // The stored data (data-length bytes from 270), empty unless the private
  // part is ours, its capacity is not 0 and its first data byte is not 0.
  std::span<const std::uint8_t> StoredData() const;
  // The 32-byte driver name up to its first 0.
  // REQUIRES: HasPrivatePart().
  RWCString DriverName() const;

 private:
  const std::uint8_t* bytes_;
  std::uint16_t size_ = 0;
  std::uint16_t extra_ = 0;
};
