#include "support/stored_state.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "driver/stored_state.h"
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

// A value's type and bytes as `query(type, data, size)` answers them
// (RegQueryValueExW's calling pattern: the size asked first); unset when it
// cannot be read.
template <class Query>
std::optional<std::pair<platform::DWORD, Bytes>> ValueOf(Query query) {
  platform::DWORD type = 0, size = 0;
  if (query(&type, nullptr, &size) != 0) return std::nullopt;
  Bytes bytes(size);
  if (query(&type, bytes.data(), &size) != 0) return std::nullopt;
  bytes.resize(size);
  return std::pair{type, std::move(bytes)};
}

// The registry values of key `path` as items named `prefix`, the value's
// name, " type " and its type.
void ReadValues(platform::HKEY root, const std::u16string& path, const std::string& prefix,
                StoredState& state) {
  platform::HKEY key = nullptr;
  if (platform::RegOpenKeyExW(root, path.c_str(), 0, platform::kKeyRead, &key) != 0) return;
  for (const std::u16string& value : platform::RegistryValueNames(root, path)) {
    auto read = ValueOf([&](platform::DWORD* type, platform::BYTE* data, platform::DWORD* size) {
      return platform::RegQueryValueExW(key, value.c_str(), nullptr, type, data, size);
    });
    std::string narrow;
    platform::WideToMultiByte(value.data(), value.size(), narrow);
    if (read) state.items[prefix + narrow + " type " + std::to_string(read->first)] = read->second;
  }
  platform::RegCloseKey(key);
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
  ReadValues(platform::kHkeyLocalMachine, platform::PrinterDataKeyPath(name), "data:", state);
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
      ReadValues(root, path, "reg:" + std::string(label) + narrow + "\\", state);
    }
    state.items["keys:" + std::string(label)] = Bytes(keys.begin(), keys.end());
  }
}

bool IsSystemStoreItem(const std::string& name) {
  for (const char* prefix : {"data:", "reg:", "keys:", "form:"})
    if (name.rfind(prefix, 0) == 0) return true;
  return name == "stored default";
}

// The forms of the printer's server as `enumerate` (EnumFormsW's calling
// pattern at level 1) answers, in order: each form's flags, size and area.
template <class Enumerate>
void ReadForms(Enumerate enumerate, StoredState& state) {
  Bytes block =
      LevelTwo([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed) {
        platform::DWORD count = 0;
        return enumerate(buffer, size, needed, &count);
      });
  platform::DWORD needed = 0, count = 0;
  if (block.empty() || !enumerate(block.data(), platform::DWORD(block.size()), &needed, &count))
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

// The stored thing an item is part of: "data:365:2 type 3" is a chunk of
// "data:365", and "reg:HKCU\\KEY\\Pool:1 type 3" of "reg:HKCU\\KEY\\Pool";
// any other item is a thing of its own.
std::string ThingOf(const std::string& item) {
  if (item.rfind("data:", 0) == 0)
    return item.substr(0, std::min(item.find(':', 5), item.find(" type ")));
  if (item.rfind("reg:", 0) == 0) {
    const std::size_t value = item.rfind('\\');
    return item.substr(0, std::min(item.find(':', value), item.find(" type ", value)));
  }
  return item;
}

// Each thing's items in each of `states`, by the thing's name.
std::map<std::string, std::array<StoredState, 3>> Things(
    const std::array<const StoredState*, 3>& states) {
  std::map<std::string, std::array<StoredState, 3>> things;
  for (std::size_t i = 0; i < states.size(); ++i)
    for (const auto& [name, bytes] : states[i]->items)
      things[ThingOf(name)][i].items[name] = bytes;
  return things;
}

// The wide form of an item's part.
std::u16string Wide(const std::string& text) {
  std::u16string units;
  platform::MultiByteToWide(text.data(), text.size(), units);
  return units;
}

// Key paths in the order the registry lists them: a key, then the keys
// below it, each level by name.
struct KeyOrder {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return std::uint8_t(x == '\\' ? 1 : x) < std::uint8_t(y == '\\' ? 1 : y);
    });
  }
};

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
  std::string torn;
  for (const auto& [name, forms] : Things({this, &before, &after})) {
    const bool as_after = forms[0] == forms[2] && (!earlier_intact || forms[1].items.empty());
    if (forms[0] != forms[1] && !as_after) torn += name + "\n" + forms[0].Differences(forms[1]);
  }
  return torn;
}

