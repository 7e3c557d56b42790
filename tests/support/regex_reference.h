// The plain backtracking search of a compiled regular-expression program,
// as the library did it before bounding its work: the referee that the
// bounded search must agree with. Exponential on some patterns, so it takes
// a budget of steps.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/defs.h"

namespace testing_support {

struct ReferenceMatch {
  bool finished;  // false when the budget ran out first
  RWSize at;      // RW_NPOS when nothing matched
  RWSize length;  // 0 when nothing matched
};

// The first match of `program` (RWRegularExpression::Program()) in `text` at
// or after `start`, giving up after `budget` element visits.
ReferenceMatch ReferenceIndex(const std::uint16_t* program, const RWCString& text, RWSize start,
                              std::uint64_t budget);

// The most steps (RWRegularExpression::LastSearchSteps) a search of
// `program` in a text of `length` from `start` may take: (E + 1 + 2R) times
// the positions, E elements of which R are "*" or "+".
// REQUIRES: start <= length.
std::uint64_t StepBound(const std::uint16_t* program, RWSize length, RWSize start);

}  // namespace testing_support
