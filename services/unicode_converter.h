// GUnicodeConverter: the process-wide code-page converter that the
// generators and the font reader may use: a code of a character set to a
// wide code (operation 0) and a wide code to a code of a code set
// (operation 3). The services make it (GOSFactory::
// CreateUnicodeConverter); these services make none, so GetUnicodeConverter
// answers null and its callers work without one.
//
// Threads: GetUnicodeConverter may be called from any thread; the converter
// is made once, under a lock of its own.
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

// The converter, made by the installed services on the first call that
// finds none (a converter made earlier is kept until the process ends), or
// null; null too while no services are installed.
GUnicodeConverter* GetUnicodeConverter();
