// The check that every class registered with the factory persists soundly:
// a default object's stored size is exactly what its save writes, and save
// then restore gives back an equal object, on RWFile and in each stream
// encoding. Each test folder runs it over what its subsystem's load
// registers (the subsystems below included).
#pragma once

#include <vector>

#include "foundation/rw/defs.h"

namespace testing_support {

struct EveryClassResult {
  std::vector<RWClassID> checked;  // made by the factory and checked
  std::vector<RWClassID> skipped;  // registered with a creator that answers null
};

// Runs the check over every registered class id, reporting failures
// through GoogleTest. Classes whose equality is identity are checked by
// their stored bytes alone.
EveryClassResult CheckEveryRegisteredClass();

}  // namespace testing_support
