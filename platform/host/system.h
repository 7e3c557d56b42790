// Facts about the system and the runtime as the rest of the system asks for
// them, served from values that tests script, never from the host:
//  - the operating-system version (GetVersionExW, GetVersion) and the
//    system's default language (GetSystemDefaultLangID);
//  - environment variables (GetEnvironmentVariableW, SetEnvironmentVariableW),
//    a table of their own, empty after a reset;
//  - the runtime's locale setting (setlocale), which is only recorded: the
//    system's text never depends on a locale;
//  - the runtime's random numbers (srand, rand) with the runtime's own
//    generator, per thread, and its clock in seconds (time), which follows
//    the clock of platform/host/clock.h;
//  - the code pages the system names (GetACP, GetOEMCP): numbers only, for
//    callers that choose by them; the text itself is always converted by
//    platform/text.h;
//  - the kernel's scaling arithmetic (MulDiv), pure;
//  - the logged-on user's name (GetUserNameW) and the time zone
//    (GetTimeZoneInformation, and the runtime's _ftime view of it).
// Any thread; the stand-ins' one lock guards the shared values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/types.h"

namespace platform {

// Platform ids of the version record.
inline constexpr DWORD kVerPlatformWin32s = 0;
inline constexpr DWORD kVerPlatformWin32Windows = 1;
inline constexpr DWORD kVerPlatformWin32Nt = 2;

// The version record: `size` is set by the caller to the record's size
// (kOsVersionInfoSize, or a larger one it says it has room for).
struct OsVersionInfoW {
  DWORD size;
  DWORD major_version;
  DWORD minor_version;
  DWORD build_number;
  DWORD platform_id;
  char16_t service_pack[128];
};
// The size of the record in the original platform's layout.
inline constexpr DWORD kOsVersionInfoSize = 276;

// Fills `info` when its size field is one of the accepted sizes (276 and the
// extended record's 284 after a reset); else fails with
// kErrorInsufficientBuffer. Only the fields above are written.
BOOL GetVersionExW(OsVersionInfoW* info);
// The version word: major in bits 0-7, minor in 8-15, build in 16-30, bit
// 31 set for the Windows 9x family.
DWORD GetVersion();
WORD GetSystemDefaultLangID();

// Copies the variable's value and a terminator into `buffer` of `size` units
// and answers the units copied; when it does not fit, answers the units
// needed with the terminator; 0 (kErrorEnvVarNotFound) when not set.
DWORD GetEnvironmentVariableW(const char16_t* name, char16_t* buffer, DWORD size);
// Sets (or with a null value removes) a variable; names compare
// case-insensitively.
BOOL SetEnvironmentVariableW(const char16_t* name, const char16_t* value);

// Categories of setlocale, as the original runtime numbers them.
inline constexpr int kLcAll = 0;
inline constexpr int kLcCtype = 2;
// Records the call and answers `locale` (null: the last one set, "C" at
// first).
const char* RuntimeSetLocale(int category, const char* locale);

// The runtime's generator: srand and rand (0 to 32767), per thread; a thread
// that never seeds starts at seed 1.
void RuntimeSeedRandom(std::uint32_t seed);
int RuntimeRandom();
// Seconds since 1970-01-01 00:00 of the clock of platform/host/clock.h (the
// fixed moment read as universal time), or -1 when it is unavailable.
std::int64_t RuntimeTime();

// The system's 8-bit ("ANSI") and OEM code pages; both the UTF-8 page after
// a reset.
inline constexpr UINT kCodePageUtf8 = 65001;
UINT GetACP();
UINT GetOEMCP();

// `number` x `numerator` / `denominator` computed in 64 bits and rounded
// half away from zero; -1 for a denominator of 0 and for a result outside
// 32 bits.
int MulDiv(int number, int numerator, int denominator);

// Copies the user's name and a terminator into `buffer` of `*size` units
// and sets `*size` to the units copied with the terminator; when it does
// not fit (or no buffer), fails with kErrorInsufficientBuffer and sets
// `*size` to the units needed. Fails (kErrorInvalidParameter) while no user
// can be named.
BOOL GetUserNameW(char16_t* buffer, DWORD* size);

// The bias, in minutes west of universal time, and the zone's state.
inline constexpr DWORD kTimeZoneIdUnknown = 0;
inline constexpr DWORD kTimeZoneIdStandard = 1;
inline constexpr DWORD kTimeZoneIdDaylight = 2;
inline constexpr DWORD kTimeZoneIdInvalid = 0xFFFFFFFF;
struct TimeZoneInformation {
  LONG bias = 0;
  LONG standard_bias = 0;
  LONG daylight_bias = 0;
};
// kTimeZoneIdInvalid (the record untouched) while the zone is unavailable.
DWORD GetTimeZoneInformation(TimeZoneInformation* zone);
// The runtime's _ftime: seconds as RuntimeTime, minutes west of universal
// time and whether daylight saving is in force; false when no local time
// can be made (the clock is unavailable).
struct RuntimeTimeB {
  std::int64_t time = 0;
  std::int16_t timezone = 0;
  std::int16_t dstflag = 0;
};
bool RuntimeFtime(RuntimeTimeB* now);

// ---- Test controls ----

// The user GetUserNameW answers ("User" after a reset), or none.
void SetUserName(std::u16string_view name, bool available = true);
// The zone both views describe: universal time after a reset.
struct TimeZoneSpec {
  LONG bias = 0;          // minutes west, without daylight saving
  bool daylight = false;  // daylight saving in force (60 minutes)
  bool available = true;  // GetTimeZoneInformation answers
};
void SetTimeZone(const TimeZoneSpec& zone);

struct SystemVersion {
  DWORD major_version = 5;
  DWORD minor_version = 1;
  DWORD build_number = 2600;
  DWORD platform_id = kVerPlatformWin32Nt;
};
// What GetVersionExW and GetVersion describe (the values above after a
// reset), and which record sizes GetVersionExW accepts.
void SetSystemVersion(const SystemVersion& version);
void SetVersionExAcceptedSizes(std::vector<DWORD> sizes);
// GetSystemDefaultLangID's answer (0x0409 after a reset).
void SetSystemDefaultLangID(WORD language);
// What GetOEMCP and GetACP answer.
void SetCodePages(UINT oem, UINT ansi);

// The setlocale calls that set a locale, in order: the newest
// kHostLogCapacity (platform/host/modules.h), as the library sets one at
// every attach.
struct LocaleCall {
  int category;
  std::string locale;
};
std::vector<LocaleCall> RuntimeLocaleLog();

}  // namespace platform
