// RWRegularExpression: a small regular-expression language over 8-bit
// characters, compiled into a fixed program of 256 16-bit codes, and the
// search for its first match in a string. The 8-bit string class searches
// and cuts sub-strings with it (RWCString::Index, RWCString::operator()).
//
// Language: ordinary characters, "." (any character but newline), "[...]"
// classes with ranges and "^" negation, "^" at the start and "$" at the end
// as anchors, the repeats "*", "+" and "?" after an element, and backslash
// escapes (\b \e \f \n \r \s \t, \xHH, \^L control letters, \ooo octal).
// Repeats are greedy; "*" and "+" give characters back to let the rest
// match, "?" does not. A search takes time linear in the program's length
// times the text's: failed tries of a repeat are remembered, not repeated.
//
// Compiled program: codes 0-255 match that character; the other codes are
// the named constants below. A repeat code stands before the element it
// applies to; a class code is followed by 16 codes holding a 256-bit set
// (bit c of code c / 16 at bit position c mod 16). kEnd closes every program.
//
// The expression owns its program. A compiled expression may be searched
// from several threads at once; changing it (assignment, Status) may not
// overlap with any other use.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/rw/cstring.h"
#include "foundation/rw/defs.h"

class RWRegularExpression {
 public:
  // Results of compiling; Status answers them.
  static constexpr int kOk = 0;
  static constexpr int kSyntaxError = 1;  // empty, leading repeat, bad class
  static constexpr int kNoMemory = 2;     // no room for a program
  static constexpr int kTooLong = 3;      // program full, or a misplaced repeat

  // Program layout.
  static constexpr int kProgramSize = 256;  // codes, the end code included
  static constexpr std::uint16_t kEnd = 0x8000;
  static constexpr std::uint16_t kEndOfText = 0x8024;    // "$" last in the pattern
  static constexpr std::uint16_t kAnyChar = 0x802E;      // "."
  static constexpr std::uint16_t kClass = 0x805B;        // "[", then 16 set codes
  static constexpr std::uint16_t kStartOfText = 0x805E;  // "^" first in the pattern
  static constexpr std::uint16_t kZeroOrMore = 0x802A;   // "*"
  static constexpr std::uint16_t kOneOrMore = 0x802B;    // "+"
  static constexpr std::uint16_t kZeroOrOne = 0x803F;    // "?"
  static constexpr int kClassSetCodes = 16;

  // Compile `pattern` (NUL-terminated; null counts as empty).
  explicit RWRegularExpression(const char* pattern);
  explicit RWRegularExpression(const RWCString& pattern);
  RWRegularExpression(const RWRegularExpression& other);
  RWRegularExpression& operator=(const RWRegularExpression& other);
  // Recompile from a new pattern.
  RWRegularExpression& operator=(const char* pattern);
  RWRegularExpression& operator=(const RWCString& pattern);
  ~RWRegularExpression();

  // The result of the last compile, then reset to kOk. An expression that
  // failed to compile stays unusable for searching all the same.
  int Status();

  // Position of the first match at or after `start`, or RW_NPOS; the
  // match's length goes to `match_length` when given (0 without a match).
  // A start beyond the string's end finds nothing. Long texts searched with
  // repeats may need a table of one bit per repeat and position; when no
  // room can be had, the out-of-memory error is raised and nothing is found.
  // REQUIRES: the pattern compiled (else [BADRE] is raised, and the answer
  // is RW_NPOS).
  RWSize Index(const RWCString& s, RWSize* match_length = nullptr, RWSize start = 0) const;

  // The work the calling thread's last Index did, in steps: one per program
  // element tried at a position, and one per character a repeat takes. It
  // is at most (E + 1 + 2R) * (length - start + 1), for a program of E
  // elements (a repeat with its element counts as one) of which R are "*"
  // or "+". For tests and diagnostics.
  static std::uint64_t LastSearchSteps();

  // The compiled codes, kProgramSize of them; null when no program could be
  // allocated.
  const std::uint16_t* Program() const { return program_.get(); }

 private:
  void Compile(const char* pattern);

  std::unique_ptr<std::uint16_t[]> program_;  // kProgramSize codes
  int status_;                                // reported by Status
  bool usable_;                               // the program compiled cleanly
};

// The name under which the document-name code knows the expression.
using RWCPattern = RWRegularExpression;
