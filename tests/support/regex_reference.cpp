#include "tests/support/regex_reference.h"

#include "foundation/rw/regex.h"

namespace testing_support {
namespace {

using Code = std::uint16_t;
using RE = RWRegularExpression;

struct Search {
  const Code* prog;
  const unsigned char* text;
  RWSize length;
  std::uint64_t budget;

  bool MatchOne(std::size_t pc, RWSize pos) const {
    if (pos >= length) return false;
    unsigned c = text[pos];
    Code code = prog[pc];
    if (code < 256) return c == code;
    if (code == RE::kAnyChar) return c != '\n';
    if (code == RE::kClass) return (prog[pc + 1 + c / 16] >> (c % 16)) & 1u;
    return false;
  }

  static std::size_t ElementCodes(Code code) { return code == RE::kClass ? 17 : 1; }

  // Whether the program from prog[pc] matches at text[pos]; the end goes to
  // `end`. Answers false, with the budget at 0, when the budget runs out.
  bool MatchHere(std::size_t pc, RWSize pos, RWSize& end) {
    for (;;) {
      if (budget == 0) return false;
      --budget;
      Code code = prog[pc];
      switch (code) {
        case RE::kEnd:
          end = pos;
          return true;
        case RE::kEndOfText:
          if (pos != length) return false;
          ++pc;
          break;
        case RE::kStartOfText:
          if (pos != 0) return false;
          ++pc;
          break;
        case RE::kZeroOrOne:
          ++pc;
          if (MatchOne(pc, pos)) ++pos;
          pc += ElementCodes(prog[pc]);
          break;
        case RE::kZeroOrMore:
        case RE::kOneOrMore: {
          std::size_t element = pc + 1;
          if (code == RE::kOneOrMore) {
            if (!MatchOne(element, pos)) return false;
            ++pos;
          }
          RWSize floor = pos;
          while (MatchOne(element, pos))
            ++pos;
          std::size_t rest = element + ElementCodes(prog[element]);
          if (prog[rest] == RE::kEnd) {
            end = pos;
            return true;
          }
          for (;;) {
            if (MatchHere(rest, pos, end)) return true;
            if (pos == floor || budget == 0) return false;
            --pos;
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
};

}  // namespace

ReferenceMatch ReferenceIndex(const std::uint16_t* program, const RWCString& text, RWSize start,
                              std::uint64_t budget) {
  Search search{program, reinterpret_cast<const unsigned char*>(text.Data()), text.Length(),
                budget};
  RWSize length = text.Length();
  if (start > length) return {true, RW_NPOS, 0};
  RWSize last = program[0] == RE::kStartOfText ? start : length;
  for (RWSize pos = start;; ++pos) {
    RWSize end;
    if (search.MatchHere(0, pos, end)) return {true, pos, end - pos};
    if (search.budget == 0) return {false, RW_NPOS, 0};
    if (pos == last) return {true, RW_NPOS, 0};
  }
}

std::uint64_t StepBound(const std::uint16_t* program, RWSize length, RWSize start) {
  std::uint64_t elements = 0;
  std::uint64_t repeats = 0;
  for (std::size_t pc = 0; program[pc] != RE::kEnd; pc += Search::ElementCodes(program[pc])) {
    // A repeat's element is counted here, on the next round, as the repeat
    // and its element are one element; "?" takes no more than one step.
    if (program[pc] == RE::kZeroOrMore || program[pc] == RE::kOneOrMore) {
      ++repeats;
    } else if (program[pc] != RE::kZeroOrOne) {
      ++elements;
    }
  }
  return (elements + 1 + 2 * repeats) * (std::uint64_t{length} - start + 1);
}

}  // namespace testing_support
