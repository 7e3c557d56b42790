#include "support/allocation_sweep.h"

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <thread>
#include <utility>

#include "driver/document_event_table.h"
#include "driver/library_entry.h"
#include "driver/module_keep_alive.h"
#include "driver/printer_key.h"
#include "driver/stored_state.h"
#include "foundation/rw/error.h"
#include "persist/persistent_object.h"
#include "platform/host/spooler.h"
#include "platform/host/system_writes.h"
#include "platform/host/threads.h"
#include "services/driver_data.h"
#include "services/driver_server.h"
#include "support/acceptance_install.h"
#include "support/child_process.h"
#include "support/failing_allocator.h"
#include "support/fixture_printer.h"
#include "support/run_folder.h"

extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));

namespace support {
namespace {

// A child's exit statuses.
constexpr int kOwed = 0;
constexpr int kNoMemoryExit = 1;  // the default error handler's
constexpr int kNotOwed = 3;
constexpr int kSetUpFailed = 4;
constexpr int kFailedCall = 6;

// The serial numbers of each step's objects start at a multiple of this.
constexpr std::uint32_t kStepSerials = 0x1000000;

// Separates the states in the reference's file.
constexpr char kStateEnd[] = "=";

// What a child says before each thing it was owed and did not get (KindOf).
constexpr char kOwedMark[] = "(owed: ";

void ReturningHandler(const RWError&) {}

// A host's new handler: what the runtime does without one.
void HostNewHandler() {
  throw std::bad_alloc();
}

// A child that aborts (std::terminate: an exception left a destructor or a
// noexcept function) says where, for the finding.
extern "C" void AbortedHere(int) {
  if (__sanitizer_print_stack_trace) {
    __sanitizer_print_stack_trace();
  } else {
    void* frames[64];
    ::backtrace_symbols_fd(frames, ::backtrace(frames, 64), STDERR_FILENO);
  }
  std::signal(SIGABRT, SIG_DFL);
  std::raise(SIGABRT);
}

// Where a child's fatal end writes the store, and the step it is in.
struct CaptureTarget {
  const std::string* path = nullptr;
  std::size_t step = 0;
  const std::string* step_name = nullptr;
};
CaptureTarget g_capture;

// The default error handler's last act in a child (SetFatalEndHook): the
// store as the system keeps it, after the step's number and name, written
// whole to the parent's file. The library is dying inside a call: what
// this reads goes through the platform alone, and its allocations are
// uncounted (never failed). A second thread that ends the same way waits
// for the first's exit.
void CaptureStore(const RWError&) {
  static std::atomic<bool> taken{false};
  if (taken.exchange(true))
    for (;;)
      ::pause();
  if (!g_capture.step_name) return;  // not in a step
  UncountedAllocations uncounted;
  platform::HANDLE printer = nullptr;
  if (!platform::OpenPrinterW(kFixturePrinter, &printer, nullptr)) return;
  const std::string text = std::to_string(g_capture.step) + " " + *g_capture.step_name + "\n" +
                           ReadSystemStore(printer, kFixturePrinter).Serialize();
  const int fd = ::open(g_capture.path->c_str(), O_WRONLY | O_TRUNC);
  for (std::size_t done = 0; fd >= 0 && done < text.size();) {
    const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote <= 0) break;
    done += std::size_t(wrote);
  }
  if (fd >= 0) ::close(fd);
}

// The items of `state` that are (`seen`), or are not, what a step's sheet
// showed the user.
StoredState SeenPart(const StoredState& state, bool seen) {
  StoredState part;
  for (const auto& [name, bytes] : state.items)
    if ((name.rfind(kSeen, 0) == 0) == seen) part.items[name] = bytes;
  return part;
}

// What a child found that it was owed, tagged with its kind (KindOf).
std::string Owed(const char* kind, const std::string& what) {
  return std::string(kOwedMark) + kind + ") " + what + "\n";
}

// The store's checks after step `step` (allocation_sweep.h), with the
// reference's state the step must have left (`left`) and what else it
// may have left (`or_left`, may be null); lifts what was armed. "" when
// owed.
std::string StoreChecks(const SweepReference& reference, std::size_t step, bool answered,
                        const StoredState& left, const StoredState* or_left) {
  platform::HANDLE printer = nullptr;
  if (!platform::OpenPrinterW(kFixturePrinter, &printer, nullptr))
    return Owed("door", "no handle to read the store through");
  const StoredState before = reference.states[step].SystemStore();
  const StoredState after = reference.states[step + 1].SystemStore();
  const StoredState expected = left.SystemStore();
  const StoredState also = or_left ? or_left->SystemStore() : expected;
  const StoredState door = ReadThroughDoor(printer, kFixturePrinter, {&before, &after, &also});
  std::string owed;
  if (door != expected && door != also)
    owed += Owed("door", std::string("the store read through the door, ") +
                             (answered ? "after success" : "after failure") +
                             ", differs from the reference (against it):\n" +
                             door.Differences(expected));
  platform::SetWriteRefusals({});
  FailAllocation(0);
  // One call through the door finishes whatever the step left pending.
  platform::DWORD type = 0, needed = 0;
  GStoredState::GetPrinterData(printer, u"", &type, nullptr, 0, &needed);
  const StoredState system = ReadSystemStore(printer, kFixturePrinter);
  platform::ClosePrinter(printer);
  if (system != door)
    owed += Owed("store unlike door",
                 "once a call through the door finished, the store differs from what the door "
                 "read (against it):\n" +
                     system.Differences(door));
  if (const std::string torn = system.TornChunks(before, after); !torn.empty())
    owed += Owed("torn chunks", "chunked values in the store:\n" + torn);
  return owed;
}

// The child's whole run: the set-up, the steps under the armed failure
// (at `index`, or at `place` when given; none for the reference), the
// checks. Writes the reference's record (RecordRun) to `record` when
// given; a fatal end in a step writes the store to `capture` when given.
int RunScenario(const ScenarioMaker& make, const SweepReference* reference, std::uint64_t index,
                SweepMode mode, const std::string* record, const std::string* capture = nullptr,
                const AllocationPlace* place = nullptr) {
  std::signal(SIGABRT, &AbortedHere);
  std::unique_ptr<SweepScenario> scenario = make();
  std::vector<SweepStep> steps;
  std::vector<StoredState> states;
  std::vector<std::uint64_t> writes;
  {
    UncountedAllocations uncounted;
    if (std::string failed = scenario->SetUp(); !failed.empty()) {
      std::fprintf(stderr, "set-up failed: %s\n", failed.c_str());
      return kSetUpFailed;
    }
    steps = scenario->Steps();
    states.push_back(scenario->State());
    // The threads the set-up started (the keep-alive's watcher) reach their
    // waits before the count starts: what they allocate is the set-up's in
    // every run.
    platform::AwaitThreadsIdle();
  }
  if (mode.returning_handler) SetErrorHandler(&ReturningHandler);
  if (mode.host_handler) std::set_new_handler(&HostNewHandler);
  if (capture) {
    g_capture.path = capture;
    SetFatalEndHook(&CaptureStore);
  }
  CountSystemAllocations(mode.system_memory);
  ResetAllocations();
  if (!place) {
    FailAllocation(index, mode.shortage, mode.run);
  } else if (const std::string refused = FailAllocationAt(*place, mode.shortage, mode.run);
             !refused.empty()) {
    std::fprintf(stderr, "no place to fail: %s\n", refused.c_str());
    return kNotOwed;
  }
  int result = kOwed;
  for (std::size_t i = 0; i < steps.size() && result == kOwed; ++i) {
    // Serial numbers tell objects apart within one process; stored with
    // them, they would differ from the reference's after any earlier step
    // made one object more or less. Each step starts from the same.
    MPersistentObject::SetSerialCounter(kStepSerials * std::uint32_t(i + 1));
    g_capture.step = i;
    g_capture.step_name = &steps[i].name;
    const bool refused = i == mode.refused_step;
    platform::SetWriteRefusals(refused ? mode.refusals : platform::WriteRefusals{});
    const bool cancelled = i == mode.cancelled_step && steps[i].cancel;
    const bool answered = cancelled ? steps[i].cancel() : steps[i].call();
    const platform::DWORD error = platform::GetLastError();
    const std::uint64_t written = platform::CountedWrites();
    UncountedAllocations uncounted;
    if (!reference) {
      platform::SetWriteRefusals({});
      states.push_back(scenario->State());
      writes.push_back(written);
      if (cancelled) break;
      if (!answered) {
        std::fprintf(stderr, "%s failed with nothing failing\n", steps[i].name.c_str());
        result = kNotOwed;
      }
      continue;
    }
    if (refused) std::fprintf(stderr, "%s%llu\n", kRefusedStepWrites, (unsigned long long)written);
    const StoredState& before = reference->states[i];
    const StoredState& after = reference->states[i + 1];
    const StoredState* cancel = i < reference->cancelled.size() && reference->cancelled[i]
                                    ? &*reference->cancelled[i]
                                    : nullptr;
    std::string owed;
    if (refused || (mode.store_checks && (!answered || i + 1 == steps.size())))
      owed = StoreChecks(*reference, i, answered, answered ? after : before,
                         answered ? nullptr : cancel);
    platform::SetWriteRefusals({});
    states.push_back(scenario->State());
    const StoredState& now = states.back();
    if (answered && now != after) {
      owed += Owed("success differs", steps[i].name + " answered success; stored data differs:\n" +
                                          now.Differences(after));
    } else if (!answered) {
      const bool intact = scenario->FailureStoresNothing();
      std::string left = scenario->AfterFailure(now);
      if (const std::string torn = now.TornBetween(before, after, intact);
          left.empty() && !torn.empty() && !cancel)
        left = std::string(intact ? "earlier values or answers changed" : "stored data torn") +
               " (against before):\n" + torn;
      // A sheet that did not say OK leaves what a cancelled one leaves; what
      // it showed is as the reference's showed it, or was not shown.
      const StoredState stored = SeenPart(now, false);
      if (left.empty() && cancel && stored != SeenPart(before, false) &&
          stored != SeenPart(*cancel, false))
        left =
            "what a cancelled sheet does not leave (against before):\n" + now.Differences(before);
      if (const std::string seen =
              SeenPart(now, true).TornBetween(SeenPart(before, true), SeenPart(after, true));
          left.empty() && cancel && !seen.empty())
        left = "a sheet showing what was not stored (against before):\n" + seen;
      if (!left.empty())
        owed += Owed("failure stored", steps[i].name + " answered failure and left " + left);
      // Nothing but memory failed, or the system refused a write: the call
      // says so.
      const platform::DWORD owed_error =
          refused ? mode.refusals.error : platform::kErrorNotEnoughMemory;
      if ((intact || cancel || refused) && error != owed_error)
        owed +=
            Owed("last error", steps[i].name + " answered failure with the last error " +
                                   std::to_string(error) + ", not " + std::to_string(owed_error));
    }
    if (!owed.empty()) std::fprintf(stderr, "%s", owed.c_str());
    result = !owed.empty() ? kNotOwed : answered ? kOwed : kFailedCall;
  }
  const std::uint64_t counted = CountedAllocations();
  FailAllocation(0);
  platform::SetWriteRefusals({});
  SetFatalEndHook(nullptr);
  UncountedAllocations uncounted;
  if (place && !AllocationFailed()) {
    std::fprintf(stderr, "the scenario never made %s\n", place->Describe().c_str());
    result = kNotOwed;
  }
  if (HandlerNeverGaveUp()) {
    std::fprintf(stderr, "the new handler never gave up\n");
    result = kNotOwed;
  }
  if (const std::string held = scenario->Held(); !held.empty()) {
    std::fprintf(stderr, "the library still holds %s\n", held.c_str());
    result = kNotOwed;
  }
  scenario->TearDown();
  scenario.reset();  // the harness's own, uncounted
  if (record) {
    std::ofstream out(*record);
    out << counted << "\n";
    for (std::size_t i = 0; i < writes.size(); ++i)
      out << writes[i] << (steps[i].cancel ? "s " : " ");
    out << "\n";
    for (const StoredState& state : states)
      out << state.Serialize() << kStateEnd << "\n";
  }
  return result;
}

// The last lines of a child's errors, for a report.
std::string Tail(const std::string& text) {
  constexpr std::size_t kMost = 4000;
  return text.size() <= kMost ? text : "..." + text.substr(text.size() - kMost);
}

// What kind of finding a child's end is: std::terminate (an exception
// left a destructor or a noexcept function), another crash, a hang, what a
// sanitizer reported, or something owed that the child did not get.
std::string KindOf(const ChildResult& child) {
  if (child.end == ChildResult::End::kTimedOut) return "hang";
  if (child.error_output.find("terminate called") != std::string::npos) return "terminate";
  if (child.end == ChildResult::End::kSignalled) return "crash";
  if (child.error_output.find("Sanitizer") != std::string::npos ||
      child.error_output.find("runtime error:") != std::string::npos)
    return "sanitizer";
  std::string kinds;
  const std::string& said = child.error_output;
  for (std::size_t at = said.find(kOwedMark); at != std::string::npos;
       at = said.find(kOwedMark, at + 1)) {
    const std::size_t from = at + sizeof kOwedMark - 1;
    const std::string kind = said.substr(from, said.find(')', from) - from);
    if (("+" + kinds + "+").find("+" + kind + "+") == std::string::npos)
      kinds += (kinds.empty() ? "" : "+") + kind;
  }
  return kinds.empty() ? "owed" : kinds;
}

class AfterSetUpScenario : public SweepScenario {
 public:
  AfterSetUpScenario(std::unique_ptr<SweepScenario> inner, std::function<std::string()> more)
      : inner_(std::move(inner)), more_(std::move(more)) {}
  std::string SetUp() override {
    const std::string failed = inner_->SetUp();
    return failed.empty() ? more_() : failed;
  }
  std::vector<SweepStep> Steps() override { return inner_->Steps(); }
  StoredState State() override { return inner_->State(); }
  std::string AfterFailure(const StoredState& now) override { return inner_->AfterFailure(now); }
  std::string Held() override { return inner_->Held(); }
  bool FailureStoresNothing() override { return inner_->FailureStoresNothing(); }
  void TearDown() override { inner_->TearDown(); }

