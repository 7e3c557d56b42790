#include "services/os_version.h"

#include "platform/host/registry.h"
#include "platform/host/system.h"
#include "platform/text.h"

namespace {

constexpr char16_t kProductOptionsKey[] = u"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr std::uint32_t kProductBufferBytes = 128;

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (platform::AsciiToLower(*a) != platform::AsciiToLower(*b)) return false;
  }
  return *a == *b;
}

// The kind of a version record; 0 when it names none. `retry`: the record
// of the second attempt, whose 9x family is always kind 5.
std::uint32_t KindOf(const platform::OsVersionInfoW& info, bool retry) {
  switch (info.platform_id) {
    case platform::kVerPlatformWin32s:
      return 4;
    case platform::kVerPlatformWin32Windows:
      if (info.major_version < 4) return 0;
      if (retry) return 5;
      if (info.minor_version >= 1 && info.minor_version <= 19) return 7;
      if (info.minor_version > 20) return 8;
      return 6;
    case platform::kVerPlatformWin32Nt:
      if (info.major_version == 4) return 9;
      if (info.major_version == 5) return (info.build_number & 0xFFFF) == 2195 ? 13 : 14;
      return 0;
    default:
      return 0;
  }
}

bool FromVersionRecord(GOSVersion& version) {
  for (std::uint32_t size : {kVersionRecordSize, kVersionRecordRetrySize}) {
    platform::OsVersionInfoW info{};
    info.size = size;
    if (!platform::GetVersionExW(&info)) continue;
    version.kind = KindOf(info, size == kVersionRecordRetrySize);
    version.version = info.major_version << 16 | info.minor_version;
    version.build = info.build_number & 0xFFFF;
    return version.kind != 0;
  }
  platform::DWORD word = platform::GetVersion();
  platform::DWORD major = word & 0xFF;
  version.version = major << 16 | (word >> 8 & 0xFF);
  version.build = 0;
  if (word & 0x80000000u) {
    version.kind = major == 3 ? 4 : 5;
  } else {
    version.kind = major == 4 ? 9 : 13;
  }
  return true;
}

// Kinds 9 and 13 are told apart by the product options: workstation
// ("WinNT") with a product suite 13, without 9; a server 10.
bool RefineByProductType(GOSVersion& version) {
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::kHkeyLocalMachine, kProductOptionsKey, 0,
                              platform::kKeyRead, &key) != 0) {
    return false;
  }
  char buffer[kProductBufferBytes + 1] = {};
  platform::DWORD size = kProductBufferBytes;
  platform::DWORD type = 0;
  bool ok = platform::RegQueryValueExA(key, "ProductType", nullptr, &type,
                                       reinterpret_cast<platform::BYTE*>(buffer), &size) == 0;
  if (ok) {
    if (EqualsIgnoringCase(buffer, "Winnt")) {
      // The suite is read with the size the type's read answered.
      version.kind =
          platform::RegQueryValueExA(key, "ProductSuite", nullptr, &type,
                                     reinterpret_cast<platform::BYTE*>(buffer), &size) == 0
              ? 13
              : 9;
    } else {
      version.kind = 10;
    }
  }
  platform::RegCloseKey(key);
  return ok;
}

}  // namespace

bool DetectOSVersion(GOSVersion& version) {
  GOSVersion found;
  if (!FromVersionRecord(found)) {
    version = GOSVersion{};
    return false;
  }
  if ((found.kind == 9 || found.kind == 13) && !RefineByProductType(found)) {
    version = GOSVersion{};
    return false;
  }
  version = found;
  return true;
}

std::uint32_t OSFamily(std::uint32_t kind) {
  switch (kind) {
    case 1:
      return 1;
    case 2:
    case 3:
    case 4:
      return 2;
    case 5:
      return 3;
    case 9:
    case 10:
    case 11:
    case 13:
    case 14:
      return 4;
    case 12:
      return 6;
    default:
      return 0;
  }
}
