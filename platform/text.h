// The system's 8-bit "ANSI" code page (UTF-8) and the character classes and
// case maps of its text. Results never depend on the host's locale: 8-bit
// text follows the "C" locale (ASCII only), wide text a fixed table of our
// own covering Latin-1, Latin Extended-A, basic Greek and basic Cyrillic.
// Every function is pure and may be used from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The most bytes one UTF-16 unit can need in the code page (a surrogate pair
// needs 4 bytes for its 2 units, so 3 per unit is enough).
inline constexpr std::size_t kMaxBytesPerWideUnit = 3;

// Length in bytes of the code-page character that starts at `s`, looking at no
// more than `avail` bytes: 0 for a NUL, -1 for an ill-formed or cut sequence.
int MultiByteCharLength(const char* s, std::size_t avail);

// Converts `len` bytes of code-page text to UTF-16. Returns false, leaving
// `out` unspecified, when the input is ill-formed ("unconvertible").
bool MultiByteToWide(const char* s, std::size_t len, std::u16string& out);

// Converts `len` UTF-16 units to code-page text. Returns false when the input
// holds an unpaired surrogate.
bool WideToMultiByte(const char16_t* s, std::size_t len, std::string& out);

// "C" locale classes and case maps of 8-bit characters (ASCII only).
inline char AsciiToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}
inline char AsciiToUpper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - ('a' - 'A')) : c;
}
inline bool AsciiIsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool AsciiIsPrint(char c) {
  return c >= 0x20 && c < 0x7F;
}

// Case maps and the space class of wide characters.
char16_t WideToLower(char16_t c);
char16_t WideToUpper(char16_t c);
bool WideIsSpace(char16_t c);

}  // namespace platform
