#include "support/stored_state.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "platform/host/files.h"
#include "platform/host/printer_interface.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/text.h"
#include "support/acceptance_scenario.h"

namespace support {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The record GetPrinterW or GetPrinterDriverW writes at level 2; empty
// when it cannot be had.
template <class Get>
Bytes LevelTwo(Get get) {
  platform::DWORD needed = 0;
  get(nullptr, 0, &needed);
  Bytes record(needed);
  if (needed == 0 || !get(record.data(), needed, &needed)) return {};
  return record;
}

Bytes FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ReadDataFile(platform::HANDLE printer, StoredState& state) {
  Bytes record =
      LevelTwo([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed) {
        return platform::GetPrinterDriverW(printer, nullptr, 2, buffer, size, needed);
      });
  if (record.empty()) return;
  const auto* info = reinterpret_cast<const platform::DriverInfo2W*>(record.data());
  if (!info->data_file) return;
  if (std::optional<std::string> host = platform::ToHostPath(std::u16string_view(info->data_file)))
    state.items["file"] = FileBytes(*host);
}

void ReadPrinterData(const char16_t* name, StoredState& state) {
  const std::u16string path = platform::PrinterDataKeyPath(name);
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(platform::kHkeyLocalMachine, path.c_str(), 0, platform::kKeyRead,
                              &key) != 0) {
    return;
  }
  for (const std::u16string& value :
       platform::RegistryValueNames(platform::kHkeyLocalMachine, path)) {
    platform::DWORD type = 0, size = 0;
    if (platform::RegQueryValueExW(key, value.c_str(), nullptr, &type, nullptr, &size) != 0)
      continue;
    Bytes bytes(size);
    if (platform::RegQueryValueExW(key, value.c_str(), nullptr, &type, bytes.data(), &size) != 0)
      continue;
    bytes.resize(size);
    std::string narrow;
    platform::WideToMultiByte(value.data(), value.size(), narrow);
    state.items["data:" + narrow + " type " + std::to_string(type)] = bytes;
  }
  platform::RegCloseKey(key);
}

// Every other value of the registry (the pools under pseudo names, the
// strings under the printer's key, the registry agent's values, the user's
// records) and each key there (a key made and left empty is a change too).
void ReadRegistry(const char16_t* name, StoredState& state) {
  const std::u16string data_key = platform::PrinterDataKeyPath(name);
  std::u16string folded_data_key;
  for (char16_t unit : data_key)
    folded_data_key += unit >= u'a' && unit <= u'z' ? char16_t(unit - 32) : unit;
  for (const auto& [root, label] : {std::pair{platform::kHkeyLocalMachine, "HKLM\\"},
                                    std::pair{platform::kHkeyCurrentUser, "HKCU\\"}}) {
    std::string keys;
    for (const std::u16string& path : platform::RegistryKeyPaths(root)) {
      std::string narrow;
      platform::WideToMultiByte(path.data(), path.size(), narrow);
      keys += narrow + "\n";
      if (path == folded_data_key) continue;  // the printer data, above
      platform::HKEY key = nullptr;
      if (platform::RegOpenKeyExW(root, path.c_str(), 0, platform::kKeyRead, &key) != 0) continue;
      for (const std::u16string& value : platform::RegistryValueNames(root, path)) {
        platform::DWORD type = 0, size = 0;
        if (platform::RegQueryValueExW(key, value.c_str(), nullptr, &type, nullptr, &size) != 0)
          continue;
        Bytes bytes(size);
        if (platform::RegQueryValueExW(key, value.c_str(), nullptr, &type, bytes.data(), &size) !=
            0)
          continue;
        bytes.resize(size);
        std::string value_name;
        platform::WideToMultiByte(value.data(), value.size(), value_name);
        state.items["reg:" + std::string(label) + narrow + "\\" + value_name + " type " +
                    std::to_string(type)] = bytes;
      }
      platform::RegCloseKey(key);
    }
    state.items["keys:" + std::string(label)] = Bytes(keys.begin(), keys.end());
  }
}

bool IsSystemStoreItem(const std::string& name) {
  for (const char* prefix : {"data:", "reg:", "keys:", "form:"})
    if (name.rfind(prefix, 0) == 0) return true;
  return name == "stored default";
}

// The forms of the printer's server, in order: each form's flags, size and
// area.
void ReadForms(platform::HANDLE printer, StoredState& state) {
  Bytes block =
      LevelTwo([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed) {
        platform::DWORD count = 0;
        return platform::EnumFormsW(printer, 1, buffer, size, needed, &count);
      });
  platform::DWORD needed = 0, count = 0;
  if (block.empty() || !platform::EnumFormsW(printer, 1, block.data(),
                                             platform::DWORD(block.size()), &needed, &count))
    return;
  const auto* forms = reinterpret_cast<const platform::FormInfo1W*>(block.data());
  for (platform::DWORD i = 0; i < count; ++i) {
    std::string name;
    if (forms[i].name)
      platform::WideToMultiByte(forms[i].name, std::char_traits<char16_t>::length(forms[i].name),
                                name);
    const auto* shape = reinterpret_cast<const std::uint8_t*>(&forms[i].size);
    Bytes bytes(shape, shape + sizeof(platform::SizeL) + sizeof(platform::RectL));
    bytes.push_back(std::uint8_t(forms[i].flags));
    bytes.push_back(std::uint8_t(i));
    state.items["form:" + name] = bytes;
  }
}

