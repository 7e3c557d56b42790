// The write-refusal sweep: a scenario of the allocation sweep
// (allocation_sweep.h) is run once with nothing refused, the reference,
// which counts each step's writes of the stored state
// (platform/host/system_writes.h), then again in a fresh child process for
// each write i of each step, numbered from 1 within the step, the system
// refusing (with kRefusalError):
//   - write i alone;
//   - write i, and from write i + k on every write of the thing write i + k
//     writes, for k = 1 .. min(16, the writes after i that the child with
//     write i alone counted in the step): the refused commit's take-backs,
//     their retries included, and whatever the call writes after them;
//   - write i and every write after it.
// The refusals stand until the step's store checks lifted them. Each child
// is owed what an allocation sweep's is, with the store's checks after
// the refused step: the store read through the door while the refusals
// stand is as the reference after the step when it answered success, as
// before it when it answered failure (or, for a sheet, as a cancelled one
// leaves it), and the last error of a failure is the refusal's; once the
// refusals are lifted and one call through the door finished what was
// pending, the system's store is as the door read it, no chunked value
// torn. A child stops after a failed step.
//
// Threads: the sweeping process must have one thread (child_process.h).
#pragma once

#include <cstdint>
#include <string>

#include "support/allocation_sweep.h"

namespace support {

// The system's error for a refused write: a write fault.
inline constexpr platform::DWORD kRefusalError = 29;
// The most things of later writes refused after one write (see above).
inline constexpr std::uint64_t kMostRefusedThings = 16;

// What one child refuses: the writes of step `step`, counted from the
// step's start.
struct WritePlan {
  std::size_t step = 0;
  platform::WriteRefusals refusals;

  // "step 1, write 5 refused, the thing of write 7 from then on".
  std::string Describe() const;
  // The plan `text` names: "S:I" refuses write I of step S alone, "S:I:K"
  // besides the thing of write I+K from then on, "S:I:all" every write
  // from I; false for another text.
  bool Parse(const std::string& text);
};

// The children of every plan of writes `first`, `first + stride`, ...,
// numbered from 1 across the reference's steps.
SweepReport SweepWrites(const ScenarioMaker& make, const SweepReference& reference,
                        std::uint64_t first, std::uint64_t stride);

// The sweep as the tests run it: the reference (nothing failing), then the
// plans of `indices` writes spread evenly over its writes, unless the
// environment says the stride and the first write (DRV_WRITE_STRIDE, 1 for
// every write; DRV_WRITE_FIRST). `summary` says what was swept, or why
// nothing was.
SweepReport SweepWritesEvenly(const ScenarioMaker& make, std::uint64_t indices,
                              std::string& summary);

// One child of `plan`: "" when it ends as owed, else what was found (with
// DRV_SWEEP_TRACE set, all the child said goes to standard error too).
std::string SweepWriteOne(const ScenarioMaker& make, const SweepReference& reference,
                          const WritePlan& plan);

}  // namespace support