std::string StoredState::TornChunks(const StoredState& before, const StoredState& after) const {
  std::string torn;
  for (const auto& [name, forms] : Things({this, &before, &after})) {
    // What a reader meets of each: the count (REG_DWORD, named as the
    // value) and the chunks it counts; none without a count.
    std::array<StoredState, 3> read;
    std::string lacking;
    bool chunked = false;
    for (std::size_t i = 0; i < read.size(); ++i) {
      for (const auto& item : forms[i].items)
        chunked = chunked || item.first.rfind(name + ":", 0) == 0;
      const auto count = forms[i].items.find(name + " type 4");
      if (count == forms[i].items.end() || count->second.size() != 4) continue;
      read[i].items.insert(*count);
      const Bytes& k = count->second;
      const std::uint32_t chunks = k[0] | k[1] << 8 | k[2] << 16 | std::uint32_t(k[3]) << 24;
      for (std::uint32_t c = 0; c < chunks; ++c) {
        const auto chunk = forms[i].items.find(name + ":" + std::to_string(c) + " type 3");
        if (chunk == forms[i].items.end()) {
          if (i == 0)
            lacking =
                "a count of " + std::to_string(chunks) + " without chunk " + std::to_string(c);
          break;
        }
        read[i].items.insert(*chunk);
      }
    }
    if (!chunked) continue;
    if (!lacking.empty()) {
      torn += name + ": " + lacking + "\n";
    } else if (read[0] != read[1] && read[0] != read[2]) {
      torn += name + ": neither as before nor as after (against before):\n" +
              read[0].Differences(read[1]);
    }
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

namespace {

// The stored default in the level 2 record `get` (GetPrinterW's calling
// pattern) answers; see StoredDefault.
template <class Get>
std::optional<Bytes> DefaultOf(Get get) {
  Bytes record = LevelTwo(get);
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

void KeepDefault(std::optional<Bytes> stored, StoredState& state) {
  if (stored && !stored->empty()) state.items["stored default"] = std::move(*stored);
}

}  // namespace

std::optional<Bytes> StoredDefault(platform::HANDLE printer) {
  return DefaultOf([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed) {
    return platform::GetPrinterW(printer, 2, buffer, size, needed);
  });
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

StoredState ReadThroughDoor(platform::HANDLE printer, const char16_t* name,
                            const std::vector<const StoredState*>& known) {
  std::set<std::string> values;  // "data:..." and "reg:...", less the type
  std::map<std::string, std::set<std::string, KeyOrder>> keys;  // by "keys:..." item
  const StoredState system = ReadSystemStore(printer, name);
  std::vector<const StoredState*> named = known;
  named.push_back(&system);
  for (const StoredState* state : named) {
    for (const auto& [item, bytes] : state->items) {
      if (item.rfind("keys:", 0) == 0) {
        std::istringstream lines(std::string(bytes.begin(), bytes.end()));
        std::set<std::string, KeyOrder>& paths = keys[item];
        for (std::string path; std::getline(lines, path);)
          paths.insert(path);
      } else if (item.rfind("data:", 0) == 0 || item.rfind("reg:", 0) == 0) {
        values.insert(item.substr(0, item.rfind(" type ")));
      }
    }
  }
  StoredState state;
  for (const std::string& value : values) {
    const bool data = value.rfind("data:", 0) == 0;
    const std::size_t cut = value.rfind('\\');
    const std::u16string path = data ? u"" : Wide(value.substr(9, cut - 9));
    const std::u16string leaf = Wide(value.substr(data ? 5 : cut + 1));
    const platform::HKEY root =
        value.compare(4, 4, "HKCU") == 0 ? platform::kHkeyCurrentUser : platform::kHkeyLocalMachine;
    auto read = ValueOf([&](platform::DWORD* type, platform::BYTE* bytes, platform::DWORD* size) {
      if (!data)
        return platform::DWORD(
            GStoredState::QueryValue(root, path.c_str(), leaf.c_str(), type, bytes, size));
      platform::DWORD needed = 0;
      const platform::DWORD result =
          GStoredState::GetPrinterData(printer, leaf.c_str(), type, bytes, *size, &needed);
      *size = needed;
      return !bytes && result == platform::kErrorMoreData ? platform::kErrorSuccess : result;
    });
    if (read) state.items[value + " type " + std::to_string(read->first)] = read->second;
  }
  for (const auto& [item, paths] : keys) {
    const platform::HKEY root =
        item == "keys:HKCU\\" ? platform::kHkeyCurrentUser : platform::kHkeyLocalMachine;
    std::string list;
    for (const std::string& path : paths)
      if (GStoredState::KeyExists(root, Wide(path).c_str())) list += path + "\n";
    state.items[item] = Bytes(list.begin(), list.end());
  }
  ReadForms(
      [&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed,
          platform::DWORD* count) {
        return GStoredState::EnumForms(printer, buffer, size, needed, count);
      },
      state);
  KeepDefault(DefaultOf([&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed) {
                return GStoredState::GetPrinter(printer, buffer, size, needed);
              }),
              state);
  return state;
}

StoredState ReadSystemStore(platform::HANDLE printer, const char16_t* name) {
  StoredState state;
  ReadPrinterData(name, state);
  ReadRegistry(name, state);
  ReadForms(
      [&](platform::BYTE* buffer, platform::DWORD size, platform::DWORD* needed,
          platform::DWORD* count) {
        return platform::EnumFormsW(printer, 1, buffer, size, needed, count);
      },
      state);
  KeepDefault(StoredDefault(printer), state);
  return state;
}

}  // namespace support
