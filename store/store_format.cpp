#include "store/store_format.h"

#include <zlib.h>

#include <algorithm>

namespace record_store {

void SerialKey(std::uint32_t serial, char (&key)[kKeyLength + 1]) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char reversed[8];
  int n = 0;
  do {
    reversed[n++] = kDigits[serial & 0xF];
    serial >>= 4;
  } while (serial != 0);
  for (int i = 0; i < n; ++i)
    key[i] = reversed[n - 1 - i];
  for (std::uint32_t i = static_cast<std::uint32_t>(n); i <= kKeyLength; ++i)
    key[i] = '\0';
}

bool SerialOfKey(const char* key, std::uint32_t& serial) {
  std::uint32_t value = 0;
  std::uint32_t n = 0;
  for (; n < kKeyLength && key[n] != '\0'; ++n) {
    char c = key[n];
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else {
      return false;
    }
    // No leading zeros, at most eight digits.
    if (n >= 8 || (n == 1 && key[0] == '0')) return false;
    value = value << 4 | digit;
  }
  if (n == 0) return false;
  serial = value;
  return true;
}

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
  uLong value = crc32(0L, Z_NULL, 0);
  // zlib takes at most 4 GB a call.
  constexpr std::size_t kStep = std::size_t{1} << 30;
  for (std::size_t at = 0; at < size; at += kStep)
    value = crc32(value, bytes + at, static_cast<uInt>(std::min(kStep, size - at)));
  return static_cast<std::uint32_t>(value);
}

}  // namespace record_store
