// The font-storage data file of one font source (font_sources.h), which
// GMsdFontFile and GMsdFontList read (msd_font_file.h) and the tests write.
// Little-endian throughout.
//
// Header block: the first L bytes of the file.
//   offset 0    u32      not read
//   offset 4    u32      L, the header block's length
//   offset 8    u32      the file's stamp
//   offset 28   u32      N, the number of font records
//   offset 32   N x u32  the records' offsets from the start of the file
// A file shorter than kMsdMinimumFileSize bytes is not read. The header is
// valid when 32 + 4N <= L <= the file's size.
//
// Font record at offset R: a fixed part of kMsdRecordSize bytes, then the
// symbol-set codes after the first.
//   +0   4 bytes  not read
//   +4   u16      face name length in bytes
//   +6   u32      face name offset, from R
//   +10  u16      selection string length in bytes
//   +12  u32      selection string offset, from R
//   +16  u16      weight (kMsdBoldWeight or more: bold)
//   +18  u16      italic (non-zero: italic)
//   +20  u8       flags: kMsdScalableBit, kMsdModuleKindBit, the pitch class
//                 in the high nibble (kMsdPitchClassLow..High, else none)
//   +21  u8       kMsdHiddenBit; the font type in the bits kMsdFontTypeMask
//   +22  u16      height
//   +24  u16      S, the number of raw symbol-set codes
//   +26  S x u16  the raw codes; the first lies in the fixed part
// Every length and offset is checked against the file before it is used:
// a record, name or code run that does not lie inside the file ends the
// walk like a read error.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t kMsdMinimumFileSize = 36;
inline constexpr std::uint32_t kMsdHeaderLengthAt = 4;
inline constexpr std::uint32_t kMsdStampAt = 8;
inline constexpr std::uint32_t kMsdRecordCountAt = 28;
inline constexpr std::uint32_t kMsdRecordTableAt = 32;

inline constexpr std::uint32_t kMsdRecordSize = 28;
inline constexpr std::uint32_t kMsdFaceLengthAt = 4;
inline constexpr std::uint32_t kMsdFaceOffsetAt = 6;
inline constexpr std::uint32_t kMsdSelectionLengthAt = 10;
inline constexpr std::uint32_t kMsdSelectionOffsetAt = 12;
inline constexpr std::uint32_t kMsdWeightAt = 16;
inline constexpr std::uint32_t kMsdItalicAt = 18;
inline constexpr std::uint32_t kMsdFlagsAt = 20;
inline constexpr std::uint32_t kMsdTypeAt = 21;
inline constexpr std::uint32_t kMsdHeightAt = 22;
inline constexpr std::uint32_t kMsdCodeCountAt = 24;
inline constexpr std::uint32_t kMsdFirstCodeAt = 26;

inline constexpr std::uint8_t kMsdScalableBit = 0x01;
inline constexpr std::uint8_t kMsdModuleKindBit = 0x04;
inline constexpr std::uint8_t kMsdPitchClassMask = 0xF0;
inline constexpr std::uint8_t kMsdPitchClassLow = 0x10;
inline constexpr std::uint8_t kMsdPitchClassHigh = 0x50;
inline constexpr std::uint8_t kMsdHiddenBit = 0x80;
inline constexpr std::uint8_t kMsdFontTypeMask = 0x7F;

inline constexpr std::uint16_t kMsdBoldWeight = 700;

// Little-endian fields of a block that the caller has checked holds them.
inline std::uint16_t MsdU16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}
inline std::uint32_t MsdU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
