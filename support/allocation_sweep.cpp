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
#include "foundation/rw/error.h"
#include "persist/persistent_object.h"
#include "platform/host/spooler.h"
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

// The child's whole run: the set-up, the steps under the armed failure
// (at `index`, or at `place` when given; none for the reference), the
// checks. Writes the reference's states to `record` when given; a fatal end
// in a step writes the store to `capture` when given.
int RunScenario(const ScenarioMaker& make, const SweepReference* reference, std::uint64_t index,
                SweepMode mode, const std::string* record, const std::string* capture = nullptr,
                const AllocationPlace* place = nullptr) {
  std::signal(SIGABRT, &AbortedHere);
  std::unique_ptr<SweepScenario> scenario = make();
  std::vector<SweepStep> steps;
  std::vector<StoredState> states;
  {
    UncountedAllocations uncounted;
    if (std::string failed = scenario->SetUp(); !failed.empty()) {
      std::fprintf(stderr, "set-up failed: %s\n", failed.c_str());
      return kSetUpFailed;
    }
    steps = scenario->Steps();
    states.push_back(scenario->State());
  }
  if (mode.returning_handler) SetErrorHandler(&ReturningHandler);
  if (mode.host_handler) std::set_new_handler(&HostNewHandler);
  if (capture) {
    g_capture.path = capture;
    SetFatalEndHook(&CaptureStore);
  }
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
    const bool answered = steps[i].call();
    const platform::DWORD error = platform::GetLastError();
    UncountedAllocations uncounted;
    states.push_back(scenario->State());
    if (!reference) {
      if (!answered) {
        std::fprintf(stderr, "%s failed with nothing failing\n", steps[i].name.c_str());
        result = kNotOwed;
      }
      continue;
    }
    const StoredState& before = reference->states[i];
    const StoredState& after = reference->states[i + 1];
    const StoredState& now = states.back();
    if (answered && now != after) {
      std::fprintf(stderr, "%s answered success; stored data differs:\n%s", steps[i].name.c_str(),
                   now.Differences(after).c_str());
      result = kNotOwed;
    } else if (!answered) {
      std::string left = scenario->AfterFailure(now);
      const bool intact = scenario->FailureStoresNothing();
      if (const std::string torn = now.TornBetween(before, after, intact);
          left.empty() && !torn.empty())
        left = std::string(intact ? "earlier values or answers changed" : "stored data torn") +
               " (against before):\n" + torn;
      // Nothing but memory failed: the call says so.
      if (left.empty() && intact && error != platform::kErrorNotEnoughMemory)
        left = "the last error " + std::to_string(error) + ", not 8";
      if (!left.empty())
        std::fprintf(stderr, "%s answered failure and left %s\n", steps[i].name.c_str(),
                     left.c_str());
      result = left.empty() ? kFailedCall : kNotOwed;
    }
  }
  const std::uint64_t counted = CountedAllocations();
  FailAllocation(0);
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
  return "owed";
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

// The file the children's fatal ends write the store to (CaptureStore),
// made by the parent and removed with the object; empty before each child.
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
  void Clear() const {
    if (!path_.empty()) std::ofstream(path_, std::ios::trunc);
  }
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

bool RecordReference(const ScenarioMaker& make, SweepReference& reference, std::string& error) {
  std::string path = TemporaryFolder() + "/sweep_reference-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) {
    error = "no file for the reference";
    return false;
  }
  ::close(fd);
  ChildResult child =
      RunInChild([&] { return RunScenario(make, nullptr, 0, {}, &path); }, kSweepChildSeconds);
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

SweepReport Sweep(const ScenarioMaker& make, const SweepReference& reference, std::uint64_t first,
                  std::uint64_t stride, std::uint64_t most, SweepMode mode) {
  SweepReport report;
  const CaptureFile capture;
  for (std::uint64_t index = first; index <= reference.allocations && report.children < most;
       index += stride) {
    ++report.children;
    capture.Clear();
    ChildResult child = RunInChild(
        [&] { return RunScenario(make, &reference, index, mode, nullptr, &capture.Path()); },
        kSweepChildSeconds);
    if (std::string found = Judge(child, mode, reference, capture, report); !found.empty())
      report.findings.push_back({index, KindOf(child), found});
  }
  return report;
}

SweepReport SweepEvenly(const ScenarioMaker& make, std::uint64_t children, bool halfway,
                        SweepMode mode, std::string& summary) {
  SweepReference reference;
  if (!RecordReference(make, reference, summary)) return {{}, {}, {}, {{0, "reference", summary}}};
  if (reference.allocations == 0) return {{}, {}, {}, {{0, "reference", "nothing to sweep"}}};
  const auto told = [](const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && std::atoll(text) > 0 ? std::uint64_t(std::atoll(text)) : fallback;
  };
  const std::uint64_t even = std::max<std::uint64_t>(reference.allocations / children, 1);
  const std::uint64_t stride = told("DRV_SWEEP_STRIDE", even);
  const std::uint64_t first = told("DRV_SWEEP_FIRST", halfway ? even / 2 + 1 : 1);
  SweepReport report = Sweep(make, reference, first, stride, ~std::uint64_t{0}, mode);
  summary = std::to_string(reference.allocations) + " allocations; " +
            std::to_string(report.children) + " children from " + std::to_string(first) + " by " +
            std::to_string(stride) + ": " + std::to_string(report.failed_calls) +
            " calls failed, " + std::to_string(report.no_memory_exits) + " [NOMEM] exits, " +
            std::to_string(report.findings.size()) + " findings";
  std::map<std::string, int> kinds;
  for (const SweepFinding& finding : report.findings)
    ++kinds[finding.kind];
  for (const auto& [kind, count] : kinds)
    summary += ", " + std::to_string(count) + " " + kind;
  return report;
}

}  // namespace support
