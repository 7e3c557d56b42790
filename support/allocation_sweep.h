// The out-of-memory sweep: a scenario of calls is run once with nothing
// failing (the reference), then again in a fresh child process for each
// allocation index swept, with that allocation failing
// (failing_allocator.h). Each child checks what a user of the library is
// owed:
//
//   - it ends: no hang (the child's alarm), no crash; the one end allowed
//     besides a normal one is the default error handler's "Fatal Error"
//     exit for [NOMEM] (status 1), and then the store the system keeps
//     (ReadSystemStore, read on the way out: SetFatalEndHook) is, thing by
//     thing, as the reference had it before the step the child ended in or
//     as after it: the system's registry keeps what was written before a
//     process died. A fatal end that leaves no such capture is a finding;
//   - after every call that answered success, what the scenario stores
//     (StoredState: the printer's data file and printer data, its stored
//     default and default record, and whatever the scenario adds, such as a
//     port file) is as the reference left it after that call;
//   - a call that answered failure left each stored thing (a value with its
//     chunks, the file, the stored default) as the reference had it before
//     the call or after it, never between, and whatever the scenario
//     says holds whatever the answer (AfterFailure: no spool file left,
//     say); where the scenario's calls are exports (FailureStoresNothing),
//     everything that was there before the call is as it was, the answers
//     read after it (State) included: only what the call makes whatever
//     its answer (a sheet's start stores a copy of what it read) may be as
//     after it; the scenario stops there (what follows would start from
//     another state);
//   - a step that shows a sheet (SweepStep::cancel) answers as its store
//     says: OK only with the user's OK stored (as the reference after it),
//     Cancel or failure only leaving what a cancelled sheet leaves (as the
//     reference before it, or as a reference run in which the user
//     cancelled that sheet), whatever the scenario's FailureStoresNothing;
//     what a sheet showed the user (a state's items named kSeen...) is as
//     the reference's sheet showed it, or was not shown;
//   - with the store's checks (`store_checks`, and always after a step the
//     system refused writes of), right after the last step run and before
//     anything else asks the library: the store as read through the door
//     (ReadThroughDoor) is as the reference after the step when it
//     answered success, else as the failed step must leave it (above);
//     then, whatever was armed lifted, one call through the door finishes
//     what it left pending, and the store the system keeps is as the door
//     read it, no chunked value torn (StoredState::TornChunks);
//   - when the scenario stops, the library holds nothing of its calls
//     (Held: no context checked out, no lock held, no reference pinned
//     without the watcher that gives it back, no context parked that a
//     call ran short on).
//
// The mode: under the returning handler (`returning_handler`), the
// library's error handler is one that returns, as an application may
// install: then no error ends the process. A lasting shortage
// (failing_allocator.h) makes the new handler give up, so that
// std::bad_alloc unwinds from the failed allocation to the export that was
// called: a destructor that allocates or throws on the way ends the child
// by std::terminate, a finding like any other. A run of allocations may
// fail in a row (`run`). A host's own new handler (`host_handler`),
// installed after the set-up as any C++ host may, throws std::bad_alloc at
// once: no [NOMEM] of the library's is raised for it.
//
// The system's allocations (`system_memory`) count and fail like the
// process's own: the stand-ins answer error 8, a write among them refused.
// The system may refuse writes instead (`refusals`, in step
// `refused_step`: platform/host/system_writes.h, swept by
// write_refusal_sweep.h); a call that answers failure then owes the
// refusal's error as its last error, where memory owes 8.
//
// Threads: the sweeping process must have one thread (child_process.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/system_writes.h"
#include "support/child_process.h"
#include "support/failing_allocator.h"
#include "support/stored_state.h"