 private:
  std::unique_ptr<SweepScenario> inner_;
  std::function<std::string()> more_;
};

// The file a child's fatal end writes the store to (CaptureStore), made
// empty by the parent and removed with the object.
class CaptureFile {
 public:
  CaptureFile() : path_(TemporaryFolder() + "/sweep_capture-XXXXXX") {
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) path_.clear();  // no capture: each fatal end is a finding
    if (fd >= 0) ::close(fd);
  }
  ~CaptureFile() {
    if (!path_.empty()) std::remove(path_.c_str());
  }
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  const std::string& Path() const { return path_; }
  std::string Read() const {
    std::ifstream in(path_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string path_;
};

// "" when the store a fatal end captured (`text`, CaptureStore's) is,
// thing by thing, as the reference had it before the step the child ended
// in or as after it.
std::string JudgeCapture(const std::string& text, const SweepReference& reference) {
  const std::size_t line = text.find('\n');
  const std::size_t step = line == std::string::npos ? 0 : std::strtoull(text.c_str(), nullptr, 10);
  StoredState now;
  if (line == std::string::npos || step + 1 >= reference.states.size() ||
      !now.Parse(text.substr(line + 1)))
    return "the fatal end left no capture of the store";
  const std::string torn = now.TornBetween(reference.states[step].SystemStore(),
                                           reference.states[step + 1].SystemStore());
  return torn.empty() ? ""
                      : "the fatal end in step " + text.substr(0, line) +
                            " left the store torn (against before):\n" + torn;
}

// "" when the child ended as owed; counts what it met into `report`.
std::string Judge(const ChildResult& child, SweepMode mode, const SweepReference& reference,
                  const CaptureFile& capture, SweepReport& report) {
  if (child.end != ChildResult::End::kExited)
    return child.Describe() + "\n" + Tail(child.error_output);
  const bool sanitizer = child.error_output.find("Sanitizer") != std::string::npos ||
                         child.error_output.find("runtime error:") != std::string::npos;
  if (child.code == kOwed && !sanitizer) return "";
  if (child.code == kFailedCall && !sanitizer) {
    ++report.failed_calls;
    return "";
  }
  if (child.code == kNoMemoryExit && !mode.returning_handler && !sanitizer &&
      child.error_output.find("Fatal Error\n[NOMEM]") != std::string::npos) {
    ++report.no_memory_exits;
    const std::string torn = JudgeCapture(capture.Read(), reference);
    return torn.empty() ? "" : torn + "\n" + Tail(child.error_output);
  }
  return child.Describe() + "\n" + Tail(child.error_output);
}

// Judge's answer for one child looked at closely; traced
// (DRV_SWEEP_TRACE), the whole of what the child said goes to standard
// error too.
std::string JudgedAndTraced(const ChildResult& child, SweepMode mode,
                            const SweepReference& reference, const CaptureFile& capture) {
  SweepReport report;
  if (std::getenv("DRV_SWEEP_TRACE")) std::fprintf(stderr, "%s\n", child.error_output.c_str());
  return Judge(child, mode, reference, capture, report);
}

// A scenario with only some of its steps swept (OnlySteps).
class StepsSwept : public SweepScenario {
 public:
  StepsSwept(std::unique_ptr<SweepScenario> scenario, std::vector<std::string> names)
      : scenario_(std::move(scenario)), names_(std::move(names)) {}

  std::string SetUp() override { return scenario_->SetUp(); }
  std::vector<SweepStep> Steps() override {
    std::vector<SweepStep> steps = scenario_->Steps();
    for (SweepStep& step : steps) {
      if (std::find(names_.begin(), names_.end(), step.name) != names_.end()) continue;
      step.call = [call = std::move(step.call)] {
        UncountedAllocations uncounted;
        return call();
      };
    }
    return steps;
  }
  StoredState State() override { return scenario_->State(); }
  std::string AfterFailure(const StoredState& now) override { return scenario_->AfterFailure(now); }
  std::string Held() override { return scenario_->Held(); }
  bool FailureStoresNothing() override { return scenario_->FailureStoresNothing(); }
  void TearDown() override { scenario_->TearDown(); }

 private:
  std::unique_ptr<SweepScenario> scenario_;
  std::vector<std::string> names_;
};

}  // namespace

SweepStep SheetStep(std::string name, std::function<void(bool ok)> queue,
                    std::function<bool()> show) {
  const auto road = [queue, show](bool ok) -> std::function<bool()> {
    return [=] {
      {
        UncountedAllocations uncounted;
        queue(ok);
      }
      return show();
    };
  };
  return {std::move(name), road(true), road(false)};
}

ScenarioMaker AfterSetUp(ScenarioMaker inner, std::function<std::string()> more) {
  return [inner = std::move(inner), more = std::move(more)] {
    return std::make_unique<AfterSetUpScenario>(inner(), more);
  };
}

ScenarioMaker OnlySteps(ScenarioMaker make, std::vector<std::string> names) {
  return [make = std::move(make), names = std::move(names)] {
    return std::make_unique<StepsSwept>(make(), names);
  };
}

namespace {

// One run of the reference's in a child, as `mode` says (nothing failing):
// its allocations, each step's writes, which steps have sheets
// (`sheets`), its states.
bool RecordRun(const ScenarioMaker& make, SweepMode mode, SweepReference& reference,
               std::vector<bool>& sheets, std::string& error) {
  std::string path = TemporaryFolder() + "/sweep_reference-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) {
    error = "no file for the reference";
    return false;
  }
  ::close(fd);
  ChildResult child =
      RunInChild([&] { return RunScenario(make, nullptr, 0, mode, &path); }, kSweepChildSeconds);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::remove(path.c_str());
  if (child.end != ChildResult::End::kExited || child.code != kOwed) {
    error = "the reference run: " + child.Describe() + "\n" + Tail(child.error_output);
    return false;
  }
  std::string line, state;
  if (!std::getline(text, line)) return false;
  reference.allocations = std::stoull(line);
  if (!std::getline(text, line)) return false;
  std::istringstream steps(line);
  reference.writes.clear();
  sheets.clear();
  for (std::string step; steps >> step;) {
    reference.writes.push_back(std::stoull(step));
    sheets.push_back(step.back() == 's');
  }
  reference.states.clear();
  while (std::getline(text, line)) {
    if (line != kStateEnd) {
      state += line + "\n";
      continue;
    }
    reference.states.emplace_back();
    if (!reference.states.back().Parse(state)) return false;
    state.clear();
  }
  return true;
}

}  // namespace

