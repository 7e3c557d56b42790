#include "driver/document/escape_records.h"

#include <cstring>
#include <string>

#include "persist/string_conversion.h"
#include "platform/host/modules.h"
#include "platform/host/system.h"
#include "platform/host/uuid.h"
#include "platform/host/version_info.h"
#include "platform/ui/device_context.h"

namespace {

constexpr platform::DWORD kModulePathUnits = 256;

// A string of the version block under "\StringFileInfo\<language><code
// page>\<name>", or false.
bool VersionString(const void* block, platform::WORD language, platform::WORD code_page,
                   const char* name, RWWString& value) {
  char path[96];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", language, code_page, name);
  std::u16string wide(path, path + std::strlen(path));
  void* found = nullptr;
  platform::UINT length = 0;
  if (!platform::VerQueryValueW(block, wide.c_str(), &found, &length) || length == 0) return false;
  const auto* text = static_cast<const char16_t*>(found);
  std::size_t units = 0;
  while (units < length && text[units] != u'\0')
    ++units;
  value = RWWString(text, units);
  return true;
}

}  // namespace

std::array<std::uint8_t, kStateRecordSize> MakeStateRecord(std::uint32_t marker,
                                                           std::uint32_t state,
                                                           std::uint32_t third) {
  std::array<std::uint8_t, kStateRecordSize> record{};
  const std::uint32_t words[] = {marker, state, third};
  for (std::size_t i = 0; i < kStateRecordSize; ++i)
    record[i] = static_cast<std::uint8_t>(words[i / 4] >> (8 * (i % 4)));
  return record;
}

int SendStateEscape(platform::HDC dc, int code, std::uint32_t marker, std::uint32_t state,
                    std::uint32_t third) {
  const auto record = MakeStateRecord(marker, state, third);
  return platform::ExtEscape(dc, code, int(record.size()),
                             reinterpret_cast<const char*>(record.data()), 0, nullptr);
}

int SendTextEscape(platform::HDC dc, int code, const RWCString& text) {
  return platform::ExtEscape(dc, code, int(text.Length() + 1), text.Data(), 0, nullptr);
}

int SendWideTextEscape(platform::HDC dc, int code, const RWWString& text) {
  RWCString narrow;
  if (!WideToNarrow(text, narrow)) return 0;
  return SendTextEscape(dc, code, narrow);
}

void SendSystemRecord(platform::HDC dc) {
  platform::OsVersionInfoW info{};
  info.size = platform::kOsVersionInfoSize;
  if (!platform::GetVersionExW(&info)) return;
  std::string text = "OS Info: ";
  if (info.platform_id == platform::kVerPlatformWin32Nt && info.major_version < 5)
    text += "WinNT Kernel;";
  text += std::to_string(info.major_version) + "." + std::to_string(info.minor_version) + ";" +
          std::to_string(info.build_number & 0xFFFF) + ";";
  SendTextEscape(dc, kEscapeSystem, RWCString(text.c_str()));
}

bool ReadVersionData(const RWWString& path, std::string& block, GVersionTranslation& first,
                     GVersionTranslation& last) {
  platform::DWORD handle = 0;
  const platform::DWORD size = platform::GetFileVersionInfoSizeW(path.Data(), &handle);
  if (size == 0) return false;
  block.assign(size, '\0');
  void* value = nullptr;
  platform::UINT length = 0;
  if (!platform::GetFileVersionInfoW(path.Data(), handle, size, block.data()) ||
      !platform::VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length) ||
      length < 4) {
    return false;
  }
  const auto at = [value](std::size_t offset) {
    const auto* bytes = static_cast<const std::uint8_t*>(value) + offset;
    return GVersionTranslation{static_cast<platform::WORD>(bytes[0] | bytes[1] << 8),
                               static_cast<platform::WORD>(bytes[2] | bytes[3] << 8)};
  };
  first = at(0);
  last = at((length / 4 - 1) * 4);
  return true;
}

void SendProgramRecords(platform::HDC dc) {
  char16_t path[kModulePathUnits] = {};
  platform::GetModuleFileNameW(nullptr, path, kModulePathUnits);
  std::string block;
  GVersionTranslation first, last;
  RWWString description, product, version;
  bool have_description = false, have_all = false;
  if (ReadVersionData(RWWString(path), block, first, last)) {
    // The last translation names the strings.
    have_description =
        VersionString(block.data(), last.language, last.code_page, "FileDescription", description);
    have_all =
        have_description &&
        VersionString(block.data(), last.language, last.code_page, "ProductName", product) &&
        VersionString(block.data(), last.language, last.code_page, "ProductVersion", version);
  }
  if (have_description) SendWideTextEscape(dc, kEscapeProgram, description);
  if (have_all) {
    RWWString text(u"Application Info: ");
    text += description;
    text += u";";
    text += product;
    text += u";";
    text += version;
    text += u";";
    SendWideTextEscape(dc, kEscapeApplication, text);
  } else {
    SendTextEscape(dc, kEscapeApplication, RWCString(kNoApplicationContext));
  }
}

void SendFileNameRecord(platform::HDC dc, const RWWString& path) {
  const char16_t* text = path.Data();
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.Length(); ++i) {
    if (text[i] == u'\\') start = i + 1;
  }
  SendWideTextEscape(dc, kEscapeFileName, RWWString(text + start, path.Length() - start));
}

void SendJobIdRecord(platform::HDC dc) {
  platform::Uuid id{};
  char* text = nullptr;
  if (platform::UuidCreate(&id) != platform::kRpcSOk ||
      platform::UuidToStringA(&id, &text) != platform::kRpcSOk || text == nullptr) {
    return;
  }
  platform::ExtEscape(dc, kEscapeJobId, platform::kUuidTextLength + 1, text, 0, nullptr);
  platform::RpcStringFreeA(&text);
}

bool QueryJobName(platform::HDC dc, RWCString& name) {
  char reply[kJobNameReplySize] = {};
  if (platform::ExtEscape(dc, kEscapeProgram, 0, nullptr, int(kJobNameReplySize), reply) <= 0)
    return false;
  name = RWCString(reply, strnlen(reply, kJobNameReplySize - 1));
  return true;
}
