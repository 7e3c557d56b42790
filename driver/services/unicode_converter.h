// GUnicodeConverter: the process-wide code-page converter that the driver
// services make on first use (GetUnicodeConverter). The font reader needs
// two of its conversions: a code of a character set to a wide code
// (operation 0) and a wide code to a code of a code set (operation 3). This
// library's services make none, so GetUnicodeConverter answers null and its
// callers work without one.
//
// Threads: GetUnicodeConverter may be called from any thread; a converter's
// operations are as thread-safe as the converter says.
#pragma once

#include <cstdint>

class GUnicodeConverter {
 public:
  GUnicodeConverter() = default;
  GUnicodeConverter(const GUnicodeConverter&) = delete;
  GUnicodeConverter& operator=(const GUnicodeConverter&) = delete;
  virtual ~GUnicodeConverter();

  // Operation 0: `code` of the character or code set `selector` as a wide
  // code.
  virtual std::uint16_t ToWide(std::uint16_t code, std::uint32_t selector) = 0;
  // Operation 3: the wide `code` as a code of the code set `selector` (a
  // byte for single-byte code sets).
  virtual std::uint16_t FromWide(std::uint16_t code, std::uint32_t selector) = 0;
};

// The converter the installed services made (GOSFactory::CreateUnicodeConverter),
// asked for once and kept; null when there are no services or they make none.
GUnicodeConverter* GetUnicodeConverter();
