// The character operations behind a stored job's name (the render data's
// MakeJobName, render_job_attributes.cpp): whether the printer font's
// character map holds a character, the check that upper-cases a name, and
// the UTF-16 to UTF-8 conversion of a name the printer font checked.
//
// The character map is attribute kJobNameCharMapKey of the job settings: a
// format-4 'cmap' subtable from its doubled segment count on, big-endian, held
// as the bytes of a string attribute. It is outside data: it is read only
// within the bytes the attribute holds.
//
// Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rw/cstring.h"
#include "foundation/rw/wstring.h"

// The most characters of a job name.
inline constexpr std::size_t kJobNameCharacters = 16;
// The most bytes of its UTF-8 form.
inline constexpr std::size_t kJobNameUtf8Bytes = 48;

// ConvertUtf16ToUtf8's answers.
inline constexpr int kUtf8Done = 0;
inline constexpr int kUtf8TargetFull = 2;
inline constexpr int kUtf8Unpaired = 3;

// Whether a segment of the map `cmap` covers `code` (fonts/
// tt_font_reader.h's CmapFormat4HasChar over the attribute's bytes).
bool CmapHasChar(std::uint32_t code, const RWCString& cmap);
// Whether each of the first kJobNameCharacters positions of `name` up to
// the first empty (NUL) position is in `cmap`.
bool AllCharsInCmap(const RWWString& name, const RWCString& cmap);
// Over the first kJobNameCharacters positions of `name` (NUL positions
// are skipped, not the end): a-z become A-Z; a character below 32, above
// 126 or a double quote fails the check. True only when no character
// failed and at least one letter was upper-cased; `name` keeps what was
// upper-cased either way.
bool SanitizeJobNameChars(RWWString& name);
// Converts UTF-16 units from `source` (up to `source_end`) into UTF-8
// bytes from `target` (up to `target_end`), joining surrogate pairs; both
// pointers are left after what was converted and written. A character is
// written whole or not at all. Answers kUtf8Done, kUtf8TargetFull when
// the next character does not fit, or, with `strict`, kUtf8Unpaired at an
// unpaired surrogate (which, without `strict`, is written as the value it
// holds). Values at or above 0x200000 (none from UTF-16) become U+FFFD.
int ConvertUtf16ToUtf8(const char16_t*& source, const char16_t* source_end, std::uint8_t*& target,
                       std::uint8_t* target_end, bool strict);
// The bytes those units need at most: 1, 2 or 3 per unit.
std::size_t Utf8Length(const char16_t* begin, const char16_t* end);
