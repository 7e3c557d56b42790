// The services' pseudo names, registry numbers and the strings under the
// printer's own key (nt_os_factory.h).
#include <cstdint>

#include "driver/chunked_value.h"
#include "driver/nt_os_factory.h"
#include "driver/stored_state.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "services/driver_data.h"

namespace {

using platform::BYTE;
using platform::DWORD;
using platform::HKEY;
using platform::LONG;

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

// A REG_DWORD of 4 bytes under `root`\`key`, else `fallback`. With
// `size_first` the size is asked before the value is read.
std::uint32_t ReadDwordValue(HKEY root, const RWWString& key, const RWWString& name,
                             std::uint32_t fallback, bool size_first) {
  DWORD type = 0;
  DWORD size = 4;
  if (size_first &&
      (GStoredState::QueryValue(root, key.Data(), name.Data(), &type, nullptr, &size) != 0 ||
       size != 4))
    return fallback;
  BYTE bytes[4];
  size = sizeof bytes;
  if (GStoredState::QueryValue(root, key.Data(), name.Data(), &type, bytes, &size) != 0 ||
      size != 4 || type != platform::kRegDword)
    return fallback;
  return LittleEndian(bytes);
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

int GNTOSFactory::ParsePseudoName(const RWWString& name, HKEY& root, RWWString& path,
                                  RWWString& value_name) {
  root = nullptr;
  const char16_t separator = u'\\';
  RWSize first = name.First(separator);
  if (first == RW_NPOS) return 0;
  const RWWString after_prefix = name(first + 1, name.Length() - first - 1);
  RWSize root_end = after_prefix.First(separator);
  if (root_end == RW_NPOS) return 0;
  HKEY named = RootOfText(after_prefix(0, root_end));
  const RWWString rest = after_prefix(root_end + 1, after_prefix.Length() - root_end - 1);
  RWSize last = rest.Last(separator);
  if (!named || last == RW_NPOS || last == 0) return 0;
  path = rest(0, last);
  value_name = rest(last + 1, rest.Length() - last - 1);
  // A name cut for want of memory names another value.
  if (path.IsNull() || (value_name.IsNull() && last + 1 != rest.Length())) return 0;
  root = named;
  return 1;
}

int GNTOSFactory::WritePseudoChunkedValue(const RWWString& name, const void* data,
                                          std::uint32_t length) {
  HKEY root = nullptr;
  RWWString path, value_name;
  if (!ParsePseudoName(name, root, path, value_name)) return 0;
  // The count before: a 4-byte value that reads, whatever its type.
  BYTE bytes[4];
  DWORD type = 0;
  DWORD size = sizeof bytes;
  const std::uint32_t before =
      GStoredState::QueryValue(root, path.Data(), value_name.Data(), &type, bytes, &size) == 0 &&
              size == 4
          ? LittleEndian(bytes)
          : 0;
  GStagedRun run;
  const int written = WriteChunks(
      data, length, before,
      [&](const RWWString& value) {
        DWORD room = 0;
        return GStoredState::QueryValue(root, path.Data(), value.Data(), nullptr, nullptr, &room) ==
               0;
      },
      [&](const RWWString& value) {
        return GStoredState::RewriteValue(root, path.Data(), value.Data()) == 0;
      },
      [&](const RWWString& value, DWORD value_type, const BYTE* chunk, std::uint32_t chunk_size) {
        return GStoredState::SetValue(root, path.Data(), value.Data(), value_type, chunk,
                                      chunk_size, true) == 0;
      },
      [&](const RWWString& value) {
        return GStoredState::DeleteValue(root, path.Data(), value.Data()) == 0;
      },
      value_name);
  if (!written) {
    run.RollBack();
    return 0;
  }
  return run.Commit() ? 1 : 0;
}

int GNTOSFactory::ReadPseudoChunkedValue(const RWWString& name, void* buffer, std::uint32_t size,
                                         std::uint32_t& got, std::uint32_t* sizes) {
  HKEY root = nullptr;
  RWWString path, value_name;
  if (!ParsePseudoName(name, root, path, value_name)) return 0;
  BYTE bytes[4];
  DWORD type = 0;
  DWORD count_size = sizeof bytes;
  const std::uint32_t count = GStoredState::QueryValue(root, path.Data(), value_name.Data(), &type,
                                                       bytes, &count_size) == 0 &&
                                      count_size == 4
                                  ? LittleEndian(bytes)
                                  : 0;
  return ReadChunks(
      count, buffer, size, got,
      [&](std::uint32_t i, BYTE* into, std::uint32_t room, std::uint32_t& read) {
        DWORD chunk_type = 0;
        read = room;
        const RWWString chunk_name = ChunkName(value_name, i);
        return !chunk_name.IsNull() &&
               GStoredState::QueryValue(root, path.Data(), chunk_name.Data(), &chunk_type, into,
                                        &read) == 0 &&
               chunk_type == platform::kRegBinary;
      },
      sizes);
}

int GNTOSFactory::WritePrinterKeyString(GDriverData* printer, const RWWString& key,
                                        const RWWString& name, const RWWString& value) {
  if (!printer) return 0;
  const RWWString path = PrinterKeyPath(printer, key);
  if (path.IsNull()) return 0;
  if (value.IsNull()) {
    // The key alone: made when missing.
    return GStoredState::KeyExists(platform::kHkeyLocalMachine, path.Data()) ||
                   GStoredState::MakeKey(platform::kHkeyLocalMachine, path.Data()) == 0
               ? 1
               : 0;
  }
  // The text and its terminator, UTF-16 little-endian byte by byte.
  std::u16string units(value.Data(), value.Length() + 1);
  std::string bytes;
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return GStoredState::SetValue(platform::kHkeyLocalMachine, path.Data(), name.Data(),
                                platform::kRegSz, reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()), true) == 0
             ? 1
             : 0;
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
  if (!GStoredState::KeyExists(platform::kHkeyLocalMachine, key.Data()))
    return std::int32_t(platform::kErrorFileNotFound);
  DWORD size = 0;
  const LONG found = GStoredState::QueryValue(platform::kHkeyLocalMachine, key.Data(), name.Data(),
                                              nullptr, nullptr, &size);
  // A failed write is the answer: the value is not there.
  if (found != LONG(platform::kErrorFileNotFound)) return 0;
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return GStoredState::SetValue(platform::kHkeyLocalMachine, key.Data(), name.Data(),
                                platform::kRegDword, bytes, 4, false);
}

std::uint32_t GNTOSFactory::ReadUserDword(const RWWString& key, const RWWString& name,
                                          std::uint32_t fallback) {
  return ReadDwordValue(platform::kHkeyCurrentUser, key, name, fallback, true);
}

int GNTOSFactory::WriteUserDword(const RWWString& key, const RWWString& name, std::uint32_t value) {
  const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                         static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
  return GStoredState::SetValue(platform::kHkeyCurrentUser, key.Data(), name.Data(),
                                platform::kRegDword, bytes, 4, true) == 0
             ? 1
             : 0;
}
