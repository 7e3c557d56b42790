// Basic types shared by the whole collection library.
#pragma once

#include <cstdint>

// Lengths, counts and indexes of strings and collections are 32-bit.
using RWSize = std::uint32_t;

// The no-position value: "not found", and the start of an empty match.
inline constexpr RWSize RW_NPOS = 0xFFFFFFFFu;

// Class ids name persistable classes in stored graphs.
using RWClassID = std::uint16_t;

// How strings compare, search and hash: exact is 0.
enum class RWCase : std::uint32_t { exact = 0, ignore = 1 };
