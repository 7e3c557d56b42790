#include "persist/ondisk/store_format.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

#include "foundation/rw/support.h"

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

namespace {

// The CRC-32 of the first `size` bytes of `fd`; false when they cannot all
// be read.
bool Crc32Of(int fd, std::uint64_t size, std::uint32_t& crc) {
  constexpr std::size_t kChunk = 1 << 16;
  std::unique_ptr<std::uint8_t[]> buffer = RWNewArrayForOverwrite<std::uint8_t>(kChunk);
  if (!buffer) return false;
  uLong value = crc32(0L, Z_NULL, 0);
  for (std::uint64_t at = 0; at < size;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - at));
    const ssize_t got = ::pread(fd, buffer.get(), want, static_cast<off_t>(at));
    if (got <= 0) return false;
    value = crc32(value, buffer.get(), static_cast<uInt>(got));
    at += static_cast<std::uint64_t>(got);
  }
  crc = static_cast<std::uint32_t>(value);
  return true;
}

bool SizeOf(int fd, std::uint64_t& size) {
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) return false;
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

}  // namespace

bool CheckAndStripChecksum(int fd) {
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  std::uint8_t trailer[kChecksumSize];
  if (!SizeOf(fd, size) || size <= kChecksumSize) return false;
  const std::uint64_t heap = size - kChecksumSize;
  if (::pread(fd, trailer, kChecksumSize, static_cast<off_t>(heap)) != kChecksumSize ||
      !Crc32Of(fd, heap, crc)) {
    return false;
  }
  const std::uint32_t stored = trailer[0] | trailer[1] << 8 | trailer[2] << 16 |
                               static_cast<std::uint32_t>(trailer[3]) << 24;
  return stored == crc && ::ftruncate(fd, static_cast<off_t>(heap)) == 0;
}

bool AppendChecksum(int fd) {
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  if (!SizeOf(fd, size) || !Crc32Of(fd, size, crc)) return false;
  const std::uint8_t trailer[kChecksumSize] = {
      static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8),
      static_cast<std::uint8_t>(crc >> 16), static_cast<std::uint8_t>(crc >> 24)};
  return ::pwrite(fd, trailer, kChecksumSize, static_cast<off_t>(size)) == kChecksumSize;
}

}  // namespace record_store
