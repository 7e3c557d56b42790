// The codes of the spooler's device-capability queries that the context
// answers (GDriverContext::DrvDeviceCapabilities, context_capabilities.cpp),
// and the layouts of what the list queries write.
//
// Lists (the caller's buffer, sized from a first call without one; every
// list query with a null output only counts, and writes nothing):
//   bins          u16 spooler bin number per entry
//   bin names     24 UTF-16 units per entry, zero-filled; a name of 24
//                 units has no terminator
//   resolutions   two i32 per entry: x, y (dots per inch)
//   papers        u16 paper number per entry (1-based form position; 256
//                 the user-defined size)
//   paper sizes   two i32 per entry: width, height (tenths of a mm)
//   paper names   64 UTF-16 units per entry, as bin names
// Extents answer a POINTS in 32 bits: width in the low 16 bits, height in
// the high 16 (tenths of a mm).
//
// The driver family's help query (kDcHelpQuery) writes a 1538-byte record:
//   offset    0  u16  kHelpRecordMarker (20553)
//   offset    2  512  "KVTRC6", 8-bit, NUL-terminated
//   offset  514  512  "syshnts.hlp"
//   offset 1026  512  "hints_system"
// Only the marker, the texts and their terminators are written; the rest of
// each field keeps what the caller's buffer held.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

inline constexpr platform::WORD kDcFields = 1;
inline constexpr platform::WORD kDcPapers = 2;
inline constexpr platform::WORD kDcPaperSize = 3;
inline constexpr platform::WORD kDcMinExtent = 4;
inline constexpr platform::WORD kDcMaxExtent = 5;
inline constexpr platform::WORD kDcBins = 6;
inline constexpr platform::WORD kDcDuplex = 7;
inline constexpr platform::WORD kDcSize = 8;
inline constexpr platform::WORD kDcExtra = 9;
inline constexpr platform::WORD kDcVersion = 10;
inline constexpr platform::WORD kDcDriver = 11;
inline constexpr platform::WORD kDcBinNames = 12;
inline constexpr platform::WORD kDcEnumResolutions = 13;
inline constexpr platform::WORD kDcFileDependencies = 14;
inline constexpr platform::WORD kDcTrueType = 15;
inline constexpr platform::WORD kDcPaperNames = 16;
inline constexpr platform::WORD kDcOrientation = 17;
inline constexpr platform::WORD kDcCopies = 18;
inline constexpr platform::WORD kDcCollate = 22;
inline constexpr platform::WORD kDcColorDevice = 32;
inline constexpr platform::WORD kDcHelpQuery = 20552;

// The answer of a query that cannot be given (GDI_ERROR).
inline constexpr platform::DWORD kCapabilityFailed = 0xFFFFFFFF;
// DC_TRUETYPE: TrueType fonts are downloaded.
inline constexpr platform::DWORD kTrueTypeDownload = 2;
// DC_BINS' single bin while forms choose the trays, and its name.
inline constexpr platform::WORD kFormSourceBin = 15;
inline constexpr char16_t kFormSourceName[] = u"Form Select";

inline constexpr int kBinNameUnits = 24;
inline constexpr int kPaperNameUnits = 64;
// The user-defined size closing the paper list: its name's string id and
// its paper number.
inline constexpr std::uint32_t kUserSizeNameId = 10120;
inline constexpr platform::WORD kUserSizePaperNumber = 256;

inline constexpr platform::DWORD kHelpRecordSize = 1538;
inline constexpr platform::WORD kHelpRecordMarker = 20553;
inline constexpr int kHelpFieldBytes = 512;
inline constexpr const char* kHelpTexts[] = {"KVTRC6", "syshnts.hlp", "hints_system"};

// DevQueryPrintEx's record marker and level, and the string id that the
// checks' mask of failed fields selects (12001 for any mask it does not
// name, several unrelated bits included).
inline constexpr platform::WORD kDevQueryRecordSize = 24;
inline constexpr platform::WORD kDevQueryLevel = 1;
inline constexpr int kMostReasonUnits = 256;
std::uint32_t DeviceQueryReasonId(std::uint32_t mask);
