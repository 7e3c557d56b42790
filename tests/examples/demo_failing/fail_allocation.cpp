// Memory running out where a test chooses, in a program linked with the
// failing allocator (support/failing_allocator.h): the allocation numbered
// $DRV_FAIL_ALLOCATION (from the program's start) fails, as it would when
// the system had no more to give. With $DRV_ALLOCATIONS_FILE set, the
// program writes there, at its exit, how many allocations it made.
#include <cstdio>
#include <cstdlib>

#include "support/failing_allocator.h"

namespace {

struct Armed {
  Armed() {
    if (const char* index = std::getenv("DRV_FAIL_ALLOCATION"))
      support::FailAllocation(std::strtoull(index, nullptr, 10));
  }
  ~Armed() {
    const char* path = std::getenv("DRV_ALLOCATIONS_FILE");
    if (FILE* file = path ? std::fopen(path, "w") : nullptr) {
      std::fprintf(file, "%llu\n", static_cast<unsigned long long>(support::CountedAllocations()));
      std::fclose(file);
    }
  }
} g_armed;

}  // namespace
