// Fuzz target of regular expressions. The input is a pattern, a NUL and the
// text to search (which may hold further NULs); without a NUL it is all
// pattern, searched in itself. Each search, from the start, the middle, the
// end and beyond the end, must stay within its step bound, answer a match
// inside the text, and agree with plain backtracking wherever that finishes
// within its budget. Runs with the default error handler in force: like a
// careful caller, the target checks Status before searching; a bad
// expression is used only inside an error scope, which must record [BADRE].
//
// Built as a libFuzzer program when the compiler is clang, and compiled into
// the corpus replay test.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/rw/error.h"
#include "foundation/rw/regex.h"
#include "tests/support/regex_reference.h"

namespace {

// Plain backtracking on the fuzzer's longest inputs can take forever.
constexpr std::uint64_t kReferenceBudget = 100000;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto bytes = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(bytes, 0, size);
  std::size_t pattern_length = nul ? static_cast<const char*>(nul) - bytes : size;
  RWCString pattern(bytes, static_cast<RWSize>(pattern_length));
  RWCString text =
      nul ? RWCString(bytes + pattern_length + 1, static_cast<RWSize>(size - pattern_length - 1))
          : pattern;

  RWRegularExpression re(pattern);
  if (re.Status() != RWRegularExpression::kOk) {
    RWErrorScope scope;
    RWSize length = 1;
    Check(re.Index(text, &length) == RW_NPOS && length == 0);
    Check(scope.Count() == 1 && scope.Entry() == rwtools::BadRe());
    return 0;
  }
  RWSize n = text.Length();
  for (RWSize start : {RWSize{0}, n / 2, n, n + 1}) {
    RWSize length = 1;
    RWSize at = re.Index(text, &length, start);
    if (at == RW_NPOS) {
      Check(length == 0);
    } else {
      Check(at >= start && at <= n && length <= n - at);
    }
    if (start <= n) {
      Check(RWRegularExpression::LastSearchSteps() <=
            testing_support::StepBound(re.Program(), n, start));
    }
    auto expected = testing_support::ReferenceIndex(re.Program(), text, start, kReferenceBudget);
    if (expected.finished) Check(expected.at == at && expected.length == length);
  }
  return 0;
}