namespace support {

// One call of a scenario; true when it answered success. A step that
// shows a sheet the user says OK to has `cancel`: the same call, the user
// cancelling the sheet.
struct SweepStep {
  std::string name;
  std::function<bool()> call;
  std::function<bool()> cancel = nullptr;
};

// A step that shows a sheet: `queue(ok)` queues the user's road, OK or
// Cancel (allocations uncounted: the harness's), before `show` shows it.
SweepStep SheetStep(std::string name, std::function<void(bool ok)> queue,
                    std::function<bool()> show);

// A scenario, made anew in each child. SetUp and State run with
// allocations uncounted; the steps' calls are counted.
class SweepScenario {
 public:
  virtual ~SweepScenario() = default;
  // What failed, "" when set up.
  virtual std::string SetUp() = 0;
  virtual std::vector<SweepStep> Steps() = 0;
  virtual StoredState State() = 0;
  // What a call that answered failure left in `now` that it must not: ""
  // when nothing.
  virtual std::string AfterFailure(const StoredState&) { return ""; }
  // What the library still holds of the calls once the scenario stopped
  // (nothing armed): "" when nothing.
  virtual std::string Held() { return ""; }
  // Whether a call that answered failure must leave every earlier value
  // and answer intact (the exports' calls), not only nothing torn.
  virtual bool FailureStoresNothing() { return false; }
  // Undoes SetUp (counted as nothing).
  virtual void TearDown() = 0;
};
using ScenarioMaker = std::function<std::unique_ptr<SweepScenario>()>;

// `inner`'s scenario with `more` run after its set-up (what failed, ""
// when done): a variant of a scenario made elsewhere, such as one whose
// keep-alive's watcher is let go first.
ScenarioMaker AfterSetUp(ScenarioMaker inner, std::function<std::string()> more);

// `make`'s scenario with only the steps named `names` swept: the others
// run with allocations uncounted, so that the children fall on these.
ScenarioMaker OnlySteps(ScenarioMaker make, std::vector<std::string> names);

// The reference run: the state before the first call and after each.
struct SweepReference {
  std::uint64_t allocations = 0;      // counted over the steps
  std::vector<std::uint64_t> writes;  // the system's writes counted in each step
  std::vector<StoredState> states;
  // For each step with a sheet, the state after it when the user cancelled
  // it (the steps before as in the reference).
  std::vector<std::optional<StoredState>> cancelled;
};

inline constexpr std::size_t kNoStep = ~std::size_t{0};

// The start of the name of a state's item that holds what a step's sheet
// showed the user (read from the screen, not stored).
inline constexpr char kSeen[] = "seen: ";

// How the children's failed allocation is met.
struct SweepMode {
  bool returning_handler = false;
  Shortage shortage = Shortage::kBrief;
  std::uint64_t run = 1;               // allocations that fail in a row
  bool host_handler = false;           // the host's new handler in place of the library's
  bool system_memory = false;          // the system's allocations count and fail too
  bool store_checks = false;           // the door's and the store's checks after the last step
  std::size_t refused_step = kNoStep;  // the step whose writes `refusals` refuses
  platform::WriteRefusals refusals = {};
  std::size_t cancelled_step = kNoStep;  // (the reference's own) its sheet cancelled
};

struct SweepFinding {
  std::uint64_t index = 0;  // the allocation that failed
  // "terminate", "crash", "hang", "sanitizer", or what was owed and not
  // met ("success differs", "failure stored", "last error", "door",
  // "store unlike door", "torn chunks", "owed": see KindOf), several
  // joined by "+".
  std::string kind;
  std::string what;
};

struct SweepReport {
  std::uint64_t children = 0;
  std::uint64_t failed_calls = 0;      // children whose scenario met a failed call
  std::uint64_t no_memory_exits = 0;   // children ended by the "Fatal Error" exit
  std::vector<SweepFinding> findings;  // everything that is not owed
};

// Seconds a child may take before it counts as hung.
inline constexpr unsigned kSweepChildSeconds = 30;

// Runs the reference in a child (the system's allocations counted as
// `mode` says), and one more for each step with a sheet, cancelled; false
// (and `error`) when one fails.
bool RecordReference(const ScenarioMaker& make, SweepReference& reference, std::string& error,
                     SweepMode mode = {});

// Fails, one child each, allocations `first`, `first + stride`, ... up to
// the reference's count, at most `most` of them.
SweepReport Sweep(const ScenarioMaker& make, const SweepReference& reference, std::uint64_t first,
                  std::uint64_t stride, std::uint64_t most, SweepMode mode);

// One child, failing allocation `index` (0: none) as `mode` says, counted
// into `report` (a finding for `index` when it did not end as owed); its
// end, for what it said.
ChildResult SweepChild(const ScenarioMaker& make, const SweepReference& reference,
                       std::uint64_t index, SweepMode mode, SweepReport& report);

// "N children: ... calls failed, ... findings, K kind, ...".
std::string Summarize(const SweepReport& report);

// The mode the environment sets, for a child run alone:
// DRV_SWEEP_RETURNING, DRV_SWEEP_LASTING, DRV_SWEEP_RUN=N,
// DRV_SWEEP_HOST_HANDLER, DRV_SWEEP_SYSTEM (the system's allocations
// counted), DRV_SWEEP_STORE_CHECKS.
SweepMode ModeFromEnvironment();

// The number the environment variable `name` holds, `fallback` when it is
// unset or not above 0.
std::uint64_t EnvNumber(const char* name, std::uint64_t fallback);

// The line a child says its refused step's count of writes on (the
// system's writes counted in it), followed by the number.
inline constexpr char kRefusedStepWrites[] = "writes of the refused step: ";

// The sweep as the tests run it: `children` children spread evenly over the
// reference's allocations, from the first (or, `halfway`, from half a
// stride in), unless the environment says the stride and the first index
// (DRV_SWEEP_STRIDE, 1 for every allocation; DRV_SWEEP_FIRST). `summary`
// says what was swept, or why nothing was (the reference failed).
SweepReport SweepEvenly(const ScenarioMaker& make, std::uint64_t children, bool halfway,
                        SweepMode mode, std::string& summary);

// What the library that `install` loaded still holds once a scenario
// stopped (a SweepScenario's Held): a context checked out, a document's
// entry, a lock (P1's stored state read and the keep-alive asked, on a
// thread of its own, do not come back within ten seconds), the library's
// own reference with no watcher to give it back, or a parked context that
// a call ran short of memory on; "" when nothing.
std::string LibraryHolds(const AcceptanceInstall& install);

// The whole of one child, for a test that looks at one index closely:
// "" when the child ends as owed, else what was found (with
// DRV_SWEEP_TRACE set, all the child said goes to standard error too).
std::string SweepOne(const ScenarioMaker& make, const SweepReference& reference,
                     std::uint64_t index, SweepMode mode);

// One child, failing the allocation at `place` (failing_allocator.h) in
// place of an index: "" when the child ends as owed, else what was found,
// also when the scenario never made that allocation.
std::string SweepAt(const ScenarioMaker& make, const SweepReference& reference,
                    const AllocationPlace& place, SweepMode mode);

}  // namespace support
