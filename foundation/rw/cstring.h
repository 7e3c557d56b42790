// RWCString: the 8-bit string of the system (names, keys, class-name
// strings, texts in the "ANSI" code page). See basic_string.h.
#pragma once

#include "foundation/rw/basic_string.h"

using RWCString = RWBasicString<char>;
using RWCStringRange = RWBasicStringRange<char>;

static_assert(sizeof(RWCString) == sizeof(void*), "a string is one pointer wide");
