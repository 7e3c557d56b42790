#include "support/allocation_sweep.h"

#include <execinfo.h>
#include <unistd.h>

#include <algorithm>
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

// The child's whole run: the set-up, the steps under the armed failure
// (at `index`, or at `place` when given; none for the reference), the
// checks. Writes the reference's states to `record` when given.
int RunScenario(const ScenarioMaker& make, const SweepReference* reference, std::uint64_t index,
                SweepMode mode, const std::string* record, const AllocationPlace* place = nullptr) {
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

// "" when the child ended as owed; counts what it met into `report`.
std::string Judge(const ChildResult& child, SweepMode mode, SweepReport& report) {
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
    return "";
  }
  return child.Describe() + "\n" + Tail(child.error_output);
}

// Judge's answer for one child looked at closely; traced
// (DRV_SWEEP_TRACE), the whole of what the child said goes to standard
// error too.
std::string JudgedAndTraced(const ChildResult& child, SweepMode mode) {
  SweepReport report;
  if (std::getenv("DRV_SWEEP_TRACE")) std::fprintf(stderr, "%s\n", child.error_output.c_str());
  return Judge(child, mode, report);
}

}  // namespace

ScenarioMaker AfterSetUp(ScenarioMaker inner, std::function<std::string()> more) {
  return [inner = std::move(inner), more = std::move(more)] {
    return std::make_unique<AfterSetUpScenario>(inner(), more);
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
  ChildResult child = RunInChild(
      [&] { return RunScenario(make, &reference, index, mode, nullptr); }, kSweepChildSeconds);
  return JudgedAndTraced(child, mode);
}

std::string SweepAt(const ScenarioMaker& make, const SweepReference& reference,
                    const AllocationPlace& place, SweepMode mode) {
  ChildResult child = RunInChild(
      [&] { return RunScenario(make, &reference, 0, mode, nullptr, &place); }, kSweepChildSeconds);
  return JudgedAndTraced(child, mode);
}

SweepReport Sweep(const ScenarioMaker& make, const SweepReference& reference, std::uint64_t first,
                  std::uint64_t stride, std::uint64_t most, SweepMode mode) {
  SweepReport report;
  for (std::uint64_t index = first; index <= reference.allocations && report.children < most;
       index += stride) {
    ++report.children;
    ChildResult child = RunInChild(
        [&] { return RunScenario(make, &reference, index, mode, nullptr); }, kSweepChildSeconds);
    if (std::string found = Judge(child, mode, report); !found.empty())
      report.findings.push_back({index, KindOf(child), found});
  }
  return report;
}

SweepReport SweepEvenly(const ScenarioMaker& make, std::uint64_t children, bool halfway,
                        SweepMode mode, std::string& summary) {
  SweepReference reference;
  if (!RecordReference(make, reference, summary)) return {{}, {}, {}, {{0, "reference", summary}}};
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
