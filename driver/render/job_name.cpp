#include "driver/render/job_name.h"

#include <algorithm>

#include "fonts/tt_font_reader.h"

namespace {

constexpr std::uint32_t kHighSurrogateFirst = 0xD800;
constexpr std::uint32_t kHighSurrogateLast = 0xDBFF;
constexpr std::uint32_t kLowSurrogateFirst = 0xDC00;
constexpr std::uint32_t kLowSurrogateLast = 0xDFFF;
constexpr std::uint32_t kReplacement = 0xFFFD;
// The lead-byte marks of sequences of 1 to 4 bytes.
constexpr std::uint8_t kLeadMarks[5] = {0, 0x00, 0xC0, 0xE0, 0xF0};

bool IsHigh(std::uint32_t unit) {
  return unit >= kHighSurrogateFirst && unit <= kHighSurrogateLast;
}

bool IsLow(std::uint32_t unit) {
  return unit >= kLowSurrogateFirst && unit <= kLowSurrogateLast;
}

std::size_t Positions(const RWWString& name) {
  return std::min<std::size_t>(name.Length(), kJobNameCharacters);
}

}  // namespace

bool CmapHasChar(std::uint32_t code, const RWCString& cmap) {
  return CmapFormat4HasChar(reinterpret_cast<const std::uint8_t*>(cmap.Data()), cmap.Length(),
                            code);
}

bool AllCharsInCmap(const RWWString& name, const RWCString& cmap) {
  for (std::size_t i = 0; i < Positions(name); ++i) {
    const char16_t c = name[i];
    if (c == 0) break;
    if (!CmapHasChar(c, cmap)) return false;
  }
  return true;
}

bool SanitizeJobNameChars(RWWString& name) {
  bool upper_cased = false;
  for (std::size_t i = 0; i < Positions(name); ++i) {
    const char16_t c = name[i];
    if (c == 0) continue;
    if (c < 32 || c > 126 || c == u'"') return false;
    if (c >= u'a' && c <= u'z') {
      name.CharAt(i) = static_cast<char16_t>(c - u'a' + u'A');
      upper_cased = true;
    }
  }
  return upper_cased;
}

int ConvertUtf16ToUtf8(const char16_t*& source, const char16_t* source_end, std::uint8_t*& target,
                       std::uint8_t* target_end, bool strict) {
  while (source < source_end) {
    const char16_t* next = source + 1;
    std::uint32_t value = *source;
    if (IsHigh(value) && next < source_end && IsLow(*next)) {
      value = ((value - kHighSurrogateFirst) << 10) + (*next - kLowSurrogateFirst) + 0x10000;
      ++next;
    } else if ((IsHigh(value) || IsLow(value)) && strict) {
      return kUtf8Unpaired;
    }
    if (value >= 0x200000) value = kReplacement;
    const std::size_t bytes = value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
    if (target_end - target < static_cast<std::ptrdiff_t>(bytes)) return kUtf8TargetFull;
    // Continuation bytes carry six bits each, from the last byte back.
    for (std::size_t i = bytes - 1; i > 0; --i) {
      target[i] = static_cast<std::uint8_t>(0x80 | (value & 0x3F));
      value >>= 6;
    }
    target[0] = static_cast<std::uint8_t>(kLeadMarks[bytes] | value);
    target += bytes;
    source = next;
  }
  return kUtf8Done;
}

std::size_t Utf8Length(const char16_t* begin, const char16_t* end) {
  std::size_t length = 0;
  for (const char16_t* unit = begin; unit < end; ++unit)
    length += *unit < 0x80 ? 1 : *unit < 0x800 ? 2 : 3;
  return length;
}
