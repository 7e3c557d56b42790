#include "platform/host/version_info.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/host/host_state.h"

namespace platform {
namespace {

using host_internal::Fail;
using host_internal::Lock;
using host_internal::Mutex;

constexpr std::uint32_t kMagic = 0x47495356;  // "VSIG"
constexpr char16_t kTranslation[] = u"\\VarFileInfo\\Translation";

std::map<std::u16string, std::vector<BYTE>>& Blocks() {
  static auto* blocks = new std::map<std::u16string, std::vector<BYTE>>;
  return *blocks;
}

void Put32(std::vector<BYTE>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out.push_back(BYTE(value >> (8 * i)));
}

void PutBytes(std::vector<BYTE>& out, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const BYTE*>(data);
  out.insert(out.end(), bytes, bytes + size);
  while (out.size() % 4 != 0)
    out.push_back(0);
}

std::uint32_t Get32(const BYTE* at) {
  return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 |
         std::uint32_t(at[3]) << 24;
}

std::size_t Padded(std::size_t size) {
  return (size + 3) / 4 * 4;
}

void PutEntry(std::vector<BYTE>& out, std::u16string_view name, const void* value,
              std::size_t size) {
  const std::u16string folded = host_internal::Fold(name);
  Put32(out, std::uint32_t(folded.size()));
  PutBytes(out, folded.data(), folded.size() * 2);
  Put32(out, std::uint32_t(size));
  PutBytes(out, value, size);
}

// The block of `data`, laid out as the file comment says.
std::vector<BYTE> MakeBlock(const FileVersionData& data) {
  std::vector<BYTE> entries;
  std::vector<BYTE> pairs;
  for (auto [language, code_page] : data.translations) {
    for (WORD word : {language, code_page}) {
      pairs.push_back(BYTE(word));
      pairs.push_back(BYTE(word >> 8));
    }
  }
  PutEntry(entries, kTranslation, pairs.data(), pairs.size());
  for (const auto& [name, text] : data.strings)
    PutEntry(entries, name, text.c_str(), (text.size() + 1) * 2);
  std::vector<BYTE> block;
  Put32(block, kMagic);
  Put32(block, std::uint32_t(12 + entries.size()));
  Put32(block, std::uint32_t(1 + data.strings.size()));
  block.insert(block.end(), entries.begin(), entries.end());
  return block;
}

// The block of `path`: the declared one, else one made into `made` from
// its module's record; null when it has neither. REQUIRES: the lock.
const std::vector<BYTE>* FindLocked(const char16_t* path, std::vector<BYTE>& made) {
  if (path == nullptr) return nullptr;
  auto it = Blocks().find(host_internal::Fold(path));
  if (it != Blocks().end()) return &it->second;
  const FileVersionData* record = host_internal::FindModuleVersionLocked(path);
  if (record == nullptr) return nullptr;
  made = MakeBlock(*record);
  return &made;
}

}  // namespace

DWORD GetFileVersionInfoSizeW(const char16_t* path, DWORD* handle) {
  if (handle) *handle = 0;
  Lock lock(Mutex());
  std::vector<BYTE> made;
  const std::vector<BYTE>* block = FindLocked(path, made);
  if (block == nullptr) return Fail<DWORD>(kErrorResourceNameNotFound, 0);
  return DWORD(block->size());
}

BOOL GetFileVersionInfoW(const char16_t* path, DWORD, DWORD size, void* data) {
  Lock lock(Mutex());
  std::vector<BYTE> made;
  const std::vector<BYTE>* block = FindLocked(path, made);
  if (block == nullptr) return Fail<BOOL>(kErrorResourceNameNotFound, 0);
  if (data == nullptr || size < block->size()) return Fail<BOOL>(kErrorInsufficientBuffer, 0);
  std::memcpy(data, block->data(), block->size());
  return 1;
}

BOOL VerQueryValueW(const void* block, const char16_t* sub_block, void** value, UINT* length) {
  if (block == nullptr || sub_block == nullptr || value == nullptr || length == nullptr) return 0;
  const auto* bytes = static_cast<const BYTE*>(block);
  if (Get32(bytes) != kMagic) return 0;
  const std::size_t total = Get32(bytes + 4);
  const std::u16string wanted = host_internal::Fold(sub_block);
  const bool is_translation = wanted == host_internal::Fold(kTranslation);
  std::size_t at = 12;
  for (std::uint32_t n = Get32(bytes + 8); n > 0; --n) {
    if (total < 4 || at > total - 4) return 0;
    const std::size_t units = Get32(bytes + at);
    at += 4;
    if (units > (total - at) / 2) return 0;
    std::u16string name(units, u'\0');
    std::memcpy(name.data(), bytes + at, units * 2);
    at += Padded(units * 2);
    if (at > total - 4) return 0;
    const std::size_t size = Get32(bytes + at);
    at += 4;
    if (size > total - at) return 0;
    if (name == wanted) {
      *value = const_cast<BYTE*>(bytes + at);
      *length = UINT(is_translation ? size : size / 2);
      return 1;
    }
    at += Padded(size);
  }
  return 0;
}

void SetFileVersionData(std::u16string_view path, const FileVersionData& data) {
  std::vector<BYTE> block = MakeBlock(data);
  Lock lock(Mutex());
  Blocks()[host_internal::Fold(path)] = std::move(block);
}

namespace host_internal {

void ResetVersionInfoLocked() {
  Blocks().clear();
}

}  // namespace host_internal
}  // namespace platform
