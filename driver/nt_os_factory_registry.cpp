// The services' pseudo names, registry numbers and the strings under the
// printer's own key (nt_os_factory.h).
#include <cstdint>

#include "driver/chunked_value.h"
#include "driver/nt_os_factory.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "services/driver_data.h"

namespace {

using platform::BYTE;
using platform::DWORD;
using platform::HKEY;

constexpr char16_t kPseudoPrefix[] = u"???";
constexpr RWSize kPseudoPrefixUnits = 3;
// Digits of a root's decimal text: the ten of 2147483649, and a sign.
constexpr RWSize kRootTextUnits = 11;

// The registry root that a root's decimal text names, or null. The text is
// read as a signed decimal number taken modulo 2^32, so the unsigned text
// of a root (2147483649) and its signed text (-2147483647) name the same.
HKEY RootOfText(const RWWString& text) {
  RWSize at = 0;
  bool negative = false;
  if (at < text.Length() && (text[at] == u'-' || text[at] == u'+')) negative = text[at++] == u'-';
  if (at == text.Length() || text.Length() > kRootTextUnits) return nullptr;
  std::uint64_t value = 0;
  for (; at < text.Length(); ++at) {
    if (text[at] < u'0' || text[at] > u'9') return nullptr;
    value = value * 10 + (text[at] - u'0');
  }
  auto bits = static_cast<std::uint32_t>(negative ? 0 - value : value);
  HKEY root = reinterpret_cast<HKEY>(std::uintptr_t{bits});
  return root == platform::kHkeyCurrentUser || root == platform::kHkeyLocalMachine ? root : nullptr;
}

std::uint32_t LittleEndian(const BYTE* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The 4-byte value `name` of `key` into `bytes`: 1 and its type when the
// query succeeds with exactly 4 bytes.
bool Query4(HKEY key, const char16_t* name, BYTE (&bytes)[4], DWORD& type) {
  DWORD size = sizeof bytes;
  return platform::RegQueryValueExW(key, name, nullptr, &type, bytes, &size) == 0 && size == 4;
}

std::int32_t SetRegistryDword(HKEY key, const RWWString& name, std::uint32_t value) {
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return platform::RegSetValueExW(key, name.Data(), 0, platform::kRegDword, bytes, 4);
}

// A REG_DWORD of 4 bytes under `root`\`key`, else `fallback`. With
// `size_first` the size is asked before the value is read.
std::uint32_t ReadDwordValue(HKEY root, const RWWString& key, const RWWString& name,
                             std::uint32_t fallback, bool size_first) {
  HKEY opened = nullptr;
  if (platform::RegOpenKeyExW(root, key.Data(), 0, platform::kKeyRead, &opened) != 0) {
    return fallback;
  }
  std::uint32_t result = fallback;
  DWORD type = 0;
  DWORD size = 4;
  bool sized = !size_first || (platform::RegQueryValueExW(opened, name.Data(), nullptr, &type,
                                                          nullptr, &size) == 0 &&
                               size == 4);
  BYTE bytes[4];
  if (sized && Query4(opened, name.Data(), bytes, type) && type == platform::kRegDword) {
    result = LittleEndian(bytes);
  }
  platform::RegCloseKey(opened);
  return result;
}

// The printer's own key in the machine's registry, with `key` below it.
RWWString PrinterKeyPath(GDriverData* printer, const RWWString& key) {
  RWWString path(platform::kPrintersKeyPath);
  path += u'\\';
  path += printer->GetPrinterName();
  path += u'\\';
  path += key;
  return path;
}

}  // namespace

int GNTOSFactory::IsPseudoName(const RWWString& name) {
  return name.Length() >= kPseudoPrefixUnits &&
                 RWWString(name.Data(), kPseudoPrefixUnits).EqualsChars(kPseudoPrefix)
             ? 1
             : 0;
}

int GNTOSFactory::OpenPseudoName(const RWWString& name, HKEY& key, RWWString& value_name) {
  key = nullptr;
  const char16_t separator = u'\\';
  RWSize first = name.First(separator);
  if (first == RW_NPOS) return 0;
  const RWWString after_prefix = name(first + 1, name.Length() - first - 1);
  RWSize root_end = after_prefix.First(separator);
  if (root_end == RW_NPOS) return 0;
  HKEY root = RootOfText(after_prefix(0, root_end));
  const RWWString rest = after_prefix(root_end + 1, after_prefix.Length() - root_end - 1);
  RWSize last = rest.Last(separator);
  if (!root || last == RW_NPOS || last == 0) return 0;
  const RWWString path = rest(0, last);
  if (platform::RegCreateKeyExW(root, path.Data(), 0, u"", 0, platform::kKeyAllAccess, nullptr,
                                &key, nullptr) != 0) {
    key = nullptr;
    return 0;
  }
  value_name = rest(last + 1, rest.Length() - last - 1);
  return 1;
}

int GNTOSFactory::WritePseudoChunkedValue(const RWWString& name, const void* data,
                                          std::uint32_t length) {
  HKEY key = nullptr;
  RWWString value_name;
  if (!OpenPseudoName(name, key, value_name)) return 0;
  // The count before: a 4-byte value that reads, whatever its type.
  BYTE bytes[4];
  DWORD type = 0;
  ChunkedValueBefore before;
  int result = 0;
  if (ReadBefore(nullptr, name,
                 Query4(key, value_name.Data(), bytes, type) ? LittleEndian(bytes) : 0, before) &&
      SetRegistryDword(key, value_name, ChunkCount(length)) == 0) {
    result = WriteChunks(
        data, length, before,
        [&](std::uint32_t i, const BYTE* chunk, std::uint32_t size) {
          const RWWString chunk_name = ChunkName(value_name, i);
          return !chunk_name.IsNull() &&
                 platform::RegSetValueExW(key, chunk_name.Data(), 0, platform::kRegBinary, chunk,
                                          size) == 0;
        },
        [&](std::uint32_t count) { return SetRegistryDword(key, value_name, count) == 0; },
        [&] { platform::RegDeleteValueW(key, value_name.Data()); },
        [&](std::uint32_t i) {
          const RWWString chunk_name = ChunkName(value_name, i);
          return !chunk_name.IsNull() && platform::RegDeleteValueW(key, chunk_name.Data()) == 0;
        });
  }
  platform::RegCloseKey(key);
  return result;
}

int GNTOSFactory::ReadPseudoChunkedValue(const RWWString& name, void* buffer, std::uint32_t size,
                                         std::uint32_t& got, std::uint32_t* sizes) {
  HKEY key = nullptr;
  RWWString value_name;
  if (!OpenPseudoName(name, key, value_name)) return 0;
  BYTE bytes[4];
  DWORD type = 0;
  std::uint32_t count = Query4(key, value_name.Data(), bytes, type) ? LittleEndian(bytes) : 0;
  int result = ReadChunks(
      count, buffer, size, got,
      [&](std::uint32_t i, BYTE* into, std::uint32_t room, std::uint32_t& read) {
        DWORD chunk_type = 0;
        read = room;
        const RWWString chunk_name = ChunkName(value_name, i);
        return !chunk_name.IsNull() &&
               platform::RegQueryValueExW(key, chunk_name.Data(), nullptr, &chunk_type, into,
                                          &read) == 0 &&
               chunk_type == platform::kRegBinary;
      },
      sizes);
  platform::RegCloseKey(key);
  return result;
}

int GNTOSFactory::WritePrinterKeyString(GDriverData* printer, const RWWString& key,
                                        const RWWString& name, const RWWString& value) {
  if (!printer) return 0;
  HKEY opened = nullptr;
  if (platform::RegCreateKeyExW(platform::kHkeyLocalMachine, PrinterKeyPath(printer, key).Data(), 0,
                                u"", 0, platform::kKeyAllAccess, nullptr, &opened, nullptr) != 0) {
    return 0;
  }
  int result = 1;
  if (!value.IsNull()) {
    // The text and its terminator, UTF-16 little-endian byte by byte.
    std::u16string units(value.Data(), value.Length() + 1);
    std::string bytes;
    for (char16_t unit : units) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    }
    result = platform::RegSetValueExW(opened, name.Data(), 0, platform::kRegSz,
                                      reinterpret_cast<const BYTE*>(bytes.data()),
                                      static_cast<DWORD>(bytes.size())) == 0
                 ? 1
                 : 0;
  }
  platform::RegCloseKey(opened);
  return result;
}

