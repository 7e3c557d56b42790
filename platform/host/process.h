// WinExec as the rest of the system knows it: it starts nothing here. Each
// call is logged with its command line and show state, and answers a result
// that tests script (above 31 means "started" to callers). Any thread.
#pragma once

#include <string>
#include <vector>

#include "platform/host/types.h"

namespace platform {

inline constexpr UINT kDefaultWinExecResult = 33;

UINT WinExec(const char* command_line, UINT show);

// ---- Test controls ----

struct WinExecCall {
  std::string command_line;
  UINT show;
};

// The answer of every later call (kDefaultWinExecResult after a reset).
void SetWinExecResult(UINT result);
// The calls so far (the newest kHostLogCapacity, platform/host/modules.h).
std::vector<WinExecCall> WinExecLog();

}  // namespace platform
