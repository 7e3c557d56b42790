// The services' contexts, locale values, temporary directory, random
// numbers, files and locks (nt_os_factory.h).
#include <array>
#include <cstdint>
#include <new>

#include "driver/nt_os_factory.h"
#include "foundation/rw/support.h"
#include "persist/locale_info.h"
#include "platform/host/files.h"
#include "platform/host/registry.h"
#include "platform/host/system.h"
#include "platform/text.h"
#include "services/lock.h"

namespace {

using platform::DWORD;

constexpr char16_t kInternationalKey[] = u"Control Panel\\International";
// Each value is read into this many bytes, its terminator included.
constexpr DWORD kLocaleValueBytes = 128;
constexpr char16_t kTempDirectoryValue[] = u"TempDirectoryLocation";
constexpr char16_t kSpoolDirectory[] = u"\\SystemRoot\\System32\\Spool\\Printers";

// The values of the user's international settings, in the record's order:
// the numbers 0 to 10, then the texts.
constexpr std::array<const char*, kLocaleNumberCount> kLocaleNumberNames = {
    "iCountry", "iCurrDigits", "iCurrency", "iDate",   "iDigits", "iLZero",
    "iMeasure", "iNegCurr",    "iTime",     "iTLZero", "Locale"};
constexpr std::array<const char*, kLocaleTextCount> kLocaleTextNames = {
    "s1159",     "s2359", "sCountry",  "sCurrency",  "sDate",     "sDecimal",
    "sLanguage", "sList", "sLongDate", "sShortDate", "sThousand", "sTime"};

using NumberSetter = void (GLocaleInfo::*)(std::uint32_t);
using TextSetter = void (GLocaleInfo::*)(const RWCString&);
constexpr std::array<NumberSetter, kLocaleNumberCount> kNumberSetters = {
    &GLocaleInfo::SetNumber0, &GLocaleInfo::SetNumber1, &GLocaleInfo::SetNumber2,
    &GLocaleInfo::SetNumber3, &GLocaleInfo::SetNumber4, &GLocaleInfo::SetNumber5,
    &GLocaleInfo::SetNumber6, &GLocaleInfo::SetNumber7, &GLocaleInfo::SetNumber8,
    &GLocaleInfo::SetNumber9, &GLocaleInfo::SetNumber10};
constexpr std::array<TextSetter, kLocaleTextCount> kTextSetters = {
    &GLocaleInfo::SetText0, &GLocaleInfo::SetText1,  &GLocaleInfo::SetText2,
    &GLocaleInfo::SetText3, &GLocaleInfo::SetText4,  &GLocaleInfo::SetText5,
    &GLocaleInfo::SetText6, &GLocaleInfo::SetText7,  &GLocaleInfo::SetText8,
    &GLocaleInfo::SetText9, &GLocaleInfo::SetText10, &GLocaleInfo::SetText11};

// A string value of `key` as 8-bit text; false when it is missing, not a
// string or longer than the buffer.
bool ReadText(platform::HKEY key, const char* name, RWCString& text) {
  char buffer[kLocaleValueBytes + 1] = {};
  DWORD size = kLocaleValueBytes;
  DWORD type = 0;
  if (platform::RegQueryValueExA(key, name, nullptr, &type,
                                 reinterpret_cast<platform::BYTE*>(buffer), &size) != 0 ||
      type != platform::kRegSz) {
    return false;
  }
  text = RWCString(buffer);  // up to the first NUL; the buffer always has one
  return true;
}

// The runtime's decimal conversion: blanks, a sign, then digits up to the
// first other character (none: 0), taken modulo 2^32.
std::uint32_t DecimalOf(const RWCString& text) {
  const char* p = text.Data();
  while (platform::AsciiIsSpace(*p))
    ++p;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  std::uint32_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p)
    value = value * 10 + static_cast<std::uint32_t>(*p - '0');
  return negative ? 0 - value : value;
}

// The environment variable `name`, empty when it is not set.
RWWString Environment(const char16_t* name) {
  DWORD needed = platform::GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return RWWString();
  std::u16string value(needed, u'\0');
  DWORD got = platform::GetEnvironmentVariableW(name, value.data(), needed);
  return got < needed ? RWWString(value.data(), got) : RWWString();
}

int OpenFile(const RWWString& path, DWORD disposition) {
  platform::HANDLE file = platform::CreateFileW(path.Data(), 0, 0, nullptr, disposition,
                                                platform::kFileAttributeNormal, nullptr);
  if (file == platform::kInvalidHandleValue) return 0;
  platform::CloseHandle(file);
  return 1;
}

}  // namespace

GNTOSFactory::GNTOSFactory() {
  SetServicesLock(GNTOSFactory::CreateLock());
}

GDriverData* GNTOSFactory::CreateContext(const GPrinterKey&) {
  return nullptr;
}

GDriverData* GNTOSFactory::CreateRenderData(const GPrinterKey&) {
  return nullptr;
}

std::int32_t GNTOSFactory::Placeholder1(std::uintptr_t) {
  return 0;
}

std::int32_t GNTOSFactory::Placeholder2(std::uintptr_t, std::uintptr_t, std::uintptr_t) {
  return 0;
}

std::int32_t GNTOSFactory::Placeholder3() {
  return 0;
}

GUnicodeConverter* GNTOSFactory::CreateUnicodeConverter() {
  return nullptr;
}

GLocaleInfo* GNTOSFactory::GetLocaleInfo() {
  auto* info = new (kRWNoThrow) GLocaleInfo;
  if (!info) return nullptr;
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::kHkeyCurrentUser, kInternationalKey, 0, platform::kKeyRead,
                              &key) != 0) {
    return info;
  }
  RWCString text;
  for (std::size_t i = 0; i < kLocaleNumberCount; ++i) {
    if (ReadText(key, kLocaleNumberNames[i], text)) (info->*kNumberSetters[i])(DecimalOf(text));
  }
  for (std::size_t i = 0; i < kLocaleTextCount; ++i) {
    if (ReadText(key, kLocaleTextNames[i], text)) (info->*kTextSetters[i])(text);
  }
  platform::RegCloseKey(key);
  return info;
}

RWWString GNTOSFactory::GetTempDirectory(GDriverData* printer) {
  RWWString directory = GetPrinterDataString(printer, kTempDirectoryValue, RWWString());
  if (directory.IsNull()) directory = Environment(u"TMP");
  if (directory.IsNull()) directory = Environment(u"TEMP");
  if (directory.IsNull()) directory = kSpoolDirectory;
  return directory;
}

void GNTOSFactory::SeedRandom() {
  platform::RuntimeSeedRandom(static_cast<std::uint32_t>(platform::RuntimeTime()));
}

std::int32_t GNTOSFactory::Random() {
  return platform::RuntimeRandom();
}

int GNTOSFactory::FileExists(const RWWString& path) {
  return OpenFile(path, platform::kOpenExisting);
}

int GNTOSFactory::CreateEmptyFile(const RWWString& path) {
  return OpenFile(path, platform::kCreateAlways);
}

GLock* GNTOSFactory::CreateLock() {
  return new (kRWNoThrow) GSemaphore;
}
