// Unique ids as the rest of the system makes them (UuidCreate) and writes
// them (UuidToStringA, UuidToStringW, freed with RpcStringFreeA/W). Ids are
// random (version 4, variant 1) from one generator of the stand-ins, seeded
// from the host's entropy at the start and after a reset, or with a seed a
// test gives, so that its ids come out the same on every run. Any thread;
// the stand-ins' one lock guards the generator.
#pragma once

#include <cstdint>

#include "platform/host/types.h"

namespace platform {

// The id record: 16 bytes as the platform lays them out in memory.
struct Uuid {
  DWORD data1;
  WORD data2;
  WORD data3;
  BYTE data4[8];
};

inline constexpr LONG kRpcSOk = 0;
inline constexpr LONG kRpcSOutOfMemory = 14;
inline constexpr LONG kRpcSInvalidArg = 87;
// Characters of the text form, without the terminator.
inline constexpr int kUuidTextLength = 36;

// Fills `uuid` with a new id: kRpcSOk, or kRpcSInvalidArg for null.
LONG UuidCreate(Uuid* uuid);
// A new text "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (lower-case hex, data1,
// data2 and data3 as numbers, then the eight bytes in order) into `*text`,
// which the caller frees with the matching RpcStringFree: kRpcSOk, or
// kRpcSInvalidArg for a null argument (then `*text`, when given, is null).
LONG UuidToStringA(const Uuid* uuid, char** text);
LONG UuidToStringW(const Uuid* uuid, char16_t** text);
// Frees a text of UuidToString and nulls the pointer; null is allowed.
LONG RpcStringFreeA(char** text);
LONG RpcStringFreeW(char16_t** text);

// Fills `buffer` with `size` bytes of the system's entropy (getrandom(2)),
// which no seed sets and no fork repeats: for names that another process
// must not foresee. 1, else 0 with the last error kErrorAccessDenied.
BOOL RtlGenRandom(void* buffer, DWORD size);

// ---- Test controls ----

// Reseeds the generator: the ids that follow are the same on every run.
void SeedUuids(std::uint64_t seed);

}  // namespace platform
