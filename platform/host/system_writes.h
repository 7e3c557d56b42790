// The system refusing writes of the stored state, for tests: a write the
// system's own memory ran short for, or a disk that filled, is refused with
// an error and changes nothing; the system may refuse the writes that try
// to put things back after it too.
//
// Every write of the stored state that a stand-in makes counts one, refused
// or not: a registry value set or deleted (printer data included), a key
// made or deleted, a printer's stored default set, a form added, changed or
// deleted. A delete of what is not there changes nothing and is not
// counted. Counting starts at 0 at each SetWriteRefusals and at the reset.
//
// Threads: any; the stand-ins' one lock guards the count.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/host/types.h"

namespace platform {

struct WriteRefusals {
  std::uint64_t first = 0;  // the first write refused (1: the next one counted); 0: none
  std::uint64_t count = 1;  // writes refused in a row from `first`
  // Non-zero: from write `thing` on, every write of the thing that write
  // writes is refused (a registry value, a key, a printer's stored default,
  // a form), until the refusals are set anew.
  std::uint64_t thing = 0;
  DWORD error = kErrorNotEnoughMemory;
};

// Replaces the refusals (WriteRefusals{} refuses nothing) and counts from 0.
void SetWriteRefusals(const WriteRefusals& refusals);
// Writes counted since.
std::uint64_t CountedWrites();

namespace host_internal {

// Counts a write of `thing` (its kind, place and folded name, one string:
// the same thing always names alike) and answers the error the refusals
// give it, else kErrorSuccess. REQUIRES: the stand-ins' lock.
DWORD RefusedWriteLocked(std::u16string_view thing);
void ResetWritesLocked();

}  // namespace host_internal
}  // namespace platform
