// The printer's ten font sources and their records in the printer's data.
//
// A source index runs from 0 to 9: two ROM add-on slots, two disks, two
// flash memories and four memory modules (DIMMs). For each, a wide string
// value of the printer's data names the source's font-storage data file
// (msd_font_file_format.h); a bare name (no "\") lives in the driver
// directory. "DisabledMSDs" (DWORD) keeps a two-bit state per source, bits
// 2i and 2i+1 for source i; a missing value and 0xFFFFFFFF read as 0. The
// font-card page writes state 1 for a source it enables and 2 for one it
// disables, so bit 1 marks a disabled source. "MassStorageFonts" (DWORD) is
// 1 when at least one source holds fonts.
//
// The printer is the driver data that the services (GOSFactory::Instance)
// take; it is passed on, never kept. Without installed services every read
// answers its default and every write fails. An index outside 0-9 is
// refused everywhere: reads answer the default, writes 0.
//
// Threads: as the services; a read-modify-write of "DisabledMSDs" is not
// atomic, its callers serialise.
#pragma once

#include <cstdint>

#include "foundation/rw/wstring.h"

class GDriverData;

inline constexpr std::uint32_t kFontSourceCount = 10;
// What FindFreeMsdIndex answers when no index is free.
inline constexpr std::uint32_t kNoFreeMsdIndex = kFontSourceCount;

// The state bits of one source in "DisabledMSDs", and the states the
// font-card page writes: enabled, and disabled (also the bit that marks
// states 2 and 3 as disabled).
inline constexpr std::uint32_t kMsdStateMask = 3;
inline constexpr std::uint32_t kMsdStateEnabled = 1;
inline constexpr std::uint32_t kMsdStateDisabled = 2;

// One font source: its value name, the key of its font list in the
// settings model, and the kind its font descriptions get (memory modules:
// kModuleKindMarked when the record's flags byte has bit 2 set).
struct GFontSource {
  const char16_t* value_name;
  std::uint32_t list_key;
  std::uint32_t kind;
};

inline constexpr std::uint32_t kModuleKindMarked = 7;
inline constexpr std::uint32_t kFirstModuleSource = 6;

inline constexpr GFontSource kFontSources[kFontSourceCount] = {
    {u"ROMAddOnFonts1", 416, 1}, {u"ROMAddOnFonts2", 417, 1}, {u"DiskFonts1", 420, 2},
    {u"DiskFonts2", 421, 2},     {u"FlashFonts1", 418, 3},    {u"FlashFonts2", 419, 3},
    {u"DIMMFonts1", 422, 4},     {u"DIMMFonts2", 423, 4},     {u"DIMMFonts3", 428, 4},
    {u"DIMMFonts4", 429, 4},
};

inline constexpr const char16_t* kDisabledMsdsName = u"DisabledMSDs";
inline constexpr const char16_t* kMassStorageFontsName = u"MassStorageFonts";

// The file name of source `index`: empty when unset (or a bad index); a
// bare name is completed with the driver directory and "\" when that is
// not empty.
RWWString ReadMsdFileName(GDriverData* printer, std::uint32_t index);
// Writes `path` as the file name of source `index`, without a leading
// driver directory and "\" (exact case); answers the services' result.
int WriteMsdFileName(GDriverData* printer, std::uint32_t index, const RWWString& path);
// Forgets source `index`'s file name when it names `path` exactly (as
// ReadMsdFileName completes it), then deletes the file `path` names (a bare
// or relative path taken in the driver directory) when it lies inside the
// driver directory (as IsInDriverDirectory tells). Nothing is deleted
// without a driver directory.
void RemoveMsdFontFile(GDriverData* printer, std::uint32_t index, const RWWString& path);

// Whether `path` names a file that really lies below the driver directory
// (links followed; false for a path holding ".."); false without a driver
// directory.
bool IsInDriverDirectory(const RWWString& path);

// "DisabledMSDs" (0 when missing or 0xFFFFFFFF), and writing it.
std::uint32_t GetDisabledMsds(GDriverData* printer);
int SetDisabledMsds(GDriverData* printer, std::uint32_t value);
// The state (0-3) of source `index`.
std::uint32_t GetMsdState(GDriverData* printer, std::uint32_t index);
// Replaces source `index`'s two bits with `state` (masked to 0-3) and
// writes "DisabledMSDs"; answers the write's result.
int SetMsdState(GDriverData* printer, std::uint32_t index, std::uint32_t state);
// The first index in first..last (within 0-9) whose file name is empty;
// else the first whose state is 0 or 2; else kNoFreeMsdIndex.
std::uint32_t FindFreeMsdIndex(GDriverData* printer, std::uint32_t first, std::uint32_t last);

// 1 when "MassStorageFonts" reads 1, else 0.
std::uint32_t GetMassStorageFontsFlag(GDriverData* printer);
// Writes 1 when `flag` is 1, else 0; answers the write's result.
int SetMassStorageFontsFlag(std::uint32_t flag, GDriverData* printer);
// Whether any source holds fonts: a file name for 0-5, or for 6-9 a file
// name and state bit 1 clear. When that differs from "MassStorageFonts"
// (0 when missing), writes it; answers 1 when it wrote, else 0.
int UpdateMassStorageFontsFlag(GDriverData* printer);
// The driver's name of UpdateMassStorageFontsFlag.
inline int RefreshMassStorageFontsFlag(GDriverData* printer) {
  return UpdateMassStorageFontsFlag(printer);
}