RWWString GNTOSFactory::ReadPrinterKeyString(GDriverData* printer, const RWWString& key,
                                             const RWWString& name, const RWWString& fallback) {
  return printer ? ReadMachineString(PrinterKeyPath(printer, key), name, fallback) : fallback;
}

std::uint32_t GNTOSFactory::ReadMachineDword(const RWWString& key, const RWWString& name,
                                             std::uint32_t fallback) {
  return ReadDwordValue(platform::kHkeyLocalMachine, key, name, fallback, false);
}

std::int32_t GNTOSFactory::EnsureMachineDword(const RWWString& key, const RWWString& name,
                                              std::uint32_t value) {
  HKEY opened = nullptr;
  std::int32_t result = platform::RegOpenKeyExW(platform::kHkeyLocalMachine, key.Data(), 0,
                                                platform::kKeyAllAccess, &opened);
  if (result != 0) return result;
  DWORD type = 0;
  DWORD size = 0;
  if (platform::RegQueryValueExW(opened, name.Data(), nullptr, &type, nullptr, &size) ==
      static_cast<std::int32_t>(platform::kErrorFileNotFound)) {
    // A failed write is the answer: the value is not there.
    result = SetRegistryDword(opened, name, value);
  }
  std::int32_t closed = platform::RegCloseKey(opened);
  return result != 0 ? result : closed;
}

std::uint32_t GNTOSFactory::ReadUserDword(const RWWString& key, const RWWString& name,
                                          std::uint32_t fallback) {
  return ReadDwordValue(platform::kHkeyCurrentUser, key, name, fallback, true);
}

int GNTOSFactory::WriteUserDword(const RWWString& key, const RWWString& name, std::uint32_t value) {
  HKEY opened = nullptr;
  if (platform::RegCreateKeyExW(platform::kHkeyCurrentUser, key.Data(), 0, u"", 0,
                                platform::kKeyWrite, nullptr, &opened, nullptr) != 0) {
    return 0;
  }
  int result = SetRegistryDword(opened, name, value) == 0 ? 1 : 0;
  platform::RegCloseKey(opened);
  return result;
}
