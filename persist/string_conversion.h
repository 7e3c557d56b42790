// Conversions between the model's 8-bit strings and wide strings, through
// the system's code page (UTF-8, platform/text.h). Each answers 1 and writes
// its result into the caller's string; the source is not changed. Pure: any
// thread.
#pragma once

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"

// Code-page text up to its first NUL, to UTF-16; ill-formed text gives "".
int NarrowToWide(const RWCString& narrow, RWWString& wide);

// A string of characters 0-127 becomes their low bytes (embedded NULs kept);
// any other string goes through the code page up to its first NUL, and
// gives "" when it cannot (an unpaired surrogate).
int WideToNarrow(const RWWString& wide, RWCString& narrow);

// `copy` shares `source`'s body.
int WideToWide(const RWWString& source, RWWString& copy);