bool RecordReference(const ScenarioMaker& make, SweepReference& reference, std::string& error,
                     SweepMode mode) {
  SweepMode counting;
  counting.system_memory = mode.system_memory;
  std::vector<bool> sheets;
  if (!RecordRun(make, counting, reference, sheets, error)) return false;
  reference.cancelled.assign(sheets.size(), std::nullopt);
  for (std::size_t step = 0; step < sheets.size(); ++step) {
    if (!sheets[step]) continue;
    SweepReference run;
    std::vector<bool> ignored;
    counting.cancelled_step = step;
    if (!RecordRun(make, counting, run, ignored, error)) return false;
    reference.cancelled[step] = run.states.back();
  }
  return true;
}

std::string LibraryHolds(const AcceptanceInstall& install) {
  if (GDriverServer* server = GDriverServer::Instance(); server && server->ContextCount() != 0)
    return std::to_string(server->ContextCount()) + " contexts checked out";
  if (GDocumentEventTable* table = DocumentEventTable(); table && table->Entries() != 0)
    return std::to_string(table->Entries()) + " documents' entries";
  auto read = std::make_shared<std::promise<void>>();
  std::future<void> done = read->get_future();
  std::thread([&install, read] {
    ReadStoredState(install, install.Printer(), kFixturePrinter);
    ModuleKeepAlive().MarkActivity();
    read->set_value();
  }).detach();
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
    return "a lock: the stored state cannot be read on another thread";
  // Asked in this order: a watcher that ends in between has let go first.
  if (platform::LiveThreadCount() == 0 && ModuleKeepAlive().IsPinned())
    return "the library, pinned with no watcher to let it go";
  // The parked context is the next call's: not one a call ran short on.
  GDriverServer* server = GDriverServer::Instance();
  if (!server || !server->HasParkedContext()) return "";
  std::uint32_t cookie = 0;
  GDriverData* parked =
      server->GetContext(new GPrinterKey(install.Printer(), kFixturePrinter, 0), cookie);
  const bool spoiled = parked && parked->IsSpoiled();
  if (parked) server->ReleaseContext(cookie);
  return spoiled ? "a context a call ran short of memory on, parked for the next call" : "";
}

