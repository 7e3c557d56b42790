// RWWString: the wide string of the system (printer names, paths, registry
// texts), in UTF-16 units. See basic_string.h.
#pragma once

#include "foundation/rw/basic_string.h"
#include "foundation/rw/cstring.h"

using RWWString = RWBasicString<char16_t>;
using RWWStringRange = RWBasicStringRange<char16_t>;

// Compare NUL-terminated wide texts ignoring case (through the upper case
// map): -1 or 1 at the first difference, 0 as soon as either text ends, so
// a text and its prefix compare equal. The second form looks at no more
// than `n` units.
int RWWideCompareIgnoreCase(const char16_t* a, const char16_t* b);
int RWWideCompareIgnoreCase(const char16_t* a, const char16_t* b, RWSize n);
