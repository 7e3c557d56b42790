// ReportDriverError: the system-wide report of an internal error that the
// driver cannot survive, given a level, an error id and the reporting
// source file's name and line. Levels 1 and 2 end the process (level 2 is a
// shut-down of the driver server first); other levels write the report and
// return. Error ids the system uses: 101 out of memory, 301 a lock that
// cannot be taken, 302 a lock that cannot be released, 501 a cookie the
// driver server does not hold.
//
// Threads: any thread.
#pragma once

#include <cstdint>

inline constexpr std::uint16_t kDriverErrorOutOfMemory = 101;
inline constexpr std::uint16_t kDriverErrorLockFailed = 301;
inline constexpr std::uint16_t kDriverErrorUnlockFailed = 302;

// Writes "Driver error <id> (<source>, line <line>)" and the message, when
// there is one, to standard error.
void ReportDriverError(std::int32_t level, std::uint16_t id, const char* source, std::uint32_t line,
                       const char* message = "");
