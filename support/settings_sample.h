// A settings-sized sample for the compressor tests and benchmarks: bytes
// shaped like the flat settings record of a device mode (20 's'
// markers, then a composite of 16 composites holding some 400 keyed values,
// ranges and strings with 16-bit keys, in four recurring shapes as trays and
// media recur), deterministic, about 2.3 kB. It stands in for a real
// settings tree until the attribute classes exist.
#pragma once

#include <cstdint>
#include <string>

#include "config/keys/settings_keys.h"

namespace support {

inline std::string SettingsSample() {
  std::string out(20, 's');
  auto put16 = [&out](std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
  };
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  static const char* const kTexts[] = {
      "Letter", "A4",          "Arial",    "Tray 1", "Automatically Select",
      "Plain",  "Courier New", "Portrait", "Draft",  "Confidential"};
  // Length of a composite: from its length field through its end byte, + 1.
  auto patch_length = [&out](std::size_t at) {
    std::uint32_t length = static_cast<std::uint32_t>(out.size() - at) + 1;
    out[at] = static_cast<char>(length & 0xFF);
    out[at + 1] = static_cast<char>(length >> 8);
  };
  // A composite: type 1, version, key, length (patched), children, end byte 0.
  out += '\x01';
  put16(1);
  put16(kDocumentSettingsKey);
  std::size_t root_length_at = out.size();
  put16(0);
  for (int group = 0; group < 16; ++group) {
    // Four shapes of composite (like trays, media, document settings), each
    // repeated under a key of its own, with a value or two of its own.
    seed = 12345u + static_cast<std::uint32_t>(group % 4);
    out += '\x01';
    put16(1);
    put16(370 + 10 * static_cast<std::uint32_t>(group));
    std::size_t length_at = out.size();
    put16(0);
    int children = 20 + static_cast<int>(next(12));
    std::uint32_t child_key = 500 + 40 * static_cast<std::uint32_t>(group % 4);
    for (int i = 0; i < children; ++i) {
      child_key += next(4) == 0 ? 2 : 1;  // keys ascend within a composite
      std::uint32_t kind = next(10);
      if (kind < 6) {  // small value: the type byte carries it
        out += static_cast<char>(110 + (kind < 5 ? next(2) : next(21)));
        put16(child_key);
      } else if (kind < 8) {  // other value
        out += '\x03';
        put16(child_key);
        put16(600 * (1 + static_cast<std::uint32_t>(group % 3)));
      } else if (kind < 9) {  // range
        out += '\x05';
        put16(1);
        put16(child_key);
        put16(999);
        put16(1);
        put16(1);
        put16(next(2) ? 1 : 100);
      } else {  // string
        std::string s(kTexts[next(10)]);
        out += '\x07';
        put16(child_key);
        put16(static_cast<std::uint32_t>(s.size() + 1));
        out += s;
        out += '\0';
      }
    }
    out += '\0';
    patch_length(length_at);
  }
  out += '\0';
  patch_length(root_length_at);
  return out;
}

}  // namespace support