std::string SweepOne(const ScenarioMaker& make, const SweepReference& reference,
                     std::uint64_t index, SweepMode mode) {
  const CaptureFile capture;
  ChildResult child = RunInChild(
      [&] { return RunScenario(make, &reference, index, mode, nullptr, &capture.Path()); },
      kSweepChildSeconds);
  return JudgedAndTraced(child, mode, reference, capture);
}

std::string SweepAt(const ScenarioMaker& make, const SweepReference& reference,
                    const AllocationPlace& place, SweepMode mode) {
  const CaptureFile capture;
  ChildResult child = RunInChild(
      [&] { return RunScenario(make, &reference, 0, mode, nullptr, &capture.Path(), &place); },
      kSweepChildSeconds);
  return JudgedAndTraced(child, mode, reference, capture);
}

ChildResult SweepChild(const ScenarioMaker& make, const SweepReference& reference,
                       std::uint64_t index, SweepMode mode, SweepReport& report) {
  const CaptureFile capture;
  ++report.children;
  ChildResult child = RunInChild(
      [&] { return RunScenario(make, &reference, index, mode, nullptr, &capture.Path()); },
      kSweepChildSeconds);
  if (std::string found = Judge(child, mode, reference, capture, report); !found.empty())
    report.findings.push_back({index, KindOf(child), found});
  return child;
}

