#include "platform/text.h"

namespace platform {
namespace {

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Decodes one well-formed UTF-8 sequence; returns its length or -1.
int DecodeUtf8(const unsigned char* s, std::size_t avail, std::uint32_t& cp) {
  if (avail == 0) return -1;
  unsigned char c = s[0];
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  int len;
  std::uint32_t min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return -1;
  }
  if (avail < static_cast<std::size_t>(len)) return -1;
  for (int i = 1; i < len; ++i) {
    if (!IsContinuation(s[i])) return -1;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are ill-formed.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return len;
}

struct CasePair {
  char16_t upper;
  char16_t lower;
};

// Ranges where upper and lower case sit at a fixed distance.
struct CaseRange {
  char16_t first_upper;
  char16_t last_upper;
  char16_t lower_offset;
};

constexpr CaseRange kOffsetRanges[] = {
    {0x0041, 0x005A, 0x20},                          // Basic Latin
    {0x00C0, 0x00D6, 0x20},                          // Latin-1
    {0x00D8, 0x00DE, 0x20}, {0x0391, 0x03A1, 0x20},  // Greek (0x03A2 is unassigned)
    {0x03A3, 0x03AB, 0x20}, {0x0410, 0x042F, 0x20},  // Cyrillic
    {0x0400, 0x040F, 0x50},
};

// Latin Extended-A alternates upper/lower in pairs; `odd_upper` says whether
// the upper-case member of each pair has the odd code.
struct AlternatingRange {
  char16_t first;
  char16_t last;
  bool odd_upper;
};

constexpr AlternatingRange kAlternatingRanges[] = {
    {0x0100, 0x012F, false}, {0x0132, 0x0137, false}, {0x0139, 0x0148, true},
    {0x014A, 0x0177, false}, {0x0179, 0x017E, true},
};

constexpr CasePair kSinglePairs[] = {
    {0x0178, 0x00FF},  // Y with diaeresis
};

}  // namespace

int MultiByteCharLength(const char* s, std::size_t avail) {
  if (avail == 0) return -1;
  if (*s == '\0') return 0;
  std::uint32_t cp;
  return DecodeUtf8(reinterpret_cast<const unsigned char*>(s), avail, cp);
}

bool MultiByteToWide(const char* s, std::size_t len, std::u16string& out) {
  out.clear();
  out.reserve(len);
  auto p = reinterpret_cast<const unsigned char*>(s);
  std::size_t i = 0;
  while (i < len) {
    std::uint32_t cp;
    int n = DecodeUtf8(p + i, len - i, cp);
    if (n < 0) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<std::size_t>(n);
  }
  return true;
}

bool WideToMultiByte(const char16_t* s, std::size_t len, std::string& out) {
  out.clear();
  out.reserve(len);
  for (std::size_t i = 0; i < len; ++i) {
    std::uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF) {
      if (i + 1 >= len || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
      return false;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return true;
}

char16_t WideToLower(char16_t c) {
  if (c < 0x80) return static_cast<char16_t>(AsciiToLower(static_cast<char>(c)));
  for (const auto& r : kOffsetRanges) {
    if (c >= r.first_upper && c <= r.last_upper) return static_cast<char16_t>(c + r.lower_offset);
  }
  for (const auto& r : kAlternatingRanges) {
    if (c >= r.first && c <= r.last) {
      bool is_upper = ((c & 1) != 0) == r.odd_upper;
      return is_upper ? static_cast<char16_t>(c + 1) : c;
    }
  }
  for (const auto& p : kSinglePairs) {
    if (c == p.upper) return p.lower;
  }
  if (c == 0x0130) return u'i';  // capital I with dot above
  return c;
}

char16_t WideToUpper(char16_t c) {
  if (c < 0x80) return static_cast<char16_t>(AsciiToUpper(static_cast<char>(c)));
  for (const auto& r : kOffsetRanges) {
    if (c >= r.first_upper + r.lower_offset && c <= r.last_upper + r.lower_offset) {
      return static_cast<char16_t>(c - r.lower_offset);
    }
  }
  for (const auto& r : kAlternatingRanges) {
    if (c >= r.first && c <= r.last) {
      bool is_upper = ((c & 1) != 0) == r.odd_upper;
      return is_upper ? c : static_cast<char16_t>(c - 1);
    }
  }
  for (const auto& p : kSinglePairs) {
    if (c == p.lower) return p.upper;
  }
  if (c == 0x0131) return u'I';  // dotless i
  return c;
}

bool WideIsSpace(char16_t c) {
  if (c < 0x80) return AsciiIsSpace(static_cast<char>(c));
  return c == 0x1680 || (c >= 0x2000 && c <= 0x2006) || (c >= 0x2008 && c <= 0x200A) ||
         c == 0x2028 || c == 0x2029 || c == 0x205F || c == 0x3000;
}

}  // namespace platform