void AppendHex(std::string& text, const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
}

}  // namespace

std::string StoredState::Differences(const StoredState& other) const {
  std::string text;
  auto describe = [&](const std::string& name, const Bytes* mine, const Bytes* theirs) {
    text += name + ": ";
    text += mine ? std::to_string(mine->size()) + " bytes" : "missing";
    text += " against ";
    text += theirs ? std::to_string(theirs->size()) + " bytes" : "missing";
    if (mine && theirs) {
      const auto at = std::mismatch(mine->begin(), mine->end(), theirs->begin(), theirs->end());
      text += ", first at byte " + std::to_string(at.first - mine->begin());
      if (at.first != mine->end() && at.second != theirs->end())
        text += " (" + std::to_string(*at.first) + " against " + std::to_string(*at.second) + ")";
    }
    text += "\n";
  };
  for (const auto& [name, bytes] : items) {
    auto found = other.items.find(name);
    if (found == other.items.end()) {
      describe(name, &bytes, nullptr);
    } else if (found->second != bytes) {
      describe(name, &bytes, &found->second);
    }
  }
  for (const auto& [name, bytes] : other.items) {
    if (!items.count(name)) describe(name, nullptr, &bytes);
  }
  return text;
}

std::string StoredState::TornBetween(const StoredState& before, const StoredState& after,
                                     bool earlier_intact) const {
  // "data:365:2 type 3" is a chunk of "data:365", and
  // "reg:HKCU\\KEY\\Pool:1 type 3" of "reg:HKCU\\KEY\\Pool".
  const auto thing = [](const std::string& item) {
    if (item.rfind("data:", 0) == 0)
      return item.substr(0, std::min(item.find(':', 5), item.find(" type ")));
    if (item.rfind("reg:", 0) == 0) {
      const std::size_t value = item.rfind('\\');
      return item.substr(0, std::min(item.find(':', value), item.find(" type ", value)));
    }
    return item;
  };
  std::map<std::string, std::array<StoredState, 3>> things;  // now, before, after
  for (const auto* state : {this, &before, &after})
    for (const auto& [name, bytes] : state->items)
      things[thing(name)][state == this ? 0 : state == &before ? 1 : 2].items[name] = bytes;
  std::string torn;
  for (const auto& [name, forms] : things) {
    const bool as_after = forms[0] == forms[2] && (!earlier_intact || forms[1].items.empty());
    if (forms[0] != forms[1] && !as_after) torn += name + "\n" + forms[0].Differences(forms[1]);
  }
  return torn;
}

StoredState StoredState::SystemStore() const {
  StoredState part;
  for (const auto& [name, bytes] : items)
    if (IsSystemStoreItem(name)) part.items[name] = bytes;
  return part;
}

std::string StoredState::Serialize() const {
  std::string text;
  for (const auto& [name, bytes] : items) {
    text += name + "\n";
    AppendHex(text, bytes);
    text += "\n";
  }
  return text;
}

bool StoredState::Parse(const std::string& text) {
  items.clear();
  std::istringstream in(text);
  std::string name, hex;
  while (std::getline(in, name)) {
    if (!std::getline(in, hex) || hex.size() % 2 != 0) return false;
    Bytes bytes(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i)
      bytes[i] = std::uint8_t(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    items[name] = std::move(bytes);
  }
  return true;
}

std::optional<Bytes> StoredDefault(platform::HANDLE printer) {
  Bytes record =
      LevelTwo([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed) {
        return platform::GetPrinterW(printer, 2, buffer, size, needed);
      });
  if (record.empty()) return std::nullopt;
  const auto* info = reinterpret_cast<const platform::PrinterInfo2W*>(record.data());
  const auto* mode = static_cast<const std::uint8_t*>(info->dev_mode);
  if (!mode) return Bytes();
  const std::size_t size = std::size_t(mode[platform::kDevModeSizeOffset] |
                                       mode[platform::kDevModeSizeOffset + 1] << 8) +
                           std::size_t(mode[platform::kDevModeDriverExtraOffset] |
                                       mode[platform::kDevModeDriverExtraOffset + 1] << 8);
  if (mode + size > record.data() + record.size()) return std::nullopt;
  return Bytes(mode, mode + size);
}

StoredState ReadStoredState(const AcceptanceInstall& install, platform::HANDLE printer,
                            const char16_t* name) {
  StoredState state = ReadSystemStore(printer, name);
  ReadDataFile(printer, state);
  const std::string open = std::to_string(platform::OpenRegistryKeyCount());
  state.items["keys open"] = Bytes(open.begin(), open.end());
  Record record(kAcceptanceRecordBytes);
  if (DocumentProperties(install, printer, name, &record, nullptr, platform::kDmModeCopy) == 1)
    state.items["default record"] = record;
  return state;
}

StoredState ReadSystemStore(platform::HANDLE printer, const char16_t* name) {
  StoredState state;
  ReadPrinterData(name, state);
  ReadRegistry(name, state);
  ReadForms(printer, state);
  if (std::optional<Bytes> stored = StoredDefault(printer); stored && !stored->empty())
    state.items["stored default"] = std::move(*stored);
  return state;
}

}  // namespace support