SweepReport Sweep(const ScenarioMaker& make, const SweepReference& reference, std::uint64_t first,
                  std::uint64_t stride, std::uint64_t most, SweepMode mode) {
  SweepReport report;
  for (std::uint64_t index = first; index <= reference.allocations && report.children < most;
       index += stride)
    SweepChild(make, reference, index, mode, report);
  return report;
}

std::string Summarize(const SweepReport& report) {
  std::string summary = std::to_string(report.children) +
                        " children: " + std::to_string(report.failed_calls) + " calls failed, " +
                        std::to_string(report.no_memory_exits) + " [NOMEM] exits, " +
                        std::to_string(report.findings.size()) + " findings";
  std::map<std::string, int> kinds;
  for (const SweepFinding& finding : report.findings) {
    std::istringstream joined(finding.kind);
    for (std::string kind; std::getline(joined, kind, '+');)
      ++kinds[kind];
  }
  for (const auto& [kind, count] : kinds)
    summary += ", " + std::to_string(count) + " " + kind;
  return summary;
}

SweepReport SweepEvenly(const ScenarioMaker& make, std::uint64_t children, bool halfway,
                        SweepMode mode, std::string& summary) {
  SweepReference reference;
  if (!RecordReference(make, reference, summary, mode))
    return {{}, {}, {}, {{0, "reference", summary}}};
  if (reference.allocations == 0) return {{}, {}, {}, {{0, "reference", "nothing to sweep"}}};
  const std::uint64_t even = std::max<std::uint64_t>(reference.allocations / children, 1);
  const std::uint64_t stride = EnvNumber("DRV_SWEEP_STRIDE", even);
  const std::uint64_t first = EnvNumber("DRV_SWEEP_FIRST", halfway ? even / 2 + 1 : 1);
  SweepReport report = Sweep(make, reference, first, stride, ~std::uint64_t{0}, mode);
  summary = std::to_string(reference.allocations) + " allocations, from " + std::to_string(first) +
            " by " + std::to_string(stride) + "; " + Summarize(report);
  return report;
}

SweepMode ModeFromEnvironment() {
  SweepMode mode;
  mode.returning_handler = std::getenv("DRV_SWEEP_RETURNING") != nullptr;
  mode.shortage = std::getenv("DRV_SWEEP_LASTING") ? Shortage::kLasting : Shortage::kBrief;
  mode.run = EnvNumber("DRV_SWEEP_RUN", 1);
  mode.host_handler = std::getenv("DRV_SWEEP_HOST_HANDLER") != nullptr;
  mode.system_memory = std::getenv("DRV_SWEEP_SYSTEM") != nullptr;
  mode.store_checks = std::getenv("DRV_SWEEP_STORE_CHECKS") != nullptr;
  return mode;
}

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text && std::atoll(text) > 0 ? std::uint64_t(std::atoll(text)) : fallback;
}

}  // namespace support
