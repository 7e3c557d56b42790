#include "platform/host/process.h"

#include "platform/host/host_state.h"

namespace platform {
namespace {

struct ProcessState {
  UINT result = kDefaultWinExecResult;
  host_internal::BoundedLog<WinExecCall> log;
};

ProcessState& State() {
  static ProcessState state;
  return state;
}

}  // namespace

UINT WinExec(const char* command_line, UINT show) {
  host_internal::Lock lock(host_internal::Mutex());
  State().log.Add(WinExecCall{command_line != nullptr ? command_line : "", show});
  return State().result;
}

void SetWinExecResult(UINT result) {
  host_internal::Lock lock(host_internal::Mutex());
  State().result = result;
}

std::vector<WinExecCall> WinExecLog() {
  host_internal::Lock lock(host_internal::Mutex());
  return State().log.Entries();
}

namespace host_internal {

void ResetProcessesLocked() {
  State() = ProcessState{};
}

}  // namespace host_internal
}  // namespace platform
