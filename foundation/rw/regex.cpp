#include "foundation/rw/regex.h"

#include <cstring>
#include <new>

#include "foundation/rw/error.h"
#include "foundation/rw/support.h"

namespace {

using Code = std::uint16_t;
using RE = RWRegularExpression;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr int kClassCodes = 1 + RE::kClassSetCodes;

bool IsRepeat(Code c) {
  return c == RE::kZeroOrMore || c == RE::kOneOrMore || c == RE::kZeroOrOne;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsOctal(char c) {
  return c >= '0' && c <= '7';
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Reads one character at p[i], decoding a backslash escape; moves i past it.
unsigned char ReadChar(const char* p, std::size_t n, std::size_t& i) {
  char c = p[i++];
  if (c != '\\' || i == n) return static_cast<unsigned char>(c);  // a final "\" is itself
  char e = p[i++];
  switch (Lower(e)) {
    case 'b':
      return 8;
    case 'e':
      return 27;
    case 'f':
      return 12;
    case 'n':
      return 10;
    case 'r':
      return 13;
    case 's':
      return 32;
    case 't':
      return 9;
    case 'x': {
      int value = 0;
      int digits = 0;
      for (; digits < 2 && i < n && HexDigit(p[i]) >= 0; ++digits) {
        value = value * 16 + HexDigit(p[i++]);
      }
      return static_cast<unsigned char>(digits ? value : e);
    }
    case '^': {
      char l = i < n ? p[i] : 0;
      bool letter = (l >= 'a' && l <= 'z') || (l >= 'A' && l <= 'Z');
      if (!letter) return '^';
      ++i;
      // Either case names the same control code.
      return static_cast<unsigned char>((l & ~0x20) - 64);
    }
    default:
      break;
  }
  if (IsOctal(e)) {
    int value = e - '0';
    for (int digits = 1; digits < 3 && i < n && IsOctal(p[i]); ++digits) {
      value = value * 8 + (p[i++] - '0');
    }
    return static_cast<unsigned char>(value);
  }
  return static_cast<unsigned char>(e);
}

void SetBit(Code* set, unsigned c) {
  set[c / 16] |= static_cast<Code>(1u << (c % 16));
}

// Parses the class at p[i] == '[' into `set`; moves i past its "]".
// Answers false for a class with no members or without its "]".
bool ReadClass(const char* p, std::size_t n, std::size_t& i, Code* set) {
  std::memset(set, 0, RE::kClassSetCodes * sizeof(Code));
  ++i;
  bool negate = i < n && p[i] == '^';
  if (negate) ++i;
  int members = 0;
  for (;;) {
    if (i >= n) return false;
    if (p[i] == ']') {
      ++i;
      break;
    }
    unsigned a = ReadChar(p, n, i);
    unsigned b = a;
    if (i + 1 < n && p[i] == '-' && p[i + 1] != ']') {
      ++i;
      b = ReadChar(p, n, i);
    }
    if (b < a) std::swap(a, b);
    for (unsigned c = a; c <= b; ++c)
      SetBit(set, c);
    ++members;
  }
  if (members == 0) return false;
  if (negate) {
    for (int k = 0; k < RE::kClassSetCodes; ++k)
      set[k] = static_cast<Code>(~set[k]);
  }
  return true;
}

// Compiles p[0, n) into prog (kProgramSize codes). Answers the status.
int CompilePattern(const char* p, std::size_t n, Code* prog) {
  if (n == 0 || p[0] == '*' || p[0] == '+' || p[0] == '?') return RE::kSyntaxError;
  std::size_t pc = 0;
  std::size_t last = kNone;     // where the last element (with its repeat) starts
  std::size_t pending = kNone;  // a repeat emitted ahead of the element that follows
  std::size_t class_text = 0, class_text_length = 0;  // pattern text of the last class
  std::size_t i = 0;
  while (i < n) {
    if (RE::kProgramSize - pc <= 1) return RE::kTooLong;
    std::size_t start = pc;
    char c = p[i];
    if (c == '$' && i + 1 == n) {
      prog[pc++] = RE::kEndOfText;
      ++i;
    } else if (c == '^' && pc == 0) {
      prog[pc++] = RE::kStartOfText;
      ++i;
    } else if (c == '.') {
      prog[pc++] = RE::kAnyChar;
      ++i;
    } else if (c == '[') {
      if (RE::kProgramSize - pc < kClassCodes + 1) return RE::kTooLong;
      std::size_t text = i;
      prog[pc] = RE::kClass;
      if (!ReadClass(p, n, i, prog + pc + 1)) return RE::kSyntaxError;
      pc += kClassCodes;
      class_text = text;
      class_text_length = i - text;
    } else if (c == '*' || c == '+' || c == '?') {
      Code prev = prog[last];
      if (prev == RE::kEndOfText || prev == RE::kStartOfText || IsRepeat(prev)) return RE::kTooLong;
      Code op = c == '*' ? RE::kZeroOrMore : c == '+' ? RE::kOneOrMore : RE::kZeroOrOne;
      ++i;
      // "x*x" and "x?x": the repeat goes on the second copy, so that "?",
      // which never gives back, still lets the copy after it match.
      bool same = false;
      if (c != '+' && i < n) {
        if (prev == RE::kClass) {
          same = n - i >= class_text_length &&
                 std::memcmp(p + i, p + class_text, class_text_length) == 0;
        } else if (prev < 256 && p[i] != '.' && p[i] != '[' && p[i] != '*' && p[i] != '+' &&
                   p[i] != '?' && !(p[i] == '$' && i + 1 == n)) {
          std::size_t j = i;
          same = ReadChar(p, n, j) == prev;
        }
      }
      if (same) {
        pending = pc;
        prog[pc++] = op;
      } else {
        std::memmove(prog + last + 1, prog + last, (pc - last) * sizeof(Code));
        prog[last] = op;
        ++pc;
      }
      continue;
    } else {
      prog[pc++] = ReadChar(p, n, i);
    }
    last = pending != kNone ? pending : start;
    pending = kNone;
  }
  prog[pc] = RE::kEnd;
  return RE::kOk;
}

std::size_t ElementCodes(Code code) {
  return code == RE::kClass ? kClassCodes : 1;
}

thread_local std::uint64_t t_last_steps = 0;

// The search of a compiled program in one text. Plain backtracking tries
// the rest of the program after a repeat at every position the repeat can
// give back to, and repeats after repeats multiply those tries: ".*.*.*b"
// on a long run of "a"s takes exponential time. The search is bounded by
// remembering failures.
//
// Write R(pc, p) for "the optional takes of the repeat at code pc, from p
// on, followed by the rest of the program, match" ("+" first takes its
// required character, then goes on as R from the next position). R(pc, p)
// tries one more element and R(pc, p + 1) first, then the rest at p: the
// greedy take, then the give-back one position at a time down to p, in the
// same order as plain backtracking and so with the same first success.
// R(pc, p) depends on nothing but pc, p and the text (no captures, no
// counters; the anchors test the position alone), and the first success
// anywhere ends the whole search, so a failed R(pc, p) stays failed: it is
// remembered and never tried again. The program is a straight line, so a
// repeat never runs inside itself.
//
// Each (repeat, position) pair is then tried at most once, and the rest of
// the program after a repeat is entered at most once per position. A walk
// through the plain elements between two repeats visits each element once
// per entry. With E elements (a repeat and its element count as one), R of
// them "*" or "+", and n = length - start + 1 positions, the search takes
// at most (E + 1 + 2R) * n steps, as Steps() counts them.
class Search {
 public:
  Search(const Code* prog, const unsigned char* text, RWSize length, RWSize start)
      : prog_(prog), text_(text), length_(length), start_(start) {}
  ~Search() { delete[] heap_; }
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;

  // Whether the program from prog[pc] matches at text[pos]; the match's end
  // goes to `end`.
  bool Match(std::size_t pc, RWSize pos, RWSize& end);

  // False when no room could be found for the failures; the search then
  // answers no match.
  bool Memory() const { return memory_; }
  std::uint64_t Steps() const { return steps_; }

 private:
  static constexpr std::size_t kInlineWords = 64;  // 4096 pairs without allocation

  bool MatchOne(std::size_t pc, RWSize pos) const {
    if (pos >= length_) return false;
    unsigned c = text_[pos];
    Code code = prog_[pc];
    if (code < 256) return c == code;
    if (code == RE::kAnyChar) return c != '\n';
    if (code == RE::kClass) return (prog_[pc + 1 + c / 16] >> (c % 16)) & 1u;
    return false;
  }

  // Whether R(pc, pos) is known to fail; recording one allocates the table
  // on first use.
  bool Failed(std::size_t pc, RWSize pos) const;
  void MarkFailed(std::size_t pc, RWSize pos);
  bool Allocate();

  const Code* prog_;
  const unsigned char* text_;
  RWSize length_;
  RWSize start_;
  std::uint64_t steps_ = 0;
  bool memory_ = true;
  std::uint64_t* failed_ = nullptr;  // one row of positions per repeat, or null
  std::uint64_t* heap_ = nullptr;    // owned when the rows do not fit inline
  std::size_t row_words_ = 0;
  std::uint8_t row_[RE::kProgramSize];  // row of the repeat at a code; set with the table
  std::uint64_t inline_[kInlineWords];
};

bool Search::Allocate() {
  // One row per "*" or "+" with something after it; a repeat at the end
  // ends the search and is never remembered.
  std::size_t rows = 0;
  for (std::size_t pc = 0; prog_[pc] != RE::kEnd; pc += ElementCodes(prog_[pc])) {
    Code code = prog_[pc];
    if ((code == RE::kZeroOrMore || code == RE::kOneOrMore) &&
        prog_[pc + 1 + ElementCodes(prog_[pc + 1])] != RE::kEnd) {
      row_[pc] = static_cast<std::uint8_t>(rows++);
    }
  }
  std::size_t positions = std::size_t{length_} - start_ + 1;
  row_words_ = (positions + 63) / 64;
  std::size_t words = rows * row_words_;
  if (words <= kInlineWords) {
    failed_ = inline_;
  } else {
    heap_ = new (kRWNoThrow) std::uint64_t[words];
    if (!heap_) {
      memory_ = false;
      std::size_t bytes = words * sizeof(std::uint64_t);
      RaiseOutOfMemoryError(RWOutOfMemoryError(
          static_cast<std::uint32_t>(bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : bytes)));
      return false;
    }
    failed_ = heap_;
  }
  std::memset(failed_, 0, words * sizeof(std::uint64_t));
  return true;
}

bool Search::Failed(std::size_t pc, RWSize pos) const {
  if (!failed_) return false;
  std::size_t bit = pos - start_;
  return (failed_[row_[pc] * row_words_ + bit / 64] >> (bit % 64)) & 1u;
}

void Search::MarkFailed(std::size_t pc, RWSize pos) {
  if (!failed_ && (!memory_ || !Allocate())) return;
  std::size_t bit = pos - start_;
  failed_[row_[pc] * row_words_ + bit / 64] |= std::uint64_t{1} << (bit % 64);
}

bool Search::Match(std::size_t pc, RWSize pos, RWSize& end) {
  for (;;) {
    ++steps_;
    Code code = prog_[pc];
    switch (code) {
      case RE::kEnd:
        end = pos;
        return true;
      case RE::kEndOfText:
        if (pos != length_) return false;
        ++pc;
        break;
      case RE::kStartOfText:
        if (pos != 0) return false;
        ++pc;
        break;
      case RE::kZeroOrOne:
        ++pc;
        if (MatchOne(pc, pos)) ++pos;
        pc += ElementCodes(prog_[pc]);
        break;
      case RE::kZeroOrMore:
      case RE::kOneOrMore: {
        std::size_t element = pc + 1;
        if (code == RE::kOneOrMore) {
          if (!MatchOne(element, pos)) return false;
          ++pos;
        }
        // Giving back stops at the repeat's first optional character: "+"
        // keeps the one it needs.
        RWSize floor = pos;
        std::size_t rest = element + ElementCodes(prog_[element]);
        if (prog_[rest] == RE::kEnd) {
          while (MatchOne(element, pos)) {
            ++steps_;
            ++pos;
          }
          end = pos;
          return true;
        }
        // Take greedily, but stop at a position already known to fail:
        // everything it would try there has been tried.
        RWSize top = pos;
        bool top_failed;
        for (;;) {
          ++steps_;
          top_failed = Failed(pc, top);
          if (top_failed || !MatchOne(element, top)) break;
          ++top;
        }
        if (top_failed) {
          if (top == floor) return false;
          --top;
        }
        for (RWSize p = top;; --p) {
          if (Match(rest, p, end)) return true;
          MarkFailed(pc, p);
          if (p == floor || !memory_) return false;
        }
      }
      default:
        if (!MatchOne(pc, pos)) return false;
        ++pos;
        pc += ElementCodes(code);
        break;
    }
  }
}

void RaiseBadRe() {
  RaiseLogicError(RWLogicError(RWMessageText(rwtools::BadRe())));
}

}  // namespace

RWRegularExpression::RWRegularExpression(const char* pattern) {
  Compile(pattern);
}

RWRegularExpression::RWRegularExpression(const RWCString& pattern) {
  Compile(pattern.Data());
}

RWRegularExpression::RWRegularExpression(const RWRegularExpression& other)
    : program_(new (kRWNoThrow) Code[kProgramSize]),
      status_(other.status_),
      usable_(other.usable_) {
  if (!program_) {
    status_ = kNoMemory;
    usable_ = false;
  } else if (other.program_) {
    std::memcpy(program_.get(), other.program_.get(), kProgramSize * sizeof(Code));
  } else {
    program_[0] = kEnd;
  }
}

RWRegularExpression& RWRegularExpression::operator=(const RWRegularExpression& other) {
  if (this == &other) return *this;
  if (!program_) program_.reset(new (kRWNoThrow) Code[kProgramSize]);
  status_ = other.status_;
  usable_ = other.usable_;
  if (!program_) {
    status_ = kNoMemory;
    usable_ = false;
  } else if (other.program_) {
    std::memcpy(program_.get(), other.program_.get(), kProgramSize * sizeof(Code));
  }
  return *this;
}

RWRegularExpression& RWRegularExpression::operator=(const char* pattern) {
  Compile(pattern);
  return *this;
}

RWRegularExpression& RWRegularExpression::operator=(const RWCString& pattern) {
  Compile(pattern.Data());
  return *this;
}

RWRegularExpression::~RWRegularExpression() = default;

void RWRegularExpression::Compile(const char* pattern) {
  if (!program_) program_.reset(new (kRWNoThrow) Code[kProgramSize]);
  if (!program_) {
    status_ = kNoMemory;
    usable_ = false;
    return;
  }
  // An unusable program still ends within its room.
  std::memset(program_.get(), 0, kProgramSize * sizeof(Code));
  program_[0] = kEnd;
  status_ =
      CompilePattern(pattern ? pattern : "", pattern ? std::strlen(pattern) : 0, program_.get());
  usable_ = status_ == kOk;
}

int RWRegularExpression::Status() {
  int status = status_;
  status_ = kOk;
  return status;
}

RWSize RWRegularExpression::Index(const RWCString& s, RWSize* match_length, RWSize start) const {
  if (match_length) *match_length = 0;
  t_last_steps = 0;
  if (!usable_) {
    RaiseBadRe();
    return RW_NPOS;
  }
  RWSize length = s.Length();
  if (start > length) return RW_NPOS;
  const Code* prog = program_.get();
  auto text = reinterpret_cast<const unsigned char*>(s.Data());
  Search search(prog, text, length, start);
  RWSize last = prog[0] == kStartOfText ? start : length;
  RWSize found = RW_NPOS;
  for (RWSize pos = start;; ++pos) {
    // A match can only start where a leading character stands.
    if (prog[0] < 256 && pos < length && text[pos] != prog[0]) {
      auto next = static_cast<const unsigned char*>(std::memchr(text + pos, prog[0], length - pos));
      pos = next ? static_cast<RWSize>(next - text) : length;
    }
    RWSize end;
    if (search.Match(0, pos, end)) {
      if (match_length) *match_length = end - pos;
      found = pos;
      break;
    }
    if (pos == last || !search.Memory()) break;
  }
  t_last_steps = search.Steps();
  return found;
}

std::uint64_t RWRegularExpression::LastSearchSteps() {
  return t_last_steps;
}

// The 8-bit string's searches by expression.

template <>
RWSize RWBasicString<char>::Index(const RWRegularExpression& re, RWSize start) const {
  return re.Index(*this, nullptr, start);
}

template <>
RWSize RWBasicString<char>::Index(const RWRegularExpression& re, RWSize* match_length,
                                  RWSize start) const {
  return re.Index(*this, match_length, start);
}

template <>
RWBasicString<char>::Range RWBasicString<char>::operator()(const RWRegularExpression& re,
                                                           RWSize start) {
  RWSize length = 0;
  RWSize at = re.Index(*this, &length, start);
  return at == RW_NPOS ? Range(*this, RW_NPOS, 0) : Range(*this, at, length);
}
